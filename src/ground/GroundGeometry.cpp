#include "ground/GroundGeometry.h"

#include <algorithm>
#include <cmath>

#include "traffic/TrafficIntake.h"

namespace zelk {
namespace {

constexpr double kMinBearingDistanceM = 0.1;
constexpr double kGroundBankRad = 5.0 * kDegree;
constexpr double kLowAirBankRad = 10.0 * kDegree;
constexpr double kBankRampStartFt = 100.0;
constexpr double kBankRampEndFt = 1000.0;

// Fastest plausible speeds by category (kt), in the order of AcCategory.
constexpr double kCategoryCeilingKt[] = {220.0, 320.0, 550.0, 620.0, 650.0, 1000.0, 180.0};
constexpr double kSpeedMargin = 1.25;
constexpr double kMinTravelDistanceM = 1.0;

constexpr double kAccelerationMarginKt = 10.0;
constexpr double kAccelerationBaseKt = 40.0;
constexpr double kAccelerationGainKt = 15.0;
constexpr std::int64_t kAccelerationWindowTicks = 2000;

bool lf_finite(const LatLon& p) noexcept { return std::isfinite(p.latitude) && std::isfinite(p.longitude); }

} // namespace

double gf_normalizeAngle(double rad) noexcept { return gf_wrapToPeriod(rad, 2.0 * kPi); }

FlatOffset gf_flatOffsetM(const LatLon& from, const LatLon& to) noexcept
{
    const double north = (to.latitude - from.latitude) * 60.0 * kMetersPerNm;
    const double east =
        gf_wrapLongitudeDelta(to.longitude, from.longitude) * std::cos(from.latitude * kDegToRad) * 60.0 * kMetersPerNm;
    return {north, east};
}

RelativePosition gf_relativePosition(const LatLon& from, double headingRad, const LatLon& to) noexcept
{
    RelativePosition r;
    r.distanceM = gf_distanceNm(from, to) * kMetersPerNm;
    if (r.distanceM <= kMinBearingDistanceM)
        return r;
    r.bearingRad = gf_normalizeAngle(gf_initialBearing(from, to) - headingRad);
    r.alongM = std::cos(r.bearingRad) * r.distanceM;
    r.lateralM = std::sin(r.bearingRad) * r.distanceM;
    return r;
}

bool gf_circlesOverlapNm(const LatLon& a, double radiusANm, const LatLon& b, double radiusBNm) noexcept
{
    const double sum = radiusANm + radiusBNm;
    if (!(sum > 0.0) || !lf_finite(a) || !lf_finite(b))
        return false;
    const double dLat = (b.latitude - a.latitude) * 60.0;
    const double dLon = std::cos(a.latitude * kDegToRad) * gf_wrapLongitudeDelta(b.longitude, a.longitude) * 60.0;
    return dLat * dLat + dLon * dLon < sum * sum;
}

double gf_limitBank(double maxBankRad, bool heightDependent, double heightAboveGroundFt, bool onGround) noexcept
{
    if (!std::isfinite(maxBankRad) || maxBankRad <= 0.0)
        return 0.0;
    const double bank = std::min(maxBankRad, kPi / 2.0);
    if (!heightDependent || !std::isfinite(heightAboveGroundFt))
        return bank;
    if (onGround)
        return std::min(kGroundBankRad, bank);
    const double low = std::min(kLowAirBankRad, bank);
    const double share =
        std::clamp((heightAboveGroundFt - kBankRampStartFt) / (kBankRampEndFt - kBankRampStartFt), 0.0, 1.0);
    return low + (bank - low) * share;
}

std::optional<double> gf_minGroundTravelTime(double distanceM, double elapsedS, double previousSpeedKt,
                                             double newSpeedKt, AcCategory category) noexcept
{
    const auto index = static_cast<std::size_t>(category);
    if (index >= std::size(kCategoryCeilingKt))
        return std::nullopt;
    if (!std::isfinite(distanceM) || !std::isfinite(elapsedS) || !std::isfinite(previousSpeedKt) ||
        !std::isfinite(newSpeedKt) || distanceM <= kMinTravelDistanceM)
        return std::nullopt;
    const double speedKt =
        std::max(kCategoryCeilingKt[index], kSpeedMargin * std::max(previousSpeedKt, newSpeedKt));
    const double seconds = distanceM / (speedKt * kMetersPerSecondPerKnot);
    if (elapsedS >= seconds)
        return std::nullopt;
    return seconds;
}

std::optional<std::size_t> gf_detectTakeoffAcceleration(std::span<const AccelerationEntry> entries,
                                                        double thresholdKt) noexcept
{
    if (!std::isfinite(thresholdKt) || thresholdKt <= 0.0)
        return std::nullopt;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const AccelerationEntry& fast = entries[i];
        if (!(fast.groundSpeedKt >= thresholdKt + kAccelerationMarginKt))
            continue;
        for (std::size_t j = 0; j < i; ++j) {
            const AccelerationEntry& slow = entries[j];
            const std::int64_t ticks = fast.tick - slow.tick;
            if (std::isfinite(slow.groundSpeedKt) && slow.groundSpeedKt >= kAccelerationBaseKt &&
                fast.groundSpeedKt - slow.groundSpeedKt >= kAccelerationGainKt && ticks >= 0 &&
                ticks < kAccelerationWindowTicks)
                return i;
        }
    }
    return std::nullopt;
}

} // namespace zelk
