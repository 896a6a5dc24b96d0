#include "airports/AirportScan.h"

#include <mutex>
#include <set>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "airports/AirportScanFiles.h"
#include "airports/AirportsRegistry.h"
#include "airports/BglReader.h"
#include "airports/FacilityStands.h"
#include "airports/Manifest.h"
#include "airports/PublisherDetection.h"
#include "airports/PublisherList.h"
#include "airports/ScanLog.h"
#include "airports/ScanTransaction.h"
#include "airports/SceneryNames.h"
#include "airports/TbloPackage.h"
#include "airports/WeeklyAirports.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/GuiUpdate.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWarn = "===> ";

std::mutex lv_hooksMutex;
AirportScanHooks lv_hooks;
// Set when a stop request ended the walk; the scan then rolls back.
bool lv_cancelled = false;

bool lf_isRunning()
{
    std::function<bool()> test;
    {
        std::lock_guard lock(lv_hooksMutex);
        test = lv_hooks.isRunning;
    }
    if (!test || test())
        return true;
    lv_cancelled = true;
    return false;
}

bool lf_known(IcaoCode code) { return gf_isKnownAirport(code); }
bool lf_weekly(IcaoCode code) { return gf_isWeeklyTrafficAirport(code); }

void lf_scanLine(const std::string& text)
{
    gf_writeLogLine(text);
    lf_addScanLogLine(text);
}

void lf_showLogged(const std::string& text) { gf_guiShowMessage(text, true); }

ApfParameters lf_recordOf(const fs::path& file)
{
    ApfParameters record;
    record.sourcePath = file;
    record.bglPath = path_to_utf8(file);
    return record;
}

// The BGL reader's airports go the way facility airports go: link, or a
// generated file when the manifest names a usable publisher (or there is none).
BglAirportSink lf_bglSink(ApfParameters& record)
{
    return {[&record](const BglAirport& airport) {
                record = lf_recordOf(airport.bglFile);
                record.icao = airport.icao;
                record.altitude = airport.altitudeFt;
                record.manifest = gf_searchManifest(airport.bglFile);
                if (lf_linkArchivedAirport(record)) {
                    lf_postScanFileCounters();
                    return false;
                }
                return !record.manifest || gf_manifestHasPublisherValue(*record.manifest);
            },
            [&record](BglAirport& airport) {
                record.stands = std::move(airport.stands);
                lf_writeGeneratedApf(record, static_cast<std::int32_t>(airport.helipadCount));
                lf_postThirdPartyCounter();
            }};
}

void lf_readBglFile(const fs::path& file, int depth)
{
    lf_addScanLogLine(fmt::format("Fac depth {}: {}", depth, path_to_utf8(file)));
    lf_airportScanStep("walk");
    if (lf_readAirportViaFacilities(file))
        return;
    lf_addScanLogLine("Facilities reader did not succeed, trying the BGL file reader ...");
    ApfParameters record;
    lf_processBGLfile(file, lf_bglSink(record));
}

