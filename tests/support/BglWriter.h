#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelk::test {

// Builds BGL scenery files for tests, from the layouts the reader walks:
// header, section table, subsection tables with 16- or 20-byte descriptors,
// data blocks of records, airport records with their sub-records.

void bglPutU16(std::string& bytes, std::uint64_t offset, std::uint16_t value);
void bglPutU32(std::string& bytes, std::uint64_t offset, std::uint32_t value);
std::uint32_t bglPackLatitude(double latitude);
std::uint32_t bglPackLongitude(double longitude);

// One taxi-parking entry.
struct BglParking {
    std::uint32_t nameCode = 10; // GATE
    std::uint32_t type = 9;      // GATE_MEDIUM
    std::uint32_t number = 1;
    double latitude = 50.05;
    double longitude = 8.57;
    float headingDeg = 90.0f;
    float radiusM = 20.0f;
    std::uint32_t airlineCodes = 0; // 4-byte codes appended to the entry
};

// A sub-record or record: id, size (header included), body; the body is padded
// with zeros to a multiple of 4 bytes overall.
std::string bglRecord(std::uint16_t id, const std::string& body);
std::string bglParkingList(const std::vector<BglParking>& entries);
std::string bglHelipad(double latitude, double longitude, float sizeM);
// A sub-record the reader passes over (runways, taxiways, names ...).
std::string bglOtherSubrecord(std::uint16_t id, std::uint32_t size);
std::string bglAirportRecord(const std::string& icao, std::int32_t altitudeMm, const std::string& subrecords);

struct BglSubsection {
    std::vector<std::string> records; // whole records, concatenated into the data block
    std::uint32_t misalign = 0;       // zero bytes placed before the block, so it starts unaligned
};
struct BglSection {
    std::uint32_t type = 3;
    bool wideDescriptors = false; // 20-byte descriptors
    std::vector<BglSubsection> subsections;
};

// Where the builder put things, so tests can corrupt them.
struct BglLayout {
    std::string bytes;
    std::vector<std::uint64_t> tableOffsets;             // per section
    std::vector<std::vector<std::uint64_t>> dataOffsets; // per section, per subsection
    std::vector<std::vector<std::uint64_t>> descriptors; // per section, per subsection
};
BglLayout bglBuild(const std::vector<BglSection>& sections);

} // namespace zelk::test
