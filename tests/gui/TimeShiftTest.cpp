#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/FeedState.h"
#include "core/Settings.h"
#include "gui/TimeShift.h"
#include "gui/WindowTestSupport.h"
#include "simlink/FakeSimPort.h"
#include "simlink/SimStandIn.h"
#include "simlink/UserAircraftState.h"

namespace zelk {
namespace {

// A simulator whose clock is given in seconds since 1970, as the position
// replies carry it (the link works it out only for professional access).
void lf_simClockAt(std::int64_t unixSeconds)
{
    UserAcPosition position;
    position.latitude = 47.45;
    position.longitude = 8.56;
    const std::int64_t days = unixSeconds / 86400;
    // 2024-01-01 is day 19723 since 1970.
    position.zuluYear = 2024;
    position.zuluDayOfYear = days - 19723 + 1;
    position.zuluTime = unixSeconds % 86400;
    gf_storeUserAcPosition(position);
}

// The simulator stand-in's user position reply, stored as the link stores it.
void lf_simClockFromStandIn(const std::filesystem::path& script)
{
    FakeSimPort port;
    gf_applyStandInScript(gf_readStandInScript(script), port);
    ASSERT_EQ(port.open("ZELK"), SimProduct::Msfs2024);
    ASSERT_EQ(port.setUp(), kPortOk);
    ASSERT_EQ(port.requestUserPosition(), kPortOk);
    std::vector<SimEvent> events;
    ASSERT_EQ(port.dispatch(events), kPortOk);
    for (const SimEvent& e : events)
        if (const auto* p = std::get_if<sim_event::UserPosition>(&e)) {
            gf_storeUserAcPosition(p->position);
            return;
        }
    FAIL() << "no user position";
}

constexpr std::int64_t kNow = (19723LL + 99) * 86400 + 12 * 3600; // 2024-04-09 12:00Z, day 100

class TimeShift : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        if (IsSkipped()) return;
        gf_resetUserAircraftState();
        isProfessionalFeed = true;
        gf_resetSimTimeFollowing();
        gf_setFixedClock(kNow);
        gf_updateWindowHooks([this](WindowHooks& h) { h.setReadersTimeShift = [this](std::int32_t m) { readers_ = m; }; });
        for (IntListParameter* list : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) list->fillCombo();
    }
    void TearDown() override
    {
        gf_resetClock();
        isProfessionalFeed = false;
        gf_resetUserAircraftState();
        WindowTest::TearDown();
    }
    std::string lists() const
    {
        return std::to_string(TIME_SHIFT_DAYS.value()) + "/" + std::to_string(TIME_SHIFT_HOURS.value()) + "/" +
               std::to_string(TIME_SHIFT_MINS.value());
    }
    std::optional<std::int32_t> readers_;
};

struct ApplyCase {
    std::int32_t minutes;
    bool activeBefore;
    bool noRestart;
    std::string message;
    bool restarts;
    std::string lists;
};

TEST_F(TimeShift, ApplyingAShiftSaysItSetsTheListsAndRestartsUnlessAsked)
{
    const std::vector<ApplyCase> cases = {
        {1, false, false, "Time shifted 1 minute", true, "0/0/1"},
        {2, false, true, "Time shifted 2 minutes", false, "0/0/2"},
        {0, true, false, "Time shifted 0 minutes", true, "0/0/0"},
        {0, false, false, "Time shift = 0", false, "0/0/0"},
        {1500, false, true, "Time shifted 1500 minutes", false, "1/1/0"},
        {30000, false, true, "Time shifted 30000 minutes", false, "13/20/0"},
    };
    for (const ApplyCase& c : cases) {
        SCOPED_TRACE(c.minutes);
        gf_resetStopRequest();
        timeShiftActive = c.activeBefore;
        gf_applyTimeShift(c.minutes, c.noRestart, false);
        EXPECT_EQ(message(), c.message);
        EXPECT_NE(log().find(c.message + "\n"), std::string::npos);
        EXPECT_EQ(timeShiftActive.load(), c.minutes > 0);
        EXPECT_EQ(readers_, std::min(c.minutes, kMaxTimeShiftMinutes));
        EXPECT_EQ(stopReason().has_value(), c.restarts);
        EXPECT_EQ(lists(), c.lists);
    }
    EXPECT_EQ(stored("TIME_SHIFT_DAYS"), "13");
    EXPECT_EQ(gf_settings()->TIME_SHIFT_HOURS, 20);
    EXPECT_EQ(host_->comboSelectedText(TIME_SHIFT_DAYS.hwnd()), "13");
}

