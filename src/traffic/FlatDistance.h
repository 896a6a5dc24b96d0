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

} // namespace zelk
