#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/ControlHost.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/StopRequest.h"
#include "gui/CloseSignals.h"
#include "gui/Gui.h"
#include "gui/HeadlessWindow.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

class HeadlessWindowTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_takeCloseSignal();
    }
    void TearDown() override
    {
        gf_logFile().close();
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        TempDirTest::TearDown();
    }
    std::string log() { return test::readAll(file("Log.txt")); }

    // A quiet window that writes its panel to the display-list file, with no
    // progress line due while a test runs.
    HeadlessWindow::Options displayListOptions()
    {
        HeadlessWindow::Options options;
        options.printMessages = false;
        options.handleCloseSignals = false;
        options.displayListFile = file("display-list.txt");
        options.progressTally = [] { return ProgressTally{}; };
        options.progressInterval = std::chrono::hours(1);
        return options;
    }

    static std::shared_ptr<HeadlessWindow> makeWindow(std::function<void()> worker = {}, bool closeSignals = false)
    {
        HeadlessWindow::Options options;
        options.printMessages = false;
        options.handleCloseSignals = closeSignals;
        options.runWorker = std::move(worker);
        auto window = std::make_shared<HeadlessWindow>(options);
        EXPECT_TRUE(window->create());
        return window;
    }
};

TEST_F(HeadlessWindowTest, StartRunsTheWorkerAndExitEndsTheLoopWithTheExitCode)
{
    HeadlessWindow::Options options;
    options.printMessages = false;
    options.handleCloseSignals = false;
    options.runWorker = [] {
        gf_gui().enqueueUpdate(gui_update::SetLiveCount{42});
        gf_guiShowMessage("worker says hello", true);
        gf_gui().postToWindow(MSG_EXIT);
    };
    options.exitCode = [] { return 7; };
    auto window = std::make_shared<HeadlessWindow>(options);
    ASSERT_TRUE(window->create());
    ASSERT_TRUE(gf_gui().postToWindow(MSG_START));
    EXPECT_EQ(window->runMessageLoop(), 7);
    EXPECT_EQ(window->runsStarted(), 1u);
    EXPECT_EQ(gf_gui().panel().liveCount, 42u); // applied before the loop ended
    EXPECT_NE(log().find("worker says hello\n"), std::string::npos);
    EXPECT_FALSE(gf_gui().windowExists());
    EXPECT_FALSE(window->postMessage(MSG_START)); // the loop has ended
}

// Asked for, the window writes the panel it painted last as text with each
// progress line; a new airport file is worth a line of its own.
TEST_F(HeadlessWindowTest, WritesThePaintedPanelToTheDisplayListFile)
{
    HeadlessWindow::Options options = displayListOptions();
    options.runWorker = [] {
        gf_gui().enqueueUpdate(gui_update::SetParkAirport{IcaoCode("LSZH")});
        gf_guiSetAirport(true, "Zurich");
        gf_gui().postToWindow(MSG_EXIT);
    };
    options.exitCode = [] { return 0; };
    auto window = std::make_shared<HeadlessWindow>(options);
    ASSERT_TRUE(window->create());
    ASSERT_TRUE(gf_gui().postToWindow(MSG_START));
    testing::internal::CaptureStdout();
    EXPECT_EQ(window->runMessageLoop(), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("; airport LSZH: 'Zurich', publisher"), std::string::npos);
    const std::string text = test::readAll(file("display-list.txt"));
    EXPECT_EQ(text, gf_displayListText(window->lastDisplayList()));
    EXPECT_NE(text.find(" #32D232 n 'airport: LSZH'"), std::string::npos) << text;
    EXPECT_NE(text.find("' Zurich   publisher: "), std::string::npos) << text;
    gf_gui().resetPanelState();
}

