#include "traffic/StandQueries.h"

#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "gui/Gui.h"
#include "traffic/TrafficStateTestSupport.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

using test::installStands;
using test::makeAircraft;
using test::makeStand;

class StandQueries : public test::TrafficStateTest {
protected:
    void SetUp() override
    {
        test::TrafficStateTest::SetUp();
        test::loadTrafficTestDbase();
        gf_setWantedStaticCount(-1);
    }
    void TearDown() override
    {
        gf_storeCurrentWeekSlot({});
        test::TrafficStateTest::TearDown();
    }
    void standsOfCount(std::size_t n)
    {
        std::vector<ParkPos> stands;
        for (std::size_t i = 1; i <= n; ++i)
            stands.push_back(makeStand(static_cast<std::uint32_t>(i), "S" + std::to_string(i)));
        installStands(std::move(stands));
    }
    // A1 and A2 exclude each other; B1 stands alone; C1 lists a missing stand.
    void threeGroups()
    {
        ParkPos a1 = makeStand(1, "A1");
        a1.adjacent = {2};
        ParkPos a2 = makeStand(2, "A2");
        a2.adjacent = {1};
        ParkPos b1 = makeStand(3, "B1");
        ParkPos c1 = makeStand(4, "C1");
        c1.adjacent = {0, 9, -2};
        installStands({a1, a2, b1, c1});
    }
};

TEST_F(StandQueries, WantedParkedCountFromPercentAndStandCount)
{
    struct Case {
        std::size_t stands;
        std::int32_t percent;
        std::int32_t maximum;
        std::int32_t wanted;
        std::uint32_t shownPercent;
    };
    const Case cases[] = {
        {3, 40, 100, 1, 33}, // few stands under 50 %: one
        {3, 50, 100, 2, 67}, // lround(1.5)
        {4, 40, 100, 2, 50}, // lround(1.6)
        {1, 10, 100, 1, 100},
        {0, 80, 100, 1, 0},  // no stands: 0 % shown
        {10, 100, 4, 4, 40}, // the maximum caps it
        {10, 0, 100, 0, 0},
        {20, 80, 0, 0, 0},   // no maximum: no parked aircraft
        {20, 80, -5, 0, 0},
        {20, -30, 10, 0, 0}, // never below zero
    };
    EXPECT_EQ(gf_wantedStaticCount(), -1) << "not computed yet";
    for (const Case& c : cases) {
        standsOfCount(c.stands);
        screen.clear();
        EXPECT_EQ(gf_updateWantedStaticCount({c.percent, c.maximum}), c.wanted) << c.stands << "/" << c.percent;
        EXPECT_EQ(gf_wantedStaticCount(), c.wanted);
        const auto posted = screenUpdates<gui_update::SetWantedStatic>();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].wanted, static_cast<std::uint32_t>(c.wanted));
        if (c.maximum > 0) {
            EXPECT_EQ(posted[0].percent, c.shownPercent) << c.stands << "/" << c.percent;
        }
    }
}

TEST_F(StandQueries, StandByNameAndAdjacency)
{
    threeGroups();
    ASSERT_NE(gf_standByName("A2"), nullptr);
    EXPECT_EQ(gf_standByName("A2")->id, 2u);
    EXPECT_EQ(gf_standByName("S9"), nullptr);
    gf_standNameMap()["ghost"] = 7;
    gf_standNameMap()["zero"] = 0;
    EXPECT_EQ(gf_standByName("ghost"), nullptr);
    EXPECT_EQ(gf_standByName("zero"), nullptr);

    EXPECT_TRUE(gf_isSameOrAdjacentStand(0, 0));
    EXPECT_FALSE(gf_isSameOrAdjacentStand(0, 5));
    EXPECT_TRUE(gf_isSameOrAdjacentStand(1, 2));
    EXPECT_TRUE(gf_isSameOrAdjacentStand(2, 1));
    EXPECT_FALSE(gf_isSameOrAdjacentStand(1, 3));
    EXPECT_FALSE(gf_isSameOrAdjacentStand(7, 1));

    gf_stands()[2].id = 5; // out of order: the third element no longer carries id 3
    EXPECT_EQ(gf_standByName("B1"), nullptr);
}

