#include "app/FeedWiring.h"

#include <gtest/gtest.h>

#include "airports/ParkAirportHooks.h"
#include "app/CloseDown.h"
#include "core/Settings.h"
#include "feed/RTAppReaderState.h"
#include "traffic/TrafficHooks.h"

namespace zelk::test {
namespace {

// The traffic core's and the park airports' feed hooks reach the app reader,
// and only while the RT App is the source.
TEST(FeedWiring, HooksReachTheAppReaderOnlyInAppMode)
{
    const ProgramMode before = *gf_programMode();
    lf_installRTAppFeed();
    auto& state = gf_rtAppReaderState();
    for (const auto source : {kTrafficSourceRtDirect, kTrafficSourceRtApp}) {
        gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, source});
        state.parked.assign(2, ParkedTrafficRecord{});
        state.parkedComplete = true;
        bool ranUnderLock = false;
        gf_trafficStateHooks()->clearParkedTables([&] { ranUnderLock = true; });
        gf_trafficStateHooks()->setQnh(990);
        gf_parkAirportHooks()->setAirportAltitude(120.0);
        const bool app = source == kTrafficSourceRtApp;
        EXPECT_EQ(state.parked.empty(), app);
        EXPECT_EQ(ranUnderLock, app);
        EXPECT_EQ(state.qnh == 990, app);
        EXPECT_EQ(state.airportAltitudeFt == 120.0, app);
    }
    const auto closeDown = gf_closeDownHooks();
    EXPECT_TRUE(closeDown->weatherReader.join && closeDown->trafficReader.join && closeDown->closeRtAppServer &&
                closeDown->resetReaders);
    gf_resetRTAppReaderState();
    gf_setRTAppAirportAltitude(std::nullopt);
    gf_storeProgramMode(before);
}

} // namespace
} // namespace zelk::test
