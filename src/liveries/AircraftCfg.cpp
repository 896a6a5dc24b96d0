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
#include "liveries/IvaoAircraftCfg.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

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
    // Sized to the file: a table sized for the largest file, taken and given
    // back for each file, cost the allocator more than the lines themselves.
    lines.reserve(lines.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
}

// lf_bracketLines over a UTF-8 text whose lines are views into it, in order:
// one search of the whole text, not one per line.
LineNumbers lf_bracketLinesOfText(std::string_view text, const Lines& lines)
{
    LineNumbers found;
    std::size_t line = 0;
    for (std::size_t at = text.find('['); at != std::string_view::npos && line < lines.size();
         at = text.find('[', at + 1)) {
        const char* bracket = text.data() + at;
        while (line < lines.size() && lines[line].data() + lines[line].size() <= bracket) ++line;
        if (line < lines.size() && lines[line].data() <= bracket && (found.empty() || found.back() != line))
            found.push_back(line);
    }
    return found;
}

bool lf_opensOtherSection(std::string_view line)
{
    const auto first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] == '[';
}

// The model's category as gf_modelCategoryOfCode gives it, without numbering
// a model that has no number yet: such a model is in no category's set, which
// holds only models numbered when the database was read.
AcCategory lf_modelCategoryOf(const AircraftCfgRead& read)
{
    return read.modelNumber ? read.dbase->modelCategory(*read.modelNumber) : AcCategory::Light;
}

