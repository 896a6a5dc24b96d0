#include "liveries/AircraftCfgKeys.h"

#include <algorithm>
#include <array>

#include "core/Strings.h"
#include "liveries/AircraftDatabase.h"

namespace zelk {

namespace {

// The blanks of the C locale's isspace.
constexpr bool lf_isBlank(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

constexpr char lf_lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Every byte in lower case, for comparisons that look each byte up once.
constexpr std::array<unsigned char, 256> kLowerBytes = [] {
    std::array<unsigned char, 256> table{};
    for (std::size_t b = 0; b < table.size(); ++b)
        table[b] = static_cast<unsigned char>(lf_lower(static_cast<char>(static_cast<unsigned char>(b))));
    return table;
}();

constexpr unsigned char lf_lowerByte(char c) noexcept { return kLowerBytes[static_cast<unsigned char>(c)]; }

std::size_t lf_skipBlanks(std::string_view line, std::size_t i) noexcept
{
    while (i < line.size() && lf_isBlank(line[i])) ++i;
    return i;
}

std::string lf_upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), gf_toUpperChar);
    return text;
}

// gf_unquote's rule as a view: the text between the first two quotes, empty
// when the second is missing, the text itself when it holds none.
std::string_view lf_unquote(std::string_view value) noexcept
{
    const std::size_t first = value.find('"');
    if (first == std::string_view::npos) return value;
    const std::size_t second = value.find('"', first + 1);
    if (second == std::string_view::npos) return {};
    return value.substr(first + 1, second - first - 1);
}

// The raw value of a key line whose key ends at `i`: blanks, '=', blanks, a
// value that ends in a non-blank and holds no line end.
std::optional<std::string_view> lf_valueAfterKey(std::string_view line, std::size_t i) noexcept
{
    i = lf_skipBlanks(line, i);
    if (i >= line.size() || line[i] != '=') return std::nullopt;
    const std::size_t begin = lf_skipBlanks(line, i + 1);
    std::size_t end = line.size();
    while (end > begin && lf_isBlank(line[end - 1])) --end;
    if (end == begin) return std::nullopt;
    const std::string_view value = line.substr(begin, end - begin);
    // '.' of the key-line form takes no line end, so the value cannot hold one.
    // Two searches for one byte each: find_first_of looks every byte up in its set.
    if (value.find('\n') != std::string_view::npos || value.find('\r') != std::string_view::npos) return std::nullopt;
    return value;
}

// A value parser's common part: the unquoted value of a key line, as a view
// into the line (gf_unquote's rule without a copy).
std::optional<std::string_view> lf_unquotedValue(std::string_view line, std::string_view key)
{
    // A key line begins with its key: most lines of a section fail at their
    // first non-blank character, before any value is looked at.
    if (line.size() < key.size()) return std::nullopt;
    const auto value = lf_matchKeyLine(line, key);
    if (!value) return std::nullopt;
    return lf_unquote(*value);
}

bool lf_parseNonEmpty(std::string_view line, std::string_view key, std::string& out)
{
    const auto value = lf_unquotedValue(line, key);
    if (!value || value->empty()) return false;
    out.assign(*value);
    return true;
}

// The key at `at` of the line, in any letter case.
bool lf_keyAt(std::string_view line, std::size_t at, std::string_view key) noexcept
{
    return at <= line.size() && line.size() - at >= key.size() && lf_equalsNoCase(line.substr(at, key.size()), key);
}

} // namespace

bool lf_equalsNoCase(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lf_lowerByte(a[i]) != lf_lowerByte(b[i])) return false;
    return true;
}

bool lf_startsWithNoCase(std::string_view text, std::string_view head) noexcept
{
    return text.size() >= head.size() && lf_equalsNoCase(text.substr(0, head.size()), head);
}

bool lf_containsNoCase(std::string_view text, std::string_view part) noexcept
{
    if (part.empty()) return true;
    if (text.size() < part.size()) return false;
    // Anchor the search on a character that has no other case ('_', '[', '.'),
    // found with the library's fast search, when the part has one.
    std::size_t anchor = std::string_view::npos;
    for (std::size_t i = 0; i < part.size() && anchor == std::string_view::npos; ++i)
        if (part[i] == '_' || part[i] == '[' || part[i] == '.' || part[i] == '=') anchor = i;
    if (anchor != std::string_view::npos) {
        const std::string_view body = text.substr(anchor, text.size() - part.size() + 1);
        for (std::size_t at = body.find(part[anchor]); at != std::string_view::npos; at = body.find(part[anchor], at + 1))
            if (lf_equalsNoCase(text.substr(at, part.size()), part)) return true;
        return false;
    }
    const char first = lf_lower(part.front());
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
        if (lf_lower(text[i]) == first && lf_equalsNoCase(text.substr(i, part.size()), part)) return true;
    return false;
}

bool lf_isCommentLine(std::string_view line) noexcept
{
    const std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string_view::npos) return false;
    const std::string_view rest = line.substr(i);
    return rest.starts_with(';') || rest.starts_with("//");
}

std::optional<std::string_view> lf_matchKeyLine(std::string_view line, std::string_view key) noexcept
{
    const std::size_t i = lf_skipBlanks(line, 0);
    if (line.size() - i < key.size() || !lf_equalsNoCase(line.substr(i, key.size()), key)) return std::nullopt;
    return lf_valueAfterKey(line, i + key.size());
}

