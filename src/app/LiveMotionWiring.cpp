#include "app/LiveMotionWiring.h"

#include <array>

#include "ground/GroundGeometry.h"
#include "ground/Motion.h"
#include "ground/Runways.h"
#include "ground/StandLearning.h"
#include "traffic/LiveMotionHooks.h"

namespace zelk {
namespace {

bool lf_takeoffAcceleration(const LiveAc::TakeoffReference& ref, const PosSample& s, double thresholdKt)
{
    const std::array<AccelerationEntry, 2> entries{
        AccelerationEntry{ref.altitudeFt, ref.verticalSpeed, ref.groundSpeedKt, ref.airborne != 0, ref.tick},
        AccelerationEntry{s.altitude, s.verticalSpeed, s.groundSpeed, s.airborne != 0, s.dueTick}};
    return gf_detectTakeoffAcceleration(entries, thresholdKt).has_value();
}

} // namespace

void lf_installLiveMotion()
{
    LiveMotionHooks hooks;
    hooks.motionPass = gf_groundMotionPass;
    hooks.alongTrackM = [](const LatLon& from, double headingRad, const LatLon& to) {
        return gf_relativePosition(from, headingRad, to).alongM;
    };
    hooks.minTravelTime = gf_minGroundTravelTime;
    hooks.takeoffAcceleration = lf_takeoffAcceleration;
    hooks.takeoffRunwayAt = [](const LatLon& position, double headingRad) {
        return gf_findRunwayForTakeoff(position, headingRad).has_value();
    };
    hooks.rememberRunwayEntrySample = [](LiveAc& ac, PosSample& s) { return ac.rememberRunwayEntrySample(s); };
    hooks.startTakeoffRoll = [](LiveAc& ac, bool flag) { ac.startTakeoffRoll(flag); };
    hooks.startTakeoffRollAtIdle = [](LiveAc& ac) { ac.startTakeoffRollAtIdle(); };
    hooks.addRealStandOption = [](std::int32_t standId, StaticAc& ac, std::uint32_t occasion) {
        gf_addRealStandOption(standId, ac, occasion);
    };
    gf_setLiveMotionHooks(std::move(hooks));
}

} // namespace zelk
