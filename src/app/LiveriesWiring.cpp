#include "app/LiveriesWiring.h"

#include <utility>

#include "app/CloseDown.h"
#include "ground/ParkingHooks.h"
#include "liveries/LiveryMatching.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/LiveryBookkeeping.h"

namespace zelk {

namespace {

// The parking places an aircraft only with a livery: the stand's cargo flag
// stands in for the aircraft's own.
bool lf_matchParkedLivery(StaticAc& aircraft, const ParkPos& stand)
{
    LiveryMatchAircraft match;
    match.key = aircraft.head.key;
    match.registration = aircraft.head.registration;
    match.callsign = aircraft.head.callsign;
    match.category = aircraft.category;
    match.logText = gf_formatAcLine(aircraft.head);
    match.title = aircraft.liveryTitle;
    const bool matched = gf_matchLiveryStatic(match, stand.name, stand.cargo != 0).has_value();
    aircraft.liveryTitle = match.title;
    return matched;
}

} // namespace

void lf_installLiveries()
{
    gf_setLiveryMatchHooks(LiveryMatchHooks{gf_isUncreatableLivery, gf_uncreatableLiveryList});

    ParkingHooks parking = *gf_parkingHooks();
    parking.matchLiveryStatic = lf_matchParkedLivery;
    gf_setParkingHooks(std::move(parking));

    gf_updateCloseDownHooks([](CloseDownHooks& h) {
        h.clearRunMemory = [previous = h.clearRunMemory] {
            if (previous) previous();
            gf_liveryBookkeeping().clearRemembered();
        };
        h.runReports.emplace_back(gf_logLiveryMatchingSummary);
    });
}

} // namespace zelk
