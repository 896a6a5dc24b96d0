#include "liveries/AircraftCfg.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Strings.h"
#include "core/TextFile.h"
#include "liveries/AircraftCfgKeys.h"
#include "liveries/FltSimSectionWalk.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLinesReserve = 4096;
constexpr std::uint32_t kMaxSectionNumber = 10000;

// A [fltsim.N] number as a signed 32-bit value: an optional '-', then digits
// up to the first other character.
std::optional<std::int32_t> lf_sectionNumberValue(std::string_view text)
{
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end == text.data()) return std::nullopt;
    return value;
}

// As gf_splitLines, without copying: a leading UTF-8 mark is skipped, lines
// end at LF with one CR before it dropped, a final LF adds no empty line.
void lf_splitLineViews(std::string_view text, Lines& lines)
{
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
}

bool lf_opensOtherSection(std::string_view line)
{
    const auto first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] == '[';
}

// What a section without an airline becomes (step "no airline" of a section):
// a private livery, or nothing on a heavy model.
bool lf_settleMissingAirline(FltSimSectionWalk& s, const std::string& model, std::optional<LiveryKey>& regKey)
{
    const bool heavy = gf_modelCategoryOfCode(model) == AcCategory::Heavy;
    if (s.registration.empty()) {
        if (heavy) {
            s.scan.incompleteSections.push_back(
                fmt::format("'{}' '{}' has no airline and no regcode info", s.folder, s.header));
            return false;
        }
        s.airline = "PVT";
        s.registration = gf_findRegcodePrefixIn(s.title).value_or(std::string{});
        if (!s.registration.empty()) regKey = gf_lookupRegcode(s.registration);
        return true;
    }
    if (regKey && regKey->airline != 0) return true;
    if (heavy) {
        s.scan.incompleteSections.push_back(
            fmt::format("'{}' '{}' has no airline and regcode not in dbase", s.folder, s.header));
        return false;
    }
    s.airline = "PVT";
    return true;
}

bool lf_isCargo(const std::string& parkingTypes)
{
    return parkingTypes.size() >= 5 && parkingTypes.find("CARGO") != std::string::npos &&
           parkingTypes.find("GATE") == std::string::npos;
}

std::optional<LiveryRecord> lf_sectionRecord(FltSimSectionWalk& s, std::uint32_t priority, const std::string& model)
{
    if (s.airline.empty())
        s.scan.incompleteSections.push_back(
            fmt::format("{} {} icao_airline is missing, or it has invalid info ", path_to_utf8(s.file), s.header));
    if (s.abandoned) return std::nullopt;
    if (s.title.empty()) {
        s.scan.incompleteSections.push_back(fmt::format("{} {} misses title", s.folder, s.header));
        return std::nullopt;
    }
    if (s.title.find("Fictional") != std::string::npos) return std::nullopt;
    if (s.title.ends_with("-STUB")) s.airline = "ZZZ";
    if (s.scan.dontUseTitles.contains(s.title)) return std::nullopt;
    if (s.airline == "ZZZ") s.registration.clear();
    std::optional<LiveryKey> regKey;
    if (!s.registration.empty()) regKey = gf_lookupRegcode(s.registration);
    if (s.airline.empty() && !lf_settleMissingAirline(s, model, regKey)) return std::nullopt;

    LiveryKey key;
    if (regKey && regKey->airline != 0) key = *regKey;
    else
        key = LiveryKey{gf_airlineCode2Index(s.airline), 0, gf_getModelIndex(model),
                        static_cast<std::uint8_t>(lf_isCargo(s.parkingTypes) ? 1 : 0), 0};

    LiveryRecord record = lf_makeLiveryRecord(s.scan, static_cast<std::uint16_t>(priority), key, s.title, s.registration);
    if (record.title.empty()) {
        s.scan.incompleteSections.push_back(
            fmt::format("{} {} title '{}' already exists", s.folder, s.header, s.title));
        return std::nullopt;
    }
    // Only a registration record without an airline or model gives such a key.
    if (record.key.airline == 0 || record.key.model == 0) {
        s.scan.incompleteSections.push_back(
            fmt::format("{} {} title '{}' has a registration without airline or model", s.folder, s.header, s.title));
        return std::nullopt;
    }
    return record;
}

