#include "airports/FacilityStands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "airports/BglFormat.h"
#include "airports/BglReader.h"
#include "airports/ScanLog.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Strings.h"
#include "gui/WaitClock.h"
#include "simlink/FacilityReader.h"
#include "simlink/SimClient.h"

namespace zelk {

namespace {

constexpr std::chrono::milliseconds kFacilityTimeout{30'000};
constexpr const char* kConnectionName = "PARKING_DATA_RDR";
// Airports lie between the Dead Sea's -1,300 ft and about 14,500 ft; a value
// far outside is a damaged record, not an altitude.
constexpr double kLowestAirportFt = -2000.0;
constexpr double kHighestAirportFt = 20000.0;
constexpr double kSamePadDeg = 1e-8;

struct ParkingDataReader {
    std::unique_ptr<SimPort> port;
    std::unique_ptr<FacilityReader> reader;
};
ParkingDataReader lv_connection;

bool lf_ensureReader()
{
    if (lv_connection.reader)
        return true;
    lv_connection.port = gf_makeSimPort();
    if (!lv_connection.port)
        return false;
    FacilityReaderTiming timing;
    timing.timeout = kFacilityTimeout;
    timing.sleep = [](std::chrono::milliseconds d) { gf_sleepFor(d); };
    lv_connection.reader = std::make_unique<FacilityReader>(*lv_connection.port, timing, kConnectionName);
    return true;
}

// The simulator's name field holds 32 bytes, so a long UTF-8 name may end in
// a cut character; the airport file must get valid UTF-8.
std::string lf_airportNameText(const std::string& name)
{
    std::string text = gf_trim(name);
    for (int cut = 0; cut <= 3 && !text.empty(); ++cut) {
        try {
            utf8_to_wide(text);
            return text;
        } catch (const std::runtime_error&) {
            text.pop_back();
        }
    }
    std::string ascii;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x80)
            ascii += c;
    return gf_trim(ascii);
}

// The airport record's own values: what the generated airport file, the
// user-airport record and the feed's ground band take from it.
void lf_takeAirportRecord(const sim_event::Facilities& data, ApfParameters& record)
{
    record.icao = data.airport.isSet() ? data.airport : record.icao;
    record.airportName = lf_airportNameText(data.airportName);
    if (gf_isValidStandPosition(data.latitude, data.longitude)) {
        record.latitude = data.latitude;
        record.longitude = data.longitude;
    }
    if (std::isfinite(data.altitudeFt) && data.altitudeFt >= kLowestAirportFt && data.altitudeFt <= kHighestAirportFt)
        record.altitude = static_cast<std::int32_t>(std::lround(data.altitudeFt));
    else
        gf_writeLogLine(fmt::format("Facility data of {} give no usable altitude ({})", record.icao, data.altitudeFt));
}

void lf_addStand(const FacilityStand& s, ApfParameters& record, BglStandNames& names)
{
    if (s.type == static_cast<std::uint32_t>(StandType::NONE) || s.type == static_cast<std::uint32_t>(StandType::VEHICLE) ||
        s.type >= kStandTypeCount || !gf_isValidStandPosition(s.latitude, s.longitude))
        return;
    // A stand of no size cannot be written to an airport file; kept, it
    // would cost the whole airport its file.
    if (!std::isfinite(s.heading) || !std::isfinite(s.radiusM) || !(s.radiusM > 0.0)) {
        lf_addScanLogLine(fmt::format("{} has no valid heading or radius (skipped)", s.name));
        return;
    }
    auto name = lf_uniqueStandId(s.name, names);
    if (!name)
        return;
    ParkPos stand = lf_makeBglStand(std::move(*name), s.latitude, s.longitude, s.type);
    stand.heading = s.heading == 0.0 ? 2.0 * std::numbers::pi : s.heading * std::numbers::pi / 180.0;
    stand.radius = s.radiusM / kMetresPerNm;
    record.stands.push_back(std::move(stand));
}

} // namespace

FacilityRead gf_readFacilityStands(ApfParameters& record, std::uint32_t& helipadCount)
{
    helipadCount = 0;
    if (!lf_ensureReader())
        return FacilityRead::Failed;
    auto data = lv_connection.reader->read(record.icao);
    if (!data)
        return FacilityRead::Failed;
    if (!data->found)
        return FacilityRead::NotKnown;
    lf_takeAirportRecord(*data, record);
    BglStandNames names;
    for (const auto& s : data->stands)
        lf_addStand(s, record, names);
    // Pads are numbered as the BGL reader numbers them, a pad given twice at
    // one spot counted once, so that a pad keeps its name and what was learned
    // there whichever source the airport file came from.
    std::vector<std::pair<double, double>> padPositions;
    for (const auto& h : data->helipads) {
        if (!gf_isValidStandPosition(h.latitude, h.longitude))
            continue;
        const bool twice = std::any_of(padPositions.begin(), padPositions.end(), [&](const auto& p) {
            return std::fabs(p.first - h.latitude) < kSamePadDeg && std::fabs(p.second - h.longitude) < kSamePadDeg;
        });
        if (twice) {
            lf_addScanLogLine(fmt::format("double helipad {} (skipped) {:.6f},{:.6f}", record.airportName, h.latitude,
                                          h.longitude));
            continue;
        }
        const double size = std::max(h.lengthM, h.widthM);
        if (!std::isfinite(h.lengthM) || !std::isfinite(h.widthM) || !(size > 0.0)) {
            lf_addScanLogLine(fmt::format("helipad of no valid size (skipped): {:.6f},{:.6f}", h.latitude, h.longitude));
            continue;
        }
        padPositions.emplace_back(h.latitude, h.longitude);
        ParkPos pad = lf_makeBglStand(fmt::format("helipad{}", ++helipadCount), h.latitude, h.longitude, 0);
        pad.radius = size * 0.5 / kMetresPerNm;
        pad.helipad = 1;
        record.stands.push_back(std::move(pad));
    }
    return FacilityRead::Read;
}

void gf_closeParkingDataReader()
{
    if (!lv_connection.reader && !lv_connection.port)
        return;
    if (lv_connection.reader && lv_connection.reader->isOpen())
        gf_writeLogLine(lv_connection.reader->close() == kPortOk ? "SimConnect closed ok" : "Closing SimConnect failed?!");
    lv_connection.reader.reset();
    lv_connection.port.reset();
    gf_writeLogLine(fmt::format("SimConnect ({}) closed", kConnectionName));
}

} // namespace zelk
