#include "airports/BglReader.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

#include <fmt/format.h>

#include "airports/AirportFile.h"
#include "airports/AirportsRegistry.h"
#include "airports/BglWalk.h"
#include "airports/ScanLog.h"
#include "airports/WeeklyAirports.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Strings.h"
#include "simlink/ParkingNames.h"

namespace zelk {

namespace {

constexpr std::uint64_t kParkingEntrySize = 56;
constexpr std::uint64_t kSectionTableChunk = 4096; // entries per read of the quick test
// Offset of the packed identifier in an airport record, and the bytes it needs.
constexpr std::uint64_t kIcaoEnd = 44;
constexpr std::uint64_t kBglRecordHeaderSize = 6; // u16 id, u32 size

BglReadCounts lv_counts;

std::string lf_positionText(double latitude, double longitude)
{
    return fmt::format("{:.6f},{:.6f}", latitude, longitude);
}

} // namespace

ParkPos lf_makeBglStand(std::string name, double latitude, double longitude, std::uint32_t type)
{
    ParkPos stand;
    stand.name = std::move(name);
    stand.latitude = latitude;
    stand.longitude = longitude;
    stand.type = static_cast<StandType>(type);
    stand.parkingType = std::string(gf_standTypeName(type));
    stand.hasParkingType = 1;
    stand.ramp = (type >= 1 && type <= 4) || type == 14;
    stand.cargo = type == 5 || type == 6;
    return stand;
}

namespace {

void lf_readParkingEntry(const BglStream& entry, BglAirport& airport, BglStandNames& names)
{
    const std::uint32_t nameCode = entry.u8(0) & 0x3Fu;
    const std::uint32_t type = entry.u8(1) & 0x0Fu;
    const std::uint32_t number = entry.u16(1) >> 4;
    if (type == static_cast<std::uint32_t>(StandType::NONE) || type == static_cast<std::uint32_t>(StandType::VEHICLE))
        return;
    auto name = lf_uniqueStandId(fmt::format("{}{}", gf_parkingNamePrefix(nameCode), number), names);
    if (!name)
        return;
    const double latitude = lf_bglLatitude(entry.u32(32));
    const double longitude = lf_bglLongitude(entry.u32(28));
    if (!gf_isValidStandPosition(latitude, longitude)) {
        lf_addScanLogLine(fmt::format("LatLon {} invalid (skipped)", lf_positionText(latitude, longitude)));
        return;
    }
    const float heading = entry.f32(8);
    const float radius = entry.f32(4);
    // A stand of no size cannot be written to an airport file; kept, it
    // would cost the whole airport its file.
    if (!std::isfinite(heading) || !std::isfinite(radius) || !(radius > 0.0f)) {
        lf_addScanLogLine(fmt::format("{} has no valid heading or radius (skipped)", *name));
        return;
    }
    ParkPos stand = lf_makeBglStand(std::move(*name), latitude, longitude, type);
    stand.heading = heading == 0.0f ? 2.0 * std::numbers::pi : heading * std::numbers::pi / 180.0;
    stand.radius = radius / kMetresPerNm;
    airport.stands.push_back(std::move(stand));
}

// A sub-record header that does not fit, or a size that is no sub-record or
// passes the end of the record, ends the walk; the stands read before stay.
std::optional<BglStream> lf_subrecordAt(const BglStream& record, std::uint64_t pos)
{
    if (lf_bglRangeFits(record.size(), pos, kBglRecordHeaderSize)) {
        const std::uint64_t size = record.u32(pos + 2);
        if (size >= kBglRecordHeaderSize && lf_bglRangeFits(record.size(), pos, size))
            return record.sub(pos, size);
    }
    const std::string line = fmt::format("   Warning: invalid record boundary at o3 = {}", record.fileOffset(pos) / 4);
    if (lf_bglRangeFits(record.size(), pos, 2) && record.u16(pos) == kBglHelipadId)
        gf_writeLogNotice(line);
    else
        gf_writeLogLine(line);
    return std::nullopt;
}

void lf_readRecordRef(const BglRecordRef& ref, const std::filesystem::path& bglFile, const BglAirportSink& sink,
                      const BglStream& file)
{
    if (ref.size < kIcaoEnd) {
        gf_writeLogNotice(fmt::format("Airport record at byte {} is too small to contain an ICAO", ref.offset));
        return;
    }
    const BglStream record = file.sub(ref.offset, ref.size);
    const auto text = lf_decodeBglIdentifier(record.u32(40));
    if (!text || text->size() != 4)
        return;
    const IcaoCode icao(*text);
    if (!gf_isKnownAirport(icao)) {
        lf_addScanLogLine(fmt::format("{} is not known", icao));
        return;
    }
    if (gf_isWeeklyTrafficAirport(icao))
        lf_readBglAirportRecord(record, icao, bglFile, sink);
}

// An airport section without a single airport record of the kind this reader
// knows holds its airports in another simulator's format (MSFS 2024's 0x0113,
// P3D's 0xAB): without a word the user could not tell why the scenery gave no
// stands. The ids are named so that the format can be recognised.
void lf_reportUnreadRecords(const std::vector<BglRecordRef>& records, const std::filesystem::path& bglFile)
{
    std::vector<std::uint16_t> ids;
    for (const auto& ref : records) {
        if (ref.id == kBglAirportRecordId)
            return;
        if (std::find(ids.begin(), ids.end(), ref.id) == ids.end())
            ids.push_back(ref.id);
    }
    if (ids.empty())
        return;
    std::string idText;
    for (const std::uint16_t id : ids)
        idText += fmt::format("{}0x{:04X}", idText.empty() ? "" : ", ", id);
    lf_addScanLogLine(fmt::format("Airport records of id {} are not read in '{}'", idText, path_to_utf8(bglFile)));
    ++lv_counts.unreadRecordFiles;
}

void lf_processRecords(std::span<const unsigned char> bytes, const std::filesystem::path& bglFile,
                       const BglAirportSink& sink, BglPhaseReport& report)
{
    report.phase("enumerating");
    const BglWalkResult walk = lf_walkBglAirportSections(bytes);
    if (walk.error) {
        report.phase("parse error");
        if (walk.error->code > 1)
            gf_writeLogNotice(fmt::format("BGL airport section parse error at byte {} in '{}': {}", walk.error->offset,
                                          path_to_utf8(bglFile), walk.error->message));
        return;
    }
    report.phase("processing records");
    lf_reportUnreadRecords(walk.records, bglFile);
    const BglStream file(bytes);
    for (const auto& ref : walk.records)
        if (ref.id == kBglAirportRecordId)
            lf_readRecordRef(ref, bglFile, sink, file);
    report.phase("complete");
}

} // namespace

bool lf_bglHasAirportSection(const std::filesystem::path& bglFile)
{
    BglPhaseReport report(bglFile, "probing header");
    std::ifstream in(bglFile, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff fileSize = in.tellg();
    if (fileSize <= static_cast<std::streamoff>(kBglHeaderSize))
        return false;
    std::vector<unsigned char> head(kBglHeaderSize);
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size())))
        return false;
    std::uint64_t left = *lf_bglReadU32(head, 20);
    if (left == 0 || left > (static_cast<std::uint64_t>(fileSize) - kBglHeaderSize) / kBglSectionEntrySize)
        return false;
    std::vector<unsigned char> table;
    while (left > 0) {
        const std::uint64_t n = std::min(left, kSectionTableChunk);
        table.resize(n * kBglSectionEntrySize);
        if (!in.read(reinterpret_cast<char*>(table.data()), static_cast<std::streamsize>(table.size())))
            return false;
        for (std::uint64_t i = 0; i < n; ++i)
            if (*lf_bglReadU32(table, i * kBglSectionEntrySize) == kBglAirportSectionType)
                return true;
        left -= n;
    }
    return false;
}

