#include "core/TextFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <stdexcept>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Strings.h"
#include "platform/SystemCodePage.h"

namespace fs = std::filesystem;

namespace zelk {
namespace {

using Byte = unsigned char;

// Validity of UTF-8 in a sample of a file. A sequence cut by the end of the
// sample is judged by the bytes it has when the file goes on beyond the
// sample (the rest is simply not looked at); at the true end of the file it is
// broken.
bool lf_isValidUtf8Sample(std::span<const Byte> s, bool fileGoesOn)
{
    std::size_t i = 0;
    while (i < s.size()) {
        // Text is mostly ASCII: such runs are passed over eight bytes at a time.
        for (std::uint64_t word = 0; s.size() - i >= sizeof word; i += sizeof word) {
            std::memcpy(&word, s.data() + i, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0) break;
        }
        if (i == s.size()) break;
        const Byte b = s[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        const Utf8Lead lead = gf_utf8Lead(b);
        if (lead.length == 0) return false;
        for (std::size_t k = 1; k < lead.length; ++k) {
            if (i + k >= s.size()) return fileGoesOn;
            const Byte c = s[i + k];
            if ((c & 0xC0) != 0x80) return false;
            if (k == 1 && (c < lead.low || c > lead.high)) return false;
        }
        i += lead.length;
    }
    return true;
}

[[noreturn]] void lf_throwTooLarge(std::string_view size, std::uint64_t maxBytes)
{
    throw std::length_error(fmt::format("file too large ({} bytes, at most {})", size, maxBytes));
}

std::string lf_readWholeStream(std::istream& in, std::uint64_t maxBytes)
{
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    in.seekg(0, std::ios::beg);
    std::string data;
    if (size > 0) {
        if (static_cast<std::uint64_t>(size) > maxBytes) lf_throwTooLarge(std::to_string(size), maxBytes);
        data.resize(static_cast<std::size_t>(size));
        in.read(data.data(), static_cast<std::streamsize>(size));
        data.resize(static_cast<std::size_t>(in.gcount()));
    } else if (size < 0) {
        // Not seekable (a pipe): take what it delivers, up to one byte past the limit.
        in.clear();
        std::array<char, 65'536> block{};
        while (in.read(block.data(), block.size()) || in.gcount() > 0) {
            data.append(block.data(), static_cast<std::size_t>(in.gcount()));
            if (data.size() > maxBytes) lf_throwTooLarge(fmt::format("more than {}", maxBytes), maxBytes);
        }
    }
    return data;
}

TextEncoding lf_detectInSample(std::span<const Byte> s, bool fileGoesOn)
{
    const std::size_t n = s.size();
    if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) return TextEncoding::UTF8_with_BOM;
    if (n >= 2) {
        if (s[0] == 0xFF && s[1] == 0xFE) return TextEncoding::Unicode;
        if (s[0] == 0xFE && s[1] == 0xFF) return TextEncoding::Unicode_big_endian;
        if (s[1] == 0 && (n < 4 || s[3] == 0)) return TextEncoding::Unicode;
        if (s[0] == 0 && (n < 4 || s[2] == 0)) return TextEncoding::Unicode_big_endian;
    }
    return lf_isValidUtf8Sample(s, fileGoesOn) ? TextEncoding::UTF8_without_BOM : TextEncoding::ANSI;
}

void lf_appendUtf16Lines(std::string_view data, std::vector<std::string>& lines, bool bigEndianWithoutMark)
{
    if (data.size() < 2) return;
    if (data.size() % 2 != 0)
        throw std::runtime_error(fmt::format("UTF-16 text of odd length ({} bytes)", data.size()));

    const auto b0 = static_cast<Byte>(data[0]);
    const auto b1 = static_cast<Byte>(data[1]);
    bool bigEndian = bigEndianWithoutMark;
    std::size_t start = 0;
    if (b0 == 0xFF && b1 == 0xFE) {
        bigEndian = false;
        start = 2;
    } else if (b0 == 0xFE && b1 == 0xFF) {
        bigEndian = true;
        start = 2;
    }
    std::u16string units;
    units.reserve((data.size() - start) / 2);
    for (std::size_t i = start; i + 1 < data.size(); i += 2) {
        const auto first = static_cast<Byte>(data[i]);
        const auto second = static_cast<Byte>(data[i + 1]);
        units.push_back(bigEndian ? static_cast<char16_t>((first << 8) | second)
                                  : static_cast<char16_t>((second << 8) | first));
    }
    gf_splitLines(wide_to_utf8(units), lines);
}

void lf_rewind(std::istream& in)
{
    in.clear();
    in.seekg(0, std::ios::beg);
}

} // namespace

std::string_view gf_textEncodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::ANSI: return "ANSI";
    case TextEncoding::Unicode: return "Unicode";
    case TextEncoding::Unicode_big_endian: return "Unicode_big_endian";
    case TextEncoding::UTF8_with_BOM: return "UTF8_with_BOM";
    case TextEncoding::UTF8_without_BOM: return "UTF8_without_BOM";
    case TextEncoding::none_found: return "none_found";
    }
    return {};
}

