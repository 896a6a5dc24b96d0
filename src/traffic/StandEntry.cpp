// A live aircraft on the ground against the parked aircraft it reaches, and
// the stand search of a taxiing aircraft with the reasons it keeps when no
// stand will take it.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Log.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CollisionRules.h"
#include "traffic/FlatDistance.h"
#include "traffic/SimRemoval.h"
#include "traffic/StandClaims.h"
#include "traffic/StandFit.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr double kNoteRangeM = 60.0;
constexpr double kNoteRangeSqNm = (kNoteRangeM / kMetresPerNm) * (kNoteRangeM / kMetresPerNm);
constexpr double kParkedHeadingDeg = 45.0;
constexpr double kTakeAtOnceDeg = 10.0;
constexpr double kTakeWithGeometryDeg = 20.0;
constexpr double kMaxSpeedKt = 6.0;
constexpr double kApproachMarginM = 0.5;

constexpr std::string_view kNoParkingType = "stand has no parking type";
constexpr std::string_view kBlocked = "stand blocked";
constexpr std::string_view kTypeMismatch = "aircraft type does not match stand";
constexpr std::string_view kNoFit = "aircraft does not fit stand";
constexpr std::string_view kUnknownRoute = "unknown route; stand approach not confirmed";
constexpr std::string_view kNoArrival = "arrival context not confirmed";
constexpr std::string_view kTooFast = "current speed exceeds 6 kt";
constexpr std::string_view kClaimRefused = "stand protected, occupied or not reserved";

// Heading difference the short way round, signed, in radians.
double lf_headingDelta(double toRad, double fromRad) { return std::remainder(toRad - fromRad, 2.0 * std::numbers::pi); }

LatLon lf_pos(const LiveAc& ac) { return LatLon{ac.pose.latitude, ac.pose.longitude}; }
LatLon lf_pos(const ParkPos& stand) { return LatLon{stand.latitude, stand.longitude}; }

double lf_flatDistanceM(const LatLon& a, const LatLon& b, double cosLatitude)
{
    return std::sqrt(gf_flatDistanceSqNm(a, b, cosLatitude)) * kMetresPerNm;
}

double lf_cosLatitude(const LatLon& at) { return std::cos(at.latitude * kDegToRad); }

std::optional<RelativePosition> lf_seenFromStand(const TrafficGroundHooks& hooks, const ParkPos& stand,
                                                 const LatLon& at)
{
    if (!hooks.relativePosition) {
        gf_refuseUnsetGroundHook("relativePosition");
        return std::nullopt;
    }
    return hooks.relativePosition(lf_pos(stand), stand.heading, at);
}

// The first of the stand's own refusals, empty when the aircraft may use it.
std::string_view lf_standRefusal(const ParkPos& stand, const LiveAc& ac)
{
    if (stand.hasParkingType == 0)
        return kNoParkingType;
    if (stand.blocked != 0)
        return kBlocked;
    if ((stand.helipad != 0) != (ac.category == AcCategory::Rotorcraft))
        return kTypeMismatch;
    if (!gf_acFitsStand(stand, ac.category, ac.sizeRadius))
        return kNoFit;
    return {};
}

// Seen from the stand, the live aircraft's heading line passes the axis close
// at 10 m before the stand point, nearer than it is now.
bool lf_headingLeadsOntoStand(const TrafficGroundHooks& hooks, const ParkPos& stand, const LiveAc& live,
                              double signedDeltaRad)
{
    const auto seen = lf_seenFromStand(hooks, stand, lf_pos(live));
    if (!seen)
        return false;
    const double lateral = seen->lateralM;
    const double along = seen->alongM;
    if (std::abs(lateral) > 3.0 || along > -15.0)
        return false;
    const double atTenMetres = std::abs(lateral + std::tan(signedDeltaRad) * (-10.0 - along));
    return atTenMetres <= 2.0 && atTenMetres < std::abs(lateral);
}

