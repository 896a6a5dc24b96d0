#include "ground/StandFinder.h"

#include <algorithm>
#include <cmath>

#include "ground/GroundGeometry.h"
#include "traffic/StandFit.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr double kMaxHeadingRad = 10.0 * kDegree;
constexpr double kMaxApproachRad = 15.0 * kDegree;
constexpr double kMinBeforeStandM = 5.0; // along must stay below -5 m
constexpr double kMaxOffCentreM = 3.0;
constexpr double kMaxOffCentreSCurveM = 4.0;
constexpr double kSCurveRadiusM = 30.0;
constexpr double kSCurveRunInM = 10.0;
constexpr double kAxisWindowNm = 0.04387149; // 81.25 m
constexpr double kFallbackRadiusM = 40.0;

bool lf_finitePose(const StandPose& s) noexcept
{
    return std::isfinite(s.latitude) && std::isfinite(s.longitude) && std::isfinite(s.headingRad);
}

bool lf_inRange(const LatLon& p) noexcept { return std::abs(p.latitude) <= 90.0 && std::abs(p.longitude) <= 180.0; }

// Room for a turn out and back in over the lateral offset, plus a straight run-in.
bool lf_sCurveFits(double alongM, double lateralM)
{
    return -alongM >= 2.0 * std::sqrt(kSCurveRadiusM * std::abs(lateralM)) + kSCurveRunInM;
}

StandEntryCheck lf_refuse(std::string_view reason) { return StandEntryCheck{0.0, 0, reason}; }

bool lf_withinAxisWindow(const ParkPos& stand, const LatLon& p)
{
    const FlatOffset off = gf_flatOffsetM(p, {stand.latitude, stand.longitude});
    const double window = kAxisWindowNm * kMetersPerNm;
    return std::abs(off.northM) <= window && std::abs(off.eastM) <= window;
}

} // namespace

ParkPos* gf_engineStandById(std::int32_t standId)
{
    auto& stands = gf_stands();
    if (standId < 1 || static_cast<std::size_t>(standId) > stands.size()) return nullptr;
    ParkPos& stand = stands[static_cast<std::size_t>(standId) - 1];
    return stand.id == static_cast<std::uint32_t>(standId) ? &stand : nullptr;
}

bool gf_standSuitsAircraft(const ParkPos& stand, const StaticAc& aircraft)
{
    if (stand.type == StandType::NONE || stand.blocked != 0)
        return false;
    const bool rotorcraft = aircraft.category == AcCategory::Rotorcraft;
    if ((stand.helipad != 0) != rotorcraft)
        return false;
    return gf_acFitsStand(stand, aircraft.category, aircraft.sizeRadius);
}

StandEntryCheck gf_checkStandEntry(const StandPose& stand, double standRadiusNm, const LatLon& aircraft,
                                   double aircraftHeadingRad, double proximityRadiusNm)
{
    if (!lf_finitePose(stand) || !std::isfinite(aircraft.latitude) || !std::isfinite(aircraft.longitude) ||
        !std::isfinite(aircraftHeadingRad) || !(standRadiusNm >= 0.0) || !(proximityRadiusNm >= 0.0))
        return lf_refuse(kEntryInvalidGeometry);
    const LatLon standPoint{stand.latitude, stand.longitude};
    const RelativePosition rel = gf_relativePosition(standPoint, stand.headingRad, aircraft);
    if (!lf_inRange(standPoint) || !lf_inRange(aircraft) || !std::isfinite(rel.distanceM) ||
        !std::isfinite(rel.alongM) || !std::isfinite(rel.lateralM))
        return lf_refuse(kEntryInvalidRelative);

    if (std::abs(gf_normalizeAngle(aircraftHeadingRad - stand.headingRad)) > kMaxHeadingRad)
        return lf_refuse(kEntryHeading);
    if (rel.distanceM > (standRadiusNm + proximityRadiusNm) * kMetersPerNm)
        return lf_refuse(kEntryOutsideOverlap);
    const double along = rel.alongM;
    const double lateral = rel.lateralM;
    if (along > -kMinBeforeStandM)
        return lf_refuse(kEntryTooClose);
    const double offCentre = std::abs(lateral);
    if (offCentre > kMaxOffCentreSCurveM || (offCentre > kMaxOffCentreM && !lf_sCurveFits(along, lateral)))
        return lf_refuse(kEntryOffCentreline);
    const double bearingToStand = gf_initialBearing(aircraft, standPoint);
    if (std::abs(gf_normalizeAngle(bearingToStand - stand.headingRad)) > kMaxApproachRad)
        return lf_refuse(kEntryDirectFinal);
    if (std::abs(gf_normalizeAngle(aircraftHeadingRad - bearingToStand)) > kMaxApproachRad)
        return lf_refuse(kEntryApproachTurn);
    return StandEntryCheck{-along, 1, {}};
}

ParkPos* gf_findNearestStand(std::vector<ParkPos>& stands, const LatLon& position, const StaticAc& aircraft,
                             double& distanceM, bool fallback)
{
    distanceM = kNoStandDistanceM;
    if (!std::isfinite(position.latitude) || !std::isfinite(position.longitude))
        return nullptr;
    ParkPos* best = nullptr;
    ParkPos* nearestLearned = nullptr;
    double bestM = kNoStandDistanceM;
    double learnedM = kNoStandDistanceM;
    for (ParkPos& stand : stands) {
        if (!gf_standSuitsAircraft(stand, aircraft) || !lf_withinAxisWindow(stand, position))
            continue;
        const double d = gf_distanceNm(position, {stand.latitude, stand.longitude}) * kMetersPerNm;
        const double radiusM = std::max(stand.radius, aircraft.sizeRadius) * kMetersPerNm;
        if (d <= radiusM && d < bestM) {
            best = &stand;
            bestM = d;
        }
        if (fallback && d <= kFallbackRadiusM && d < learnedM &&
            gf_hasMatchingFlightOption(stand.options, aircraft.head.callsign, aircraft.head.key)) {
            nearestLearned = &stand;
            learnedM = d;
        }
    }
    if (best == nullptr && nearestLearned != nullptr) {
        best = nearestLearned;
        bestM = learnedM;
    }
    if (best != nullptr)
        distanceM = bestM;
    return best;
}

} // namespace zelk
