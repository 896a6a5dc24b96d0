#include <chrono>
#include <cmath>

#include <gtest/gtest.h>

#include "airports/ParkAirports.h"
#include "ground/GroundGeometry.h"
#include "ground/Motion.h"
#include "support/TestAirport.h"
#include "traffic/CollisionRules.h"
#include "traffic/SimRemoval.h"
#include "traffic/TrafficPassDriver.h"
#include "traffic/TrafficStateTestSupport.h"
#include "traffic/VerticalPlacement.h"

namespace zelk {
namespace {

constexpr std::string_view kRefused = "stand protected, occupied or not reserved";

// The test airport's stands and park airport; aircraft placed in metres
// relative to a stand (all stands face north: along is north, lateral east).
class StandClaims : public test::TrafficPassTest {
protected:
    void SetUp() override
    {
        test::TrafficPassTest::SetUp();
        test::installStands(test::testAirportStands());
        gf_setCurrentParkAirport(IcaoCode(test::TestAirport::kCode), test::TestAirport::kLatitude,
                                 test::TestAirport::kLongitude);
        titles.insert(titles.end(), {"Airbus A320 Lufthansa D-AIXB", "Airbus A320 Lufthansa D-AIXC"});
    }
    void TearDown() override
    {
        gf_setCurrentParkAirport(IcaoCode{}, 0.0, 0.0);
        test::TrafficPassTest::TearDown();
    }

    static LatLon nearStand(std::int32_t standId, double alongM, double lateralM = 0.0)
    {
        const ParkPos& s = gf_stands()[static_cast<std::size_t>(standId) - 1];
        return {s.latitude + alongM / 1852.0 / 60.0,
                s.longitude + lateralM / 1852.0 / 60.0 / std::cos(s.latitude * kDegToRad)};
    }

    // An aircraft reported on the ground at a spot: its reports go to the
    // engine's mailbox with the others' in the feed's batches (untilActive).
    std::uint32_t spawnOnGround(std::uint32_t hexId, std::string callsign, std::string reg, LatLon at,
                                double speedKt = 3.0)
    {
        reported.push_back({hexId, std::move(callsign), std::move(reg), at, speedKt});
        return hexId;
    }

    // Two batches 24 s apart with a report of each aircraft, the first at its
    // spot, the second as far north as its speed took it (an aircraft that
    // moved less than 35 m stands, for the spawn, where it was reported last),
    // then the passes until the program shows them all.
    void untilActive(std::initializer_list<std::uint32_t> hexIds)
    {
        reportTwice();
        for (int n = 0; n < 3000; ++n) {
            bool all = true;
            for (const std::uint32_t h : hexIds)
                all = all && live(h) != nullptr && live(h)->simState == SimState::active;
            if (all)
                return;
            enginePass();
        }
        FAIL() << "not active";
    }

    void reportTwice()
    {
        for (const double seconds : {0.0, 24.0}) {
            std::vector<TrafficRecord> batch;
            for (const Reported& r : reported) {
                const double northM = r.speedKt * 1852.0 / 3600.0 * seconds;
                const LatLon at{r.at.latitude + northM / 1852.0 / 60.0, r.at.longitude};
                batch.push_back(received(r.hexId, r.callsign, r.registration, "A320",
                                         sample(at.latitude, at.longitude, 0.0, r.speedKt, 0),
                                         kFirstReportTime + seconds));
            }
            deliver(std::move(batch));
            if (seconds == 0.0)
                enginePasses(2400);
        }
        reported.clear();
    }

    void untilGone(std::uint32_t hexId)
    {
        for (int n = 0; n < 20 && live(hexId) != nullptr; ++n)
            enginePass();
        ASSERT_EQ(live(hexId), nullptr);
    }

    static void moveTo(LiveAc& ac, LatLon at)
    {
        ac.pose.latitude = at.latitude;
        ac.pose.longitude = at.longitude;
    }

    // Records made active by hand, for the passes that need no simulator object.
    static StaticAc& activeStatic(std::int32_t standId, double proximityRadius = 0.02)
    {
        StaticAc st = test::makeAircraft("ST", "D-ABCD");
        st.hexId = 9;
        st.simState = SimState::active;
        st.objectId = 50;
        st.proximityRadius = proximityRadius;
        st.placeAtStand(gf_stands()[static_cast<std::size_t>(standId) - 1]);
        gf_staticAircraft().push_back(st);
        return gf_staticAircraft().back();
    }
    LiveAc& activeLive(std::uint32_t hex, LatLon at, FlightPhase phase, AcCategory category = AcCategory::Large)
    {
        LiveAc& ac = addLive(hex, "L" + std::to_string(hex & 0xFF), "D-AIXA", {sample(at.latitude, at.longitude, 0, 3, 0)},
                             category);
        ac.simState = SimState::active;
        ac.objectId = hex & 0xFF;
        ac.onGround = 1;
        ac.phase = phase;
        moveTo(ac, at);
        return ac;
    }

