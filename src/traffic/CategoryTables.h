#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "liveries/AcCategory.h"
#include "traffic/AircraftRecords.h"

namespace zelk {

struct SettingsSnapshot;

// Type designators that refine a category (exact, case-sensitive codes).
extern const std::array<std::string_view, 46> kRegionalModels;
extern const std::array<std::string_view, 22> kLightTwinModels;
extern const std::array<std::string_view, 204> kLightSingleModels;

bool gf_isRegionalModel(std::string_view code);
bool gf_isLightTwinModel(std::string_view code);
bool gf_isLightSingleModel(std::string_view code);

// Per-category constants. Each throws std::out_of_range "invalid unordered_map<K, T> key"
// for a value outside Light..Rotorcraft.
double gf_categoryTurnRate(AcCategory category);         // radians per engine pass
std::uint32_t gf_categoryFlarePasses(AcCategory category);
std::uint32_t gf_categoryTouchDownPasses(AcCategory category);
std::uint32_t gf_categoryRotationPasses(AcCategory category);
std::uint32_t gf_categoryClimbPasses(AcCategory category);
double gf_categoryRotationPitchDeg(AcCategory category); // negative is nose up
double gf_categoryClimbPitchDeg(AcCategory category);
double gf_categoryCgHeightFt(AcCategory category);
double gf_categoryBankLimit(AcCategory category);        // radians
double gf_categoryRollRate(AcCategory category);         // radians per pass
double gf_categoryFactor2(AcCategory category);
double gf_categoryFactor3(AcCategory category);

// Whether the user wants aircraft of this category (settings of the given or the
// published snapshot); Bizjet, Large and Heavy always; false outside the enumeration.
bool gf_isCategoryIncluded(AcCategory category, const SettingsSnapshot& settings);
bool gf_isCategoryIncluded(AcCategory category);

// Clearance of an aircraft with this half span: 1.8 spans plus 12 m, kept within
// 18..65 m; in nautical miles.
double gf_clearanceNm(double sizeRadiusNm);

// Moves a value up or down by a percentage (the sign drawn at random).
using JitterFunction = std::function<double(double value, double percent)>;

// Fills the identity part of an aircraft record from a received head: category,
// sizes, per-category motion values (rotation and climb pitch jittered by 2.5 and
// 5 per cent) and the type flags. Everything else of the part is cleared.
AcIdentity& gf_classifyAircraft(AcIdentity& identity, const TrafficRecordHead& head, const JitterFunction& jitter);
// The same with the calling thread's random engine.
AcIdentity& gf_classifyAircraft(AcIdentity& identity, const TrafficRecordHead& head);

} // namespace zelk
