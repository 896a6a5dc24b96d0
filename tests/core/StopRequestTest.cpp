#include "core/StopRequest.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/Settings.h"

namespace zelk {
namespace {

// Every case starts and ends with an empty slot, a clear flag and no hooks.
class StopRequest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset()
    {
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_setStopHooks({});
        gf_storeProgramMode(ProgramMode{});
    }
};

TEST_F(StopRequest, FirstWinsAndOnlyRestartReasonsRestart)
{
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::NotYetSet) << "an empty slot";
    EXPECT_TRUE(gf_requestStop(StopReason::NewFlight, 60));
    EXPECT_FALSE(gf_isRunning());
    EXPECT_FALSE(gf_requestStop(StopReason::SystemError, 0));
    const auto kept = gf_stopRequestForCloseDown();
    EXPECT_EQ(kept.reason, 2);
    EXPECT_EQ(kept.delay, 60u);
    gf_resetStopRequest();
    EXPECT_TRUE(gf_isRunning());

    for (int code = 0; code < kStopReasonCount; ++code) {
        EXPECT_FALSE(gf_stopReasonText(code).empty()) << code;
        EXPECT_EQ(gf_isRestartReason(code), code == 2 || code == 3 || code == 6 || code == 7) << code;
    }
    EXPECT_EQ(gf_stopReasonText(-1), "");
    EXPECT_EQ(gf_stopReasonText(kStopReasonCount), "");
}

// Closing the window always ends the program; in RT App mode it also closes
// the app's server.
TEST_F(StopRequest, WindowCloseAfterRestartableRequestStillExits)
{
    int serverCloses = 0;
    gf_setStopHooks({{}, [&] { ++serverCloses; }});
    EXPECT_TRUE(gf_requestStop(StopReason::UserClosedSim, 0));
    EXPECT_TRUE(gf_isClosingByUser());
    EXPECT_EQ(serverCloses, 0) << "RT Direct leaves the server alone";
    gf_resetStopRequest();
    stop_detail::resetClosingByUserForTests();

    EXPECT_TRUE(gf_requestStop(StopReason::NewSettings, 3));
    EXPECT_FALSE(gf_isClosingByUser());
    gf_storeProgramMode({kSimulatorMsfs2024, kTrafficSourceRtApp});
    EXPECT_FALSE(gf_requestStop(StopReason::UserClosedSim, 0));
    EXPECT_TRUE(gf_isClosingByUser());
    EXPECT_EQ(serverCloses, 1);
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::NewSettings);
    // The demo's timed end closes the window too.
    stop_detail::resetClosingByUserForTests();
    EXPECT_FALSE(gf_requestStop(StopReason::DemoEnded, 0));
    EXPECT_TRUE(gf_isClosingByUser());
    EXPECT_EQ(serverCloses, 2);
    // The flag alone stops the run, even with an emptied slot.
    gf_resetStopRequest();
    EXPECT_FALSE(gf_isRunning());
}

TEST_F(StopRequest, ReaderErrors)
{
    std::vector<std::string> shown;
    gf_setStopHooks({[&](std::string text) { shown.push_back(std::move(text)); }, {}});
    EXPECT_TRUE(gf_readerStoppedWithError("traffic reader", false, 402));
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::SystemError);
    EXPECT_EQ(gf_stopRequestForCloseDown().delay, 15u);
    // A dropped request still shows its message.
    EXPECT_FALSE(gf_readerStoppedWithError("weather reader", true, 500));
    EXPECT_FALSE(gf_readerStoppedWithException("weather reader", "boom"));
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "Your RealTraffic license has expired (error 402). Check your license and API token.");
    EXPECT_EQ(shown[1], "The weather reader has stopped with an error");
    EXPECT_EQ(shown[2], "The weather reader has stopped with error: boom");

    for (const bool byException : {false, true}) {
        gf_resetStopRequest();
        EXPECT_TRUE(byException ? gf_readerStoppedWithException("traffic reader", "x")
                                : gf_readerStoppedWithError("traffic reader", true, 401));
        EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::ReaderError);
    }
}

TEST_F(StopRequest, SimulatorSources)
{
    EXPECT_TRUE(gf_requestNewFlightRestart());
    EXPECT_EQ(gf_stopRequestForCloseDown().delay, 60u);
    // Only a running run reports the lost simulator.
    EXPECT_FALSE(gf_simDisconnected());
    gf_resetStopRequest();
    EXPECT_TRUE(gf_simDisconnected());
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::SimWasClosed);
}

TEST_F(StopRequest, ManyThreadsExactlyOneKept)
{
    for (int round = 0; round < 20; ++round) {
        gf_resetStopRequest();
        constexpr int kThreads = 16;
        std::atomic<int> kept{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                while (!go.load()) std::this_thread::yield();
                if (gf_requestStop(t % kStopReasonCount, static_cast<std::uint32_t>(t))) ++kept;
                EXPECT_FALSE(gf_isRunning());
            });
        }
        go.store(true);
        for (auto& th : threads) th.join();
        EXPECT_EQ(kept.load(), 1);
        const auto winner = gf_stopRequestForCloseDown();
        EXPECT_EQ(winner.reason, static_cast<std::int32_t>(winner.delay) % kStopReasonCount);
        stop_detail::resetClosingByUserForTests();
    }
}

} // namespace
} // namespace zelk
