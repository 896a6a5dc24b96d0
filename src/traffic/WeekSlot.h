#pragma once

#include <cstdint>

namespace zelk {

// A weekday (1 = Monday .. 7 = Sunday) and half-hour slot (0..47), also handled
// as one 64-bit value with the weekday in the low half.
struct WeekSlot {
    std::uint32_t weekday = 0;
    std::uint32_t slot = 0;

    constexpr std::uint64_t packed() const noexcept
    {
        return static_cast<std::uint64_t>(slot) << 32 | weekday;
    }
    static constexpr WeekSlot fromPacked(std::uint64_t v) noexcept
    {
        return WeekSlot{static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
    }
    friend constexpr bool operator==(const WeekSlot&, const WeekSlot&) = default;
};

inline constexpr std::uint32_t kSlotsPerDay = 48;

// The week slot "now" as the run worker and the main loop last stored it.
WeekSlot gf_currentWeekSlot() noexcept;
void gf_storeCurrentWeekSlot(WeekSlot slot) noexcept;
// Stores the slot of the wall clock now (nothing for an impossible date).
void gf_storeWeekSlotNow() noexcept;

// Half-hour slots from placed to now (0..335), across the week's end from
// Sunday to Monday; -1 when placed has no weekday.
std::int64_t gf_weekSlotAge(WeekSlot placed, WeekSlot now) noexcept;
// The panel's average age: half-hour slots summed over count aircraft, in hours
// plus half an hour; 0 for no aircraft.
float gf_averageAgeHours(std::int64_t slotSum, std::int64_t count) noexcept;

} // namespace zelk