// One section with the file's folder already as text, as the split calls it.
std::optional<LiveryRecord> lf_processSection(LiveryScanLists& scan, std::uint32_t priority, SectionLines section,
                                              const std::string& model, const fs::path& file,
                                              const std::string& folder)
{
    try {
        section = lf_dropTrailingComments(section);
        if (section.empty()) return std::nullopt;
        FltSimSectionWalk walk(scan, file, folder, section.front(), false);
        walk.walk(section);
        return lf_sectionRecord(walk, priority, model);
    } catch (const std::exception& e) {
        gf_writeLogLine(fmt::format("Exception in lf_procesFltSimSection: {}, file: {}", e.what(), path_to_utf8(file)));
        throw;
    }
}

} // namespace

bool lf_readAircraftCfgLines(const fs::path& file, CfgText& text, bool notice)
{
    const auto report = [notice](const std::string& line) { notice ? gf_writeLogNotice(line) : gf_writeLogLine(line); };
    std::optional<std::string> bytes;
    try {
        bytes = gf_readFileBytes(file, kMaxPackageTextFileBytes);
    } catch (const std::length_error& e) {
        report(fmt::format("! {} not read: {}", path_to_utf8(file), e.what()));
        return false;
    }
    const TextEncoding encoding = bytes ? gf_detectTextEncodingOfBytes(*bytes) : TextEncoding::none_found;
    if (encoding == TextEncoding::none_found) {
        report(fmt::format("! No text encoding detected for {}", path_to_utf8(file)));
        return false;
    }
    text.lines.reserve(kLinesReserve);
    if (encoding == TextEncoding::UTF8_with_BOM || encoding == TextEncoding::UTF8_without_BOM) {
        // Most packages ship UTF-8: the lines stay views into the bytes read.
        // Stray bytes of another code page keep their values: the simulator
        // finds a model by the exact bytes of its title.
        text.utf8 = std::move(*bytes);
        lf_splitLineViews(text.utf8, text.lines);
        return true;
    }
    try {
        gf_appendUtf8Lines(encoding, *bytes, text.decoded);
    } catch (const std::runtime_error&) {
        gf_writeLogLine(fmt::format("! Failed reading {}", path_to_utf8(file)));
        return false;
    }
    text.lines.assign(text.decoded.begin(), text.decoded.end());
    return true;
}

std::vector<LiveryRecord> lf_searchLiveriesinFile(LiveryScanLists& scan, std::uint32_t priority, const fs::path& file)
{
    try {
        std::error_code ec;
        if (!fs::exists(fs::status(file, ec))) return {};
        CfgText text;
        if (!lf_readAircraftCfgLines(file, text, false)) return {};
        if (!lf_checkFltSimNumbers(scan, text.lines, file)) return {};
        const std::string model = lf_fixModel(scan, file, text.lines);
        if (model.empty()) return {};
        return lf_splitFltSimSections(scan, priority, text.lines, model, file, file.parent_path());
    } catch (const std::exception& e) {
        gf_writeLogLine(fmt::format("! Exception in lf_searchLiveriesinFile {}: {}", path_to_utf8(file), e.what()));
        throw;
    }
}

bool lf_checkFltSimNumbers(LiveryScanLists& scan, const Lines& lines, const fs::path& file)
{
    bool any = false;
    bool tooLarge = false;
    for (std::string_view line : lines) {
        if (!lf_isFltSimHeader(line)) continue;
        const std::string number = lf_fltSimSectionNumber(line);
        const std::optional<std::int32_t> value = lf_sectionNumberValue(number);
        if (!value) {
            gf_writeLogNotice(fmt::format("fltsim num {} incorrect", line));
            return false;
        }
        any = true;
        tooLarge = tooLarge || static_cast<std::uint32_t>(*value) > kMaxSectionNumber;
    }
    if (!any) {
        scan.noFltsimFiles.push_back(path_to_utf8(file));
        return true;
    }
    if (tooLarge) {
        scan.invalidFiles.push_back(fmt::format("{} contains a [fltsim.x] section with a number < 0 or > {}",
                                                path_to_utf8(file), kMaxSectionNumber));
        return false;
    }
    return true;
}

std::string lf_checkModelCode(LiveryScanLists& scan, const std::string& code, const fs::path& file)
{
    if (gf_isDbaseModelCode(code)) return code;
    if (std::optional<std::string> fixed = gf_dbaseModelFix(code)) {
        scan.fixes.push_back(fmt::format("Model fix: {} found in {} changed into {}", code, path_to_utf8(file), *fixed));
        return std::move(*fixed);
    }
    lf_reportInvalidModel(scan, code, file);
    return {};
}