// What a section without an airline becomes (step "no airline" of a section):
// a private livery, or nothing on a heavy model. The model's number is looked
// up here, so the join numbers it here too.
bool lf_settleMissingAirline(FltSimSectionWalk& s, const AircraftCfgRead& read, PendingLivery& pending,
                             std::optional<LiveryKey>& regKey)
{
    pending.modelLookedUp = true;
    const bool heavy = lf_modelCategoryOf(read) == AcCategory::Heavy;
    if (s.registration.empty()) {
        if (heavy) {
            s.scan.incompleteSections.push_back(
                fmt::format("'{}' '{}' has no airline and no regcode info", s.folder, s.header));
            return false;
        }
        s.airline = "PVT";
        s.registration = read.dbase->findRegcodePrefixIn(s.title).value_or(std::string{});
        if (!s.registration.empty()) regKey = read.dbase->lookupRegcode(s.registration);
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

} // namespace

void lf_setCodeKey(PendingLivery& pending, AircraftCfgRead& read, std::string airline, std::uint8_t cargo)
{
    pending.key = LiveryKey{0, 0, read.modelNumber.value_or(0), cargo, 0};
    pending.numberModel = !read.modelNumber;
    // A file names few airlines: each is looked up in the code table once.
    const auto known = std::find_if(read.airlineNumbers.begin(), read.airlineNumbers.end(),
                                    [&airline](const auto& code) { return code.first == airline; });
    if (known != read.airlineNumbers.end()) {
        pending.key.airline = known->second;
    } else if (const std::optional<std::uint16_t> number = gf_airlineCodeTable().find(airline)) {
        pending.key.airline = *number;
        read.airlineNumbers.emplace_back(std::move(airline), *number);
    } else {
        pending.airline = std::move(airline);
    }
}

void lf_fileSectionLivery(FltSimSectionWalk& s, AircraftCfgRead& read, PendingLivery pending)
{
    pending.title = std::move(s.title);
    pending.registration = std::move(s.registration);
    pending.header = std::string(s.header);
    pending.findingsBefore = s.scan.incompleteSections.size();
    pending.logBefore = read.log.size();
    read.pending.push_back(std::move(pending));
}

namespace {

// A section's livery up to the title check, or nothing (with its finding).
void lf_pendSection(FltSimSectionWalk& s, AircraftCfgRead& read)
{
    if (s.airline.empty())
        s.scan.incompleteSections.push_back(
            fmt::format("{} {} icao_airline is missing, or it has invalid info ", path_to_utf8(s.file), s.header));
    if (s.abandoned) return;
    if (s.title.empty()) {
        s.scan.incompleteSections.push_back(fmt::format("{} {} misses title", s.folder, s.header));
        return;
    }
    if (s.title.find("Fictional") != std::string::npos) return;
    if (s.title.ends_with("-STUB")) s.airline = "ZZZ";
    if (s.scan.isDontUseTitle(s.title)) return;
    if (s.airline == "ZZZ") s.registration.clear();
    PendingLivery pending;
    std::optional<LiveryKey> regKey;
    if (!s.registration.empty()) regKey = read.dbase->lookupRegcode(s.registration);
    if (s.airline.empty() && !lf_settleMissingAirline(s, read, pending, regKey)) {
        if (!read.modelNumber) {
            pending.wanted = false;
            pending.findingsBefore = s.scan.incompleteSections.size();
            pending.logBefore = read.log.size();
            read.pending.push_back(std::move(pending));
        }
        return;
    }
    // A model with a number needs no lookup at the join.
    if (read.modelNumber) pending.modelLookedUp = false;
    if (regKey && regKey->airline != 0) pending.key = *regKey;
    else lf_setCodeKey(pending, read, std::move(s.airline), lf_isCargo(s.parkingTypes) ? 1 : 0);
    lf_fileSectionLivery(s, read, std::move(pending));
}

// One section of the file, as the split reads it.
void lf_readSection(AircraftCfgRead& read, SectionLines section)
{
    try {
        section = lf_dropTrailingComments(section);
        if (section.empty()) return;
        FltSimSectionWalk walk(read.found, *read.dbase, read.file, read.folder, section.front(), false);
        walk.walk(section);
        lf_pendSection(walk, read);
    } catch (const std::exception& e) {
        read.found.log(
            fmt::format("Exception in lf_procesFltSimSection: {}, file: {}", e.what(), path_to_utf8(read.file)));
        throw;
    }
}

// The lists of a file read for a caller that holds the scan's lists: the
// don't-use titles are the caller's and the log lines are held for the join.
void lf_prepareRead(AircraftCfgRead& read, const std::set<std::string>& dontUseTitles)
{
    read.found.heldLog = &read.log;
    read.found.scanDontUseTitles = &dontUseTitles;
    // Asked once here, the database answers the file's questions without its lock.
    read.dbase = gf_dbaseData();
}

void lf_readPlainFile(AircraftCfgRead& read)
{
    try {
        std::error_code ec;
        if (!fs::exists(fs::status(read.file, ec))) return;
        CfgText text;
        if (!lf_readAircraftCfgLines(read.found, read.file, text, false)) return;
        if (!lf_checkFltSimNumbers(read.found, text.lines, text.bracketLines, read.file)) return;
        read.model = lf_fixModel(read.found, read.file, text.lines);
        if (read.model.empty()) return;
        read.modelNumber = gf_knownModelIndex(read.model);
        read.folder = path_to_utf8(read.file.parent_path());
        lf_readFltSimSections(read, text.lines, text.bracketLines);
    } catch (const std::exception& e) {
        read.found.log(
            fmt::format("! Exception in lf_searchLiveriesinFile {}: {}", path_to_utf8(read.file), e.what()));
        throw;
    }
}

template <typename T>
void lf_appendMoved(std::vector<T>& to, std::vector<T>& from, std::size_t begin, std::size_t end)
{
    to.insert(to.end(), std::make_move_iterator(from.begin() + static_cast<std::ptrdiff_t>(begin)),
              std::make_move_iterator(from.begin() + static_cast<std::ptrdiff_t>(end)));
}

// Worked out by the reader, so that the join on the scan's thread only looks the titles up.
void lf_hashPendingTitles(AircraftCfgRead& read)
{
    for (PendingLivery& pending : read.pending) pending.titleHash = ScannedTitles::hashOf(pending.title);
}

// The join of one file, step by step: the log lines and incomplete-section
// findings of the file are passed on up to each pending livery, so that they
// keep their places among the lines the join itself adds.
class FileJoin {
public:
    FileJoin(LiveryScanLists& scan, AircraftCfgRead& read) : scan_(scan), read_(read), modelNumber_(read.modelNumber) {}

    void passOnUpTo(std::size_t logLines, std::size_t findings)
    {
        for (; logDone_ < logLines; ++logDone_) {
            HeldLogLine& line = read_.log[logDone_];
            line.notice ? gf_writeLogNotice(line.text) : gf_writeLogLine(line.text);
        }
        if (findings <= findingsDone_) return;
        lf_appendMoved(scan_.incompleteSections, read_.found.incompleteSections, findingsDone_, findings);
        findingsDone_ = findings;
    }

    void passOnRest()
    {
        passOnUpTo(read_.log.size(), read_.found.incompleteSections.size());
        LiveryScanLists& found = read_.found;
        for (auto [to, from] : {std::pair{&scan_.invalidAirlines, &found.invalidAirlines},
                                std::pair{&scan_.invalidModels, &found.invalidModels}, std::pair{&scan_.fixes, &found.fixes},
                                std::pair{&scan_.invalidFiles, &found.invalidFiles},
                                std::pair{&scan_.noFltsimFiles, &found.noFltsimFiles}})
            lf_appendMoved(*to, *from, 0, from->size());
    }

    // The pending livery's record, or nothing (with its finding).
    std::optional<LiveryRecord> join(PendingLivery& p)
    {
        passOnUpTo(p.logBefore, p.findingsBefore);
        if (p.modelLookedUp) modelNumber();
        if (!p.wanted) return std::nullopt;
        if (!p.airline.empty()) p.key.airline = gf_airlineCode2Index(p.airline);
        if (p.numberModel) p.key.model = modelNumber();
        const bool added = scan_.scannedTitles.add(p.title, p.titleHash);
        const LiveryKey key = added ? p.key : LiveryKey{};
        if (read_.ivao) {
            if (key.airline != 0 && key.model != 0) return record(p);
            finding(fmt::format("{} {} title already exists: {}", read_.folder, p.header, p.title));
        } else if (!added) {
            finding(fmt::format("{} {} title '{}' already exists", read_.folder, p.header, p.title));
        } else if (key.airline == 0 || key.model == 0) {
            // Only a registration record without an airline or model gives such a key.
            finding(fmt::format("{} {} title '{}' has a registration without airline or model", read_.folder, p.header,
                                p.title));
        } else {
            return record(p);
        }
        return std::nullopt;
    }

private:
    std::uint16_t modelNumber()
    {
        if (!modelNumber_) modelNumber_ = gf_getModelIndex(read_.model);
        return *modelNumber_;
    }
    LiveryRecord record(PendingLivery& p) const
    {
        return LiveryRecord{std::move(p.title), std::move(p.registration), p.key,
                            static_cast<std::int16_t>(static_cast<std::uint16_t>(read_.priority))};
    }
    void finding(std::string text) { scan_.incompleteSections.push_back(std::move(text)); }

    LiveryScanLists& scan_;
    AircraftCfgRead& read_;
    std::optional<std::uint16_t> modelNumber_;
    std::size_t logDone_ = 0;
    std::size_t findingsDone_ = 0;
};


} // namespace

bool lf_readAircraftCfgLines(LiveryScanLists& scan, const fs::path& file, CfgText& text, bool notice)
{
    std::optional<std::string> bytes;
    try {
        bytes = gf_readFileBytes(file, kMaxPackageTextFileBytes);
    } catch (const std::length_error& e) {
        scan.log(fmt::format("! {} not read: {}", path_to_utf8(file), e.what()), notice);
        return false;
    }
    const TextEncoding encoding = bytes ? gf_detectTextEncodingOfBytes(*bytes) : TextEncoding::none_found;
    if (encoding == TextEncoding::none_found) {
        scan.log(fmt::format("! No text encoding detected for {}", path_to_utf8(file)), notice);
        return false;
    }
    if (encoding == TextEncoding::UTF8_with_BOM || encoding == TextEncoding::UTF8_without_BOM) {
        // Most packages ship UTF-8: the lines stay views into the bytes read.
        // Stray bytes of another code page keep their values: the simulator
        // finds a model by the exact bytes of its title.
        text.utf8 = std::move(*bytes);
        lf_splitLineViews(text.utf8, text.lines);
        text.bracketLines = lf_bracketLinesOfText(text.utf8, text.lines);
        return true;
    }
    try {
        gf_appendUtf8Lines(encoding, *bytes, text.decoded);
    } catch (const std::runtime_error&) {
        scan.log(fmt::format("! Failed reading {}", path_to_utf8(file)));
        return false;
    }
    text.lines.assign(text.decoded.begin(), text.decoded.end());
    text.bracketLines = lf_bracketLines(text.lines);
    return true;
}

bool lf_readAircraftCfgLines(const fs::path& file, CfgText& text, bool notice)
{
    LiveryScanLists direct;
    return lf_readAircraftCfgLines(direct, file, text, notice);
}

AircraftCfgRead lf_sectionsRead(std::uint32_t priority, std::string model, const fs::path& file, std::string folder)
{
    AircraftCfgRead read;
    read.file = file;
    read.priority = priority;
    read.model = std::move(model);
    read.folder = std::move(folder);
    return read;
}

std::vector<LiveryRecord> lf_readAndJoinSections(LiveryScanLists& scan, AircraftCfgRead& read,
                                                 const std::function<void()>& readSections)
{
    lf_prepareRead(read, scan.dontUseTitles);
    read.modelNumber = gf_knownModelIndex(read.model);
    try {
        readSections();
    } catch (...) {
        read.failure = std::current_exception();
    }
    lf_hashPendingTitles(read);
    std::vector<LiveryRecord> records;
    lf_joinAircraftCfg(scan, read, records);
    return records;
}

void lf_readAircraftCfg(AircraftCfgRead& read, const std::set<std::string>& dontUseTitles)
{
    lf_prepareRead(read, dontUseTitles);
    try {
        read.ivao ? lf_readIvaoFile(read) : lf_readPlainFile(read);
    } catch (...) {
        read.failure = std::current_exception();
    }
    lf_hashPendingTitles(read);
}

void lf_joinAircraftCfg(LiveryScanLists& scan, AircraftCfgRead& read, std::vector<LiveryRecord>& records)
{
    // The titles' places in the set are asked for at once: their lookups then
    // wait for memory together instead of one after the other.
    for (const PendingLivery& pending : read.pending)
        if (pending.wanted) scan.scannedTitles.prefetch(pending.titleHash);
    FileJoin join(scan, read);
    std::vector<LiveryRecord> dropped;
    // A failed reading adds no record, but its titles and numbers count.
    std::vector<LiveryRecord>& to = read.failure ? dropped : records;
    for (PendingLivery& pending : read.pending)
        if (std::optional<LiveryRecord> record = join.join(pending)) to.push_back(std::move(*record));
    join.passOnRest();
    if (read.failure) std::rethrow_exception(read.failure);
}

std::vector<LiveryRecord> lf_searchLiveriesinFile(LiveryScanLists& scan, std::uint32_t priority, const fs::path& file)
{
    AircraftCfgRead read;
    read.file = file;
    read.priority = priority;
    lf_readAircraftCfg(read, scan.dontUseTitles);
    std::vector<LiveryRecord> records;
    lf_joinAircraftCfg(scan, read, records);
    return records;
}

LineNumbers lf_bracketLines(const Lines& lines)
{
    LineNumbers found;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find('[') != std::string_view::npos) found.push_back(i);
    return found;
}

