#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "feed/RTAppProtocol.h"
#include "feed/RTAppReaders.h"
#include "feed/RTAppServer.h"
#include "feed/RTAppTestSupport.h"
#include "platform/NetworkLayer.h"
#include "platform/Socket.h"
#include "support/Eventually.h"

namespace zelk::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::uint16_t freeUdpPort() { return platform::Socket::udpReceiver(0, 100ms).localPort(); }

class RTAppLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::startNetworkLayer();
        prepareRTAppRun();
    }
    void TearDown() override { platform::shutdownNetworkLayer(); }

    // Starts a reader that records failures instead of asking for a restart.
    void startReader(ReaderThread& reader)
    {
        reader.setFailureHandler([this](std::string_view, const std::string& text) {
            std::scoped_lock guard(mutex);
            failures.push_back(text);
        });
        reader.start();
    }

    ScopedFixedClock clock{kFeedTestNow};
    std::mutex mutex;
    std::vector<std::string> failures;
    std::vector<Delivery> deliveries;
};

TEST_F(RTAppLink, ReadersStopWithin200MsWhenNothingArrives)
{
    RTAppWeatherReader weather(freeUdpPort());
    RTAppTrafficReader traffic(freeUdpPort(), [](TrafficBatch&, BatchKind, std::uint32_t) {});
    startReader(weather);
    startReader(traffic);
    ASSERT_TRUE(eventually([] { return gf_rtAppReaderState().bufferReceived.load(); }))
        << "without the app the buffer request fails and the buffer counts as done";
    std::this_thread::sleep_for(150ms);
    for (ReaderThread* reader : {static_cast<ReaderThread*>(&weather), static_cast<ReaderThread*>(&traffic)}) {
        const auto start = Clock::now();
        reader->stop();
        EXPECT_LT(Clock::now() - start, 200ms) << reader->name();
    }
    EXPECT_TRUE(failures.empty());
}

TEST_F(RTAppLink, DatagramsReachTheReaders)
{
    const std::uint16_t trafficPort = freeUdpPort();
    const std::uint16_t weatherPort = freeUdpPort();
    RTAppWeatherReader weather(weatherPort);
    RTAppTrafficReader traffic(trafficPort, [this](TrafficBatch& batch, BatchKind kind, std::uint32_t delay) {
        std::scoped_lock guard(mutex);
        deliveries.push_back({kind, delay, batch.records});
        batch.records.clear();
    });
    startReader(weather);
    startReader(traffic);
    ASSERT_TRUE(eventually([] { return gf_rtAppReaderState().bufferReceived.load(); }));
    const auto sender = platform::Socket::udpSender();
    auto& state = gf_rtAppReaderState();
    for (const char* datagram : {R"({"ICAO":"EHAM","QNH":1013})", R"({"ICAO":"EHAM","QNH":"1013"})",
                                 R"({"ICAO":"KJFK","QNH":2992})"}) {
        {
            std::scoped_lock guard(state.mutex);
            state.qnh = 990;
        }
        // The app repeats its datagrams; a reader thread that has not bound its
        // port yet under load simply misses the first one.
        EXPECT_TRUE(eventually([&] {
            sender.sendDatagram("127.0.0.1", weatherPort, datagram);
            std::this_thread::sleep_for(20ms);
            std::scoped_lock guard(state.mutex);
            return state.qnh == 1013;
        })) << datagram;
    }
    const std::string line = joinFields(rtTrafficFields());
    ASSERT_TRUE(eventually([&] {
        sender.sendDatagram("127.0.0.1", trafficPort, line + "\n" + line + "\nRTTFC_EOT\n");
        std::this_thread::sleep_for(20ms);
        std::scoped_lock guard(mutex);
        return !deliveries.empty();
    }));
    weather.stop();
    traffic.stop();
    EXPECT_EQ(deliveries.front().kind, BatchKind::Live);
    EXPECT_EQ(deliveries.front().records.size(), 2u);
    EXPECT_TRUE(failures.empty());
}

TEST_F(RTAppLink, ServerTakesALateAppSendsAMegabyteWholeAndReadsSplitReplies)
{
    RTAppServer server([] { return true; });
    server.open("0");
    const std::uint16_t port = server.listeningPort();
    std::string received;
    platform::Socket app;
    std::jthread appSide([&] {
        std::this_thread::sleep_for(1s);
        app = platform::Socket::tcpConnect("127.0.0.1", port);
    });
    const auto start = Clock::now();
    ASSERT_TRUE(server.acceptClient()) << "an app connecting 1 s after the server opened";
    EXPECT_LT(Clock::now() - start, 3s);
    appSide.join();

    // A slow reader makes the sender wait; every byte must still arrive.
    std::string megabyte(1 << 20, '\0');
    for (std::size_t i = 0; i < megabyte.size(); ++i) megabyte[i] = static_cast<char>('a' + i % 26);
    std::jthread slowReader([&] {
        char buffer[16384];
        while (received.size() < megabyte.size()) {
            const std::size_t n = app.receiveSome(buffer);
            if (n == 0) break;
            received.append(buffer, n);
            std::this_thread::sleep_for(1ms);
        }
    });
    EXPECT_TRUE(server.sendDataPacket(megabyte));
    slowReader.join();
    EXPECT_TRUE(received == megabyte) << received.size() << " bytes arrived";

    for (const char* piece : {R"({"level":2,)", R"("version":"9.0)", ".1\"}\r\nmore"}) {
        app.sendAll(piece);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(server.receiveLine(), R"({"level":2,"version":"9.0.1"})");

    app.close();
    EXPECT_TRUE(eventually([&] {
        server.drainReceiveBuffer();
        return !server.isConnected();
    })) << "an orderly close ends the connection";
    EXPECT_FALSE(server.sendDataPacket("Qs123=1\r\n"));
    server.close();
    server.close();
}

TEST_F(RTAppLink, RepliesOverTheLimitAndSilentAppsGiveNoLine)
{
    RTAppServer server([] { return true; });
    server.open("0");
    auto app = platform::Socket::tcpConnect("127.0.0.1", server.listeningPort());
    ASSERT_TRUE(server.acceptClient());
    app.sendAll(std::string(kMaxRTAppReplyBytes + 10, '{'));
    EXPECT_EQ(server.receiveLine(), "");
    EXPECT_EQ(gf_feedBadInputLog().refusedCount(BadInputKind::LongReply), 1u);
    const auto start = Clock::now();
    EXPECT_EQ(server.receiveLine(500ms), "");
    EXPECT_GE(Clock::now() - start, 500ms);
    EXPECT_LT(Clock::now() - start, 1s) << "the wait is bounded";
    EXPECT_TRUE(server.isConnected());
}

} // namespace
} // namespace zelk::test
