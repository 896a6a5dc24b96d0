#include "ground/Parking.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Random.h"
#include "core/Settings.h"
#include "ground/MovementReports.h"
#include "ground/ParkingHooks.h"
#include "ground/StandLearning.h"
#include "gui/ParkingControls.h"
#include "support/TestAirport.h"
#include "simlink/SimObjectResultQueue.h"
#include "traffic/FeedHooks.h"
#include "traffic/RecordErasure.h"
#include "traffic/SimObjectResults.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficStateTestSupport.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

LiveryKey keyOf(const char* airline, const char* model)
{
    return {gf_airlineCode2Index(airline), 0, gf_modelCode2Index(model), 0, 0};
}

class Parking : public test::TrafficStateTest {
protected:
    void SetUp() override
    {
        test::TrafficStateTest::SetUp();
        test::loadTrafficTestDbase();
        gf_staticCreateQueue().clear();
        gf_removalQueue().clear();
        test::installStands(test::testAirportStands());
        gf_parkingAirportLoaded(IcaoCode(test::TestAirport::kCode), test::TestAirport::kAltitudeFt);
        gf_storeCurrentWeekSlot({1, 20}); // Monday 10:00
        gf_threadRandomEngine().seed(7u);
        gf_updateSettings([](SettingsSnapshot& s) {
            s = SettingsSnapshot{};
            s.RANDOM = true;
            s.AUTO_PARK = false;
            s.MAX_FIT = 10;
            s.parking_percentage = 13; // 3 of 24 stands
        });
        ParkingHooks hooks;
        hooks.matchLiveryStatic = [](StaticAc& ac, const ParkPos&) {
            ac.liveryTitle = "Stand-in livery";
            return true;
        };
        gf_setParkingHooks(std::move(hooks));
    }
    void TearDown() override
    {
        gf_setParkingHooks({});
        gf_updateFeedHooks([](FeedHooks& h) { h = FeedHooks{}; });
        gf_leaveParkingAirport();
        gf_storeCurrentWeekSlot({});
        gf_updateSettings([](SettingsSnapshot& s) { s = SettingsSnapshot{}; });
        gf_setParkingGenerationShown(false);
        test::TrafficStateTest::TearDown();
    }
    static std::vector<std::string> workList()
    {
        std::vector<std::string> names;
        for (auto it = gf_staticWorkList().rbegin(); it != gf_staticWorkList().rend(); ++it)
            names.push_back(gf_stands()[static_cast<std::size_t>(it->standId) - 1].name + " " + it->callsign);
        return names;
    }
    static StaticAc& parkedAt(std::int32_t standId, const char* callsign, const char* model, SimState state,
                             double radiusM = 0.0)
    {
        const ParkPos& s = gf_stands()[static_cast<std::size_t>(standId) - 1];
        StaticAc ac = test::makeAircraft(callsign, "", keyOf("KLM", model));
        ac.hexId = 9000 + static_cast<std::uint32_t>(gf_staticAircraft().size());
        ac.sizeRadius = radiusM / 1852.0;
        ac.placeAtStand(s);
        ac.standId = standId;
        ac.simState = state;
        ac.objectId = 500 + ac.hexId;
        return gf_staticAircraft().emplace_back(std::move(ac));
    }
    static LiveAc& liveAt(std::int32_t standId, const char* callsign, FlightPhase phase, double radiusM = 20.0)
    {
        const ParkPos& s = gf_stands()[static_cast<std::size_t>(standId) - 1];
        LiveAc ac;
        ac.head.callsign = callsign;
        ac.hexId = 0x400000 + static_cast<std::uint32_t>(gf_liveAircraft().size());
        ac.standId = standId;
        ac.phase = phase;
        ac.simState = SimState::active;
        ac.objectId = 700 + static_cast<std::uint32_t>(gf_liveAircraft().size());
        ac.sizeRadius = radiusM / 1852.0;
        ac.pose.latitude = s.latitude;
        ac.pose.longitude = s.longitude;
        return gf_liveAircraft().emplace_back(std::move(ac));
    }
    static void queue(std::int32_t standId, const char* callsign, const char* model)
    {
        gf_staticWorkList().push_back({standId, keyOf("DLH", model), callsign, "D-TEST", {}, 0, 1});
    }
};

