#include "traffic/AircraftRecords.h"
#include "traffic/RecordErasure.h"
#include "traffic/SimResultSteps.h"
#include "traffic/StandClaims.h"
#include "traffic/VerticalPlacement.h"

namespace zelk {

void gf_installEngineSimResultSteps()
{
    SimResultSteps steps = *gf_simResultSteps();
    steps.adoptSimPose = [](LiveAc& ac) { ac.adoptSimPose(); };
    steps.applyParkedAltitude = [](LiveAc& ac) { ac.applyParkedAltitude(); };
    steps.cleanupLiveAircraft = lf_cleanupLiveAircraft;
    steps.forgetSimObject = lf_forgetSimObject;
    steps.liveHoldsStand = gf_liveHoldsStand;
    steps.standOccupiedByLive = gf_standOccupiedByLive;
    steps.handleGroundTraffic = hp_handleGroundTraffic;
    steps.createAiFlightPlan = lf_createAiFlightPlan;
    steps.landingPlacement = lf_landingPlacement;
    steps.placeFromSimPosition = lf_placeFromSimPosition;
    gf_setSimResultSteps(std::move(steps));
}

} // namespace zelk
