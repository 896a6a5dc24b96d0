#include <algorithm>
#include <optional>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/AirportFile.h"
#include "airports/AirportFileLoad.h"
#include "airports/AirportFileNames.h"
#include "airports/AirportsRegistry.h"
#include "airports/ParkAirportFollower.h"
#include "airports/ParkAirports.h"
#include "app/CloseDown.h"
#include "app/RunWorker.h"
#include "app/Startup.h"
#include "core/Clock.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "gui/Gui.h"
#include "gui/WindowCommands.h"
#include "feed/RTAppLines.h"
#include "feed/RTAppReaderState.h"
#include "ground/Parking.h"
#include "ground/Runways.h"
#include "simlink/SimClient.h"
#include "simlink/UserAircraftState.h"
#include "support/LoggedTempDir.h"
#include "support/QuietWindow.h"
#include "support/ScopedEnv.h"
#include "support/TestAirport.h"
#include "traffic/TrafficState.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

constexpr std::int64_t kNow = 1'796'508'000;

// The park airport's load with the program's own wiring: the follower, the
// parking behind its hooks, the app reader's parked list and the simulator's
// facility data of the test airport.
class ParkAirportLoad : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        // Leaving the airport restores and saves the parking settings, and the
        // close-down saves more: the parameters file of this process, never the user's.
        test::processConfigHome();
        LoggedTempDirTest::SetUp();
        gf_gui().attachWindow(std::make_shared<test::QuietWindow>());
        gf_setFixedClock(kNow);
        test::loadTrafficTestDbase();
        gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtApp});
        lf_installComponents();
        simulator.emplace(); // after the set-up, which installs the system's simulator
        gf_resetTrafficState();
        gf_resetParkAirportList();
        gf_resetUserAircraftState();
        gf_clearParkAirport();
        gf_clearLoadedApfInfo();
        gf_resetRTAppReaderState();
        AirportRecord airport;
        airport.icao = IcaoCode(test::TestAirport::kCode);
        airport.latitude = test::TestAirport::kLatitude;
        airport.longitude = test::TestAirport::kLongitude;
        airport.altitude = static_cast<std::int32_t>(test::TestAirport::kAltitudeFt);
        gf_installAirports({airport});
        ApfParameters apf;
        apf.icao = IcaoCode(test::TestAirport::kCode);
        apf.latitude = test::TestAirport::kLatitude;
        apf.longitude = test::TestAirport::kLongitude;
        apf.altitude = static_cast<std::int32_t>(test::TestAirport::kAltitudeFt);
        apf.airportName = "Test";
        apf.stands = test::testAirportStands();
        ApfParkingSettings parking;
        parking.present = true;
        parking.RT_PARKTRAFFIC_ONLY = 1;
        parking.parking_percentage = 50;
        // The generated file of a scanned scenery, and what earlier visits learned:
        // only feed traffic is parked here.
        ASSERT_TRUE(gf_writeApf(apf, kMyThirdpartyFolder / "ZTST.xml", ApfWriteMode::Generated, kSimulatorMsfs2024,
                                false, ApfParkingSettings{}));
        ASSERT_TRUE(gf_writeApf(apf, kLearnedFolder / "my_thirdparty" / "ZTST.xml", ApfWriteMode::Learned,
                                kSimulatorMsfs2024, false, parking));
        RT_PARKTRAFFIC_ONLY.setValue(true);
        gf_buildSettingsSnapshot();
        UserAcPosition user;
        const LatLon g20 = test::testAirportPoint(-400.0, 0.0);
        user.latitude = g20.latitude;
        user.longitude = g20.longitude;
        user.altitude = test::TestAirport::kAltitudeFt;
        gf_storeUserAcPosition(user);
        gf_storeUserOnGround(true);
    }

    void TearDown() override
    {
        gf_resetParkingAirport();
        gf_resetAirportsRegistry();
        gf_resetParkAirportList();
        gf_clearParkAirport();
        gf_resetUserAircraftState();
        gf_resetRTAppReaderState();
        gf_resetTrafficState();
        for (std::size_t i = 0; i < kRunStepCount; ++i) gf_removeRunStep(static_cast<RunStep>(i));
        gf_updateCloseDownHooks([](CloseDownHooks& h) { h = CloseDownHooks{}; });
        gf_resetClock();
        gf_gui().detachWindow();
        simulator.reset();
        gf_setSimLinkHooks({});
        LoggedTempDirTest::TearDown();
    }

    // The app's parked list as its reader receives it: two aircraft at stands G2 and G7.
    static void receiveParkedList()
    {
        RTAppLineIntake intake([](TrafficBatch&, BatchKind, std::uint32_t) {});
        const std::vector<ParkPos> stands = test::testAirportStands();
        const LatLon g2{stands[1].latitude, stands[1].longitude};
        const LatLon g7{stands[6].latitude, stands[6].longitude};
        processRTAppLine(fmt::format("RTPARK,4b1900,{:.6f},{:.6f},KLM11,B738,PH-BXA,G2,{}", g2.latitude,
                                     g2.longitude, kNow - 900),
                         intake);
        processRTAppLine(fmt::format("RTPARK,4b1901,{:.6f},{:.6f},KLM12,B738,PH-BXB,G7,{}", g7.latitude,
                                     g7.longitude, kNow - 900),
                         intake);
        processRTAppLine("RTPARK_EOT", intake);
    }

    static std::size_t receivedParked()
    {
        auto& state = gf_rtAppReaderState();
        std::scoped_lock guard(state.parkedMutex);
        return state.parked.size();
    }

    std::optional<test::TestAirportSimulator> simulator;
};