// The lists hold at most 13 days; the readers still shift by two weeks.
TEST_F(TimeShift, MoreThanTwoWeeksBehindTheSimulatorIsCutToTwoWeeks)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    lf_simClockAt(kNow - 20 * 86400);
    lf_followSimTime();
    EXPECT_EQ(readers_, kMaxTimeShiftMinutes);
    EXPECT_EQ(lists(), "13/0/0");
    EXPECT_NE(log().find("==> time shift is limited to 2 weeks !"), std::string::npos);
    EXPECT_EQ(message(), "Time shifted 20160 minutes");
    EXPECT_EQ(gf_currentStopRequest(), nullptr) << "the first comparison goes on without a restart";
    EXPECT_EQ(gf_lastSimTimeSeen(), kNow - 20 * 86400);
}

// The stand-in's clock is the real one unless its script sets one: a user
// flying now gets no shift, a scripted old clock still does.
TEST_F(TimeShift, TheStandInsClockFollowsTheRealOneUnlessItsScriptSetsOne)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    const auto script = file("simstandin.json");
    std::ofstream(script) << R"({"user": {"latitude": 47.45, "longitude": 8.56}})";
    gf_resetClock();
    lf_simClockFromStandIn(script);
    lf_followSimTime();
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::llabs(gf_lastSimTimeSeen() - now), 5) << "the simulator's time is now";
    EXPECT_FALSE(readers_);
    EXPECT_TRUE(message().empty()) << message();

    gf_resetSimTimeFollowing();
    // 2026-06-29 12:00Z, thirty days after the script's day 150 of 2026.
    const std::int64_t june29 = *gf_zuluToUnixSeconds(2026, 180, 43200);
    gf_setFixedClock(june29);
    std::ofstream(script) << R"({"user": {"latitude": 47.45, "longitude": 8.56,
        "zulu_year": 2026, "zulu_day_of_year": 150, "zulu_time_s": 43200}})";
    lf_simClockFromStandIn(script);
    lf_followSimTime();
    EXPECT_EQ(gf_lastSimTimeSeen(), june29 - 30 * 86400);
    EXPECT_EQ(readers_, kMaxTimeShiftMinutes);
    EXPECT_EQ(message(), "Time shifted 20160 minutes");
}

TEST_F(TimeShift, FollowingTheSimulatorClockFirstShiftsThenRestarts)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    lf_simClockAt(kNow); // no shift at the first comparison: nothing
    lf_followSimTime();
    EXPECT_FALSE(readers_);
    EXPECT_TRUE(message().empty());
    lf_simClockAt(kNow + 29); // under 30 s: nothing
    lf_followSimTime();
    EXPECT_FALSE(readers_);
    lf_simClockAt(kNow - 61); // the simulator is a minute behind, first real shift
    lf_followSimTime();
    EXPECT_EQ(readers_, 1);
    EXPECT_EQ(message(), "Time shifted 1 minute");
    EXPECT_EQ(gf_currentStopRequest(), nullptr);
    EXPECT_TRUE(timeShiftActive.load());
    lf_simClockAt(kNow - 3600); // later comparisons restart the run
    lf_followSimTime();
    EXPECT_EQ(readers_, 1) << "the restart applies it";
    EXPECT_EQ(stopReason(), StopReason::NewSettings);
    EXPECT_EQ(stopDelay(), 0u);
    EXPECT_FALSE(timeShiftActive.load());
    EXPECT_EQ(lists(), "0/1/0");
}

TEST_F(TimeShift, TheAppShiftsItselfSoOnlyTheMessageAndRestartCome)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtApp});
    lf_simClockAt(kNow - 600);
    lf_followSimTime();
    EXPECT_FALSE(readers_);
    EXPECT_EQ(lists(), "0/0/0");
    EXPECT_EQ(message(), "Time shifted 10 minutes");
    EXPECT_EQ(gf_currentStopRequest(), nullptr);
    lf_simClockAt(kNow - 1200);
    lf_followSimTime();
    EXPECT_EQ(stopReason(), StopReason::NewSettings);
}

TEST_F(TimeShift, AnUnknownSimulatorTimeForgetsTheLastOne)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    lf_simClockAt(kNow);
    lf_followSimTime();
    EXPECT_EQ(gf_lastSimTimeSeen(), kNow);
    gf_resetUserAircraftState();
    lf_followSimTime();
    EXPECT_EQ(gf_lastSimTimeSeen(), 0);
}

TEST_F(TimeShift, DisablingTheControlsGreysTheLabelsAndSetStaysOff)
{
    setButton.enable(true);
    gf_setTimeShiftControlsEnabled(false);
    for (const GuiControl* c : {static_cast<const GuiControl*>(&TIME_SHIFT_DAYS), static_cast<const GuiControl*>(&SIM_TIME)})
        EXPECT_FALSE(host_->isEnabled(c->hwnd()));
    EXPECT_FALSE(gf_gui().panel().timeShiftLabelsEnabled);
    setButton.enable(true);
    gf_setTimeShiftControlsEnabled(true);
    EXPECT_TRUE(host_->isEnabled(TIME_SHIFT_MINS.hwnd()));
    EXPECT_FALSE(host_->isEnabled(setButton.hwnd()));
}

} // namespace
} // namespace zelk
