#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/Geometry.h"
#include "liveries/AcCategory.h"
#include "traffic/AircraftRecords.h"

namespace zelk {

// What the live update asks of the ground operations, which sit above it. The
// program's set-up fills the members; an unset member is refused with one log
// notice per process and answers as noted, so the engine still runs in tests
// without ground code.
struct LiveMotionHooks {
    // The motion of one pass of an active aircraft: the due samples, the pose's
    // vertical speed and airspeed, the leg or the pending heading, and the
    // extrapolation. Unset: the aircraft stands still.
    std::function<void(LiveAc& aircraft)> motionPass;
    // Metres of `to` ahead of `from` along the heading (negative behind); 0
    // within 0.1 m. Unset: 0.
    std::function<double(const LatLon& from, double headingRad, const LatLon& to)> alongTrackM;
    // The shortest plausible time in seconds between two samples; unset or
    // nothing to correct: empty.
    std::function<std::optional<double>(double distanceM, double elapsedS, double previousSpeedKt, double newSpeedKt,
                                        AcCategory category)>
        minTravelTime;
    // The sample accelerates from the reference like a take-off roll past the
    // threshold. Unset: false.
    std::function<bool(const LiveAc::TakeoffReference& reference, const PosSample& sample, double thresholdKt)>
        takeoffAcceleration;
    // A runway suits a take-off from the position along the heading. Unset: false.
    std::function<bool(const LatLon& position, double headingRad)> takeoffRunwayAt;
    // The motion keeps the sample of an aircraft entering a runway itself (the
    // caller then does not append it). Unset: false.
    std::function<bool(LiveAc& aircraft, PosSample& sample)> rememberRunwayEntrySample;
    // Take-off rolls started from a new sample. Unset: nothing.
    std::function<void(LiveAc& aircraft, bool flag)> startTakeoffRoll;
    std::function<void(LiveAc& aircraft)> startTakeoffRollAtIdle;
    // Learns the stand use (StandOccasion: 0 identity change, 2 left the stand,
    // 3 removed beyond its departure radius). Unset: nothing.
    std::function<void(std::int32_t standId, StaticAc& aircraft, std::uint32_t occasion)> addRealStandOption;
};

void gf_setLiveMotionHooks(LiveMotionHooks hooks);
// Never null.
std::shared_ptr<const LiveMotionHooks> gf_liveMotionHooks();

} // namespace zelk
