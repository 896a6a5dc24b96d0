#include <cmath>
#include <map>
#include <optional>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "TrafficSimTestSupport.h"
#include "core/UserRelatedException.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/SimRemoval.h"

namespace zelk {
namespace {

using SimObjectResults = test::TrafficSimTest;
using Sent = FakeSimPort::SentEvent;

constexpr double kTwoPi = 6.283185307179586;

class SimObjectResultsWithLink : public test::TrafficSimTest {
protected:
    // One engine pass, reduced to what concerns the link: the results first,
    // creates and removals handed over, then one simulator frame.
    void pass(SimClient& client)
    {
        gf_processSimObjectResults();
        while (!gf_liveCreateQueue().empty()) {
            gf_queueAiCreate(gf_liveCreateQueue().front());
            gf_liveCreateQueue().pop_front();
        }
        while (!gf_removalQueue().empty()) {
            gf_queueAiRemove(gf_removalQueue().front());
            gf_removalQueue().pop_front();
        }
        frames(client, 1);
    }

    static AiCreateCommand command(const LiveAc& ac, std::string title)
    {
        AiCreateCommand c;
        c.position = SimInitPosition{ac.pose.latitude, ac.pose.longitude, ac.pose.altitude, 0, 0, 90, 0, 0};
        c.tailNumber = ac.head.registration;
        c.title = std::move(title);
        c.hexId = ac.hexId;
        return c;
    }
};

TEST_F(SimObjectResultsWithLink, LiveAircraftFromCreateToActivationWithItsLights)
{
    SimClient client(port, noWaitTiming());
    ASSERT_TRUE(client.connect());
    auto ac = makeLive(0x4B1234, "SWR12", FlightPhase::flying, true);
    ac.heightAboveGround = 2500.0;
    gf_liveAircraft().push_back(ac);
    gf_liveCreateQueue().push_back(command(ac, "Airbus A320 Swiss"));

    pass(client); // the create goes out
    pass(client); // the simulator answers; the result waits for the next pass
    ASSERT_EQ(live(0x4B1234)->objectId, 0u);
    const auto objects = port.createdObjects();
    ASSERT_EQ(objects.size(), 1u);
    const std::uint32_t id = objects[0].objectId;

    std::vector<int> togglePasses;
    int activationPass = 0;
    for (int p = 1; p <= 210; ++p) { // pass 1 drains the result and finds its delayed command at age 0
        pass(client);
        if (p == 1) {
            EXPECT_EQ(live(0x4B1234)->objectId, id);
            EXPECT_EQ(gf_simResultLists().delayed.size(), 1u);
            EXPECT_EQ(calls, (std::vector<std::string>{"plan SWR12"})); // airborne: no ground handling
        }
        const auto sent = port.sentEventsFor(id);
        const auto toggles = std::count_if(sent.begin(), sent.end(),
                                           [](const Sent& e) { return e.eventId == ALL_LIGHTS_TOGGLE; });
        if (static_cast<std::size_t>(toggles) > togglePasses.size())
            togglePasses.push_back(p);
        if (activationPass == 0 && live(0x4B1234)->simState == SimState::active)
            activationPass = p;
    }
    EXPECT_EQ(togglePasses, (std::vector<int>{50, 100}));
    EXPECT_EQ(activationPass, 201);
    EXPECT_TRUE(gf_simResultLists().delayed.empty());
    EXPECT_EQ(live(0x4B1234)->activationTick, gf_engineTick());
    EXPECT_EQ(live(0x4B1234)->airborneAtActivation, 1);

    std::vector<Sent> afterToggles;
    for (const auto& e : port.sentEventsFor(id))
        if (e.eventId != ALL_LIGHTS_TOGGLE)
            afterToggles.push_back(e);
    const std::vector<Sent> expected{
        {id, ENGINE_AUTO_START, 0, TRAFFIC_APP}, {id, SPOILERS_SET, 0, TRAFFIC_APP},
        {id, NAV_LIGHTS_SET, 1, TRAFFIC_APP},    {id, BEACON_LIGHTS_SET, 1, TRAFFIC_APP},
        {id, LANDING_LIGHTS_SET, 1, TRAFFIC_APP}, {id, TAXI_LIGHTS_SET, 0, TRAFFIC_APP},
        {id, STROBES_SET, 1, TRAFFIC_APP},       {id, LOGO_LIGHTS_SET, 1, TRAFFIC_APP},
        {id, CABIN_LIGHTS_SET, 1, TRAFFIC_APP}};
    EXPECT_EQ(afterToggles, expected);
    // The centre-of-gravity request went out with the create result.
    EXPECT_TRUE(port.object(id)->released);
}

TEST_F(SimObjectResultsWithLink, FailedCreatesOfParkedAndLiveAircraftEndTheirRecords)
{
    port.failTitleAsync("Broken");
    SimClient client(port, noWaitTiming());
    ASSERT_TRUE(client.connect());
    auto ac = makeLive(10001, "SWR12", FlightPhase::flying, true); // the split is at hex id 10000
    ac.liveryTitle = "Broken";
    gf_liveAircraft().push_back(ac);
    auto st = makeStatic(10000, "PARKED");
    st.liveryTitle = "Broken";
    gf_staticAircraft().push_back(st);
    gf_liveCreateQueue().push_back(command(ac, "Broken"));
    AiCreateCommand parkedCreate;
    parkedCreate.title = "Broken";
    parkedCreate.hexId = 10000;
    gf_queueAiCreate(parkedCreate);

    for (int p = 0; p < 4; ++p)
        pass(client);
    EXPECT_TRUE(gf_liveAircraft().empty());
    EXPECT_TRUE(gf_staticAircraft().empty());
    EXPECT_EQ(calls, (std::vector<std::string>{"cleanup SWR12"}));
    EXPECT_TRUE(gf_isUncreatableLivery("Broken"));
    EXPECT_TRUE(port.liveObjects().empty());
}

TEST_F(SimObjectResultsWithLink, CreateResultOfAVanishedAircraftRemovesItsObject)
{
    port.setCreateDelayFrames(2);
    SimClient client(port, noWaitTiming());
    ASSERT_TRUE(client.connect());
    auto ac = makeLive(0x4B1234, "SWR12", FlightPhase::flying, true);
    gf_liveAircraft().push_back(ac);
    gf_liveCreateQueue().push_back(command(ac, "Title"));
    pass(client);
    gf_liveAircraft().clear(); // gone before the simulator answered
    for (int p = 0; p < 6; ++p)
        pass(client);
    ASSERT_EQ(port.createdObjects().size(), 1u);
    EXPECT_TRUE(port.liveObjects().empty());
    EXPECT_EQ(port.removeCalls().size(), 1u);
}

TEST_F(SimObjectResults, NoObjectErasesTheAircraftAndAnOrphanedObjectIsRemovedOnce)
{
    for (const std::uint32_t id : {0u, 1u, 2u}) {
        gf_liveAircraft().push_back(makeLive(0x400000 + id, "X", FlightPhase::flying, true));
        gf_postSimObjectResult(result(SimResultKind::LiveCreated, id, 0x400000 + id));
    }
    gf_postSimObjectResult(result(SimResultKind::LiveCreated, 500, 0x400009)); // nobody's
    gf_postSimObjectResult(result(SimResultKind::LiveCreated, 500, 0x400009));
    gf_processSimObjectResults();
    EXPECT_TRUE(gf_simResultLists().delayed.empty());
    for (const auto& ac : gf_liveAircraft()) {
        EXPECT_EQ(ac.objectId, 0u) << "ids below 3 are no object";
        EXPECT_EQ(ac.erase, 1);
    }
    EXPECT_EQ(gf_removalQueue(), (std::deque<std::uint32_t>{500}));
}

TEST_F(SimObjectResults, ExpiredDelayedCommandsRemoveTheirObjects)
{
    SimObjectResult liveEntry = result(SimResultKind::LiveCreated, 501, 0x400001);
    liveEntry.age = 200;
    SimObjectResult staticEntry = result(SimResultKind::StaticCreated, 502, 12);
    staticEntry.age = 200;
    SimObjectResult odd = result(SimResultKind::AiPosition, 503, 13);
    odd.age = 200;
    gf_simResultLists().delayed = {liveEntry, staticEntry, odd};
    gf_processSimObjectResults();
    EXPECT_TRUE(gf_simResultLists().delayed.empty());
    EXPECT_EQ(gf_removalQueue(), (std::deque<std::uint32_t>{501, 502}));
    const std::string text = log();
    EXPECT_NE(text.find("==> Delayed live command expired: hexid:400001, objectid:1f5 no longer exists"),
              std::string::npos);
    EXPECT_NE(text.find("==> Delayed static command expired: hexid:c, objectid:1f6 no longer exists"),
              std::string::npos);
    EXPECT_NE(text.find("==> Unexpected delayed SimCommand 3 for hexid:d"), std::string::npos);
}

// A parked live aircraft waits for its simulator pose, its CG and one parked-
// altitude value (the ground altitude under it or its height above it): with all
// of them it becomes active at age 200, otherwise once the last arrives, and at
// age 500 at the latest on a fallback.
TEST_F(SimObjectResults, ParkedLiveAircraftWaitsForItsPoseCgAndAltitudeUntilAge500)
{
    struct Case {
        const char* callsign;
        bool pose, cg;
        std::optional<double> groundAltitude;
        double height;
        int groundAltitudeAtPass; // 0: never
        int activePass;
    };
    const Case cases[] = {
        {"NONE", false, false, std::nullopt, kNoHeightReportFt, 0, 501},
        {"GROUND", true, true, 364.0, kNoHeightReportFt, 0, 201},
        {"HEIGHT", true, true, std::nullopt, 0.4, 0, 201},
        {"NOALT", true, true, std::nullopt, kNoHeightReportFt, 0, 501},
        {"LATEALT", true, true, std::nullopt, kNoHeightReportFt, 300, 300},
        {"NOCG", true, false, 364.0, 0.4, 0, 501},
    };
    std::vector<LiveAc> aircraft;
    for (std::uint32_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        auto ac = makeLive(0x400001 + i, c.callsign, FlightPhase::parked, false);
        ac.simPosePresent = c.pose ? 1 : 0;
        ac.groundOffsetKnown = c.cg ? 1 : 0;
        ac.simGroundAltitude = c.groundAltitude;
        ac.heightAboveGround = c.height;
        aircraft.push_back(ac);
        gf_postSimObjectResult(result(SimResultKind::LiveCreated, 300 + i, 0x400001 + i));
    }
    gf_liveAircraft() = aircraft;
    std::vector<AiClientEvent> events;
    std::map<std::string, int> activeAt;
    for (int pass = 1; pass < 600 && activeAt.size() < std::size(cases); ++pass) {
        for (std::uint32_t i = 0; i < std::size(cases); ++i)
            if (cases[i].groundAltitudeAtPass == pass) live(0x400001 + i)->simGroundAltitude = 364.0;
        gf_processSimObjectResults();
        if (pass == 1) {
            EXPECT_EQ(calls.front(), "ground NONE") << "a parked aircraft is handled on the ground first";
        }
        for (const auto& e : takeEvents()) events.push_back(e);
        for (std::uint32_t i = 0; i < std::size(cases); ++i)
            if (live(0x400001 + i)->simState == SimState::active) activeAt.emplace(cases[i].callsign, pass);
    }
    for (const Case& c : cases) {
        EXPECT_EQ(activeAt[c.callsign], c.activePass) << c.callsign;
        const bool fallback = log().find(fmt::format("==> {} initial simulator pose/CG unavailable; using fallback "
                                                     "position", c.callsign)) != std::string::npos;
        EXPECT_EQ(fallback, c.activePass == 501) << c.callsign;
    }
    EXPECT_EQ(requests, (std::vector<SimRequest>{{5, 300}, {4, 300}, {4, 305}}))
        << "pose and CG asked only where missing";
    // Parked: engines off, the parked lights, levers at rest; the two light toggles before.
    std::vector<AiClientEvent> parked;
    int toggles = 0;
    for (const auto& e : events) {
        if (e.objectId != 300) continue;
        if (e.eventId == ALL_LIGHTS_TOGGLE)
            ++toggles;
        else
            parked.push_back(e);
    }
    EXPECT_EQ(toggles, 2);
    ASSERT_EQ(parked.size(), 11u);
    EXPECT_EQ(parked[0], (AiClientEvent{300, SPOILERS_SET, 0}));
    EXPECT_EQ(parked[1], (AiClientEvent{300, ENGINE_AUTO_SHUTDOWN, 0}));
    EXPECT_EQ(parked[8], (AiClientEvent{300, CABIN_LIGHTS_SET, 1}));
    EXPECT_EQ(parked[9], (AiClientEvent{300, THROTTLE_SET, 0}));
    EXPECT_EQ(parked[10], (AiClientEvent{300, FLAPS_SET, 0}));
}

TEST_F(SimObjectResults, StandTakenMeanwhileIsCreatedThenActivatedAndRemoved)
{
    standOccupation = 1;
    auto ac = makeLive(0x400001, "KLM7", FlightPhase::parked, false);
    ac.standId = 3;
    gf_liveAircraft().push_back(ac);
    gf_postSimObjectResult(result(SimResultKind::LiveCreated, 300, 0x400001));
    gf_processSimObjectResults();
    EXPECT_EQ(live(0x400001)->removeAfterCreate, 1);
    EXPECT_TRUE(calls.empty());
    EXPECT_NE(log().find("sid==?        : KLM7 created without owning the live stand reservation, will be removed"),
              std::string::npos);
    for (int p = 0; p < 200; ++p)
        gf_processSimObjectResults();
    EXPECT_EQ(live(0x400001)->simState, SimState::removingfromsim);
    EXPECT_EQ(gf_removalQueue(), (std::deque<std::uint32_t>{300}));
}

TEST_F(SimObjectResults, ObjectRemovedEndsARecordOrReturnsARespawnToBuffer)
{
    auto respawn = makeLive(0x400001, "RESP", FlightPhase::flying, true);
    respawn.simState = SimState::liveryrespawn;
    respawn.objectId = 300;
    respawn.throttleIndex = 2;
    respawn.flapsIndex = 1;
    auto gone = makeLive(0x400002, "GONE", FlightPhase::flying, true);
    gone.simState = SimState::removingfromsim;
    gone.objectId = 301;
    auto st = makeStatic(5, "PARK");
    st.objectId = 302;
    gf_liveAircraft() = {respawn, gone, makeLive(0x400003, "STAY", FlightPhase::flying, true)};
    gf_staticAircraft() = {st, makeStatic(6, "PARK6")};
    gf_postSimObjectResult(result(SimResultKind::ObjectRemoved, 300, 0));
    gf_postSimObjectResult(result(SimResultKind::ObjectRemoved, 301, 0));
    gf_postSimObjectResult(result(SimResultKind::ObjectRemoved, 302, 0));
    gf_postSimObjectResult(result(SimResultKind::ObjectRemoved, 999, 0));
    gf_processSimObjectResults();

    ASSERT_NE(live(0x400001), nullptr);
    EXPECT_EQ(live(0x400001)->simState, SimState::buffer);
    EXPECT_EQ(live(0x400001)->objectId, 0u);
    EXPECT_EQ(live(0x400001)->throttleIndex, 5u);
    EXPECT_EQ(live(0x400001)->flapsIndex, 4u);
    EXPECT_EQ(live(0x400002), nullptr);
    EXPECT_NE(live(0x400003), nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"cleanup GONE"}));
    EXPECT_EQ(parked(5), nullptr);
    EXPECT_NE(parked(6), nullptr);
}