struct StandCandidate {
    const ParkPos* stand = nullptr;
    double distanceM = std::numeric_limits<double>::infinity();
    std::string_view reason;
};

struct StandSearch {
    StandCandidate best;    // accepted, smallest entry distance
    StandCandidate nearest; // refused, nearest within its noting range
};

std::string_view lf_entryReason(const TrafficGroundHooks& hooks, const ParkPos& stand, const LiveAc& ac,
                                const LatLon& previous, bool unknownRoute, double& entryM)
{
    if (!hooks.checkStandEntry) {
        gf_refuseUnsetGroundHook("checkStandEntry");
        return kClaimRefused;
    }
    const StandEntryCheck check = hooks.checkStandEntry({stand.latitude, stand.longitude, stand.heading},
                                                        stand.radius, lf_pos(ac), ac.pose.heading, ac.proximityRadius);
    if (check.accepted == 0)
        return check.reason;
    entryM = check.entryDistanceM;
    if (!unknownRoute)
        return {};
    const bool confirmed = (previous.latitude != 0.0 || previous.longitude != 0.0) &&
                           lf_flatDistanceM(previous, lf_pos(stand), lf_cosLatitude(previous)) >= entryM + kApproachMarginM;
    return confirmed ? std::string_view{} : kUnknownRoute;
}

LatLon lf_pos(const ParkedSpot& spot) { return LatLon{spot.latitude, spot.longitude}; }

// Calls f for every spot within halfWidthNm of the latitude (north-south only).
template <typename F>
void lf_forLatitudeBand(const std::vector<ParkedSpot>& spots, double latitude, double halfWidthNm, F&& f)
{
    const double low = latitude - halfWidthNm / 60.0;
    const double high = latitude + halfWidthNm / 60.0;
    auto it = std::lower_bound(spots.begin(), spots.end(), low,
                               [](const ParkedSpot& s, double lat) { return s.latitude < lat; });
    for (; it != spots.end() && it->latitude <= high; ++it)
        f(*it);
}

void lf_sortByLatitude(std::vector<ParkedSpot>& spots, double& largestNm)
{
    for (const ParkedSpot& s : spots)
        if (s.radiusNm > largestNm)
            largestNm = s.radiusNm;
    std::sort(spots.begin(), spots.end(), [](const ParkedSpot& a, const ParkedSpot& b) { return a.latitude < b.latitude; });
}

StandSearch lf_searchStands(LiveAc& ac, const LatLon& previous, bool unknownRoute, const ParkedScan& scan)
{
    const auto hooks = gf_trafficGroundHooks();
    StandSearch found;
    const LatLon here = lf_pos(ac);
    const double cosLat = lf_cosLatitude(here);
    const double bandNm = std::max(scan.largestStandNm + ac.proximityRadius, kNoteRangeM / kMetresPerNm);
    lf_forLatitudeBand(scan.stands, here.latitude, bandNm, [&](const ParkedSpot& spot) {
        const double reachM = (spot.radiusNm + ac.proximityRadius) * kMetresPerNm;
        const double lookNm = std::max(reachM, kNoteRangeM) / kMetresPerNm;
        const double distanceSqNm = gf_flatDistanceSqNm(here, lf_pos(spot), cosLat);
        if (!(distanceSqNm <= lookNm * lookNm))
            return;
        const ParkPos& stand = gf_stands()[spot.key];
        const double distanceM = std::sqrt(distanceSqNm) * kMetresPerNm;
        double entryM = 0.0;
        std::string_view reason = lf_standRefusal(stand, ac);
        if (reason.empty())
            reason = lf_entryReason(*hooks, stand, ac, previous, unknownRoute, entryM);
        if (reason.empty()) {
            if (entryM < found.best.distanceM || (entryM == found.best.distanceM && &stand < found.best.stand))
                found.best = {&stand, entryM, {}};
        } else if (distanceM <= std::min(kNoteRangeM, reachM + 10.0) &&
                   (distanceM < found.nearest.distanceM ||
                    (distanceM == found.nearest.distanceM && &stand < found.nearest.stand))) {
            found.nearest = {&stand, distanceM, reason};
        }
    });
    return found;
}

