#include "ground/MotionGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "traffic/AircraftRecords.h"

namespace zelk {
namespace {

constexpr double kTaxiCeilingKt = 30.0;
constexpr std::int64_t kTicksPerMinute = 6000;

} // namespace

std::int64_t gf_holdTicks(FlightPhase phase, std::int32_t maxHoldingMinutes) noexcept
{
    switch (phase) {
    case FlightPhase::parked:
        // A parked aircraft waits at its stand for as long as it is reported there.
        return std::numeric_limits<std::int64_t>::max() / 2;
    case FlightPhase::pushing_back:
    case FlightPhase::pushed_back:
    case FlightPhase::taxi:
    case FlightPhase::parking:
    case FlightPhase::landing_roll:
        return std::max<std::int64_t>(0, maxHoldingMinutes) * kTicksPerMinute;
    case FlightPhase::takeoff_roll:
        return 4500;
    case FlightPhase::takeoff:
    case FlightPhase::flying:
    case FlightPhase::landing:
        return 2700;
    case FlightPhase::birth:
        break;
    }
    return 0;
}

std::int32_t gf_holdCount(std::int64_t remainingTicks) noexcept
{
    if (remainingTicks <= 0)
        return 0;
    const std::int64_t count = (remainingTicks + kHoldCopyTicks - 1) / kHoldCopyTicks;
    return static_cast<std::int32_t>(std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
}

double gf_foldHeading(double rad) noexcept
{
    if (!std::isfinite(rad))
        return rad;
    double h = std::fmod(rad, kFullCircle);
    if (h < 0.0)
        h += kFullCircle;
    return h < kFullCircle ? h : 0.0;
}

double gf_stepToward(double value, double target, double maxStep) noexcept
{
    return value + std::clamp(target - value, -maxStep, maxStep);
}

LatLon gf_advance(const LatLon& from, double courseRad, double distanceM) noexcept
{
    return gf_destinationPoint(from, courseRad, distanceM / 0.3048);
}

double gf_arcHeadingStep(double relativeBearing, double distanceM, double stepM) noexcept
{
    if (!(distanceM > 0.5) || !std::isfinite(relativeBearing) || !std::isfinite(stepM))
        return 0.0;
    return 2.0 * std::sin(relativeBearing) * stepM / distanceM;
}

double gf_airTurnRate(double standardRatePerPass, double bankLimitRad, double speedKt) noexcept
{
    const double v = speedKt * kMetersPerKnotSecond;
    if (!(v > 1.0) || !(bankLimitRad > 0.0))
        return standardRatePerPass;
    const double bankRate = kGravityMs2 * std::tan(std::min(bankLimitRad, 1.5)) / v * kPassSeconds;
    return std::min(standardRatePerPass, bankRate);
}

double gf_bankForTurn(double speedKt, double turnPerPass) noexcept
{
    const double v = speedKt * kMetersPerKnotSecond;
    if (!std::isfinite(v) || !std::isfinite(turnPerPass))
        return 0.0;
    return std::atan(v * (turnPerPass / kPassSeconds) / kGravityMs2);
}

double gf_rampSpeed(double currentKt, double targetKt, double upKtPerS, double downKtPerS) noexcept
{
    if (!std::isfinite(targetKt))
        return currentKt;
    if (targetKt >= currentKt)
        return std::min(targetKt, currentKt + upKtPerS * kPassSeconds);
    return std::max(targetKt, currentKt - downKtPerS * kPassSeconds);
}

double gf_speedToArrive(double distanceM, double passesLeft) noexcept
{
    if (!(distanceM > 0.0))
        return 0.0;
    return distanceM / (std::max(1.0, passesLeft) * kPassSeconds) / kMetersPerKnotSecond;
}

double gf_brakingSpeed(double distanceM, double decelKtPerS) noexcept
{
    const double a = decelKtPerS * kMetersPerKnotSecond;
    return std::sqrt(2.0 * a * std::max(0.0, distanceM)) / kMetersPerKnotSecond;
}

double gf_taxiSpeedLimit(double turnAngleDeg) noexcept
{
    return kTaxiCeilingKt * gf_taxiSpeedFactor(std::fabs(turnAngleDeg));
}

std::int32_t gf_retimeLeg(double distanceM, double sampleSpeedKt, std::int32_t now, std::int32_t dueTick,
                          std::int32_t maxEarlier, std::int32_t maxLater) noexcept
{
    if (!(sampleSpeedKt > 1.0) || !(distanceM > 1.0))
        return dueTick;
    const double passesLeft = std::max(1, dueTick - now);
    const double needed = gf_speedToArrive(distanceM, passesLeft);
    double wanted = passesLeft;
    if (needed > 1.5 * sampleSpeedKt)
        wanted = distanceM / (1.5 * sampleSpeedKt * kMetersPerKnotSecond) / kPassSeconds;
    else if (needed < sampleSpeedKt / 3.0)
        wanted = distanceM / (sampleSpeedKt / 3.0 * kMetersPerKnotSecond) / kPassSeconds;
    else
        return dueTick;
    const double shift = std::clamp(std::ceil(wanted) - passesLeft, -static_cast<double>(std::max(0, maxEarlier)),
                                    static_cast<double>(std::max(0, maxLater)));
    return std::max(now + 1, dueTick + static_cast<std::int32_t>(shift));
}

double gf_descentAngleDeg(double verticalSpeedFtMin, double groundSpeedKt) noexcept
{
    // 1 kt = 101.2686 ft per minute.
    if (!(groundSpeedKt > 0.0) || !std::isfinite(verticalSpeedFtMin))
        return 0.0;
    return std::atan2(-verticalSpeedFtMin, groundSpeedKt * 101.2686) * kRadToDeg;
}

} // namespace zelk
