#include "platform/NetworkLayer.h"

#include <winsock2.h>

#include <fmt/format.h>

#include <stdexcept>

namespace zelk::platform {

NetworkLayer::NetworkLayer()
{
    WSADATA data{};
    // WSAStartup reports its error as the result; WSAGetLastError is not
    // usable before a successful start.
    if (const int rc = ::WSAStartup(MAKEWORD(2, 2), &data); rc != 0)
        throw std::runtime_error(fmt::format("WSAStartup failed, error: {}", rc));
}

NetworkLayer::~NetworkLayer() { ::WSACleanup(); }

} // namespace zelk::platform
