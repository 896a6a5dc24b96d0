#pragma once

namespace zelk::platform {

// The system's socket library, started while the object lives: Windows
// sockets 2.2 on Windows (every socket call fails before it), nothing
// elsewhere. The constructor throws std::runtime_error
// "WSAStartup failed, error: {}" when the library cannot be started.
class NetworkLayer {
public:
    NetworkLayer();
    ~NetworkLayer();
    NetworkLayer(const NetworkLayer&) = delete;
    NetworkLayer& operator=(const NetworkLayer&) = delete;
};

// The network layer of the current run, one per process at a time. Starting
// it again starts a new one before the previous one is released, so sockets
// keep working across the switch. Throws like the constructor above; the
// previous layer then stays.
void startNetworkLayer();
// Releases the current run's layer; nothing when none is started.
void shutdownNetworkLayer() noexcept;
bool networkLayerStarted() noexcept;

} // namespace zelk::platform
