#pragma once

#include <cstdint>

#include "core/Geometry.h"
#include "liveries/AcCategory.h"

namespace zelk {

// Pure geometry of the per-pass motion. One pass is 10 ms. Angles in radians,
// speeds in knots, distances in metres unless named otherwise. Nothing here
// throws; a non-finite input gives a non-finite or neutral answer as stated.

inline constexpr double kPassSeconds = 0.01;
inline constexpr double kMetersPerKnotSecond = 0.5144444;
inline constexpr double kGravityMs2 = 9.80665;
inline constexpr std::int32_t kHoldCopyTicks = 300;
inline constexpr std::int32_t kParkedHoldCopyTicks = 60'480'000;

// How long the stream of an aircraft in this phase is held once it ran out,
// counted from the hold start (ticks); birth holds nothing.
std::int64_t gf_holdTicks(FlightPhase phase, std::int32_t maxHoldingMinutes) noexcept;
// Hold copies still to come: the remaining ticks / 300 rounded up, 0 when none remain.
std::int32_t gf_holdCount(std::int64_t remainingTicks) noexcept;

// A heading folded into [0, 2 pi).
double gf_foldHeading(double rad) noexcept;
// value moved towards target by at most maxStep (>= 0).
double gf_stepToward(double value, double target, double maxStep) noexcept;
// The position moved by distanceM along a course.
LatLon gf_advance(const LatLon& from, double courseRad, double distanceM) noexcept;

// Heading change for a step of stepM along the circle that is tangent to the
// current heading and passes through a target at distanceM and relative
// bearing: 2 sin(bearing) stepM / distanceM. 0 within half a metre of the target.
double gf_arcHeadingStep(double relativeBearing, double distanceM, double stepM) noexcept;

// Turn rate in the air: the standard rate, or less when the bank limit cannot
// give it at this speed (g tan(bank) / v), per pass.
double gf_airTurnRate(double standardRatePerPass, double bankLimitRad, double speedKt) noexcept;
// Bank for a coordinated turn of this rate (per pass) at this speed.
double gf_bankForTurn(double speedKt, double turnPerPass) noexcept;

// The speed after one pass of ramping towards target with the limits in kt per second.
double gf_rampSpeed(double currentKt, double targetKt, double upKtPerS, double downKtPerS) noexcept;
// Speed (kt) that covers distanceM in the given passes; 0 for no distance.
double gf_speedToArrive(double distanceM, double passesLeft) noexcept;
// Highest speed (kt) from which a stop within distanceM is possible at this deceleration.
double gf_brakingSpeed(double distanceM, double decelKtPerS) noexcept;

// The speed a ground leg may use off the runways: 30 kt times the taxi speed
// factor of the turn angle (degrees) to the next sample.
double gf_taxiSpeedLimit(double turnAngleDeg) noexcept;

// A leg re-timed so that it needs between 1/3 and 1.5 times its sample speed,
// within maxEarlier and maxLater ticks of its due tick and never before
// now + 1. Legs without a usable speed keep their tick.
std::int32_t gf_retimeLeg(double distanceM, double sampleSpeedKt, std::int32_t now, std::int32_t dueTick,
                          std::int32_t maxEarlier, std::int32_t maxLater) noexcept;

// Descent angle of a stream leg, degrees (positive descending); 0 without speed.
double gf_descentAngleDeg(double verticalSpeedFtMin, double groundSpeedKt) noexcept;

} // namespace zelk
