#include "traffic/SimObjectResults.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Published.h"
#include "core/Settings.h"
#include "simlink/SimClient.h"
#include "simlink/SimQueues.h"
#include "traffic/AcTextForms.h"
#include "traffic/AiObjectEvents.h"
#include "traffic/EngineTick.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/SimRemoval.h"
#include "traffic/SimResultSteps.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficIntake.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr std::int32_t kActivationAge = 200; // passes a created object waits (2 s)
constexpr std::int32_t kParkedDataAge = 500; // passes a parked one waits for its pose and CG
constexpr std::int32_t kFirstLightToggleAge = 49;
constexpr std::int32_t kSecondLightToggleAge = 99;
constexpr double kLowFlightFt = 10000.0;
constexpr double kCabinLightHeightFt = 2000.0;

Published<const SimResultSteps> g_steps{std::make_shared<const SimResultSteps>()};
std::atomic<std::uint64_t> g_parkedPlaced{0};

// Records are found again by hex id or object id on every use (no pointer
// outlives the pass); the vectors are short enough for a linear search.
template <typename Record>
Record* lf_findBy(std::vector<Record>& records, std::uint32_t StaticAc::*field, std::uint32_t value)
{
    for (auto& ac : records)
        if (ac.*field == value)
            return &ac;
    return nullptr;
}

LiveAc* lf_liveByHex(std::uint32_t hexId) { return lf_findBy(gf_liveAircraft(), &StaticAc::hexId, hexId); }
LiveAc* lf_liveByObject(std::uint32_t objectId) { return lf_findBy(gf_liveAircraft(), &StaticAc::objectId, objectId); }
StaticAc* lf_staticByObject(std::uint32_t objectId)
{
    return lf_findBy(gf_staticAircraft(), &StaticAc::objectId, objectId);
}

void lf_forget(std::uint32_t hexId, std::uint32_t objectId)
{
    const auto steps = gf_simResultSteps();
    if (steps->forgetSimObject) {
        steps->forgetSimObject(hexId, objectId);
        return;
    }
    auto& delayed = gf_simResultLists().delayed;
    std::erase_if(delayed, [&](const SimObjectResult& r) {
        return r.hexId == hexId || (r.hexId == 0 && objectId != 0 && r.objectId == objectId);
    });
}

// Records are found again by pointer right before this; the last record takes the slot.
template <typename Record>
void lf_eraseBySwap(std::vector<Record>& records, Record& record)
{
    Record* last = &records.back();
    if (&record != last)
        record = std::move(*last);
    records.pop_back();
}

void lf_eraseLive(LiveAc& ac)
{
    const auto steps = gf_simResultSteps();
    if (steps->cleanupLiveAircraft)
        steps->cleanupLiveAircraft(ac);
    else
        lf_forget(ac.hexId, ac.objectId);
    lf_eraseBySwap(gf_liveAircraft(), ac);
}

void lf_eraseStatic(StaticAc& ac)
{
    lf_forget(ac.hexId, ac.objectId);
    lf_eraseBySwap(gf_staticAircraft(), ac);
}

// An object nobody owns any more would stay in the simulator for good.
void lf_removeOrphan(std::uint32_t objectId)
{
    if (objectId < 3)
        return;
    auto& queue = gf_removalQueue();
    if (std::find(queue.begin(), queue.end(), objectId) == queue.end())
        queue.push_back(objectId);
}

// The aircraft of a delayed command is gone: its object must not stay behind. Done.
bool lf_expireDelayedCommand(std::string_view which, const SimObjectResult& result)
{
    gf_writeLogNotice(fmt::format("Delayed {} command expired: hexid:{:x}, objectid:{} no longer exists", which,
                                  result.hexId, gf_formatObjectId(result.objectId)));
    lf_removeOrphan(result.objectId);
    return true;
}

// The simulator's ground altitude under the object, or its height above that
// ground: either one puts a parked object onto its parked altitude. The record's
// height stays at its no-report default until a position report arrives, and a
// parked object never stands that high.
bool lf_hasParkedAltitudeValue(const LiveAc& ac)
{
    return ac.simGroundAltitude.has_value() || ac.heightAboveGround < kNoHeightReportFt;
}

