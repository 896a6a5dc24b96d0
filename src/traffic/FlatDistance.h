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
    const double dx = gf_wrapLongitudeDelta(a.longitude, b.longitude) * 60.0 * cosLatitude;
    return dx * dx + dy * dy;
}

} // namespace zelk
