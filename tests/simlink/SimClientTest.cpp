#include <algorithm>
#include <memory>
#include <stop_token>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "SimLinkTestSupport.h"
#include "simlink/PoseTable.h"
#include "simlink/SimQueues.h"
#include "support/Eventually.h"

namespace zelk {
namespace {

using test::SimLinkTest;
using Sent = FakeSimPort::SentEvent;

AiCreateCommand lf_command(std::uint32_t hexId, std::string title, std::string tail = "D-ABCD")
{
    AiCreateCommand c;
    c.position = SimInitPosition{50.0, 8.5, 364.0, 0.0, 0.0, 90.0, 1, 0};
    c.title = std::move(title);
    c.tailNumber = std::move(tail);
    c.hexId = hexId;
    return c;
}

class SimClientTest : public SimLinkTest {
protected:
    // Connects and runs the first dispatch (simulation start, first frame).
    void connect(SimClient& client)
    {
        ASSERT_TRUE(client.connect());
        frames(client, 1);
        ASSERT_EQ(gf_simRunState(), kSimRunning);
    }

    // Creates one object through the queue and returns its object id.
    std::uint32_t createObject(SimClient& client, std::uint32_t hexId, const std::string& title)
    {
        gf_queueAiCreate(lf_command(hexId, title));
        frames(client, 2);
        const auto results = takeResults();
        EXPECT_EQ(results.size(), 1u);
        return results.empty() ? 0 : results.front().objectId;
    }
};

TEST_F(SimClientTest, NoOrWrongSimulatorMeansNoConnection)
{
    port.setProduct(SimProduct::None);
    {
        SimClient client(port, noWaitTiming());
        EXPECT_FALSE(client.connect());
        EXPECT_FALSE(client.gaveUp()) << "it tries again later";
        EXPECT_EQ(gf_simRunState(), kSimClosed);
    }
    // The wrong simulator: the window is asked to switch, and the link stays away.
    int switches = 0;
    gf_setSimLinkHooks(SimLinkHooks{{}, {}, [&] { ++switches; }, {}, {}});
    port.setProduct(SimProduct::Msfs2020);
    SimClient client(port, noWaitTiming());
    EXPECT_FALSE(client.connect());
    EXPECT_TRUE(client.gaveUp());
    EXPECT_EQ(switches, 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(log().find("MSFS and MSFS 2024 do not match, restarting ..."), std::string::npos);
}

TEST_F(SimClientTest, AfterTheUsersOwnSwitchTheFormerSimulatorIsWaitedOut)
{
    int switches = 0;
    gf_setSimLinkHooks(SimLinkHooks{{}, {}, [&] { ++switches; }, {}, {}});
    gf_setSimSwitchFlag();
    port.setProduct(SimProduct::Msfs2020);
    SimClient client(port, noWaitTiming());
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_FALSE(client.connect());
        EXPECT_FALSE(client.gaveUp()) << "it keeps trying for the chosen simulator";
        EXPECT_FALSE(port.isOpen());
    }
    EXPECT_EQ(switches, 0) << "the user's choice is not switched back";
    EXPECT_EQ(log().find("do not match"), std::string::npos);
    EXPECT_TRUE(gf_simSwitchFlag());

    port.setProduct(SimProduct::Msfs2024);
    EXPECT_TRUE(client.connect());
    EXPECT_FALSE(gf_simSwitchFlag()) << "the chosen simulator came: a later mismatch switches again";
}

TEST_F(SimClientTest, RunStateFollowsTheSimulationAndEachChangeIsReported)
{
    std::vector<std::uint32_t> states;
    gf_setSimLinkHooks(SimLinkHooks{[&](std::uint32_t s) { states.push_back(s); }, {}, {}, {}, {}});
    port.setSimulationRunning(false);
    SimClient client(port, noWaitTiming());

    ASSERT_TRUE(client.connect());
    EXPECT_EQ(gf_simRunState(), kSimConnected);
    port.setSimulationRunning(true);
    frames(client, 1);
    EXPECT_EQ(gf_simRunState(), kSimRunning);
    port.setSimulationRunning(false);
    frames(client, 3);
    EXPECT_EQ(gf_simRunState(), kSimConnected);
    EXPECT_EQ(states, (std::vector<std::uint32_t>{kSimConnected, kSimRunning, kSimConnected}));
}

TEST_F(SimClientTest, UserAircraftReportsAndReplies)
{
    port.setFrameTiming(1, 5);
    SimClient client(port, noWaitTiming());
    EXPECT_EQ(gf_userOnGroundState(), 255);
    connect(client);
    frames(client, 3);
    EXPECT_FALSE(gf_peekOneSecondFlag());
    frames(client, 1);
    EXPECT_TRUE(gf_isUserOnGround());
    EXPECT_EQ(gf_userOnGroundState(), 1);
    EXPECT_TRUE(gf_takeOneSecondFlag());
    EXPECT_FALSE(gf_takeOneSecondFlag());

    // The title and model request sets both reply marks.
    gf_clearUserDataReplyMarks();
    EXPECT_TRUE(std::isnan(gf_userHalfWingspanNm()));
    gf_queueSimRequest(SimRequest{1, 0});
    frames(client, 2);
    EXPECT_EQ(gf_userDataReplyMarks(), 3);
    EXPECT_EQ(gf_userTitle(), "Stand-in User Aircraft");
    EXPECT_EQ(gf_userModel(), "B738");
    EXPECT_FALSE(std::isnan(gf_userHalfWingspanNm()));
}

// What the window shows of the simulator comes from the link: its name and
// version once connected, and for each user model whether the aircraft data
// knows the model's wing span.
TEST_F(SimClientTest, SimulatorNameAndUserWingspanAreReportedToTheWindow)
{
    std::vector<std::string> texts;
    std::vector<bool> known;
    SimLinkHooks hooks;
    hooks.simulatorConnected = [&](const std::string& text) { texts.push_back(text); };
    hooks.userWingspanKnown = [&](bool k) { known.push_back(k); };
    gf_setSimLinkHooks(hooks);
    gf_setWingspanLookup([](const std::string& model) {
        return model == "B738" ? ModelWingspan{0.0097, true} : ModelWingspan{0.0432, false};
    });
    port.setSimulatorText("KittyHawk (12.1.282.0)");
    SimClient client(port, noWaitTiming());
    connect(client);
    EXPECT_EQ(texts, std::vector<std::string>{"KittyHawk (12.1.282.0)"});
    EXPECT_TRUE(known.empty()) << "no model reported yet";
    for (const char* model : {"B738", "ZZ99"}) {
        port.setUserAircraft(gf_getUserAcPosition(), true, "Stand-in User Aircraft", model);
        gf_queueSimRequest(SimRequest{1, 0});
        frames(client, 2);
    }
    EXPECT_EQ(known, (std::vector<bool>{true, false}));
    EXPECT_DOUBLE_EQ(gf_userHalfWingspanNm(), 0.0432) << "the fallback span still guards the user";
}

TEST_F(SimClientTest, CreateAnsweredAfterFramesPostsLiveParkedAndFailedResults)
{
    port.setCreateDelayFrames(3);
    port.failTitleAsync("Broken Title");
    SimClient client(port, noWaitTiming());
    connect(client);
    gf_queueAiCreate(lf_command(0x4B1234, "Live Title"));
    gf_queueAiCreate(lf_command(42, "Parked Title"));
    gf_queueAiCreate(lf_command(0x400001, "Broken Title"));
    frames(client, 3);
    EXPECT_TRUE(takeResults().empty());
    EXPECT_EQ(client.pendingCreateCount(), 3u);
    frames(client, 2);
    const auto results = takeResults();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].kind, SimResultKind::LiveCreated);
    EXPECT_EQ(results[0].hexId, 0x4B1234u);
    EXPECT_EQ(results[1].kind, SimResultKind::StaticCreated);
    EXPECT_EQ(results[1].hexId, 42u);
    EXPECT_EQ(results[2].kind, SimResultKind::CreateFailed);
    EXPECT_EQ(results[2].hexId, 0x400001u);
    for (int i = 0; i < 2; ++i) {
        const auto object = port.object(results[i].objectId);
        ASSERT_TRUE(object.has_value());
        EXPECT_TRUE(object->released);
        EXPECT_TRUE(object->frozen);
    }
    EXPECT_EQ(client.pendingCreateCount(), 0u);
    EXPECT_EQ(client.ownedObjectCount(), 2u);
    EXPECT_TRUE(client.isParkedObject(results[1].objectId));
    EXPECT_FALSE(client.isParkedObject(results[0].objectId));
    EXPECT_EQ(gf_simRunState(), kSimRunning) << "a refusal answered later is no link error";
}

