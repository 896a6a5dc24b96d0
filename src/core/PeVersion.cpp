#include "core/PeVersion.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace zelk {
namespace {

constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedFileInfoSize = 52;
constexpr std::uint32_t kResourceTypeVersion = 16; // RT_VERSION
constexpr std::uint32_t kVersionResourceId = 1;     // VS_VERSION_INFO
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint16_t kMaxSections = 96;          // the loader's own limit
constexpr std::uint32_t kMaxDirectoryEntries = 4096;
constexpr std::uint32_t kMaxVersionBlock = 1u << 20;

// A tiny random-access reader that refuses every read beyond the end.
class FileReader {
public:
    explicit FileReader(const std::filesystem::path& file) : in_(file, std::ios::binary)
    {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        ok_ = in_.is_open() && !ec;
        size_ = ok_ ? size : 0;
    }

    bool ok() const { return ok_; }
    std::uint64_t size() const { return size_; }

    bool read(std::uint64_t offset, void* out, std::size_t length)
    {
        if (offset > size_ || length > size_ - offset) return false;
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(length));
        return static_cast<std::size_t>(in_.gcount()) == length;
    }

    bool u16(std::uint64_t offset, std::uint16_t& v)
    {
        std::array<unsigned char, 2> b{};
        if (!read(offset, b.data(), b.size())) return false;
        v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
        return true;
    }

    bool u32(std::uint64_t offset, std::uint32_t& v)
    {
        std::array<unsigned char, 4> b{};
        if (!read(offset, b.data(), b.size())) return false;
        v = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
    bool ok_ = false;
};

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

// File offset of length bytes at an address of the loaded image; the bytes
// must lie in the file part of one section.
std::optional<std::uint64_t> lf_rvaToOffset(const std::vector<Section>& sections, std::uint32_t rva,
                                            std::uint32_t length)
{
    for (const Section& s : sections) {
        const std::uint64_t start = s.virtualAddress;
        const std::uint64_t span = std::max(s.virtualSize, s.rawSize);
        if (rva < start || rva >= start + span) continue;
        const std::uint64_t within = rva - start;
        if (within + length > s.rawSize) return std::nullopt;
        return static_cast<std::uint64_t>(s.rawOffset) + within;
    }
    return std::nullopt;
}

struct DirectoryEntry {
    std::uint32_t name = 0;   // an id, or (high bit set) an offset to a name
    std::uint32_t target = 0; // a sub-directory (high bit set) or a data entry
};

std::optional<std::vector<DirectoryEntry>> lf_readDirectory(FileReader& file, const std::vector<Section>& sections,
                                                            std::uint32_t rva)
{
    const auto header = lf_rvaToOffset(sections, rva, 16);
    if (!header) return std::nullopt;
    std::uint16_t named = 0;
    std::uint16_t ids = 0;
    if (!file.u16(*header + 12, named) || !file.u16(*header + 14, ids)) return std::nullopt;
    const std::uint32_t count = std::uint32_t{named} + ids;
    if (count > kMaxDirectoryEntries) return std::nullopt;
    const auto entries = lf_rvaToOffset(sections, rva + 16, count * 8);
    if (!entries) return std::nullopt;
    std::vector<DirectoryEntry> result(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!file.u32(*entries + i * 8ull, result[i].name) || !file.u32(*entries + i * 8ull + 4, result[i].target)) {
            return std::nullopt;
        }
    }
    return result;
}

// The entry with the given id, or the first entry when there is none.
const DirectoryEntry* lf_pickEntry(const std::vector<DirectoryEntry>& entries, std::optional<std::uint32_t> id)
{
    if (id) {
        for (const auto& e : entries) {
            if ((e.name & kHighBit) == 0 && e.name == *id) return &e;
        }
    }
    return entries.empty() ? nullptr : &entries.front();
}

PeVersionResult lf_fail(PeVersionError error)
{
    return PeVersionResult{std::nullopt, error};
}

PeVersionResult lf_failReadingBlock(PeVersionError error)
{
    return PeVersionResult{std::nullopt, error, true};
}

PeVersionResult lf_parseVersionBlock(const std::vector<unsigned char>& block)
{
    auto u16at = [&](std::size_t at) { return static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8)); };
    auto u32at = [&](std::size_t at) {
        return static_cast<std::uint32_t>(block[at]) | (static_cast<std::uint32_t>(block[at + 1]) << 8) |
               (static_cast<std::uint32_t>(block[at + 2]) << 16) | (static_cast<std::uint32_t>(block[at + 3]) << 24);
    };
    if (block.size() < 6) return lf_fail(PeVersionError::InvalidVersionData);
    const std::size_t length = std::min<std::size_t>(u16at(0), block.size());
    const std::size_t valueLength = u16at(2);
    // The key is a NUL-terminated UTF-16 text after the three header words; the
    // value follows it on the next 32-bit boundary.
    std::size_t at = 6;
    while (at + 1 < length && u16at(at) != 0) at += 2;
    if (at + 1 >= length) return lf_fail(PeVersionError::InvalidVersionData);
    at += 2;
    at = (at + 3) & ~std::size_t{3};
    if (valueLength < kFixedFileInfoSize || at + kFixedFileInfoSize > length) {
        return lf_fail(PeVersionError::InvalidVersionData);
    }
    if (u32at(at) != kFixedFileInfoSignature) return lf_fail(PeVersionError::InvalidVersionData);
    PeFixedFileInfo info;
    info.fileVersionMS = u32at(at + 8);
    info.fileVersionLS = u32at(at + 12);
    info.productVersionMS = u32at(at + 16);
    info.productVersionLS = u32at(at + 20);
    return PeVersionResult{info, PeVersionError::None};
}

} // namespace

