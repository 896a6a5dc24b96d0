#include "traffic/LiveUpdate.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <numbers>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "gui/WaitClock.h"
#include "simlink/PoseTable.h"
#include "simlink/SimClient.h"
#include "simlink/SimQueues.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/LiveMotionHooks.h"
#include "traffic/SimRemoval.h"
#include "traffic/Spawn.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr double kSameSpotDeg = 1e-8;
constexpr double kNearSpotDeg = 0.00015;
constexpr std::size_t kMaxStreamSamples = 200;
constexpr double kLeaveParkingNm = 0.10799136069114472;  // 200 m
constexpr double kStandBearingNm = 0.008099352051835854; // 15 m: nearer, a bearing means nothing
constexpr double kStandWatchNm = 0.05399568034557236;    // 100 m
constexpr double kStandStepNm = 0.0016198704103671706;   // 3 m
constexpr double kPullOutMaxNm = 0.16198704103671707;    // 300 m
constexpr double kPushbackMaxNm = 0.14146868250539957;   // 262 m
constexpr std::uint32_t kParkedHoldOffsetTicks = 60'480'000; // one week: the hold copy of a parked aircraft
constexpr double kKnotsPerMps = 1.9438444924406046;
constexpr std::int32_t kMinRetimeTicks = 25;
constexpr double kClimbVsFpm = 400.0;

std::int32_t lf_now() { return gf_engineTick(); }

LatLon lf_at(const PosSample& s) { return {s.latitude, s.longitude}; }
LatLon lf_at(const AcPose& p) { return {p.latitude, p.longitude}; }
LatLon lf_standAt(const LiveAc& ac) { return {ac.standLatitude, ac.standLongitude}; }

double lf_meters(const LatLon& a, const LatLon& b) { return gf_distanceNm(a, b) * kMetresPerNm; }

bool lf_sameSpot(const PosSample& a, const PosSample& b, double limitDeg)
{
    return std::fabs(a.latitude - b.latitude) < limitDeg &&
           std::fabs(gf_wrapLongitudeDelta(a.longitude, b.longitude)) < limitDeg;
}

// Metres of the sample ahead of a position along the aircraft's current heading.
double lf_along(const LiveMotionHooks& hooks, const LatLon& from, const LiveAc& ac, const PosSample& s)
{
    if (!hooks.alongTrackM) {
        gf_refuseUnsetGroundHook("alongTrackM");
        return 0.0;
    }
    return hooks.alongTrackM(from, ac.pose.heading, lf_at(s));
}

void lf_clearHold(LiveAc& ac)
{
    ac.streamCounter = 0;
    ac.retimeEarlier = 2700;
    ac.retimeLater = ac.phase == FlightPhase::takeoff_roll ? 4500 : 2700;
    ac.holdStartTick = 0;
    ac.holding = 0;
}

void lf_remove(LiveAc& ac, const char* context)
{
    try {
        removeAircraftFromSim(ac);
    } catch (...) {
        gf_reportTrafficException(context);
    }
}

bool lf_emptyStream(const LiveAc& ac, const char* context)
{
    if (!ac.stream.empty())
        return false;
    gf_writeLogNotice(fmt::format("{} empty sz?", context));
    return true;
}

void lf_learnStandUse(const LiveMotionHooks& hooks, LiveAc& ac, std::uint32_t occasion)
{
    if (hooks.addRealStandOption)
        hooks.addRealStandOption(ac.standId, ac, occasion);
    else
        gf_refuseUnsetGroundHook("addRealStandOption");
}

// Drops the newest sample when the new one lies more than limitM behind it, and
// with three or more samples the next newest too under the same test.
void lf_dropOvertakenSamples(const LiveMotionHooks& hooks, LiveAc& ac, const PosSample& s, double limitM)
{
    const std::size_t n = ac.stream.size();
    if (lf_along(hooks, lf_at(ac.stream.back()), ac, s) >= -limitM)
        return;
    ac.stream.pop_back();
    if (n >= 3 && lf_along(hooks, lf_at(ac.stream.back()), ac, s) < -limitM)
        ac.stream.pop_back();
}

// --- the pose handed to the simulator ---

