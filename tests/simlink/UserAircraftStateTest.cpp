#include <cmath>
#include <string>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "SimLinkTestSupport.h"
#include "core/FeedState.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "simlink/SimQueues.h"

namespace zelk {
namespace {

using test::SimLinkTest;
using UserAircraftState = SimLinkTest;

UserAcPosition lf_at(double latitude, double longitude)
{
    UserAcPosition p;
    p.latitude = latitude;
    p.longitude = longitude;
    return p;
}

TEST_F(UserAircraftState, TeleportNeedsTwoNonZeroPositionsMoreThanTenMilesApart)
{
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(50.0, 8.0)));      // first position
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(50.16, 8.0)));     // 9.6 NM
    EXPECT_TRUE(gf_storeUserAcPosition(lf_at(50.34, 8.0)));      // 10.8 NM
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(0.0, 0.0)));       // a reset record
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(-33.9, 151.2)));   // first again after it

    auto below = lf_at(-33.9, 151.2);
    below.altitude = -12.0;
    gf_storeUserAcPosition(below);
    EXPECT_EQ(gf_getUserAcPosition().altitude, 0.0) << "a negative altitude is stored as zero";
}

TEST_F(UserAircraftState, SimulatorTimeOnlyWithProfessionalAccessAndInvalidDateLoggedOnce)
{
    EXPECT_EQ(gf_zuluToUnixSeconds(1970, 1, 0), 0);
    EXPECT_EQ(gf_zuluToUnixSeconds(2024, 60, 3600), 1709168400); // 29 Feb 2024 01:00
    EXPECT_EQ(gf_zuluToUnixSeconds(2024, 366, 86399), 1735689599);
    EXPECT_FALSE(gf_zuluToUnixSeconds(2023, 366, 0));
    EXPECT_FALSE(gf_zuluToUnixSeconds(2024, 0, 0));
    EXPECT_FALSE(gf_zuluToUnixSeconds(2024, 1, 86400));
    EXPECT_FALSE(gf_zuluToUnixSeconds(0, 1, 0));

    auto p = lf_at(50.0, 8.0);
    p.zuluYear = 2024;
    p.zuluDayOfYear = 1;
    p.zuluTime = 60;
    isProfessionalFeed = false;
    gf_storeUserAcPosition(p);
    EXPECT_FALSE(gf_simulatorTime());

    isProfessionalFeed = true;
    gf_storeUserAcPosition(p);
    EXPECT_EQ(gf_simulatorTime(), 1704067260);
    p.zuluDayOfYear = 400;
    gf_storeUserAcPosition(p);
    gf_storeUserAcPosition(p);
    isProfessionalFeed = false;
    EXPECT_FALSE(gf_simulatorTime());
    const std::string text = log();
    const std::string line = "Invalid simulator Zulu time: year=2024, day-of-year=400, seconds=60";
    const auto first = text.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find(line, first + 1), std::string::npos);
}

TEST_F(UserAircraftState, ParkAirportAltitudeNeedsACodeAndAValidPosition)
{
    EXPECT_FALSE(gf_getUserAirportAltitude());
    ParkAirportRecord r;
    r.airport.icao = IcaoCode("EDDF");
    r.airport.latitude = 50.03;
    r.airport.longitude = 8.57;
    r.airport.altitude = 364;
    r.userStand = "V106";
    gf_setParkAirport(r);
    EXPECT_EQ(gf_getUserAirportAltitude(), 364.0);
    EXPECT_EQ(gf_parkAirport().userStand, "V106");
    r.airport.latitude = 0.0;
    r.airport.longitude = 0.0;
    gf_setParkAirport(r);
    EXPECT_FALSE(gf_getUserAirportAltitude());
    gf_clearParkAirport();
    EXPECT_FALSE(gf_parkAirport().airport.icao.isSet());
}

TEST_F(UserAircraftState, ResetForgetsTheUserAircraftAndTheQueues)
{
    gf_storeUserAcPosition(lf_at(50.0, 8.0));
    gf_storeUserOnGround(true);
    gf_storeUserModel("B738");
    gf_queueAiRemove(12);
    gf_queueNavLights(12, 1);
    gf_resetSimClientState();
    EXPECT_EQ(gf_getUserAcPosition().latitude, 0.0);
    EXPECT_FALSE(gf_isUserOnGround());
    EXPECT_EQ(gf_userOnGroundState(), 255);
    EXPECT_TRUE(std::isnan(gf_userHalfWingspanNm()));
    EXPECT_EQ(gf_userDataReplyMarks(), 0);
    EXPECT_TRUE(gf_simQueuesCopy().empty());
    EXPECT_EQ(gf_simRunState(), kSimClosed);
}

} // namespace
} // namespace zelk
