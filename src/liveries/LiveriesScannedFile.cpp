#include "liveries/LiveriesScannedFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <condition_variable>
#include <initializer_list>
#include <fstream>
#include <limits>
#include <optional>
#include <span>
#include <sstream>
#include <system_error>
#include <thread>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/BuildInfo.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/MetaInfo.h"
#include "core/ParameterXml.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "core/TextFile.h"
#include "core/UserRelatedException.h"
#include "liveries/CfgReadPool.h"
#include "liveries/CodeTables.h"
#include "platform/FileReplace.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRecordsReserve = 30'000;

bool lf_appendLivery(pugi::xml_node liveries, const LiveryRecord& r)
{
    pugi::xml_node l = liveries.append_child("l");
    if (!l) {
        gf_writeLogLine("Cannot write liveries scanned: failed to add Livery node");
        return false;
    }
    bool ok = gf_appendXmlStringAttribute(l, "a", std::string(gf_airlineCodeText(r.key.airline)));
    if (r.key.op != 0) ok = gf_appendXmlStringAttribute(l, "o", std::string(gf_airlineCodeText(r.key.op))) && ok;
    ok = gf_appendXmlStringAttribute(l, "m", std::string(gf_modelCodeText(r.key.model))) && ok;
    if (r.key.cargo != 0) ok = gf_appendXmlBoolAttribute(l, "c", true) && ok;
    ok = gf_appendXmlStringAttribute(l, "t", r.title) && ok;
    if (!r.registration.empty()) ok = gf_appendXmlStringAttribute(l, "r", r.registration) && ok;
    if (!ok) gf_writeLogLine("Cannot write liveries scanned: failed to add Livery attributes");
    return ok;
}

// The bytes the document writer escapes in a value (markup, quotes, control bytes).
constexpr std::array<bool, 256> kEscapedBytes = [] {
    std::array<bool, 256> table{};
    for (std::size_t b = 0; b < 32; ++b) table[b] = true;
    for (const unsigned char c : {'&', '<', '>', '"', '\''}) table[c] = true;
    return table;
}();

bool lf_needsEscape(std::string_view value)
{
    return std::any_of(value.begin(), value.end(), [](char c) { return kEscapedBytes[static_cast<unsigned char>(c)]; });
}

// The text of a code number, looked up again only when the number changes: a
// sorted table gives the same airline and model to long runs of records, and
// each lookup takes the code table's lock.
class CodeText {
public:
    explicit CodeText(std::string_view (*lookup)(std::uint16_t)) : lookup_(lookup) {}
    void set(std::uint16_t index)
    {
        if (known_ && index == index_) return;
        index_ = index;
        text_ = lookup_(index);
        escape_ = lf_needsEscape(text_);
        known_ = true;
    }
    std::string_view text() const { return text_; }
    bool needsEscape() const { return escape_; }

private:
    std::string_view (*lookup_)(std::uint16_t);
    std::uint16_t index_ = 0;
    std::string_view text_;
    bool escape_ = false;
    bool known_ = false;
};

// One record's line as the document writer lays it out, written by that
// writer itself: for the rare record with a value to escape.
bool lf_appendEscapedLivery(std::string& text, const LiveryRecord& r)
{
    pugi::xml_document doc;
    if (!lf_appendLivery(doc, r)) return false;
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    text += "    ";
    text += std::move(out).str();
    return true;
}

// One record's line laid out as the document writer lays it out: its pieces
// are measured first and copied into place once.
void lf_appendLine(std::string& text, std::initializer_list<std::string_view> pieces)
{
    std::size_t size = 0;
    for (const std::string_view piece : pieces) size += piece.size();
    const std::size_t at = text.size();
    text.resize(at + size);
    char* out = text.data() + at;
    for (const std::string_view piece : pieces) {
        std::memcpy(out, piece.data(), piece.size());
        out += piece.size();
    }
}

// The lines of some records, laid out as the document writer lays them out,
// without building a node for each; false (logged) when the writer fails one.
bool lf_appendLiveryLines(std::string& text, std::span<const LiveryRecord> records)
{
    CodeText airline(gf_airlineCodeText);
    CodeText op(gf_airlineCodeText);
    CodeText model(gf_modelCodeText);
    for (const LiveryRecord& r : records) {
        airline.set(r.key.airline);
        op.set(r.key.op);
        model.set(r.key.model);
        if (airline.needsEscape() || op.needsEscape() || model.needsEscape() || lf_needsEscape(r.title) ||
            lf_needsEscape(r.registration)) {
            if (!lf_appendEscapedLivery(text, r)) return false;
            continue;
        }
        const bool hasOp = r.key.op != 0;
        const bool hasRegistration = !r.registration.empty();
        lf_appendLine(text, {"    <l a=\"", airline.text(), hasOp ? "\" o=\"" : "", hasOp ? op.text() : "",
                             "\" m=\"", model.text(), r.key.cargo != 0 ? "\" c=\"true" : "", "\" t=\"", r.title,
                             hasRegistration ? "\" r=\"" : "", r.registration, "\" />\n"});
    }
    return true;
}

