#include "liveries/RegcodeTables.h"

#include <exception>
#include <filesystem>
#include <map>
#include <system_error>

#include <fmt/format.h>

#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "liveries/RecordSummary.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

// "s" for more than one: the wording of the replaced and special counts.
std::string_view lf_pluralAboveOne(std::size_t n) { return n > 1 ? "s" : ""; }

// One line per entry, each ended by a line feed; the folder is made first.
bool lf_writeReport(const fs::path& file, const std::vector<std::string>& lines)
{
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return gf_writeTextFile(text, file, false);
}

void lf_removeReport(const fs::path& file)
{
    std::error_code ec;
    fs::remove(file, ec);
}

void lf_logErrors(const RegcodeReadResult& result)
{
    for (const std::string& error : result.errors) gf_writeLogNotice(error);
}

void lf_processAigRegcodeFile(const fs::path& path, const TitleViewSet& installed, RegcodeTables& tables)
{
    const std::string line = fmt::format("Processing '{}'", path_to_utf8(path));
    gf_writeLogLine(line);
    tables.messages.push_back(line);
    const RegcodeReadResult result = gf_readRegcodesXml(path);
    lf_logErrors(result);
    if (!result.errors.empty())
        tables.messages.push_back(
            fmt::format("There were errors processing the AIG-regcode file '{}', see Log.txt", path_to_utf8(path)));
    lf_mergeRegcodes(result.records, installed, tables);
}

void lf_processRegcodeFolder(const fs::path& folder, const TitleViewSet& installed, RegcodeTables& tables)
{
    const fs::path missingFile = kErrorsFolder / kMissingRepaintsFileName;
    lf_removeReport(missingFile);
    if (gf_countFilesInDirectory(folder, {}) < 1) return;
    tables.messages.push_back(fmt::format("Processing files in {}", path_to_utf8(folder)));
    const RegcodeReadResult result = gf_readRegcodeFolder(folder);
    lf_logErrors(result);
    if (!result.errors.empty())
        gf_writeLogLine(fmt::format("There were errors processing the regcode files in folder '{}', see Log.txt",
                                    path_to_utf8(folder)));
    const std::vector<std::string> missing = lf_listMissingRepaints(result.records, installed);
    if (!missing.empty()) {
        if (lf_writeReport(missingFile, missing))
            gf_writeLogLine(fmt::format("{:5} custom repaint title{} not found in scanned liveries, see '{}'",
                                        missing.size(), gf_pluralSuffix(missing.size()), path_to_utf8(missingFile)));
        else
            gf_writeLogNotice(fmt::format("Could not write '{}'", path_to_utf8(missingFile)));
    }
    lf_mergeRegcodes(result.records, installed, tables);
}

void lf_writeOfflineReport(const RegcodeTables& tables)
{
    const fs::path file = kInfoFolder / kOfflineRegcodesFileName;
    lf_removeReport(file);
    if (tables.messages.empty()) return;
    if (!lf_writeReport(file, tables.messages)) {
        gf_writeLogNotice(fmt::format("Could not write '{}'", path_to_utf8(file)));
        return;
    }
    gf_writeLogLine(fmt::format("****** Offline regcode files processed, results can be found in '{}' ******\n",
                                path_to_utf8(file)));
    if (!tables.specialTitles.empty())
        gf_writeLogLine(fmt::format("{:5} special liveries", tables.specialTitles.size()));
    if (!tables.uniqueRegistrations.empty())
        gf_writeLogLine(fmt::format("{:5} unique liveries", tables.uniqueRegistrations.size()));
}

} // namespace

void RegcodeTables::reset()
{
    registrations.clear();
    registrations.reserve(kRegistrationRoom);
    titleRegistrations.clear();
    titleRegistrations.reserve(kRegistrationRoom);
    specialTitles.clear();
    specialTitles.reserve(kSpecialRoom);
    uniqueRegistrations.clear();
    messages.clear();
}

RegcodeTables& gf_regcodeTables()
{
    static RegcodeTables tables;
    return tables;
}

std::string_view lf_findInstalledTitle(const TitleViewSet& installed, std::string_view title)
{
    const auto it = installed.find(title);
    return it == installed.end() ? std::string_view{} : *it;
}

