#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

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

    // EDDF with stand A12 (id 1) and its neighbour A13 (id 2), which exclude
    // each other unless told otherwise.
    void parkAirport(double lat = 50.0, double lon = 8.5, bool excluding = true)
    {
        gf_setCurrentParkAirport(IcaoCode("EDDF"), lat, lon);
        ParkPos a12 = test::makeStand(1, "A12", lat, lon);
        a12.hasParkingType = 1;
        ParkPos a13 = test::makeStand(2, "A13", lat + 0.0004, lon);
        a13.hasParkingType = 1;
        if (excluding) {
            a12.adjacent = {2};
            a13.adjacent = {1};
        }
        test::installStands({a12, a13});
    }

    // A report in the feed's batch of its second, seconds after the previous one.
    void report(std::uint32_t hexId, const std::string& callsign, const std::string& reg, const PosSample& s,
                double secondsOn)
    {
        reportTime += secondsOn;
        deliver({received(hexId, callsign, reg, "A320", s, reportTime)});
    }

    // An aircraft standing at the position, reported twice 16 s apart (closer
    // reports of an aircraft at rest add nothing). Returns the program's record
    // in the pass before its first report falls due.
    LiveAc& standing(std::uint32_t hexId, const std::string& callsign, const std::string& reg, double lat = 50.0,
                     double lon = 8.5)
    {
        const PosSample at = sample(lat, lon, 0.0, 0.0, 0);
        report(hexId, callsign, reg, at, 20.0);
        const std::int32_t due = gf_engineTick() + 3000;
        enginePasses(1600);
        report(hexId, callsign, reg, at, 16.0);
        enginePasses(due - gf_engineTick());
        return *live(hexId);
    }

    // The program's record of an aircraft standing at the position, its two
    // samples due now and 5 s on: the state a rule case starts from.
    LiveAc& standingNow(std::uint32_t hexId, const std::string& callsign, const std::string& reg, double lat = 50.0,
                        double lon = 8.5)
    {
        const std::int32_t t = gf_engineTick();
        return addLive(hexId, callsign, reg, {sample(lat, lon, 0.0, 0.0, t), sample(lat, lon, 0.0, 0.0, t + 500)});
    }

    // A learned option placed on the stand by the program, created by the
    // simulator as the given object.
    StaticAc& parkedAt(std::int32_t standId, const std::string& callsign, const std::string& reg,
                       std::uint32_t objectId)
    {
        port.setFirstObjectId(objectId);
        gf_staticWorkList().push_back({standId, {}, callsign, reg, "", 0, 1});
        enginePassesUntil(
            [&] {
                const StaticAc* st = parkedNamed(callsign);
                return st != nullptr && st->simState == SimState::active;
            },
            600);
        StaticAc* st = parkedNamed(callsign);
        if (st == nullptr)
            throw std::runtime_error("the program placed no " + callsign);
        return *st;
    }

    // Parked DLH9 shown at A12 as object 103; A13 beside it stays free for
    // parking (the program places nothing beside a stand that excludes it).
    StaticAc& parkedAtA12()
    {
        parkAirport(50.0, 8.5, false);
        return parkedAt(1, "DLH9", "D-AIXA", 103);
    }

    static StaticAc* parkedNamed(const std::string& callsign)
    {
        for (StaticAc& st : gf_staticAircraft())
            if (st.head.callsign == callsign)
                return &st;
        return nullptr;
    }

    void settings(const std::function<void(SettingsSnapshot&)>& change) { gf_updateSettings(change); }

    int passesUntilActive(std::uint32_t hexId, int limit)
    {
        return enginePassesUntil([&] { return live(hexId) == nullptr || live(hexId)->simState == SimState::active; },
                                 limit);
    }

    double reportTime = kFirstReportTime;
};

