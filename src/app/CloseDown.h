#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zelk {

// A thread of the run: the close-down asks it to stop, then waits for it.
struct RunThreadHooks {
    std::function<void()> requestStop; // raise its stop flag and wake it; no waiting
    std::function<bool()> joinable;    // there is a thread to wait for
    std::function<void()> join;
};

// What the close-down needs of components that own the run's threads, feed
// and traffic. Each is called at its place in the close-down order; an unset
// one stands for a component that is not built into the program. The
// close-down writes its own log lines around them.
struct CloseDownHooks {
    std::function<void()> stopTrafficDelivery;  // mailbox closed: stall watch reset, delivery off
    std::function<void()> resetTrafficMailbox;  // run start and restart: slot empty, delivery not stopped
    RunThreadHooks simulatorLink;               // it removes its AI objects before it ends
    RunThreadHooks weatherReader;
    RunThreadHooks trafficReader;
    std::function<void()> releaseFeed;          // log out of the web API, keep the cooldown
    std::function<void()> closeRtAppServer;
    std::function<void()> clearParkAirport;     // park-airport work lists and record
    std::function<void()> clearRunMemory;       // remembered liveries, the flight-plan folder
    // Each component adds its report of the run (ghosts, matching summary,
    // my_park_airports.txt, unmatched liveries); written in the order added.
    std::vector<std::function<void()>> runReports;
    std::function<void()> resetReaders;         // readers' connections and state before a restart
    std::function<void()> resetSimulatorState;  // restart phase: SimConnect state
    std::function<void()> clearTraffic;         // restart phase: traffic state
    std::function<void()> resetMainStateExtras; // restart phase: main-loop flags, parking requests, time follower
};
// Copy, change, publish: each component sets only its own members. Any thread.
void gf_updateCloseDownHooks(const std::function<void(CloseDownHooks&)>& change);
std::shared_ptr<const CloseDownHooks> gf_closeDownHooks();
// Fills a hook member so that next runs after what another component (another
// feed, say) put there before.
void gf_chainHook(std::function<void()>& member, std::function<void()> next);

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