TEST_F(StandQueries, MarkingAStandUsedBlocksItsNeighbours)
{
    threeGroups();
    EXPECT_TRUE(gf_markStandUsed(1, 3));
    EXPECT_EQ(gf_stands()[0].used, 1);
    EXPECT_EQ(gf_stands()[1].blocked, 1);
    EXPECT_EQ(gf_stands()[2].blocked, 0);
    EXPECT_FALSE(gf_markStandUsed(1, 0)) << "already used";
    EXPECT_EQ(gf_stands()[0].blocked, 0) << "flags unchanged by the second try";
    EXPECT_FALSE(gf_markStandUsed(3, 3)) << "only two stands left unused";
    EXPECT_EQ(gf_stands()[2].used, 1) << "marked all the same";
    EXPECT_TRUE(gf_markStandUsed(4, 1)) << "missing neighbours are skipped";
    EXPECT_FALSE(gf_markStandUsed(0, 0));
    EXPECT_FALSE(gf_markStandUsed(5, 0));
}

TEST_F(StandQueries, UserStandBlockedWithItsNeighboursAndLogged)
{
    threeGroups();
    gf_blockUserStandForStatic("A2", "AMS");
    gf_blockUserStandForStatic("Z9", "AMS");
    EXPECT_EQ(gf_stands()[1].blocked, 1);
    EXPECT_EQ(gf_stands()[0].blocked, 1);
    EXPECT_EQ(gf_stands()[2].blocked, 0);
    const std::string text = log();
    EXPECT_NE(text.find("AMS user stand 'A2' blocked for static aircraft\n"), std::string::npos) << text;
    EXPECT_NE(text.find("A1 excluded by AMS user stand 'A2' blocked for static aircraft\n"), std::string::npos);
    EXPECT_EQ(text.find("Z9"), std::string::npos);
}

TEST_F(StandQueries, FlightOptionWindowStaysWithinTheDay)
{
    const LiveryKey key{gf_airlineCode2Index("KLM"), 0, gf_modelCode2Index("B738"), 0, 1};
    const StaticAc ac = makeAircraft("KLM1", "PH-BXA", key);
    ParkPos stand = makeStand(1, "D7");
    stand.options.emplace_back(key, "PH-BXA", "KLM1", HoursMask{}.set(47), 1, 2, 0, 1, 0);
    stand.options.emplace_back(key, "PH-BXA", "KLM1", HoursMask{}.set(10), 2, 3, 0, 1, 0);
    installStands({stand});

    EXPECT_TRUE(gf_standHasFlightOptionInWindow({3, 14}, 4, false, 1, ac));
    EXPECT_FALSE(gf_standHasFlightOptionInWindow({3, 14}, 3, false, 1, ac));
    EXPECT_FALSE(gf_standHasFlightOptionInWindow({3, 9}, 8, false, 1, ac)) << "slot 10 is later than now";
    EXPECT_FALSE(gf_standHasFlightOptionInWindow({3, 1}, 5, false, 1, ac))
        << "no wrap into slot 47 of the previous day";
    EXPECT_FALSE(gf_standHasFlightOptionInWindow({4, 14}, 4, false, 1, ac)) << "other weekday";
    EXPECT_TRUE(gf_standHasFlightOptionInWindow({4, 14}, 4, true, 1, ac)) << "any weekday";
    EXPECT_FALSE(gf_standHasFlightOptionInWindow({3, 14}, 4, false, 2, ac)) << "invalid stand";
    EXPECT_FALSE(gf_standHasFlightOptionInWindow({3, 60}, 0, false, 1, ac)) << "a slot past the day is no fault";
    EXPECT_TRUE(gf_standHasFlightOptionInWindow({2, 60}, 20, false, 1, ac));

    StaticAc other = ac;
    other.head.registration = "PH-BXB";
    EXPECT_FALSE(gf_standHasFlightOptionInWindow({3, 14}, 4, false, 1, other));
}