// The demo's timer ends the run from a thread of its own while the loop writes
// the display-list file with its progress lines: the window thread is the
// file's one writer, and the file keeps the panel as the demo closed it.
TEST_F(HeadlessWindowTest, TheDemoEndLeavesTheDisplayListFileToTheWindowThread)
{
    HeadlessWindow::Options options = displayListOptions();
    options.exitCode = [] { return 0; };
    auto window = std::make_shared<HeadlessWindow>(options);
    ASSERT_TRUE(window->create());
    gf_guiShowMessage("shown as the demo ends", false);
    std::thread([&window] { window->endDemo(); }).join();
    EXPECT_FALSE(std::filesystem::exists(file("display-list.txt"))) << "the timer's thread wrote the file";
    testing::internal::CaptureStdout();
    EXPECT_EQ(window->runMessageLoop(), 0);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(gf_currentStopRequest(), nullptr);
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::DemoEnded);
    const std::string text = test::readAll(file("display-list.txt"));
    EXPECT_NE(text.find("'shown as the demo ends'"), std::string::npos) << text;
    EXPECT_EQ(text.find("demo run over"), std::string::npos) << "the panel after the close: " << text;
}

// The tblo hint comes back on the message line whenever it is cleared; the
// printed lines say it once a run, while other messages print each time.
TEST_F(HeadlessWindowTest, PrintsTheTbloHintOnceARun)
{
    HeadlessWindow::Options options;
    options.printMessages = true;
    options.handleCloseSignals = false;
    options.runWorker = [] {
        gf_setTbloPending(true);
        gf_showTbloHint();
        for (int i = 0; i < 3; ++i) {
            gf_guiShowMessage("Waiting for the RealTraffic App to run ...", false);
            gf_guiClearMessage(); // the hint again
        }
        gf_guiShowError("an error line");
        gf_guiClearError();
        gf_showTbloHint();
        gf_gui().postToWindow(MSG_EXIT);
    };
    options.exitCode = [] { return 0; };
    auto window = std::make_shared<HeadlessWindow>(options);
    ASSERT_TRUE(window->create());
    testing::internal::CaptureStdout();
    ASSERT_TRUE(gf_gui().postToWindow(MSG_START));
    const int code = window->runMessageLoop();
    const std::string out = testing::internal::GetCapturedStdout();
    gf_setTbloPending(false);
    EXPECT_EQ(code, 0);
    auto count = [&out](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(gf_tbloHintText(), "Push the tblo button and mail 'tblo.zip' to support@quelvarin.net, please");
    EXPECT_EQ(count(std::string(gf_tbloHintText())), 1u) << out;
    EXPECT_EQ(count("Waiting for the RealTraffic App to run ..."), 3u) << out;
    EXPECT_EQ(count("Error an error line"), 1u) << out;
    EXPECT_EQ(gf_gui().panel().message, gf_tbloHintText()) << "the window itself still shows it";
}

TEST_F(HeadlessWindowTest, CreateMakesOneControlPerWindowBoundObjectWithFilledLists)
{
    auto window = makeWindow();
    for (const GuiControl* control : gf_guiControls()) EXPECT_TRUE(control->hasWindow()) << control->commandId;
    auto host = std::dynamic_pointer_cast<HeadlessControlHost>(gf_controlHost());
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->comboItems(SIM_CHOICE.hwnd()), SIM_CHOICE.options);
    EXPECT_EQ(host->comboItems(RANGE.hwnd()).size(), RANGE.options.size());
    gf_gui().detachWindow();
}

