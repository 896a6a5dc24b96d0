#include "traffic/Spawn.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

#include <fmt/format.h>

#include "airports/AirportsRegistry.h"
#include "airports/ParkAirports.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Published.h"
#include "core/Settings.h"
#include "gui/WaitClock.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "liveries/LiveryMatching.h"
#include "simlink/SimQueues.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CategoryTables.h"
#include "traffic/CollisionRules.h"
#include "traffic/EnginePass.h"
#include "traffic/EngineTick.h"
#include "traffic/FlatDistance.h"
#include "traffic/LiveUpdate.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/RecordErasure.h"
#include "traffic/SimObjectResults.h"
#include "traffic/SimRemoval.h"
#include "traffic/StandClaims.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficIntake.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr double kParkElevationMarginFt = 700.0;
constexpr std::size_t kMaxQueuedLiveCreates = 10;
constexpr std::int32_t kNoLiveLimit = 500;
constexpr double kTaxiSpawnMaxKt = 30.0;
constexpr double kStandSpawnMaxKt = 6.0;
constexpr double kStandStillSqNm = 0.0003571528532577005; // (35 m)^2
constexpr double kGroundPitchRad = 0.010471975511965976;  // 0.6 degrees
constexpr std::int32_t kPromotionCommandAge = 200;

// The livery index's live ladder; the aircraft keeps its own key (similar
// models are tried on a copy).
bool lf_matchThroughIndex(LiveAc& ac, double altitudeFt)
{
    LiveryMatchAircraft match;
    match.key = ac.head.key;
    match.registration = ac.head.registration;
    match.callsign = ac.head.callsign;
    match.category = ac.category;
    match.logText = gf_formatAcLine(ac.head);
    if (!gf_matchLiveryLive(match, altitudeFt).has_value() || match.title.empty())
        return false;
    ac.liveryTitle = match.title;
    ac.fsltl = match.fsltl;
    ac.coverage = match.coverage;
    return true;
}

Published<const LiveLiveryMatcher> lv_matcher{
    std::make_shared<const LiveLiveryMatcher>(lf_matchThroughIndex)};

LatLon lf_sampleAt(const PosSample& s) { return LatLon{s.latitude, s.longitude}; }

void lf_dropFront(LiveAc& ac) { ac.stream.pop_front(); }

bool lf_anyAirborne(const LiveAc& ac)
{
    return std::any_of(ac.stream.begin(), ac.stream.end(), [](const PosSample& s) { return s.airborne != 0; });
}

// Too close above the park airport to be shown yet: the report is likely a ground report gone wrong.
// Only within the ground radius, where the intake takes ground reports in; farther out a low report is
// real traffic (an approach to a lower airport nearby, a valley below a high park airport).
bool lf_lowOverParkAirport(const LiveAc& ac)
{
    if (ac.category == AcCategory::Rotorcraft || !lf_anyAirborne(ac))
        return false;
    const PosSample& front = ac.stream.front();
    const auto park = lf_parkReference();
    if (park && !gf_withinGroundRadius(lf_sampleAt(front), park->position))
        return false;
    const double elevation = park ? park->elevationFt : 0.0;
    return front.altitude - elevation <= kParkElevationMarginFt;
}

std::size_t lf_shownLiveCount()
{
    return static_cast<std::size_t>(std::count_if(gf_liveAircraft().begin(), gf_liveAircraft().end(), [](const LiveAc& a) {
        return a.simState == SimState::adding2sim || a.simState == SimState::active;
    }));
}

// False when the live limit keeps this aircraft out.
bool lf_withinLiveLimit(const LiveAc& ac, std::int32_t limit)
{
    if (limit == kNoLiveLimit || lf_shownLiveCount() < static_cast<std::size_t>(std::max(limit, 0)))
        return true;
    const UserAcPosition user = gf_trafficUserPosition();
    const double distance = gf_distanceNm(LatLon{user.latitude, user.longitude}, lf_sampleAt(ac.stream.front()));
    return !lf_isThisTheFurthestLive(distance);
}

// Rules that erase the record before it gets an identity; true when it goes.
bool lf_refusedBeforeIdentity(const LiveAc& ac)
{
    const std::string& cs = ac.head.callsign;
    const auto& ghosts = gf_spawnTexts();
    return cs.ends_with('_') && std::find(ghosts.begin(), ghosts.end(), cs) != ghosts.end();
}