TEST_F(Parking, SummaryQueuesTheNearestFlightsInTimeAndPlacesThem)
{
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h.currentParkAirportStand = [] { return std::string("G4"); }; });
    gf_parkingSummary();
    // G1 and R1 stood here in this slot (tie, drawn), G5 four hours ago; G2 is G1's neighbour.
    EXPECT_EQ(workList(), (std::vector<std::string>{"G1 DLH400", "R1 ", "G5 KLM1234"}));
    EXPECT_EQ(gf_wantedStaticCount(), 3);
    EXPECT_TRUE(gf_isParkingGenerationShown());
    EXPECT_NE(log().find("Parking adjustments: 0 to be removed, 3 to be added"), std::string::npos);
    EXPECT_NE(log().find("user stand 'G4' blocked for static aircraft"), std::string::npos);

    for (int i = 0; i < 3; ++i) gf_placeNextStaticAircraft();
    ASSERT_EQ(gf_staticAircraft().size(), 3u);
    ASSERT_EQ(gf_staticCreateQueue().size(), 3u);
    const AiCreateCommand& g1 = gf_staticCreateQueue()[0];
    EXPECT_EQ(g1.hexId, 1u);
    EXPECT_EQ(g1.tailNumber, "D-ABVA");
    EXPECT_EQ(g1.title, "Stand-in livery");
    EXPECT_EQ(g1.position.onGround, 1u);
    EXPECT_NEAR(g1.position.altitude, test::TestAirport::kAltitudeFt + gf_staticAircraft()[0].groundOffset, 1e-9);
    EXPECT_EQ(gf_staticAircraft()[0].simState, SimState::adding2sim);
    EXPECT_EQ(gf_staticAircraft()[0].spareWord2, 1u);
    // Learned options are not learned again.
    EXPECT_EQ(gf_stands()[0].options.size(), 2u);
}

TEST_F(Parking, GenerationFollowsTheParkingSettings)
{
    struct Case {
        bool autoPark, week;
        std::vector<std::string> stands; // sorted
    } cases[] = {
        {true, false, {"C1", "G1", "G5", "R1"}}, // every observed flight; G2 is G1's neighbour
        {false, false, {"G1", "G5", "R1"}},      // within the last 11 half-hours of any weekday
        {false, true, {"G1"}},                   // and only Monday's
    };
    for (const Case& c : cases) {
        test::installStands(test::testAirportStands());
        gf_clearStaticWorkList();
        gf_updateSettings([&c](SettingsSnapshot& s) {
            s.AUTO_PARK = c.autoPark;
            s.WEEK = c.week;
            s.parking_percentage = 100;
        });
        gf_parkingSummary();
        std::vector<std::string> stands;
        for (const std::string& item : workList()) stands.push_back(item.substr(0, item.find(' ')));
        std::sort(stands.begin(), stands.end());
        EXPECT_EQ(stands, c.stands) << c.autoPark << c.week;
    }
    // Too many: the parked aircraft without a flight of its own here goes first.
    gf_clearStaticWorkList();
    StaticAc& own = parkedAt(1, "DLH400", "B77W", SimState::active);
    own.head.registration = "D-ABVA";
    own.head.key = keyOf("DLH", "B77W");
    parkedAt(7, "KLM77", "B738", SimState::active);
    gf_setWantedStaticCount(1);
    gf_adjustParking(false);
    EXPECT_EQ(gf_staticAircraft()[0].simState, SimState::active);
    EXPECT_EQ(gf_staticAircraft()[1].simState, SimState::removingfromsim);
    EXPECT_TRUE(gf_parkingRemovals().empty());
}