void lf_mergeRegcodes(const std::vector<RegcodeRecord>& records, const TitleViewSet& installed,
                      RegcodeTables& tables)
{
    std::size_t added = 0;
    std::size_t replaced = 0;
    std::size_t special = 0;
    for (const RegcodeRecord& record : records) {
        const std::string_view title = lf_findInstalledTitle(installed, record.title);
        if (title.empty()) continue;
        for (const std::string& code : record.codes) {
            const auto [it, isNew] = tables.registrations.try_emplace(code, title);
            if (isNew) {
                ++added;
            } else if (it->second != title) {
                tables.messages.push_back(
                    fmt::format("   regcode {} for '{}', instead of the same for '{}'", code, title, it->second));
                it->second = title;
                ++replaced;
            }
            if (record.special && record.codes.size() == 1) tables.uniqueRegistrations.insert(code);
        }
        if (record.special) {
            tables.specialTitles.insert(title);
            ++special;
        }
    }
    std::string summary = fmt::format("{} new regcode{} added", added, gf_pluralSuffix(added));
    if (replaced > 0) summary += fmt::format(", {} regcode{} replaced", replaced, lf_pluralAboveOne(replaced));
    if (special > 0) summary += fmt::format(", {} regcode{} defined as special", special, lf_pluralAboveOne(special));
    tables.messages.push_back(std::move(summary));
}

void lf_collectInlineRegcodes(const std::vector<LiveryRecord>& records, const TitleViewSet& installed,
                              RegcodeTables& tables)
{
    std::vector<std::string> clashes;
    for (const LiveryRecord& record : records) {
        if (record.registration.empty()) continue;
        const std::string_view title = lf_findInstalledTitle(installed, record.title);
        if (title.empty()) {
            clashes.push_back(fmt::format("==> [{}] {} '{}' not available, system error, should not happen?",
                                          gf_formatRecordSummary(record.key), record.registration, record.title));
            continue;
        }
        const auto [reg, regIsNew] = tables.registrations.try_emplace(record.registration, title);
        if (!regIsNew && reg->second != title)
            clashes.push_back(fmt::format("{} '{}' => already in use by '{}'", record.registration, title, reg->second));
        const auto [byTitle, titleIsNew] = tables.titleRegistrations.try_emplace(title, record.registration);
        if (!titleIsNew && byTitle->second != record.registration)
            clashes.push_back(fmt::format("{} '{}' => already in use by '{}'", title, record.registration, byTitle->second));
    }
    if (clashes.empty()) return;
    const fs::path file = kErrorsFolder / kInlineRegcodesFileName;
    if (!lf_writeReport(file, clashes)) {
        gf_writeLogNotice(fmt::format("Could not write '{}'", path_to_utf8(file)));
        return;
    }
    gf_writeLogLine(fmt::format("{:5} in-line regcode clashes, see '{}'", clashes.size(), path_to_utf8(file)));
}

void lf_processOfflineRegcodes(const TitleViewSet& installed, RegcodeTables& tables)
{
    try {
        tables.messages.clear();
        tables.specialTitles.clear();
        tables.uniqueRegistrations.clear();
        std::error_code ec;
        if (!fs::exists(kAigRegcodesFile, ec)) {
            gf_writeLogNotice(fmt::format("{} not available", path_to_utf8(kAigRegcodesFile)));
            return;
        }
        gf_writeLogLine("\n******* Offline regcodes ******");
        lf_processAigRegcodeFile(kAigRegcodesFile, installed, tables);
        lf_processRegcodeFolder(kMyRegcodesFolder, installed, tables);
        lf_writeOfflineReport(tables);
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("exception in lf_processOfflineRegcodes: {}", e.what()));
    } catch (...) {
        gf_writeLogNotice("unknown exception in lf_processOfflineRegcodes");
    }
}

std::vector<std::string> lf_listMissingRepaints(const std::vector<RegcodeRecord>& records,
                                                const TitleViewSet& installed)
{
    std::map<std::string, std::set<std::string>> missing;
    for (const RegcodeRecord& record : records) {
        if (record.codes.empty() || installed.contains(record.title)) continue;
        missing[record.title].insert(record.codes.begin(), record.codes.end());
    }
    std::vector<std::string> lines;
    lines.reserve(missing.size());
    for (const auto& [title, codes] : missing) lines.push_back(fmt::format("{}; {}", title, fmt::join(codes, ", ")));
    return lines;
}

} // namespace zelk
