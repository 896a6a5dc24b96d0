#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "liveries/AircraftDatabase.h" // AcCategory
#include "liveries/RegcodeTables.h"

namespace zelk {

// FNV-1a over the two bytes of a 16-bit airline or model index.
struct Fnv1aU16Hash {
    std::size_t operator()(std::uint16_t key) const noexcept
    {
        std::uint32_t h = 2166136261u;
        h = (h ^ (key & 0xFFu)) * 16777619u;
        h = (h ^ (key >> 8)) * 16777619u;
        return h;
    }
};

template <typename T>
using U16Map = std::unordered_map<std::uint16_t, T, Fnv1aU16Hash>;

// One installed livery in the index; the index owns its title text.
struct LiveryIndexEntry {
    std::string title;
    std::uint8_t cargo = 0;
};

using TitleList = std::vector<std::string_view>; // views into the airline table
using ModelTitles = U16Map<TitleList>;            // model index -> titles

inline constexpr std::size_t kPassengerKind = 0;
inline constexpr std::size_t kCargoKind = 1;

// The installed liveries as livery matching searches them, rebuilt from the
// scanned-liveries file by every gf_processScannedLiveries. Every title view
// points into `airlines` and is valid until the next processing: callers that
// keep a view (aircraft records, remembered liveries) must be cleared before
// it. Worker thread only, never while traffic is matched.
struct LiveryIndex {
    // airline, operator or combined airline+operator index -> model -> liveries
    U16Map<U16Map<std::vector<LiveryIndexEntry>>> airlines;
    TitleViewSet installedTitles;
    // [kind]: airline-table key -> model -> titles of that kind
    std::array<U16Map<ModelTitles>, 2> airlineTitles;
    // [kind]: model -> titles of that kind under every key
    std::array<ModelTitles, 2> modelTitles;
    // [category]: the models with installed liveries, each once
    std::array<std::vector<std::uint16_t>, kAcCategoryCount> categoryModels;
    // model -> similar models with installed liveries (or the one closest)
    U16Map<std::vector<std::uint16_t>> similarModels;
    // airline or operator -> model it has no livery of -> similar models it has
    U16Map<U16Map<std::vector<std::uint16_t>>> airlineSimilarModels;

    // Empties every table and gives it its room.
    void reset();
};

// The program's index.
LiveryIndex& gf_liveryIndex();

// Reads the scanned-liveries file of the selected simulator and builds the
// index, the registration tables and the similar-model tables; logs counts per
// category, switches off (and saves) the category options without liveries and
// publishes the settings snapshot. Throws std::runtime_error "{} could not be
// read completely" when the file cannot be read (the reader's own text is
// logged as a notice first); the previous index is then gone.
void gf_processScannedLiveries();

// The steps, over given records and tables.
void lf_buildLiveryIndex(const std::vector<LiveryRecord>& records, LiveryIndex& index);
void lf_buildKindIndexes(LiveryIndex& index);
void lf_createModelSorted(LiveryIndex& index);
void lf_summarizeCategories(AcCategory category, LiveryIndex& index);
void lf_findGenericLiveries(const LiveryIndex& index);

// The airline table has liveries of the model under the key.
bool lf_hasAirlineModelLivery(const LiveryIndex& index, std::uint16_t airline, std::uint16_t model);
// Every key of the airline table.
std::set<std::uint16_t> lf_liveryAirlineSet(const LiveryIndex& index);

// Logs the codes of the models 20 to a line ("  A320,B738,...").
void lf_logModelCodeLines(const std::vector<std::uint16_t>& models);

} // namespace zelk