TEST_F(StandQueries, OptionMatchesRegistrationAndAircraftIdentity)
{
    const LiveryKey key{gf_airlineCode2Index("KLM"), gf_airlineCode2Index("DLH"), gf_modelCode2Index("B738"), 0, 1};
    const FlightOption option(key, "PH-BXA", "KLM1", {}, 1, 1, 0, 1, 0);
    StaticAc ac = makeAircraft("XYZ9", "PH-BXA", key);
    EXPECT_TRUE(gf_flightOptionMatches(ac, option)) << "callsign not compared";
    ac.head.key.valid = 0;
    EXPECT_TRUE(gf_flightOptionMatches(ac, option));
    for (auto change : {+[](LiveryKey& k) { k.airline = 0; }, +[](LiveryKey& k) { k.op = 0; },
                        +[](LiveryKey& k) { k.model = 0; }, +[](LiveryKey& k) { k.cargo = 1; }}) {
        StaticAc differs = makeAircraft("KLM1", "PH-BXA", key);
        change(differs.head.key);
        EXPECT_FALSE(gf_flightOptionMatches(differs, option));
    }
    ac.head.registration = "PH-BXa";
    EXPECT_FALSE(gf_flightOptionMatches(ac, option));
}

TEST_F(StandQueries, CountsParkedAircraftAndTheirAverageAgeAcrossTheWeekBoundary)
{
    gf_storeCurrentWeekSlot({1, 2}); // Monday 01:00
    auto parked = [](SimState state, WeekSlot since) {
        StaticAc ac;
        ac.simState = state;
        ac.weekSlot = since;
        return ac;
    };
    gf_staticAircraft() = {
        parked(SimState::active, {7, 46}),          // Sunday 23:00: 4 half-hours ago
        parked(SimState::removingfromsim, {1, 0}),  // 2 half-hours
        parked(SimState::active, {0, 0}),           // no week slot: counted, not aged
        parked(SimState::adding2sim, {1, 0}),       // not counted
        parked(SimState::buffer, {1, 0}),
    };
    EXPECT_EQ(gf_countStaticParked(false), 3);
    EXPECT_TRUE(screen.empty());
    EXPECT_EQ(gf_countStaticParked(true), 3);
    const auto fit = screenUpdates<gui_update::SetStaticFit>();
    ASSERT_EQ(fit.size(), 1u);
    EXPECT_FLOAT_EQ(fit[0].hours, 6.0f / 4.0f + 0.5f);

    gf_staticAircraft() = {parked(SimState::active, {0, 0})};
    screen.clear();
    EXPECT_EQ(gf_countStaticParked(true), 1);
    ASSERT_EQ(screenUpdates<gui_update::SetStaticFit>().size(), 1u);
    EXPECT_EQ(screenUpdates<gui_update::SetStaticFit>()[0].hours, 0.0f) << "no aged aircraft";
    screen.clear();
    gf_gui().setStaticFitReportingSuppressed(true);
    EXPECT_EQ(gf_countStaticParked(true), 1);
    gf_gui().setStaticFitReportingSuppressed(false);
    EXPECT_TRUE(screen.empty()) << "suppressed";
}

class StandNames : public StandQueries {
protected:
    void SetUp() override
    {
        StandQueries::SetUp();
        gf_updateTrafficStateHooks([this](TrafficStateHooks& h) {
            h.userOnGround = [this] { return onGround; };
            h.userAircraftPosition = [this] { return user; };
            h.currentParkAirportStand = [this] { return parkAirportStand; };
        });
        // Two stands 30 m apart along the meridian (1 m = 1/111120 degree).
        ParkPos e1 = makeStand(1, "E1", 52.0, 4.0);
        e1.adjacent = {2};
        ParkPos e2 = makeStand(2, "E2", 52.0 + 30.0 / 111120.0, 4.0);
        e2.adjacent = {1};
        ParkPos f1 = makeStand(3, "F1", 52.01, 4.0);
        installStands({e1, e2, f1});
        gf_publishStandNames();
    }
    static LatLon north(double metres) { return {52.0 + metres / 111120.0, 4.0}; }

