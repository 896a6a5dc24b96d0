#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/LiveryRecord.h"
#include "liveries/LiveryScanLists.h"

namespace zelk {

// The lines of an aircraft.cfg as views into its UTF-8 text.
using Lines = std::vector<std::string_view>;
// A [fltsim.N] section: consecutive lines of a file, its header first.
using SectionLines = std::span<const std::string_view>;

// An aircraft.cfg read whole and turned into UTF-8 lines.
struct CfgText {
    std::string utf8;                // the text itself when the file is UTF-8
    std::vector<std::string> decoded; // the lines of any other encoding
    Lines lines;
};

// The records of one aircraft.cfg of an AI-traffic package (not IVAO MTL),
// one per acceptable [fltsim.N] section, with what is wrong added to the scan's
// lists. Empty when the file is missing, unreadable, badly numbered or has no
// model. A std::exception is logged and thrown on.
std::vector<LiveryRecord> lf_searchLiveriesinFile(LiveryScanLists& scan, std::uint32_t priority,
                                                  const std::filesystem::path& file);

// The file's lines as UTF-8, read once and decoded in the encoding its bytes
// show; false (with the log line given) when there is none, it cannot be read
// or it is larger than kMaxPackageTextFileBytes. `notice` makes that line a
// notice.
bool lf_readAircraftCfgLines(const std::filesystem::path& file, CfgText& text, bool notice);

// False when the file must be skipped for a bad section number (reported).
bool lf_checkFltSimNumbers(LiveryScanLists& scan, const Lines& lines, const std::filesystem::path& file);

// The file's model code (a database model, or a fixed one), from
// icao_type_designator or else base_container; empty when it yields none.
std::string lf_fixModel(LiveryScanLists& scan, const std::filesystem::path& file, const Lines& lines);
std::string lf_modelFromBaseContainer(LiveryScanLists& scan, const std::filesystem::path& file, const Lines& lines);
// A found code as the model: itself, its fix (reported) or nothing (reported).
std::string lf_checkModelCode(LiveryScanLists& scan, const std::string& code, const std::filesystem::path& file);

std::vector<LiveryRecord> lf_splitFltSimSections(LiveryScanLists& scan, std::uint32_t priority, const Lines& lines,
                                                 const std::string& model, const std::filesystem::path& file,
                                                 const std::filesystem::path& folder);

// Calls parse with every [fltsim.N] section: from its header up to the next
// header, or up to a line that opens another section (its first non-blank is
// '[', or for IVAO MTL files it holds '[' anywhere).
void lf_forEachFltSimSection(const Lines& lines, bool anyBracketCloses, const std::function<void(SectionLines)>& parse);

// At most one record.
std::vector<LiveryRecord> lf_procesFltSimSection(LiveryScanLists& scan, std::uint32_t priority, SectionLines section,
                                                 const std::string& model, const std::filesystem::path& file,
                                                 const std::filesystem::path& folder);

// Enters the title into the scanned titles; a title met before gives a record
// with empty texts and a zero key.
LiveryRecord lf_makeLiveryRecord(LiveryScanLists& scan, std::uint16_t priority, LiveryKey key,
                                 const std::string& title, const std::string& registration);

void lf_reportInvalidAirline(LiveryScanLists& scan, std::string_view code, const std::filesystem::path& file,
                             std::string_view header);
void lf_reportInvalidModel(LiveryScanLists& scan, std::string_view code, const std::filesystem::path& file);

// Without its trailing lines that are empty or begin with ';' or "//".
SectionLines lf_dropTrailingComments(SectionLines section);

// The registration of an atc_id value: cut at ';', split at ',', trimmed.
// Invalid (nothing) when no piece remains or a piece is longer than 12 or holds
// '*'; empty for several pieces.
struct AtcIdValue {
    bool valid = false;
    std::string cut;          // the value as cut at ';'
    std::string registration; // the one piece, or empty
};
AtcIdValue lf_splitAtcId(std::string_view value);

} // namespace zelk
