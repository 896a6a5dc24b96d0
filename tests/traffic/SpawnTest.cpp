#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "airports/ParkAirports.h"
#include "simlink/PoseTable.h"
#include "traffic/FlightPlanFiles.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/TrafficPassDriver.h"
#include "traffic/TrafficStateTestSupport.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

std::string golden(const std::string& name)
{
    const char* dir = std::getenv("ZELK_TEST_DATA");
    const fs::path base = dir != nullptr ? fs::path(dir) : fs::path(__FILE__).parent_path().parent_path() / "data";
    return test::readAll(base / "traffic" / name);
}

class Spawn : public test::TrafficPassTest {
protected:
    void TearDown() override
    {
        gf_setCurrentParkAirport(IcaoCode{}, 0.0, 0.0);
        test::TrafficPassTest::TearDown();
    }

    // EDDF with stand A12 (id 1) and its neighbour A13 (id 2), which exclude each other.
    void parkAirport(double lat = 50.0, double lon = 8.5)
    {
        gf_setCurrentParkAirport(IcaoCode("EDDF"), lat, lon);
        ParkPos a12 = test::makeStand(1, "A12", lat, lon);
        a12.adjacent = {2};
        a12.hasParkingType = 1;
        ParkPos a13 = test::makeStand(2, "A13", lat + 0.0004, lon);
        a13.adjacent = {1};
        a13.hasParkingType = 1;
        test::installStands({a12, a13});
    }

    // An aircraft standing at the position, due now.
    LiveAc& standing(std::uint32_t hexId, std::string callsign, std::string reg, double lat = 50.0, double lon = 8.5,
                     double speed = 0.0)
    {
        const std::int32_t t = gf_engineTick();
        return addLive(hexId, std::move(callsign), std::move(reg),
                       {sample(lat, lon, 0.0, speed, t), sample(lat, lon, 0.0, speed, t + 500)});
    }

    // Parked DLH9 (hex id 5) shown at A12 as object 103.
    void parkedAtA12()
    {
        parkAirport();
        port.setFirstObjectId(103);
        StaticAc parked = test::makeAircraft("DLH9", "D-AIXA");
        parked.hexId = 5;
        parked.simState = SimState::adding2sim;
        parked.placeAtStand(gf_stands()[0]);
        gf_staticAircraft().push_back(parked);
        gf_staticCreateQueue().push_back(AiCreateCommand{{50.0, 8.5, 364, 0, 0, 0, 1, 0}, "D-AIXA", "A320 DLH", 5});
        for (int n = 0; n < 600 && this->parked(5)->simState != SimState::active; ++n)
            pass();
    }

    void settings(const std::function<void(SettingsSnapshot&)>& change) { gf_updateSettings(change); }

    int passesUntilActive(std::uint32_t hexId, int limit)
    {
        int n = 0;
        while (live(hexId)->simState != SimState::active && n < limit) {
            pass();
            ++n;
        }
        return n;
    }
};

TEST_F(Spawn, OneAircraftIsShownWhenDueAndLeavesWhenBlocked)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    settings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    const std::int32_t due = gf_engineTick() + 5;
    addLive(0x3C6444, "DLH4AB", "D-AIXA",
            {sample(50.0, 8.0, 12000, 300, due), sample(50.05, 8.0, 12000, 300, due + 500)});
    passes(5);
    EXPECT_EQ(live(0x3C6444)->simState, SimState::buffer) << "not before its first sample is due";
    pass();
    EXPECT_EQ(live(0x3C6444)->simState, SimState::adding2sim);
    pass(); // the simulator answers the create
    ASSERT_EQ(port.createdObjects().size(), 1u);
    const auto created = port.createdObjects()[0];
    EXPECT_EQ(created.command.title, "Airbus A320 Lufthansa D-AIXA");
    EXPECT_EQ(created.command.tailNumber, "D-AIXA");
    EXPECT_EQ(live(0x3C6444)->phase, FlightPhase::flying);
    const int toActive = passesUntilActive(0x3C6444, 300);
    EXPECT_GE(toActive, 200);
    EXPECT_LE(toActive, 203);

    const std::uint32_t id = created.objectId;
    live(0x3C6444)->flightPlanQueued = 1;
    const auto planFolder = gf_flightPlanFolder();
    ASSERT_TRUE(planFolder && gf_ensureFlightPlanFolder(*planFolder));
    const fs::path plan = *planFolder / gf_flightPlanFile(id);
    ASSERT_TRUE(gf_writeFlightPlan(plan, *live(0x3C6444)));
    gf_parkedLightStack().push_back({0x3C6444, gf_engineTick() + 1000, 2});
    ASSERT_EQ(gf_followUpList().size(), 1u);

    gf_writeObjectIdListTo(file("ids2020.txt"));
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    gf_writeObjectIdListTo(file("ids2024.txt"));
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    EXPECT_EQ(test::readAll(file("ids2020.txt")), golden("ObjectIdList_2020.txt"));
    EXPECT_EQ(test::readAll(file("ids2024.txt")), golden("ObjectIdList_2024.txt"));

    settings([](SettingsSnapshot& s) { s.blocked.BLOCK_CALLSIGN = "DLH4AB"; });
    gf_removeBlockedAc();
    passes(3);
    EXPECT_TRUE(port.object(id)->removed);
    EXPECT_EQ(live(0x3C6444), nullptr) << "ObjectRemoved erased the record";
    EXPECT_TRUE(gf_followUpList().empty());
    EXPECT_TRUE(gf_parkedLightStack().empty());
    EXPECT_FALSE(fs::exists(plan));
    gf_writeObjectIdListTo(file("ids2020.txt"));
    EXPECT_EQ(test::readAll(file("ids2020.txt")), golden("ObjectIdList_empty.txt"));
}

