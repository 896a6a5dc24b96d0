#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace zelk {

// Low-level pieces of the BGL scenery format: bounded little-endian reads and
// the packed values of airport records. Offsets are bytes; nothing here
// assumes any alignment.

// A read outside the bytes of a record (or of the file).
class BglBoundsError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// A view of one stretch of a BGL file (the whole file, a record or one entry
// of a record). Every read checks its bounds and throws BglBoundsError when it
// would pass the end, so a short or lying record can never read its
// neighbours. Offsets passed in are relative to the view; fileOffset() gives
// the position in the file for messages. Sizes are 64-bit throughout.
class BglStream {
public:
    BglStream() = default;
    explicit BglStream(std::span<const unsigned char> bytes, std::uint64_t fileOffset = 0)
        : bytes_(bytes), fileOffset_(fileOffset)
    {
    }

    std::uint64_t size() const noexcept { return bytes_.size(); }
    std::uint64_t fileOffset(std::uint64_t offset = 0) const noexcept { return fileOffset_ + offset; }

    // The part [offset, offset + size); throws when it does not lie inside.
    BglStream sub(std::uint64_t offset, std::uint64_t size) const;

    std::uint8_t u8(std::uint64_t offset) const;
    std::uint16_t u16(std::uint64_t offset) const;
    std::uint32_t u32(std::uint64_t offset) const;
    std::int32_t i32(std::uint64_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    float f32(std::uint64_t offset) const;

private:
    void require(std::uint64_t offset, std::uint64_t size) const;

    std::span<const unsigned char> bytes_;
    std::uint64_t fileOffset_ = 0;
};

// offset + size lies inside a buffer of `length` bytes, computed without overflow.
constexpr bool lf_bglRangeFits(std::uint64_t length, std::uint64_t offset, std::uint64_t size) noexcept
{
    return offset <= length && size <= length - offset;
}
// The value at the offset; empty when fewer than 2 (4) bytes remain there.
std::optional<std::uint16_t> lf_bglReadU16(std::span<const unsigned char> bytes, std::uint64_t offset) noexcept;
std::optional<std::uint32_t> lf_bglReadU32(std::span<const unsigned char> bytes, std::uint64_t offset) noexcept;

// Packed coordinates, in degrees.
double lf_bglLongitude(std::uint32_t packed) noexcept;
double lf_bglLatitude(std::uint32_t packed) noexcept;

// The text of a packed identifier: base-38 digits after a shift by 5, most
// significant first. Empty when a digit is blank or invalid.
std::optional<std::string> lf_decodeBglIdentifier(std::uint32_t packed);
// The inverse, for identifiers of 0-9 and A-Z (test files and tools).
std::uint32_t lf_encodeBglIdentifier(const std::string& text);

// Airport altitude: signed millimetres to whole feet (half away from zero);
// below -20 ft or above 10000 ft the value is not believed and gives 0.
std::int32_t lf_bglAltitudeFeet(std::int32_t millimetres) noexcept;

} // namespace zelk
