#include "traffic/EnginePass.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "gui/WaitClock.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "simlink/PoseTable.h"
#include "simlink/SimQueues.h"
#include "simlink/UserAircraftState.h"
#include "traffic/AcTextForms.h"
#include "traffic/CategoryTables.h"
#include "traffic/EngineTick.h"
#include "traffic/FlatDistance.h"
#include "traffic/IdentityChange.h"
#include "traffic/LiveUpdate.h"
#include "traffic/RecordErasure.h"
#include "traffic/SimObjectResults.h"
#include "traffic/SimRemoval.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/StandClaims.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr std::int32_t kRemovalPasses = 10;  // one removal per 10 passes
constexpr std::int32_t kCreateSteps = 2;     // one create per 2 removal steps
constexpr std::int32_t kUserPasses = 20;
constexpr std::int32_t kProximityPasses = 20;
constexpr double kKnotsPerMetrePerSecond = 1.9438444924406046;
// An altitude this close to the user airport's below 10000 ft is a ground
// report with a barometric altitude, not an aircraft in the air.
constexpr double kAirportBandFt = 120.0;
constexpr double kNoAirportAltitudeFt = -1000.0;
constexpr double kStraightFlightThinningNm = 0.2429805615550756; // 450 m
constexpr double kGroundThinningNm = 0.010799136069114472;       // 20 m
constexpr double kGroundThinningMaxSeconds = 15.0;

struct PassCounters {
    std::int32_t removal = 0;
    std::int32_t create = 0;
    std::int32_t proximity = 0;
    std::int32_t rangeRequest = 0;
    std::int32_t userPosition = 0;
};
PassCounters lv_counters;

LiveAc* lf_findLive(std::uint32_t hexId)
{
    for (LiveAc& ac : gf_liveAircraft())
        if (ac.hexId == hexId) return &ac;
    return nullptr;
}

void lf_handOver(std::deque<AiCreateCommand>& queue)
{
    gf_queueAiCreate(queue.front());
    queue.pop_front();
}

void lf_slowRhythm()
{
    if (++lv_counters.removal < kRemovalPasses) return;
    lv_counters.removal = 0;
    auto& removals = gf_removalQueue();
    if (!removals.empty()) {
        gf_queueAiRemove(removals.front());
        removals.pop_front();
    }
    if (++lv_counters.create < kCreateSteps) return;
    lv_counters.create = 0;
    if (!gf_liveCreateQueue().empty()) {
        lf_handOver(gf_liveCreateQueue());
        return;
    }
    // Only the placement fills the static create queue, so it must also run
    // while that queue is empty, or no parked aircraft would ever appear.
    if (!gf_staticCreateQueue().empty()) lf_handOver(gf_staticCreateQueue());
    if (gf_staticWorkList().empty()) return;
    const auto ground = gf_trafficGroundHooks();
    if (ground->placeNextStaticAircraft)
        ground->placeNextStaticAircraft();
    else
        gf_refuseUnsetGroundHook("placeNextStaticAircraft");
}

AiCreateCommand lf_createCommand(const LiveAc& ac)
{
    AiCreateCommand command;
    command.position = SimInitPosition{ac.pose.latitude,          ac.pose.longitude,         ac.pose.altitude,
                                       ac.pose.pitch * kRadToDeg, ac.pose.bank * kRadToDeg, ac.pose.heading * kRadToDeg,
                                       0,                         0};
    command.tailNumber = ac.head.registration;
    command.title = std::string(ac.liveryTitle);
    command.hexId = ac.hexId;
    return command;
}

void lf_queueNextSpawn()
{
    auto& stack = gf_addingStack();
    if (stack.empty()) return;
    const std::uint32_t hexId = stack.back();
    stack.pop_back();
    const LiveAc* ac = lf_findLive(hexId);
    if (ac == nullptr) return;
    if (ac->head.callsign.empty()) {
        gf_writeLogNotice(fmt::format("{} {} callsign empty", "lf_handleAddingStack", gf_formatAcLine(ac->head)));
        return;
    }
    gf_liveCreateQueue().push_back(lf_createCommand(*ac));
}

