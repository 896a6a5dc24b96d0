#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/FeedWiring.h"
#include "app/WindowWiring.h"
#include "core/ControlHost.h"
#include "core/Parameters.h"
#include "core/FeedState.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "feed/RTAppReaderState.h"
#include "gui/TimeShift.h"
#include "gui/WindowHooks.h"

namespace zelk {
namespace {

using test::AppRunTest;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(AppRunTest, ProductionJobReadsTheDataFilesAndEndsWithZero)
{
    const std::uint64_t dialogs = gf_dialogsOpened();
    EXPECT_EQ(runProgram(true), 0);
    const std::string text = log();
    EXPECT_TRUE(contains(text, "ZELK version ")) << text;
    EXPECT_TRUE(contains(text, "parameters"));
    EXPECT_TRUE(contains(text, "Command line job:\nproduction\n"));
    EXPECT_TRUE(contains(text, "Exiting: NOT YET SET"));
    EXPECT_TRUE(contains(text, "Shutdown cleanup completed; posting MSG_EXIT"));
    EXPECT_EQ(calls_->credential, 1);
    EXPECT_EQ(calls_->updates, 1);
    EXPECT_EQ(calls_->dbase, 1);
    EXPECT_EQ(calls_->airports, 1);
    EXPECT_EQ(gf_dialogsOpened(), dialogs);
    // The data folders of the run exist.
    EXPECT_TRUE(std::filesystem::is_directory(file("output/info")));
    EXPECT_TRUE(std::filesystem::is_directory(file("airports/learned/thirdparty")));
    EXPECT_TRUE(std::filesystem::is_directory(file("input/my_regcodes")));
}

// Runs that fail: exit code 1, the reason in the log, and never a dialog in a
// production run.
TEST_F(AppRunTest, FailedRunsExitWithOneAndTheirReason)
{
    struct Case {
        const char* what;
        std::function<void()> setUp;
        bool production;
        const char* logLine;
        const char* shownError;
    };
    const std::vector<Case> cases{
        {"no install path", [this] { writeParameters("RT Direct", ""); }, true, "Exiting: INSTALL PATH MISSING", ""},
        {"cancelled folder picker", [this] { writeParameters("RT Direct", ""); }, false,
         "Exiting: INSTALL PATH MISSING", ""},
        {"outside the program folder", [this] { std::filesystem::remove_all(file("docs")); }, true,
         "Error 41: ZELK must be run from the ZELK folder!", "41: ZELK must be run from the ZELK folder!"},
        {"no credential in RT Direct", [this] { std::filesystem::remove(file("RealTraffic.lic")); }, true,
         "Exiting: SYSTEM ERROR", "899: No valid RT license / API-token found."},
        // Until a traffic step's component is built in, the run names it and fails.
        {"missing traffic step", [] {}, false, "The livery scan is not built into this program yet: closing down", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.setUp();
        const std::uint64_t dialogs = gf_dialogsOpened();
        EXPECT_EQ(runProgram(c.production), 1);
        const std::string text = log();
        EXPECT_TRUE(contains(text, c.logLine)) << text;
        EXPECT_TRUE(contains(text, "Shutdown cleanup completed; posting MSG_EXIT"));
        EXPECT_FALSE(contains(text, "Command line job:"));
        EXPECT_EQ(gf_gui().panel().error.rfind(c.shownError, 0), 0u) << gf_gui().panel().error;
        if (c.production) {
            EXPECT_EQ(gf_dialogsOpened(), dialogs);
        }
        if (c.shownError[0] == '4') {
            EXPECT_EQ(calls_->updates, 0) << "no update check after a system error";
        }
    }
}

TEST_F(AppRunTest, SystemErrorWaitsBeforeTheProgramEnds)
{
    std::filesystem::remove_all(file("docs"));
    const auto start = clock_->now();
    EXPECT_EQ(runProgram(false), 1);
    EXPECT_GE(clock_->now() - start, std::chrono::seconds(kSystemErrorWaitSeconds));
    EXPECT_LT(clock_->now() - start, std::chrono::seconds(kSystemErrorWaitSeconds + 1));
}

TEST_F(AppRunTest, RtAppNeedsNoCredentialAndACommunityPathIsStoredAsItsParent)
{
    std::filesystem::remove(file("RealTraffic.lic"));
    writeParameters("RT App", file("sim/Community"));
    EXPECT_EQ(runProgram(true), 0);
    EXPECT_EQ(calls_->credential, 0);
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), file("sim"));
    EXPECT_TRUE(contains(test::readAll(gf_parametersFile()), "value=\"" + file("sim").string() + "\""));
}

// The hours list is not stored: each run shows the stored slot count in it,
// not the list's own default of 24 hours.
TEST_F(AppRunTest, MaxFitHoursShowTheStoredSlotCount)
{
    std::string xml = test::parametersXml("RT App", file("sim"));
    xml.replace(xml.find("  </parameters>"), 0, "    <parameter name=\"MAX_FIT\" value=\"5\" />\n");
    test::writeAll(gf_parametersFile(), xml);
    EXPECT_EQ(runProgram(true), 0);
    EXPECT_EQ(MAX_FIT.value(), 5);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value(), 3.0f);
    EXPECT_EQ(gf_controlHost()->comboSelection(MAX_FIT_FL.hwnd()), std::optional<std::size_t>(5));
}

