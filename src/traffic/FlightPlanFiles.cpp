// The small AceXML flight plans that tell MSFS 2020 where an AI aircraft comes
// from and goes to.
#include "traffic/FlightPlanFiles.h"

#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "platform/FileReplace.h"
#include "traffic/AircraftRecords.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

const fs::path kFlightPlanFolderName{"orig_dest"};

std::string_view lf_planType(AcCategory category)
{
    switch (category) {
    case AcCategory::TwoProps:
    case AcCategory::Bizjet:
    case AcCategory::Large:
    case AcCategory::Heavy:
        return "IFR";
    default:
        return "VFR";
    }
}

} // namespace

std::optional<fs::path> gf_flightPlanFolder()
{
    if (!gf_isMsfs2020()) return std::nullopt;
    return gf_programDataFolder() / kFlightPlanFolderName;
}

bool gf_ensureFlightPlanFolder(const fs::path& folder)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        // A file in the folder's place fails the creation too; it is reported
        // below as what it is.
        std::error_code statusEc;
        if (!fs::exists(fs::status(folder, statusEc))) {
            gf_writeLogLine(
                fmt::format("Could not create flight-plan folder '{}': {}", path_to_utf8(folder), ec.message()));
            return false;
        }
    }
    const fs::file_status status = fs::status(folder, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("Could not inspect flight-plan folder '{}': {}", path_to_utf8(folder), ec.message()));
        return false;
    }
    if (fs::is_directory(status)) return true;
    gf_writeLogLine(fmt::format("Flight-plan path '{}' is not a directory", path_to_utf8(folder)));
    return false;
}

std::string gf_flightPlanFile(std::uint32_t objectId) { return fmt::format("{}.pln", objectId); }

std::string gf_flightPlanText(const StaticAc& aircraft)
{
    return fmt::format("{}\n{}\n{}\n{}{}{}\n{}{}{}\n{}{}{}\n{}\n{}\n", R"(<?xml version="1.0" encoding="UTF-8"?>)",
                       R"(<SimBase.Document Type="AceXML" version="4,3">)", "<FlightPlan.FlightPlan>", "<FPType>",
                       lf_planType(aircraft.category), "</FPType>", "<DepartureID>", aircraft.head.origin.view(),
                       "</DepartureID>", "<DestinationID>", aircraft.head.destination.view(), "</DestinationID>",
                       "</FlightPlan.FlightPlan>", "</SimBase.Document>");
}

bool gf_writeFlightPlan(const fs::path& file, const StaticAc& aircraft)
{
    // Through a side file, so that the simulator never loads half a plan.
    std::error_code ec;
    platform::DurableWriteStep failed = platform::DurableWriteStep::none;
    if (platform::writeFileDurably(file, gf_flightPlanText(aircraft), ec, failed)) return true;
    if (failed == platform::DurableWriteStep::openSideFile)
        gf_writeLogLine(fmt::format("Could not open flight plan '{}' for writing", path_to_utf8(file)));
    else
        gf_writeLogLine(fmt::format("Writing flight plan '{}' failed: {}", path_to_utf8(file), ec.message()));
    return false;
}

bool gf_removeFlightPlanIn(const fs::path& folder, std::uint32_t objectId)
{
    const fs::path file = folder / gf_flightPlanFile(objectId);
    std::error_code ec;
    const bool removed = fs::remove(file, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("Could not remove flight plan '{}': {}", path_to_utf8(file), ec.message()));
        return false;
    }
    return removed;
}

bool gf_removeFlightPlan(std::uint32_t objectId)
{
    const auto folder = gf_flightPlanFolder();
    return folder && gf_removeFlightPlanIn(*folder, objectId);
}

bool gf_removeFlightPlanFolderAt(const fs::path& folder)
{
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("Could not remove flight-plan folder '{}': {}", path_to_utf8(folder), ec.message()));
        return false;
    }
    const fs::file_status status = fs::status(folder, ec);
    if (status.type() == fs::file_type::not_found) return true;
    if (ec) {
        gf_writeLogLine(
            fmt::format("Could not inspect removed flight-plan folder '{}': {}", path_to_utf8(folder), ec.message()));
        return false;
    }
    return false;
}

bool gf_removeFlightPlanFolder()
{
    const auto folder = gf_flightPlanFolder();
    return folder && gf_removeFlightPlanFolderAt(*folder);
}

} // namespace zelk
