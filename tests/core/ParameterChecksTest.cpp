#include "core/ParameterChecks.h"

#include <random>

#include <gtest/gtest.h>

#include "core/ParametersFile.h"
#include "core/Version.h"
#include "ParameterTestSupport.h"

namespace zelk {
namespace {

using test::readAll;
using test::writeAll;

using Arr = std::array<double, 8>;

TEST(ParameterChecks, RadiusOrderRaisesRadiiAndSortsLevels)
{
    const struct {
        Arr in;
        bool changed;
        Arr out;
    } cases[] = {
        {{10, 20, 40, 50, 60, 100, 200, 300}, false, {10, 20, 40, 50, 60, 100, 200, 300}},
        {{10, 5, 40, 30, 60, 300, 100, 200}, true, {10, 10, 40, 40, 60, 100, 200, 300}},
        {{10, 20, 40, 50, 60, 200, 200, 300}, true, {10, 20, 40, 50, 60, 200, 201, 300}},
        {{-4, -1, 40, 50, 60, 100, 200, 300}, true, {0, 0, 40, 50, 60, 100, 200, 300}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.in));
        const auto r = gf_enforceRadiusOrder(c.in, 1.0);
        EXPECT_EQ(r.changed, c.changed);
        EXPECT_EQ(r.values, c.out);
    }
}

TEST(ParameterChecks, RadiusOrderWithinRangesIsStable)
{
    const Arr mins = {2, 2, 2, 1, 2, 2, 2, 2};
    const Arr maxs = {100, 100, 100, 100, 100, 480, 480, 480};
    // Unbounded the levels would become 480/481/482 and be clamped back every run.
    const auto r = gf_enforceRadiusOrderWithin({10, 20, 40, 50, 60, 480, 480, 480}, mins, maxs, 1.0);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(r.values, (Arr{10, 20, 40, 50, 60, 478, 479, 480}));
    const auto again = gf_enforceRadiusOrderWithin(r.values, mins, maxs, 1.0);
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(again.values, r.values);
}

// Whatever the user stored, one check brings it into order within the ranges
// and a second run finds nothing to change, so no run saves the file again.
TEST(ParameterChecks, RadiusOrderWithinRangesSettlesInOneRun)
{
    const Arr mins = {2, 2, 2, 2, 2, 2, 2, 2};
    const Arr maxs = {100, 100, 100, 100, 100, 480, 480, 480};
    std::mt19937 engine(20261206);
    std::uniform_int_distribution<int> radius(-5, 110);
    std::uniform_int_distribution<int> level(-5, 490);
    for (int round = 0; round < 5000; ++round) {
        Arr in{};
        for (int i = 0; i < 5; ++i) in[static_cast<std::size_t>(i)] = radius(engine);
        for (int i = 5; i < 8; ++i) in[static_cast<std::size_t>(i)] = level(engine);
        const auto first = gf_enforceRadiusOrderWithin(in, mins, maxs, 1.0);
        const Arr& v = first.values;
        SCOPED_TRACE(::testing::PrintToString(in));
        for (std::size_t i = 0; i < 8; ++i) {
            ASSERT_GE(v[i], mins[i]);
            ASSERT_LE(v[i], maxs[i]);
        }
        for (std::size_t i = 1; i < 5; ++i) ASSERT_LE(v[i - 1], v[i]);
        ASSERT_LT(v[5], v[6]);
        ASSERT_LT(v[6], v[7]);
        const auto second = gf_enforceRadiusOrderWithin(v, mins, maxs, 1.0);
        ASSERT_FALSE(second.changed);
        ASSERT_EQ(second.values, v);
    }
}

TEST(ParameterChecks, FitWindowConversions)
{
    EXPECT_EQ(gf_hoursToMaxFit(0.25f), 0);
    EXPECT_EQ(gf_hoursToMaxFit(1.75f), 3);
    EXPECT_EQ(gf_hoursToMaxFit(30.0f), 47);
    EXPECT_EQ(gf_hoursToMaxFit(24.0f), 47);
    EXPECT_FLOAT_EQ(gf_maxFitToHours(-3), 0.5f);
    EXPECT_FLOAT_EQ(gf_maxFitToHours(99), 24.0f);
    for (int n = 0; n <= 47; ++n) EXPECT_EQ(gf_hoursToMaxFit(gf_maxFitToHours(n)), n);
}

TEST(ParameterChecks, HoldingThresholdSnap)
{
    const std::pair<int, int> cases[] = {{275, 250}, {276, 300}, {5, 10}, {1000, 900}, {450, 450}, {30, 10}, {31, 50}};
    for (const auto& [stored, snapped] : cases) EXPECT_EQ(gf_snapHoldingThreshold(stored), snapped) << stored;
}

using ParameterCheckRun = test::ParametersTest;

TEST_F(ParameterCheckRun, FreshFileSkipsTheChecks)
{
    gf_loadAndCheckParameters();
    const std::string log = logText();
    EXPECT_EQ(log.find("Radius parameters"), std::string::npos);
    EXPECT_EQ(PROGRAM_VERSION.value(), programVersion.toString());
}

TEST_F(ParameterCheckRun, RadiusCheckCorrectsOnceAndThenStays)
{
    gf_writeNewParametersFile();
    RANGE_1.setAndSave(5); // below RANGE_GROUND (10)
    FLIGHT_LEVEL_1.setAndSave(480);
    FLIGHT_LEVEL_2.setAndSave(480);
    FLIGHT_LEVEL_3.setAndSave(480);
    gf_loadAndCheckParameters();
    EXPECT_EQ(RANGE_1.value(), 10);
    EXPECT_EQ(FLIGHT_LEVEL_1.value(), 478);
    EXPECT_EQ(FLIGHT_LEVEL_2.value(), 479);
    EXPECT_EQ(FLIGHT_LEVEL_3.value(), 480);
    EXPECT_NE(logText().find("==> Radius parameters changed to fulfill the requirements (see Manual): \n"),
              std::string::npos);

    const std::string file = readAll(paramsFile());
    gf_logFile().close();
    gf_openLogFile();
    gf_loadAndCheckParameters();
    EXPECT_NE(logText().find("Radius parameters okay"), std::string::npos);
    EXPECT_EQ(readAll(paramsFile()), file);
}

// A file of an older or newer program with a removed key and an unsnapped threshold.
std::string storedByVersion(const std::string& version)
{
    return "<root><parameters><parameter name=\"PROGRAM_VERSION\" value=\"" + version +
           "\"/><parameter name=\"COLLISION_LIVE_PARKED_GND\" value=\"true\"/>"
           "<parameter name=\"HOLDING_THRESHOLD_METERS\" value=\"276\"/></parameters></root>";
}

TEST_F(ParameterCheckRun, UpgradeFromOlderVersion)
{
    writeAll(paramsFile(), storedByVersion("0.1.0"));
    std::filesystem::create_directories("new_version/sub");
    writeAll("new_version/sub/setup.exe", "x");
    gf_loadAndCheckParameters();
    EXPECT_EQ(PROGRAM_VERSION.value(), programVersion.toString());
    EXPECT_EQ(HOLDING_THRESHOLD_METERS.value(), 300);
    EXPECT_FALSE(std::filesystem::exists("new_version"));
    const std::string file = readAll(paramsFile());
    EXPECT_EQ(file.find("COLLISION_LIVE_PARKED_GND"), std::string::npos);
    EXPECT_NE(file.find("name=\"HOLDING_THRESHOLD_METERS\" value=\"300\""), std::string::npos);
    EXPECT_NE(logText().find("This is a version update from 0.1.0 -> " + programVersion.toString()),
              std::string::npos);
}

// A newer program's file, or one without a version, only gets the version.
TEST_F(ParameterCheckRun, DowngradeOnlyStoresTheVersion)
{
    for (const char* stored : {"999.0.0", ""}) {
        SCOPED_TRACE(stored);
        writeAll(paramsFile(), storedByVersion(stored));
        gf_loadAndCheckParameters();
        EXPECT_EQ(PROGRAM_VERSION.value(), programVersion.toString());
        EXPECT_EQ(HOLDING_THRESHOLD_METERS.value(), 276);
        EXPECT_NE(readAll(paramsFile()).find("COLLISION_LIVE_PARKED_GND"), std::string::npos);
    }
}

TEST_F(ParameterCheckRun, ProgramModeFromChoices)
{
    SIM_CHOICE.setValue("MSFS 2020");
    RT_CHOISE.setValue("RT App");
    gf_publishProgramMode();
    EXPECT_TRUE(gf_isMsfs2020());
    EXPECT_FALSE(gf_isRTDirect());

    // A value in another encoding reaches the log byte for byte.
    SIM_CHOICE.setValue("msfs\xA0" "2020");
    RT_CHOISE.setValue("RT app");
    gf_publishProgramMode();
    EXPECT_FALSE(gf_isMsfs2020());
    EXPECT_TRUE(gf_isRTDirect());
    EXPECT_EQ(SIM_CHOICE.value(), "MSFS 2024");
    EXPECT_EQ(RT_CHOISE.value(), "RT Direct");
    const std::string log = logText();
    EXPECT_NE(log.find("==> Invalid simulator choice \"msfs\\xA02020\", using \"MSFS 2024\""), std::string::npos);
    EXPECT_NE(log.find("==> Invalid traffic source \"RT app\", using \"RT Direct\""), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(paramsFile()));
}

TEST_F(ParameterCheckRun, SyncMaxFitHoursSelectsTheOption)
{
    const auto combo = host_->createControl();
    MAX_FIT_FL.setHwnd(combo);
    MAX_FIT_FL.fillCombo();
    MAX_FIT.setValue(3);
    gf_syncMaxFitHours();
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value(), 2.0f);
    EXPECT_EQ(host_->comboSelectedText(combo), "2.0"); // whole hours keep their decimal
    MAX_FIT.setValue(0);
    gf_syncMaxFitHours();
    EXPECT_EQ(host_->comboSelectedText(combo), "0.5");
}

} // namespace
} // namespace zelk
