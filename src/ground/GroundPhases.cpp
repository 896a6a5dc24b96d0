#include "ground/GroundPhases.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Settings.h"
#include "ground/GroundGeometry.h"
#include "ground/Motion.h"
#include "ground/MotionGeometry.h"
#include "ground/MovementReports.h"
#include "ground/Parking.h"
#include "ground/Runways.h"
#include "ground/StandLearning.h"
#include "gui/WaitClock.h"
#include "simlink/SimCommands.h"
#include "simlink/SimQueues.h"
#include "simlink/UserAircraftState.h"
#include "traffic/AiObjectEvents.h"
#include "traffic/CategoryTables.h"
#include "traffic/EnginePass.h"
#include "traffic/EngineTick.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr double kPushSpeedKt = 2.0;
constexpr double kPushAccelKtPerS = 0.5;
constexpr double kPushPauseTicks = 500;
constexpr double kPullOutKt = 8.0;
constexpr double kPullOutRangeM = 50.0;
constexpr double kDriveKt = 6.0;
constexpr double kDriveSlowKt = 2.0;
constexpr double kDriveSlowRangeM = 10.0;
constexpr double kCorrectiveKt = 3.0;
constexpr double kCorrectiveAccelKtPerS = 0.5;
constexpr double kArrivalToleranceM = 0.5;
constexpr double kDriveLookAheadM = 15.0;
// A straight drive in needs the stand ahead within 30 degrees and at most a
// third of its distance off the axis; from anywhere else the aircraft is first
// moved, slowly and turning onto the stand heading, to the entry point 20 m
// before the stand on its axis.
constexpr double kDriveInHeadingRad = 30.0 * kDegToRad;
constexpr double kDriveInMinM = 5.0;
constexpr double kEntryRunM = 20.0;
constexpr double kEntryReachedM = 0.3;
constexpr double kEntryAlignedRad = 1.0 * kDegToRad;
// The drive is given up this long before the hold of phase parking ends.
constexpr std::int64_t kGiveUpMarginTicks = 1000;
constexpr double kFlareTargetPitchRad = -4.0 * kDegToRad;
constexpr double kFlareVerticalSpeed = -150.0;
constexpr double kSteepApproachDeg = 4.0;
constexpr double kApproachMaxHeightFt = 3000.0;
constexpr double kApproachMinDescent = -300.0; // ft per minute
constexpr double kLiftVerticalSpeed = 500.0;
constexpr std::int32_t kClimbOutTicks = 9000;

using M = GroundManoeuvre;

LatLon lf_pos(const LiveAc& ac) { return {ac.pose.latitude, ac.pose.longitude}; }
double lf_speed(const LiveAc& ac) { return ac.groundOps.motionSpeedKt; }
double lf_spanM(const LiveAc& ac) { return 2.0 * ac.sizeRadius * kMetersPerNm; }

void lf_event(const LiveAc& ac, std::uint32_t eventId, std::uint32_t value)
{
    gf_queueClientEvent(AiClientEvent{ac.objectId, eventId, value});
}

void lf_moveAlong(LiveAc& ac, double courseRad, double speedKt)
{
    const LatLon p = gf_advance(lf_pos(ac), courseRad, speedKt * kMetersPerKnotSecond * kPassSeconds);
    ac.pose.latitude = p.latitude;
    ac.pose.longitude = p.longitude;
    ac.groundOps.motionSpeedKt = speedKt;
    ac.groundOps.motionAirspeed = speedKt;
    ac.groundOps.motionVerticalSpeed = 0.0;
    ac.groundOps.movedTick = gf_engineTick();
}

// --- leaving the stand -------------------------------------------------------

void lf_startPushback(LiveAc& ac, const PosSample& departure)
{
    auto& g = ac.groundOps;
    ac.setPhase(FlightPhase::pushing_back, gf_engineTick());
    gf_queueEngineAutoStart(ac.objectId);
    lf_event(ac, NAV_LIGHTS_SET, 1);
    lf_event(ac, BEACON_LIGHTS_SET, 1);
    g.manoeuvre = static_cast<std::uint8_t>(M::pushback);
    g.manoeuvreStage = 0;
    g.manoeuvreLatitude = ac.pose.latitude;
    g.manoeuvreLongitude = ac.pose.longitude;
    g.manoeuvreHeading = ac.standId > 0 ? ac.standHeading : ac.pose.heading;
    const RelativePosition side = gf_relativePosition(lf_pos(ac), g.manoeuvreHeading, {departure.latitude, departure.longitude});
    g.manoeuvreSide = side.lateralM < 0.0 ? -1.0 : 1.0;
    g.motionSpeedKt = 0.0;
}

