#include "airports/AirportFileNames.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "airports/AirportsRegistry.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

// Nothing is a link file but a short text: longer ones are not read.
constexpr std::size_t kMaxLinkLineBytes = 4096;

char lf_lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool lf_equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lf_lower(x) == lf_lower(y); });
}

bool lf_endsWithNoCase(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && lf_equalsNoCase(text.substr(text.size() - end.size()), end);
}

bool lf_isAirportExtension(const fs::path& file)
{
    const std::string ext = path_to_utf8(file.extension());
    return lf_equalsNoCase(ext, ".xml") || lf_equalsNoCase(ext, ".enc");
}

std::vector<std::string> lf_components(const fs::path& path)
{
    std::vector<std::string> parts;
    for (const fs::path& part : path) {
        const std::string text = path_to_utf8(part);
        if (!text.empty() && text != "/" && text != "\\") parts.push_back(text);
    }
    return parts;
}

bool lf_fileExists(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

int lf_hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool lf_isValidUtf8(std::string_view text, std::string& reason)
{
    try {
        (void)utf8_to_wide(text);
        return true;
    } catch (const std::exception& e) {
        reason = e.what();
        return false;
    }
}

// A publisher folder that stays inside its parent: sanitised, not empty and not
// made of dots only.
std::optional<std::string> lf_publisherFolder(std::string_view publisher)
{
    std::string folder = lf_sanitizeFileName(publisher);
    if (folder.find_first_not_of('.') == std::string::npos) return std::nullopt;
    return folder;
}

std::optional<IcaoCode> lf_codeOfStem(std::string_view stem, std::string& version)
{
    if (stem.size() < 4) return std::nullopt;
    for (std::size_t i = 4; i < stem.size(); ++i)
        if (stem[i] < '0' || stem[i] > '9') return std::nullopt;
    version = std::string(stem.substr(4));
    return IcaoCode::tryParse(stem.substr(0, 4));
}

} // namespace

std::string gf_apfNameXml(const IcaoCode& code) { return fmt::format("{}.xml", code); }
std::string gf_apfNameEnc(const IcaoCode& code) { return fmt::format("{}.enc", code); }
std::string gf_apfNameTxt(const IcaoCode& code) { return fmt::format("{}.txt", code); }

std::optional<fs::path> gf_airportFilePath(const IcaoCode& code)
{
    if (auto p = lf_findHandmadeApf(code, kMyThirdpartyFolder)) return p;
    if (auto p = lf_findHandmadeApf(code, kMySimaddonFolder)) return p;
    if (gf_isKnownAirport(code)) return fs::path("archive") / "stock" / gf_apfNameEnc(code);
    return std::nullopt;
}

bool gf_airportFileAvailable(const IcaoCode& code)
{
    for (const fs::path& folder : {kMyThirdpartyFolder, kMySimaddonFolder})
        for (const std::string& name : {gf_apfNameXml(code), gf_apfNameTxt(code)})
            if (lf_fileExists(folder / name)) return true;
    return gf_isKnownAirport(code);
}

std::optional<fs::path> lf_findHandmadeApf(const IcaoCode& code, const fs::path& folder)
{
    if (auto target = lf_readApfLinkFile(folder / gf_apfNameTxt(code))) return target;
    const fs::path xml = folder / gf_apfNameXml(code);
    if (lf_fileExists(xml)) return xml;
    return std::nullopt;
}

std::optional<fs::path> lf_readApfLinkFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line(kMaxLinkLineBytes, '\0');
    in.getline(line.data(), static_cast<std::streamsize>(line.size()));
    if (in.bad() || in.gcount() == 0) return std::nullopt;
    line.resize(static_cast<std::size_t>(in.gcount()));
    if (!line.empty() && line.back() == '\0') line.pop_back();
    if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    const std::string text = gf_trim(line);
    if (text.size() < 4 || !(lf_endsWithNoCase(text, ".xml") || lf_endsWithNoCase(text, ".enc"))) return std::nullopt;
    // Named the way the program's own paths are, so a log line that shows it
    // next to one of them uses one separator.
    fs::path target = gf_utf8ToPath(text).make_preferred();
    const auto parts = lf_components(target);
    if (!parts.empty() && lf_equalsNoCase(parts.front(), "archive") && !lf_parseArchivedApfPath(target))
        return std::nullopt;
    return target;
}

