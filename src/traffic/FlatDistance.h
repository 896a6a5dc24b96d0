#pragma once

#include <cmath>

#include "core/Geometry.h"

namespace zelk {

// Squared flat distance in NM^2 over short distances around the airport or the
// user: 60 NM per degree of latitude, the longitude difference taken the short
// way round and scaled by the given cosine.
inline double gf_flatDistanceSqNm(const LatLon& a, const LatLon& b, double cosLatitude) noexcept
{
    const double dy = (a.latitude - b.latitude) * 60.0;
    // Most differences need no folding, and folding is slow in the per-pass scans.
    double dlon = a.longitude - b.longitude;
    if (!(dlon >= -180.0 && dlon <= 180.0))
        dlon = gf_wrapLongitudeDelta(a.longitude, b.longitude);
    const double dx = dlon * 60.0 * cosLatitude;
    return dx * dx + dy * dy;
}

// The ground radius around the user's (park) airport, flat: ground reports are
// taken in, a new aircraft is placed at a stand, and low reports are doubted
// and named by the airport only inside it.
inline constexpr double kGroundRadiusNm = 5.0;

inline bool gf_withinGroundRadius(const LatLon& position, const LatLon& airport) noexcept
{
    return gf_flatDistanceSqNm(position, airport, std::cos(airport.latitude * kDegToRad)) <=
           kGroundRadiusNm * kGroundRadiusNm;
}

} // namespace zelk
