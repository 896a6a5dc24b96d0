#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "ground/GroundGeometry.h"
#include "ground/Motion.h"
#include "ground/MotionGeometry.h"
#include "simlink/SimQueues.h"
#include "support/LoggedTempDir.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CategoryTables.h"
#include "traffic/EngineTick.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

// What the motion does once a stream runs out, pass by pass with the engine
// tick injected: the hold copies it appends and when it lets the aircraft go.
class MotionHold : public test::LoggedTempDirTest {
protected:
    static constexpr std::int32_t kStart = 50000;

    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_resetTrafficState();
        gf_clearSimQueues(false);
        gf_setEngineTick(kStart);
        ac_.head.callsign = "HLD1";
        ac_.hexId = 0x3C0001;
        ac_.objectId = 42;
        ac_.simState = SimState::active;
        ac_.category = AcCategory::Large;
        ac_.turnRate = gf_categoryTurnRate(ac_.category);
        ac_.pose = {47.5, 9.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    }

    void lastSample(double speedKt, bool airborne)
    {
        PosSample s;
        s.latitude = ac_.pose.latitude;
        s.longitude = ac_.pose.longitude;
        s.altitude = ac_.pose.altitude;
        s.groundSpeed = speedKt;
        s.airborne = airborne ? 1 : 0;
        s.dueTick = kStart;
        ac_.stream.push_back(s);
    }

    // Runs passes until the aircraft is let go or the tick limit is reached;
    // notes the due tick of every copy appended.
    void runUntil(std::int32_t lastTick, std::int32_t firstTick = kStart)
    {
        for (std::int32_t now = firstTick; now <= lastTick && ac_.simState == SimState::active; ++now) {
            gf_setEngineTick(now);
            const std::size_t before = ac_.stream.size();
            const std::int32_t newestDue = before ? ac_.stream.back().dueTick : 0;
            gf_groundMotionPass(ac_);
            if (!ac_.stream.empty() && ac_.stream.back().dueTick != newestDue)
                copies_.push_back(ac_.stream.back().dueTick);
            goneAt_ = now;
        }
    }

    LiveAc ac_;
    std::vector<std::int32_t> copies_;
    std::int32_t goneAt_ = 0;
};

TEST_F(MotionHold, TaxiingStreamHoldsUntilTheHoldingMinutesThenEnds)
{
    const std::int32_t minutes = gf_settings()->MAX_HOLDING_MINUTES;
    ac_.onGround = 1;
    ac_.applyPhaseChange(FlightPhase::taxi, kStart);
    lastSample(0.0, false);
    runUntil(kStart + minutes * 6000 + 1000);

    ASSERT_EQ(copies_.size(), static_cast<std::size_t>(minutes * 20));
    for (std::size_t i = 0; i < copies_.size(); ++i)
        EXPECT_EQ(copies_[i], kStart + 300 * static_cast<std::int32_t>(i + 1));
    EXPECT_EQ(ac_.holding, 1);
    EXPECT_EQ(ac_.simState, SimState::removingfromsim);
    EXPECT_EQ(goneAt_, kStart + minutes * 6000);
    EXPECT_EQ(ac_.streamCounter, -1);
}

TEST_F(MotionHold, ParkedStreamGetsOneCopyAWeekOn)
{
    ac_.onGround = 1;
    ac_.applyPhaseChange(FlightPhase::parked, kStart);
    lastSample(0.0, false);
    runUntil(kStart + 30000);

    ASSERT_EQ(copies_.size(), 1U);
    EXPECT_EQ(copies_[0], kStart + 60'480'000);
    EXPECT_EQ(ac_.simState, SimState::active);
    EXPECT_GE(ac_.streamCounter, 1);
}

TEST_F(MotionHold, AirborneStreamFliesOnThenGoes)
{
    ac_.onGround = 0;
    ac_.pose.altitude = 3000.0;
    ac_.pose.heading = kPi / 2.0;
    ac_.groundOps.motionSpeedKt = 200.0;
    ac_.groundOps.motionVerticalSpeed = -600.0;
    ac_.heightAboveGround = 3000.0;
    ac_.applyPhaseChange(FlightPhase::flying, kStart);
    lastSample(200.0, true);
    const LatLon start{ac_.pose.latitude, ac_.pose.longitude};
    runUntil(kStart + 4000);

    EXPECT_EQ(goneAt_, kStart + 2700);
    EXPECT_EQ(ac_.simState, SimState::removingfromsim);
    ASSERT_EQ(copies_.size(), 9U);
    // Dead reckoning at 200 kt for the 27 s: about 2,780 m east.
    const RelativePosition flown = gf_relativePosition(start, kPi / 2.0, {ac_.pose.latitude, ac_.pose.longitude});
    EXPECT_NEAR(flown.alongM, 200.0 * kMetersPerKnotSecond * 27.0, 30.0);
    EXPECT_NEAR(flown.lateralM, 0.0, 1.0);
    // The descent eased off to level within the first 10 s.
    EXPECT_DOUBLE_EQ(ac_.groundOps.motionVerticalSpeed, 0.0);
    EXPECT_NEAR(ac_.pose.altitude, 3000.0 - 600.0 * 10.0 / 60.0 / 2.0, 2.0);
    const std::string text = log();
    EXPECT_NE(text.find("NO_FUTURE:HLD1:0"), std::string::npos) << text;
    std::size_t noFuture = 0;
    for (std::size_t at = text.find("NO_FUTURE:"); at != std::string::npos; at = text.find("NO_FUTURE:", at + 1))
        ++noFuture;
    EXPECT_EQ(noFuture, 1U) << text;
}

