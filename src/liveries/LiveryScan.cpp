#include "liveries/LiveryScan.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

#include <fmt/format.h>

#include "core/BuildInfo.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"
#include "gui/GuiUpdate.h"
#include "liveries/AircraftCfg.h"
#include "liveries/AircraftCfgKeys.h"
#include "liveries/CfgReadPool.h"
#include "core/FolderListing.h"
#include "liveries/LiveriesScannedFile.h"
#include "liveries/Regcodes.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTableReserve = 30'000;
constexpr std::size_t kDontUseReserve = 5'000;
constexpr std::size_t kTitleSetReserve = 65'536;
constexpr std::uint32_t kMaxPriority = 10;
constexpr std::size_t kMaxWalkPathBytes = 250;

// Option i of AI_PACKAGE_SELECTOR as kind numbers, highest priority first.
constexpr std::array<std::string_view, kAiPackageSelectionCount> kSelections{
    "0123", "0132", "0213", "0231", "0312", "0321", "1023", "1032", "1203", "1230", "1302", "1320", "2013",
    "2031", "2103", "2130", "2301", "2310", "3012", "3021", "3102", "3120", "3201", "3210", "012",  "021",
    "102",  "120",  "201",  "210",  "013",  "031",  "103",  "130",  "301",  "310",  "023",  "032",  "203",
    "230",  "302",  "320",  "123",  "132",  "213",  "231",  "312",  "321",  "01",   "10",   "02",   "20",
    "03",   "30",   "12",   "21",   "13",   "31",   "23",   "32",   "0",    "1",    "2",    "3"};

// Folders of known publishers of airports, scenery and navigation data, and
// converted packages: never liveries, often deep.
constexpr std::array<std::string_view, 9> kSkippedFolderParts{
    "airport", "lvfr", "mkstudios", "simwings", "fsdreamteam", "navigraph", "flytampa", "inibuilds", "_CVT_"};

struct ScanState {
    std::mutex hookLock;
    std::function<bool()> isRunning;
    std::size_t threads = 0; // 0: as many as the system runs at once
    LiveryScanLists lists;
    std::vector<LiveryRecord> table;
    // The table of the scan before, let go once the readers of this scan are
    // busy: tens of thousands of texts to free, which would hold up its start.
    std::vector<LiveryRecord> previousTable;
};

ScanState& lv_scan()
{
    static ScanState state;
    return state;
}

bool lf_isRunning()
{
    std::function<bool()> check;
    {
        std::scoped_lock guard(lv_scan().hookLock);
        check = lv_scan().isRunning;
    }
    return check ? check() : gf_isRunning();
}

bool lf_isSkippedFolder(const fs::path& folder)
{
    const std::string text = path_to_utf8(folder);
    if (text.size() >= kMaxWalkPathBytes) return true;
    return std::any_of(kSkippedFolderParts.begin(), kSkippedFolderParts.end(),
                       [&](std::string_view part) { return text.find(part) != std::string::npos; });
}

std::size_t lf_readerCount()
{
    std::scoped_lock guard(lv_scan().hookLock);
    return gf_liveryReaderCount(lv_scan().threads);
}

// An IVAO MTL file is read by lf_searchLiveriesinIVAOFile's rules.
bool lf_isIvaoFile(const fs::path& file)
{
    const std::string text = path_to_utf8(file);
    return text.find("ivao_x-csl") != std::string::npos || text.find("IVAO_MTL") != std::string::npos;
}