bool lf_finitePose(const AcPose& p)
{
    return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.pitch) &&
           std::isfinite(p.bank) && std::isfinite(p.heading) && std::isfinite(p.altitude) &&
           std::isfinite(p.verticalSpeed) && std::isfinite(p.speed);
}

double lf_foldHeading(double rad)
{
    double h = std::fmod(rad, kFullCircle);
    if (h < 0.0)
        h += kFullCircle;
    return h >= kFullCircle ? 0.0 : h;
}

void lf_handOverPose(LiveAc& ac)
{
    if (ac.objectId == 0) {
        gf_writeLogNotice(fmt::format("{} objectid=0? hexid: {:x},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc",
                                      ac.hexId, ac.head.callsign, ac.head.registration, ac.head.key,
                                      ac.stream.size()));
        removeAircraftFromSim(ac);
        return;
    }
    if (!lf_finitePose(ac.pose))
        return;
    constexpr double kHalfPi = std::numbers::pi / 2.0;
    const AcPose& p = ac.pose;
    const SimPose pose{p.latitude,
                       p.longitude,
                       std::clamp(p.pitch, -kHalfPi, kHalfPi),
                       std::clamp(p.bank, -kHalfPi, kHalfPi),
                       lf_foldHeading(p.heading),
                       p.altitude,
                       p.verticalSpeed,
                       p.speed};
    gf_poseTable().storePassPose(ac.objectId, pose);
}

void lf_updateActive(LiveAc& ac)
{
    if (ac.stream.empty()) {
        const std::string position = fmt::format("{:.6f} {:.6f}", ac.pose.latitude, ac.pose.longitude);
        gf_writeLogNotice(fmt::format("{} stream empty ? {}, hexid:{:x}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                                      "updateLiveAc", gf_formatAcRoute(ac.head), ac.hexId,
                                      gf_formatObjectId(ac.objectId), ac.pose.altitude, position, ac.pose.speed));
        removeAircraftFromSim(ac);
        return;
    }
    const auto hooks = gf_liveMotionHooks();
    if (hooks->motionPass)
        hooks->motionPass(ac);
    else
        gf_refuseUnsetGroundHook("motionPass");
    lf_handOverPose(ac);
}

void lf_updateOne(LiveAc& ac)
{
    switch (ac.simState) {
    case SimState::buffer: lf_trySpawnLive(ac); return;
    case SimState::active: lf_updateActive(ac); return;
    case SimState::adding2sim:
    case SimState::liveryrespawn:
    case SimState::removingfromsim: return;
    }
}

void lf_reportUpdateFault(const LiveAc& ac, const std::exception& e) noexcept
{
    try {
        gf_writeLogNotice(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", e.what(), ac.head.callsign,
                                      ac.stream.size(), gf_phaseName(ac.phase), gf_simStateName(ac.simState)));
    } catch (...) {
        gf_reportTrafficException("updateLiveAc");
    }
}

// --- a new sample of a known aircraft ---

// Cuts the runs of repeats a ground aircraft leaves behind when it stands
// between reports, so that the motion does not wait out a stale stand-still.
void lf_cutStaleRepeats(LiveAc& ac, const PosSample& s)
{
    auto& st = ac.stream;
    if (st.empty() || s.airborne != 0 || st.back().skip == 0)
        return;
    const std::size_t n = st.size();
    if (s.skip != 0) {
        if (n >= 2 && std::all_of(st.begin(), st.end(), [](const PosSample& x) { return x.skip != 0; }))
            st.resize(1);
        return;
    }
    if (n < 3)
        return;
    const std::size_t lowest = n > 8 ? n - 7 : 1;
    for (std::size_t i = n - 2;; --i) {
        const PosSample& real = st[i];
        if (real.skip == 0) {
            const double gapS = (s.dueTick - real.dueTick) / 100.0;
            if (real.dueTick < s.dueTick && gapS <= 22.0 &&
                gf_distanceNm(lf_at(real), lf_at(s)) * 3600.0 / gapS <= 35.0)
                st.erase(st.begin() + static_cast<std::ptrdiff_t>(i) + 1, st.end());
            return;
        }
        if (i == lowest)
            return;
    }
}

