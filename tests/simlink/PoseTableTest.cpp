#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "simlink/PoseTable.h"
#include "support/Eventually.h"

namespace zelk {
namespace {

using Clock = PoseTable::Clock;
constexpr double kPi = 3.141592653589793;

Clock::time_point lf_at(int ms) { return Clock::time_point{} + std::chrono::hours(1) + std::chrono::milliseconds(ms); }

SimPose lf_pose(double longitude, double heading = 0.0)
{
    return SimPose{50.0, longitude, 0.0, 0.0, heading, 1000.0, 0.0, 150.0};
}

TEST(PoseTable, KeepsTheNewestSixteenOldestFirstUntilCleared)
{
    PoseTable table;
    for (int pass = 0; pass < 20; ++pass) {
        table.storePassPose(5, lf_pose(pass - 100.0)); // a later pose of a pass replaces the earlier
        table.storePassPose(5, lf_pose(pass));
        table.flushPass(lf_at(pass * 10));
    }
    const auto samples = table.samples(5);
    ASSERT_EQ(samples.size(), PoseTable::kDepth);
    EXPECT_EQ(samples.front().pose.longitude, 4.0);
    EXPECT_EQ(samples.back().pose.longitude, 19.0);
    EXPECT_EQ(samples.back().time, lf_at(190));
    EXPECT_EQ(table.passPoseCount(), 0u);

    table.storePassPose(6, lf_pose(1.0));
    const auto generation = table.generation();
    table.clear();
    EXPECT_EQ(table.objectCount(), 0u);
    EXPECT_EQ(table.passPoseCount(), 0u);
    EXPECT_EQ(table.generation(), generation + 1);
}

TEST(PoseTable, SamplingInterpolatesBehindTheNewestAndClampsAtTheEnds)
{
    PoseTable table;
    table.storePassPose(5, lf_pose(8.0));
    table.flushPass(lf_at(0));
    table.storePassPose(5, lf_pose(9.0));
    table.flushPass(lf_at(10));
    std::vector<std::pair<std::uint32_t, SimPose>> out;

    ASSERT_TRUE(table.trySample(lf_at(25), out)); // 5 ms after the first sample
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].second.longitude, 8.5, 1e-9);
    ASSERT_TRUE(table.trySample(lf_at(500), out));
    EXPECT_EQ(out[0].second.longitude, 9.0);
    ASSERT_TRUE(table.trySample(lf_at(0), out));
    EXPECT_EQ(out[0].second.longitude, 8.0);
}

TEST(PoseTable, InterpolationTakesTheShorterWayRound)
{
    const SimPose a{0.0, 179.0, -0.1, 3.1, 6.2, 0.0, 0.0, 0.0};
    const SimPose b{0.0, -179.0, 0.1, -3.1, 0.1, 100.0, 0.0, 0.0};
    const SimPose mid = gf_interpolatePose(a, b, 0.5);
    EXPECT_NEAR(std::abs(mid.longitude), 180.0, 1e-9);
    EXPECT_NEAR(mid.pitch, 0.0, 1e-12);
    EXPECT_NEAR(std::abs(mid.bank), kPi, 1e-9);
    // 6.2 and 0.1 rad lie 0.183 rad apart across north.
    const double expected = std::fmod(6.2 + (0.1 + 2 * kPi - 6.2) / 2.0, 2 * kPi);
    EXPECT_NEAR(mid.heading, expected, 1e-9);
    EXPECT_EQ(mid.altitude, 50.0);
    EXPECT_EQ(gf_interpolatePose(lf_pose(0.0, 2 * kPi), lf_pose(0.0, 2 * kPi), 0.0).heading, 0.0)
        << "a full circle is north";
}

