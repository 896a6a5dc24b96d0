#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <system_error>

#include "core/Log.h"
#include "core/StopRequest.h"
#include "gui/FirstTraffic.h"
#include "gui/Gui.h"
#include "gui/HeadlessWindow.h"
#include "gui/PanelPainter.h"
#include "gui/WaitClock.h"
#include "gui/WindowHooks.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

class WorkerRunsTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
    }
    void TearDown() override
    {
        gf_logFile().close();
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        TempDirTest::TearDown();
    }
    std::string log() const
    {
        gf_flushLog();
        return test::readAll(file("Log.txt"));
    }
};

// A run whose thread cannot be made would leave nobody to close down: the
// program ends as a finished run would end it, with the reason in the log.
TEST_F(WorkerRunsTest, AWorkerThatCannotStartEndsTheProgram)
{
    HeadlessWindow::Options options;
    options.printMessages = false;
    options.handleCloseSignals = false;
    options.exitCode = [] { return 3; };
    options.startThread = [](std::function<void()>) -> std::jthread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    auto window = std::make_shared<HeadlessWindow>(options);
    ASSERT_TRUE(window->create());
    gf_gui().postToWindow(MSG_START);
    EXPECT_EQ(window->runMessageLoop(), 3);
    EXPECT_EQ(window->runsStarted(), 0u);
    EXPECT_NE(log().find("==> The run could not be started: "), std::string::npos);
}

// Closing the window while no run is there: nobody would take the stop
// request, so the window ends the program itself.
TEST_F(WorkerRunsTest, ClosingWithoutAWorkerEndsTheLoop)
{
    HeadlessWindow::Options options;
    options.printMessages = false;
    options.handleCloseSignals = false;
    options.exitCode = [] { return 0; };
    auto window = std::make_shared<HeadlessWindow>(options);
    ASSERT_TRUE(window->create());
    gf_openLogFile();
    window->close();
    EXPECT_EQ(window->runMessageLoop(), 0);
    EXPECT_NE(log().find("close window button clicked, closing ZELK ..."), std::string::npos)
        << "the close is logged as well as shown";
}

// The headless window paints as the real one would, and keeps the picture.
TEST_F(WorkerRunsTest, TheHeadlessWindowKeepsWhatItLastPainted)
{
    HeadlessWindow::Options options;
    options.printMessages = false;
    options.handleCloseSignals = false;
    auto window = std::make_shared<HeadlessWindow>(options);
    ASSERT_TRUE(window->create());
    gf_gui().enqueueUpdate(gui_update::SetCompact{false});
    gf_guiShowMessage("painted here", false);
    const DisplayList list = window->lastDisplayList();
    EXPECT_EQ(list.canvasHeight, 768);
    EXPECT_NE(gf_displayListText(list).find("text 3,743 #FFFFFF n 'painted here'"), std::string::npos);
    gf_gui().detachWindow();
}

class FirstTrafficTest : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_resetStopRequest();
        clock_ = std::make_shared<ManualWaitClock>();
        gf_setWaitClock(clock_);
    }
    void TearDown() override
    {
        gf_setWaitClock(nullptr);
        gf_updateWindowHooks([](WindowHooks& h) { h.firstTrafficArrived = nullptr; });
        gf_resetStopRequest();
        LoggedTempDirTest::TearDown();
    }
    std::shared_ptr<ManualWaitClock> clock_;
};

TEST_F(FirstTrafficTest, WaitsUntilTheFirstTrafficOrFifteenSeconds)
{
    const auto start = clock_->now();
    lf_waitForFirstTraffic();
    EXPECT_EQ(clock_->now() - start, std::chrono::seconds(15));
    EXPECT_NE(log().find("No traffic in this region\n"), std::string::npos);

    auto arrivesAt = clock_->now() + std::chrono::milliseconds(2500);
    gf_updateWindowHooks([&](WindowHooks& h) { h.firstTrafficArrived = [&] { return clock_->now() >= arrivesAt; }; });
    const auto second = clock_->now();
    lf_waitForFirstTraffic();
    EXPECT_EQ(clock_->now() - second, std::chrono::milliseconds(2500));
    EXPECT_EQ(log().find("No traffic in this region\n"), log().rfind("No traffic in this region\n")) << "said once";
}

TEST_F(FirstTrafficTest, AStoppingRunDoesNotWait)
{
    gf_requestStop(StopReason::UserClosedSim, 0);
    const auto start = clock_->now();
    lf_waitForFirstTraffic();
    EXPECT_EQ(clock_->now(), start);
}

} // namespace
} // namespace zelk
