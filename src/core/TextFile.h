#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// Character encodings of text files written by other software (aircraft.cfg
// and the like); the names are the ones printed in messages.
enum class TextEncoding : std::uint8_t {
    ANSI = 0,               // "ANSI": the system's ANSI code page
    Unicode = 1,            // "Unicode": UTF-16 little-endian
    Unicode_big_endian = 2, // "Unicode_big_endian"
    UTF8_with_BOM = 3,      // "UTF8_with_BOM"
    UTF8_without_BOM = 4,   // "UTF8_without_BOM" (pure ASCII included)
    none_found = 5,         // "none_found": the file could not be opened
};

// How many leading bytes of a file decide its encoding.
inline constexpr std::size_t kEncodingSampleBytes = 4096;

// Size limits of the text files that are read whole, one per kind; a larger
// file is refused with an error that names its size, never read in part.
// Text files of installed packages (aircraft.cfg and its siblings).
inline constexpr std::uint64_t kMaxPackageTextFileBytes = 16'777'216;
// The simulator's UserCfg.opt.
inline constexpr std::uint64_t kMaxUserCfgBytes = 1'048'576;

std::string_view gf_textEncodingName(TextEncoding encoding);

// Looks at the first 4096 bytes: byte-order marks, UTF-16 without a mark
// (zero bytes in ASCII text), else a UTF-8 validity scan. A UTF-8 sequence cut
// by the end of the sample counts as valid when the file goes on past it.
TextEncoding gf_detectTextEncoding(const std::filesystem::path& file);
// The same test on the whole file already in memory.
TextEncoding gf_detectTextEncodingOfBytes(std::string_view bytes);

// The whole file's bytes; nothing when it cannot be opened or read. Throws
// std::length_error "file too large ({} bytes, at most {})" beyond maxBytes.
std::optional<std::string> gf_readFileBytes(const std::filesystem::path& file, std::uint64_t maxBytes);

// Reads the file in the given encoding and appends its lines as UTF-8. False,
// with the log line "Read failed for '{}': {}", when the file cannot be
// opened, is larger than maxBytes or its content is not valid in that encoding.
bool gf_readTextLinesAsUtf8(TextEncoding encoding, const std::filesystem::path& file, std::uint64_t maxBytes,
                            std::vector<std::string>& lines);

// Appends the lines of a whole file's bytes in the given encoding as UTF-8.
// Throws std::runtime_error for invalid UTF-16 or an encoding of none_found.
void gf_appendUtf8Lines(TextEncoding encoding, std::string_view bytes, std::vector<std::string>& lines);

// Text in the system's ANSI code page (Windows-1252 off Windows) to UTF-8.
std::string gf_ansiToUtf8(const std::string& ansi);

// Appends the lines of a UTF-16 stream as UTF-8. A byte-order mark decides the
// byte order; without one, bigEndianWithoutMark does. Fewer than 2 bytes give
// no lines (the stream is rewound). Throws std::runtime_error for an odd byte
// count or invalid UTF-16, and std::length_error for a stream of more than
// maxBytes, so that the caller never takes a cut text for the whole file.
void gf_readUtf16Lines(std::istream& in, std::uint64_t maxBytes, std::vector<std::string>& lines,
                       bool bigEndianWithoutMark = false);

// Appends the lines of the whole stream (see gf_splitLines); an empty stream
// is only rewound. Throws std::length_error for more than maxBytes.
void gf_readStreamLines(std::istream& in, std::uint64_t maxBytes, std::vector<std::string>& lines);

// Appends the lines of the text: a leading UTF-8 mark is skipped, lines end at
// LF with one CR before it dropped, a final LF adds no empty line.
void gf_splitLines(std::string_view text, std::vector<std::string>& lines);

// A text file read whole, as UTF-8 lines without their line ends.
struct TextFileLines {
    std::filesystem::path path;
    std::vector<std::string> lines;

    struct ReadResult {
        std::span<const std::string> lines; // valid until the next read
        std::string_view error;             // "open_failed", "too_large", or empty on success

        bool ok() const noexcept { return error.empty(); }
        explicit operator bool() const noexcept { return ok(); }
    };

    // Replaces lines with those of the file (bytes as they are), when it has
    // at most maxBytes. The hint is the number of lines to make room for.
    ReadResult read(std::uint64_t maxBytes, std::size_t reserveHint = 0);
};

} // namespace zelk
