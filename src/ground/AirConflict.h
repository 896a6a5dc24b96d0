#pragma once

#include <cstdint>

namespace zelk {

// The user aircraft and one live aircraft in the air, as the collision rules
// see them.
struct AirConflictInput {
    std::uint32_t mode = 0;    // 0, 1 or 2: how far ahead the user wants warnings
    double userLatitude = 0.0; // degrees
    double userLongitude = 0.0;
    double aircraftLatitude = 0.0;
    double aircraftLongitude = 0.0;
    double cosLatitude = 1.0;  // cosine of the user's latitude
    double userTrackRad = 0.0;
    double aircraftHeadingRad = 0.0;
    double userAltitudeFt = 0.0;
    double aircraftAltitudeFt = 0.0;
};

// conflict: 0 none, else the kind found (1 closing, 2 and 3 ahead on the
// user's path by mode, 4 close by). code: the test that cleared it (0 input
// not finite, 1 farther than 4 NM, 2 more than 1000 ft apart, 3 no kind fits).
struct AirConflictResult {
    std::uint32_t conflict = 0;
    std::uint8_t code = 0;
    double distanceNm = 0.0;
    double altitudeDifferenceFt = 0.0;
    double alongNm = 0.0;           // ahead of the user's track is positive
    double lateralFt = 0.0;         // right of the user's track is positive
    double lateralLimitFt = 0.0;    // of the mode's test
    double headingDifferenceRad = 0.0; // aircraft heading against the user track, in [-pi, pi]
};

AirConflictResult gf_assessAirConflict(const AirConflictInput& input) noexcept;

} // namespace zelk
