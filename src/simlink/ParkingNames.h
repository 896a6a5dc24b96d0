#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

// Stand names from the parking codes of the simulator's scenery format, which
// its facility data use as well, so that a stand read from a BGL file and the
// same stand read from facility data carry one name, and what was learned at
// it survives a change of source.

// The prefix of a taxi-parking name code: "PARKING ", "GATE ", ... for 0-11,
// "GATE A" to "GATE Z" for 12-37, empty otherwise.
std::string gf_parkingNamePrefix(std::uint32_t nameCode);
// A parking suffix code as its letter: the name table's letters, 12 ("A") to
// 37 ("Z"); no letter for any other code.
std::string gf_parkingSuffixText(std::int32_t suffixCode);
// A taxi-parking entry of facility data as the BGL reader names it, with the
// suffix letter the BGL reader has no field for: "GATE A12", "GATE A12B",
// "PARKING 7".
std::string gf_facilityStandName(std::int32_t nameCode, std::uint32_t number, std::int32_t suffixCode);

// The codes a simulator would send for a stand name of that form, for the
// stand-ins that play facility data from scripts; empty for a name no codes
// give ("GATE A 12").
struct FacilityStandCodes {
    std::int32_t nameCode = 0;
    std::uint32_t number = 0;
    std::int32_t suffixCode = 0;
};
std::optional<FacilityStandCodes> gf_facilityStandCodes(std::string_view name);

} // namespace zelk
