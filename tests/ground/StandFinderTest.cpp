#include "ground/StandFinder.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ground/GroundGeometry.h"
#include "support/TestAirport.h"

namespace zelk {
namespace {

using test::testAirportPoint;

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// G5 of the test airport stands at north 400, east -300, facing north.
constexpr double kStandNorth = 400.0;
constexpr double kStandEast = -300.0;

StandEntryCheck entryFrom(double along, double lateral, double headingDeg)
{
    const LatLon stand = testAirportPoint(kStandNorth, kStandEast);
    const LatLon aircraft = testAirportPoint(kStandNorth + along, kStandEast + lateral);
    return gf_checkStandEntry({stand.latitude, stand.longitude, 0.0}, 30.0 / kMetersPerNm, aircraft,
                              headingDeg * kDegree, 20.0 / kMetersPerNm);
}

TEST(StandEntry, EveryReasonOnBothSidesOfItsThreshold)
{
    struct Case {
        double along, lateral, headingDeg;
        std::string_view reason; // empty: accepted
    } cases[] = {
        {-30, 0, 10.5, kEntryHeading},       {-30, 0, 9.5, {}},
        {-50.5, 0, 0, kEntryOutsideOverlap}, {-49.5, 0, 0, {}},
        {-4.9, 0, 0, kEntryTooClose},        {-5.1, 0, 0, {}},          {20, 0, 0, kEntryTooClose},
        {-30, 2.9, 0, {}},                   {-29, 3.1, 0, kEntryOffCentreline}, // S-curve needs 29.3 m
        {-30, 3.1, 0, {}},                   {-45, 4.1, 0, kEntryOffCentreline}, {-45, 3.9, 0, {}},
        {-6, 1.7, 0, kEntryDirectFinal},     {-6, 1.5, 0, {}},
        {-10, 2, 5, kEntryApproachTurn},     {-10, 2, 3, {}},
        {-30, 0, kNotANumber, kEntryInvalidGeometry},
    };
    for (const Case& c : cases) {
        const StandEntryCheck check = entryFrom(c.along, c.lateral, c.headingDeg);
        EXPECT_EQ(check.reason, c.reason) << c.along << "," << c.lateral << "," << c.headingDeg;
        EXPECT_EQ(check.accepted, c.reason.empty() ? 1 : 0);
        if (c.reason.empty()) {
            EXPECT_NEAR(check.entryDistanceM, -c.along, 0.05);
        }
    }
    EXPECT_EQ(gf_checkStandEntry({95.0, 9.0, 0.0}, 0.02, {47.5, 9.0}, 0.0, 0.01).reason, kEntryInvalidRelative);
    EXPECT_EQ(gf_checkStandEntry({47.5, 9.0, 0.0}, -0.02, {47.5, 9.0}, 0.0, 0.01).reason, kEntryInvalidGeometry);
    // Across the date line, facing east: 33 m before the stand, then 4.5 m past it.
    EXPECT_TRUE(gf_checkStandEntry({0.0, -179.9999, 90 * kDegree}, 0.03, {0.0, 179.9998}, 90 * kDegree, 0.01).accepted);
    EXPECT_EQ(gf_checkStandEntry({0.0, 179.99998, 90 * kDegree}, 0.03, {0.0, -179.99998}, 90 * kDegree, 0.01).reason,
              kEntryTooClose);
}

TEST(StandEntry, TaxiInIsRefusedUntilLinedUpThenTheEntryDistanceFalls)
{
    // From the taxiway south of G5, turning onto its lead-in line.
    struct Step {
        double along, lateral, headingDeg;
    } track[] = {{-60, 25, 270}, {-50, 15, 315}, {-46, 8, 340}, {-42, 4.5, 355}, {-38, 1.5, 359}, {-30, 0.5, 0},
                 {-20, 0, 0},    {-10, 0, 0},    {-4, 0, 0}};
    std::vector<std::string_view> reasons;
    double lastEntry = 1e9;
    for (const Step& s : track) {
        const StandEntryCheck c = entryFrom(s.along, s.lateral, s.headingDeg);
        reasons.push_back(c.reason);
        if (c.accepted) {
            EXPECT_LT(c.entryDistanceM, lastEntry);
            lastEntry = c.entryDistanceM;
        }
    }
    const std::vector<std::string_view> expected{kEntryHeading,       kEntryHeading, kEntryHeading,
                                                 kEntryOffCentreline, {},            {},
                                                 {},                  {},            kEntryTooClose};
    EXPECT_EQ(reasons, expected);
}

class NearestStand : public ::testing::Test {
protected:
    StaticAc aircraft(AcCategory category, double sizeRadiusM, std::string callsign = {}, LiveryKey key = {})
    {
        StaticAc ac;
        ac.category = category;
        ac.sizeRadius = sizeRadiusM / kMetersPerNm;
        ac.head.callsign = std::move(callsign);
        ac.head.key = key;
        return ac;
    }
    const char* nearest(const LatLon& p, const StaticAc& ac, bool fallback = false)
    {
        double d = 0.0;
        const ParkPos* s = gf_findNearestStand(stands, p, ac, d, fallback);
        if (s == nullptr) {
            EXPECT_EQ(d, kNoStandDistanceM);
        }
        return s == nullptr ? nullptr : s->name.c_str();
    }
    std::vector<ParkPos> stands = test::testAirportStands();
};

TEST_F(NearestStand, FiltersAndRadii)
{
    const StaticAc large = aircraft(AcCategory::Large, 18.0);
    const StaticAc klm = aircraft(AcCategory::Large, 18.0, "KLM1234",
                                  {gf_airlineCode2Index("KLM"), 0, gf_modelCode2Index("B738"), 0, 0});
    const StaticAc heli = aircraft(AcCategory::Rotorcraft, 5.0);
    struct Case {
        double north, east;
        const StaticAc* ac;
        bool fallback;
        const char* expect;
    } cases[] = {
        {400, -300, &large, false, "G5"},   {371, -300, &large, false, "G5"},  {369, -300, &large, false, nullptr},
        {365, -300, &klm, true, "G5"},      {365, -300, &klm, false, nullptr}, {359, -300, &klm, true, nullptr},
        {300, -1300, &heli, false, "H1"},   {300, -1300, &large, false, nullptr},
        {400, -300, &heli, false, nullptr}, {300, -1400, &large, false, nullptr}, // X1 has no type
    };
    for (const Case& c : cases) {
        const char* got = nearest(testAirportPoint(c.north, c.east), *c.ac, c.fallback);
        EXPECT_STREQ(got, c.expect) << c.north << "," << c.east;
    }
    EXPECT_EQ(nearest(testAirportPoint(400, -300), aircraft(AcCategory::Heavy, 30.0)), nullptr); // medium gate
    stands[4].blocked = 1;
    EXPECT_EQ(nearest(testAirportPoint(400, -300), large), nullptr);
    double d = 0.0;
    EXPECT_EQ(gf_findNearestStand(stands, {kNotANumber, 9.0}, large, d, true), nullptr);
    EXPECT_EQ(d, kNoStandDistanceM);
}

TEST_F(NearestStand, AxisWindowAndTheDateLine)
{
    ParkPos wide;
    wide.id = 1;
    wide.name = "W1";
    wide.type = StandType::GATE_EXTRA;
    wide.radius = 0.06; // 111 m: only the 81.25 m axis window limits it
    wide.latitude = 0.0;
    wide.longitude = 179.9999;
    stands = {wide};
    const StaticAc ac = aircraft(AcCategory::Large, 18.0);
    const double degPerM = 1.0 / kMetersPerNm / 60.0;
    EXPECT_STREQ(nearest({81.0 * degPerM, 179.9999}, ac), "W1");
    EXPECT_EQ(nearest({81.5 * degPerM, 179.9999}, ac), nullptr);
    double d = 0.0;
    EXPECT_NE(gf_findNearestStand(stands, {0.0, -179.9999}, ac, d, false), nullptr);
    EXPECT_NEAR(d, 0.0002 * 60 * kMetersPerNm, 0.1);
    EXPECT_EQ(nearest({0.0, -179.9991}, ac), nullptr); // 89 m east across the line
}

} // namespace
} // namespace zelk
