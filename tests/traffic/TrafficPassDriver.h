#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../simlink/TrafficSimTestSupport.h"
#include "app/LiveMotionWiring.h"
#include "core/Clock.h"
#include "core/Random.h"
#include "ground/StandFinder.h"
#include "ground/TrafficGroundServices.h"
#include "gui/WaitClock.h"
#include "simlink/UserAircraftState.h"
#include "traffic/IdentityChange.h"
#include "traffic/LiveMotionHooks.h"
#include "traffic/LiveUpdate.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/RecordErasure.h"
#include "traffic/Spawn.h"
#include "traffic/StandClaims.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficTestData.h"
#include "traffic/EnginePass.h"

namespace zelk::test {

// The engine pass reduced to spawn, erasure, the user-aircraft step and the
// link, on the test thread: the traffic core's own result steps, the ground
// functions behind their hooks, a livery matcher with fixed titles, a user
// aircraft far away (or, with userInSim, the stand-in's), and a link on the
// stand-in. Tick, wall clock, steady clock and random engine are fixed.
class TrafficPassTest : public TrafficSimTest {
protected:
    void SetUp() override
    {
        TrafficSimTest::SetUp();
        loadTrafficTestDbase();
        gf_installEngineSimResultSteps();
        gf_setWaitClock(steady);
        gf_setFixedClock(1'700'000'000);
        gf_threadRandomEngine().seed(7);
        TrafficGroundHooks ground;
        ground.findNearestStand = [](const LatLon& p, const StaticAc& ac) {
            double d = 0.0;
            return gf_findNearestStand(gf_stands(), p, ac, d, false);
        };
        gf_fillTrafficGroundServices(ground);
        gf_setTrafficGroundHooks(std::move(ground));
        lf_installLiveMotion();
        gf_setLiveLiveryMatcher([this](LiveAc& ac, double) {
            for (const std::string& title : titles)
                if (title.find(ac.head.registration) != std::string::npos) {
                    ac.liveryTitle = title;
                    return true;
                }
            return false;
        });
        user.latitude = 10.0;
        user.longitude = 10.0;
        user.altitudeAboveGround = 30000.0;
        gf_updateTrafficStateHooks([this](TrafficStateHooks& h) {
            h.userAircraftPosition = [this] { return user; };
            h.userOnGround = [this] { return userOnGround; };
        });
        client = std::make_unique<SimClient>(port, noWaitTiming());
        ASSERT_TRUE(client->connect());
        // The engine's mailbox as the main loop leaves it: delivery on, passes running.
        gf_resetTrafficMailbox();
        gf_enableTrafficDelivery();
        gf_setTrafficEngineRunning(true);
        gf_resetEnginePassCounters();
    }

    void TearDown() override
    {
        gf_resetTrafficMailbox();
        client.reset();
        gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h = TrafficStateHooks{}; });
        gf_setLiveLiveryMatcher({});
        // Remembered titles are views into this test's title list.
        gf_liveryBookkeeping().clearRemembered();
        gf_setTrafficGroundHooks({});
        gf_setLiveMotionHooks({});
        gf_setWaitClock(nullptr);
        gf_resetClock();
        TrafficSimTest::TearDown();
    }

    void pass()
    {
        gf_processSimObjectResults();
        auto& live = gf_liveAircraft();
        bool erase = false;
        for (std::size_t i = 0; i < live.size(); ++i)
            erase = updateLiveAc(live[i]) || erase;
        if (erase)
            gf_eraseFlaggedLive();
        if (gf_trafficFlags().staticErasePending) {
            gf_trafficFlags().staticErasePending = false;
            std::erase_if(gf_staticAircraft(), [](const StaticAc& s) { return s.erase != 0; });
        }
        userStep();
        queueNewestCreate();
        handOver(gf_liveCreateQueue().empty() ? gf_staticCreateQueue() : gf_liveCreateQueue());
        if (!gf_removalQueue().empty()) {
            gf_queueAiRemove(gf_removalQueue().front());
            gf_removalQueue().pop_front();
        }
        lastPassPoses = gf_poseTable().passPoseCount();
        gf_poseTable().flushPass(steady->now());
        gf_advanceEngineTick(1);
        frames(*client, 1);
    }

    void passes(int n)
    {
        for (int i = 0; i < n; ++i)
            pass();
    }

    // One pass of the program's engine as the main loop runs it, then one
    // simulator frame on the link.
    void enginePass()
    {
        lf_handleAddingStack();
        frames(*client, 1);
    }

    void enginePasses(int n)
    {
        for (int i = 0; i < n; ++i)
            enginePass();
    }

