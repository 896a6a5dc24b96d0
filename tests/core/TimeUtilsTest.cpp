#include "core/TimeUtils.h"

#include "core/Clock.h"
#include "core/FeedState.h"
#include "core/Settings.h"

#include <atomic>
#include <chrono>

#include <gtest/gtest.h>

namespace zelk {
namespace {

using namespace std::chrono;

std::time_t lf_utc(year_month_day day, int h = 0, int m = 0, int s = 0)
{
    const sys_seconds t = sys_days{day} + hours{h} + minutes{m} + seconds{s};
    return static_cast<std::time_t>(t.time_since_epoch().count());
}

// A clock that moves one second forward on every read, to catch functions that
// read the clock twice for one answer.
std::atomic<std::int64_t> steppingTicks{0};
std::int64_t lf_steppingClock() noexcept
{
    return steppingTicks.fetch_add(kClockTicksPerSecond, std::memory_order_relaxed);
}

class TimeUtils : public ::testing::Test {
protected:
    void SetUp() override { resetFeed(); }
    void TearDown() override
    {
        resetFeed();
        gf_resetClock();
    }
    static void resetFeed()
    {
        rtAppTrafficTime = 0;
        rtApiTrafficTime = 0;
        isProfessionalFeed = false;
        timeShiftActive = false;
        gf_storeProgramMode(ProgramMode{});
    }
};

TEST_F(TimeUtils, CurrentTimeReadsTheInjectedClock)
{
    // The injected clock is read by every other case; once reset, the system's.
    const auto real = system_clock::to_time_t(system_clock::now());
    EXPECT_LE(std::abs(gf_currentTime(false) - real), 2);
}

TEST_F(TimeUtils, FeedTimeFollowsTheSelectedSourceAndFallsBackToTheClock)
{
    const std::time_t now = lf_utc(2026y / March / 1, 12);
    ScopedFixedClock clock(now);
    EXPECT_EQ(gf_currentTime(true), now) << "no traffic received yet";

    rtApiTrafficTime = now - 3600;
    rtAppTrafficTime = now - 7200;
    EXPECT_EQ(gf_currentTime(true), now - 3600) << "RT Direct is the default source";
    EXPECT_EQ(gf_currentTime(false), now);

    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtApp});
    EXPECT_EQ(gf_currentTime(true), now - 7200);
    rtAppTrafficTime = 0;
    EXPECT_EQ(gf_currentTime(true), now);
}

TEST_F(TimeUtils, UtcTextsPadClockFieldsButNotTheDay)
{
    ScopedFixedClock clock(lf_utc(2026y / December / 5, 20, 32, 7));
    EXPECT_EQ(gf_utcDateTimeText(), "5 Dec 2026 20:32Z");
    EXPECT_EQ(gf_utcTimeText(), "20:32:07");
    clock.set(lf_utc(2027y / January / 31, 3, 4, 5));
    EXPECT_EQ(gf_utcDateTimeText(), "31 Jan 2027 03:04Z");
    EXPECT_EQ(gf_utcTimeText(), "03:04:05");
    EXPECT_EQ(gf_displayTimeText(), "03:04:05");
    EXPECT_EQ(gf_displayTimeTextShort(), "03:04");
}

TEST_F(TimeUtils, DisplayShowsShiftedTimeOnlyWithBothFlags)
{
    const std::time_t now = lf_utc(2026y / June / 10, 8, 15, 0);
    ScopedFixedClock clock(now);
    rtApiTrafficTime = now - 90 * 60;

    isProfessionalFeed = true;
    EXPECT_EQ(gf_displayTimeText(), "08:15:00") << "professional feed without a shift";
    EXPECT_EQ(gf_currentHalfHourSlot(), 16);

    isProfessionalFeed = false;
    timeShiftActive = true;
    EXPECT_EQ(gf_displayTimeText(), "08:15:00") << "a shift the feed does not serve";

    isProfessionalFeed = true;
    EXPECT_EQ(gf_displayTimeText(), "<<< 06:45:00");
    EXPECT_EQ(gf_displayTimeTextShort(), "<<< 06:45");
    EXPECT_EQ(gf_utcTimeText(), "08:15:00") << "UTC texts ignore the feed time";
    EXPECT_EQ(gf_currentHalfHourSlot(), 13);

    rtApiTrafficTime = 0;
    EXPECT_EQ(gf_displayTimeText(), "<<< 08:15:00") << "no traffic yet: the clock, still marked";
}

