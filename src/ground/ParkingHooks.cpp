#include "ground/ParkingHooks.h"


#include "core/Published.h"

namespace zelk {
namespace {

Published<const ParkingHooks> lv_hooks{std::make_shared<const ParkingHooks>()};

} // namespace

void gf_setParkingHooks(ParkingHooks hooks) { lv_hooks.store(std::make_shared<const ParkingHooks>(std::move(hooks))); }

std::shared_ptr<const ParkingHooks> gf_parkingHooks() { return lv_hooks.load(); }

} // namespace zelk
