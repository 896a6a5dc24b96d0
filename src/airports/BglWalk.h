#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zelk {

// The structure of a BGL file: header, section table, the subsection tables
// and data blocks of the airport sections (type 3), and the records in those
// blocks. The walk is strict: the first structural fault ends it.

inline constexpr std::uint32_t kBglHeaderSize = 56;
inline constexpr std::uint32_t kBglSectionEntrySize = 20;
inline constexpr std::uint32_t kBglAirportSectionType = 3;

// Codes 0 and 1 mean "not a BGL file of the expected form"; 2 to 10 are
// faults of a file that claims to be one.
struct BglError {
    std::uint8_t code = 0;
    std::uint64_t offset = 0; // byte in the file
    std::string message;
};

// One record of an airport data block, in file order.
struct BglRecordRef {
    std::uint16_t id = 0;
    std::uint64_t offset = 0; // byte in the file
    std::uint64_t size = 0;   // bytes, header included
};

struct BglWalkResult {
    std::vector<BglRecordRef> records;
    std::optional<BglError> error; // set: records are not to be used
};

BglWalkResult lf_walkBglAirportSections(std::span<const unsigned char> file);

// Half-open byte ranges [start, end) already taken by one kind of block.
using BglClaimedRanges = std::set<std::pair<std::uint64_t, std::uint64_t>>;
enum class BglClaim : std::uint8_t { New, Same, Overlap };
// A size of 0 claims nothing and counts as new.
BglClaim lf_bglClaimBlock(BglClaimedRanges& ranges, std::uint64_t offset, std::uint64_t size);

} // namespace zelk
