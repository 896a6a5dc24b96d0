#include <array>
#include <functional>

#include <fmt/format.h>

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

// Throttle and flaps go out only when they change (the first flaps setting
// always; throttle step 5 and an invalid flaps step silently); spoilers and gear
// every time; a rotorcraft only gets its throttle.
TEST_F(AiObjectEvents, LeverEventsPerCategory)
{
    struct Case {
        const char* what;
        AcCategory category;
        std::function<void(StaticAc&)> actions;
        std::vector<AiClientEvent> events;
    };
    const std::vector<Case> cases{
        {"throttle", AcCategory::Large,
         [](StaticAc& a) { gf_setThrottle(a, 2), gf_setThrottle(a, 2), gf_setThrottle(a, 5), gf_setThrottle(a, 2); },
         {{77, THROTTLE_SET, 8191}, {77, THROTTLE_SET, 8191}}},
        {"flaps", AcCategory::Large,
         [](StaticAc& a) { gf_setFlaps(a, 1), gf_setFlaps(a, 4), gf_setFlaps(a, 7), gf_setFlaps(a, 7); },
         {{77, FLAPS_SET, 3072}, {77, FLAPS_SET, 0}}},
        {"first flaps", AcCategory::Large, [](StaticAc& a) { gf_setFlaps(a, 0); }, {{77, FLAPS_SET, 0}}},
        {"spoilers and gear", AcCategory::Large,
         [](StaticAc& a) {
             gf_setSpoilers(a, true), gf_setSpoilers(a, true), gf_setSpoilers(a, false);
             gf_setGear(a, true), gf_setGear(a, false);
         },
         {{77, SPOILERS_SET, 16383}, {77, SPOILERS_SET, 16383}, {77, SPOILERS_SET, 0}, {77, GEAR_SET, 1},
          {77, GEAR_SET, 0}}},
        {"rotorcraft", AcCategory::Rotorcraft,
         [](StaticAc& a) { gf_setThrottle(a, 4), gf_setFlaps(a, 1), gf_setSpoilers(a, true), gf_setGear(a, true); },
         {{77, THROTTLE_SET, 16383}}},
    };
    for (const Case& c : cases) {
        auto ac = lf_object(c.category);
        c.actions(ac);
        EXPECT_EQ(takeEvents(), c.events) << c.what;
    }
    const std::string text = log();
    const auto first = text.find("gf_setFlaps: invalid flaps index");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("gf_setFlaps: invalid flaps index", first + 1), std::string::npos) << "logged once";
}

TEST_F(AiObjectEvents, SimulatorGroundOffsetAndPitchWithinTheirLimits)
{
    auto ac = lf_object(AcCategory::Heavy);
    SimObjectResult r = result(SimResultKind::StaticCgPitch, 77, 0);
    r.payload = {6.5, 0.02};
    lf_applyStaticCgAndPitch(ac, r);
    EXPECT_EQ(ac.groundOffsetFromSim, 1);
    EXPECT_EQ(ac.groundOffsetKnown, 1);

    const double fallback = gf_categoryCgHeightFt(AcCategory::Heavy);
    // Offsets from -1 to 35 ft and pitches from 0 to 2.5 degrees are taken.
    const std::vector<std::array<double, 4>> cases{
        {6.5, 0.02, 6.5, 0.02},
        {-1.0, -0.017453292519943295, -1.0, kDefaultParkedPitchRad},
        {35.0, 0.04363323129985824, 35.0, 0.04363323129985824},
        {0.0, 0.05, fallback, kDefaultParkedPitchRad},
        {35.5, 0.05, fallback, kDefaultParkedPitchRad},
        {-1.5, 0.05, fallback, kDefaultParkedPitchRad},
        {std::nan(""), 0.05, fallback, kDefaultParkedPitchRad},
    };
    for (const auto& [offset, pitch, wantOffset, wantPitch] : cases) {
        SCOPED_TRACE(fmt::format("{} ft, {} rad", offset, pitch));
        r.payload = {offset, pitch};
        lf_applyStaticCgAndPitch(ac, r);
        EXPECT_EQ(ac.groundOffset, wantOffset);
        EXPECT_EQ(ac.parkedPitch, wantPitch);
    }
    EXPECT_EQ(ac.groundOffsetFromSim, 0);
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
}

} // namespace
} // namespace zelk
