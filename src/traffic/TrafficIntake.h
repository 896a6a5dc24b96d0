#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Geometry.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

struct BlockedAircraft;

struct RecordTimeAndRange {
    std::int64_t roundedTime = 0;
    bool inRange = false;
};

// The intake of one live or history report: validates it, normalises the
// identity texts, resolves airline and model, corrects the altitude and builds
// the record. Throws std::runtime_error for a bad time, position or true heading
// and std::invalid_argument for a bad IATA text; every other rejection is a
// silent drop (no record in the result).
TrafficIntakeResult gf_buildTrafficRecord(const TrafficFields& fields, const IntakeContext& context);

// Time check (throws for a time outside (0, 2^63) or an invalid position) and the
// flat range test around the context's centre; {0, false} without settings.
RecordTimeAndRange gf_checkRecordTimeAndRange(const TrafficFields& fields, const IntakeContext& context);

// A text of the feed as the intake takes it: each ill-formed UTF-8 part
// replaced by U+FFFD, the hidden characters of gf_isHiddenCharacter (controls,
// format characters, line and paragraph separators) dropped, surrounding
// blanks trimmed. Real app lines carry a blank before the registration
// (" N835AN"), and any peer on the network may send escape sequences,
// reordering marks or line breaks that must not reach the simulator, the
// window or the log.
std::string gf_cleanFeedText(std::string_view text);
// Airline texts longer than this are no airline code and name none.
inline constexpr std::size_t kMaxAirlineCodeLength = 8;

std::string gf_normaliseCallsign(const std::string& callsign);
// A received registration: "null" and texts outside 3..12 characters give empty.
std::string gf_normaliseRegistration(std::string_view registration);
// A B777 of a cargo airline is the freighter: the type becomes "B77F". Returns
// the cargo flag of the record (1 only then).
std::uint8_t gf_applyCargoModel(std::string& type, const LiveryKey& key);
// The database's correction of a type designator, or the text unchanged.
std::string gf_applyModelFix(std::string_view type);
bool gf_acceptAircraftType(const std::string& type, const std::string& emitterCategory);
bool gf_isNonAircraftType(std::string_view type);

// "null" and the empty text give the empty code; anything else must be a valid IATA text.
IataCode gf_iataFromField(std::string_view text);

std::string gf_formatLatLon(double latitude, double longitude);

bool gf_containsChar(const std::string& text, char c);
bool gf_containsChar(std::string_view text, char c);
bool gf_containsText(const std::string& text, const char* part);

} // namespace zelk
