#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "core/IcaoCode.h"
#include "simlink/SimPort.h"

namespace zelk {

// Reads the stands, helipads and runways of one airport from the simulator's
// facility data, on a connection of its own so that the traffic link's frames
// never wait for it.
struct FacilityReaderTiming {
    std::chrono::milliseconds pollInterval{5};
    std::chrono::milliseconds timeout{10000};
    std::function<void(std::chrono::milliseconds)> sleep;
};

class FacilityReader {
public:
    using Timing = FacilityReaderTiming;

    explicit FacilityReader(SimPort& port, Timing timing = {});
    ~FacilityReader();
    FacilityReader(const FacilityReader&) = delete;
    FacilityReader& operator=(const FacilityReader&) = delete;

    // The airport's data; empty when no simulator answers, the request fails,
    // the connection drops or no answer comes within the timeout. found is false
    // in the answer when the simulator knows no such airport.
    std::optional<sim_event::Facilities> read(IcaoCode airport);

private:
    bool ensureOpen();

    SimPort& port_;
    Timing timing_;
    bool open_ = false;
    std::uint32_t nextRequestId_ = 1;
};

} // namespace zelk