// One folder of the walk, its entries in name order so that every system
// meets the same titles first (the pool walks depth first): subfolders to
// walk, aircraft.cfg files to read. An entry or a folder that cannot be read
// is logged and passed over; the walk goes on with the next entry.
void lf_listWalkFolder(std::uint32_t priority, const fs::path& folder, CfgReadPool::Listing& listing)
{
    const auto report = [&listing](const std::string& line) { listing.addLogLine(line); };
    std::vector<fs::directory_entry> entries = lf_listFolderEntries(folder, report);
    // The entries of one folder share its path: their paths' order is that of
    // their names, and comparing the texts spares splitting every path.
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().native() < b.path().native();
    });
    for (fs::directory_entry& entry : entries) {
        // A link is neither walked nor read. Where the listing gave each
        // entry's type, asking the entry costs no call to the file system;
        // a Windows listing does not, so the entry learns its type once.
        std::error_code entryEc;
#if defined(_WIN32)
        entry.refresh(entryEc);
#endif
        const bool link = entry.is_symlink(entryEc);
        const bool directory = !entryEc && !link && entry.is_directory(entryEc);
        const bool file = !entryEc && !link && !directory && entry.is_regular_file(entryEc);
        if (entryEc) {
            report(fmt::format("Could not read {}: {}", path_to_utf8(entry.path()), entryEc.message()));
            continue;
        }
        if (directory) {
            if (!lf_isSkippedFolder(entry.path())) listing.addFolder(entry.path());
        } else if (file && lf_equalsNoCase(path_to_utf8(entry.path().filename()), "aircraft.cfg")) {
            listing.addFile(entry.path(), priority, lf_isIvaoFile(entry.path()));
        }
    }
}

// Each subfolder of the Community folder in name order (the order Windows
// lists them in, so every system finds the same package first); a listing
// error is logged (as a notice when asked) and ends the listing where it failed.
template <typename Visit>
void lf_listCommunity(const fs::path& community, std::string_view warning, bool notice, Visit visit)
{
    std::vector<fs::path> folders;
    std::error_code ec;
    fs::directory_iterator it(community, fs::directory_options::skip_permission_denied, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_directory(typeEc)) folders.push_back(it->path());
    }
    if (ec) {
        const std::string text = fmt::format(fmt::runtime(warning), path_to_utf8(community), ec.message());
        notice ? gf_writeLogNotice(text) : gf_writeLogLine(text);
    }
    std::sort(folders.begin(), folders.end());
    for (const fs::path& folder : folders)
        if (!visit(folder)) return;
}

void lf_enableAutomaticControls()
{
    LIG_AUTOMATIC.enable(true);
    AI_PACKAGE_SELECTOR.enable(true);
}

void lf_writeLinesFile(const std::vector<std::string>& lines, const fs::path& file)
{
    try {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) return;
        out.exceptions(std::ios::badbit | std::ios::failbit);
        for (const std::string& line : lines) out << line << '\n';
    } catch (const std::exception& e) {
        gf_writeLogLineNoThrow(fmt::format("Error writing file {}: {}", path_to_utf8(file), e.what()));
    }
}

bool lf_writeReportList(const std::vector<std::string>& lines, const fs::path& file)
{
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
        gf_writeLogLineNoThrow(
            fmt::format("Error creating directories {}: {}", path_to_utf8(file.parent_path()), ec.message()));
        return false;
    }
    lf_writeLinesFile(lines, file);
    return true;
}

void lf_writeDontUseFile(const std::set<std::string>& titles, const fs::path& file)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string& title : titles) out << title << '\n';
}

enum ReportIndex : std::size_t {
    kNoFltsimReport, kDontUseReport, kInvalidAirlineReport, kInvalidModelReport, kFixesReport, kInvalidFileReport,
    kIncompleteReport
};

const fs::path& lf_report(ReportIndex index) { return gf_liveryScanReportFiles()[index]; }

void lf_removeOldReports()
{
    for (const fs::path& file : gf_liveryScanReportFiles()) {
        std::error_code ec;
        fs::remove(file, ec);
    }
}

// Writes one list with its summary line: {0} the count, {1} its plural suffix, {2} the file.
void lf_writeReport(const std::vector<std::string>& lines, ReportIndex index, std::string_view summary)
{
    lf_writeReportList(lines, lf_report(index));
    gf_writeLogLine(fmt::format(fmt::runtime(summary), lines.size(), gf_pluralSuffix(lines.size()),
                                path_to_utf8(lf_report(index))));
}

