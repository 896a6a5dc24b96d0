#include "traffic/LiveryBookkeeping.h"

#include <gtest/gtest.h>

#include "core/UserRelatedException.h"
#include "traffic/AircraftRecords.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

class LiveryBookkeepingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::loadTrafficTestDbase();
        // Titles are views into the livery table; keep them alive here.
        for (int i = 0; i < 25; ++i) titles.push_back("Livery " + std::to_string(i));
    }
    StaticAc refused(std::size_t title, std::string_view airline = "KLM", std::string_view model = "B738")
    {
        StaticAc ac;
        ac.head.callsign = "KLM" + std::to_string(title);
        ac.head.key.airline = gf_airlineCode2Index(airline);
        ac.head.key.model = gf_modelCode2Index(model);
        ac.liveryTitle = titles[title];
        return ac;
    }

    bool running = true;
    std::vector<std::string> messages;
    std::vector<std::string> log;
    std::vector<std::string> titles;
    LiveryBookkeeping books{{[this] { return running; }, [this](std::string m) { messages.push_back(std::move(m)); },
                             [this](std::string_view line) { log.emplace_back(line); }}};
};

TEST_F(LiveryBookkeepingTest, RefusalIsBookedAndShown)
{
    books.registerUncreatable(refused(3));
    EXPECT_TRUE(books.isUncreatable("Livery 3"));
    EXPECT_FALSE(books.isUncreatable("Livery 4"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "KLM3 'Livery 3' could not be created by your Sim!");
    EXPECT_EQ(books.uncreatableTypeList(), std::vector<std::string>{"  B738 KLM"});
    EXPECT_TRUE(log.empty());

    running = false;
    books.registerUncreatable(refused(1));
    EXPECT_TRUE(books.isUncreatable("Livery 1"));
    EXPECT_EQ(messages.size(), 1u) << "booked silently while stopping";
}

TEST_F(LiveryBookkeepingTest, Error81AtTheTwentiethDistinctTitle)
{
    for (std::size_t i = 0; i < 19; ++i) {
        ASSERT_NO_THROW(books.registerUncreatable(refused(i)));
        ASSERT_NO_THROW(books.registerUncreatable(refused(i))) << "a title refused twice counts once";
    }
    EXPECT_EQ(books.uncreatableCount(), 19u);
    EXPECT_TRUE(log.empty());
    try {
        books.registerUncreatable(refused(19, "DLH", "A320"));
        FAIL() << "no error 81";
    } catch (const UserRelatedException& e) {
        EXPECT_EQ(e.code(), 81);
        EXPECT_TRUE(std::string_view(e.what()).ends_with(
            "There are too many liveries that could not be created!, see Log.txt"))
            << e.what();
    }
    ASSERT_EQ(log.size(), 1u) << "one call of the log writer";
    EXPECT_EQ(log[0], "\n===> Error 81, There are too many liveries that could not be created!\n");
    EXPECT_TRUE(books.isUncreatable("Livery 19")) << "booked before the error";
    const auto types = books.uncreatableTypeList();
    EXPECT_NE(std::find(types.begin(), types.end(), "  A320 DLH"), types.end());
    EXPECT_THROW(books.registerUncreatable(refused(20)), UserRelatedException) << "every further refusal too";
}

TEST_F(LiveryBookkeepingTest, TypesWithoutCodesAndDuplicates)
{
    StaticAc unknown = refused(5);
    unknown.head.key = LiveryKey{60000, 0, 60000, 0, 0};
    books.registerUncreatable(unknown);
    books.registerUncreatable(refused(6));
    books.registerUncreatable(refused(7));
    auto types = books.uncreatableTypeList();
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::string>{"   ", "  B738 KLM"}));
}

TEST_F(LiveryBookkeepingTest, RememberedLiveryIsDroppedOnceRefused)
{
    books.remember(0x484506, titles[2]);
    books.remember(0x484507, titles[2]);
    books.remember(0x484508, titles[4]);
    EXPECT_EQ(books.rememberedTitle(0x484506), "Livery 2");
    books.registerUncreatable(refused(2));
    EXPECT_EQ(books.rememberedCount(), 3u) << "erased only when next looked up";
    EXPECT_EQ(books.rememberedTitle(0x484507), std::nullopt);
    EXPECT_EQ(books.rememberedCount(), 2u);
    EXPECT_EQ(books.rememberedTitle(0x484508), "Livery 4");
    EXPECT_TRUE(books.forgetRemembered(0x484508));
    EXPECT_FALSE(books.forgetRemembered(0x484508));
    EXPECT_EQ(books.rememberedTitle(0x999999), std::nullopt);
    books.clearRemembered();
    EXPECT_EQ(books.rememberedCount(), 0u);
    EXPECT_TRUE(books.isUncreatable("Livery 2")) << "refusals outlive the remembered liveries";
}

TEST_F(LiveryBookkeepingTest, UnmatchedAircraftReport)
{
    books.logUnmatched();
    EXPECT_TRUE(log.empty()) << "nothing at all for an empty set";
    books.addUnmatched("KLM     B738  PH-BXA");
    books.addUnmatched("KLM     B738  PH-BXA");
    books.addUnmatched("DLH     A320  D-AIZA");
    books.logUnmatched();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "\nNo match found for:");
    EXPECT_EQ(log[3], "");
    std::vector<std::string> rows{log[1], log[2]};
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::string>{"DLH     A320  D-AIZA", "KLM     B738  PH-BXA"}));
    books.logUnmatched();
    EXPECT_EQ(log.size(), 8u) << "reporting keeps the set";
    books.clearUnmatched();
    EXPECT_EQ(books.unmatchedCount(), 0u);
}

} // namespace
} // namespace zelk