bool lf_refusedAfterIdentity(LiveAc& ac, const SettingsSnapshot& settings)
{
    if (ac.head.callsign.empty())
        ac.head.callsign = ac.head.registration;
    if (ac.head.callsign.empty())
        return true;
    if (ac.stream.front().altitude <= settings.TCAS_FL * 100.0 &&
        gf_liveryBookkeeping().isUnmatched(gf_formatAcRowWithRegcode(ac.head)))
        return true;
    return ac.head.callsign.ends_with('_') && lf_isGhostOfLive(ac.head.callsign);
}

void lf_mendStandingStream(LiveAc& ac)
{
    auto& s = ac.stream;
    if (s[1].skip == 0) {
        s[0].skip = 0;
        return;
    }
    s[0].skip = 1;
    s[0].groundSpeed = 0.0;
    s[1].groundSpeed = 0.0;
    // A two-sample stream has no third sample to mend.
    if (s.size() > 2 && s[2].skip != 0)
        s[2].groundSpeed = 0.0;
}

void lf_parkAtSpawnStand(LiveAc& ac, const ParkPos& stand)
{
    ac.placeAtStand(stand);
    ac.arriving = 0;
    ac.setPhase(FlightPhase::parked);
    ac.weekSlot = gf_currentWeekSlot();
    ac.parkingTime = gf_steadyNow().time_since_epoch().count();
    ac.lastNearStandTime = ac.parkingTime;
    // What a former life (before a livery respawn) may have left in motion: a
    // ground plan, a heading to steer to, a flare still counting, which would
    // have the parked aircraft steered or placed as one landing.
    ac.resetGroundPlan();
    ac.groundOps.pendingTargetHeading = 0.0;
    ac.groundOps.pendingTargetHeadingSet = 0;
    ac.groundOps.flareStage = 0;
    ac.stream.resize(1);
    PosSample& front = ac.stream.front();
    front.latitude = stand.latitude;
    front.longitude = stand.longitude;
    front.heading = stand.heading * kRadToDeg;
    const auto hooks = gf_trafficGroundHooks();
    if (hooks->addRealStandOption)
        hooks->addRealStandOption(static_cast<std::int32_t>(stand.id), ac, true);
    else
        gf_refuseUnsetGroundHook("addRealStandOption");
    if (ac.promoteHexId != 0)
        return;
    if (hooks->limitParkedAircraft)
        hooks->limitParkedAircraft(1);
    else
        gf_refuseUnsetGroundHook("limitParkedAircraft");
}

// False when the front sample was dropped (a ground aircraft without a stand that is not yet slow).
bool lf_taxiWithoutStand(LiveAc& ac)
{
    const bool moving = std::any_of(ac.stream.begin(), ac.stream.end(),
                                    [](const PosSample& s) { return s.groundSpeed > kTaxiSpawnMaxKt; });
    if (ac.stream[1].skip != 0 || moving) {
        lf_dropFront(ac);
        return false;
    }
    ac.setPhase(FlightPhase::taxi);
    const auto park = lf_parkReference();
    ac.arriving = park && park->iata.isSet() && ac.head.destination == park->iata && !(ac.head.origin == park->iata)
                      ? 1
                      : 0;
    return true;
}

// Livery and phase of a new aircraft; false when the spawn ends here.
bool lf_prepareBirth(LiveAc& ac)
{
    const PosSample& front = ac.stream.front();
    if (!lf_liveryForLive(ac, front.altitude)) {
        if (ac.coverage == 0 && !ac.head.registration.empty())
            gf_liveryBookkeeping().addUnmatched(gf_formatAcRowWithRegcode(ac.head));
        ac.erase = 1;
        return false;
    }
    if (front.airborne != 0) {
        ac.setPhase(FlightPhase::flying);
        return true;
    }
    if (const auto stand = lf_chooseSpawnStand(ac)) {
        lf_parkAtSpawnStand(ac, *stand);
        return true;
    }
    return ac.erase != 0 || lf_taxiWithoutStand(ac);
}