TEST_F(AppRunTest, StepsRunInOrderUntilOneStops)
{
    std::vector<std::string> order;
    for (RunStep step : {RunStep::LiveryScan, RunStep::FlightPlanFolder, RunStep::ParkAirports, RunStep::TrafficReset,
                         RunStep::SimulatorLink, RunStep::FeedMode, RunStep::MainLoop}) {
        gf_installRunStep(step, [&order, step] {
            order.emplace_back(gf_runStepName(step));
            if (step == RunStep::MainLoop) gf_requestStop(StopReason::SimWasClosed, 0);
            return true;
        });
    }
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(order, (std::vector<std::string>{"The livery scan", "The AI flight-plan folder", "The park airports file",
                                               "The traffic engine", "The simulator link", "The RealTraffic feed",
                                               "The main loop"}));
    EXPECT_TRUE(contains(log(), "Exiting: SIM WAS CLOSED"));
    EXPECT_TRUE(gf_controlHost()->isEnabled(RT_CHOISE.hwnd()));
}

// A stored destination that names no airport is said and the run goes on;
// the log shows it quoted as a setting is, every byte that is no UTF-8, a
// control, a reordering or invisible character or the quote as "\xNN".
TEST_F(AppRunTest, AStoredDestinationThatIsNoAirportIsSaidQuoted)
{
    lf_installWindow();
    std::vector<std::string> order;
    for (RunStep step :
         {RunStep::LiveryScan, RunStep::FlightPlanFolder, RunStep::ParkAirports, RunStep::TrafficReset}) {
        gf_installRunStep(step, [&order, step] {
            order.emplace_back(gf_runStepName(step));
            if (step == RunStep::LiveryScan) DESTINATION.setValue("E'\xc2\x9b" "D\xe2\x80\xae\xe2\x80\xa8\xff");
            if (step != RunStep::TrafficReset) return true;
            gf_requestStop(StopReason::SimWasClosed, 0);
            return false;
        });
    }
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(order.back(), "The traffic engine");
    EXPECT_TRUE(contains(log(), "destination 'E\\x27\\xC2\\x9BD\\xE2\\x80\\xAE\\xE2\\x80\\xA8\\xFF' "
                                "is not supported ...\n"))
        << log();
    gf_updateWindowHooks([](WindowHooks& h) { h = WindowHooks{}; });
    DESTINATION.setValue("");
}