TEST_F(Spawn, LiveAircraftTakesOverItsParkedObjectOrTheParkedOneMakesWay)
{
    parkedAtA12();
    ASSERT_EQ(this->parked(5)->objectId, 103u);
    ASSERT_TRUE(client->isParkedObject(103));

    standing(0x3C6444, "DLH4AB", "D-AIXA");
    pass();
    LiveAc* ac = live(0x3C6444);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->objectId, 103u);
    EXPECT_EQ(ac->simState, SimState::active);
    EXPECT_EQ(ac->promoted, 1);
    EXPECT_EQ(this->parked(5), nullptr);
    EXPECT_EQ(gf_promotionCount(), 1u);
    EXPECT_FALSE(client->isParkedObject(103)) << "the link reports it like a live object";
    passes(2);
    EXPECT_EQ(port.createdObjects().size(), 1u);
    EXPECT_TRUE(port.removeCalls().empty());
    EXPECT_NE(log().find("A12           : DLH9     D-AIXA promoted to live DLH4AB D-AIXA"), std::string::npos);

    // A parked object id below 3 is no object to take over.
    titles.push_back("Airbus A320 Lufthansa D-AIXB");
    StaticAc other = test::makeAircraft("DLH7", "D-AIXB");
    other.hexId = 6;
    other.simState = SimState::active;
    other.objectId = 2;
    other.placeAtStand(gf_stands()[1]);
    gf_staticAircraft().push_back(other);
    standing(0x3C6445, "DLH5", "D-AIXB", 50.0004, 8.5).proximityRadius = 0.0;
    live(0x3C6444)->proximityRadius = 0.0;
    pass();
    EXPECT_EQ(this->parked(6)->simState, SimState::removingfromsim);
    EXPECT_EQ(live(0x3C6445)->simState, SimState::adding2sim);
    EXPECT_NE(log().find("A13           : DLH7     D-AIXB makes way for the same live version DLH5 D-AIXB"),
              std::string::npos);
}

TEST_F(Spawn, PromotedAircraftPushesBackWithItsObject)
{
    parkedAtA12();
    standing(0x3C6444, "DLH4AB", "D-AIXA");
    pass();
    ASSERT_EQ(live(0x3C6444)->objectId, 103u);
    live(0x3C6444)->onGround = 1; // the ground-traffic step the stand-in records instead of running
    passes(510); // both its samples at the stand are due
    ASSERT_EQ(live(0x3C6444)->phase, FlightPhase::parked);
    const LatLon behind = gf_destinationPoint({50.0, 8.5}, kFullCircle / 2.0, 250.0 / 0.3048);
    const TrafficRecordHead head = live(0x3C6444)->head;
    EXPECT_TRUE(report(0x3C6444, head, sample(behind.latitude, behind.longitude, 0, 5, gf_engineTick() + 100), 1.0));
    LiveAc* ac = live(0x3C6444);
    EXPECT_EQ(ac->groundOps.departureStarted, 1);
    EXPECT_EQ(ac->groundOps.departureMode, 0) << "pushback";
    EXPECT_DOUBLE_EQ(ac->stream.back().latitude, behind.latitude);
    // The motion re-times the leg to a plausible speed before it starts the pushback.
    for (int n = 0; n < 4000 && live(0x3C6444)->pose.latitude > 50.0 - 1e-5; ++n)
        pass();
    ac = live(0x3C6444);
    EXPECT_EQ(ac->objectId, 103u);
    EXPECT_EQ(lastPassPoses, 1u);
    EXPECT_EQ(ac->phase, FlightPhase::pushing_back);
    EXPECT_LT(gf_poseTable().samples(103).back().pose.latitude, 50.0 - 1e-5) << "moved back from the stand";
    EXPECT_EQ(port.createdObjects().size(), 1u) << "the same object";
}

