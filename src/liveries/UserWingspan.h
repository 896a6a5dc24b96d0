#pragma once

#include <string>

#include "simlink/UserAircraftState.h"

namespace zelk {

// The simulator link's wing-span lookup for the user aircraft: the database's
// half span of the model, or, for a model it gives none for, the largest half
// span it has (known false), so a missing span never makes the user's circle
// too small.
ModelWingspan gf_userWingspanOfModel(const std::string& model);

} // namespace zelk
