#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "../simlink/TrafficSimTestSupport.h"
#include "app/LiveMotionWiring.h"
#include "app/TrafficWiring.h"
#include "core/Clock.h"
#include "core/Random.h"
#include "ground/ParkingHooks.h"
#include "gui/WaitClock.h"
#include "simlink/PoseTable.h"
#include "simlink/UserAircraftState.h"
#include "support/ScopedEnv.h"
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

// The program's engine pass on the test thread with a link on the stand-in:
// the traffic core's own result steps, the ground functions behind their
// hooks, a livery matcher with fixed titles, a user aircraft far away (or,
// with userInSim, the stand-in's). Reports reach the engine through its
// mailbox as a feed reader hands them over; the program makes and removes the
// aircraft. Tick, wall clock, steady clock and random engine are fixed; the
// steady clock moves 10 ms a pass.
class TrafficPassTest : public TrafficSimTest {
protected:
    void SetUp() override
    {
        // The flight plans of the aircraft shown go to this process's own per-user folder, never the user's.
        processConfigHome();
        TrafficSimTest::SetUp();
        loadTrafficTestDbase();
        gf_installEngineSimResultSteps();
        gf_setWaitClock(steady);
        gf_setFixedClock(1'700'000'000);
        gf_threadRandomEngine().seed(7);
        // The engine as the program's set-up wires it, liveries from the titles.
        lf_installTrafficEngine();
        lf_installLiveMotion();
        gf_setLiveLiveryMatcher([this](LiveAc& ac, double) { return matchTitle(ac); });
        ParkingHooks parking = *gf_parkingHooks();
        parking.matchLiveryStatic = [this](StaticAc& ac, const ParkPos&) { return matchTitle(ac); };
        gf_setParkingHooks(std::move(parking));
        user.latitude = 10.0;
        user.longitude = 10.0;
        user.altitudeAboveGround = 30000.0;
        gf_updateTrafficStateHooks([this](TrafficStateHooks& h) {
            h.userAircraftPosition = [this] { return userInSim ? gf_getUserAcPosition() : user; };
            h.userOnGround = [this] { return userInSim ? gf_isUserOnGround() : userOnGround; };
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
        gf_setParkingHooks({});
        gf_setLiveMotionHooks({});
        gf_setWaitClock(nullptr);
        gf_resetClock();
        TrafficSimTest::TearDown();
    }

    // One pass of the program's engine as the main loop runs it, then one
    // simulator frame on the link; passes follow each other 10 ms apart.
    void enginePass()
    {
        lastPassTime_ = steady->now();
        lf_handleAddingStack();
        steady->advance(std::chrono::milliseconds(10));
        frames(*client, 1);
    }

    void enginePasses(int n)
    {
        for (int i = 0; i < n; ++i)
            enginePass();
    }

    // Engine passes until done() holds, at most limit; returns how many ran.
    int enginePassesUntil(const std::function<bool()>& done, int limit)
    {
        int n = 0;
        for (; n < limit && !done(); ++n)
            enginePass();
        return n;
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

    // A live aircraft as the program makes it from its first report: the
    // record goes through the engine's mailbox and the record decoding, which
    // creates it in buffer (its sample due 30 s on). Throws when the program
    // refuses to create it.
    LiveAc& created(std::uint32_t hexId, const std::string& callsign, const std::string& registration,
                    const char* model, const PosSample& first, double time = kFirstReportTime)
    {
        deliver({received(hexId, callsign, registration, model, first, time)});
        while (lf_drainTrafficMailbox() > 0) {
        }
        LiveAc* ac = live(hexId);
        if (ac == nullptr)
            throw std::runtime_error("the program made no aircraft of the report of " + callsign);
        return *ac;
    }

    // A program-made live aircraft, in buffer, whose stream the test then sets
    // to the given samples: the state a rule case starts from. Its collision
    // circle is 37 m wide, which the cases' geometry counts on (the test
    // database gives the A320 no span).
    LiveAc& addLive(std::uint32_t hexId, const std::string& callsign, const std::string& registration,
                    std::vector<PosSample> samples, const char* model = "A320")
    {
        const PosSample first = samples.empty() ? sample(50.0, 8.0, 5000.0, 250.0, 0) : samples.front();
        LiveAc& ac = created(hexId, callsign, registration, model, first);
        ac.stream.assign(samples.begin(), samples.end());
        ac.proximityRadius = 0.02;
        return ac;
    }

    // The same with a model of the category from the test database.
    LiveAc& addLive(std::uint32_t hexId, const std::string& callsign, const std::string& registration,
                    std::vector<PosSample> samples, AcCategory category)
    {
        LiveAc& ac = addLive(hexId, callsign, registration, std::move(samples), modelOf(category));
        if (ac.category != category)
            throw std::runtime_error("the test database gives another category");
        return ac;
    }

    static const char* modelOf(AcCategory category)
    {
        switch (category) {
        case AcCategory::Light: return "C172";
        case AcCategory::TwoProps: return "PA34";
        case AcCategory::Bizjet: return "C25C";
        case AcCategory::Heavy: return "B777";
        case AcCategory::HighPerf: return "EUFI";
        case AcCategory::Rotorcraft: return "EC35";
        case AcCategory::Large: break;
        }
        return "A320";
    }

    // True when the last engine pass handed the object's pose to the link.
    bool posedLastPass(std::uint32_t objectId) const
    {
        const std::vector<AiPoseSample> poses = gf_poseTable().samples(objectId);
        return !poses.empty() && poses.back().time == lastPassTime_;
    }

    static constexpr double kFirstReportTime = 1'699'999'000.0;

    std::vector<std::string> titles{"Airbus A320 Lufthansa D-AIXA", "Airbus A320 Swiss HB-JLT"};
    UserAcPosition user;
    bool userOnGround = false;
    bool userInSim = false; // take the user aircraft from the stand-in's answers
    std::shared_ptr<ManualWaitClock> steady = std::make_shared<ManualWaitClock>();
    std::unique_ptr<SimClient> client;

private:
    // The first title that holds the aircraft's registration.
    bool matchTitle(StaticAc& ac) const
    {
        for (const std::string& title : titles)
            if (title.find(ac.head.registration) != std::string::npos) {
                ac.liveryTitle = title;
                return true;
            }
        return false;
    }

    WaitClock::TimePoint lastPassTime_{};
};

} // namespace zelk::test