void lf_startPullOut(LiveAc& ac)
{
    auto& g = ac.groundOps;
    ac.setPhase(FlightPhase::taxi, gf_engineTick());
    gf_queueEngineAutoStart(ac.objectId);
    lf_event(ac, NAV_LIGHTS_SET, 1);
    lf_event(ac, BEACON_LIGHTS_SET, 1);
    g.manoeuvre = static_cast<std::uint8_t>(M::pullOut);
    g.manoeuvreLatitude = ac.pose.latitude;
    g.manoeuvreLongitude = ac.pose.longitude;
    g.manoeuvreHeading = ac.standId > 0 ? ac.standHeading : ac.pose.heading;
}

void lf_pushbackPass(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const double straightM = std::max(30.0, 1.5 * lf_spanM(ac));
    const double radiusM = std::max(25.0, lf_spanM(ac));
    if (g.manoeuvreStage == 0) {
        const double done = gf_relativePosition({g.manoeuvreLatitude, g.manoeuvreLongitude}, 0.0, lf_pos(ac)).distanceM;
        const double v = gf_rampSpeed(g.motionSpeedKt, kPushSpeedKt, kPushAccelKtPerS, kPushAccelKtPerS);
        lf_moveAlong(ac, ac.pose.heading + kPi, v);
        if (done >= straightM)
            g.manoeuvreStage = 1;
        return;
    }
    if (g.manoeuvreStage == 1) {
        const double turned = std::fabs(gf_normalizeAngle(ac.pose.heading - g.manoeuvreHeading));
        const double remainingM = std::max(0.0, kPi / 2.0 - turned) * radiusM;
        const double target = std::min(kPushSpeedKt, gf_brakingSpeed(remainingM, kPushAccelKtPerS));
        const double v = gf_rampSpeed(g.motionSpeedKt, target, kPushAccelKtPerS, kPushAccelKtPerS);
        const double turn = v * kMetersPerKnotSecond * kPassSeconds / radiusM;
        g.currentTurnRate = ac.turnRate;
        // Pushed tail first, a tail swinging right leaves the nose pointing left.
        ac.steerHeading(ac.pose.heading - g.manoeuvreSide * turn, false);
        lf_moveAlong(ac, ac.pose.heading + kPi, v);
        if (remainingM < 0.05 || (v <= 0.0 && remainingM < 0.5)) {
            g.manoeuvreStage = 2;
            g.manoeuvreTick = gf_engineTick() + static_cast<std::int32_t>(kPushPauseTicks);
        }
        return;
    }
    lf_moveAlong(ac, ac.pose.heading, 0.0);
    if (gf_engineTick() >= g.manoeuvreTick) {
        g.manoeuvre = 0;
        ac.setPhase(FlightPhase::pushed_back, gf_engineTick());
    }
}

// --- into the stand ----------------------------------------------------------

const ParkPos* lf_claimedStand(const LiveAc& ac)
{
    const auto& stands = gf_stands();
    if (ac.standId < 1 || static_cast<std::size_t>(ac.standId) > stands.size())
        return nullptr;
    return &stands[static_cast<std::size_t>(ac.standId) - 1];
}

enum DriveStage : std::uint8_t { kDriveIn = 0, kToEntry = 1 };

LatLon lf_entryPoint(const GroundOpState& g)
{
    return gf_advance({g.manoeuvreLatitude, g.manoeuvreLongitude}, g.manoeuvreHeading + kPi, kEntryRunM);
}

bool lf_canDriveIn(const RelativePosition& seen, double headingDiffRad)
{
    const double before = -seen.alongM;
    return before >= kDriveInMinM && std::fabs(seen.lateralM) <= before / 3.0 &&
           std::fabs(headingDiffRad) <= kDriveInHeadingRad;
}

// Gives the stand up: the aircraft taxis on its hold and the stand is free.
void lf_giveUpDrive(LiveAc& ac, double distanceM)
{
    const ParkPos* claimed = lf_claimedStand(ac);
    gf_writeLogLine(fmt::format("{:14}: {} gives up the drive to the stand, {:.1f} m from it",
                                claimed ? claimed->name : std::string{}, ac.head.callsign, distanceM));
    ac.groundOps.manoeuvre = 0;
    ac.groundOps.motionSpeedKt = 0.0;
    ac.setPhase(FlightPhase::taxi, gf_engineTick());
    ac.standLatitude = 0.0;
    ac.standLongitude = 0.0;
    ac.standId = 0;
    ac.standFlag = 0;
    ac.gateStand = 0;
}

