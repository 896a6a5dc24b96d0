#include "app/AirportsWiring.h"

#include <utility>

#include "airports/AirportFileLoad.h"
#include "airports/ParkAirportHooks.h"
#include "airports/ParkAirports.h"
#include "app/CloseDown.h"
#include "app/RunWorker.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {

namespace {

void lf_installEngineStands()
{
    gf_updateParkAirportHooks([](ParkAirportHooks& h) {
        h.takeStands = [](std::vector<ParkPos>&& stands) {
            gf_stands() = std::move(stands);
            gf_publishStandNames();
        };
        h.engineStands = [] { return gf_stands(); };
        h.clearStands = [] {
            gf_stands().clear();
            gf_publishStandNames();
        };
        h.clearStaticWorkList = [] { gf_staticWorkList().clear(); };
        h.staticWorkListEmpty = [] { return gf_staticWorkList().empty(); };
    });
    // No parked aircraft is placed on the stand the user stands at or reserved.
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h.currentParkAirportStand = gf_currentParkAirportStand; });
}

void lf_writeListAtCloseDown()
{
    gf_updateCloseDownHooks([](CloseDownHooks& h) { h.runReports.emplace_back(gf_writeMyParkAirportsFile); });
}

} // namespace

void lf_installAirportFiles()
{
    gf_installRunStep(RunStep::ParkAirports, [] {
        gf_readMyParkAirportsFile();
        return true;
    });
    gf_installClosestStandReader();
    lf_installEngineStands();
    lf_writeListAtCloseDown();
}

} // namespace zelk
