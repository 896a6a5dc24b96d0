#include "core/Random.h"

#include "core/Settings.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace zelk {
namespace {

// Each test starts with RANDOM on and the calling thread's engine at a fixed seed.
class Random : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRandom(true);
        gf_threadRandomEngine().seed(20260405u);
    }
    void TearDown() override { gf_publishSettings(SettingsSnapshot{}); }

    static void setRandom(bool on)
    {
        gf_updateSettings([on](SettingsSnapshot& s) { s.RANDOM = on; });
    }
};

TEST_F(Random, IndexIsZeroWithoutADrawForFewerThanTwoChoices)
{
    const std::mt19937 before = gf_threadRandomEngine();
    EXPECT_EQ(gf_randomIndex(0), 0u);
    EXPECT_EQ(gf_randomIndex(1), 0u);
    EXPECT_EQ(gf_threadRandomEngine(), before);
}

TEST_F(Random, IndexIsZeroWithoutADrawWhenRandomIsOff)
{
    setRandom(false);
    const std::mt19937 before = gf_threadRandomEngine();
    EXPECT_EQ(gf_randomIndex(1000), 0u);
    EXPECT_EQ(gf_threadRandomEngine(), before);
}

TEST_F(Random, IndexCoversTheWholeRangeEvenly)
{
    constexpr std::uint64_t n = 7;
    constexpr int draws = 70000;
    std::array<int, n> counts{};
    for (int i = 0; i < draws; ++i) {
        const std::uint64_t k = gf_randomIndex(n);
        ASSERT_LT(k, n);
        ++counts[k];
    }
    for (int c : counts)
        EXPECT_NEAR(c, draws / static_cast<int>(n), 500); // about 6 standard deviations
    // Indexes beyond 32 bits are reachable too.
    const std::uint64_t big = std::uint64_t{1} << 40;
    bool high = false;
    for (int i = 0; i < 64 && !high; ++i)
        high = gf_randomIndex(big) >= (std::uint64_t{1} << 32);
    EXPECT_TRUE(high);
}

TEST_F(Random, SameSeedSameSequence)
{
    const auto draw = [] {
        std::vector<std::uint64_t> out;
        for (int i = 0; i < 20; ++i)
            out.push_back(gf_randomIndex(1000000));
        return out;
    };
    const std::vector<std::uint64_t> first = draw();
    gf_threadRandomEngine().seed(20260405u);
    EXPECT_EQ(draw(), first);
    EXPECT_GT(std::set<std::uint64_t>(first.begin(), first.end()).size(), 15u);
}

TEST_F(Random, ShuffleIsAPermutationAndEveryOrderOccurs)
{
    std::map<std::vector<std::uint16_t>, int> orders;
    constexpr int rounds = 6000;
    for (int i = 0; i < rounds; ++i) {
        std::vector<std::uint16_t> v{1, 2, 3};
        gf_shuffleIfRandom(v);
        ++orders[v];
    }
    ASSERT_EQ(orders.size(), 6u);
    for (const auto& [order, count] : orders) {
        std::vector<std::uint16_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<std::uint16_t>{1, 2, 3}));
        EXPECT_NEAR(count, rounds / 6, 170); // a biased shuffle favours some orders
    }
}

TEST_F(Random, ShuffleLeavesShortVectorsAndRandomOffAlone)
{
    const std::mt19937 before = gf_threadRandomEngine();
    std::vector<std::uint16_t> one{42};
    gf_shuffleIfRandom(one);
    EXPECT_EQ(one, std::vector<std::uint16_t>{42});
    EXPECT_EQ(gf_threadRandomEngine(), before);

    setRandom(false);
    std::vector<std::uint16_t> v{5, 4, 3, 2, 1};
    gf_shuffleIfRandom(v);
    EXPECT_EQ(v, (std::vector<std::uint16_t>{5, 4, 3, 2, 1}));
}

TEST_F(Random, JitterSignFollowsTheParityOfOneDraw)
{
    bool sawLow = false;
    bool sawHigh = false;
    for (int i = 0; i < 100; ++i) {
        std::mt19937 peek = gf_threadRandomEngine();
        const bool odd = (peek() & 1u) != 0;
        const double v = gf_jitterByPercent(100.0, 10.0);
        EXPECT_DOUBLE_EQ(v, odd ? 90.0 : 110.0);
        EXPECT_EQ(gf_threadRandomEngine(), peek) << "exactly one draw";
        (odd ? sawLow : sawHigh) = true;
    }
    EXPECT_TRUE(sawLow);
    EXPECT_TRUE(sawHigh);
}

TEST_F(Random, JitterWithoutAPositivePercentKeepsTheValueButStillDraws)
{
    for (double percent : {0.0, -5.0}) {
        std::mt19937 expected = gf_threadRandomEngine();
        expected.discard(1);
        EXPECT_EQ(gf_jitterByPercent(100.0, percent), 100.0);
        EXPECT_EQ(gf_threadRandomEngine(), expected);
    }
    setRandom(false);
    const double v = gf_jitterByPercent(200.0, 2.5);
    EXPECT_TRUE(v == 195.0 || v == 205.0) << "jitter does not depend on RANDOM";
}

TEST_F(Random, EachThreadHasItsOwnEngine)
{
    const std::mt19937 before = gf_threadRandomEngine();
    std::mt19937::result_type a = 0;
    std::mt19937::result_type b = 0;
    std::thread t1([&a] { a = gf_threadRandomEngine()(); });
    std::thread t2([&b] { b = gf_threadRandomEngine()(); });
    t1.join();
    t2.join();
    EXPECT_NE(a, b);
    EXPECT_EQ(gf_threadRandomEngine(), before) << "other threads never touch this thread's engine";
    EXPECT_NE(gf_makeRandomEngine()(), gf_makeRandomEngine()());
}

} // namespace
} // namespace zelk
