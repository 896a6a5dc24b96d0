#pragma once

#include <cstdint>

namespace zelk {

// The user aircraft's data record as the simulator link receives it: fifteen
// 8-byte fields in the order of the simulator's data definition. All zero until
// the first reply and after a reset.
struct UserAcPosition {
    double latitude = 0.0;           // "Plane Latitude", degrees
    double longitude = 0.0;          // "Plane Longitude", degrees
    double pitch = 0.0;              // "Plane Pitch degrees", radians
    double bank = 0.0;               // "Plane Bank degrees", radians
    double verticalSpeed = 0.0;      // "Vertical Speed", ft per minute
    double heading = 0.0;            // "Plane Heading degrees true", radians
    double altitude = 0.0;           // "Plane Altitude", ft (never negative)
    double indicatedAltitude = 0.0;  // "Indicated Altitude", ft
    double altitudeAboveGround = 0.0; // "Plane Alt Above Ground", ft
    double groundVelocity = 0.0;     // "Ground Velocity", kt
    std::int64_t zuluTime = 0;       // "ZULU TIME", seconds of the day
    std::int64_t zuluDayOfYear = 0;  // "ZULU DAY OF YEAR"
    std::int64_t zuluYear = 0;       // "ZULU YEAR"
    std::int64_t lightStates = 0;    // "LIGHT STATES", mask
    double gpsGroundTrueTrack = 0.0; // "GPS Ground True Track", degrees
};
static_assert(sizeof(UserAcPosition) == 15 * 8);

} // namespace zelk
