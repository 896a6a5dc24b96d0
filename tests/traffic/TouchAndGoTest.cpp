#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ground/Runways.h"
#include "simlink/UserAircraftState.h"
#include "traffic/TestAirportPass.h"

namespace zelk {
namespace {

constexpr double kGroundFt = test::TestAirport::kAltitudeFt;
constexpr double kApproachKt = 140.0;
constexpr double kMetresPerSecond = kApproachKt * 1852.0 / 3600.0;

// One report at runway 09 of the test airport: seconds from the first report,
// metres east of the reference point, height above the ground (0 on the
// ground), ground speed, vertical speed, airborne, metres north of the centre
// line.
struct Report {
    double t;
    double eastM;
    double heightFt;
    double speedKt;
    double verticalSpeed;
    bool airborne;
    double northM = 0.0;
};

// The arrivals go the program's way at the test airport with its runways, the
// simulator's ground at the airport's altitude.
class TouchAndGo : public test::TestAirportPass {
protected:
    void SetUp() override
    {
        test::TestAirportPass::SetUp();
        ASSERT_EQ(gf_loadRunways(IcaoCode(test::TestAirport::kCode)), 2u);
        port.setGroundAltitude(kGroundFt);
        // The user stands at the test airport: its altitude is known.
        ParkAirportRecord user;
        user.airport = AirportRecord{IcaoCode(test::TestAirport::kCode), IataCode("ZTS"), test::TestAirport::kLatitude,
                                     test::TestAirport::kLongitude, static_cast<std::int32_t>(kGroundFt)};
        gf_setParkAirport(user);
        gf_updateSettings([](SettingsSnapshot& s) { s.FLIGHT_MESSAGES = false; });
    }
    void TearDown() override
    {
        gf_clearRunways();
        gf_clearParkAirport();
        test::TestAirportPass::TearDown();
    }

    // A final of the given angle, one report every 7 s, down to 2 ft over the
    // touch-down point 300 m past the threshold of 09 (east -1200), where the
    // motion puts the aircraft on the ground (or a report on the ground there,
    // at altitude 0 as the feed gives it); then the given reports, 33 s
    // and more after the last, so that they come after the touch-down (reports
    // fall due 30 s after they came), their times and places counted from it.
    static std::vector<Report> arrival(double glideDeg, const std::vector<Report>& after, bool reportedOnGround = false,
                                       double approachNorthM = 0.0)
    {
        std::vector<Report> reports;
        const double vs = -std::tan(glideDeg * kDegToRad) * kMetresPerSecond / 0.3048 * 60.0;
        for (int i = 7; i >= 1; --i) {
            const double back = i * 7.0 * kMetresPerSecond;
            reports.push_back({(7 - i) * 7.0, -1200.0 - back, 2.0 + back * std::tan(glideDeg * kDegToRad) / 0.3048,
                               kApproachKt, vs, true, approachNorthM});
        }
        if (reportedOnGround)
            reports.push_back({49.0, -1200.0, 0.0, 125.0, 0.0, false, approachNorthM});
        else
            reports.push_back({49.0, -1200.0, 2.0, 130.0, -300.0, true, approachNorthM});
        for (const Report& r : after)
            reports.push_back({49.0 + r.t, -1200.0 + r.eastM, r.heightFt, r.speedKt, r.verticalSpeed, r.airborne, r.northM});
        return reports;
    }

    // The phases the aircraft went through, each once, in order, pass by pass.
    std::vector<FlightPhase> fly(std::uint32_t hexId, const std::vector<Report>& reports,
                                 const std::function<void(const LiveAc&)>& eachPass = {}, int seconds = 220)
    {
        gf_liveAircraft().clear();
        lowestFt = 1e9;
        std::vector<FlightPhase> phases;
        std::size_t next = 0;
        for (int t = 0; t < seconds; ++t) {
            while (next < reports.size() && reports[next].t <= t) {
                const Report& r = reports[next++];
                report(hexId, test::testAirportPoint(r.northM, r.eastM), r.airborne ? kGroundFt + r.heightFt : 0.0,
                       r.speedKt, 90.0, r.verticalSpeed, r.t);
            }
            for (int pass = 0; pass < kPassesPerSecond; ++pass) {
                enginePass();
                const LiveAc* ac = live(hexId);
                if (ac == nullptr || ac->simState != SimState::active)
                    continue;
                if (phases.empty() || phases.back() != ac->phase)
                    phases.push_back(ac->phase);
                lowestFt = std::min(lowestFt, ac->pose.altitude - kGroundFt);
                if (eachPass)
                    eachPass(*ac);
            }
        }
        return phases;
    }

    test::TestAirportSimulator airportSim;
    double lowestFt = 0.0; // lowest altitude above the airport the aircraft was shown at

    static bool went(const std::vector<FlightPhase>& phases, FlightPhase phase)
    {
        return std::find(phases.begin(), phases.end(), phase) != phases.end();
    }
    static std::string text(const std::vector<FlightPhase>& phases)
    {
        std::string out;
        for (FlightPhase p : phases)
            out += std::string(gf_phaseName(p)) + " ";
        return out;
    }
};

// After a steep approach the roll-out's stray airborne reports (a few feet,
// no climb) are taken as ground ones: no take-off roll; a real climb within
// the watch is a touch-and-go and takes off again.
TEST_F(TouchAndGo, AfterASteepApproachOnlyARealClimbTakesOffAgain)
{
    struct Case {
        const char* what;
        double glideDeg;
        std::vector<Report> after;
        bool takesOff;
        bool reportedOnGround = false;
    };
    // Reports after the touch-down: seconds and metres on from it, feet above
    // the ground. The feed still says airborne at a few feet for three
    // reports, then the aircraft rolls out; or it climbs away.
    const std::vector<Report> strays{{33.0, 1200.0, 4.0, 110.0, -100.0, true}, {36.0, 1370.0, 3.0, 100.0, 0.0, true},
                                     {39.0, 1520.0, 5.0, 90.0, 100.0, true},    {42.0, 1650.0, 0.0, 80.0, 0.0, false},
                                     {45.0, 1760.0, 0.0, 60.0, 0.0, false},     {48.0, 1840.0, 0.0, 40.0, 0.0, false},
                                     {51.0, 1890.0, 0.0, 25.0, 0.0, false},     {56.0, 1920.0, 0.0, 12.0, 0.0, false}};
    const std::vector<Report> goesAround{{33.0, 1200.0, 20.0, 130.0, 500.0, true},
                                         {36.0, 1420.0, 90.0, 140.0, 1200.0, true},
                                         {39.0, 1640.0, 200.0, 145.0, 1500.0, true},
                                         {42.0, 1860.0, 330.0, 150.0, 1600.0, true},
                                         {49.0, 2400.0, 700.0, 160.0, 1600.0, true}};
    const std::vector<Report> rollOut{{33.0, 1200.0, 0.0, 90.0, 0.0, false},  {36.0, 1420.0, 0.0, 70.0, 0.0, false},
                                      {39.0, 1580.0, 0.0, 50.0, 0.0, false},  {42.0, 1690.0, 0.0, 30.0, 0.0, false},
                                      {47.0, 1760.0, 0.0, 15.0, 0.0, false}};
    const Case cases[] = {
        {"stray airborne reports in the roll-out after a steep approach", 4.6, strays, false},
        {"a climb within the watch after a steep approach", 4.6, goesAround, true},
        {"a climb after a normal approach", 3.0, goesAround, true},
        // The descent aims at the runway, not at the altitude 0 of a ground report.
        {"a touch-down reported on the ground", 3.0, rollOut, false, true},
    };
    std::uint32_t hexId = 0x3F0000;
    for (const Case& c : cases) {
        const std::vector<FlightPhase> phases = fly(++hexId, arrival(c.glideDeg, c.after, c.reportedOnGround));
        // Never under the runway: on it the aircraft stands on its gear.
        EXPECT_GE(lowestFt, 0.0) << c.what;
        ASSERT_TRUE(went(phases, FlightPhase::landing_roll)) << c.what << ": " << text(phases);
        EXPECT_EQ(went(phases, FlightPhase::takeoff_roll), c.takesOff) << c.what << ": " << text(phases);
        if (!c.takesOff) {
            EXPECT_EQ(phases.back(), FlightPhase::taxi) << c.what << ": " << text(phases);
        }
    }
}

// Touched down metres beside the centre line, the aircraft glides onto it over
// the touch-down passes, a little each pass; without the glide it would roll
// on where it touched down.
TEST_F(TouchAndGo, TheGlideTakesTheTouchDownOntoTheCentreLine)
{
    // The roll-out on the centre line, reported before the touch-down.
    const std::vector<Report> rollOut{{3.0, 190.0, 0.0, 120.0, 0.0, false},  {6.0, 370.0, 0.0, 110.0, 0.0, false},
                                      {9.0, 530.0, 0.0, 95.0, 0.0, false},   {12.0, 670.0, 0.0, 80.0, 0.0, false},
                                      {15.0, 780.0, 0.0, 60.0, 0.0, false},  {18.0, 860.0, 0.0, 40.0, 0.0, false},
                                      {21.0, 910.0, 0.0, 20.0, 0.0, false}};
    int touchDownPass = -1;
    int pass = 0;
    double lateralAtTouchDown = 0.0;
    double lateralAfter = 0.0;
    double worstExcessM = -1.0; // a pass's move beyond speed x 0.01 s + 5 cm
    std::uint32_t glidePasses = 0;
    LatLon previous{};
    const std::vector<FlightPhase> phases =
        fly(0x3F1001, arrival(3.0, rollOut, false, 12.0), [&](const LiveAc& ac) {
            ++pass;
            const LatLon here{ac.pose.latitude, ac.pose.longitude};
            const double lateral = gf_relativePosition(test::testAirportPoint(0.0, -1500.0), 90.0 * kDegToRad, here).lateralM;
            if (touchDownPass < 0 && ac.onGround != 0) {
                touchDownPass = pass;
                lateralAtTouchDown = lateral;
                glidePasses = ac.touchDownPasses;
            } else if (touchDownPass >= 0 && pass - touchDownPass <= static_cast<int>(glidePasses)) {
                // The motion's continuity bound, glide included.
                const double moved = gf_relativePosition(previous, 0.0, here).distanceM;
                worstExcessM = std::max(worstExcessM, moved - (ac.groundOps.motionSpeedKt * 0.5144444 * 0.01 + 0.05));
                lateralAfter = lateral;
            }
            previous = here;
        });
    ASSERT_GE(touchDownPass, 0) << text(phases);
    ASSERT_GT(glidePasses, 0u);
    EXPECT_LT(lateralAtTouchDown, -3.0) << "it touched down beside the line (north is left of 090)";
    EXPECT_LT(std::fabs(lateralAfter), 1.0) << "on the centre line once the touch-down passes are over";
    EXPECT_LE(worstExcessM, 0.0);
}

// Taxiing along runway 09 from its threshold, then the roll and the climb,
// which come after the aircraft is shown (a ground aircraft with fast reports
// ahead is not shown yet).
const std::vector<Report>& lf_departure()
{
    static const std::vector<Report> reports{
        {0.0, -1480.0, 0.0, 12.0, 0.0, false},     {5.0, -1450.0, 0.0, 12.0, 0.0, false},
        {10.0, -1420.0, 0.0, 12.0, 0.0, false},    {15.0, -1390.0, 0.0, 12.0, 0.0, false},
        {20.0, -1360.0, 0.0, 12.0, 0.0, false},    {25.0, -1330.0, 0.0, 12.0, 0.0, false},
        {30.0, -1300.0, 0.0, 12.0, 0.0, false},    {35.0, -1270.0, 0.0, 12.0, 0.0, false},
        {40.0, -1240.0, 0.0, 25.0, 0.0, false},    {43.0, -1190.0, 0.0, 55.0, 0.0, false},
        {46.0, -1080.0, 0.0, 90.0, 0.0, false},    {49.0, -920.0, 0.0, 120.0, 0.0, false},
        {52.0, -720.0, 0.0, 140.0, 0.0, false},    {55.0, -490.0, 60.0, 155.0, 1500.0, true},
        {58.0, -240.0, 200.0, 165.0, 2500.0, true}, {65.0, 360.0, 600.0, 175.0, 2500.0, true}};
    return reports;
}

// A take-off from runway 09: the rotation starts, the pitch comes up over the
// category's rotation passes (the starting pass the first of them), and the
// aircraft lifts off on the last one with the rotation pitch reached.
TEST_F(TouchAndGo, TheRotationLastsItsPassesAndLiftsOffAtItsPitch)
{
    int pass = 0;
    int rotationStart = -1;
    int liftOff = -1;
    double pitchAtLiftOff = 0.0;
    double rotationPitch = 0.0;
    std::uint32_t rotationPasses = 0;
    const std::vector<FlightPhase> phases = fly(0x3F2001, lf_departure(), [&](const LiveAc& ac) {
        ++pass;
        if (rotationStart < 0 && ac.phase == FlightPhase::takeoff) {
            rotationStart = pass;
            rotationPitch = ac.rotationPitch;
            rotationPasses = ac.rotationPasses;
        }
        if (rotationStart >= 0 && liftOff < 0 && ac.onGround == 0) {
            liftOff = pass;
            pitchAtLiftOff = ac.pose.pitch;
        }
    });
    ASSERT_TRUE(went(phases, FlightPhase::takeoff_roll)) << text(phases);
    ASSERT_GE(rotationStart, 0) << text(phases);
    ASSERT_GE(liftOff, 0) << text(phases);
    ASSERT_GT(rotationPasses, 1u);
    EXPECT_EQ(static_cast<std::uint32_t>(liftOff - rotationStart + 1), rotationPasses);
    EXPECT_NEAR(pitchAtLiftOff, rotationPitch, 1e-9);
}

// The user's aircraft stands on the runway ahead of a take-off roll: the roll
// goes as its reports say, neither braked nor held for it as a taxiing
// aircraft would be (such a hold kept only while taxiing, and was taken and let
// go again pass after pass, its line each time).
TEST_F(TouchAndGo, ATakeOffRollIsNotHeldForWhatStandsAhead)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_GND = false; });
    const LatLon userAt = test::testAirportPoint(0.0, -1000.0);
    user.latitude = userAt.latitude;
    user.longitude = userAt.longitude;
    user.altitude = kGroundFt;
    user.altitudeAboveGround = 0.0;
    user.groundVelocity = 0.0;
    userOnGround = true;
    bool everHeld = false;
    const std::vector<FlightPhase> phases =
        fly(0x3F4001, lf_departure(), [&](const LiveAc& ac) { everHeld = everHeld || ac.groundOps.taxiHold.held != 0; });
    ASSERT_TRUE(went(phases, FlightPhase::takeoff_roll)) << text(phases);
    EXPECT_TRUE(went(phases, FlightPhase::takeoff)) << "rolled past the user's aircraft: " << text(phases);
    EXPECT_FALSE(everHeld);
    EXPECT_EQ(log().find("holds for the user's aircraft"), std::string::npos) << log();
}

// A take-off roll whose reports stop (the feed lost it), reported 5 m north
// of the centre line: it rolls on along the runway at its speed, brought onto
// the centre line with the runway's heading, instead of stopping at its last
// report.
TEST_F(TouchAndGo, ARollWithoutReportsRollsOnAlongTheCentreLine)
{
    const double north = 5.0;
    const std::vector<Report> departure{
        {0.0, -1480.0, 0.0, 12.0, 0.0, false, north},  {5.0, -1450.0, 0.0, 12.0, 0.0, false, north},
        {10.0, -1420.0, 0.0, 12.0, 0.0, false, north}, {15.0, -1390.0, 0.0, 12.0, 0.0, false, north},
        {20.0, -1360.0, 0.0, 12.0, 0.0, false, north}, {25.0, -1330.0, 0.0, 12.0, 0.0, false, north},
        {30.0, -1300.0, 0.0, 12.0, 0.0, false, north}, {35.0, -1270.0, 0.0, 12.0, 0.0, false, north},
        {40.0, -1240.0, 0.0, 40.0, 0.0, false, north}, {43.0, -1170.0, 0.0, 80.0, 0.0, false, north},
        {46.0, -1040.0, 0.0, 95.0, 0.0, false, north}};
    double furthestEast = -1e9;
    double lateral = 0.0;
    double headingDeg = 0.0;
    bool rolling = false;
    double worstExcessM = -1.0; // a pass's move beyond speed x 0.01 s + 5 cm
    double worstTurnExcess = -1.0;
    std::optional<AcPose> before;
    const LatLon threshold = test::testAirportPoint(0.0, -1500.0);
    fly(0x3F3001, departure, [&](const LiveAc& ac) {
        if (ac.phase != FlightPhase::takeoff_roll) {
            before.reset();
            return;
        }
        rolling = true;
        // The pull onto the centre line stays within the motion's continuity bounds.
        if (before) {
            const double moved =
                gf_relativePosition({before->latitude, before->longitude}, 0.0, {ac.pose.latitude, ac.pose.longitude})
                    .distanceM;
            worstExcessM = std::max(worstExcessM, moved - (ac.groundOps.motionSpeedKt * 0.5144444 * 0.01 + 0.05));
            const double rate = ac.groundOps.currentTurnRate > 0.0 ? ac.groundOps.currentTurnRate : ac.turnRate;
            worstTurnExcess =
                std::max(worstTurnExcess, std::fabs(gf_normalizeAngle(ac.pose.heading - before->heading)) - rate - 1e-9);
        }
        before = ac.pose;
        const RelativePosition seen =
            gf_relativePosition(threshold, 90.0 * kDegToRad, {ac.pose.latitude, ac.pose.longitude});
        furthestEast = std::max(furthestEast, -1500.0 + seen.alongM);
        lateral = seen.lateralM;
        headingDeg = ac.pose.heading * kRadToDeg;
    }, 110);
    ASSERT_TRUE(rolling);
    EXPECT_GT(furthestEast, -1040.0 + 200.0) << "it rolled on past its last report";
    EXPECT_LT(std::fabs(lateral), 0.5) << "on the centre line";
    EXPECT_NEAR(headingDeg, 90.0, 0.5);
    EXPECT_LE(worstExcessM, 0.0);
    EXPECT_LE(worstTurnExcess, 0.0);
    EXPECT_NE(log().find("NO_FUTURE:KLM"), std::string::npos);
}

} // namespace
} // namespace zelk
