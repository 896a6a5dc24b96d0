#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "airports/ParkPos.h"
#include "core/IcaoCode.h"

namespace zelk {

struct Apf;

// What the park-airport follower needs of the subsystems above it: the traffic
// engine, ground operations and the feed fill their members (copy, change,
// publish); an unset member is skipped and a query gives the neutral answer.
struct ParkAirportHooks {
    // --- Traffic engine ---
    // The loaded stands become the engine's stand vector (stand names republished).
    std::function<void(std::vector<ParkPos>&& stands)> takeStands;
    // A copy of the engine's stands with what it learned; empty when unset.
    std::function<std::vector<ParkPos>()> engineStands;
    // Empties the engine's stand vector and republishes the stand names.
    std::function<void()> clearStands;
    // Removes every parked and live aircraft at the airport.
    std::function<void(const IcaoCode& airport)> removeAllStaticAndLiveAtAirport;
    // Empties the feed's received-record tables.
    std::function<void()> clearFeedRecordTables;
    // Posts the parked counts when a parking generation ends.
    std::function<void()> postParkedCounts;
    // Moves the engine tick on, after a load that held the worker up.
    std::function<void(std::uint32_t ticks)> addEngineTicks;

    // --- Ground operations ---
    // The park airport's file was loaded: its runways and the parking countdown
    // and summary of the parking engine. The airport is passed because it
    // becomes the current park airport only after this hook.
    std::function<void(const IcaoCode& airport, const Apf& apf)> airportLoaded;
    // The park airport is left: removal list, static work list and runway list emptied.
    std::function<void()> airportLeft;
    std::function<void()> clearStaticWorkList;
    // True when no parked placement is waiting; true when unset.
    std::function<bool()> staticWorkListEmpty;

    // --- Feed (the reader of the active mode) ---
    std::function<void()> requestRTAppParkedTraffic;
    // The user airport's altitude in feet, for the altitude correction.
    std::function<void(double feet)> setAirportAltitude;
    std::function<void()> resetParkedRequest;
};

void gf_updateParkAirportHooks(const std::function<void(ParkAirportHooks&)>& change);
// Never null.
std::shared_ptr<const ParkAirportHooks> gf_parkAirportHooks();

} // namespace zelk
