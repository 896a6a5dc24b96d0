#include "traffic/FeedHooks.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Settings.h"

namespace zelk {
namespace {

// One recording reader per source; the parking places what it is handed.
class FeedHooksTest : public ::testing::Test {
protected:
    struct Reader {
        int restarts = 0;
        bool hasList = true;
        std::vector<ParkedTrafficRecord> list;
    };

    void SetUp() override
    {
        gf_updateFeedHooks([this](FeedHooks& h) {
            lf_install(h.app, app);
            lf_install(h.webApi, webApi);
            h.placeParkedTraffic = [this](std::vector<ParkedTrafficRecord>& list, std::uint32_t count) {
                for (const auto& r : list) placed.push_back(r.head.callsign);
                lastCount = count;
                return list.size();
            };
        });
    }
    void TearDown() override
    {
        gf_updateFeedHooks([](FeedHooks& h) { h = FeedHooks{}; });
        gf_updateSettings([](SettingsSnapshot& s) { s = SettingsSnapshot{}; });
        gf_storeProgramMode(ProgramMode{});
    }
    static void lf_install(FeedReaderHooks& hooks, Reader& reader)
    {
        hooks.restartIdCollection = [&reader] { ++reader.restarts; };
        hooks.withParkedList = [&reader](const ParkedListBody& body) {
            if (!reader.hasList) return false;
            body(reader.list);
            return true;
        };
    }
    static ParkedTrafficRecord lf_record(std::string callsign, std::int32_t age)
    {
        ParkedTrafficRecord r;
        r.head.callsign = std::move(callsign);
        r.slot = age;
        r.ageComputed = 1;
        return r;
    }
    static void lf_select(std::uint8_t source) { gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, source}); }

    Reader app;
    Reader webApi;
    std::vector<std::string> placed;
    std::uint32_t lastCount = 0;
};

TEST_F(FeedHooksTest, TheActiveSourcesReaderAnswersAndUnsetHooksDoNothing)
{
    const struct {
        std::uint8_t source;
        int appRestarts;
        int webApiRestarts;
    } cases[] = {{kTrafficSourceRtApp, 1, 0}, {kTrafficSourceRtDirect, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.source));
        app = {};
        webApi = {};
        lf_select(c.source);
        gf_clearFeedRecordTables();
        EXPECT_EQ(app.restarts, c.appRestarts);
        EXPECT_EQ(webApi.restarts, c.webApiRestarts);
    }
    gf_updateFeedHooks([](FeedHooks& h) { h = FeedHooks{}; });
    gf_clearFeedRecordTables();
    EXPECT_FALSE(gf_withFeedParkedList([](auto&) { ADD_FAILURE() << "no reader, no list"; }));
    EXPECT_EQ(gf_syncParkedList(5), 0u);
}

TEST_F(FeedHooksTest, SyncHandsTheRefreshedListToTheParkingOnlyForFeedParking)
{
    lf_select(kTrafficSourceRtApp);
    app.list = {lf_record("KLM3", 4), lf_record("KLM1", 1), lf_record("KLM1", 2)};
    EXPECT_EQ(gf_syncParkedList(7), 0u) << "parking uses its own statistics";
    EXPECT_TRUE(placed.empty());

    gf_updateSettings([](SettingsSnapshot& s) { s.RT_PARKTRAFFIC_ONLY = true; });
    EXPECT_EQ(gf_syncParkedList(7), 2u);
    EXPECT_EQ(placed, (std::vector<std::string>{"KLM1", "KLM3"})) << "youngest first, one per callsign";
    EXPECT_EQ(lastCount, 7u);

    placed.clear();
    app.hasList = false;
    EXPECT_EQ(gf_syncParkedList(7), 0u);
    EXPECT_TRUE(placed.empty());
}

} // namespace
} // namespace zelk
