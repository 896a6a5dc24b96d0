#include "platform/NetworkLayer.h"

namespace zelk::platform {

// POSIX sockets need no start-up.
NetworkLayer::NetworkLayer() = default;
NetworkLayer::~NetworkLayer() = default;

} // namespace zelk::platform