SectionKeyLine lf_sectionKeyLine(std::string_view line) noexcept
{
    const std::size_t begin = lf_skipBlanks(line, 0);
    std::size_t end = begin;
    while (end < line.size() && line[end] != '=' && !lf_isBlank(line[end])) ++end;
    const std::string_view name = line.substr(begin, end - begin);
    // The names differ in length: the length picks the one name to compare.
    constexpr std::pair<SectionKey, std::string_view> kNames[] = {
        {SectionKey::title, "title"},
        {SectionKey::texture, "texture"},
        {SectionKey::icaoAirline, "icao_airline"},
        {SectionKey::atcParkingTypes, "atc_parking_types"},
        {SectionKey::atcId, "atc_id"},
    };
    for (const auto& [key, text] : kNames) {
        if (name.size() != text.size()) continue;
        if (!lf_equalsNoCase(name, text)) return {};
        const auto value = lf_valueAfterKey(line, end);
        if (!value) return {};
        return {key, lf_unquote(*value)};
    }
    return {};
}

bool lf_parseTitle(std::string_view line, std::string& out) { return lf_parseNonEmpty(line, "title", out); }

std::string_view lf_titleValue(std::string_view line) { return lf_unquotedValue(line, "title").value_or(std::string_view{}); }

bool lf_parseTexture(std::string_view line, std::string& out) { return lf_parseNonEmpty(line, "texture", out); }

bool lf_parseAtcParkingTypes(std::string_view line, std::string& out)
{
    return lf_parseNonEmpty(line, "atc_parking_types", out);
}

bool lf_parseAtcId(std::string_view line, std::string& out)
{
    const auto value = lf_unquotedValue(line, "atc_id");
    if (!value || value->size() < kMinAtcIdLength) return false;
    out.assign(*value);
    return true;
}

bool lf_parseIcaoAirline(std::string_view line, std::string& out)
{
    const auto value = lf_unquotedValue(line, "icao_airline");
    if (!value) return false;
    out = lf_icaoAirlineOf(*value);
    return true;
}

std::string lf_icaoAirlineOf(std::string_view value)
{
    return value.empty() || value == "ZZZZ" ? std::string("ZZZ") : lf_upper(std::string(value));
}

std::string lf_parseIcaoTypeDesignator(std::string_view line)
{
    const auto value = lf_unquotedValue(line, "icao_type_designator");
    if (!value) return {};
    return lf_upper(std::string(value->substr(0, 4)));
}

std::string lf_parseBaseContainer(std::string_view line)
{
    const auto value = lf_unquotedValue(line, "base_container");
    if (!value || value->size() < 4) return {};
    const auto found = kStockAircraftTypes.find(value->substr(3));
    if (found == kStockAircraftTypes.end()) return {};
    return lf_upper(std::string(found->second));
}

bool lf_isFltSimHeader(std::string_view line) noexcept
{
    constexpr std::string_view kHead = "[fltsim.";
    if (line.starts_with(';') || line.starts_with("//")) return false;
    for (std::size_t at = line.find('['); at != std::string_view::npos && line.size() - at >= kHead.size();
         at = line.find('[', at + 1))
        if (lf_equalsNoCase(line.substr(at, kHead.size()), kHead)) return true;
    return false;
}

std::string lf_fltSimSectionNumber(std::string_view line)
{
    if (line.starts_with(';') || line.starts_with("//")) return {};
    constexpr std::string_view kHead = "[fltsim.";
    if (!lf_containsNoCase(line, kHead)) return {};
    const std::size_t head = lf_skipBlanks(line, 0);
    const std::size_t digits = head + kHead.size();
    if (line.size() >= digits && lf_equalsNoCase(line.substr(head, kHead.size()), kHead)) {
        std::size_t end = digits;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
        if (end > digits && end < line.size() && line[end] == ']' && lf_skipBlanks(line, end + 1) == line.size())
            return std::string(line.substr(digits, end - digits));
    }
    return "10000";
}

// Every key name holds a '_': one search for it finds them all.
unsigned lf_repeatedKeysIn(std::string_view line) noexcept
{
    unsigned keys = 0;
    for (std::size_t p = line.find('_'); p != std::string_view::npos; p = line.find('_', p + 1)) {
        // The letter after the '_' tells the three names apart before any of them is compared.
        const char next = p + 1 < line.size() ? lf_lower(line[p + 1]) : '\0';
        if (next == 'i' && p >= 3 && lf_keyAt(line, p - 3, "atc_id=")) keys |= kAtcIdKey;
        if (next == 'a' && p >= 4 && lf_keyAt(line, p - 4, "icao_airline")) keys |= kIcaoAirlineKey;
        if (next == 'p' && p >= 3 && lf_keyAt(line, p - 3, "atc_parking_types")) keys |= kAtcParkingTypesKey;
    }
    return keys != 0 && lf_isCommentLine(line) ? 0 : keys;
}

char lf_leadingChar(std::string_view line) noexcept
{
    const std::size_t i = lf_skipBlanks(line, 0);
    return i < line.size() ? lf_lower(line[i]) : '\0';
}

bool lf_hasAtcIdKey(std::string_view line) noexcept { return (lf_repeatedKeysIn(line) & kAtcIdKey) != 0; }

bool lf_hasIcaoAirlineKey(std::string_view line) noexcept { return (lf_repeatedKeysIn(line) & kIcaoAirlineKey) != 0; }

bool lf_hasAtcParkingTypesKey(std::string_view line) noexcept
{
    return (lf_repeatedKeysIn(line) & kAtcParkingTypesKey) != 0;
}

} // namespace zelk
