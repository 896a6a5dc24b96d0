#include "core/TimeUtils.h"

#include "core/Clock.h"
#include "core/FeedState.h"
#include "core/Settings.h"

#include <array>
#include <chrono>

#include <fmt/format.h>

namespace zelk {
namespace {

constexpr std::array<std::string_view, 7> kWeekdayNames{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The range _gmtime64_s accepts: 1970-01-01 00:00:00 to 3000-12-31 23:59:59.
constexpr std::int64_t kLastBreakableSecond =
    std::chrono::sys_seconds{std::chrono::sys_days{std::chrono::year{3001} / 1 / 1}}.time_since_epoch().count() - 1;

// Shifted (feed) time is shown only when the service serves shifted traffic and
// the user has asked for a shift.
bool lf_shiftedTimeShown() noexcept
{
    return isProfessionalFeed.load(std::memory_order_relaxed) && timeShiftActive.load(std::memory_order_relaxed);
}

std::time_t lf_timeAt(std::int64_t clockTicks, bool useFeedTime) noexcept
{
    const auto systemSeconds = static_cast<std::time_t>(clockTicks / kClockTicksPerSecond);
    if (!useFeedTime)
        return systemSeconds;
    const std::int64_t feed = gf_isRTDirect() ? rtApiTrafficTime.load(std::memory_order_relaxed)
                                                    : rtAppTrafficTime.load(std::memory_order_relaxed);
    return feed != 0 ? static_cast<std::time_t>(feed) : systemSeconds;
}

std::optional<UtcTime> lf_breakDownDisplayed(bool& shifted) noexcept
{
    shifted = lf_shiftedTimeShown();
    return gf_breakDownUtc(gf_currentTime(shifted));
}

} // namespace

std::optional<UtcTime> gf_breakDownUtc(std::time_t t) noexcept
{
    using namespace std::chrono;
    const auto secs = static_cast<std::int64_t>(t);
    if (secs < 0 || secs > kLastBreakableSecond)
        return std::nullopt;
    const sys_seconds s{seconds{secs}};
    const sys_days day = floor<days>(s);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> hms{s - day};
    UtcTime u;
    u.year = static_cast<int>(ymd.year());
    u.month = static_cast<std::int32_t>(static_cast<unsigned>(ymd.month()));
    u.day = static_cast<std::int32_t>(static_cast<unsigned>(ymd.day()));
    u.hour = static_cast<std::int32_t>(hms.hours().count());
    u.minute = static_cast<std::int32_t>(hms.minutes().count());
    u.second = static_cast<std::int32_t>(hms.seconds().count());
    u.weekday = static_cast<std::int32_t>(weekday{day}.iso_encoding());
    return u;
}

std::time_t gf_currentTime(bool useFeedTime) noexcept { return lf_timeAt(gf_clockTicks(), useFeedTime); }

std::string gf_utcDateTimeText()
{
    const auto u = gf_breakDownUtc(gf_currentTime(false));
    if (!u)
        return "Invalid time";
    return fmt::format("{} {} {} {:02}:{:02}Z", u->day, gf_monthName(u->month), u->year, u->hour, u->minute);
}

std::string gf_utcTimeText()
{
    const auto u = gf_breakDownUtc(gf_currentTime(false));
    if (!u)
        return "??:??:??";
    return fmt::format("{:02}:{:02}:{:02}", u->hour, u->minute, u->second);
}

std::string gf_displayTimeText()
{
    bool shifted = false;
    const auto u = lf_breakDownDisplayed(shifted);
    if (!u)
        return "??:??:??";
    std::string text = fmt::format("{:02}:{:02}:{:02}", u->hour, u->minute, u->second);
    return shifted ? fmt::format("<<< {}", text) : text;
}

std::string gf_displayTimeTextShort()
{
    bool shifted = false;
    const auto u = lf_breakDownDisplayed(shifted);
    if (!u)
        return "??:??";
    std::string text = fmt::format("{:02}:{:02}", u->hour, u->minute);
    return shifted ? fmt::format("<<< {}", text) : text;
}

std::int32_t gf_halfHourSlotOf(const UtcTime& t) noexcept
{
    const bool firstHalf = t.minute < 29 || (t.minute == 29 && t.second < 30);
    return 2 * t.hour + (firstHalf ? 0 : 1);
}

std::int32_t gf_currentHalfHourSlot() noexcept
{
    bool shifted = false;
    const auto u = lf_breakDownDisplayed(shifted);
    return u ? gf_halfHourSlotOf(*u) : -1;
}

WeekdayAndSlot gf_currentWeekdayAndSlot() noexcept
{
    bool shifted = false;
    const auto u = lf_breakDownDisplayed(shifted);
    if (!u)
        return {};
    return {u->weekday, gf_halfHourSlotOf(*u)};
}

std::string_view gf_weekdayName(std::int32_t d) noexcept
{
    return d >= 1 && d <= 7 ? kWeekdayNames[static_cast<std::size_t>(d - 1)] : std::string_view{"???"};
}

std::string_view gf_monthName(std::int32_t m) noexcept
{
    return m >= 1 && m <= 12 ? kMonthNames[static_cast<std::size_t>(m - 1)] : std::string_view{"???"};
}

} // namespace zelk
