#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "core/Version.h"

namespace zelk {

class StringParameter;

// The version list on the download server and its size limit. The download
// itself may take more, so that a list over the limit is named as such
// rather than as a failed download; beyond that bound the transfer stops.
inline constexpr std::string_view kVersionsFileName = "versions.json";
inline constexpr std::uint64_t kMaxVersionsFileBytes = 1'048'576;
inline constexpr std::uint64_t kVersionsDownloadBound = 4 * kMaxVersionsFileBytes;
inline constexpr std::uint64_t kMaxReleaseNotesBytes = 67'108'864;

// Compares the program and its five data sets with the versions on the
// download server, once per program start and before any data set is read.
// Newer or missing data sets are downloaded, checked and installed. Returns
// false only when a new program version was prepared in new_version (the run
// then stops with NEW VERSION). Throws UserRelatedException 2026 when the
// server is in maintenance and 112 when the new program could not be prepared,
// and std::filesystem::filesystem_error when a data file cannot be looked at.
// An unreachable server or an unusable version list only costs a log notice.
bool gf_checkForUpdates();

// Set once the server has reported maintenance; the archive downloads then
// make no requests.
bool gf_isServerInMaintenance();

// Reads and removes versions.json; an object, or nothing after a notice (a
// file over kMaxVersionsFileBytes or one that cannot be looked at is not read).
std::optional<nlohmann::json> lf_readVersionsFile(const std::filesystem::path& file);

// One entry of the version list: an object of three non-negative integers
// that fit in 32 bits; anything else gives a notice and nothing.
std::optional<VersionData> lf_webVersion(const nlohmann::json& doc, std::string_view key);

// A shipped data set: its name in messages and versions.json, its file in
// the input folder, the parameter holding the installed version, and the
// plaintext limit its reader applies.
struct DataSetInfo {
    std::string_view name;
    std::filesystem::path fileName;
    StringParameter* versionParameter;
    std::uint64_t plaintextLimit;
};

// Downloads the data set when the server has a newer version or when force is
// set (its file is missing). The download is decrypted as a check before it
// replaces the installed file; only then is the version parameter advanced.
void lf_updateDataSet(const DataSetInfo& dataSet, const nlohmann::json& doc, const VersionData& installed, bool force);
void lf_updateAirportsData(const nlohmann::json& doc, const VersionData& installed, bool force);
void lf_updateAigData(const nlohmann::json& doc, const VersionData& installed, bool force);
void lf_updateArchivesData(const nlohmann::json& doc, const VersionData& installed, bool force);
void lf_updateDbaseData(const nlohmann::json& doc, const VersionData& installed, bool force);
void lf_updateWeeklyData(const nlohmann::json& doc, const VersionData& installed, bool force);

void lf_logVersionUpToDate(std::string_view name);

// Sets the maintenance flag and throws UserRelatedException 2026.
[[noreturn]] void lf_throwMaintenance();

namespace update_detail {
// Clears the maintenance flag; only for tests that run several cases in one process.
void resetMaintenanceForTests();
} // namespace update_detail

} // namespace zelk
