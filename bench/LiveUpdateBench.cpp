#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "app/LiveMotionWiring.h"
#include "simlink/PoseTable.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/LiveUpdate.h"
#include "traffic/TrafficState.h"

namespace {

using namespace zelk;

// 1,000 shown aircraft: half flying at 300 kt, half taxiing at 15 kt, each with
// ten samples ten seconds apart.
std::vector<LiveAc> lf_fleet(std::int32_t tick)
{
    std::vector<LiveAc> fleet(1000);
    for (std::size_t i = 0; i < fleet.size(); ++i) {
        LiveAc& ac = fleet[i];
        const bool air = i % 2 == 0;
        ac.hexId = 0x400000 + static_cast<std::uint32_t>(i);
        ac.objectId = 100 + static_cast<std::uint32_t>(i);
        ac.head.callsign = "BENCH";
        ac.category = AcCategory::Large;
        ac.turnRate = 0.005;
        ac.simState = SimState::active;
        ac.phase = air ? FlightPhase::flying : FlightPhase::taxi;
        ac.onGround = air ? 0 : 1;
        const double lat = 50.0 + 0.01 * static_cast<double>(i / 40);
        const double lon = 8.0 + 0.01 * static_cast<double>(i % 40);
        const double step = air ? 300.0 * 10.0 / 3600.0 / 60.0 : 15.0 * 10.0 / 3600.0 / 60.0; // degrees per 10 s
        for (int k = 0; k < 10; ++k) {
            PosSample s;
            s.latitude = lat + step * k;
            s.longitude = lon;
            s.altitude = air ? 8000.0 : 0.0;
            s.airborne = air ? 1 : 0;
            s.groundSpeed = air ? 300.0 : 15.0;
            s.dueTick = tick + 1000 * k;
            ac.stream.push_back(s);
        }
        ac.pose = AcPose{lat, lon, 0.0, 0.0, 0.0, air ? 8000.0 : 0.0, 0.0, air ? 300.0 : 15.0};
    }
    return fleet;
}

// One engine pass of live updates; the engine's target for a whole pass is 1 ms.
void BM_UpdateLiveAcPass(benchmark::State& state)
{
    lf_installLiveMotion();
    gf_setEngineTick(1000);
    const std::vector<LiveAc> fleet = lf_fleet(1000);
    auto& live = gf_liveAircraft();
    live = fleet;
    auto t = PoseTable::Clock::now();
    std::int64_t passes = 0;
    for (auto _ : state) {
        if (++passes % 5000 == 0) {
            // Keep the streams from running out: start the fleet again.
            state.PauseTiming();
            gf_setEngineTick(1000);
            live = fleet;
            state.ResumeTiming();
        }
        for (LiveAc& ac : live)
            benchmark::DoNotOptimize(updateLiveAc(ac));
        t += std::chrono::milliseconds(10);
        gf_poseTable().flushPass(t);
        gf_advanceEngineTick(1);
    }
    state.counters["target_us"] = 1000.0; // the Time column is one pass
    live.clear();
    gf_poseTable().clear();
}
BENCHMARK(BM_UpdateLiveAcPass)->Unit(benchmark::kMicrosecond);
// A fixed number of passes, for counting instructions (valgrind --tool=callgrind).
BENCHMARK(BM_UpdateLiveAcPass)->Unit(benchmark::kMicrosecond)->Iterations(400);

} // namespace