TextEncoding gf_detectTextEncoding(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) return TextEncoding::none_found;
    std::array<Byte, kEncodingSampleBytes> buffer{};
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<std::size_t>(in.gcount());
    const bool fileGoesOn = n == buffer.size() && in.peek() != std::ifstream::traits_type::eof();
    return lf_detectInSample(std::span<const Byte>(buffer.data(), n), fileGoesOn);
}

TextEncoding gf_detectTextEncodingOfBytes(std::string_view bytes)
{
    const std::size_t n = std::min(bytes.size(), kEncodingSampleBytes);
    return lf_detectInSample(std::span<const Byte>(reinterpret_cast<const Byte*>(bytes.data()), n),
                             bytes.size() > n);
}

void gf_appendUtf8Lines(TextEncoding encoding, std::string_view bytes, std::vector<std::string>& lines)
{
    switch (encoding) {
    case TextEncoding::UTF8_with_BOM:
    case TextEncoding::UTF8_without_BOM:
        gf_splitLines(bytes, lines);
        return;
    case TextEncoding::Unicode:
    case TextEncoding::Unicode_big_endian:
        lf_appendUtf16Lines(bytes, lines, encoding == TextEncoding::Unicode_big_endian);
        return;
    case TextEncoding::ANSI: {
        const std::size_t first = lines.size();
        gf_splitLines(bytes, lines);
        for (std::size_t i = first; i < lines.size(); ++i) lines[i] = gf_ansiToUtf8(lines[i]);
        return;
    }
    case TextEncoding::none_found:
        break;
    }
    throw std::runtime_error(fmt::format("unknown charset: {}", gf_textEncodingName(encoding)));
}

bool gf_readTextLinesAsUtf8(TextEncoding encoding, const fs::path& file, std::uint64_t maxBytes,
                            std::vector<std::string>& lines)
{
    try {
        if (encoding == TextEncoding::none_found)
            throw std::runtime_error(fmt::format("file {} has unknown charset: {}", path_to_utf8(file),
                                                 gf_textEncodingName(encoding)));
        const std::optional<std::string> bytes = gf_readFileBytes(file, maxBytes);
        if (!bytes) throw std::runtime_error("cannot open the file");
        gf_appendUtf8Lines(encoding, *bytes, lines);
        return true;
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("Read failed for '{}': {}", path_to_utf8(file), e.what()));
    }
    return false;
}

std::optional<std::string> gf_readFileBytes(const fs::path& file, std::uint64_t maxBytes)
{
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) return std::nullopt;
    std::string bytes = lf_readWholeStream(in, maxBytes);
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::string gf_ansiToUtf8(const std::string& ansi)
{
    if (ansi.empty()) return {};
    return platform::systemAnsiToUtf8(ansi);
}

void gf_readUtf16Lines(std::istream& in, std::uint64_t maxBytes, std::vector<std::string>& lines,
                       bool bigEndianWithoutMark)
{
    const std::string data = lf_readWholeStream(in, maxBytes);
    if (data.size() < 2) {
        lf_rewind(in);
        return;
    }
    lf_appendUtf16Lines(data, lines, bigEndianWithoutMark);
}

void gf_readStreamLines(std::istream& in, std::uint64_t maxBytes, std::vector<std::string>& lines)
{
    const std::string data = lf_readWholeStream(in, maxBytes);
    if (data.empty()) {
        lf_rewind(in);
        return;
    }
    gf_splitLines(data, lines);
}

void gf_splitLines(std::string_view text, std::vector<std::string>& lines)
{
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    if (text.empty()) return;
    std::size_t start = 0;
    for (;;) {
        const auto lf = text.find('\n', start);
        const auto end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view piece = text.substr(start, end - start);
        if (piece.ends_with('\r')) piece.remove_suffix(1);
        lines.emplace_back(piece);
        if (lf == std::string_view::npos || lf + 1 == text.size()) break;
        start = lf + 1;
    }
}

TextFileLines::ReadResult TextFileLines::read(std::uint64_t maxBytes, std::size_t reserveHint)
{
    lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return {{}, "open_failed"};
    lines.reserve(reserveHint);
    try {
        gf_readStreamLines(in, maxBytes, lines);
    } catch (const std::length_error&) {
        lines.clear();
        return {{}, "too_large"};
    }
    return {std::span<const std::string>(lines), {}};
}

} // namespace zelk
