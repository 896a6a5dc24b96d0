#include "app/FeedModes.h"

#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "core/Clock.h"
#include "core/Parameters.h"
#include "core/StopRequest.h"
#include "gui/Gui.h"
#include "gui/WaitClock.h"
#include "support/LoggedTempDir.h"

namespace zelk::test {
namespace {

using namespace std::chrono_literals;

class RTAPICooldown : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_resetStopRequest();
        gf_setWaitClock(clock);
        lf_clearRTAPICooldown();
    }
    void TearDown() override
    {
        gf_setWaitClock(nullptr);
        lf_clearRTAPICooldown();
        LAST_EPOCH_TIME.setValue(0);
        LoggedTempDirTest::TearDown();
    }
    // Holds the cooldown with the previous process's exit `ago` seconds back;
    // returns how long it waited.
    std::chrono::steady_clock::duration holdAfter(std::int64_t ago)
    {
        LAST_EPOCH_TIME.setValue(static_cast<std::int32_t>(kNow - ago));
        const auto before = clock->now();
        lf_holdRTAPICooldown();
        return clock->now() - before;
    }
    // Shown on the message line, which logs it.
    bool shown(const std::string& text) const
    {
        gf_gui().drainUpdateQueue();
        return log().find(text) != std::string::npos;
    }

    static constexpr std::time_t kNow = 1700000000;
    ScopedFixedClock wallClock{kNow};
    std::shared_ptr<ManualWaitClock> clock = std::make_shared<ManualWaitClock>();
};

TEST_F(RTAPICooldown, ASecondProcessWaitsOutTheFourSeconds)
{
    EXPECT_EQ(holdAfter(1), 3s);
    EXPECT_TRUE(shown("Holding for 3 seconds... (RT API cooldown)"));
    EXPECT_EQ(holdAfter(3), 1s);
    EXPECT_TRUE(shown("Holding for 1 second... (RT API cooldown)"));
    EXPECT_EQ(holdAfter(4), 0s);
    EXPECT_EQ(holdAfter(-100), 4s) << "a clock set back counts as no time passed";
    LAST_EPOCH_TIME.setValue(0);
    lf_holdRTAPICooldown();
    EXPECT_EQ(clock->slept(), 8s) << "no stored leaving time: no wait";
}

TEST_F(RTAPICooldown, LeavingInThisProcessKeepsThreeSecondsAndTheTime)
{
    lf_persistRTAPICooldown();
    EXPECT_EQ(LAST_EPOCH_TIME.value(), kNow);
    clock->advance(1s);
    EXPECT_EQ(holdAfter(100), 2s) << "the in-process deadline wins over the stored time";
    EXPECT_EQ(holdAfter(100), 0s) << "a wait clears the deadline";
}

TEST_F(RTAPICooldown, AStopEndsTheWait)
{
    gf_requestStop(StopReason::UserClosedSim, 0);
    EXPECT_EQ(holdAfter(1), 0s);
    gf_resetStopRequest();
}

} // namespace
} // namespace zelk::test
