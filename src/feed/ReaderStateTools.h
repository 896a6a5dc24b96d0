#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "core/Settings.h"
#include "simlink/UserAircraftState.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// What the two reader states (the app's and the web API's) do alike. Each
// state has the query mutex with centre, airport altitude and QNH, and the id
// mutex with the seen-id sets and the collection flag.

// The context a reader hands the intake with each report.
template <typename State>
IntakeContext gf_readerIntakeContext(State& state, bool webApi)
{
    IntakeContext context;
    {
        std::scoped_lock guard(state.mutex);
        context.centreLatitude = state.centreLatitude;
        context.centreLongitude = state.centreLongitude;
        context.lonScale = state.lonScale;
        context.userAirportAltitudeFt = state.airportAltitudeFt;
        context.qnh = state.qnh;
    }
    {
        std::scoped_lock guard(state.idMutex);
        context.idCollection = state.idCollection ? 1 : 0;
    }
    context.settings = gf_settings();
    (webApi ? context.fromWebApi : context.fromLocalApp) = 1;
    const ParkAirportRecord park = gf_parkAirport();
    if (park.airport.icao.isSet())
        context.userAirport = UserAirportSpot{park.airport.icao.key(), park.airport.latitude, park.airport.longitude};
    return context;
}

// Ids the seen-id sets of a reader hold at most between two restarts of the
// collection; a flood of made-up ids must not grow them without end.
inline constexpr std::size_t kMaxSeenIds = 20000;

// Under the id mutex: both seen-id sets emptied and collection switched on (or off).
template <typename State>
void gf_restartIdCollectionOf(State& state, bool collect = true)
{
    std::scoped_lock guard(state.idMutex);
    state.seenCallsigns.clear();
    state.seenHexIds.clear();
    state.seenIdsFull = false;
    state.idCollection = collect;
}

// Under the id mutex: a callsign (when not empty) and a hex id (when given)
// into their seen-id set, each while that set holds fewer than kMaxSeenIds.
// True when this call was the first since the collection restarted to find a
// set full.
template <typename State>
bool gf_rememberSeenIdLocked(State& state, const std::string& callsign, std::optional<std::uint32_t> hexId)
{
    bool refused = false;
    if (!callsign.empty() && !state.seenCallsigns.contains(callsign)) {
        if (state.seenCallsigns.size() < kMaxSeenIds) state.seenCallsigns.insert(callsign);
        else refused = true;
    }
    if (hexId && !state.seenHexIds.contains(*hexId)) {
        if (state.seenHexIds.size() < kMaxSeenIds) state.seenHexIds.insert(*hexId);
        else refused = true;
    }
    return refused && !std::exchange(state.seenIdsFull, true);
}

// A reception mark (steady-clock ticks, 0 = none) older than fresh at now, or
// after now, or missing.
inline bool gf_isStaleMark(std::int64_t markTicks, std::chrono::steady_clock::time_point now,
                           std::chrono::seconds fresh)
{
    if (markTicks == 0) return true;
    const std::chrono::steady_clock::time_point at{std::chrono::steady_clock::duration(markTicks)};
    return now < at || now - at > fresh;
}

} // namespace zelk
