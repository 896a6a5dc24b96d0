#include "liveries/CodeTables.h"

#include "core/Log.h"
#include "support/LoggedTempDir.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace zelk {
namespace {

TEST(CodeTable, EmptyCodeIsIndexZeroWhateverComesFirst)
{
    CodeTable table("airline");
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(table.intern("KLM"), 1);
    EXPECT_EQ(table.intern(""), 0);
    EXPECT_EQ(table.intern("DLH"), 2);
    EXPECT_EQ(table.intern("KLM"), 1);
    EXPECT_EQ(table.text(2), "DLH");
    EXPECT_EQ(table.text(3), "") << "an index outside the table has no code";
    EXPECT_EQ(table.size(), 3u);
}

TEST(CodeTable, ComparesBytesExactly)
{
    CodeTable table("model");
    const auto upper = table.intern("B738");
    EXPECT_NE(table.intern("b738"), upper);
    EXPECT_NE(table.intern("B738 "), upper);
    EXPECT_EQ(table.find("B738"), upper);
    EXPECT_FALSE(table.find("B739").has_value());
    EXPECT_EQ(table.find(""), 0);
}

TEST(CodeTable, CodeTextsStayPutWhileTheTableGrows)
{
    CodeTable table("model");
    table.intern("A320");
    const std::string_view early = table.text(1);
    const char* const where = early.data();
    for (int i = 0; i < 20'000; ++i) table.intern(fmt::format("X{}", i));
    EXPECT_EQ(table.text(1).data(), where);
    EXPECT_EQ(early, "A320");
    EXPECT_EQ(table.text(20'001), "X19999");
}

using CodeTableOverflow = test::LoggedTempDirTest;

TEST_F(CodeTableOverflow, FullTableRefusesWithOneNoticeAndIndexZero)
{
    CodeTable table("airline");
    for (std::size_t i = 1; i < CodeTable::kCapacity; ++i) {
        ASSERT_EQ(table.intern(fmt::format("C{}", i)), i);
    }
    EXPECT_EQ(table.text(65535), "C65535");

    EXPECT_EQ(table.intern("ONE_TOO_MANY"), 0) << "no wrap-around to a used index";
    EXPECT_EQ(table.intern("TWO_TOO_MANY"), 0);
    EXPECT_EQ(table.refusedCount(), 2u);
    EXPECT_EQ(table.size(), CodeTable::kCapacity);
    EXPECT_FALSE(table.find("ONE_TOO_MANY").has_value());
    EXPECT_EQ(table.intern("C65535"), 65535) << "known codes keep working";

    const std::string text = log();
    const std::string_view notice = "==> airline code table is full";
    const auto first = text.find(notice);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find("'ONE_TOO_MANY'"), std::string::npos);
    EXPECT_EQ(text.find("code table is full", first + notice.size()), std::string::npos) << "only one notice";
}

TEST(CodeTable, ConcurrentInterningGivesEveryCodeOneIndex)
{
    CodeTable table("model");
    constexpr int kThreads = 8;
    constexpr int kCodes = 3000;
    std::vector<std::map<std::string, std::uint16_t>> seen(kThreads);
    std::atomic<bool> go{false};
    std::atomic<int> badTexts{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            // Every thread walks the same codes from its own starting point, so
            // several threads race to add each code, while texts are read back.
            for (int k = 0; k < kCodes; ++k) {
                const std::string code = fmt::format("M{}", (k + t * 397) % kCodes);
                const std::uint16_t index = table.intern(code);
                seen[t][code] = index;
                if (table.text(index) != code) badTexts.fetch_add(1);
                table.find(fmt::format("M{}", k));
            }
        });
    }
    go = true;
    for (auto& th : threads) th.join();

    EXPECT_EQ(badTexts.load(), 0);
    EXPECT_EQ(table.size(), static_cast<std::size_t>(kCodes) + 1);
    std::vector<bool> used(kCodes + 1, false);
    for (const auto& [code, index] : seen[0]) {
        ASSERT_GE(index, 1);
        ASSERT_LE(index, kCodes);
        EXPECT_FALSE(used[index]) << "index " << index << " given twice";
        used[index] = true;
        for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t].at(code), index) << code;
    }
}

TEST(CodeTable, ProcessWideTablesStartWithTheEmptyCode)
{
    EXPECT_EQ(gf_airlineCodeTable().intern(""), 0);
    EXPECT_EQ(gf_modelCodeTable().intern(""), 0);
    const auto index = gf_airlineCodeTable().intern("CODETABLE_TEST");
    EXPECT_EQ(gf_airlineCodeText(index), "CODETABLE_TEST");
}

} // namespace
} // namespace zelk
