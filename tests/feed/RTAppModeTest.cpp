// The RT App mode of a run (lf_runRTAppMode) against the RealTraffic app's
// stand-in, zelk_rtapp_emu, started as a process of its own on free loopback
// ports: the handshake, the version, the buffer's history batches on their way
// into the engine's mailbox, parked traffic, and each fault of the stand-in.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/FeedModes.h"
#include "app/RunWorker.h"
#include "app/WindowWiring.h"
#include "core/FeedState.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "feed/FeedModeTestSupport.h"
#include "feed/RTAppReaders.h"
#include "feed/RTAppServer.h"
#include "feed/RTAppTestSupport.h"
#include "gui/Gui.h"
#include "gui/WindowHooks.h"
#include "traffic/TrafficHooks.h"
#include "gui/WaitClock.h"
#include "platform/NetworkLayer.h"
#include "simlink/UserAircraftState.h"
#include "support/ChildProcess.h"
#include "support/Eventually.h"
#include "support/LoggedTempDir.h"
#include "support/ScopedEnv.h"
#include "traffic/TrafficState.h"

namespace zelk::test {
namespace {

using namespace std::chrono_literals;

const std::string kProfessional = R"({"level":2,"version":"9.0.1"})";

class RTAppMode : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        platform::startNetworkLayer();
        prepareRTAppRun();
        gf_resetStopRequest();
        feedConnected = false;
        isProfessionalFeed = false;
        gf_gui().resetPanelState();
        tcpPort = freeTcpPort();
        udpTraffic = freeUdpPort();
        udpWeather = freeUdpPort();
        udpPorts.emplace("ZELK_RTAPP_UDP_PORTS", std::to_string(udpTraffic) + "," + std::to_string(udpWeather));
        PORT_NUMBER.setValue(std::to_string(tcpPort));
        PSX_SERVER_HERE.setValue(true);
        AEROWINX.setValue(false);
        // The run sets its own traffic range from these: 60 NM takes the
        // scenario's aircraft 11 NM out.
        RANGE_GROUND.setValue(60);
        // The user at a Schiphol stand; the park airport is Schiphol.
        gf_setParkAirport({AirportRecord{IcaoCode("EHAM"), IataCode("AMS"), 52.3, 4.76, -11}, ""});
        UserAcPosition user;
        user.latitude = 52.3;
        user.longitude = 4.76;
        user.altitude = 10.0;
        gf_storeUserAcPosition(user);
        gf_setWaitClock(std::make_shared<ScaledWaitClock>(10));
    }
    void TearDown() override
    {
        closeDown();
        app.kill();
        gf_storeUserOnGround(false);
        RANGE_GROUND.setValue(rangeGround);
        gf_setWaitClock(nullptr);
        gf_clearParkAirport();
        gf_resetTrafficMailbox();
        gf_resetTrafficState();
        gf_resetStopRequest();
        gf_setStopHooks({});
        stop_detail::resetClosingByUserForTests();
        platform::shutdownNetworkLayer();
        LoggedTempDirTest::TearDown();
    }

    // The app's stand-in on this test's ports, playing the Schiphol scenario
    // with the given version reply; with olderFormat, its 44-field traffic
    // lines lose their last two fields, as an app of the 42-field format sends them.
    void startApp(const std::string& fault, const std::string& version = kProfessional, bool olderFormat = false)
    {
        std::string scenario = readAll(feedTestData("schiphol.scenario"));
        ASSERT_FALSE(scenario.empty()) << feedTestData("schiphol.scenario");
        const auto at = scenario.find("version ");
        scenario.replace(at, scenario.find('\n', at) - at, "version " + version);
        if (olderFormat)
            scenario = std::regex_replace(scenario, std::regex("(RT(TFC|BUF),[^\n]*),[^,\n]*,[^,\n]*\n"), "$1\n");
        writeAll(file("app.scenario"), scenario);
        std::vector<std::string> args{"--scenario", file("app.scenario").string(), "--port", std::to_string(tcpPort),
                                      "--udp", std::to_string(udpTraffic) + "," + std::to_string(udpWeather),
                                      "--record", file("app-record.txt").string(), "--duration",
                                      std::to_string(kTestLimit.count())};
        if (!fault.empty()) args.insert(args.end(), {"--fault", fault});
        app = ChildProcess(ZELK_RTAPP_EMU_PATH, args, file("app-out.txt"));
    }
    // What the close-down does for the feed: readers stopped, server closed,
    // reader state reset.
    void closeDown()
    {
        gf_rtAppWeatherReader().stop();
        gf_rtAppTrafficReader().stop();
        gf_rtAppServer().close();
        gf_resetRTAppReaderState();
    }
    // Logged, or shown on the message line (which logs it).
    bool logged(const std::string& text) const
    {
        gf_gui().drainUpdateQueue();
        return log().find(text) != std::string::npos;
    }
    std::vector<std::string> appRecord() const
    {
        std::vector<std::string> lines;
        const std::string all = readAll(file("app-record.txt"));
        for (std::size_t at = 0; at < all.size();) {
            const auto end = all.find('\n', at);
            lines.push_back(all.substr(at, end - at));
            at = end == std::string::npos ? all.size() : end + 1;
        }
        return lines;
    }
    bool appGot(const std::string& prefix) const
    {
        const auto lines = appRecord();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
    }
    std::string feedText()
    {
        gf_gui().drainUpdateQueue();
        return gf_gui().panel().feedText;
    }

