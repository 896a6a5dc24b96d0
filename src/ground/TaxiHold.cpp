// A taxiing aircraft that would run into the user's aircraft or another one
// was removed by the ground collision pass the moment the circles touched. It
// now stops short, as a pilot would, and waits for the way to clear.
#include "ground/TaxiHold.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

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
constexpr double kMetersPerDegree = 60.0 * kMetersPerNm;
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

// What can stand in a taxiing aircraft's way, gathered once a pass for all
// taxiing aircraft (engine thread): the user's aircraft on the ground and the
// live aircraft on the ground away from the stands, sorted by latitude.
struct TaxiSpot {
    double latitude = 0.0;
    double longitude = 0.0;
    double radiusM = 0.0;
    std::size_t index = 0; // in the live vector
};
struct TaxiScene {
    std::int32_t tick = 0;
    const LiveAc* liveData = nullptr;
    std::size_t liveCount = 0;
    bool built = false;
    std::optional<TaxiSpot> user;
    std::vector<TaxiSpot> spots;
    // The spots' coordinates again, side by side for the scan of a band.
    std::vector<double> latitudes;
    std::vector<double> longitudes;
    double largestRadiusM = 0.0;
    // Metres per degree east at the spot furthest from the equator: no spot,
    // nor any position nearer the equator, has fewer.
    double fewestMetresEast = 0.0;
    double furthestLatitude = 0.0; // from the equator, either way
};

// The first of the sorted latitudes above the given one (After) or not below
// it, as std::upper_bound and std::lower_bound find it, but choosing each
// half without a branch: the band is looked up for every taxiing aircraft
// every pass, and which half holds it is as good as random.
template <bool After>
std::size_t lf_firstPast(const std::vector<double>& sorted, double latitude)
{
    std::size_t n = sorted.size();
    if (n == 0)
        return 0;
    const double* base = sorted.data();
    while (n > 1) {
        const std::size_t half = n / 2;
        base = (After ? base[half] <= latitude : base[half] < latitude) ? base + half : base;
        n -= half;
    }
    const bool past = After ? *base <= latitude : *base < latitude;
    return static_cast<std::size_t>(base - sorted.data()) + (past ? 1 : 0);
}

const TaxiScene& lf_taxiScene()
{
    thread_local TaxiScene scene;
    const auto& live = gf_liveAircraft();
    const std::int32_t tick = gf_engineTick();
    if (scene.built && scene.tick == tick && scene.liveData == live.data() && scene.liveCount == live.size())
        return scene;
    scene.built = true;
    scene.tick = tick;
    scene.liveData = live.data();
    scene.liveCount = live.size();
    scene.user.reset();
    if (gf_trafficUserOnGround()) {
        const UserAcPosition user = gf_trafficUserPosition();
        if (gf_isValidLalo(user.latitude, user.longitude) && (user.latitude != 0.0 || user.longitude != 0.0))
            scene.user = TaxiSpot{user.latitude, user.longitude, lf_userGroundCollisionTermNm() * kMetersPerNm, 0};
    }
    scene.spots.clear();
    scene.largestRadiusM = 0.0;
    for (std::size_t i = 0; i < live.size(); ++i) {
        const LiveAc& other = live[i];
        if (other.simState != SimState::active || other.onGround == 0 || lf_atStand(other.phase) ||
            !gf_isValidLalo(other.pose.latitude, other.pose.longitude))
            continue;
        const double radiusM = other.proximityRadius * kMetersPerNm;
        scene.spots.push_back({other.pose.latitude, other.pose.longitude, radiusM, i});
        scene.largestRadiusM = std::max(scene.largestRadiusM, radiusM);
    }
    std::sort(scene.spots.begin(), scene.spots.end(),
              [](const TaxiSpot& a, const TaxiSpot& b) { return a.latitude < b.latitude; });
    scene.latitudes.clear();
    scene.longitudes.clear();
    for (const TaxiSpot& spot : scene.spots) {
        scene.latitudes.push_back(spot.latitude);
        scene.longitudes.push_back(spot.longitude);
    }
    scene.furthestLatitude =
        scene.spots.empty() ? 0.0 : std::max(-scene.spots.front().latitude, scene.spots.back().latitude);
    scene.fewestMetresEast = std::cos(scene.furthestLatitude * kDegToRad) * kMetersPerDegree;
    return scene;
}

} // namespace

