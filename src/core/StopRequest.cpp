#include "core/StopRequest.h"

#include <array>
#include <atomic>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Published.h"
#include "core/Settings.h"
#include "core/TimeUtils.h"

namespace zelk {
namespace {

constexpr std::array<std::string_view, kStopReasonCount> kReasonTexts = {
    "NOT YET SET",      "SIM WAS CLOSED", "NEW FLIGHT",   "NEW SETTINGS", "USER CLOSED SIM",
    "INSTALL PATH MISSING", "SIMCONNECT ERROR", "READER ERROR", "SYSTEM ERROR", "NEW VERSION",
    "TRAFFIC MAILBOX STALLED", "DEMO ENDED",
};

Published<const StopRequest>& lf_slot()
{
    static Published<const StopRequest> slot;
    return slot;
}

std::atomic<bool> lv_closingByUser{false};
// Mirrors "the slot holds a request" so that the many loop checks read a plain
// atomic flag instead of taking the shared pointer's internal lock.
std::atomic<bool> lv_stopRequested{false};

Published<const StopHooks>& lf_hooks()
{
    static Published<const StopHooks> hooks{std::make_shared<const StopHooks>()};
    return hooks;
}

} // namespace

std::string_view gf_stopReasonText(std::int32_t reason)
{
    if (reason < 0 || reason >= kStopReasonCount) return {};
    return kReasonTexts[static_cast<std::size_t>(reason)];
}

bool gf_isRestartReason(std::int32_t reason)
{
    switch (static_cast<StopReason>(reason)) {
    case StopReason::NewFlight:
    case StopReason::NewSettings:
    case StopReason::SimConnectError:
    case StopReason::ReaderError:
        return true;
    default:
        return false;
    }
}

bool gf_offerStopRequest(std::shared_ptr<const StopRequest> request)
{
    if (!request) return false;
    std::shared_ptr<const StopRequest> expected;
    const bool kept = lf_slot().compare_exchange_strong(expected, request);
    // Kept or not, the slot now holds a request: once any offer returns, the run is stopping.
    lv_stopRequested.store(true);
    return kept;
}

bool gf_requestStop(std::int32_t reason, std::uint32_t delay)
{
    const bool kept = gf_offerStopRequest(std::make_shared<const StopRequest>(StopRequest{reason, delay}));
    if (reason == static_cast<std::int32_t>(StopReason::UserClosedSim) ||
        reason == static_cast<std::int32_t>(StopReason::DemoEnded)) {
        lv_closingByUser.store(true);
        if (!gf_isRTDirect()) {
            const auto hooks = lf_hooks().load();
            if (hooks->closeRtAppServer) hooks->closeRtAppServer();
        }
    }
    return kept;
}

bool gf_isRunning() { return !lv_closingByUser.load() && !lv_stopRequested.load(); }

std::shared_ptr<const StopRequest> gf_currentStopRequest() { return lf_slot().load(); }

StopRequest gf_stopRequestForCloseDown()
{
    const auto kept = lf_slot().load();
    return kept ? *kept : StopRequest{};
}

void gf_resetStopRequest()
{
    lf_slot().store(nullptr);
    lv_stopRequested.store(false);
}

bool gf_isClosingByUser() { return lv_closingByUser.load(); }

void stop_detail::resetClosingByUserForTests() { lv_closingByUser.store(false); }

void gf_setStopHooks(StopHooks hooks) { lf_hooks().store(std::make_shared<const StopHooks>(std::move(hooks))); }

namespace {

void lf_showMessage(std::string text)
{
    const auto hooks = lf_hooks().load();
    if (hooks->showMessage)
        hooks->showMessage(std::move(text));
    else
        gf_writeLogLine(text);
}

} // namespace

bool gf_readerStoppedWithError(std::string_view readerName, bool isReaderError, std::int32_t code)
{
    if (code == 402)
        lf_showMessage("Your RealTraffic license has expired (error 402). Check your license and API token.");
    else
        lf_showMessage(fmt::format("The {} has stopped with an error", readerName));
    return gf_requestStop(isReaderError ? StopReason::ReaderError : StopReason::SystemError, 15);
}

bool gf_readerStoppedWithException(std::string_view readerName, const std::string& text)
{
    lf_showMessage(fmt::format("The {} has stopped with error: {}", readerName, text));
    return gf_requestStop(StopReason::ReaderError, 15);
}

bool gf_requestNewFlightRestart() { return gf_requestStop(StopReason::NewFlight, 60); }

bool gf_simDisconnected()
{
    if (!gf_isRunning()) return false;
    gf_writeLogLine(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_utcTimeText(), "ZELK"));
    return gf_requestStop(StopReason::SimWasClosed, 0);
}

} // namespace zelk
