#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/IcaoCode.h"
#include "traffic/ParkedTraffic.h"

namespace zelk {

// The parked aircraft of the park airport. Worker thread only; the engine's
// containers (gf_stands, gf_staticAircraft, gf_liveAircraft, gf_staticWorkList,
// gf_parkingRemovals) hold the state, the week slot is gf_currentWeekSlot and
// ties are broken with gf_randomIndex.

// Keeps parked aircraft within the wanted count (nothing while it is -1): live
// aircraft parked and active plus extra, and parked aircraft being created or
// active (not those already on their way out, so repeated calls remove each
// excess once). The newest parked go first while the live ones fit, else the
// live excess (newest first) and then every parked one.
void gf_limitParkedAircraft(std::int32_t extra);

// Takes the last work item and creates its parked aircraft, or refuses with a
// log line when its stand is gone, occupied or next to an aircraft it could
// touch, when the hex ids run out, or when no livery fits.
void gf_placeNextStaticAircraft();

// Queues up to count aircraft of the feed's parked list, in list order, until
// the wanted count is reached; duplicate callsigns and hex ids and occupied
// stands are skipped. Returns the number queued.
std::size_t gf_addRTParkedTraffic(std::vector<ParkedTrafficRecord>& list, std::uint32_t count);

// The periodic adjustment (see docs/GROUND.md): removals onto the removal list,
// new placements onto the work list, then the removal list is worked. Nothing
// while the wanted count is -1.
void gf_adjustParking(bool rtParkedSwitchedOn);

// After the park airport's stands were taken: wanted count, parked tables
// cleared, the user's stand blocked, generation shown, first adjustment.
void gf_parkingSummary();

// The park airport's file was read: its runways and elevation.
void gf_parkingAirportLoaded(IcaoCode airport, double elevationFt);
// The park airport is left: the feed's parked tables, removal list, work list
// and runway list emptied.
void gf_leaveParkingAirport();
// Lets the park-airport follower reach the parking: runways on load, the
// summary once the engine took the stands, the lists emptied on leaving.
void gf_installParkingAirportHooks();

} // namespace zelk
