#include "app/TrafficWiring.h"

#include "ground/Parking.h"
#include "ground/ParkingHooks.h"
#include "ground/StandFinder.h"
#include "ground/StandLearning.h"
#include "ground/TrafficGroundServices.h"
#include "traffic/SimResultSteps.h"
#include "traffic/StandClaims.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

ParkPos* lf_nearestStand(const LatLon& position, const StaticAc& aircraft)
{
    double distanceM = 0.0;
    return gf_findNearestStand(gf_stands(), position, aircraft, distanceM, true);
}

std::vector<ParkingStayer> lf_stayers()
{
    lf_collectLiveStayers();
    std::vector<ParkingStayer> stayers;
    stayers.reserve(gf_liveStayers().size());
    for (const LiveStayer& s : gf_liveStayers())
        stayers.push_back({s.callsign, s.registration, s.standId, s.seconds});
    return stayers;
}

} // namespace

void lf_installTrafficEngine()
{
    gf_installEngineSimResultSteps();
    TrafficGroundHooks hooks = *gf_trafficGroundHooks();
    hooks.findNearestStand = lf_nearestStand;
    hooks.addRealStandOption = [](std::int32_t standId, StaticAc& aircraft, bool real) {
        if (real)
            gf_addRealStandOption(standId, aircraft, static_cast<std::uint32_t>(StandOccasion::Placed));
    };
    hooks.limitParkedAircraft = gf_limitParkedAircraft;
    hooks.placeNextStaticAircraft = gf_placeNextStaticAircraft;
    gf_fillTrafficGroundServices(hooks);
    gf_setTrafficGroundHooks(std::move(hooks));
    ParkingHooks parking = *gf_parkingHooks();
    parking.collectStayers = lf_stayers;
    gf_setParkingHooks(std::move(parking));
}

} // namespace zelk
