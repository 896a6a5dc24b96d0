#include "liveries/LiveryScanLists.h"

#include <string>
#include <utility>

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace zelk {
namespace {

// The set keeps titles of its own: the text a title was entered from is reused
// by the reader for the next section.
TEST(ScannedTitles, KeepsItsOwnCopyOfEachTitle)
{
    ScannedTitles titles;
    std::string buffer = "AIG Airbus A320 Lufthansa D-AIZA";
    EXPECT_TRUE(titles.add(buffer));
    buffer.replace(0, buffer.size(), "AIG Boeing 737 KLM Royal PH-BXA");
    EXPECT_TRUE(titles.contains("AIG Airbus A320 Lufthansa D-AIZA"));
    EXPECT_FALSE(titles.contains(buffer));
    EXPECT_TRUE(titles.add(buffer));
    EXPECT_FALSE(titles.add("AIG Airbus A320 Lufthansa D-AIZA"));
    EXPECT_FALSE(titles.add(std::string("AIG Boeing 737 KLM Royal PH-BXA")));
    EXPECT_EQ(titles.size(), 2u);
}

// Grown well past its first table, each title is still found once; titles that
// differ in one byte, in length or by an empty text are all their own.
TEST(ScannedTitles, GrowingKeepsEveryTitleOnce)
{
    ScannedTitles titles;
    titles.reserve(16);
    constexpr int kCount = 5'000;
    for (int i = 0; i < kCount; ++i) EXPECT_TRUE(titles.add(fmt::format("AIG A320 livery {}", i))) << i;
    EXPECT_TRUE(titles.add(""));
    EXPECT_FALSE(titles.add(""));
    for (int i = 0; i < kCount; ++i) {
        const std::string title = fmt::format("AIG A320 livery {}", i);
        ASSERT_TRUE(titles.contains(title)) << title;
        ASSERT_FALSE(titles.add(title)) << title;
    }
    EXPECT_FALSE(titles.contains("AIG A320 livery "));
    EXPECT_FALSE(titles.contains(fmt::format("AIG A320 livery {}", kCount)));
    EXPECT_EQ(titles.size(), static_cast<std::size_t>(kCount) + 1);
}

// Titles whose hashes collide (here: all given one hash) each keep a place
// of their own, past several growths of the table; a title is told apart
// from one that only shares its start.
TEST(ScannedTitles, TitlesOfOneHashAreToldApart)
{
    ScannedTitles titles;
    constexpr int kCount = 3'000;
    for (int i = 0; i < kCount; ++i) {
        const std::string title = fmt::format("AIG A320 livery {}", i);
        EXPECT_TRUE(titles.add(title, 7)) << title;
        titles.prefetch(7);
    }
    for (int i = 0; i < kCount; ++i) ASSERT_FALSE(titles.add(fmt::format("AIG A320 livery {}", i), 7)) << i;
    EXPECT_TRUE(titles.add("AIG A320 livery", 7));
    EXPECT_TRUE(titles.add("AIG A320 livery 1 ", 7));
    EXPECT_EQ(titles.size(), static_cast<std::size_t>(kCount) + 2);
    // A title entered with its own hash is found by both ways of asking.
    const std::string own = "AIG B738 KLM livery 4";
    EXPECT_TRUE(titles.add(own, ScannedTitles::hashOf(own)));
    EXPECT_TRUE(titles.contains(own));
    EXPECT_FALSE(titles.add(own));
}

TEST(ScannedTitles, ClearForgetsAndAMovedSetKeepsItsTitles)
{
    ScannedTitles titles;
    ASSERT_TRUE(titles.add("first scan"));
    titles.clear();
    EXPECT_EQ(titles.size(), 0u);
    EXPECT_FALSE(titles.contains("first scan"));
    EXPECT_TRUE(titles.add("first scan")) << "a second scan meets the title anew";

    ScannedTitles moved(std::move(titles));
    EXPECT_TRUE(moved.contains("first scan"));
    EXPECT_FALSE(moved.add("first scan"));
    titles.clear();
    EXPECT_TRUE(titles.add("after the move")) << "the set moved from takes titles again";
    EXPECT_TRUE(titles.contains("after the move"));
    EXPECT_FALSE(moved.contains("after the move"));
}

} // namespace
} // namespace zelk