void lf_writeSortedReport(std::vector<std::string>& lines, ReportIndex index, std::string_view summary)
{
    std::sort(lines.begin(), lines.end());
    if (index == kIncompleteReport) lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    lf_writeReport(lines, index, summary);
}

// The folders to search, in priority order; throws when there are none.
std::vector<fs::path> lf_collectFolders(bool automatic)
{
    std::vector<fs::path> folders;
    folders.reserve(10);
    if (!automatic) lf_collectManualFolders(folders);
    else if (const std::optional<fs::path> community = gf_simInstallSubfolder("Community"))
        lf_collectAutomaticFolders(*community, folders);
    if (!folders.empty()) return folders;
    if (!automatic)
        throw UserRelatedException(48, fmt::format("Exit {}, and then set one or more lfolderx parameters to your "
                                                   "liveries in the file parameters.xml",
                                                   kProgramName));
    lf_enableAutomaticControls();
    throw UserRelatedException(148, "Automatic scan has not found any AI packages, choose a different selection, or "
                                    "de-select automatic");
}

// One folder of the list; false when a stop was requested before it.
bool lf_searchListedFolder(const fs::path& folder, std::uint32_t& priority)
{
    if (folder.empty()) return true;
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status)) {
        gf_writeLogLine(path_to_utf8(folder) + " does not exist, skipped!");
        return true;
    }
    if (!fs::is_directory(status)) {
        gf_writeLogLine(path_to_utf8(folder) + " is not a folder name, skipped!");
        return true;
    }
    priority = std::min(priority + 1, kMaxPriority);
    if (!lf_isRunning()) return false;
    const std::vector<LiveryRecord>& table = lv_scan().table;
    const std::size_t before = table.size();
    if (!lf_searchLiveriesInFolder(priority, folder)) return false;
    const std::size_t n = table.size() - before;
    const std::string where = fmt::format("found in {}", path_to_utf8(folder));
    gf_writeLogLine(n == 0 ? "No liveries " + where : fmt::format("{:5} liverie{} {}", n, gf_pluralSuffix(n), where));
    return true;
}

// std::sort in `parts` parts at once, merged pairwise (each round's merges at
// once): the same order, since the order of the livery table is total.
template <typename T, typename Less>
void lf_sortInParts(std::vector<T>& items, Less less, std::size_t parts)
{
    constexpr std::size_t kSmallestPart = 4096;
    parts = std::max<std::size_t>(std::min(parts, items.size() / kSmallestPart), 1);
    std::vector<std::size_t> bounds(parts + 1);
    for (std::size_t i = 0; i <= parts; ++i) bounds[i] = items.size() * i / parts;
    const auto at = [&items, &bounds](std::size_t bound) { return items.begin() + static_cast<std::ptrdiff_t>(bounds[bound]); };
    gf_runAtOnce(parts, [&](std::size_t i) { std::sort(at(i), at(i + 1), less); });
    for (std::size_t width = 1; width < parts; width *= 2) {
        const std::size_t merges = (parts - width + 2 * width - 1) / (2 * width);
        gf_runAtOnce(merges, [&](std::size_t m) {
            const std::size_t first = 2 * width * m;
            std::inplace_merge(at(first), at(first + width), at(std::min(first + 2 * width, parts)), less);
        });
    }
}

// The first eight bytes of a text as a number whose order is theirs: the first
// byte most significant, a shorter text padded with zeros. Texts whose numbers
// differ are ordered as their numbers; texts with equal numbers may still differ.
std::uint64_t lf_titleHead(std::string_view text)
{
    std::uint64_t head = 0;
    const std::size_t length = std::min<std::size_t>(text.size(), 8);
    for (std::size_t i = 0; i < 8; ++i)
        head = head << 8 | (i < length ? static_cast<unsigned char>(text[i]) : 0u);
    return head;
}