TEST_F(Parking, PlacementRefusals)
{
    parkedAt(1, "KLM1", "B77W", SimState::active, 40.0); // reaches a B77W at G2 (70 m away)
    liveAt(4, "LIVE4", FlightPhase::parked, 40.0);       // reaches one at G3
    liveAt(5, "TAXI5", FlightPhase::taxi);
    struct Case {
        std::int32_t standId;
        const char* line;
    } cases[] = {
        {1, "G1            : no static parking for DLH9, static aircraft KLM1 standing here"},
        {2, "G2            : no static parking for DLH9, static aircraft KLM1 is adjacent at G1, possibly colliding"},
        {4, "G4            : no static parking for DLH9, live aircraft LIVE4 standing here"},
        {3, "G3            : no static parking for DLH9, live aircraft LIVE4 is adjacent at G4, possibly colliding"},
        {5, "G5            : no static parking for DLH9, live aircraft occupies the stand"},
        {99, "stand with id 99 not found"},
    };
    for (const Case& c : cases) {
        queue(c.standId, "DLH9", c.standId == 5 ? "B738" : "B77W");
        gf_placeNextStaticAircraft();
        EXPECT_NE(log().find(c.line), std::string::npos) << c.line;
    }
    EXPECT_EQ(gf_staticAircraft().size(), 1u);
    EXPECT_TRUE(gf_staticCreateQueue().empty());
    gf_setParkingHooks({});
    queue(8, "DLH9", "B738");
    gf_placeNextStaticAircraft();
    EXPECT_NE(log().find("G8            : no static parking for DLH9, no livery matching installed"), std::string::npos);
    EXPECT_EQ(gf_staticAircraft().size(), 1u);
}

TEST_F(Parking, LimitRemovesOnePerExcessHoweverOftenCalled)
{
    gf_setWantedStaticCount(2);
    parkedAt(7, "A", "B738", SimState::active);
    parkedAt(8, "B", "B738", SimState::active);
    parkedAt(9, "C", "B738", SimState::adding2sim);
    gf_staticCreateQueue().push_back(AiCreateCommand{{}, "", "", gf_staticAircraft()[2].hexId});
    parkedAt(10, "D", "B738", SimState::active);
    for (int call = 0; call < 3; ++call) gf_limitParkedAircraft(0);
    const auto& st = gf_staticAircraft();
    EXPECT_EQ(st[0].simState, SimState::active);
    EXPECT_EQ(st[1].simState, SimState::active);
    EXPECT_EQ(st[2].createCancelled, 1); // the create never left
    EXPECT_EQ(st[3].simState, SimState::removingfromsim);
    EXPECT_EQ(gf_removalQueue().size(), 1u);
    // A live aircraft about to park counts too; nothing happens while unknown.
    gf_limitParkedAircraft(1);
    EXPECT_EQ(st[1].simState, SimState::removingfromsim);
    gf_setWantedStaticCount(-1);
    gf_limitParkedAircraft(5);
    EXPECT_EQ(st[0].simState, SimState::active);
}

TEST_F(Parking, FeedParkedTrafficInListOrder)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.RT_PARKTRAFFIC_ONLY = true; });
    const auto record = [](const char* callsign, std::uint32_t hexId, double north, double east, const char* stand) {
        ParkedTrafficRecord r;
        r.head.callsign = callsign;
        r.head.key = keyOf("KLM", "B738");
        r.hexId = hexId;
        const LatLon p = test::testAirportPoint(north, east);
        r.latitude = p.latitude;
        r.longitude = p.longitude;
        r.stand = stand;
        r.slot = 0; // reported this half-hour
        r.ageComputed = 1;
        return r;
    };
    std::vector<ParkedTrafficRecord> feed{record("KLM1", 0xA1, 400, -300, ""),   record("KLM1", 0xA2, 400, -120, ""),
                                          record("KLM3", 0xA3, 402, -300, ""),   record("KLM4", 0xA4, 0, 0, "G9"),
                                          record("KLM5", 0xA5, 400, -165, "X1")};
    test::installFeedParkedList(feed);
    gf_parkingSummary();
    // G5 taken by KLM1, its twin and KLM3 passed over; KLM4 by its stand text; KLM5 near G8.
    EXPECT_EQ(workList(), (std::vector<std::string>{"G5 KLM1", "G9 KLM4", "G8 KLM5"}));
    EXPECT_NE(log().find("RT Parking changes: 0 to be removed, 3 to be added"), std::string::npos);
    while (!gf_staticWorkList().empty()) gf_placeNextStaticAircraft();
    ASSERT_EQ(gf_staticAircraft().size(), 3u);
    EXPECT_EQ(gf_staticAircraft()[0].spareWord, 0xA1u);
    EXPECT_EQ(gf_staticAircraft()[0].spareWord2, 0u);
    for (StaticAc& s : gf_staticAircraft()) {
        s.simState = SimState::active;
        s.objectId = 100 + s.hexId;
    }
    // KLM4 has left the feed's list: it goes, nobody new comes.
    std::erase_if(feed, [](const ParkedTrafficRecord& r) { return r.head.callsign == "KLM4"; });
    gf_adjustParking(false);
    EXPECT_NE(log().find("RT Parking changes: 1 to be removed, 0 to be added"), std::string::npos);
    EXPECT_EQ(gf_staticAircraft()[1].simState, SimState::removingfromsim);
    EXPECT_EQ(gf_staticAircraft()[0].simState, SimState::active);
}

