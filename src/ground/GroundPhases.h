#pragma once

#include "traffic/AircraftRecords.h"

namespace zelk {

// The phase changes only ground operations make, separate from the geometry
// of the motion. All run on the worker inside one motion pass.

// Phase rules of one pass (rotation, climb, approach, flare, roll-out); once per pass.
void lf_groundPhasePass(LiveAc& aircraft);
// Rules that fire when a sample becomes due (departure from the stand).
void lf_onSampleDue(LiveAc& aircraft, const PosSample& sample);
// Runs the active manoeuvre for this pass; false when none replaces the leg.
bool lf_runManoeuvre(LiveAc& aircraft);
// True while a phase rule sets the pitch (rotation, initial climb, flare, settling).
bool lf_phaseOwnsPitch(const LiveAc& aircraft);
// The ground stream ended inside the claimed stand's circle.
bool lf_endsInsideStand(const LiveAc& aircraft);
// The ground leg's speed ceiling of the pull-out (kt), or a negative value.
double lf_pullOutLimit(LiveAc& aircraft);
// Height above the runway or ground in feet.
double lf_heightAboveRunway(const LiveAc& aircraft);

} // namespace zelk
