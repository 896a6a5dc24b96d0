#include "feed/RTAPIRecords.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "feed/RTAPIProtocol.h"
#include "feed/RTAPIReaderState.h"
#include "feed/RTAppProtocol.h"
#include "traffic/TrafficIntake.h"

namespace zelk {
namespace {

// Indices of a traffic array.
enum TrafficItem : std::size_t {
    kHexId = 0, kLat = 1, kLon = 2, kTrack = 3, kAltitude = 4, kGs = 5, kSquawk = 6, kType = 8,
    kRegistration = 9, kTime = 10, kOrigin = 11, kDestination = 12, kCallsign = 13, kVs = 15, kSource = 17,
    kTas = 20, kRoll = 23, kTrueHeading = 25, kCategory = 28, kAirline = 48,
};
// Indices of a parked array.
enum ParkedItem : std::size_t {
    kParkLat = 0, kParkLon = 1, kParkStand = 2, kParkType = 3, kParkRegistration = 4, kParkTime = 5,
    kParkCallsign = 6,
};

[[noreturn]] void lf_wrongType(std::string_view name, const nlohmann::json& value, std::string_view wanted)
{
    throw std::runtime_error(fmt::format("{}: {} instead of {}", name, value.type_name(), wanted));
}

// A number slot: a JSON number or a quoted number; nullopt for null, "" and "null".
std::optional<double> lf_optionalNumber(const nlohmann::json& value, std::string_view name)
{
    if (value.is_null()) return std::nullopt;
    if (value.is_number()) {
        const double number = value.get<double>();
        if (!std::isfinite(number)) throw std::runtime_error(fmt::format("{}:{}", name, number));
        return number;
    }
    if (!value.is_string()) lf_wrongType(name, value, "a number");
    const auto& text = value.get_ref<const std::string&>();
    if (text.empty() || text == "null") return std::nullopt;
    return gf_parseRTAppNumber(name, text);
}

double lf_number(const nlohmann::json& value, std::string_view name)
{
    const auto number = lf_optionalNumber(value, name);
    if (!number) throw std::runtime_error(fmt::format("{}: missing", name));
    return *number;
}

// The squawk is a text in real replies and a number in some documents: a
// number becomes its four digits, so 0 still reads as "0000".
std::string lf_squawk(const nlohmann::json& value)
{
    if (value.is_number_integer() || value.is_number_unsigned()) {
        const auto code = value.get<std::int64_t>();
        if (code < 0 || code > 9999) throw std::runtime_error(fmt::format("squawk:{}", code));
        return fmt::format("{:04d}", code);
    }
    return std::string(gf_rtApiText(value, "squawk"));
}

const nlohmann::json& lf_array(const nlohmann::json& item, std::size_t minimum, std::string_view what)
{
    if (!item.is_array()) lf_wrongType(what, item, "an array");
    if (item.size() < minimum)
        throw std::runtime_error(fmt::format("{} of {} items, {} required", what, item.size(), minimum));
    return item;
}

std::uint32_t lf_hexId(const nlohmann::json& value)
{
    if (!value.is_string()) lf_wrongType("hexid", value, "a text");
    return gf_parseRTAppHexId("hexid", value.get_ref<const std::string&>());
}

} // namespace

void parseTrafficRecord(const nlohmann::json& item, const IntakeContext& context, TrafficBatch& batch)
{
    parseTrafficRecord(item, context, batch, gf_recordClock(gf_rtApiReaderState().timeShiftMinutes.load()));
}

void parseTrafficRecord(const nlohmann::json& item, const IntakeContext& context, TrafficBatch& batch,
                        const RecordClock& clock)
{
    const auto& a = lf_array(item, kRTAPITrafficItems, "traffic array");
    TrafficFields fields;
    fields.hexId = lf_hexId(a[kHexId]);
    fields.time = lf_number(a[kTime], "timestamp");
    fields.latitude = lf_number(a[kLat], "lat");
    fields.longitude = lf_number(a[kLon], "lon");
    fields.altitude = lf_number(a[kAltitude], "altitude");
    fields.groundSpeed = lf_number(a[kGs], "gs");
    fields.verticalSpeed = lf_optionalNumber(a[kVs], "vs").value_or(0.0);
    fields.track = lf_optionalNumber(a[kTrack], "track").value_or(0.0);
    // A negative true heading stands for none; -1 is the builder's "not reported".
    fields.trueHeading = lf_optionalNumber(a[kTrueHeading], "trueheading").value_or(-1.0);
    fields.roll = lf_optionalNumber(a[kRoll], "roll").value_or(-1.0);
    fields.trueAirspeed = lf_optionalNumber(a[kTas], "TAS").value_or(-1.0);
    fields.callsign = gf_rtApiText(a[kCallsign], "callsign");
    fields.type = gf_rtApiText(a[kType], "type");
    fields.registration = gf_rtApiText(a[kRegistration], "registration");
    fields.origin = gf_rtApiText(a[kOrigin], "origin");
    fields.destination = gf_rtApiText(a[kDestination], "destination");
    fields.source = gf_rtApiText(a[kSource], "source");
    fields.emitterCategory = gf_rtApiText(a[kCategory], "category");
    if (a.size() > kAirline) fields.airlineCode = gf_rtApiText(a[kAirline], "airline");
    const std::string squawk = lf_squawk(a[kSquawk]);
    fields.code4 = squawk;
    gf_checkRecordBounds(fields, clock);

    TrafficIntakeResult result = gf_buildTrafficRecord(fields, context);
    if (result.seenId) {
        if (!result.seenId->callsign.empty()) batch.callsigns.insert(result.seenId->callsign);
        batch.hexIds.insert(result.seenId->hexId);
    }
    if (result.record) batch.records.push_back(std::move(*result.record));
}

std::optional<ParkedTrafficRecord> parseParkedRecord(std::string_view hexKey, const nlohmann::json& item,
                                                     const IntakeContext& context)
{
    const auto& a = lf_array(item, kRTAPIParkedItemsMin, "parked array");
    ParkedFields fields;
    fields.hexId = gf_parseRTAppHexId("hexid", hexKey);
    fields.latitude = lf_number(a[kParkLat], "lat");
    fields.longitude = lf_number(a[kParkLon], "lon");
    fields.stand = gf_rtApiText(a[kParkStand], "stand");
    fields.type = gf_rtApiText(a[kParkType], "type");
    fields.registration = gf_rtApiText(a[kParkRegistration], "registration");
    fields.time = std::llround(lf_number(a[kParkTime], "timestamp"));
    fields.callsign = gf_rtApiText(a[kParkCallsign], "callsign");
    return gf_buildParkedRecord(fields, context);
}

} // namespace zelk