    MailboxRecorder mailbox;
    const std::int32_t rangeGround = RANGE_GROUND.value();
    std::uint16_t tcpPort = 0;
    std::uint16_t udpTraffic = 0;
    std::uint16_t udpWeather = 0;
    std::optional<ScopedEnv> udpPorts;
    ChildProcess app;
};

struct AppModeCase {
    const char* name;
    const char* fault;
    std::string version;
    bool userOnGround;
    bool connected;
    bool professional;
    std::optional<std::vector<std::uint32_t>> historyDelays; // of the batches reaching the mailbox
    std::optional<std::size_t> parked;                        // the parked list after the run
    std::vector<std::string> logged;
    std::vector<std::string> notLogged;
};

void PrintTo(const AppModeCase& c, std::ostream* os) { *os << c.name; }

class RTAppModeCases : public RTAppMode, public ::testing::WithParamInterface<AppModeCase> {};

const std::vector<std::uint32_t> kBuffer{6, 12};

// Every case: the app runs before the run opens its server, as a user starts it.
const AppModeCase kAppModeCases[] = {
    {"Professional", "", kProfessional, true, true, true, kBuffer, 1,
     {"RealTraffic connected", "QNH Reader connected", "Traffic Reader connected", "2 Buffer traffic received",
      "Requesting RT parked traffic ...", "1 park traffic received"},
     {"Time out"}},
    {"Standard", "", R"({"level":1,"version":"8.1.2"})", true, true, false, kBuffer, 1,
     {"RealTraffic connected", "1 park traffic received"}, {"Time out"}},
    {"UserInTheAir", "", kProfessional, false, true, true, kBuffer, 0,
     {"user not at an airport, no RT parked Traffic needed"}, {"Requesting RT parked traffic", "Time out"}},
    {"ParkedTimesOut", "no-parked", kProfessional, true, true, true, kBuffer, 0,
     {"Time out: no parked traffic received?"}, {"park traffic received"}},
    {"BufferTimesOut", "no-buffer", kProfessional, true, true, true, std::vector<std::uint32_t>{}, 1,
     {"Time out: no buffer traffic received?", "1 park traffic received"}, {"Buffer traffic received"}},
    {"NoVersion", "no-version", kProfessional, true, true, false, kBuffer, 1,
     {"No RealTraffic version received?", "RealTraffic connected"}, {"Time out"}},
    {"SplitVersion", "split-version", kProfessional, true, true, true, kBuffer, 1, {"RealTraffic connected"}, {}},
    {"HugeVersion", "huge-version", kProfessional, true, true, false, kBuffer, 1,
     {"RT App reply over 16384 bytes ignored", "No RealTraffic version received?"}, {}},
    // An app that drops the connection after every answer is given up on for
    // this run: the feed is not connected, the run goes on with its readers.
    {"CloseAfterVersion", "close-after-version", kProfessional, true, false, false, std::nullopt, std::nullopt,
     {"RT App connection was stale, waiting for a new one ..."}, {"RealTraffic connected"}},
    {"Garbage", "garbage", kProfessional, true, true, true, kBuffer, 1,
     {"RealTraffic connected", "exception in processLine", "Ignoring RT App line of"}, {}},
};