void lf_retime(const LiveMotionHooks& hooks, const LiveAc& ac, PosSample& s)
{
    if (ac.stream.empty())
        return;
    const PosSample& newest = ac.stream.back();
    if (newest.dueTick >= s.dueTick)
        s.dueTick = newest.dueTick + 1;
    if (newest.airborne == 0 || s.airborne == 0 || !hooks.minTravelTime)
        return;
    const auto t = hooks.minTravelTime(lf_meters(lf_at(newest), lf_at(s)), (s.dueTick - newest.dueTick) / 100.0,
                                       newest.groundSpeed, s.groundSpeed, ac.category);
    if (t)
        s.dueTick = newest.dueTick + std::max(static_cast<std::int32_t>(std::ceil(100.0 * *t)), kMinRetimeTicks);
}

bool lf_lightAcceleratesForTakeoff(const LiveMotionHooks& hooks, LiveAc& ac, const PosSample& newest,
                                   const PosSample& s)
{
    auto& ref = ac.takeoffReference;
    if (ref.set == 0 || s.dueTick - ref.tick >= 2001 || ref.groundSpeedKt > newest.groundSpeed)
        ref = {newest.altitude, newest.verticalSpeed, newest.groundSpeed, newest.airborne, newest.dueTick, 1};
    if (!hooks.takeoffAcceleration || !hooks.takeoffRunwayAt)
        return false;
    return hooks.takeoffAcceleration(ref, s, gf_referenceSpeedKt(ac, 1)) &&
           hooks.takeoffRunwayAt(lf_at(ac.pose), ac.pose.heading);
}

void lf_startRoll(const LiveMotionHooks& hooks, LiveAc& ac, bool flag)
{
    if (hooks.startTakeoffRoll)
        hooks.startTakeoffRoll(ac, flag);
    else
        gf_refuseUnsetGroundHook("startTakeoffRoll");
}

bool lf_fastOnRunway(const LiveMotionHooks& hooks, const LiveAc& ac, const PosSample& newest, const PosSample& s)
{
    const double reference = gf_referenceSpeedKt(ac, 1);
    if (!std::isfinite(reference) || reference <= 0.0 || !std::isfinite(newest.groundSpeed) ||
        !std::isfinite(s.groundSpeed))
        return false;
    const double fast = std::max(0.5 * reference, 43.0);
    if (newest.groundSpeed < fast || s.groundSpeed < fast || !hooks.takeoffRunwayAt)
        return false;
    return hooks.takeoffRunwayAt(lf_at(ac.pose), ac.pose.heading);
}

void lf_detectTakeoff(const LiveMotionHooks& hooks, LiveAc& ac, const PosSample& s)
{
    if (ac.phase == FlightPhase::takeoff_roll || ac.onGround == 0 || ac.simState != SimState::active ||
        ac.stream.empty())
        return;
    const PosSample& newest = ac.stream.back();
    const bool bothAirborne = newest.airborne != 0 && s.airborne != 0;
    if (ac.phase == FlightPhase::landing_roll) {
        if (bothAirborne)
            lf_startRoll(hooks, ac, false);
        else if (ac.category == AcCategory::Light && lf_lightAcceleratesForTakeoff(hooks, ac, newest, s))
            lf_startRoll(hooks, ac, true);
        return;
    }
    if (ac.phase == FlightPhase::taxi && ac.previousPhase == FlightPhase::landing_roll && ac.arriving != 0 &&
        bothAirborne && newest.verticalSpeed >= kClimbVsFpm && s.verticalSpeed >= kClimbVsFpm &&
        s.altitude >= newest.altitude + 50.0) {
        lf_startRoll(hooks, ac, false);
        return;
    }
    if (ac.arriving != 0 || ac.phase != FlightPhase::taxi)
        return;
    if (s.airborne != 0 || lf_fastOnRunway(hooks, ac, newest, s)) {
        if (hooks.startTakeoffRollAtIdle)
            hooks.startTakeoffRollAtIdle(ac);
        else
            gf_refuseUnsetGroundHook("startTakeoffRollAtIdle");
    }
}

