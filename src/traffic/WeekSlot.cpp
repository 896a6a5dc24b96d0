#include "traffic/WeekSlot.h"

#include <atomic>

#include "core/TimeUtils.h"

namespace zelk {
namespace {
std::atomic<std::uint64_t> currentWeekSlot{0};
constexpr std::int64_t kSlotsPerWeek = 7 * std::int64_t{kSlotsPerDay};
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

std::int64_t gf_weekSlotAge(WeekSlot placed, WeekSlot now) noexcept
{
    if (placed.weekday < 1)
        return -1;
    const std::int64_t age = (static_cast<std::int64_t>(now.weekday) - placed.weekday) * kSlotsPerDay +
                             (static_cast<std::int64_t>(now.slot) - placed.slot);
    return age < 0 ? age + kSlotsPerWeek : age;
}

float gf_averageAgeHours(std::int64_t slotSum, std::int64_t count) noexcept
{
    if (count == 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(slotSum) / (2.0 * static_cast<double>(count)) + 0.5);
}

} // namespace zelk
