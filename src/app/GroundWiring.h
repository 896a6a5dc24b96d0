#pragma once

namespace zelk {

// Ground operations: the park-airport loader's hooks and the feed's parked
// list for the parking.
void lf_installGroundParking();

} // namespace zelk
