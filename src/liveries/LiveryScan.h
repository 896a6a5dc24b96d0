#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "liveries/LiveryRecord.h"
#include "liveries/LiveryScanLists.h"

namespace zelk {

// The scan of the installed AI liveries: the AI-traffic packages of the
// Community folder (automatic) or the folders of lfolder0 to lfolder9
// (manual) become the livery table and the scanned-liveries file, with seven
// report files of what was wrong. Worker thread only.

enum class AiPackageKind : std::uint8_t { AIG = 0, FSLTL = 1, JF = 2, IVAO_MTL = 3 };
inline constexpr std::size_t kAiPackageKindCount = 4;

// "AIG", "FSLTL", "JF", "IVAO_MTL" (log lines); "unknown" for any other value.
std::string_view gf_aiPackageKindName(AiPackageKind kind);

// The kinds of AI_PACKAGE_SELECTOR option i, highest priority first (64 entries).
std::vector<AiPackageKind> gf_aiPackageSelection(std::size_t index);
inline constexpr std::size_t kAiPackageSelectionCount = 64;

// Results of a scan body.
enum LiveryScanResult : int { kScanDone = 0, kScanCancelled = 1, kScanNoLiveries = 2, kScanWriteFailed = 3 };

// The scan driver: kScanDone or kScanCancelled; throws
// UserRelatedException 48, 148, 243, 53 or 553, or std::runtime_error, with
// the notice "Liveries scan failed: {}".
int gf_scanLiveries();

// Replaces the stop check between folders and between files (gf_isRunning);
// nullptr restores it.
void gf_setLiveryScanStopCheck(std::function<bool()> isRunning);

// The threads a scan reads its aircraft.cfg files on, its own included: 1
// walks and reads them one by one on the scan's thread; 0 (the default) a
// share of the machine. The results are the same whatever the number.
void gf_setLiveryScanThreads(std::size_t threads);

// The livery table of the last scan, sorted and without duplicates.
std::vector<LiveryRecord>& gf_liveryTable();

void lf_collectAutomaticFolders(const std::filesystem::path& community, std::vector<std::filesystem::path>& folders);
void lf_scanAIPackages(const std::filesystem::path& community, const std::vector<AiPackageKind>& kinds,
                       std::vector<std::filesystem::path>& folders);
bool lf_isAIPackageFolder(AiPackageKind kind, std::string_view name);
void lf_scanUserAiTraffic(const std::filesystem::path& community, std::vector<std::filesystem::path>& folders);
void lf_collectManualFolders(std::vector<std::filesystem::path>& folders);

int lf_runLiveryScan(const std::vector<std::filesystem::path>& folders, bool prioritize, bool automatic);
int lf_scanLiveryFolders(const std::vector<std::filesystem::path>& folders, bool prioritize);
// The scan up to the sorted table and its reports, without the scanned-liveries file.
int lf_collectLiveries(const std::vector<std::filesystem::path>& folders, bool prioritize);
// The walk of one folder; false when a stop was requested between its files.
bool lf_searchLiveriesInFolder(std::uint32_t priority, const std::filesystem::path& folder);
void lf_readDontUseLiveries();
// Removes the records of lower-priority folders that a higher one has in the
// same airline, operator, model and cargo flag; returns how many.
std::size_t lf_prioritizeLiveries(std::vector<LiveryRecord>& records);
void lf_writeScanReports();
void lf_endLiveryScan() noexcept;

// The seven report files of a scan.
const std::array<std::filesystem::path, 7>& gf_liveryScanReportFiles();

} // namespace zelk
