#include "ground/AirConflict.h"

#include <cmath>

#include "ground/GroundGeometry.h"
#include "traffic/TrafficIntake.h"

namespace zelk {
namespace {

constexpr double kClearDistanceNm = 4.0;
constexpr double kClearAltitudeFt = 1000.0;
constexpr double kClosingDistanceNm = 0.6;
constexpr double kClosingAltitudeFt = 300.0;

struct AheadTest {
    double distanceNm;
    double lateralFt;
    bool sameDirectionToo; // headings within 30 degrees count as well as opposite ones
};
constexpr AheadTest kModeTwo{3.0, 1500.0, true};
constexpr AheadTest kModeOne{2.0, 1000.0, false};
constexpr double kSameDirectionRad = 30.0 * kDegree;
constexpr double kOppositeRad = 150.0 * kDegree;
constexpr double kNearDistanceNm = 1.0;
constexpr double kNearAltitudeFt = 500.0;

bool lf_inputFinite(const AirConflictInput& in) noexcept
{
    return std::isfinite(in.userLatitude) && std::isfinite(in.userLongitude) && std::isfinite(in.aircraftLatitude) &&
           std::isfinite(in.aircraftLongitude) && std::isfinite(in.cosLatitude) && std::isfinite(in.userAltitudeFt) &&
           std::isfinite(in.aircraftAltitudeFt);
}

bool lf_aheadConflict(const AirConflictResult& r, const AheadTest& test) noexcept
{
    const double heading = std::abs(r.headingDifferenceRad);
    const bool directionFits = heading > kOppositeRad || (test.sameDirectionToo && heading <= kSameDirectionRad);
    return r.alongNm > 0.0 && r.alongNm <= test.distanceNm && std::abs(r.lateralFt) <= test.lateralFt &&
           directionFits;
}

} // namespace

AirConflictResult gf_assessAirConflict(const AirConflictInput& in) noexcept
{
    AirConflictResult r;
    if (!lf_inputFinite(in))
        return r;
    const double north = (in.aircraftLatitude - in.userLatitude) * 60.0;
    const double east = gf_wrapLongitudeDelta(in.aircraftLongitude, in.userLongitude) * in.cosLatitude * 60.0;
    r.distanceNm = std::hypot(north, east);
    r.altitudeDifferenceFt = std::abs(in.aircraftAltitudeFt - in.userAltitudeFt);
    if (r.distanceNm > kClearDistanceNm) {
        r.code = 1;
        return r;
    }
    if (r.altitudeDifferenceFt > kClearAltitudeFt) {
        r.code = 2;
        return r;
    }
    const double bearing = std::atan2(east, north); // from the user to the aircraft
    const double relative = gf_normalizeAngle(bearing - in.userTrackRad);
    r.alongNm = std::cos(relative) * r.distanceNm;
    r.lateralFt = std::sin(relative) * r.distanceNm * kFeetPerNm;
    r.headingDifferenceRad = gf_normalizeAngle(in.aircraftHeadingRad - in.userTrackRad);
    const bool towardsUser = std::cos(in.aircraftHeadingRad - (bearing + kPi)) > 0.0;
    const bool closing = r.alongNm > 0.0 || towardsUser;
    if (r.distanceNm <= kClosingDistanceNm && r.altitudeDifferenceFt <= kClosingAltitudeFt && closing) {
        r.conflict = 1;
        return r;
    }
    if (in.mode == 2) {
        r.lateralLimitFt = kModeTwo.lateralFt;
        if (lf_aheadConflict(r, kModeTwo))
            r.conflict = 2;
    } else if (in.mode == 1) {
        r.lateralLimitFt = kModeOne.lateralFt;
        if (lf_aheadConflict(r, kModeOne))
            r.conflict = 3;
    } else if (in.mode == 0 && r.distanceNm <= kNearDistanceNm && r.altitudeDifferenceFt <= kNearAltitudeFt) {
        r.conflict = 4;
    }
    if (r.conflict == 0)
        r.code = 3;
    return r;
}

} // namespace zelk
