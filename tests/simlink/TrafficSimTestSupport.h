#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "SimLinkTestSupport.h"
#include "simlink/SimQueues.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/SimObjectResults.h"
#include "traffic/SimResultSteps.h"
#include "traffic/TrafficState.h"

namespace zelk::test {

// The traffic engine's containers fresh, the link's queues empty, and the steps
// of the components the results drain calls recorded instead of run.
class TrafficSimTest : public SimLinkTest {
protected:
    void SetUp() override
    {
        SimLinkTest::SetUp();
        lf_emptyEngineState();
        gf_setEngineTick(1000);
        SimResultSteps steps;
        steps.handleGroundTraffic = [this](LiveAc& ac, bool) { calls.push_back("ground " + ac.head.callsign); };
        steps.createAiFlightPlan = [this](LiveAc& ac) { calls.push_back("plan " + ac.head.callsign); };
        steps.adoptSimPose = [this](LiveAc& ac) { calls.push_back("adopt " + ac.head.callsign); };
        steps.applyParkedAltitude = [this](LiveAc& ac) { calls.push_back("altitude " + ac.head.callsign); };
        steps.cleanupLiveAircraft = [this](LiveAc& ac) { calls.push_back("cleanup " + ac.head.callsign); };
        steps.liveHoldsStand = [this](std::int32_t, std::uint32_t) { return standHeld; };
        steps.standOccupiedByLive = [this](std::int32_t, std::uint32_t) { return standOccupation; };
        steps.landingPlacement = [this](LiveAc& ac) {
            calls.push_back("landing " + ac.head.callsign);
            ac.onGround = landingSetsOnGround ? 1 : 0;
        };
        steps.placeFromSimPosition = [this](LiveAc& ac, const SimObjectResult&, std::string_view& source) {
            calls.push_back("place " + ac.head.callsign + " " + std::string(source));
        };
        gf_setSimResultSteps(std::move(steps));
    }

    void TearDown() override
    {
        gf_setSimResultSteps({});
        lf_emptyEngineState();
        SimLinkTest::TearDown();
    }

    // The run-start reset leaves the create and removal queues to the close-down;
    // tests in one process start from empty ones too.
    static void lf_emptyEngineState()
    {
        gf_resetTrafficState();
        gf_removalQueue().clear();
        gf_liveCreateQueue().clear();
        gf_staticCreateQueue().clear();
    }

    static LiveAc makeLive(std::uint32_t hexId, std::string callsign, FlightPhase phase, bool airborne)
    {
        LiveAc ac;
        ac.hexId = hexId;
        ac.head.callsign = std::move(callsign);
        ac.head.registration = "D-AIXA";
        ac.category = AcCategory::Large;
        ac.phase = phase;
        ac.simState = SimState::adding2sim;
        PosSample s;
        s.latitude = 50.0;
        s.longitude = 8.5;
        s.altitude = airborne ? 5000.0 : 364.0;
        s.airborne = airborne ? 1 : 0;
        ac.stream.push_back(s);
        ac.stream.push_back(s);
        ac.pose.latitude = 50.0;
        ac.pose.longitude = 8.5;
        ac.pose.altitude = s.altitude;
        return ac;
    }

    static StaticAc makeStatic(std::uint32_t hexId, std::string callsign)
    {
        StaticAc ac;
        ac.hexId = hexId;
        ac.head.callsign = std::move(callsign);
        ac.category = AcCategory::Large;
        ac.simState = SimState::adding2sim;
        return ac;
    }

    static SimObjectResult result(SimResultKind kind, std::uint32_t objectId, std::uint32_t hexId)
    {
        SimObjectResult r;
        r.kind = kind;
        r.objectId = objectId;
        r.hexId = hexId;
        return r;
    }

    LiveAc* live(std::uint32_t hexId)
    {
        auto& v = gf_liveAircraft();
        const auto it = std::find_if(v.begin(), v.end(), [&](const LiveAc& a) { return a.hexId == hexId; });
        return it == v.end() ? nullptr : &*it;
    }

    StaticAc* parked(std::uint32_t hexId)
    {
        auto& v = gf_staticAircraft();
        const auto it = std::find_if(v.begin(), v.end(), [&](const StaticAc& a) { return a.hexId == hexId; });
        return it == v.end() ? nullptr : &*it;
    }

    // Client events queued for the link, taken out of its queue.
    std::vector<AiClientEvent> takeEvents()
    {
        SimQueues q;
        gf_takeSimQueues(q);
        requests.insert(requests.end(), q.requests.begin(), q.requests.end());
        return q.clientEvents;
    }

    std::vector<std::string> calls;
    std::vector<SimRequest> requests;
    bool standHeld = true;
    std::uint32_t standOccupation = 0;
    bool landingSetsOnGround = false;
};

} // namespace zelk::test
