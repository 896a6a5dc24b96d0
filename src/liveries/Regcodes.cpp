#include "liveries/Regcodes.h"

#include <algorithm>
#include <cctype>
#include <list>
#include <system_error>
#include <unordered_set>

#include <fmt/format.h>

#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/MetaInfo.h"
#include "core/Strings.h"
#include "core/TextFile.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRegcodeFileLinesReserve = 1024;
constexpr std::uint64_t kMaxRegcodeFileBytes = 4'194'304;

// The valid codes of a ','-separated list, sorted and distinct; each invalid
// one is reported through reject.
template <typename Reject>
std::vector<std::string> lf_validCodes(std::string_view list, Reject reject)
{
    std::vector<std::string> codes;
    for (std::string& code : gf_splitCommaToSortedList(list)) {
        if (gf_isValidRegcode(code)) codes.push_back(std::move(code));
        else reject(code);
    }
    return codes;
}

std::size_t lf_codeCount(const std::vector<RegcodeRecord>& records)
{
    std::size_t n = 0;
    for (const RegcodeRecord& r : records) n += r.codes.size();
    return n;
}

void lf_parseRegcodeLine(RegcodeReadResult& result, const std::string& line, const std::string& prefix)
{
    const std::vector<std::string> pieces = gf_split(line, ';');
    if (pieces.empty()) return;
    if (pieces.size() > 3) {
        result.errors.push_back(fmt::format("{}expected at most 3 semicolon-separated fields: '{}'", prefix, line));
        return;
    }
    const std::string& title = pieces[0];
    if (pieces.size() == 1) {
        result.records.push_back(RegcodeRecord{title, {}, false});
        return;
    }
    std::vector<std::string> codes = lf_validCodes(pieces[1], [&](const std::string& code) {
        result.errors.push_back(fmt::format("{}invalid registration code '{}' for title '{}'", prefix, code, title));
    });
    if (codes.empty()) return;
    const bool marked = pieces.size() == 3 && pieces[2] == "#";
    if (pieces.size() == 3 && !marked)
        result.errors.push_back(
            fmt::format("{}invalid special marker '{}' for title '{}'", prefix, pieces[2], title));
    const bool special = codes.size() == 1 || (marked && codes.size() > 1);
    result.records.push_back(RegcodeRecord{title, std::move(codes), special});
}

std::vector<fs::path> lf_listTextFiles(const fs::path& folder, std::vector<std::string>& errors)
{
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code entryEc;
        const bool regular = it->is_regular_file(entryEc);
        if (entryEc) {
            errors.push_back(fmt::format("could not inspect '{}': {}", path_to_utf8(it->path()), entryEc.message()));
            continue;
        }
        std::string ext = path_to_utf8(it->path().extension());
        std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        if (regular && ext == ".txt") files.push_back(it->path());
    }
    if (ec) errors.push_back(fmt::format("could not enumerate '{}': {}", path_to_utf8(folder), ec.message()));
    std::sort(files.begin(), files.end());
    return files;
}

std::size_t lf_addDontUseTitles(const RegcodeReadResult& result, std::set<std::string>& dontUse)
{
    for (const std::string& error : result.errors) gf_writeLogNotice(error);
    std::size_t added = 0;
    for (const RegcodeRecord& r : result.records)
        if (r.codes.empty() && dontUse.insert(r.title).second) ++added;
    return added;
}

} // namespace

bool gf_isValidRegcode(std::string_view code) noexcept
{
    if (code.size() < 3 || code.size() > 12) return false;
    return std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    });
}

