#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "simlink/PoseTable.h"
#include "simlink/SimPort.h"
#include "simlink/SimQueues.h"

namespace zelk {

// The name the link connects under.
inline constexpr std::string_view kSimClientName = "ZELK";

// What the link needs of the window, installed by the application. Unset hooks
// fall back to a log line and nothing, respectively.
struct SimLinkHooks {
    // The simulator run state changed (screen update of the simulator state).
    std::function<void(std::uint32_t state)> runStateChanged;
    // A status message that is also logged.
    std::function<void(const std::string& text)> showMessage;
    // The connected simulator is not the selected one: the window switches (MSG_SWITCH_SIM).
    std::function<void()> switchSimulator;
    // Connected: the simulator's name and version, "{} ({}.{}.{}.{})".
    std::function<void(const std::string& text)> simulatorConnected;
    // The user aircraft's model arrived: whether the aircraft data knows its wing span.
    std::function<void(bool known)> userWingspanKnown;
};
void gf_setSimLinkHooks(SimLinkHooks hooks);

// The user chose the other simulator in the window. Until the chosen one is
// connected, a running simulator of the former choice is waited out instead of
// switching the choice back to it; the flag outlives the restart that follows
// the choice and ends with the first connection to the chosen simulator.
void gf_setSimSwitchFlag() noexcept;
bool gf_simSwitchFlag() noexcept;
void gf_clearSimSwitchFlag() noexcept;
void gf_notifySimRunState(std::uint32_t state);
// A status message of the link (the window's hook, else a log notice).
void gf_showSimLinkMessage(const std::string& text);

// Makes the port each run of the link talks through. Without one installed the
// link waits for a simulator that never comes (this build has no simulator
// library); the demo and the tests install the stand-in.
using SimPortFactory = std::function<std::unique_ptr<SimPort>()>;
void gf_setSimPortFactory(SimPortFactory factory);
// A new port from the installed factory, for readers that need a connection of
// their own (facility data); null when none is installed.
std::unique_ptr<SimPort> gf_makeSimPort();

// What the link did to the simulator since the last reset, for the demo's
// summary. Moved: objects that were sent two or more distinct poses. Parked at
// stands: parked objects standing when the link last closed down. Left: objects
// still in the simulator after the last close-down.
struct SimLinkTally {
    std::uint64_t liveCreated = 0;
    std::uint64_t parkedCreated = 0;
    std::uint64_t moved = 0;
    std::uint64_t parkedAtStands = 0;
    std::uint64_t removed = 0;
    std::uint64_t liveRemoved = 0;   // of removed: objects created for live aircraft
    std::uint64_t parkedRemoved = 0; // of removed: objects created for parked aircraft
    std::uint64_t left = 0;
    // Objects in the simulator now (created, not yet confirmed gone), by what
    // they stand for now: a parked object released to move counts as live.
    // The close-down keeps them as it found them at its end: their sum is left.
    std::uint64_t liveActive = 0;
    std::uint64_t parkedActive = 0;
};
SimLinkTally gf_simLinkTally();
void gf_resetSimLinkTally();

// Timing of the link; tests replace the sleep, the clock and the timer hold.
struct SimClientTiming {
    std::chrono::milliseconds dispatchInterval{1};
    std::chrono::milliseconds connectRetry{1000};
    std::chrono::milliseconds shutdownWait{3000};
    std::function<void(std::chrono::milliseconds)> sleep;
    std::function<PoseTable::Clock::time_point()> now;
    // Raises the system timer resolution until the returned hold is released;
    // by default platform::TimerResolution of 1 ms.
    std::function<std::shared_ptr<void>()> raiseTimerResolution;
};

// One connection's worth of link state on the SimClient thread: the pending
// creates by request id, the objects it created, the parked ones among them.
class SimClient {
public:
    explicit SimClient(SimPort& port, SimClientTiming timing = {});
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    // The thread body: wait for the simulator, connect, dispatch until the stop
    // token is set (reconnecting after a failed dispatch), then remove every
    // object it owns and close. The timer resolution stays raised throughout.
    void run(std::stop_token stop);

