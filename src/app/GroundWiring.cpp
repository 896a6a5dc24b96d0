#include "app/GroundWiring.h"

#include <mutex>

#include "core/Settings.h"
#include "feed/RTAppReaderState.h"
#include "ground/Parking.h"
#include "ground/ParkingHooks.h"
#include "traffic/ParkedTraffic.h"

namespace zelk {
namespace {

// The RT App's parked list once its end marker arrived, refreshed, under its lock.
bool lf_withRTAppParkedList(const std::function<void(std::vector<ParkedTrafficRecord>&)>& body)
{
    if (gf_isRTDirect()) return false;
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.parkedMutex);
    if (!state.parkedComplete.load() || state.parked.empty()) return false;
    gf_refreshParkedList(state.parked);
    body(state.parked);
    return true;
}

} // namespace

void lf_installGroundParking()
{
    gf_installParkingAirportHooks();
    ParkingHooks hooks = *gf_parkingHooks();
    hooks.withFeedParkedList = lf_withRTAppParkedList;
    gf_setParkingHooks(std::move(hooks));
}

} // namespace zelk