// NEW FLIGHT restarts after its 60 seconds (on the manual clock); the second
// run reads the parameters and the credential again but checks for no update
// and reads no aircraft database.
TEST_F(AppRunTest, RestartAfterItsDelaySkipsTheUpdateCheck)
{
    std::atomic<int> runs{0};
    BLOCK_AIRCRAFT.setValue("");
    gf_installRunStep(RunStep::LiveryScan, [&] {
        if (++runs == 1) {
            EXPECT_FALSE(gf_isRestartRun());
            BLOCK_AIRCRAFT.setAndSave("DLH123");
            gf_requestStop(StopReason::NewFlight, 60);
        } else {
            EXPECT_TRUE(gf_isRestartRun());
            EXPECT_TRUE(gf_isRunning()); // the stop slot was emptied by the restart
            EXPECT_EQ(BLOCK_AIRCRAFT.value(), "DLH123"); // a restart keeps the blocking
            gf_requestStop(StopReason::SimWasClosed, 0);
        }
        return false;
    });
    const auto start = clock_->now();
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(runs.load(), 2);
    EXPECT_EQ(window_->runsStarted(), 2u);
    EXPECT_GE(clock_->now() - start, std::chrono::seconds(60));
    EXPECT_EQ(calls_->updates, 1);
    EXPECT_EQ(calls_->dbase, 1);
    EXPECT_EQ(calls_->credential, 2);

    const std::string first = log("Log0.txt");
    EXPECT_TRUE(contains(first, "Exiting: NEW FLIGHT"));
    EXPECT_TRUE(contains(first, "Restarting after 60 seconds"));
    EXPECT_TRUE(contains(first, "Restart cleanup completed; posting MSG_START"));
    const std::string second = log();
    EXPECT_TRUE(contains(second, "Exiting: SIM WAS CLOSED"));
    EXPECT_TRUE(contains(second, "Shutdown cleanup completed; posting MSG_EXIT"));
    EXPECT_EQ(BLOCK_AIRCRAFT.value(), ""); // the end of the program empties it
}

// However the program ends, the block lists and the time shift do not survive
// into the next start.
TEST_F(AppRunTest, ClosingBeforeOrDuringTheRestartCountdownEndsTheProgramWithTheExitResets)
{
    for (const bool duringCountdown : {false, true}) {
        SCOPED_TRACE(duringCountdown ? "during the countdown" : "with the stop request");
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        // The readers are reset just before the countdown starts.
        gf_updateCloseDownHooks([duringCountdown](CloseDownHooks& h) {
            h.resetReaders = nullptr;
            if (duringCountdown) h.resetReaders = [] { gf_requestStop(StopReason::UserClosedSim, 0); };
        });
        std::atomic<int> runs{0};
        gf_installRunStep(RunStep::LiveryScan, [&] {
            ++runs;
            BLOCK_AIRCRAFT.setAndSave("DLH123");
            TIME_SHIFT_HOURS.setAndSave(3);
            gf_requestStop(StopReason::ReaderError, 15);
            if (!duringCountdown) gf_requestStop(StopReason::UserClosedSim, 0);
            return false;
        });
        EXPECT_EQ(runProgram(false), 0);
        EXPECT_EQ(runs.load(), 1);
        EXPECT_FALSE(gf_isRestartRun());
        EXPECT_TRUE(contains(log(), "Shutdown cleanup completed; posting MSG_EXIT"));
        EXPECT_EQ(BLOCK_AIRCRAFT.value(), "");
        EXPECT_EQ(TIME_SHIFT_HOURS.value(), 0);
    }
}

// An RT Direct run shifted by more than a day, then the switch to RT App: the
// restarted run judges the app's records by the present, not by the shift of
// the run before ("timestamp out of bounds" for every one).
TEST_F(AppRunTest, ARestartIntoRtAppLeavesTheTimeShiftOfTheRunBefore)
{
    lf_installFeed();
    lf_installWindow();
    std::atomic<int> runs{0};
    std::atomic<std::int32_t> appShiftInSecondRun{-1};
    std::atomic<bool> shiftActiveInSecondRun{true};
    gf_installRunStep(RunStep::LiveryScan, [&] {
        if (++runs == 1) {
            gf_applyTimeShift(2 * 1440 + 30, true, false);
            EXPECT_EQ(gf_rtAppReaderState().timeShiftMinutes.load(), 2 * 1440 + 30);
            EXPECT_TRUE(timeShiftActive.load());
            RT_CHOISE.setAndSave("RT App");
            gf_requestStop(StopReason::NewSettings, 0);
        } else {
            appShiftInSecondRun = gf_rtAppReaderState().timeShiftMinutes.load();
            shiftActiveInSecondRun = timeShiftActive.load();
            gf_requestStop(StopReason::SimWasClosed, 0);
        }
        return false;
    });
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(runs.load(), 2);
    EXPECT_EQ(appShiftInSecondRun.load(), 0);
    EXPECT_FALSE(shiftActiveInSecondRun.load());
    gf_updateWindowHooks([](WindowHooks& h) { h = WindowHooks{}; });
    for (IntListParameter* shift : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) shift->setValue(0);
}

