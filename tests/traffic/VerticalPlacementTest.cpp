#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "core/Geometry.h"
#include "airports/AirportsRegistry.h"
#include "airports/ParkAirports.h"
#include "ground/Runways.h"
#include "support/TestAirport.h"
#include "traffic/FlightPlanFiles.h"
#include "traffic/TrafficPassDriver.h"
#include "traffic/VerticalPlacement.h"

namespace zelk {
namespace {


// The test airport with its runways from the stand-in's facility data and its
// IATA code "ZTS" in the airports registry.
class VerticalPlacement : public test::TrafficPassTest {
protected:
    void SetUp() override
    {
        test::TrafficPassTest::SetUp();
        gf_setCurrentParkAirport(IcaoCode(test::TestAirport::kCode), test::TestAirport::kLatitude,
                                 test::TestAirport::kLongitude);
        savedAirports = gf_airportsRegistry().airports;
        gf_installAirports({AirportRecord{IcaoCode(test::TestAirport::kCode), IataCode("ZTS"), 47.5, 9.0, 1300}});
        ASSERT_EQ(gf_loadRunways(IcaoCode(test::TestAirport::kCode)), 2u);
        gf_updateSettings([](SettingsSnapshot& s) { s.FLIGHT_MESSAGES = false; });
    }
    void TearDown() override
    {
        if (savedAirports.empty())
            gf_resetAirportsRegistry();
        else
            gf_installAirports(savedAirports);
        gf_clearRunways();
        gf_setCurrentParkAirport(IcaoCode{}, 0.0, 0.0);
        test::TrafficPassTest::TearDown();
    }

    // A landing in its flare, moved by hand; the record's own or a new one.
    static LiveAc& landing(LiveAc& ac, double northM, double eastM)
    {
        ac.head.key.airline = gf_airlineCode2Index("DLH");
        ac.head.origin = IataCode("FRA");
        ac.simState = SimState::active;
        ac.groundOffset = 8.0;
        ac.touchDownPasses = 50;
        ac.setPhase(FlightPhase::landing);
        ac.groundOps.flareStage = 1;
        ac.onGround = 0;
        const LatLon at = test::testAirportPoint(northM, eastM);
        ac.pose = AcPose{at.latitude, at.longitude, 0.0, 0.0, 270.0 * kDegToRad, 1305.0, -600.0, 140.0};
        return ac;
    }
    LiveAc& landing(AcCategory category, double northM, double eastM)
    {
        LiveAc& ac = addLive(0x3C6444, "DLH4AB", "D-AIXA", {}, category);
        ac.objectId = 77;
        return landing(ac, northM, eastM);
    }

    static std::size_t count(const std::string& text, const std::string& what)
    {
        std::size_t n = 0;
        for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
        return n;
    }

    test::TestAirportSimulator airportSim;
    std::vector<AirportRecord> savedAirports;
};

TEST_F(VerticalPlacement, HeldOverTheThresholdThenTouchesDown)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    const LatLon start = test::testAirportPoint(0.0, 1141.0);
    // Two reports 10 s apart, westbound, each in the feed's batch of its
    // second (closer reports of a steady flight add nothing).
    for (int i = 0; i < 2; ++i) {
        PosSample s = sample(start.latitude, start.longitude - 0.01 * i, 3000, 140, 0);
        s.heading = 270.0;
        deliver({received(0x3C6444, "DLH4AB", "D-AIXA", "A320", s, kFirstReportTime + 10.0 * i)});
        enginePasses(i == 0 ? 1000 : 0);
    }
    enginePass();
    ASSERT_NE(live(0x3C6444), nullptr);
    ASSERT_EQ(live(0x3C6444)->stream.size(), 2u);
    enginePassesUntil([&] { return live(0x3C6444) == nullptr || live(0x3C6444)->simState == SimState::active; }, 3000);
    ASSERT_NE(live(0x3C6444), nullptr) << log();
    ASSERT_EQ(live(0x3C6444)->simState, SimState::active);
    LiveAc* ac = &landing(*live(0x3C6444), 0.0, 1141.0); // threshold 27 lies at 1200 m east
    const std::uint32_t id = ac->objectId;
    ASSERT_GE(id, 3u);
    port.setObjectGround(id, true, 1300.0, 20.0);
    // The stand-in's ground report alone, without the motion of a whole pass.
    auto groundReport = [&] {
        gf_queueSimRequest({static_cast<std::uint8_t>(SimRequestKind::AiInRange), 0});
        frames(*client, 2);
        gf_processSimObjectResults();
    };
    groundReport();
    EXPECT_EQ(ac->phase, FlightPhase::landing) << "59 m past the threshold";
    EXPECT_DOUBLE_EQ(ac->pose.altitude, 1309.0);
    EXPECT_EQ(ac->pose.verticalSpeed, 0.0);
    EXPECT_EQ(ac->groundOps.landingRunwayFlag, 1);