TEST_F(SimClientTest, CreateRefusedByTheCallStopsSendingAndAsksForARestart)
{
    std::vector<std::string> messages;
    gf_setSimLinkHooks(SimLinkHooks{{}, [&](const std::string& m) { messages.push_back(m); }, {}, {}, {}});
    port.failTitleOnCall("Broken Title");
    SimClient client(port, noWaitTiming());
    connect(client);
    gf_queueAiCreate(lf_command(0x400001, "Broken Title", "N123"));
    gf_queueAiCreate(lf_command(0x400002, "Good Title"));
    frames(client, 1);

    EXPECT_EQ(gf_simRunState(), kSimError);
    const auto stop = gf_stopRequestForCloseDown();
    EXPECT_EQ(stop.stopReason(), StopReason::SimConnectError);
    EXPECT_EQ(stop.delay, 9u);
    EXPECT_EQ(messages, std::vector<std::string>{"SimConnect request error"});
    EXPECT_NE(log().find("! create failed hr=0x80004005, requestId:1, tailnumber:N123"), std::string::npos);
    EXPECT_TRUE(takeResults().empty()) << "a failed call is no refusal of the title";

    // In the error state nothing more is sent, not even queued work.
    gf_queueAiCreate(lf_command(0x400003, "Good Title"));
    frames(client, 5);
    EXPECT_TRUE(port.createdObjects().empty());
}

