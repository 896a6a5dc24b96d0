#include "traffic/WeekSlot.h"

#include <atomic>

#include "core/TimeUtils.h"

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

void gf_storeWeekSlotNow() noexcept
{
    const WeekdayAndSlot now = gf_currentWeekdayAndSlot();
    if (now.weekday < 1 || now.slot < 0) return;
    gf_storeCurrentWeekSlot(WeekSlot{static_cast<std::uint32_t>(now.weekday), static_cast<std::uint32_t>(now.slot)});
}

} // namespace zelk
