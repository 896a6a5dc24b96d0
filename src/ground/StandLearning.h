#pragma once

#include <cstdint>
#include <vector>

#include "airports/ParkPos.h"
#include "traffic/AircraftRecords.h"
#include "traffic/WeekSlot.h"

namespace zelk {

// A day's half-hour slots as the signed counts the stand learning works in.
inline constexpr auto kDaySlots = static_cast<std::int32_t>(kSlotsPerDay);

// Why a stand use is learned.
enum class StandOccasion : std::uint32_t {
    IdentityChange = 0, // a parked aircraft got another callsign: the option's second name
    Placed = 1,         // an aircraft was placed at (or arrived at) the stand: a new option now
    Left = 2,           // it leaves the stand: every slot from arrival to now
    RemovedAway = 3,    // removed beyond the stand's departure radius: the same
};

// Learns that this flight used the stand (engine stand vector, current week
// slot). Placed keeps the option's id and the week slot in the record; Left and
// RemovedAway mark the slots from that slot to now, a stay across midnight
// into an option of the next weekday. A stand id that names no stand does
// nothing; failures are logged, never thrown.
void gf_addRealStandOption(std::int32_t standId, StaticAc& aircraft, std::uint32_t occasion);

// Finds a learned option with the aircraft's airline, the slot's weekday and
// its callsign (a trailing "_" ignored on both sides) whose slots meet the 10
// half-hours either side of the slot (14 for a Heavy, cut at 0 and 47), and
// copies its callsign and registration into the aircraft. True when found.
bool gf_matchScheduledFlight(const std::vector<ParkPos>& stands, WeekSlot now, StaticAc& aircraft) noexcept;

} // namespace zelk
