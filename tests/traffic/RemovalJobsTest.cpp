#include <random>

#include <gtest/gtest.h>

#include "core/Geometry.h"
#include "traffic/CollisionRules.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/TrafficPassDriver.h"

namespace zelk {
namespace {

class RemovalJobs : public test::TrafficPassTest {
protected:
    // A shown aircraft as the program made it. Two of one callsign need two
    // types: the program takes a second hex id under the same callsign and
    // type for the same flight and makes no second aircraft.
    LiveAc& active(std::uint32_t hexId, std::string callsign, double lat = 10.0, double lon = 10.0,
                   const char* model = "A320")
    {
        LiveAc& ac = addLive(hexId, std::move(callsign), "D-AIXA", {sample(lat, lon, 5000, 250, 0)}, model);
        ac.simState = SimState::active;
        ac.objectId = 100 + (hexId & 0xff);
        ac.pose.latitude = lat;
        ac.pose.longitude = lon;
        ac.pose.altitude = 5000.0;
        return ac;
    }

    std::vector<std::string> liveCallsigns() const
    {
        std::vector<std::string> out;
        for (const LiveAc& ac : gf_liveAircraft())
            out.push_back(ac.head.callsign);
        return out;
    }

    static bool removing(const LiveAc* ac) { return ac != nullptr && ac->simState == SimState::removingfromsim; }
};

TEST_F(RemovalJobs, ErasingARecordMovesTheLastIntoItsSlotAndForgetsItsEntries)
{
    active(0x100001, "A");
    active(0x100002, "B");
    active(0x100003, "C");
    gf_addingStack() = {0x100002, 0x100001};
    gf_followUpList() = {0x100002, 0x100003};
    gf_parkedLightStack() = {{0x100002, 0, 1}};
    SimObjectResult hexless;
    hexless.objectId = 102;
    gf_simResultLists().delayed = {result(SimResultKind::LiveCreated, 102, 0x100002), hexless,
                                   result(SimResultKind::LiveCreated, 103, 0x100003)};
    gf_eraseLiveAc(*live(0x100002));
    EXPECT_EQ(liveCallsigns(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(gf_addingStack(), std::vector<std::uint32_t>{0x100001});
    EXPECT_EQ(gf_followUpList(), std::list<std::uint32_t>{0x100003});
    EXPECT_TRUE(gf_parkedLightStack().empty());
    ASSERT_EQ(gf_simResultLists().delayed.size(), 1u);
    EXPECT_EQ(gf_simResultLists().delayed[0].hexId, 0x100003u);
    gf_eraseLiveAc(*live(0x100003));
    EXPECT_EQ(liveCallsigns(), std::vector<std::string>{"A"});
}

TEST_F(RemovalJobs, ErasingAParkedRecordMovesTheLastIntoItsSlot)
{
    for (std::uint32_t hex : {1u, 2u, 3u, 4u})
        gf_staticAircraft().push_back(makeStatic(hex, "P" + std::to_string(hex)));
    gf_followUpList() = {2, 3};
    const auto hexIds = [] {
        std::vector<std::uint32_t> out;
        for (const StaticAc& s : gf_staticAircraft())
            out.push_back(s.hexId);
        return out;
    };
    gf_eraseStaticAc(*parked(2));
    EXPECT_EQ(hexIds(), (std::vector<std::uint32_t>{1, 4, 3}));
    EXPECT_EQ(gf_followUpList(), std::list<std::uint32_t>{3});
    gf_eraseStaticAc(*parked(3)); // the last one
    EXPECT_EQ(hexIds(), (std::vector<std::uint32_t>{1, 4}));
    gf_eraseStaticAc(*parked(1));
    gf_eraseStaticAc(*parked(4));
    EXPECT_TRUE(gf_staticAircraft().empty());
}

TEST_F(RemovalJobs, QueuedParkedCreatesAreCancelledAndSentOnesRemovedAfterCreate)
{
    for (std::uint32_t hex : {1u, 2u, 3u}) {
        StaticAc st = makeStatic(hex, "P" + std::to_string(hex));
        gf_staticAircraft().push_back(st);
    }
    parked(3)->simState = SimState::active;
    parked(3)->objectId = 77;
    gf_staticCreateQueue().push_back(AiCreateCommand{{}, "", "", 1});
    gf_removeAllStatic();
    EXPECT_EQ(parked(1), nullptr) << "its create was still queued";
    EXPECT_TRUE(gf_staticCreateQueue().empty());
    EXPECT_EQ(parked(2)->removeAfterCreate, 1) << "its create had left";
    EXPECT_EQ(parked(3)->simState, SimState::removingfromsim);
    EXPECT_EQ(gf_removalQueue(), std::deque<std::uint32_t>{77});
}

TEST_F(RemovalJobs, ParkedCopiesOfLiveAircraftAndCategories)
{
    LiveAc& ac = active(0x100001, "KLM12");
    ac.head.registration = "PH-BXA";
    StaticAc twin = makeStatic(7, "OTHER");
    twin.simState = SimState::active;
    twin.objectId = 70;
    twin.spareWord = 0x100001; // made from the feed's parked record of this hex id
    twin.spareWord2 = 0;
    gf_staticAircraft().push_back(twin);
    lf_checkForStaticWithCallsignOrHexidAndRemove(*live(0x100001));
    EXPECT_EQ(parked(7)->simState, SimState::removingfromsim) << "same hex id although the callsigns differ";

    StaticAc heli = makeStatic(8, "HELI");
    heli.category = AcCategory::Rotorcraft;
    heli.simState = SimState::active;
    heli.objectId = 80;
    gf_staticAircraft().push_back(heli);
    StaticWorkItem heliItem;
    heliItem.key.model = gf_modelCode2Index("EC35");
    StaticWorkItem jetItem;
    jetItem.key.model = gf_modelCode2Index("B738");
    gf_staticWorkList() = {heliItem, jetItem};
    active(0x100002, "CHX1").category = AcCategory::Rotorcraft;
    gf_removeLiveAircraftCategory(AcCategory::Large);
    EXPECT_TRUE(removing(live(0x100001)));
    EXPECT_FALSE(removing(live(0x100002)));
    EXPECT_EQ(parked(8)->simState, SimState::active) << "another category touches only live aircraft";
    gf_removeStaticAircraftCategory();
    EXPECT_EQ(parked(8)->simState, SimState::removingfromsim);
    // One line for the helicopter: the category's, not also the plain removal's.
    const std::string text = log();
    const auto line = text.find("HELI");
    ASSERT_NE(line, std::string::npos);
    EXPECT_NE(text.find("removed because 'Rotorcraft' no longer included category", line), std::string::npos) << text;
    EXPECT_EQ(text.find("HELI", line + 1), std::string::npos) << text;
    ASSERT_EQ(gf_staticWorkList().size(), 1u);
    EXPECT_EQ(gf_staticWorkList()[0].key.model, jetItem.key.model);
}

TEST_F(RemovalJobs, BlockedAircraftOnePerCall)
{
    active(0x100001, "SWR1");
    active(0x100002, "SWR1", 10.0, 10.0, "B738");
    active(0x100003, "EZY9");
    gf_updateSettings([](SettingsSnapshot& s) {
        s.blocked.BLOCK_HEXIDDEC = 0x999999;
        s.blocked.BLOCK_CALLSIGN = "SWR1";
        s.blocked.BLOCK_REGCODE = "null";
    });
    gf_removeBlockedAc();
    EXPECT_TRUE(removing(live(0x100001))) << "an absent hex id does not stop the callsign";
    EXPECT_FALSE(removing(live(0x100002)));
    gf_removeBlockedAc();
    EXPECT_TRUE(removing(live(0x100002)));
    gf_removeBlockedAc();
    EXPECT_FALSE(removing(live(0x100003))) << "an unknown registration matches nobody";
}

TEST_F(RemovalJobs, CoverageAircraftBelowTheTcasLevel)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.TCAS_FL = 100; });
    struct Case {
        std::uint32_t hex;
        double altitude;
        std::uint8_t coverage;
        bool removed;
    } const cases[] = {{0x100001, 8999, 1, true}, {0x100002, 9001, 1, false}, {0x100003, 5000, 0, false}};
    for (const Case& c : cases) {
        active(c.hex, "C" + std::to_string(c.hex & 0xF)).coverage = c.coverage;
        live(c.hex)->pose.altitude = c.altitude;
        gf_liveryBookkeeping().remember(c.hex, "title");
    }
    gf_removeTCASCoverageAcs();
    for (const Case& c : cases) {
        EXPECT_EQ(removing(live(c.hex)), c.removed) << c.altitude;
        EXPECT_EQ(gf_liveryBookkeeping().rememberedTitle(c.hex).has_value(), !c.removed);
    }
}

TEST_F(RemovalJobs, FurthestLiveAircraft)
{
    EXPECT_TRUE(lf_isThisTheFurthestLive(-1.0)) << "none active";
    active(0x100001, "NEAR", 10.0 + 20.00 / 60.0, 10.0);
    active(0x100002, "FAR", 10.0 + 20.05 / 60.0, 10.0);
    EXPECT_FALSE(lf_isThisTheFurthestLive(19.0));
    EXPECT_TRUE(removing(live(0x100001))) << "the second is not 0.1 NM further";
    EXPECT_FALSE(removing(live(0x100002)));
}

TEST_F(RemovalJobs, ParkedLightCommands)
{
    LiveAc& ac = active(0x100001, "DLH1");
    ac.phase = FlightPhase::parked;
    ac.objectId = 101;
    active(0x100002, "DLH2").phase = FlightPhase::taxi;
    const std::int32_t now = gf_engineTick();
    gf_parkedLightStack() = {{0x100001, now, 2}, {0x100002, now, 1}, {0x100001, now + 1, 1}};
    gf_processParkedLightCommands();
    EXPECT_EQ(gf_parkedLightStack().size(), 3u) << "not yet due";
    EXPECT_TRUE(takeEvents().empty());
    gf_parkedLightStack().pop_back();
    gf_processParkedLightCommands();
    EXPECT_EQ(gf_parkedLightStack().size(), 1u);
    EXPECT_TRUE(takeEvents().empty()) << "the aircraft has left the parked phase";

    std::mt19937 expected(7);
    const std::uint32_t cabin = std::uniform_int_distribution<int>(0, 9)(expected) < 9 ? 1 : 0;
    gf_processParkedLightCommands();
    const auto events = takeEvents();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[kLightCabin], (AiClientEvent{101, CABIN_LIGHTS_SET, cabin}));
    EXPECT_EQ(events[kLightTaxi].value, 0u);
    EXPECT_EQ(events[kLightLogo].value, 1u);
}

TEST_F(RemovalJobs, GroundAircraftAheadOfALowUser)
{
    user = UserAcPosition{};
    user.latitude = 47.0;
    user.longitude = 8.0;
    user.heading = 0.0;
    user.altitudeAboveGround = 400.0;
    const double aheadFt = 0.5 * 6076.11549;
    for (const double offFt : {49.9, 51.0}) {
        LiveAc& ac = active(0x100001, "GND");
        const LatLon at = gf_destinationPoint(LatLon{47.0, 8.0}, std::atan2(offFt, aheadFt),
                                              std::hypot(offFt, aheadFt));
        ac.pose.latitude = at.latitude;
        ac.pose.longitude = at.longitude;
        EXPECT_EQ(checkUserAirGndCollision(ac), offFt < 50.0) << offFt;
        gf_liveAircraft().clear();
    }
}

} // namespace
} // namespace zelk