// Moved as by a tug: straight to the entry point while the heading turns onto
// the stand heading, then the drive in from there.
void lf_toEntryPass(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const LatLon entry = lf_entryPoint(g);
    const RelativePosition toEntry = gf_relativePosition(lf_pos(ac), 0.0, entry);
    const double target = std::min(kCorrectiveKt, gf_brakingSpeed(toEntry.distanceM, kCorrectiveAccelKtPerS));
    const double v = gf_rampSpeed(g.motionSpeedKt, target, kCorrectiveAccelKtPerS, kCorrectiveAccelKtPerS);
    const double step = std::min(v * kMetersPerKnotSecond * kPassSeconds, toEntry.distanceM);
    g.currentTurnRate = ac.turnRate;
    ac.steerHeading(g.manoeuvreHeading, false);
    const LatLon p = gf_advance(lf_pos(ac), toEntry.bearingRad, step);
    ac.pose.latitude = p.latitude;
    ac.pose.longitude = p.longitude;
    g.motionSpeedKt = step > 0.0 ? v : 0.0;
    g.motionAirspeed = g.motionSpeedKt;
    g.motionVerticalSpeed = 0.0;
    g.movedTick = gf_engineTick();
    if (toEntry.distanceM - step <= kEntryReachedM &&
        std::fabs(gf_normalizeAngle(ac.pose.heading - g.manoeuvreHeading)) <= kEntryAlignedRad)
        g.manoeuvreStage = kDriveIn;
}

void lf_drivePass(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const LatLon stand{g.manoeuvreLatitude, g.manoeuvreLongitude};
    const double leftM = gf_relativePosition(stand, 0.0, lf_pos(ac)).distanceM;
    const std::int64_t holdTicks = gf_holdTicks(FlightPhase::parking, gf_settings()->MAX_HOLDING_MINUTES);
    if (static_cast<std::int64_t>(gf_engineTick()) - g.manoeuvreTick >= holdTicks - kGiveUpMarginTicks) {
        lf_giveUpDrive(ac, leftM);
        return;
    }
    if (g.manoeuvreStage == kToEntry) {
        lf_toEntryPass(ac);
        return;
    }
    // Where the aircraft stands on the stand axis: along < 0 before the stand point.
    const RelativePosition seen = gf_relativePosition(stand, g.manoeuvreHeading, lf_pos(ac));
    const double along = seen.alongM;
    const double lateral = seen.lateralM;
    const double remaining = -along;
    // Past the stand, or at its level but beside it: the straight drive cannot
    // end on the stand point any more.
    if (leftM > kArrivalToleranceM && (along > kArrivalToleranceM || remaining < kArrivalToleranceM)) {
        g.manoeuvreStage = kToEntry;
        g.motionSpeedKt = 0.0;
        lf_toEntryPass(ac);
        return;
    }
    const double down = ac.categoryFactor3 > 0.0 ? ac.categoryFactor3 : gf_categoryFactor3(ac.category);
    g.currentTurnRate = ac.turnRate;
    double target = remaining > kDriveSlowRangeM ? kDriveKt : kDriveSlowKt;
    target = std::min(target, gf_brakingSpeed(std::max(0.0, remaining), down));
    const double v = gf_rampSpeed(g.motionSpeedKt, target, gf_categoryFactor2(ac.category), down);
    // The S-curve: aim at a point on the axis ahead, which flattens onto it.
    const double aim = std::max(remaining, 1.0);
    ac.steerHeading(g.manoeuvreHeading - std::atan2(lateral, std::min(aim, kDriveLookAheadM)), false);
    lf_moveAlong(ac, ac.pose.heading, std::min(v, std::max(0.0, remaining) / (kMetersPerKnotSecond * kPassSeconds)));
    const double left = gf_relativePosition(stand, 0.0, lf_pos(ac)).distanceM;
    if (left <= kArrivalToleranceM && g.motionSpeedKt < 0.05)
        ac.arriveAtStand();
}

