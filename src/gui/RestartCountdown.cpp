#include "gui/RestartCountdown.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Parameters.h"
#include "core/StopRequest.h"
#include "gui/Gui.h"
#include "gui/WaitClock.h"

namespace zelk {

namespace {

constexpr std::int32_t kUnblockRestartAbove = 15;
constexpr auto kPollStep = std::chrono::milliseconds(100);

std::atomic<bool> g_restartNowRequested{false};
std::atomic<bool> g_countdownRunning{false};

// Marks the countdown for the window's "Unblock" for as long as it runs.
class CountdownMark {
public:
    CountdownMark() { g_countdownRunning.store(true); }
    ~CountdownMark() { g_countdownRunning.store(false); }
    CountdownMark(const CountdownMark&) = delete;
    CountdownMark& operator=(const CountdownMark&) = delete;
};

// Sleeps until the given time in short steps, so that a closing user is not
// kept waiting for the rest of the second. True when the user closed meanwhile.
bool lf_sleepUntilOrClosed(WaitClock& clock, WaitClock::TimePoint until)
{
    while (clock.now() < until) {
        if (gf_isClosingByUser()) return true;
        clock.sleepUntil(std::min(until, clock.now() + kPollStep));
    }
    return gf_isClosingByUser();
}

} // namespace

void gf_requestRestartNow() { g_restartNowRequested.store(true); }
bool gf_isRestartNowRequested() { return g_restartNowRequested.load(); }
bool gf_isRestartCountdownRunning() { return g_countdownRunning.load(); }

bool lf_restartCountdown(std::int32_t seconds)
{
    if (seconds < 1) return !gf_isClosingByUser();
    const bool canRestartNow = seconds > kUnblockRestartAbove;
    if (canRestartNow) {
        g_restartNowRequested.store(false);
        unblockButton.enable(true);
    }
    // From here on a press of "Unblock" counts for this countdown.
    const CountdownMark mark;
    gf_writeLogLine(fmt::format("Restarting after {} seconds", seconds));
    gf_writeLogLine(std::string(48, '-'));
    const auto clock = gf_waitClock();
    WaitClock::TimePoint next = clock->now();
    for (std::int32_t i = 0; i < seconds; ++i) {
        if (gf_isClosingByUser()) return false;
        if (canRestartNow && g_restartNowRequested.load()) return true;
        const std::int32_t left = seconds - i;
        gf_guiShowMessage(fmt::format("Restarting after {} second{}{}", left, left == 1 ? "" : "s",
                                      canRestartNow ? "              ( or push Unblock to re-start )" : ""),
                          false);
        next += std::chrono::seconds(1);
        if (lf_sleepUntilOrClosed(*clock, next)) return false;
    }
    gf_writeLogLine("Restart countdown finished");
    return !gf_isClosingByUser();
}

} // namespace zelk
