#include <cmath>
#include <limits>
#include <stdexcept>
#include <tuple>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "simlink/PoseTable.h"
#include "traffic/TrafficPassDriver.h"

namespace zelk {
namespace {

constexpr LatLon kStandAt{50.0, 8.5};
constexpr std::uint32_t kHexId = 0x3C6444;

class LiveUpdate : public test::TrafficPassTest {
protected:
    void SetUp() override
    {
        TrafficPassTest::SetUp();
        gf_updateSettings([](SettingsSnapshot& s) {
            s.COLLISION_USER_AIR = false;
            s.HOLDING_THRESHOLD_METERS = 250;
        });
    }

    // A sample the given metres from the stand point along a bearing (degrees).
    static PosSample away(double bearingDeg, double meters, std::int32_t due, double altitudeFt = 0.0,
                          double speedKt = 0.0)
    {
        const LatLon p = gf_destinationPoint(kStandAt, bearingDeg * kDegToRad, meters / 0.3048);
        return sample(p.latitude, p.longitude, altitudeFt, speedKt, due);
    }

    // The only live aircraft: shown, at the stand point heading north, on the
    // ground unless its first sample is airborne.
    LiveAc& shown(FlightPhase phase, std::vector<PosSample> stream, AcCategory category = AcCategory::Large)
    {
        gf_liveAircraft().clear();
        LiveAc& ac = addLive(kHexId, "DLH4", "D-AIXA", std::move(stream), category);
        ac.simState = SimState::active;
        ac.objectId = 200;
        ac.phase = phase;
        ac.onGround = ac.stream.empty() || ac.stream.front().airborne == 0 ? 1 : 0;
        ac.pose.latitude = ac.standLatitude = kStandAt.latitude;
        ac.pose.longitude = ac.standLongitude = kStandAt.longitude;
        return ac;
    }

