#include "ground/GroundGeometry.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "ground/AirConflict.h"

namespace zelk {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

LatLon offsetFrom(const LatLon& origin, double northM, double eastM)
{
    return {origin.latitude + northM / kMetersPerNm / 60.0,
            origin.longitude + eastM / kMetersPerNm / 60.0 / std::cos(origin.latitude * kDegToRad)};
}

TEST(GroundGeometry, RelativePositionAlongAndLateral)
{
    const LatLon from{47.5, 9.0};
    struct Case {
        double northM, eastM, headingDeg, along, lateral;
    } cases[] = {{100, 0, 0, 100, 0}, {0, -100, 0, 0, -100}, {-100, 0, 90, 0, 100}, {100, 0, 180, -100, 0}};
    for (const Case& c : cases) {
        const RelativePosition r = gf_relativePosition(from, c.headingDeg * kDegree, offsetFrom(from, c.northM, c.eastM));
        EXPECT_NEAR(r.distanceM, 100.0, 0.5);
        EXPECT_NEAR(r.alongM, c.along, 0.5) << c.northM << "," << c.eastM << "," << c.headingDeg;
        EXPECT_NEAR(r.lateralM, c.lateral, 0.5) << c.northM << "," << c.eastM << "," << c.headingDeg;
        EXPECT_LE(std::abs(r.bearingRad), kPi);
    }
    // Within 0.1 m only the distance.
    const RelativePosition close = gf_relativePosition(from, 1.0, offsetFrom(from, 0.05, 0.05));
    EXPECT_GT(close.distanceM, 0.0);
    EXPECT_EQ(close.alongM, 0.0);
    EXPECT_EQ(close.bearingRad, 0.0);
    // Across the date line the neighbour stays ahead.
    const RelativePosition wrap = gf_relativePosition({0.0, 179.9995}, 90 * kDegree, {0.0, -179.9995});
    EXPECT_NEAR(wrap.alongM, 111.2, 0.5);
}

TEST(GroundGeometry, CirclesOverlapOnBothSidesOfTheSum)
{
    const LatLon a{50.0, 8.0};
    struct Case {
        LatLon b;
        double ra, rb;
        bool overlap;
    } cases[] = {
        {{50.0 + 0.0199 / 60.0, 8.0}, 0.01, 0.01, true},
        {{50.0 + 0.0201 / 60.0, 8.0}, 0.01, 0.01, false},
        {{50.0, 8.0 + 0.0199 / 60.0 / std::cos(50.0 * kDegToRad)}, 0.01, 0.01, true},
        {{50.0, 8.0 + 0.0201 / 60.0 / std::cos(50.0 * kDegToRad)}, 0.01, 0.01, false},
        {a, 0.0, 0.0, false},
        {a, 0.01, -0.01, false},
        {{kNaN, 8.0}, 1.0, 1.0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_circlesOverlapNm(a, c.ra, c.b, c.rb), c.overlap) << c.b.latitude << "," << c.b.longitude;
    // 0.0002 degrees apart across the date line: 0.012 NM.
    EXPECT_TRUE(gf_circlesOverlapNm({0.0, 179.9999}, 0.0061, {0.0, -179.9999}, 0.0061));
    EXPECT_FALSE(gf_circlesOverlapNm({0.0, 179.9999}, 0.0059, {0.0, -179.9999}, 0.0059));
}

TEST(GroundGeometry, BankLimit)
{
    struct Case {
        double maxDeg;
        bool heightDependent;
        double heightFt;
        bool onGround;
        double expectDeg;
    } cases[] = {
        {25, false, 0, true, 25},     {25, true, kNaN, false, 25}, {25, true, 50, true, 5},  {3, true, 50, true, 3},
        {25, true, 100, false, 10},   {25, true, 99, false, 10},   {25, true, 550, false, 17.5},
        {25, true, 1000, false, 25},  {25, true, 5000, false, 25}, {8, true, 50, false, 8},  {200, false, 0, false, 90},
        {0, false, 0, false, 0},      {-5, true, 500, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(gf_limitBank(c.maxDeg * kDegree, c.heightDependent, c.heightFt, c.onGround) / kDegree, c.expectDeg, 1e-9)
            << c.maxDeg << " " << c.heightFt;
    EXPECT_EQ(gf_limitBank(kNaN, false, 0, false), 0.0);
}

TEST(GroundGeometry, MinGroundTravelTimeByCategoryCeiling)
{
    const auto seconds = [](double kt) { return 1000.0 / (kt * kMetersPerSecondPerKnot); };
    struct Case {
        double distanceM, elapsedS, prevKt, newKt;
        AcCategory category;
        std::optional<double> expect;
    } cases[] = {
        {1000, 3.0, 100, 100, AcCategory::Large, seconds(620)},
        {1000, 3.2, 100, 100, AcCategory::Large, std::nullopt}, // 3.135 s already elapsed
        {1000, 0, 600, 100, AcCategory::Large, seconds(750)},   // 1.25 x 600 beats the ceiling
        {1000, 0, 10, 10, AcCategory::Rotorcraft, seconds(180)},
        {1.0, 0, 10, 10, AcCategory::Light, std::nullopt},
        {1.01, 0, 10, 10, AcCategory::Light, 1.01 / (220 * kMetersPerSecondPerKnot)},
        {kNaN, 0, 10, 10, AcCategory::Light, std::nullopt},
        {1000, 0, kNaN, 10, AcCategory::Light, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto got = gf_minGroundTravelTime(c.distanceM, c.elapsedS, c.prevKt, c.newKt, c.category);
        ASSERT_EQ(got.has_value(), c.expect.has_value()) << c.distanceM << " " << c.elapsedS;
        if (got) {
            EXPECT_NEAR(*got, *c.expect, 1e-9);
        }
    }
}

TEST(GroundGeometry, TakeoffAccelerationWindow)
{
    using E = AccelerationEntry;
    const auto entries = [](std::vector<std::pair<double, std::int64_t>> speedTicks) {
        std::vector<E> list;
        for (auto [kt, tick] : speedTicks) list.push_back(E{0, 0, kt, false, tick});
        return list;
    };
    struct Case {
        std::vector<E> list;
        double threshold;
        std::optional<std::size_t> expect;
    } cases[] = {
        {entries({{40, 0}, {70, 1000}}), 60, 1},
        {entries({{40, 0}, {69.9, 1000}}), 60, std::nullopt},  // below threshold + 10
        {entries({{39.9, 0}, {70, 1000}}), 60, std::nullopt},  // earlier entry below 40 kt
        {entries({{56, 0}, {70, 1000}}), 60, std::nullopt},    // gained only 14 kt
        {entries({{55, 0}, {70, 1000}}), 60, 1},
        {entries({{40, 0}, {70, 2000}}), 60, std::nullopt},    // 2000 ticks is too long ago
        {entries({{40, 0}, {70, 1999}}), 60, 1},
        {entries({{kNaN, 0}, {45, 10}, {70, 20}}), 60, 2},
        {entries({{80, 0}, {90, 10}}), 60, std::nullopt},      // entry 0 never counts
        {entries({{40, 0}, {70, 1000}}), 0, std::nullopt},
        {entries({{40, 0}, {70, 1000}}), kNaN, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_detectTakeoffAcceleration(c.list, c.threshold), c.expect);
}

TEST(GroundGeometry, AirConflictKindsAndClears)
{
    const LatLon user{50.0, 8.0};
    const double cosLat = std::cos(50.0 * kDegToRad);
    struct Case {
        std::uint32_t mode;
        double aheadNm, lateralFt, altDiffFt, headingDeg; // user track is north, at 5000 ft
        std::uint32_t conflict;
        std::uint8_t code;
    } cases[] = {
        {2, 4.1, 0, 0, 180, 0, 1},     {2, 3.9, 0, 1001, 180, 0, 2}, {0, 0.59, 0, 300, 180, 1, 0},
        {0, 0.59, 0, 301, 180, 4, 0},  {1, -0.5, 0, 0, 180, 0, 3},   {1, -0.5, 0, 0, 0, 1, 0},
        {2, 2.9, 0, 0, 180, 2, 0},     {2, 3.1, 0, 0, 180, 0, 3},    {2, 2.9, 1400, 0, 180, 2, 0},
        {2, 2.9, 1600, 0, 180, 0, 3},  {2, 2.9, 0, 0, 29, 2, 0},     {2, 2.9, 0, 0, 31, 0, 3},
        {2, 2.9, 0, 0, 151, 2, 0},     {2, 2.9, 0, 0, 149, 0, 3},    {1, 1.9, 0, 0, 180, 3, 0},
        {1, 2.1, 0, 0, 180, 0, 3},     {1, 1.9, 0, 0, 20, 0, 3},     {1, 1.9, 900, 0, 180, 3, 0},
        {1, 1.9, 1100, 0, 180, 0, 3},  {0, -0.9, 0, 450, 180, 4, 0}, {0, -1.1, 0, 0, 180, 0, 3},
        {0, -0.9, 0, 550, 180, 0, 3},
    };
    for (const Case& c : cases) {
        AirConflictInput in;
        in.mode = c.mode;
        in.userLatitude = user.latitude;
        in.userLongitude = user.longitude;
        in.aircraftLatitude = user.latitude + c.aheadNm / 60.0;
        in.aircraftLongitude = user.longitude + c.lateralFt / kFeetPerNm / 60.0 / cosLat;
        in.cosLatitude = cosLat;
        in.aircraftHeadingRad = c.headingDeg * kDegree;
        in.userAltitudeFt = 5000.0;
        in.aircraftAltitudeFt = 5000.0 + c.altDiffFt;
        const AirConflictResult r = gf_assessAirConflict(in);
        EXPECT_EQ(r.conflict, c.conflict) << c.mode << " " << c.aheadNm << " " << c.lateralFt << " " << c.headingDeg;
        EXPECT_EQ(r.code, c.code) << c.mode << " " << c.aheadNm << " " << c.lateralFt << " " << c.headingDeg;
    }
    // Across the date line: 1.2 NM ahead, head-on.
    AirConflictInput wrap{2, 0.0, 179.99, 0.0, -179.99, 1.0, 90 * kDegree, 270 * kDegree, 5000, 5000};
    EXPECT_EQ(gf_assessAirConflict(wrap).conflict, 2u);
    EXPECT_NEAR(gf_assessAirConflict(wrap).alongNm, 1.2, 1e-6);
    wrap.aircraftLongitude = kNaN;
    EXPECT_EQ(gf_assessAirConflict(wrap).conflict, 0u);
    EXPECT_EQ(gf_assessAirConflict(wrap).code, 0);
}

} // namespace
} // namespace zelk
