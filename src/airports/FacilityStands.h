#pragma once

#include <cstdint>

#include "airports/AirportFile.h"

namespace zelk {

// The stands of one airport from the simulator's facility data, on the
// facility connection ("PARKING_DATA_RDR") whose port the simulator link's
// factory makes. Names follow the BGL reader ("helipad1", ...), so what was
// learned at a stand survives a change of source. Worker thread only.

// What a read of one airport's facility data came to: the stands are filled,
// the simulator answered that it has no such airport, or no answer came (no
// simulator, no answer within 30 s, a stop).
enum class FacilityRead : std::uint8_t { Read, NotKnown, Failed };

// Fills the record's stands (the code is the record's) and the helipad count.
FacilityRead gf_readFacilityStands(ApfParameters& record, std::uint32_t& helipadCount);
// Closes the facility connection when it is open (after an exception in a
// read, and at the end of every scan).
void gf_closeParkingDataReader();

} // namespace zelk
