// The web-API readers, login and logout over HTTPS against the service's
// stand-in on 127.0.0.1.
#if defined(ZELK_HAVE_RTAPI_EMU)

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/FeedState.h"
#include "core/StopRequest.h"
#include "core/UserRelatedException.h"
#include "feed/Credential.h"
#include "feed/RTAPIReaders.h"
#include "feed/RTAPIRecords.h"
#include "feed/RTAPISession.h"
#include "feed/RTAppTestSupport.h"
#include "gui/WaitClock.h"
#include "rtapi_emu/RTAPIEmulator.h"
#include "simlink/UserAircraftState.h"
#include "support/Eventually.h"
#include "support/LoggedTempDir.h"
#include "support/ScopedEnv.h"

namespace zelk::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using emu::ApiAnswer;

const std::string kLogin = R"({"status":200,"GUID":"guid-7","type":2,"rrl":2000,"server":"rtwa-1"})";
const std::string kTraffic =
    R"({"status":200,"rrl":2000,"full_count":1,"dataepoch":1700000005,"data":{"484506":["484506",52.2,4.5,90,5000,250,"1234",null,"B738","PH-BXA",1700000000,"AMS","JFK","KLM123",null,500,null,"adsb_icao",null,null,260,null,null,10,null,91,null,null,"A3",null,null,null,null,null,null,null,null,null,null,null,null,null,null,null,null,null,null,null]}})";

// A wait clock that moves only by its sleeps, each recorded; gate() runs first.
class RecordingClock final : public WaitClock {
public:
    TimePoint now() const override
    {
        std::scoped_lock guard(mutex_);
        return now_;
    }
    void sleepUntil(TimePoint t) override
    {
        if (gate) gate();
        std::scoped_lock guard(mutex_);
        if (t > now_) sleeps.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(t - now_));
        now_ = std::max(now_, t);
    }
    std::vector<std::chrono::milliseconds> recorded() const
    {
        std::scoped_lock guard(mutex_);
        return sleeps;
    }
    std::function<void()> gate;

private:
    mutable std::mutex mutex_;
    TimePoint now_ = TimePoint{} + 1h;
    std::vector<std::chrono::milliseconds> sleeps;
};

class RTAPILink : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        prepareRTAppRun();
        gf_resetStopRequest();
        gf_resetRTAPIReaderState();
        gf_rtApiWorkerTransport().reinit();
        emulator = std::make_unique<emu::RTAPIEmulator>(dir() / "emu");
        emulator->script("/auth", {{200, kLogin}});
        emulator->script("/deauth", {{200, R"({"status":200})"}});
        emulator->script("/traffic", {{200, kTraffic}});
        base.emplace(kRTAPIBaseVariable, emulator->base());
        ca.emplace(kRTAPICaVariable, emulator->caFile().string());
        gf_setRTCredential(RTCredential{"AB12-CD34-EF56", false, {}});
        gf_setRTAPIBatchDelivery([this](TrafficBatch& batch) {
            std::scoped_lock guard(mutex);
            delivered.push_back(batch.records);
        });
        gf_setRTAPIQueryCentre(52.0, 4.0);
        gf_setParkAirport({AirportRecord{IcaoCode("EHAM"), IataCode("AMS"), 52.3, 4.76, -11}, ""});
    }
    void TearDown() override
    {
        gf_setWaitClock(nullptr);
        gf_setRTAPIBatchDelivery(nullptr);
        gf_rtApiSession().clearAuthentication();
        gf_clearRTCredential();
        gf_clearParkAirport();
        emulator.reset();
        gf_resetStopRequest();
        LoggedTempDirTest::TearDown();
    }
    void giveQueryBox()
    {
        std::scoped_lock guard(gf_rtApiReaderState().mutex);
        gf_rtApiReaderState().queryBox = gf_rtApiQueryBox(52.0, 4.0, 60.0);
    }
    void start(RTAPIReader& reader)
    {
        reader.setFailureHandler([this](std::string_view, const std::string& text) {
            std::scoped_lock guard(mutex);
            failures.push_back(text);
        });
        reader.start();
    }
    bool logHas(const std::string& text) const { return log().find(text) != std::string::npos; }

    ScopedFixedClock clock{kFeedTestNow};
    std::unique_ptr<emu::RTAPIEmulator> emulator;
    std::optional<ScopedEnv> base;
    std::optional<ScopedEnv> ca;
    std::mutex mutex;
    std::vector<std::vector<TrafficRecord>> delivered;
    std::vector<std::string> failures;
};

