#include "platform/Socket.h"

#include <cstring>
#include <utility>

#include <fmt/format.h>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zelk::platform {
namespace {

#ifdef _WIN32
using Native = SOCKET;
using SockLen = int;
constexpr Native kInvalid = INVALID_SOCKET;
constexpr int kSendFlags = 0;
int lf_lastError() { return ::WSAGetLastError(); }
bool lf_wouldBlock(int code) { return code == WSAEWOULDBLOCK; }
bool lf_timedOut(int code) { return code == WSAETIMEDOUT || code == WSAEWOULDBLOCK; }
bool lf_interrupted(int code) { return code == WSAEINTR; }
void lf_closeNative(Native s) { ::closesocket(s); }
constexpr int kShutdownBoth = SD_BOTH;
void lf_setBlocking(Native s, bool blocking)
{
    u_long mode = blocking ? 0 : 1;
    ::ioctlsocket(s, FIONBIO, &mode);
}
// Windows takes the receive and send time-outs as a DWORD of milliseconds.
void lf_setTimeout(Native s, int option, std::chrono::milliseconds timeout)
{
    const DWORD ms = static_cast<DWORD>(timeout.count());
    ::setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&ms), sizeof ms);
}
#else
using Native = int;
using SockLen = socklen_t;
constexpr Native kInvalid = -1;
// A peer that closed must give an error, not a SIGPIPE that ends the process.
constexpr int kSendFlags = MSG_NOSIGNAL;
int lf_lastError() { return errno; }
bool lf_wouldBlock(int code) { return code == EWOULDBLOCK || code == EAGAIN; }
bool lf_timedOut(int code) { return code == EWOULDBLOCK || code == EAGAIN; }
bool lf_interrupted(int code) { return code == EINTR; }
void lf_closeNative(Native s) { ::close(s); }
constexpr int kShutdownBoth = SHUT_RDWR;
void lf_setBlocking(Native s, bool blocking)
{
    const int flags = ::fcntl(s, F_GETFL, 0);
    ::fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}
void lf_setTimeout(Native s, int option, std::chrono::milliseconds timeout)
{
    timeval tv{};
    tv.tv_sec = static_cast<decltype(tv.tv_sec)>(timeout.count() / 1000);
    tv.tv_usec = static_cast<decltype(tv.tv_usec)>((timeout.count() % 1000) * 1000);
    ::setsockopt(s, SOL_SOCKET, option, &tv, sizeof tv);
}
#endif

// How long a send may block on a peer that stopped reading.
constexpr std::chrono::milliseconds kSendTimeout{5000};

Native lf_native(std::intptr_t handle) { return static_cast<Native>(handle); }

[[noreturn]] void lf_throw(std::string_view call)
{
    const int code = lf_lastError();
    throw SocketError(fmt::format("{} failed with error {}: {}", call, code, gf_socketErrorText(code)), code);
}

Native lf_open(int type, int protocol)
{
    const Native s = ::socket(AF_INET, type, protocol);
    if (s == kInvalid) lf_throw("socket");
    return s;
}

void lf_enable(Native s, int level, int option, std::string_view name)
{
    const int on = 1;
    if (::setsockopt(s, level, option, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        const int code = lf_lastError();
        throw SocketError(fmt::format("{} setsockopt failed with error {}", name, code), code);
    }
}

sockaddr_in lf_ipv4(std::string_view host, std::uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    const std::string text(host);
    if (::inet_pton(AF_INET, text.c_str(), &addr.sin_addr) != 1)
        throw SocketError(fmt::format("not an IPv4 address: '{}'", host), 0);
    return addr;
}

} // namespace

std::string gf_socketErrorText(int code)
{
#ifdef _WIN32
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPSTR>(&text), 0,
                                          nullptr);
    std::string result = length > 0 && text ? std::string(text, length) : fmt::format("error {}", code);
    ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
#else
    return std::strerror(code);
#endif
}

void gf_shutdownSocketHandle(std::intptr_t handle) noexcept
{
    ::shutdown(lf_native(handle), kShutdownBoth);
}

void gf_closeSocketHandle(std::intptr_t handle) noexcept { lf_closeNative(lf_native(handle)); }

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

bool Socket::valid() const noexcept { return handle_ != kNone; }

void Socket::close() noexcept
{
    if (handle_ != kNone) lf_closeNative(lf_native(std::exchange(handle_, kNone)));
}

std::uint16_t Socket::localPort() const
{
    sockaddr_in addr{};
    SockLen length = sizeof addr;
    if (::getsockname(lf_native(handle_), reinterpret_cast<sockaddr*>(&addr), &length) != 0) lf_throw("getsockname");
    return ntohs(addr.sin_port);
}

