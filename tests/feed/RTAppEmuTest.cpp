#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/StopRequest.h"
#include "core/FeedState.h"
#include "core/Parameters.h"
#include "feed/RTAppHandshake.h"
#include "feed/RTAppReaders.h"
#include "feed/RTAppServer.h"
#include "feed/RTAppTestSupport.h"
#include "gui/Gui.h"
#include "platform/NetworkLayer.h"
#include "platform/Socket.h"
#include "rtapp_emu/RTAppEmulator.h"
#include "support/Eventually.h"
#include "support/LoggedTempDir.h"

namespace zelk::test {
namespace {

using namespace std::chrono_literals;

// The captured-looking scenario of tests/data/feed.
std::string scenarioText()
{
    const char* data = std::getenv("ZELK_TEST_DATA");
    const auto path = std::filesystem::path(data != nullptr ? data : "tests/data") / "feed" / "schiphol.scenario";
    std::string text = readAll(path);
    if (text.empty()) ADD_FAILURE() << "cannot read " << path;
    return text;
}

// The program's side (server, handshake, readers) against the app's stand-in.
class RTAppEmu : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        platform::startNetworkLayer();
        prepareRTAppRun();
        gf_resetStopRequest();
        feedConnected = false;
        isProfessionalFeed = false;
        tcpPort = platform::Socket::tcpListener("0").localPort();
        PORT_NUMBER.setValue(std::to_string(tcpPort));
        PSX_SERVER_HERE.setValue(true);
        AEROWINX.setValue(false);
        ports = {platform::Socket::udpReceiver(0, 100ms).localPort(),
                 platform::Socket::udpReceiver(0, 100ms).localPort()};
        gf_setParkAirport({AirportRecord{IcaoCode("EHAM"), IataCode("AMS"), 52.3, 4.76, -11}, ""});
        gf_rtAppServer().open(PORT_NUMBER.value());
    }
    void TearDown() override
    {
        emulatorThread = {};
        gf_rtAppServer().close();
        gf_clearParkAirport();
        gf_resetStopRequest();
        platform::shutdownNetworkLayer();
        LoggedTempDirTest::TearDown();
    }

    emu::RTAppEmulator& startEmulator(emu::EmuFault fault)
    {
        emulator = std::make_unique<emu::RTAppEmulator>(emu::gf_parseEmuScenario(scenarioText()),
                                                        emu::EmuOptions{tcpPort, ports, fault, {}});
        emulatorThread = std::jthread([this](std::stop_token stop) { emulator->run(stop); });
        return *emulator;
    }
    bool recorded(const std::string& line) const
    {
        const auto lines = emulator->recordedLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string panelFeedText()
    {
        gf_gui().drainUpdateQueue();
        return gf_gui().panel().feedText;
    }

    std::uint16_t tcpPort = 0;
    RTAppUdpPorts ports;
    std::unique_ptr<emu::RTAppEmulator> emulator;
    std::jthread emulatorThread;
    std::mutex mutex;
    std::vector<Delivery> deliveries;
};

TEST_F(RTAppEmu, ARunGetsVersionBufferParkedLiveAndWeatherAndTellsTheAppWhereWeAre)
{
    startEmulator(emu::EmuFault::None);
    lf_waitForRTApp();
    EXPECT_TRUE(feedConnected);
    EXPECT_TRUE(isProfessionalFeed);
    EXPECT_EQ(panelFeedText(), "RT App prof edition: 9.0.1");
    EXPECT_NE(log().find("RealTraffic connected"), std::string::npos);

    RTAppWeatherReader weather(ports.weather);
    RTAppTrafficReader traffic(ports.traffic, [this](TrafficBatch& batch, BatchKind kind, std::uint32_t delay) {
        std::scoped_lock guard(mutex);
        deliveries.push_back({kind, delay, batch.records});
        batch.records.clear();
    });
    weather.start();
    traffic.start();
    auto& state = gf_rtAppReaderState();
    ASSERT_TRUE(eventually([&] { return state.bufferReceived.load(); }));
    gf_requestRTAppParkedTraffic();
    ASSERT_TRUE(eventually([&] { return state.parkedComplete.load(); }));
    ASSERT_TRUE(eventually([&] {
        std::scoped_lock guard(mutex);
        return deliveries.size() >= 3 && deliveries.back().kind == BatchKind::Live;
    }));
    ASSERT_TRUE(eventually([&] {
        std::scoped_lock guard(state.mutex);
        return state.qnh == 1020;
    }));
    {
        std::scoped_lock guard(mutex);
        // The app sends live batches while it answers the buffer request, so
        // one may come first; the history batches keep their own order.
        std::vector<const Delivery*> history;
        for (const auto& d : deliveries)
            if (d.kind == BatchKind::History) history.push_back(&d);
        ASSERT_EQ(history.size(), 2u);
        EXPECT_EQ(history[0]->delay, 6u);
        EXPECT_EQ(history[0]->records.size(), 2u);
        EXPECT_EQ(history[1]->delay, 12u);
        EXPECT_EQ(history[1]->records.size(), 1u);
        EXPECT_EQ(deliveries.back().delay, 30u);
        EXPECT_EQ(deliveries.back().records.size(), 1u);
    }
    {
        std::scoped_lock guard(state.parkedMutex);
        ASSERT_EQ(state.parked.size(), 1u) << "only the stand inside the box";
        EXPECT_EQ(state.parked.front().hexId, 0x484507u);
    }

    UserAcPosition user;
    user.latitude = 52.3;
    user.longitude = 4.76;
    user.altitude = 10.0;
    gf_storeUserAcPosition(user);
    gf_sendUserPositionToRTApp();
    lf_sendRTAppSimTime(1700000000);
    EXPECT_TRUE(eventually([&] { return recorded("Qs123=1700000000000"); }));
    const std::string position = gf_formatRTAppPosition(user);
    EXPECT_TRUE(recorded(position.substr(0, position.size() - 2)));
    EXPECT_TRUE(recorded("Qs999=version"));
    EXPECT_TRUE(recorded("Qs999=sendbuffer"));

    // Under AEROWINX, or without our server, no position goes out and the app is not missed.
    gf_rtAppServer().close();
    for (auto [psx, aerowinx] : {std::pair{true, true}, std::pair{false, false}}) {
        PSX_SERVER_HERE.setValue(psx);
        AEROWINX.setValue(aerowinx);
        gf_sendUserPositionToRTApp();
        EXPECT_FALSE(gf_currentStopRequest()) << psx << aerowinx;
    }
    PSX_SERVER_HERE.setValue(true);
    AEROWINX.setValue(false);
    gf_sendUserPositionToRTApp();
    ASSERT_TRUE(gf_currentStopRequest());
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::NewSettings);
    EXPECT_FALSE(feedConnected);
    weather.stop();
    traffic.stop();
}