// The <l> children of a node, counted into `count`; false when one of them
// lacks a required attribute.
bool lf_completeLiveries(pugi::xml_node parent, std::size_t& count)
{
    for (pugi::xml_node l : parent.children("l")) {
        // One pass over the attributes finds the three that must be there.
        bool a = false;
        bool m = false;
        bool t = false;
        for (const pugi::xml_attribute attribute : l.attributes()) {
            const char* name = attribute.name();
            if (name[0] == '\0' || name[1] != '\0') continue;
            a = a || name[0] == 'a';
            m = m || name[0] == 'm';
            t = t || name[0] == 't';
        }
        if (!a || !m || !t) return false;
        ++count;
    }
    return true;
}

// The document of a scanned-liveries file parses and holds exactly
// recordCount complete <l> elements.
bool lf_holdsLiveries(pugi::xml_document& doc, const pugi::xml_parse_result& parsed, std::size_t recordCount)
{
    if (!parsed) return false;
    const pugi::xml_node liveries = doc.child("root").child("liveries");
    std::size_t count = 0;
    return liveries && lf_completeLiveries(liveries, count) && count == recordCount;
}

// Some records' lines, as the validation of the temporary file takes them:
// they parse as elements in a row and hold `recordCount` complete <l>
// elements. The bytes are this program's own UTF-8: only their structure is in
// question, so values are neither unescaped nor normalised.
bool lf_linesHoldLiveries(std::string_view lines, std::size_t recordCount)
{
    pugi::xml_document doc;
    if (!doc.load_buffer(lines.data(), lines.size(), pugi::parse_minimal | pugi::parse_fragment, pugi::encoding_utf8))
        return false;
    std::size_t count = 0;
    return lf_completeLiveries(doc, count) && count == recordCount;
}

// The frame of the file: the meta block from the document writer and the
// <liveries> element around the record lines.
struct FileFrame {
    std::string head;
    std::string tail;
    bool holds = false; // the frame with no lines passes the validation
};

std::optional<FileFrame> lf_fileFrame()
{
    pugi::xml_document doc;
    MetaInfo meta;
    meta.version = kProgramVersionText;
    meta.sim = gf_isMsfs2020() ? 1 : 2;
    if (!gf_writeMetaInfo(doc, meta) || !doc.child("root")) {
        gf_writeLogLine("Cannot write liveries scanned: failed to add metadata");
        return std::nullopt;
    }
    FileFrame frame;
    frame.head = gf_xmlFileText(doc);
    constexpr std::string_view kEnd = "</root>\n";
    if (!frame.head.ends_with(kEnd)) {
        gf_writeLogLine("Cannot write liveries scanned: XML root missing");
        return std::nullopt;
    }
    frame.head.resize(frame.head.size() - kEnd.size());
    frame.head += "  <liveries>\n";
    frame.tail = fmt::format("  </liveries>\n{}", kEnd);
    const std::string empty = frame.head + frame.tail;
    pugi::xml_document check;
    const pugi::xml_parse_result parsed =
        check.load_buffer(empty.data(), empty.size(), pugi::parse_minimal, pugi::encoding_utf8);
    frame.holds = lf_holdsLiveries(check, parsed, 0);
    return frame;
}

template <typename Change>
void lf_setUnderLock(std::mutex& lock, std::condition_variable& changed, Change change)
{
    {
        std::scoped_lock guard(lock);
        change();
    }
    changed.notify_all();
}

// The record lines in parts, each laid out on a thread of its own and then
// checked there as the validation of the temporary file would check its
// lines; the caller writes each part as soon as it is laid out, while the
// later parts are still being laid out and checked.
class LiveryLineParts {
public:
    explicit LiveryLineParts(const std::vector<LiveryRecord>& records)
        : records_(records),
          parts_(std::clamp<std::size_t>(records.size() / kSmallestPart, 1, gf_liveryReaderCount(0) + 1))
    {
        threads_.reserve(parts_.size());
        for (std::size_t i = 0; i < parts_.size(); ++i) {
            try {
                threads_.emplace_back([this, i] { layOut(i); });
                parts_[i].started = true;
            } catch (const std::system_error&) {
                // Laid out by the caller when it needs the part.
                break;
            }
        }
    }
    ~LiveryLineParts()
    {
        for (std::thread& thread : threads_) thread.join();
    }
    LiveryLineParts(const LiveryLineParts&) = delete;
    LiveryLineParts& operator=(const LiveryLineParts&) = delete;

