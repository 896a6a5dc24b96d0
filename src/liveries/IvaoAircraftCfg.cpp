#include "liveries/IvaoAircraftCfg.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Strings.h"
#include "liveries/AircraftCfgKeys.h"
#include "liveries/FltSimSectionWalk.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 5> kWFolders{"IVAO_B738WLfa", "IVAO_B739WLfa", "IVAO_A320wCFM",
                                                    "IVAO_A320wIAE", "IVAO_A319fIAEw"};

constexpr bool lf_isWordChar(char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool lf_isWord(std::string_view text) noexcept
{
    if (text.empty()) return false;
    for (char c : text)
        if (!lf_isWordChar(c)) return false;
    return true;
}

// The folder part after "IVAO_" of ".+/<package>/SimObjects/Airplanes/IVAO_<word>/aircraft.cfg".
std::string_view lf_modelPart(std::string_view path, std::string_view package)
{
    constexpr std::string_view kFile = "/aircraft.cfg";
    if (path.size() < kFile.size() || !lf_equalsNoCase(path.substr(path.size() - kFile.size()), kFile)) return {};
    const std::string_view folders = path.substr(0, path.size() - kFile.size());
    const std::size_t slash = folders.rfind('/');
    if (slash == std::string_view::npos) return {};
    const std::string_view folder = folders.substr(slash + 1);
    if (!lf_startsWithNoCase(folder, "IVAO_") || !lf_isWord(folder.substr(5))) return {};
    const std::string middle = fmt::format("/{}/SimObjects/Airplanes/", package);
    const std::string_view before = folders.substr(0, slash + 1);
    // At least one character must come before the package folder.
    if (before.size() <= middle.size() || !lf_equalsNoCase(before.substr(before.size() - middle.size()), middle))
        return {};
    return folder.substr(5);
}

bool lf_isWFolder(const std::string& folder)
{
    for (std::string_view name : kWFolders)
        if (folder.find(name) != std::string::npos) return true;
    return false;
}

// A texture folder whose name differs from the wanted one only in letter case
// is the same folder for the simulator.
bool lf_hasFolderNoCase(const fs::path& parent, std::string_view name)
{
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (lf_equalsNoCase(path_to_utf8(it->path().filename()), name) && it->is_directory(typeEc)) return true;
    }
    return false;
}

// Throws a filesystem error when the folder's status cannot be read for another reason than its absence.
bool lf_textureFolderExists(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    const fs::file_status status = fs::status(folder / name, ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
        throw fs::filesystem_error("cannot inspect the texture folder", folder / name, ec);
    return fs::is_directory(status) || lf_hasFolderNoCase(folder, name);
}

// The livery of a walked section up to the title check: its key from the
// airline code of the title, or else from its registration; nothing (reported)
// when neither gives one.
void lf_pendIvaoSection(FltSimSectionWalk& s, AircraftCfgRead& read, bool wFolder)
{
    PendingLivery pending;
    const std::string airline = lf_ivaoAirlineOfTitle(s.title, read.model, wFolder);
    if (!airline.empty()) {
        if (!read.dbase->isAirlineCode(airline)) {
            lf_reportInvalidAirline(s.scan, airline, s.file, s.header);
            return;
        }
        if (airline == "ZZZ") s.registration.clear();
        lf_setCodeKey(pending, read, airline, 0);
    } else {
        const std::optional<LiveryKey> regKey =
            s.registration.empty() ? std::nullopt : read.dbase->lookupRegcode(s.registration);
        if (!regKey) {
            s.scan.incompleteSections.push_back(
                s.registration.empty()
                    ? fmt::format("{} {} misses airlinecode in title: {}, and no regcode", s.folder, s.header, s.title)
                    : fmt::format("{} {} misses airlinecode in title: {}, and regcode unknown {}", s.folder, s.header,
                                  s.title, s.registration));
            return;
        }
        pending.key = *regKey;
    }
    lf_fileSectionLivery(s, read, std::move(pending));
}

void lf_readIvaoSection(AircraftCfgRead& read, SectionLines section)
{
    const fs::path folder = read.file.parent_path();
    const bool wFolder = lf_isWFolder(read.folder);
    section = lf_dropTrailingComments(section);
    if (section.empty()) return;
    const std::string_view header = section.front();
    FltSimSectionWalk s(read.found, *read.dbase, read.file, read.folder, header, true);
    s.walk(section);
    if (s.abandoned) return;

    // Windows reads "texture." as "texture".
    const std::string textureName = s.texture.empty() ? std::string("texture") : "texture." + s.texture;
    if (!lf_textureFolderExists(folder, textureName)) {
        read.found.incompleteSections.push_back(
            fmt::format("{} {} does not exist", path_to_utf8(folder / textureName), header));
        return;
    }
    if (s.title.empty()) {
        read.found.incompleteSections.push_back(fmt::format("{} {} misses title", read.folder, header));
        return;
    }
    if (read.found.isDontUseTitle(s.title)) return;
    lf_pendIvaoSection(s, read, wFolder);
}

} // namespace

