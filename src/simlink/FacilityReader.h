#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "core/IcaoCode.h"
#include "simlink/SimPort.h"

namespace zelk {

// Reads the stands, helipads and runways of one airport from the simulator's
// facility data, on a connection of its own so that the traffic link's frames
// never wait for it.
struct FacilityReaderTiming {
    std::chrono::milliseconds pollInterval{5};
    // Real time from the request, however long each dispatch and sleep took.
    std::chrono::milliseconds timeout{10000};
    std::function<void(std::chrono::milliseconds)> sleep;
    std::function<std::chrono::steady_clock::time_point()> now;
    // False ends a wait at once (default: while the run goes on, gf_isRunning).
    std::function<bool()> keepGoing;
};

class FacilityReader {
public:
    using Timing = FacilityReaderTiming;

    // The connection opens under clientName at the first read.
    explicit FacilityReader(SimPort& port, Timing timing = {}, std::string clientName = "ZELK facilities");
    ~FacilityReader();
    FacilityReader(const FacilityReader&) = delete;
    FacilityReader& operator=(const FacilityReader&) = delete;

    // The airport's data; empty when no simulator answers, the request fails,
    // the connection drops, a stop comes or no answer comes within the
    // timeout. found is false in the answer when the simulator knows no such
    // airport.
    std::optional<sim_event::Facilities> read(IcaoCode airport);

    bool isOpen() const noexcept { return open_; }
    // Closes the connection when it is open: the library's answer (kPortOk
    // when nothing was open).
    PortResult close();

private:
    bool ensureOpen();

    SimPort& port_;
    Timing timing_;
    std::string clientName_;
    bool open_ = false;
    std::uint32_t nextRequestId_ = 1;
};

} // namespace zelk
