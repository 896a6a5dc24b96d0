#include "feed/RTAPIReaderState.h"

#include <cmath>
#include <numbers>

#include "core/FeedState.h"
#include "core/Settings.h"
#include "feed/BadInputLog.h"
#include "feed/ReaderStateTools.h"
#include "simlink/UserAircraftState.h"

namespace zelk {
namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kMovedDeg = 0.00015;
constexpr double kNoPositionDeg = 0.0001;

void lf_setCentreLocked(RTAPIReaderState& state, double latitude, double longitude)
{
    state.centreLatitude = latitude;
    state.centreLongitude = longitude;
    state.lonScale = std::cos(latitude * std::numbers::pi / 180.0);
}

} // namespace

RTAPIReaderState& gf_rtApiReaderState()
{
    static RTAPIReaderState state;
    return state;
}

void gf_setRTAPIQueryCentre(double latitude, double longitude)
{
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.mutex);
    lf_setCentreLocked(state, latitude, longitude);
}

RTAPIBox gf_rtApiQueryBox(double latitude, double longitude, double rangeNm)
{
    return gf_boxAround(latitude, longitude, rangeNm * 1.852 / 111.2, rangeNm * kFeetPerNm);
}

void gf_updateRTAPIQueryArea()
{
    const UserAcPosition user = gf_getUserAcPosition();
    if (std::abs(user.latitude) <= kNoPositionDeg && std::abs(user.longitude) <= kNoPositionDeg) return;
    const double range = gf_settings()->rangeNm;
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.mutex);
    lf_setCentreLocked(state, user.latitude, user.longitude);
    const bool moved = std::abs(user.latitude - state.boxLatitude) >= kMovedDeg ||
                       std::abs(user.longitude - state.boxLongitude) >= kMovedDeg;
    if (state.queryBox && !moved && range == state.boxRangeNm) return;
    state.queryBox = gf_rtApiQueryBox(user.latitude, user.longitude, range);
    state.boxLatitude = user.latitude;
    state.boxLongitude = user.longitude;
    state.boxRangeNm = range;
}

void gf_setRTAPIAirportAltitude(std::optional<double> altitudeFt)
{
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.mutex);
    state.airportAltitudeFt = altitudeFt;
}

void gf_restartRTAPIIdCollection() { gf_restartIdCollectionOf(gf_rtApiReaderState()); }

void gf_resetRTAPIReaderState()
{
    auto& state = gf_rtApiReaderState();
    {
        std::scoped_lock guard(state.mutex);
        state.queryBox.reset();
        state.boxRangeNm = 0.0;
        state.qnh = 1013;
        state.metar.clear();
        state.station.clear();
        state.parkedRequest.raised = false;
        state.parkedRequest.status = 0;
    }
    gf_restartIdCollectionOf(state, false);
    {
        std::scoped_lock guard(state.parkedMutex);
        state.parked.clear();
    }
    state.firstTraffic = false;
    state.liveRecords = 0;
    state.lastWeather = 0;
    rtApiTrafficTime = 0;
    // Each run may log its own first lines of every kind of bad input.
    gf_rtApiBadInputLog().reset();
}

bool gf_takeRTAPITrafficStale() { return gf_rtApiReaderState().liveRecords.exchange(0) == 0; }

bool gf_rtApiWeatherStale(std::chrono::steady_clock::time_point now)
{
    return gf_isStaleMark(gf_rtApiReaderState().lastWeather.load(), now, std::chrono::seconds(120));
}

} // namespace zelk