// A feed aircraft parked at its stand departs and is reported live under its
// flight's callsign with the same hex id: its parked copy goes, and the next
// adjustment does not park it again while it flies.
TEST_F(Parking, FeedParkedAircraftFlyingLiveIsNotPlacedAgain)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.RT_PARKTRAFFIC_ONLY = true; });
    ParkedTrafficRecord parkedKlm;
    parkedKlm.head.callsign = "KLM1605";
    parkedKlm.head.key = keyOf("KLM", "B738");
    parkedKlm.hexId = 0x484C56;
    parkedKlm.stand = "G9";
    parkedKlm.ageComputed = 1;
    std::vector<ParkedTrafficRecord> feed{parkedKlm};
    test::installFeedParkedList(feed);
    gf_parkingSummary();
    ASSERT_EQ(workList(), std::vector<std::string>{"G9 KLM1605"});
    gf_placeNextStaticAircraft();
    ASSERT_EQ(gf_staticAircraft().size(), 1u);
    // The simulator answers the create; the copy stands once its wait is over.
    const std::uint32_t objectId = 600;
    gf_postSimObjectResult({objectId, gf_staticAircraft()[0].hexId, 0, SimResultKind::StaticCreated, {}});
    for (int pass = 0; pass < 1000 && gf_staticAircraft()[0].simState != SimState::active; ++pass)
        gf_processSimObjectResults();
    ASSERT_EQ(gf_staticAircraft()[0].simState, SimState::active);

    LiveAc flying;
    flying.head.callsign = "KL1001";
    flying.hexId = parkedKlm.hexId;
    flying.phase = FlightPhase::taxi;
    flying.simState = SimState::active;
    flying.objectId = 701;
    gf_liveAircraft().push_back(std::move(flying));
    lf_checkForStaticWithCallsignOrHexidAndRemove(gf_liveAircraft()[0]);
    ASSERT_EQ(gf_staticAircraft()[0].simState, SimState::removingfromsim);
    gf_postSimObjectResult({objectId, 0, 0, SimResultKind::ObjectRemoved, {}});
    gf_processSimObjectResults();
    ASSERT_TRUE(gf_staticAircraft().empty());

    gf_adjustParking(false);
    EXPECT_TRUE(gf_staticWorkList().empty());
    EXPECT_NE(log().find("RT Parking changes: 0 to be removed, 0 to be added"), std::string::npos);
}

TEST_F(Parking, QueuedRemovalsAreWorkedBeforeTheWantedCountIsKnown)
{
    gf_setWantedStaticCount(-1);
    struct Case {
        bool switchedOn;
        bool queuedBefore;
        bool removed;
    };
    for (const Case& c : {Case{true, false, true}, Case{false, true, true}, Case{false, false, false}}) {
        gf_staticAircraft().clear();
        gf_parkingRemovals().clear();
        parkedAt(7, "KLM77", "B738", SimState::active);
        if (c.queuedBefore) gf_parkingRemovals().emplace_back("G7", 7u);
        gf_adjustParking(c.switchedOn);
        EXPECT_EQ(gf_staticAircraft()[0].simState == SimState::removingfromsim, c.removed)
            << c.switchedOn << c.queuedBefore;
        EXPECT_TRUE(gf_parkingRemovals().empty());
    }
}

