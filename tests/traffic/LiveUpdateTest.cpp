#include <cmath>
#include <limits>
#include <tuple>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "simlink/PoseTable.h"
#include "traffic/TrafficPassDriver.h"

namespace zelk {
namespace {

constexpr LatLon kStand{50.0, 8.5};
constexpr std::uint32_t kHex = 0x3C6444;

class LiveUpdate : public test::TrafficPassTest {
protected:
    void SetUp() override
    {
        TrafficPassTest::SetUp();
        gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    }

    // A sample the given metres from the stand point along a bearing (degrees).
    static PosSample away(double bearingDeg, double meters, std::int32_t due, double altitudeFt = 0.0,
                          double speedKt = 0.0)
    {
        const LatLon p = gf_destinationPoint(kStand, bearingDeg * kDegToRad, meters / 0.3048);
        return sample(p.latitude, p.longitude, altitudeFt, speedKt, due);
    }

    // The only live aircraft: shown, on the ground at the stand point heading north.
    LiveAc& shown(FlightPhase phase, std::vector<PosSample> stream, AcCategory category = AcCategory::Large)
    {
        gf_liveAircraft().clear();
        LiveAc& ac = addLive(kHex, "DLH4", "D-AIXA", std::move(stream), category);
        ac.simState = SimState::active;
        ac.objectId = 200;
        ac.phase = phase;
        ac.onGround = 1;
        ac.pose.latitude = ac.standLatitude = kStand.latitude;
        ac.pose.longitude = ac.standLongitude = kStand.longitude;
        return ac;
    }