TEST_F(RTAPILink, LoginSetsTheLevelAndPostsTheCredential)
{
    for (const int type : {2, 1}) {
        emulator->script("/auth", {{200, R"({"status":200,"GUID":"g-)" + std::to_string(type) + R"(","type":)" +
                                             std::to_string(type) + "}"}});
        feedConnected = false;
        gf_RTAPIAuthenticater();
        EXPECT_EQ(isProfessionalFeed.load(), type == 2);
        EXPECT_TRUE(feedConnected.load());
        EXPECT_EQ(gf_rtApiSession().guid(), "g-" + std::to_string(type));
    }
    const auto requests = emulator->requests("/auth");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].form.at("license"), "AB12-CD34-EF56");
    EXPECT_TRUE(requests[0].form.at("software").starts_with("ZELK ")) << requests[0].form.at("software");
    gf_deauthenticateRTAPI();
    ASSERT_EQ(emulator->requests("/deauth").size(), 1u);
    EXPECT_EQ(emulator->requests("/deauth")[0].form.at("GUID"), "g-1");
    EXPECT_FALSE(gf_currentStopRequest());
}

TEST_F(RTAPILink, LoginRefusalsAndFailures)
{
    gf_setWaitClock(std::make_shared<ManualWaitClock>());
    for (const int status : {402, 404, 405}) {
        emulator->script("/auth", {{200, R"({"status":)" + std::to_string(status) + "}"}});
        try {
            gf_RTAPIAuthenticater();
            ADD_FAILURE() << status;
        } catch (const UserRelatedException& e) {
            EXPECT_EQ(e.code(), status);
        }
    }
    emulator->script("/auth", {{500, "<html>down</html>"}});
    EXPECT_THROW(gf_RTAPIAuthenticater(), std::runtime_error);
    EXPECT_FALSE(gf_currentStopRequest());

    // A CA that did not sign the server's certificate: the TLS check refuses it.
    emu::gf_makeTestCertificate(dir() / "other");
    ca.emplace(kRTAPICaVariable, (dir() / "other" / "cert.pem").string());
    emulator->script("/auth", {{200, kLogin}});
    gf_RTAPIAuthenticater();
    EXPECT_FALSE(gf_rtApiSession().isAuthenticated());
    ASSERT_TRUE(gf_currentStopRequest());
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::SystemError);
    EXPECT_TRUE(logHas("RT API login failed: SSL")) << log();
}

TEST_F(RTAPILink, ANonLoopbackOverrideIsIgnored)
{
    base.emplace(kRTAPIBaseVariable, "https://example.invalid/v5");
    EXPECT_EQ(gf_rtApiEndpoint().base, kRTAPIBase);
    EXPECT_TRUE(logHas("Ignoring ZELK_RTAPI_BASE"));
}

TEST_F(RTAPILink, FirstTrafficWithinOnePaceThen401StopsTheReader)
{
    gf_RTAPIAuthenticater();
    emulator->script("/traffic", {{200, kTraffic}, {200, R"({"status":401})"}});
    giveQueryBox();
    RTAPITrafficReader reader;
    const auto started = Clock::now();
    start(reader);
    ASSERT_TRUE(eventually([] { return gf_rtApiReaderState().firstTraffic.load(); }));
    EXPECT_LT(Clock::now() - started, 2s);
    ASSERT_TRUE(eventually([] { return gf_currentStopRequest() != nullptr; }));
    EXPECT_EQ(gf_currentStopRequest()->stopReason(), StopReason::ReaderError);
    EXPECT_EQ(gf_currentStopRequest()->delay, 15u);
    EXPECT_TRUE(eventually([&] { return reader.state() == RTAPIReader::State::Stopped; }));
    reader.stop();

    const auto traffic = emulator->requests("/traffic");
    ASSERT_EQ(traffic.size(), 2u);
    EXPECT_EQ(traffic[0].form.at("GUID"), "guid-7");
    EXPECT_EQ(traffic[0].form.at("querytype"), "locationtraffic");
    EXPECT_EQ(traffic[0].form.at("toffset"), "0");
    EXPECT_NEAR(std::stod(traffic[0].form.at("top")), gf_rtApiQueryBox(52.0, 4.0, 60.0).north, 1e-6);
    std::scoped_lock guard(mutex);
    ASSERT_EQ(delivered.size(), 1u);
    ASSERT_EQ(delivered[0].size(), 1u);
    EXPECT_EQ(delivered[0][0].hexId, 0x484506u);
    EXPECT_EQ(rtApiTrafficTime.load(), 1700000005);
    EXPECT_TRUE(gf_takeRTAPITrafficStale() == false);
    EXPECT_TRUE(failures.empty());
}

