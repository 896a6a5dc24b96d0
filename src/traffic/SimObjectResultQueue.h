#pragma once

#include <cstddef>
#include <vector>

#include "traffic/SimObjectResults.h"

namespace zelk {

// The incoming side of the simulator results: the link thread posts
// (gf_postSimObjectResult), the worker swaps the whole batch out in constant time.

// Exchanges the incoming vector with processing (which should be empty), under the result mutex.
void gf_takeSimObjectResults(std::vector<SimObjectResult>& processing);
// Empties the incoming vector and reserves its capacity (run start and close-down).
void gf_clearSimObjectResults(std::size_t reserve);

} // namespace zelk
