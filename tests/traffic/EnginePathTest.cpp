#include <cmath>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "airports/AirportsRegistry.h"
#include "airports/ParkAirports.h"
#include "simlink/UserAircraftState.h"
#include "traffic/TrafficIntake.h"
#include "traffic/TrafficPassDriver.h"

namespace zelk {
namespace {

// Reports go the program's way: a live batch into the engine's mailbox every
// second, the engine pass 100 times a second, the link on the stand-in.
class EnginePath : public test::TrafficPassTest {
protected:
    static constexpr int kPassesPerSecond = 100;

    // One report a second along a straight northbound track, for the given
    // seconds; the engine runs between the batches as the main loop does.
    void reportNorthbound(std::uint32_t hexId, int seconds, double altitudeFt, double speedKt)
    {
        const double degreesPerSecond = speedKt / 3600.0 / 60.0;
        for (int t = 0; t < seconds; ++t) {
            PosSample s = sample(50.0 + degreesPerSecond * t, 8.0, altitudeFt, speedKt, 0);
            deliver({received(hexId, "DLH4AB", "D-AIXA", "A320", s, kStart + t)});
            enginePasses(kPassesPerSecond);
        }
    }

    // The same track as the app reports it: each line's fields through the
    // intake with the reader's context, the records into the engine's mailbox.
    void reportNorthboundThroughIntake(TrafficFields fields, const IntakeContext& context, int seconds)
    {
        reportNorthboundThroughIntake(std::vector<TrafficFields>{std::move(fields)}, context, seconds);
    }

    // Several aircraft, each on its own track, one batch a second for them all.
    void reportNorthboundThroughIntake(std::vector<TrafficFields> aircraft, const IntakeContext& context, int seconds)
    {
        std::vector<double> startLatitudes;
        for (const TrafficFields& f : aircraft)
            startLatitudes.push_back(f.latitude);
        for (int t = 0; t < seconds; ++t) {
            std::vector<TrafficRecord> batch;
            for (std::size_t i = 0; i < aircraft.size(); ++i) {
                TrafficFields& fields = aircraft[i];
                fields.latitude = startLatitudes[i] + fields.groundSpeed / 3600.0 / 60.0 * t;
                fields.time = kStart + t;
                TrafficIntakeResult result = gf_buildTrafficRecord(fields, context);
                if (!result.record)
                    throw std::runtime_error("the intake dropped the report");
                batch.push_back(std::move(*result.record));
            }
            deliver(std::move(batch));
            enginePasses(kPassesPerSecond);
        }
    }

    // An A320 reported by the local app 8 NM north of a user airport at
    // 47 N 8 E, climbing through 4500 ft at 250 kt.
    static TrafficFields appReport()
    {
        TrafficFields f;
        f.hexId = 0x4B1A2C;
        f.latitude = 47.0 + 8.0 / 60.0;
        f.longitude = 8.0;
        f.altitude = 4500.0;
        f.groundSpeed = 250.0;
        f.callsign = "DLH4AB";
        f.registration = "D-AIXA";
        f.type = "A320";
        f.source = "adsb";
        return f;
    }
    static IntakeContext appContext(double airportAltitudeFt)
    {
        IntakeContext c;
        c.centreLatitude = 47.0;
        c.centreLongitude = 8.0;
        c.lonScale = std::cos(47.0 * kDegToRad);
        c.userAirportAltitudeFt = airportAltitudeFt;
        c.qnh = 1013;
        c.settings = gf_settings();
        c.fromLocalApp = 1;
        c.userAirport = UserAirportSpot{IcaoCode("LSGS").key(), 47.0, 8.0};
        return c;
    }

    // The airport of appContext as the program knows its user airport once
    // loaded: the park airport, with its elevation in the airports registry.
    void parkAtUserAirport(std::int32_t elevationFt)
    {
        const AirportRecord airport{IcaoCode("LSGS"), IataCode("SIR"), 47.0, 8.0, elevationFt};
        savedAirports = gf_airportsRegistry().airports;
        gf_installAirports({airport});
        gf_setCurrentParkAirport(airport.icao, airport.latitude, airport.longitude);
        ParkAirportRecord park;
        park.airport = airport;
        gf_setParkAirport(park);
    }

    // The one object created is the app report's aircraft, in the air at its
    // reported 4,500 ft and flying.
    void expectOnlyTheLowReportShownFlying()
    {
        ASSERT_EQ(port.createdObjects().size(), 1u);
        const auto created = port.createdObjects()[0];
        EXPECT_EQ(created.command.hexId, 0x4B1A2Cu);
        EXPECT_EQ(created.command.position.onGround, 0u);
        EXPECT_NEAR(created.command.position.altitude, 4500.0, 1.0);
        ASSERT_NE(live(0x4B1A2C), nullptr);
        EXPECT_EQ(live(0x4B1A2C)->phase, FlightPhase::flying);
    }

