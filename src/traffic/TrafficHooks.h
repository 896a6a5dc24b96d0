#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gui/GuiUpdate.h"
#include "simlink/UserAcPosition.h"
#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// Where the traffic state reaches components that own their own locks and
// state: the simulator link, the feed readers and the airports. Each component
// installs its part when it is set up; an empty hook is skipped (and a query
// hook gives the neutral answer given below), so the engine keeps working
// before, and in tests without, those components.
struct TrafficStateHooks {
    // --- Simulator link ---
    // Clears the user airport and user stand fields of the user-aircraft state,
    // under the user-aircraft lock (exclusive).
    std::function<void()> clearUserAirportAndStand;
    // The latest user aircraft record; all zero when not installed.
    std::function<UserAcPosition()> userAircraftPosition;
    // The simulator's last on-ground report of the user aircraft; false when not installed.
    std::function<bool()> userOnGround;

    // --- Airports ---
    // The user's stand text at the current park airport; empty when not installed.
    std::function<std::optional<std::string>()> currentParkAirportStand;

    // --- Feed (the reader of the active mode: web API or local app) ---
    // Under the reader's lock: resets its parked-traffic request area and lowers
    // the request flag.
    std::function<void()> resetParkedRequest;
    // Takes the reader's lock, lowers its parked-traffic flag, runs underLock and
    // empties the reader's two parked-record tables, then releases the lock.
    // Must let a std::system_error of the lock reach the caller.
    std::function<void(const std::function<void()>& underLock)> clearParkedTables;
    // Sets the QNH (hPa) the feed last reported and the altitude correction uses.
    std::function<void(std::int32_t hPa)> setQnh;
    // What the main loop tells the reader of the active mode (each member
    // serves its own mode only and is skipped while unset):
    // web API: the centre of the traffic query, and the query box from centre and range;
    std::function<void(const UserAcPosition& user)> setQueryCentre;
    std::function<void()> updateQueryArea;
    // app: the user position datagram, the reader's copy of the user position
    // (with the cosine of its latitude), the simulator time, the parked request;
    std::function<void()> sendUserPositionToApp;
    std::function<void(double latitude, double longitude)> storeAppUserPosition;
    std::function<void(std::int64_t simulatorSeconds)> sendSimTimeToApp;
    std::function<void()> requestParkedTraffic;
    // the 30-second reception marks, each true when stale (weather, then traffic);
    // the traffic mark takes the reader's counter, so it is asked once per step;
    std::function<bool()> weatherStale;
    std::function<bool()> trafficStale;
    // the simulator-time follower, once a second while the feed serves time-shifted traffic.
    std::function<void()> followSimTime;

    // --- Engine mailbox ---
    // Empties the mailbox slot, zeroes its counters and lowers delivery
    // (gf_resetTrafficMailbox). Installed by whoever sets up the engine pass: the
    // engine's mailbox decodes with decodeMessage, which this module must not
    // pull in on its own.
    std::function<void()> resetMailbox;
    // Hands a feed reader's batch to the mailbox (gf_deliverTrafficBatch); the
    // batch is dropped while not installed. Installed the same way.
    std::function<void(TrafficBatch& batch, BatchKind kind, std::uint32_t delaySeconds, bool discardEarly)>
        deliverBatch;

    // --- Screen ---
    // Posts one screen update; the screen's update queue when not installed.
    std::function<void(GuiUpdate)> postScreenUpdate;
};

// Changes the installed hooks (copy, change, publish), so that each component
// sets only its own members. Safe from any thread.
void gf_updateTrafficStateHooks(const std::function<void(TrafficStateHooks&)>& change);
// The installed hooks; never null. Callers keep the pointer for the call.
std::shared_ptr<const TrafficStateHooks> gf_trafficStateHooks();

// Lets the traffic state reach the simulator link's user-aircraft state.
void gf_installSimLinkTrafficHooks();

// Convenience wrappers over the hooks with the neutral answers above.
void gf_postTrafficScreenUpdate(GuiUpdate update);
UserAcPosition gf_trafficUserPosition();
bool gf_trafficUserOnGround();

} // namespace zelk