TEST_F(TimeUtils, HalfHourSlotSwitchesThirtySecondsEarly)
{
    struct Case {
        int h, m, s, slot;
    };
    for (const Case c : {Case{0, 0, 0, 0}, {0, 29, 29, 0}, {0, 29, 30, 1}, {12, 59, 59, 25}, {13, 0, 0, 26},
                         {23, 59, 59, 47}}) {
        SCOPED_TRACE(testing::Message() << c.h << ":" << c.m << ":" << c.s);
        ScopedFixedClock clock(lf_utc(2026y / May / 4, c.h, c.m, c.s));
        EXPECT_EQ(gf_currentHalfHourSlot(), c.slot);
    }
}

TEST_F(TimeUtils, WeekdayRunsFromMondayOneToSundaySeven)
{
    ScopedFixedClock clock(lf_utc(2024y / January / 1, 10)); // a Monday
    EXPECT_EQ(gf_currentWeekdayAndSlot().weekday, 1);
    EXPECT_EQ(gf_currentWeekdayAndSlot().slot, 20);
    clock.set(lf_utc(2023y / December / 31, 10)); // a Sunday
    EXPECT_EQ(gf_currentWeekdayAndSlot().weekday, 7);
    clock.set(lf_utc(1970y / January / 1)); // a Thursday
    EXPECT_EQ(gf_currentWeekdayAndSlot().weekday, 4);
    EXPECT_EQ(gf_currentWeekdayAndSlot().slot, 0);
}

TEST_F(TimeUtils, WeekdayAndSlotComeFromOneClockRead)
{
    // Sunday 23:59:59, the clock reaching Monday on the next read.
    steppingTicks = static_cast<std::int64_t>(lf_utc(2023y / December / 31, 23, 59, 59)) * kClockTicksPerSecond;
    gf_setClockFunction(&lf_steppingClock);
    const WeekdayAndSlot ws = gf_currentWeekdayAndSlot();
    EXPECT_EQ(ws.weekday, 7);
    EXPECT_EQ(ws.slot, 47);
}

TEST_F(TimeUtils, UnbreakableTimesGiveTheFailureTexts)
{
    ScopedFixedClock clock(-1);
    EXPECT_EQ(gf_utcDateTimeText(), "Invalid time");
    EXPECT_EQ(gf_utcTimeText(), "??:??:??");
    EXPECT_EQ(gf_displayTimeText(), "??:??:??");
    EXPECT_EQ(gf_displayTimeTextShort(), "??:??");
    EXPECT_EQ(gf_currentHalfHourSlot(), -1);
    EXPECT_EQ(gf_currentWeekdayAndSlot().weekday, -1);
    EXPECT_EQ(gf_currentWeekdayAndSlot().slot, -1);
}

TEST_F(TimeUtils, BreakdownCoversTheRangeOfTheWindowsCalendar)
{
    const auto last = gf_breakDownUtc(lf_utc(3000y / December / 31, 23, 59, 59));
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->year, 3000);
    EXPECT_EQ(last->month, 12);
    EXPECT_EQ(last->day, 31);
    EXPECT_FALSE(gf_breakDownUtc(lf_utc(3001y / January / 1)).has_value());
    EXPECT_FALSE(gf_breakDownUtc(-1).has_value());

    const auto leap = gf_breakDownUtc(lf_utc(2024y / February / 29, 23, 1, 2));
    ASSERT_TRUE(leap.has_value());
    EXPECT_EQ(leap->month, 2);
    EXPECT_EQ(leap->day, 29);
    EXPECT_EQ(leap->weekday, 4);
    EXPECT_EQ(leap->minute * 60 + leap->second, 62);
}

TEST(TimeNames, FixedEnglishAbbreviationsAndUnknownIndexes)
{
    EXPECT_EQ(gf_weekdayName(7), "Sun");
    for (const int i : {-1, 0, 8})
        EXPECT_EQ(gf_weekdayName(i), "???") << i;
    for (const int i : {0, 13})
        EXPECT_EQ(gf_monthName(i), "???") << i;
}

} // namespace
} // namespace zelk
