// A live aircraft claims a stand; what stands there or on an overlapping
// neighbour makes room; the parked live aircraft that stay, and their count.
#include "traffic/StandClaims.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "core/Log.h"
#include "gui/WaitClock.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/SimRemoval.h"
#include "traffic/Spawn.h"
#include "traffic/StandFit.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr double kSamePlaceDeg = 1e-8;
constexpr std::int32_t kHeavySilenceS = 180;
constexpr std::int32_t kSilenceS = 90;

bool lf_samePlace(double latA, double lonA, double latB, double lonB)
{
    return std::abs(latA - latB) <= kSamePlaceDeg && std::abs(lonA - lonB) <= kSamePlaceDeg;
}

bool lf_standRefused(const LiveAc& ac, const ParkPos& stand)
{
    const bool rotorcraft = ac.category == AcCategory::Rotorcraft;
    return ac.stream.empty() || stand.blocked != 0 || (stand.helipad != 0) != rotorcraft ||
           !gf_acFitsStand(stand, ac.category, ac.sizeRadius) || gf_isUserStand(stand, ac, false);
}

// The stream waits at the stand for the drive: only its oldest sample stays.
void lf_keepOldestSample(LiveAc& ac, const ParkPos& stand, bool keepStream)
{
    ac.stream.resize(1);
    PosSample& oldest = ac.stream.front();
    const bool oldestOnStand = lf_samePlace(oldest.latitude, oldest.longitude, stand.latitude, stand.longitude);
    const bool poseOnStand = lf_samePlace(ac.pose.latitude, ac.pose.longitude, stand.latitude, stand.longitude);
    if (keepStream || (oldestOnStand && !poseOnStand)) {
        oldest.dueTick = gf_engineTick();
        oldest.skip = 0;
    }
}

void lf_driveIn(LiveAc& ac, const ParkPos& stand)
{
    if (ac.phase != FlightPhase::parking)
        ac.setPhase(FlightPhase::parking);
    const auto hooks = gf_trafficGroundHooks();
    if (hooks->drive2Stand)
        hooks->drive2Stand(ac, LatLon{stand.latitude, stand.longitude}, stand.heading, true);
    else
        gf_refuseUnsetGroundHook("drive2Stand");
    auto& s = ac.stream;
    if (s.size() >= 2 && s[1].skip == 0 && lf_samePlace(s[1].latitude, s[1].longitude, s[0].latitude, s[0].longitude))
        s[1].skip = 1;
}

bool lf_parkedPhase(FlightPhase phase)
{
    return phase == FlightPhase::parking || phase == FlightPhase::pushing_back || phase == FlightPhase::pushed_back;
}

void lf_removeReported(LiveAc& ac, const char* operation) noexcept
{
    try {
        removeAircraftFromSim(ac);
    } catch (...) {
        gf_reportTrafficException(operation);
    }
}

std::int64_t lf_secondsSince(std::int64_t steadyTicks)
{
    const auto now = gf_steadyNow().time_since_epoch();
    const auto then = std::chrono::steady_clock::duration(steadyTicks);
    return std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
}

} // namespace

bool LiveAc::claimStand(const ParkPos& stand, bool keepStream)
{
    if (lf_standRefused(*this, stand) || !lf_checkStandOrExcludedIsOccupiedByLiveParkedTry(stand, *this) ||
        !gf_isStandFreeFor(static_cast<std::int32_t>(stand.id), hexId))
        return false;
    PromotionCandidate none;
    lf_makeWayForLive(*this, none, stand, 0);
    standEntryFound = 0;
    placeAtStand(stand);
    lf_keepOldestSample(*this, stand, keepStream);
    lf_driveIn(*this, stand);
    return true;
}