// Sorts small entries that hold each record's key and views of its texts, not
// the records: a record holds two strings, and moving tens of thousands of them
// around costs more than the comparisons. The order is compareLiveryRecords';
// of records equal in all but their priority the first is kept.
void lf_sortAndDeduplicate(std::vector<LiveryRecord>& table, std::size_t threads)
{
    struct Entry {
        std::uint64_t key; // airline, operator, model, cargo, most significant first
        // The title's first eight bytes, the first most significant, zeros after
        // its end: most titles are told apart here, without a visit to their text.
        std::uint64_t titleHead;
        std::string_view title;
        std::string_view registration;
        std::uint32_t index;
    };
    // Each piece of work below is split over the threads: every part writes
    // only its own elements.
    const auto inParts = [threads](std::size_t count, auto work) {
        const std::size_t parts = std::clamp<std::size_t>(count / 4096, 1, std::max<std::size_t>(threads, 1));
        gf_runAtOnce(parts, [&](std::size_t part) { work(count * part / parts, count * (part + 1) / parts); });
    };
    std::vector<Entry> entries(table.size());
    inParts(table.size(), [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            const LiveryKey& k = table[i].key;
            entries[i] = {static_cast<std::uint64_t>(k.airline) << 40 | static_cast<std::uint64_t>(k.op) << 24 |
                              static_cast<std::uint64_t>(k.model) << 8 | k.cargo,
                          lf_titleHead(table[i].title), table[i].title, table[i].registration,
                          static_cast<std::uint32_t>(i)};
        }
    });
    const auto less = [](const Entry& a, const Entry& b) {
        if (a.key != b.key) return a.key < b.key;
        if (a.titleHead != b.titleHead) return a.titleHead < b.titleHead;
        if (const int c = a.title.compare(b.title); c != 0) return c < 0;
        if (const int c = a.registration.compare(b.registration); c != 0) return c < 0;
        // Equal records keep their scan order, so the first of them stays.
        return a.index < b.index;
    };
    lf_sortInParts(entries, less, threads);
    const auto same = [](const Entry& a, const Entry& b) {
        return a.key == b.key && a.title == b.title && a.registration == b.registration;
    };
    entries.erase(std::unique(entries.begin(), entries.end(), same), entries.end());
    const std::size_t duplicates = table.size() - entries.size();
    std::vector<LiveryRecord> sorted;
    sorted.reserve(std::max(entries.size(), kTableReserve));
    sorted.resize(entries.size());
    inParts(entries.size(), [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) sorted[i] = std::move(table[entries[i].index]);
    });
    table = std::move(sorted);
    if (duplicates != 0) gf_writeLogNotice(fmt::format("{} duplicates removed ?", duplicates));
}

} // namespace

std::string_view gf_aiPackageKindName(AiPackageKind kind)
{
    switch (kind) {
    case AiPackageKind::AIG: return "AIG";
    case AiPackageKind::FSLTL: return "FSLTL";
    case AiPackageKind::JF: return "JF";
    case AiPackageKind::IVAO_MTL: return "IVAO_MTL";
    }
    return "unknown";
}

std::vector<AiPackageKind> gf_aiPackageSelection(std::size_t index)
{
    std::vector<AiPackageKind> kinds;
    if (index >= kSelections.size()) return kinds;
    for (char digit : kSelections[index]) kinds.push_back(static_cast<AiPackageKind>(digit - '0'));
    return kinds;
}

void gf_setLiveryScanStopCheck(std::function<bool()> isRunning)
{
    std::scoped_lock guard(lv_scan().hookLock);
    lv_scan().isRunning = std::move(isRunning);
}

void gf_setLiveryScanThreads(std::size_t threads)
{
    std::scoped_lock guard(lv_scan().hookLock);
    lv_scan().threads = threads;
}

std::vector<LiveryRecord>& gf_liveryTable() { return lv_scan().table; }

const std::array<fs::path, 7>& gf_liveryScanReportFiles()
{
    static const std::array<fs::path, 7> files{
        kInfoFolder / "AircraftCfgWithNoFltsimSection.txt", kInfoFolder / "DontUseLiveries.txt",
        kErrorsFolder / "InvalidAirlineCodes.txt",         kErrorsFolder / "InvalidAircraftCodes.txt",
        kErrorsFolder / "Fixes.txt",                       kErrorsFolder / "InvalidAircraftCfgFiles.txt",
        kErrorsFolder / "IncompleFltsimSections.txt"};
    return files;
}