TEST_F(RTAPILink, RequestsFollowTheRepliesPace)
{
    gf_RTAPIAuthenticater();
    emulator->script("/traffic", {{200, R"({"status":200,"rrl":500,"data":{}})"},
                                  {200, R"({"status":406})"},
                                  {200, R"({"status":406})"},
                                  {200, R"({"status":200,"rrl":5000,"data":{}})"},
                                  {200, R"({"status":200,"rrl":90000,"data":{}})"}});
    giveQueryBox();
    const auto clock = std::make_shared<RecordingClock>();
    RTAPITrafficReader reader;
    reader.setClock(clock);
    start(reader);
    ASSERT_TRUE(emulator->waitForRequests("/traffic", 6, kEventWait));
    reader.stop();
    const auto sleeps = clock->recorded();
    ASSERT_GE(sleeps.size(), 5u);
    const std::vector<std::chrono::milliseconds> expected{2000ms, 4000ms, 8000ms, 5000ms, 60000ms};
    EXPECT_EQ(std::vector(sleeps.begin(), sleeps.begin() + 5), expected);
}

TEST_F(RTAPILink, AStopCutsAStalledReplyAndABigOneIsCutOff)
{
    gf_RTAPIAuthenticater();
    giveQueryBox();
    emulator->script("/traffic", {{200, "", 0ms, true}});
    RTAPITrafficReader reader;
    start(reader);
    ASSERT_TRUE(emulator->waitForRequests("/traffic", 1, kEventWait));
    std::this_thread::sleep_for(200ms);
    const auto stopAt = Clock::now();
    reader.stop();
    EXPECT_LT(Clock::now() - stopAt, 1s);

    emulator->script("/traffic", {{200, R"({"status":200,"data":{},"pad":")" + std::string(40u << 20, 'x') + "\"}"}});
    RTAPITransport transport;
    const RTAPITransfer transfer = transport.post(gf_rtApiEndpoint(), "/traffic", "GUID=x");
    EXPECT_FALSE(transfer.ok);
    EXPECT_TRUE(transfer.cutOff) << transfer.error;
    EXPECT_TRUE(transport.response().empty());
}

TEST_F(RTAPILink, ParkedRequestFilledTimedOutAndLate)
{
    gf_RTAPIAuthenticater();
    const std::string parked =
        R"({"status":200,"rrl":2000,"data":{"484506":[52.3,4.76,"D7","B738","PH-ABC",{t},"KLM77",180]}})";
    emulator->script("/traffic", {{200, parked}});
    RTAPITrafficReader reader;
    start(reader);
    ASSERT_TRUE(gf_requestRTAPIParkedTraffic());
    auto& state = gf_rtApiReaderState();
    {
        std::scoped_lock guard(state.parkedMutex);
        ASSERT_EQ(state.parked.size(), 1u);
        EXPECT_EQ(state.parked[0].stand, "D7");
    }
    const auto request = emulator->requests("/traffic").back();
    EXPECT_EQ(request.form.at("querytype"), "parkedtraffic");
    EXPECT_NEAR(std::stod(request.form.at("top")) - std::stod(request.form.at("bottom")), 0.09992805755395684, 1e-6);

    // The next reply stalls past the 10 s (on the worker's clock) and then
    // brings another airport's aircraft: the list keeps the old one.
    std::string late = parked;
    late.replace(late.find("D7"), 2, "E9");
    emulator->script("/traffic", {{200, late, 0ms, true}});
    const auto clock = std::make_shared<RecordingClock>();
    clock->gate = [this] { emulator->waitForRequests("/traffic", 2, kEventWait); };
    gf_setWaitClock(clock);
    EXPECT_FALSE(gf_requestRTAPIParkedTraffic());
    EXPECT_TRUE(logHas("ParkedTraffic receiving timed out after 10 seconds"));
    emulator->releaseStalls();
    ASSERT_TRUE(eventually([&] { return reader.state() == RTAPIReader::State::Waiting; }));
    reader.stop();
    std::scoped_lock guard(state.parkedMutex);
    ASSERT_EQ(state.parked.size(), 1u);
    EXPECT_EQ(state.parked[0].stand, "D7");
}

