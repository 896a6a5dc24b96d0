#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zelk {

struct StaticAc;

// The folder of the AI flight plans ("orig_dest" in the per-user data folder);
// only with MSFS 2020, which takes plans for AI objects.
std::optional<std::filesystem::path> gf_flightPlanFolder();
// Creates the folder with its parents; false (logged) when it cannot be made or
// is not a directory.
bool gf_ensureFlightPlanFolder(const std::filesystem::path& folder);
// "{object id}.pln"
std::string gf_flightPlanFile(std::uint32_t objectId);
// The exact eight lines of the plan of an aircraft (origin and destination).
std::string gf_flightPlanText(const StaticAc& aircraft);
bool gf_writeFlightPlan(const std::filesystem::path& file, const StaticAc& aircraft);
// True when the object's plan was there and is gone; nothing without a folder.
bool gf_removeFlightPlan(std::uint32_t objectId);
bool gf_removeFlightPlanIn(const std::filesystem::path& folder, std::uint32_t objectId);
// Removes the folder and every plan left in it; true when it no longer exists.
bool gf_removeFlightPlanFolder();
bool gf_removeFlightPlanFolderAt(const std::filesystem::path& folder);

} // namespace zelk
