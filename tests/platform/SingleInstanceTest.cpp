#include "platform/SingleInstance.h"
#include "support/TempDir.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zelk::test {
namespace {

using Claim = platform::SingleInstance;

// A meeting point for a fixed number of threads. (Not std::latch: its atomic
// wait can miss a wake-up in the mingw build's libstdc++ and hang.)
class Gate {
public:
    explicit Gate(int count) : left_(count) {}
    void arriveAndWait()
    {
        std::unique_lock lock(mutex_);
        if (--left_ == 0) {
            open_.notify_all();
            return;
        }
        open_.wait(lock, [this] { return left_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable open_;
    int left_;
};

class SingleInstance : public TempDirTest {
protected:
    // Tests run in parallel (and under wine in one logon): each uses its own
    // name so that only its own objects compete.
    std::string uniqueName()
    {
        std::random_device rd;
        return "zelk-test-" + std::to_string(rd()) + std::to_string(rd());
    }
};

TEST_F(SingleInstance, FirstClaimHoldsAndLaterOnesSeeAnotherInstance)
{
    const std::string name = uniqueName();
    Claim first(name, dir());
    EXPECT_TRUE(first.holdsClaim());
    EXPECT_FALSE(first.anotherInstanceRuns());
    EXPECT_EQ(first.error(), "");

    Claim second(name, dir());
    EXPECT_TRUE(second.anotherInstanceRuns());
    EXPECT_FALSE(second.holdsClaim());
    EXPECT_EQ(second.error(), "");

    // The refused claim must not have taken the first one's place, and another
    // name does not compete with it.
    EXPECT_TRUE(first.holdsClaim());
    Claim other(uniqueName(), dir());
    EXPECT_TRUE(other.holdsClaim());
}

TEST_F(SingleInstance, ClaimIsFreeAgainWhenTheHolderEnds)
{
    const std::string name = uniqueName();
    {
        Claim first(name, dir());
        ASSERT_TRUE(first.holdsClaim());
        Claim refused(name, dir());
        ASSERT_TRUE(refused.anotherInstanceRuns());
    }
    // Neither the holder nor the refused claim may leave the name taken.
    Claim next(name, dir());
    EXPECT_TRUE(next.holdsClaim());
    EXPECT_FALSE(next.anotherInstanceRuns());
}

TEST_F(SingleInstance, ExactlyOneOfManySimultaneousClaimsWins)
{
    const std::string name = uniqueName();
    constexpr int kThreads = 8;
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> holders{0};
        std::atomic<int> refused{0};
        Gate ready(kThreads);
        Gate tried(kThreads);
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&] {
                ready.arriveAndWait();
                Claim claim(name, dir());
                if (claim.holdsClaim()) ++holders;
                if (claim.anotherInstanceRuns()) ++refused;
                // Keep every claim alive until all have tried.
                tried.arriveAndWait();
            });
        }
        for (auto& t : threads) t.join();
        ASSERT_EQ(holders.load(), 1) << "round " << round;
        ASSERT_EQ(refused.load(), kThreads - 1) << "round " << round;
    }
}

#ifndef _WIN32
TEST_F(SingleInstance, MissingLockFolderIsAnErrorNotAnotherInstance)
{
    Claim claim(uniqueName(), dir() / "missing");
    EXPECT_FALSE(claim.holdsClaim());
    EXPECT_FALSE(claim.anotherInstanceRuns());
    EXPECT_NE(claim.error(), "");
}

TEST_F(SingleInstance, ClaimHeldByAnotherProcessIsSeenAndFreedWhenItEnds)
{
    const std::string name = uniqueName();
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Child: take the claim, report, and hold it until told to end.
        Claim claim(name, dir());
        const char held = claim.holdsClaim() ? 'y' : 'n';
        (void)!::write(toParent[1], &held, 1);
        char go = 0;
        (void)!::read(toChild[0], &go, 1);
        ::_exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(toParent[0], &held, 1), 1);
    EXPECT_EQ(held, 'y');
    {
        Claim mine(name, dir());
        EXPECT_TRUE(mine.anotherInstanceRuns());
    }
    const char go = 'x';
    ASSERT_EQ(::write(toChild[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) ::close(fd);

    Claim after(name, dir());
    EXPECT_TRUE(after.holdsClaim());
}
#endif

} // namespace
} // namespace zelk::test