// The load reads the runways of the airport being loaded, although it becomes
// the current park airport only afterwards; the parked list received for it
// before the load is placed from, and goes when the airport is left.
TEST_F(ParkAirportLoad, RunwaysAndTheReceivedParkedListServeTheAirportBeingLoaded)
{
    receiveParkedList();
    ASSERT_EQ(receivedParked(), 2u);
    gf_followParkAirport(); // chosen
    ASSERT_EQ(gf_parkAirport().airport.icao, IcaoCode(test::TestAirport::kCode));
    gf_followParkAirport(); // loaded
    EXPECT_EQ(gf_stands().size(), test::testAirportStands().size());
    EXPECT_EQ(gf_runways().size(), 2u);
    EXPECT_EQ(log().find("No runway data for"), std::string::npos);

    EXPECT_EQ(receivedParked(), 2u) << "the summary keeps the list received for this airport";
    EXPECT_NE(log().find("RT Parking changes: 0 to be removed, 2 to be added"), std::string::npos);
    EXPECT_EQ(gf_staticWorkList().size(), 2u);

    gf_resetParkingAirport();
    EXPECT_EQ(receivedParked(), 0u) << "another park airport needs its own list";
    EXPECT_TRUE(gf_runways().empty());
}

// The parking band shows the loaded file (its airport's name, publisher and
// stands) from the load on, and stops showing it when the airport is left.
TEST_F(ParkAirportLoad, TheParkingBandShowsTheLoadedFileUntilTheAirportIsLeft)
{
    const PanelState& panel = gf_gui().panel();
    gf_followParkAirport(); // chosen
    EXPECT_FALSE(panel.airportFilePresent);
    gf_followParkAirport(); // loaded
    EXPECT_TRUE(panel.airportFilePresent);
    EXPECT_EQ(panel.airportDescription, "Test");
    EXPECT_EQ(panel.parkAirport, IcaoCode(test::TestAirport::kCode));
    EXPECT_EQ(panel.standCount, test::testAirportStands().size());
    // Parking only the feed's aircraft, the wanted count is the parked limit:
    // without it the band would leave out the static counts.
    ASSERT_TRUE(gf_settings()->RT_PARKTRAFFIC_ONLY);
    EXPECT_EQ(panel.wantedStatic, static_cast<std::uint32_t>(std::min<std::int64_t>(
                                      gf_settings()->MAX_PARK_SEL, static_cast<std::int64_t>(panel.standCount))));
    EXPECT_GT(panel.wantedStatic, 0u);

    gf_resetParkingAirport();
    EXPECT_FALSE(panel.airportFilePresent);
    EXPECT_EQ(panel.airportDescription, "");
}

// The close-down leaves the park airport: the parking band stops showing its
// file, while the message line keeps saying why the run ends.
TEST_F(ParkAirportLoad, TheCloseDownLeavesTheAirportAndKeepsItsMessage)
{
    const PanelState& panel = gf_gui().panel();
    gf_followParkAirport(); // chosen
    gf_followParkAirport(); // loaded
    ASSERT_TRUE(panel.airportFilePresent);
    const std::string closing = gf_closeButtonText();
    gf_guiShowMessage(closing, true);
    gf_requestStop(StopReason::UserClosedSim, 0);
    lf_closingDown();
    EXPECT_FALSE(panel.parkAirport.isSet());
    EXPECT_FALSE(panel.airportFilePresent);
    EXPECT_EQ(panel.message, closing);
    EXPECT_TRUE(panel.messageShown);
    gf_resetStopRequest();
    stop_detail::resetClosingByUserForTests();
}

} // namespace
} // namespace zelk