bool lf_onRollingPhase(FlightPhase phase)
{
    return phase == FlightPhase::taxi || phase == FlightPhase::takeoff_roll || phase == FlightPhase::landing_roll;
}

// A holding aircraft that a moving one on the ground comes close to is taken
// out; it comes back from its stream without the hold.
void lf_proximityPurge()
{
    auto& live = gf_liveAircraft();
    for (LiveAc& a : live) {
        if (a.holding == 0) continue;
        const LatLon at{a.pose.latitude, a.pose.longitude};
        const double cosLatitude = std::cos(a.pose.latitude * kDegToRad);
        for (const LiveAc& b : live) {
            if (b.simState != SimState::active || b.onGround == 0 || b.objectId == a.objectId ||
                !lf_onRollingPhase(b.phase))
                continue;
            const double r = a.proximityRadius + b.proximityRadius;
            if (!(r > 0.0) || gf_flatDistanceSqNm(at, {b.pose.latitude, b.pose.longitude}, cosLatitude) > r * r)
                continue;
            a.streamCounter = 0;
            a.retimeEarlier = 2700;
            a.retimeLater = a.phase == FlightPhase::takeoff_roll ? 4500 : 2700;
            a.holdStartTick = 0;
            a.holding = 0;
            removeAircraftFromSim(a);
            break;
        }
    }
}

double lf_userAirportAltitudeFt()
{
    return gf_getUserAirportAltitude().value_or(kNoAirportAltitudeFt);
}

bool lf_inAirportBand(double altitudeFt)
{
    return altitudeFt > 0.0 && altitudeFt < 10000.0 &&
           std::fabs(altitudeFt - lf_userAirportAltitudeFt()) <= kAirportBandFt;
}

// Another hex id under the same callsign and type is the same flight seen twice.
bool lf_isSecondHexId(const TrafficRecord& record)
{
    for (const LiveAc& ac : gf_liveAircraft())
        if (ac.head.callsign == record.head.callsign && ac.head.key.model == record.head.key.model) return true;
    return false;
}

double lf_reportedSpeed(double kt) { return std::isfinite(kt) && kt >= 0.0 ? kt : 0.0; }

bool lf_sameRunway(const PosSample& s, const PosSample& r, double bearingRad)
{
    const auto ground = gf_trafficGroundHooks();
    if (!ground->findRunwayLoose) return false;
    const auto hitS = ground->findRunwayLoose(s, bearingRad);
    const auto hitR = ground->findRunwayLoose(r, bearingRad);
    return hitS && hitR && hitS->sameRunwayAs(*hitR);
}

bool lf_nearRunway(const PosSample& s, const PosSample& r)
{
    const auto ground = gf_trafficGroundHooks();
    return ground->isNearRunway && (ground->isNearRunway(s) || ground->isNearRunway(r));
}

// A taxiing aircraft whose report lies further than its speed allows.
bool lf_isJump(const LiveAc& ac, const PosSample& s, const TrafficRecord& record, double dNm, double dt)
{
    const PosSample& r = record.sample;
    if (ac.phase != FlightPhase::taxi || s.airborne != 0 || r.airborne != 0) return false;
    if (!std::isfinite(dNm) || !std::isfinite(dt) || dt <= 0.0) return false;
    bool same = false;
    bool nearAnyRunway = false;
    if (dNm * kMetresPerNm > 1.0) {
        const double bearing = gf_initialBearing({s.latitude, s.longitude}, {r.latitude, r.longitude});
        same = lf_sameRunway(s, r, bearing);
        nearAnyRunway = lf_nearRunway(s, r);
    }
    const double v = dNm * kMetresPerNm / dt * kKnotsPerMetrePerSecond;
    const double g = std::max(lf_reportedSpeed(s.groundSpeed), lf_reportedSpeed(r.groundSpeed));
    return (g <= 5.0 && v > 30.0) || (v > 80.0 && nearAnyRunway && !same) || v > std::max(3.0 * g, 60.0);
}

