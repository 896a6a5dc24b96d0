#include "airports/ParkAirportHooks.h"

#include "core/HookSlot.h"

namespace zelk {
namespace {

HookSlot<ParkAirportHooks>& lf_hooks()
{
    static HookSlot<ParkAirportHooks> slot;
    return slot;
}

} // namespace

void gf_updateParkAirportHooks(const std::function<void(ParkAirportHooks&)>& change) { lf_hooks().update(change); }

std::shared_ptr<const ParkAirportHooks> gf_parkAirportHooks() { return lf_hooks().load(); }

} // namespace zelk