bool lf_isBglToRead(const fs::directory_entry& entry)
{
    std::string ext = path_to_utf8(entry.path().extension());
    for (auto& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".bgl" && !lf_isSkippedBgl(path_to_utf8(entry.path()));
}

// Returns false when the walk is to end (a stop request).
bool lf_walkFile(const fs::directory_entry& entry, int depth)
{
    try {
        std::error_code ec;
        if (!entry.is_regular_file(ec) || !lf_isBglToRead(entry) || !lf_bglHasAirportSection(entry.path()))
            return true;
        if (!lf_isRunning())
            return false;
        lf_readBglFile(entry.path(), depth);
    } catch (const std::exception& e) {
        lf_addScanLogLine(fmt::format("{} airport file skipped after an exception, depth {}, file {}, cause: {}",
                                      kWarn, depth, path_to_utf8(entry.path()), e.what()));
    } catch (...) {
        lf_addScanLogLine(fmt::format("{} airport file skipped after an unknown exception, depth {}, file {}", kWarn,
                                      depth, path_to_utf8(entry.path())));
    }
    return true;
}

// Whether the walk enters the folder; each real folder is entered once.
bool lf_enterFolder(const fs::directory_entry& entry, int depth, std::set<fs::path>& visited)
{
    const std::string folder = path_to_utf8(entry.path());
    std::error_code ec;
    const fs::path target = fs::canonical(entry.path(), ec);
    if (ec) {
        lf_addScanLogLine(fmt::format("{} could not resolve directory during airport scan, skipping recursion, "
                                      "depth {}, folder: {}",
                                      kWarn, depth, folder));
        return false;
    }
    if (!visited.insert(target).second) {
        lf_addScanLogLine(fmt::format("{} skipping recursive directory link during airport scan, depth {}, folder: "
                                      "{}, resolved target: {}",
                                      kWarn, depth, folder, path_to_utf8(target)));
        return false;
    }
    if (entry.is_symlink(ec))
        lf_addScanLogLine(fmt::format("following airport scan directory link, depth {}, folder: {}, resolved target: {}",
                                      depth, folder, path_to_utf8(target)));
    return !lf_isSkippedPackageFolder(folder);
}

void lf_startWalk(const fs::path& root, std::set<fs::path>& visited)
{
    const std::string rootText = path_to_utf8(root);
    lf_scanLine(fmt::format("\nScan: {}", rootText));
    std::error_code ec;
    const fs::path resolved = fs::canonical(root, ec);
    if (ec) {
        lf_addScanLogLine(fmt::format("{} could not resolve scan root, continuing without root cycle protection: {}",
                                      kWarn, ec.message()));
        return;
    }
    lf_addScanLogLine(fmt::format("scan root resolved to: {}", path_to_utf8(resolved)));
    visited.insert(resolved);
}

void lf_walkEntries(const fs::path& root, fs::recursive_directory_iterator& it, std::set<fs::path>& visited)
{
    const std::string rootText = path_to_utf8(root);
    std::error_code ec;
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            lf_addScanLogLine(fmt::format("{} recursive directory iterator failed in scan root {}, depth {}, cause: {}",
                                          kWarn, rootText, it.depth(), ec.message()));
            return;
        }
        const fs::directory_entry& entry = *it;
        std::error_code statusError;
        if (entry.is_directory(statusError)) {
            if (!lf_enterFolder(entry, it.depth(), visited))
                it.disable_recursion_pending();
        } else if (!lf_walkFile(entry, it.depth())) {
            return;
        }
    }
    if (ec)
        lf_addScanLogLine(fmt::format("{} recursive directory iterator failed in scan root {}, depth {}, cause: {}",
                                      kWarn, rootText, 0, ec.message()));
}

ApfParameters lf_streamedRecord(const fs::path& folder, const std::string& name, IcaoCode code,
                                const std::optional<fs::path>& official, std::uint64_t& stockCount)
{
    ApfParameters record;
    record.icao = code;
    record.sourcePath = folder;
    record.bglPath = name;
    if (const std::string_view marker = lf_stockPackageMarker(name); !marker.empty()) {
        lf_addScanLogLine(fmt::format("airport has '{}' in directory path", marker));
        if (++stockCount % 10 == 0)
            gf_postGuiUpdate(gui_update::SetSimAddonCount{stockCount});
        record.publisher = "simaddon";
        record.manifest = ManifestInfo{"", "", "microsoft", "asobo"};
        return record;
    }
    lf_addScanLogLine(fmt::format("airport has '{}' in folder path", name));
    if (const PublisherMatch match = gf_findPublisherOfPackage(name); match.status == PublisherMatch::Found) {
        record.publisher = match.name;
        lf_addScanLogLine(fmt::format("publisher '{}' found", match.name));
    }
    if (official) {
        if (auto manifest = gf_findPackageManifest(folder, *official)) {
            lf_addScanLogLine(fmt::format("streamed package manifest found, version '{}'", manifest->version));
            record.manifest = std::move(manifest);
        }
    }
    return record;
}

