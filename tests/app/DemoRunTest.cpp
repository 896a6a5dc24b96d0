#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "app/DemoRun.h"
#include "simlink/SimClient.h"
#include "support/Eventually.h"

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
        test::eventually([&] { return closes.load() != 0; });
    }
    EXPECT_EQ(closes.load(), 1);
}

// The demo passes only when it showed every part of the pipeline and cleaned up.
TEST(DemoRun, SucceedsOnlyWhenLiveAndParkedAircraftWentThroughAndNoneIsLeft)
{
    struct Case {
        const char* name;
        SimLinkTally tally;
        bool succeeded;
    };
    const SimLinkTally full{4, 6, 4, 5, 10, 0};
    auto without = [full](std::uint64_t SimLinkTally::*field, std::uint64_t value) {
        SimLinkTally t = full;
        t.*field = value;
        return t;
    };
    const std::vector<Case> cases{
        {"everything", full, true},
        {"no live aircraft", without(&SimLinkTally::liveCreated, 0), false},
        {"no parked aircraft", without(&SimLinkTally::parkedCreated, 0), false},
        {"nothing moved", without(&SimLinkTally::moved, 0), false},
        {"none parked at a stand", without(&SimLinkTally::parkedAtStands, 0), false},
        {"none removed", without(&SimLinkTally::removed, 0), false},
        {"one left behind", without(&SimLinkTally::left, 1), false},
    };
    for (const Case& c : cases) EXPECT_EQ(gf_demoRunSucceeded(c.tally), c.succeeded) << c.name;
}

} // namespace
} // namespace zelk