    // Hands records to the engine's mailbox as a feed reader does with a live
    // batch: each record falls due delaySeconds after this tick.
    static void deliver(std::vector<TrafficRecord> records, std::uint32_t delaySeconds = kLiveBatchDelaySeconds)
    {
        TrafficBatch batch;
        batch.records = std::move(records);
        gf_deliverTrafficBatch(batch, BatchKind::Live, delaySeconds, false);
    }

    // A received report as the intake makes it.
    static TrafficRecord received(std::uint32_t hexId, const std::string& callsign, const std::string& registration,
                                  const char* model, const PosSample& s, double time)
    {
        TrafficRecord r;
        r.hexId = hexId;
        r.head.callsign = callsign;
        r.head.registration = registration;
        r.head.key.model = gf_modelCode2Index(model);
        r.sample = s;
        r.time = time;
        return r;
    }

    // A report of a known aircraft, taken as the record decoding does; false
    // when the record went no further than the identity change.
    bool report(std::uint32_t hexId, const TrafficRecordHead& head, PosSample s, double time)
    {
        LiveAc* ac = live(hexId);
        TrafficRecord record{head, s, time, hexId};
        if (ac == nullptr || !lf_handleIdentityChange(*ac, record))
            return false;
        ac->recordTime = time;
        decodeExisting(*ac, s);
        return true;
    }

    static PosSample sample(double lat, double lon, double altitudeFt, double speedKt, std::int32_t due)
    {
        PosSample s;
        s.latitude = lat;
        s.longitude = lon;
        s.altitude = altitudeFt;
        s.airborne = altitudeFt > 0.0 ? 1 : 0;
        s.groundSpeed = speedKt;
        s.dueTick = due;
        return s;
    }

    // A new live aircraft in buffer with the given samples.
    LiveAc& addLive(std::uint32_t hexId, std::string callsign, std::string registration,
                    std::vector<PosSample> samples, AcCategory category = AcCategory::Large)
    {
        LiveAc ac;
        ac.hexId = hexId;
        ac.head.callsign = std::move(callsign);
        ac.head.registration = std::move(registration);
        ac.head.key.model = gf_modelCode2Index("A320");
        ac.category = category;
        ac.proximityRadius = 0.02;
        ac.simState = SimState::buffer;
        ac.stream.assign(samples.begin(), samples.end());
        gf_liveAircraft().push_back(std::move(ac));
        return gf_liveAircraft().back();
    }

    std::vector<std::string> titles{"Airbus A320 Lufthansa D-AIXA", "Airbus A320 Swiss HB-JLT"};
    UserAcPosition user;
    bool userOnGround = false;
    std::size_t lastPassPoses = 0; // poses the last pass handed to the link
    bool userInSim = false; // take the user aircraft from the stand-in's answers
    std::shared_ptr<ManualWaitClock> steady = std::make_shared<ManualWaitClock>();
    std::unique_ptr<SimClient> client;

private:
    // Every 20th pass: the objects near the ground and the user's position are
    // asked for; a user on the ground gets the ground collision pass.
    void userStep()
    {
        if (++userPasses_ < 20)
            return;
        userPasses_ = 0;
        gf_queueSimRequest({static_cast<std::uint8_t>(SimRequestKind::AiInRange), 0});
        gf_queueSimRequest({static_cast<std::uint8_t>(SimRequestKind::UserPosition), 0});
        if (userInSim) {
            user = gf_getUserAcPosition();
            userOnGround = gf_isUserOnGround();
        }
        if (userOnGround && !(user.altitudeAboveGround > 500.0) && gf_settings()->COLLISION_USER_GND)
            gf_checkUserAcGndCollisions();
    }

    int userPasses_ = 0;

    static void handOver(std::deque<AiCreateCommand>& queue)
    {
        if (queue.empty())
            return;
        gf_queueAiCreate(queue.front());
        queue.pop_front();
    }

    void queueNewestCreate()
    {
        auto& stack = gf_addingStack();
        if (stack.empty())
            return;
        const std::uint32_t hexId = stack.back();
        stack.pop_back();
        const LiveAc* ac = live(hexId);
        if (ac == nullptr || ac->head.callsign.empty())
            return;
        AiCreateCommand c;
        c.position = SimInitPosition{ac->pose.latitude,          ac->pose.longitude,
                                     ac->pose.altitude,          ac->pose.pitch * kRadToDeg,
                                     ac->pose.bank * kRadToDeg, ac->pose.heading * kRadToDeg,
                                     0,                          0};
        c.tailNumber = ac->head.registration;
        c.title = std::string(ac->liveryTitle);
        c.hexId = hexId;
        gf_liveCreateQueue().push_back(std::move(c));
    }
};

} // namespace zelk::test
