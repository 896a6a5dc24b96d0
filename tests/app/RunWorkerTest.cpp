#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "app/AppTestSupport.h"
#include "core/ControlHost.h"
#include "core/Parameters.h"
#include "core/Settings.h"

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

TEST_F(AppRunTest, ProductionWithoutAnInstallPathFailsWithoutADialog)
{
    writeParameters("RT Direct", "");
    const std::uint64_t dialogs = gf_dialogsOpened();
    EXPECT_EQ(runProgram(true), 1);
    EXPECT_EQ(gf_dialogsOpened(), dialogs);
    const std::string text = log();
    EXPECT_TRUE(contains(text, "Exiting: INSTALL PATH MISSING"));
    EXPECT_FALSE(contains(text, "Command line job:"));
}

TEST_F(AppRunTest, OutsideTheProgramFolderShowsError41AndFails)
{
    std::filesystem::remove_all(file("docs"));
    EXPECT_EQ(runProgram(true), 1);
    EXPECT_EQ(gf_gui().panel().error, "41: ZELK must be run from the ZELK folder!");
    const std::string text = log();
    EXPECT_TRUE(contains(text, "Error 41: ZELK must be run from the ZELK folder!"));
    EXPECT_TRUE(contains(text, "Exiting: SYSTEM ERROR"));
    EXPECT_EQ(calls_->updates, 0);
}

TEST_F(AppRunTest, SystemErrorWaitsBeforeTheProgramEnds)
{
    std::filesystem::remove_all(file("docs"));
    const auto start = clock_->now();
    EXPECT_EQ(runProgram(false), 1);
    EXPECT_GE(clock_->now() - start, std::chrono::seconds(kSystemErrorWaitSeconds));
    EXPECT_LT(clock_->now() - start, std::chrono::seconds(kSystemErrorWaitSeconds + 1));
}

TEST_F(AppRunTest, MissingCredentialInRtDirectIsError899)
{
    std::filesystem::remove(file("RealTraffic.lic"));
    EXPECT_EQ(runProgram(true), 1);
    EXPECT_EQ(gf_gui().panel().error.rfind("899: No valid RT license / API-token found.", 0), 0u);
}

TEST_F(AppRunTest, RtAppNeedsNoCredential)
{
    std::filesystem::remove(file("RealTraffic.lic"));
    writeParameters("RT App", file("sim"));
    EXPECT_EQ(runProgram(true), 0);
    EXPECT_EQ(calls_->credential, 0);
}

TEST_F(AppRunTest, CommunityInstallPathIsStoredAsItsParent)
{
    writeParameters("RT Direct", file("sim/Community"));
    EXPECT_EQ(runProgram(true), 0);
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), file("sim"));
    EXPECT_TRUE(contains(test::readAll(gf_parametersFile()), "value=\"" + file("sim").string() + "\""));
}

// Until a traffic step's component is built in, the run names it and fails.
TEST_F(AppRunTest, MissingTrafficStepEndsTheRunAndFails)
{
    EXPECT_EQ(runProgram(false), 1);
    const std::string text = log();
    EXPECT_TRUE(contains(text, "The livery scan is not built into this program yet: closing down"));
    EXPECT_TRUE(contains(text, "Exiting: NOT YET SET"));
    EXPECT_TRUE(contains(text, "Shutdown cleanup completed; posting MSG_EXIT"));
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
    EXPECT_TRUE(contains(first, "Prepare for a restart ..."));
    EXPECT_TRUE(contains(first, "Restarting after 60 seconds"));
    EXPECT_TRUE(contains(first, "Restart phase: state reinitialization completed"));
    EXPECT_TRUE(contains(first, "Restart cleanup completed; posting MSG_START"));
    const std::string second = log();
    EXPECT_TRUE(contains(second, "Exiting: SIM WAS CLOSED"));
    EXPECT_TRUE(contains(second, "Shutdown cleanup completed; posting MSG_EXIT"));
    EXPECT_EQ(BLOCK_AIRCRAFT.value(), ""); // the end of the program empties it
}

TEST_F(AppRunTest, ClosingDuringTheRestartCountdownEndsTheProgram)
{
    std::atomic<int> runs{0};
    gf_installRunStep(RunStep::LiveryScan, [&] {
        ++runs;
        gf_requestStop(StopReason::ReaderError, 15);
        gf_requestStop(StopReason::UserClosedSim, 0); // the window is closed as well
        return false;
    });
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_FALSE(gf_isRestartRun());
    EXPECT_TRUE(contains(log(), "Shutdown cleanup completed; posting MSG_EXIT"));
}

TEST_F(AppRunTest, DeliveryStoppedByAStallIsClearedWhenTheNextRunStarts)
{
    std::atomic<int> resets{0};
    CloseDownHooks hooks;
    hooks.resetTrafficMailbox = [&] { ++resets; };
    gf_setCloseDownHooks(hooks);
    std::atomic<int> runs{0};
    gf_installRunStep(RunStep::LiveryScan, [&] {
        gf_requestStop(++runs == 1 ? StopReason::NewSettings : StopReason::SimWasClosed, 0);
        return false;
    });
    EXPECT_EQ(runProgram(false), 0);
    EXPECT_EQ(runs.load(), 2);
    EXPECT_GE(resets.load(), 2); // at the start of each run
}

TEST_F(AppRunTest, MissingInstallPathAsksForTheCommunityFolder)
{
    writeParameters("RT Direct", "");
    gf_setFolderPickerAnswer(file("sim/Community"));
    const std::uint64_t dialogs = gf_dialogsOpened();
    EXPECT_EQ(runProgram(false), 1); // then the missing livery scan ends it
    EXPECT_GT(gf_dialogsOpened(), dialogs);
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), file("sim/Community"));
    EXPECT_TRUE(contains(log(), "The livery scan is not built into this program yet"));
}

TEST_F(AppRunTest, CancelledFolderPickerEndsWithInstallPathMissing)
{
    writeParameters("RT Direct", "");
    EXPECT_EQ(runProgram(false), 1);
    EXPECT_TRUE(contains(log(), "Exiting: INSTALL PATH MISSING"));
}

TEST(RunWorker, ProductMessageTakesTheNameTwice)
{
    EXPECT_EQ(lf_formatProductMessage("{} must be run from the {} folder!"), "ZELK must be run from the ZELK folder!");
}

TEST(CloseDown, ExitCodeTellsFailuresFromOrdinaryEnds)
{
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::SystemError), false, false), 1);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::SystemError), true, false), 1);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::InstallPathMissing), false, false), 1);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::TrafficMailboxStalled), false, false), 1);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::NotYetSet), false, true), 1);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::NotYetSet), true, true), 0);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::UserClosedSim), true, false), 0);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::SimWasClosed), false, false), 0);
    EXPECT_EQ(gf_exitCodeForEnd(static_cast<int>(StopReason::NewVersion), false, false), 0);
}

} // namespace
} // namespace zelk