TEST_F(Parking, NoFeedParkedListIsOneLine)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.RT_PARKTRAFFIC_ONLY = true; });
    gf_setWantedStaticCount(3);
    gf_adjustParking(false);
    const std::string text = log();
    const auto line = text.find("RT Parking: the feed has no parked traffic list");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(text.find("RT Parking: the feed has no parked traffic list", line + 1), std::string::npos);
    EXPECT_NE(text.find("RT Parking changes: 0 to be removed, 0 to be added"), std::string::npos);
}

TEST_F(Parking, StandUseLearnedAcrossMidnight)
{
    StaticAc ac = test::makeAircraft("EZY12_", "G-EZAA", keyOf("EZY", "A320"));
    gf_storeCurrentWeekSlot({1, 46}); // Monday 23:00
    gf_addRealStandOption(7, ac, static_cast<std::uint32_t>(StandOccasion::Placed));
    gf_addRealStandOption(7, ac, static_cast<std::uint32_t>(StandOccasion::IdentityChange)); // same callsign: no change
    ac.head.callsign = "EZY34";
    gf_addRealStandOption(7, ac, static_cast<std::uint32_t>(StandOccasion::IdentityChange));
    gf_storeCurrentWeekSlot({2, 1}); // Tuesday 00:30
    gf_addRealStandOption(7, ac, static_cast<std::uint32_t>(StandOccasion::Left));
    const auto& options = gf_stands()[6].options;
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options[0].weekday, 1u);
    EXPECT_EQ(options[0].hours.to_ullong(), (1ull << 46) | (1ull << 47));
    EXPECT_EQ(options[0].firstName, "EZY12");
    EXPECT_EQ(options[0].secondName, "EZY34");
    EXPECT_EQ(options[1].weekday, 2u);
    EXPECT_EQ(options[1].hours.to_ullong(), 0b11ull);
    // A stay within one day; no stand, no learning.
    StaticAc day = test::makeAircraft("BAW2", "G-EUPA", keyOf("BAW", "A320"));
    gf_storeCurrentWeekSlot({3, 10});
    gf_addRealStandOption(8, day, static_cast<std::uint32_t>(StandOccasion::Placed));
    gf_storeCurrentWeekSlot({3, 12});
    gf_addRealStandOption(8, day, static_cast<std::uint32_t>(StandOccasion::RemovedAway));
    EXPECT_EQ(gf_stands()[7].options.at(0).hours.to_ullong(), 0b111ull << 10);
    gf_addRealStandOption(0, day, 1);
    gf_addRealStandOption(25, day, 1);
    EXPECT_EQ(gf_stands()[7].options.size(), 1u);
}

TEST_F(Parking, ScheduledFlightWindowAndReportTexts)
{
    // KLM605 stands at G2 every day in slots 44..47.
    struct Case {
        std::uint32_t slot;
        AcCategory category;
        const char* callsign;
        bool match;
    } cases[] = {{34, AcCategory::Large, "KLM605", true},  {33, AcCategory::Large, "KLM605", false},
                 {30, AcCategory::Heavy, "KLM605_", true}, {29, AcCategory::Heavy, "KLM605", false},
                 {47, AcCategory::Large, "KLM606", false}};
    for (const Case& c : cases) {
        StaticAc ac = test::makeAircraft(c.callsign, "", keyOf("KLM", "B789"), c.category);
        EXPECT_EQ(gf_matchScheduledFlight(gf_stands(), {5, c.slot}, ac), c.match) << c.slot;
        EXPECT_EQ(ac.head.registration, c.match ? "PH-BHA" : "") << c.slot;
    }
    StaticAc ac = test::makeAircraft("KLM1", "", keyOf("KLM", "B738"));
    EXPECT_EQ(gf_airlineOperatorText(ac), "KLM");
    ac.head.key.op = gf_airlineCode2Index("DLH");
    EXPECT_EQ(gf_airlineOperatorText(ac), "KLM,DLH");
    ac.head.key.airline = 65000;
    EXPECT_EQ(gf_airlineOperatorText(ac), ",DLH");
    // Without a wanted count the adjustment leaves everything as it is.
    gf_setWantedStaticCount(-1);
    parkedAt(7, "KLM77", "B738", SimState::active);
    gf_adjustParking(false);
    EXPECT_EQ(gf_staticAircraft()[0].simState, SimState::active);
}

} // namespace
} // namespace zelk
