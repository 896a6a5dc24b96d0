#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Log.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/SimRemoval.h"
#include "traffic/Spawn.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

bool lf_samePosition(const PosSample& s, const AcPose& p)
{
    return std::abs(s.latitude - p.latitude) <= kSamePositionDeg &&
           std::abs(s.longitude - p.longitude) <= kSamePositionDeg;
}

} // namespace

void liveryRespawn(LiveAc& aircraft)
{
    try {
        if (aircraft.stream.empty())
            return;
        PosSample sample = aircraft.stream.front();
        if (aircraft.phase != FlightPhase::parked) {
            sample.latitude = aircraft.pose.latitude;
            sample.longitude = aircraft.pose.longitude;
            sample.bank = aircraft.pose.bank;
            sample.altitude = aircraft.pose.altitude;
            if (lf_samePosition(aircraft.stream.front(), aircraft.pose))
                aircraft.stream.front().skip = 1;
        } else {
            aircraft.stream.resize(1);
            PosSample& front = aircraft.stream.front();
            front.skip = 1;
            front.groundSpeed = 0.0;
            front.trueAirspeed = 0.0;
            front.heading = aircraft.pose.heading * kRadToDeg;
            sample = front;
        }
        sample.dueTick = gf_engineTick() + 1;
        aircraft.stream.push_front(sample);
        aircraft.respawnHeading = aircraft.pose.heading;

        if (aircraft.objectId != 0) {
            // The object stays recorded until the simulator confirms its removal,
            // which puts the aircraft back into buffer for its new livery. An
            // aircraft already on its way out keeps its one removal request.
            const bool removalAsked = aircraft.simState == SimState::liveryrespawn ||
                                      aircraft.simState == SimState::removingfromsim;
            if (aircraft.simState != SimState::removingfromsim)
                aircraft.simState = SimState::liveryrespawn;
            auto& queue = gf_removalQueue();
            if (!removalAsked && std::find(queue.begin(), queue.end(), aircraft.objectId) == queue.end())
                queue.push_back(aircraft.objectId);
            return;
        }
        gf_writeLogNotice(fmt::format("{} removing act {} with objectid=0 ?", "liveryRespawn",
                                      gf_formatAcRoute(aircraft.head)));
        // No object will ever be confirmed removed: without this it would wait in liveryrespawn for ever.
        gf_returnToBufferForRespawn(aircraft);
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("{}: {}", "liveryRespawn", e.what()));
    }
}

void gf_returnToBufferForRespawn(LiveAc& aircraft)
{
    aircraft.simState = SimState::buffer;
    aircraft.throttleIndex = 5;
    aircraft.flapsIndex = 4;
}

} // namespace zelk
