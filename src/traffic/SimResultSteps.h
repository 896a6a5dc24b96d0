#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace zelk {

struct LiveAc;
struct SimObjectResult;

// The steps of other engine components that applying the simulator's results
// runs: vertical placement and flight plans, the spawn's pose adoption, stand
// claims and record erasure. The engine installs them when it is set up, the
// tests install recording ones. An unset step is skipped; the stand queries
// then answer "held" and "free", and forgetting an object strikes only its
// delayed commands.
struct SimResultSteps {
    std::function<void(LiveAc&, bool quiet)> handleGroundTraffic;
    std::function<void(LiveAc&)> createAiFlightPlan;
    std::function<void(LiveAc&)> landingPlacement;
    std::function<void(LiveAc&, const SimObjectResult&, std::string_view& source)> placeFromSimPosition;
    std::function<void(LiveAc&)> adoptSimPose;
    std::function<void(LiveAc&)> applyParkedAltitude;
    std::function<bool(std::int32_t standId, std::uint32_t hexId)> liveHoldsStand;
    std::function<std::uint32_t(std::int32_t standId, std::uint32_t ownHexId)> standOccupiedByLive;
    std::function<void(LiveAc&)> cleanupLiveAircraft;
    std::function<void(std::uint32_t hexId, std::uint32_t objectId)> forgetSimObject;
};

void gf_setSimResultSteps(SimResultSteps steps);
// The program's set-up: the traffic core's own steps (pose adoption, parked
// altitude, live clean-up, forgetting an object, the stand-holder queries,
// vertical placement, touch-down, parking after creation and flight plans)
// put into the installed record, whose other members stay.
void gf_installEngineSimResultSteps();
// Never null.
std::shared_ptr<const SimResultSteps> gf_simResultSteps();

} // namespace zelk
