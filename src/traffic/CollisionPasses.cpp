// The periodic collision passes: live aircraft against parked ones (with the
// stand search of taxiing aircraft), and all traffic against the user's aircraft.
#include <cmath>
#include <cstddef>
#include <functional>

#include "core/Geometry.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CollisionRules.h"
#include "traffic/FlatDistance.h"
#include "traffic/SimObjectResults.h"
#include "traffic/SimRemoval.h"
#include "traffic/StandClaims.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr std::int64_t kFullCheckCalls = 60;
constexpr double kMovedSqNm = 9e-6; // 0.003 NM

struct LiveParkedPassState {
    std::int64_t calls = 0;
    std::uint64_t parkedPlaced = 0; // the placed-parked counter at the last call
};

LiveParkedPassState lv_liveParked;

// A parked aircraft made active since the last call may stand in the way of a
// live one that has not moved since its own last check: everyone is checked.
// The count of active parked aircraft would miss one placed while another went.
bool lf_fullCheckDue()
{
    const std::uint64_t placed = gf_parkedObjectsPlaced();
    bool full = placed != lv_liveParked.parkedPlaced;
    lv_liveParked.parkedPlaced = placed;
    if (++lv_liveParked.calls >= kFullCheckCalls) {
        lv_liveParked.calls = 0;
        full = true;
    }
    return full;
}

bool lf_movedSinceCheck(const LiveAc& ac)
{
    if (ac.lastCheckedLatitude == 0.0 && ac.lastCheckedLongitude == 0.0)
        return true;
    const LatLon last{ac.lastCheckedLatitude, ac.lastCheckedLongitude};
    return gf_flatDistanceSqNm(last, LatLon{ac.pose.latitude, ac.pose.longitude},
                               std::cos(last.latitude * kDegToRad)) > kMovedSqNm;
}

} // namespace

void gf_resetLiveParkedPass() noexcept { lv_liveParked = {}; }

void gf_checkLiveWithParkedCollisions() noexcept
{
    try {
        const bool full = lf_fullCheckDue();
        const ParkedScan scan = gf_gatherParkedScan();
        auto& live = gf_liveAircraft();
        for (std::size_t i = 0; i < live.size(); ++i) {
            LiveAc& ac = live[i];
            if (ac.onGround == 0 || ac.simState != SimState::active ||
                (ac.phase != FlightPhase::taxi && ac.phase != FlightPhase::parking))
                continue;
            if (!gf_staticAircraft().empty() && (full || lf_movedSinceCheck(ac)))
                collisionWithParked(ac, scan);
            if (ac.phase == FlightPhase::taxi)
                gf_standSuitability(ac, scan);
        }
    } catch (...) {
        gf_reportTrafficException("gf_checkLiveWithParkedCollisions");
    }
}

void gf_checkUserAcAirCollisions()
{
    const UserAcPosition user = gf_trafficUserPosition();
    const bool low = user.altitudeAboveGround <= kLowUserFt;
    const double cosLat = std::cos(user.latitude * kDegToRad);
    for (LiveAc& ac : gf_liveAircraft()) {
        if (ac.simState != SimState::active)
            continue;
        if (low && ac.onGround != 0 && checkUserAirGndCollision(ac))
            return;
        if (!ac.stream.empty() && checkUserAirCollision(ac, cosLat))
            return;
    }
}

void gf_checkUserAcGndCollisions() noexcept
{
    UserAcPosition user;
    double radius = 0.0;
    std::function<bool(const LatLon&, double, const LatLon&, double)> overlap;
    try {
        user = gf_trafficUserPosition();
        radius = lf_userGroundCollisionTermNm();
        overlap = gf_trafficGroundHooks()->circlesOverlapNm;
        if (!overlap)
            gf_refuseUnsetGroundHook("circlesOverlapNm");
    } catch (...) {
        gf_reportTrafficException("gf_checkUserAcGndCollisions");
        return;
    }
    const LatLon userPos{user.latitude, user.longitude};
    for (LiveAc& ac : gf_liveAircraft()) {
        try {
            if (!overlap || ac.simState != SimState::active || ac.onGround == 0 ||
                !overlap(userPos, radius, LatLon{ac.pose.latitude, ac.pose.longitude}, ac.proximityRadius))
                continue;
            removeAircraftFromSim(ac);
            return;
        } catch (...) {
            gf_reportTrafficException("gf_checkUserAcGndCollisions");
        }
    }
    try {
        const double cosLat = std::cos(user.latitude * kDegToRad);
        for (StaticAc& st : gf_staticAircraft()) {
            const double radii = radius + st.proximityRadius;
            if (st.simState != SimState::active || !(radii > 0.0) ||
                gf_flatDistanceSqNm(userPos, LatLon{st.standLatitude, st.standLongitude}, cosLat) > radii * radii)
                continue;
            removeAircraftFromSim(st);
            return;
        }
    } catch (...) {
        gf_reportTrafficException("gf_checkUserAcGndCollisions");
    }
}

} // namespace zelk