// The engine appends a pass every iteration while the link samples as often as
// a simulator gives it frames: the engine always finishes, the link sees the
// poses only grow, and once the engine is done the link sees its very last
// pose. At a few passes the engine waits (bounded) until the link has sampled
// that very pass, so the two threads overlap however the machine schedules
// them, and the link is seen to get the newest poses while the engine runs.
TEST(PoseTable, LinkGetsTheNewestPosesWithoutHoldingUpTheEngine)
{
    PoseTable table;
    constexpr int kPasses = 20000;
    constexpr int kCheckpointEvery = 2500;
    constexpr std::uint32_t kObjects = 32;
    std::atomic<bool> engineDone{false};
    std::atomic<int> taken{0};
    std::atomic<bool> monotonic{true};
    std::atomic<int> checkpoint{0}; // the pass the engine waits at
    std::atomic<int> seen{0};       // the last checkpoint pass the link sampled whole
    const auto longitudeOf = [](int pass) { return pass * 1e-4; };

    std::thread link([&] {
        std::vector<std::pair<std::uint32_t, SimPose>> out;
        std::vector<double> last(kObjects, -1.0);
        const auto far = lf_at(kPasses * 10 + 100000);
        while (!engineDone.load()) {
            // A link retrying at once could keep the lock from the engine for
            // long stretches where a just-freed mutex goes back to its last
            // owner (as under ThreadSanitizer); the real one samples per frame.
            std::this_thread::sleep_for(std::chrono::microseconds(20));
            if (!table.trySample(far, out))
                continue;
            ++taken;
            for (const auto& [id, pose] : out) {
                if (pose.longitude < last[id])
                    monotonic = false;
                last[id] = pose.longitude;
            }
            const int at = checkpoint.load();
            if (at != 0 && seen.load() != at && out.size() == kObjects &&
                std::all_of(out.begin(), out.end(),
                            [&](const auto& sample) { return sample.second.longitude == longitudeOf(at); }))
                seen = at;
        }
    });

    // Generous: a loaded machine may leave the link unscheduled for seconds.
    const auto deadline = std::chrono::steady_clock::now() + test::kEventWait;
    int checkpointsSeen = 0;
    for (int pass = 1; pass <= kPasses; ++pass) {
        for (std::uint32_t id = 0; id < kObjects; ++id)
            table.storePassPose(id, lf_pose(longitudeOf(pass)));
        table.flushPass(lf_at(pass * 10));
        if (pass % kCheckpointEvery != 0)
            continue;
        checkpoint = pass;
        while (seen.load() != pass && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        if (seen.load() == pass)
            ++checkpointsSeen;
    }
    engineDone = true;
    link.join();

    EXPECT_EQ(checkpointsSeen, kPasses / kCheckpointEvery) << "the link never got the pass the engine waited at";
    EXPECT_TRUE(monotonic.load());
    EXPECT_GE(taken.load(), kPasses / kCheckpointEvery);
    std::vector<std::pair<std::uint32_t, SimPose>> out;
    ASSERT_TRUE(table.trySample(lf_at(kPasses * 10 + 100000), out));
    ASSERT_EQ(out.size(), kObjects);
    for (const auto& [id, pose] : out)
        EXPECT_DOUBLE_EQ(pose.longitude, longitudeOf(kPasses));
}

// Removals and resets empty the pass list from other threads while the engine
// fills it: the list survives, and what is left afterwards is whole.
TEST(PoseTable, PassListSurvivesRemovalsAndResetsFromAnotherThread)
{
    PoseTable table;
    constexpr std::uint32_t kObjects = 2000; // far past any reservation: the list keeps growing
    std::atomic<bool> engineDone{false};
    std::thread other([&] {
        for (std::uint32_t i = 0; !engineDone.load(); ++i) {
            table.erase(i % kObjects);
            if (i % 64 == 0)
                table.clear();
            std::this_thread::yield(); // leave the engine its turns at the lock
        }
    });
    for (int pass = 1; pass <= 200; ++pass) {
        for (std::uint32_t id = 0; id < kObjects; ++id)
            table.storePassPose(id, lf_pose(pass * 1e-3));
        if (pass % 10 == 0)
            table.flushPass(lf_at(pass * 10));
    }
    engineDone = true;
    other.join();

    for (std::uint32_t id = 0; id < kObjects; ++id)
        table.storePassPose(id, lf_pose(1.0));
    EXPECT_EQ(table.passPoseCount(), kObjects);
    table.flushPass(lf_at(5000));
    EXPECT_EQ(table.objectCount(), kObjects);
    EXPECT_EQ(table.samples(kObjects - 1).back().pose.longitude, 1.0);
}

} // namespace
} // namespace zelk