void lf_decodeChecked(LiveAc& ac, PosSample& s)
{
    const auto hooks = gf_liveMotionHooks();
    if (ac.phase == FlightPhase::birth) {
        if (ac.stream.empty() || !lf_checkRepeatedSample(ac, s))
            return;
        s.dueTick = std::max(s.dueTick, ac.stream.back().dueTick + 1);
        ac.stream.push_back(s);
        return;
    }
    if (!checkExtendingSituations(ac, s))
        return;
    if (s.airborne != 0 && std::isfinite(s.altitude) && s.altitude > 0.0)
        ac.lastAirborneAltitude = s.altitude;
    if (hooks->rememberRunwayEntrySample && hooks->rememberRunwayEntrySample(ac, s))
        return;
    lf_cutStaleRepeats(ac, s);
    lf_retime(*hooks, ac, s);
    lf_detectTakeoff(*hooks, ac, s);
    ac.stream.push_back(s);
    if (ac.stream.size() == 2 && ac.stream[0].skip != 0 && ac.stream[1].skip != 0) {
        ac.stream[0].dueTick = lf_now() + 1;
        ac.stream[0].groundSpeed = ac.stream[1].groundSpeed;
    }
}

// --- at the stand ---

bool lf_forwardOfStand(const LiveAc& ac, const PosSample& s, double dNm)
{
    if (dNm < kStandBearingNm)
        return false;
    const double bearing = gf_initialBearing(lf_standAt(ac), lf_at(s));
    const double difference = std::fabs(std::remainder(bearing - ac.standHeading, kFullCircle)) * kRadToDeg;
    return difference <= (ac.gateStand != 0 ? 30.0 : 60.0);
}

double lf_pullOutThresholdM(const LiveAc& ac)
{
    double m = 180.0;
    switch (ac.category) {
    case AcCategory::Light: m = 120.0; break;
    case AcCategory::TwoProps:
    case AcCategory::Bizjet: m = 140.0; break;
    case AcCategory::Heavy: m = 220.0; break;
    default: break;
    }
    return m + (ac.gateStand != 0 ? 30.0 : 0.0);
}

// A pending pushback candidate is confirmed, kept or dropped by the next sample.
bool lf_checkCandidate(LiveAc& ac, PosSample& s, double dNm, bool forward)
{
    auto& w = ac.standDepartureWatch;
    const double dm = dNm * kMetresPerNm;
    const double d2 = lf_meters({w.candidateLatitude, w.candidateLongitude}, lf_at(s));
    const double dt = (s.dueTick - w.candidateTick) / 100.0;
    if (std::isfinite(dm) && std::isfinite(d2) && std::isfinite(dt) && dt > 0.0 && dt <= 120.0 &&
        d2 <= std::max(12.86111111111111 * dt, 12.0) && dm <= 262.0) {
        const double first = w.candidateFirstNm * kMetresPerNm;
        const double second = w.candidateSecondNm * kMetresPerNm;
        if (dm >= first - 5.0 && dm >= second - 5.0) {
            const double gain = dm - first;
            if (gain >= 3.0 && (!forward || (first >= 30.0 && gain >= 10.0))) {
                w.candidate = 0;
                lf_markStandDeparture(ac, s, 0);
                return true;
            }
        }
        if (w.candidateCount < 1) {
            w.candidateSecondNm = dNm;
            w.candidateLatitude = s.latitude;
            w.candidateLongitude = s.longitude;
            w.candidateTick = s.dueTick;
            ++w.candidateCount;
            return false;
        }
    }
    // The outward run starts again from here.
    w.candidate = 0;
    w.count = 0;
    w.baseNm = w.lastNm = dNm;
    return false;
}

void lf_departureLights(const LiveAc& ac)
{
    if (ac.objectId == 0)
        return;
    const bool fromBirth = ac.previousPhase == FlightPhase::birth;
    const auto sinceParking = gf_steadyNow().time_since_epoch() - WaitClock::TimePoint::duration(ac.parkingTime);
    const bool parkedLongAgo = ac.previousPhase == FlightPhase::parking && sinceParking > std::chrono::seconds(30);
    if (fromBirth || parkedLongAgo)
        gf_queueAiLights(ac.objectId, {0, 1, 0, 0, 0, 0, 0});
}

