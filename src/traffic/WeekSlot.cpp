#include "traffic/WeekSlot.h"

#include <atomic>

namespace zelk {
namespace {
std::atomic<std::uint64_t> currentWeekSlot{0};
} // namespace

WeekSlot gf_currentWeekSlot() noexcept
{
    return WeekSlot::fromPacked(currentWeekSlot.load(std::memory_order_relaxed));
}

void gf_storeCurrentWeekSlot(WeekSlot slot) noexcept
{
    currentWeekSlot.store(slot.packed(), std::memory_order_relaxed);
}

} // namespace zelk