std::optional<TaxiBlocker> gf_findTaxiBlocker(const LiveAc& ac)
{
    const LatLon here{ac.pose.latitude, ac.pose.longitude};
    if (!gf_isValidLalo(here.latitude, here.longitude) || !std::isfinite(ac.pose.heading))
        return std::nullopt;
    const TaxiScene& scene = lf_taxiScene();
    const double ownM = ac.proximityRadius * kMetersPerNm;
    // Flat geometry at this latitude (within a few hundred metres it is exact
    // enough): north and east in metres, the heading clockwise from north.
    // This runs for every taxiing aircraft every pass, and most of
    // what lies in the latitude band is out of reach east or west: the
    // trigonometry waits until a spot needs it.
    double eastScale = 0.0;
    auto metresEast = [&]() {
        if (eastScale == 0.0)
            eastScale = std::cos(here.latitude * kDegToRad) * kMetersPerDegree;
        return eastScale;
    };
    double sinH = 0.0;
    double cosH = 0.0;
    bool headingKnown = false;
    std::optional<TaxiBlocker> nearest;
    auto consider = [&](const TaxiSpot& spot, const LiveAc* other) {
        const double radiiM = ownM + spot.radiusM;
        const double reachM = kHorizonM + kStopShortM + radiiM;
        const double reachSq = reachM * reachM;
        const double northM = (spot.latitude - here.latitude) * kMetersPerDegree;
        if (!(radiiM > 0.0) || northM * northM > reachSq)
            return;
        const double eastM = gf_wrapToPeriod(spot.longitude - here.longitude, 360.0) * metresEast();
        const double distanceSq = northM * northM + eastM * eastM;
        if (distanceSq > reachSq)
            return;
        if (!headingKnown) {
            sinH = std::sin(ac.pose.heading);
            cosH = std::cos(ac.pose.heading);
            headingKnown = true;
        }
        const double alongM = northM * cosH + eastM * sinH;
        const double lateralM = eastM * cosH - northM * sinH;
        if (!(alongM > 0.0) || !(std::fabs(lateralM) < radiiM))
            return;
        // Going straight on, the circles touch this far on.
        const double gapM = alongM - std::sqrt(radiiM * radiiM - lateralM * lateralM) - kStopShortM;
        if (gapM > kHorizonM || (nearest && nearest->gapM <= gapM))
            return;
        nearest = TaxiBlocker{other == nullptr, other, std::sqrt(distanceSq), gapM};
    };
    if (scene.user)
        consider(*scene.user, nullptr);
    const double farthestM = kHorizonM + kStopShortM + ownM + scene.largestRadiusM;
    const double bandDeg = farthestM / kMetersPerDegree;
    // Without a circle on either side nothing can be touched.
    if (!(ownM + scene.largestRadiusM > 0.0))
        return nearest;
    const std::size_t first = lf_firstPast<false>(scene.latitudes, here.latitude - bandDeg);
    const std::size_t end = lf_firstPast<true>(scene.latitudes, here.latitude + bandDeg);
    if (first >= end)
        return nearest;
    // A spot further east or west than this is out of reach (a metre to spare
    // for rounding); the bound needs no trigonometry of its own where the
    // scene's fewest metres per degree hold.
    const double floorScale =
        std::fabs(here.latitude) <= scene.furthestLatitude ? scene.fewestMetresEast : metresEast();
    const double bandEastDeg = (farthestM + 1.0) / floorScale;
    const auto& live = gf_liveAircraft();
    for (std::size_t p = first; p < end; ++p) {
        // East or west the short way round, across the antimeridian if need be.
        const double apartDeg = std::fabs(scene.longitudes[p] - here.longitude);
        if (std::min(apartDeg, 360.0 - apartDeg) > bandEastDeg)
            continue;
        const LiveAc* other = &live[scene.spots[p].index];
        if (other != &ac)
            consider(scene.spots[p], other);
    }
    return nearest;
}

double gf_taxiHoldLimitKt(LiveAc& ac, double wantedKt, double decelKtPerS)
{
    constexpr double kFree = std::numeric_limits<double>::infinity();
    // On the runway the aircraft rolls as its reports say: a hold there would
    // be let go the next pass (the hold keeps only while taxiing) and taken
    // again, its line said every other pass.
    if (ac.phase != FlightPhase::taxi)
        return kFree;
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