void lf_verticalLiftPass(LiveAc& ac)
{
    auto& g = ac.groundOps;
    g.motionVerticalSpeed = kLiftVerticalSpeed;
    ac.pose.altitude += kLiftVerticalSpeed * kPassSeconds / 60.0;
    g.motionSpeedKt = 0.0;
    g.motionAirspeed = 0.0;
    g.movedTick = gf_engineTick();
    if (lf_heightAboveRunway(ac) >= 50.0) {
        g.manoeuvre = 0;
        ac.setPhase(FlightPhase::flying, gf_engineTick());
    }
}

// --- take-off --------------------------------------------------------------

void lf_liftOff(LiveAc& ac);

void lf_startRotation(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const std::int32_t now = gf_engineTick();
    ac.setPhase(FlightPhase::takeoff, now);
    g.rotationTick = now;
    g.runwayElevationFt = g.takeoffRunway ? g.takeoffRunway->endElevationFt : ac.pose.altitude - ac.groundOffset;
    if (!std::isfinite(g.runwayElevationFt))
        g.runwayElevationFt = ac.pose.altitude;
    g.gearUp = 0;
    g.climbFlapsUp = 0;
    if (ac.category == AcCategory::Rotorcraft) {
        ac.placementCounter = 1;
        ac.onGround = 0;
        g.manoeuvre = static_cast<std::uint8_t>(M::verticalLift);
        gf_emitMovementReport(gf_takeoffReportLine(ac));
        return;
    }
    const auto passes = std::max<std::uint32_t>(1, ac.rotationPasses ? ac.rotationPasses
                                                                     : gf_categoryRotationPasses(ac.category));
    // The pass that starts the rotation is its first: the counter runs from
    // the rotation passes down to 1, at which the aircraft lifts off with the
    // rotation pitch reached.
    ac.placementCounter = static_cast<std::int32_t>(passes);
    g.rotationPitchStep = (ac.rotationPitch - ac.pose.pitch) / passes;
    ac.pose.pitch += g.rotationPitchStep;
    if (ac.placementCounter <= 1)
        lf_liftOff(ac);
}

void lf_liftOff(LiveAc& ac)
{
    auto& g = ac.groundOps;
    ac.onGround = 0;
    const auto passes = std::max<std::uint32_t>(1, ac.climbPasses ? ac.climbPasses
                                                                  : gf_categoryClimbPasses(ac.category));
    g.rotationPitchStep = (ac.climbPitch - ac.pose.pitch) / passes;
    g.manoeuvreTick = gf_engineTick() + static_cast<std::int32_t>(passes);
    gf_emitMovementReport(gf_takeoffReportLine(ac));
}

void lf_takeoffPass(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const std::int32_t now = gf_engineTick();
    if (ac.placementCounter > 1) {
        ac.pose.pitch += g.rotationPitchStep;
        if (--ac.placementCounter == 1)
            lf_liftOff(ac);
        return;
    }
    if (now < g.manoeuvreTick)
        ac.pose.pitch += g.rotationPitchStep;
    const double height = ac.pose.altitude - g.runwayElevationFt;
    if (height >= 50.0 && g.gearUp == 0) {
        g.gearUp = 1;
        gf_setGear(ac, false);
    }
    if (height >= 1000.0 && g.climbFlapsUp == 0) {
        g.climbFlapsUp = 1;
        gf_setFlaps(ac, 0);
    }
    if (height >= 1500.0 || now - g.rotationTick >= kClimbOutTicks)
        ac.setPhase(FlightPhase::flying, now);
}

// --- landing -----------------------------------------------------------------

bool lf_streamHasGroundSample(const LiveAc& ac)
{
    return std::any_of(ac.stream.begin(), ac.stream.end(), [](const PosSample& s) { return s.airborne == 0; });
}

// Low over the park airport and descending onto the final of one of its runways.
bool lf_onFinalToParkAirport(const LiveAc& ac)
{
    if (ac.category == AcCategory::Rotorcraft || !(ac.groundOps.motionVerticalSpeed <= kApproachMinDescent) ||
        gf_runways().empty())
        return false;
    const std::optional<double> elevation = gf_getUserAirportAltitude();
    if (!elevation || !(ac.pose.altitude - *elevation < kApproachMaxHeightFt))
        return false;
    return gf_isApproachingRunway(lf_pos(ac), ac.pose.heading);
}