// A steady aircraft's next report adds nothing before it has moved far enough.
bool lf_isRedundant(const LiveAc& ac, const TrafficRecord& record, double dh, double dt)
{
    if (ac.streamCounter > 0) return false;
    const PosSample& r = record.sample;
    const double gs = r.groundSpeed;
    if (r.airborne != 0) return gs > 120.0 && dh <= 1.0 && kStraightFlightThinningNm / (gs / 3600.0) >= dt;
    if (!(gs <= 30.0) || dh > 2.0) return false;
    const double t = gs == 0.0 ? kGroundThinningMaxSeconds
                               : std::min(kGroundThinningNm / (gs / 3600.0), kGroundThinningMaxSeconds);
    return t >= dt;
}

void lf_restartConfirmation(const TrafficRecord& record)
{
    if (record.hexId == 0 || !gf_isValidLalo(record.sample.latitude, record.sample.longitude) ||
        !std::isfinite(record.time))
        return;
    gf_newAircraftConfirmations()[record.hexId] =
        NewAircraftConfirmation{record.sample.latitude, record.sample.longitude, record.time, 1, 0};
}

// False when the report is to go no further.
bool lf_screenReport(LiveAc& ac, const TrafficRecord& record)
{
    if (ac.stream.empty()) return true;
    const PosSample& s = ac.stream.back();
    const double dt = record.time - ac.recordTime;
    const double d = gf_distanceNm({s.latitude, s.longitude}, {record.sample.latitude, record.sample.longitude});
    const double dh = std::fabs(record.sample.heading - s.heading);
    const bool jump = lf_isJump(ac, s, record, d, dt);
    if (record.time == ac.recordTime || dt <= 1.0) return false;
    if (jump) {
        lf_restartConfirmation(record);
        removeAircraftFromSim(ac);
        return false;
    }
    return !lf_isRedundant(ac, record, dh, dt);
}

void lf_decodeKnown(std::size_t index, const TrafficRecord& record)
{
    LiveAc& ac = gf_liveAircraft()[index];
    if (ac.simState == SimState::liveryrespawn) return;
    if (ac.simState == SimState::removingfromsim) {
        if (gf_newAircraftConfirmations().contains(record.hexId))
            gf_confirmNewAircraft(record.hexId, record.sample, record.time);
        return;
    }
    if (!lf_screenReport(ac, record)) return;
    if (ac.simState == SimState::buffer && lf_inAirportBand(record.sample.altitude)) return;
    if (!lf_handleIdentityChange(ac, record)) return;
    LiveAc* current = lf_findLive(record.hexId);
    if (current == nullptr) return;
    current->recordTime = record.time;
    PosSample sample = record.sample;
    decodeExisting(*current, sample);
}

void lf_decode(const TrafficRecord& record)
{
    auto& live = gf_liveAircraft();
    for (std::size_t i = 0; i < live.size(); ++i)
        if (live[i].hexId == record.hexId) return lf_decodeKnown(i, record);
    if (!record.head.callsign.empty() && !live.empty() && lf_isSecondHexId(record)) return;
    TrafficRecord copy = record;
    lf_newAircraftFromRecord(copy);
}

} // namespace

void gf_resetEnginePassCounters() noexcept { lv_counters = PassCounters{}; }

void lf_handleAddingStack()
{
    gf_processSimObjectResults();
    lf_updateAllLive();
    lf_slowRhythm();
    lf_drainTrafficMailbox();
    lf_queueNextSpawn();
    lf_checkUserAircraft();
    if (++lv_counters.proximity >= kProximityPasses) {
        lv_counters.proximity = 0;
        lf_proximityPurge();
    }
    gf_advanceEngineTick(1);
}

