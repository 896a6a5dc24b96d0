#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zelk::platform {

// A failed socket call. The message names the call and carries the operating
// system's own text; code() is errno or the Windows sockets error number.
class SocketError : public std::runtime_error {
public:
    SocketError(const std::string& what, int code) : std::runtime_error(what), code_(code) {}
    int code() const noexcept { return code_; }

private:
    int code_;
};

// The operating system's text of a socket error number.
std::string gf_socketErrorText(int code);

// For sockets another library opened (libcurl's connections), by their raw
// handle. Shutting one down wakes a call blocked on it in any thread at once.
void gf_shutdownSocketHandle(std::intptr_t handle) noexcept;
void gf_closeSocketHandle(std::intptr_t handle) noexcept;

// One socket, closed by its destructor. Not shared between threads by itself:
// owners that use it from several threads guard it with their own mutex.
class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const noexcept;
    void close() noexcept;

    // The bound local port (0 for an unbound socket).
    std::uint16_t localPort() const;

    // --- UDP ---
    // A datagram socket bound to the port on every IPv4 interface (so broadcasts
    // on the local network arrive), each receive waiting at most timeout.
    static Socket udpReceiver(std::uint16_t port, std::chrono::milliseconds timeout);
    static Socket udpSender();
    // One datagram into buffer; empty when the time-out passed without one.
    // Buffers of 65,536 bytes take every IPv4 datagram whole.
    std::optional<std::size_t> receiveDatagram(std::span<char> buffer) const;
    void sendDatagram(std::string_view host, std::uint16_t port, std::string_view data) const;

    // --- TCP ---
    // A passive IPv4 listening socket on the port (a service text such as
    // "10747"; "0" takes a free one), non-blocking, with SO_REUSEADDR.
    static Socket tcpListener(const std::string& port);
    // One non-blocking accept; empty when nobody is waiting. The new socket
    // blocks, has TCP_NODELAY and a send time-out so a dead peer cannot hold a
    // sender for ever.
    std::optional<Socket> acceptClient() const;
    // A blocking connection to host:port; throws when it is refused.
    static Socket tcpConnect(std::string_view host, std::uint16_t port);

    // Sends until every byte is out; throws SocketError when the peer is gone or
    // the send time-out passed.
    void sendAll(std::string_view data) const;
    // Bytes received into buffer; 0 means the peer closed the connection.
    std::size_t receiveSome(std::span<char> buffer) const;
    // Waits up to timeout for data (or a close) to read.
    bool waitReadable(std::chrono::milliseconds timeout) const;

    // Connection lost by reset or abort, as opposed to other failures.
    static bool isConnectionLost(int code) noexcept;

private:
    explicit Socket(std::intptr_t handle) : handle_(handle) {}
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

} // namespace zelk::platform
