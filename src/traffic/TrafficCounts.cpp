#include "traffic/TrafficCounts.h"

#include <algorithm>

#include "gui/GuiUpdate.h"
#include "traffic/StandClaims.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {

std::uint64_t gf_countLiveShown()
{
    const auto& live = gf_liveAircraft();
    return static_cast<std::uint64_t>(std::count_if(live.begin(), live.end(), [](const LiveAc& ac) {
        return ac.simState == SimState::active && ac.phase != FlightPhase::parked;
    }));
}

void gf_guiUpdateTrafficCounts()
{
    gf_postTrafficScreenUpdate(gui_update::SetLiveCount{gf_countLiveShown()});
    const std::int64_t parkedLive = gf_countLiveParked(true);
    const std::int64_t statics = gf_countStaticParked(true);
    gf_postTrafficScreenUpdate(gui_update::SetParkedCounts{static_cast<std::uint64_t>(std::max<std::int64_t>(parkedLive, 0)),
                                                           static_cast<std::uint64_t>(std::max<std::int64_t>(statics, 0))});
}

} // namespace zelk