// 32 due samples are taken in one call; a 33rd trips the guard.
TEST_F(MotionHold, MoreThanThirtyTwoDueSamplesTripTheGuard)
{
    ac_.onGround = 1;
    ac_.applyPhaseChange(FlightPhase::taxi, kStart);
    for (int due : {32, 33}) {
        ac_.stream.clear();
        for (int i = 0; i < due; ++i)
            lastSample(5.0, false);
        lastSample(5.0, false);
        ac_.stream.back().dueTick = kStart + 500;
        nextPosMain(ac_);
        if (due == 32) {
            EXPECT_EQ(ac_.simState, SimState::active);
            EXPECT_EQ(ac_.stream.size(), 1U);
        }
    }
    EXPECT_EQ(ac_.simState, SimState::removingfromsim);
    EXPECT_NE(log().find("nextPosMain: guard exceeded 33, sz:2, fs:taxi, st:"), std::string::npos) << log();
}

// A sample with a non-finite value leaves the pose alone while it is next,
// is dropped when due, and the aircraft goes on to the sample after it.
TEST_F(MotionHold, NonFiniteSampleLeavesThePoseAlone)
{
    ac_.onGround = 1;
    ac_.applyPhaseChange(FlightPhase::taxi, kStart);
    ac_.groundOps.motionSpeedKt = 10.0;
    ac_.groundOps.lastSampleSpeedKt = 10.0;
    lastSample(10.0, false);
    ac_.stream.back().latitude = std::numeric_limits<double>::quiet_NaN();
    ac_.stream.back().dueTick = kStart + 100;
    lastSample(10.0, false);
    ac_.stream.back().latitude += 100.0 / 111120.0;
    ac_.stream.back().dueTick = kStart + 2000;
    const AcPose start = ac_.pose;
    runUntil(kStart + 99);
    EXPECT_EQ(ac_.pose.latitude, start.latitude);
    EXPECT_EQ(ac_.pose.longitude, start.longitude);
    runUntil(kStart + 1000, kStart + 100);
    EXPECT_EQ(ac_.stream.size(), 1U);
    EXPECT_GT(ac_.pose.latitude, start.latitude);
    EXPECT_TRUE(std::isfinite(ac_.pose.latitude) && std::isfinite(ac_.groundOps.motionSpeedKt));
    EXPECT_EQ(log().find("exception"), std::string::npos) << log();
}

// A taxi track that doubles back at a corner (here 135 degrees, as onto a
// taxiway behind): with every sample behind it the aircraft turns round and
// follows the track instead of standing at the corner for the rest of the run.
TEST_F(MotionHold, TaxiingAircraftTurnsRoundWhereItsTrackDoublesBack)
{
    ac_.onGround = 1;
    ac_.applyPhaseChange(FlightPhase::taxi, kStart);
    ac_.pose.heading = 1.5 * kPi; // westbound, arriving at the corner
    ac_.groundOps.motionSpeedKt = 10.0;
    const LatLon corner{ac_.pose.latitude, ac_.pose.longitude};
    const double southEast = 0.75 * kPi;
    for (int k = 1; k <= 60; ++k) {
        const LatLon p = gf_advance(corner, southEast, 7.7 * k); // 15 kt
        PosSample s;
        s.latitude = p.latitude;
        s.longitude = p.longitude;
        s.groundSpeed = 15.0;
        s.dueTick = kStart + 100 * k;
        ac_.stream.push_back(s);
    }
    runUntil(kStart + 5000);
    const RelativePosition moved = gf_relativePosition(corner, 0.0, {ac_.pose.latitude, ac_.pose.longitude});
    EXPECT_GT(moved.distanceM, 200.0) << "it left the corner";
    EXPECT_NEAR(gf_normalizeAngle(moved.bearingRad - southEast), 0.0, 0.35) << "along the new track";
    EXPECT_NEAR(gf_normalizeAngle(ac_.pose.heading - southEast), 0.0, 0.35) << "heading along it";
    EXPECT_EQ(ac_.simState, SimState::active);
}

} // namespace
} // namespace zelk