TEST_F(SimClientTest, FailedRequestTakesTheErrorPathButUnknownKindsAreIgnored)
{
    SimClient client(port, noWaitTiming());
    connect(client);
    port.failCalls("request", true);
    gf_queueSimRequest(SimRequest{6, 0});
    gf_queueSimRequest(SimRequest{200, 0});
    frames(client, 1);
    EXPECT_EQ(gf_simRunState(), kSimRunning) << "kinds from 6 up are not sent";
    EXPECT_EQ(gf_currentStopRequest(), nullptr);

    gf_requestAiStaticCgAndPitch(123);
    frames(client, 1);
    EXPECT_EQ(gf_simRunState(), kSimError);
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::SimConnectError);
    EXPECT_NE(log().find("SimConnect request StaticCG fails"), std::string::npos);
}

TEST_F(SimClientTest, RemovalPostsObjectRemovedAndForgetsThePoses)
{
    SimClient client(port, noWaitTiming());
    connect(client);
    const std::uint32_t id = createObject(client, 0x4B1234, "Live Title");
    gf_poseTable().storePassPose(id, SimPose{50.0, 8.5});
    gf_poseTable().flushPass(clock);
    ASSERT_EQ(gf_poseTable().objectCount(), 1u);

    gf_queueAiRemove(id);
    EXPECT_EQ(gf_poseTable().objectCount(), 0u);
    frames(client, 2);
    const auto results = takeResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].kind, SimResultKind::ObjectRemoved);
    EXPECT_EQ(results[0].objectId, id);
    EXPECT_TRUE(port.liveObjects().empty());
    EXPECT_EQ(client.ownedObjectCount(), 0u);
}

