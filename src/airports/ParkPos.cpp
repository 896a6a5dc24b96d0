// Text forms of the stand records: stand type names and the half-hour runs of
// learned flight options as airport files write them.
#include <array>
#include <charconv>

#include <fmt/format.h>

#include "airports/ParkPos.h"
#include "core/Log.h"

namespace zelk {
namespace {

struct StandTypeRow {
    std::uint32_t code;
    std::string_view name;
};

constexpr std::array<StandTypeRow, kStandTypeCount> kStandTypeTable{{
    {0, "NONE"},
    {1, "RAMP_GA"},
    {2, "RAMP_GA_SMALL"},
    {3, "RAMP_GA_MEDIUM"},
    {4, "RAMP_GA_LARGE"},
    {5, "RAMP_CARGO"},
    {6, "RAMP_MIL_CARGO"},
    {7, "RAMP_MIL_COMBAT"},
    {8, "GATE_SMALL"},
    {9, "GATE_MEDIUM"},
    {10, "GATE_HEAVY"},
    {11, "DOCK_GA"},
    {12, "FUEL"},
    {13, "VEHICLE"},
    {14, "RAMP_GA_EXTRA"},
    {15, "GATE_EXTRA"},
}};

constexpr std::size_t kSlotsPerDay = 48;

// A whole slot number 0..47; anything else (signs, blanks, trailing text) is refused.
std::optional<std::size_t> lf_parseSlot(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    std::size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || value >= kSlotsPerDay) return std::nullopt;
    return value;
}

} // namespace

std::string_view gf_standTypeName(std::uint32_t code)
{
    for (const StandTypeRow& row : kStandTypeTable)
        if (row.code == code) return row.name;
    return {};
}

std::optional<StandType> gf_standTypeFromName(std::string_view name)
{
    for (const StandTypeRow& row : kStandTypeTable)
        if (row.name == name) return static_cast<StandType>(row.code);
    return std::nullopt;
}

HoursMask gf_hours2bitset(std::string_view text)
{
    HoursMask hours;
    if (text.empty()) return hours;
    const std::size_t colon = text.find(':');
    std::optional<std::size_t> first;
    std::optional<std::size_t> last;
    if (colon == std::string_view::npos) {
        first = lf_parseSlot(text);
        last = first;
    } else {
        first = lf_parseSlot(text.substr(0, colon));
        last = lf_parseSlot(text.substr(colon + 1));
    }
    // A reversed run would stand for a stay across midnight, which one option
    // of one weekday cannot hold.
    if (!first || !last || *first > *last) {
        gf_writeLogNotice(fmt::format("invalid half-hour slots '{}'", text));
        return hours;
    }
    for (std::size_t slot = *first; slot <= *last; ++slot) hours.set(slot);
    return hours;
}

std::optional<std::string> gf_bitset2hours(const HoursMask& hours)
{
    if (hours.none()) return std::nullopt;
    std::size_t first = 0;
    while (!hours.test(first)) ++first;
    std::size_t last = kSlotsPerDay - 1;
    while (!hours.test(last)) --last;
    if (first == last) return fmt::format("{}", first);
    return fmt::format("{}:{}", first, last);
}

std::string gf_standName(std::int32_t standId, const std::vector<ParkPos>& stands)
{
    if (standId == 0) return "sid==0?";
    if (standId > 0 && static_cast<std::size_t>(standId) <= stands.size()) {
        const ParkPos& stand = stands[static_cast<std::size_t>(standId) - 1];
        if (stand.id == static_cast<std::uint32_t>(standId)) return stand.name;
    }
    return "sid==?";
}

std::string gf_formatStandExclusions(const std::vector<std::int32_t>& excluded, std::uint32_t standId,
                                     const std::vector<ParkPos>& stands)
{
    if (excluded.empty()) return {};
    std::string names;
    for (std::size_t i = 0; i < excluded.size(); ++i) {
        if (i > 0) names += ',';
        names += gf_standName(excluded[i], stands);
    }
    return fmt::format("          {:8}: excludes {}", gf_standName(static_cast<std::int32_t>(standId), stands),
                       names);
}

} // namespace zelk
