#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelk {

// Line matchers for the keys of an aircraft.cfg. A key line is
//   <blanks> key <blanks> = <blanks> value <blanks>
// with the key in any letter case; blanks are space, tab, CR, LF, VT and FF,
// and the value must hold no CR or LF and end in a non-blank. Hand-written so
// that a line of any length costs one pass and no recursion.

// The raw value (not unquoted) of a line of exactly that form; empty when the
// line has another form.
std::optional<std::string_view> lf_matchKeyLine(std::string_view line, std::string_view key) noexcept;

// The key line of a [fltsim.N] section's walk, found in one pass over the
// line: its key is told by the name's length and one comparison, and its value
// (unquoted as the parsers below unquote it, possibly empty) is a view into
// the line. `none` when the line is no key line of these keys.
enum class SectionKey : unsigned char { none, title, texture, icaoAirline, atcParkingTypes, atcId };
struct SectionKeyLine {
    SectionKey key = SectionKey::none;
    std::string_view value;
};
SectionKeyLine lf_sectionKeyLine(std::string_view line) noexcept;

// An icao_airline value as lf_parseIcaoAirline gives it.
std::string lf_icaoAirlineOf(std::string_view value);
// The shortest atc_id value lf_parseAtcId takes.
inline constexpr std::size_t kMinAtcIdLength = 5;

// The value between quotes, non-empty: true and out set.
bool lf_parseTitle(std::string_view line, std::string& out);
// lf_parseTitle's value as a view into the line; empty when it refuses the line.
std::string_view lf_titleValue(std::string_view line);
bool lf_parseTexture(std::string_view line, std::string& out);
bool lf_parseAtcParkingTypes(std::string_view line, std::string& out);
// Only a value of at least 5 characters; a shorter one leaves out alone.
bool lf_parseAtcId(std::string_view line, std::string& out);
// True whenever the line is an icao_airline line; out is "ZZZ" for an empty
// value or "ZZZZ", else the value in upper case.
bool lf_parseIcaoAirline(std::string_view line, std::string& out);
// The value cut to 4 characters, in upper case; empty when the line is no
// icao_type_designator line.
std::string lf_parseIcaoTypeDesignator(std::string_view line);
// The stock aircraft's type designator of a base_container line (the value
// without its first 3 characters, "..\"), in upper case; empty when the line
// is none or the container is not a stock aircraft.
std::string lf_parseBaseContainer(std::string_view line);

// The number text of a [fltsim.N] header line; "10000" for a line that holds
// "[fltsim." in any other form; empty for a comment or any other line.
std::string lf_fltSimSectionNumber(std::string_view line);
// Whether lf_fltSimSectionNumber gives a number for the line, without making
// one: most lines hold no '[' at all and are refused after one search for it.
bool lf_isFltSimHeader(std::string_view line) noexcept;

// A repeated key: the line names the key anywhere, in any letter case, and is
// not commented out (its first non-blank characters are not ';' or "//").
bool lf_hasAtcIdKey(std::string_view line) noexcept;          // "atc_id="
bool lf_hasIcaoAirlineKey(std::string_view line) noexcept;    // "icao_airline"
bool lf_hasAtcParkingTypesKey(std::string_view line) noexcept; // "atc_parking_types"

// The repeated-key tests of a line at once, as a mask of these bits.
enum RepeatedKey : unsigned { kAtcIdKey = 1, kIcaoAirlineKey = 2, kAtcParkingTypesKey = 4 };
unsigned lf_repeatedKeysIn(std::string_view line) noexcept;

// The first non-blank character of a line in lower case; 0 for a blank line.
char lf_leadingChar(std::string_view line) noexcept;

// Whether the line begins with ';' or "//" after blanks and tabs.
bool lf_isCommentLine(std::string_view line) noexcept;

// ASCII letters compared without regard to case.
bool lf_equalsNoCase(std::string_view a, std::string_view b) noexcept;
bool lf_startsWithNoCase(std::string_view text, std::string_view head) noexcept;
bool lf_containsNoCase(std::string_view text, std::string_view part) noexcept;

} // namespace zelk
