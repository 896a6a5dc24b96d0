#include "airports/FacilityStands.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>

#include <fmt/format.h>

#include "airports/BglFormat.h"
#include "airports/BglReader.h"
#include "core/Log.h"
#include "simlink/FacilityReader.h"
#include "simlink/SimClient.h"

namespace zelk {

namespace {

constexpr std::chrono::milliseconds kFacilityTimeout{30'000};
constexpr double kMetresPerNm = 1852.0;

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
    lv_connection.reader = std::make_unique<FacilityReader>(*lv_connection.port, timing);
    return true;
}

void lf_addStand(const FacilityStand& s, ApfParameters& record, BglStandNames& names)
{
    if (s.type == static_cast<std::uint32_t>(StandType::NONE) || s.type == static_cast<std::uint32_t>(StandType::VEHICLE) ||
        s.type >= kStandTypeCount || !gf_isValidStandPosition(s.latitude, s.longitude) || !std::isfinite(s.heading))
        return;
    auto name = lf_uniqueStandId(s.name, names);
    if (!name)
        return;
    ParkPos stand = lf_makeBglStand(std::move(*name), s.latitude, s.longitude, s.type);
    stand.heading = s.heading == 0.0 ? 2.0 * std::numbers::pi : s.heading * std::numbers::pi / 180.0;
    stand.radius = s.radiusM / kMetresPerNm;
    record.stands.push_back(std::move(stand));
}

} // namespace

bool gf_readFacilityStands(ApfParameters& record, std::uint32_t& helipadCount)
{
    helipadCount = 0;
    if (!lf_ensureReader())
        return false;
    auto data = lv_connection.reader->read(record.icao);
    if (!data || !data->found)
        return false;
    BglStandNames names;
    for (const auto& s : data->stands)
        lf_addStand(s, record, names);
    for (const auto& h : data->helipads) {
        if (!gf_isValidStandPosition(h.latitude, h.longitude))
            continue;
        ParkPos pad = lf_makeBglStand(fmt::format("helipad{}", ++helipadCount), h.latitude, h.longitude, 0);
        pad.radius = std::max(h.lengthM, h.widthM) * 0.5 / kMetresPerNm;
        pad.helipad = 1;
        record.stands.push_back(std::move(pad));
    }
    return true;
}

void gf_closeParkingDataReader()
{
    if (!lv_connection.reader && !lv_connection.port)
        return;
    lv_connection.reader.reset();
    lv_connection.port.reset();
    gf_writeLogLine("SimConnect (PARKING_DATA_RDR) closed");
}

} // namespace zelk
