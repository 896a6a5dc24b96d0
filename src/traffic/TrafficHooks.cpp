#include "traffic/TrafficHooks.h"

#include <atomic>
#include <mutex>

#include "simlink/UserAircraftState.h"

namespace zelk {
namespace {

std::atomic<std::shared_ptr<const TrafficStateHooks>>& lf_hooks()
{
    static std::atomic<std::shared_ptr<const TrafficStateHooks>> hooks{std::make_shared<const TrafficStateHooks>()};
    return hooks;
}

// Serialises the copy-change-publish of writers; readers only load the pointer.
std::mutex& lf_writerMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

void gf_updateTrafficStateHooks(const std::function<void(TrafficStateHooks&)>& change)
{
    std::scoped_lock guard(lf_writerMutex());
    auto next = std::make_shared<TrafficStateHooks>(*lf_hooks().load());
    change(*next);
    lf_hooks().store(std::move(next));
}

std::shared_ptr<const TrafficStateHooks> gf_trafficStateHooks() { return lf_hooks().load(); }

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