    bool onGround = true;
    UserAcPosition user;
    std::optional<std::string> parkAirportStand;
};

TEST_F(StandNames, PublishedListFollowsTheStands)
{
    const auto names = gf_publishedStandNames();
    ASSERT_EQ(names->size(), 3u);
    EXPECT_EQ((*names)[1].name, "E2");
    EXPECT_DOUBLE_EQ((*names)[2].latitude, 52.01);
    installStands({});
    gf_publishStandNames();
    EXPECT_TRUE(gf_publishedStandNames()->empty());
    EXPECT_EQ(names->size(), 3u) << "a reader keeps the list it took";
}

TEST_F(StandNames, NearestStandWithinTwentyMetresOnTheGround)
{
    EXPECT_EQ(gf_standNameAtPosition(north(0)), "E1");
    EXPECT_EQ(gf_standNameAtPosition(north(19)), "E2") << "11 m from E2";
    EXPECT_EQ(gf_standNameAtPosition(north(-19.9)), "E1");
    EXPECT_EQ(gf_standNameAtPosition(north(-30)), std::nullopt);
    EXPECT_EQ(gf_standNameAtPosition(north(-20.1)), std::nullopt);
    onGround = false;
    EXPECT_EQ(gf_standNameAtPosition(north(0)), std::nullopt);
    onGround = true;

    // Equal distance goes to the earlier stand.
    const double tenMetres = 10.0 / 111120.0;
    installStands({makeStand(1, "W1", 0.0, tenMetres), makeStand(2, "W2", 0.0, -tenMetres)});
    gf_publishStandNames();
    EXPECT_EQ(gf_standNameAtPosition({0.0, 0.0}), "W1");
    installStands({makeStand(1, "W2", 0.0, -tenMetres), makeStand(2, "W1", 0.0, tenMetres)});
    gf_publishStandNames();
    EXPECT_EQ(gf_standNameAtPosition({0.0, 0.0}), "W2");
    installStands({});
    gf_publishStandNames();
    EXPECT_EQ(gf_standNameAtPosition({0.0, 0.0}), std::nullopt);
}

TEST_F(StandNames, CachedAnswerNearTheLastQuery)
{
    EXPECT_EQ(gf_standNameAtPosition(north(14)), "E1");
    EXPECT_EQ(gf_standNameAtPosition(north(18)), "E1") << "4 m from the last query: the cached answer";
    EXPECT_EQ(gf_standNameAtPosition(north(22)), "E2");
    std::optional<std::string> elsewhere;
    std::thread([&] { elsewhere = gf_standNameAtPosition(north(18)); }).join();
    EXPECT_EQ(elsewhere, "E2") << "each thread has its own cache";
    gf_publishStandNames();
    EXPECT_EQ(gf_standNameAtPosition(north(18)), "E2") << "a new list is scanned afresh";
}

TEST_F(StandNames, UserStandByParkAirportTextOrPosition)
{
    const StaticAc ac = makeAircraft("KLM1", "PH-BXA");
    const ParkPos& e1 = gf_stands()[0];
    const ParkPos& f1 = gf_stands()[2];
    user.latitude = 40.0; // nowhere near
    user.longitude = 4.0;
    EXPECT_FALSE(gf_isUserStand(e1, ac, false));
    parkAirportStand = "E2";
    EXPECT_TRUE(gf_isUserStand(e1, ac, false)) << "adjacent to the user's stand";
    EXPECT_FALSE(gf_isUserStand(f1, ac, false));
    parkAirportStand = std::nullopt;
    user.latitude = 52.01;
    EXPECT_TRUE(gf_isUserStand(f1, ac, false)) << "the stand at the user's position";
    onGround = false;
    EXPECT_FALSE(gf_isUserStand(f1, ac, false));
}

} // namespace
} // namespace zelk
