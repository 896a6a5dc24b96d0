#include "airports/BglFormat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

#include <fmt/format.h>

namespace zelk {

namespace {

constexpr std::uint32_t kIdentifierBase = 38;

std::uint32_t lf_littleEndian(const unsigned char* p, unsigned width) noexcept
{
    std::uint32_t v = 0;
    for (unsigned i = width; i-- > 0;)
        v = (v << 8) | p[i];
    return v;
}

char lf_identifierChar(std::uint32_t digit) noexcept
{
    if (digit < 12)
        return static_cast<char>('0' + (digit - 2));
    return static_cast<char>('A' + (digit - 12));
}

std::uint32_t lf_identifierDigit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint32_t>(c - '0') + 2;
    if (c >= 'A' && c <= 'Z')
        return static_cast<std::uint32_t>(c - 'A') + 12;
    throw std::invalid_argument(fmt::format("'{}' cannot be packed as a BGL identifier", c));
}

} // namespace

void BglStream::require(std::uint64_t offset, std::uint64_t size) const
{
    if (!lf_bglRangeFits(bytes_.size(), offset, size))
        throw BglBoundsError(fmt::format("{} bytes at byte {} pass the end of the {} bytes from byte {}", size,
                                         fileOffset_ + offset, bytes_.size(), fileOffset_));
}

BglStream BglStream::sub(std::uint64_t offset, std::uint64_t size) const
{
    require(offset, size);
    return BglStream(bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)),
                     fileOffset_ + offset);
}

std::uint8_t BglStream::u8(std::uint64_t offset) const
{
    require(offset, 1);
    return bytes_[static_cast<std::size_t>(offset)];
}

std::uint16_t BglStream::u16(std::uint64_t offset) const
{
    require(offset, 2);
    return static_cast<std::uint16_t>(lf_littleEndian(bytes_.data() + offset, 2));
}

std::uint32_t BglStream::u32(std::uint64_t offset) const
{
    require(offset, 4);
    return lf_littleEndian(bytes_.data() + offset, 4);
}

float BglStream::f32(std::uint64_t offset) const { return std::bit_cast<float>(u32(offset)); }

std::optional<std::uint16_t> lf_bglReadU16(std::span<const unsigned char> bytes, std::uint64_t offset) noexcept
{
    if (!lf_bglRangeFits(bytes.size(), offset, 2))
        return std::nullopt;
    return static_cast<std::uint16_t>(lf_littleEndian(bytes.data() + offset, 2));
}

std::optional<std::uint32_t> lf_bglReadU32(std::span<const unsigned char> bytes, std::uint64_t offset) noexcept
{
    if (!lf_bglRangeFits(bytes.size(), offset, 4))
        return std::nullopt;
    return lf_littleEndian(bytes.data() + offset, 4);
}

double lf_bglLongitude(std::uint32_t packed) noexcept { return packed * (360.0 / (3.0 * (1u << 28))) - 180.0; }

double lf_bglLatitude(std::uint32_t packed) noexcept { return 90.0 - packed * (180.0 / (1u << 29)); }

std::optional<std::string> lf_decodeBglIdentifier(std::uint32_t packed)
{
    std::string text;
    std::uint32_t rest = packed >> 5;
    do {
        const std::uint32_t digit = rest % kIdentifierBase;
        rest /= kIdentifierBase;
        if (digit < 2)
            return std::nullopt; // blank or the invalid digit
        text.push_back(lf_identifierChar(digit));
    } while (rest != 0);
    std::reverse(text.begin(), text.end());
    return text;
}

std::uint32_t lf_encodeBglIdentifier(const std::string& text)
{
    std::uint32_t v = 0;
    for (char c : text)
        v = v * kIdentifierBase + lf_identifierDigit(c);
    return v << 5;
}

std::int32_t lf_bglAltitudeFeet(std::int32_t millimetres) noexcept
{
    const long feet = std::lround(millimetres * 3.2808399 / 1000.0);
    return feet < -20 || feet > 10000 ? 0 : static_cast<std::int32_t>(feet);
}

} // namespace zelk