TEST_F(SimClientTest, TallyCountsCreatesMovesAndWhatTheCloseDownLeaves)
{
    gf_resetSimLinkTally();
    SimClient client(port, noWaitTiming());
    connect(client);
    const std::uint32_t live = createObject(client, 0x4B1234, "Live Title");
    const std::uint32_t parked = createObject(client, 17, "Parked Title");
    for (const double lat : {50.0, 50.0, 50.001}) { // the same pose twice is no move
        gf_poseTable().storePassPose(live, SimPose{lat, 8.5});
        gf_poseTable().storePassPose(parked, SimPose{50.0, 8.6});
        gf_poseTable().flushPass(clock);
        clock += std::chrono::seconds(1);
        frames(client, 1);
    }
    port.failCalls("remove", true); // the simulator keeps one object
    gf_queueAiRemove(parked);
    frames(client, 1);
    port.failCalls("remove", false);
    client.shutdown();
    const SimLinkTally t = gf_simLinkTally();
    EXPECT_EQ(t.liveCreated, 1u);
    EXPECT_EQ(t.parkedCreated, 1u);
    EXPECT_EQ(t.moved, 1u);
    EXPECT_EQ(t.parkedAtStands, 1u);
    EXPECT_EQ(t.removed, 2u);
    EXPECT_EQ(t.left, 0u);
}

// The active counts are the objects in the simulator now, by what they stand
// for now; a close-down that cannot remove one ends with it counted, as left.
TEST_F(SimClientTest, TallyCountsTheActiveObjectsUntilTheCloseDownLeavesThem)
{
    gf_resetSimLinkTally();
    SimClient client(port, noWaitTiming());
    connect(client);
    const std::uint32_t live = createObject(client, 0x4B1234, "Live Title");
    const std::uint32_t parked = createObject(client, 17, "Parked Title");
    createObject(client, 18, "Parked Title");
    const auto active = [] {
        const SimLinkTally t = gf_simLinkTally();
        return std::pair{t.liveActive, t.parkedActive};
    };
    EXPECT_EQ(active(), (std::pair<std::uint64_t, std::uint64_t>{1, 2}));
    gf_queueParkedRelease(parked); // it moves from now on
    frames(client, 1);
    EXPECT_EQ(active(), (std::pair<std::uint64_t, std::uint64_t>{2, 1}));
    gf_queueAiRemove(live);
    frames(client, 2);
    EXPECT_EQ(active(), (std::pair<std::uint64_t, std::uint64_t>{1, 1}));
    port.failCalls("remove", true); // the simulator keeps the rest
    client.shutdown();
    const SimLinkTally t = gf_simLinkTally();
    EXPECT_EQ(t.left, 2u);
    EXPECT_EQ(active(), (std::pair<std::uint64_t, std::uint64_t>{1, 1}));
}

TEST_F(SimClientTest, ClientEventsAndLeversGoOutInOrderAndFlapsBetweenTwoReleases)
{
    SimClient client(port, noWaitTiming());
    connect(client);
    const std::uint32_t id = createObject(client, 0x4B1234, "Live Title");
    const auto releasesBefore = port.counts().releases;

    gf_queueAiLights(id, {1, 2, 3, 4, 5, 6, 7});
    gf_queueClientEvent(AiClientEvent{id, FLAPS_SET, 3072});
    frames(client, 1);

    const auto sent = port.sentEventsFor(id);
    const std::vector<Sent> expected{
        {id, NAV_LIGHTS_SET, 1, TRAFFIC_APP},   {id, BEACON_LIGHTS_SET, 2, TRAFFIC_APP},
        {id, LANDING_LIGHTS_SET, 3, TRAFFIC_APP}, {id, TAXI_LIGHTS_SET, 4, TRAFFIC_APP},
        {id, STROBES_SET, 5, TRAFFIC_APP},      {id, LOGO_LIGHTS_SET, 6, TRAFFIC_APP},
        {id, CABIN_LIGHTS_SET, 7, TRAFFIC_APP}, {id, FLAPS_SET, 3072, TRAFFIC_APP}};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(port.counts().releases - releasesBefore, 2u);

    // Reverse thrust writes the spoilers and both levers.
    gf_queueReverseThrust(7, true, true);
    gf_queueReverseThrust(8, true, false);
    gf_queueReverseThrust(9, false, true);
    // A refused flaps event is released before only.
    port.failCalls("event", true);
    gf_queueClientEvent(AiClientEvent{id, FLAPS_SET, 0});
    frames(client, 1);
    EXPECT_EQ(port.counts().releases - releasesBefore, 3u);
    const auto levers = port.leverCalls();
    ASSERT_EQ(levers.size(), 3u);
    EXPECT_EQ(levers[0].second, (LeverValues{100.0, -100.0, -100.0}));
    EXPECT_EQ(levers[1].second, (LeverValues{100.0, 100.0, 100.0}));
    EXPECT_EQ(levers[2].second, (LeverValues{0.0, 0.0, 0.0}));
}

