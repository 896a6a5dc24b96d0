#include "app/EngineWiring.h"

#include <utility>

#include "airports/ParkAirportFollower.h"
#include "airports/ParkAirportHooks.h"
#include "app/CloseDown.h"
#include "app/FeedModes.h"
#include "app/MainLoop.h"
#include "app/RunWorker.h"
#include "app/SimLinkStep.h"
#include "core/FeedState.h"
#include "simlink/SimClient.h"
#include "traffic/EnginePass.h"
#include "simlink/UserAircraftState.h"
#include "traffic/EngineTick.h"
#include "traffic/FlightPlanFiles.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/RecordErasure.h"
#include "traffic/TrafficCounts.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

void lf_installEngineRunSteps()
{
    gf_installRunStep(RunStep::FlightPlanFolder, [] {
        const auto folder = gf_flightPlanFolder();
        return !folder || gf_ensureFlightPlanFolder(*folder);
    });
    gf_installRunStep(RunStep::TrafficReset, [] {
        feedConnected.store(false);
        gf_resetTrafficState();
        gf_resetEnginePassCounters();
        return true;
    });
    gf_installRunStep(RunStep::SimulatorLink, [] {
        if (!lf_startSimClientThread()) return false;
        lf_takeParkAirportOnGround();
        return true;
    });
    gf_installRunStep(RunStep::MainLoop, [] {
        lf_runMainLoop();
        return true;
    });
}

// The park airport's parked and live aircraft go before the airport is left.
void lf_leaveParkAirport()
{
    if (!gf_parkAirport().airport.icao.isSet()) return;
    gf_clearStaticWorkList();
    lf_removeAllStaticAndLiveAtAirport();
    gf_resetParkingAirport(ParkAirportLeave::CloseDown);
    gf_clearParkAirport();
}

void lf_installEngineCloseDown()
{
    gf_updateCloseDownHooks([](CloseDownHooks& h) {
        h.stopTrafficDelivery = gf_disableTrafficDelivery;
        h.resetTrafficMailbox = gf_resetTrafficMailbox;
        h.simulatorLink = gf_simClientThreadHooks();
        gf_chainHook(h.clearParkAirport, lf_leaveParkAirport);
        gf_chainHook(h.clearRunMemory, [] { gf_removeFlightPlanFolder(); });
        h.runReports.emplace_back([] {
            gf_spawnTexts().clear();
            gf_logUnmatchedLiveries();
        });
        h.resetSimulatorState = gf_resetSimClientState;
        h.clearTraffic = gf_clearAllTraffic;
        gf_chainHook(h.resetMainStateExtras, lf_resetMainLoopState);
    });
}

void lf_installEngineHooks()
{
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) {
        h.resetMailbox = gf_resetTrafficMailbox;
        h.deliverBatch = gf_deliverTrafficBatch;
    });
    gf_updateParkAirportHooks([](ParkAirportHooks& h) {
        h.removeAllStaticAndLiveAtAirport = [](const IcaoCode&) { lf_removeAllStaticAndLiveAtAirport(); };
        h.addEngineTicks = [](std::uint32_t ticks) { gf_advanceEngineTick(static_cast<std::int32_t>(ticks)); };
        h.postParkedCounts = gf_guiUpdateTrafficCounts;
    });
    gf_updateFeedModeCalls([](FeedModeCalls& c) { c.applyRangeSetting = gf_applyRangeSetting; });
}

} // namespace

void lf_installEngine()
{
    lf_installEngineRunSteps();
    lf_installEngineCloseDown();
    lf_installEngineHooks();
}

} // namespace zelk