TEST_F(Spawn, OneAircraftIsShownWhenDueAndLeavesWhenBlocked)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    settings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    // Two reports 5 s apart; the first falls due 30 s after it came.
    report(0x3C6444, "DLH4AB", "D-AIXA", sample(50.0, 8.0, 12000, 300, 0), 0.0);
    const std::int32_t due = gf_engineTick() + 3000;
    enginePasses(500);
    report(0x3C6444, "DLH4AB", "D-AIXA", sample(50.007, 8.0, 12000, 300, 0), 5.0);
    ASSERT_EQ(gf_liveAircraft().size(), 1u);
    enginePasses(due - gf_engineTick());
    EXPECT_EQ(live(0x3C6444)->simState, SimState::buffer) << "not before its first sample is due";
    EXPECT_EQ(live(0x3C6444)->stream.size(), 2u);
    enginePass();
    EXPECT_EQ(live(0x3C6444)->simState, SimState::adding2sim);
    // The create goes out at the next create step (every 20 passes), the
    // simulator answers it in the frame after.
    const int toCreated = enginePassesUntil([&] { return !port.createdObjects().empty(); }, 100);
    EXPECT_LE(toCreated, 21);
    ASSERT_EQ(port.createdObjects().size(), 1u);
    const auto created = port.createdObjects()[0];
    EXPECT_EQ(created.command.title, "Airbus A320 Lufthansa D-AIXA");
    EXPECT_EQ(created.command.tailNumber, "D-AIXA");
    EXPECT_EQ(created.command.hexId, 0x3C6444u);
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
    // The removal goes out at the next removal step (every 10 passes).
    EXPECT_LE(enginePassesUntil([&] { return port.object(id)->removed && live(0x3C6444) == nullptr; }, 100), 12);
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
    const StaticAc& dlh9 = parkedAtA12();
    ASSERT_EQ(dlh9.objectId, 103u);
    const std::uint32_t parkedHex = dlh9.hexId;
    ASSERT_TRUE(client->isParkedObject(103));

    standing(0x3C6444, "DLH4AB", "D-AIXA");
    enginePass();
    LiveAc* ac = live(0x3C6444);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->objectId, 103u);
    EXPECT_EQ(ac->simState, SimState::active);
    EXPECT_EQ(ac->promoted, 1);
    EXPECT_EQ(this->parked(parkedHex), nullptr);
    EXPECT_EQ(gf_promotionCount(), 1u);
    EXPECT_FALSE(client->isParkedObject(103)) << "the link reports it like a live object";
    enginePasses(40);
    EXPECT_EQ(port.createdObjects().size(), 1u);
    EXPECT_TRUE(port.removeCalls().empty());
    EXPECT_NE(log().find("A12           : DLH9     D-AIXA promoted to live DLH4AB D-AIXA"), std::string::npos);

    // A parked object id below 3 is no object to take over.
    titles.push_back("Airbus A320 Lufthansa D-AIXB");
    const StaticAc& dlh7 = parkedAt(2, "DLH7", "D-AIXB", 2);
    ASSERT_EQ(dlh7.objectId, 2u);
    const std::uint32_t otherHex = dlh7.hexId;
    standing(0x3C6445, "DLH5", "D-AIXB", 50.0004, 8.5);
    enginePass();
    EXPECT_EQ(this->parked(otherHex)->simState, SimState::removingfromsim);
    EXPECT_EQ(live(0x3C6445)->simState, SimState::adding2sim);
    EXPECT_NE(log().find("A13           : DLH7     D-AIXB makes way for the same live version DLH5 D-AIXB"),
              std::string::npos);
}

