#include "app/TrafficWiring.h"

#include "ground/AirConflict.h"
#include "ground/GroundGeometry.h"
#include "ground/Parking.h"
#include "ground/Runways.h"
#include "ground/StandFinder.h"
#include "ground/StandLearning.h"
#include "traffic/SimResultSteps.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

ParkPos* lf_nearestStand(const LatLon& position, const StaticAc& aircraft)
{
    double distanceM = 0.0;
    return gf_findNearestStand(gf_stands(), position, aircraft, distanceM, true);
}

std::uint32_t lf_airConflict(std::uint32_t mode, const LatLon& user, const LatLon& aircraft, double cosLatitude,
                             double userTrackRad, double aircraftHeadingRad, double userAltitudeFt,
                             double aircraftAltitudeFt)
{
    const AirConflictInput input{mode,        user.latitude, user.longitude,     aircraft.latitude,
                                 aircraft.longitude, cosLatitude, userTrackRad, aircraftHeadingRad,
                                 userAltitudeFt, aircraftAltitudeFt};
    return gf_assessAirConflict(input).conflict;
}

} // namespace

void lf_installTrafficEngine()
{
    gf_installEngineSimResultSteps();
    TrafficGroundHooks hooks = *gf_trafficGroundHooks();
    hooks.findNearestStand = lf_nearestStand;
    hooks.assessAirConflict = lf_airConflict;
    hooks.circlesOverlapNm = gf_circlesOverlapNm;
    hooks.limitBank = gf_limitBank;
    hooks.addRealStandOption = [](std::int32_t standId, StaticAc& aircraft, bool real) {
        if (real)
            gf_addRealStandOption(standId, aircraft, static_cast<std::uint32_t>(StandOccasion::Placed));
    };
    hooks.limitParkedAircraft = gf_limitParkedAircraft;
    hooks.findRunwayLoose = gf_findRunwayLoose;
    hooks.isNearRunway = gf_isNearRunway;
    hooks.placeNextStaticAircraft = gf_placeNextStaticAircraft;
    gf_setTrafficGroundHooks(std::move(hooks));
}

} // namespace zelk