    std::size_t count() const noexcept { return parts_.size(); }

    // Part i's lines once laid out; nullptr when the writer failed one of its
    // records (logged). What the laying out threw is thrown here.
    const std::string* lines(std::size_t i)
    {
        Part& part = wait(i, &Part::laidOut);
        if (part.failure) std::rethrow_exception(part.failure);
        return part.written ? &part.text : nullptr;
    }

    // Waits for every part's check; true when each part holds its records.
    bool held()
    {
        bool all = true;
        for (std::size_t i = 0; i < parts_.size(); ++i) all = wait(i, &Part::checked).held && all;
        return all;
    }

private:
    static constexpr std::size_t kSmallestPart = 4096;

    struct Part {
        std::string text;
        std::exception_ptr failure;
        bool started = false; // only the caller's thread looks at it
        bool written = false;
        bool held = false;
        bool laidOut = false;
        bool checked = false;
    };

    Part& wait(std::size_t i, bool Part::*state)
    {
        Part& part = parts_[i];
        if (!part.started) {
            part.started = true;
            layOut(i);
        }
        std::unique_lock guard(lock_);
        done_.wait(guard, [&part, state] { return part.*state; });
        return part;
    }

    void layOut(std::size_t i) noexcept
    {
        Part& part = parts_[i];
        const std::size_t first = records_.size() * i / parts_.size();
        const std::size_t last = records_.size() * (i + 1) / parts_.size();
        bool written = false;
        try {
            part.text.reserve((last - first) * 96);
            written = lf_appendLiveryLines(part.text, std::span(records_).subspan(first, last - first));
        } catch (...) {
            part.failure = std::current_exception();
        }
        lf_setUnderLock(lock_, done_, [&] {
            part.written = written;
            part.laidOut = true;
        });
        bool held = false;
        try {
            held = written && lf_linesHoldLiveries(part.text, last - first);
        } catch (...) {
            // A check that could not be made is no pass.
        }
        lf_setUnderLock(lock_, done_, [&] {
            part.held = held;
            part.checked = true;
        });
    }

    const std::vector<LiveryRecord>& records_;
    std::vector<Part> parts_;
    std::mutex lock_;
    std::condition_variable done_;
    std::vector<std::thread> threads_;
};

// The bytes are the pieces one after the other.
bool lf_equalsPieces(std::string_view bytes, const std::vector<std::string_view>& pieces)
{
    for (const std::string_view piece : pieces) {
        if (!bytes.starts_with(piece)) return false;
        bytes.remove_prefix(piece.size());
    }
    return bytes.empty();
}