std::string lf_ivaoAirlineOfTitle(std::string_view title, std::string_view model, bool wFolder)
{
    if (!lf_startsWithNoCase(title, model)) return {};
    std::size_t i = model.size();
    if (wFolder) {
        if (i >= title.size() || (title[i] != 'W' && title[i] != 'w')) return {};
        ++i;
    }
    while (i < title.size() && std::string_view(" \t\n\r\v\f").find(title[i]) != std::string_view::npos) ++i;
    if (title.size() - i < 3 || !lf_isWord(title.substr(i, 3))) return {};
    if (title.find_first_of("\r\n", i + 3) != std::string_view::npos) return {};
    return std::string(title.substr(i, 3));
}

std::string lf_ivaoModelFromPath(LiveryScanLists& scan, const fs::path& file)
{
    std::string path = path_to_utf8(file);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string_view part = lf_modelPart(path, "IVAO_MTL");
    if (part.empty()) part = lf_modelPart(path, "ivao_x-csl");
    if (part.empty()) {
        lf_reportInvalidModel(scan, "  ", file);
        return {};
    }
    return lf_checkModelCode(scan, std::string(part.substr(0, 4)), file);
}

void lf_readIvaoFile(AircraftCfgRead& read)
{
    try {
        read.model = lf_ivaoModelFromPath(read.found, read.file);
        if (read.model.empty()) return;
        read.modelNumber = gf_knownModelIndex(read.model);
        read.folder = path_to_utf8(read.file.parent_path());
        CfgText text;
        if (!lf_readAircraftCfgLines(read.found, read.file, text, true)) return;
        if (!lf_checkFltSimNumbers(read.found, text.lines, text.bracketLines, read.file)) return;
        lf_readIvaoFltSimSections(read, text.lines, text.bracketLines);
    } catch (const std::exception& e) {
        read.found.log(
            fmt::format("! Exception in lf_searchLiveriesinIVAOFile {}: {}", path_to_utf8(read.file), e.what()));
        throw;
    } catch (...) {
        read.found.log(fmt::format("! Unknown exception in lf_searchLiveriesinIVAOFile {}", path_to_utf8(read.file)));
        throw;
    }
}

std::vector<LiveryRecord> lf_searchLiveriesinIVAOFile(LiveryScanLists& scan, std::uint32_t priority, const fs::path& file)
{
    AircraftCfgRead read;
    read.file = file;
    read.priority = priority;
    read.ivao = true;
    lf_readAircraftCfg(read, scan.dontUseTitles);
    std::vector<LiveryRecord> records;
    lf_joinAircraftCfg(scan, read, records);
    return records;
}

void lf_readIvaoFltSimSections(AircraftCfgRead& read, const Lines& lines, const LineNumbers& bracketLines)
{
    lf_forEachFltSimSection(lines, bracketLines, true, [&](SectionLines section) { lf_readIvaoSection(read, section); });
}

std::vector<LiveryRecord> lf_splitIvaoFltSimSections(LiveryScanLists& scan, std::uint32_t priority, const Lines& lines,
                                                     const std::string& model, const fs::path& file)
{
    AircraftCfgRead read = lf_sectionsRead(priority, model, file, path_to_utf8(file.parent_path()));
    read.ivao = true;
    return lf_readAndJoinSections(scan, read,
                                  [&] { lf_readIvaoFltSimSections(read, lines, lf_bracketLines(lines)); });
}

LiveryRecord lf_processIvaoFltSimSection(LiveryScanLists& scan, std::uint32_t priority, SectionLines section,
                                         const std::string& model, const fs::path& file)
{
    AircraftCfgRead read = lf_sectionsRead(priority, model, file, path_to_utf8(file.parent_path()));
    read.ivao = true;
    std::vector<LiveryRecord> records = lf_readAndJoinSections(scan, read, [&] { lf_readIvaoSection(read, section); });
    return records.empty() ? LiveryRecord{} : std::move(records.front());
}

} // namespace zelk
