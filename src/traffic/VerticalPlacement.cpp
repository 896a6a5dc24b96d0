// The simulator's ground report turned into altitude; touch-down with its
// report line and the look for a touch-and-go; parking after creation; the AI
// flight plan of a new object.
#include "traffic/VerticalPlacement.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Settings.h"
#include "core/TimeUtils.h"
#include "liveries/CodeTables.h"
#include "simlink/SimObjectResultQueue.h"
#include "simlink/SimQueues.h"
#include "traffic/AcTextForms.h"
#include "traffic/AiObjectEvents.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/FlatDistance.h"
#include "traffic/FlightPlanFiles.h"
#include "traffic/SimRemoval.h"
#include "traffic/Spawn.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr std::size_t kClimbValue = 0; // of the motion values; the one after it goes with it
constexpr double kThresholdHoldM = 60.0;
constexpr double kFeetPerNm = 6076.11549;
constexpr double kMaxRotationPitchRad = 20.0 * kDegToRad;
constexpr double kRenewedClimbFpm = 400.0;
constexpr double kRenewedClimbFt = 50.0;
constexpr std::int32_t kLookAheadTicks = 1000;
constexpr std::int32_t kTicksPerSecond = 100;
constexpr std::int32_t kQuietRotorcraftS = 30;

bool lf_within(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }
// A height above the ground that can stand for the reference point: -1..35 ft, not 0.
bool lf_usableHeight(double v) { return lf_within(v, -1.0, 35.0) && v != 0.0; }

PosSample lf_poseSample(const LiveAc& ac)
{
    PosSample s;
    s.latitude = ac.pose.latitude;
    s.longitude = ac.pose.longitude;
    s.altitude = ac.pose.altitude;
    s.heading = ac.pose.heading * kRadToDeg;
    s.groundSpeed = ac.pose.speed;
    return s;
}

LatLon lf_posOf(const LiveAc& ac) { return LatLon{ac.pose.latitude, ac.pose.longitude}; }

// The runway under the aircraft, or the one stored at the threshold hold with
// its distance past the threshold moved on by the way made since.
std::optional<RunwayHit> lf_landingRunway(const LiveAc& ac, const TrafficGroundHooks& hooks, bool needPosition)
{
    std::optional<RunwayHit> hit;
    if (hooks.findRunwayLoose)
        hit = hooks.findRunwayLoose(lf_poseSample(ac), ac.pose.heading);
    else
        gf_refuseUnsetGroundHook("findRunwayLoose");
    const auto& g = ac.groundOps;
    if (hit || g.landingRunwayFlag == 0 || !g.landingRunway || (needPosition && g.landingPositionFlag == 0))
        return hit;
    hit = g.landingRunway;
    if (g.landingPositionFlag != 0 && hit->alongFromThresholdM) {
        if (!hooks.relativePosition) {
            gf_refuseUnsetGroundHook("relativePosition");
            return hit;
        }
        const LatLon stored{g.landingLatitude, g.landingLongitude};
        *hit->alongFromThresholdM += hooks.relativePosition(stored, hit->headingDeg * kDegToRad, lf_posOf(ac)).alongM;
    }
    return hit;
}

// Held at runway height until 60 m past the threshold; true while held.
bool lf_holdOverThreshold(LiveAc& ac, const TrafficGroundHooks& hooks)
{
    const std::optional<RunwayHit> runway = lf_landingRunway(ac, hooks, true);
    if (!runway || !runway->alongFromThresholdM || !std::isfinite(*runway->alongFromThresholdM) ||
        !std::isfinite(runway->endElevationFt) || !(*runway->alongFromThresholdM < kThresholdHoldM))
        return false;
    const double offset = std::isfinite(ac.groundOffset) ? std::max(ac.groundOffset, 0.0) : 0.0;
    ac.pose.altitude = std::max(offset + runway->endElevationFt + 1.0, ac.pose.altitude);
    ac.pose.verticalSpeed = 0.0;
    ac.motion[kClimbValue] = 0.0;
    ac.motion[kClimbValue + 1] = 0.0;
    auto& g = ac.groundOps;
    g.landingRunway = runway;
    g.landingRunwayFlag = 1;
    g.landingLatitude = ac.pose.latitude;
    g.landingLongitude = ac.pose.longitude;
    g.landingPositionFlag = 1;
    return true;
}