TEST_F(Spawn, GhostsGiveWayToTheRealCallsign)
{
    settings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    const std::int32_t t = gf_engineTick();
    auto airborne = [&](std::uint32_t hex, std::string cs) {
        LiveAc& ac = addLive(hex, std::move(cs), "HB-JLT", {sample(47, 8, 9000, 250, t), sample(47.1, 8, 9000, 250, t + 500)});
        return ac.hexId;
    };
    LiveAc& real = live(airborne(0x100001, "ABC12"))[0];
    real.simState = SimState::active;
    real.objectId = 40;
    airborne(0x100002, "ABC12_");
    pass();
    EXPECT_EQ(live(0x100002), nullptr) << "the ghost of a live aircraft is not shown";

    gf_liveAircraft().clear();
    LiveAc& ghost = live(airborne(0x100003, "ABC12_"))[0];
    ghost.simState = SimState::active;
    ghost.objectId = 41;
    airborne(0x100004, "ABC12");
    pass();
    EXPECT_EQ(live(0x100003)->simState, SimState::removingfromsim);
    EXPECT_EQ(gf_spawnTexts(), std::vector<std::string>{"ABC12_"});
    EXPECT_NE(log().find("          ABC12_   is a ghost and will be removed, continue with ABC12"), std::string::npos);
    airborne(0x100005, "ABC12_");
    pass();
    EXPECT_EQ(live(0x100005), nullptr) << "a ghost callsign once removed stays out";
}

