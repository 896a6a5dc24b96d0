#include "traffic/TrafficHash.h"

namespace zelk {
namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

constexpr std::uint64_t lf_fnvByte(std::uint64_t hash, std::uint8_t byte) noexcept
{
    return (hash ^ byte) * kFnvPrime;
}

} // namespace

std::size_t TrafficKeyHash::operator()(std::string_view text) const noexcept
{
    std::uint64_t hash = kFnvOffset;
    for (const char c : text) hash = lf_fnvByte(hash, static_cast<std::uint8_t>(c));
    return static_cast<std::size_t>(hash);
}

std::size_t TrafficKeyHash::operator()(std::uint32_t value) const noexcept
{
    std::uint64_t hash = kFnvOffset;
    for (int i = 0; i < 4; ++i) hash = lf_fnvByte(hash, static_cast<std::uint8_t>(value >> (8 * i)));
    return static_cast<std::size_t>(hash);
}

} // namespace zelk