void lf_startApproach(LiveAc& ac)
{
    auto& g = ac.groundOps;
    ac.setPhase(FlightPhase::landing, gf_engineTick());
    gf_setGear(ac, true);
    gf_setFlaps(ac, 3);
    lf_event(ac, LANDING_LIGHTS_SET, 1);
    g.steepApproach = 0;
    g.reverseThrustOff = 0;
    g.rollOutRunway.reset();
    if (!ac.stream.empty()) {
        const PosSample& next = ac.stream.front();
        g.steepApproach = gf_descentAngleDeg(next.verticalSpeed, next.groundSpeed) > kSteepApproachDeg ? 1 : 0;
    }
}

std::uint32_t lf_touchDownPasses(const LiveAc& ac)
{
    return std::max<std::uint32_t>(1, ac.touchDownPasses ? ac.touchDownPasses : gf_categoryTouchDownPasses(ac.category));
}

// Until the touch-down the glide aims at the point of the runway's centre line
// beside the aircraft, to be reached over the touch-down passes: the touch-down
// then works out the per-pass steps that take the aircraft onto the centre line
// while it rolls out.
void lf_aimGlideAtCentreLine(LiveAc& ac)
{
    auto& g = ac.groundOps;
    std::optional<RunwayHit> runway = g.landingRunway;
    if (!runway) {
        PosSample here;
        here.latitude = ac.pose.latitude;
        here.longitude = ac.pose.longitude;
        runway = gf_findRunwayLoose(here, ac.pose.heading);
    }
    if (!runway) {
        g.glidePending = 0;
        return;
    }
    const double headingRad = runway->headingDeg * kDegToRad;
    const LatLon threshold{runway->thresholdLatitude, runway->thresholdLongitude};
    const RelativePosition seen = gf_relativePosition(threshold, headingRad, lf_pos(ac));
    const LatLon onLine = gf_advance(threshold, headingRad, seen.alongM);
    g.glideTargetLatitude = onLine.latitude;
    g.glideTargetLongitude = onLine.longitude;
    g.glideSteps = static_cast<std::int32_t>(lf_touchDownPasses(ac));
    g.glideStepsDone = 0;
    g.glidePending = 1;
}

void lf_endGlide(GroundOpState& g)
{
    g.glideLatitudeStep = 0.0;
    g.glideLongitudeStep = 0.0;
    g.glideStepsDone = 0;
}

// After the touch-down: the steps the touch-down worked out, one per pass,
// for the touch-down passes. Only their part across the runway is taken, and
// never past the centre line: the roll-out's own steering works on it too.
void lf_glideAfterTouchDown(LiveAc& ac)
{
    auto& g = ac.groundOps;
    if (g.glideLatitudeStep == 0.0 && g.glideLongitudeStep == 0.0)
        return;
    if (!std::isfinite(g.glideLatitudeStep) || !std::isfinite(g.glideLongitudeStep) ||
        g.glideStepsDone >= static_cast<std::int32_t>(lf_touchDownPasses(ac))) {
        lf_endGlide(g);
        return;
    }
    ++g.glideStepsDone;
    const std::optional<RunwayHit>& runway = g.rollOutRunway ? g.rollOutRunway : g.landingRunway;
    if (!runway) {
        ac.pose.latitude += g.glideLatitudeStep;
        ac.pose.longitude += g.glideLongitudeStep;
        return;
    }
    const double headingRad = runway->headingDeg * kDegToRad;
    const LatLon threshold{runway->thresholdLatitude, runway->thresholdLongitude};
    const double offM = gf_relativePosition(threshold, headingRad, lf_pos(ac)).lateralM;
    const LatLon stepped{ac.pose.latitude + g.glideLatitudeStep, ac.pose.longitude + g.glideLongitudeStep};
    // A step is a few centimetres: its part across the runway from the flat offset.
    const FlatOffset step = gf_flatOffsetM(lf_pos(ac), stepped);
    const double acrossM = -step.northM * std::sin(headingRad) + step.eastM * std::cos(headingRad);
    if (!(offM * acrossM < 0.0)) {
        lf_endGlide(g);
        return;
    }
    const double moveM = std::min(std::fabs(acrossM), std::fabs(offM));
    const LatLon p = gf_advance(lf_pos(ac), headingRad + (offM > 0.0 ? -kPi / 2.0 : kPi / 2.0), moveM);
    ac.pose.latitude = p.latitude;
    ac.pose.longitude = p.longitude;
}

