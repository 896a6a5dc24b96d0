#pragma once

#include <memory>

#include "simlink/UserAcPosition.h"

namespace zelk {

// Stores the user aircraft's latest position and publishes an immutable copy
// for readers on other threads (the feed readers' altitude correction).
void gf_setUserAircraftPosition(const UserAcPosition& position);

// The published position; all zero before the first publication. Never null.
std::shared_ptr<const UserAcPosition> gf_publishedUserPosition();

} // namespace zelk