std::string lf_standName(std::int32_t standId) { return gf_standName(standId, gf_stands()); }

void lf_registerFailure(const StaticAc& ac, std::exception_ptr& firstError)
{
    try {
        gf_registerUncreatableLivery(ac);
    } catch (...) {
        // Finish the batch first: the record must still go, and the other results still apply.
        if (!firstError)
            firstError = std::current_exception();
    }
}

void lf_applyInitialPose(const SimObjectResult& r)
{
    const auto& v = r.payload;
    if (!gf_isValidLalo(v[0], v[1]) || !std::isfinite(v[2]) || !std::isfinite(v[3]) || !std::isfinite(v[4]) ||
        !std::isfinite(v[5]))
        return;
    double heading = std::fmod(v[4], kFullCircle);
    if (heading < 0.0)
        heading += kFullCircle;
    if (heading >= kFullCircle)
        heading = 0.0;
    const AcPose pose{v[0], v[1], v[2], v[3], heading, v[5], v[6], v[7]};
    if (LiveAc* live = lf_liveByObject(r.objectId); live != nullptr && live->simState == SimState::adding2sim) {
        live->simPose = pose;
        live->simPosePresent = 1;
        if (const auto steps = gf_simResultSteps(); steps->adoptSimPose)
            steps->adoptSimPose(*live);
    }
    if (StaticAc* st = lf_staticByObject(r.objectId)) {
        st->simPose = pose;
        st->simPosePresent = 1;
    }
}

void lf_applyResult(const SimObjectResult& r, std::exception_ptr& firstError)
{
    const auto steps = gf_simResultSteps();
    auto& delayed = gf_simResultLists().delayed;
    switch (r.kind) {
    case SimResultKind::LiveCreated: {
        LiveAc* ac = lf_liveByHex(r.hexId);
        if (ac == nullptr) {
            lf_removeOrphan(r.objectId);
            return;
        }
        if (lf_liveObjectCreated(*ac, r, false)) {
            SimObjectResult entry = r;
            entry.age = 0;
            delayed.push_back(entry);
        }
        return;
    }
    case SimResultKind::StaticCreated: {
        if (StaticAc* st = gf_staticByHex(r.hexId)) {
            st->objectId = r.objectId;
            gf_requestAiInitialPose(r.objectId);
            gf_requestAiStaticCgAndPitch(r.objectId);
        }
        SimObjectResult entry = r;
        entry.age = 0;
        delayed.push_back(entry);
        return;
    }
    case SimResultKind::ObjectRemoved: {
        LiveAc* live = lf_liveByObject(r.objectId);
        if (live == nullptr) {
            if (StaticAc* st = lf_staticByObject(r.objectId))
                lf_eraseStatic(*st);
            return;
        }
        if (live->simState == SimState::liveryrespawn) {
            // Shown again with its new livery.
            gf_returnToBufferForRespawn(*live);
            live->objectId = 0;
            return;
        }
        lf_eraseLive(*live);
        return;
    }
    case SimResultKind::AiPosition: {
        LiveAc* live = lf_liveByObject(r.objectId);
        if (live == nullptr || !steps->placeFromSimPosition)
            return;
        if (r.hexId == 1 && live->onGround == 0 && live->placementCounter < 2 && steps->landingPlacement) {
            steps->landingPlacement(*live);
            if (live->onGround != 0) {
                std::string_view source = "simconnect";
                steps->placeFromSimPosition(*live, r, source);
                return;
            }
        }
        std::string_view source;
        steps->placeFromSimPosition(*live, r, source);
        return;
    }
    case SimResultKind::StaticCgPitch:
        if (LiveAc* live = lf_liveByObject(r.objectId)) {
            lf_applyStaticCgAndPitch(*live, r);
            if (steps->applyParkedAltitude)
                steps->applyParkedAltitude(*live);
        }
        if (StaticAc* st = lf_staticByObject(r.objectId))
            lf_applyStaticCgAndPitch(*st, r);
        return;
    case SimResultKind::InitialPose:
        lf_applyInitialPose(r);
        return;
    case SimResultKind::CreateFailed:
        if (!gf_isParkedHexId(r.hexId)) {
            if (LiveAc* live = lf_liveByHex(r.hexId)) {
                lf_registerFailure(*live, firstError);
                lf_eraseLive(*live);
            }
        } else if (StaticAc* st = gf_staticByHex(r.hexId)) {
            lf_registerFailure(*st, firstError);
            lf_eraseStatic(*st);
        }
        return;
    }
}

} // namespace

