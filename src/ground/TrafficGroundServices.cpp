#include "ground/TrafficGroundServices.h"

#include "ground/AirConflict.h"
#include "ground/GroundGeometry.h"
#include "ground/Motion.h"
#include "ground/MovementReports.h"
#include "ground/Runways.h"
#include "ground/StandFinder.h"
#include "traffic/AircraftRecords.h"

namespace zelk {
namespace {

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

void gf_fillTrafficGroundServices(TrafficGroundHooks& hooks)
{
    hooks.assessAirConflict = lf_airConflict;
    hooks.circlesOverlapNm = gf_circlesOverlapNm;
    hooks.limitBank = gf_limitBank;
    hooks.relativePosition = gf_relativePosition;
    hooks.checkStandEntry = gf_checkStandEntry;
    hooks.findRunwayLoose = gf_findRunwayLoose;
    hooks.isNearRunway = gf_isNearRunway;
    hooks.findRunwayForTakeoff = gf_findRunwayForTakeoff;
    hooks.runwayNameAt = gf_runwayNameAt;
    hooks.detectTakeoffAcceleration = gf_detectTakeoffAcceleration;
    hooks.drive2Stand = drive2Stand;
    hooks.startTakeoffRoll = [](LiveAc& ac, bool flag) { ac.startTakeoffRoll(flag); };
    hooks.airlineOperatorText = gf_airlineOperatorText;
    hooks.emitMovementReport = gf_emitMovementReport;
}

} // namespace zelk
