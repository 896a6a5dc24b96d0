#include "feed/RTAppServer.h"


#include <fmt/format.h>

#include "core/StopRequest.h"
#include "core/FeedState.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/TimeUtils.h"
#include "feed/BadInputLog.h"
#include "feed/RTAppProtocol.h"
#include "feed/RTAppReaderState.h"
#include "gui/GuiUpdate.h"
#include "gui/WaitClock.h"
#include "simlink/UserAircraftState.h"
#include "traffic/TrafficIntake.h"

namespace zelk {
namespace {

constexpr std::chrono::milliseconds kStep{100};
constexpr std::chrono::seconds kAcceptWait{3};

void lf_appGone(std::string text)
{
    // A stop closes the server itself: the app is not gone, the run is ending.
    if (!gf_isRunning()) return;
    feedConnected.store(false);
    gf_guiShowMessage(std::move(text), true);
    gf_requestStop(StopReason::NewSettings, 0);
}

} // namespace

RTAppServer::RTAppServer() : RTAppServer([] { return gf_isRunning(); }) {}

RTAppServer::RTAppServer(Running running) : running_(std::move(running)) {}

void RTAppServer::open(const std::string& port)
{
    auto listener = platform::Socket::tcpListener(port);
    std::scoped_lock guard(mutex_);
    listener_ = std::move(listener);
    pending_.clear();
}

bool RTAppServer::acceptClient()
{
    const auto deadline = std::chrono::steady_clock::now() + kAcceptWait;
    for (;;) {
        {
            std::scoped_lock guard(mutex_);
            if (client_.valid()) return true;
            if (!listener_.valid()) return false;
            if (auto client = listener_.acceptClient()) {
                client_ = std::move(*client);
                pending_.clear();
                connected_.store(true);
                return true;
            }
        }
        if (!running_() || std::chrono::steady_clock::now() >= deadline) return false;
        gf_sleepFor(kStep);
    }
}

bool RTAppServer::sendDataPacket(const std::string& text)
{
    std::scoped_lock guard(mutex_);
    if (!client_.valid()) {
        gf_writeLogLineNoThrow("RealTraffic client socket closed");
        return false;
    }
    try {
        client_.sendAll(text);
        return true;
    } catch (const platform::SocketError& e) {
        gf_writeLogLineNoThrow(fmt::format("sendDataPacket to RealTraffic failed: {}", e.what()));
        dropClientLocked();
        return false;
    }
}

std::optional<std::string> RTAppServer::receiveStep(std::chrono::milliseconds step, std::size_t limit)
{
    std::scoped_lock guard(mutex_);
    if (!client_.valid()) return std::nullopt;
    try {
        if (!client_.waitReadable(step)) return std::string();
        std::string bytes(limit, '\0');
        const std::size_t n = client_.receiveSome(bytes);
        if (n == 0) {
            dropClientLocked();
            return std::nullopt;
        }
        bytes.resize(n);
        return bytes;
    } catch (const platform::SocketError& e) {
        if (!platform::Socket::isConnectionLost(e.code())) throw std::runtime_error(fmt::format("receive: {}", e.what()));
        dropClientLocked();
        return std::nullopt;
    }
}

std::string RTAppServer::receive()
{
    auto bytes = receiveStep(kStep, kMaxRTAppReplyBytes);
    if (bytes && bytes->size() >= kMaxRTAppReplyBytes)
        throw std::runtime_error(fmt::format("receive: buffer overrun: {}", bytes->size()));
    return bytes.value_or(std::string());
}

std::string RTAppServer::receiveLine(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (pending_.size() > kMaxRTAppReplyBytes) {
            gf_feedBadInputLog().report(BadInputKind::LongReply, [&] {
                return fmt::format("RT App reply over {} bytes ignored: {}",
                                   kMaxRTAppReplyBytes, gf_quoteInput(pending_));
            });
            pending_.clear();
            return {};
        }
        if (!running_() || std::chrono::steady_clock::now() >= deadline) return {};
        const auto bytes = receiveStep(kStep, kMaxRTAppReplyBytes);
        if (!bytes) return {};
        pending_ += *bytes;
    }
}

void RTAppServer::drainReceiveBuffer()
{
    while (const auto bytes = receiveStep(std::chrono::milliseconds(0), kMaxRTAppReplyBytes))
        if (bytes->empty()) break;
    pending_.clear();
}

void RTAppServer::close()
{
    platform::Socket client;
    platform::Socket listener;
    {
        std::scoped_lock guard(mutex_);
        connected_.store(false);
        client = std::move(client_);
        listener = std::move(listener_);
    }
    // The sockets close here, outside the lock.
}

void RTAppServer::dropClientLocked()
{
    connected_.store(false);
    client_.close();
}

std::uint16_t RTAppServer::listeningPort() const
{
    std::scoped_lock guard(mutex_);
    return listener_.valid() ? listener_.localPort() : 0;
}

RTAppServer& gf_rtAppServer()
{
    static RTAppServer server;
    return server;
}

void gf_sendUserPositionToRTApp()
{
    // Under AEROWINX the app talks to PSX itself; no server of ours is open.
    // A stopping run has closed it, or is about to: it sends nothing.
    if (!PSX_SERVER_HERE.value() || AEROWINX.value() || !gf_isRunning()) return;
    const UserAcPosition user = gf_getUserAcPosition();
    if (user.latitude == 0.0 && user.longitude == 0.0 && user.altitude == 0.0) return;
    auto& server = gf_rtAppServer();
    if (!server.isConnected()) {
        lf_appGone(fmt::format("{} RealTraffic App gone", gf_utcTimeText()));
        return;
    }
    if (!server.sendDataPacket(gf_formatRTAppPosition(user))) lf_appGone("RealTraffic App gone");
}

void lf_sendRTAppSimTime(std::int64_t simulatorSeconds)
{
    auto& server = gf_rtAppServer();
    if (simulatorSeconds < 1 || !server.isConnected()) return;
    // The app now sends the traffic of that time.
    if (server.sendDataPacket(gf_formatRTAppSimTime(simulatorSeconds)))
        gf_rtAppReaderState().simulatorTimeSent = simulatorSeconds;
}

void gf_requestRTAppParkedTraffic()
{
    auto& state = gf_rtAppReaderState();
    state.parkedComplete = false;
    {
        std::scoped_lock guard(state.parkedMutex);
        gf_clearRTAppParkedListLocked(state);
    }
    if (!gf_rtAppServer().isConnected()) return;
    const ParkAirportRecord park = gf_parkAirport();
    double latitude = park.airport.latitude;
    double longitude = park.airport.longitude;
    if (!park.airport.icao.isSet()) {
        const UserAcPosition user = gf_getUserAcPosition();
        if (!gf_isValidLalo(user.latitude, user.longitude)) return;
        latitude = user.latitude;
        longitude = user.longitude;
    }
    {
        std::scoped_lock guard(state.mutex);
        state.parkedRequested = true;
        state.parkedRequestLatitude = latitude;
        state.parkedRequestLongitude = longitude;
    }
    gf_rtAppServer().sendDataPacket(gf_formatRTAppParkedRequest(latitude, longitude));
}

} // namespace zelk