RegcodeReadResult gf_readRegcodesXml(const fs::path& path)
{
    RegcodeReadResult result;
    const std::string name = path_to_utf8(path);
    auto plain = gf_readEncryptedFile(path, kRegcodesPlaintextLimit);
    if (!plain) {
        result.errors.push_back(plain.error());
        return result;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(plain.value().data(), plain.value().used());
    if (!parsed) {
        result.errors.push_back(fmt::format("'{}' not loaded: {}", name, parsed.description()));
        return result;
    }
    if (!gf_readMetaInfo(doc, false)) {
        result.errors.push_back(fmt::format("'{}' has invalid metadata", name));
        return result;
    }
    lf_parseAigRegcodes(result, doc);
    const std::size_t titles = result.records.size();
    const std::size_t codes = lf_codeCount(result.records);
    gf_writeLogLine(fmt::format("{:5} livery title{} with {} regcode{}, read from {}", titles, gf_pluralSuffix(titles),
                                codes, gf_pluralSuffix(codes), name));
    return result;
}

void lf_parseAigRegcodes(RegcodeReadResult& result, const pugi::xml_document& doc)
{
    const pugi::xml_node root = doc.child("root");
    if (!root) {
        result.errors.emplace_back("missing <root> element");
        return;
    }
    const pugi::xml_node aig = root.child("aig");
    if (!aig) {
        result.errors.emplace_back("missing <aig> element");
        return;
    }
    std::unordered_set<std::string> seen;
    std::size_t count = 0;
    for (const pugi::xml_node l : aig.children("l")) {
        ++count;
        const std::string title = gf_xmlAttributeStringOr(l, "t", "");
        if (title.empty()) {
            result.errors.push_back(fmt::format("AIG XML record {} has no title", count));
            continue;
        }
        if (!seen.insert(title).second) {
            result.errors.push_back(fmt::format("duplicate AIG title '{}'", title));
            continue;
        }
        const std::string list = gf_xmlAttributeStringOr(l, "r", "");
        std::vector<std::string> codes;
        if (!list.empty()) {
            codes = lf_validCodes(list, [&](const std::string& code) {
                result.errors.push_back(fmt::format("invalid registration code '{}' for AIG title '{}'", code, title));
            });
            if (codes.empty()) continue;
        }
        result.records.push_back(RegcodeRecord{title, std::move(codes), l.attribute("s").as_bool()});
    }
}

RegcodeReadResult gf_readRegcodeFolder(const fs::path& folder)
{
    RegcodeReadResult result;
    const std::string name = path_to_utf8(folder);
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (ec) {
        result.errors.push_back(fmt::format("could not inspect '{}': {}", name, ec.message()));
        return result;
    }
    if (!fs::is_directory(status)) {
        result.errors.push_back(fmt::format("'{}' is not a directory", name));
        return result;
    }
    for (const fs::path& file : lf_listTextFiles(folder, result.errors)) {
        const std::string fileName = path_to_utf8(file);
        gf_writeLogLine(fmt::format("Processing '{}'", fileName));
        TextFileLines text{file, {}};
        const TextFileLines::ReadResult read = text.read(kMaxRegcodeFileBytes, kRegcodeFileLinesReserve);
        if (!read) {
            result.errors.push_back(fmt::format("could not read '{}': {}", fileName, read.error));
            continue;
        }
        lf_parseRegcodeLines(result, text.lines, fileName);
    }
    return result;
}

void lf_parseRegcodeLines(RegcodeReadResult& result, const std::vector<std::string>& lines, std::string_view file)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        lf_parseRegcodeLine(result, lines[i], lf_regcodeLinePrefix(file, i + 1));
}

std::string lf_regcodeLinePrefix(std::string_view file, std::size_t line)
{
    if (!file.empty() && line != 0) return fmt::format("{} line {}: ", file, line);
    if (!file.empty()) return fmt::format("{}: ", file);
    if (line != 0) return fmt::format("line {}: ", line);
    return {};
}

void lf_readDontUseTitlesFile(const fs::path& path, std::set<std::string>& dontUse)
{
    const std::size_t added = lf_addDontUseTitles(gf_readRegcodesXml(path), dontUse);
    gf_writeLogLine(fmt::format("{:5} don't use title{} read", added, gf_pluralSuffix(added)));
}

void lf_readDontUseTitlesFolder(const fs::path& folder, std::set<std::string>& dontUse)
{
    const std::size_t added = lf_addDontUseTitles(gf_readRegcodeFolder(folder), dontUse);
    gf_writeLogLine(fmt::format("{:5} don't use title{} read from files in {}", added, gf_pluralSuffix(added),
                                path_to_utf8(folder)));
}

} // namespace zelk