// The stream must stand still at one spot for a stand to be chosen.
const PosSample* lf_standSearchPosition(const LiveAc& ac)
{
    const PosSample& front = ac.stream.front();
    if (front.skip != 0)
        return &front;
    const bool slow = std::all_of(ac.stream.begin(), ac.stream.end(),
                                  [](const PosSample& s) { return s.groundSpeed <= kStandSpawnMaxKt; });
    const PosSample& last = ac.stream.back();
    const double cosLat = std::cos(front.latitude * kDegToRad);
    if (!slow || gf_flatDistanceSqNm(lf_sampleAt(last), lf_sampleAt(front), cosLat) > kStandStillSqNm)
        return nullptr;
    return &last;
}

bool lf_sameAsLastTry(LiveAc& ac, const PosSample& at)
{
    const bool same = std::abs(at.latitude - ac.lastSpawnLatitude) <= kSamePositionDeg &&
                      std::abs(at.longitude - ac.lastSpawnLongitude) <= kSamePositionDeg;
    if (same && ac.spawnStandFound == 0)
        return true;
    ac.lastSpawnLatitude = at.latitude;
    ac.lastSpawnLongitude = at.longitude;
    return false;
}

bool lf_adjacentConflict(const LiveAc& ac, const ParkPos& stand)
{
    for (const std::int32_t adjacent : stand.adjacent)
        for (const LiveAc& other : gf_liveAircraft())
            if (lf_liveOverlapsAtStand(other, adjacent, ac, stand))
                return true;
    return false;
}

std::optional<ParkPos> lf_takeSpawnStand(LiveAc& ac, const ParkPos& stand)
{
    const auto standId = static_cast<std::int32_t>(stand.id);
    if (!lf_checkStandIsNotUsedByOtherLiveAircraftSub(standId, ac) || lf_adjacentConflict(ac, stand)) {
        ac.erase = 1;
        return std::nullopt;
    }
    ParkPos chosen = stand; // a copy: making way may change the stand list's neighbours, never this value
    if (gf_isStandFreeFor(standId, ac.hexId)) {
        PromotionCandidate out;
        lf_makeWayForLive(ac, out, chosen, 1);
        ac.promoteHexId = out.valid != 0 ? out.hexId : 0;
    }
    PosSample& front = ac.stream.front();
    if (front.skip == 0) {
        front.skip = 1;
        front.groundSpeed = 0.0;
    }
    return chosen;
}

std::string lf_makeWaySuffix(const StaticAc& st, const LiveAc& live)
{
    const bool same = st.head.callsign2 == live.head.callsign || st.head.registration == live.head.registration;
    return same ? " the same live version" : "";
}

void lf_makeWayQueued(StaticAc& st, const LiveAc& live, const ParkPos& stand)
{
    if (!lf_withdrawCreate(gf_staticCreateQueue(), st.hexId)) {
        st.removeAfterCreate = 1;
        return;
    }
    st.createCancelled = 1;
    gf_writeLogLine(fmt::format("queued {:8}: {:8} {} makes way for{} {} {}", stand.name, st.head.callsign,
                                st.head.registration, lf_makeWaySuffix(st, live), live.head.callsign,
                                live.head.registration));
    gf_eraseCancelledStatic();
}

bool lf_mayPromote(const StaticAc& st, const LiveAc& live, std::uint8_t allowPromotion)
{
    return allowPromotion != 0 && st.objectId >= 3 && st.removeAfterCreate == 0 && !live.head.registration.empty() &&
           live.head.registration == st.head.registration;
}

void lf_initialHeading(LiveAc& ac)
{
    const PosSample& front = ac.stream.front();
    double heading = 0.0;
    if (ac.respawnHeading)
        heading = *ac.respawnHeading;
    else if (ac.phase == FlightPhase::parked)
        heading = ac.standHeading;
    else if (ac.stream.size() > 1 && ac.stream[1].skip != 0)
        heading = front.heading * kDegToRad;
    else if (ac.stream.size() > 1)
        heading = gf_initialBearing(lf_sampleAt(front), lf_sampleAt(ac.stream[1]));
    if (!std::isfinite(heading)) {
        ac.pose.heading = 0.0;
        ac.origDestHeading = 0.0;
        return;
    }
    heading = std::fmod(heading, kFullCircle);
    if (heading < 0.0)
        heading += kFullCircle;
    ac.pose.heading = heading < kFullCircle ? heading : 0.0;
    ac.origDestHeading = front.airborne != 0 ? 0.0 : ac.pose.heading;
}

