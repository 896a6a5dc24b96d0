#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace zelk {

// ---- UTF-8 / UTF-16 -------------------------------------------------------
// Text inside the program is UTF-8; UTF-16 (std::u16string, never wchar_t,
// whose width differs between systems) is only for talking to the system.

// Throws std::runtime_error "wide_to_utf8: invalid UTF-16" for a lone
// surrogate anywhere in the text.
std::string wide_to_utf8(std::u16string_view text);

// Throws std::runtime_error "utf8_to_wide: invalid UTF-8" for malformed,
// overlong, truncated or surrogate-encoding sequences and code points above
// U+10FFFF.
std::u16string utf8_to_wide(std::string_view text);

// What a UTF-8 lead byte asks of its sequence: the length (0 when the byte
// starts no sequence) and the range of the first continuation byte, which
// shuts out overlong forms, surrogates and code points above U+10FFFF.
struct Utf8Lead {
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};
Utf8Lead gf_utf8Lead(unsigned char b);

// Whether text is well-formed UTF-8 (the rules of utf8_to_wide).
bool gf_isValidUtf8(std::string_view text) noexcept;
// The text with each ill-formed part (a byte that starts no sequence, or the
// start of a sequence cut short) replaced by U+FFFD; valid text as it is.
std::string gf_replaceInvalidUtf8(std::string_view text);
// Whether a character shows nothing of its own where a tail number, the
// window or a log line shows it, or shows the text around it reordered or
// broken: the C0 controls, DEL and the C1 controls (U+009B opens a terminal's
// escape), the format characters (the bidirectional marks, embeddings,
// overrides and isolates, the zero-width characters and joiners, the byte
// order mark, the soft hyphen, the interlinear annotation marks, the tags) and
// the line and paragraph separators.
bool gf_isHiddenCharacter(char32_t c) noexcept;
// The bytes of the well-formed UTF-8 sequence text starts with when it
// encodes a hidden character, 0 otherwise (also for an ill-formed start).
std::size_t gf_hiddenCharacterLength(std::string_view text) noexcept;

// A text for a log line between the given quotes: each byte that is no part
// of well-formed UTF-8, each byte of a hidden character and the quote itself
// written as "\xNN", so that a value in the wrong encoding is seen byte for
// byte and nothing in it reorders or breaks the line. A backslash stays as it
// is: Windows paths read as the user typed them.
std::string gf_quoteLogText(std::string_view text, char quote);
// A setting's text for a log line: gf_quoteLogText in double quotes.
std::string gf_quoteSettingText(std::string_view text);

// The path as UTF-8, for messages and files. On systems whose paths are
// UTF-16 an unpaired surrogate throws as wide_to_utf8 does; on systems whose
// paths are byte strings the bytes are returned as they are.
std::string path_to_utf8(const std::filesystem::path& p);

// The path named by a UTF-8 text (a path read from one of our XML files).
// Never goes through the system's ANSI code page.
std::filesystem::path gf_utf8ToPath(std::string_view utf8);

// ---- String tools ---------------------------------------------------------

// "s" unless count is 1: fmt::format("{} airport{}", n, gf_pluralSuffix(n)).
std::string gf_pluralSuffix(std::uint64_t count);

// Without leading and trailing blanks of " \t\n\r".
std::string gf_trim(std::string_view text);
// The same as a view into the text.
std::string_view gf_trimView(std::string_view text) noexcept;

// The pieces between separators, each trimmed; pieces blank after trimming
// are dropped.
std::vector<std::string> gf_split(std::string_view text, char separator);
std::vector<std::string> gf_splitComma(std::string_view text);

// The ','-separated pieces exactly as they stand (untrimmed, empty pieces
// kept), sorted ascending without duplicates.
std::list<std::string> gf_splitCommaToSortedList(std::string_view text);

// A comma list that holds any blank becomes its trimmed, non-empty pieces
// joined by ","; a list without blanks is left exactly as it is.
void gf_normalizeCommaList(std::string& text);

// A text without '"' as it is; otherwise the text between the first two '"'
// (empty when there is no second one or nothing between them).
std::string gf_unquote(std::string_view text);

std::string gf_removeDots(std::string_view text);

// Per-character upper-casing for std::transform over whole strings; safe for
// bytes of 0x80 and above (UTF-8 parts stay as they are).
int gf_toUpperChar(char c);

// A log banner: a row of '*' of width a + b (rounded up to even) with the
// title centred in it, or the bare title when it does not fit.
std::string gf_bannerLine(std::int64_t a, std::int64_t b, bool leadingNewline, bool trailingNewline,
                          const std::string& title);

// ---- XML attributes --------------------------------------------------------

// Both return false when pugixml refuses (node empty or not an element).
bool gf_appendXmlBoolAttribute(pugi::xml_node node, const char* name, bool value);
bool gf_appendXmlStringAttribute(pugi::xml_node node, const char* name, const std::string& value);

// The attribute's text; empty only when the node has no such attribute (an
// attribute written empty gives an empty text).
std::optional<std::string> gf_xmlAttributeString(pugi::xml_node node, const char* name);
// The attribute's text, or the fallback when the node has no such attribute.
std::string gf_xmlAttributeStringOr(pugi::xml_node node, const char* name, std::string_view fallback);

// A finite number, optionally signed with one '+', between optional blanks;
// anything else (missing, blank, trailing characters, inf, nan) is empty.
std::optional<double> gf_xmlAttributeDouble(pugi::xml_node node, const char* name);
double gf_xmlAttributeDoubleOrZero(pugi::xml_node node, const char* name);

// "true"/"yes"/"on"/"1" and "false"/"no"/"off"/"0" in any letter case,
// between optional blanks; anything else is empty.
std::optional<bool> gf_xmlAttributeBool(pugi::xml_node node, const char* name);

} // namespace zelk
