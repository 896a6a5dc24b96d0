#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

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

// Under the id mutex: both seen-id sets emptied and collection switched on (or off).
template <typename State>
void gf_restartIdCollectionOf(State& state, bool collect = true)
{
    std::scoped_lock guard(state.idMutex);
    state.seenCallsigns.clear();
    state.seenHexIds.clear();
    state.idCollection = collect;
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