bool lf_checkStandOrExcludedIsOccupiedByLiveParkedTry(const ParkPos& stand, LiveAc& claimant)
{
    const auto sid = static_cast<std::int32_t>(stand.id);
    for (LiveAc& other : gf_liveAircraft()) {
        if (other.hexId == claimant.hexId || other.standId != sid)
            continue;
        if (lf_parkedPhase(other.phase))
            return false;
        if (other.phase != FlightPhase::parked)
            continue;
        if (other.simState == SimState::active) {
            gf_writeLogLine(fmt::format("{:14}: {:8} removed, {} wants to park there", stand.name,
                                        other.head.callsign, claimant.head.callsign));
            lf_removeReported(other, "lf_checkStandOrExcludedIsOccupiedByLiveParkedTry");
        }
        return false;
    }
    return std::all_of(stand.adjacent.begin(), stand.adjacent.end(), [&](std::int32_t adjacent) {
        return lf_checkExcludedStandIsAvailableForLiveParkingTry(adjacent, claimant, stand);
    });
}

bool lf_checkExcludedStandIsAvailableForLiveParkingTry(std::int32_t adjacentStandId, LiveAc& claimant,
                                                       const ParkPos& stand)
{
    for (LiveAc& other : gf_liveAircraft()) {
        if (!lf_liveOverlapsAtStand(other, adjacentStandId, claimant, stand))
            continue;
        if (other.simState == SimState::active &&
            (other.phase == FlightPhase::pushing_back || other.phase == FlightPhase::parking ||
             other.phase == FlightPhase::parked)) {
            gf_writeLogLine(fmt::format("{:14}: {:8} removed by parking {} at colliding adjacent stand {}",
                                        gf_standName(adjacentStandId, gf_stands()), other.head.callsign,
                                        claimant.head.callsign, stand.name));
            lf_removeReported(other, "lf_checkExcludedStandIsAvailableForLiveParkingTry");
        }
        return false;
    }
    return true;
}

void lf_collectLiveStayers()
{
    auto& stayers = gf_liveStayers();
    stayers.clear();
    stayers.reserve(gf_liveAircraft().size());
    for (LiveAc& ac : gf_liveAircraft()) {
        if (ac.phase != FlightPhase::parked || ac.simState != SimState::active)
            continue;
        if (ac.streamExtendedAtStand != 0) {
            stayers.push_back({ac.head.callsign, ac.head.registration, 0, ac.standId, 0});
            continue;
        }
        // A stayer whose parking went unrecorded counts its silence from now on.
        if (ac.lastNearStandTime == 0)
            ac.lastNearStandTime = gf_steadyNow().time_since_epoch().count();
        const std::int64_t seconds = lf_secondsSince(ac.lastNearStandTime);
        const std::int32_t limit = ac.category == AcCategory::Heavy ? kHeavySilenceS : kSilenceS;
        if (seconds > limit) {
            lf_removeReported(ac, "lf_collectLiveStayers");
            continue;
        }
        stayers.push_back({ac.head.callsign, ac.head.registration, 0, ac.standId,
                           static_cast<std::int32_t>(std::max<std::int64_t>(seconds, 0))});
    }
    std::stable_sort(stayers.begin(), stayers.end(),
                     [](const LiveStayer& a, const LiveStayer& b) { return a.seconds < b.seconds; });
}

std::int64_t gf_countLiveParked(bool report)
{
    const WeekSlot now = gf_currentWeekSlot();
    std::int64_t count = 0;
    std::int64_t aged = 0;
    std::int64_t ageSum = 0;
    for (const LiveAc& ac : gf_liveAircraft()) {
        if (ac.phase != FlightPhase::parked || ac.simState != SimState::active)
            continue;
        ++count;
        const std::int64_t age = gf_weekSlotAge(ac.weekSlot, now);
        if (age <= 0)
            continue;
        ageSum += age;
        ++aged;
    }
    if (report)
        gf_postTrafficScreenUpdate(gui_update::SetLiveFit{gf_averageAgeHours(ageSum, aged)});
    return count;
}

} // namespace zelk