StaticAc* lf_activeParked(std::uint32_t hexId, std::uint32_t objectId)
{
    for (StaticAc& st : gf_staticAircraft())
        if (st.hexId == hexId)
            return st.simState == SimState::active && st.objectId != objectId ? &st : nullptr;
    return nullptr;
}

} // namespace

ParkedScan gf_gatherParkedScan()
{
    ParkedScan scan;
    scan.parked.reserve(gf_staticAircraft().size());
    for (const StaticAc& st : gf_staticAircraft())
        if (st.simState == SimState::active)
            scan.parked.push_back({st.standLatitude, st.standLongitude, st.proximityRadius, st.hexId,
                                   static_cast<std::uint32_t>(scan.parked.size())});
    const auto& stands = gf_stands();
    scan.stands.reserve(stands.size());
    for (std::size_t i = 0; i < stands.size(); ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        scan.stands.push_back({stands[i].latitude, stands[i].longitude, stands[i].radius, index, index});
    }
    lf_sortByLatitude(scan.parked, scan.largestParkedNm);
    lf_sortByLatitude(scan.stands, scan.largestStandNm);
    return scan;
}

void collisionWithParked(LiveAc& live) noexcept
{
    try {
        collisionWithParked(live, gf_gatherParkedScan());
    } catch (...) {
        gf_reportTrafficException("collisionWithParked");
    }
}

void collisionWithParked(LiveAc& live, const ParkedScan& scan) noexcept
{
    if (live.onGround == 0)
        return;
    try {
        live.lastCheckedLatitude = live.pose.latitude;
        live.lastCheckedLongitude = live.pose.longitude;
        StaticAc* hit = nullptr;
        const ParkPos* stand = nullptr;
        double delta = 0.0;
        const LatLon here = lf_pos(live);
        const double cosLat = lf_cosLatitude(here);
        std::uint32_t hitOrder = 0;
        lf_forLatitudeBand(scan.parked, here.latitude, scan.largestParkedNm + live.proximityRadius, [&](const ParkedSpot& spot) {
            const double radii = spot.radiusNm + live.proximityRadius;
            if ((hit != nullptr && spot.order > hitOrder) || !(radii > 0.0) ||
                gf_flatDistanceSqNm(lf_pos(spot), here, cosLat) > radii * radii)
                return;
            StaticAc* st = lf_activeParked(spot.key, live.objectId);
            const ParkPos* at = st != nullptr ? gf_standById(st->standId) : nullptr;
            const double d = at != nullptr ? lf_headingDelta(live.pose.heading, st->standHeading) : 0.0;
            if (at == nullptr || std::abs(d) > kParkedHeadingDeg * kDegToRad)
                return;
            hit = st;
            hitOrder = spot.order;
            stand = at;
            delta = d;
        });
        if (hit == nullptr)
            return;
        const double deltaDeg = std::abs(delta) * kRadToDeg;
        gf_writeLogLine(fmt::format("{:14}: {:8} removed for 'live vs parked' collision avoidance with {}, delta hdg:{:.0f}",
                                    stand->name, hit->head.callsign, live.head.callsign, deltaDeg));
        removeAircraftFromSim(*hit);
        if (hit->simState != SimState::removingfromsim || live.phase != FlightPhase::taxi ||
            live.previousPhase == FlightPhase::pushed_back || live.previousPhase == FlightPhase::parked)
            return;
        const bool take = deltaDeg <= kTakeAtOnceDeg ||
                          (deltaDeg <= kTakeWithGeometryDeg &&
                           lf_headingLeadsOntoStand(*gf_trafficGroundHooks(), *stand, live, delta));
        if (take)
            live.claimStand(*stand, true);
    } catch (...) {
        gf_reportTrafficException("collisionWithParked");
    }
}

