#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "liveries/AircraftDatabase.h"
#include "simlink/IataCode.h"

namespace zelk {

struct SettingsSnapshot;

// One timed position of an aircraft's stream.
struct PosSample {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double altitude = 0.0;      // ft; 0 = on the ground
    double groundSpeed = 0.0;   // kt
    double heading = 0.0;       // degrees
    double verticalSpeed = 0.0; // ft per minute
    double trueAirspeed = 0.0;  // kt; carried into the pose's speed when the aircraft is placed
    std::int32_t dueTick = 0;   // engine tick at which the sample becomes due
    std::uint8_t airborne = 0;  // the report puts the aircraft in the air
    std::uint8_t skip = 0;      // repeat: a position the aircraft already holds or stands at
    std::uint8_t trueHeadingFlag = 0; // trueHeading below is present
    std::uint8_t extra = 0;
    std::optional<double> bank;        // radians
    std::optional<double> trueHeading; // radians
};

// The identity of a received aircraft, shared by the intake records and the
// aircraft records.
struct TrafficRecordHead {
    LiveryKey key;          // the intake sets airline, model and cargo
    IataCode origin;
    IataCode destination;
    std::uint8_t flag = 0;  // scheduled-flight match has run (aircraft records); 0 on intake
    std::string callsign;   // normalised, may be empty
    std::string callsign2;  // the engine's copy of the callsign; takes the old one at a change
    std::string text3;      // emptied at creation and at a callsign change
    std::string registration; // may be empty
};

// One received aircraft.
struct TrafficRecord {
    TrafficRecordHead head;
    PosSample sample;
    double time = 0.0;        // the report's Unix time in seconds, as received
    std::uint32_t hexId = 0;  // 24-bit ICAO address, always above 10000
};

// The records of one delivery, with the ids the web-API reader collected for it.
struct TrafficBatch {
    std::vector<TrafficRecord> records; // in the order received
    std::unordered_set<std::string> callsigns;
    std::unordered_set<std::uint32_t> hexIds;
    std::int64_t batchTime = 0; // Unix seconds reported by the service; 0 when unknown

    void clear()
    {
        records.clear();
        callsigns.clear();
        hexIds.clear();
        batchTime = 0;
    }
};

// The parsed view of one received aircraft; the texts point into the received
// message and must not outlive it.
struct TrafficFields {
    double time = 0.0;          // Unix seconds, fractional
    std::uint32_t hexId = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;      // ft as reported
    double verticalSpeed = 0.0; // ft per minute
    double track = 0.0;         // degrees; 0 when the feed leaves it empty
    double groundSpeed = 0.0;   // kt
    double trueHeading = 0.0;   // degrees; only meaningful for source "adsb_icao"
    double roll = 0.0;          // degrees
    double trueAirspeed = -1.0; // kt; -1.0 = not reported
    std::string_view callsign;
    std::string_view type;
    std::string_view registration;
    std::string_view origin;
    std::string_view destination;
    std::string_view source;
    std::string_view emitterCategory;
    std::string_view airlineCode;
    std::string_view code4; // the web API's four-character field; empty for the app
};

// The user's airport as the intake needs it for the ground rule: packed code
// (0 = none) and reference position.
struct UserAirportSpot {
    std::uint32_t code = 0;
    double latitude = 0.0;
    double longitude = 0.0;
};

// What a reader hands the builder with each report.
struct IntakeContext {
    double centreLatitude = 0.0;  // the user aircraft as the reader last knew it
    double centreLongitude = 0.0;
    double lonScale = 1.0;        // cos(centre latitude)
    std::optional<double> userAirportAltitudeFt;
    std::int32_t qnh = 0;         // hPa, the reader's latest METAR value; 0 = none yet
    std::shared_ptr<const SettingsSnapshot> settings; // null while none is available
    std::uint8_t idCollection = 0;
    std::uint8_t fromWebApi = 0;
    std::uint8_t fromLocalApp = 0;
    // The user airport, read by the reader under the user-aircraft lock when it
    // builds the context; empty = no user airport.
    std::optional<UserAirportSpot> userAirport;
};

struct SeenId {
    std::string callsign;
    std::uint32_t hexId = 0;
};

struct TrafficIntakeResult {
    std::int64_t roundedTime = 0; // 0 when the time was not checked
    std::optional<TrafficRecord> record;
    std::optional<SeenId> seenId;
};

} // namespace zelk