std::optional<std::vector<unsigned char>> lf_readWholeFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return std::nullopt;
    if (static_cast<std::uint64_t>(size) > kBglReadLimit) {
        lf_addScanLogLine(fmt::format("'{}' has {} bytes, more than a BGL file is read with ({}); skipped",
                                      path_to_utf8(file), size, kBglReadLimit));
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        return std::nullopt;
    return bytes;
}

void lf_processBGLfile(const std::filesystem::path& bglFile, const BglAirportSink& sink)
{
    BglPhaseReport report(bglFile, "opening");
    try {
        report.phase("reading");
        const auto bytes = lf_readWholeFile(bglFile);
        if (!bytes || bytes->empty()) {
            report.phase("empty");
            return;
        }
        lf_processRecords(*bytes, bglFile, sink, report);
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("Exception in lf_processBGLfile (std::ex): {} \u2014 {}", path_to_utf8(bglFile),
                                      e.what()));
        ++lv_counts.droppedAirports;
        throw;
    } catch (...) {
        gf_writeLogNotice(fmt::format("Exception in lf_processBGLfile: {}", path_to_utf8(bglFile)));
        ++lv_counts.droppedAirports;
        throw;
    }
}

void lf_processBglBytes(std::span<const unsigned char> bytes, const std::filesystem::path& bglFile,
                        const BglAirportSink& sink)
{
    BglPhaseReport report(bglFile, "enumerating");
    lf_processRecords(bytes, bglFile, sink, report);
}

