#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "core/SecureBuffer.h"

namespace zelk {

// Layout of an ".enc" data set: a secretstream header, then chunks of
// 4096 plaintext bytes plus 17 bytes of tag and MAC; the last chunk holds
// 0..4096 bytes and carries the final tag.
inline constexpr std::size_t kEncryptedHeaderBytes = 24;
inline constexpr std::size_t kEncryptedChunkPlaintext = 4096;
inline constexpr std::size_t kEncryptedChunkOverhead = 17;
inline constexpr std::size_t kEncryptedChunkBytes = kEncryptedChunkPlaintext + kEncryptedChunkOverhead;
inline constexpr std::size_t kDataKeyBytes = 32;

// Plaintext limits of the shipped data sets.
inline constexpr std::uint64_t kDbasePlaintextLimit = 16'777'216;
inline constexpr std::uint64_t kRegcodesPlaintextLimit = 8'388'608;
inline constexpr std::uint64_t kAirportsPlaintextLimit = 8'388'608;
inline constexpr std::uint64_t kArchivesPlaintextLimit = 4'194'304;
inline constexpr std::uint64_t kWeeklyTrafficPlaintextLimit = 1'048'576;
inline constexpr std::uint64_t kArchiveAirportFilePlaintextLimit = 67'108'864;

// The largest ".enc" file whose plaintext can stay within maxPlaintext (an
// empty plaintext still takes one final chunk).
constexpr std::uint64_t gf_maxEncryptedFileBytes(std::uint64_t maxPlaintext)
{
    const std::uint64_t chunks = maxPlaintext == 0 ? 1 : (maxPlaintext + kEncryptedChunkPlaintext - 1) / kEncryptedChunkPlaintext;
    return kEncryptedHeaderBytes + maxPlaintext + chunks * kEncryptedChunkOverhead;
}

using DataKeyView = std::span<const unsigned char, kDataKeyBytes>;

// Either a value or the text of the reason there is none: the result of the
// data-set readers, which report failures as text and never throw them.
template <typename T>
class ValueOrError {
public:
    ValueOrError(T value) : value_(std::in_place_index<0>, std::move(value)) {}
    static ValueOrError failure(std::string error) { return ValueOrError(std::move(error), 0); }

    bool hasValue() const noexcept { return value_.index() == 0; }
    explicit operator bool() const noexcept { return hasValue(); }

    // Only when hasValue().
    T& value() { return std::get<0>(value_); }
    const T& value() const { return std::get<0>(value_); }
    // Only when !hasValue().
    const std::string& error() const { return std::get<1>(value_); }

private:
    ValueOrError(std::string error, int) : value_(std::in_place_index<1>, std::move(error)) {}
    std::variant<T, std::string> value_;
};

// Either the plaintext or the reason there is none.
using EncryptedFileResult = ValueOrError<SecureBuffer>;

// Decrypts a data set with the program's own key. Every failure comes back as
// its text; nothing derived from std::exception escapes.
EncryptedFileResult gf_readEncryptedFile(const std::filesystem::path& path, std::uint64_t maxPlaintext);

// Decrypts with the given key. Throws std::runtime_error with the reason, and
// std::bad_alloc when guarded memory is not available.
SecureBuffer gf_decryptFile(DataKeyView key, const std::filesystem::path& path, std::uint64_t maxPlaintext);

// The same for an already opened stream of `size` bytes; `name` is the file
// name that the messages give.
SecureBuffer gf_decryptStream(DataKeyView key, std::istream& in, std::uint64_t size, const std::string& name,
                              std::uint64_t maxPlaintext);

// The ".enc" form of a plaintext: header, full chunks, and a final chunk that
// holds the rest (an empty final chunk only for an empty plaintext).
std::string gf_encryptBytes(DataKeyView key, std::string_view plaintext);

// Writes the ".enc" form of the plaintext, encrypted with the program's own
// key, to `target` through a temporary file, so a reader never sees half a
// file; creates the target's folder when missing. Throws std::runtime_error on failure.
void gf_writeEncryptedFile(std::string_view plaintext, const std::filesystem::path& target);

} // namespace zelk
