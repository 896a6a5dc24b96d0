#pragma once

namespace zelk {

// "Block": the aircraft chosen in AIRCRAFT_SELECTOR is blocked (its identity
// saved and published, the engine asked to remove it). An entry that does not
// parse is refused with "Nothing to block ..." and changes nothing.
void gf_blockAircraft();

// "Unblock": the blocked aircraft is forgotten and the aircraft list emptied.
void gf_unblockAircraft();

} // namespace zelk