    static std::size_t notes(const LiveAc& ac, std::int32_t standId, std::string_view reason)
    {
        return static_cast<std::size_t>(std::count_if(ac.standNotes.begin(), ac.standNotes.end(), [&](const StandNote& n) {
            return n.standId == standId && n.reason == reason;
        }));
    }

    bool logged(const std::string& text) { return log().find(text) != std::string::npos; }

    struct Reported {
        std::uint32_t hexId;
        std::string callsign;
        std::string registration;
        LatLon at;
        double speedKt;
    };
    std::vector<Reported> reported;
};

TEST_F(StandClaims, TwoAircraftOneStand)
{
    // Both on the stand's centre line, SWR2 within its reach of G7 (the
    // stand's 30 m and its own 18 m).
    spawnOnGround(0x100001, "DLH1", "D-AIXA", nearStand(7, -30.0));
    spawnOnGround(0x100002, "SWR2", "HB-JLT", nearStand(7, -46.0));
    untilActive({0x100001, 0x100002});
    gf_checkLiveWithParkedCollisions();
    EXPECT_EQ(notes(*live(0x100001), 7, "unknown route; stand approach not confirmed"), 1u);
    moveTo(*live(0x100001), nearStand(7, -25.0)); // approaching: the route is confirmed
    gf_checkLiveWithParkedCollisions();
    EXPECT_EQ(live(0x100001)->phase, FlightPhase::parking);
    EXPECT_EQ(live(0x100001)->standId, 7);
    EXPECT_EQ(live(0x100001)->groundOps.manoeuvre, static_cast<std::uint8_t>(GroundManoeuvre::driveToStand));

    live(0x100002)->arriving = 1;
    gf_checkLiveWithParkedCollisions();
    live(0x100001)->arriveAtStand();
    gf_checkLiveWithParkedCollisions();
    EXPECT_EQ(notes(*live(0x100002), 7, kRefused), 1u) << "kept once per stand and text";
    EXPECT_TRUE(logged("G7            : DLH1     removed, SWR2 wants to park there"));
    untilGone(0x100001);
    gf_checkLiveWithParkedCollisions();
    EXPECT_EQ(live(0x100002)->phase, FlightPhase::parking);
    EXPECT_EQ(live(0x100002)->standId, 7);
}

TEST_F(StandClaims, OverlappingNeighbourMakesRoomAndSpeedLimit)
{
    // G6 34 m beside G5: two A320s of 36 m span parked there overlap.
    ParkPos& g6 = gf_stands()[5];
    const LatLon besideG5 = nearStand(5, 0.0, 34.0);
    g6.latitude = besideG5.latitude;
    g6.longitude = besideG5.longitude;
    spawnOnGround(0x100003, "DLH3", "D-AIXB", nearStand(6, 0.0), 0.0); // parks on G6 at spawn
    spawnOnGround(0x100004, "DLH4", "D-AIXC", nearStand(5, -40.0));
    spawnOnGround(0x100005, "DLH5", "D-AIXA", nearStand(8, -40.0), 6.5);
    untilActive({0x100003, 0x100004, 0x100005});
    ASSERT_EQ(live(0x100003)->phase, FlightPhase::parked);
    live(0x100004)->arriving = 1;
    live(0x100005)->arriving = 1;
    gf_checkLiveWithParkedCollisions();
    EXPECT_TRUE(logged("G6            : DLH3     removed by parking DLH4 at colliding adjacent stand G5"));
    EXPECT_EQ(live(0x100004)->phase, FlightPhase::taxi);
    EXPECT_EQ(notes(*live(0x100005), 8, "current speed exceeds 6 kt"), 1u);
    EXPECT_EQ(live(0x100005)->phase, FlightPhase::taxi);
    untilGone(0x100003);
    gf_checkLiveWithParkedCollisions();
    EXPECT_EQ(live(0x100004)->standId, 5);
    EXPECT_EQ(live(0x100004)->phase, FlightPhase::parking);
}

TEST_F(StandClaims, CreatedParkedOverStatic)
{
    activeStatic(9);
    gf_staticWorkList().push_back({9, {}, "A", "", "", 0, 1});
    gf_staticWorkList().push_back({10, {}, "B", "", "", 0, 1});
    LiveAc& ac = activeLive(0x100006, nearStand(9, 0.0), FlightPhase::parked);
    ac.placeAtStand(gf_stands()[8]);
    hp_handleGroundTraffic(ac, false);
    EXPECT_TRUE(logged("G9            : L6       parks over static ST , static will be removed"));
    EXPECT_EQ(parked(9)->simState, SimState::removingfromsim);
    ASSERT_EQ(gf_staticWorkList().size(), 1u);
    EXPECT_EQ(gf_staticWorkList()[0].standId, 10);
}

TEST_F(StandClaims, TaxiingAircraftAgainstParkedOnes)
{
    struct Case {
        std::int32_t stand;
        double lateralM, alongM, headingDeg;
        bool takes;
    };
    for (const Case c : {Case{9, 0.0, -20.0, 8.0, true}, Case{10, 2.0, -20.0, -15.0, true},
                         Case{11, -2.0, -20.0, -15.0, false}}) {
        activeStatic(c.stand);
        LiveAc& ac = activeLive(0x100007, nearStand(c.stand, c.alongM, c.lateralM), FlightPhase::taxi);
        ac.pose.heading = std::fmod(c.headingDeg + 360.0, 360.0) * kDegToRad;
        gf_checkLiveWithParkedCollisions();
        EXPECT_EQ(parked(9)->simState, SimState::removingfromsim) << c.stand;
        EXPECT_EQ(live(0x100007)->standId == c.stand, c.takes) << c.stand;
        EXPECT_EQ(live(0x100007)->phase, c.takes ? FlightPhase::parking : FlightPhase::taxi) << c.stand;
        gf_staticAircraft().clear();
        gf_liveAircraft().clear();
    }
    EXPECT_TRUE(logged("G9            : ST       removed for 'live vs parked' collision avoidance with L7, delta hdg:8"));
}

// A parked aircraft placed while another went, between two calls: the count of
// parked aircraft is the same, but a taxiing aircraft that has not moved since
// its last check is checked against the new one at once.
TEST_F(StandClaims, ParkedAircraftPlacedSinceTheLastCallIsCheckedAtOnce)
{
    activeStatic(9);
    LiveAc& ac = activeLive(0x100008, nearStand(10, 0.0), FlightPhase::taxi);
    ac.stream.front().skip = 1; // standing where it was reported
    gf_checkLiveWithParkedCollisions();
    ASSERT_NE(ac.lastCheckedLatitude, 0.0);

    removeAircraftFromSim(*parked(9));
    gf_staticWorkList().push_back({10, {gf_airlineCode2Index("DLH"), 0, gf_modelCode2Index("A320"), 0, 0}, "DLH10",
                                   "D-AIXC", "", 0, 1});
    const auto placed = [] {
        for (const StaticAc& st : gf_staticAircraft())
            if (st.standId == 10 && st.simState == SimState::active)
                return true;
        return false;
    };
    enginePassesUntil(placed, 1500);
    ASSERT_TRUE(placed());
    const LiveAc* taxiing = live(0x100008);
    ASSERT_NE(taxiing, nullptr);
    ASSERT_LT(gf_relativePosition({taxiing->lastCheckedLatitude, taxiing->lastCheckedLongitude}, 0.0,
                                  {taxiing->pose.latitude, taxiing->pose.longitude})
                  .distanceM,
              5.0)
        << "not moved since its last check";
    gf_checkLiveWithParkedCollisions();
    EXPECT_TRUE(logged("G10           : DLH10    removed for 'live vs parked' collision avoidance with L8"));
}

// A live aircraft reported at rest on a stand that another live aircraft
// holds: whether the holder makes way follows their callsigns and whether the
// holder is still reported there.
TEST_F(StandClaims, HolderMakesWayAtSpawnByCallsignsAndReports)
{
    struct Case {
        std::int32_t stand;
        const char* holder;
        const char* claimant;
        std::uint8_t holderReportedThere;
        bool holderGoes;
    } cases[] = {
        {7, "DLH1_", "SWR2_", 0, true},  // two ghosts: the one no longer reported there goes
        {8, "DLH3_", "SWR4_", 1, false}, // the one still reported there stays
        {9, "DLH5", "SWR6_", 0, false},  // a ghost never takes a real callsign's stand
        {12, "DLH7", "SWR8", 0, true},
    };
    std::uint32_t hexId = 0x100040;
    for (const Case& c : cases) {
        const std::uint32_t holder = ++hexId;
        const std::uint32_t claimant = ++hexId;
        spawnOnGround(holder, c.holder, "D-AIXA", nearStand(c.stand, 0.0), 0.0);
        untilActive({holder});
        ASSERT_EQ(live(holder)->standId, c.stand) << c.holder;
        live(holder)->streamExtendedAtStand = c.holderReportedThere;
        spawnOnGround(claimant, c.claimant, "D-AIXB", nearStand(c.stand, 0.0), 0.0);
        reportTwice();
        enginePassesUntil([&] { return live(holder) == nullptr || live(holder)->simState != SimState::active; },
                          3000);
        const bool gone = live(holder) == nullptr || live(holder)->simState == SimState::removingfromsim;
        EXPECT_EQ(gone, c.holderGoes) << c.holder << " and " << c.claimant;
        if (!c.holderGoes) {
            EXPECT_TRUE(live(claimant) == nullptr || live(claimant)->simState != SimState::active) << c.claimant;
        }
    }
}

TEST_F(StandClaims, UserAircraftPasses)
{
    // The user 400 ft above the ground: the ground check first, then the air check.
    user = UserAcPosition{};
    user.latitude = 47.5;
    user.longitude = 9.0;
    user.altitude = 1700.0;
    user.altitudeAboveGround = 400.0;
    const LatLon ahead{47.5 + 0.3 / 60.0, 9.0};
    activeLive(0x100010, ahead, FlightPhase::taxi).pose.altitude = 1300.0;
    activeLive(0x100011, {ahead.latitude, 9.0 + 200.0 / 6076.11549 / 60.0 / std::cos(47.5 * kDegToRad)},
               FlightPhase::taxi)
        .pose.altitude = 1600.0;
    gf_checkUserAcAirCollisions();
    EXPECT_EQ(live(0x100010)->simState, SimState::removingfromsim);
    EXPECT_EQ(live(0x100011)->simState, SimState::active) << "one removal per call";
    gf_checkUserAcAirCollisions();
    EXPECT_EQ(live(0x100011)->simState, SimState::removingfromsim) << "200 ft off the line, but an air conflict";

    // The user on the ground in the stand-in: the overlapping live aircraft
    // goes first, the parked one in a later user step.
    gf_liveAircraft().clear();
    gf_removalQueue().clear();
    userInSim = true;
    port.setFrameTiming(1, 10);
    UserAcPosition onStand;
    onStand.latitude = nearStand(12, 0.0).latitude;
    onStand.longitude = nearStand(12, 0.0).longitude;
    port.setUserAircraft(onStand, true, "Boeing 737-800", "B738");
    activeStatic(12, 0.01);
    activeLive(0x100012, nearStand(12, -10.0), FlightPhase::taxi).proximityRadius = 0.01;
    int n = 0;
    while (live(0x100012)->simState == SimState::active && n++ < 100)
        enginePass();
    EXPECT_EQ(live(0x100012)->simState, SimState::removingfromsim);
    EXPECT_EQ(parked(9)->simState, SimState::active);
    enginePasses(20);
    EXPECT_EQ(parked(9)->simState, SimState::removingfromsim);
}

TEST_F(StandClaims, StayersAndParkedAge)
{
    auto parkedLive = [&](std::uint32_t hex, AcCategory category, std::uint8_t extended) -> LiveAc& {
        LiveAc& ac = activeLive(hex, {0, 0}, FlightPhase::parked, category);
        ac.standId = static_cast<std::int32_t>(hex & 0xF);
        ac.streamExtendedAtStand = extended;
        ac.lastNearStandTime = steady->now().time_since_epoch().count();
        return ac;
    };
    parkedLive(0x100021, AcCategory::Large, 0);
    parkedLive(0x100022, AcCategory::Heavy, 0);
    parkedLive(0x100023, AcCategory::Large, 1);
    auto stayers = [] {
        lf_collectLiveStayers();
        std::vector<std::pair<std::int32_t, std::int32_t>> out;
        for (const LiveStayer& s : gf_liveStayers())
            out.emplace_back(s.standId, s.seconds);
        return out;
    };
    using V = std::vector<std::pair<std::int32_t, std::int32_t>>;
    steady->advance(std::chrono::seconds(90));
    EXPECT_EQ(stayers(), (V{{3, 0}, {1, 90}, {2, 90}}));
    steady->advance(std::chrono::seconds(1));
    EXPECT_EQ(stayers(), (V{{3, 0}, {2, 91}}));
    EXPECT_EQ(live(0x100021)->simState, SimState::removingfromsim);
    steady->advance(std::chrono::seconds(89));
    EXPECT_EQ(stayers(), (V{{3, 0}, {2, 180}}));
    steady->advance(std::chrono::seconds(1));
    EXPECT_EQ(stayers(), (V{{3, 0}}));

    std::vector<float> fits;
    gf_updateTrafficStateHooks([&](TrafficStateHooks& h) {
        h.postScreenUpdate = [&](GuiUpdate u) {
            if (const auto* f = u.as<gui_update::SetLiveFit>()) fits.push_back(f->hours);
        };
    });
    live(0x100023)->weekSlot = {7, 47};
    parkedLive(0x100024, AcCategory::Large, 1).weekSlot = {1, 0};
    gf_storeCurrentWeekSlot({1, 0});
    EXPECT_EQ(gf_countLiveParked(true), 2);
    EXPECT_EQ(fits, std::vector<float>{1.0f}) << "one slot of age, the current slot left out";
    gf_storeCurrentWeekSlot({});
}

} // namespace
} // namespace zelk
