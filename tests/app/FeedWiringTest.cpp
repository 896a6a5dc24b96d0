#include "app/FeedWiring.h"

#include <gtest/gtest.h>

#include "airports/ParkAirportHooks.h"
#include "app/CloseDown.h"
#include "core/Settings.h"
#include "app/RunWorker.h"
#include "feed/RTAPIReaderState.h"
#include "feed/RTAppReaderState.h"
#include "traffic/TrafficHooks.h"

namespace zelk::test {
namespace {

// The traffic core's and the park airports' feed hooks reach the reader of
// the selected source, and only that one.
TEST(FeedWiring, HooksReachTheReaderOfTheSelectedSource)
{
    const ProgramMode before = *gf_programMode();
    lf_installFeed();
    auto& app = gf_rtAppReaderState();
    auto& api = gf_rtApiReaderState();
    for (const auto source : {kTrafficSourceRtDirect, kTrafficSourceRtApp}) {
        gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, source});
        app.parked.assign(2, ParkedTrafficRecord{});
        api.parked.assign(2, ParkedTrafficRecord{});
        app.qnh = api.qnh = 1013;
        app.airportAltitudeFt = api.airportAltitudeFt = std::nullopt;
        int ranUnderLock = 0;
        gf_trafficStateHooks()->clearParkedTables([&] { ++ranUnderLock; });
        gf_trafficStateHooks()->setQnh(990);
        gf_parkAirportHooks()->setAirportAltitude(120.0);
        const bool isApp = source == kTrafficSourceRtApp;
        EXPECT_EQ(ranUnderLock, 1);
        EXPECT_EQ(app.parked.empty(), isApp);
        EXPECT_EQ(api.parked.empty(), !isApp);
        EXPECT_EQ(app.qnh == 990, isApp);
        EXPECT_EQ(api.qnh == 990, !isApp);
        EXPECT_EQ(app.airportAltitudeFt == 120.0, isApp);
        EXPECT_EQ(api.airportAltitudeFt == 120.0, !isApp);
    }
    const auto traffic = gf_trafficStateHooks();
    EXPECT_TRUE(traffic->storeAppUserPosition && traffic->sendUserPositionToApp && traffic->sendSimTimeToApp &&
                traffic->requestParkedTraffic && traffic->weatherStale && traffic->trafficStale &&
                traffic->setQueryCentre && traffic->updateQueryArea);
    const auto closeDown = gf_closeDownHooks();
    EXPECT_TRUE(closeDown->weatherReader.join && closeDown->trafficReader.join && closeDown->closeRtAppServer &&
                closeDown->resetReaders);
    EXPECT_TRUE(gf_isRunStepInstalled(RunStep::FeedMode));
    gf_resetRTAppReaderState();
    gf_resetRTAPIReaderState();
    gf_setRTAppAirportAltitude(std::nullopt);
    gf_setRTAPIAirportAltitude(std::nullopt);
    gf_storeProgramMode(before);
}

} // namespace
} // namespace zelk::test
