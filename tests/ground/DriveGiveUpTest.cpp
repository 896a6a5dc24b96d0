#include <string>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "ground/GroundGeometry.h"
#include "ground/Motion.h"
#include "ground/MotionGeometry.h"
#include "support/LoggedTempDir.h"
#include "support/TestAirport.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

class DriveGiveUp : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_resetTrafficState();
        gf_stands() = test::testAirportStands();
        gf_updateSettings([](SettingsSnapshot& s) { s.MAX_HOLDING_MINUTES = 1; });
    }
    void TearDown() override
    {
        gf_updateSettings([](SettingsSnapshot& s) { s = SettingsSnapshot{}; });
        gf_resetTrafficState();
        LoggedTempDirTest::TearDown();
    }
};

// An aircraft that cannot turn onto the stand heading never reaches the entry
// point: it gives the stand up with its line before the hold of phase parking
// ends, and taxis on without it.
TEST_F(DriveGiveUp, ADriveThatCannotEndGivesTheStandUpWithinTheHold)
{
    const ParkPos& stand = gf_stands()[7]; // G8, facing north
    LiveAc ac;
    ac.head.callsign = "KLM1";
    ac.simState = SimState::active;
    ac.onGround = 1;
    ac.phase = FlightPhase::taxi;
    ac.turnRate = 0.0;
    ac.pose.heading = kPi / 2.0;
    const LatLon start = gf_advance({stand.latitude, stand.longitude}, kPi / 2.0, 10.0);
    ac.pose.latitude = start.latitude;
    ac.pose.longitude = start.longitude;
    ac.placeAtStand(stand);
    PosSample s;
    s.latitude = start.latitude;
    s.longitude = start.longitude;
    s.dueTick = gf_engineTick() + 6000;
    ac.stream.push_back(s);
    drive2Stand(ac, {stand.latitude, stand.longitude}, stand.heading, true);
    ASSERT_EQ(ac.phase, FlightPhase::parking);
    EXPECT_NE(log().find("drive2stand plans corrective move onto the stand axis"), std::string::npos);

    const std::int32_t startTick = gf_engineTick();
    while (ac.phase == FlightPhase::parking && gf_engineTick() - startTick < 6000) {
        gf_advanceEngineTick(1);
        ac.extrapolatePosition();
    }
    EXPECT_EQ(ac.phase, FlightPhase::taxi);
    EXPECT_EQ(ac.standId, 0);
    EXPECT_LT(gf_engineTick() - startTick, 6000) << "within the one-minute hold";
    EXPECT_NE(log().find("G8            : KLM1 gives up the drive to the stand"), std::string::npos) << log();
}

} // namespace
} // namespace zelk
