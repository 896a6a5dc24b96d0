#pragma once

#include <optional>

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
// The altitude (ft) at which the aircraft stands on the ground below it: the
// elevation of its runway, else the simulator's ground, the user airport's
// elevation or the ground its last height report gave, plus the aircraft's
// own height on its gear;
// empty when none is known. The feed reports a ground position at altitude 0,
// which is no place to descend to.
std::optional<double> lf_groundStandingAltitudeFt(const LiveAc& aircraft);

} // namespace zelk
