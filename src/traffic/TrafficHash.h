#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace zelk {

// FNV-1a (64-bit) over the key's bytes; an integer key is hashed over its four
// bytes, low byte first. The traffic containers use it so that their order of
// iteration, which shows in log reports, is the same on every platform.
// Transparent for text lookups by view.
struct TrafficKeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept;
    std::size_t operator()(std::uint32_t value) const noexcept;
};

// Every hash container of the traffic state starts with this many buckets and
// a maximum load factor of 1.0.
inline constexpr std::size_t kTrafficHashBuckets = 8;

template <typename Value>
using TrafficTextMap = std::unordered_map<std::string, Value, TrafficKeyHash, std::equal_to<>>;
template <typename Value>
using TrafficIdMap = std::unordered_map<std::uint32_t, Value, TrafficKeyHash>;
using TrafficTextSet = std::unordered_set<std::string, TrafficKeyHash, std::equal_to<>>;
using TrafficIdSet = std::unordered_set<std::uint32_t, TrafficKeyHash>;

} // namespace zelk