void gf_setSimResultSteps(SimResultSteps steps)
{
    g_steps.store(std::make_shared<const SimResultSteps>(std::move(steps)));
}

std::shared_ptr<const SimResultSteps> gf_simResultSteps() { return g_steps.load(); }

std::uint64_t gf_parkedObjectsPlaced() noexcept { return g_parkedPlaced.load(); }

void gf_processSimObjectResults()
{
    auto& lists = gf_simResultLists();
    gf_takeSimObjectResults(lists.processing);
    std::exception_ptr firstError;
    for (const SimObjectResult& r : lists.processing) {
        if (static_cast<std::uint32_t>(r.kind) > static_cast<std::uint32_t>(SimResultKind::CreateFailed))
            continue;
        try {
            lf_applyResult(r, firstError);
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
            else
                gf_reportTrafficException("gf_processSimObjectResults");
        }
    }
    // Emptied in every case, so a rethrown error never makes the next pass apply these again.
    lists.processing.clear();

    auto& delayed = lists.delayed;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < delayed.size(); ++i) {
        bool done = true;
        try {
            done = lf_applyDelayedSimCommand(delayed[i]);
        } catch (...) {
            gf_reportTrafficException("lf_applyDelayedSimCommand");
        }
        if (!done) {
            if (kept != i)
                delayed[kept] = delayed[i];
            ++kept;
        }
    }
    delayed.resize(kept);

    if (firstError)
        std::rethrow_exception(firstError);
}

bool lf_liveObjectCreated(LiveAc& aircraft, const SimObjectResult& result, bool flag)
{
    if (result.objectId < 3) {
        // No real object: the aircraft would wait in adding2sim for ever and count against the live limit.
        aircraft.erase = 1;
        return false;
    }
    aircraft.objectId = result.objectId;
    const auto steps = gf_simResultSteps();
    const bool parked = aircraft.phase == FlightPhase::parked;
    if (parked) {
        const bool holds = !steps->liveHoldsStand || steps->liveHoldsStand(aircraft.standId, aircraft.hexId);
        const bool occupied =
            steps->standOccupiedByLive && steps->standOccupiedByLive(aircraft.standId, aircraft.hexId) != 0;
        if (!holds || occupied) {
            gf_writeLogLine(fmt::format("{:14}: {} created without owning the live stand reservation, will be removed",
                                        lf_standName(aircraft.standId), aircraft.head.callsign));
            aircraft.removeAfterCreate = 1;
            return true;
        }
    }
    if (!aircraft.stream.empty() && aircraft.stream.front().airborne == 0 && steps->handleGroundTraffic)
        steps->handleGroundTraffic(aircraft, flag);
    if (steps->createAiFlightPlan)
        steps->createAiFlightPlan(aircraft);
    if (parked && aircraft.simPosePresent == 0)
        gf_requestAiInitialPose(aircraft.objectId);
    if (aircraft.groundOffsetKnown == 0)
        gf_requestAiStaticCgAndPitch(aircraft.objectId);
    return true;
}