TEST_F(SimObjectResults, TooManyUncreatableLiveriesFinishTheBatchBeforeTheError)
{
    constexpr int kAircraft = 22;
    for (int i = 0; i < kAircraft; ++i) {
        auto ac = makeLive(0x400000 + i, "X", FlightPhase::flying, true);
        ac.head.key.model = static_cast<std::uint16_t>(i + 1);
        gf_liveAircraft().push_back(ac);
    }
    std::vector<std::string> titles;
    for (int i = 0; i < kAircraft; ++i)
        titles.push_back("Title " + std::to_string(i));
    for (int i = 0; i < kAircraft; ++i) {
        live(0x400000 + i)->liveryTitle = titles[i];
        gf_postSimObjectResult(result(SimResultKind::CreateFailed, 0, 0x400000 + i));
    }
    SimObjectResult waiting = result(SimResultKind::LiveCreated, 900, 0x499999);
    waiting.age = 10;
    gf_simResultLists().delayed = {waiting};

    try {
        gf_processSimObjectResults();
        FAIL() << "expected error 81";
    } catch (const UserRelatedException& e) {
        EXPECT_EQ(e.code(), 81);
    }
    EXPECT_TRUE(gf_liveAircraft().empty()); // every failed aircraft went, the ones after the error too
    EXPECT_TRUE(gf_simResultLists().processing.empty());
    ASSERT_EQ(gf_simResultLists().delayed.size(), 1u);
    EXPECT_EQ(gf_simResultLists().delayed[0].age, 11); // the delayed list still ran
    EXPECT_NO_THROW(gf_processSimObjectResults());      // nothing is applied twice
}

