#include "feed/RTAppReaderState.h"

#include <cmath>
#include <numbers>

#include <fmt/format.h>

#include "core/FeedState.h"
#include "feed/BadInputLog.h"
#include "feed/RTAppProtocol.h"
#include "feed/ReaderStateTools.h"

namespace zelk {

RTAppReaderState& gf_rtAppReaderState()
{
    static RTAppReaderState state;
    return state;
}

void gf_clearRTAppParkedListLocked(RTAppReaderState& state)
{
    state.parked.clear();
    state.parkedIds.clear();
    state.parkedOverLimit = 0;
}

void gf_setRTAppUserPosition(double latitude, double longitude)
{
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.mutex);
    state.centreLatitude = latitude;
    state.centreLongitude = longitude;
    state.lonScale = std::cos(latitude * std::numbers::pi / 180.0);
}

void gf_setRTAppAirportAltitude(std::optional<double> altitudeFt)
{
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.mutex);
    state.airportAltitudeFt = altitudeFt;
}

void gf_resetRTAppReaderState()
{
    auto& state = gf_rtAppReaderState();
    {
        std::scoped_lock guard(state.mutex);
        state.qnh = 1013;
        state.metar.clear();
        state.station.clear();
        state.parkedRequested = false;
    }
    gf_restartIdCollectionOf(state, false);
    {
        std::scoped_lock guard(state.parkedMutex);
        gf_clearRTAppParkedListLocked(state);
    }
    state.parkedComplete = false;
    state.bufferReceived = false;
    state.firstTraffic = false;
    state.receptionCounter = 0;
    state.lastQnhReport = 0;
    state.receptionSeen = 0;
    state.shortTrafficLines = 0;
    state.shortTrafficFields = 0;
    state.fullTrafficLines = 0;
    state.trafficRecordsTaken = 0;
    state.simulatorTimeSent = 0;
    // A shift of an RT Direct run would push every app record out of bounds.
    state.timeShiftMinutes = 0;
    rtAppTrafficTime = 0;
    // Each run may log its own first lines of every kind of bad input.
    gf_feedBadInputLog().reset();
}

void gf_restartRTAppIdCollection() { gf_restartIdCollectionOf(gf_rtAppReaderState()); }

bool gf_takeRTAppTrafficStale()
{
    auto& state = gf_rtAppReaderState();
    const std::int32_t counter = state.receptionCounter.load();
    return state.receptionSeen.exchange(counter) == counter;
}

std::optional<std::string> gf_rtAppNoTrafficReason()
{
    const auto& state = gf_rtAppReaderState();
    if (state.trafficRecordsTaken.load() != 0 || state.fullTrafficLines.load() != 0 ||
        state.shortTrafficLines.load() == 0)
        return std::nullopt;
    return fmt::format("No traffic taken: the RealTraffic app's lines have {} fields, {} are required; update the "
                       "RealTraffic app",
                       state.shortTrafficFields.load(), kRTTrafficFieldCount);
}

bool gf_rtAppWeatherStale(std::chrono::steady_clock::time_point now)
{
    return gf_isStaleMark(gf_rtAppReaderState().lastQnhReport.load(), now, std::chrono::seconds(90));
}

} // namespace zelk