// Returns false when the iteration is to end (a stop request).
bool lf_scanPackage(const fs::directory_entry& entry, const std::optional<fs::path>& official,
                    std::uint64_t& stockCount)
{
    const std::string name = path_to_utf8(entry.path().filename());
    if (lf_isExcludedStreamedPackage(name))
        return true;
    if (!lf_isRunning()) {
        lf_writeScanLog();
        return false;
    }
    try {
        const auto code = gf_icaoFromName(name, lf_known, lf_weekly);
        if (!code)
            return true;
        lf_addScanLogLine(fmt::format("\n{}", name));
        lf_airportScanStep("walk");
        ApfParameters record = lf_streamedRecord(entry.path(), name, *code, official, stockCount);
        lf_readStreamedAirport(record);
    } catch (const std::exception& e) {
        lf_addScanLogLine(fmt::format("{} streamed package scan in folder {} failed: {}", kWarn, name, e.what()));
        lf_writeScanLog();
    }
    return true;
}

// What the BGL reader could not use, so that a scenery without stands is explained.
void lf_summarizeBglReads()
{
    const BglReadCounts& counts = lf_bglReadCounts();
    if (counts.unreadRecordFiles > 0)
        lf_scanLine(fmt::format("{:5} BGL file{} with airport records of a kind that is not read",
                                counts.unreadRecordFiles, gf_pluralSuffix(counts.unreadRecordFiles)));
    if (counts.droppedAirports > 0)
        lf_scanLine(fmt::format("{:5} BGL airport record{} that could not be read", counts.droppedAirports,
                                gf_pluralSuffix(counts.droppedAirports)));
    if (counts.airportsWithoutStands > 0)
        lf_scanLine(fmt::format("{:5} BGL airport{} without stands", counts.airportsWithoutStands,
                                gf_pluralSuffix(counts.airportsWithoutStands)));
}

void lf_packageLogAndLine(const std::string& logText, const std::string& lineText)
{
    gf_writeLogLine(logText);
    lf_addScanLogLine(lineText);
}

void lf_endAirportScan(AirportScanTransaction& transaction, bool committed) noexcept
{
    try {
        lf_cleanupAirportScan(transaction);
        lf_clearScanLog();
        if (!committed)
            lf_dropTbloFolder();
        gf_closeParkingDataReader();
        gf_clearWeeklyTrafficAirports();
        lf_resetPublishers();
        lf_postAirportFileCounters();
        SKIP_AIRPORT_SCAN.enable(true);
        gf_writeLogLineFlushed("-------------------------- airports scan ends -------------------------------\n");
    } catch (...) {
        // the run goes on with whatever the folders hold
    }
}

// Steps 5 to 9 of a scan; true when it was committed.
bool lf_runAirportScan(AirportScanTransaction& transaction)
{
    if (gf_loadWeeklyTrafficAirports() != 1) {
        lf_showLogged("Reading RT weekly airports failed; keeping previous airport scan data");
        return false;
    }
    if (!gf_readPublishers(gf_isMsfs2020())) {
        lf_showLogged("Reading archives failed; keeping previous airport scan data");
        return false;
    }
    const auto roots = lf_airportScanRoots();
    lf_openAirportScan(transaction);
    lf_startScanFileCounts();
    lf_prepareTbloFolder();
    const bool found = lf_doAirportScan(roots);
    if (lv_cancelled) {
        lf_cleanupAirportScan(transaction);
        gf_writeLogNotice("Airport scan cancelled");
        return false;
    }
    if (!found) {
        lf_showLogged("Airport scan produced no add-on data; keeping previous airport scan data");
        lf_cleanupAirportScan(transaction);
        return false;
    }
    lf_carryOverUserFiles();
    lf_finishTbloFolder();
    gf_postGuiUpdate(gui_update::Redraw{1});
    lf_commitAirportScan(transaction);
    return true;
}

} // namespace

void gf_setAirportScanHooks(AirportScanHooks hooks)
{
    std::lock_guard lock(lv_hooksMutex);
    lv_hooks = std::move(hooks);
}

std::vector<fs::path> lf_airportScanRoots()
{
    static const std::vector<fs::path> k2020{"Official", "Community"};
    static const std::vector<fs::path> k2024{"Community", "StreamedPackages", "Official2024", "Community2024"};
    std::vector<fs::path> roots;
    for (const auto& name : gf_isMsfs2020() ? k2020 : k2024)
        if (auto folder = gf_simInstallSubfolder(name))
            roots.push_back(std::move(*folder));
    return roots;
}