Socket Socket::udpReceiver(std::uint16_t port, std::chrono::milliseconds timeout)
{
    Socket socket(static_cast<std::intptr_t>(lf_open(SOCK_DGRAM, IPPROTO_UDP)));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    if (::bind(lf_native(socket.handle_), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        lf_throw(fmt::format("bind UDP port {}", port));
    lf_setTimeout(lf_native(socket.handle_), SO_RCVTIMEO, timeout);
    return socket;
}

Socket Socket::udpSender() { return Socket(static_cast<std::intptr_t>(lf_open(SOCK_DGRAM, IPPROTO_UDP))); }

std::optional<std::size_t> Socket::receiveDatagram(std::span<char> buffer) const
{
    for (;;) {
        const auto n = ::recvfrom(lf_native(handle_), buffer.data(), static_cast<int>(buffer.size()), 0, nullptr,
                                  nullptr);
        if (n >= 0) return static_cast<std::size_t>(n);
        const int code = lf_lastError();
        if (lf_timedOut(code)) return std::nullopt;
#ifdef _WIN32
        // Windows reports an ICMP "port unreachable" of an earlier send on the
        // next receive; it says nothing about this socket.
        if (code == WSAECONNRESET) continue;
#endif
        if (!lf_interrupted(code)) lf_throw("recvfrom");
    }
}

void Socket::sendDatagram(std::string_view host, std::uint16_t port, std::string_view data) const
{
    const sockaddr_in addr = lf_ipv4(host, port);
    const auto n = ::sendto(lf_native(handle_), data.data(), static_cast<int>(data.size()), kSendFlags,
                            reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (n < 0 || static_cast<std::size_t>(n) != data.size()) lf_throw("sendto");
}

Socket Socket::tcpListener(const std::string& port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(nullptr, port.c_str(), &hints, &found); rc != 0 || !found)
        throw SocketError(fmt::format("getaddrinfo for port '{}' failed with error {}", port, rc), rc);
    Socket socket;
    try {
        socket = Socket(static_cast<std::intptr_t>(lf_open(found->ai_socktype, found->ai_protocol)));
        lf_setBlocking(lf_native(socket.handle_), false);
        lf_enable(lf_native(socket.handle_), SOL_SOCKET, SO_REUSEADDR, "SO_REUSEADDR");
        if (::bind(lf_native(socket.handle_), found->ai_addr, static_cast<SockLen>(found->ai_addrlen)) != 0)
            lf_throw(fmt::format("bind TCP port {}", port));
        if (::listen(lf_native(socket.handle_), SOMAXCONN) != 0) lf_throw("listen");
    } catch (...) {
        ::freeaddrinfo(found);
        throw;
    }
    ::freeaddrinfo(found);
    return socket;
}

std::optional<Socket> Socket::acceptClient() const
{
    const Native s = ::accept(lf_native(handle_), nullptr, nullptr);
    if (s == kInvalid) {
        const int code = lf_lastError();
        if (lf_wouldBlock(code) || lf_interrupted(code)) return std::nullopt;
        lf_throw("accept");
    }
    Socket client(static_cast<std::intptr_t>(s));
    // Windows hands the listener's non-blocking mode on to the accepted socket.
    lf_setBlocking(s, true);
    lf_enable(s, IPPROTO_TCP, TCP_NODELAY, "TCP_NODELAY");
    lf_setTimeout(s, SO_SNDTIMEO, kSendTimeout);
    return client;
}

Socket Socket::tcpConnect(std::string_view host, std::uint16_t port)
{
    Socket socket(static_cast<std::intptr_t>(lf_open(SOCK_STREAM, IPPROTO_TCP)));
    const sockaddr_in addr = lf_ipv4(host, port);
    if (::connect(lf_native(socket.handle_), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        lf_throw(fmt::format("connect to {}:{}", host, port));
    lf_enable(lf_native(socket.handle_), IPPROTO_TCP, TCP_NODELAY, "TCP_NODELAY");
    lf_setTimeout(lf_native(socket.handle_), SO_SNDTIMEO, kSendTimeout);
    return socket;
}

void Socket::sendAll(std::string_view data) const
{
    while (!data.empty()) {
        const auto n = ::send(lf_native(handle_), data.data(), static_cast<int>(data.size()), kSendFlags);
        if (n < 0) {
            if (lf_interrupted(lf_lastError())) continue;
            lf_throw("send");
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t Socket::receiveSome(std::span<char> buffer) const
{
    for (;;) {
        const auto n = ::recv(lf_native(handle_), buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (!lf_interrupted(lf_lastError())) lf_throw("recv");
    }
}

bool Socket::waitReadable(std::chrono::milliseconds timeout) const
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(lf_native(handle_), &readable);
    timeval tv{};
    tv.tv_sec = static_cast<decltype(tv.tv_sec)>(timeout.count() / 1000);
    tv.tv_usec = static_cast<decltype(tv.tv_usec)>((timeout.count() % 1000) * 1000);
    const int rc = ::select(static_cast<int>(lf_native(handle_)) + 1, &readable, nullptr, nullptr, &tv);
    if (rc < 0) {
        if (lf_interrupted(lf_lastError())) return false;
        lf_throw("select");
    }
    return rc > 0;
}

bool Socket::isConnectionLost(int code) noexcept
{
#ifdef _WIN32
    return code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAENOTCONN || code == WSAESHUTDOWN;
#else
    return code == ECONNRESET || code == ECONNABORTED || code == ENOTCONN || code == EPIPE;
#endif
}

} // namespace zelk::platform