void lf_activateLive(LiveAc& aircraft)
{
    const bool airborne = !aircraft.stream.empty() && aircraft.stream.front().airborne != 0;
    aircraft.airborneAtActivation = airborne ? 1 : 0;
    aircraft.activationTick = gf_engineTick();
    std::array<std::uint32_t, 7> lights{};
    if (airborne) {
        gf_queueEngineAutoStart(aircraft.objectId);
        gf_setSpoilers(aircraft, false);
        const std::uint32_t low = aircraft.pose.altitude <= kLowFlightFt ? 1 : 0;
        lights = {1, 1, low, 0, 1, low, aircraft.heightAboveGround >= kCabinLightHeightFt ? 1u : 0u};
        gf_queueAiLights(aircraft.objectId, lights);
    } else {
        gf_setSpoilers(aircraft, false);
        if (aircraft.phase == FlightPhase::parked) {
            gf_queueEngineAutoShutdown(aircraft.objectId);
            lights = {gf_settings()->NAV_LIGHTS_WHILE_PARKED ? 1u : 0u, 0, 0, 0, 0, 1, 1};
        } else {
            gf_queueEngineAutoStart(aircraft.objectId);
            lights = {1, 1, 0, aircraft.phase == FlightPhase::taxi ? 1u : 0u, 0, 1, 1};
        }
        gf_queueAiLights(aircraft.objectId, lights);
        gf_setThrottle(aircraft, aircraft.category == AcCategory::Rotorcraft ? 4 : 0);
        gf_setFlaps(aircraft, aircraft.phase == FlightPhase::taxi ? 1 : 0);
    }
    aircraft.simState = SimState::active;
}

bool lf_applyDelayedSimCommand(SimObjectResult& result)
{
    const std::int32_t age = result.age;
    if (age < kActivationAge) {
        result.age = age + 1;
        if (result.kind == SimResultKind::LiveCreated && (age == kFirstLightToggleAge || age == kSecondLightToggleAge))
            gf_queueClientEvent(AiClientEvent{result.objectId, ALL_LIGHTS_TOGGLE, 0});
        return false;
    }
    bool done = true;
    if (result.kind == SimResultKind::LiveCreated) {
        done = lf_applyDelayedLiveCommand(result);
    } else if (result.kind == SimResultKind::StaticCreated) {
        done = lf_applyDelayedStaticCommand(result);
    } else {
        gf_writeLogNotice(fmt::format("Unexpected delayed SimCommand {} for hexid:{:x}",
                                      static_cast<std::uint32_t>(result.kind), result.hexId));
    }
    if (!done)
        ++result.age;
    return done;
}

bool lf_applyDelayedLiveCommand(SimObjectResult& result)
{
    LiveAc* ac = lf_liveByHex(result.hexId);
    if (ac == nullptr)
        return lf_expireDelayedCommand("live", result);
    if (ac->phase == FlightPhase::parked) {
        const bool complete = ac->simPosePresent != 0 && ac->groundOffsetKnown != 0 && lf_hasParkedAltitudeValue(*ac);
        if (!complete) {
            if (ac->removeAfterCreate == 0 && result.age < kParkedDataAge)
                return false;
            gf_writeLogNotice(
                fmt::format("{} initial simulator pose/CG unavailable; using fallback position", ac->head.callsign));
        }
    }
    lf_activateLive(*ac);
    if (ac->removeAfterCreate != 0)
        removeAircraftFromSim(*ac);
    return true;
}

bool lf_applyDelayedStaticCommand(SimObjectResult& result)
{
    StaticAc* st = gf_staticByHex(result.hexId);
    if (st == nullptr)
        return lf_expireDelayedCommand("static", result);
    const bool complete = st->simPosePresent != 0 && st->groundOffsetKnown != 0;
    if (st->removeAfterCreate == 0 && !complete && result.age < kParkedDataAge)
        return false;
    if (!complete)
        gf_writeLogNotice(
            fmt::format("{} static simulator pose/CG unavailable; using simulator placement", st->head.callsign));
    st->simState = SimState::active;
    st->objectId = result.objectId;
    lf_setupStaticObject(*st);
    gf_requestAiInitialPose(result.objectId);
    gf_writeLogLine(fmt::format("{:14}: {:8} parked", lf_standName(st->standId), st->head.callsign));
    g_parkedPlaced.fetch_add(1);
    if (st->removeAfterCreate != 0)
        removeAircraftFromSim(*st);
    return true;
}

} // namespace zelk
