// Live traffic must not appear on, or run into, the user's aircraft.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/Geometry.h"
#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "simlink/UserAircraftState.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CollisionRules.h"
#include "traffic/FlatDistance.h"
#include "traffic/SimRemoval.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficHooks.h"

namespace zelk {
namespace {

constexpr double kMetersToNm = 0.0005399568034557236;
constexpr double kKnotsToMps = 0.5144444444444445;
constexpr double kMaxSpeedTermM = 15.0;
constexpr double kSpawnUserSpeedKt = 8.0;
constexpr double kSpawnUserDistanceM = 500.0;
constexpr double kOffLineFt = 50.0;

double lf_fallbackHalfSpanNm()
{
    try {
        const double span = gf_halfWingspanNm(gf_modelCode2Index("B738"));
        if (span > 0.0)
            return span;
    } catch (...) {
        gf_reportTrafficException("lf_userGroundCollisionTermNm");
    }
    return gf_largestHalfWingspanNm();
}

std::uint32_t lf_airConflictMode(const UserAcPosition& user)
{
    const double hag = user.altitudeAboveGround;
    const double bank = std::abs(user.bank);
    if (hag <= 4000.0 && user.verticalSpeed <= 300.0 && bank <= 5.0 * kDegToRad)
        return 2;
    if (hag <= 7000.0 && bank <= 15.0 * kDegToRad)
        return 1;
    return 0;
}

bool lf_removeFor(LiveAc& aircraft, const char* operation) noexcept
{
    try {
        removeAircraftFromSim(aircraft);
    } catch (...) {
        gf_reportTrafficException(operation);
    }
    return true;
}

bool lf_dropOldestReport(LiveAc& aircraft)
{
    aircraft.stream.pop_front();
    return true;
}

bool lf_circlesOverlap(const LatLon& a, double ra, const LatLon& b, double rb)
{
    const auto hooks = gf_trafficGroundHooks();
    if (!hooks->circlesOverlapNm) {
        gf_refuseUnsetGroundHook("circlesOverlapNm");
        return false;
    }
    return hooks->circlesOverlapNm(a, ra, b, rb);
}

bool lf_userOnGroundCheck(LiveAc& ai, const UserAcPosition& user)
{
    const PosSample& front = ai.stream.front();
    const LatLon userPos{user.latitude, user.longitude};
    const LatLon frontPos{front.latitude, front.longitude};
    if (ai.userConflictAtSpawn != 0) {
        if (user.groundVelocity > kSpawnUserSpeedKt)
            return lf_dropOldestReport(ai);
        if (front.airborne == 0 && (front.groundSpeed > kSpawnUserSpeedKt ||
                                    gf_distanceNm(frontPos, userPos) * 1852.0 < kSpawnUserDistanceM))
            return lf_dropOldestReport(ai);
    }
    if (front.airborne != 0 || !gf_settings()->COLLISION_USER_GND)
        return false;
    if (lf_circlesOverlap(userPos, lf_userGroundCollisionTermNm(), frontPos, ai.proximityRadius))
        return lf_dropOldestReport(ai);
    return false;
}

void lf_takeFrontPosition(LiveAc& ai)
{
    const PosSample& front = ai.stream.front();
    ai.pose.latitude = front.latitude;
    ai.pose.longitude = front.longitude;
    ai.pose.altitude = front.altitude;
}

} // namespace

double lf_userGroundCollisionTermNm() noexcept
{
    double radius = gf_userHalfWingspanNm();
    if (std::isnan(radius))
        radius = lf_fallbackHalfSpanNm();
    const double speed = gf_trafficUserPosition().groundVelocity;
    const double speedTermM = std::isfinite(speed) && speed > 0.0 ? std::min(kMaxSpeedTermM, speed * kKnotsToMps * 0.75)
                                                                  : 0.0;
    return radius + speedTermM * kMetersToNm;
}

bool checkUserAirCollision(LiveAc& aircraft, double cosUserLatitude) noexcept
{
    try {
        const auto hooks = gf_trafficGroundHooks();
        if (!hooks->assessAirConflict) {
            gf_refuseUnsetGroundHook("assessAirConflict");
            return false;
        }
        const UserAcPosition user = gf_trafficUserPosition();
        const double heading = aircraft.stream.empty() ? aircraft.pose.heading
                                                       : aircraft.stream.front().heading * kDegToRad;
        const std::uint32_t conflict = hooks->assessAirConflict(
            lf_airConflictMode(user), LatLon{user.latitude, user.longitude},
            LatLon{aircraft.pose.latitude, aircraft.pose.longitude}, cosUserLatitude,
            user.gpsGroundTrueTrack * kDegToRad, heading, user.altitude, aircraft.pose.altitude);
        if (conflict == 0)
            return false;
    } catch (...) {
        gf_reportTrafficException("checkUserAirCollision");
        return false;
    }
    return lf_removeFor(aircraft, "checkUserAirCollision");
}

bool checkUserAirGndCollision(LiveAc& aircraft) noexcept
{
    const UserAcPosition user = gf_trafficUserPosition();
    const LatLon userPos{user.latitude, user.longitude};
    const LatLon acPos{aircraft.pose.latitude, aircraft.pose.longitude};
    if (gf_flatDistanceSqNm(acPos, userPos, std::cos(userPos.latitude * kDegToRad)) > 1.0 ||
        user.altitudeAboveGround > kLowUserFt)
        return false;
    const double d = gf_distanceNm(userPos, acPos) * 6076.11549;
    const double b = std::remainder(gf_initialBearing(userPos, acPos) - user.heading, 2.0 * std::numbers::pi);
    if (std::abs(std::sin(b)) * d > kOffLineFt || std::cos(b) * d <= 0.0)
        return false;
    return lf_removeFor(aircraft, "checkUserAirGndCollision");
}

bool lf_spawnCollisionCheck(LiveAc& aircraft)
{
    if (aircraft.stream.empty())
        return false;
    const UserAcPosition user = gf_trafficUserPosition();
    const double hag = user.altitudeAboveGround;
    if (gf_trafficUserOnGround() && (!std::isfinite(hag) || hag <= kLowUserFt))
        return lf_userOnGroundCheck(aircraft, user);
    if (!gf_settings()->COLLISION_USER_AIR)
        return false;
    bool conflict = false;
    if (aircraft.stream.front().airborne != 0) {
        lf_takeFrontPosition(aircraft);
        conflict = checkUserAirCollision(aircraft, std::cos(user.latitude * kDegToRad));
    } else if (hag <= kLowUserFt) {
        lf_takeFrontPosition(aircraft);
        aircraft.onGround = 1;
        conflict = checkUserAirGndCollision(aircraft);
    }
    if (!conflict)
        return false;
    aircraft.userConflictAtSpawn = 1;
    return lf_dropOldestReport(aircraft);
}

} // namespace zelk
