#include "core/LoopRequests.h"

#include <array>
#include <atomic>

namespace zelk {
namespace {

std::array<std::atomic<std::uint8_t>, kLoopRequestCount> lv_requests{};
std::atomic<std::int8_t> lv_pendingNavLights{-1};
std::atomic<std::int32_t> lv_pendingCountdown{-1};

std::atomic<std::uint8_t>& lf_flag(LoopRequest request) { return lv_requests[static_cast<std::size_t>(request)]; }

} // namespace

void gf_raiseLoopRequest(LoopRequest request) noexcept { lf_flag(request).store(1); }

bool gf_takeLoopRequest(LoopRequest request) noexcept { return lf_flag(request).exchange(0) != 0; }

void gf_setPendingNavLights(std::int8_t value) noexcept { lv_pendingNavLights.store(value); }

std::int8_t gf_takePendingNavLights() noexcept { return lv_pendingNavLights.exchange(-1); }

void gf_setPendingParkingCountdown(std::int32_t minutes) noexcept { lv_pendingCountdown.store(minutes); }

std::int32_t gf_takePendingParkingCountdown() noexcept { return lv_pendingCountdown.exchange(-1); }

std::mutex& gf_parkingRequestMutex()
{
    static std::mutex mutex;
    return mutex;
}

ParkingRequests& gf_parkingRequests()
{
    static ParkingRequests requests;
    return requests;
}

void gf_resetLoopRequests()
{
    for (auto& flag : lv_requests) flag.store(0);
    lv_pendingNavLights.store(-1);
    lv_pendingCountdown.store(-1);
    std::scoped_lock guard(gf_parkingRequestMutex());
    gf_parkingRequests() = ParkingRequests{};
}

} // namespace zelk