void lf_flarePass(LiveAc& ac)
{
    auto& g = ac.groundOps;
    if (ac.category == AcCategory::Rotorcraft || ac.onGround != 0)
        return;
    lf_aimGlideAtCentreLine(ac);
    const bool big = ac.category == AcCategory::Large || ac.category == AcCategory::Heavy;
    const auto passes = std::max<std::uint32_t>(1, ac.flarePasses ? ac.flarePasses : gf_categoryFlarePasses(ac.category));
    if (g.flareStage == 0) {
        if (lf_heightAboveRunway(ac) > (big ? 40.0 : 30.0))
            return;
        g.flarePitchStep = (kFlareTargetPitchRad - ac.pose.pitch) / passes;
        g.flareVerticalSpeedStep = (kFlareVerticalSpeed - g.motionVerticalSpeed) / passes;
    }
    if (g.flareStage < passes) {
        ac.pose.pitch += g.flarePitchStep;
        g.motionVerticalSpeed += g.flareVerticalSpeedStep;
    }
    ++g.flareStage;
}

void lf_settleAfterTouchDown(LiveAc& ac)
{
    auto& g = ac.groundOps;
    if (g.touchDown == 0 || ac.onGround == 0)
        return;
    const double pitchLeft = ac.parkedPitch - ac.pose.pitch;
    ac.pose.pitch = std::fabs(pitchLeft) <= std::fabs(g.touchDownPitchStep) ? ac.parkedPitch
                                                                            : ac.pose.pitch + g.touchDownPitchStep;
    ac.pose.bank = std::fabs(ac.pose.bank) <= std::fabs(g.touchDownBankStep) ? 0.0 : ac.pose.bank + g.touchDownBankStep;
    if (ac.pose.pitch == ac.parkedPitch)
        g.flareStage = 0;
}

bool lf_offRunway(const LiveAc& ac)
{
    const auto& hit = ac.groundOps.rollOutRunway;
    if (!hit)
        return false;
    const RelativePosition r = gf_relativePosition({hit->thresholdLatitude, hit->thresholdLongitude},
                                                   hit->headingDeg * kDegToRad, lf_pos(ac));
    return std::fabs(r.lateralM) > hit->widthM / 2.0 + 5.0;
}

void lf_rollOutPass(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const double v = lf_speed(ac);
    if (!g.rollOutRunway && ac.category != AcCategory::Rotorcraft) {
        PosSample here;
        here.latitude = ac.pose.latitude;
        here.longitude = ac.pose.longitude;
        g.rollOutRunway = gf_findRunwayLoose(here, ac.pose.heading);
    }
    if (v < 60.0 && g.reverseThrustOff == 0) {
        g.reverseThrustOff = 1;
        if (ac.category != AcCategory::Light && ac.category != AcCategory::Rotorcraft)
            gf_queueReverseThrust(ac.objectId, false, false);
    }
    const bool slow = ac.category == AcCategory::Rotorcraft ? v <= 5.0 : (v <= 15.0 || (v <= 30.0 && lf_offRunway(ac)));
    if (!slow)
        return;
    ac.setPhase(FlightPhase::taxi, gf_engineTick());
    ac.arriving = 1;
    gf_setSpoilers(ac, false);
    gf_setFlaps(ac, 0);
    lf_event(ac, LANDING_LIGHTS_SET, 0);
    lf_event(ac, STROBES_SET, 0);
    lf_event(ac, TAXI_LIGHTS_SET, 1);
}

} // namespace

double lf_heightAboveRunway(const LiveAc& ac)
{
    if (ac.heightAboveGround < kNoHeightReportFt)
        return ac.heightAboveGround;
    const double elevation = ac.groundOps.landingRunway && ac.phase == FlightPhase::landing
                                 ? ac.groundOps.landingRunway->endElevationFt
                                 : ac.groundOps.runwayElevationFt;
    return std::isfinite(elevation) ? ac.pose.altitude - elevation : ac.heightAboveGround;
}

std::optional<double> lf_groundStandingAltitudeFt(const LiveAc& ac)
{
    double ground = ac.groundOps.landingRunway ? ac.groundOps.landingRunway->endElevationFt : kGroundNaN;
    if (!std::isfinite(ground))
        ground = ac.groundOps.runwayElevationFt;
    if (!std::isfinite(ground) && ac.simGroundAltitude)
        ground = *ac.simGroundAltitude;
    if (!std::isfinite(ground))
        ground = gf_getUserAirportAltitude().value_or(kGroundNaN);
    // The last ground report: its height was taken at an altitude since left,
    // so it comes last.
    if (!std::isfinite(ground) && ac.heightAboveGround < kNoHeightReportFt && std::isfinite(ac.heightAboveGround))
        ground = ac.pose.altitude - ac.heightAboveGround;
    if (!std::isfinite(ground))
        return std::nullopt;
    const double offset = std::isfinite(ac.groundOffset) ? std::max(ac.groundOffset, 0.0) : 0.0;
    return ground + offset;
}

