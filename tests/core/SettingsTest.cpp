#include "core/Settings.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/Parameters.h"
#include "ParameterTestSupport.h"

namespace zelk {
namespace {

using Settings = test::ParameterStateTest;

TEST_F(Settings, BuildTakesTheParameters)
{
    TWO_PROPS.setValue(true);
    MAX_LIVE_SEL.setValue(75);
    TIME_SHIFT_HOURS.setValue(5);
    DESTINATION.setValue("EGLL");
    ALL_AIR_GND_SELECTOR.setValue("Ground only");
    RANGE.setValue(40);
    gf_buildSettingsSnapshot();
    auto s = gf_settings();
    EXPECT_TRUE(s->TWO_PROPS);
    EXPECT_EQ(s->MAX_LIVE_SEL, 75);
    EXPECT_EQ(s->TIME_SHIFT_HOURS, 5);
    EXPECT_EQ(s->DESTINATION, "EGLL");
    EXPECT_EQ(s->trafficSelection, 2);
    EXPECT_EQ(s->rangeMeters, 84080u); // RT Direct adds 10000
    EXPECT_EQ(s->manualRangeNm, 40);
    EXPECT_EQ(s->rangeNmSquared, 1600.0);

    gf_storeProgramMode({kSimulatorMsfs2024, kTrafficSourceRtApp});
    ALL_AIR_GND_SELECTOR.setValue("Everything");
    gf_buildSettingsSnapshot();
    s = gf_settings();
    EXPECT_EQ(s->rangeMeters, 74080u);
    EXPECT_EQ(s->trafficSelection, 0);
}

TEST_F(Settings, RangeMetersNeverWraps)
{
    EXPECT_EQ(gf_rangeMetersFor(0, true), 10000u);
    EXPECT_EQ(gf_rangeMetersFor(-5, false), 0u);
    EXPECT_EQ(gf_rangeMetersFor(1, true), 11852u);
    EXPECT_EQ(gf_rangeMetersFor(1e12, false), 4294967295u);
    gf_setRange(-3);
    EXPECT_EQ(gf_settings()->rangeMeters, 10000u);
}

TEST_F(Settings, SetRangeClampsTheParameterButNotTheRecord)
{
    const ControlHandle h = host_->createControl();
    RANGE.setHwnd(h);
    RANGE.fillCombo();
    gf_setRange(1);
    EXPECT_EQ(RANGE.value(), 2);
    EXPECT_EQ(gf_settings()->rangeNm, 1.0);
    EXPECT_EQ(host_->comboSelectedText(h), "2");
    gf_setRange(60);
    EXPECT_EQ(host_->comboSelectedText(h), "60");
    EXPECT_EQ(gf_settings()->manualRangeNm, 40);
}

TEST_F(Settings, UpdateCopiesOneParameter)
{
    gf_buildSettingsSnapshot();
    const auto before = gf_settings();
    HELICOPTERS.setValue(false);
    gf_updateSettingsSnapshot(&HELICOPTERS);
    EXPECT_FALSE(gf_settings()->HELICOPTERS);
    EXPECT_TRUE(before->HELICOPTERS); // a published record never changes

    MAX_FIT.setValue(3);
    gf_updateSettingsSnapshot(&MAX_FIT_FL);
    EXPECT_EQ(gf_settings()->MAX_FIT, 3);

    TIME_SHIFT_DAYS.setValue(2);
    TIME_SHIFT_MINS.setValue(30);
    gf_updateSettingsSnapshot(&TIME_SHIFT_HOURS);
    EXPECT_EQ(gf_settings()->TIME_SHIFT_DAYS, 2);
    EXPECT_EQ(gf_settings()->TIME_SHIFT_MINS, 30);

    ALL_AIR_GND_SELECTOR.setValue("Airborne only");
    gf_updateSettingsSnapshot(&ALL_AIR_GND_SELECTOR);
    EXPECT_EQ(gf_settings()->trafficSelection, 1);

    // Parameters without a field (and RANGE) leave the record as it is.
    const auto unchanged = gf_settings();
    RANGE.setValue(90);
    gf_updateSettingsSnapshot(&RANGE);
    gf_updateSettingsSnapshot(&PORT_NUMBER);
    gf_updateSettingsSnapshot(nullptr);
    EXPECT_EQ(gf_settings(), unchanged);
}

TEST_F(Settings, BlockedAircraftSurvivesARestartOnlyForTheSameAircraft)
{
    BLOCK_AIRCRAFT.setValue("DLH4U A320");
    BLOCK_CALLSIGN.setValue("DLH4U");
    BLOCK_REGCODE.setValue("null");
    BLOCK_HEXIDDEC.setValue(0x3C6444);
    gf_setBlockCallsignPrefix(false);
    gf_updateSettingsSnapshot(&BLOCK_CALLSIGN);
    EXPECT_EQ(gf_settings()->blocked.BLOCK_AIRCRAFT, "DLH4U A320");
    // The intake learns a new identity during the run.
    gf_setBlockedAircraftIdentity("DLH4V", 0x3C6445, "D-AIPA");
    gf_buildSettingsSnapshot();
    auto b = gf_settings()->blocked;
    EXPECT_EQ(b.BLOCK_CALLSIGN, "DLH4V");
    EXPECT_EQ(b.BLOCK_HEXIDDEC, 0x3C6445u);
    EXPECT_EQ(b.BLOCK_REGCODE, "D-AIPA");

    BLOCK_AIRCRAFT.setValue("BAW1_ B744");
    BLOCK_CALLSIGN.setValue("BAW1_");
    gf_setBlockCallsignPrefix(true);
    gf_buildSettingsSnapshot();
    b = gf_settings()->blocked;
    EXPECT_EQ(b.BLOCK_CALLSIGN, "BAW1_");
    EXPECT_EQ(b.BLOCK_REGCODE, "null");
    EXPECT_EQ(b.BLOCK_HEXIDDEC, 0x3C6444u);
    EXPECT_TRUE(b.blockCallsignPrefix);

    gf_setBlockedRegcode("G-BNLA");
    EXPECT_EQ(gf_settings()->blocked.BLOCK_REGCODE, "G-BNLA");
    gf_setBlockedHexIdAndRegcode(0x400AAA, "G-BNLB");
    EXPECT_EQ(gf_settings()->blocked.BLOCK_HEXIDDEC, 0x400AAAu);
    EXPECT_TRUE(gf_settings()->blocked.blockCallsignPrefix);
}

TEST_F(Settings, ConcurrentUpdatesAllSurvive)
{
    constexpr int kRounds = 500;
    // Each thread owns one field and counts in it; the blocked text counts
    // every update of every thread.
    constexpr std::int32_t SettingsSnapshot::*kFields[] = {
        &SettingsSnapshot::MATCHING_DEPTH, &SettingsSnapshot::TCAS_FL,     &SettingsSnapshot::AIRP_RANGE,
        &SettingsSnapshot::AIRP_HEIGHT,    &SettingsSnapshot::MAX_PARK_SEL, &SettingsSnapshot::MAX_LIVE_SEL,
        &SettingsSnapshot::TIME_SHIFT_DAYS, &SettingsSnapshot::TIME_SHIFT_MINS};
    gf_publishSettings(SettingsSnapshot{});
    std::vector<std::thread> threads;
    for (const auto field : kFields) {
        threads.emplace_back([field] {
            for (int i = 0; i < kRounds; ++i) {
                gf_updateSettings([field](SettingsSnapshot& s) {
                    ++(s.*field);
                    s.blocked.BLOCK_CALLSIGN.push_back('x');
                });
                EXPECT_EQ(gf_settings()->rangeNm, 40.0);
            }
        });
    }
    for (auto& th : threads) th.join();
    const SettingsSnapshot defaults;
    const auto s = gf_settings();
    for (const auto field : kFields) EXPECT_EQ((*s).*field, defaults.*field + kRounds);
    EXPECT_EQ(s->blocked.BLOCK_CALLSIGN.size(), std::size(kFields) * kRounds);
}

} // namespace
} // namespace zelk