TEST_F(SimObjectResults, InitialPoseIsCheckedAndItsHeadingNormalised)
{
    auto ac = makeLive(0x400001, "KLM7", FlightPhase::parked, false);
    ac.objectId = 300;
    gf_liveAircraft() = {ac};
    auto st = makeStatic(5, "PARK");
    st.objectId = 300;
    gf_staticAircraft() = {st};

    SimObjectResult r = result(SimResultKind::InitialPose, 300, 0);
    r.payload = {0.0, 0.0, 0.0, 0.0, 1.0, 364.0, 0.0, 0.0}; // 0/0 is no position
    gf_postSimObjectResult(r);
    r.payload = {50.0, 8.5, std::nan(""), 0.0, 1.0, 364.0, 0.0, 0.0};
    gf_postSimObjectResult(r);
    gf_processSimObjectResults();
    EXPECT_EQ(live(0x400001)->simPosePresent, 0);
    EXPECT_EQ(parked(5)->simPosePresent, 0);

    r.payload = {50.0, 8.5, 0.01, 0.0, kTwoPi, 364.0, 0.0, 0.0};
    gf_postSimObjectResult(r);
    gf_processSimObjectResults();
    EXPECT_EQ(live(0x400001)->simPosePresent, 1);
    EXPECT_EQ(live(0x400001)->simPose.heading, 0.0);
    EXPECT_EQ(parked(5)->simPose.heading, 0.0);
    EXPECT_EQ(calls, (std::vector<std::string>{"adopt KLM7"}));

    r.payload[4] = -1.0;
    gf_postSimObjectResult(r);
    gf_processSimObjectResults();
    EXPECT_NEAR(live(0x400001)->simPose.heading, kTwoPi - 1.0, 1e-12);
}