TEST_F(RTAppEmu, VersionFaults)
{
    struct Case {
        emu::EmuFault fault;
        bool professional;
        bool connected;
        const char* logged;
    };
    // An app that closes after every answer is given up on for this run.
    for (const Case& c : {Case{emu::EmuFault::NoVersion, false, true, "No RealTraffic version received?"},
                          Case{emu::EmuFault::SplitVersion, true, true, "RealTraffic connected"},
                          Case{emu::EmuFault::HugeVersion, false, true, "No RealTraffic version received?"},
                          Case{emu::EmuFault::CloseAfterVersion, false, false, "RT App connection was stale"}}) {
        gf_rtAppServer().close();
        gf_rtAppServer().open(PORT_NUMBER.value());
        feedConnected = false;
        isProfessionalFeed = false;
        startEmulator(c.fault);
        lf_waitForRTApp();
        gf_gui().drainUpdateQueue();
        EXPECT_EQ(isProfessionalFeed, c.professional) << c.logged;
        EXPECT_NE(log().find(c.logged), std::string::npos) << c.logged;
        EXPECT_EQ(feedConnected, c.connected) << c.logged;
        emulatorThread = {};
    }
}

TEST_F(RTAppEmu, GarbageCostsOnlyTheBadLines)
{
    startEmulator(emu::EmuFault::Garbage);
    RTAppTrafficReader traffic(ports.traffic, [this](TrafficBatch& batch, BatchKind kind, std::uint32_t delay) {
        std::scoped_lock guard(mutex);
        deliveries.push_back({kind, delay, batch.records});
        batch.records.clear();
    });
    traffic.start();
    ASSERT_TRUE(eventually([&] {
        std::scoped_lock guard(mutex);
        return std::count_if(deliveries.begin(), deliveries.end(),
                             [](const Delivery& d) { return d.kind == BatchKind::Live; }) >= 2;
    }));
    traffic.stop();
    for (const auto& d : deliveries) {
        if (d.kind == BatchKind::Live) {
            EXPECT_EQ(d.records.size(), 1u) << "the good line of each round";
        }
    }
    for (auto kind : {BadInputKind::ShortLine, BadInputKind::BadValue, BadInputKind::LongLine, BadInputKind::UnknownTag})
        EXPECT_GE(gf_feedBadInputLog().refusedCount(kind), 1u) << static_cast<int>(kind);
}

TEST(RTAppEmuScenario, StatementsAndTimes)
{
    const auto s = emu::gf_parseEmuScenario("version {}\nat 2 weather {\"QNH\":1}\nat 1 traffic X,{t-5}\nloop 3\n");
    ASSERT_EQ(s.timed.size(), 2u);
    EXPECT_EQ(s.timed[0].line, "X,{t-5}") << "sorted by time";
    EXPECT_TRUE(s.timed[1].weather);
    EXPECT_EQ(s.loopSeconds, 3.0);
    EXPECT_EQ(emu::gf_expandEmuTimes("a{t}b{t+10}c{t-5}", 100), "a100b110c95");
    for (const char* bad : {"at x traffic A", "at 1 radio A", "buffer\nA\n", "frobnicate"})
        EXPECT_THROW(emu::gf_parseEmuScenario(bad), std::runtime_error) << bad;
}

} // namespace
} // namespace zelk::test
