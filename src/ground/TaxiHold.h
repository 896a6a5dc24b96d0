#pragma once

#include <optional>

#include "traffic/AircraftRecords.h"

namespace zelk {

// What stands in the way of a taxiing aircraft: the user's aircraft on the
// ground, or another live aircraft on the ground away from the stands (those at
// stands make room through the stand claims instead).
struct TaxiBlocker {
    bool user = false;
    const LiveAc* aircraft = nullptr; // the other aircraft when not the user's
    double distanceM = 0.0;           // centre to centre
    double gapM = 0.0;                // straight on until the stop short of touching; negative when past it
};

// The nearest blocker ahead along the heading whose circle the aircraft's own
// circle would touch going straight on, within 200 m; none beyond.
std::optional<TaxiBlocker> gf_findTaxiBlocker(const LiveAc& aircraft);

// The speed limit (kt) a taxiing aircraft keeps for what stands in its way
// (in any other phase there is none),
// one call a ground leg, given the speed its stream asks for and its braking
// rate (kt/s): it brakes to stop short of the blocker, and once brought to a
// stop where its stream wanted it to move it holds, saying why once (as the
// movement reports are said). Infinite when nothing is in the way; 0 while held.
double gf_taxiHoldLimitKt(LiveAc& aircraft, double wantedKt, double decelKtPerS);

// Every pass of a held aircraft, whether its stream moves or stands: it goes
// on once the way is clear again (a line says so) and gives up, removed, when
// the way stays blocked for as long as its stream would hold it
// (`MAX_HOLDING_MINUTES`). False when it gave up.
bool gf_keepTaxiHold(LiveAc& aircraft);

// Let go after a hold, it drives on after its reports, also those of it at
// rest that came while it stood.
inline bool gf_isCatchingUp(const LiveAc& aircraft) { return aircraft.groundOps.taxiHold.catchUpKt > 0.0; }

} // namespace zelk