// The whole file as it is on disk; empty when it cannot be read.
std::optional<std::string> lf_readBack(const fs::path& file)
{
    try {
        return gf_readFileBytes(file, std::numeric_limits<std::uint64_t>::max());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string lf_attribute(pugi::xml_node node, const char* name, bool required)
{
    const pugi::xml_attribute a = node.attribute(name);
    if (!a && required)
        throw UserRelatedException(999, fmt::format("Missing required attribute '{}' in <{}>", name, node.name()));
    return a.value();
}

LiveryRecord lf_readLivery(pugi::xml_node l)
{
    const std::string a = lf_attribute(l, "a", true);
    const std::string m = lf_attribute(l, "m", true);
    LiveryRecord r;
    r.title = lf_attribute(l, "t", true);
    r.registration = lf_attribute(l, "r", false);
    r.key.airline = gf_airlineCode2Index(a);
    r.key.op = gf_airlineCode2Index(lf_attribute(l, "o", false));
    r.key.model = gf_modelCode2Index(m);
    r.key.cargo = l.attribute("c").as_bool() ? 1 : 0;
    return r;
}

} // namespace

const fs::path& gf_liveriesScannedFile()
{
    return gf_isMsfs2020() ? kLiveriesScanned2020File : kLiveriesScanned2024File;
}

bool gf_writeLiveriesScanned(const std::vector<LiveryRecord>& records)
{
    return lf_writeLiveriesScannedTo(records, gf_liveriesScannedFile());
}

bool lf_writeLiveriesScannedTo(const std::vector<LiveryRecord>& records, const fs::path& target)
{
    if (records.empty()) return false;
    const std::optional<FileFrame> frame = lf_fileFrame();
    if (!frame) return false;
    // The lines are laid out and checked in parts while the file is written:
    // checking each part as the validation would parse the file read back is
    // the same check, since the file must then hold exactly these bytes.
    LiveryLineParts parts(records);

    fs::path temporary = target;
    temporary += ".scan_tmp";
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    fs::remove(temporary, ec);
    if (ec) {
        gf_writeLogNotice(fmt::format("Cannot remove stale temporary livery scan file {}: {}", path_to_utf8(temporary),
                                      ec.message()));
        return false;
    }
    const ScopedFileRemover remover(temporary);
    std::vector<std::string_view> pieces;
    {
        std::ofstream out(temporary, std::ios::out | std::ios::trunc | std::ios::binary);
        const auto put = [&out, &pieces](std::string_view piece) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            pieces.push_back(piece);
        };
        put(frame->head);
        for (std::size_t i = 0; i < parts.count(); ++i) {
            const std::string* lines = parts.lines(i);
            if (lines == nullptr) return false;
            put(*lines);
        }
        put(frame->tail);
        out.close();
        if (out.fail()) {
            gf_writeLogNotice(fmt::format("Cannot write temporary livery scan file {}", path_to_utf8(temporary)));
            return false;
        }
    }
    // Flushed here: the commit's own flush then finds nothing left to do.
    platform::flushFileToDisk(temporary, ec);
    const std::optional<std::string> readBack = lf_readBack(temporary);
    const bool linesHold = parts.held();
    if (!frame->holds || !linesHold || !readBack || !lf_equalsPieces(*readBack, pieces)) {
        gf_writeLogNotice(fmt::format("Temporary livery scan file {} failed validation", path_to_utf8(temporary)));
        return false;
    }
    if (!lf_commitLiveriesScanned(temporary, target)) return false;
    gf_writeLogLine(fmt::format("{} liveries in {}", records.size(), path_to_utf8(target)));
    return true;
}

bool lf_validateLiveriesScanned(const fs::path& temporaryFile, std::size_t recordCount)
{
    // Read back whole and parsed in place: the document is only looked at.
    std::optional<std::string> text = lf_readBack(temporaryFile);
    if (!text) return false;
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(text->data(), text->size());
    return lf_holdsLiveries(doc, parsed, recordCount);
}

bool lf_commitLiveriesScanned(const fs::path& temporaryFile, const fs::path& target)
{
    std::error_code ec;
    static_cast<void>(fs::status(target, ec));
    if (ec && ec != std::errc::no_such_file_or_directory) {
        gf_writeLogNotice(fmt::format("Cannot inspect {} before replacing it: {}", path_to_utf8(target), ec.message()));
        return false;
    }
    if (!platform::replaceFileDurably(temporaryFile, target, ec)) {
        gf_writeLogNotice(
            fmt::format("Cannot replace {} after the livery scan: {}", path_to_utf8(target), ec.message()));
        return false;
    }
    return true;
}

std::vector<LiveryRecord> lf_readLiveriesScannedFrom(const fs::path& file)
{
    const std::string path = path_to_utf8(file);
    std::vector<LiveryRecord> records;
    records.reserve(kRecordsReserve);
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) throw UserRelatedException(51, fmt::format("Could not open {}", path));
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load(in);
    if (!parsed) throw UserRelatedException(51, fmt::format("Error reading {}: {}", path, parsed.description()));
    gf_readMetaInfo(doc, false);
    const pugi::xml_node root = doc.child("root");
    if (!root) throw UserRelatedException(52, fmt::format("{} does not contain <{}>", path, "root"));
    const pugi::xml_node liveries = root.child("liveries");
    if (!liveries) throw UserRelatedException(52, fmt::format("{} does not contain a <{}> section", path, "liveries"));
    for (pugi::xml_node l : liveries.children()) records.push_back(lf_readLivery(l));
    if (records.empty()) throw UserRelatedException(533, path + " does not contain liveries");
    std::sort(records.begin(), records.end(), compareLiveryRecords);
    gf_writeLogLine(fmt::format("{:5} liveries read from {}", records.size(), path));
    return records;
}

void gf_readLiveriesScanned() { gf_scannedLiveries() = lf_readLiveriesScannedFrom(gf_liveriesScannedFile()); }

std::vector<LiveryRecord>& gf_scannedLiveries()
{
    static std::vector<LiveryRecord> records;
    return records;
}

} // namespace zelk
