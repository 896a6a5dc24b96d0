#pragma once

#include <cstdint>

#include "core/Geometry.h"

namespace zelk {

struct LiveAc;

// The per-pass motion of a live aircraft (worker thread only). Every entry
// catches its own faults: a fault is reported through the traffic exception
// reporter and the pose stays as it was for that pass.

// What the motion runs instead of following the stream.
enum class GroundManoeuvre : std::uint8_t {
    none = 0,
    pushback = 1,     // straight back, tail swing, pause
    pullOut = 2,      // straight out along the stand heading (a limit on the normal leg)
    driveToStand = 3, // onto the stand axis and the stand point
    verticalLift = 4, // a rotorcraft rising to 50 ft
};

// Consumes the due samples at the front of the stream (at most 32 rounds) and
// holds the stream when it runs out (see docs/GROUND.md); a hold that is over
// ends in noMoreNextPos.
void nextPosMain(LiveAc& aircraft);

// The motion part of one live-aircraft update of an active aircraft: the due
// samples, the pose's vertical speed and airspeed, the leg or the pending
// heading, and the extrapolation.
void gf_groundMotionPass(LiveAc& aircraft);

// Plans the drive of an aircraft into the stand it just claimed (phase parking).
void drive2Stand(LiveAc& aircraft, const LatLon& stand, double standHeadingRad, bool flag);

} // namespace zelk
