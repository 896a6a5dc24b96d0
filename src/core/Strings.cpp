#include "core/Strings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <type_traits>

#include <fmt/format.h>

namespace zelk {
namespace {

constexpr std::string_view kBlanks = " \t\n\r";

void lf_appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool lf_isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool lf_isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

[[noreturn]] void lf_invalidUtf8() { throw std::runtime_error("utf8_to_wide: invalid UTF-8"); }

std::string lf_lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view lf_trimView(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

} // namespace

std::string wide_to_utf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (lf_isHighSurrogate(u)) {
            if (i + 1 >= text.size() || !lf_isLowSurrogate(text[i + 1]))
                throw std::runtime_error("wide_to_utf8: invalid UTF-16");
            const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            lf_appendUtf8(out, cp);
            ++i;
        } else if (lf_isLowSurrogate(u)) {
            throw std::runtime_error("wide_to_utf8: invalid UTF-16");
        } else {
            lf_appendUtf8(out, u);
        }
    }
    return out;
}

Utf8Lead gf_utf8Lead(unsigned char b)
{
    Utf8Lead lead;
    if (b >= 0xC2 && b <= 0xDF) {
        lead.length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        lead.length = 3;
        if (b == 0xE0) lead.low = 0xA0;       // overlong
        else if (b == 0xED) lead.high = 0x9F; // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        lead.length = 4;
        if (b == 0xF0) lead.low = 0x90;       // overlong
        else if (b == 0xF4) lead.high = 0x8F; // above U+10FFFF
    }
    return lead;
}