TEST_P(RTAppModeCases, RunsAgainstTheAppsStandIn)
{
    const AppModeCase& c = GetParam();
    gf_storeUserOnGround(c.userOnGround);
    startApp(c.fault, c.version);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(lf_runRTAppMode());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    EXPECT_EQ(feedConnected.load(), c.connected);
    EXPECT_EQ(isProfessionalFeed.load(), c.professional);
    EXPECT_FALSE(gf_currentStopRequest());
    // Lines of what the app sends on its own (weather, garbage) may come after the start.
    for (const auto& text : c.logged) EXPECT_TRUE(eventually([&] { return logged(text); })) << text << "\n" << log();
    for (const auto& text : c.notLogged) EXPECT_FALSE(logged(text)) << text << "\n" << log();
    if (c.historyDelays) {
        EXPECT_EQ(mailbox.delaysOf(BatchKind::History), *c.historyDelays);
        // Decoded before the engine runs: the buffer's two aircraft are in the engine.
        if (!c.historyDelays->empty()) {
            EXPECT_EQ(gf_liveAircraft().size(), 2u);
        }
    }
    if (c.parked) {
        auto& state = gf_rtAppReaderState();
        std::scoped_lock guard(state.parkedMutex);
        EXPECT_EQ(state.parked.size(), *c.parked) << "only the aircraft inside the box around Schiphol";
    }
    if (c.connected) {
        EXPECT_EQ(appGot("Qs999=sendparked,"), c.userOnGround);
        EXPECT_TRUE(appGot("Qs121=")) << "the run told the app where the user is";
        EXPECT_EQ(feedText(), c.professional ? "RT App prof edition: 9.0.1"
                                             : (c.fault[0] == '\0' ? "RT App stnd edition: 8.1.2" : ""));
    }
}

INSTANTIATE_TEST_SUITE_P(, RTAppModeCases, ::testing::ValuesIn(kAppModeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The good line of each round of bad ones still reaches the mailbox's door
// (the mailbox itself takes live batches only once the main loop runs).
TEST_F(RTAppMode, GarbageCostsOnlyTheBadLines)
{
    gf_storeUserOnGround(true);
    startApp("garbage");
    ASSERT_TRUE(lf_runRTAppMode());
    EXPECT_TRUE(eventually([&] {
        const auto entries = mailbox.entries();
        return std::count_if(entries.begin(), entries.end(), [](const MailboxEntry& e) {
                   return e.kind == BatchKind::Live && e.delay == 30 && e.records == 1;
               }) >= 2;
    }));
    for (const auto& e : mailbox.entries())
        if (e.kind == BatchKind::Live) {
            EXPECT_LE(e.records, 1u) << "bad lines never become records";
        }
}

// An app started after the run's one accept attempt: the first position
// report misses it and asks for a restart; the next run takes it.
TEST_F(RTAppMode, AnAppThatComesLaterIsTakenByTheNextRun)
{
    gf_storeUserOnGround(true);
    EXPECT_FALSE(lf_runRTAppMode());
    ASSERT_TRUE(gf_currentStopRequest());
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::NewSettings);
    EXPECT_EQ(gf_currentStopRequest()->delay, 0u);
    EXPECT_TRUE(logged("Waiting for the RealTraffic App to run ... (did you start it?)"));
    EXPECT_TRUE(logged("RealTraffic App gone"));
    EXPECT_TRUE(logged("Time out: no buffer traffic received?"));
    EXPECT_FALSE(feedConnected.load());

    closeDown();
    gf_resetStopRequest();
    startApp("");
    EXPECT_TRUE(lf_runRTAppMode());
    EXPECT_TRUE(feedConnected.load());
    EXPECT_TRUE(logged("RealTraffic connected"));
    EXPECT_EQ(mailbox.delaysOf(BatchKind::History), kBuffer);
}

// The user closes the window while the app is connected: the stop closes the
// app's server at once (the program's stop hook), and the position report the
// engine makes next sends nothing and reports no app gone.
TEST_F(RTAppMode, ClosingTheWindowReportsNoAppGone)
{
    const ProgramMode mode = *gf_programMode();
    gf_storeProgramMode(ProgramMode{mode.simulator, kTrafficSourceRtApp});
    gf_setStopHooks({{}, [] { gf_rtAppServer().close(); }});
    gf_storeUserOnGround(true);
    startApp("");
    ASSERT_TRUE(lf_runRTAppMode());
    ASSERT_TRUE(feedConnected.load());
    gf_requestStop(StopReason::UserClosedSim, 0);
    gf_sendUserPositionToRTApp();
    EXPECT_FALSE(logged("RealTraffic App gone")) << log();
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::UserClosedSim);
    EXPECT_TRUE(feedConnected.load()) << "nothing failed";
    EXPECT_FALSE(gf_rtAppServer().isConnected()) << "the stop closed the server";
    gf_storeProgramMode(mode);
}