double lf_bankLimit(const LiveAc& ac)
{
    const auto hooks = gf_trafficGroundHooks();
    if (!hooks->limitBank) {
        gf_refuseUnsetGroundHook("limitBank");
        return 0.0;
    }
    return hooks->limitBank(gf_categoryBankLimit(ac.category), ac.phase == FlightPhase::landing, ac.heightAboveGround,
                            false);
}

bool lf_promotable(const StaticAc* st, const LiveAc& live)
{
    return st != nullptr && st->simState == SimState::active && st->standId == live.standId && st->objectId >= 3 &&
           gf_liveHoldsStand(live.standId, live.hexId) && gf_standOccupiedByLive(live.standId, live.hexId) == 0;
}

void lf_takeParkedObjectData(LiveAc& live, const StaticAc& st)
{
    live.liveryTitle = st.liveryTitle;
    live.simPose = st.simPose;
    live.simPosePresent = st.simPosePresent;
    live.groundOffset = st.groundOffset;
    live.groundOffsetFromSim = st.groundOffsetFromSim;
    live.parkedPitch = st.parkedPitch;
    live.groundOffsetKnown = st.groundOffsetKnown;
    live.promoted = 1;
}

void lf_showAfterPromotion(LiveAc& live, std::uint32_t objectId)
{
    if (live.simPosePresent == 0 || live.groundOffsetKnown == 0) {
        live.simState = SimState::adding2sim;
        SimObjectResult wait;
        wait.objectId = objectId;
        wait.hexId = live.hexId;
        wait.age = kPromotionCommandAge;
        wait.kind = SimResultKind::LiveCreated;
        gf_simResultLists().delayed.push_back(wait);
        return;
    }
    lf_activateLive(live);
}

} // namespace

std::optional<ParkReference> lf_parkReference()
{
    const auto park = gf_currentParkAirport();
    if (!park || !park->code.isSet() || !gf_isValidLalo(park->latitude, park->longitude))
        return std::nullopt;
    ParkReference ref;
    ref.code = park->code;
    ref.position = LatLon{park->latitude, park->longitude};
    if (const auto record = gf_findAirport(park->code)) {
        ref.elevationFt = record->altitude;
        ref.iata = record->iata;
    }
    return ref;
}


void gf_setLiveLiveryMatcher(LiveLiveryMatcher matcher)
{
    if (!matcher)
        matcher = lf_matchThroughIndex;
    lv_matcher.store(std::make_shared<const LiveLiveryMatcher>(std::move(matcher)));
}

bool lf_liveryForLive(LiveAc& aircraft, double altitudeFt)
{
    if (!aircraft.liveryTitle.empty())
        return true;
    auto& book = gf_liveryBookkeeping();
    if (const auto remembered = book.rememberedTitle(aircraft.hexId)) {
        aircraft.liveryTitle = *remembered;
        return true;
    }
    const auto matcher = lv_matcher.load();
    if (!(*matcher)(aircraft, altitudeFt) || aircraft.liveryTitle.empty())
        return false;
    book.remember(aircraft.hexId, aircraft.liveryTitle);
    return true;
}

void lf_trySpawnLive(LiveAc& aircraft)
{
    auto& s = aircraft.stream;
    if (s.empty()) {
        aircraft.erase = 1;
        return;
    }
    if (gf_engineTick() < s.front().dueTick)
        return;
    if (s.size() == 1) {
        lf_dropFront(aircraft);
        aircraft.erase = 1;
        return;
    }
    const auto settings = gf_settings();
    if (lf_refusedBeforeIdentity(aircraft)) {
        aircraft.erase = 1;
        return;
    }
    if (lf_lowOverParkAirport(aircraft)) {
        lf_dropFront(aircraft);
        return;
    }
    if (lf_spawnCollisionCheck(aircraft))
        return;
    if (gf_liveCreateQueue().size() > kMaxQueuedLiveCreates && aircraft.phase == FlightPhase::birth) {
        lf_dropFront(aircraft);
        return;
    }
    if (settings->MAX_LIVE_SEL == 0 || !lf_withinLiveLimit(aircraft, settings->MAX_LIVE_SEL)) {
        aircraft.erase = 1;
        return;
    }
    lf_resolveLiveIdentity(aircraft);
    if (lf_refusedAfterIdentity(aircraft, *settings)) {
        aircraft.erase = 1;
        return;
    }
    spawnLiveAc(aircraft);
}