int gf_scanLiveries()
{
    LiveryScanLists& lists = lv_scan().lists;
    // Sized once for a large package: a rehash moves every title seen so far.
    lists.scannedTitles.reserve(kTitleSetReserve);
    struct EndOfScan {
        ~EndOfScan() { lf_endLiveryScan(); }
    } endOfScan;
    try {
        const std::shared_ptr<const SettingsSnapshot> settings = gf_settings();
        const bool prioritize = settings->LIG_PRIORITIZE;
        const bool automatic = settings->LIG_AUTOMATIC;
        AI_PACKAGE_SELECTOR.enable(false);
        SKIP_LIVERIES_SCAN.enable(false);
        gf_guiShowMessage("Scanning for liveries ...", false);
        gf_writeLogLineFlushed(fmt::format(
            "\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
            automatic ? "automatic" : "manual"));

        const std::vector<fs::path> folders = lf_collectFolders(automatic);
        const int result = lf_runLiveryScan(folders, prioritize, automatic);
        SKIP_LIVERIES_SCAN.enable(true);
        if (result == kScanCancelled) gf_writeLogLine("Liveries scan cancelled");
        if (result == kScanWriteFailed)
            throw std::runtime_error(
                fmt::format("the new {} could not be committed safely", path_to_utf8(gf_liveriesScannedFile())));
        return result;
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("Liveries scan failed: {}", e.what()));
        throw;
    }
}

int lf_runLiveryScan(const std::vector<fs::path>& folders, bool prioritize, bool automatic)
{
    const int result = lf_scanLiveryFolders(folders, prioritize);
    if (result == kScanDone) {
        gf_postGuiUpdate(gui_update::SetLiveryCount{lv_scan().table.size()});
        gf_postGuiUpdate(gui_update::Redraw{2});
    } else if (result == kScanNoLiveries && automatic) {
        lf_enableAutomaticControls();
        throw UserRelatedException(553, "Automatic scan has not found any liveries in your packages, choose a "
                                        "different selection, or de-select automatic");
    } else if (result == kScanNoLiveries) {
        throw UserRelatedException(53, "no liveries found, did you set lfolderx parameter(s)?");
    }
    return result;
}

void lf_collectAutomaticFolders(const fs::path& community, std::vector<fs::path>& folders)
{
    const std::optional<std::size_t> index = AI_PACKAGE_SELECTOR.indexOfValue();
    if (!index || *index >= kAiPackageSelectionCount)
        throw std::runtime_error(fmt::format("{} not set", AI_PACKAGE_SELECTOR.name));
    lf_scanAIPackages(community, gf_aiPackageSelection(*index), folders);
    lf_scanUserAiTraffic(community, folders);
}

void lf_scanAIPackages(const fs::path& community, const std::vector<AiPackageKind>& kinds,
                       std::vector<fs::path>& folders)
{
    std::array<std::optional<fs::path>, kAiPackageKindCount> slots;
    std::size_t found = 0;
    lf_listCommunity(community, "Automatic AI package scan warning in '{}': {}", false, [&](const fs::path& entry) {
        const std::string name = path_to_utf8(entry.filename());
        for (AiPackageKind kind : kinds) {
            std::optional<fs::path>& slot = slots[static_cast<std::size_t>(kind)];
            if (slot || !lf_isAIPackageFolder(kind, name)) continue;
            slot = entry;
            ++found;
            gf_writeLogLine(fmt::format("Automatic {} scan found folder: '{}'", gf_aiPackageKindName(kind),
                                        path_to_utf8(entry)));
            break;
        }
        return found < kinds.size();
    });
    for (AiPackageKind kind : kinds)
        if (const auto& slot = slots[static_cast<std::size_t>(kind)]) folders.push_back(*slot);
}