void gf_scanAirports()
{
    if (!lf_recoverAirportScan()) {
        gf_writeLogNotice("Airport scan skipped: recovery of a previously interrupted scan failed");
        lf_showLogged("Airport scan skipped; previous airport data could not be recovered safely");
        return;
    }
    if (gf_settings()->SKIP_AIRPORT_SCAN) {
        gf_writeLogLine("Airport scan skipped because SKIP_AIRPORT_SCAN=true");
        lf_showLogged("Airport scan suppressed by parameter SKIP_AIRPORT_SCAN");
        lf_postAirportFileCounters();
        return;
    }
    SKIP_AIRPORT_SCAN.enable(false);
    AirportScanTransaction transaction;
    bool committed = false;
    lv_cancelled = false;
    try {
        gf_guiShowMessage("Scanning for airports ...", false);
        gf_writeLogLine(fmt::format(
            "\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++", "automatic "));
        gf_postGuiUpdate(gui_update::SetSimAddonCount{0});
        gf_postGuiUpdate(gui_update::SetThirdPartyCount{0});
        committed = lf_runAirportScan(transaction);
    } catch (const std::exception& e) {
        lf_cleanupAirportScan(transaction);
        gf_writeLogNotice(fmt::format("Airport scan failed; previous airport scan data restored: {}", e.what()));
        lf_showLogged("Airport scan failed; ZELK will continue with the previous airport data");
    } catch (...) {
        lf_cleanupAirportScan(transaction);
        gf_writeLogNotice("Airport scan failed with an unknown error; previous airport scan data restored");
        lf_showLogged("Airport scan failed; ZELK will continue with the previous airport data");
    }
    lf_endAirportScan(transaction, committed);
}

bool lf_doAirportScan(const std::vector<fs::path>& roots)
{
    const bool found = lf_scanAirportRoots(roots);
    if (!found && !lv_cancelled)
        lf_showLogged("Warning: Scan has not found any add-on airports");
    gf_postGuiUpdate(gui_update::Redraw{2});
    return found;
}

bool lf_scanAirportRoots(const std::vector<fs::path>& roots)
{
    gf_writeLogLine(fmt::format("The scan will search {} folder{}", roots.size(), gf_pluralSuffix(roots.size())));
    if (std::error_code ec; !fs::remove(gf_airportsScanLogPath(), ec) && ec)
        gf_writeLogLine("problems with removing previous files (maybe still open?): " + ec.message());
    gf_setTbloPending(false);
    lf_reserveScanLog();
    lf_resetBglReadCounts();
    lf_scanAirportRootFolder(roots);
    if (lv_cancelled) {
        lf_writeScanLog();
        return false;
    }
    lf_summarizeBglReads();
    lf_addScanLogLine("\nAirports scan finished!");
    lf_writeScanLog();
    gf_writeLogLine(path_to_utf8(gf_airportsScanLogPath()) + " written");
    gf_postGuiUpdate(gui_update::ClearMessage{});
    lf_clearScanLog();
    lf_copySimaddonsToTblo();
    lf_copyThirdpartiesToTblo();
    lf_zipTbloFolder();
    lf_postAirportFileCounters();
    return gf_countFilesInDirectory(kMySimaddonFolder, "") + gf_countFilesInDirectory(kMyThirdpartyFolder, "") > 0;
}

void lf_scanAirportRootFolder(const std::vector<fs::path>& roots)
{
    for (const auto& root : roots) {
        if (root.empty())
            continue;
        const fs::file_status status = fs::status(root);
        if (!fs::exists(status)) {
            lf_showLogged(path_to_utf8(root) + " does not exist, skipped!");
        } else if (!fs::is_directory(status)) {
            lf_showLogged(path_to_utf8(root) + " is not a folder name, skipped!");
        } else if (path_to_utf8(root).find("StreamedPackages") != std::string::npos) {
            lf_scanPackageFolders(root);
        } else {
            lf_walkSceneryFolder(root);
        }
        if (lv_cancelled)
            return;
    }
}

void lf_walkSceneryFolder(const fs::path& root)
{
    std::set<fs::path> visited;
    lf_startWalk(root, visited);
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec);
    if (ec) {
        lf_addScanLogLine(fmt::format("{} recursive directory iterator failed while starting scan root {}, cause: {}",
                                      kWarn, path_to_utf8(root), ec.message()));
        return;
    }
    lf_walkEntries(root, it, visited);
}

