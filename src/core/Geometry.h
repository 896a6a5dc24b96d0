#pragma once

#include <algorithm>
#include <cmath>

namespace zelk {

// Positions and courses on the nautical-mile sphere (one nautical mile per minute
// of arc). The functions run for every aircraft on every pass, so they live here
// in the header where the compiler can inline them.
struct LatLon {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
};

inline constexpr double kDegToRad = 0.017453292519943295;
inline constexpr double kRadToDeg = 57.29577951308232;
// Nautical miles per radian, doubled for the haversine form.
inline constexpr double kHaversineDistanceFactor = 6875.493541569878;
// One over the earth radius in feet (10800/pi NM of 1852 m).
inline constexpr double kFeetToRad = 4.787404208238998e-8;
inline constexpr double kFullCircle = 6.283185307179586;
inline constexpr double kMetresPerNm = 1852.0;

// std::remainder(x, period): x brought into [-period/2, period/2]. Nearly every
// angle the motion wraps is in that range already, and the library call costs
// some seventy instructions even then; the result is the same bit for bit (the
// remainder of such an x is x itself, NaN and infinity still go to the call).
inline double gf_wrapToPeriod(double x, double period) noexcept
{
    return std::fabs(x) <= 0.5 * period ? x : std::remainder(x, period);
}

// Latitude and longitude in range, and not the 0/0 position of a missing fix.
inline bool gf_isValidLalo(double latitude, double longitude) noexcept
{
    if (!(latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0)) return false;
    return !(std::fabs(latitude) <= 0.0001 && std::fabs(longitude) <= 0.0001);
}

// Longitude difference a - b wrapped into [-180, 180], so that positions on both
// sides of the antimeridian are as close as they are.
inline double gf_wrapLongitudeDelta(double a, double b) noexcept
{
    const double d = a - b;
    if (!std::isfinite(d)) return d;
    return gf_wrapToPeriod(d, 360.0);
}

// Great-circle distance in nautical miles.
inline double gf_distanceNm(const LatLon& a, const LatLon& b) noexcept
{
    const double phiA = a.latitude * kDegToRad;
    const double phiB = b.latitude * kDegToRad;
    const double sinHalfDPhi = std::sin((phiB - phiA) / 2.0);
    const double sinHalfDLambda = std::sin((b.longitude - a.longitude) * kDegToRad / 2.0);
    double h = sinHalfDPhi * sinHalfDPhi + std::cos(phiB) * std::cos(phiA) * sinHalfDLambda * sinHalfDLambda;
    // Rounding can push h just past 1 for near-antipodal points; sqrt(1 - h) would be NaN.
    h = std::clamp(h, 0.0, 1.0);
    return std::atan2(std::sqrt(h), std::sqrt(1.0 - h)) * kHaversineDistanceFactor;
}

// Initial course from one position to another, radians clockwise from true north, in [0, 2 pi).
inline double gf_initialBearing(const LatLon& from, const LatLon& to) noexcept
{
    const double phiFrom = from.latitude * kDegToRad;
    const double phiTo = to.latitude * kDegToRad;
    const double dl = (to.longitude - from.longitude) * kDegToRad;
    double theta = std::atan2(std::sin(dl) * std::cos(phiTo),
                              std::cos(phiFrom) * std::sin(phiTo) - std::sin(phiFrom) * std::cos(phiTo) * std::cos(dl));
    if (theta < 0.0)
        theta += kFullCircle;
    // A tiny negative angle plus 2 pi rounds to 2 pi itself, which lies outside the range.
    return theta < kFullCircle ? theta : 0.0;
}

// The position reached from start along a course (radians) after a distance in feet;
// the longitude stays within [-180, 180].
inline LatLon gf_destinationPoint(const LatLon& start, double courseRad, double distanceFt) noexcept
{
    const double delta = distanceFt * kFeetToRad;
    const double phi1 = start.latitude * kDegToRad;
    const double lambda1 = start.longitude * kDegToRad;
    const double sinPhi1 = std::sin(phi1);
    const double cosPhi1 = std::cos(phi1);
    const double sinDelta = std::sin(delta);
    const double cosDelta = std::cos(delta);
    // Rounding can push the sine just past 1 on a course over a pole; asin would give NaN.
    const double sinPhi2 = std::clamp(sinPhi1 * cosDelta + cosPhi1 * sinDelta * std::cos(courseRad), -1.0, 1.0);
    const double phi2 = std::asin(sinPhi2);
    const double lambda2 = gf_wrapToPeriod(
        lambda1 + std::atan2(std::sin(courseRad) * sinDelta * cosPhi1, cosDelta - sinPhi1 * sinPhi2), kFullCircle);
    return {phi2 * kRadToDeg, lambda2 * kRadToDeg};
}

} // namespace zelk