void gf_standSuitability(LiveAc& live) { gf_standSuitability(live, gf_gatherParkedScan()); }

void gf_standSuitability(LiveAc& live, const ParkedScan& scan)
{
    if (live.onGround == 0 || live.simState != SimState::active || live.phase != FlightPhase::taxi ||
        live.previousPhase == FlightPhase::pushed_back || live.previousPhase == FlightPhase::parked ||
        live.stream.empty())
        return;
    const LatLon previous{live.standSearchLatitude, live.standSearchLongitude};
    live.standSearchLatitude = live.pose.latitude;
    live.standSearchLongitude = live.pose.longitude;
    const bool noRoute = !live.head.origin.isSet() && !live.head.destination.isSet();
    if (live.arriving == 0 && !noRoute) {
        lf_noteNearestStandReason(live, kNoArrival, scan);
        return;
    }
    const double speed = live.streamSpeedKt();
    if (!std::isfinite(speed) || speed > kMaxSpeedKt) {
        lf_noteNearestStandReason(live, kTooFast, scan);
        return;
    }
    const StandSearch found = lf_searchStands(live, previous, live.arriving == 0 && noRoute, scan);
    if (found.best.stand != nullptr) {
        const ParkPos& stand = *found.best.stand;
        if (live.claimStand(stand, true))
            live.standEntryFound = 1;
        else
            lf_noteStandReason(live, stand, kClaimRefused, found.best.distanceM);
        return;
    }
    if (found.nearest.stand != nullptr)
        lf_noteStandReason(live, *found.nearest.stand, found.nearest.reason, found.nearest.distanceM);
}

void lf_noteStandReason(LiveAc& aircraft, const ParkPos& stand, std::string_view reason, double distanceM)
{
    if (!(distanceM <= kNoteRangeM))
        return;
    const auto id = static_cast<std::int32_t>(stand.id);
    for (const StandNote& note : aircraft.standNotes)
        if (note.standId == id && note.reason == reason)
            return;
    aircraft.standNotes.push_back({id, reason});
}

void lf_noteNearestStandReason(LiveAc& aircraft, std::string_view reason)
{
    lf_noteNearestStandReason(aircraft, reason, gf_gatherParkedScan());
}

void lf_noteNearestStandReason(LiveAc& aircraft, std::string_view reason, const ParkedScan& scan)
{
    const auto hooks = gf_trafficGroundHooks();
    const LatLon here = lf_pos(aircraft);
    const double cosLat = std::cos(here.latitude * kDegToRad);
    const ParkPos* nearest = nullptr;
    double best = kNoteRangeM;
    lf_forLatitudeBand(scan.stands, here.latitude, kNoteRangeM / kMetresPerNm, [&](const ParkedSpot& spot) {
        if (gf_flatDistanceSqNm(here, lf_pos(spot), cosLat) > kNoteRangeSqNm)
            return;
        const ParkPos& stand = gf_stands()[spot.key];
        if (!lf_standRefusal(stand, aircraft).empty())
            return;
        const auto seen = lf_seenFromStand(*hooks, stand, here);
        if (!seen)
            return;
        const double reachM = (stand.radius + aircraft.proximityRadius) * kMetresPerNm + 10.0;
        const double turn = std::abs(lf_headingDelta(aircraft.pose.heading, stand.heading));
        const bool nearer = seen->distanceM < best || (seen->distanceM == best && nearest != nullptr && &stand < nearest);
        if (std::isfinite(seen->distanceM) && nearer && seen->distanceM <= reachM && seen->alongM <= -5.0 &&
            std::abs(seen->lateralM) <= 5.0 && turn <= 15.0 * kDegToRad) {
            best = seen->distanceM;
            nearest = &stand;
        }
    });
    if (nearest != nullptr)
        lf_noteStandReason(aircraft, *nearest, reason, best);
}

} // namespace zelk
