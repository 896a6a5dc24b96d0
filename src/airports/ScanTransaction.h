#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

namespace zelk {

// Makes the scenery scan's rebuild of "airports/my_simaddon" and
// "airports/my_thirdparty" all or nothing. Begin writes a marker (whole or not
// at all) and moves the folders aside as ".scan_backup"; commit deletes the
// marker and then the backups; a rollback or the next scan's recovery puts
// the backups back. A process killed at any point leaves a state the next
// recovery takes back to the previous or the committed folders, whole.
// Worker thread only.

struct AirportScanTransaction {
    std::uint8_t simaddonExisted = 0;
    std::uint8_t thirdpartyExisted = 0;
    std::uint8_t open = 0;
};

std::filesystem::path lf_scanBackupPath(const std::filesystem::path& folder);
std::filesystem::path lf_scanMarkerPath();

// Puts right a scan that was cut off; false when the previous data could not
// be restored safely (the scan is then skipped).
bool lf_recoverAirportScan();
// Recovery, then begin; throws std::runtime_error (after undoing a partial begin).
void lf_openAirportScan(AirportScanTransaction& transaction);
void lf_beginAirportScan(AirportScanTransaction& transaction);
void lf_commitAirportScan(AirportScanTransaction& transaction);
// Rolls an open transaction back; does nothing otherwise. A rollback that
// cannot restore everything keeps the marker for the next recovery.
void lf_cleanupAirportScan(AirportScanTransaction& transaction) noexcept;

// Removes a file or a whole tree; a missing path is no failure.
bool lf_removeRecursively(const std::filesystem::path& path, std::error_code& ec);

// Called at the steps a crash test wants to cut: "marker", "moved",
// "walk", "rollback", "committed". Empty in the program.
using AirportScanStepHook = std::function<void(std::string_view step)>;
void lf_setAirportScanStepHook(AirportScanStepHook hook);
void lf_airportScanStep(std::string_view step);

} // namespace zelk
