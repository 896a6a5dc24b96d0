#include "traffic/EngineTick.h"

#include <atomic>

namespace zelk {
namespace {
std::atomic<std::int32_t> engineTick{0};
} // namespace

std::int32_t gf_engineTick() noexcept { return engineTick.load(std::memory_order_relaxed); }

void gf_advanceEngineTick(std::int32_t ticks) noexcept
{
    // Wraps like the 32-bit counter it is instead of overflowing a signed value.
    std::int32_t current = engineTick.load(std::memory_order_relaxed);
    std::int32_t next;
    do {
        next = static_cast<std::int32_t>(static_cast<std::uint32_t>(current) + static_cast<std::uint32_t>(ticks));
    } while (!engineTick.compare_exchange_weak(current, next, std::memory_order_relaxed));
}

void gf_setEngineTick(std::int32_t tick) noexcept { engineTick.store(tick, std::memory_order_relaxed); }

} // namespace zelk
