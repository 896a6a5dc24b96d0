#include "core/Geometry.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

namespace zelk {
namespace {

constexpr double kPi = std::numbers::pi;

// The central angle by the spherical law of cosines, an independent route to
// the same distance for points that are neither close nor antipodal.
double lf_lawOfCosinesNm(const LatLon& a, const LatLon& b)
{
    const double p1 = a.latitude * kPi / 180.0;
    const double p2 = b.latitude * kPi / 180.0;
    const double dl = (b.longitude - a.longitude) * kPi / 180.0;
    const double angle = std::acos(std::sin(p1) * std::sin(p2) + std::cos(p1) * std::cos(p2) * std::cos(dl));
    return angle * 180.0 / kPi * 60.0;
}

TEST(Geometry, OneDegreeOfArcIsSixtyNauticalMiles)
{
    EXPECT_NEAR(gf_distanceNm({0, 0}, {0, 1}), 60.0, 1e-9);
    EXPECT_NEAR(gf_distanceNm({0, 0}, {1, 0}), 60.0, 1e-9);
    EXPECT_NEAR(gf_distanceNm({45, 10}, {46, 10}), 60.0, 1e-9);
    // Along a parallel the distance shrinks with the cosine of the latitude (very nearly).
    EXPECT_NEAR(gf_distanceNm({60, 0}, {60, 1}), 30.0, 0.01);
}

TEST(Geometry, IdenticalPointsAndAntipodes)
{
    EXPECT_EQ(gf_distanceNm({47.26, 11.34}, {47.26, 11.34}), 0.0);
    EXPECT_NEAR(gf_distanceNm({0, 0}, {0, 180}), 10800.0, 1e-6);
    EXPECT_NEAR(gf_distanceNm({90, 0}, {-90, 0}), 10800.0, 1e-6);
    EXPECT_NEAR(gf_distanceNm({10, 20}, {-10, -160}), 10800.0, 1e-3);
}

TEST(Geometry, NearAntipodalRoundingDoesNotGiveNaN)
{
    // Pairs for which the haversine term rounds to just above 1.
    const LatLon pairs[][2] = {
        {{69.51232454868148, 86.5812282599507}, {-69.51232454868148, -93.4187717400493}},
        {{-85.74577602624232, -40.83944228587086}, {85.74577602624232, 139.16055771412914}},
        {{70.33826301395496, 23.200859966471057}, {-70.33826301395496, -156.79914003352894}},
    };
    for (const auto& p : pairs) {
        const double d = gf_distanceNm(p[0], p[1]);
        EXPECT_FALSE(std::isnan(d));
        EXPECT_NEAR(d, 10800.0, 1e-3);
    }
}

TEST(Geometry, RealCityPairs)
{
    const LatLon jfk{40.6413, -73.7781};
    const LatLon lhr{51.4700, -0.4543};
    const LatLon syd{-33.9399, 151.1753};
    // Published great-circle distance JFK-LHR is about 2,990 NM on this sphere's scale.
    EXPECT_NEAR(gf_distanceNm(jfk, lhr), 2990.0, 5.0);
    EXPECT_NEAR(gf_distanceNm(jfk, lhr), lf_lawOfCosinesNm(jfk, lhr), 1e-6);
    EXPECT_NEAR(gf_distanceNm(lhr, syd), lf_lawOfCosinesNm(lhr, syd), 1e-6);
    EXPECT_DOUBLE_EQ(gf_distanceNm(jfk, lhr), gf_distanceNm(lhr, jfk));
}

TEST(Geometry, BearingsOfTheCardinalDirections)
{
    EXPECT_NEAR(gf_initialBearing({0, 0}, {1, 0}), 0.0, 1e-12);
    EXPECT_NEAR(gf_initialBearing({0, 0}, {0, 1}), kPi / 2, 1e-12);
    EXPECT_NEAR(gf_initialBearing({0, 0}, {-1, 0}), kPi, 1e-12);
    EXPECT_NEAR(gf_initialBearing({0, 0}, {0, -1}), 3 * kPi / 2, 1e-12);
    // Across the date line eastwards.
    EXPECT_NEAR(gf_initialBearing({0, 179.5}, {0, -179.5}), kPi / 2, 1e-9);
}

TEST(Geometry, BearingStaysBelowAFullCircle)
{
    // A course a hair west of north: adding 2 pi to it rounds to 2 pi exactly.
    const double b = gf_initialBearing({0, 0}, {1, -1e-200});
    EXPECT_GE(b, 0.0);
    EXPECT_LT(b, kFullCircle);
    EXPECT_NEAR(std::remainder(b, kFullCircle), 0.0, 1e-12);
}

TEST(Geometry, DestinationCrossesTheDateLine)
{
    const LatLon p = gf_destinationPoint({0, 179.9}, kPi / 2, 72913.4); // 12 NM, 0.2 degree
    EXPECT_NEAR(p.latitude, 0.0, 1e-9);
    EXPECT_NEAR(p.longitude, -179.9, 1e-6);
}

TEST(Geometry, DestinationAndDistanceAgree)
{
    const LatLon start{50.0333, 8.5706};
    for (double courseDeg : {0.0, 45.0, 133.0, 270.0, 359.0}) {
        const double course = courseDeg * kDegToRad;
        const double feet = 6076.115486 * 25.0; // 25 NM
        const LatLon end = gf_destinationPoint(start, course, feet);
        EXPECT_NEAR(gf_distanceNm(start, end), 25.0, 1e-3) << courseDeg;
        EXPECT_NEAR(gf_initialBearing(start, end), course, 1e-9) << courseDeg;
    }
    const LatLon same = gf_destinationPoint(start, 1.0, 0.0);
    EXPECT_NEAR(same.latitude, start.latitude, 1e-12);
    EXPECT_NEAR(same.longitude, start.longitude, 1e-12);
}

TEST(Geometry, DestinationOverAPoleStaysANumber)
{
    // Northbound trips that end at the pole, where the sine of the latitude rounds past 1.
    const double cases[][2] = {
        {22.570268565704144, 24582650.1392679},
        {61.67796050833826, 10325278.971820656},
        {84.174339064366, 2123843.319029621},
    };
    for (const auto& c : cases) {
        const LatLon p = gf_destinationPoint({c[0], 0.0}, 0.0, c[1]);
        EXPECT_FALSE(std::isnan(p.latitude)) << c[0];
        EXPECT_NEAR(p.latitude, 90.0, 1e-6) << c[0];
    }
}

} // namespace
} // namespace zelk
