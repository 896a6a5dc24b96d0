#include "traffic/TrafficIntake.h"

#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "liveries/AircraftDatabase.h"
#include "traffic/AcTextForms.h"
#include "traffic/AltitudeCorrection.h"
#include "traffic/BlockedAircraft.h"
#include "traffic/FlatDistance.h"

namespace zelk {
namespace {

// Default true airspeed by corrected altitude when the feed reports none.
double lf_trueAirspeedForAltitude(double altitudeFt)
{
    if (altitudeFt <= 2000.0) return 180.0;
    if (altitudeFt <= 5000.0) return 220.0;
    if (altitudeFt <= 10000.0) return 250.0;
    if (altitudeFt <= 20000.0) return 350.0;
    return 430.0;
}

// Within the ground radius of a known user airport: the only place where
// ground traffic is taken in.
bool lf_withinGroundRadius(const PosSample& sample, const IntakeContext& context)
{
    if (!context.userAirport || context.userAirport->code == 0) return false;
    const UserAirportSpot& airport = *context.userAirport;
    if (!gf_isValidLalo(airport.latitude, airport.longitude)) return false;
    return gf_withinGroundRadius(LatLon{sample.latitude, sample.longitude},
                                 LatLon{airport.latitude, airport.longitude});
}

} // namespace

std::string gf_formatLatLon(double latitude, double longitude)
{
    return fmt::format("{:.6f},{:.6f}", latitude, longitude);
}

bool gf_containsChar(const std::string& text, char c) { return text.find(c) != std::string::npos; }
bool gf_containsChar(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }
bool gf_containsText(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

RecordTimeAndRange gf_checkRecordTimeAndRange(const TrafficFields& fields, const IntakeContext& context)
{
    if (!context.settings) return {0, false};
    constexpr double kTimeLimit = 9223372036854775808.0; // 2^63
    if (!(std::isfinite(fields.time) && fields.time > 0.0 && fields.time < kTimeLimit))
        throw std::runtime_error(fmt::format("timestamp outside range: {:.3f}", fields.time));
    const std::int64_t rounded = std::llround(fields.time);
    if (!gf_isValidLalo(fields.latitude, fields.longitude))
        throw std::runtime_error(fmt::format("invalid lalo: {}", gf_formatLatLon(fields.latitude, fields.longitude)));
    const double dLat = (context.centreLatitude - fields.latitude) * 60.0;
    const double dLon = gf_wrapLongitudeDelta(context.centreLongitude, fields.longitude) * context.lonScale * 60.0;
    return {rounded, dLon * dLon + dLat * dLat <= context.settings->rangeNmSquared};
}

std::string gf_cleanFeedText(std::string_view text)
{
    // The simulator's look-ups, the window and the log take UTF-8 only. Made
    // whole first, so that a character dropped between two bytes cannot join
    // them into a character the peer did not send whole. A hidden character
    // would show a tail number or a log line reordered or broken, or make two
    // identities that look alike differ.
    const std::string whole = gf_replaceInvalidUtf8(text);
    std::string clean;
    clean.reserve(whole.size());
    for (std::size_t i = 0; i < whole.size();) {
        const std::size_t hidden = gf_hiddenCharacterLength(std::string_view(whole).substr(i));
        if (hidden > 0) {
            i += hidden;
            continue;
        }
        clean += whole[i++];
    }
    const auto first = clean.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    clean.erase(clean.find_last_not_of(' ') + 1);
    clean.erase(0, first);
    return clean;
}

std::string gf_normaliseCallsign(const std::string& callsign)
{
    if (callsign.empty() || callsign == "null" || gf_containsChar(callsign, '@')) return {};
    if (callsign.size() >= 5 && gf_containsText(callsign, "00000")) return {};
    if (callsign.size() < 3 || callsign.size() > 8) return {};
    std::string result = callsign.front() == '.' ? callsign.substr(1) : callsign;
    if (result.size() < 3) return {};
    return result;
}

std::string gf_normaliseRegistration(std::string_view registration)
{
    if (registration == "null" || registration.size() < 3 || registration.size() > 12) return {};
    return std::string(registration);
}

std::uint8_t gf_applyCargoModel(std::string& type, const LiveryKey& key)
{
    if (type != "B777" || !gf_isCargoKey(key)) return 0;
    type = "B77F";
    return 1;
}

std::string gf_applyModelFix(std::string_view type)
{
    if (auto fixed = gf_dbaseModelFix(type)) return *fixed;
    return std::string(type);
}

bool gf_isNonAircraftType(std::string_view type)
{
    if (type.size() < 2 || type.size() > 4) return true;
    static constexpr std::array<std::string_view, 5> kThree{"FOX", "GND", "RF5", "TWR", "U15"};
    static constexpr std::array<std::string_view, 16> kFour{"ARCP", "AS16", "BALL", "DIMO", "EMER", "GLID",
                                                            "GLIM", "GRND", "JS3E", "PARA", "SERV", "SHIP",
                                                            "SF25", "ULAC", "VENT", "ZZZZ"};
    if (type.size() == 3) {
        for (auto code : kThree)
            if (type == code) return true;
    } else if (type.size() == 4) {
        for (auto code : kFour)
            if (type == code) return true;
    }
    return false;
}

bool gf_acceptAircraftType(const std::string& type, const std::string& emitterCategory)
{
    if (type.empty() || type == "null" || type == "0" || type == "ZZZZ") return false;
    for (const char* category : {"B1", "B2", "B4", "C1", "C2"})
        if (emitterCategory == category) return false;
    return !gf_isNonAircraftType(type);
}

IataCode gf_iataFromField(std::string_view text)
{
    // The readers turn a JSON null into an empty text; general-aviation flights
    // and some airliners on the ground come without a route and are traffic all the same.
    if (text.empty() || text == "null") return IataCode{};
    return IataCode(text);
}

TrafficIntakeResult gf_buildTrafficRecord(const TrafficFields& fields, const IntakeContext& context)
{
    TrafficIntakeResult result;
    // 1. time and range
    const RecordTimeAndRange checked = gf_checkRecordTimeAndRange(fields, context);
    result.roundedTime = checked.roundedTime;
    if (!checked.inRange) return result;
    const SettingsSnapshot& settings = *context.settings;

    // 2. the record
    TrafficRecord record;
    record.sample.latitude = fields.latitude;
    record.sample.longitude = fields.longitude;
    record.time = fields.time;
    TrafficRecordHead& head = record.head;

    // 3. registration
    head.registration = gf_normaliseRegistration(gf_cleanFeedText(fields.registration));
    // 4. callsign
    head.callsign = gf_normaliseCallsign(gf_cleanFeedText(fields.callsign));
    // 5. type
    std::string type = gf_applyModelFix(gf_cleanFeedText(fields.type));
    if (!gf_acceptAircraftType(type, gf_cleanFeedText(fields.emitterCategory))) return result;
    // 6. airline
    const std::string airline = gf_cleanFeedText(fields.airlineCode);
    if (!airline.empty() && airline.size() <= kMaxAirlineCodeLength)
        head.key.airline = gf_airlineCode2Index(airline);
    else if (!head.callsign.empty())
        gf_airlineFromCallsign(head);
    // 7. cargo
    head.key.cargo = gf_applyCargoModel(type, head.key);
    // 8. model
    head.key.model = gf_modelCode2Index(type);
    // 9. true heading
    if (fields.source == "adsb_icao") {
        const double th = fields.trueHeading;
        if (th == 0.0) {
            record.sample.trueHeading = 2.0 * std::numbers::pi;
        } else if (th > 0.0 && th <= 360.0) {
            record.sample.trueHeading = th * kDegToRad;
        } else if (th > 360.0) {
            throw std::runtime_error(fmt::format("true heading: {:.2f}", th));
        }
        if (record.sample.trueHeading) record.sample.trueHeadingFlag = 1;
    }
    // 10. hex id
    record.hexId = fields.hexId;
    if (record.hexId <= 10000) return result;
    // 11. altitude and ground speed
    record.sample.altitude = fields.altitude;
    record.sample.groundSpeed = fields.groundSpeed;
    // Only near the user's airport can a low report be an aircraft on the ground:
    // farther out, at a high airport, it is one flying below the airport's level.
    const bool nearUserAirport = lf_withinGroundRadius(record.sample, context);
    gf_correctAltitude(record.sample, nearUserAirport ? context.userAirportAltitudeFt : std::nullopt, context.qnh,
                       gf_altitudeReference(context.fromWebApi != 0));
    // 12. airborne
    record.sample.airborne = record.sample.altitude > 0.0 ? 1 : 0;
    if (record.sample.airborne && gf_modelCategory(head.key.model) != AcCategory::Rotorcraft &&
        !(std::isfinite(record.sample.groundSpeed) && record.sample.groundSpeed > 0.0))
        return result;
    // 13. seen id of the local app
    if (context.fromLocalApp && context.idCollection) result.seenId = SeenId{head.callsign, record.hexId};
    // 14. identity
    if (head.registration.empty() && head.callsign.empty()) return result;
    // 15. web API ground reports without a position source
    if (context.fromWebApi && !record.sample.airborne && fields.code4 == "0000") return result;
    // 16. seen id of the web API
    if (context.fromWebApi && context.idCollection) result.seenId = SeenId{head.callsign, record.hexId};
    // 17. ground traffic only near the user's airport
    if (!record.sample.airborne && !nearUserAirport) return result;
    // 18. blocked aircraft
    if (!settings.blocked.BLOCK_AIRCRAFT.empty() && !gf_checkBlockedAircraft(record, settings.blocked)) return result;
    // 19. heading
    record.sample.heading = fields.track;
    if (fields.track == 0.0 && record.sample.trueHeading)
        record.sample.heading = *record.sample.trueHeading * kRadToDeg;
    // 20. vertical speed
    record.sample.verticalSpeed = std::isfinite(fields.verticalSpeed) ? fields.verticalSpeed : 0.0;
    // 21. origin and destination
    head.origin = gf_iataFromField(fields.origin);
    head.destination = gf_iataFromField(fields.destination);
    // 22. bank
    if (record.sample.airborne && fields.roll != -1.0 && std::isfinite(fields.roll) && std::fabs(fields.roll) <= 90.0)
        record.sample.bank = -fields.roll * kDegToRad;
    // 23. true airspeed
    record.sample.trueAirspeed = fields.trueAirspeed;
    if (fields.trueAirspeed == -1.0) record.sample.trueAirspeed = lf_trueAirspeedForAltitude(record.sample.altitude);
    // 24.
    result.record = std::move(record);
    return result;
}

} // namespace zelk