TEST_F(AppRunTest, StalledDeliveryAndSuppressedStaticFitAreClearedWhenTheNextRunStarts)
{
    std::atomic<int> resets{0};
    gf_updateCloseDownHooks([&](CloseDownHooks& h) { h.resetTrafficMailbox = [&] { ++resets; }; });
    std::atomic<int> runs{0};
    std::atomic<int> suppressedAtStart{0};
    gf_gui().setStaticFitReportingSuppressed(true);
    gf_installRunStep(RunStep::LiveryScan, [&] {
        if (gf_gui().staticFitReportingSuppressed()) ++suppressedAtStart;
        gf_gui().setStaticFitReportingSuppressed(true); // a parking search of this run
        gf_requestStop(++runs == 1 ? StopReason::NewSettings : StopReason::SimWasClosed, 0);
        return false;
    });
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(runs.load(), 2);
    EXPECT_GE(resets.load(), 2); // at the start of each run
    EXPECT_EQ(suppressedAtStart.load(), 0);
    gf_gui().setStaticFitReportingSuppressed(false);
}

// The close-down wakes every thread before it waits for the first, logs each
// wait itself, and writes the run reports in the order they were added.
TEST_F(AppRunTest, CloseDownStopsTheRunsThreadsInOrderAndWritesEveryReport)
{
    std::vector<std::string> calls;
    const auto thread = [&calls](const std::string& name) {
        RunThreadHooks t;
        t.requestStop = [&calls, name] { calls.push_back("stop " + name); };
        t.joinable = [] { return true; };
        t.join = [&calls, name] { calls.push_back("join " + name); };
        return t;
    };
    gf_updateCloseDownHooks([&](CloseDownHooks& h) {
        h.simulatorLink = thread("link");
        h.weatherReader = thread("weather");
        h.trafficReader = thread("traffic");
        h.trafficReader.joinable = [] { return false; }; // never started
        h.closeRtAppServer = [&calls] { calls.push_back("close server"); };
    });
    gf_updateCloseDownHooks([&](CloseDownHooks& h) { h.runReports.emplace_back([&] { calls.push_back("report 1"); }); });
    gf_updateCloseDownHooks([&](CloseDownHooks& h) { h.runReports.emplace_back([&] { calls.push_back("report 2"); }); });
    gf_installRunStep(RunStep::LiveryScan, [] { return gf_requestStop(StopReason::SimWasClosed, 0), false; });
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"stop link", "join link", "stop weather", "stop traffic", "join weather",
                                               "close server", "report 1", "report 2"}));
    const std::string text = log();
    std::size_t at = 0;
    for (const char* line : {"Shutdown cleanup: waiting for SimClient", "Shutdown cleanup: SimClient stopped",
                             "Shutdown cleanup: stopping readers", "Shutdown cleanup: waiting for weather reader",
                             "Shutdown cleanup: weather reader stopped", "Shutdown cleanup: closing RT App server",
                             "Shutdown cleanup: RT App server closed"}) {
        at = text.find(line, at);
        ASSERT_NE(at, std::string::npos) << line;
    }
    EXPECT_FALSE(contains(text, "waiting for traffic reader"));
}

TEST_F(AppRunTest, MissingInstallPathAsksForTheCommunityFolder)
{
    writeParameters("RT Direct", "");
    gf_setFolderPickerAnswer(file("sim/Community"));
    const std::uint64_t dialogs = gf_dialogsOpened();
    EXPECT_EQ(runProgram(false), 1); // then the missing livery scan ends it
    EXPECT_GT(gf_dialogsOpened(), dialogs);
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), file("sim")) << "the install path holds Community";
    EXPECT_TRUE(contains(log(), "The livery scan is not built into this program yet"));
}

