#include "gui/TimeShift.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "core/Clock.h"
#include "core/FeedState.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "gui/GuiUpdate.h"
#include "gui/WindowHooks.h"
#include "simlink/UserAircraftState.h"

namespace zelk {

namespace {

constexpr std::int64_t kSimClockJumpSeconds = 30;

// Written by the worker's one-second job and read by tests: atomics.
std::atomic<std::int64_t> lv_lastSimTimeSeen{0};
std::atomic<bool> lv_firstComparison{true};

void lf_setReadersShift(std::int32_t minutes)
{
    const auto hooks = gf_windowHooks();
    if (hooks->setReadersTimeShift) hooks->setReadersTimeShift(std::min(minutes, kMaxTimeShiftMinutes));
}

void lf_showShifted(std::int32_t minutes)
{
    gf_guiShowMessage(fmt::format("Time shifted {} minute{}", minutes, minutes == 1 ? "" : "s"), true);
}

// The shared steps of both sim-time variants; setControls is false for the app,
// which learns the simulator time itself.
void lf_applySimTimeShift(std::int32_t minutes, bool api)
{
    if (minutes == 0 && lv_firstComparison.load()) return;
    timeShiftActive = minutes > 0;
    if (minutes > kMaxTimeShiftMinutes) {
        gf_writeLogNotice("time shift is limited to 2 weeks !");
        minutes = kMaxTimeShiftMinutes;
    }
    if (api) gf_setTimeShiftControls(static_cast<std::uint32_t>(minutes));
    lf_showShifted(minutes);
    if (lv_firstComparison.exchange(false)) {
        if (api) lf_setReadersShift(minutes);
        return;
    }
    lv_lastSimTimeSeen = 0;
    timeShiftActive = false;
    gf_requestStop(StopReason::NewSettings, 0);
}

} // namespace

std::int32_t gf_timeShiftMinutes()
{
    const auto s = gf_settings();
    return (s->TIME_SHIFT_DAYS * 24 + s->TIME_SHIFT_HOURS) * 60 + s->TIME_SHIFT_MINS;
}

void gf_setTimeShiftControls(std::uint32_t minutes)
{
    const std::uint32_t days = minutes / 1440;
    const std::uint32_t hours = (minutes - days * 1440) / 60;
    const std::uint32_t rest = minutes % 60;
    for (auto [list, value] : {std::pair{&TIME_SHIFT_DAYS, days}, std::pair{&TIME_SHIFT_HOURS, hours},
                               std::pair{&TIME_SHIFT_MINS, rest}}) {
        list->setAndSave(static_cast<std::int32_t>(std::min<std::uint32_t>(value, 0x7FFFFFFF)));
        list->showValue();
    }
    gf_updateSettingsSnapshot(&TIME_SHIFT_DAYS);
}

void gf_applyTimeShift(std::int32_t minutes, bool noRestart, bool keepControls)
{
    const bool wasActive = timeShiftActive.exchange(minutes > 0);
    if (!keepControls) gf_setTimeShiftControls(static_cast<std::uint32_t>(std::max(minutes, 0)));
    lf_setReadersShift(minutes);
    if (minutes == 0 && !wasActive) {
        gf_guiShowMessage("Time shift = 0", true);
        return;
    }
    lf_showShifted(minutes);
    if (!noRestart) gf_requestStop(StopReason::NewSettings, 0);
}

void gf_setTimeShiftControlsEnabled(bool enable)
{
    for (const GuiControl* c : {static_cast<const GuiControl*>(&TIME_SHIFT_DAYS),
                                static_cast<const GuiControl*>(&TIME_SHIFT_HOURS),
                                static_cast<const GuiControl*>(&TIME_SHIFT_MINS),
                                static_cast<const GuiControl*>(&SIM_TIME)})
        c->enable(enable);
    if (!enable) gf_postGuiUpdate(gui_update::GreyTimeShiftLabels{});
    setButton.enable(false);
}

void lf_followSimTime()
{
    const std::optional<std::int64_t> sim = gf_simulatorTime();
    if (!sim) {
        lv_lastSimTimeSeen = 0;
        return;
    }
    if (std::llabs(*sim - lv_lastSimTimeSeen.load()) >= kSimClockJumpSeconds) {
        const std::int64_t behind = (static_cast<std::int64_t>(gf_clockSeconds()) - *sim) / 60;
        const auto minutes = static_cast<std::int32_t>(std::clamp<std::int64_t>(behind, 0, 0x7FFFFFFF));
        if (gf_isRTDirect()) lf_applySimTimeShiftAPI(minutes);
        else lf_applySimTimeShiftApp(minutes);
    }
    lv_lastSimTimeSeen = *sim;
}

void lf_applySimTimeShiftAPI(std::int32_t minutes) { lf_applySimTimeShift(minutes, true); }

void lf_applySimTimeShiftApp(std::int32_t minutes) { lf_applySimTimeShift(minutes, false); }

void gf_resetSimTimeFollowing()
{
    lv_firstComparison = true;
    lv_lastSimTimeSeen = 0;
    // A run that applies a shift marks it again; the app's records must not
    // be judged by a shift of the run before.
    timeShiftActive = false;
}

std::int64_t gf_lastSimTimeSeen() { return lv_lastSimTimeSeen.load(); }

} // namespace zelk