void lf_resolveLiveIdentity(LiveAc& aircraft)
{
    LiveryKey& key = aircraft.head.key;
    if (key.valid != 0)
        return;
    if (!aircraft.head.registration.empty())
        if (const auto hit = gf_lookupRegcode(aircraft.head.registration))
            key = *hit;
    if (key.airline == 0 && !gf_airlineFromCallsign(aircraft.head))
        key.airline = gf_airlineCode2Index("PVT");
    if (gf_modelCodeText(key.model) == "B777" && gf_isCargoKey(key)) {
        key.model = gf_modelCode2Index("B77F");
        key.cargo = 1;
    }
}

void spawnLiveAc(LiveAc& aircraft)
{
    aircraft.promoteHexId = 0;
    if (aircraft.stream.size() < 2) {
        gf_writeLogNotice(fmt::format("{} sz:{}", "spawnLiveAc", aircraft.stream.size()));
        return;
    }
    if (aircraft.head.registration.empty())
        aircraft.head.registration = aircraft.head.callsign;
    lf_mendStandingStream(aircraft);
    if (aircraft.phase == FlightPhase::birth && !lf_prepareBirth(aircraft))
        return;
    if (aircraft.erase != 0)
        return;
    lf_initialPose(aircraft);
    if (aircraft.promoteHexId != 0 && lf_promoteStaticToLive(aircraft))
        return;
    aircraft.simState = SimState::adding2sim;
    gf_addingStack().push_back(aircraft.hexId);
    if (!aircraft.head.callsign.ends_with('_'))
        lf_removeGhostWithUnderscoreIfPresent(aircraft.head.callsign);
}

std::optional<ParkPos> lf_chooseSpawnStand(LiveAc& aircraft)
{
    const auto park = lf_parkReference();
    if (!park || gf_stands().empty())
        return std::nullopt;
    const PosSample& front = aircraft.stream.front();
    if (!gf_withinGroundRadius(lf_sampleAt(front), park->position))
        return std::nullopt;
    const PosSample* at = lf_standSearchPosition(aircraft);
    if (at == nullptr || lf_sameAsLastTry(aircraft, *at))
        return std::nullopt;
    const auto hooks = gf_trafficGroundHooks();
    if (!hooks->findNearestStand)
        gf_refuseUnsetGroundHook("findNearestStand");
    const ParkPos* stand = hooks->findNearestStand ? hooks->findNearestStand(lf_sampleAt(*at), aircraft) : nullptr;
    aircraft.spawnStandFound = stand != nullptr ? 1 : 0;
    if (stand == nullptr || gf_isUserStand(*stand, aircraft, false))
        return std::nullopt;
    return lf_takeSpawnStand(aircraft, *stand);
}

void lf_makeWayForLive(LiveAc& aircraft, PromotionCandidate& promotion, const ParkPos& stand,
                       std::uint8_t allowPromotion)
{
    promotion = {};
    for (StaticAc& st : gf_staticAircraft()) {
        if (st.standId != static_cast<std::int32_t>(stand.id))
            continue;
        if (st.simState == SimState::adding2sim) {
            lf_makeWayQueued(st, aircraft, stand);
        } else if (st.simState == SimState::active) {
            if (lf_mayPromote(st, aircraft, allowPromotion)) {
                promotion = {st.hexId, 1};
            } else {
                gf_writeLogLine(fmt::format("{:14}: {:8} {} makes way for{} {} {}", stand.name, st.head.callsign,
                                            st.head.registration, lf_makeWaySuffix(st, aircraft),
                                            aircraft.head.callsign, aircraft.head.registration));
                removeAircraftFromSim(st);
            }
        }
        break;
    }
    for (const std::int32_t adjacent : stand.adjacent)
        lf_makeWayAtExcludedStand(aircraft, adjacent, stand);
}