std::u16string utf8_to_wide(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const auto byteAt = [&](std::size_t k) -> unsigned char {
        if (k >= text.size()) lf_invalidUtf8();
        return static_cast<unsigned char>(text[k]);
    };
    while (i < text.size()) {
        const unsigned char b = byteAt(i);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        const Utf8Lead lead = gf_utf8Lead(b);
        const std::size_t len = lead.length;
        if (len == 0) lf_invalidUtf8();
        char32_t cp = static_cast<char32_t>(b & (0x7F >> len));
        for (std::size_t k = 1; k < len; ++k) {
            const unsigned char c = byteAt(i + k);
            const unsigned char min = k == 1 ? lead.low : 0x80;
            const unsigned char max = k == 1 ? lead.high : 0xBF;
            if (c < min || c > max) lf_invalidUtf8();
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

namespace {

// The bytes of the well-formed sequence at text[at]; 0 when none starts
// there, with the bytes of its ill-formed start (at least one) in bad.
std::size_t lf_utf8SequenceAt(std::string_view text, std::size_t at, std::size_t& bad) noexcept
{
    const auto b = static_cast<unsigned char>(text[at]);
    bad = 1;
    if (b < 0x80) return 1;
    const Utf8Lead lead = gf_utf8Lead(b);
    if (lead.length == 0) return 0;
    for (std::size_t k = 1; k < lead.length; ++k) {
        if (at + k >= text.size()) return 0;
        const auto c = static_cast<unsigned char>(text[at + k]);
        if (c < (k == 1 ? lead.low : 0x80) || c > (k == 1 ? lead.high : 0xBF)) return 0;
        bad = k + 1;
    }
    return lead.length;
}

} // namespace

bool gf_isValidUtf8(std::string_view text) noexcept
{
    std::size_t bad = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = lf_utf8SequenceAt(text, i, bad);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string gf_replaceInvalidUtf8(std::string_view text)
{
    if (gf_isValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t bad = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = lf_utf8SequenceAt(text, i, bad);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            i += bad;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

namespace {

// The hidden characters above the C1 controls, as closed ranges.
struct CharacterRange {
    char32_t first, last;
};
constexpr CharacterRange kHiddenCharacters[] = {
    {0x00AD, 0x00AD},   // soft hyphen
    {0x061C, 0x061C},   // Arabic letter mark
    {0x180E, 0x180E},   // Mongolian vowel separator
    {0x200B, 0x200F},   // zero-width space, non-joiner and joiner; left-to-right and right-to-left marks
    {0x2028, 0x202E},   // line and paragraph separators; bidirectional embeddings and overrides
    {0x2060, 0x2064},   // word joiner, invisible operators
    {0x2066, 0x206F},   // bidirectional isolates; the deprecated shaping controls
    {0xFEFF, 0xFEFF},   // byte order mark, zero-width no-break space
    {0xFFF9, 0xFFFB},   // interlinear annotation marks
    {0xE0000, 0xE007F}, // tags
};

// The code point of the well-formed sequence of length bytes at text's start.
char32_t lf_decodeUtf8(std::string_view text, std::size_t length) noexcept
{
    const auto lead = static_cast<unsigned char>(text[0]);
    if (length == 1) return lead;
    char32_t c = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
    return c;
}

} // namespace

bool gf_isHiddenCharacter(char32_t c) noexcept
{
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    if (c < kHiddenCharacters[0].first) return false; // most text: no look through the table
    return std::any_of(std::begin(kHiddenCharacters), std::end(kHiddenCharacters),
                       [c](const CharacterRange& r) { return c >= r.first && c <= r.last; });
}

std::size_t gf_hiddenCharacterLength(std::string_view text) noexcept
{
    if (text.empty()) return 0;
    std::size_t bad = 0;
    const std::size_t length = lf_utf8SequenceAt(text, 0, bad);
    return length > 0 && gf_isHiddenCharacter(lf_decodeUtf8(text, length)) ? length : 0;
}

std::string gf_quoteLogText(std::string_view text, char quote)
{
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string out(1, quote);
    out.reserve(text.size() + 2);
    const auto escape = [&out](std::string_view bytes) {
        for (const char byte : bytes) {
            const auto b = static_cast<unsigned char>(byte);
            out += "\\x";
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0x0F];
        }
    };
    std::size_t bad = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = lf_utf8SequenceAt(text, i, bad);
        const std::string_view sequence = text.substr(i, std::max<std::size_t>(length, 1));
        if (length == 0 || sequence.front() == quote || gf_isHiddenCharacter(lf_decodeUtf8(sequence, length)))
            escape(sequence);
        else
            out.append(sequence);
        i += sequence.size();
    }
    out += quote;
    return out;
}

std::string gf_quoteSettingText(std::string_view text) { return gf_quoteLogText(text, '"'); }

namespace {

// A template so that only the branch of this system's path type is compiled.
template <typename Native>
std::string lf_nativeToUtf8(const std::basic_string<Native>& native)
{
    if constexpr (std::is_same_v<Native, char>) {
        return native;
    } else {
        std::u16string units;
        units.reserve(native.size());
        for (const auto c : native) units.push_back(static_cast<char16_t>(c));
        return wide_to_utf8(units);
    }
}

} // namespace

std::string path_to_utf8(const std::filesystem::path& p) { return lf_nativeToUtf8(p.native()); }

std::filesystem::path gf_utf8ToPath(std::string_view utf8)
{
    using Native = std::filesystem::path::value_type;
    if constexpr (std::is_same_v<Native, char>) {
        return std::filesystem::path(std::string(utf8));
    } else {
        const std::u16string units = utf8_to_wide(utf8);
        std::basic_string<Native> native;
        native.reserve(units.size());
        for (const char16_t u : units) native.push_back(static_cast<Native>(u));
        return std::filesystem::path(native);
    }
}

std::string gf_pluralSuffix(std::uint64_t count) { return count == 1 ? "" : "s"; }

std::string gf_trim(std::string_view text) { return std::string(lf_trimView(text)); }

std::string_view gf_trimView(std::string_view text) noexcept { return lf_trimView(text); }

std::vector<std::string> gf_split(std::string_view text, char separator)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        const auto piece = lf_trimView(text.substr(start, end - start));
        if (!piece.empty()) pieces.emplace_back(piece);
        start = end + 1;
    }
    return pieces;
}

std::vector<std::string> gf_splitComma(std::string_view text) { return gf_split(text, ','); }

std::list<std::string> gf_splitCommaToSortedList(std::string_view text)
{
    // Pieces as a stream reader would take them: an empty text has none and a
    // trailing comma adds none, but an empty piece between two commas stays.
    std::list<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find(',', start);
        if (end == std::string_view::npos) end = text.size();
        pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    pieces.sort();
    pieces.unique();
    return pieces;
}

void gf_normalizeCommaList(std::string& text)
{
    if (text.find_first_of(kBlanks) == std::string::npos) return;
    const auto pieces = gf_splitComma(text);
    std::string joined;
    for (const auto& p : pieces) {
        if (!joined.empty()) joined.push_back(',');
        joined += p;
    }
    text = std::move(joined);
}

std::string gf_unquote(std::string_view text)
{
    const auto first = text.find('"');
    if (first == std::string_view::npos) return std::string(text);
    const auto second = text.find('"', first + 1);
    if (second == std::string_view::npos) return {};
    return std::string(text.substr(first + 1, second - first - 1));
}

std::string gf_removeDots(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '.') out.push_back(c);
    }
    return out;
}

