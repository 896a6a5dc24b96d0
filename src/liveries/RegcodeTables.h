#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "liveries/CodeTables.h"
#include "liveries/LiveryRecord.h"
#include "liveries/Regcodes.h"

namespace zelk {

// Views of installed livery titles; the texts belong to the livery index.
using TitleViewSet = std::unordered_set<std::string_view, Fnv1aHash, std::equal_to<>>;

// What the registration codes give livery matching. Every title view points
// into the livery index and is valid until the next processing of the scanned
// liveries, which resets the tables. Worker thread only, never while traffic is
// matched.
struct RegcodeTables {
    static constexpr std::size_t kRegistrationRoom = 36'000;
    static constexpr std::size_t kSpecialRoom = 4'096;

    // registration -> title; the table matching searches
    std::unordered_map<std::string, std::string_view, Fnv1aHash, std::equal_to<>> registrations;
    // title -> its in-line registration, for clash detection only
    std::unordered_map<std::string_view, std::string, Fnv1aHash, std::equal_to<>> titleRegistrations;
    // titles chosen only through their registrations, never at random
    TitleViewSet specialTitles;
    // the code of every special entry with exactly one code: a hit counts as step 0
    std::set<std::string, std::less<>> uniqueRegistrations;
    // the lines of OfflineRegcodes.txt
    std::vector<std::string> messages;

    // Empties every table and gives the hash tables their room.
    void reset();
};

// The program's tables.
RegcodeTables& gf_regcodeTables();

// The installed title equal to the text (a view into the index); empty when
// the title is not installed.
std::string_view lf_findInstalledTitle(const TitleViewSet& installed, std::string_view title);

// Merges records into the tables in order, a later code replacing an earlier
// one (noted in the message list); titles that are not installed are skipped.
// Ends with one summary line in the message list.
void lf_mergeRegcodes(const std::vector<RegcodeRecord>& records, const TitleViewSet& installed,
                      RegcodeTables& tables);

// The registrations the liveries carry themselves; the first livery keeps a
// registration, later ones are reported in output/errors/InlineRegcodes.txt.
void lf_collectInlineRegcodes(const std::vector<LiveryRecord>& records, const TitleViewSet& installed,
                              RegcodeTables& tables);

// The AIG regcode file and then the user's files of input/my_regcodes, merged
// in that order, with MissingCustomRepaints.txt and OfflineRegcodes.txt.
// Nothing throws: failures are logged and the tables keep what was merged.
void lf_processOfflineRegcodes(const TitleViewSet& installed, RegcodeTables& tables);

// "title; code, code" for every title with codes that is not installed, in
// title order, repeated titles merged.
std::vector<std::string> lf_listMissingRepaints(const std::vector<RegcodeRecord>& records,
                                                const TitleViewSet& installed);

// The report files of this processing (output/errors, output/info).
inline constexpr std::string_view kInlineRegcodesFileName = "InlineRegcodes.txt";
inline constexpr std::string_view kMissingRepaintsFileName = "MissingCustomRepaints.txt";
inline constexpr std::string_view kOfflineRegcodesFileName = "OfflineRegcodes.txt";

} // namespace zelk
