#include "traffic/TrafficState.h"

#include <atomic>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "traffic/LiveryBookkeeping.h"
#include "traffic/StandFit.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficStateTestSupport.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

using test::installStands;
using test::makeStand;

class TrafficStateContainers : public test::TrafficStateTest {
protected:
    void fillEverything()
    {
        gf_liveAircraft().resize(600);
        gf_staticAircraft().resize(300);
        gf_addingStack().assign(70, 0x484506);
        gf_liveCreateQueue().resize(5);
        gf_staticCreateQueue().resize(6);
        gf_removalQueue().assign(7, 42);
        SimResultLists& results = gf_simResultLists();
        for (int i = 0; i < 3; ++i) gf_postSimObjectResult(SimObjectResult{});
        results.processing.resize(4);
        results.delayed.resize(5);
        gf_newAircraftConfirmations()[0x484506] = {52.0, 4.0, 10.0, 1, 0};
        std::vector<ParkPos> stands;
        for (std::uint32_t id = 1; id <= 600; ++id) stands.push_back(makeStand(id, "S" + std::to_string(id)));
        installStands(std::move(stands));
        gf_publishStandNames();
        gf_staticWorkList().resize(9);
        gf_parkingRemovals().assign(3, {"S1", 1u});
        gf_liveStayers().assign(2, {"KLM1", "S1", 0, 1, 0});
        gf_spawnTexts().assign(4, "KLM1");
        gf_parkedLightStack().resize(30);
        gf_placedParkedCallsigns().insert("KLM1");
        gf_placedParkedHexIds().insert(0x484506);
        gf_loadedAirportFileName() = "EHAM.xml";
        gf_trafficFlags() = TrafficFlags{true, true, true};
        gf_sharedParkingTime().store(123456);
    }
    // The lists both the reset and the close-down empty.
    static void expectSharedListsEmpty()
    {
        EXPECT_TRUE(gf_liveAircraft().empty());
        EXPECT_TRUE(gf_staticAircraft().empty());
        EXPECT_TRUE(gf_addingStack().empty());
        std::vector<SimObjectResult> incoming;
        gf_takeSimObjectResults(incoming);
        EXPECT_TRUE(incoming.empty());
        EXPECT_TRUE(gf_simResultLists().processing.empty());
        EXPECT_TRUE(gf_simResultLists().delayed.empty());
        EXPECT_TRUE(gf_stands().empty());
        EXPECT_TRUE(gf_standNameMap().empty());
        EXPECT_TRUE(gf_publishedStandNames()->empty());
        EXPECT_TRUE(gf_staticWorkList().empty());
        EXPECT_TRUE(gf_parkingRemovals().empty());
        EXPECT_TRUE(gf_spawnTexts().empty());
        EXPECT_TRUE(gf_parkedLightStack().empty());
        EXPECT_FALSE(gf_trafficFlags().staticErasePending);
    }
};

TEST_F(TrafficStateContainers, ResetEmptiesAndReservesWithoutShrinking)
{
    fillEverything();
    gf_resetTrafficState();

    expectSharedListsEmpty();
    EXPECT_TRUE(gf_newAircraftConfirmations().empty());
    EXPECT_TRUE(gf_liveStayers().empty());

    EXPECT_GE(gf_liveAircraft().capacity(), 600u) << "the reserve never shrinks a larger list";
    EXPECT_GE(gf_staticAircraft().capacity(), 300u);
    EXPECT_GE(gf_stands().capacity(), 600u);

    // Left alone by the reset: what the close-down or the parking clears.
    EXPECT_EQ(gf_liveCreateQueue().size(), 5u);
    EXPECT_EQ(gf_removalQueue().size(), 7u);
    EXPECT_EQ(gf_placedParkedCallsigns().size(), 1u);
    EXPECT_EQ(gf_loadedAirportFileName(), "EHAM.xml");

    // Shrunk lists get their reserves back.
    gf_liveAircraft().shrink_to_fit();
    gf_stands().shrink_to_fit();
    gf_resetTrafficState();
    EXPECT_GE(gf_liveAircraft().capacity(), 512u);
    EXPECT_GE(gf_stands().capacity(), 512u);
}