// Samples near the stand: an outward run of 3-m steps behind the stand makes a
// pushback candidate.
void lf_watchNearStand(LiveAc& ac, const PosSample& s, double dNm, bool forward)
{
    auto& w = ac.standDepartureWatch;
    ac.lastNearStandTime = gf_steadyNow().time_since_epoch().count();
    if (w.lastNm == 0.0) {
        w.lastNm = w.baseNm = dNm;
        w.count = 0;
        return;
    }
    if (dNm >= w.lastNm + kStandStepNm) {
        lf_departureLights(ac);
        w.lastNm = dNm;
        ++w.count;
        if (w.count >= 2 && dNm >= w.baseNm + ac.sizeRadius / 2.0 && !forward) {
            w.candidateFirstNm = w.candidateSecondNm = dNm;
            w.candidateLatitude = s.latitude;
            w.candidateLongitude = s.longitude;
            w.candidateTick = s.dueTick;
            w.candidateCount = 0;
            w.candidate = 1;
        }
    } else if (dNm <= w.lastNm - kStandStepNm) {
        w.baseNm = w.lastNm = dNm;
        w.count = 0;
    }
}

bool lf_atStand(LiveAc& ac, PosSample& s)
{
    const double dNm = gf_distanceNm(lf_standAt(ac), lf_at(s));
    const bool forward = lf_forwardOfStand(ac, s, dNm);
    if (ac.standDepartureWatch.candidate != 0)
        return lf_checkCandidate(ac, s, dNm, forward);
    const double radiusNm = ac.previousPhase == FlightPhase::parking ? kLeaveParkingNm : kStandWatchNm;
    if (dNm <= radiusNm) {
        lf_watchNearStand(ac, s, dNm, forward);
        return false;
    }
    if (forward && dNm <= kPullOutMaxNm) {
        if (dNm * kMetresPerNm < lf_pullOutThresholdM(ac))
            return false;
        lf_markStandDeparture(ac, s, 1);
        return true;
    }
    if (!forward && dNm <= kPushbackMaxNm) {
        lf_markStandDeparture(ac, s, 0);
        return true;
    }
    lf_learnStandUse(*gf_liveMotionHooks(), ac, 3);
    removeAircraftFromSim(ac);
    return false;
}

std::uint32_t lf_towedMinutes(AcCategory category)
{
    switch (category) {
    case AcCategory::Heavy: return 60;
    case AcCategory::Large: return 25;
    case AcCategory::TwoProps:
    case AcCategory::Bizjet: return 15;
    default: return 0;
    }
}

bool lf_takeoffSampleExamined(const LiveAc& ac)
{
    if (ac.groundOps.streamReset == 0 || ac.streamCounter < 1 || ac.onGround != 0)
        return false;
    if (ac.phase == FlightPhase::takeoff)
        return true;
    return ac.phase == FlightPhase::flying && ac.previousPhase == FlightPhase::takeoff &&
           static_cast<std::int64_t>(lf_now()) - static_cast<std::int64_t>(ac.phaseTick) <= 3000;
}

} // namespace

bool updateLiveAc(LiveAc& aircraft)
{
    try {
        lf_updateOne(aircraft);
    } catch (const std::exception& e) {
        lf_reportUpdateFault(aircraft, e);
    } catch (...) {
        gf_reportTrafficException("updateLiveAc");
    }
    return aircraft.erase != 0 || aircraft.createCancelled != 0;
}

void decodeExisting(LiveAc& aircraft, PosSample& sample)
{
    auto& st = aircraft.stream;
    // The motion cannot catch up with a stream this long: the aircraft is shown
    // again from its newer reports instead.
    if (st.size() >= kMaxStreamSamples) {
        lf_remove(aircraft, "decodeExisting");
        return;
    }
    if (aircraft.holding != 0 && aircraft.phase == FlightPhase::taxi && !st.empty() &&
        lf_meters(lf_at(st.front()), lf_at(sample)) > gf_settings()->HOLDING_THRESHOLD_METERS) {
        lf_clearHold(aircraft);
        lf_remove(aircraft, "decodeExisting");
        return;
    }
    try {
        lf_decodeChecked(aircraft, sample);
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("{} exception {}", "decodeExisting", e.what()));
        throw;
    }
}

