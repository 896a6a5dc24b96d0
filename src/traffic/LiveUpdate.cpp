#include "traffic/LiveUpdate.h"

#include "traffic/AircraftRecords.h"
#include "traffic/SimRemoval.h"
#include "traffic/TrafficExceptions.h"

namespace zelk {

void noMoreNextPos(LiveAc& aircraft) noexcept
{
    try {
        removeAircraftFromSim(aircraft);
    } catch (...) {
        gf_reportTrafficException("noMoreNextPos");
    }
}

} // namespace zelk
