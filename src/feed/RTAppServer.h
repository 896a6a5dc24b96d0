#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Socket.h"

namespace zelk {

// The TCP server the RealTraffic app connects to (it takes us for a PSX main
// server). The worker opens, accepts and reads; any thread may send and close.
// The socket mutex guards both sockets: send, receive steps and close take it,
// and no call holds it for longer than one 100-ms wait or one send (whose
// time-out is 5 s).
class RTAppServer {
public:
    using Running = std::function<bool()>;

    // running: the run's "still running" test the waits end on (gf_isRunning
    // unless a test gives its own).
    RTAppServer();
    explicit RTAppServer(Running running);

    // A passive IPv4 listening socket on the port; throws std::runtime_error
    // (a platform::SocketError with the system's text) when it cannot be opened.
    void open(const std::string& port);
    // Takes the app's connection, waiting up to 3 s in 100-ms steps while the
    // run is running; true when a client is (now) connected.
    bool acceptClient();
    // Sends the whole text; false with a log line when it cannot
    // ("RealTraffic client socket closed" without a client).
    bool sendDataPacket(const std::string& text);
    // One receive of at most 16,384 bytes; empty when nothing came or the
    // connection was lost. Throws "receive: buffer overrun: {}" when the buffer
    // filled up and "receive: {}" on a failure.
    std::string receive();
    // One reply line (up to LF, CR dropped), waiting for data in 100-ms steps
    // while running, at most 2 s; empty when none came in time, the connection
    // closed or the reply grew over 16,384 bytes (logged).
    std::string receiveLine(std::chrono::milliseconds limit = std::chrono::seconds(2));
    // Reads and drops what is pending; a closed or lost connection closes the client.
    void drainReceiveBuffer();
    // Closes client and listening sockets; safe from any thread, more than once.
    void close();

    bool isConnected() const noexcept { return connected_.load(); }
    // The listening port (for a server opened on port "0").
    std::uint16_t listeningPort() const;

private:
    // One wait of at most step for data, then one receive into buffer under the
    // lock: the bytes, empty when nothing came, or nullopt when the client is gone.
    std::optional<std::string> receiveStep(std::chrono::milliseconds step, std::size_t limit);
    void dropClientLocked();

    Running running_;
    mutable std::mutex mutex_;
    platform::Socket listener_;
    platform::Socket client_;
    std::atomic<bool> connected_{false};
    std::string pending_; // bytes after the last reply line (worker only)
};

RTAppServer& gf_rtAppServer();

// With PSX_SERVER_HERE on (and AEROWINX off): the user aircraft to the app as
// "Qs121=…"; with no client, or when the send fails, the app is gone: feed not
// connected, "{} RealTraffic App gone" shown and logged, and a restart asked
// for (NEW SETTINGS, 0 s). A run that is stopping sends nothing and reports
// no app gone: its own stop closes the server.
void gf_sendUserPositionToRTApp();
// The simulator time (seconds since 1970, at least 1) as "Qs123=" in ms.
void lf_sendRTAppSimTime(std::int64_t simulatorSeconds);
// Empties the app reader's parked list and, with a client connected, asks for
// the parked traffic around the park airport (or the user when there is none).
void gf_requestRTAppParkedTraffic();

} // namespace zelk
