#include "update/PeImageBuilder.h"

#include <cstring>
#include <vector>

namespace zelk::test {
namespace {

struct Bytes {
    std::vector<unsigned char> v;
    void u8(std::uint8_t x) { v.push_back(x); }
    void u16(std::uint16_t x)
    {
        u8(static_cast<std::uint8_t>(x));
        u8(static_cast<std::uint8_t>(x >> 8));
    }
    void u32(std::uint32_t x)
    {
        u16(static_cast<std::uint16_t>(x));
        u16(static_cast<std::uint16_t>(x >> 16));
    }
    void u64(std::uint64_t x)
    {
        u32(static_cast<std::uint32_t>(x));
        u32(static_cast<std::uint32_t>(x >> 32));
    }
    void zeros(std::size_t n) { v.insert(v.end(), n, 0); }
    void padTo(std::size_t n)
    {
        if (v.size() < n) zeros(n - v.size());
    }
    void align(std::size_t a) { padTo((v.size() + a - 1) / a * a); }
    void put32(std::size_t at, std::uint32_t x)
    {
        for (int i = 0; i < 4; ++i) v[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(x >> (8 * i));
    }
    void wide(const char* text)
    {
        for (const char* p = text; *p != 0; ++p) u16(static_cast<std::uint16_t>(*p));
        u16(0);
    }
};

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kSectionFileOffset = 0x200;

// The VS_VERSIONINFO root block with its fixed part and no children.
Bytes lf_versionBlock(const PeImageLayout& layout)
{
    Bytes b;
    b.u16(0); // wLength, patched below
    b.u16(layout.valueLength);
    b.u16(0); // binary value
    b.wide("VS_VERSION_INFO");
    b.align(4);
    b.u32(layout.signature);
    b.u32(0x00010000); // structure version
    b.u32(static_cast<std::uint32_t>(layout.file[0]) << 16 | layout.file[1]);
    b.u32(static_cast<std::uint32_t>(layout.file[2]) << 16 | layout.file[3]);
    b.u32(static_cast<std::uint32_t>(layout.product[0]) << 16 | layout.product[1]);
    b.u32(static_cast<std::uint32_t>(layout.product[2]) << 16 | layout.product[3]);
    b.zeros(52 - 24); // flags mask .. date
    const auto length = static_cast<std::uint16_t>(b.v.size());
    b.v[0] = static_cast<unsigned char>(length);
    b.v[1] = static_cast<unsigned char>(length >> 8);
    return b;
}

void lf_directory(Bytes& r, std::uint16_t named, std::uint16_t ids)
{
    r.u32(0);
    r.u32(0);
    r.u16(0);
    r.u16(0);
    r.u16(named);
    r.u16(ids);
}

// The resource tree: type -> name -> language -> data entry -> block.
Bytes lf_resourceSection(const PeImageLayout& layout)
{
    Bytes r;
    const std::uint32_t type = layout.withVersionResource ? 16u : 3u;
    const std::uint16_t named = layout.namedEntryFirst ? 1 : 0;
    lf_directory(r, named, 1);
    std::size_t namedEntryAt = 0;
    if (layout.namedEntryFirst) {
        namedEntryAt = r.v.size();
        r.u32(0); // name offset, patched
        r.u32(0); // target, patched
    }
    const std::size_t typeEntryAt = r.v.size();
    r.u32(type);
    r.u32(0); // patched: sub-directory
    const std::size_t nameDir = r.v.size();
    lf_directory(r, 0, 1);
    r.u32(1); // VS_VERSION_INFO id
    const std::size_t nameTargetAt = r.v.size();
    r.u32(0);
    const std::size_t languageDir = r.v.size();
    lf_directory(r, 0, 1);
    r.u32(0x0409);
    const std::size_t languageTargetAt = r.v.size();
    r.u32(0);
    const std::size_t dataEntry = r.v.size();
    const Bytes block = lf_versionBlock(layout);
    r.u32(0); // data RVA, patched
    r.u32(static_cast<std::uint32_t>(block.v.size()));
    r.u32(0);
    r.u32(0);
    std::size_t nameText = 0;
    if (layout.namedEntryFirst) {
        nameText = r.v.size();
        r.u16(4);
        r.u16('I');
        r.u16('C');
        r.u16('O');
        r.u16('N');
    }
    r.align(4);
    const std::size_t blockAt = r.v.size();
    r.v.insert(r.v.end(), block.v.begin(), block.v.end());

    r.put32(typeEntryAt + 4, 0x80000000u | static_cast<std::uint32_t>(nameDir));
    r.put32(nameTargetAt, 0x80000000u | static_cast<std::uint32_t>(languageDir));
    r.put32(languageTargetAt, static_cast<std::uint32_t>(dataEntry));
    r.put32(dataEntry, kSectionRva + static_cast<std::uint32_t>(blockAt));
    if (layout.namedEntryFirst) {
        r.put32(namedEntryAt, 0x80000000u | static_cast<std::uint32_t>(nameText));
        r.put32(namedEntryAt + 4, 0x80000000u | static_cast<std::uint32_t>(nameDir));
    }
    return r;
}

} // namespace

std::string gf_buildPeImage(const PeImageLayout& layout)
{
    const Bytes resources = layout.withResources ? lf_resourceSection(layout) : Bytes{};
    const auto rawSize = static_cast<std::uint32_t>((resources.v.size() + 0x1FF) / 0x200 * 0x200);

    Bytes b;
    b.u16(0x5A4D); // "MZ"
    b.padTo(0x3C);
    b.u32(0x40); // offset of the PE header
    b.u32(0x00004550);
    // COFF header
    b.u16(layout.pe32Plus ? 0x8664 : 0x014C);
    b.u16(layout.withResources ? 1 : 0);
    b.u32(0);
    b.u32(0);
    b.u32(0);
    const std::uint16_t optionalSize = layout.pe32Plus ? 240 : 224;
    b.u16(optionalSize);
    b.u16(0x0022);
    // Optional header
    const std::size_t optional = b.v.size();
    b.u16(layout.pe32Plus ? 0x20B : 0x10B);
    b.zeros(layout.pe32Plus ? 106 : 90); // linker version .. loader flags, left zero
    b.u32(16);                           // NumberOfRvaAndSizes
    for (int i = 0; i < 16; ++i) {
        if (i == 2 && layout.withResources) {
            b.u32(kSectionRva);
            b.u32(static_cast<std::uint32_t>(resources.v.size()));
        } else {
            b.u64(0);
        }
    }
    b.padTo(optional + optionalSize);
    if (layout.withResources) {
        const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
        for (char c : name) b.u8(static_cast<std::uint8_t>(c));
        b.u32(static_cast<std::uint32_t>(resources.v.size()));
        b.u32(kSectionRva);
        b.u32(rawSize);
        b.u32(kSectionFileOffset);
        b.zeros(12);
        b.u32(0x40000040); // initialised data, readable
    }
    b.padTo(kSectionFileOffset);
    b.v.insert(b.v.end(), resources.v.begin(), resources.v.end());
    b.padTo(kSectionFileOffset + rawSize);
    return {b.v.begin(), b.v.end()};
}

std::string gf_buildInstaller(std::uint16_t major, std::uint16_t minor, std::uint16_t patch, std::uint16_t build)
{
    PeImageLayout layout;
    layout.product[0] = major;
    layout.product[1] = minor;
    layout.product[2] = patch;
    layout.product[3] = build;
    return gf_buildPeImage(layout);
}

} // namespace zelk::test
