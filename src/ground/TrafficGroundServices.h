#pragma once

#include "traffic/TrafficGroundHooks.h"

namespace zelk {

// Puts the ground operations' geometry, runway, stand-entry, manoeuvre and
// report functions into the traffic core's hooks; the stand finder and the
// parking members are left to the caller, which chooses their options.
void gf_fillTrafficGroundServices(TrafficGroundHooks& hooks);

} // namespace zelk