bool checkExtendingSituations(LiveAc& aircraft, PosSample& sample)
{
    const bool shown = aircraft.simState >= SimState::active;
    switch (aircraft.phase) {
    case FlightPhase::parked: return shown && checkAtStandSituations(aircraft, sample);
    case FlightPhase::parking:
        if (!shown || gf_distanceNm(lf_standAt(aircraft), lf_at(sample)) <= kLeaveParkingNm)
            return false;
        aircraft.setPhase(FlightPhase::taxi);
        sample.skip = 0;
        return true;
    case FlightPhase::pushing_back: {
        auto& w = aircraft.pushbackWatch;
        w.latitude = sample.latitude;
        w.longitude = sample.longitude;
        w.set = 1;
        w.firstAway = 0;
        w.count = 0;
        return false;
    }
    case FlightPhase::pushed_back: return lf_checkPushedBackSample(aircraft, sample);
    case FlightPhase::landing:
    case FlightPhase::landing_roll: return checkNewPosDuringLanding(aircraft, sample);
    case FlightPhase::takeoff_roll:
    case FlightPhase::takeoff: return checkNewPosDuringTakeoff(aircraft, sample);
    case FlightPhase::taxi:
    case FlightPhase::flying:
    case FlightPhase::birth: break;
    }
    if (!lf_checkRepeatedSample(aircraft, sample))
        return false;
    if (aircraft.streamCounter <= 0)
        return true;
    if (lf_emptyStream(aircraft, "checkExtendingSituations"))
        return false;
    // A held aircraft in the air flies on by dead reckoning; a report far behind
    // it would turn it round.
    if (aircraft.onGround == 0 && lf_meters(lf_at(aircraft.pose), lf_at(sample)) > 0.1 &&
        lf_along(*gf_liveMotionHooks(), lf_at(aircraft.pose), aircraft, sample) < -50.0)
        return false;
    lf_clearHold(aircraft);
    aircraft.groundOps.streamReset = 0;
    aircraft.stream.front().dueTick = lf_now() + 1;
    return true;
}

bool lf_checkRepeatedSample(LiveAc& aircraft, PosSample& sample)
{
    if (aircraft.stream.empty())
        return true;
    const PosSample& newest = aircraft.stream.back();
    sample.skip = lf_sameSpot(sample, newest, kSameSpotDeg) ? 1 : 0;
    if (aircraft.category == AcCategory::Rotorcraft)
        return true;
    const bool mustMove = sample.airborne != 0 || (aircraft.simState == SimState::active && aircraft.onGround == 0);
    if (sample.skip != 0) {
        if (mustMove)
            return false;
        sample.groundSpeed = 0.0;
        return true;
    }
    if (lf_sameSpot(sample, newest, kNearSpotDeg)) {
        if (mustMove)
            return false;
        sample = newest;
        sample.skip = 1;
        sample.groundSpeed = 0.0;
        return true;
    }
    return !(sample.groundSpeed == 0.0 && sample.airborne != 0 && newest.groundSpeed >= 50.0);
}

bool checkAtStandSituations(LiveAc& aircraft, PosSample& sample)
{
    aircraft.streamExtendedAtStand = 1;
    try {
        return lf_atStand(aircraft, sample);
    } catch (...) {
        gf_reportTrafficException("checkAtStandSituations");
        return false;
    }
}

void lf_markStandDeparture(LiveAc& aircraft, PosSample& sample, std::uint32_t mode)
{
    sample.skip = 0;
    aircraft.groundOps.departureStarted = 1;
    if (aircraft.previousPhase == FlightPhase::parked)
        return;
    aircraft.groundOps.departureMode = static_cast<std::uint8_t>(mode);
    if (aircraft.streamCounter > 0) {
        const bool parked = aircraft.phase == FlightPhase::parked;
        if (parked && aircraft.phaseBeforePrevious == FlightPhase::landing_roll && !aircraft.stream.empty()) {
            // The oldest sample is the parked hold copy, due a week after the
            // last report at the stand: m counts whole minutes since that report.
            const std::uint32_t m = (static_cast<std::uint32_t>(lf_now()) -
                                     static_cast<std::uint32_t>(aircraft.stream.front().dueTick) +
                                     kParkedHoldOffsetTicks) /
                                    6000u;
            if (m < lf_towedMinutes(aircraft.category))
                aircraft.towed = 1;
            aircraft.phaseBeforePrevious = FlightPhase::birth;
        }
        if (parked && !aircraft.stream.empty())
            aircraft.stream.front().dueTick = lf_now() + 1;
        lf_clearHold(aircraft);
    }
    lf_learnStandUse(*gf_liveMotionHooks(), aircraft, 2);
    aircraft.arriving = 0;
}