std::optional<ArchiveIdentity> lf_parseArchivedApfPath(const fs::path& path)
{
    const auto parts = lf_components(path);
    if (parts.size() < 3 || !lf_equalsNoCase(parts[0], "archive")) return std::nullopt;
    ArchiveIdentity id;
    std::size_t fileIndex = 2;
    if (lf_equalsNoCase(parts[1], "stock") || lf_equalsNoCase(parts[1], "simaddon")) {
        id.publisher = lf_equalsNoCase(parts[1], "stock") ? "stock" : "simaddon";
    } else if (lf_equalsNoCase(parts[1], "thirdparty") && parts.size() >= 4) {
        id.publisher = lf_percentDecode(parts[2]);
        fileIndex = 3;
    } else {
        return std::nullopt;
    }
    if (parts.size() != fileIndex + 1) return std::nullopt;
    const fs::path file = gf_utf8ToPath(parts[fileIndex]);
    if (!lf_isAirportExtension(file)) return std::nullopt;
    std::string stem = path_to_utf8(file.stem());
    std::transform(stem.begin(), stem.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(4, stem.size())),
                   stem.begin(), gf_toUpperChar);
    const auto code = lf_codeOfStem(stem, id.version);
    if (!code) return std::nullopt;
    id.code = *code;
    return id;
}

std::optional<fs::path> gf_learnedApfPath(const fs::path& source, std::string_view publisher)
{
    if (source.empty()) return std::nullopt;
    std::string reason;
    if (!publisher.empty() && !lf_isValidUtf8(publisher, reason)) {
        gf_writeLogNotice(fmt::format("Invalid UTF-8 publisher '{}': {}", publisher, reason));
        return std::nullopt;
    }
    fs::path normal = source.lexically_normal();
    if (!lf_isAirportExtension(normal)) return std::nullopt;
    normal.replace_extension(".xml");
    const auto parts = lf_components(normal);
    if (parts.size() < 3) return std::nullopt;
    const fs::path file = gf_utf8ToPath(parts.back());
    const std::string& a = parts[0];
    const std::string& b = parts[1];
    if (parts.size() == 3) {
        if ((a == "archive" || a == "airports") && b == "stock") return kLearnedStockFolder / file;
        if (a == "archive" && b == "simaddon") return kLearnedSimaddonFolder / file;
        if (a == "airports" && b == "my_simaddon") return kLearnedFolder / "my_simaddon" / file;
        if (a == "airports" && (b == "my_thirdparty" || b == "my_thirdparty2024")) {
            if (gf_trim(publisher).empty()) return kLearnedFolder / "my_thirdparty" / file;
            const auto folder = lf_publisherFolder(publisher);
            if (!folder) return std::nullopt;
            return kLearnedThirdpartyFolder / gf_utf8ToPath(*folder) / file;
        }
        return std::nullopt;
    }
    if (parts.size() == 4 && a == "archive" && b == "thirdparty") {
        const auto folder = lf_publisherFolder(lf_percentDecode(parts[2]));
        if (!folder) return std::nullopt;
        return kLearnedThirdpartyFolder / gf_utf8ToPath(*folder) / file;
    }
    return std::nullopt;
}

fs::path lf_apfPathIcaoStem(const fs::path& path)
{
    const std::string stem = path_to_utf8(path.stem());
    if (stem.size() < 5) return path;
    fs::path cut = path.parent_path() / gf_utf8ToPath(stem.substr(0, 4));
    cut += path.extension();
    return cut;
}

std::string gf_genericUtf8(const fs::path& path)
{
    std::string text = path_to_utf8(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

std::string lf_sanitizeFileName(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) c = ' ';
    }
    return gf_trim(out);
}

std::string lf_percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && lf_hexValue(text[i + 1]) >= 0 && lf_hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(lf_hexValue(text[i + 1]) * 16 + lf_hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

} // namespace zelk
