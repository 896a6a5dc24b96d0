#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "airports/BglFormat.h"
#include "airports/ParkPos.h"
#include "core/IcaoCode.h"

namespace zelk {

// Reads the airports of one BGL scenery file into stands. Strict about the
// file's structure (a fault ends the file with one notice), tolerant about
// single entries (a bad stand is skipped with a scan-log line), and bounded
// everywhere: every part of an airport record must lie inside its parent, or
// the record is dropped whole with one notice. Worker thread only.

// One airport record as read.
struct BglAirport {
    IcaoCode icao;
    std::int32_t altitudeFt = 0;
    std::filesystem::path bglFile;
    std::vector<ParkPos> stands; // in file order; helipads named "helipad1", "helipad2", ...
    std::uint32_t helipadCount = 0;
};

// What the scan does with the airports of a file.
struct BglAirportSink {
    // Before the stands are read: false when the airport is served otherwise
    // (linked to an archived file) or not wanted.
    std::function<bool(const BglAirport&)> wantsStands;
    // An airport with at least one stand.
    std::function<void(BglAirport&)> take;
};

// Files above this size are not read whole (a scan-log line says so).
inline constexpr std::uint64_t kBglReadLimit = 256ull * 1024 * 1024;
inline constexpr std::uint16_t kBglAirportRecordId = 0x56;
inline constexpr std::uint16_t kBglHelipadId = 0x26;
inline constexpr std::uint16_t kBglParkingListId = 0xE7;
inline constexpr std::uint64_t kBglAirportFixedSize = 68;
inline constexpr unsigned kBglMaxSubrecordPasses = 9000;

// The quick test before any reading: the section table lists an airport
// section. Reads only the header and the section table.
bool lf_bglHasAirportSection(const std::filesystem::path& bglFile);

// Reads every airport of the file that the airports registry knows and the
// weekly traffic list has, and hands those with stands to the sink. Exceptions
// are logged and passed on (the caller skips the file).
void lf_processBGLfile(const std::filesystem::path& bglFile, const BglAirportSink& sink);
// The same for a file already in memory; bglFile only names it.
void lf_processBglBytes(std::span<const unsigned char> bytes, const std::filesystem::path& bglFile,
                        const BglAirportSink& sink);

// What the reader could not use during one scan, for its summary: files whose
// airport section holds records of a kind it does not read (MSFS 2024's
// 0x0113, P3D's 0xAB), and airports read without a single stand. Worker
// thread only, as the scan.
struct BglReadCounts {
    std::uint64_t unreadRecordFiles = 0;
    std::uint64_t airportsWithoutStands = 0;
    // Airport records (or whole files) given up because a part passed the end.
    std::uint64_t droppedAirports = 0;
};
const BglReadCounts& lf_bglReadCounts();
void lf_resetBglReadCounts();

// The whole file; empty when it cannot be read or is larger than kBglReadLimit.
std::optional<std::vector<unsigned char>> lf_readWholeFile(const std::filesystem::path& file);

// One airport record (the stream covers exactly the record).
void lf_readBglAirportRecord(const BglStream& record, IcaoCode icao, const std::filesystem::path& bglFile,
                             const BglAirportSink& sink);
// The stands of the record's sub-records; a sub-record that does not lie
// inside the record ends the walk with a log line, an entry that does not lie
// inside its sub-record throws BglBoundsError.
void lf_readBglSubrecords(const BglStream& record, BglAirport& airport);

using BglStandNames = std::unordered_set<std::string>;
struct BglHelipads {
    std::vector<std::pair<double, double>> positions; // latitude, longitude
    std::uint32_t counter = 1;                         // number of the next helipad
};
void lf_readBglParkingList(const BglStream& list, BglAirport& airport, BglStandNames& names);
void lf_readBglHelipad(const BglStream& pad, BglAirport& airport, BglHelipads& helipads);

// A stand as both the BGL and the facility reader make it: the type's ramp
// and cargo flags set, heading and radius left to the caller.
ParkPos lf_makeBglStand(std::string name, double latitude, double longitude, std::uint32_t type);

// The name itself when free, else the name with "a" ... "j"; empty (with a
// scan-log warning) when all eleven are taken.
std::optional<std::string> lf_uniqueStandId(const std::string& name, BglStandNames& names);

// Notes the phase a file reached and, when it is left after a second or more,
// logs the time, size and phase.
class BglPhaseReport {
public:
    BglPhaseReport(std::filesystem::path file, const char* phase);
    ~BglPhaseReport();
    BglPhaseReport(const BglPhaseReport&) = delete;
    BglPhaseReport& operator=(const BglPhaseReport&) = delete;

    void phase(const char* text) noexcept { phase_ = text; }

private:
    std::filesystem::path file_;
    const char* phase_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace zelk
