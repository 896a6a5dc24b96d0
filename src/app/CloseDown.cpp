#include "app/CloseDown.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "core/FeedState.h"
#include "core/HookSlot.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/TimeUtils.h"
#include "gui/Gui.h"
#include "gui/RestartCountdown.h"
#include "gui/TimeShift.h"
#include "gui/WaitClock.h"
#include "platform/NetworkLayer.h"
#include "traffic/UserPosition.h"

namespace zelk {

namespace {

constexpr auto kSystemErrorWaitStep = std::chrono::milliseconds(100);

HookSlot<CloseDownHooks>& lf_hookSlot()
{
    static HookSlot<CloseDownHooks> slot;
    return slot;
}

std::shared_ptr<const CloseDownHooks> lf_hooks() { return gf_closeDownHooks(); }

void lf_call(const std::function<void()>& hook)
{
    if (hook) hook();
}

// Waits for a thread of the run that was asked to stop, between two log lines.
void lf_waitFor(const RunThreadHooks& thread, std::string_view name)
{
    if (!thread.joinable || !thread.joinable() || !thread.join) return;
    gf_writeLogLineFlushed(fmt::format("Shutdown cleanup: waiting for {}", name));
    thread.join();
    gf_writeLogLineFlushed(fmt::format("Shutdown cleanup: {} stopped", name));
}

// The simulator link first, then the readers: all readers are woken before
// the first is waited for.
void lf_stopRunThreads(const CloseDownHooks& hooks)
{
    lf_call(hooks.simulatorLink.requestStop);
    lf_waitFor(hooks.simulatorLink, "SimClient");
    gf_writeLogLine("Shutdown cleanup: stopping readers");
    lf_call(hooks.weatherReader.requestStop);
    lf_call(hooks.trafficReader.requestStop);
    lf_waitFor(hooks.weatherReader, "weather reader");
    lf_waitFor(hooks.trafficReader, "traffic reader");
}

void lf_closeRtAppServer(const CloseDownHooks& hooks)
{
    if (!hooks.closeRtAppServer) return;
    gf_writeLogLine("Shutdown cleanup: closing RT App server");
    hooks.closeRtAppServer();
    gf_writeLogLine("Shutdown cleanup: RT App server closed");
}

// Runs the end message however the close-down is left.
class EndMessageGuard {
public:
    EndMessageGuard() = default;
    ~EndMessageGuard() { lf_postEndMessage(); }
    EndMessageGuard(const EndMessageGuard&) = delete;
    EndMessageGuard& operator=(const EndMessageGuard&) = delete;
};

// Keeps the error line readable for a while, unless the user closes first.
void lf_waitAfterSystemError()
{
    gf_flushLog();
    const auto clock = gf_waitClock();
    const WaitClock::TimePoint end = clock->now() + std::chrono::seconds(kSystemErrorWaitSeconds);
    while (!gf_isClosingByUser()) {
        const WaitClock::TimePoint now = clock->now();
        if (now >= end) break;
        clock->sleepUntil(std::min(end, now + kSystemErrorWaitStep));
    }
}

// Set by a close-down that touches files, until its exit resets ran: the end
// message runs them on whatever way the program is left.
std::atomic<bool> lv_exitResetsPending{false};

void lf_prepareExit()
{
    lv_exitResetsPending.store(false);
    gf_setRestartFlag(false);
    if (gf_isRTDirect() && !KEEP_SIM_TIME_PAR.value()) {
        for (IntListParameter* shift : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) {
            shift->setAndSave(0);
            gf_updateSettingsSnapshot(shift);
        }
    }
    for (StringParameter* block : {&BLOCK_AIRCRAFT, &BLOCK_CALLSIGN, &BLOCK_REGCODE}) {
        if (!block->value().empty()) block->setAndSave("");
        gf_updateSettingsSnapshot(block);
    }
    gf_setBlockCallsignPrefix(false);
    if (BLOCK_HEXIDDEC.value() > 0) BLOCK_HEXIDDEC.setAndSave(0);
    gf_updateSettingsSnapshot(&BLOCK_HEXIDDEC);
}

void lf_runExitResetsGuarded() noexcept
{
    try {
        lf_prepareExit();
    } catch (const std::exception& e) {
        lf_logClosingDownException(e.what());
    } catch (...) {
        lf_logClosingDownException("unknown exception");
    }
}

void lf_prepareRestart(const CloseDownHooks& hooks, std::uint32_t delay)
{
    gf_setRestartFlag(true);
    gf_gui().enqueueUpdate(gui_update::ClearError{});
    if (gf_isTbloPending()) gf_showTbloHint();
    else gf_gui().enqueueUpdate(gui_update::ClearMessage{});
    gf_guiShowMessage("Prepare for a restart ...", true);
    lf_call(hooks.resetReaders);

    if (!lf_restartCountdown(static_cast<std::int32_t>(std::min<std::uint32_t>(delay, 3600)))) gf_setRestartFlag(false);
    if (!gf_isRestartRun()) return;

    gf_writeLogLineFlushed("Restart phase: reinitializing SimConnect state");
    lf_call(hooks.resetSimulatorState);
    gf_writeLogLineFlushed("Restart phase: reinitializing traffic state");
    lf_call(hooks.clearTraffic);
    gf_writeLogLineFlushed("Restart phase: reinitializing GUI state");
    gf_gui().enqueueUpdate(gui_update::ResetPanel{});
    gf_writeLogLineFlushed("Restart phase: reinitializing main state");
    lf_resetMainState();
    gf_writeLogLineFlushed("Restart phase: state reinitialization completed");
}

} // namespace

void gf_updateCloseDownHooks(const std::function<void(CloseDownHooks&)>& change) { lf_hookSlot().update(change); }

std::shared_ptr<const CloseDownHooks> gf_closeDownHooks() { return lf_hookSlot().load(); }

void gf_chainHook(std::function<void()>& member, std::function<void()> next)
{
    member = [previous = std::move(member), next = std::move(next)] {
        if (previous) previous();
        next();
    };
}

int gf_exitCodeForEnd(std::int32_t reason, bool closedByUser, bool stepFailed)
{
    switch (static_cast<StopReason>(reason)) {
    case StopReason::InstallPathMissing:
    case StopReason::SystemError:
    case StopReason::TrafficMailboxStalled:
        return 1;
    case StopReason::NotYetSet:
        return closedByUser ? 0 : 1;
    default:
        return stepFailed && !closedByUser ? 1 : 0;
    }
}

void lf_logClosingDownException(const char* text)
{
    gf_writeLogLineNoThrow(fmt::format("lf_closingDown exception: {}", text));
}

void lf_closingDownGuarded()
{
    try {
        lf_closingDown();
    } catch (const std::exception& e) {
        gf_setRestartFlag(false);
        lf_logClosingDownException(e.what());
    } catch (...) {
        gf_setRestartFlag(false);
        lf_logClosingDownException("unknown exception");
    }
}

void lf_closingDown()
{
    gf_setRestartFlag(false);
    EndMessageGuard endMessage;
    const std::shared_ptr<const CloseDownHooks> hooks = lf_hooks();

    const StopRequest request = gf_stopRequestForCloseDown();
    gf_writeLogLine(fmt::format("{} Exiting: {}", gf_utcTimeText(), gf_stopReasonText(request.reason)));

    if (gf_isProductionRun()) return;
    lv_exitResetsPending.store(true);

    lf_call(hooks->stopTrafficDelivery);
    lf_stopRunThreads(*hooks);
    lf_call(hooks->releaseFeed);
    lf_closeRtAppServer(*hooks);
    platform::shutdownNetworkLayer();

    if (request.stopReason() == StopReason::SystemError && !gf_isClosingByUser()) lf_waitAfterSystemError();

    lf_call(hooks->clearParkAirport);
    lf_call(hooks->clearRunMemory);

    DESTINATION.setAndSave("");
    gf_updateSettingsSnapshot(&DESTINATION);

    gf_setTbloPending(false);
    for (const auto& report : hooks->runReports) lf_call(report);

    if (gf_isRestartReason(request.reason) && !gf_isClosingByUser()) lf_prepareRestart(*hooks, request.delay);
    // Also when the user closed the window during the countdown.
    if (!gf_isRestartRun()) {
        lf_prepareExit();
        gf_setExitCode(std::max(gf_exitCode(), gf_exitCodeForEnd(request.reason, gf_isClosingByUser(), gf_runStepFailed())));
    }
}

void lf_postEndMessage()
{
    try {
        if (gf_isClosingByUser()) gf_setRestartFlag(false);
        const bool restart = gf_isRestartRun();
        // A close-down that failed, or a window closed after the restart was prepared.
        if (!restart && lv_exitResetsPending.load()) lf_runExitResetsGuarded();
        gf_writeLogLineFlushed(restart ? "Restart cleanup completed; posting MSG_START"
                                       : "Shutdown cleanup completed; posting MSG_EXIT");
        if (gf_gui().windowExists()) gf_gui().postToWindow(restart ? MSG_START : MSG_EXIT);
    } catch (...) {
        // The window must get its message; a failed log line must not stop it.
        try {
            if (gf_gui().windowExists()) gf_gui().postToWindow(gf_isRestartRun() ? MSG_START : MSG_EXIT);
        } catch (...) {
        }
    }
}

void lf_resetMainState()
{
    gf_resetStopRequest();
    gf_setUserAircraftPosition(UserAcPosition{});
    isProfessionalFeed.store(false);
    gf_resetSimTimeFollowing();
    gf_setRunStepFailed(false);
    const auto hooks = lf_hooks();
    lf_call(hooks->resetTrafficMailbox);
    lf_call(hooks->resetMainStateExtras);
}

} // namespace zelk