bool checkNewPosDuringLanding(LiveAc& aircraft, PosSample& sample)
{
    if (lf_emptyStream(aircraft, "checkNewPosDuringLanding"))
        return false;
    auto& watch = aircraft.goAroundWatch;
    // A touch-down after a steep approach with no climb in the stream yet sets
    // the touch-and-go watch: from then on the reports are watched from the
    // landing's reference values, so that only a real climb counts as going
    // around and stray airborne reports in the roll-out are taken as ground.
    auto& g = aircraft.groundOps;
    if (g.touchAndGoWatch != 0) {
        g.touchAndGoWatch = 0;
        watch.set = 1;
        watch.lastAltitudeFt = g.landingReferenceAltitudeFt;
        watch.lastVerticalSpeed = g.landingReferenceVerticalSpeed;
    }
    if (watch.set != 0) {
        if (sample.airborne == 0) {
            watch.set = 0;
        } else if (std::isfinite(sample.altitude) && std::isfinite(watch.lastAltitudeFt) &&
                   std::isfinite(sample.verticalSpeed) && std::isfinite(watch.lastVerticalSpeed) &&
                   sample.altitude >= watch.lastAltitudeFt + 50.0 && watch.lastVerticalSpeed >= kClimbVsFpm &&
                   sample.verticalSpeed >= kClimbVsFpm) {
            watch.set = 0;
        } else {
            watch.lastAltitudeFt = sample.altitude;
            watch.lastVerticalSpeed = sample.verticalSpeed;
            sample.airborne = 0;
        }
    }
    auto& st = aircraft.stream;
    if (lf_sameSpot(sample, st.back(), kSameSpotDeg))
        return false;
    const auto hooks = gf_liveMotionHooks();
    if (st.size() >= 2) {
        lf_dropOvertakenSamples(*hooks, aircraft, sample, 20.0);
    } else {
        const double along = lf_along(*hooks, lf_at(st.front()), aircraft, sample);
        if (aircraft.phase == FlightPhase::landing && along < -20.0)
            return false;
        if (aircraft.phase == FlightPhase::landing_roll && along < -10.0) {
            if (aircraft.streamCounter > 0)
                return false;
            PosSample restart = st.front();
            restart.latitude = aircraft.pose.latitude;
            restart.longitude = aircraft.pose.longitude;
            restart.dueTick = lf_now() + 1;
            st.assign(1, restart);
        }
    }
    if (aircraft.streamCounter > 0)
        lf_clearHold(aircraft);
    const PosSample& newest = st.back();
    if (lf_sameSpot(sample, newest, kSameSpotDeg)) {
        sample.skip = 1;
        return true;
    }
    sample.skip = 0;
    if (aircraft.phase == FlightPhase::landing && sample.airborne == 0 && sample.groundSpeed > newest.groundSpeed &&
        sample.groundSpeed > 40.0)
        sample.groundSpeed = newest.groundSpeed;
    return true;
}

bool checkNewPosDuringTakeoff(LiveAc& aircraft, PosSample& sample)
{
    if (lf_emptyStream(aircraft, "checkNewPosDuringTakeoff"))
        return false;
    auto& st = aircraft.stream;
    if (lf_sameSpot(sample, st.back(), kSameSpotDeg))
        return false;
    const double limitM = aircraft.phase == FlightPhase::takeoff_roll ? 10.0 : 25.0;
    const auto hooks = gf_liveMotionHooks();
    if (st.size() >= 2)
        lf_dropOvertakenSamples(*hooks, aircraft, sample, limitM);
    else if (lf_along(*hooks, lf_at(st.front()), aircraft, sample) < -limitM)
        return false;
    if (!lf_isTakeoffSamplePlausible(aircraft, sample))
        return false;
    if (aircraft.streamCounter > 0)
        lf_clearHold(aircraft);
    aircraft.groundOps.streamReset = 0;
    const PosSample& newest = st.back();
    if (lf_sameSpot(sample, newest, kSameSpotDeg)) {
        sample.skip = 1;
        return true;
    }
    sample.skip = 0;
    // No deceleration during the take-off.
    if (newest.groundSpeed > sample.groundSpeed && newest.groundSpeed > 40.0)
        sample.groundSpeed = newest.groundSpeed;
    return true;
}

