#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "airports/ParkPos.h"
#include "traffic/AircraftRecords.h"
#include "traffic/ParkedTraffic.h"

namespace zelk {

// A parked live aircraft that stays at its stand, as the stayer collection
// lists it (smallest silence first).
struct ParkingStayer {
    std::string callsign;
    std::string registration;
    std::int32_t standId = 0;
    std::int32_t silentSeconds = 0; // since its last report near the stand; 0 while its stream goes on
};

// What the parking needs of components above it or not yet linked to it; the
// engine set-up fills the record. An unset member refuses the placement or gives
// no stayers, with one log line each time it is missed.
struct ParkingHooks {
    // Chooses the livery (title, key) of a new parked aircraft at its stand;
    // false when none fits and the aircraft is not placed.
    std::function<bool(StaticAc& aircraft, const ParkPos& stand)> matchLiveryStatic;
    // The live aircraft that stay parked (removing the long-silent ones).
    std::function<std::vector<ParkingStayer>()> collectStayers;
};

void gf_setParkingHooks(ParkingHooks hooks);
// Never null.
std::shared_ptr<const ParkingHooks> gf_parkingHooks();

} // namespace zelk