TEST_F(SimObjectResults, GroundReportOfALandingAircraftGoesThroughTheTouchDownFirst)
{
    auto ac = makeLive(0x400001, "LAND", FlightPhase::landing, true);
    ac.objectId = 300;
    ac.simState = SimState::active;
    gf_liveAircraft() = {ac};
    SimObjectResult onGround = result(SimResultKind::AiPosition, 300, 1);
    onGround.payload = {364.0, 3.0};
    gf_postSimObjectResult(onGround);
    gf_processSimObjectResults();
    landingSetsOnGround = true;
    live(0x400001)->onGround = 0;
    gf_postSimObjectResult(onGround);
    gf_processSimObjectResults();
    gf_postSimObjectResult(result(SimResultKind::AiPosition, 301, 1)); // nobody's
    gf_processSimObjectResults();
    EXPECT_EQ(calls, (std::vector<std::string>{"landing LAND", "place LAND ", "landing LAND", "place LAND simconnect"}));
}

TEST_F(SimObjectResults, StaticObjectIsSetUpOnceItsDataArrived)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.RANDOM = false; });
    gf_staticAircraft() = {makeStatic(5, "PARK")};
    gf_postSimObjectResult(result(SimResultKind::StaticCreated, 310, 5));
    gf_processSimObjectResults();
    EXPECT_EQ(parked(5)->objectId, 310u);
    takeEvents();
    EXPECT_EQ(requests, (std::vector<SimRequest>{{5, 310}, {4, 310}}));

    SimObjectResult cg = result(SimResultKind::StaticCgPitch, 310, 0);
    cg.payload = {7.0, 0.01};
    SimObjectResult pose = result(SimResultKind::InitialPose, 310, 0);
    pose.payload = {50.0, 8.5, 0.01, 0.0, 1.0, 364.0, 0.0, 0.0};
    gf_postSimObjectResult(cg);
    gf_postSimObjectResult(pose);
    const auto placedBefore = gf_parkedObjectsPlaced();
    int passes = 1;
    while (parked(5)->simState != SimState::active && passes < 600) {
        gf_processSimObjectResults();
        ++passes;
    }
    EXPECT_EQ(passes, 201);
    EXPECT_EQ(parked(5)->groundOffset, 7.0);
    EXPECT_EQ(gf_parkedObjectsPlaced(), placedBefore + 1);
    EXPECT_EQ(takeEvents().size(), 10u) << "the parked set-up";
    EXPECT_EQ(requests.back(), (SimRequest{5, 310})); // the pose is asked for once more
    EXPECT_NE(log().find("sid==0?       : PARK     parked"), std::string::npos);
}

} // namespace
} // namespace zelk
