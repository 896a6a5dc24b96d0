// The collision passes over a busy airport: 1,000 stands each holding a parked
// aircraft, 1,000 live aircraft of which 100 taxi between the stands. Both
// passes must stay well inside the 1 ms engine-pass target (a pass is 10 ms).
#include <cmath>

#include <benchmark/benchmark.h>

#include "ground/GroundGeometry.h"
#include "ground/StandFinder.h"
#include "traffic/StandClaims.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"
#include "traffic/TrafficTestData.h"

namespace {

using namespace zelk;

constexpr int kRows = 20;
constexpr int kColumns = 50;
constexpr double kSpacingM = 100.0;
constexpr double kLatitude = 50.0;

LatLon lf_point(double northM, double eastM)
{
    return {kLatitude + northM / 1852.0 / 60.0, 8.5 + eastM / 1852.0 / 60.0 / std::cos(kLatitude * kDegToRad)};
}

void lf_buildAirport()
{
    test::loadTrafficTestDbase();
    gf_resetTrafficState();
    auto& stands = gf_stands();
    for (int i = 0; i < kRows * kColumns; ++i) {
        ParkPos s;
        s.id = static_cast<std::uint32_t>(i + 1);
        s.name = "S" + std::to_string(i + 1);
        const LatLon p = lf_point((i / kColumns) * kSpacingM, (i % kColumns) * kSpacingM);
        s.latitude = p.latitude;
        s.longitude = p.longitude;
        s.radius = 30.0 / 1852.0;
        s.type = StandType::GATE_MEDIUM;
        s.hasParkingType = 1;
        stands.push_back(s);
        StaticAc st;
        st.hexId = static_cast<std::uint32_t>(i + 1);
        st.category = AcCategory::Large;
        st.proximityRadius = 0.01;
        st.simState = SimState::active;
        st.objectId = static_cast<std::uint32_t>(i + 3);
        st.placeAtStand(s);
        gf_staticAircraft().push_back(st);
    }
    for (int i = 0; i < 1000; ++i) {
        LiveAc ac;
        ac.hexId = 0x100000 + static_cast<std::uint32_t>(i);
        ac.head.callsign = "LIVE" + std::to_string(i);
        ac.category = AcCategory::Large;
        ac.proximityRadius = 0.01;
        ac.simState = SimState::active;
        ac.objectId = 5000 + static_cast<std::uint32_t>(i);
        const bool taxiing = i % 10 == 0;
        ac.onGround = taxiing ? 1 : 0;
        ac.phase = taxiing ? FlightPhase::taxi : FlightPhase::flying;
        // Taxiing across the stand rows, 50 m in front of a stand: seen, never entered.
        const int stand = (i / 10) * 10;
        const LatLon p = taxiing ? lf_point((stand / kColumns) * kSpacingM - 50.0, (stand % kColumns) * kSpacingM)
                                 : lf_point(5000.0 + i, 5000.0);
        ac.pose.latitude = p.latitude;
        ac.pose.longitude = p.longitude;
        ac.pose.heading = taxiing ? 90.0 * kDegToRad : 0.0;
        ac.pose.altitude = taxiing ? 0.0 : 3000.0;
        PosSample s;
        s.latitude = p.latitude;
        s.longitude = p.longitude;
        s.groundSpeed = taxiing ? 4.0 : 250.0;
        s.airborne = taxiing ? 0 : 1;
        ac.stream.push_back(s);
        ac.stream.push_back(s);
        ac.arriving = 1;
        gf_liveAircraft().push_back(std::move(ac));
    }
    TrafficGroundHooks hooks;
    hooks.relativePosition = gf_relativePosition;
    hooks.checkStandEntry = gf_checkStandEntry;
    hooks.circlesOverlapNm = gf_circlesOverlapNm;
    gf_setTrafficGroundHooks(std::move(hooks));
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) {
        h.userAircraftPosition = [] {
            UserAcPosition user;
            user.latitude = kLatitude - 0.05;
            user.longitude = 8.5;
            return user;
        };
        h.userOnGround = [] { return true; };
    });
}

void BM_LiveVsParkedFullCheck(benchmark::State& state)
{
    lf_buildAirport();
    for (auto _ : state) {
        gf_resetLiveParkedPass(); // the parked count "changed": a full check
        gf_checkLiveWithParkedCollisions();
    }
    state.counters["removed"] = static_cast<double>(gf_removalQueue().size());
}
BENCHMARK(BM_LiveVsParkedFullCheck)->Unit(benchmark::kMicrosecond);

void BM_UserOnGround(benchmark::State& state)
{
    lf_buildAirport();
    for (auto _ : state)
        gf_checkUserAcGndCollisions();
    state.counters["removed"] = static_cast<double>(gf_removalQueue().size());
}
BENCHMARK(BM_UserOnGround)->Unit(benchmark::kMicrosecond);

} // namespace