PeVersionResult gf_readPeFixedFileInfo(const std::filesystem::path& path)
{
    try {
        FileReader file(path);
        if (!file.ok()) return lf_fail(PeVersionError::FileNotFound);

        std::uint16_t mz = 0;
        std::uint32_t peOffset = 0;
        if (!file.u16(0, mz) || mz != 0x5A4D || !file.u32(0x3C, peOffset)) {
            return lf_fail(PeVersionError::BadImageFormat);
        }
        std::uint32_t signature = 0;
        if (!file.u32(peOffset, signature) || signature != 0x00004550) return lf_fail(PeVersionError::BadImageFormat);
        const std::uint64_t coff = std::uint64_t{peOffset} + 4;
        std::uint16_t sectionCount = 0;
        std::uint16_t optionalSize = 0;
        if (!file.u16(coff + 2, sectionCount) || !file.u16(coff + 16, optionalSize)) {
            return lf_fail(PeVersionError::BadImageFormat);
        }
        if (sectionCount > kMaxSections) return lf_fail(PeVersionError::BadImageFormat);
        const std::uint64_t optional = coff + 20;
        std::uint16_t magic = 0;
        if (!file.u16(optional, magic)) return lf_fail(PeVersionError::BadImageFormat);
        std::uint64_t dirCountAt = 0;
        if (magic == 0x10B) {
            dirCountAt = 92; // PE32
        } else if (magic == 0x20B) {
            dirCountAt = 108; // PE32+
        } else {
            return lf_fail(PeVersionError::BadImageFormat);
        }
        std::uint32_t dirCount = 0;
        if (optionalSize < dirCountAt + 4 || !file.u32(optional + dirCountAt, dirCount)) {
            return lf_fail(PeVersionError::BadImageFormat);
        }
        constexpr std::uint32_t kResourceDirIndex = 2;
        const std::uint64_t resourceDirAt = dirCountAt + 4 + kResourceDirIndex * 8;
        std::uint32_t resourceRva = 0;
        if (dirCount <= kResourceDirIndex || optionalSize < resourceDirAt + 8) {
            return lf_fail(PeVersionError::ResourceTypeNotFound);
        }
        if (!file.u32(optional + resourceDirAt, resourceRva)) return lf_fail(PeVersionError::BadImageFormat);
        if (resourceRva == 0) return lf_fail(PeVersionError::ResourceTypeNotFound);

        std::vector<Section> sections(sectionCount);
        const std::uint64_t table = optional + optionalSize;
        for (std::uint16_t i = 0; i < sectionCount; ++i) {
            const std::uint64_t at = table + i * 40ull;
            Section& s = sections[i];
            if (!file.u32(at + 8, s.virtualSize) || !file.u32(at + 12, s.virtualAddress) ||
                !file.u32(at + 16, s.rawSize) || !file.u32(at + 20, s.rawOffset)) {
                return lf_fail(PeVersionError::BadImageFormat);
            }
        }

        // Three levels: type, name, language. Sub-directory offsets are relative
        // to the start of the resource section's tree.
        const auto types = lf_readDirectory(file, sections, resourceRva);
        if (!types) return lf_fail(PeVersionError::ResourceDataNotFound);
        const DirectoryEntry* type = nullptr;
        for (const auto& e : *types) {
            if ((e.name & kHighBit) == 0 && e.name == kResourceTypeVersion) type = &e;
        }
        if (type == nullptr) return lf_fail(PeVersionError::ResourceTypeNotFound);
        if ((type->target & kHighBit) == 0) return lf_fail(PeVersionError::ResourceDataNotFound);
        const auto names = lf_readDirectory(file, sections, resourceRva + (type->target & ~kHighBit));
        if (!names) return lf_fail(PeVersionError::ResourceDataNotFound);
        const DirectoryEntry* name = lf_pickEntry(*names, kVersionResourceId);
        if (name == nullptr) return lf_fail(PeVersionError::ResourceTypeNotFound);
        if ((name->target & kHighBit) == 0) return lf_fail(PeVersionError::ResourceDataNotFound);
        const auto languages = lf_readDirectory(file, sections, resourceRva + (name->target & ~kHighBit));
        if (!languages) return lf_fail(PeVersionError::ResourceDataNotFound);
        const DirectoryEntry* language = lf_pickEntry(*languages, std::nullopt);
        if (language == nullptr) return lf_fail(PeVersionError::ResourceTypeNotFound);
        if ((language->target & kHighBit) != 0) return lf_fail(PeVersionError::ResourceDataNotFound);

        const auto dataEntry = lf_rvaToOffset(sections, resourceRva + language->target, 16);
        std::uint32_t dataRva = 0;
        std::uint32_t dataSize = 0;
        if (!dataEntry || !file.u32(*dataEntry, dataRva) || !file.u32(*dataEntry + 4, dataSize)) {
            return lf_fail(PeVersionError::ResourceDataNotFound);
        }
        if (dataSize > kMaxVersionBlock) return lf_fail(PeVersionError::InvalidVersionData);
        const auto dataAt = lf_rvaToOffset(sections, dataRva, dataSize);
        if (!dataAt) return lf_failReadingBlock(PeVersionError::ResourceDataNotFound);
        std::vector<unsigned char> block(dataSize);
        if (!file.read(*dataAt, block.data(), block.size()))
            return lf_failReadingBlock(PeVersionError::ResourceDataNotFound);
        return lf_parseVersionBlock(block);
    } catch (const std::exception&) {
        // Only allocation or stream failures land here; the file is unusable.
        return lf_fail(PeVersionError::FileNotFound);
    }
}

} // namespace zelk