bool lf_isAIPackageFolder(AiPackageKind kind, std::string_view name)
{
    const auto has = [name](std::string_view part) { return name.find(part) != std::string_view::npos; };
    if (has("_CVT_")) return false;
    switch (kind) {
    case AiPackageKind::AIG:
        return has("aig-aitraffic-oci") && (!has("aig-aitraffic-oci-beta") || gf_isMsfs2020());
    case AiPackageKind::FSLTL: return has("fsltl-traffic-base");
    case AiPackageKind::JF: return has("justflight-aircraft-traffic-fleet") || has("justflight-fstraffic-module");
    case AiPackageKind::IVAO_MTL: return has("IVAO_MTL");
    }
    return false;
}

void lf_scanUserAiTraffic(const fs::path& community, std::vector<fs::path>& folders)
{
    lf_listCommunity(community, "Automatic user-aitraffic scan warning in '{}': {}", true, [&](const fs::path& entry) {
        const std::string name = path_to_utf8(entry.filename());
        if (name.find("user-aitraffic") == std::string::npos || name.find("_CVT_") != std::string::npos) return true;
        gf_writeLogLine(fmt::format("Automatic user-aitraffic scan found folder: '{}'", path_to_utf8(entry)));
        folders.push_back(entry);
        return false;
    });
}

void lf_collectManualFolders(std::vector<fs::path>& folders)
{
    for (const StringParameter* parameter :
         {&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4, &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9}) {
        const std::string value = parameter->value();
        if (value.empty()) continue;
        const fs::path folder = gf_utf8ToPath(value);
        std::error_code ec;
        if (!fs::exists(folder, ec)) {
            gf_writeLogNotice(fmt::format("{}: '{}' does not exist", parameter->name, value));
            throw UserRelatedException(
                243, fmt::format("the path pointed to by parameter '{}' does not exist, see Log.txt!", parameter->name));
        }
        folders.push_back(folder);
    }
}

int lf_scanLiveryFolders(const std::vector<fs::path>& folders, bool prioritize)
{
    const int result = lf_collectLiveries(folders, prioritize);
    if (result != kScanDone) return result;
    if (!gf_writeLiveriesScanned(lv_scan().table)) return kScanWriteFailed;
    gf_flushLog();
    return kScanDone;
}

int lf_collectLiveries(const std::vector<fs::path>& folders, bool prioritize)
{
    std::vector<LiveryRecord>& table = lv_scan().table;
    lv_scan().previousTable = std::exchange(table, {});
    table.reserve(kTableReserve);
    // Only the scan's own reports go: the folders hold other components' files.
    lf_removeOldReports();
    lf_readDontUseLiveries();

    std::uint32_t priority = 0;
    for (const fs::path& folder : folders)
        if (!lf_searchListedFolder(folder, priority)) return kScanCancelled;
    lv_scan().previousTable = {};
    if (!lf_isRunning()) return kScanCancelled;
    if (table.empty()) return kScanNoLiveries;
    if (folders.size() > 1) {
        if (prioritize) {
            gf_writeLogLine("\nPrioritizing the scanned liveries ...");
            const std::size_t removed = lf_prioritizeLiveries(table);
            gf_writeLogLine(fmt::format("{:5} same airl+model liverie{} removed because from lower ai-package",
                                        removed, gf_pluralSuffix(removed)));
        }
        gf_writeLogLine(fmt::format("{:5} in total", table.size()));
    }
    lf_sortAndDeduplicate(table, lf_readerCount() + 1);
    lf_writeScanReports();
    gf_flushLog();
    return kScanDone;
}

