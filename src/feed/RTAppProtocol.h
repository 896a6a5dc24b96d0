#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simlink/UserAcPosition.h"

namespace zelk {

// The RealTraffic app's local protocol (docs/feed-protocol.md): line texts,
// field cutting, the messages we send and the weather datagram.

inline constexpr std::uint16_t kRTAppTrafficPort = 49005;
inline constexpr std::uint16_t kRTAppWeatherPort = 49004;
// Pressures given in inches of mercury (times 100 in METAR groups) become hPa.
inline constexpr double kHpaPerInHg = 33.8639;
// Longest line, records per batch and TCP reply the readers take.
inline constexpr std::size_t kMaxRTAppLineBytes = 4096;
inline constexpr std::size_t kMaxRTAppBatchRecords = 5000;
inline constexpr std::size_t kMaxRTAppReplyBytes = 16384;
// Fields a line of each kind must have (the tag counts).
inline constexpr std::size_t kRTTrafficFieldCount = 44;
inline constexpr std::size_t kRTParkFieldCount = 9;

struct RTAppUdpPorts {
    std::uint16_t traffic = kRTAppTrafficPort;
    std::uint16_t weather = kRTAppWeatherPort;
};
// The ports of the two readers; ZELK_RTAPP_UDP_PORTS="<traffic>,<weather>"
// moves them (so tests can run side by side). A malformed value is ignored.
RTAppUdpPorts gf_rtAppUdpPorts();
std::optional<RTAppUdpPorts> gf_parseRTAppUdpPorts(std::string_view text);

// The lines of one datagram: cut at LF, a CR before it dropped, a last line
// without LF kept, empty lines skipped.
std::vector<std::string_view> gf_splitDatagramLines(std::string_view datagram);
// The comma fields of a line; "null" reads as an empty field.
std::vector<std::string_view> gf_splitRTAppFields(std::string_view line);

// An aircraft's hex id is its 24-bit ICAO address: a larger one is no
// aircraft's and is bad input like any other impossible value.
inline constexpr std::uint32_t kMaxFeedHexId = 0xFFFFFF;

// Numbers of a line. A text that is not entirely a finite number throws
// std::runtime_error "{name}:{text}"; so does a hex id (given in decimal or
// hexadecimal) above kMaxFeedHexId.
double gf_parseRTAppNumber(std::string_view name, std::string_view text);
std::uint32_t gf_parseRTAppDecimalId(std::string_view name, std::string_view text);
std::uint32_t gf_parseRTAppHexId(std::string_view name, std::string_view text);

// --- What we send on the TCP link (ours end in CRLF) ---
inline constexpr std::string_view kRTAppVersionRequest = "Qs999=version\r\n";
inline constexpr std::string_view kRTAppBufferRequest = "Qs999=sendbuffer\r\n";
// "Qs121=" with the user aircraft as PSX gives it: pitch and bank in radians
// x 100,000, true heading in radians, altitude in ft x 1,000, true airspeed in
// kt x 1,000, latitude and longitude in radians.
std::string gf_formatRTAppPosition(const UserAcPosition& user);
// "Qs123=" with the simulator time in milliseconds since 1970.
std::string gf_formatRTAppSimTime(std::int64_t simulatorSeconds);
// "Qs999=sendparked,south,west,north,east" for the 6-NM box around a point.
std::string gf_formatRTAppParkedRequest(double latitude, double longitude);

// The box of a parked request, decoded (for the app's side and tests).
struct RTAppBox {
    double south = 0.0;
    double west = 0.0;
    double north = 0.0;
    double east = 0.0;
    bool contains(double latitude, double longitude) const
    {
        return latitude >= south && latitude <= north && longitude >= west && longitude <= east;
    }
};
std::optional<RTAppBox> gf_parseRTAppParkedRequest(std::string_view line);
// The box of a parked-traffic request around a point (either source):
// +-0.04996402877697842 degrees of latitude, 3 NM west and east.
RTAppBox gf_parkedRequestBox(double latitude, double longitude);
// The box halfWidthFt west and east and halfHeightDeg north and south of a point.
RTAppBox gf_boxAround(double latitude, double longitude, double halfHeightDeg, double halfWidthFt);

// --- Weather (one JSON object per datagram) ---
struct RTAppWeather {
    std::string station;         // "ICAO"
    std::string metar;           // "METAR"
    std::optional<std::int32_t> qnhHpa; // empty when missing or out of 850..1100 hPa
};
// Throws std::runtime_error for text that is not a JSON object or a key of the
// wrong type (QNH may be a number or a quoted number).
RTAppWeather gf_parseRTAppWeather(std::string_view datagram);
// A QNH value as the app sends it (hPa, or inHg x 100 between 2600 and 3400) in
// whole hPa; empty outside 850..1100 hPa.
std::optional<std::int32_t> gf_rtAppQnhToHpa(double value);

// --- The app's version reply ---
struct RTAppVersion {
    bool professional = false; // "level" 2
    std::string version;
};
// Empty for a reply that is not a JSON object; throws std::runtime_error for
// text that is no JSON at all or nests deeper than kFeedJsonLimits. A version
// that is no text is left empty.
std::optional<RTAppVersion> gf_parseRTAppVersion(std::string_view reply);

} // namespace zelk