bool lf_checkFltSimNumbers(LiveryScanLists& scan, const Lines& lines, const fs::path& file)
{
    return lf_checkFltSimNumbers(scan, lines, lf_bracketLines(lines), file);
}

bool lf_checkFltSimNumbers(LiveryScanLists& scan, const Lines& lines, const LineNumbers& bracketLines,
                           const fs::path& file)
{
    bool any = false;
    bool tooLarge = false;
    for (const std::size_t at : bracketLines) {
        const std::string_view line = lines[at];
        if (!lf_isFltSimHeader(line)) continue;
        const std::string number = lf_fltSimSectionNumber(line);
        const std::optional<std::int32_t> value = lf_sectionNumberValue(number);
        if (!value) {
            scan.log(fmt::format("fltsim num {} incorrect", line), true);
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
    lf_forEachFltSimSection(lines, lf_bracketLines(lines), anyBracketCloses, parse);
}

void lf_forEachFltSimSection(const Lines& lines, const LineNumbers& bracketLines, bool anyBracketCloses,
                             const std::function<void(SectionLines)>& parse)
{
    std::size_t begin = 0;
    bool inside = false;
    const auto flush = [&](std::size_t end) {
        if (inside && end > begin) parse(SectionLines(lines).subspan(begin, end - begin));
    };
    // A line without '[' neither opens nor closes a section.
    for (const std::size_t i : bracketLines) {
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

void lf_readFltSimSections(AircraftCfgRead& read, const Lines& lines, const LineNumbers& bracketLines)
{
    // One pending livery at most per header: room for all of them at once.
    read.pending.reserve(bracketLines.size());
    lf_forEachFltSimSection(lines, bracketLines, false, [&](SectionLines section) { lf_readSection(read, section); });
}

std::vector<LiveryRecord> lf_splitFltSimSections(LiveryScanLists& scan, std::uint32_t priority, const Lines& lines,
                                                 const std::string& model, const fs::path& file,
                                                 const fs::path& folder)
{
    AircraftCfgRead read = lf_sectionsRead(priority, model, file, path_to_utf8(folder));
    return lf_readAndJoinSections(scan, read, [&] { lf_readFltSimSections(read, lines, lf_bracketLines(lines)); });
}

std::vector<LiveryRecord> lf_procesFltSimSection(LiveryScanLists& scan, std::uint32_t priority, SectionLines section,
                                                 const std::string& model, const fs::path& file,
                                                 const fs::path& folder)
{
    AircraftCfgRead read = lf_sectionsRead(priority, model, file, path_to_utf8(folder));
    return lf_readAndJoinSections(scan, read, [&] { lf_readSection(read, section); });
}

LiveryRecord lf_makeLiveryRecord(LiveryScanLists& scan, std::uint16_t priority, LiveryKey key, const std::string& title,
                                 const std::string& registration)
{
    if (!scan.addScannedTitle(title)) return {};
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
    const std::string_view cut = value.substr(0, value.find(';'));
    id.cut = std::string(cut);
    // The pieces between commas, trimmed, blank ones left out (gf_split's), as views.
    std::size_t pieces = 0;
    std::string_view last;
    bool acceptable = true;
    for (std::size_t start = 0; start <= cut.size();) {
        const std::size_t comma = std::min(cut.find(',', start), cut.size());
        const std::string_view piece = gf_trimView(cut.substr(start, comma - start));
        if (!piece.empty()) {
            ++pieces;
            last = piece;
            acceptable = acceptable && piece.size() <= 12 && piece.find('*') == std::string_view::npos;
        }
        start = comma + 1;
    }
    id.valid = pieces > 0 && acceptable;
    if (id.valid && pieces == 1) id.registration = std::string(last);
    return id;
}

} // namespace zelk