TEST_F(Spawn, PromotedAircraftPushesBackWithItsObject)
{
    parkedAtA12();
    standing(0x3C6444, "DLH4AB", "D-AIXA");
    enginePass();
    ASSERT_EQ(live(0x3C6444)->objectId, 103u);
    enginePasses(1610); // both its reports at the stand are due
    ASSERT_EQ(live(0x3C6444)->phase, FlightPhase::parked);
    const LatLon behind = gf_destinationPoint({50.0, 8.5}, kFullCircle / 2.0, 250.0 / 0.3048);
    report(0x3C6444, "DLH4AB", "D-AIXA", sample(behind.latitude, behind.longitude, 0, 5, 0), 20.0);
    enginePass();
    LiveAc* ac = live(0x3C6444);
    EXPECT_EQ(ac->groundOps.departureStarted, 1);
    EXPECT_EQ(ac->groundOps.departureMode, 0) << "pushback";
    EXPECT_DOUBLE_EQ(ac->stream.back().latitude, behind.latitude);
    // The motion re-times the leg to a plausible speed before it starts the pushback.
    for (int n = 0; n < 7000 && live(0x3C6444)->pose.latitude > 50.0 - 1e-5; ++n)
        enginePass();
    ac = live(0x3C6444);
    EXPECT_EQ(ac->objectId, 103u);
    EXPECT_TRUE(posedLastPass(103));
    EXPECT_EQ(port.liveObjects().size(), 1u) << "the one object the pass poses";
    EXPECT_EQ(ac->phase, FlightPhase::pushing_back);
    EXPECT_LT(gf_poseTable().samples(103).back().pose.latitude, 50.0 - 1e-5) << "moved back from the stand";
    EXPECT_EQ(port.createdObjects().size(), 1u) << "the same object";
}

TEST_F(Spawn, GhostsGiveWayToTheRealCallsign)
{
    settings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    // Two reports 5 s apart of each aircraft; the passes up to the one in
    // which the first falls due.
    auto airborne = [&](std::uint32_t hex, const std::string& cs, double lat) {
        report(hex, cs, "HB-JLT", sample(lat, 8, 9000, 250, 0), 10.0);
        enginePasses(500);
        report(hex, cs, "HB-JLT", sample(lat + 0.006, 8, 9000, 250, 0), 5.0);
        enginePass();
        const LiveAc* ac = live(hex);
        ASSERT_NE(ac, nullptr) << cs;
        ASSERT_EQ(ac->stream.size(), 2u) << cs;
        enginePasses(ac->stream.front().dueTick - gf_engineTick());
    };
    airborne(0x100001, "ABC12", 47.0);
    enginePass();
    ASSERT_LE(passesUntilActive(0x100001, 400), 400);
    ASSERT_EQ(live(0x100001)->simState, SimState::active);
    airborne(0x100002, "ABC12_", 47.1);
    enginePass();
    EXPECT_EQ(live(0x100002), nullptr) << "the ghost of a live aircraft is not shown";

    // Its reports end: it is removed.
    ASSERT_LE(enginePassesUntil([&] { return live(0x100001) == nullptr; }, 10000), 10000);

    // The ghost shown first: the real callsign takes over.
    airborne(0x100003, "ABC12_", 48.0);
    enginePass();
    ASSERT_LE(passesUntilActive(0x100003, 400), 400);
    ASSERT_EQ(live(0x100003)->simState, SimState::active);
    airborne(0x100004, "ABC12", 48.1);
    enginePass();
    EXPECT_EQ(live(0x100003)->simState, SimState::removingfromsim);
    EXPECT_EQ(gf_spawnTexts(), std::vector<std::string>{"ABC12_"});
    EXPECT_NE(log().find("          ABC12_   is a ghost and will be removed, continue with ABC12"), std::string::npos);
    // Reports of the ghost's callsign under a new hex id once the ghost is gone.
    ASSERT_LE(enginePassesUntil([&] { return live(0x100003) == nullptr; }, 200), 200);
    airborne(0x100005, "ABC12_", 48.2);
    enginePass();
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
            LiveAc& nearer = addLive(0x200001, "NEAR1", "D-AIXB", {sample(10.1, 10, 5000, 250, 0)});
            nearer.simState = SimState::active;
            nearer.objectId = 50;
            nearer.pose.latitude = 10.1;
            nearer.pose.longitude = 10.0;
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
            LiveAc& holder = standingNow(0x300001, *c.holder != '\0' ? c.holder : "KLM1", "PH-BXA");
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
    LiveAc& ac = standingNow(0x3C6446, "FJI1", "DQ-FJA", -17.0, -179.9999);
    const auto stand = lf_chooseSpawnStand(ac);
    ASSERT_TRUE(stand);
    EXPECT_EQ(stand->name, "A12");
}

} // namespace
} // namespace zelk