// With no install path set, the folder the simulator's UserCfg.opt names is
// taken without a question, when it holds Community and Official2024;
// otherwise the picker asks.
TEST_F(AppRunTest, AnEmptyInstallPathIsTakenFromUserCfgBeforeThePicker)
{
    for (const bool complete : {true, false}) {
        SCOPED_TRACE(complete);
        TearDown();
        SetUp();
        writeParameters("RT Direct", "");
        const std::filesystem::path packages = file("MSFS Packages");
        std::filesystem::create_directories(packages / "Community");
        if (complete) std::filesystem::create_directories(packages / "Official2024");
        test::writeAll(file("local/Packages/Microsoft.Limitless_8wekyb3d8bbwe/LocalCache/UserCfg.opt"),
                 "Graphics {\r\n}\r\nInstalledPackagesPath \"" + packages.string() + "\"\r\n");
        gf_setFolderPickerAnswer(file("sim/Community"));
        const std::uint64_t dialogs = gf_dialogsOpened();
        EXPECT_EQ(runProgram(false), 1); // then the missing livery scan ends it
        EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), complete ? packages : file("sim"));
        EXPECT_EQ(contains(log(), "MSFS install path found: " + packages.string() + "\n"), complete) << log();
        EXPECT_EQ(gf_dialogsOpened() == dialogs, complete) << "the picker only when nothing was found";
        EXPECT_EQ(contains(test::readAll(gf_parametersFile()), "value=\"" + packages.string() + "\""), complete);
    }
}

// A damaged parameters.xml gives way to a backup that loads: the user's
// settings survive the start, and the backup stays as it was.
TEST_F(AppRunTest, ADamagedParametersFileTakesItsBackupAndKeepsIt)
{
    const std::string good = test::parametersXml("RT Direct", file("sim"));
    const std::string damaged[] = {"", good.substr(0, good.size() / 2), "<root><other/></root>"};
    std::filesystem::path bak = gf_parametersFile();
    bak += ".bak";
    for (const std::string& text : damaged) {
        test::writeAll(gf_parametersFile(), text);
        test::writeAll(bak, good);
        MSFS_2024_INSTALL_PATH.setValue("");
        EXPECT_EQ(runProgram(true), 0) << text;
        EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), file("sim")) << text;
        EXPECT_TRUE(contains(test::readAll(bak), file("sim").string())) << "the backup still holds the settings";
        EXPECT_TRUE(contains(test::readAll(gf_parametersFile()), file("sim").string())) << text;
        EXPECT_EQ(test::readAll(gf_parametersFile().parent_path() / "parameters0.xml"), text);
        EXPECT_TRUE(contains(log(), "is damaged, taking its backup: from '")) << log();
    }
}

// A path typed into the file by an editor that saved the system's code page
// is no UTF-8: the value is unreadable like any other, the file is repaired.
TEST_F(AppRunTest, APathValueThatIsNotUtf8TakesTheDefaultAndIsRewritten)
{
    std::string text = test::parametersXml("RT Direct", file("sim"));
    const std::string latin1Path = "C:\\Spi\xe9le";
    text.replace(text.find(file("sim").string()), file("sim").string().size(), latin1Path);
    // A livery folder is a path too: on Windows it would stop every scan.
    text.insert(text.find("</parameters>"), "<parameter name=\"lfolder3\" value=\"D:\\Liv\xe9ries\"/>\n");
    test::writeAll(gf_parametersFile(), text);
    gf_setFolderPickerAnswer(file("sim/Community"));
    runProgram(false);
    for (const char* key : {"MSFS_2024_INSTALL_PATH", "lfolder3"})
        EXPECT_TRUE(contains(log(), std::string(key) + ": the stored path is not UTF-8 text, the default is taken"))
            << key << "\n" << log();
    const std::string rewritten = test::readAll(gf_parametersFile());
    EXPECT_FALSE(contains(rewritten, latin1Path));
    EXPECT_TRUE(gf_isValidUtf8(rewritten));
}

TEST(CloseDown, ExitCodeTellsFailuresFromOrdinaryEnds)
{
    struct Case {
        StopReason reason;
        bool closedByUser, stepFailed;
        int code;
    };
    const Case cases[] = {
        {StopReason::SystemError, false, false, 1},        {StopReason::SystemError, true, false, 1},
        {StopReason::InstallPathMissing, false, false, 1}, {StopReason::TrafficMailboxStalled, false, false, 1},
        {StopReason::NotYetSet, false, true, 1},           {StopReason::NotYetSet, true, true, 0},
        {StopReason::UserClosedSim, true, false, 0},       {StopReason::SimWasClosed, false, false, 0},
        {StopReason::NewVersion, false, false, 0},         {StopReason::DemoEnded, true, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(c.reason), c.closedByUser, c.stepFailed), c.code)
            << gf_stopReasonText(static_cast<int>(c.reason)) << " " << c.closedByUser << c.stepFailed;
}

} // namespace
} // namespace zelk