TEST_F(SimClientTest, FlightPlansGoOnlyToMsfs2020)
{
    {
        SimClient client(port, noWaitTiming());
        connect(client);
        gf_queueFlightPlan(FlightPlanCommand{200, "orig_dest/200.pln"});
        frames(client, 1);
        EXPECT_TRUE(port.flightPlans().empty());
        client.shutdown();
    }
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    port.setProduct(SimProduct::Msfs2020);
    SimClient client(port, noWaitTiming());
    connect(client);
    gf_queueFlightPlan(FlightPlanCommand{201, "orig_dest/201.pln"});
    frames(client, 1);
    const auto plans = port.flightPlans();
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0].first, 201u);
    EXPECT_EQ(plans[0].second, "orig_dest/201.pln");
}

TEST_F(SimClientTest, RangeReportPoseAndCgAnswersBecomeResults)
{
    SimClient client(port, noWaitTiming());
    connect(client);
    const std::uint32_t live = createObject(client, 0x4B1234, "Live Title");
    const std::uint32_t parked = createObject(client, 42, "Parked Title");
    port.setObjectGround(live, true, 364.0, 12.5);
    port.setForeignAircraft({
        AiRangeEntry{900, "", false, true, 0.0, 0.0},        // no ATC id
        AiRangeEntry{901, "USER", true, true, 0.0, 0.0},     // the user
        AiRangeEntry{902, "HIGH", false, false, 0.0, 2501.0}, // too high
        AiRangeEntry{903, "EDGE", false, false, 100.0, 2500.0},
    });
    gf_queueSimRequest(SimRequest{0, 0});
    frames(client, 2);
    auto results = takeResults();
    std::vector<std::uint32_t> ids;
    for (const auto& r : results) {
        EXPECT_EQ(r.kind, SimResultKind::AiPosition);
        ids.push_back(r.objectId);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{live, 903}));
    const auto liveResult = std::find_if(results.begin(), results.end(), [&](auto& r) { return r.objectId == live; });
    EXPECT_EQ(liveResult->hexId, 1u);
    EXPECT_EQ(liveResult->payload[0], 364.0);
    EXPECT_EQ(liveResult->payload[1], 12.5);
    EXPECT_GT(port.counts().lastInRangeRadius, 0u);

    // Released, the parked object is reported like a live one.
    gf_queueParkedRelease(parked);
    gf_queueSimRequest(SimRequest{0, 0});
    frames(client, 2);
    results = takeResults();
    EXPECT_TRUE(std::any_of(results.begin(), results.end(), [&](auto& r) { return r.objectId == parked; }));

    // Pose and centre-of-gravity answers.
    port.setStaticCgPitch(parked, 6.5, 0.01);
    port.setInitialPose(parked, SimPose{50.1, 8.6, 0.01, 0.02, 1.5, 370.0, 0.0, 0.0});
    gf_requestAiStaticCgAndPitch(parked);
    gf_requestAiInitialPose(parked);
    frames(client, 2);
    results = takeResults();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].kind, SimResultKind::StaticCgPitch);
    EXPECT_EQ(results[0].payload[0], 6.5);
    EXPECT_EQ(results[0].payload[1], 0.01);
    EXPECT_EQ(results[1].kind, SimResultKind::InitialPose);
    EXPECT_EQ(results[1].payload[0], 50.1);
    EXPECT_EQ(results[1].payload[4], 1.5);
    EXPECT_EQ(results[1].payload[5], 370.0);
}