// A reply over the record limit keeps the aircraft nearest to the user (at
// 52N 4E), although its hex id comes last of all.
TEST_F(RTAPILink, AReplyOverTheLimitKeepsTheAircraftNearestTheUser)
{
    gf_RTAPIAuthenticater();
    const std::string record = kTraffic.substr(kTraffic.find("[\"484506\""));
    const auto arrayOf = [&](std::uint32_t hexId, double latitude) {
        std::string array = record.substr(0, record.find(']') + 1);
        const std::string hex = fmt::format("{:06x}", hexId);
        array.replace(2, 6, hex);
        array.replace(array.find("52.2"), 4, fmt::format("{:.5f}", latitude));
        return fmt::format(R"("{}":{})", hex, array);
    };
    std::string data;
    for (std::uint32_t i = 0; i < kMaxRTAPIBatchRecords + 100; ++i)
        data += arrayOf(0x400000 + i, 52.3 + i * 2e-5) + ",";
    data += arrayOf(0xfffff0, 52.01);
    emulator->script("/traffic", {{200, R"({"status":200,"rrl":2000,"data":{)" + data + "}}"}});
    giveQueryBox();
    RTAPITrafficReader reader;
    start(reader);
    const bool taken = eventually([] { return gf_rtApiReaderState().firstTraffic.load(); });
    reader.stop();
    ASSERT_TRUE(taken);
    std::scoped_lock guard(mutex);
    ASSERT_FALSE(delivered.empty());
    const auto& batch = delivered[0];
    ASSERT_EQ(batch.size(), kMaxRTAPIBatchRecords);
    EXPECT_EQ(batch.back().hexId, 0xfffff0u) << "the nearest kept, in the reply's order";
    EXPECT_EQ(batch[kMaxRTAPIBatchRecords - 2].hexId, 0x400000u + kMaxRTAPIBatchRecords - 2) << "then the next nearest";
    EXPECT_TRUE(logHas("Traffic RTAPIreader: reply over 5000 records, the farthest are dropped"));
}

// The stand-in closes a kept connection after 1 s idle, as servers do; the
// next request finds it dead and goes on a fresh one, every time (libcurl
// used to count these retries over the handle's life and fail the sixth).
TEST_F(RTAPILink, AKeptConnectionTheServerClosedIsReplacedEveryTime)
{
    emulator->script("/traffic", {{200, R"({"status":200,"data":{}})"}});
    RTAPITransport transport;
    for (int i = 0; i < 7; ++i) {
        const RTAPITransfer transfer = transport.post(gf_rtApiEndpoint(), "/traffic", "GUID=x");
        EXPECT_TRUE(transfer.ok) << i << ": " << transfer.error;
        std::this_thread::sleep_for(1200ms);
    }
    EXPECT_EQ(emulator->requests("/traffic").size(), 7u);
}

// A body run on another thread's token (the thread bodies of the run) sees
// a stop within one wait step, although nothing wakes it.
TEST_F(RTAPILink, AReaderOnAnotherThreadsTokenStopsWithinAWaitStep)
{
    gf_RTAPIAuthenticater();
    RTAPIWeatherReader reader; // waits 10 s between its requests
    std::jthread thread([&](std::stop_token stop) { reader.run(std::move(stop)); });
    ASSERT_TRUE(emulator->waitForRequests("/nearestmetar", 1, kEventWait));
    ASSERT_TRUE(eventually([&] { return reader.state() == RTAPIReader::State::Waiting; }));
    const auto stopAt = Clock::now();
    thread.request_stop();
    thread.join();
    EXPECT_LT(Clock::now() - stopAt, 500ms);
    EXPECT_EQ(reader.state(), RTAPIReader::State::Stopped);
}

TEST_F(RTAPILink, AStalledLogoutCostsAtMostFiveSeconds)
{
    gf_RTAPIAuthenticater();
    emulator->script("/deauth", {{200, "", 0ms, true}});
    const auto started = Clock::now();
    gf_deauthenticateRTAPI();
    EXPECT_LT(Clock::now() - started, 6s);
    EXPECT_TRUE(logHas("Deauthentication failed"));
    EXPECT_EQ(emulator->requests("/deauth").at(0).form.at("GUID"), "guid-7");
}

} // namespace
} // namespace zelk::test

#endif