bool lf_phaseOwnsPitch(const LiveAc& ac)
{
    const auto& g = ac.groundOps;
    if (ac.phase == FlightPhase::takeoff)
        return ac.placementCounter > 1 || gf_engineTick() < g.manoeuvreTick;
    if (ac.phase == FlightPhase::landing && g.flareStage > 0)
        return true;
    return g.touchDown != 0 && ac.onGround != 0 && ac.pose.pitch != ac.parkedPitch;
}

double lf_pullOutLimit(LiveAc& ac)
{
    auto& g = ac.groundOps;
    if (g.manoeuvre != static_cast<std::uint8_t>(M::pullOut))
        return -1.0;
    if (gf_relativePosition({g.manoeuvreLatitude, g.manoeuvreLongitude}, 0.0, lf_pos(ac)).distanceM > kPullOutRangeM) {
        g.manoeuvre = 0;
        return -1.0;
    }
    return kPullOutKt;
}

bool lf_endsInsideStand(const LiveAc& ac)
{
    // A drive under way ends on the stand point by itself.
    if (ac.phase != FlightPhase::parking || ac.groundOps.manoeuvre == static_cast<std::uint8_t>(M::driveToStand))
        return false;
    const ParkPos* stand = lf_claimedStand(ac);
    if (stand == nullptr)
        return false;
    const double d = gf_relativePosition({ac.standLatitude, ac.standLongitude}, 0.0, lf_pos(ac)).distanceM;
    return d <= stand->radius * kMetersPerNm;
}

void lf_onSampleDue(LiveAc& ac, const PosSample& sample)
{
    auto& g = ac.groundOps;
    if (ac.phase != FlightPhase::parked || g.departureStarted == 0)
        return;
    g.departureStarted = 0;
    if (g.departureMode == 0)
        lf_startPushback(ac, sample);
    else
        lf_startPullOut(ac);
}

bool lf_runManoeuvre(LiveAc& ac)
{
    switch (static_cast<M>(ac.groundOps.manoeuvre)) {
    case M::pushback: lf_pushbackPass(ac); return true;
    case M::driveToStand: lf_drivePass(ac); return true;
    case M::verticalLift: lf_verticalLiftPass(ac); return true;
    case M::pullOut:
    case M::none: break;
    }
    return false;
}

void lf_groundPhasePass(LiveAc& ac)
{
    switch (ac.phase) {
    case FlightPhase::takeoff_roll:
        if (ac.category == AcCategory::Rotorcraft || lf_speed(ac) >= gf_referenceSpeedKt(ac, 2) ||
            (!ac.stream.empty() && ac.stream.front().airborne != 0))
            lf_startRotation(ac);
        break;
    case FlightPhase::takeoff: lf_takeoffPass(ac); break;
    case FlightPhase::flying:
        if (lf_streamHasGroundSample(ac) || lf_onFinalToParkAirport(ac))
            lf_startApproach(ac);
        break;
    case FlightPhase::landing: lf_flarePass(ac); break;
    case FlightPhase::landing_roll: lf_rollOutPass(ac); break;
    default: break;
    }
    if (ac.onGround != 0)
        lf_glideAfterTouchDown(ac);
    lf_settleAfterTouchDown(ac);
}