void lf_makeWayAtExcludedStand(LiveAc& aircraft, std::int32_t adjacentStandId, const ParkPos& stand)
{
    const ParkPos* adjacent = gf_standById(adjacentStandId);
    const LatLon at = adjacent != nullptr ? LatLon{adjacent->latitude, adjacent->longitude} : LatLon{0.0, 0.0};
    const double distanceSq = gf_flatDistanceSqNm(at, LatLon{stand.latitude, stand.longitude}, std::cos(at.latitude * kDegToRad));
    for (StaticAc& st : gf_staticAircraft()) {
        const double radii = st.proximityRadius + aircraft.proximityRadius;
        if (st.simState != SimState::active || st.standId != adjacentStandId || !(radii > 0.0) ||
            radii * radii < distanceSq)
            continue;
        gf_writeLogLine(fmt::format("{:14}: {:8} makes way for {} parking at excluded stand {}",
                                    gf_standName(adjacentStandId, gf_stands()), st.head.callsign, aircraft.head.callsign,
                                    stand.name));
        removeAircraftFromSim(st);
        return;
    }
}

void lf_initialPose(LiveAc& aircraft)
{
    gf_followUpList().push_back(aircraft.hexId);
    const PosSample& front = aircraft.stream.front();
    const double limit = lf_bankLimit(aircraft);
    aircraft.pose.bank = front.bank && std::isfinite(*front.bank) ? std::clamp(*front.bank, -limit, limit) : 0.0;
    aircraft.pose.pitch = front.airborne != 0 ? gf_pitchFromVerticalSpeed(front, aircraft.category) : kGroundPitchRad;
    aircraft.pose.latitude = front.latitude;
    aircraft.pose.longitude = front.longitude;
    aircraft.pose.altitude = front.altitude;
    aircraft.pose.verticalSpeed = front.verticalSpeed;
    aircraft.pose.speed = front.trueAirspeed;
    lf_initialHeading(aircraft);
    aircraft.userConflictAtSpawn = 0;
}

void LiveAc::adoptSimPose()
{
    if (phase == FlightPhase::parked && simPosePresent != 0) {
        pose = simPose;
        pose.verticalSpeed = 0.0;
        pose.speed = 0.0;
        if (!stream.empty()) {
            PosSample& front = stream.front();
            front.latitude = pose.latitude;
            front.longitude = pose.longitude;
            front.heading = pose.heading * kRadToDeg;
            front.altitude = pose.altitude;
        }
    }
    applyParkedAltitude();
}

void LiveAc::applyParkedAltitude()
{
    if (phase != FlightPhase::parked || promoted != 0 || simPosePresent == 0 || !simGroundAltitude ||
        groundOffsetKnown == 0)
        return;
    pose.altitude = *simGroundAltitude + groundOffset;
    if (!stream.empty())
        stream.front().altitude = pose.altitude;
}

void LiveAc::resetForRespawn()
{
    gf_forgetRememberedLivery(hexId);
    liveryTitle = {};
    setPhase(FlightPhase::birth);
}

bool lf_promoteStaticToLive(LiveAc& aircraft)
{
    StaticAc* st = gf_staticByHex(aircraft.promoteHexId);
    if (!lf_promotable(st, aircraft))
        return false;
    lf_takeParkedObjectData(aircraft, *st);
    const std::uint32_t objectId = st->objectId;
    const std::string line = fmt::format("{:14}: {:8} {} promoted to live {} {}", gf_standName(st->standId, gf_stands()),
                                         st->head.callsign, st->head.registration, aircraft.head.callsign,
                                         aircraft.head.registration);
    gf_eraseStaticAc(*st);
    ++gf_promotionCount();
    aircraft.adoptSimPose();
    gf_queueParkedRelease(objectId);
    SimObjectResult created;
    created.objectId = objectId;
    created.hexId = aircraft.hexId;
    if (!lf_liveObjectCreated(aircraft, created, true)) {
        gf_writeLogNotice(fmt::format("Promotion failed for {} object {}", aircraft.head.callsign, objectId));
        aircraft.erase = 0;
        aircraft.removeAfterCreate = 0;
        gf_removalQueue().push_back(objectId); // nobody owns the parked object any more
        return false;
    }
    lf_showAfterPromotion(aircraft, objectId);
    gf_writeLogLine(line);
    return true;
}

} // namespace zelk