bool lf_searchLiveriesInFolder(std::uint32_t priority, const fs::path& folder)
{
    std::error_code ec;
    fs::directory_iterator start(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        gf_writeLogNotice(fmt::format("Could not start liveries search in {}, cause: {}", path_to_utf8(folder),
                                      ec.message()));
        return true;
    }
    ScanState& scan = lv_scan();
    CfgReadPool readers(lf_readerCount(), scan.lists.dontUseTitles);
    readers.walk(folder, [priority](const fs::path& listed, CfgReadPool::Listing& listing) {
        lf_listWalkFolder(priority, listed, listing);
    });
    scan.previousTable = {};
    while (CfgReadPool::Entry* entry = readers.next()) {
        if (!entry->read) {
            gf_writeLogLine(entry->logLine);
            continue;
        }
        if (!lf_isRunning()) return false;
        lf_joinAircraftCfg(scan.lists, *entry->read, scan.table);
        entry->read.reset();
    }
    return true;
}

void lf_readDontUseLiveries()
{
    std::set<std::string>& titles = lv_scan().lists.dontUseTitles;
    titles.clear();
    std::error_code ec;
    if (!fs::exists(kAigRegcodesFile, ec)) {
        gf_writeLogNotice(fmt::format("{} not available", path_to_utf8(kAigRegcodesFile)));
        return;
    }
    lf_readDontUseTitlesFile(kAigRegcodesFile, titles);
    std::int64_t userFiles = 0;
    try {
        userFiles = gf_countFilesInDirectory(kMyRegcodesFolder, fs::path{});
    } catch (const fs::filesystem_error& e) {
        gf_writeLogNotice(e.what());
    }
    if (userFiles > 0) lf_readDontUseTitlesFolder(kMyRegcodesFolder, titles);
    gf_writeLogLine(fmt::format("{:5} don't use liveries", titles.size()));
    lf_writeDontUseFile(titles, lf_report(kDontUseReport));
}

std::size_t lf_prioritizeLiveries(std::vector<LiveryRecord>& records)
{
    const auto identity = [](const LiveryKey& k) { return k.toU64() & 0x00FF'FFFF'FFFF'FFFFull; };
    std::unordered_map<std::uint64_t, std::int16_t> best;
    best.reserve(records.size());
    for (const LiveryRecord& r : records) {
        const auto [it, added] = best.emplace(identity(r.key), r.priority);
        if (!added) it->second = std::min(it->second, r.priority);
    }
    const std::size_t before = records.size();
    std::erase_if(records, [&](const LiveryRecord& r) { return r.priority > best[identity(r.key)]; });
    return before - records.size();
}

void lf_writeScanReports()
{
    LiveryScanLists& l = lv_scan().lists;
    const bool errors = !l.invalidAirlines.empty() || !l.invalidModels.empty() || !l.fixes.empty() ||
                        !l.invalidFiles.empty() || !l.incompleteSections.empty();
    gf_writeLogLine(errors ? "\nErrors:" : "\nNo errors");
    if (!l.invalidAirlines.empty())
        lf_writeSortedReport(l.invalidAirlines, kInvalidAirlineReport, "{0:5} invalid airline code{1}, see {2}");
    if (!l.invalidModels.empty())
        lf_writeSortedReport(l.invalidModels, kInvalidModelReport, "{0:5} invalid model code{1}, see {2}");
    if (!l.fixes.empty()) lf_writeReport(l.fixes, kFixesReport, "{0:5} fixes, see {2}");
    if (!l.invalidFiles.empty())
        lf_writeSortedReport(l.invalidFiles, kInvalidFileReport, "{0:5} invalid aircraft.cfg files, see {2}");
    if (!l.incompleteSections.empty())
        lf_writeSortedReport(l.incompleteSections, kIncompleteReport, "{0:5} incomplete [fltsim.x] sections, see {2}");
    if (!l.noFltsimFiles.empty()) {
        gf_writeLogLine("\nInformation:");
        lf_writeSortedReport(l.noFltsimFiles, kNoFltsimReport, "{0:5} empty aircraft.cfg files, see {2}");
    }
}

void lf_endLiveryScan() noexcept
{
    try {
        ScanState& scan = lv_scan();
        scan.lists.clear();
        gf_guiClearMessage();
        gf_postGuiUpdate(gui_update::Redraw{1});
        gf_writeLogLineFlushed("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
    } catch (...) {
        // The end of a scan must not hide why the scan ended.
    }
}

} // namespace zelk
