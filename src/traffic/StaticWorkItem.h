#pragma once

#include <cstdint>
#include <string>

#include "liveries/AircraftDatabase.h"

namespace zelk {

// One parked placement still to be made by the parking; the work list is taken
// from its end. The traffic core reads the stand id (a live aircraft parking
// there cancels the item) and the key's model; the texts are the placement's
// identity.
struct StaticWorkItem {
    std::int32_t standId = 0; // 1-based
    LiveryKey key;
    std::string callsign;
    std::string registration;
    std::string title;
    std::uint32_t sourceHexId = 0; // the feed's parked record it came from
    std::uint32_t origin = 1;      // 0 = the feed's parked traffic, 1 = a learned option
};

} // namespace zelk
