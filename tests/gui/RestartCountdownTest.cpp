#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "core/Log.h"
#include "core/StopRequest.h"
#include "gui/RestartCountdown.h"
#include "gui/WaitClock.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

// The countdown runs on the worker and reads the global wait clock; a manual
// clock makes a minute pass at once.
class RestartCountdown : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        clock_ = std::make_shared<ManualWaitClock>();
        gf_setWaitClock(clock_);
    }
    void TearDown() override
    {
        gf_setWaitClock(nullptr);
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        LoggedTempDirTest::TearDown();
    }
    std::shared_ptr<ManualWaitClock> clock_;
};

TEST_F(RestartCountdown, WaitsTheWholeDelayOnTheClockThenRestarts)
{
    const auto start = clock_->now();
    EXPECT_TRUE(lf_restartCountdown(60));
    EXPECT_EQ(clock_->now() - start, std::chrono::seconds(60));
    const std::string text = log();
    EXPECT_NE(text.find("Restarting after 60 seconds\n" + std::string(48, '-') + "\n"), std::string::npos);
    EXPECT_NE(text.find("Restart countdown finished"), std::string::npos);
}

TEST_F(RestartCountdown, ClosingTheProgramEndsTheCountdownWithoutRestart)
{
    const auto start = clock_->now();
    EXPECT_TRUE(lf_restartCountdown(0)) << "no delay restarts at once";
    EXPECT_EQ(clock_->now(), start);
    gf_requestStop(StopReason::UserClosedSim, 0);
    EXPECT_FALSE(lf_restartCountdown(0));
    EXPECT_FALSE(lf_restartCountdown(9));
    EXPECT_LT(clock_->now() - start, std::chrono::seconds(1));
    EXPECT_EQ(log().find("Restart countdown finished"), std::string::npos);
}

// A manual clock that presses "Unblock" once the countdown has run for a while.
class PressingClock final : public WaitClock {
public:
    explicit PressingClock(std::chrono::seconds pressAfter) : start_(inner_.now()), pressAfter_(pressAfter) {}
    TimePoint now() const override { return inner_.now(); }
    void sleepUntil(TimePoint t) override
    {
        inner_.sleepUntil(t);
        if (!pressed_ && inner_.now() - start_ >= pressAfter_) {
            pressed_ = true;
            gf_requestRestartNow();
        }
    }
    std::chrono::steady_clock::duration elapsed() const { return inner_.now() - start_; }

private:
    ManualWaitClock inner_;
    TimePoint start_;
    std::chrono::seconds pressAfter_;
    bool pressed_ = false;
};

// "Unblock" cuts a countdown of more than fifteen seconds short; a press
// before the countdown is forgotten at its start.
TEST_F(RestartCountdown, UnblockCutsALongCountdownShort)
{
    for (const auto& [delay, pressAfter, ends] : {std::tuple{60, 10, 10}, std::tuple{15, 2, 15}}) {
        auto clock = std::make_shared<PressingClock>(std::chrono::seconds(pressAfter));
        gf_setWaitClock(clock);
        gf_requestRestartNow();
        EXPECT_TRUE(lf_restartCountdown(delay));
        EXPECT_GE(clock->elapsed(), std::chrono::seconds(ends)) << delay;
        EXPECT_LT(clock->elapsed(), std::chrono::seconds(ends + 2)) << delay;
        EXPECT_EQ(log().find("Restart countdown finished") != std::string::npos, delay == 15) << delay;
    }
}

} // namespace
} // namespace zelk
