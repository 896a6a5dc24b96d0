#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "app/DemoRun.h"

namespace zelk {
namespace {

TEST(DemoRun, SecondsFromTheCommandLine)
{
    std::string error;
    EXPECT_EQ(gf_demoSecondsFrom({"zelk"}, error), std::nullopt);
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(gf_demoSecondsFrom({"zelk", "--demo-seconds", "90"}, error), 90u);
    EXPECT_EQ(gf_demoSecondsFrom({"zelk", "--demo-seconds=3600"}, error), 3600u);
    EXPECT_TRUE(error.empty());
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"zelk", "--demo-seconds"}, {"zelk", "--demo-seconds", "9"},
          {"zelk", "--demo-seconds=3601"}, {"zelk", "--demo-seconds", "60s"}, {"zelk", "--demo-seconds", "-5"}}) {
        error.clear();
        EXPECT_EQ(gf_demoSecondsFrom(bad, error), std::nullopt) << bad.back();
        EXPECT_NE(error.find("from 10 to 3600"), std::string::npos) << bad.back();
    }
}

TEST(DemoRun, TimerClosesOnceItsTimeIsUpAndNeverWhenCancelled)
{
    std::atomic<int> closes{0};
    {
        DemoTimer cancelled(std::chrono::seconds(30), [&] { ++closes; });
    }
    EXPECT_EQ(closes.load(), 0);
    {
        DemoTimer timer(std::chrono::seconds(0), [&] { ++closes; });
        for (int i = 0; i < 500 && closes.load() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(closes.load(), 1);
}

} // namespace
} // namespace zelk
