#include "support/BglWriter.h"

#include <bit>
#include <cmath>

#include "airports/BglFormat.h"

namespace zelk::test {

namespace {

std::string u16(std::uint16_t v)
{
    std::string s(2, '\0');
    bglPutU16(s, 0, v);
    return s;
}

std::string u32(std::uint32_t v)
{
    std::string s(4, '\0');
    bglPutU32(s, 0, v);
    return s;
}

std::string parkingEntry(const BglParking& p)
{
    std::string e(56 + 4 * p.airlineCodes, '\0');
    e[0] = static_cast<char>(p.nameCode & 0x3F);
    bglPutU16(e, 1, static_cast<std::uint16_t>((p.type & 0x0F) | (p.number << 4)));
    e[3] = static_cast<char>(p.airlineCodes);
    bglPutU32(e, 4, std::bit_cast<std::uint32_t>(p.radiusM));
    bglPutU32(e, 8, std::bit_cast<std::uint32_t>(p.headingDeg));
    bglPutU32(e, 28, bglPackLongitude(p.longitude));
    bglPutU32(e, 32, bglPackLatitude(p.latitude));
    for (std::uint32_t i = 0; i < p.airlineCodes; ++i)
        e.replace(56 + 4 * i, 4, "DLH\0", 4);
    return e;
}

} // namespace

void bglPutU16(std::string& bytes, std::uint64_t offset, std::uint16_t value)
{
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

void bglPutU32(std::string& bytes, std::uint64_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t bglPackLatitude(double latitude)
{
    return static_cast<std::uint32_t>(std::llround((90.0 - latitude) * (1u << 29) / 180.0));
}

std::uint32_t bglPackLongitude(double longitude)
{
    return static_cast<std::uint32_t>(std::llround((longitude + 180.0) * 3.0 * (1u << 28) / 360.0));
}

std::string bglRecord(std::uint16_t id, const std::string& body)
{
    std::string padded = body;
    padded.resize((6 + body.size() + 3) / 4 * 4 - 6, '\0');
    return u16(id) + u32(static_cast<std::uint32_t>(6 + padded.size())) + padded;
}

std::string bglParkingList(const std::vector<BglParking>& entries)
{
    std::string body = u16(static_cast<std::uint16_t>(entries.size()));
    for (const auto& e : entries)
        body += parkingEntry(e);
    return bglRecord(0xE7, body);
}

std::string bglHelipad(double latitude, double longitude, float sizeM)
{
    std::string body(30, '\0');
    bglPutU32(body, 12 - 6, bglPackLongitude(longitude));
    bglPutU32(body, 16 - 6, bglPackLatitude(latitude));
    bglPutU32(body, 28 - 6, std::bit_cast<std::uint32_t>(sizeM));
    return bglRecord(0x26, body);
}

std::string bglOtherSubrecord(std::uint16_t id, std::uint32_t size) { return bglRecord(id, std::string(size - 6, '\x5A')); }

std::string bglAirportRecord(const std::string& icao, std::int32_t altitudeMm, const std::string& subrecords)
{
    std::string fixed(62, '\0');
    bglPutU32(fixed, 20 - 6, static_cast<std::uint32_t>(altitudeMm));
    bglPutU32(fixed, 40 - 6, lf_encodeBglIdentifier(icao));
    return bglRecord(0x56, fixed + subrecords);
}

BglLayout bglBuild(const std::vector<BglSection>& sections)
{
    BglLayout out;
    std::string& b = out.bytes;
    b.assign(56 + 20 * sections.size(), '\0');
    bglPutU32(b, 0, 0x19920201);
    bglPutU32(b, 4, 56);
    bglPutU32(b, 20, static_cast<std::uint32_t>(sections.size()));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const auto& s = sections[i];
        const std::uint32_t descSize = s.wideDescriptors ? 20 : 16;
        const std::uint64_t entry = 56 + 20 * i;
        const std::uint64_t table = b.size();
        bglPutU32(b, entry, s.type);
        bglPutU32(b, entry + 4, s.wideDescriptors ? 0x10000 : 0);
        bglPutU32(b, entry + 8, static_cast<std::uint32_t>(s.subsections.size()));
        bglPutU32(b, entry + 12, static_cast<std::uint32_t>(table));
        out.tableOffsets.push_back(table);
        out.dataOffsets.emplace_back();
        out.descriptors.emplace_back();
        b.append(descSize * s.subsections.size(), '\0');
        for (std::size_t j = 0; j < s.subsections.size(); ++j) {
            const auto& sub = s.subsections[j];
            std::string block;
            for (const auto& r : sub.records)
                block += r;
            b.append(sub.misalign, '\0');
            const std::uint64_t desc = table + descSize * j;
            bglPutU32(b, desc + 4, static_cast<std::uint32_t>(sub.records.size()));
            bglPutU32(b, desc + 8, static_cast<std::uint32_t>(b.size()));
            bglPutU32(b, desc + 12, static_cast<std::uint32_t>(block.size()));
            out.dataOffsets.back().push_back(b.size());
            out.descriptors.back().push_back(desc);
            b += block;
        }
        bglPutU32(b, entry + 16, static_cast<std::uint32_t>(b.size() - table));
    }
    return out;
}

} // namespace zelk::test
