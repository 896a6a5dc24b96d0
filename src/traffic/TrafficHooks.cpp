#include "traffic/TrafficHooks.h"

#include "core/HookSlot.h"
#include "simlink/UserAircraftState.h"

namespace zelk {
namespace {

HookSlot<TrafficStateHooks>& lf_stateHooks()
{
    static HookSlot<TrafficStateHooks> slot;
    return slot;
}

} // namespace

void gf_updateTrafficStateHooks(const std::function<void(TrafficStateHooks&)>& change) { lf_stateHooks().update(change); }

std::shared_ptr<const TrafficStateHooks> gf_trafficStateHooks() { return lf_stateHooks().load(); }

void gf_installSimLinkTrafficHooks()
{
    gf_updateTrafficStateHooks([](TrafficStateHooks& hooks) {
        hooks.clearUserAirportAndStand = [] { gf_clearParkAirport(); };
        hooks.userAircraftPosition = [] { return gf_getUserAcPosition(); };
        hooks.userOnGround = [] { return gf_isUserOnGround(); };
    });
}

void gf_postTrafficScreenUpdate(GuiUpdate update)
{
    const auto hooks = gf_trafficStateHooks();
    if (hooks->postScreenUpdate)
        hooks->postScreenUpdate(std::move(update));
    else
        gf_postGuiUpdate(std::move(update));
}

UserAcPosition gf_trafficUserPosition()
{
    const auto hooks = gf_trafficStateHooks();
    return hooks->userAircraftPosition ? hooks->userAircraftPosition() : UserAcPosition{};
}

bool gf_trafficUserOnGround()
{
    const auto hooks = gf_trafficStateHooks();
    return hooks->userOnGround ? hooks->userOnGround() : false;
}

} // namespace zelk
