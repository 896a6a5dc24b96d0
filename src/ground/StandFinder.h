#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "airports/ParkPos.h"
#include "core/Geometry.h"
#include "traffic/AircraftRecords.h"

namespace zelk {

// The reasons of a refused StandEntryCheck.
inline constexpr std::string_view kEntryHeading = "heading exceeds 10 deg";
inline constexpr std::string_view kEntryOutsideOverlap = "outside stand overlap";
inline constexpr std::string_view kEntryTooClose = "too close to or past stand";
inline constexpr std::string_view kEntryOffCentreline = "over 3 m from centerline";
inline constexpr std::string_view kEntryDirectFinal = "direct final approach exceeds 15 deg";
inline constexpr std::string_view kEntryApproachTurn = "approach turn exceeds 15 deg";
inline constexpr std::string_view kEntryInvalidRelative = "invalid stand relative position";
inline constexpr std::string_view kEntryInvalidGeometry = "invalid stand or aircraft geometry";

// Tests the two invalid reasons first, then in the order of the texts above:
// heading within 10 degrees of the stand's, inside (stand + aircraft radius) of
// the stand point, at least 5 m before it on its axis, at most 3 m off its
// centre line (4 m when an S-curve of 30 m radius fits in the room left), the
// bearing to the stand point within 15 degrees of the stand heading and the
// aircraft heading within 15 degrees of that bearing.
StandEntryCheck gf_checkStandEntry(const StandPose& stand, double standRadiusNm, const LatLon& aircraft,
                                   double aircraftHeadingRad, double proximityRadiusNm);

inline constexpr double kNoStandDistanceM = 99999.0;

// The engine's stand with this id; null when none has it.
ParkPos* gf_engineStandById(std::int32_t standId);
// Type set, not blocked, helipad rule, gf_acFitsStand.
bool gf_standSuitsAircraft(const ParkPos& stand, const StaticAc& aircraft);

// The nearest stand the aircraft may use (type set, not blocked, helipads for
// Rotorcraft only and Rotorcraft only on helipads, within 81.25 m on both axes,
// gf_acFitsStand) within max(stand radius, aircraft size radius); with fallback,
// else the nearest within 40 m with a learned option for its callsign or
// livery. distanceM is 99999.0 when none is found.
ParkPos* gf_findNearestStand(std::vector<ParkPos>& stands, const LatLon& position, const StaticAc& aircraft,
                             double& distanceM, bool fallback);

} // namespace zelk