    // One attempt to connect and set up; true when connected.
    bool connect();
    // One dispatch and the handling of its events; false when the dispatch failed.
    bool dispatchOnce();
    // Removes every owned object, waits (bounded) for the confirmations and closes.
    void shutdown();

    bool connected() const noexcept { return connected_; }
    // True after a lost connection that left objects behind, or a wrong simulator:
    // the link waits for the run to end instead of reconnecting.
    bool gaveUp() const noexcept { return gaveUp_; }
    SimProduct product() const noexcept { return product_; }
    std::size_t ownedObjectCount() const noexcept { return owned_.size(); }
    std::size_t removingObjectCount() const noexcept { return removing_.size(); }
    std::size_t pendingCreateCount() const noexcept { return pendingCreates_.size(); }
    bool isParkedObject(std::uint32_t objectId) const { return parked_.contains(objectId); }
    std::uint64_t skippedFrames() const noexcept { return skippedFrames_; }

private:
    struct PendingCreate {
        std::uint32_t hexId = 0;
        std::string tailNumber;
    };

    void handle(SimEvent& event);
    void onFrame();
    void sendPoses();
    void sendQueues();
    bool sendRequest(const SimRequest& request);
    void sendClientEvent(const AiClientEvent& event);
    bool sendCreate(const AiCreateCommand& command);
    void sendRemove(std::uint32_t objectId);
    void onCreated(std::uint32_t requestId, std::uint32_t objectId);
    void onCreateRefused(std::uint32_t requestId, PortResult code);
    void onRemoved(std::uint32_t objectId);
    void onQuit();
    void onDispatchFailed(PortResult code);
    void requestError();
    void forgetObjects();
    // The connection is gone and the simulator's objects with it: the port is
    // closed, the objects forgotten and no longer counted as active.
    void loseConnection();
    // The tally's active counts from the objects the link holds now.
    void tallyActive() const;
    void sleepFor(std::chrono::milliseconds duration, const std::stop_token& stop);
    PoseTable::Clock::time_point now() const;

    SimPort& port_;
    SimClientTiming timing_;
    bool connected_ = false;
    bool gaveUp_ = false;
    bool cleanupRunning_ = false;
    SimProduct product_ = SimProduct::None;
    std::uint32_t nextRequestId_ = 1;
    std::unordered_map<std::uint32_t, PendingCreate> pendingCreates_;
    std::unordered_set<std::uint32_t> owned_;    // created and not asked to go
    std::unordered_set<std::uint32_t> removing_; // asked to go, not yet confirmed
    std::unordered_set<std::uint32_t> parked_;   // parked objects, left out of range reports
    std::uint64_t skippedFrames_ = 0;
    std::uint32_t cleanupRequested_ = 0;
    std::uint32_t cleanupConfirmed_ = 0;
    SimQueues work_;
    std::vector<std::pair<std::uint32_t, SimPose>> poses_;
    std::unordered_map<std::uint32_t, SimPose> lastSent_; // the last pose each object was sent
    std::unordered_set<std::uint32_t> moved_;
    std::vector<SimEvent> events_;
};

// Body of the "SimClient" thread, on a port from the installed factory.
void gf_simClientThread(std::stop_token stop);

// Before the thread starts: empty and reserved pose table and queues, run state 0.
void gf_prepareSimClientState();
// Restart phase: also forgets the simulator and the user aircraft's state.
void gf_resetSimClientState();
// The simulator of the current (or last) connection.
SimProduct gf_connectedSimulator() noexcept;

// Object id as the simulator's tools show it: decimal for MSFS 2020, lower-case
// hexadecimal for MSFS 2024.
std::string gf_objectIdText(std::uint32_t objectId, bool msfs2020);
// Object id as the selected simulator's tools show it: decimal for MSFS 2020,
// lower-case hexadecimal for MSFS 2024.
std::string gf_formatObjectId(std::uint32_t objectId);

} // namespace zelk
