#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/Geometry.h"
#include "liveries/AcCategory.h"
#include "traffic/GroundTypes.h"

namespace zelk {

// Flat geometry of the ground operations: short distances around one airport,
// where a plane through the first position is accurate to centimetres. All
// functions are pure and never throw; a non-finite input gives the neutral
// answer named with each function.

inline constexpr double kMetersPerNm = kMetresPerNm;
inline constexpr double kFeetPerNm = 6076.11549;
inline constexpr double kMetersPerSecondPerKnot = 0.5144444;
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kDegree = kPi / 180.0;

// An angle in radians folded into [-pi, pi].
double gf_normalizeAngle(double rad) noexcept;
// Flat north and east offsets in metres from one position to another; the
// longitude difference is folded into [-180, 180], so positions either side of
// the date line stay neighbours.
struct FlatOffset {
    double northM = 0.0;
    double eastM = 0.0;
};
FlatOffset gf_flatOffsetM(const LatLon& from, const LatLon& to) noexcept;

// Great-circle distance and bearing; within 0.1 m only the distance is set.
// Non-finite inputs give non-finite fields.
RelativePosition gf_relativePosition(const LatLon& from, double headingRad, const LatLon& to) noexcept;

// Whether two circles (radii in NM) overlap, in the flat plane at a's latitude;
// false when the radii add up to at most 0 or an input is not finite.
bool gf_circlesOverlapNm(const LatLon& a, double radiusANm, const LatLon& b, double radiusBNm) noexcept;

// The bank the motion may use: 0 for a non-finite or non-positive maximum;
// with heightDependent and a finite height, at most 5 degrees on the ground and
// in the air rising linearly from min(10 degrees, bank) at 100 ft to the full
// bank at 1000 ft.
double gf_limitBank(double maxBankRad, bool heightDependent, double heightAboveGroundFt, bool onGround) noexcept;

// The shortest plausible time in seconds to cover distanceM between two
// samples: distance over max(category ceiling, 1.25 x the larger speed).
// Empty for a non-finite input, a distance of at most 1 m, or when elapsedS
// already reaches it (nothing to correct).
std::optional<double> gf_minGroundTravelTime(double distanceM, double elapsedS, double previousSpeedKt,
                                             double newSpeedKt, AcCategory category) noexcept;

// The first entry i >= 1 at threshold + 10 kt or faster with an earlier entry
// that is finite, at least 40 kt, at least 15 kt slower and less than 2000 ticks
// before it; empty when the threshold is not finite or not above 0.
std::optional<std::size_t> gf_detectTakeoffAcceleration(std::span<const AccelerationEntry> entries,
                                                        double thresholdKt) noexcept;

} // namespace zelk