    void TearDown() override
    {
        if (savedAirports.empty())
            gf_resetAirportsRegistry();
        else
            gf_installAirports(savedAirports);
        gf_clearParkAirport();
        gf_setCurrentParkAirport(IcaoCode{}, 0.0, 0.0);
        test::TrafficPassTest::TearDown();
    }

    static constexpr double kStart = 1'700'000'000.0;
    std::vector<AirportRecord> savedAirports;
};

// Every report of one aircraft reaches its stream: the aircraft is created
// once, moved along its reports and removed when they end.
TEST_F(EnginePath, ReportedAircraftIsCreatedMovedAndRemovedWhenItsReportsEnd)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    reportNorthbound(0x3C6444, 20, 12000.0, 300.0);
    ASSERT_EQ(gf_liveAircraft().size(), 1u) << "one aircraft, not a second one per report";
    const LiveAc* ac = live(0x3C6444);
    ASSERT_NE(ac, nullptr);
    EXPECT_GE(ac->stream.size(), 5u) << "later reports of the same hex id extend its stream";
    EXPECT_EQ(ac->simState, SimState::buffer) << "nothing is shown before its first report falls due";

    enginePasses(15 * kPassesPerSecond);
    ASSERT_EQ(port.createdObjects().size(), 1u);
    const auto created = port.createdObjects()[0];
    EXPECT_EQ(created.command.hexId, 0x3C6444u);
    EXPECT_EQ(created.command.title, "Airbus A320 Lufthansa D-AIXA");
    ASSERT_NE(live(0x3C6444), nullptr);
    EXPECT_EQ(live(0x3C6444)->simState, SimState::active);
    const auto first = port.object(created.objectId)->lastPose;
    enginePasses(5 * kPassesPerSecond);
    const auto later = port.object(created.objectId)->lastPose;
    ASSERT_TRUE(first && later);
    EXPECT_GT(later->latitude, first->latitude + 0.005) << "moved north along its reports";

    enginePasses(40 * kPassesPerSecond);
    EXPECT_TRUE(port.object(created.objectId)->removed) << "removed when its reports ran out";
    EXPECT_TRUE(port.liveObjects().empty());
    EXPECT_EQ(live(0x3C6444), nullptr);
}

// Below the level of a high user airport but 8 NM from it: an aircraft in the
// air, shown flying, not one on the ground to be dropped for being far out.
TEST_F(EnginePath, LowReportAwayFromAHighAirportIsShownAirborne)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    reportNorthboundThroughIntake(appReport(), appContext(5400.0), 20);
    enginePasses(15 * kPassesPerSecond);
    expectOnlyTheLowReportShownFlying();
}

// With that high airport as the park airport: the low aircraft 8 NM out is
// shown flying, while one only 500 ft above the airport 2 NM from it, perhaps
// a ground report gone wrong, is still held back.
TEST_F(EnginePath, LowReportAwayFromAHighParkAirportIsShownOneCloseAboveItIsHeld)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    parkAtUserAirport(5400);
    TrafficFields overAirport = appReport();
    overAirport.hexId = 0x4B1A2D;
    overAirport.callsign = "SWR8";
    overAirport.registration = "HB-JLT";
    overAirport.latitude = 47.0 + 2.0 / 60.0;
    overAirport.altitude = 5900.0;
    reportNorthboundThroughIntake({appReport(), overAirport}, appContext(5400.0), 20);
    enginePasses(15 * kPassesPerSecond);
    expectOnlyTheLowReportShownFlying();
    ASSERT_NE(live(0x4B1A2D), nullptr) << "its reports still arrive";
    EXPECT_EQ(live(0x4B1A2D)->simState, SimState::buffer);
}

// The aircraft is placed at the true airspeed of its first report, not at its
// speed over the ground (the motion takes over once it is shown).
TEST_F(EnginePath, PlacedAtTheReportedTrueAirspeed)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    TrafficFields f = appReport();
    f.trueAirspeed = 281.0;
    reportNorthboundThroughIntake(f, appContext(1500.0), 20);
    const auto placed = [this] { return live(0x4B1A2C) != nullptr && live(0x4B1A2C)->simState != SimState::buffer; };
    ASSERT_LT(enginePassesUntil(placed, 20 * kPassesPerSecond), 20 * kPassesPerSecond);
    EXPECT_EQ(live(0x4B1A2C)->simState, SimState::adding2sim);
    EXPECT_EQ(live(0x4B1A2C)->pose.speed, 281.0);
}

} // namespace
} // namespace zelk
