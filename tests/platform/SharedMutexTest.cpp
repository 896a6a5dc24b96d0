#include "platform/SharedMutex.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace zelk::platform {
namespace {

TEST(SharedMutex, ReadersShareAndWritersExclude)
{
    SharedMutex m;
    {
        std::shared_lock first(m);
        std::shared_lock second(m, std::try_to_lock);
        EXPECT_TRUE(second.owns_lock()) << "readers share the lock";
        std::unique_lock writer(m, std::try_to_lock);
        EXPECT_FALSE(writer.owns_lock()) << "a writer waits for the readers";
    }
    {
        std::unique_lock writer(m);
        std::shared_lock reader(m, std::try_to_lock);
        EXPECT_FALSE(reader.owns_lock()) << "a reader waits for the writer";
        std::unique_lock other(m, std::try_to_lock);
        EXPECT_FALSE(other.owns_lock()) << "writers exclude each other";
    }
    std::unique_lock free(m, std::try_to_lock);
    EXPECT_TRUE(free.owns_lock()) << "released by both kinds of lock";
}

// Many readers and writers on fresh locks, as when threads meet a table for
// the first time: every write counted, no reader ever sees a half-done write,
// and nothing hangs (ctest's time-out catches a deadlock).
TEST(SharedMutex, ReadersAndWritersUnderContention)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 100;
    constexpr int kSteps = 200; // a multiple of 4
    for (int round = 0; round < kRounds; ++round) {
        SharedMutex m;
        long a = 0;
        long b = 0; // always equal to a outside the writer's lock
        std::atomic<bool> go{false};
        std::atomic<int> tornReads{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                while (!go.load()) std::this_thread::yield();
                for (int k = 0; k < kSteps; ++k) {
                    if ((k + t) % 4 == 0) {
                        std::unique_lock lock(m);
                        ++a;
                        ++b;
                    } else {
                        std::shared_lock lock(m);
                        if (a != b) ++tornReads;
                    }
                }
            });
        }
        go = true;
        for (auto& th : threads) th.join();
        // Every fourth step of each thread writes.
        ASSERT_EQ(a, kThreads * kSteps / 4) << "round " << round;
        ASSERT_EQ(tornReads.load(), 0) << "round " << round;
    }
}

} // namespace
} // namespace zelk::platform
