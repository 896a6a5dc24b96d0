#pragma once

#include <cstdint>
#include <mutex>

namespace zelk {

// What the window asks of the main loop. The window thread raises a request;
// the loop takes it (exchange) at the job that serves it, so a request raised
// twice before the job runs is served once.
enum class LoopRequest : std::uint8_t {
    RemoveTwoProps,      // TWO_PROPS switched off (5-second job)
    RemoveLight,         // LIGHT_AIRCRAFT switched off (5-second job)
    RemoveRotorcraft,    // HELICOPTERS switched off (5-second job)
    RemoveHighPerf,      // HIGH_PERF_AIRCRAFT switched off (5-second job)
    ParkedLimitChanged,  // MAX_PARK_SEL (one-second job)
    LiveLimitChanged,    // MAX_LIVE_SEL (one-second job)
    RemoveAllParked,     // "Flush" (one-second job)
    RefillAircraftList,  // "Aircraft" (one-second job)
    BlockedChanged,      // a new aircraft was blocked (one-second job)
    MatchingDepthRaised, // MATCHING_DEPTH raised (30-second job)
};
inline constexpr std::size_t kLoopRequestCount = 10;

void gf_raiseLoopRequest(LoopRequest request) noexcept;
// True once per raise.
bool gf_takeLoopRequest(LoopRequest request) noexcept;

// NAV_LIGHTS_WHILE_PARKED switched: 1 on, 0 off; the next pass takes it (-1 = none).
void gf_setPendingNavLights(std::int8_t value) noexcept;
std::int8_t gf_takePendingNavLights() noexcept;

// A restarted parking countdown (minutes); the next one-second job takes it (-1 = none).
void gf_setPendingParkingCountdown(std::int32_t minutes) noexcept;
std::int32_t gf_takePendingParkingCountdown() noexcept;

// Requested parking updates and the RT_PARKTRAFFIC_ONLY switches, shared by
// the window (which asks) and the main loop (which generates); only under
// gf_parkingRequestMutex().
struct ParkingRequests {
    std::uint64_t requested = 0;
    std::uint64_t done = 0;
    std::uint64_t switchCount = 0;
    bool switchedOn = false; // the last switch turned RT_PARKTRAFFIC_ONLY on
};
std::mutex& gf_parkingRequestMutex();
ParkingRequests& gf_parkingRequests();

// A restart: no request pending, no light or countdown value, record zeroed.
void gf_resetLoopRequests();

} // namespace zelk