std::vector<AccelerationEntry> lf_streamEntries(const LiveAc& ac)
{
    std::vector<AccelerationEntry> entries;
    entries.reserve(ac.stream.size());
    for (const PosSample& s : ac.stream)
        entries.push_back({s.altitude, s.verticalSpeed, s.groundSpeed, s.airborne != 0, s.dueTick});
    return entries;
}

bool lf_climbing(const AccelerationEntry& e) { return std::isfinite(e.verticalSpeed) && e.verticalSpeed >= kRenewedClimbFpm; }

bool lf_climbedFrom(const AccelerationEntry& from, const AccelerationEntry& to)
{
    const double gained = to.altitudeFt - from.altitudeFt;
    return to.airborne && std::isfinite(gained) && gained >= kRenewedClimbFt;
}

// The entry at which the stream climbs again after the touch-down.
std::optional<std::size_t> lf_renewedClimb(const std::vector<AccelerationEntry>& e)
{
    for (std::size_t i = 1; i < e.size(); ++i) {
        if (!lf_climbing(e[i - 1]) || !lf_climbing(e[i]))
            continue;
        if (lf_climbedFrom(e[i - 1], e[i]))
            return i;
        if (i + 1 < e.size()) {
            const std::int64_t dt = e[i + 1].tick - e[i - 1].tick;
            if (dt >= 1 && dt <= kLookAheadTicks && lf_climbedFrom(e[i - 1], e[i + 1]))
                return i + 1;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> lf_takeoffAcceleration(const LiveAc& ac, const std::vector<AccelerationEntry>& entries,
                                                  const TrafficGroundHooks& hooks)
{
    if (ac.category != AcCategory::Light)
        return std::nullopt;
    if (!hooks.findRunwayForTakeoff || !hooks.detectTakeoffAcceleration) {
        gf_refuseUnsetGroundHook(!hooks.findRunwayForTakeoff ? "findRunwayForTakeoff" : "detectTakeoffAcceleration");
        return std::nullopt;
    }
    if (!hooks.findRunwayForTakeoff(lf_posOf(ac), ac.pose.heading))
        return std::nullopt;
    return hooks.detectTakeoffAcceleration(entries, gf_referenceSpeedKt(ac, 1));
}

// After a steep approach: a touch-and-go shows as a renewed climb (or, for a
// Light aircraft on a take-off runway, an acceleration). True when found.
bool lf_findTouchAndGo(LiveAc& ac, const TrafficGroundHooks& hooks)
{
    auto& g = ac.groundOps;
    g.touchAndGoWatch = 1;
    if (ac.stream.empty())
        return false;
    g.landingReferenceAltitudeFt = ac.stream.back().altitude;
    g.landingReferenceVerticalSpeed = ac.stream.back().verticalSpeed;
    const std::vector<AccelerationEntry> entries = lf_streamEntries(ac);
    const std::optional<std::size_t> climb = lf_renewedClimb(entries);
    const std::optional<std::size_t> acceleration = lf_takeoffAcceleration(ac, entries, hooks);
    std::size_t found = entries.size();
    if (climb) {
        found = *climb;
    } else if (acceleration) {
        found = *acceleration;
        while (found < entries.size() && !entries[found].airborne)
            ++found;
    }
    for (std::size_t i = 0; i < found && i < ac.stream.size(); ++i)
        ac.stream[i].airborne = 0;
    if (!climb && !acceleration)
        return false;
    g.touchAndGoWatch = 0;
    return true;
}

void lf_finishTouchDown(LiveAc& ac)
{
    auto& g = ac.groundOps;
    if (g.glidePending != 0) {
        const double steps = std::max(1, g.glideSteps - g.glideStepsDone);
        g.glideLatitudeStep = (g.glideTargetLatitude - ac.pose.latitude) / steps;
        g.glideLongitudeStep = (g.glideTargetLongitude - ac.pose.longitude) / steps;
        g.glideSteps = 0;
        g.glideStepsDone = 0;
        g.glidePending = 0;
    }
    ac.onGround = 1;
    ac.motion[kClimbValue] = 0.0;
    ac.placementCounter = 1;
    ac.lastAirborneAltitude.reset();
    for (auto it = ac.stream.rbegin(); it != ac.stream.rend(); ++it)
        if (it->airborne != 0 && std::isfinite(it->altitude) && it->altitude > 0.0) {
            ac.lastAirborneAltitude = it->altitude;
            break;
        }
}

std::string lf_placeText(const LiveAc& ac, std::string& originText)
{
    const auto park = lf_parkReference();
    if (!park || !park->iata.isSet())
        return " at ?";
    if (!gf_withinGroundRadius(lf_posOf(ac), park->position))
        return " at ?";
    if (ac.head.origin.isSet() && !(ac.head.origin == park->iata))
        originText = fmt::format(" from {}", ac.head.origin.view());
    return fmt::format(" at {}", park->iata.view());
}

std::string lf_runwayText(const LiveAc& ac, const TrafficGroundHooks& hooks)
{
    const std::optional<RunwayHit> hit = lf_landingRunway(ac, hooks, false);
    if (hit && hit->alongFromThresholdM && hit->usableLengthM && *hit->usableLengthM > 0.0)
        return fmt::format(" runway {}", hit->designator1);
    if (!hooks.runwayNameAt) {
        gf_refuseUnsetGroundHook("runwayNameAt");
        return {};
    }
    const auto name = hooks.runwayNameAt(lf_posOf(ac), ac.pose.heading);
    return name ? fmt::format(" runway {}", *name) : std::string{};
}

bool lf_quietRotorcraft(const LiveAc& ac)
{
    if (ac.category != AcCategory::Rotorcraft || ac.airborneAtActivation == 0 || ac.activationTick <= 0)
        return false;
    return (gf_engineTick() - ac.activationTick) / kTicksPerSecond < kQuietRotorcraftS;
}

void lf_reportLine(const LiveAc& ac, const TrafficGroundHooks& hooks)
{
    std::string origin;
    const std::string place = lf_placeText(ac, origin);
    const std::string runway = lf_runwayText(ac, hooks);
    std::string airline;
    if (hooks.airlineOperatorText)
        airline = hooks.airlineOperatorText(ac);
    else
        gf_refuseUnsetGroundHook("airlineOperatorText");
    const std::string line = fmt::format("{} {} {} {} {} touch down{}{}{} ...", gf_displayTimeTextShort(),
                                         ac.head.callsign, ac.head.registration, airline,
                                         gf_modelCodeText(ac.head.key.model), place, runway, origin);
    if (hooks.emitMovementReport)
        hooks.emitMovementReport(line);
    else
        gf_writeLogLine(line);
}

void lf_settleSteps(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const auto n = static_cast<double>(ac.touchDownPasses);
    if (n > 0.0) {
        g.touchDownPitchStep = (ac.parkedPitch - ac.pose.pitch) / n;
        g.touchDownBankStep = (0.0 - ac.pose.bank) / n;
        return;
    }
    gf_writeLogLine(fmt::format("{} ! onGround slots {:.1f}", ac.head.callsign, n));
    g.touchDownPitchStep = ac.parkedPitch - ac.pose.pitch;
    g.touchDownBankStep = 0.0;
}

// Settles from the touch-down height to the parked height as the nose comes down.
double lf_onGroundAltitude(LiveAc& ac, double g, double h)
{
    if (ac.phase == FlightPhase::landing_roll && !ac.touchDownOffset) {
        const double fromAltitude = ac.pose.altitude - g;
        if (lf_usableHeight(h) || lf_usableHeight(fromAltitude)) {
            ac.touchDownOffset = lf_usableHeight(h) ? h : fromAltitude;
            ac.touchDownPitch = ac.pose.pitch;
        } else {
            ac.touchDownOffsetUnknown = 1;
        }
    }
    const double offset = ac.groundOffset;
    const bool offsetUsable = lf_usableHeight(offset);
    if (!ac.touchDownOffset || !lf_usableHeight(*ac.touchDownOffset))
        return offsetUsable ? g + offset : g;
    const double t = *ac.touchDownOffset;
    if (!offsetUsable)
        return g + t;
    const double span = ac.touchDownPitch - ac.parkedPitch;
    if (!std::isfinite(ac.touchDownPitch) || !std::isfinite(ac.pose.pitch) || !std::isfinite(ac.parkedPitch) ||
        !(std::abs(span) > 1e-9))
        return g + offset;
    const double f = std::clamp(std::abs((ac.pose.pitch - ac.parkedPitch) / span), 0.0, 1.0);
    return g + offset + (t - offset) * f;
}

// A landing aircraft in its flare, close over the ground with the category's
// offset, is put on the ground although the simulator still says airborne.
bool lf_fallbackTouchDown(LiveAc& ac, double g, double h)
{
    const double offset = ac.groundOffset;
    if (ac.phase != FlightPhase::landing || ac.groundOps.flareStage == 0 || ac.groundOffsetFromSim != 0 ||
        !lf_within(offset, 1.0, 35.0) || !lf_within(h, -1.0, offset + 1.0) ||
        !lf_within(ac.pose.altitude - g, -1.0, offset + 1.0))
        return false;
    ac.touchDownOffset = offset;
    ac.touchDownPitch = ac.pose.pitch;
    ac.pose.altitude = g + offset;
    lf_landingPlacement(ac);
    return true;
}

void lf_rotationAltitude(LiveAc& ac, double g)
{
    const double offset = std::isfinite(ac.groundOffset) ? ac.groundOffset : 0.0;
    const double lever = std::clamp(ac.sizeRadius * kFeetPerNm * 0.22, 4.0, 20.0);
    if (std::isfinite(ac.parkedPitch) && std::isfinite(ac.pose.pitch) && std::isfinite(lever) && lever > 0.0) {
        const double raised = std::min(std::abs(ac.pose.pitch - ac.parkedPitch), kMaxRotationPitchRad);
        ac.pose.altitude = g + offset + lever * std::sin(raised);
    } else {
        ac.pose.altitude = g + offset;
    }
}

} // namespace

void lf_placeFromSimPosition(LiveAc& ac, const SimObjectResult& report, std::string_view& source) noexcept
{
    try {
        const double g = report.payload[0];
        const double h = report.payload[1];
        ac.heightAboveGround = h;
        // Without a ground altitude there is nothing to stand on: a NaN pose
        // would stop the object from taking poses at all.
        if (!std::isfinite(g))
            return;
        if (ac.phase == FlightPhase::parked) {
            ac.simGroundAltitude = g;
            if (ac.promoted != 0 && ac.simPosePresent != 0)
                return;
        }
        if (ac.onGround == 0) {
            if (lf_fallbackTouchDown(ac, g, h)) {
                if (ac.onGround == 0)
                    return;
                source = "fallback";
            } else {
                if (ac.placementCounter >= 2)
                    lf_rotationAltitude(ac, g);
                return;
            }
        }
        ac.pose.altitude = lf_onGroundAltitude(ac, g, h);
    } catch (...) {
        gf_reportTrafficException("lf_placeFromSimPosition");
    }
}

void lf_landingPlacement(LiveAc& ac)
{
    if (ac.simState == SimState::removingfromsim || ac.phase == FlightPhase::takeoff)
        return;
    const auto hooks = gf_trafficGroundHooks();
    if (ac.phase == FlightPhase::landing && lf_holdOverThreshold(ac, *hooks))
        return;
    const bool steep = ac.phase == FlightPhase::landing && ac.groundOps.steepApproach != 0;
    if (ac.groundOps.flareStage > 0 || ac.phase == FlightPhase::landing) {
        if (ac.phase != FlightPhase::landing_roll)
            ac.setPhase(FlightPhase::landing_roll);
        ac.takeoffReference.set = 0;
        lf_touchDownReport(ac);
    }
    const bool takeoff = steep && lf_findTouchAndGo(ac, *hooks);
    lf_finishTouchDown(ac);
    if (!takeoff)
        return;
    if (hooks->startTakeoffRoll)
        hooks->startTakeoffRoll(ac, true);
    else
        gf_refuseUnsetGroundHook("startTakeoffRoll");
}

void lf_touchDownReport(LiveAc& ac)
{
    const auto hooks = gf_trafficGroundHooks();
    auto& g = ac.groundOps;
    g.touchDown = 1;
    if (!lf_quietRotorcraft(ac))
        lf_reportLine(ac, *hooks);
    g.landingRunway.reset();
    g.landingRunwayFlag = 0;
    g.landingPositionFlag = 0;
    ac.touchDownHeading = ac.pose.heading;
    gf_setSpoilers(ac, true);
    if (ac.category != AcCategory::Light)
        gf_queueReverseThrust(ac.objectId, true, ac.fsltl != 0);
    lf_settleSteps(ac);
    gf_followUpList().push_back(ac.hexId);
}

void hp_handleGroundTraffic(LiveAc& ac, bool quiet)
{
    ac.onGround = 1;
    gf_setGear(ac, true);
    ac.motion[kClimbValue] = 0.0;
    if (ac.phase != FlightPhase::parked) {
        ac.placementCounter = 1;
        return;
    }
    ac.weekSlot = gf_currentWeekSlot();
    const std::string standName = gf_standName(ac.standId, gf_stands());
    if (!quiet)
        gf_writeLogLine(fmt::format("{:14}: {:8} parks", standName, ac.head.callsign));
    std::erase_if(gf_staticWorkList(), [&](const StaticWorkItem& item) { return item.standId == ac.standId; });
    for (StaticAc& st : gf_staticAircraft()) {
        if (st.simState != SimState::active || st.standId != ac.standId)
            continue;
        gf_writeLogLine(fmt::format("{:14}: {:8} parks over static {} , static will be removed", standName,
                                    ac.head.callsign, st.head.callsign));
        removeAircraftFromSim(st);
        break;
    }
}

void lf_createAiFlightPlan(LiveAc& ac)
{
    if (!gf_isMsfs2020()) {
        ac.flightPlanQueued = 0;
        return;
    }
    if (!ac.head.origin.isSet() || !ac.head.destination.isSet())
        return;
    const auto folder = gf_flightPlanFolder();
    bool written = false;
    std::filesystem::path file;
    if (folder && gf_ensureFlightPlanFolder(*folder)) {
        file = *folder / gf_flightPlanFile(ac.objectId);
        written = gf_writeFlightPlan(file, ac);
    }
    if (!written) {
        gf_writeLogNotice(fmt::format("{} creating a flight plan failed",
                                      fmt::format("{:8} {} {}", ac.head.callsign, ac.head.registration,
                                                  gf_formatOrigDest(ac.head))));
        ac.flightPlanQueued = 0;
        return;
    }
    gf_queueFlightPlan(FlightPlanCommand{ac.objectId, file});
    ac.flightPlanQueued = 1;
}

} // namespace zelk