std::string lf_fixModel(LiveryScanLists& scan, const fs::path& file, const Lines& lines)
{
    for (std::string_view line : lines) {
        // A key line begins with its key: the other lines are passed over at their first letter.
        if (lf_leadingChar(line) != 'i') continue;
        const std::string code = lf_parseIcaoTypeDesignator(line);
        if (!code.empty()) return lf_checkModelCode(scan, code, file);
    }
    return lf_modelFromBaseContainer(scan, file, lines);
}

std::string lf_modelFromBaseContainer(LiveryScanLists& scan, const fs::path& file, const Lines& lines)
{
    for (std::string_view line : lines) {
        if (lf_leadingChar(line) != 'b') continue;
        const std::string code = lf_parseBaseContainer(line);
        if (!code.empty()) return lf_checkModelCode(scan, code, file);
    }
    const std::string path = path_to_utf8(file);
    if (path.find("pmdg-aircraft-7") == std::string::npos && path.find("fnx-aircraft-3") == std::string::npos)
        scan.invalidFiles.push_back("Line icao_type_designator= is missing in [General] section of " + path);
    return {};
}

void lf_forEachFltSimSection(const Lines& lines, bool anyBracketCloses, const std::function<void(SectionLines)>& parse)
{
    std::size_t begin = 0;
    bool inside = false;
    const auto flush = [&](std::size_t end) {
        if (inside && end > begin) parse(SectionLines(lines).subspan(begin, end - begin));
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (lf_isFltSimHeader(line)) {
            flush(i);
            begin = i;
            inside = true;
        } else if (anyBracketCloses ? line.find('[') != std::string_view::npos : lf_opensOtherSection(line)) {
            flush(i);
            inside = false;
        }
    }
    flush(lines.size());
}

std::vector<LiveryRecord> lf_splitFltSimSections(LiveryScanLists& scan, std::uint32_t priority, const Lines& lines,
                                                 const std::string& model, const fs::path& file,
                                                 const fs::path& folder)
{
    std::vector<LiveryRecord> records;
    const std::string folderText = path_to_utf8(folder);
    lf_forEachFltSimSection(lines, false, [&](SectionLines section) {
        if (std::optional<LiveryRecord> r = lf_processSection(scan, priority, section, model, file, folderText))
            records.push_back(std::move(*r));
    });
    return records;
}

std::vector<LiveryRecord> lf_procesFltSimSection(LiveryScanLists& scan, std::uint32_t priority, SectionLines section,
                                                 const std::string& model, const fs::path& file,
                                                 const fs::path& folder)
{
    std::optional<LiveryRecord> record = lf_processSection(scan, priority, section, model, file, path_to_utf8(folder));
    if (!record) return {};
    return {std::move(*record)};
}

LiveryRecord lf_makeLiveryRecord(LiveryScanLists& scan, std::uint16_t priority, LiveryKey key, const std::string& title,
                                 const std::string& registration)
{
    if (!scan.scannedTitles.insert(title).second) return {};
    return LiveryRecord{title, registration, key, static_cast<std::int16_t>(priority)};
}

void lf_reportInvalidAirline(LiveryScanLists& scan, std::string_view code, const fs::path& file,
                             std::string_view header)
{
    scan.invalidAirlines.push_back(fmt::format("{:12} in {} {}", code, path_to_utf8(file), header));
}

void lf_reportInvalidModel(LiveryScanLists& scan, std::string_view code, const fs::path& file)
{
    scan.invalidModels.push_back(fmt::format("{:16} in {}", code, path_to_utf8(file)));
}

SectionLines lf_dropTrailingComments(SectionLines section)
{
    while (!section.empty()) {
        const std::string_view last = section.back();
        if (!last.empty() && !last.starts_with(';') && !last.starts_with("//")) break;
        section = section.first(section.size() - 1);
    }
    return section;
}

AtcIdValue lf_splitAtcId(std::string_view value)
{
    AtcIdValue id;
    id.cut = std::string(value.substr(0, value.find(';')));
    std::vector<std::string> pieces;
    for (const std::string& piece : gf_split(id.cut, ','))
        if (!piece.empty()) pieces.push_back(piece);
    id.valid = !pieces.empty();
    for (const std::string& piece : pieces)
        if (piece.size() > 12 || piece.find('*') != std::string::npos) id.valid = false;
    if (id.valid && pieces.size() == 1) id.registration = pieces.front();
    return id;
}

} // namespace zelk