TEST_F(TrafficStateContainers, ClearAllTrafficEmptiesKeepsCapacitiesAndResetsTheScreen)
{
    test::loadTrafficTestDbase();
    std::vector<std::string> calls;
    gf_updateTrafficStateHooks([&calls](TrafficStateHooks& h) {
        h.clearUserAirportAndStand = [&calls] { calls.push_back("user airport"); };
        h.resetParkedRequest = [&calls] { calls.push_back("parked request"); };
        h.resetMailbox = [&calls] { calls.push_back("mailbox"); };
        h.setQnh = [&calls](std::int32_t hPa) { calls.push_back("qnh " + std::to_string(hPa)); };
        h.userOnGround = [] { return true; };
    });
    fillEverything();
    const std::size_t liveCapacity = gf_liveAircraft().capacity();
    const std::size_t standCapacity = gf_stands().capacity();
    const std::size_t staticCapacity = gf_staticAircraft().capacity();
    const std::size_t workCapacity = gf_staticWorkList().capacity();
    gf_resetLearnedOptionsTotal();
    std::optional<std::uint32_t> learned;
    std::vector<FlightOption> options;
    gf_addFlightOption(options, learned, {}, {1, 1}, {"KLM1", "PH-ABC"}, 0);
    ASSERT_EQ(gf_learnedOptionsTotal(), 1u);
    const std::string title = "Refused livery";
    StaticAc refused;
    refused.liveryTitle = title;
    gf_liveryBookkeeping().remember(0x484506, title);
    gf_liveryBookkeeping().addUnmatched("KLM B738");
    gf_registerUncreatableLivery(refused);
    screen.clear();

    gf_clearAllTraffic();

    EXPECT_EQ(calls, (std::vector<std::string>{"user airport", "parked request", "mailbox", "qnh 1013"}));
    ASSERT_EQ(screen.size(), 4u);
    EXPECT_EQ(screen[0].kind(), GuiUpdateKind::SetLiveCount);
    EXPECT_EQ(screen[0].as<gui_update::SetLiveCount>()->count, 0u);
    EXPECT_EQ(screen[1].kind(), GuiUpdateKind::SetParkedCounts);
    EXPECT_EQ(screen[1].as<gui_update::SetParkedCounts>()->statics, 0u);
    EXPECT_EQ(screen[2].as<gui_update::Redraw>()->mask, kBandSettings);
    EXPECT_EQ(screen[3].as<gui_update::SetQnh>()->hPa, 1013u) << "shown until the next weather report";

    expectSharedListsEmpty();
    EXPECT_TRUE(gf_liveCreateQueue().empty());
    EXPECT_TRUE(gf_staticCreateQueue().empty());
    EXPECT_TRUE(gf_removalQueue().empty());
    EXPECT_EQ(gf_loadedAirportFileName(), "");
    EXPECT_FALSE(gf_trafficFlags().parkingSummaryPending);
    EXPECT_FALSE(gf_trafficFlags().followParkAirport);
    EXPECT_EQ(gf_sharedParkingTime().load(), 0);
    EXPECT_EQ(gf_learnedOptionsTotal(), 0u);
    EXPECT_EQ(gf_liveryBookkeeping().rememberedCount(), 0u);
    EXPECT_EQ(gf_liveryBookkeeping().unmatchedCount(), 0u);
    EXPECT_TRUE(gf_isUncreatableLivery(title)) << "refusals last for the process";

    EXPECT_EQ(gf_liveAircraft().capacity(), liveCapacity);
    EXPECT_EQ(gf_stands().capacity(), standCapacity);
    EXPECT_EQ(gf_staticAircraft().capacity(), staticCapacity);
    EXPECT_EQ(gf_staticWorkList().capacity(), workCapacity);

    EXPECT_EQ(gf_standNameAtPosition({52.0, 4.0}), std::nullopt);

    // Not the close-down's business: confirmations and the placed-parked tables.
    EXPECT_EQ(gf_newAircraftConfirmations().size(), 1u);
    EXPECT_EQ(gf_placedParkedHexIds().size(), 1u);
}

