#include "platform/NetworkLayer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zelk::test {
namespace {

using platform::networkLayerStarted;
using platform::shutdownNetworkLayer;
using platform::startNetworkLayer;

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void closeSocket(Socket s) { ::closesocket(s); }
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void closeSocket(Socket s) { ::close(s); }
#endif

Socket openUdp() { return ::socket(AF_INET, SOCK_DGRAM, 0); }

// Sends one datagram from the socket to itself on 127.0.0.1 and reads it back.
bool loopsBack(Socket s)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
    socklen_t len = sizeof addr;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return false;
    const char out[] = "ping";
    constexpr long kSize = sizeof out;
    if (::sendto(s, out, sizeof out, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != kSize) return false;
    char in[16] = {};
    return ::recv(s, in, sizeof in, 0) == kSize && std::string(in) == "ping";
}

class NetworkLayer : public ::testing::Test {
protected:
    void TearDown() override { shutdownNetworkLayer(); }
};

// Shutting down is safe without a start and twice.
TEST_F(NetworkLayer, StartedLayerCarriesLoopbackTraffic)
{
    shutdownNetworkLayer();
    EXPECT_FALSE(networkLayerStarted());
    startNetworkLayer();
    EXPECT_TRUE(networkLayerStarted());
    const Socket s = openUdp();
    ASSERT_NE(s, kNoSocket);
    EXPECT_TRUE(loopsBack(s));
    closeSocket(s);
    shutdownNetworkLayer();
    shutdownNetworkLayer();
    EXPECT_FALSE(networkLayerStarted());
}

TEST_F(NetworkLayer, RestartKeepsSocketsOfThePreviousLayerWorking)
{
    // A new run starts its layer before the old one is released; were the
    // old one released first, the library would stop for a moment and close
    // every open socket.
    startNetworkLayer();
    const Socket s = openUdp();
    ASSERT_NE(s, kNoSocket);
    startNetworkLayer();
    EXPECT_TRUE(networkLayerStarted());
    EXPECT_TRUE(loopsBack(s));
    closeSocket(s);
}

TEST_F(NetworkLayer, ScopedLayersNestAndReleaseInAnyOrder)
{
    auto first = std::make_unique<platform::NetworkLayer>();
    auto second = std::make_unique<platform::NetworkLayer>();
    first.reset();
    // The second layer still holds the library.
    const Socket s = openUdp();
    ASSERT_NE(s, kNoSocket);
    EXPECT_TRUE(loopsBack(s));
    closeSocket(s);
}

#ifdef _WIN32
TEST_F(NetworkLayer, LibraryIsReleasedWhenTheLastLayerEnds)
{
    // Only meaningful when nothing else in the process holds Winsock.
    const Socket before = openUdp();
    if (before != kNoSocket) {
        closeSocket(before);
        GTEST_SKIP() << "Winsock was already started in this process";
    }
    startNetworkLayer();
    const Socket during = openUdp();
    EXPECT_NE(during, kNoSocket);
    if (during != kNoSocket) closeSocket(during);
    shutdownNetworkLayer();
    const Socket after = openUdp();
    EXPECT_EQ(after, kNoSocket);
    EXPECT_EQ(::WSAGetLastError(), WSANOTINITIALISED);
    if (after != kNoSocket) closeSocket(after);
}
#endif

} // namespace
} // namespace zelk::test