TEST_F(Spawn, SpawnRules)
{
    struct Case {
        const char* name;
        std::int32_t maxLive;
        double altitudeFt;     // of every sample; 0 = on the ground
        double speedKt;        // of the last sample
        std::size_t queuedCreates;
        bool nearerActive;     // an active aircraft nearer to the user exists
        bool erased;
        std::size_t streamLeft;
        SimState state;
    };
    const Case cases[] = {
        {"no live aircraft wanted", 0, 5000, 250, 0, false, true, 3, SimState::buffer},
        {"500 is no limit", 500, 5000, 250, 0, true, false, 3, SimState::adding2sim},
        {"limit reached, furthest", 1, 5000, 250, 0, true, true, 3, SimState::buffer},
        {"limit not reached", 2, 5000, 250, 0, true, false, 3, SimState::adding2sim},
        {"700 ft above the park airport", 500, 700, 250, 0, false, false, 2, SimState::buffer},
        {"701 ft", 500, 701, 250, 0, false, false, 3, SimState::adding2sim},
        {"30.5 kt without a stand", 500, 0, 30.5, 0, false, false, 2, SimState::buffer},
        {"30 kt taxis", 500, 0, 30, 0, false, false, 3, SimState::adding2sim},
        {"10 creates queued", 500, 5000, 250, 10, false, false, 3, SimState::adding2sim},
        {"11 creates queued", 500, 5000, 250, 11, false, false, 2, SimState::buffer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_resetTrafficState();
        gf_liveCreateQueue().assign(c.queuedCreates, AiCreateCommand{});
        gf_setCurrentParkAirport(IcaoCode("LSZH"), 47.0, 8.0);
        settings([&](SettingsSnapshot& s) {
            s.MAX_LIVE_SEL = c.maxLive;
            s.COLLISION_USER_AIR = false;
        });
        if (c.nearerActive) {
            LiveAc& near = addLive(0x200001, "NEAR1", "D-AIXB", {sample(10.1, 10, 5000, 250, 0)});
            near.simState = SimState::active;
            near.objectId = 50;
            near.pose.latitude = 10.1;
            near.pose.longitude = 10.0;
        }
        const std::int32_t t = gf_engineTick();
        addLive(0x200002, "SWR8", "HB-JLT",
                {sample(47, 8, c.altitudeFt, 10, t), sample(47, 8.0001, c.altitudeFt, 10, t + 500),
                 sample(47, 8.0002, c.altitudeFt, c.speedKt, t + 1000)});
        lf_trySpawnLive(*live(0x200002));
        const LiveAc& ac = *live(0x200002);
        EXPECT_EQ(ac.erase != 0, c.erased);
        EXPECT_EQ(ac.stream.size(), c.streamLeft);
        EXPECT_EQ(ac.simState, c.state);
    }
}

TEST_F(Spawn, StandChoice)
{
    struct Case {
        const char* name;
        double lat, lon;        // of the aircraft
        double speedKt;         // of its samples
        double lastOffsetDeg;   // the last sample's latitude offset
        const char* userStand;  // the user's stand at the park airport
        const char* holder;     // callsign of a live aircraft parked on A12 ("" none)
        bool adjacentHolder;    // a live aircraft parked on A13 overlaps
        const char* stand;      // chosen ("" none)
        bool erased;
    };
    const Case cases[] = {
        {"on the stand", 50.0, 8.5, 0, 0, "", "", false, "A12", false},
        {"beyond 5 NM", 50.085, 8.5, 0, 0, "", "", false, "", false},
        {"6.5 kt", 50.0, 8.5, 6.5, 0, "", "", false, "", false},
        {"last sample 40 m away", 50.0, 8.5, 0, 0.00036, "", "", false, "", false},
        {"the user's stand", 50.0, 8.5, 0, 0, "A12", "", false, "", false},
        {"adjacent stand taken", 50.0, 8.5, 0, 0, "", "", true, "", true},
        {"holder with the same callsign", 50.0, 8.5, 0, 0, "", "DLH4AB", false, "", true},
        {"claimant one character longer", 50.0, 8.5, 0, 0, "", "DLH4A", false, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_resetTrafficState();
        parkAirport();
        const std::string userStand = c.userStand;
        gf_updateTrafficStateHooks([&](TrafficStateHooks& h) {
            h.currentParkAirportStand = [userStand]() -> std::optional<std::string> { return userStand; };
        });
        if (*c.holder != '\0' || c.adjacentHolder) {
            LiveAc& holder = standing(0x300001, *c.holder != '\0' ? c.holder : "KLM1", "PH-BXA");
            holder.phase = FlightPhase::parked;
            holder.simState = SimState::active;
            holder.objectId = 60;
            holder.standId = c.adjacentHolder ? 2 : 1;
        }
        const std::int32_t t = gf_engineTick();
        LiveAc& ac = addLive(0x300002, "DLH4AB", "D-AIXA",
                             {sample(c.lat, c.lon, 0, c.speedKt, t), sample(c.lat, c.lon, 0, c.speedKt, t + 500),
                              sample(c.lat + c.lastOffsetDeg, c.lon, 0, c.speedKt, t + 1000)});
        const auto stand = lf_chooseSpawnStand(ac);
        EXPECT_EQ(stand ? stand->name : "", c.stand);
        EXPECT_EQ(live(0x300002)->erase != 0, c.erased);
        if (std::string(c.holder) == "DLH4AB") {
            EXPECT_EQ(live(0x300001)->simState, SimState::removingfromsim);
        }
        if (std::string(c.holder) == "DLH4A") {
            EXPECT_EQ(live(0x300001)->simState, SimState::active);
        }
    }
}

TEST_F(Spawn, TwoSampleStandingStreamWithoutAStandWaitsForItsNextSample)
{
    const std::int32_t t = gf_engineTick();
    PosSample second = sample(47.0, 8.0, 0, 3, t + 500);
    second.skip = 1;
    LiveAc& ac = addLive(0x3C6447, "SWR8", "HB-JLT", {sample(47.0, 8.0, 0, 3, t), second});
    spawnLiveAc(ac);
    ASSERT_EQ(ac.stream.size(), 1u) << "no stand: the standing front sample is dropped";
    EXPECT_EQ(ac.stream.front().groundSpeed, 0.0);
    EXPECT_EQ(ac.simState, SimState::buffer);
}

TEST_F(Spawn, ParkAirportAcrossTheDateLineIsNear)
{
    parkAirport(-17.0, 179.9999);
    gf_stands()[0].longitude = -179.9999;
    LiveAc& ac = standing(0x3C6446, "FJI1", "DQ-FJA", -17.0, -179.9999);
    const auto stand = lf_chooseSpawnStand(ac);
    ASSERT_TRUE(stand);
    EXPECT_EQ(stand->name, "A12");
}

} // namespace
} // namespace zelk