    std::int32_t now() const { return gf_engineTick(); }
};

TEST_F(LiveUpdate, AirborneAircraftFollowsItsStreamUntilItRunsOut)
{
    const std::int32_t due = now() + 5;
    addLive(kHex, "DLH4AB", "D-AIXA",
            {sample(50.0, 8.0, 12000, 300, due), sample(50.007, 8.0, 12000, 300, due + 500),
             sample(50.014, 8.0, 12000, 300, due + 1000)});
    for (int n = 0; n < 400 && live(kHex)->simState != SimState::active; ++n)
        pass();
    ASSERT_EQ(live(kHex)->simState, SimState::active);
    const std::uint32_t id = port.createdObjects().at(0).objectId;
    double lastLatitude = 0.0;
    double atLastSample = 0.0;
    int n = 0;
    for (; n < 5000 && live(kHex) != nullptr && live(kHex)->simState == SimState::active; ++n) {
        pass();
        if (live(kHex)->simState != SimState::active)
            break;
        ASSERT_EQ(lastPassPoses, 1u) << "pass " << n;
        const double latitude = gf_poseTable().samples(id).back().pose.latitude;
        EXPECT_GE(latitude, lastLatitude) << "pass " << n;
        lastLatitude = latitude;
        if (now() == due + 1001)
            atLastSample = latitude;
    }
    EXPECT_NEAR(atLastSample, 50.014, 0.003);
    EXPECT_GT(lastLatitude, 50.014) << "flew on past its last sample";
    EXPECT_GT(n, 2700) << "the flying hold lasts 27 s";
    passes(25);
    EXPECT_EQ(live(kHex), nullptr);
    EXPECT_TRUE(port.object(id)->removed);
    EXPECT_TRUE(port.liveObjects().empty());
}

TEST_F(LiveUpdate, PoseHandedOnOnlyWhenFinite)
{
    LiveMotionHooks hooks;
    double pitch = 3.0;
    hooks.motionPass = [&](LiveAc& ac) {
        ac.pose.pitch = pitch;
        ac.pose.heading = -0.5;
    };
    gf_setLiveMotionHooks(hooks);
    shown(FlightPhase::taxi, {sample(50, 8.5, 0, 5, now())});
    EXPECT_FALSE(updateLiveAc(*live(kHex)));
    ASSERT_EQ(gf_poseTable().passPoseCount(), 1u);
    gf_poseTable().flushPass(steady->now());
    const SimPose pose = gf_poseTable().samples(200).back().pose;
    EXPECT_DOUBLE_EQ(pose.pitch, kFullCircle / 4.0);
    EXPECT_DOUBLE_EQ(pose.heading, kFullCircle - 0.5);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        pitch = bad;
        updateLiveAc(*live(kHex));
        EXPECT_EQ(gf_poseTable().passPoseCount(), 0u);
    }
    live(kHex)->objectId = 0;
    updateLiveAc(*live(kHex));
    EXPECT_TRUE(live(kHex)->erase) << "active without an object";
    EXPECT_NE(log().find("updateLiveAc objectid=0? hexid: 3c6444,cs:DLH4, reg:D-AIXA"), std::string::npos);
    shown(FlightPhase::taxi, {}).objectId = 200;
    updateLiveAc(*live(kHex));
    EXPECT_EQ(live(kHex)->simState, SimState::removingfromsim);
    EXPECT_NE(log().find("updateLiveAc stream empty ? DLH4     D-AIXA"), std::string::npos);
}

TEST_F(LiveUpdate, NewSamplesOfAKnownAircraft)
{
    const std::int32_t t = now() + 300;
    struct Row {
        const char* name;
        FlightPhase phase;
        PosSample newest;
        PosSample next;
        std::size_t size;        // of the stream afterwards
        std::uint8_t skip;       // of the newest sample afterwards
        double latitude;         // of the newest sample afterwards
        std::int32_t due;        // of the newest sample afterwards
    };
    const Row rows[] = {
        {"repeat", FlightPhase::taxi, sample(50, 8.5, 0, 5, t), sample(50 + 5e-9, 8.5, 0, 5, t + 500), 2, 1,
         50 + 5e-9, t + 500},
        {"near repeat", FlightPhase::taxi, sample(50, 8.5, 0, 5, t), sample(50.0001, 8.5, 0, 5, t + 500), 2, 1, 50,
         t + 1},
        {"a move", FlightPhase::taxi, sample(50, 8.5, 0, 5, t), sample(50.0002, 8.5, 0, 5, t + 500), 2, 0, 50.0002,
         t + 500},
        {"airborne repeat", FlightPhase::flying, sample(50, 8.5, 3000, 200, t), sample(50, 8.5, 3000, 200, t + 500),
         1, 0, 50, t},
        {"re-timed short hop", FlightPhase::flying, sample(50, 8.5, 3000, 300, t),
         away(0, 50, t + 1, 3000, 300), 2, 0, away(0, 50, 0).latitude, t + 25},
        {"11 m behind in the roll", FlightPhase::takeoff_roll, away(0, 100, t), away(0, 89, t + 500), 2, 0,
         away(0, 89, 0).latitude, t + 500},
        {"9 m behind in the roll", FlightPhase::takeoff_roll, away(0, 100, t), away(0, 91, t + 500), 3, 0,
         away(0, 91, 0).latitude, t + 500},
    };
    for (const Row& row : rows) {
        LiveAc& ac = shown(row.phase, {row.newest});
        ac.onGround = row.newest.airborne != 0 ? 0 : 1;
        if (row.phase == FlightPhase::takeoff_roll)
            ac.stream.push_front(sample(50, 8.5, 0, 30, t - 300));
        PosSample s = row.next;
        decodeExisting(ac, s);
        EXPECT_EQ(ac.stream.size(), row.size) << row.name;
        EXPECT_EQ(ac.stream.back().skip, row.skip) << row.name;
        EXPECT_NEAR(ac.stream.back().latitude, row.latitude, 1e-12) << row.name;
        EXPECT_EQ(ac.stream.back().dueTick, row.due) << row.name;
    }

    PosSample repeat = sample(50, 8.5, 0, 3, t + 400);
    repeat.skip = 1;
    LiveAc& standing = shown(FlightPhase::taxi, {repeat});
    PosSample again = repeat;
    decodeExisting(standing, again);
    ASSERT_EQ(standing.stream.size(), 2u);
    EXPECT_EQ(standing.stream.front().dueTick, now() + 1) << "two repeats: the older is due next tick";

    LiveAc& full = shown(FlightPhase::taxi, {});
    for (int i = 0; i < 199; ++i)
        full.stream.push_back(sample(50 + 0.001 * i, 8.5, 0, 20, t + 100 * i));
    PosSample s200 = sample(50.2, 8.5, 0, 20, t + 20000);
    decodeExisting(full, s200);
    EXPECT_EQ(full.stream.size(), 200u);
    EXPECT_EQ(full.simState, SimState::active);
    PosSample s201 = sample(50.3, 8.5, 0, 20, t + 30000);
    decodeExisting(full, s201);
    EXPECT_EQ(full.stream.size(), 200u);
    EXPECT_EQ(full.simState, SimState::removingfromsim) << "the 201st sample removes it";
}

TEST_F(LiveUpdate, LeavingTheStand)
{
    struct Row {
        const char* name;
        FlightPhase phase;
        AcCategory category;
        std::uint8_t gate;
        PosSample next;
        bool accepted;
        std::uint8_t mode;
        FlightPhase phaseAfter;
        SimState stateAfter;
    };
    const std::int32_t t = now() + 100;
    const Row rows[] = {
        {"pushback", FlightPhase::parked, AcCategory::Large, 0, away(180, 250, t), true, 0, FlightPhase::parked,
         SimState::active},
        {"pull-out", FlightPhase::parked, AcCategory::Light, 1, away(0, 160, t), true, 1, FlightPhase::parked,
         SimState::active},
        {"ahead below the threshold", FlightPhase::parked, AcCategory::Light, 1, away(0, 140, t), false, 0,
         FlightPhase::parked, SimState::active},
        {"too far", FlightPhase::parked, AcCategory::Large, 0, away(180, 400, t), false, 0, FlightPhase::parked,
         SimState::removingfromsim},
        {"parking 201 m", FlightPhase::parking, AcCategory::Large, 0, away(90, 201, t), true, 0, FlightPhase::taxi,
         SimState::active},
        {"parking 199 m", FlightPhase::parking, AcCategory::Large, 0, away(90, 199, t), false, 0,
         FlightPhase::parking, SimState::active},
    };
    for (const Row& row : rows) {
        LiveAc& ac = shown(row.phase, {sample(50, 8.5, 0, 0, t - 50)}, row.category);
        ac.gateStand = row.gate;
        PosSample s = row.next;
        s.skip = 1;
        EXPECT_EQ(checkExtendingSituations(ac, s), row.accepted) << row.name;
        EXPECT_EQ(ac.groundOps.departureStarted != 0, row.accepted && row.phase == FlightPhase::parked) << row.name;
        EXPECT_EQ(ac.groundOps.departureMode, row.mode) << row.name;
        EXPECT_EQ(s.skip, row.accepted ? 0 : 1) << row.name;
        EXPECT_EQ(ac.phase, row.phaseAfter) << row.name;
        EXPECT_EQ(ac.simState, row.stateAfter) << row.name;
    }

    // Towed: landed, parked and leaving the stand within the category's minutes.
    for (auto [category, minutes, towed] : {std::tuple{AcCategory::Heavy, 59, 1}, std::tuple{AcCategory::Heavy, 60, 0},
                                            std::tuple{AcCategory::Light, 1, 0}}) {
        PosSample holdCopy = sample(50, 8.5, 0, 0, now() - minutes * 6000 + 60'480'000);
        LiveAc& ac = shown(FlightPhase::parked, {holdCopy}, category);
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

TEST_F(LiveUpdate, HoldsAndGoArounds)
{
    const std::int32_t t = now() + 100;
    gf_updateSettings([](SettingsSnapshot& s) { s.HOLDING_THRESHOLD_METERS = 250; });
    for (auto [meters, removed] : {std::pair{260.0, true}, std::pair{240.0, false}}) {
        LiveAc& ac = shown(FlightPhase::taxi, {sample(50, 8.5, 0, 0, t)});
        ac.holding = 1;
        ac.streamCounter = 4;
        PosSample s = away(0, meters, t + 500, 0, 10);
        decodeExisting(ac, s);
        EXPECT_EQ(ac.simState == SimState::removingfromsim, removed) << meters;
        EXPECT_EQ(ac.streamCounter, 0) << meters;
        EXPECT_EQ(ac.stream.size(), removed ? 1u : 2u) << meters;
    }

    struct Row {
        double altitude;
        double verticalSpeed;
        std::uint8_t airborne;
        std::uint8_t watchAfter;
        std::uint8_t airborneAfter;
    };
    for (const Row& row : {Row{560, 600, 1, 0, 1}, Row{520, 600, 1, 1, 0}, Row{560, 300, 1, 1, 0},
                           Row{0, 0, 0, 0, 0}}) {
        LiveAc& ac = shown(FlightPhase::landing, {sample(50, 8.5, 500, 130, t)});
        ac.goAroundWatch = {1, 500.0, 500.0};
        PosSample s = away(0, 150, t + 200, row.altitude, 130);
        s.airborne = row.airborne;
        s.verticalSpeed = row.verticalSpeed;
        EXPECT_TRUE(checkNewPosDuringLanding(ac, s));
        EXPECT_EQ(ac.goAroundWatch.set, row.watchAfter) << row.altitude;
        EXPECT_EQ(s.airborne, row.airborneAfter) << row.altitude;
    }
}

TEST_F(LiveUpdate, NewHexIdIsConfirmed)
{
    auto& entries = gf_newAircraftConfirmations();
    const PosSample ground = away(0, 0, 0);
    EXPECT_TRUE(gf_confirmNewAircraft(0x400000, ground, 100.0)) << "no entry: at once";
    entries[0x400000] = {kStand.latitude, kStand.longitude, 100.0, 1, 0};
    EXPECT_FALSE(gf_confirmNewAircraft(0x400000, away(0, 140, 0), 130.0));
    EXPECT_TRUE(gf_confirmNewAircraft(0x400000, away(0, 280, 0), 190.0)) << "three reports within 150 m and 60 s";
    EXPECT_FALSE(entries.contains(0x400000));

    entries[0x400000] = {kStand.latitude, kStand.longitude, 100.0, 2, 0};
    EXPECT_FALSE(gf_confirmNewAircraft(0x400000, ground, 161.0));
    EXPECT_EQ(entries[0x400000].count, 1) << "61 s restarts at 1";
    EXPECT_FALSE(gf_confirmNewAircraft(0x400000, away(0, 151, 0), 170.0));
    EXPECT_EQ(entries[0x400000].count, 1) << "151 m restarts at 1";
    EXPECT_FALSE(gf_confirmNewAircraft(0x400000, away(0, 151, 0), 170.0));
    EXPECT_EQ(entries[0x400000].count, 1) << "no time passed";
    entries[0x400000].blocked = 1;
    EXPECT_FALSE(gf_confirmNewAircraft(0x400000, away(0, 151, 0), 175.0));
    EXPECT_TRUE(gf_confirmNewAircraft(0x400000, away(0, 0, 0, 3000), 176.0)) << "airborne: at once";
    EXPECT_FALSE(entries.contains(0x400000));
}

} // namespace
} // namespace zelk