TEST_F(SimClientTest, TeleportNewFlightAndQuitEndTheRun)
{
    SimClient client(port, noWaitTiming());
    connect(client);
    UserAcPosition p;
    p.latitude = 50.0;
    p.longitude = 8.5;
    port.setUserAircraft(p, true, "T", "B738");
    gf_queueSimRequest(SimRequest{3, 0});
    frames(client, 2);
    EXPECT_EQ(gf_currentStopRequest(), nullptr);
    EXPECT_EQ(gf_getUserAcPosition().latitude, 50.0);

    p.latitude = 50.2; // 12 NM north
    port.setUserAircraft(p, true, "T", "B738");
    gf_queueSimRequest(SimRequest{3, 0});
    frames(client, 2);
    ASSERT_NE(gf_currentStopRequest(), nullptr);
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::NewFlight);
    EXPECT_EQ(gf_stopRequestForCloseDown().delay, 60u);
    EXPECT_NE(log().find("Teleport"), std::string::npos);

    gf_resetStopRequest();
    port.reportNewFlight("flights/other.flt");
    frames(client, 1);
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::NewFlight);

    // Quitting the simulator while running reports it closed.
    gf_resetStopRequest();
    port.quitSimulator();
    frames(client, 1);
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(gf_simRunState(), kSimClosed);
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::SimWasClosed);
    EXPECT_FALSE(client.connect());
}

// A failed dispatch reconnects while the link owns no objects; once the
// simulator may have dropped some, the run restarts instead, and the progress
// line no longer counts the lost objects as active.
TEST_F(SimClientTest, FailedDispatchReconnectsUnlessObjectsWereLost)
{
    gf_resetSimLinkTally();
    SimClient client(port, noWaitTiming());
    connect(client);
    port.dropConnection();
    EXPECT_FALSE(client.dispatchOnce());
    EXPECT_FALSE(client.gaveUp());
    EXPECT_EQ(gf_simRunState(), kSimClosed);
    EXPECT_NE(log().find("SimConnect dispatch failed; hr=0x80004005"), std::string::npos);
    EXPECT_TRUE(client.connect());
    frames(client, 1);
    EXPECT_EQ(gf_simRunState(), kSimRunning);
    EXPECT_EQ(gf_currentStopRequest(), nullptr);

    createObject(client, 0x4B1234, "Live Title");
    createObject(client, 17, "Parked Title");
    port.failCalls("remove", true); // kept by the simulator: still in it when the connection goes
    gf_queueAiRemove(createObject(client, 18, "Parked Title"));
    frames(client, 1);
    port.failCalls("remove", false);
    const auto active = [] {
        const SimLinkTally t = gf_simLinkTally();
        return std::pair{t.liveActive, t.parkedActive};
    };
    ASSERT_EQ(active(), (std::pair<std::uint64_t, std::uint64_t>{1, 2}));
    port.dropConnection();
    EXPECT_FALSE(client.dispatchOnce());
    EXPECT_TRUE(client.gaveUp());
    EXPECT_EQ(gf_simRunState(), kSimError);
    EXPECT_EQ(gf_stopRequestForCloseDown().stopReason(), StopReason::SimConnectError);
    EXPECT_EQ(client.ownedObjectCount(), 0u);
    EXPECT_EQ(active(), (std::pair<std::uint64_t, std::uint64_t>{0, 0}));
}