void lf_readBglAirportRecord(const BglStream& record, IcaoCode icao, const std::filesystem::path& bglFile,
                             const BglAirportSink& sink)
{
    BglAirport airport;
    airport.icao = icao;
    airport.bglFile = bglFile;
    airport.altitudeFt = lf_bglAltitudeFeet(record.i32(20));
    if (sink.wantsStands && !sink.wantsStands(airport))
        return;
    try {
        lf_readBglSubrecords(record, airport);
    } catch (const BglBoundsError& e) {
        gf_writeLogNotice(fmt::format("Airport record of {} at byte {} in '{}' skipped: {}", icao,
                                      record.fileOffset(), path_to_utf8(bglFile), e.what()));
        ++lv_counts.droppedAirports;
        return;
    }
    if (airport.stands.empty()) {
        lf_addScanLogLine(fmt::format("{} in '{}' has no stands", icao, path_to_utf8(bglFile)));
        ++lv_counts.airportsWithoutStands;
        return;
    }
    if (sink.take)
        sink.take(airport);
}

const BglReadCounts& lf_bglReadCounts() { return lv_counts; }

void lf_resetBglReadCounts() { lv_counts = {}; }

void lf_readBglSubrecords(const BglStream& record, BglAirport& airport)
{
    if (record.size() < kBglAirportFixedSize)
        throw BglBoundsError(fmt::format("the record has {} bytes, fewer than the {} of an airport record",
                                         record.size(), kBglAirportFixedSize));
    BglStandNames names;
    BglHelipads helipads;
    std::uint64_t pos = kBglAirportFixedSize;
    for (unsigned pass = 0; pos < record.size(); ++pass) {
        if (pass == kBglMaxSubrecordPasses) {
            gf_writeLogNotice("Error: Maximum loop iterations reached (1) \u2014 possible corrupt SIA or malformed input");
            break;
        }
        const auto found = lf_subrecordAt(record, pos);
        if (!found)
            break;
        const BglStream& sub = *found;
        const std::uint16_t id = sub.u16(0);
        if (id == kBglParkingListId) {
            lf_readBglParkingList(sub, airport, names);
            break; // only the first parking list of an airport counts
        }
        if (id == kBglHelipadId)
            lf_readBglHelipad(sub, airport, helipads);
        pos += sub.size();
    }
    airport.helipadCount = helipads.counter - 1;
}

void lf_readBglParkingList(const BglStream& list, BglAirport& airport, BglStandNames& names)
{
    const std::uint32_t count = list.u16(6);
    std::uint64_t pos = 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t airlineCodes = list.u8(pos + 3);
        const BglStream entry = list.sub(pos, kParkingEntrySize + 4 * airlineCodes);
        lf_readParkingEntry(entry, airport, names);
        pos += entry.size();
    }
}

void lf_readBglHelipad(const BglStream& pad, BglAirport& airport, BglHelipads& helipads)
{
    const double latitude = lf_bglLatitude(pad.u32(16));
    const double longitude = lf_bglLongitude(pad.u32(12));
    const float size = pad.f32(28);
    if (!gf_isValidStandPosition(latitude, longitude)) {
        lf_addScanLogLine(fmt::format("lat/lon helipad incorrect (skipped): {}", lf_positionText(latitude, longitude)));
        return;
    }
    for (const auto& [lat, lon] : helipads.positions)
        if (std::fabs(lat - latitude) < 1e-8 && std::fabs(lon - longitude) < 1e-8) {
            lf_addScanLogLine(fmt::format("double helipad  (skipped) {}", lf_positionText(latitude, longitude)));
            return;
        }
    if (!std::isfinite(size) || !(size > 0.0f)) {
        lf_addScanLogLine(fmt::format("helipad of no valid size (skipped): {}", lf_positionText(latitude, longitude)));
        return;
    }
    helipads.positions.emplace_back(latitude, longitude);
    ParkPos stand = lf_makeBglStand(fmt::format("helipad{}", helipads.counter++), latitude, longitude, 0);
    stand.radius = size * 0.5 / kMetresPerNm;
    stand.helipad = 1;
    airport.stands.push_back(std::move(stand));
}

std::optional<std::string> lf_uniqueStandId(const std::string& name, BglStandNames& names)
{
    if (names.insert(name).second)
        return name;
    for (char suffix = 'a'; suffix <= 'j'; ++suffix)
        if (std::string candidate = name + suffix; names.insert(candidate).second)
            return candidate;
    lf_addScanLogLine(fmt::format("===> Warning: more than 10 duplicate IDs {}", name));
    return std::nullopt;
}

BglPhaseReport::BglPhaseReport(std::filesystem::path file, const char* phase)
    : file_(std::move(file)), phase_(phase), start_(std::chrono::steady_clock::now())
{
}

BglPhaseReport::~BglPhaseReport()
{
    try {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        if (elapsed < std::chrono::seconds(1))
            return;
        std::error_code ec;
        const auto size = std::filesystem::file_size(file_, ec);
        const std::string sizeText = ec ? std::string("unknown size") : fmt::format("{} bytes", size);
        gf_writeLogNotice(fmt::format("Slow BGL processing: {:.2f} s, {}, phase {}, file '{}'", elapsed.count(),
                                      sizeText, phase_, path_to_utf8(file_)));
    } catch (...) {
        // a report must never end the scan
    }
}

} // namespace zelk
