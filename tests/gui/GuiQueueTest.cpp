#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/Gui.h"
#include "gui/GuiTestSupport.h"
#include "support/Eventually.h"

namespace zelk {
namespace {

using test::RecordingWindow;

std::uint64_t pendingOf(const Gui& gui) { return gui.panel().staticWorkPending; }

// A panel with its window; the test thread is the user-interface thread.
class GuiQueue : public ::testing::Test {
protected:
    void SetUp() override { gui.attachWindow(window); }
    void postFromAnotherThread(GuiUpdate update)
    {
        std::thread([&] { gui.enqueueUpdate(std::move(update)); }).join();
    }

    Gui gui;
    std::shared_ptr<RecordingWindow> window = std::make_shared<RecordingWindow>();
};

TEST_F(GuiQueue, UpdateOnTheUserInterfaceThreadIsAppliedAtOnceAndAFailureSwallowed)
{
    gui.enqueueUpdate(gui_update::SetStaticWorkPending{7});
    EXPECT_EQ(pendingOf(gui), 7u);
    EXPECT_EQ(window->posted.load(), 0);
    ASSERT_EQ(window->plans.size(), 1u);
    EXPECT_EQ(window->plans[0].bands.size(), 1u); // the parking band

    window->throwOnText = "boom";
    EXPECT_NO_THROW(gui.enqueueUpdate(gui_update::ShowMessage{"boom", false}));
    gui.enqueueUpdate(gui_update::SetLiveCount{4});
    EXPECT_EQ(gui.panel().liveCount, 4u);
}

TEST_F(GuiQueue, UpdatesFromAnotherThreadWaitForOneWakeUpAndApplyInOrder)
{
    std::thread poster([&] {
        gui.enqueueUpdate(gui_update::SetStaticWorkPending{1});
        gui.enqueueUpdate(gui_update::SetStaticWorkPending{2});
        gui.enqueueUpdate(gui_update::SetFeedText{"feed"});
    });
    poster.join();
    EXPECT_EQ(pendingOf(gui), 0u);
    EXPECT_EQ(gui.queuedUpdates(), 3u);
    EXPECT_EQ(window->posted.load(), 1);
    EXPECT_TRUE(gui.wakeUpPending());

    EXPECT_EQ(window->takeMessage(test::kEventWait), MSG_GUI_UPDATE);
    gui.drainUpdateQueue();
    EXPECT_EQ(pendingOf(gui), 2u); // the later value of the same kind wins
    EXPECT_EQ(gui.panel().feedText, "feed");
    EXPECT_FALSE(gui.wakeUpPending());
    EXPECT_EQ(window->plans.size(), 1u); // one repaint for the whole batch
}

// A wake-up that could not be posted (no window yet, or a refused post) is
// posted by the next update or when the window appears.
TEST_F(GuiQueue, MissedWakeUpsAreMadeUpFor)
{
    gui.detachWindow();
    postFromAnotherThread(gui_update::SetLiveCount{12});
    EXPECT_EQ(gui.queuedUpdates(), 1u);
    EXPECT_FALSE(gui.wakeUpPending());
    gui.attachWindow(window);
    EXPECT_EQ(window->takeMessage(test::kEventWait), MSG_GUI_UPDATE);
    gui.drainUpdateQueue();
    EXPECT_EQ(gui.panel().liveCount, 12u);

    window->refusePosts = true;
    postFromAnotherThread(gui_update::SetLiveCount{1});
    EXPECT_FALSE(gui.wakeUpPending());
    EXPECT_EQ(gui.queuedUpdates(), 1u);
    window->refusePosts = false;
    postFromAnotherThread(gui_update::SetLiveCount{2});
    EXPECT_EQ(window->posted.load(), 2);
    gui.drainUpdateQueue();
    EXPECT_EQ(gui.panel().liveCount, 2u);
}

TEST_F(GuiQueue, ClosedQueueDropsEveryUpdate)
{
    postFromAnotherThread(gui_update::SetLiveCount{1});
    gui.closeUpdateQueue();
    EXPECT_EQ(gui.queuedUpdates(), 0u);
    gui.enqueueUpdate(gui_update::SetLiveCount{2});
    postFromAnotherThread(gui_update::SetLiveCount{3});
    gui.drainUpdateQueue();
    EXPECT_EQ(gui.panel().liveCount, 0u);
}

TEST_F(GuiQueue, AFailingUpdateDoesNotCostTheRestOfTheBatch)
{
    window->throwOnText = "boom";
    std::thread([&] {
        gui.enqueueUpdate(gui_update::SetLiveCount{1});
        gui.enqueueUpdate(gui_update::ShowMessage{"boom", false});
        gui.enqueueUpdate(gui_update::SetLiveCount{5});
        gui.enqueueUpdate(gui_update::SetFeedText{"after"});
    }).join();
    gui.drainUpdateQueue();
    EXPECT_EQ(gui.panel().liveCount, 5u);
    EXPECT_EQ(gui.panel().feedText, "after");
}

// Several threads post at once while the user-interface thread drains on every
// wake-up: each update is applied exactly once, each thread's updates in the
// order it posted them, and never more than one wake-up is outstanding.
TEST_F(GuiQueue, ConcurrentPostersStress)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;

    std::atomic<int> finished{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                gui.enqueueUpdate(gui_update::ShowMessage{std::to_string(t) + ":" + std::to_string(i), false});
            finished.fetch_add(1);
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + test::kEventWait;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::uint32_t m = window->takeMessage(std::chrono::milliseconds(50));
        if (m == MSG_GUI_UPDATE) gui.drainUpdateQueue();
        if (finished.load() == kThreads && !gui.wakeUpPending() && gui.queuedUpdates() == 0) break;
    }
    for (auto& p : posters) p.join();
    gui.drainUpdateQueue(); // whatever a lost race left behind

    const std::vector<std::string> lines = window->shownLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kPerThread));
    std::map<int, int> next;
    for (const std::string& line : lines) {
        const std::size_t colon = line.find(':', 2);
        const int thread = std::stoi(line.substr(2, colon - 2));
        const int index = std::stoi(line.substr(colon + 1));
        ASSERT_EQ(index, next[thread]) << "thread " << thread << " out of order";
        next[thread] = index + 1;
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kPerThread);
    EXPECT_LE(window->maxOutstanding.load(), 1);
    EXPECT_GE(window->posted.load(), 1);
}

} // namespace
} // namespace zelk
