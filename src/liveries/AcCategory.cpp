#include "liveries/AcCategory.h"

#include <array>
#include <stdexcept>
#include <unordered_map>

namespace zelk {
namespace {

struct NameRow {
    std::int64_t value;
    std::string_view text;
};

constexpr std::array<NameRow, 7> kCategoryRows{{{0, "Light"},
                                                {1, "TwoProps"},
                                                {2, "Bizjet"},
                                                {3, "Large"},
                                                {4, "Heavy"},
                                                {5, "HighPerf"},
                                                {6, "Rotorcraft"}}};

constexpr std::array<NameRow, 11> kPhaseRows{{{0, "pushing_back"},
                                             {1, "pushed_back"},
                                             {2, "taxi"},
                                             {3, "takeoff_roll"},
                                             {4, "takeoff"},
                                             {5, "flying"},
                                             {6, "landing"},
                                             {7, "landing_roll"},
                                             {8, "parking"},
                                             {9, "parked"},
                                             {10, "birth"}}};

constexpr std::array<NameRow, 5> kSimStateRows{
    {{0, "buffer"}, {1, "adding2sim"}, {2, "active"}, {3, "liveryrespawn"}, {4, "removingfromsim"}}};

using NameMap = std::unordered_map<std::int64_t, std::string_view>;

template <std::size_t N>
NameMap lf_buildNameMap(const std::array<NameRow, N>& rows)
{
    NameMap map;
    for (const auto& row : rows) map.emplace(row.value, row.text);
    return map;
}

std::string_view lf_lookupName(const NameMap& map, std::int64_t value)
{
    const auto it = map.find(value);
    if (it == map.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
    return it->second;
}

} // namespace

std::string_view gf_categoryName(AcCategory category)
{
    static const NameMap map = lf_buildNameMap(kCategoryRows);
    return lf_lookupName(map, static_cast<std::int64_t>(category));
}

std::string_view gf_phaseName(FlightPhase phase)
{
    static const NameMap map = lf_buildNameMap(kPhaseRows);
    return lf_lookupName(map, static_cast<std::int64_t>(phase));
}

std::string_view gf_simStateName(SimState state)
{
    static const NameMap map = lf_buildNameMap(kSimStateRows);
    return lf_lookupName(map, static_cast<std::int64_t>(state));
}

} // namespace zelk