// An app of the older 42-field format: every traffic line is refused for its
// field count (each named as before), no record is taken, and the run's
// first-traffic check names the app's line format on the status line and in
// the log instead of a quiet region.
TEST_F(RTAppMode, TrafficLinesOfAnOlderFormatAreNamedAsTheReasonForNoTraffic)
{
    // The program's window wiring gives the run its first-traffic check.
    struct WindowWiring {
        const ProgramMode mode = *gf_programMode();
        WindowWiring()
        {
            lf_installWindow();
            ProgramMode app = mode;
            app.trafficSource = kTrafficSourceRtApp;
            gf_storeProgramMode(app);
        }
        ~WindowWiring()
        {
            gf_storeProgramMode(mode);
            gf_updateWindowHooks([](WindowHooks& h) { h = WindowHooks{}; });
            gf_updateFeedModeCalls([](FeedModeCalls& c) { c = FeedModeCalls{}; });
            gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h.followSimTime = nullptr; });
            gf_removeRunStep(RunStep::Destination);
        }
    } wiring;
    gf_storeUserOnGround(true);
    startApp("", kProfessional, true);
    ASSERT_TRUE(lf_runRTAppMode());
    const std::string reason = "No traffic taken: the RealTraffic app's lines have 42 fields, 44 are required; update "
                               "the RealTraffic app";
    EXPECT_TRUE(logged(reason)) << log();
    EXPECT_EQ(gf_gui().panel().message, reason);
    EXPECT_TRUE(logged("Ignoring incomplete RT App message: 42 fields received, 44 required: "));
    EXPECT_FALSE(logged("No traffic in this region"));
    EXPECT_EQ(gf_liveAircraft().size(), 0u);
}

// The pause after the app's version reply is a wait of its own kind: the
// start-up benchmark counts it apart from the polls. 2 s on the run's clock.
TEST_F(RTAppMode, TheSettleAfterTheVersionReplyIsAWaitOfItsOwnKind)
{
    // Ten times faster than real time; a settle of this thread passes at once,
    // noted exactly as asked, however loaded the machine.
    class RecordingClock final : public WaitClock {
    public:
        TimePoint now() const override { return scaled_.now() + TimePoint::duration(skipped_.load()); }
        void sleepUntil(TimePoint t) override
        {
            const auto left = std::max(t - now(), TimePoint::duration{});
            if (std::this_thread::get_id() == thread_ && gf_waitPurpose() == WaitPurpose::Settle) {
                settle += left;
                skipped_ += left.count();
                return;
            }
            std::this_thread::sleep_for(left / 10);
        }
        TimePoint::duration settle{};

    private:
        ScaledWaitClock scaled_{10};
        std::atomic<TimePoint::rep> skipped_{0};
        std::thread::id thread_ = std::this_thread::get_id();
    };
    auto clock = std::make_shared<RecordingClock>();
    gf_setWaitClock(clock);
    gf_storeUserOnGround(false);
    startApp("");
    EXPECT_TRUE(lf_runRTAppMode());
    EXPECT_TRUE(logged("RealTraffic connected"));
    gf_setWaitClock(std::make_shared<ScaledWaitClock>(10));
    EXPECT_NEAR(std::chrono::duration<double>(clock->settle).count(), 2.0, 0.15);
    EXPECT_EQ(gf_waitPurpose(), WaitPurpose::Poll) << "the settle's mark ends with it";
}

// Without our server (the app talks to PSX itself) there is no handshake:
// the feed counts as connected and the readers listen at once.
TEST_F(RTAppMode, WithoutTheServerTheFeedCountsAsConnected)
{
    PSX_SERVER_HERE.setValue(false);
    gf_storeUserOnGround(false);
    startApp("");
    EXPECT_TRUE(lf_runRTAppMode());
    EXPECT_TRUE(feedConnected.load());
    EXPECT_FALSE(logged("Waiting for the RealTraffic App"));
    EXPECT_TRUE(logged("Receiving buffer traffic failed"));
    EXPECT_EQ(app.running(), true);
    EXPECT_TRUE(appRecord().empty() || appRecord().front().empty()) << "nothing was asked of the app";
    PSX_SERVER_HERE.setValue(true);
}

} // namespace
} // namespace zelk::test
