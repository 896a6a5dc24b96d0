#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "app/MainLoop.h"
#include "app/Startup.h"
#include "simlink/PoseTable.h"
#include "simlink/SimQueues.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EnginePass.h"
#include "traffic/EngineTick.h"
#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficState.h"

namespace {

using namespace zelk;

constexpr std::int32_t kStartTick = 1000;

// 1,000 stands in rows of 40 north of 50 N 8 E, each with a parked aircraft.
void lf_parkedAirport()
{
    auto& stands = gf_stands();
    auto& statics = gf_staticAircraft();
    stands.clear();
    statics.clear();
    for (std::uint32_t i = 0; i < 1000; ++i) {
        ParkPos stand;
        stand.id = i + 1;
        stand.name = fmt::format("S{}", i + 1);
        stand.latitude = 50.0 + 0.0008 * static_cast<double>(i / 40);
        stand.longitude = 8.0 + 0.0008 * static_cast<double>(i % 40);
        stand.radius = 0.02;
        stands.push_back(stand);
        StaticAc ac;
        ac.hexId = i + 1;
        ac.objectId = 20000 + i;
        ac.head.callsign = fmt::format("P{}", i);
        ac.simState = SimState::active;
        ac.standId = static_cast<std::int32_t>(stand.id);
        ac.proximityRadius = 0.015;
        ac.standLatitude = stand.latitude;
        ac.standLongitude = stand.longitude;
        statics.push_back(std::move(ac));
    }
}

// 1,000 shown live aircraft: flying, landing, taxiing and rolling for take-off
// in turn, each with ten samples a second apart.
std::vector<LiveAc> lf_fleet()
{
    static const FlightPhase kPhases[] = {FlightPhase::flying, FlightPhase::landing, FlightPhase::taxi,
                                          FlightPhase::takeoff_roll};
    std::vector<LiveAc> fleet(1000);
    for (std::size_t i = 0; i < fleet.size(); ++i) {
        LiveAc& ac = fleet[i];
        ac.phase = kPhases[i % 4];
        const bool air = ac.phase == FlightPhase::flying || ac.phase == FlightPhase::landing;
        const double speed = air ? 250.0 : ac.phase == FlightPhase::taxi ? 15.0 : 100.0;
        ac.hexId = 0x400000 + static_cast<std::uint32_t>(i);
        ac.objectId = 100 + static_cast<std::uint32_t>(i);
        ac.head.callsign = fmt::format("LIVE{}", i);
        ac.category = AcCategory::Large;
        ac.turnRate = 0.005;
        ac.proximityRadius = 0.02;
        ac.simState = SimState::active;
        ac.onGround = air ? 0 : 1;
        ac.holding = i % 50 == 0 ? 1 : 0;
        const double lat = 49.9 + 0.01 * static_cast<double>(i / 40);
        const double lon = 7.9 + 0.01 * static_cast<double>(i % 40);
        const double step = speed / 3600.0 / 60.0;
        for (int k = 0; k < 10; ++k) {
            PosSample s;
            s.latitude = lat + step * k;
            s.longitude = lon;
            s.altitude = air ? 3000.0 - 10.0 * k : 0.0;
            s.airborne = air ? 1 : 0;
            s.groundSpeed = speed;
            s.dueTick = kStartTick + 100 * k;
            ac.stream.push_back(s);
        }
        ac.pose = AcPose{lat, lon, 0.0, 0.0, 0.0, air ? 3000.0 : 0.0, 0.0, speed};
    }
    return fleet;
}

struct Scene {
    Scene()
    {
        lf_installComponents();
        gf_resetTrafficState();
        gf_resetTrafficMailbox();
        lf_parkedAirport();
        fleet = lf_fleet();
        restart();
    }
    ~Scene()
    {
        gf_resetTrafficState();
        gf_poseTable().clear();
        gf_clearSimQueues(false);
    }
    void restart()
    {
        lf_parkedAirport();
        gf_liveAircraft() = fleet;
        gf_setEngineTick(kStartTick);
        gf_resetEnginePassCounters();
        gf_clearSimQueues(false);
        gf_removalQueue().clear();
    }
    std::vector<LiveAc> fleet;
};

// One engine pass, the simulator link's queues emptied as its frames would.
void BM_EnginePass(benchmark::State& state)
{
    Scene scene;
    std::int64_t passes = 0;
    for (auto _ : state) {
        if (++passes % 500 == 0) {
            state.PauseTiming();
            scene.restart();
            state.ResumeTiming();
        }
        lf_handleAddingStack();
    }
    state.counters["budget_us"] = 10000.0;
}
BENCHMARK(BM_EnginePass)->Unit(benchmark::kMicrosecond);
// A fixed number of passes, for counting instructions (valgrind --tool=callgrind).
BENCHMARK(BM_EnginePass)->Unit(benchmark::kMicrosecond)->Iterations(400);

// The 20th pass, which adds the create, the user requests and the purge.
void BM_EnginePassTwentieth(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        state.PauseTiming();
        scene.restart();
        for (int i = 0; i < 19; ++i) lf_handleAddingStack();
        state.ResumeTiming();
        lf_handleAddingStack();
    }
}
BENCHMARK(BM_EnginePassTwentieth)->Unit(benchmark::kMicrosecond)->Iterations(200);

// The main loop's one-second job on the same traffic.
void BM_OneSecondJob(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        state.PauseTiming();
        scene.restart();
        state.ResumeTiming();
        lf_everySecond();
    }
}
BENCHMARK(BM_OneSecondJob)->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace
