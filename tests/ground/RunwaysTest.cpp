#include "ground/Runways.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "ground/GroundGeometry.h"
#include "ground/GroundPhases.h"
#include "ground/MotionGeometry.h"
#include "ground/Motion.h"
#include "ground/MovementReports.h"
#include "traffic/EngineTick.h"
#include "simlink/UserAircraftState.h"
#include "simlink/SimClient.h"
#include "support/LoggedTempDir.h"
#include "support/TestAirport.h"

namespace zelk {
namespace {

using test::testAirportPoint;


class Runways : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        test::LoggedTempDirTest::SetUp();
        ASSERT_EQ(gf_loadRunways(IcaoCode(test::TestAirport::kCode)), 2u);
    }
    void TearDown() override
    {
        gf_clearRunways();
        test::LoggedTempDirTest::TearDown();
    }
    static PosSample sampleAt(const LatLon& p)
    {
        PosSample s;
        s.latitude = p.latitude;
        s.longitude = p.longitude;
        return s;
    }
    test::TestAirportSimulator simulator;
};

// Positions in metres from the reference point (09-27 runs east along north 0,
// its west end at east -1500; 18-36 runs along east 800, its north end at
// north +1000).
TEST_F(Runways, FinderWindowsOnBothSides)
{
    struct Case {
        double north, east, headingDeg;
        bool loose; // else the take-off finder
        const char* designator; // nullptr: nothing found
        double fromThreshold;
    } cases[] = {
        {0, -1400, 90, false, "09", 100},      {0, -1400, 109.9, false, "09", 100},
        {0, -1400, 110.1, false, nullptr, 0},  {14.9, -1400, 90, false, "09", 100},
        {15.1, -1400, 90, false, nullptr, 0},  {15.1, -1400, 90, true, "09", 100},
        {52.4, -1400, 90, true, "09", 100},    {52.6, -1400, 90, true, nullptr, 0},
        {0, -2199, 90, false, "09", -699},     {0, -2201, 90, false, nullptr, 0},
        {0, 1499, 90, false, "09", 2999},      {0, 1501, 90, false, nullptr, 0},
        {0, 1000, 270, false, "27", 200},      {0, -1499, 270, false, "27", 2699}, // threshold 300 m in
        // Past the usable 2,700 m, up to the runway's 3,000 m from the threshold.
        {0, -1501, 270, false, "27", 2701},    {0, -1799, 270, false, "27", 2999},
        {0, -1801, 270, false, nullptr, 0},    {0, -1799, 270, true, "27", 2999},
        {0, -1801, 270, true, nullptr, 0},     {900, 800, 180, false, "18", 100},
        {900, 800, 0, true, "36", 1900},       {0, 800, 90, false, "09", 2300},     // the crossing
        {0, 800, 180, true, "18", 1000},
    };
    for (const Case& c : cases) {
        const LatLon p = testAirportPoint(c.north, c.east);
        const auto hit = c.loose ? gf_findRunwayLoose(sampleAt(p), c.headingDeg * kDegree)
                                 : gf_findRunwayForTakeoff(p, c.headingDeg * kDegree);
        const std::string where = std::to_string(c.north) + "," + std::to_string(c.east) + "," +
                                  std::to_string(c.headingDeg);
        ASSERT_EQ(hit.has_value(), c.designator != nullptr) << where;
        if (!hit) continue;
        EXPECT_EQ(hit->designator1, c.designator) << where;
        EXPECT_NEAR(*hit->alongFromThresholdM, c.fromThreshold, 0.5) << where;
    }
    const auto landing27 = gf_findRunwayForTakeoff(testAirportPoint(0, 1000), 270 * kDegree);
    ASSERT_TRUE(landing27);
    EXPECT_EQ(landing27->name, "09-27");
    EXPECT_EQ(landing27->designator2, "09");
    EXPECT_NEAR(*landing27->usableLengthM, 2700.0, 1e-9);
    EXPECT_NEAR(landing27->headingDeg, 270.0, 1e-9);
    EXPECT_FALSE(gf_findRunwayForTakeoff(testAirportPoint(0, -1400), std::nan("")));
    EXPECT_FALSE(gf_findRunwayForTakeoff({std::nan(""), 9.0}, 0.0));
}

TEST_F(Runways, RollsGiveGrowingDistancesFromTheThresholdInUse)
{
    // A take-off roll on 09 and a landing roll on 27 after its displaced threshold.
    struct Roll {
        double fromEast, step, headingDeg;
        const char* designator;
    } rolls[] = {{-1500, 100, 90, "09"}, {1150, -100, 270, "27"}};
    for (const Roll& roll : rolls) {
        double previous = -1e9;
        for (int i = 0; i < 20; ++i) {
            const LatLon p = testAirportPoint(i % 2 == 0 ? 2.0 : -2.0, roll.fromEast + roll.step * i);
            const auto takeoff = gf_findRunwayForTakeoff(p, roll.headingDeg * kDegree);
            const auto loose = gf_findRunwayLoose(sampleAt(p), roll.headingDeg * kDegree);
            ASSERT_TRUE(takeoff && loose) << i;
            EXPECT_EQ(takeoff->designator1, roll.designator);
            EXPECT_TRUE(loose->sameRunwayAs(*takeoff));
            EXPECT_GT(*takeoff->alongFromThresholdM, previous);
            previous = *takeoff->alongFromThresholdM;
            EXPECT_EQ(gf_runwayNameAt(p, roll.headingDeg * kDegree), roll.designator);
        }
    }
    gf_clearRunways();
    const LatLon onRunway = testAirportPoint(0, -1000);
    EXPECT_FALSE(gf_findRunwayForTakeoff(onRunway, 90 * kDegree));
    EXPECT_FALSE(gf_runwayNameAt(onRunway, 90 * kDegree));
    EXPECT_FALSE(gf_isNearRunway(sampleAt(onRunway)));
}

TEST_F(Runways, NearRunwayWithinHalfLengthAndMargin)
{
    EXPECT_TRUE(gf_isNearRunway(sampleAt(testAirportPoint(2999, 0))));
    EXPECT_FALSE(gf_isNearRunway(sampleAt(testAirportPoint(3001, 0))));
    EXPECT_TRUE(gf_isNearRunway(sampleAt(testAirportPoint(0, 3299)))); // 18-36: 1000 + 1500 from east 800
    EXPECT_FALSE(gf_isNearRunway(sampleAt({std::nan(""), 9.0})));
}

TEST_F(Runways, NoDataLeavesTheListEmptyWithOneLine)
{
    EXPECT_EQ(gf_loadRunways(IcaoCode("ZZZZ")), 0u);
    EXPECT_TRUE(gf_runways().empty());
    gf_setSimPortFactory({});
    EXPECT_EQ(gf_loadRunways(IcaoCode(test::TestAirport::kCode)), 0u);
    const std::string text = log();
    std::size_t lines = 0;
    for (auto at = text.find("No runway data for "); at != std::string::npos; at = text.find("No runway data for ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u);
}

TEST_F(Runways, AcrossTheDateLine)
{
    gf_runways() = {RunwayRecord{"09", "27", {0.0, 180.0}, 90.0, 2000.0, 45.0, 0.0, 0.0, 0.0}};
    const auto hit = gf_findRunwayForTakeoff({0.0, -179.995}, 90 * kDegree);
    ASSERT_TRUE(hit);
    EXPECT_NEAR(*hit->alongFromThresholdM, 1000.0 + 0.005 * 60 * kMetersPerNm, 1.0);
    EXPECT_FALSE(gf_findRunwayForTakeoff({0.0, -179.98}, 90 * kDegree)); // 2224 m past the centre
}

// The take-off line after its time text: place, runway and destination only
// near the park airport.
TEST_F(Runways, TakeoffLineNamesPlaceRunwayAndDestination)
{
    gf_setParkAirport({{IcaoCode(test::TestAirport::kCode), IataCode("ZTS"), test::TestAirport::kLatitude,
                        test::TestAirport::kLongitude, 1300},
                       ""});
    LiveAc ac;
    ac.head.callsign = "DLH4AB";
    ac.head.registration = "D-AIZZ";
    ac.head.destination = IataCode("FRA");
    const LatLon onRunway = testAirportPoint(0.0, -500.0);
    ac.pose.latitude = onRunway.latitude;
    ac.pose.longitude = onRunway.longitude;
    ac.pose.heading = 90.0 * kDegree;
    auto tail = [](const std::string& line) { return line.substr(line.find(' ')); };
    EXPECT_EQ(tail(gf_takeoffReportLine(ac)), " DLH4AB D-AIZZ   take off at ZTS runway 09 to FRA ...");
    ac.pose.heading = 270.0 * kDegree;
    EXPECT_EQ(tail(gf_takeoffReportLine(ac)), " DLH4AB D-AIZZ   take off at ZTS runway 27 to FRA ...");
    ac.head.destination = IataCode("ZTS");
    EXPECT_EQ(tail(gf_takeoffReportLine(ac)), " DLH4AB D-AIZZ   take off at ZTS runway 27 ...");
    // Six NM out: no place, no runway, no destination.
    const LatLon away = testAirportPoint(6.0 * 1852.0, 0.0);
    ac.pose.latitude = away.latitude;
    ac.pose.longitude = away.longitude;
    ac.head.destination = IataCode("FRA");
    EXPECT_EQ(tail(gf_takeoffReportLine(ac)), " DLH4AB D-AIZZ   take off at ? ...");
    gf_clearParkAirport();
}

// A runway-entry sample is held back one sample: a repeat on its spot puts it
// into the stream (and is appended after it), anything else too; one that
// stays held when the stream runs out is its last sample.
TEST_F(Runways, RunwayEntrySampleIsHeldUntilTheNextOne)
{
    LiveAc ac;
    ac.onGround = 1;
    ac.simState = SimState::active;
    ac.applyPhaseChange(FlightPhase::taxi, 1000);
    PosSample first = sampleAt(testAirportPoint(0.0, -1400.0));
    first.dueTick = 1000;
    ac.stream.push_back(first);
    auto entry = [](double northM, double eastM, double headingDeg, double kt) {
        PosSample s = sampleAt(testAirportPoint(northM, eastM));
        s.heading = headingDeg;
        s.groundSpeed = kt;
        s.dueTick = 1400;
        return s;
    };
    // Off the window: too far off the centre line, turned across, too fast, too slow.
    for (PosSample s : {entry(8.0, -1380.0, 90.0, 10.0), entry(0.0, -1380.0, 110.0, 10.0),
                        entry(0.0, -1380.0, 90.0, 36.0), entry(0.0, -1380.0, 90.0, 1.5)})
        EXPECT_FALSE(ac.rememberRunwayEntrySample(s));
    PosSample held = entry(7.0, -1380.0, 76.0, 10.0);
    ASSERT_TRUE(ac.rememberRunwayEntrySample(held));
    EXPECT_EQ(ac.stream.size(), 1U);
    PosSample repeat = held;
    repeat.skip = 1;
    repeat.dueTick = 1700;
    EXPECT_FALSE(ac.rememberRunwayEntrySample(repeat));
    ASSERT_EQ(ac.stream.size(), 2U);
    EXPECT_EQ(ac.stream.back().latitude, held.latitude);
    EXPECT_FALSE(ac.groundOps.runwayEntrySample);

    // Not while flying; held in a take-off roll, released when the stream ends.
    ac.applyPhaseChange(FlightPhase::flying, 1000);
    PosSample rolling = entry(0.0, -1300.0, 90.0, 30.0);
    EXPECT_FALSE(ac.rememberRunwayEntrySample(rolling));
    ac.applyPhaseChange(FlightPhase::takeoff_roll, 1000);
    ASSERT_TRUE(ac.rememberRunwayEntrySample(rolling));
    ac.stream.erase(ac.stream.begin());
    gf_setEngineTick(1400);
    nextPosMain(ac);
    ASSERT_EQ(ac.stream.size(), 1U);
    EXPECT_EQ(ac.stream.front().longitude, rolling.longitude);
    EXPECT_EQ(ac.streamCounter, 0);
}

// Finals: 09's threshold is the runway's west end, 27's lies 300 m in from
// the east end.
TEST_F(Runways, ApproachWindowsOnBothSides)
{
    const double nm = 1852.0;
    const struct {
        double northM, eastM, headingDeg;
        bool final;
    } cases[] = {
        {0.0, -1500.0 - 9.9 * nm, 90, true},   {0.0, -1500.0 - 10.1 * nm, 90, false},
        {0.0, -1500.0 - 5.0 * nm, 109, true},  {0.0, -1500.0 - 5.0 * nm, 111, false},
        {1.7 * nm, -1500.0 - 5.0 * nm, 90, true}, // 19 degrees off the extended centre line
        {1.9 * nm, -1500.0 - 5.0 * nm, 90, false}, // 21 degrees
        {0.0, 1200.0 + 9.9 * nm, 270, true},   {0.0, 1200.0 + 10.1 * nm, 270, false},
        {0.0, -1000.0, 90, false},             {0.0, -1500.0 - 5.0 * nm, 270, false}, // past it, away from it
    };
    for (const auto& c : cases)
        EXPECT_EQ(gf_isApproachingRunway(testAirportPoint(c.northM, c.eastM), c.headingDeg * kDegree), c.final)
            << c.northM << " " << c.eastM << " " << c.headingDeg;
}

// A flying aircraft starts its approach on the final below 3,000 ft above the
// park airport, descending at 300 ft/min or more.
TEST_F(Runways, FinalBelowThreeThousandFeetStartsTheApproach)
{
    gf_setParkAirport({{IcaoCode(test::TestAirport::kCode), IataCode("ZTS"), test::TestAirport::kLatitude,
                        test::TestAirport::kLongitude, 1300},
                       ""});
    auto approaching = [](double altitudeFt, double verticalSpeed) {
        LiveAc ac;
        ac.simState = SimState::active;
        ac.category = AcCategory::Large;
        const LatLon p = testAirportPoint(0.0, -1500.0 - 6.0 * 1852.0);
        ac.pose = {p.latitude, p.longitude, 0.0, 0.0, 90 * kDegree, altitudeFt, 0.0, 160.0};
        ac.groundOps.motionVerticalSpeed = verticalSpeed;
        ac.applyPhaseChange(FlightPhase::flying, 1000);
        lf_groundPhasePass(ac);
        return ac.phase == FlightPhase::landing;
    };
    EXPECT_TRUE(approaching(1300.0 + 2990.0, -300.0));
    EXPECT_FALSE(approaching(1300.0 + 3010.0, -800.0));
    EXPECT_FALSE(approaching(1300.0 + 2000.0, -290.0));
    gf_clearParkAirport();
    EXPECT_FALSE(approaching(1300.0 + 2000.0, -800.0));
}

// The roll-out ends at 15 kt, or at 30 kt once clear of the runway it began
// on (half its width + 5 m off the centre line: 27.5 m on 09).
TEST_F(Runways, RollOutEndsClearOfTheRunway)
{
    auto rollOut = [](double northM, double kt) {
        LiveAc ac;
        ac.simState = SimState::active;
        ac.category = AcCategory::Large;
        ac.onGround = 1;
        const LatLon touchDown = testAirportPoint(0.0, -1000.0);
        ac.pose = {touchDown.latitude, touchDown.longitude, 0.0, 0.0, 90 * kDegree, 0.0, 0.0, 0.0};
        ac.groundOps.motionSpeedKt = 120.0;
        ac.applyPhaseChange(FlightPhase::landing_roll, 1000);
        lf_groundPhasePass(ac);
        const LatLon later = testAirportPoint(northM, -200.0);
        ac.pose.latitude = later.latitude;
        ac.pose.longitude = later.longitude;
        ac.pose.heading = 0.0;
        ac.groundOps.motionSpeedKt = kt;
        lf_groundPhasePass(ac);
        return ac.phase;
    };
    EXPECT_EQ(rollOut(28.0, 29.0), FlightPhase::taxi);
    EXPECT_EQ(rollOut(27.0, 29.0), FlightPhase::landing_roll);
    EXPECT_EQ(rollOut(28.0, 31.0), FlightPhase::landing_roll);
    EXPECT_EQ(rollOut(0.0, 15.0), FlightPhase::taxi);
}

} // namespace
} // namespace zelk
