#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace zelk {

// The RealTraffic web API, version 5 (docs/feed-protocol.md): addresses,
// request forms, reply statuses, pacing and the METAR pressure group.

inline constexpr std::string_view kRTAPIBase = "https://rtwa.flyrealtraffic.com/v5";
// Point the web API at a loopback test server (https only) and its CA file;
// any other address is ignored with one log line.
inline constexpr const char* kRTAPIBaseVariable = "ZELK_RTAPI_BASE";
inline constexpr const char* kRTAPICaVariable = "ZELK_RTAPI_CA";

// Where requests go: the base without a trailing '/', and the PEM file of a
// test CA (empty: the system's CA store).
struct RTAPIEndpoint {
    std::string base{kRTAPIBase};
    std::string caFile;
    bool loopbackOverride = false;
};
// The endpoint from the environment (read on every call, logged once per value).
RTAPIEndpoint gf_rtApiEndpoint();
// An https address on 127.0.0.1, ::1 or localhost (any port, any path).
bool gf_isLoopbackHttpsBase(std::string_view base);

// Reply statuses (the JSON "status" of a reply; the HTTP status stands in
// only when the body carries none).
enum RTAPIStatus : int {
    kRTAPIOk = 200,
    kRTAPIParameterFault = 400,
    kRTAPIGuidExpired = 401,
    kRTAPILicenceExpired = 402,
    kRTAPINoDataForLicence = 403,
    kRTAPILicenceUnknown = 404,
    kRTAPITooManySessions = 405,
    kRTAPIRateViolated = 406,
    kRTAPIHistoryTooOld = 407,
    kRTAPIServerError = 500,
};

// One form field, the value not yet URL-encoded.
using RTAPIFormField = std::pair<std::string_view, std::string>;
// "name=value&..." with each value URL-encoded (RFC 3986 unreserved kept).
std::string gf_rtApiForm(const std::vector<RTAPIFormField>& fields);

// The status of a reply, its body parsed into parsed. The JSON "status" wins
// over the HTTP status. Throws std::runtime_error when a body of HTTP status
// 200 is no JSON object or its status is no integer; a body of another HTTP
// status that is no JSON object gives that status and an empty object. The
// body is built within kFeedJsonLimits (feed/BoundedJson.h): one of HTTP status
// 200 nested deeper or with too long a run without a number or a text throws
// JsonShapeError (of another HTTP status it gives that status and an empty
// object), members over the limits are left out and counted in leftOut.
int gf_rtApiReplyStatus(long httpStatus, std::string_view body, nlohmann::json& parsed,
                        std::size_t* leftOut = nullptr);

// Numbers of a reply: a JSON number or a quoted number; nullopt when missing
// or null; throws std::runtime_error "{key}: ..." for any other type.
std::optional<double> gf_rtApiNumber(const nlohmann::json& object, std::string_view key);
// A text slot: a string, "null" and null read as empty; throws for any other type.
std::string_view gf_rtApiText(const nlohmann::json& value, std::string_view name);

// What the login keeps of the reply.
struct RTAPILogin {
    std::string guid;
    int type = 1;           // 1 standard, 2 professional
    std::string server;     // empty when not given
    std::string expiry;     // as given (a date text or Unix seconds), empty when not given
    std::optional<double> rrlMs;  // first pace of traffic requests
    std::optional<double> wrrlMs; // first pace of weather requests
    bool professional() const { return type == 2; }
};
// The service's GUIDs are 36 characters; a longer one, or one with a blank or
// a byte outside printable ASCII, is no GUID of the service.
inline constexpr std::size_t kMaxRTAPIGuidBytes = 128;
bool gf_isUsableRTAPIGuid(std::string_view guid);
// The login of a reply with status 200; throws std::runtime_error without a
// usable GUID. The expiry is taken when it is a text or a number.
RTAPILogin gf_parseRTAPILogin(const nlohmann::json& reply);

// --- Pacing ---
inline constexpr std::chrono::milliseconds kRTAPITrafficFloor{2000};
inline constexpr std::chrono::milliseconds kRTAPIWeatherFloor{10000};
inline constexpr std::chrono::milliseconds kRTAPIPaceCap{60000};
// The wait a reply asks for (its "rrl" or "wrrl" in ms), never below the
// floor nor above the cap; the floor when the reply gives none.
std::chrono::milliseconds gf_rtApiPace(std::optional<double> replyMs, std::chrono::milliseconds floor);
// After a rate violation (406): twice the current wait, at most the cap.
std::chrono::milliseconds gf_rtApiBackOff(std::chrono::milliseconds current, std::chrono::milliseconds floor);

// --- Weather ---
// A report is some hundred bytes, its pressure group among its first dozen
// groups; of a longer text only the whole groups within this many bytes are
// read and kept.
inline constexpr std::size_t kMaxRTAPIMetarBytes = 2048;
// The QNH (hPa) of a METAR's first Qdddd (hPa) or Adddd (inHg x 100) group
// before "RMK"; none without such a group, for "////" or outside 850-1100 hPa.
// Of a text holding two reports run together only the first report is read.
std::optional<std::int32_t> gf_qnhFromMetar(std::string_view metar);
// A QNH value a reply gives in hPa; none outside 850-1100 hPa.
std::optional<std::int32_t> gf_rtApiQnh(double hPa);

// A station's ICAO code.
inline constexpr std::size_t kMaxRTAPIStationChars = 4;

struct RTAPIMetar {
    std::string station; // "ICAO", at most kMaxRTAPIStationChars
    std::string metar;   // "METAR", its whole groups within kMaxRTAPIMetarBytes
    std::optional<std::int32_t> qnh; // "QNH" when usable, else from the METAR text
};
// The entries of a nearest-METAR reply, nearest first; an entry of wrong
// types or with a station text longer than a code is left out and reported
// through bad (its text).
std::vector<RTAPIMetar> gf_parseRTAPIMetars(const nlohmann::json& reply, std::vector<std::string>* bad = nullptr);

} // namespace zelk