    const LatLon touch = test::testAirportPoint(0.0, 1139.9);
    ac->pose.latitude = touch.latitude;
    ac->pose.longitude = touch.longitude;
    groundReport();
    frames(*client, 1);
    EXPECT_EQ(ac->phase, FlightPhase::landing_roll);
    EXPECT_EQ(ac->onGround, 1);
    EXPECT_EQ(ac->groundOps.landingRunwayFlag, 0);
    EXPECT_NE(log().find("22:13 DLH4AB D-AIXA DLH A320 touch down at ZTS runway 27 from FRA ..."), std::string::npos);
    const auto levers = port.leverCalls();
    ASSERT_EQ(levers.size(), 1u);
    EXPECT_EQ(levers[0], (std::pair<std::uint32_t, LeverValues>{id, {100.0, 100.0, 100.0}}));
}

TEST_F(VerticalPlacement, HeightFromTheGroundReport)
{
    auto report = [](double g, double h) {
        SimObjectResult r;
        r.kind = SimResultKind::AiPosition;
        r.payload[0] = g;
        r.payload[1] = h;
        return r;
    };
    std::string_view source;
    LiveAc& ac = landing(AcCategory::Large, 0, 0);
    ac.setPhase(FlightPhase::landing_roll);
    ac.onGround = 1;
    ac.touchDownOffset = 12.0;
    ac.groundOffset = 5.0;
    ac.touchDownPitch = 6.0 * kDegToRad;
    ac.parkedPitch = 0.7 * kDegToRad;
    ac.pose.pitch = 3.35 * kDegToRad;
    lf_placeFromSimPosition(ac, report(100.0, 3.0), source);
    EXPECT_NEAR(ac.pose.altitude, 108.5, 1e-9) << "settling from the touch-down height";

    ac.setPhase(FlightPhase::parked);
    ac.touchDownOffset.reset();
    ac.groundOffset = 8.0;
    lf_placeFromSimPosition(ac, report(100.0, 8.0), source);
    EXPECT_DOUBLE_EQ(ac.pose.altitude, 108.0);
    EXPECT_EQ(ac.simGroundAltitude, 100.0);

    lf_placeFromSimPosition(ac, report(std::nan(""), 4.0), source);
    EXPECT_DOUBLE_EQ(ac.pose.altitude, 108.0) << "no ground altitude, no new height";
    EXPECT_EQ(ac.heightAboveGround, 4.0);
}

TEST_F(VerticalPlacement, TouchAndGoInTheStream)
{
    struct Case {
        std::int32_t lookAheadTicks;
        bool takeoff;
    };
    for (const Case c : {Case{0, true}, Case{1000, true}, Case{1001, false}}) {
        LiveAc& ac = landing(AcCategory::Large, 5000, 0); // away from the runways
        ac.groundOps.steepApproach = 1;
        const bool direct = c.lookAheadTicks == 0;
        ac.stream = {sample(0, 0, 1300, 120, 0), sample(0, 0, direct ? 1360 : 1320, 120, 500),
                     sample(0, 0, 1360, 120, c.lookAheadTicks)};
        ac.stream[0].verticalSpeed = 500;
        ac.stream[0].airborne = 0;
        ac.stream[1].verticalSpeed = 600;
        ac.stream[2].verticalSpeed = 700;
        lf_landingPlacement(ac);
        EXPECT_EQ(ac.phase, c.takeoff ? FlightPhase::takeoff_roll : FlightPhase::landing_roll) << c.lookAheadTicks;
        EXPECT_EQ(ac.stream[1].airborne, direct ? 1 : 0) << c.lookAheadTicks;
        EXPECT_EQ(ac.stream[2].airborne, c.takeoff ? 1 : 0) << c.lookAheadTicks;
        EXPECT_EQ(ac.groundOps.touchAndGoWatch, c.takeoff ? 0 : 1);
        gf_liveAircraft().clear();
    }
}

TEST_F(VerticalPlacement, TouchDownLines)
{
    struct Case {
        AcCategory category;
        std::int32_t activeSeconds; // since activation, airborne then
        double northM;
        const char* line;           // nullptr: none
        bool reverse;
    };
    const Case cases[] = {
        {AcCategory::Rotorcraft, 20, 0.0, nullptr, true},
        {AcCategory::Rotorcraft, 30, 0.0, "22:13 DLH4AB D-AIXA DLH EC35 touch down at ZTS from FRA ...", true},
        {AcCategory::Light, 30, 6.0 * 1852.0, "22:13 DLH4AB D-AIXA DLH C172 touch down at ? ...", false},
    };
    gf_setEngineTick(100000);
    for (const Case& c : cases) {
        const std::size_t before = count(log(), "touch down");
        LiveAc& ac = landing(c.category, c.northM, -5000.0);
        ac.airborneAtActivation = 1;
        ac.activationTick = gf_engineTick() - c.activeSeconds * 100;
        lf_touchDownReport(ac);
        const std::string text = log();
        EXPECT_EQ(count(text, "touch down") - before, c.line != nullptr ? 1u : 0u) << text;
        if (c.line != nullptr) {
            EXPECT_NE(text.find(c.line), std::string::npos) << text;
        }
        EXPECT_EQ(gf_followUpList().size(), 1u);
        EXPECT_EQ(ac.groundOps.touchDown, 1);
        SimQueues q;
        gf_takeSimQueues(q);
        EXPECT_EQ(q.reverseThrust.size(), c.reverse ? 1u : 0u);
        gf_followUpList().clear();
        gf_liveAircraft().clear();
    }
}

TEST_F(VerticalPlacement, FlightPlansOnlyInMsfs2020)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    titles = {"A320 D-AIXA", "A320 D-AIXB", "A320 D-AIXC"};
    // Two batches 5 s apart with a report of each aircraft from FRA to its
    // destination, if any; the passes until the first reports are due.
    struct Flight {
        std::uint32_t hex;
        const char* reg;
        const char* destination;
    };
    auto airborne = [&](std::initializer_list<Flight> flights) {
        const std::int32_t due = gf_engineTick() + 3000;
        for (int i = 0; i < 2; ++i) {
            std::vector<TrafficRecord> batch;
            for (const Flight& f : flights) {
                TrafficRecord r = received(f.hex, "DLH" + std::to_string(f.hex & 0xF), f.reg, "A320",
                                           sample(48 + 0.006 * i, 9, 9000, 250, 0), kFirstReportTime + 5.0 * i);
                r.head.origin = IataCode("FRA");
                if (*f.destination != 0) r.head.destination = IataCode(f.destination);
                batch.push_back(r);
            }
            deliver(std::move(batch));
            enginePasses(i == 0 ? 500 : due - gf_engineTick());
        }
    };
    auto shown = [&](std::initializer_list<std::uint32_t> hexIds) {
        return enginePassesUntil(
            [&] {
                for (const std::uint32_t h : hexIds)
                    if (live(h) == nullptr || live(h)->simState != SimState::active) return false;
                return true;
            },
            1000);
    };
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    airborne({{0x100001, "D-AIXA", "ZRH"}, {0x100002, "D-AIXB", ""}});
    ASSERT_LT(shown({0x100001, 0x100002}), 1000);
    const auto plans = port.flightPlans();
    ASSERT_EQ(plans.size(), 1u);
    const std::uint32_t id = live(0x100001)->objectId;
    EXPECT_EQ(plans[0].first, id);
    EXPECT_TRUE(std::filesystem::exists(*gf_flightPlanFolder() / gf_flightPlanFile(id)));
    EXPECT_EQ(live(0x100001)->flightPlanQueued, 1);
    EXPECT_EQ(live(0x100002)->flightPlanQueued, 0);

    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    airborne({{0x100003, "D-AIXC", "ZRH"}});
    ASSERT_LT(shown({0x100003}), 1000);
    EXPECT_NE(live(0x100003)->objectId, 0u);
    EXPECT_EQ(port.flightPlans().size(), 1u);
    EXPECT_EQ(live(0x100003)->flightPlanQueued, 0);
}

} // namespace
} // namespace zelk
