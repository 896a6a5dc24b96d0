#include <gtest/gtest.h>

#include "airports/AirportsRegistry.h"
#include "airports/ParkAirportHooks.h"
#include "app/CloseDown.h"
#include "app/FeedModes.h"
#include "app/RunWorker.h"
#include "app/SimLinkStep.h"
#include "app/Startup.h"
#include "core/StopRequest.h"
#include "simlink/FakeSimPort.h"
#include "simlink/SimClient.h"
#include "simlink/UserAircraftState.h"
#include "ground/ParkingHooks.h"
#include "traffic/FeedHooks.h"
#include "traffic/SimResultSteps.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"

namespace zelk {
namespace {

// The program's own set-up, not a test's: every seam the run depends on is
// filled before the first MSG_START.
TEST(EngineSetUp, ProductionSetUpInstallsEveryRunStepAndHook)
{
    for (std::size_t i = 0; i < kRunStepCount; ++i) gf_removeRunStep(static_cast<RunStep>(i));
    gf_updateCloseDownHooks([](CloseDownHooks& h) { h = CloseDownHooks{}; });
    lf_installComponents();

    for (RunStep step : {RunStep::LiveryScan, RunStep::FlightPlanFolder, RunStep::ParkAirports, RunStep::TrafficReset,
                         RunStep::SimulatorLink, RunStep::MainLoop})
        EXPECT_TRUE(gf_isRunStepInstalled(step)) << gf_runStepName(step);

    const auto closeDown = gf_closeDownHooks();
    EXPECT_TRUE(closeDown->stopTrafficDelivery && closeDown->resetTrafficMailbox && closeDown->resetMainStateExtras);
    EXPECT_TRUE(closeDown->simulatorLink.requestStop && closeDown->simulatorLink.joinable &&
                closeDown->simulatorLink.join);
    EXPECT_FALSE(closeDown->simulatorLink.joinable()) << "no simulator link thread before the first run";
    EXPECT_TRUE(closeDown->clearParkAirport);
    EXPECT_TRUE(closeDown->clearRunMemory);
    EXPECT_GE(closeDown->runReports.size(), 3u);
    EXPECT_TRUE(closeDown->resetSimulatorState);
    EXPECT_TRUE(closeDown->clearTraffic);

    const auto steps = gf_simResultSteps();
    EXPECT_TRUE(steps->adoptSimPose && steps->applyParkedAltitude && steps->cleanupLiveAircraft &&
                steps->forgetSimObject && steps->liveHoldsStand && steps->standOccupiedByLive &&
                steps->handleGroundTraffic && steps->createAiFlightPlan && steps->landingPlacement &&
                steps->placeFromSimPosition);

    EXPECT_TRUE(gf_parkingHooks()->matchLiveryStatic && gf_parkingHooks()->collectStayers);
    EXPECT_TRUE(gf_feedHooks()->placeParkedTraffic);

    const auto airport = gf_parkAirportHooks();
    EXPECT_TRUE(airport->airportLoaded && airport->airportLeft && airport->takeStands && airport->engineStands &&
                airport->clearStands && airport->removeAllStaticAndLiveAtAirport && airport->addEngineTicks);
    EXPECT_TRUE(airport->postParkedCounts) << "a finished parking generation shows the parked counts";
    EXPECT_TRUE(airport->clearFeedRecordTables && airport->requestRTAppParkedTraffic && airport->setAirportAltitude &&
                airport->resetParkedRequest);

    EXPECT_TRUE(gf_isRunStepInstalled(RunStep::FeedMode));
    const FeedModeCalls feedMode = gf_feedModeCalls();
    EXPECT_TRUE(feedMode.applyRangeSetting);
    // Left to the window, which owns their controls, and so not checked here:
    // waitForFirstTraffic, setTimeShiftControlsEnabled and applyTimeShift.

    const auto ground = gf_trafficGroundHooks();
    EXPECT_TRUE(ground->findNearestStand && ground->findRunwayLoose && ground->isNearRunway &&
                ground->placeNextStaticAircraft && ground->limitParkedAircraft && ground->checkStandEntry &&
                ground->drive2Stand && ground->startTakeoffRoll && ground->emitMovementReport);

    const auto traffic = gf_trafficStateHooks();
    EXPECT_TRUE(traffic->userAircraftPosition && traffic->userOnGround && traffic->currentParkAirportStand &&
                traffic->resetMailbox && traffic->deliverBatch);

    for (std::size_t i = 0; i < kRunStepCount; ++i) gf_removeRunStep(static_cast<RunStep>(i));
    gf_updateCloseDownHooks([](CloseDownHooks& h) { h = CloseDownHooks{}; });
}

// The run's simulator link: a thread on the installed port, a flown user
// aircraft waited for, and the close-down's handle stops and joins it.
TEST(EngineSetUp, SimulatorLinkStepWaitsForTheUserAircraftAndTheCloseDownJoinsItsThread)
{
    gf_resetStopRequest();
    gf_resetSimClientState();
    gf_setSimPortFactory([] {
        auto port = std::make_unique<FakeSimPort>();
        port->setProduct(SimProduct::Msfs2024);
        port->setSimulationRunning(true);
        UserAcPosition user;
        user.latitude = 47.5;
        user.longitude = 9.0;
        port->setUserAircraft(user, true, "Test Title", "A320");
        return port;
    });
    ASSERT_TRUE(lf_startSimClientThread());
    EXPECT_EQ(gf_userTitle(), "Test Title");
    EXPECT_EQ(gf_userModel(), "A320");
    EXPECT_NEAR(gf_getUserAcPosition().latitude, 47.5, 1e-9);

    // A second run joins the first run's thread before it starts its own.
    ASSERT_TRUE(lf_startSimClientThread());
    const RunThreadHooks thread = gf_simClientThreadHooks();
    ASSERT_TRUE(thread.joinable());
    thread.requestStop();
    thread.join();
    EXPECT_FALSE(thread.joinable());
    EXPECT_EQ(gf_simRunState(), kSimClosed);

    // Without a simulator the wait ends as soon as the run stops.
    gf_setSimPortFactory({});
    gf_requestStop(StopReason::UserClosedSim, 0);
    EXPECT_FALSE(lf_startSimClientThread());
    thread.requestStop();
    thread.join();
    gf_resetStopRequest();
    gf_resetSimClientState();
}

// A user on the ground gets the park airport at start, also when the
// simulator's first once-a-second on-ground report comes long after the
// position: the step waits for that report before it decides.
TEST(EngineSetUp, SimulatorLinkStepWaitsForTheFirstOnGroundReportBeforeTheParkAirportIsTaken)
{
    gf_resetStopRequest();
    stop_detail::resetClosingByUserForTests();
    gf_resetSimClientState();
    gf_clearParkAirport();
    AirportRecord zurich;
    zurich.icao = IcaoCode("LSZH");
    zurich.latitude = 47.4647;
    zurich.longitude = 8.5492;
    zurich.altitude = 1416;
    gf_installAirports({zurich});
    gf_setSimPortFactory([] {
        auto port = std::make_unique<FakeSimPort>();
        port->setProduct(SimProduct::Msfs2024);
        port->setSimulationRunning(true);
        // The first on-ground report comes about 1.5 s after the first frame.
        port->setFrameTiming(25, 60);
        UserAcPosition user;
        user.latitude = 47.4597;
        user.longitude = 8.5547;
        user.altitude = 1416;
        port->setUserAircraft(user, true, "Test Title", "A320");
        return port;
    });
    ASSERT_TRUE(lf_startSimClientThread());
    EXPECT_EQ(gf_userOnGroundState(), 1);
    lf_takeParkAirportOnGround();
    EXPECT_EQ(gf_parkAirport().airport.icao, IcaoCode("LSZH"));

    const RunThreadHooks thread = gf_simClientThreadHooks();
    thread.requestStop();
    thread.join();
    gf_setSimPortFactory({});
    gf_clearParkAirport();
    gf_resetAirportsRegistry();
    gf_resetSimClientState();
}

} // namespace
} // namespace zelk
