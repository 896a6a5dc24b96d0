#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace zelk {

// What the close-down needs of components that own the run's threads, feed
// and traffic. Each is called at its place in the close-down order; an unset
// one stands for a component that is not built into the program.
struct CloseDownHooks {
    std::function<void()> stopTrafficDelivery;  // mailbox closed: stall watch reset, delivery off
    std::function<void()> resetTrafficMailbox;  // run start and restart: slot empty, delivery not stopped
    std::function<void()> stopSimulatorLink;    // stop and join the simulator link (it removes its AI objects)
    std::function<void()> stopReaders;          // wake and join the weather reader, then the traffic reader
    std::function<void()> releaseFeed;          // log out of the web API, close the RT App server, keep the cooldown
    std::function<void()> clearParkAirport;     // park-airport work lists and record
    std::function<void()> clearRunMemory;       // remembered liveries, the flight-plan folder
    std::function<void()> writeRunReports;      // ghosts, matching summary, my_park_airports.txt, unmatched liveries
    std::function<void()> resetReaders;         // readers' connections and state before a restart
    std::function<void()> resetSimulatorState;  // restart phase: SimConnect state
    std::function<void()> clearTraffic;         // restart phase: traffic state
    std::function<void()> resetMainStateExtras; // restart phase: main-loop flags, parking requests, time follower
};
void gf_setCloseDownHooks(CloseDownHooks hooks);
std::shared_ptr<const CloseDownHooks> gf_closeDownHooks();

// The end of every run, on the worker; nothing escapes it. Its last act posts
// MSG_START (restart) or MSG_EXIT (end of the program) to the main window.
void lf_closingDownGuarded();
void lf_closingDown();
void lf_postEndMessage();
void lf_logClosingDownException(const char* text);
void lf_resetMainState();

// After SYSTEM ERROR the program stays this long (so the user can read the
// error line), unless the user closes it first.
inline constexpr std::uint32_t kSystemErrorWaitSeconds = 25;

// The exit code for a program that ends after this reason (0 = success):
// a failed step, an install path that could not be found, a system error and a
// stalled engine are failures; the user or the simulator ending it is not.
int gf_exitCodeForEnd(std::int32_t reason, bool closedByUser, bool stepFailed);

} // namespace zelk