TEST_F(TrafficStateContainers, ClearsWithoutAnyComponentInstalledAndKeepBuffers)
{
    fillEverything();
    const std::size_t statics = gf_staticAircraft().capacity();
    const std::size_t work = gf_staticWorkList().capacity();
    EXPECT_NO_THROW(gf_clearAllTraffic());
    expectSharedListsEmpty();

    gf_staticAircraft().resize(40);
    gf_staticWorkList().resize(40);
    gf_clearStaticList();
    gf_clearStaticWorkList();
    EXPECT_TRUE(gf_staticAircraft().empty());
    EXPECT_TRUE(gf_staticWorkList().empty());
    EXPECT_EQ(gf_staticAircraft().capacity(), statics);
    EXPECT_EQ(gf_staticWorkList().capacity(), work);
}

TEST_F(TrafficStateContainers, ParkedTablesAreClearedAgainUnderTheReadersLock)
{
    std::vector<std::string> steps;
    gf_updateTrafficStateHooks([&steps](TrafficStateHooks& h) {
        h.clearParkedTables = [&steps](const std::function<void()>& underLock) {
            steps.push_back("lock");
            // What the reader placed between the first clear and its lock.
            gf_placedParkedCallsigns().insert("DLH1");
            gf_placedParkedHexIds().insert(7);
            underLock();
            steps.push_back(gf_placedParkedCallsigns().empty() && gf_placedParkedHexIds().empty() ? "cleared"
                                                                                                   : "left");
            steps.push_back("unlock");
        };
    });
    gf_placedParkedCallsigns().insert("KLM1");
    gf_placedParkedHexIds().insert(0x484506);
    gf_clearParkedTrafficTables();
    EXPECT_EQ(steps, (std::vector<std::string>{"lock", "cleared", "unlock"}));
    EXPECT_TRUE(gf_placedParkedCallsigns().empty());

    // A failing reader lock reaches the caller, after the first clear.
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) {
        h.clearParkedTables = [](const std::function<void()>&) {
            throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
        };
    });
    gf_placedParkedCallsigns().insert("KLM1");
    EXPECT_THROW(gf_clearParkedTrafficTables(), std::system_error);
    EXPECT_TRUE(gf_placedParkedCallsigns().empty());
}

// Readers on other threads ask for stand names while the worker republishes
// the list: every answer comes from one whole list.
TEST_F(TrafficStateContainers, StandNamesReadWhileRepublished)
{
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h.userOnGround = [] { return true; }; });
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::atomic<int> answered{0};
    // A whole list is out before any reader starts: a reader that runs through
    // its reads while the worker waits for the processor still has one to answer from.
    installStands({makeStand(1, "A", 52.0, 4.0), makeStand(2, "C", 52.001, 4.0)});
    gf_publishStandNames();
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            int i = 0;
            while ((!stop.load() || i < 1000) && i < 200000) {
                // Alternate between two spots so that the cache does not answer.
                const LatLon at = (i++ + t) % 2 == 0 ? LatLon{52.0, 4.0} : LatLon{52.001, 4.0};
                const auto name = gf_standNameAtPosition(at);
                if (name) {
                    ++answered;
                    if (*name != "A" && *name != "B" && *name != "C") ++wrong;
                }
            }
        });
    }
    for (int round = 0; round < 300; ++round) {
        const bool first = round % 2 == 0;
        installStands({makeStand(1, first ? "A" : "B", 52.0, 4.0), makeStand(2, "C", 52.001, 4.0)});
        gf_publishStandNames();
        if (round % 50 == 0) std::this_thread::yield();
    }
    stop.store(true);
    for (std::thread& r : readers) r.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(answered.load(), 0);
}

} // namespace
} // namespace zelk