int gf_toUpperChar(char c)
{
    // Through unsigned char: toupper of a negative char is undefined.
    return std::toupper(static_cast<unsigned char>(c));
}

std::string gf_bannerLine(std::int64_t a, std::int64_t b, bool leadingNewline, bool trailingNewline,
                          const std::string& title)
{
    std::string out = leadingNewline ? "\n" : "";
    std::int64_t w = a + b;
    if (w % 2 != 0) ++w;
    if (title.empty()) {
        out.append(static_cast<std::size_t>(std::max<std::int64_t>(w, 0)), '*');
    } else if (w <= static_cast<std::int64_t>(title.size()) + 2) {
        out = title;
    } else {
        const auto k = static_cast<std::size_t>(w / 2 - 1);
        out.append(k, '*');
        out += ' ';
        out += title;
        out += ' ';
        out.append(k, '*');
    }
    if (trailingNewline) out += '\n';
    return out;
}

bool gf_appendXmlBoolAttribute(pugi::xml_node node, const char* name, bool value)
{
    auto attr = node.append_attribute(name);
    if (!attr) return false;
    return attr.set_value(value);
}

bool gf_appendXmlStringAttribute(pugi::xml_node node, const char* name, const std::string& value)
{
    auto attr = node.append_attribute(name);
    if (!attr) return false;
    return attr.set_value(value.c_str());
}

std::optional<std::string> gf_xmlAttributeString(pugi::xml_node node, const char* name)
{
    const auto attr = node.attribute(name);
    if (!attr) return std::nullopt;
    return std::string(attr.value());
}

std::string gf_xmlAttributeStringOr(pugi::xml_node node, const char* name, std::string_view fallback)
{
    if (auto text = gf_xmlAttributeString(node, name)) return std::move(*text);
    return std::string(fallback);
}

std::optional<double> gf_xmlAttributeDouble(pugi::xml_node node, const char* name)
{
    const auto attr = node.attribute(name);
    if (!attr) return std::nullopt;
    std::string_view text = lf_trimView(attr.value());
    if (text.empty()) return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

double gf_xmlAttributeDoubleOrZero(pugi::xml_node node, const char* name)
{
    return gf_xmlAttributeDouble(node, name).value_or(0.0);
}

std::optional<bool> gf_xmlAttributeBool(pugi::xml_node node, const char* name)
{
    const auto attr = node.attribute(name);
    if (!attr) return std::nullopt;
    const auto text = lf_trimView(attr.value());
    if (text.empty()) return std::nullopt;
    const std::string lower = lf_lowerAscii(text);
    if (lower == "true" || lower == "yes" || lower == "on" || lower == "1") return true;
    if (lower == "false" || lower == "no" || lower == "off" || lower == "0") return false;
    return std::nullopt;
}

} // namespace zelk
