#include "traffic/SimRemoval.h"

#include <algorithm>

#include <fmt/format.h>

#include "core/Log.h"
#include "simlink/SimCommands.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

// The one removal path for parked and live records alike (a LiveAc is a StaticAc).
void lf_removeFromSim(StaticAc& ac)
{
    switch (ac.simState) {
    case SimState::removingfromsim:
        gf_writeLogNotice(fmt::format("{} {} duplicate remove blocked", ac.head.callsign, ac.head.registration));
        return;
    case SimState::buffer:
        ac.erase = 1;
        return;
    default:
        break;
    }
    if (ac.removeAfterCreate != 0 && ac.simState != SimState::active)
        return;

    if (ac.simState == SimState::adding2sim) {
        if (lf_withdrawCreate(gf_liveCreateQueue(), ac.hexId) || lf_withdrawCreate(gf_staticCreateQueue(), ac.hexId))
            ac.createCancelled = 1;
        else
            ac.removeAfterCreate = 1; // the create has left: the object goes when its id arrives
        return;
    }

    // active or liveryrespawn
    if (ac.objectId != 0) {
        // A livery respawn has queued this object's removal already; a second
        // request for the same id would reach the simulator twice.
        if (ac.simState == SimState::active) {
            auto& queue = gf_removalQueue();
            if (std::find(queue.begin(), queue.end(), ac.objectId) == queue.end())
                queue.push_back(ac.objectId);
        }
        ac.simState = SimState::removingfromsim;
        return;
    }
    gf_writeLogNotice(fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim",
                                  gf_formatAcRoute(ac.head)));
    if (gf_isParkedHexId(ac.hexId))
        gf_trafficFlags().staticErasePending = true;
    ac.erase = 1;
}

} // namespace

void removeAircraftFromSim(StaticAc& aircraft) { lf_removeFromSim(aircraft); }

void removeAircraftFromSim(LiveAc& aircraft) { lf_removeFromSim(aircraft); }

bool lf_withdrawCreate(std::deque<AiCreateCommand>& queue, std::uint32_t hexId)
{
    std::deque<AiCreateCommand> kept;
    bool dropped = false;
    while (!queue.empty()) {
        if (queue.front().hexId == hexId)
            dropped = true;
        else
            kept.push_back(std::move(queue.front()));
        queue.pop_front();
    }
    queue.swap(kept);
    return dropped;
}

} // namespace zelk