// SIGTERM and SIGINT end the program the way the close button does, and the
// log says why (there is no window to read it from).
TEST_F(HeadlessWindowTest, CloseSignalAsksTheRunToStopAndIsLogged)
{
    // The signal comes once the run is under way (its log open), not while the
    // loop may still be starting on a loaded machine.
    std::atomic<bool> runStarted{false};
    auto window = makeWindow(
        [&runStarted] {
            runStarted.store(true);
            while (gf_isRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            gf_gui().postToWindow(MSG_EXIT);
        },
        true);
    gf_gui().postToWindow(MSG_START);
    std::thread raiser([&runStarted] {
        for (int i = 0; i < 10000 && !runStarted.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        gf_raiseCloseSignal(SIGTERM);
    });
    EXPECT_EQ(window->runMessageLoop(), 0);
    raiser.join();
    EXPECT_TRUE(gf_isClosingByUser());
    ASSERT_NE(gf_currentStopRequest(), nullptr);
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::UserClosedSim);
    EXPECT_NE(log().find("SIGTERM received, closing ZELK ..."), std::string::npos);

    gf_takeCloseSignal();
    EXPECT_EQ(gf_closeSignalName(SIGINT), "SIGINT");
    gf_raiseCloseSignal(SIGINT);
    EXPECT_EQ(gf_takeCloseSignal(), SIGINT);
    EXPECT_EQ(gf_takeCloseSignal(), 0) << "taken once";
}

// The close button and the demo's timed end both end the program, each
// said as what it is.
TEST_F(HeadlessWindowTest, CloseButtonAsksTheRunToStop)
{
    struct Case {
        void (MainWindow::*end)();
        StopReason reason;
        const char* said;
    };
    for (const Case& c : {Case{&MainWindow::close, StopReason::UserClosedSim, "close window button clicked, closing ZELK ..."},
                          Case{&MainWindow::endDemo, StopReason::DemoEnded, "demo run over, closing ZELK ..."}}) {
        SCOPED_TRACE(c.said);
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        auto window = makeWindow();
        ((*window).*c.end)();
        EXPECT_FALSE(gf_isRunning());
        EXPECT_TRUE(gf_isClosingByUser());
        ASSERT_NE(gf_currentStopRequest(), nullptr);
        EXPECT_EQ(gf_currentStopRequest()->stopReason(), c.reason);
        EXPECT_NE(gf_gui().panel().message.find(c.said), std::string::npos) << gf_gui().panel().message;
        gf_gui().detachWindow();
    }
}

// The progress line says what the Win32 status band shows: the simulator's
// and the feed's state, and the live and parked aircraft created, active and
// removed as the simulator link counts them, as the demo's summary does.
TEST(HeadlessProgressLine, SaysWhatTheStatusBandShows)
{
    struct Case {
        const char* name;
        bool simulatorRunning;
        std::string simulatorText;
        bool feedNotStarted;
        std::uint32_t readerState;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"before the simulator", false, "", true, kReaderNotRunning, "simulator waiting, feed not started"},
        {"simulator text shown", false, "MSFS closed", true, kReaderNotRunning, "simulator MSFS closed, feed not started"},
        {"feed just started", true, "", false, kReaderNotRunning, "simulator running, feed started"},
        {"feed silent", true, "", false, kReaderTrouble, "simulator running, feed not receiving"},
        {"feed receiving", true, "", false, kReaderReceiving, "simulator running, feed receiving"},
        {"simulator named", true, "KittyHawk (12.1.282.0)", false, kReaderReceiving,
         "simulator KittyHawk (12.1.282.0) running, feed receiving"},
    };
    for (const Case& c : cases) {
        PanelState panel;
        panel.simulatorRunning = c.simulatorRunning;
        panel.simulatorText = c.simulatorText;
        panel.feedNotStarted = c.feedNotStarted;
        panel.trafficReaderState = c.readerState;
        // The panel's counts lag behind the link's: the active counts are the link's.
        panel.liveCount = 9;
        panel.parkLiveCount = 1;
        panel.staticCount = 7;
        const std::string line = gf_headlessProgressLine(panel, ProgressTally{4, 6, 1, 0, 3, 6});
        EXPECT_NE(line.find(std::string(c.expected) +
                            "; live aircraft: 4 created, 3 active, 1 removed; parked aircraft: 6 created, 6 active, 0 removed"),
                  std::string::npos)
            << c.name << ": " << line;
        EXPECT_EQ(line.find("; airport"), std::string::npos) << "no park airport: " << line;
    }
}

// With a park airport the line goes on with what the parking band shows: its
// file's description, publisher, stands and updates, and the parked counts.
TEST(HeadlessProgressLine, SaysWhatTheParkingBandShowsOfTheAirport)
{
    PanelState panel;
    panel.parkAirport = IcaoCode("LSZH");
    const auto tail = [&panel] {
        const std::string line = gf_headlessProgressLine(panel, ProgressTally{});
        return line.substr(line.find("; airport"));
    };
    EXPECT_EQ(tail(), "; airport LSZH: no airport file");
    panel.airportFilePresent = true;
    panel.airportDescription = "Zurich";
    panel.publisher = "ZELK (2)";
    panel.handMadeAirportFile = true;
    panel.standCount = 143;
    panel.learnedUpdates = 12;
    panel.staticCount = 40;
    panel.wantedStatic = 57;
    EXPECT_EQ(tail(), "; airport LSZH: 'Zurich', publisher ZELK (2) (h), 143 stands, 12 updates, static 40 of max park 57");
}

} // namespace
} // namespace zelk
