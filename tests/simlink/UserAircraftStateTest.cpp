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

TEST_F(UserAircraftState, NegativeAltitudeIsStoredAsZero)
{
    auto p = lf_at(50.0, 8.0);
    p.altitude = -12.0;
    gf_storeUserAcPosition(p);
    EXPECT_EQ(gf_getUserAcPosition().altitude, 0.0);
}

TEST_F(UserAircraftState, TeleportNeedsTwoNonZeroPositionsMoreThanTenMilesApart)
{
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(50.0, 8.0)));      // first position
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(50.16, 8.0)));     // 9.6 NM
    EXPECT_TRUE(gf_storeUserAcPosition(lf_at(50.34, 8.0)));      // 10.8 NM
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(0.0, 0.0)));       // a reset record
    EXPECT_FALSE(gf_storeUserAcPosition(lf_at(-33.9, 151.2)));   // first again after it
}

TEST_F(UserAircraftState, ZuluTimeConversion)
{
    EXPECT_EQ(gf_zuluToUnixSeconds(1970, 1, 0), 0);
    EXPECT_EQ(gf_zuluToUnixSeconds(2024, 60, 3600), 1709168400); // 29 Feb 2024 01:00
    EXPECT_EQ(gf_zuluToUnixSeconds(2024, 366, 86399), 1735689599);
    EXPECT_FALSE(gf_zuluToUnixSeconds(2023, 366, 0));
    EXPECT_FALSE(gf_zuluToUnixSeconds(2024, 0, 0));
    EXPECT_FALSE(gf_zuluToUnixSeconds(2024, 1, 86400));
    EXPECT_FALSE(gf_zuluToUnixSeconds(0, 1, 0));
}

TEST_F(UserAircraftState, SimulatorTimeOnlyWithProfessionalAccessAndInvalidDateLoggedOnce)
{
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
    const std::string log = logText();
    const std::string line = "Invalid simulator Zulu time: year=2024, day-of-year=400, seconds=60";
    const auto first = log.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(line, first + 1), std::string::npos);
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

TEST_F(UserAircraftState, HalfSpanComesFromTheDatabaseForEveryModelIndex)
{
    // Push the model codes of this test past index 2700.
    CodeTable& models = gf_modelCodeTable();
    for (int i = 0; models.size() <= 2700; ++i) models.intern(fmt::format("U{:04}", i));
    std::string xml = R"(<root>
<aircrafts><aircraft types="QZ88,QZ73"/></aircrafts>
<cargo_types><cargo_type types=""/></cargo_types>
<heavy><hvy types="QZ88"/></heavy><large><lar types="QZ73"/></large>
<buzjet><bzj types=""/></buzjet><twoprops><tpr types=""/></twoprops>
<high_performance><hpf types=""/></high_performance><rotorcraft><rot types=""/></rotorcraft>
<ICAO_airlines><ICAO codes="KLM"/></ICAO_airlines><cargo_operators><ICAO codes=""/></cargo_operators>
<fixes></fixes>
<wingspans><wingspan type="QZ88" meters="79.75"/><wingspan type="QZ73" meters="35.79"/></wingspans>
<dbase></dbase>
</root>)";
    ASSERT_TRUE(gf_readDbaseFromBuffer(xml.data(), xml.size(), "late-model-dbase"));
    ASSERT_GE(gf_getModelIndex("QZ88"), 2700);

    gf_storeUserModel("QZ88");
    EXPECT_DOUBLE_EQ(gf_userHalfWingspanNm(), 79.75 * 0.5 / 1852.0);
    gf_storeUserModel("QZ73");
    EXPECT_DOUBLE_EQ(gf_userHalfWingspanNm(), 35.79 * 0.5 / 1852.0);
    // A model the database does not list takes the largest half span it saw.
    gf_storeUserModel("QZ11");
    EXPECT_DOUBLE_EQ(gf_userHalfWingspanNm(), 79.75 * 0.5 / 1852.0);
    EXPECT_EQ(gf_userDataReplyMarks() & 2, 2);
}

TEST_F(UserAircraftState, ObjectIdTextFollowsTheSelectedSimulator)
{
    EXPECT_EQ(gf_formatObjectId(255), "ff");
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    EXPECT_EQ(gf_formatObjectId(255), "255");
}

} // namespace
} // namespace zelk