void lf_scanPackageFolders(const fs::path& root)
{
    const std::string rootText = path_to_utf8(root);
    lf_scanLine(fmt::format("\nScan: {}", rootText));
    const auto official = gf_simInstallSubfolder(gf_simOfficialFolderName(SimVersion::Msfs2024));
    std::error_code ec;
    fs::directory_iterator it(root, ec);
    if (ec)
        lf_packageLogAndLine(fmt::format("Could not start directory scan in '{}': {}", rootText, ec.message()),
                             fmt::format("{} could not start directory scan in '{}': {}", kWarn, rootText, ec.message()));
    std::uint64_t stockCount = 0;
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        const bool folder = it->is_directory(statusError);
        if (statusError) {
            const std::string entry = path_to_utf8(it->path());
            lf_packageLogAndLine(fmt::format("Could not test directory '{}': {}", entry, statusError.message()),
                                 fmt::format("{} could not test directory '{}': {}", kWarn, entry, statusError.message()));
            continue;
        }
        if (folder && !lf_scanPackage(*it, official, stockCount))
            return;
    }
    if (ec)
        lf_packageLogAndLine(fmt::format("Directory iterator increment failed in '{}': {}", rootText, ec.message()),
                             fmt::format("{} directory iterator increment failed in '{}': {}", kWarn, rootText,
                                         ec.message()));
    gf_postGuiUpdate(gui_update::SetSimAddonCount{
        static_cast<std::uint64_t>(gf_countFilesInDirectory(kMySimaddonFolder, ""))});
    lf_writeScanLog();
}

namespace {
// A simulator that answered that it has no such airport is connected: only
// a read that got no answer asks whether it is. (The folder walk and the
// streamed packages spell the word differently.)
std::string lf_facilityReadText(FacilityRead read, IcaoCode code, std::string_view facilities)
{
    if (read == FacilityRead::NotKnown)
        return fmt::format("Facility data for {}: the simulator does not know this airport", code);
    return fmt::format("Reading {} data for {} via SimConnect failed, is MSFS connected?", facilities, code);
}
} // namespace

bool lf_readAirportViaFacilities(const fs::path& bglFile)
{
    lf_addScanLogLine(fmt::format("\nFac: {}", path_to_utf8(bglFile)));
    ApfParameters record = lf_recordOf(bglFile);
    record.manifest = gf_searchManifest(bglFile);
    const auto code = gf_airportCodeOfPath(record, lf_known, lf_weekly);
    if (!code)
        return false;
    record.icao = *code;
    if (lf_linkArchivedAirport(record)) {
        lf_postScanFileCounters();
        return true;
    }
    if (record.manifest && !gf_manifestHasPublisherValue(*record.manifest))
        return false;
    try {
        std::uint32_t helipads = 0;
        if (const FacilityRead read = gf_readFacilityStands(record, helipads); read != FacilityRead::Read) {
            lf_scanLine(lf_facilityReadText(read, *code, "Facilites"));
            lf_writeScanLog();
            return false;
        }
        lf_writeGeneratedApf(record, static_cast<std::int32_t>(helipads));
        lf_postThirdPartyCounter();
        return true;
    } catch (const std::exception& e) {
        lf_addScanLogLine(fmt::format("Reading Facilites data for {} via SimConnect failed: {}", *code, e.what()));
        gf_closeParkingDataReader();
        return false;
    }
}

void lf_readStreamedAirport(ApfParameters& record)
{
    if (lf_linkArchivedAirport(record))
        return;
    try {
        std::uint32_t helipads = 0;
        if (const FacilityRead read = gf_readFacilityStands(record, helipads); read != FacilityRead::Read) {
            lf_scanLine(lf_facilityReadText(read, record.icao, "Facilities"));
            lf_writeScanLog();
            return;
        }
        lf_writeGeneratedApf(record, static_cast<std::int32_t>(helipads));
    } catch (const std::exception& e) {
        lf_showLogged(e.what());
        lf_addScanLogLine(fmt::format("Reading Facilities data for {} via SimConnect failed: {}", record.icao, e.what()));
        gf_closeParkingDataReader();
        lf_writeScanLog();
    }
}

} // namespace zelk