void drive2Stand(LiveAc& ac, const LatLon& stand, double standHeadingRad, bool flag)
{
    auto& g = ac.groundOps;
    if (ac.phase != FlightPhase::parking)
        ac.setPhase(FlightPhase::parking, gf_engineTick());
    g.manoeuvre = static_cast<std::uint8_t>(M::driveToStand);
    g.manoeuvreLatitude = stand.latitude;
    g.manoeuvreLongitude = stand.longitude;
    g.manoeuvreHeading = standHeadingRad;
    g.manoeuvreTick = gf_engineTick();
    // The hold of phase parking counts from the claim, not from a taxi hold
    // that may have begun long before; the drive ends within it.
    ac.streamCounter = 0;
    ac.holdStartTick = 0;
    ac.holding = 0;
    const RelativePosition seen = gf_relativePosition(stand, standHeadingRad, lf_pos(ac));
    const double headingDiff = gf_normalizeAngle(ac.pose.heading - standHeadingRad);
    const bool atStand = seen.distanceM <= kArrivalToleranceM;
    g.manoeuvreStage = atStand || lf_canDriveIn(seen, headingDiff) ? kDriveIn : kToEntry;
    if (g.manoeuvreStage == kToEntry) {
        const ParkPos* claimed = lf_claimedStand(ac);
        const std::string name = claimed ? claimed->name : std::string{};
        if (seen.alongM > kArrivalToleranceM)
            gf_writeLogLine(fmt::format("{:14}: {} drive2stand plans corrective move from past stand, distance {:.1f} m, "
                                        "along {:.1f} m, lateral {:.1f} m",
                                        name, ac.head.callsign, seen.distanceM, seen.alongM, seen.lateralM));
        else
            gf_writeLogLine(fmt::format("{:14}: {} drive2stand plans corrective move onto the stand axis, distance "
                                        "{:.1f} m, along {:.1f} m, lateral {:.1f} m, heading off by {:.0f} deg",
                                        name, ac.head.callsign, seen.distanceM, seen.alongM, seen.lateralM,
                                        std::fabs(headingDiff) * kRadToDeg));
    }
    if (ac.stream.size() > 2 && flag)
        gf_writeLogLine(fmt::format("{} unexpected stream size: {}, {}", ac.head.callsign, ac.stream.size(),
                                    gf_phaseName(ac.phase)));
    // The drive owns the pose from here; the stream waits at the stand.
    if (!ac.stream.empty()) {
        PosSample last = ac.stream.back();
        last.latitude = stand.latitude;
        last.longitude = stand.longitude;
        last.groundSpeed = 0.0;
        last.skip = 1;
        ac.stream.clear();
        ac.stream.push_back(last);
        g.streamReset = 1;
    }
}

bool LiveAc::arriveAtStand()
{
    auto& g = groundOps;
    const std::int32_t now = gf_engineTick();
    setPhase(FlightPhase::parked, now);
    lastNearStandTime = gf_steadyNow().time_since_epoch().count();
    retimeEarlier = 900;
    retimeLater = 900;
    g.manoeuvre = 0;
    g.motionSpeedKt = 0.0;
    g.motionAirspeed = 0.0;
    const ParkPos* stand = lf_claimedStand(*this);
    gf_writeLogLine(fmt::format("{:14}: {:8} arrived at stand{}", stand ? stand->name : std::string{},
                                head.callsign, g.arrivedByOverlap ? " via stand overlap" : ""));
    g.arrivedByOverlap = 0;
    if (towed != 0)
        gf_writeLogLine(fmt::format("          towed aircraft {} parks", head.callsign));
    gf_setThrottle(*this, 0);
    gf_setSpoilers(*this, false);
    gf_setFlaps(*this, 0);
    // The stack is worked from its end: the latest command goes in first.
    auto& stack = gf_parkedLightStack();
    stack.push_back(ParkedLightCommand{hexId, now + 3000, 2});
    stack.push_back(ParkedLightCommand{hexId, now + 1500, 0});
    stack.push_back(ParkedLightCommand{hexId, now + 200, 1});
    gf_addRealStandOption(standId, *this, static_cast<std::uint32_t>(StandOccasion::Placed));
    gf_limitParkedAircraft(0);
    return true;
}

namespace {

void lf_beginTakeoffRoll(LiveAc& ac, bool flag, std::uint32_t throttle, bool spoilers)
{
    auto& g = ac.groundOps;
    g.takeoffRunway.reset();
    g.takeoffRunwayFlag = flag ? 1 : 0;
    if (ac.phase != FlightPhase::takeoff_roll)
        ac.setPhase(FlightPhase::takeoff_roll, gf_engineTick());
    gf_setThrottle(ac, throttle);
    gf_setSpoilers(ac, spoilers);
    gf_setFlaps(ac, 1);
    gf_queueAiLights(ac.objectId, {1, 1, 1, 1, 1, 1, 0});
    ac.retimeEarlier = 2700;
    ac.retimeLater = 4500;
}

} // namespace

void LiveAc::startTakeoffRoll(bool flag) { lf_beginTakeoffRoll(*this, flag, 3, true); }

void LiveAc::startTakeoffRollAtIdle()
{
    if (towed != 0)
        gf_writeLogLine(fmt::format("towed aircraft takes-off? {}", head.callsign));
    lf_beginTakeoffRoll(*this, false, 0, false);
}

} // namespace zelk
