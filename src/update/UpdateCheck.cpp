#include "update/UpdateCheck.h"

#include <array>
#include <atomic>
#include <fstream>
#include <limits>
#include <system_error>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/EncryptedFile.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"
#include "platform/FileReplace.h"
#include "update/Downloader.h"
#include "update/ProgramUpdate.h"
#include "update/UpdateUi.h"

namespace zelk {
namespace {

std::atomic<bool> serverInMaintenance{false};

enum DataSetIndex : std::size_t { kAirportsSet, kAigSet, kArchivesSet, kDbaseSet, kWeeklySet };

// The five shipped data sets, in the order the update check looks at them.
const std::array<DataSetInfo, 5>& lf_dataSets()
{
    static const std::array<DataSetInfo, 5> sets{{
        {"airports", kAirportsFileName, &AIRPORTS_VERSION, kAirportsPlaintextLimit},
        {"aig", kAigRegcodesFileName, &AIG_VERSION, kRegcodesPlaintextLimit},
        {"archives", kArchivesFileName, &ARCHIVES_VERSION, kArchivesPlaintextLimit},
        {"dbase", kDbaseFileName, &DBASE_VERSION, kDbasePlaintextLimit},
        {"weekly", kWkTrafficFileName, &WEEKLY_TRAFFIC_AIRPORTS_VERSION, kWeeklyTrafficPlaintextLimit},
    }};
    return sets;
}

// A JSON integer that is not negative and fits in 32 bits. Larger values would
// otherwise be cut silently into a different, smaller version.
std::optional<std::uint32_t> lf_versionNumber(const nlohmann::json& object, const char* member)
{
    const auto it = object.find(member);
    if (it == object.end()) return std::nullopt;
    constexpr auto kMax = std::numeric_limits<std::uint32_t>::max();
    if (it->is_number_unsigned()) {
        const auto v = it->get<std::uint64_t>();
        if (v > kMax) return std::nullopt;
        return static_cast<std::uint32_t>(v);
    }
    if (it->is_number_integer()) {
        const auto v = it->get<std::int64_t>();
        if (v < 0 || static_cast<std::uint64_t>(v) > kMax) return std::nullopt;
        return static_cast<std::uint32_t>(v);
    }
    return std::nullopt;
}


// The new program is in new_version: tell the user where and how to install it.
void lf_announceNewVersion(const VersionData& web)
{
    const std::string notesUrl = fmt::format("{}docs/{}", gf_downloadServerBase(), "ReleaseNotes.pdf");
    const std::filesystem::path notesPath = kNewVersionFolder / "ReleaseNotes.pdf";
    {
        DownloadHandle handle = gf_newDownloadHandle();
        if (!gf_downloadFile(handle.get(), notesUrl, notesPath, true, kMaxReleaseNotesBytes)) {
            gf_writeLogNotice(fmt::format("could not download {} to {}", notesUrl, path_to_utf8(notesPath)));
        }
    }
    std::error_code cwdError;
    const std::filesystem::path currentFolder = std::filesystem::current_path(cwdError);
    const std::string text =
        fmt::format("Deze installer installeert {} {}.\n\n{}", "ZELK", web, lf_newVersionMessage(currentFolder));
    gf_writeLogLine(text);
    if (!gf_writeTextFile(text, kNewVersionFolder / "README.txt", true)) {
        gf_writeLogNotice(fmt::format("Could not write {}", path_to_utf8(kNewVersionFolder / "README.txt")));
    }
    if (cwdError) {
        gf_writeLogNotice(fmt::format("Could not determine current folder: {}", cwdError.message()));
        return;
    }
    bool opened = false;
    try {
        opened = gf_shellOpen(currentFolder / kNewVersionFolder / kInstallerFile);
    } catch (const std::filesystem::filesystem_error& e) {
        gf_writeLogNotice(fmt::format("Could not open File Explorer: {}", e.what()));
    }
    if (!opened) {
        gf_updateShowWarningBox("Could not open File Explorer at new version");
        gf_updateShowMessage("Opening file explorer at the new version failed? Try manually via the Quelvarin website.",
                             true);
    }
}

} // namespace

std::optional<nlohmann::json> lf_readVersionsFile(const std::filesystem::path& file)
{
    ScopedFileRemover remover(file);
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(file, sizeError);
    if (sizeError) {
        gf_writeLogNotice(fmt::format("Could not inspect versions.json: {}", sizeError.message()));
        return std::nullopt;
    }
    if (size > kMaxVersionsFileBytes) {
        gf_writeLogNotice(fmt::format("versions.json is unexpectedly large: {} bytes", size));
        return std::nullopt;
    }
    nlohmann::json doc;
    {
        std::ifstream in(file, std::ios::in | std::ios::binary);
        if (!in.is_open()) {
            gf_writeLogNotice("Cannot open versions.json");
            return std::nullopt;
        }
        doc = nlohmann::json::parse(in, nullptr, false);
    }
    remover.disarm();
    std::error_code ec;
    std::filesystem::remove(file, ec);
    if (ec) gf_writeLogNotice(fmt::format("Could not remove versions.json: {}", ec.message()));
    if (!doc.is_object()) {
        gf_writeLogNotice("Invalid versions.json received; update check skipped");
        return std::nullopt;
    }
    return doc;
}

bool gf_isServerInMaintenance()
{
    return serverInMaintenance.load();
}

void update_detail::resetMaintenanceForTests()
{
    serverInMaintenance.store(false);
}

void lf_throwMaintenance()
{
    serverInMaintenance.store(true);
    throw UserRelatedException(2026, "Web server temporarily unavailable due to maintenance. Please try again later.");
}

void lf_logVersionUpToDate(std::string_view name)
{
    gf_writeLogLine(fmt::format("{} version up-to-date", name));
}

std::optional<VersionData> lf_webVersion(const nlohmann::json& doc, std::string_view key)
{
    const auto it = doc.find(key);
    if (it == doc.end()) {
        gf_writeLogNotice(fmt::format("{} version not found", key));
        return std::nullopt;
    }
    if (!it->is_object()) {
        gf_writeLogNotice(fmt::format("Invalid web version data for '{}'", key));
        return std::nullopt;
    }
    const auto major = lf_versionNumber(*it, "major");
    const auto minor = lf_versionNumber(*it, "minor");
    const auto patch = lf_versionNumber(*it, "patch");
    if (!major || !minor || !patch) {
        gf_writeLogNotice(fmt::format("Invalid web version numbers for '{}'", key));
        return std::nullopt;
    }
    return VersionData(*major, *minor, *patch);
}

void lf_updateDataSet(const DataSetInfo& dataSet, const nlohmann::json& doc, const VersionData& installed, bool force)
{
    const std::optional<VersionData> web = lf_webVersion(doc, dataSet.name);
    if (!web) return;
    if (*web <= installed && !force) {
        lf_logVersionUpToDate(dataSet.name);
        return;
    }
    const std::filesystem::path target = kInputFolder / dataSet.fileName;
    // The download lands beside the installed file and replaces it only once it
    // decrypts completely: a damaged download must not take the place of a good
    // data set nor advance the version, or every later start would fail.
    std::filesystem::path fresh = target;
    fresh += ".new";
    ScopedFileRemover freshRemover(fresh);
    std::error_code ec;
    std::filesystem::create_directories(kInputFolder, ec);
    if (!gf_downloadInputFile(dataSet.fileName, fresh, gf_maxEncryptedFileBytes(dataSet.plaintextLimit))) return;
    {
        const EncryptedFileResult check = gf_readEncryptedFile(fresh, dataSet.plaintextLimit);
        if (!check) {
            gf_writeLogNotice(fmt::format("Downloaded {} data is damaged ({}); the installed {} stays", dataSet.name,
                                          check.error(), path_to_utf8(target)));
            return;
        }
    }
    if (!platform::replaceFileDurably(fresh, target, ec)) {
        gf_writeLogNotice(fmt::format("Could not replace {}: {}", path_to_utf8(target), ec.message()));
        return;
    }
    dataSet.versionParameter->setValue(web->toString());
    dataSet.versionParameter->save();
    gf_writeLogLine(fmt::format("{} updated to {}", dataSet.name, *web));
}

void lf_updateAirportsData(const nlohmann::json& doc, const VersionData& installed, bool force)
{
    lf_updateDataSet(lf_dataSets()[kAirportsSet], doc, installed, force);
}
void lf_updateAigData(const nlohmann::json& doc, const VersionData& installed, bool force)
{
    lf_updateDataSet(lf_dataSets()[kAigSet], doc, installed, force);
}
void lf_updateArchivesData(const nlohmann::json& doc, const VersionData& installed, bool force)
{
    lf_updateDataSet(lf_dataSets()[kArchivesSet], doc, installed, force);
}
void lf_updateDbaseData(const nlohmann::json& doc, const VersionData& installed, bool force)
{
    lf_updateDataSet(lf_dataSets()[kDbaseSet], doc, installed, force);
}
void lf_updateWeeklyData(const nlohmann::json& doc, const VersionData& installed, bool force)
{
    lf_updateDataSet(lf_dataSets()[kWeeklySet], doc, installed, force);
}

bool gf_checkForUpdates()
{
    const std::filesystem::path versionsFile{kVersionsFileName};
    {
        DownloadHandle handle = gf_newDownloadHandle();
        const std::string url = gf_downloadServerBase() + std::string(kVersionsFileName);
        if (!gf_downloadFile(handle.get(), url, versionsFile, false, kVersionsDownloadBound)) {
            gf_writeLogNotice("Downloading version info from my web site failed!");
            return true;
        }
    }
    const std::optional<nlohmann::json> doc = lf_readVersionsFile(versionsFile);
    if (!doc) return true;

    if (const auto web = lf_webVersion(*doc, "msfs")) {
        gf_writeLogLine(fmt::format("{} program version at web = {}", "msfs", *web));
        if (*web > programVersion) {
            if (!lf_downloadProgramUpdate(*web)) {
                throw UserRelatedException(
                    112, "The downloading/unzipping of the new version failed? Try manually via the Quelvarin website");
            }
            lf_announceNewVersion(*web);
            gf_requestStop(StopReason::NewVersion, 0);
            return false;
        }
        lf_logVersionUpToDate("msfs");
    }

    if (const auto maintenance = lf_webVersion(*doc, "maintenance")) {
        if (*maintenance > VersionData{}) lf_throwMaintenance();
        lf_logVersionUpToDate("maintenance");
    }

    using Update = void (*)(const nlohmann::json&, const VersionData&, bool);
    constexpr std::array<Update, 5> updates{&lf_updateAirportsData, &lf_updateAigData, &lf_updateArchivesData,
                                            &lf_updateDbaseData, &lf_updateWeeklyData};
    for (std::size_t i = 0; i < updates.size(); ++i) {
        const DataSetInfo& dataSet = lf_dataSets()[i];
        // A file that cannot even be looked at is a fault of the installation: throws.
        const bool force = !std::filesystem::exists(kInputFolder / dataSet.fileName);
        const VersionData installed(dataSet.versionParameter->value());
        updates[i](*doc, installed, force);
    }
    return true;
}

} // namespace zelk