void lf_updateAllLive()
{
    auto& live = gf_liveAircraft();
    bool flagged = false;
    for (std::size_t i = 0; i < live.size(); ++i)
        if (updateLiveAc(live[i])) flagged = true;
    if (flagged) gf_eraseFlaggedLive();
    if (gf_trafficFlags().staticErasePending) {
        gf_trafficFlags().staticErasePending = false;
        auto& statics = gf_staticAircraft();
        for (const StaticAc& ac : statics)
            if (ac.erase != 0) lf_forgetSimObject(ac.hexId, ac.objectId);
        std::erase_if(statics, [](const StaticAc& ac) { return ac.erase != 0; });
    }
    gf_poseTable().flushPass(gf_steadyNow());
}

void lf_checkUserAircraft()
{
    if (++lv_counters.rangeRequest >= kUserPasses) {
        lv_counters.rangeRequest = 0;
        gf_queueSimRequest(SimRequest{static_cast<std::uint8_t>(SimRequestKind::AiInRange), 0});
    }
    if (++lv_counters.userPosition < kUserPasses) return;
    lv_counters.userPosition = 0;
    gf_queueSimRequest(SimRequest{static_cast<std::uint8_t>(SimRequestKind::UserPosition), 0});
    const UserAcPosition user = gf_trafficUserPosition();
    gf_setUserAircraftPosition(user);
    if (gf_trafficUserOnGround() && !(user.altitudeAboveGround > 500.0) && gf_settings()->COLLISION_USER_GND)
        gf_checkUserAcGndCollisions();
    if (!gf_isRTDirect()) {
        const auto hooks = gf_trafficStateHooks();
        if (hooks->sendUserPositionToApp) hooks->sendUserPositionToApp();
    }
}

void decodeMessage(const TrafficRecord& record)
{
    try {
        lf_decode(record);
    } catch (...) {
        gf_reportTrafficException("decodeMessage");
    }
}

void lf_newAircraftFromRecord(TrafficRecord& record)
{
    if (const std::optional<LiveryKey> key = gf_lookupRegcode(record.head.registration)) record.head.key = *key;
    if (gf_isDbaseModelCode(gf_modelCodeText(record.head.key.model))) lf_createLiveFromRecord(record);
}

void lf_createLiveFromRecord(TrafficRecord& record)
{
    if (record.hexId == 0) return;
    if (!gf_confirmNewAircraft(record.hexId, record.sample, record.time)) return;
    if (!gf_isCategoryIncluded(gf_modelCategory(record.head.key.model))) return;
    if (lf_inAirportBand(record.sample.altitude)) return;
    record.head.callsign2 = record.head.callsign;
    record.head.text3.clear();
    record.head.flag = 0;
    AcIdentity identity;
    // Throws std::out_of_range for a category without a row in the tables.
    gf_classifyAircraft(identity, record.head);
    // Classification starts from an empty identity: without the hex id every
    // later report of this aircraft would look like a second one.
    identity.hexId = record.hexId;
    gf_liveAircraft().emplace_back(record.sample, identity, record.time);
}

double gf_pitchFromVerticalSpeed(const PosSample& sample, AcCategory category)
{
    struct PitchRow {
        double lo, hi, base, climb, descent;
    };
    PitchRow row{-3000.0, 2400.0, -3.0, 2.2, 1.1};
    if (category == AcCategory::HighPerf)
        row = {-3600.0, 3600.0, -2.5, 2.6, 1.3};
    else if (category == AcCategory::Rotorcraft)
        row = {-1800.0, 1800.0, 0.0, 1.5, 0.75};
    const double vs = std::clamp(std::isfinite(sample.verticalSpeed) ? sample.verticalSpeed : 0.0, row.lo, row.hi);
    const double degrees = row.base - vs / 600.0 * (vs >= 0.0 ? row.climb : row.descent);
    return degrees * kDegToRad;
}

} // namespace zelk
