#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zelk {

// Why a traffic run ends; the codes are stable and the texts are what the
// close-down logs.
enum class StopReason : std::int32_t {
    NotYetSet = 0,            // "NOT YET SET": no request was made
    SimWasClosed = 1,         // "SIM WAS CLOSED"
    NewFlight = 2,            // "NEW FLIGHT"
    NewSettings = 3,          // "NEW SETTINGS"
    UserClosedSim = 4,        // "USER CLOSED SIM"
    InstallPathMissing = 5,   // "INSTALL PATH MISSING"
    SimConnectError = 6,      // "SIMCONNECT ERROR"
    ReaderError = 7,          // "READER ERROR"
    SystemError = 8,          // "SYSTEM ERROR"
    NewVersion = 9,           // "NEW VERSION"
    TrafficMailboxStalled = 10, // "TRAFFIC MAILBOX STALLED"
    DemoEnded = 11,           // "DEMO ENDED": a demo run's time is up
};

inline constexpr std::int32_t kStopReasonCount = 12;

// One wish to end the run: a reason and the wait in seconds before a restart.
struct StopRequest {
    std::int32_t reason = 0;
    std::uint32_t delay = 0;

    StopReason stopReason() const { return static_cast<StopReason>(reason); }
};

// The text of a reason code; "" for a code outside the table.
std::string_view gf_stopReasonText(std::int32_t reason);
inline std::string_view gf_stopReasonText(StopReason reason)
{
    return gf_stopReasonText(static_cast<std::int32_t>(reason));
}

// Reasons after which the run starts again (NEW FLIGHT, NEW SETTINGS,
// SIMCONNECT ERROR, READER ERROR); every other one ends the program.
bool gf_isRestartReason(std::int32_t reason);

// Offers a request to the stop slot: only the first request of a run is kept,
// later ones are dropped. Returns whether this request was kept. USER CLOSED SIM
// and DEMO ENDED (the window closed by the user or by the demo's timer) also set
// the closing-by-user flag (kept or not) and, unless the traffic source is RT
// Direct, run the app-server close hook so a blocked handshake returns.
bool gf_requestStop(std::int32_t reason, std::uint32_t delay);
inline bool gf_requestStop(StopReason reason, std::uint32_t delay)
{
    return gf_requestStop(static_cast<std::int32_t>(reason), delay);
}

// Offers a request built elsewhere under the same first-wins rule.
bool gf_offerStopRequest(std::shared_ptr<const StopRequest> request);

// True while no request is kept and the user has not closed the window.
bool gf_isRunning();

// The kept request, or null while the run goes on.
std::shared_ptr<const StopRequest> gf_currentStopRequest();

// The kept request, or {NOT YET SET, 0} when none was made (for the close-down).
StopRequest gf_stopRequestForCloseDown();

// Empties the slot for the next run (restart phase, after all threads are joined).
void gf_resetStopRequest();

// The user closed the main window; never cleared while the program runs.
bool gf_isClosingByUser();

namespace stop_detail {
// Clears the closing-by-user flag; only for tests that run several cases in one process.
void resetClosingByUserForTests();
} // namespace stop_detail

// What stopping needs of components that are wired in later: the status message
// that is also logged, and the close of the RT App TCP server. Unset hooks fall
// back to a log line and nothing, respectively.
struct StopHooks {
    std::function<void(std::string)> showMessage;
    std::function<void()> closeRtAppServer;
};
void gf_setStopHooks(StopHooks hooks);

// A web-API reader ended with an HTTP error: shows why (402 = licence expired)
// and offers READER ERROR or SYSTEM ERROR, each with 15 s. Returns whether kept.
bool gf_readerStoppedWithError(std::string_view readerName, bool isReaderError, std::int32_t code);

// A reader ended by an exception: shows it and offers READER ERROR, 15 s.
bool gf_readerStoppedWithException(std::string_view readerName, const std::string& text);

// The simulator link saw a new flight being loaded: NEW FLIGHT, 60 s.
bool gf_requestNewFlightRestart();

// The simulator link lost the simulator while running: SIM WAS CLOSED, 0 s.
bool gf_simDisconnected();

} // namespace zelk
