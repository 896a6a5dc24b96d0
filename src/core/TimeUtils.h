#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

// One instant broken down on the UTC calendar (there is no local time in the program).
struct UtcTime {
    std::int32_t year = 0;
    std::int32_t month = 0;   // 1..12
    std::int32_t day = 0;     // 1..31
    std::int32_t hour = 0;    // 0..23
    std::int32_t minute = 0;  // 0..59
    std::int32_t second = 0;  // 0..59
    std::int32_t weekday = 0; // 1 = Monday .. 7 = Sunday
};

// Empty for instants the calendar of the Windows runtime cannot break down
// (before 1970 or after the year 3000), so both builds fail alike.
std::optional<UtcTime> gf_breakDownUtc(std::time_t t) noexcept;

// The system clock in whole seconds; with useFeedTime the time of the latest
// traffic of the selected feed source, unless none has arrived yet.
std::time_t gf_currentTime(bool useFeedTime) noexcept;

// "5 Dec 2026 20:32Z" of the system clock; "Invalid time" when it cannot be broken down.
std::string gf_utcDateTimeText();
// "20:32:07" of the system clock; "??:??:??" on failure.
std::string gf_utcTimeText();
// The time of the traffic being shown: "20:32:07", or "<<< 20:32:07" while a time
// shift is in effect; "??:??:??" on failure.
std::string gf_displayTimeText();
// The same as "20:32"; "??:??" on failure.
std::string gf_displayTimeTextShort();

// Half-hour slot 0..47 of the displayed time; -1 on failure. The second half of
// each hour starts at minute 29, second 30.
std::int32_t gf_currentHalfHourSlot() noexcept;
std::int32_t gf_halfHourSlotOf(const UtcTime& t) noexcept;

struct WeekdayAndSlot {
    std::int32_t weekday = -1; // 1 = Monday .. 7 = Sunday, -1 on failure
    std::int32_t slot = -1;    // 0..47, -1 on failure
};
// Both taken from one read of the clock, so they never straddle midnight.
WeekdayAndSlot gf_currentWeekdayAndSlot() noexcept;

// "Mon".."Sun" for 1..7 and "Jan".."Dec" for 1..12; "???" for any other index.
std::string_view gf_weekdayName(std::int32_t d) noexcept;
std::string_view gf_monthName(std::int32_t m) noexcept;

} // namespace zelk
