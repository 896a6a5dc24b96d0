#pragma once

#include <array>
#include <cstdint>

namespace zelk {

// Load, radius-order check and version upgrade at the start of every run. The
// checks are skipped when the load had to write a new file.
void gf_loadAndCheckParameters();

struct RadiusOrderResult {
    std::array<double, 8> values{};
    bool changed = false;
};

// The eight radius values RANGE_GROUND, RANGE_1, RANGE_2, RANGE_3, RANGE_ABOVE,
// FLIGHT_LEVEL_1, FLIGHT_LEVEL_2, FLIGHT_LEVEL_3: radii non-negative and
// non-decreasing, flight levels sorted and strictly increasing by at least step.
RadiusOrderResult gf_enforceRadiusOrder(const std::array<double, 8>& values, double step);

// The same, kept inside each value's [min, max]: where the highest flight level
// would pass its maximum the levels are pushed down instead, so that a result
// is stable (a second check of it changes nothing).
RadiusOrderResult gf_enforceRadiusOrderWithin(const std::array<double, 8>& values, const std::array<double, 8>& mins,
                                              const std::array<double, 8>& maxs, double step);

// Stores the program's version in PROGRAM_VERSION and, when the program is newer
// than the stored version, runs the one-time clean-ups of an update.
void gf_upgradeParameters();

// Validates SIM_CHOICE and RT_CHOISE (exact texts; unknown ones are replaced in
// memory) and publishes the program mode.
void gf_publishProgramMode();

// Stand-fit window: slot n stands for (n + 1) x 0.5 hours.
float gf_maxFitToHours(std::int32_t slots);
std::int32_t gf_hoursToMaxFit(float hours);

// MAX_FIT_FL from MAX_FIT, selected in its list control when it is an option.
void gf_syncMaxFitHours();

// The holding-threshold value snapped to its list (ties take the lower entry).
std::int32_t gf_snapHoldingThreshold(std::int32_t meters);

} // namespace zelk
