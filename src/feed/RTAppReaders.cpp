#include "feed/RTAppReaders.h"

#include <chrono>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "core/Log.h"
#include "feed/BadInputLog.h"
#include "feed/RTAppProtocol.h"
#include "feed/RTAppReaderState.h"
#include "feed/RTAppServer.h"
#include "platform/Socket.h"

namespace zelk {
namespace {

constexpr std::chrono::milliseconds kReceiveTimeout{100};
// Socket failures in a row a reader rides out (about a second).
constexpr std::uint32_t kFailureBudget = 10;
// Every IPv4 datagram fits whole.
constexpr std::size_t kDatagramBuffer = 65536;

RTAppUdpReader::PortSource lf_fixed(std::uint16_t port)
{
    return [port] { return port; };
}

} // namespace

RTAppUdpReader::RTAppUdpReader(std::string name, PortSource port)
    : ReaderThread(std::move(name), kFailureBudget), port_(std::move(port))
{
}

void RTAppUdpReader::body(const std::stop_token& stop)
{
    const auto socket = platform::Socket::udpReceiver(port_(), kReceiveTimeout);
    gf_writeLogLine(fmt::format("{} connected", name()));
    onBound();
    std::vector<char> buffer(kDatagramBuffer);
    while (shouldRun(stop)) {
        try {
            const auto size = socket.receiveDatagram(buffer);
            countSuccess();
            if (size) onDatagram(std::string_view(buffer.data(), *size));
        } catch (const platform::SocketError& e) {
            countFailure(e);
            std::this_thread::sleep_for(kReceiveTimeout);
        }
        gf_feedBadInputLog().flushSuppressed();
    }
}

RTAppTrafficReader::RTAppTrafficReader() : RTAppUdpReader("Traffic Reader", [] { return gf_rtAppUdpPorts().traffic; })
{
}

RTAppTrafficReader::RTAppTrafficReader(std::uint16_t port) : RTAppUdpReader("Traffic Reader", lf_fixed(port)) {}

RTAppTrafficReader::RTAppTrafficReader(std::uint16_t port, RTAppLineIntake::Deliver deliver)
    : RTAppUdpReader("Traffic Reader", lf_fixed(port)), intake_(std::move(deliver))
{
}

void RTAppTrafficReader::onBound()
{
    intake_.batch.clear();
    intake_.historyBatches = 0;
    gf_restartRTAppIdCollection();
    if (!gf_rtAppServer().sendDataPacket(std::string(kRTAppBufferRequest))) {
        gf_writeLogLine("Receiving buffer traffic failed");
        gf_rtAppReaderState().bufferReceived = true;
    }
}

void RTAppTrafficReader::onDatagram(std::string_view datagram) { gf_processRTAppDatagram(datagram, intake_); }

RTAppWeatherReader::RTAppWeatherReader() : RTAppUdpReader("QNH Reader", [] { return gf_rtAppUdpPorts().weather; }) {}

RTAppWeatherReader::RTAppWeatherReader(std::uint16_t port) : RTAppUdpReader("QNH Reader", lf_fixed(port)) {}

void RTAppWeatherReader::onDatagram(std::string_view datagram) { gf_processRTAppWeather(datagram); }

void gf_trafficReader(std::stop_token stop) { RTAppTrafficReader().run(std::move(stop)); }

void gf_weatherReader(std::stop_token stop) { RTAppWeatherReader().run(std::move(stop)); }

RTAppTrafficReader& gf_rtAppTrafficReader()
{
    static RTAppTrafficReader reader;
    return reader;
}

RTAppWeatherReader& gf_rtAppWeatherReader()
{
    static RTAppWeatherReader reader;
    return reader;
}

} // namespace zelk
