#include "simlink/ParkingNames.h"

#include <array>
#include <charconv>
#include <string_view>

#include <fmt/format.h>

namespace zelk {
namespace {

constexpr std::uint32_t kFirstLetterCode = 12;
constexpr std::uint32_t kLastLetterCode = 37;

} // namespace

std::string gf_parkingNamePrefix(std::uint32_t nameCode)
{
    static constexpr std::array<std::string_view, 12> kPrefixes{
        "",           "PARKING ",    "N_PARKING ", "NE_PARKING ", "E_PARKING ", "SE_PARKING ",
        "S_PARKING ", "SW_PARKING ", "W_PARKING ", "NW_PARKING ", "GATE ",      "DOCK "};
    if (nameCode < kPrefixes.size())
        return std::string(kPrefixes[nameCode]);
    if (nameCode <= kLastLetterCode)
        return fmt::format("GATE {}", static_cast<char>('A' + (nameCode - kFirstLetterCode)));
    return {};
}

std::string gf_parkingSuffixText(std::int32_t suffixCode)
{
    if (suffixCode < static_cast<std::int32_t>(kFirstLetterCode) || suffixCode > static_cast<std::int32_t>(kLastLetterCode))
        return {};
    return std::string(1, static_cast<char>('A' + (suffixCode - static_cast<std::int32_t>(kFirstLetterCode))));
}

std::string gf_facilityStandName(std::int32_t nameCode, std::uint32_t number, std::int32_t suffixCode)
{
    const std::string prefix = nameCode < 0 ? std::string() : gf_parkingNamePrefix(static_cast<std::uint32_t>(nameCode));
    return fmt::format("{}{}{}", prefix, number, gf_parkingSuffixText(suffixCode));
}

std::optional<FacilityStandCodes> gf_facilityStandCodes(std::string_view name)
{
    // Number and suffix letter from the end, then the prefix that is left.
    std::size_t end = name.size();
    std::int32_t suffix = 0;
    if (end > 0 && name[end - 1] >= 'A' && name[end - 1] <= 'Z') {
        suffix = static_cast<std::int32_t>(kFirstLetterCode) + (name[end - 1] - 'A');
        --end;
    }
    std::size_t start = end;
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9')
        --start;
    FacilityStandCodes codes;
    codes.suffixCode = suffix;
    const auto [ptr, ec] = std::from_chars(name.data() + start, name.data() + end, codes.number);
    if (start == end || ec != std::errc() || ptr != name.data() + end)
        return std::nullopt;
    const std::string_view prefix = name.substr(0, start);
    for (std::uint32_t code = 0; code <= kLastLetterCode; ++code) {
        if (gf_parkingNamePrefix(code) != prefix)
            continue;
        codes.nameCode = static_cast<std::int32_t>(code);
        if (gf_facilityStandName(codes.nameCode, codes.number, codes.suffixCode) == name)
            return codes;
    }
    return std::nullopt;
}

} // namespace zelk
