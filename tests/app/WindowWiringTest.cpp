#include <gtest/gtest.h>

#include "app/FeedModes.h"
#include "app/RunWorker.h"
#include "app/WindowWiring.h"
#include "gui/PanelPainter.h"
#include "gui/WindowHooks.h"
#include "support/LoggedTempDir.h"
#include "traffic/TrafficHooks.h"

namespace zelk {
namespace {

class WindowWiring : public test::LoggedTempDirTest {};

// The program fills what the window, the feed modes and the main loop call.
TEST_F(WindowWiring, TheWindowReachesTheComponentsAboveIt)
{
    gf_removeRunStep(RunStep::Destination);
    lf_installWindow();
    const auto hooks = gf_windowHooks();
    EXPECT_TRUE(hooks->parseBlockedEntry && hooks->findAirport && hooks->readStands && hooks->parkAirportStandOf &&
                hooks->setCurrentParkAirport && hooks->setParkAirportStand && hooks->parkingActive &&
                hooks->addParkingFacts && hooks->requestAppParkedTraffic && hooks->closeAppServer &&
                hooks->setReadersTimeShift && hooks->firstTrafficArrived && hooks->applyRangeSetting);
    const FeedModeCalls calls = gf_feedModeCalls();
    EXPECT_TRUE(calls.waitForFirstTraffic && calls.setTimeShiftControlsEnabled && calls.applyTimeShift);
    EXPECT_TRUE(gf_trafficStateHooks()->followSimTime) << "the one-second job follows the simulator's clock";
    EXPECT_TRUE(gf_isRunStepInstalled(RunStep::Destination));

    // The traffic engine's reading of the selector's line.
    const auto entry = hooks->parseBlockedEntry("DLH4AB, D-AIBC, 3c6444, A320");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->hexId, 0x3c6444u);
    EXPECT_FALSE(hooks->parseBlockedEntry("no fields"));
    PanelFacts facts;
    hooks->addParkingFacts(facts);
    EXPECT_FALSE(facts.parkingActive) << "no airport file loaded";
}

} // namespace
} // namespace zelk
