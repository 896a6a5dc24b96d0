// A taxiing aircraft that would run into the user's aircraft or another one
// was removed by the ground collision pass the moment the circles touched. It
// now stops short, as a pilot would, and waits for the way to clear.
#include "ground/TaxiHold.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Settings.h"
#include "core/TimeUtils.h"
#include "ground/GroundGeometry.h"
#include "ground/MotionGeometry.h"
#include "ground/MovementReports.h"
#include "traffic/CollisionRules.h"
#include "traffic/EngineTick.h"
#include "traffic/SimRemoval.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

// Longer than the stop from taxi speed at the gentlest braking (30 kt at 2 kt/s: 116 m).
constexpr double kHorizonM = 200.0;
constexpr double kStopShortM = 10.0;  // stopped this far before the circles would touch
constexpr double kStoppedM = 1.0;     // a gap this small means the blocker has brought it to a stop
constexpr double kReleaseGapM = 15.0; // a held aircraft goes on once this much of the way is free
constexpr double kMovingKt = 1.0;     // its stream wanted it to move
// Catching up after a hold: at least walking pace, at most the taxi ceiling.
constexpr double kCatchUpMinKt = 5.0;
constexpr double kCatchUpMaxKt = 30.0;

bool lf_atStand(FlightPhase phase)
{
    return phase == FlightPhase::parked || phase == FlightPhase::parking || phase == FlightPhase::pushing_back ||
           phase == FlightPhase::pushed_back;
}

std::string lf_who(const LiveAc& ac) { return fmt::format("{} {} {}", gf_displayTimeTextShort(), ac.head.callsign, ac.head.registration); }

std::string lf_holderText(const TaxiHold& hold)
{
    if (hold.byUser != 0)
        return "the user's aircraft";
    for (const LiveAc& other : gf_liveAircraft())
        if (other.hexId == hold.holderHex)
            return other.head.callsign;
    return fmt::format("{:06X}", hold.holderHex);
}

} // namespace

std::optional<TaxiBlocker> gf_findTaxiBlocker(const LiveAc& ac)
{
    const LatLon here{ac.pose.latitude, ac.pose.longitude};
    if (!gf_isValidLalo(here.latitude, here.longitude) || !std::isfinite(ac.pose.heading))
        return std::nullopt;
    const double ownM = ac.proximityRadius * kMetersPerNm;
    std::optional<TaxiBlocker> nearest;
    auto consider = [&](const LatLon& at, double radiusM, const LiveAc* other) {
        const double radiiM = ownM + radiusM;
        if (!(radiiM > 0.0))
            return;
        const RelativePosition rel = gf_relativePosition(here, ac.pose.heading, at);
        if (!(rel.alongM > 0.0) || !(std::fabs(rel.lateralM) < radiiM))
            return;
        // Going straight on, the circles touch this far on.
        const double touchM = rel.alongM - std::sqrt(radiiM * radiiM - rel.lateralM * rel.lateralM);
        const double gapM = touchM - kStopShortM;
        if (gapM > kHorizonM || (nearest && nearest->gapM <= gapM))
            return;
        nearest = TaxiBlocker{other == nullptr, other, rel.distanceM, gapM};
    };
    // Cheap reject before the geometry: the blocker must lie within reach north or south.
    const double reachDeg = (kHorizonM + kStopShortM + 2.0 * ownM + 200.0) / (60.0 * kMetersPerNm);
    if (gf_trafficUserOnGround()) {
        const UserAcPosition user = gf_trafficUserPosition();
        if (gf_isValidLalo(user.latitude, user.longitude) && (user.latitude != 0.0 || user.longitude != 0.0) &&
            std::fabs(user.latitude - here.latitude) < reachDeg)
            consider({user.latitude, user.longitude}, lf_userGroundCollisionTermNm() * kMetersPerNm, nullptr);
    }
    for (const LiveAc& other : gf_liveAircraft()) {
        if (&other == &ac || other.simState != SimState::active || other.onGround == 0 || lf_atStand(other.phase) ||
            !(std::fabs(other.pose.latitude - here.latitude) < reachDeg))
            continue;
        consider({other.pose.latitude, other.pose.longitude}, other.proximityRadius * kMetersPerNm, &other);
    }
    return nearest;
}

double gf_taxiHoldLimitKt(LiveAc& ac, double wantedKt, double decelKtPerS)
{
    constexpr double kFree = std::numeric_limits<double>::infinity();
    TaxiHold& hold = ac.groundOps.taxiHold;
    if (hold.held != 0)
        return 0.0;
    const std::optional<TaxiBlocker> blocker = gf_findTaxiBlocker(ac);
    if (!blocker)
        return kFree;
    if (blocker->gapM <= kStoppedM && wantedKt > kMovingKt && ac.groundOps.motionSpeedKt < kMovingKt) {
        hold.held = 1;
        hold.byUser = blocker->user ? 1 : 0;
        hold.holderHex = blocker->user ? 0 : blocker->aircraft->hexId;
        hold.sinceTick = gf_engineTick();
        hold.wantedKt = std::max(wantedKt, ac.groundOps.lastSampleSpeedKt);
        gf_emitMovementReport(fmt::format("{} holds for {} {:.0f} m ahead", lf_who(ac), lf_holderText(hold),
                                          blocker->distanceM));
        return 0.0;
    }
    return gf_brakingSpeed(blocker->gapM, decelKtPerS);
}

bool gf_keepTaxiHold(LiveAc& ac)
{
    TaxiHold& hold = ac.groundOps.taxiHold;
    if (ac.phase != FlightPhase::taxi || ac.onGround == 0) {
        hold = {};
        return true;
    }
    if (hold.held == 0)
        return true;
    const std::optional<TaxiBlocker> blocker = gf_findTaxiBlocker(ac);
    const std::int64_t heldTicks = static_cast<std::int64_t>(gf_engineTick()) - hold.sinceTick;
    if (!blocker || blocker->gapM >= kReleaseGapM) {
        gf_emitMovementReport(fmt::format("{} goes on after {} s, the way is clear", lf_who(ac), heldTicks / 100));
        hold.held = 0;
        hold.catchUpKt = std::min(std::max(hold.wantedKt, kCatchUpMinKt), kCatchUpMaxKt);
        return true;
    }
    // The user's aircraft may stand there for good: waiting longer than its
    // stream would hold it, the aircraft leaves as one whose reports ended.
    if (heldTicks < gf_holdTicks(FlightPhase::taxi, gf_settings()->MAX_HOLDING_MINUTES))
        return true;
    gf_emitMovementReport(
        fmt::format("{} gives up waiting for {} after {} s", lf_who(ac), lf_holderText(hold), heldTicks / 100));
    hold = {};
    removeAircraftFromSim(ac);
    return false;
}

} // namespace zelk