bool lf_isTakeoffSamplePlausible(const LiveAc& aircraft, const PosSample& sample)
{
    if (!lf_takeoffSampleExamined(aircraft))
        return true;
    const std::int32_t now = lf_now();
    const double limitM = aircraft.phase == FlightPhase::takeoff_roll ? 10.0 : 25.0;
    const double distanceM = lf_meters(lf_at(aircraft.pose), lf_at(sample));
    if (sample.dueTick <= now + 1 || distanceM <= 0.1 ||
        lf_along(*gf_liveMotionHooks(), lf_at(aircraft.pose), aircraft, sample) < -limitM)
        return false;
    const double dt = (sample.dueTick - now) / 100.0;
    if (dt < 5.0 || !std::isfinite(distanceM) || distanceM <= 1.0)
        return true;
    const bool light = aircraft.category == AcCategory::Light;
    const double newestKt = aircraft.stream.empty() ? 0.0 : aircraft.stream.back().groundSpeed;
    const double referenceKt = newestKt > 1.0 ? newestKt : sample.groundSpeed;
    if (!std::isfinite(referenceKt) || referenceKt < (light ? 55.0 : 120.0))
        return true;
    const double v = distanceM / dt * kKnotsPerMps;
    return v >= (light ? 35.0 : 100.0) || v >= 0.65 * referenceKt;
}

bool lf_checkPushedBackSample(LiveAc& aircraft, PosSample& sample)
{
    auto& w = aircraft.pushbackWatch;
    if (w.set == 0) {
        w.latitude = sample.latitude;
        w.longitude = sample.longitude;
        w.set = 1;
        w.firstAway = 0;
        w.count = 0;
    } else if (lf_meters({w.latitude, w.longitude}, lf_at(sample)) >= 4.0) {
        w.latitude = sample.latitude;
        w.longitude = sample.longitude;
        const double areaM = std::max(2.0 * aircraft.sizeRadius * kMetresPerNm, 25.0);
        if (lf_meters(lf_standAt(aircraft), lf_at(sample)) <= areaM) {
            w.firstAway = 0;
            w.count = 0;
        } else if (w.firstAway == 0) {
            w.firstAway = 1;
            w.firstAwayLatitude = sample.latitude;
            w.firstAwayLongitude = sample.longitude;
        } else if (++w.count >= 2 && lf_meters({w.firstAwayLatitude, w.firstAwayLongitude}, lf_at(sample)) >= 15.0) {
            sample.skip = 0;
            if ((aircraft.holding != 0 || aircraft.streamCounter > 0) && !aircraft.stream.empty()) {
                aircraft.stream.front().dueTick = lf_now() + 1;
                lf_clearHold(aircraft);
            }
            w = LiveAc::PushbackWatch{};
            aircraft.setPhase(FlightPhase::taxi);
            aircraft.standLatitude = 0.0;
            aircraft.standLongitude = 0.0;
            aircraft.standId = 0;
            aircraft.standFlag = 0;
            aircraft.gateStand = 0;
            return true;
        }
    }
    if (aircraft.holding != 0)
        lf_clearHold(aircraft);
    return false;
}

bool gf_confirmNewAircraft(std::uint32_t hexId, const PosSample& sample, double timeSeconds)
{
    auto& entries = gf_newAircraftConfirmations();
    const auto it = entries.find(hexId);
    if (it == entries.end())
        return true;
    NewAircraftConfirmation& e = it->second;
    if (sample.airborne != 0) {
        entries.erase(it);
        return true;
    }
    if (e.blocked != 0)
        return false;
    const double dt = timeSeconds - e.time;
    if (std::isfinite(dt) && dt <= 0.0)
        return false; // an older report counts for nothing
    bool confirmed = false;
    if (!std::isfinite(dt) || dt > 60.0)
        e.count = 1;
    else if (lf_meters({e.latitude, e.longitude}, lf_at(sample)) <= 150.0)
        confirmed = ++e.count >= 3;
    else
        e.count = 1;
    if (confirmed) {
        entries.erase(it);
        return true;
    }
    e.time = timeSeconds;
    e.latitude = sample.latitude;
    e.longitude = sample.longitude;
    return false;
}

void noMoreNextPos(LiveAc& aircraft) noexcept { lf_remove(aircraft, "noMoreNextPos"); }

} // namespace zelk
