#include "ground/MotionGeometry.h"

#include <cmath>

#include <gtest/gtest.h>

#include "ground/GroundGeometry.h"
#include "traffic/EnginePass.h"

namespace zelk {
namespace {

TEST(MotionGeometry, PitchFromVerticalSpeedByCategory)
{
    struct Case {
        AcCategory category;
        double verticalSpeed, degrees;
    } cases[] = {
        {AcCategory::Large, 1200.0, -7.4},   {AcCategory::Large, 5000.0, -3.0 - 4.0 * 2.2},
        {AcCategory::Large, -600.0, -1.9},   {AcCategory::Large, -9000.0, -3.0 + 5.0 * 1.1},
        {AcCategory::HighPerf, 600.0, -5.1}, {AcCategory::Rotorcraft, -1800.0, 2.25},
        {AcCategory::Light, NAN, -3.0},
    };
    for (const Case& c : cases) {
        PosSample s;
        s.verticalSpeed = c.verticalSpeed;
        EXPECT_NEAR(gf_pitchFromVerticalSpeed(s, c.category) * kRadToDeg, c.degrees, 1e-9) << c.verticalSpeed;
    }
}

TEST(MotionGeometry, HoldRuleByPhase)
{
    EXPECT_EQ(gf_holdTicks(FlightPhase::taxi, 3), 18000);
    EXPECT_EQ(gf_holdTicks(FlightPhase::landing_roll, 2), 12000);
    EXPECT_EQ(gf_holdTicks(FlightPhase::takeoff_roll, 3), 4500);
    EXPECT_EQ(gf_holdTicks(FlightPhase::flying, 3), 2700);
    EXPECT_EQ(gf_holdTicks(FlightPhase::birth, 3), 0);
    EXPECT_GE(gf_holdCount(gf_holdTicks(FlightPhase::parked, 3) - 1'000'000'000), 1);
    struct Case {
        std::int64_t remaining;
        std::int32_t count;
    } cases[] = {{2700, 9}, {2701, 10}, {1, 1}, {0, 0}, {-300, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(gf_holdCount(c.remaining), c.count) << c.remaining;
}

TEST(MotionGeometry, RetimingStaysWithinItsBounds)
{
    // 100 m at 10 kt needs about 19.4 s; due in 5 s asks for 39 kt.
    struct Case {
        std::int32_t due, maxEarlier, maxLater, expectLo, expectHi;
    } cases[] = {
        {500, 900, 900, 1290, 1300},  // late enough to need 1.5 x 10 kt
        {500, 900, 300, 800, 800},    // the later bound holds
        {20000, 900, 900, 19100, 19100}, // too slow: earlier, by at most 900
        {2000, 900, 900, 2000, 2000}, // plausible: unchanged
    };
    for (const Case& c : cases) {
        const std::int32_t t = gf_retimeLeg(100.0, 10.0, 0, c.due, c.maxEarlier, c.maxLater);
        EXPECT_GE(t, c.expectLo) << c.due;
        EXPECT_LE(t, c.expectHi) << c.due;
    }
    EXPECT_EQ(gf_retimeLeg(100.0, 0.0, 0, 500, 900, 900), 500);
    EXPECT_GE(gf_retimeLeg(1e6, 10.0, 1000, 400, 900, 0), 1001);
}

TEST(MotionGeometry, TangentArcReachesTheTarget)
{
    // Stepping along the tangent arc, with the heading step recomputed each pass,
    // ends on the target whatever its bearing, and the heading never jumps.
    for (double bearingDeg : {-120.0, -45.0, 0.0, 10.0, 80.0}) {
        LatLon p{47.5, 9.0};
        double heading = 0.3;
        const LatLon target = gf_advance(p, heading + bearingDeg * kDegToRad, 80.0);
        for (int i = 0; i < 4000; ++i) {
            const RelativePosition r = gf_relativePosition(p, heading, target);
            if (r.distanceM < 0.05)
                break;
            const double step = std::min(0.05, r.distanceM);
            const double turn = gf_arcHeadingStep(r.bearingRad, r.distanceM, step);
            EXPECT_LE(std::fabs(turn), 2.0 * step / 0.5 + 1e-12);
            heading = gf_foldHeading(heading + turn);
            p = gf_advance(p, heading, step);
        }
        EXPECT_LT(gf_relativePosition(p, 0.0, target).distanceM, 0.6) << bearingDeg;
    }
}

TEST(MotionGeometry, RatesAndRamps)
{
    // A Heavy at 250 kt with 20 degrees of bank turns slower than its 5 deg/s.
    const double standard = 0.05 * kDegToRad;
    const double air = gf_airTurnRate(standard, 20.0 * kDegToRad, 250.0);
    EXPECT_LT(air, standard);
    EXPECT_NEAR(gf_bankForTurn(250.0, air), 20.0 * kDegToRad, 1e-9);
    EXPECT_EQ(gf_airTurnRate(standard, 20.0 * kDegToRad, 0.0), standard);
    // Ramps: never past the target, never more than the rate per pass.
    EXPECT_NEAR(gf_rampSpeed(10.0, 20.0, 2.0, 3.0), 10.02, 1e-12);
    EXPECT_NEAR(gf_rampSpeed(10.0, 0.0, 2.0, 3.0), 9.97, 1e-12);
    EXPECT_EQ(gf_rampSpeed(10.0, 10.01, 2.0, 3.0), 10.01);
    EXPECT_EQ(gf_rampSpeed(10.0, NAN, 2.0, 3.0), 10.0);
    // Braking from the braking speed stops within the distance.
    double v = gf_brakingSpeed(10.0, 1.0);
    double travelled = 0.0;
    for (int i = 0; i < 100000 && v > 1e-6; ++i) {
        travelled += v * kMetersPerKnotSecond * kPassSeconds;
        v = gf_rampSpeed(v, gf_brakingSpeed(10.0 - travelled, 1.0), 1.0, 1.0);
    }
    EXPECT_LE(travelled, 10.05);
    EXPECT_NEAR(gf_taxiSpeedLimit(5.0), 36.0, 1e-9);
    EXPECT_NEAR(gf_taxiSpeedLimit(-45.0), 18.0, 1e-9);
    EXPECT_NEAR(gf_descentAngleDeg(-700.0, 140.0), 2.83, 0.01);
    EXPECT_EQ(gf_foldHeading(-0.5 * kFullCircle), 0.5 * kFullCircle);
    EXPECT_EQ(gf_foldHeading(kFullCircle), 0.0);
}

} // namespace
} // namespace zelk
