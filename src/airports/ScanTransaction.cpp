#include "airports/ScanTransaction.h"

#include <array>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "core/Paths.h"
#include "core/Strings.h"
#include "platform/FileReplace.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

AirportScanStepHook lv_stepHook;

struct ScanFolder {
    const fs::path& folder;
    std::uint8_t AirportScanTransaction::*existed;
};

const std::array<ScanFolder, 2>& lf_scanFolders()
{
    static const std::array<ScanFolder, 2> folders{{{kMySimaddonFolder, &AirportScanTransaction::simaddonExisted},
                                                    {kMyThirdpartyFolder, &AirportScanTransaction::thirdpartyExisted}}};
    return folders;
}

struct Marker {
    bool present = false;
    std::array<std::uint8_t, 2> existed{};
};

// Empty when the marker cannot be queried or read.
std::optional<Marker> lf_readMarker()
{
    std::error_code ec;
    const bool present = fs::exists(lf_scanMarkerPath(), ec);
    if (ec)
        return std::nullopt;
    Marker marker;
    if (!present)
        return marker;
    std::ifstream in(lf_scanMarkerPath());
    int a = -1;
    int b = -1;
    if (!(in >> a >> b) || (a != 0 && a != 1) || (b != 0 && b != 1))
        return std::nullopt;
    marker.present = true;
    marker.existed = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
    return marker;
}

bool lf_recoverFolder(const fs::path& folder, const Marker& marker, std::uint8_t existed)
{
    std::error_code ec;
    const fs::path backup = lf_scanBackupPath(folder);
    const bool hasBackup = fs::exists(backup, ec);
    if (ec)
        return false;
    if (!marker.present)
        return !hasBackup || lf_removeRecursively(backup, ec);
    if (hasBackup) {
        if (!lf_removeRecursively(folder, ec))
            return false;
        fs::rename(backup, folder, ec);
        return !ec;
    }
    return existed == 1 || lf_removeRecursively(folder, ec);
}

void lf_writeMarker(const AirportScanTransaction& t)
{
    std::error_code ec;
    const std::string text = fmt::format("{} {}\n", t.simaddonExisted, t.thirdpartyExisted);
    if (!platform::writeFileDurably(lf_scanMarkerPath(), text, ec))
        throw std::runtime_error("could not create airport scan transaction marker");
}

} // namespace

fs::path lf_scanBackupPath(const fs::path& folder)
{
    fs::path backup = folder;
    backup += ".scan_backup";
    return backup;
}

fs::path lf_scanMarkerPath() { return kAirportsFolder / ".airport_scan_in_progress"; }

bool lf_removeRecursively(const fs::path& path, std::error_code& ec)
{
    ec.clear();
    fs::remove_all(path, ec);
    return !ec;
}

bool lf_recoverAirportScan()
{
    const auto marker = lf_readMarker();
    if (!marker)
        return false;
    const auto& folders = lf_scanFolders();
    for (std::size_t i = 0; i < folders.size(); ++i)
        if (!lf_recoverFolder(folders[i].folder, *marker, marker->existed[i]))
            return false;
    if (!marker->present)
        return true;
    std::error_code ec;
    return fs::remove(lf_scanMarkerPath(), ec) && !ec;
}

void lf_openAirportScan(AirportScanTransaction& transaction)
{
    transaction = AirportScanTransaction{};
    if (!lf_recoverAirportScan())
        throw std::runtime_error("could not recover airport data from an interrupted scan");
    try {
        lf_beginAirportScan(transaction);
    } catch (...) {
        lf_cleanupAirportScan(transaction);
        throw;
    }
}

void lf_beginAirportScan(AirportScanTransaction& transaction)
{
    std::error_code ec;
    fs::create_directories(kAirportsFolder, ec);
    if (ec)
        throw std::runtime_error(fmt::format("could not create airports folder: {}", ec.message()));
    for (const auto& f : lf_scanFolders()) {
        const bool exists = fs::exists(f.folder, ec);
        if (ec)
            throw fs::filesystem_error("airport scan folder", f.folder, ec);
        transaction.*f.existed = exists ? 1 : 0;
    }
    lf_writeMarker(transaction);
    transaction.open = 1;
    lf_airportScanStep("marker");
    for (const auto& f : lf_scanFolders()) {
        if (transaction.*f.existed) {
            fs::rename(f.folder, lf_scanBackupPath(f.folder), ec);
            if (ec)
                throw std::runtime_error(fmt::format("could not preserve {} before airport scan: {}",
                                                     path_to_utf8(f.folder), ec.message()));
            lf_airportScanStep("moved");
        }
        fs::create_directory(f.folder, ec);
        if (ec)
            throw std::runtime_error(
                fmt::format("could not create airport scan folder {}: {}", path_to_utf8(f.folder), ec.message()));
    }
}

namespace {

// The scan writes its files without flushing each one; before the marker goes
// every file of the new folders and the folders themselves reach the disk, so
// that after a power loss the committed set is there whole.
void lf_flushScanFolders()
{
    for (const auto& f : lf_scanFolders()) {
        std::error_code ec;
        for (fs::directory_iterator it(f.folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_regular_file(typeError))
                continue;
            if (!platform::flushFileToDisk(it->path(), typeError))
                throw std::runtime_error(fmt::format("could not commit airport scan transaction: {}: {}",
                                                     path_to_utf8(it->path()), typeError.message()));
        }
        if (ec || !platform::flushFolderToDisk(f.folder, ec))
            throw std::runtime_error(fmt::format("could not commit airport scan transaction: {}: {}",
                                                 path_to_utf8(f.folder), ec.message()));
    }
}

} // namespace

void lf_commitAirportScan(AirportScanTransaction& transaction)
{
    lf_flushScanFolders();
    std::error_code ec;
    fs::remove(lf_scanMarkerPath(), ec);
    if (ec)
        throw std::runtime_error(fmt::format("could not commit airport scan transaction: {}", ec.message()));
    platform::flushFolderToDisk(lf_scanMarkerPath().parent_path(), ec); // the commit itself
    transaction.open = 0;
    lf_airportScanStep("committed");
    for (const auto& f : lf_scanFolders())
        lf_removeRecursively(lf_scanBackupPath(f.folder), ec); // a stale backup goes at the next recovery
}

void lf_cleanupAirportScan(AirportScanTransaction& transaction) noexcept
{
    if (!transaction.open)
        return;
    bool failed = false;
    try {
        std::error_code ec;
        for (const auto& f : lf_scanFolders()) {
            failed |= !lf_removeRecursively(f.folder, ec);
            lf_airportScanStep("rollback");
            if (transaction.*f.existed) {
                fs::rename(lf_scanBackupPath(f.folder), f.folder, ec);
                failed |= static_cast<bool>(ec);
            }
        }
        if (!failed)
            fs::remove(lf_scanMarkerPath(), ec);
    } catch (...) {
        // the marker stays; the next recovery tries again
    }
    transaction.open = 0;
}

void lf_setAirportScanStepHook(AirportScanStepHook hook) { lv_stepHook = std::move(hook); }

void lf_airportScanStep(std::string_view step)
{
    if (lv_stepHook)
        lv_stepHook(step);
}

} // namespace zelk