TEST_F(SimClientTest, ShutdownRemovesEveryOwnedObjectAndLateCreates)
{
    port.setCreateDelayFrames(4);
    SimClient client(port, noWaitTiming());
    connect(client);
    gf_queueAiCreate(lf_command(0x4B0001, "A"));
    gf_queueAiCreate(lf_command(0x4B0002, "B"));
    gf_queueAiCreate(lf_command(7, "C"));
    frames(client, 6);
    ASSERT_EQ(client.ownedObjectCount(), 3u);
    takeResults();
    gf_queueAiCreate(lf_command(0x4B0003, "D")); // still on its way when the run ends
    frames(client, 1);
    ASSERT_EQ(client.pendingCreateCount(), 1u);

    client.shutdown();
    EXPECT_TRUE(port.liveObjects().empty());
    EXPECT_EQ(port.createdObjects().size(), 4u);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(gf_simRunState(), kSimClosed);
    EXPECT_NE(log().find("SimConnect shutdown cleanup: initially owned 3, remove requested 4, confirmed 4, "
                             "pending removals 0, pending creates 0"),
              std::string::npos);
    // The engine is not told about objects of a closing link.
    EXPECT_TRUE(takeResults().empty());

    // A simulator that refuses the removals is given up on.
    port.setCreateDelayFrames(0);
    SimClient silent(port, noWaitTiming());
    connect(silent);
    createObject(silent, 0x4B0004, "E");
    port.failCalls("remove", true);
    silent.shutdown();
    EXPECT_NE(log().find("initially owned 1, remove requested 0, confirmed 0"), std::string::npos);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SimClientTest, FramesMoveObjectsToTheirSampledPose)
{
    SimClient client(port, noWaitTiming());
    connect(client);
    const std::uint32_t id = createObject(client, 0x4B1234, "Live Title");
    auto& table = gf_poseTable();
    table.storePassPose(id, SimPose{50.0, 8.0, 0.0, 0.0, 0.0, 1000.0, 0.0, 200.0});
    table.flushPass(clock - std::chrono::milliseconds(30));
    table.storePassPose(id, SimPose{50.0, 8.2, 0.0, 0.0, 0.0, 1100.0, 0.0, 200.0});
    table.flushPass(clock - std::chrono::milliseconds(10));
    frames(client, 1); // samples at clock - 20 ms: halfway
    const auto object = port.object(id);
    ASSERT_TRUE(object && object->lastPose);
    EXPECT_NEAR(object->lastPose->longitude, 8.1, 1e-9);
    EXPECT_NEAR(object->lastPose->altitude, 1050.0, 1e-9);
}

// Every sleep of the run, from the wait for the simulator to the close-down,
// happens under the raised timer resolution, and the run gives it back.
TEST_F(SimClientTest, RunHoldsTheRaisedTimerResolutionForItsWholeLife)
{
    int holds = 0;
    int sleeps = 0;
    int sleepsUnraised = 0;
    std::stop_source stop;
    SimClientTiming timing = noWaitTiming();
    timing.raiseTimerResolution = [&] {
        ++holds;
        return std::shared_ptr<void>(nullptr, [&](void*) { --holds; });
    };
    timing.sleep = [&](std::chrono::milliseconds d) {
        clock += d;
        if (holds != 1) ++sleepsUnraised;
        if (++sleeps == 3) port.setProduct(SimProduct::Msfs2024); // the simulator comes up
        if (sleeps == 50) stop.request_stop();
    };
    port.setProduct(SimProduct::None);
    SimClient client(port, timing);
    client.run(stop.get_token());
    EXPECT_EQ(sleeps, 50);
    EXPECT_EQ(sleepsUnraised, 0);
    EXPECT_EQ(holds, 0);
    EXPECT_NE(log().find("SimConnect shutdown cleanup"), std::string::npos) << "it was connected";
}

TEST_F(SimClientTest, ThreadRunsOnTheInstalledPortAndCleansUpOnStop)
{
    gf_setSimPortFactory([] {
        auto p = std::make_unique<FakeSimPort>();
        p->setProduct(SimProduct::Msfs2024);
        p->setSimulationRunning(true);
        return p;
    });
    std::jthread thread(gf_simClientThread);
    EXPECT_TRUE(test::eventually([] { return gf_simRunState() == kSimRunning; }));
    for (int i = 0; i < 3; ++i)
        gf_queueAiCreate(lf_command(0x4B0001 + i, "T"));
    std::vector<SimObjectResult> results;
    test::eventually([&] {
        std::vector<SimObjectResult> batch;
        gf_takeSimObjectResults(batch);
        results.insert(results.end(), batch.begin(), batch.end());
        return results.size() >= 3;
    });
    EXPECT_EQ(results.size(), 3u);
    thread.request_stop();
    thread.join();
    gf_setSimPortFactory({});
    EXPECT_EQ(gf_simRunState(), kSimClosed);
    EXPECT_NE(log().find("initially owned 3, remove requested 3, confirmed 3"), std::string::npos);
}

} // namespace
} // namespace zelk
