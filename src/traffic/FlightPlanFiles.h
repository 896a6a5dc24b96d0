#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zelk {

struct StaticAc;

// The folder of the AI flight plans; only with MSFS 2020.
std::optional<std::filesystem::path> gf_flightPlanFolder();
bool gf_ensureFlightPlanFolder(const std::filesystem::path& folder);
std::string gf_flightPlanFile(std::uint32_t objectId);
bool gf_writeFlightPlan(const std::filesystem::path& file, const StaticAc& aircraft);
bool gf_removeFlightPlan(std::uint32_t objectId);
bool gf_removeFlightPlanFolder();

} // namespace zelk