    static std::int32_t now() { return gf_engineTick(); }
};

TEST_F(LiveUpdate, AirborneAircraftFollowsItsStreamUntilItRunsOut)
{
    // Three reports 5 s apart, each in the feed's batch of its second.
    std::int32_t due = 0;
    for (int i = 0; i < 3; ++i) {
        deliver({received(kHexId, "DLH4AB", "D-AIXA", "A320", sample(50.0 + 0.007 * i, 8.0, 12000, 300, 0),
                          kFirstReportTime + 5.0 * i)});
        if (i == 0)
            due = now() + 3000;
        enginePasses(500);
    }
    ASSERT_EQ(live(kHexId)->stream.size(), 3u);
    for (int n = 0; n < 3000 && live(kHexId)->simState != SimState::active; ++n)
        enginePass();
    ASSERT_EQ(live(kHexId)->simState, SimState::active);
    const std::uint32_t id = port.createdObjects().at(0).objectId;
    double latitude = 0.0;
    double atLastSample = 0.0;
    int n = 0;
    for (; n < 5000 && live(kHexId)->simState == SimState::active; ++n) {
        enginePass();
        if (live(kHexId)->simState != SimState::active)
            break;
        ASSERT_TRUE(posedLastPass(id)) << "pass " << n;
        EXPECT_GE(gf_poseTable().samples(id).back().pose.latitude, latitude) << "pass " << n;
        latitude = gf_poseTable().samples(id).back().pose.latitude;
        if (now() == due + 1001)
            atLastSample = latitude;
    }
    EXPECT_NEAR(atLastSample, 50.014, 0.003);
    EXPECT_GT(latitude, 50.014) << "flew on past its last sample";
    EXPECT_GT(n, 2700) << "the flying hold lasts 27 s";
    enginePasses(25);
    EXPECT_EQ(live(kHexId), nullptr);
    EXPECT_TRUE(port.object(id)->removed);
    EXPECT_TRUE(port.liveObjects().empty());
}

TEST_F(LiveUpdate, PoseHandedOnOnlyWhenFinite)
{
    double pitch = 3.0;
    LiveMotionHooks hooks;
    hooks.motionPass = [&](LiveAc& ac) {
        ac.pose.pitch = pitch;
        ac.pose.heading = -0.5;
    };
    gf_setLiveMotionHooks(hooks);
    shown(FlightPhase::taxi, {sample(50, 8.5, 0, 5, now())});
    EXPECT_FALSE(updateLiveAc(*live(kHexId)));
    gf_poseTable().flushPass(steady->now());
    EXPECT_DOUBLE_EQ(gf_poseTable().samples(200).back().pose.pitch, kFullCircle / 4.0);
    EXPECT_DOUBLE_EQ(gf_poseTable().samples(200).back().pose.heading, kFullCircle - 0.5);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        pitch = bad;
        updateLiveAc(*live(kHexId));
        EXPECT_EQ(gf_poseTable().passPoseCount(), 0u);
    }
    live(kHexId)->objectId = 0;
    EXPECT_TRUE(updateLiveAc(*live(kHexId))) << "active without an object";
    EXPECT_NE(log().find("updateLiveAc objectid=0? hexid: 3c6444,cs:DLH4, reg:D-AIXA"), std::string::npos);
    hooks.motionPass = [](LiveAc&) { throw std::runtime_error("no leg"); };
    gf_setLiveMotionHooks(hooks);
    shown(FlightPhase::taxi, {sample(50, 8.5, 0, 5, now())});
    EXPECT_FALSE(updateLiveAc(*live(kHexId))) << "the pass goes on";
    EXPECT_NE(log().find("updateLiveAc: no leg DLH4, sz:1, fs:taxi, st:active"), std::string::npos);
    shown(FlightPhase::taxi, {});
    updateLiveAc(*live(kHexId));
    EXPECT_EQ(live(kHexId)->simState, SimState::removingfromsim);
    EXPECT_NE(log().find("updateLiveAc stream empty ? DLH4     D-AIXA"), std::string::npos);
}

TEST_F(LiveUpdate, NewSamplesOfAKnownAircraft)
{
    const std::int32_t t = now() + 300;
    // name, phase, newest sample, new sample; afterwards: stream size, and the
    // newest sample's repeat flag, latitude and due tick
    const std::tuple<const char*, FlightPhase, PosSample, PosSample, std::size_t, int, double, std::int32_t> rows[] = {
        {"repeat", FlightPhase::taxi, away(0, 0, t), away(0, 0.0005, t + 500), 2, 1, away(0, 0.0005, 0).latitude,
         t + 500},
        {"near repeat", FlightPhase::taxi, away(0, 0, t), away(0, 11, t + 500), 2, 1, 50, t + 1},
        {"a move", FlightPhase::taxi, away(0, 0, t), away(0, 22, t + 500), 2, 0, away(0, 22, 0).latitude, t + 500},
        {"airborne repeat", FlightPhase::flying, away(0, 0, t, 3000), away(0, 0, t + 500, 3000), 1, 0, 50, t},
        {"re-timed hop", FlightPhase::flying, away(0, 0, t, 3000, 300), away(0, 50, t + 1, 3000, 300), 2, 0,
         away(0, 50, 0).latitude, t + 25},
        {"11 m behind in the roll", FlightPhase::takeoff_roll, away(0, 100, t), away(0, 89, t + 500), 2, 0,
         away(0, 89, 0).latitude, t + 500},
        {"9 m behind in the roll", FlightPhase::takeoff_roll, away(0, 100, t), away(0, 91, t + 500), 3, 0,
         away(0, 91, 0).latitude, t + 500},
    };
    for (const auto& [name, phase, newest, next, size, skip, latitude, due] : rows) {
        LiveAc& ac = shown(phase, {newest});
        if (phase == FlightPhase::takeoff_roll)
            ac.stream.push_front(away(0, 0, t - 300, 0, 30));
        PosSample s = next;
        decodeExisting(ac, s);
        EXPECT_EQ(ac.stream.size(), size) << name;
        EXPECT_EQ(ac.stream.back().skip, skip) << name;
        EXPECT_NEAR(ac.stream.back().latitude, latitude, 1e-12) << name;
        EXPECT_EQ(ac.stream.back().dueTick, due) << name;
    }

    PosSample repeat = away(0, 0, t + 400);
    repeat.skip = 1;
    LiveAc& standing = shown(FlightPhase::taxi, {repeat});
    decodeExisting(standing, repeat);
    EXPECT_EQ(standing.stream.front().dueTick, now() + 1) << "two repeats: the older is due next tick";

    LiveAc& full = shown(FlightPhase::taxi, {});
    for (int i = 0; i < 200; ++i) {
        PosSample s = away(0, 100.0 * i, t + 100 * i, 0, 20);
        decodeExisting(full, s);
    }
    EXPECT_EQ(full.stream.size(), 200u);
    EXPECT_EQ(full.simState, SimState::active);
    PosSample s201 = away(0, 20000, t + 20000, 0, 20);
    decodeExisting(full, s201);
    EXPECT_EQ(full.stream.size(), 200u);
    EXPECT_EQ(full.simState, SimState::removingfromsim) << "the 201st sample removes it";
}

TEST_F(LiveUpdate, LeavingTheStand)
{
    const std::int32_t t = now() + 100;
    // name, phase, category, gate, new sample; accepted, departure mode, phase and state afterwards
    const std::tuple<const char*, FlightPhase, AcCategory, int, PosSample, bool, int, FlightPhase, SimState> rows[] = {
        {"pushback", FlightPhase::parked, AcCategory::Large, 0, away(180, 250, t), true, 0, FlightPhase::parked,
         SimState::active},
        {"pull-out", FlightPhase::parked, AcCategory::Light, 1, away(0, 160, t), true, 1, FlightPhase::parked,
         SimState::active},
        {"not yet out", FlightPhase::parked, AcCategory::Light, 1, away(0, 140, t), false, 0, FlightPhase::parked,
         SimState::active},
        {"too far", FlightPhase::parked, AcCategory::Large, 0, away(180, 400, t), false, 0, FlightPhase::parked,
         SimState::removingfromsim},
        {"parking 201 m", FlightPhase::parking, AcCategory::Large, 0, away(90, 201, t), true, 0, FlightPhase::taxi,
         SimState::active},
        {"parking 199 m", FlightPhase::parking, AcCategory::Large, 0, away(90, 199, t), false, 0, FlightPhase::parking,
         SimState::active},
    };
    for (const auto& [name, phase, category, gate, next, accepted, mode, phaseAfter, stateAfter] : rows) {
        LiveAc& ac = shown(phase, {away(0, 0, t - 50)}, category);
        ac.gateStand = static_cast<std::uint8_t>(gate);
        PosSample s = next;
        s.skip = 1;
        EXPECT_EQ(checkExtendingSituations(ac, s), accepted) << name;
        EXPECT_EQ(ac.groundOps.departureStarted != 0, accepted && phase == FlightPhase::parked) << name;
        EXPECT_EQ(ac.groundOps.departureMode, mode) << name;
        EXPECT_EQ(s.skip, accepted ? 0 : 1) << name;
        EXPECT_EQ(ac.phase, phaseAfter) << name;
        EXPECT_EQ(ac.simState, stateAfter) << name;
    }

    // Towed: it landed, parked, and leaves within its category's minutes of its last report.
    for (auto [category, minutes, towed] : {std::tuple{AcCategory::Heavy, 59, 1}, std::tuple{AcCategory::Heavy, 60, 0},
                                            std::tuple{AcCategory::Light, 1, 0}}) {
        LiveAc& ac = shown(FlightPhase::parked, {away(0, 0, now() - minutes * 6000 + 60'480'000)}, category);
        ac.previousPhase = FlightPhase::parking;
        ac.phaseBeforePrevious = FlightPhase::landing_roll;
        ac.streamCounter = 1;
        PosSample s = away(180, 250, now() + 200);
        lf_markStandDeparture(ac, s, 0);
        EXPECT_EQ(ac.towed, towed) << minutes;
        EXPECT_EQ(ac.phaseBeforePrevious, FlightPhase::birth);
        EXPECT_EQ(ac.stream.front().dueTick, now() + 1);
        EXPECT_EQ(ac.streamCounter, 0);
    }
}

// A pushback candidate that the next sample does not bear out (it jumped 45 m
// in a second) is dropped, and the outward run counts again from that sample:
// a single step later is no new candidate.
TEST_F(LiveUpdate, DroppedPushbackCandidateRestartsTheOutwardRun)
{
    LiveAc& ac = shown(FlightPhase::parked, {away(0, 0, now())});
    std::int32_t due = now();
    const auto next = [&](double meters) {
        due += 100;
        PosSample s = away(180, meters, due);
        return checkExtendingSituations(ac, s);
    };
    for (const double m : {1.0, 5.0, 9.0, 13.0})
        EXPECT_FALSE(next(m)) << m;
    ASSERT_EQ(ac.standDepartureWatch.candidate, 1) << "an outward run of half a span behind the stand";
    EXPECT_FALSE(next(58.0));
    EXPECT_EQ(ac.standDepartureWatch.candidate, 0);
    EXPECT_EQ(ac.standDepartureWatch.count, 0);
    EXPECT_FALSE(next(68.0));
    EXPECT_EQ(ac.standDepartureWatch.candidate, 0) << "one step is no run";
    EXPECT_EQ(ac.groundOps.departureStarted, 0);
}

TEST_F(LiveUpdate, HoldsAndGoArounds)
{
    const std::int32_t t = now() + 100;
    for (auto [meters, removed] : {std::pair{260.0, true}, std::pair{240.0, false}}) {
        LiveAc& ac = shown(FlightPhase::taxi, {away(0, 0, t)});
        ac.holding = 1;
        ac.streamCounter = 4;
        PosSample s = away(0, meters, t + 500, 0, 10);
        decodeExisting(ac, s);
        EXPECT_EQ(ac.simState == SimState::removingfromsim, removed) << meters;
        EXPECT_EQ(ac.streamCounter, 0) << meters;
        EXPECT_EQ(ac.stream.size(), removed ? 1u : 2u) << meters;
    }

    // altitude, vertical speed and airborne flag of the new sample; watch and airborne flag afterwards
    for (auto [altitude, verticalSpeed, airborne, watch, airborneAfter] :
         {std::tuple{560, 600, 1, 0, 1}, std::tuple{520, 600, 1, 1, 0}, std::tuple{560, 300, 1, 1, 0},
          std::tuple{0, 0, 0, 0, 0}}) {
        LiveAc& ac = shown(FlightPhase::landing, {away(0, 0, t, 500, 130)});
        ac.goAroundWatch = {1, 500.0, 500.0};
        PosSample s = away(0, 150, t + 200, altitude, 130);
        s.airborne = static_cast<std::uint8_t>(airborne);
        s.verticalSpeed = verticalSpeed;
        EXPECT_TRUE(checkNewPosDuringLanding(ac, s));
        EXPECT_EQ(ac.goAroundWatch.set, watch) << altitude;
        EXPECT_EQ(s.airborne, airborneAfter) << altitude;
    }
}

TEST_F(LiveUpdate, NewHexIdIsConfirmed)
{
    auto& entries = gf_newAircraftConfirmations();
    EXPECT_TRUE(gf_confirmNewAircraft(0x400000, away(0, 0, 0), 100.0)) << "no entry: at once";
    entries[0x400000] = {kStandAt.latitude, kStandAt.longitude, 100.0, 1, 0}; // as a jump leaves it
    EXPECT_FALSE(gf_confirmNewAircraft(0x400000, away(0, 140, 0), 130.0));
    EXPECT_TRUE(gf_confirmNewAircraft(0x400000, away(0, 280, 0), 190.0)) << "three reports within 150 m and 60 s";
    EXPECT_FALSE(entries.contains(0x400000));

    entries[0x400000] = {kStandAt.latitude, kStandAt.longitude, 100.0, 2, 0};
    // seconds, metres north; the count afterwards
    for (auto [time, meters, count] : {std::tuple{161.0, 0.0, 1}, std::tuple{170.0, 151.0, 1},
                                       std::tuple{170.0, 151.0, 1}, std::tuple{175.0, 151.0, 2}}) {
        EXPECT_FALSE(gf_confirmNewAircraft(0x400000, away(0, meters, 0), time));
        EXPECT_EQ(entries[0x400000].count, count) << time;
    }
    entries[0x400000].blocked = 1;
    EXPECT_FALSE(gf_confirmNewAircraft(0x400000, away(0, 151, 0), 176.0));
    EXPECT_TRUE(gf_confirmNewAircraft(0x400000, away(0, 0, 0, 3000), 177.0)) << "airborne: at once";
    EXPECT_FALSE(entries.contains(0x400000));
}

} // namespace
} // namespace zelk
