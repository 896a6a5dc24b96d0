#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/LiveryRecord.h"
#include "liveries/LiveryScanLists.h"

namespace zelk {

// The lines of an aircraft.cfg as views into its UTF-8 text.
using Lines = std::vector<std::string_view>;
// Numbers of some of those lines, ascending.
using LineNumbers = std::vector<std::size_t>;
// A [fltsim.N] section: consecutive lines of a file, its header first.
using SectionLines = std::span<const std::string_view>;

// An aircraft.cfg read whole and turned into UTF-8 lines.
struct CfgText {
    std::string utf8;                // the text itself when the file is UTF-8
    std::vector<std::string> decoded; // the lines of any other encoding
    Lines lines;
    LineNumbers bracketLines; // the lines that hold a '[' (lf_bracketLines)
};

// A livery of one file waiting for the scan's thread, where its codes are
// numbered and its title is checked against the titles met so far, in the
// walk's order: files read in parallel give what a one-thread scan gives.
struct PendingLivery {
    std::string title;
    std::string registration;
    std::string header;  // the section's first line, for findings
    std::string airline; // a code still to number as the key's airline
    LiveryKey key;       // whole but for the numbers still to come
    bool numberModel = false;   // the key's model is the file's model, still to number
    bool modelLookedUp = false; // the section numbered the file's model before its key (heavy-model check)
    bool wanted = true;         // false: nothing but that model lookup is left of the section
    std::size_t findingsBefore = 0; // the file's incomplete-section findings made before it
    std::size_t logBefore = 0;      // the file's log lines written before it
    std::size_t titleHash = 0;      // ScannedTitles::hashOf(title), once the reading is done
};

// One aircraft.cfg as far as it can be read without the scan's own state:
// made on any thread, joined to the scan on its thread.
struct AircraftCfgRead {
    std::filesystem::path file;
    std::uint32_t priority = 0;
    bool ivao = false; // IVAO MTL (lf_searchLiveriesinIVAOFile's file)
    std::string folder; // the file's folder as UTF-8
    std::string model;  // the file's model code
    std::optional<std::uint16_t> modelNumber; // its number, when it already has one
    std::shared_ptr<const DbaseData> dbase;   // the database as the reading found it
    std::vector<std::pair<std::string, std::uint16_t>> airlineNumbers; // numbers of the file's airline codes
    LiveryScanLists found; // the file's findings
    std::vector<HeldLogLine> log;
    std::vector<PendingLivery> pending;
    std::exception_ptr failure; // what ended the reading, thrown on when the file joins
};

// Reads the file of `read` (file, priority and kind set) up to its pending
// liveries; touches nothing shared but the database and the don't-use titles,
// which it only reads. Never throws: a failure is kept in `read`.
void lf_readAircraftCfg(AircraftCfgRead& read, const std::set<std::string>& dontUseTitles);

// Joins a read file to the scan on its thread: the log lines and findings in
// their order, the codes numbered and the titles checked; the file's records
// are appended to `records`. A failure of the reading is thrown on here, after
// what came before it, and adds no record.
void lf_joinAircraftCfg(LiveryScanLists& scan, AircraftCfgRead& read, std::vector<LiveryRecord>& records);

// The section readers for a caller that holds the scan's lists: `read` (file,
// priority, folder and model set) is read by readSections and joined at once.
AircraftCfgRead lf_sectionsRead(std::uint32_t priority, std::string model, const std::filesystem::path& file,
                                std::string folder);
std::vector<LiveryRecord> lf_readAndJoinSections(LiveryScanLists& scan, AircraftCfgRead& read,
                                                 const std::function<void()>& readSections);

// The records of one aircraft.cfg of an AI-traffic package (not IVAO MTL),
// one per acceptable [fltsim.N] section, with what is wrong added to the scan's
// lists. Empty when the file is missing, unreadable, badly numbered or has no
// model. A std::exception is logged and thrown on.
std::vector<LiveryRecord> lf_searchLiveriesinFile(LiveryScanLists& scan, std::uint32_t priority,
                                                  const std::filesystem::path& file);

// The file's lines as UTF-8, read once and decoded in the encoding its bytes
// show; false (with the log line given, through the lists) when there is none,
// it cannot be read or it is larger than kMaxPackageTextFileBytes. `notice`
// makes that line a notice.
bool lf_readAircraftCfgLines(LiveryScanLists& scan, const std::filesystem::path& file, CfgText& text, bool notice);
bool lf_readAircraftCfgLines(const std::filesystem::path& file, CfgText& text, bool notice);

// False when the file must be skipped for a bad section number (reported).
bool lf_checkFltSimNumbers(LiveryScanLists& scan, const Lines& lines, const std::filesystem::path& file);
// The same with the lines that hold a '[' known: no other line can be a header.
bool lf_checkFltSimNumbers(LiveryScanLists& scan, const Lines& lines, const LineNumbers& bracketLines,
                           const std::filesystem::path& file);

// The lines that hold a '[' (the only ones that can open a section).
LineNumbers lf_bracketLines(const Lines& lines);

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
void lf_forEachFltSimSection(const Lines& lines, const LineNumbers& bracketLines, bool anyBracketCloses,
                             const std::function<void(SectionLines)>& parse);

// The pending livery's key from its codes: the numbers the codes already have
// are taken now, the others are left to the join (in the walk's order).
void lf_setCodeKey(PendingLivery& pending, AircraftCfgRead& read, std::string airline, std::uint8_t cargo);

struct FltSimSectionWalk;
// Files the section's pending livery, whose key is set, with the section's
// title, registration and header, and where its findings and log lines begin.
void lf_fileSectionLivery(FltSimSectionWalk& s, AircraftCfgRead& read, PendingLivery pending);

// The [fltsim.N] sections of the lines as pending liveries of `read`, whose
// model and folder are set (an AI-traffic package's file, not IVAO MTL).
void lf_readFltSimSections(AircraftCfgRead& read, const Lines& lines, const LineNumbers& bracketLines);

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
