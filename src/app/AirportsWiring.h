#pragma once

namespace zelk {

// Connects the airport files and park airports to the run: the ParkAirports
// run step, the registry's closest-stand reader, the traffic engine's stand
// vector and user stand, and the list file's write at close-down.
void lf_installAirportFiles();

} // namespace zelk
