#include "traffic/AltitudeCorrection.h"

#include <cmath>

#include <gtest/gtest.h>

#include "traffic/UserPosition.h"

namespace zelk {
namespace {

double corrected(double altitude, std::int32_t qnh, bool webApi, double offset = 0.0,
                 std::optional<double> airport = std::nullopt, double groundSpeed = 250.0)
{
    PosSample s;
    s.altitude = altitude;
    s.groundSpeed = groundSpeed;
    EXPECT_TRUE(gf_correctAltitude(s, airport, qnh, AltitudeReference{webApi, offset}));
    return s.altitude;
}

TEST(AltitudeCorrection, LowLevelsTakeTheQnhOfTheSource)
{
    EXPECT_DOUBLE_EQ(corrected(5000.0, 1013, true), 4992.5);
    EXPECT_DOUBLE_EQ(corrected(5000.0, 1013, false), 5000.0);
    EXPECT_DOUBLE_EQ(corrected(16999.0, 1023, true), 16999.0 + 292.5);
}

TEST(AltitudeCorrection, BlendsFrom17000To19000Feet)
{
    // At 18000 ft both references weigh 3/4 and 1/4: s = 0.5, s^2 = 0.25.
    const double d = (1023 - 1013.25) * 30.0;
    EXPECT_NEAR(corrected(18000.0, 1023, true), (18000.0 + d) * 0.75 + 18000.0 * 0.25, 1e-9);
    EXPECT_NEAR(corrected(18000.0, 1023, false, 100.0), 18000.0 * 0.75 + (18000.0 - d + 100.0) * 0.25, 1e-9);
    EXPECT_NEAR(corrected(17000.0, 1023, false, 100.0), 17000.0, 1e-9);
    // At 18500 ft: t = 0.75, s = 0.84375.
    const double s = 0.84375;
    EXPECT_NEAR(corrected(18500.0, 1023, true), (18500.0 + d) * (1 - s * s) + 18500.0 * s * s, 1e-9);
    EXPECT_NEAR(corrected(19000.0, 1023, true, 40.0), 19040.0, 1e-9);
    EXPECT_DOUBLE_EQ(corrected(20000.0, 1023, false, 0.0), 19707.5);
    // The blend is continuous: no jump across the band.
    double previous = corrected(16990.0, 1030, true, 250.0);
    for (double alt = 17000.0; alt <= 19010.0; alt += 10.0) {
        const double now = corrected(alt, 1030, true, 250.0);
        EXPECT_LT(std::fabs(now - previous), 20.0) << alt;
        previous = now;
    }
}

TEST(AltitudeCorrection, UnknownOrImplausibleQnhIsStandardPressure)
{
    EXPECT_DOUBLE_EQ(corrected(5000.0, 0, true), 5000.0);
    EXPECT_DOUBLE_EQ(corrected(20000.0, 0, false), 20000.0);
    EXPECT_DOUBLE_EQ(corrected(5000.0, 849, true), 5000.0);
    EXPECT_DOUBLE_EQ(corrected(5000.0, 1101, true), 5000.0);
    EXPECT_DOUBLE_EQ(corrected(5000.0, 850, true), 5000.0 + (850 - 1013.25) * 30.0);
    EXPECT_DOUBLE_EQ(corrected(5000.0, 1100, true), 5000.0 + (1100 - 1013.25) * 30.0);
}

TEST(AltitudeCorrection, NonPositiveAndNegativeResultsAreGround)
{
    EXPECT_EQ(corrected(0.0, 1013, true), 0.0);
    EXPECT_EQ(corrected(-50.0, 1013, true), 0.0);
    EXPECT_EQ(corrected(std::nan(""), 1013, true), 0.0);
    EXPECT_EQ(corrected(100.0, 900, true), 0.0) << "a QNH of 900 lowers 100 ft below zero";
}

TEST(AltitudeCorrection, GroundTestNearTheUserAirport)
{
    EXPECT_EQ(corrected(180.0, 1013, false, 0.0, 100.0, 40.0), 0.0) << "margin 90 at 40 kt";
    EXPECT_EQ(corrected(180.0, 1013, false, 0.0, 100.0, 130.0), 180.0) << "no margin above 120 kt";
    EXPECT_EQ(corrected(95.0, 1013, false, 0.0, 100.0, 300.0), 0.0) << "below the airport";
    // 80 kt: margin (120 - 80) / 77 x 45 + 45 = 68.38 ft.
    EXPECT_EQ(corrected(168.0, 1013, false, 0.0, 100.0, 80.0), 0.0);
    EXPECT_EQ(corrected(169.0, 1013, false, 0.0, 100.0, 80.0), 169.0);
    EXPECT_EQ(corrected(180.0, 1013, false, 0.0, std::nullopt, 40.0), 180.0) << "no airport, no ground test";
    EXPECT_EQ(corrected(13999.0, 1013, false, 0.0, 13950.0, 40.0), 0.0);
    EXPECT_EQ(corrected(14000.0, 1013, false, 0.0, 13950.0, 40.0), 14000.0) << "tested only below 14000 ft";
}

TEST(AltitudeCorrection, PublishedUserPositionGivesTheAltimeterOffset)
{
    UserAcPosition user;
    user.altitude = 20150.0;
    user.indicatedAltitude = 20000.0;
    gf_setUserAircraftPosition(user);
    const AltitudeReference ref = gf_altitudeReference(false);
    EXPECT_EQ(ref.userAltimeterOffsetFt, 150.0);
    EXPECT_FALSE(ref.webApi);
    gf_setUserAircraftPosition(UserAcPosition{});
    EXPECT_EQ(gf_altitudeReference(true).userAltimeterOffsetFt, 0.0);
}

} // namespace
} // namespace zelk
