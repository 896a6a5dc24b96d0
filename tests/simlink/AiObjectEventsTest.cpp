#include <gtest/gtest.h>

#include "TrafficSimTestSupport.h"
#include "traffic/AiObjectEvents.h"
#include "traffic/CategoryTables.h"

namespace zelk {
namespace {

using AiObjectEvents = test::TrafficSimTest;

StaticAc lf_object(AcCategory category = AcCategory::Large)
{
    StaticAc ac;
    ac.objectId = 77;
    ac.category = category;
    return ac;
}

TEST_F(AiObjectEvents, ThrottleSendsOnlyChangesAndStepFiveSilently)
{
    auto ac = lf_object();
    gf_setThrottle(ac, 2);
    gf_setThrottle(ac, 2);
    gf_setThrottle(ac, 5);
    gf_setThrottle(ac, 2);
    EXPECT_EQ(takeEvents(), (std::vector<AiClientEvent>{{77, THROTTLE_SET, 8191}, {77, THROTTLE_SET, 8191}}));
    EXPECT_EQ(ac.throttleIndex, 2u);
}

TEST_F(AiObjectEvents, FlapsStepFourRetractsAndAnInvalidStepIsStored)
{
    auto ac = lf_object();
    gf_setFlaps(ac, 1);
    gf_setFlaps(ac, 4);
    gf_setFlaps(ac, 7);
    gf_setFlaps(ac, 7);
    EXPECT_EQ(takeEvents(), (std::vector<AiClientEvent>{{77, FLAPS_SET, 3072}, {77, FLAPS_SET, 0}}));
    EXPECT_EQ(ac.flapsIndex, 7u);
    const std::string log = logText();
    const auto first = log.find("gf_setFlaps: invalid flaps index");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("gf_setFlaps: invalid flaps index", first + 1), std::string::npos);
}

TEST_F(AiObjectEvents, FirstFlapsSettingIsAlwaysSent)
{
    auto ac = lf_object();
    ASSERT_EQ(ac.flapsIndex, 4u);
    gf_setFlaps(ac, 0);
    EXPECT_EQ(takeEvents(), (std::vector<AiClientEvent>{{77, FLAPS_SET, 0}}));
}

TEST_F(AiObjectEvents, RotorcraftGetsThrottleButNoFlapsSpoilersOrGear)
{
    auto ac = lf_object(AcCategory::Rotorcraft);
    gf_setThrottle(ac, 4);
    gf_setFlaps(ac, 1);
    gf_setSpoilers(ac, true);
    gf_setGear(ac, true);
    EXPECT_EQ(takeEvents(), (std::vector<AiClientEvent>{{77, THROTTLE_SET, 16383}}));
}

TEST_F(AiObjectEvents, SpoilersAndGearAreSentEveryTime)
{
    auto ac = lf_object();
    gf_setSpoilers(ac, true);
    gf_setSpoilers(ac, true);
    gf_setSpoilers(ac, false);
    gf_setGear(ac, true);
    gf_setGear(ac, false);
    EXPECT_EQ(takeEvents(), (std::vector<AiClientEvent>{{77, SPOILERS_SET, 16383},
                                                        {77, SPOILERS_SET, 16383},
                                                        {77, SPOILERS_SET, 0},
                                                        {77, GEAR_SET, 1},
                                                        {77, GEAR_SET, 0}}));
}

TEST_F(AiObjectEvents, SimulatorGroundOffsetAndPitchWithinTheirLimits)
{
    auto ac = lf_object(AcCategory::Heavy);
    SimObjectResult r = result(SimResultKind::StaticCgPitch, 77, 0);
    r.payload = {6.5, 0.02};
    lf_applyStaticCgAndPitch(ac, r);
    EXPECT_EQ(ac.groundOffset, 6.5);
    EXPECT_EQ(ac.groundOffsetFromSim, 1);
    EXPECT_EQ(ac.groundOffsetKnown, 1);
    EXPECT_EQ(ac.parkedPitch, 0.02);

    for (const double offset : {0.0, 35.5, -1.5, std::nan("")}) {
        r.payload = {offset, 0.05}; // pitch above 2.5 degrees
        lf_applyStaticCgAndPitch(ac, r);
        EXPECT_EQ(ac.groundOffset, gf_categoryCgHeightFt(AcCategory::Heavy)) << offset;
        EXPECT_EQ(ac.groundOffsetFromSim, 0);
        EXPECT_EQ(ac.parkedPitch, kDefaultParkedPitchRad);
    }
    r.payload = {-1.0, -0.017453292519943295}; // -1 ft is taken, -1 degree is not
    lf_applyStaticCgAndPitch(ac, r);
    EXPECT_EQ(ac.groundOffset, -1.0);
    EXPECT_EQ(ac.parkedPitch, kDefaultParkedPitchRad);
    r.payload = {35.0, 0.04363323129985824};
    lf_applyStaticCgAndPitch(ac, r);
    EXPECT_EQ(ac.groundOffset, 35.0);
    EXPECT_EQ(ac.parkedPitch, 0.04363323129985824);
}

TEST_F(AiObjectEvents, ParkedObjectSetUpStopsEnginesAndSetsItsLights)
{
    gf_updateSettings([](SettingsSnapshot& s) {
        s.RANDOM = false;
        s.NAV_LIGHTS_WHILE_PARKED = false;
    });
    auto ac = lf_object();
    lf_setupStaticObject(ac);
    EXPECT_EQ(takeEvents(), (std::vector<AiClientEvent>{{77, THROTTLE_SET, 0},
                                                        {77, FLAPS_SET, 0},
                                                        {77, ENGINE_AUTO_SHUTDOWN, 0},
                                                        {77, NAV_LIGHTS_SET, 0},
                                                        {77, BEACON_LIGHTS_SET, 0},
                                                        {77, LANDING_LIGHTS_SET, 0},
                                                        {77, TAXI_LIGHTS_SET, 0},
                                                        {77, STROBES_SET, 0},
                                                        {77, LOGO_LIGHTS_SET, 1},
                                                        {77, CABIN_LIGHTS_SET, 1}}));

    gf_updateSettings([](SettingsSnapshot& s) { s.NAV_LIGHTS_WHILE_PARKED = true; });
    auto flagged = lf_object();
    flagged.standFlag = 1;
    lf_setupStaticObject(flagged);
    const auto events = takeEvents();
    ASSERT_EQ(events.size(), 10u);
    EXPECT_EQ(events[3], (AiClientEvent{77, NAV_LIGHTS_SET, 1}));
    EXPECT_EQ(events[9], (AiClientEvent{77, CABIN_LIGHTS_SET, 0}));
    gf_updateSettings([](SettingsSnapshot& s) { s = SettingsSnapshot{}; });
}

TEST_F(AiObjectEvents, RandomCabinLightsAreMostlyOn)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.RANDOM = true; });
    int lit = 0;
    for (int i = 0; i < 1000; ++i) {
        auto ac = lf_object();
        lf_setupStaticObject(ac);
        lit += static_cast<int>(takeEvents().back().value);
    }
    EXPECT_GT(lit, 800);
    EXPECT_LT(lit, 980);
    gf_updateSettings([](SettingsSnapshot& s) { s = SettingsSnapshot{}; });
}

} // namespace
} // namespace zelk
