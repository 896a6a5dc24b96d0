#include "feed/RTAppProtocol.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/Geometry.h"
#include "feed/BoundedJson.h"

namespace zelk {
namespace {

constexpr double kParkedBoxHalfHeightDeg = 0.04996402877697842;
constexpr double kParkedBoxHalfWidthFt = 3.0 * 6076.11549;

[[noreturn]] void lf_badNumber(std::string_view name, std::string_view text)
{
    throw std::runtime_error(fmt::format("{}:{}", name, text));
}

template <typename T>
T lf_parseInteger(std::string_view name, std::string_view text, int base)
{
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) lf_badNumber(name, text);
    return value;
}

std::optional<std::uint16_t> lf_port(std::string_view text)
{
    std::uint16_t port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || port == 0) return std::nullopt;
    return port;
}

// QNH as a JSON number or a quoted number; anything else is a wrong type.
std::optional<double> lf_qnhValue(const nlohmann::json& qnh)
{
    if (qnh.is_null()) return std::nullopt;
    if (qnh.is_number()) return qnh.get<double>();
    if (!qnh.is_string()) throw std::runtime_error(fmt::format("QNH of type {}", qnh.type_name()));
    const auto& text = qnh.get_ref<const std::string&>();
    if (text.empty() || text == "null") return std::nullopt;
    return gf_parseRTAppNumber("QNH", text);
}

std::string lf_text(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return {};
    if (!it->is_string()) throw std::runtime_error(fmt::format("{} of type {}", key, it->type_name()));
    const auto& text = it->get_ref<const std::string&>();
    return text == "null" ? std::string() : text;
}

} // namespace

std::optional<RTAppUdpPorts> gf_parseRTAppUdpPorts(std::string_view text)
{
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto traffic = lf_port(text.substr(0, comma));
    const auto weather = lf_port(text.substr(comma + 1));
    if (!traffic || !weather || *traffic == *weather) return std::nullopt;
    return RTAppUdpPorts{*traffic, *weather};
}

RTAppUdpPorts gf_rtAppUdpPorts()
{
    const char* value = std::getenv("ZELK_RTAPP_UDP_PORTS");
    if (!value) return {};
    return gf_parseRTAppUdpPorts(value).value_or(RTAppUdpPorts{});
}

std::vector<std::string_view> gf_splitDatagramLines(std::string_view datagram)
{
    std::vector<std::string_view> lines;
    while (!datagram.empty()) {
        const auto end = datagram.find('\n');
        std::string_view line = datagram.substr(0, end);
        datagram = end == std::string_view::npos ? std::string_view{} : datagram.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string_view> gf_splitRTAppFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    fields.reserve(kRTTrafficFieldCount);
    for (;;) {
        const auto comma = line.find(',');
        const std::string_view field = line.substr(0, comma);
        fields.push_back(field == "null" ? std::string_view{} : field);
        if (comma == std::string_view::npos) break;
        line.remove_prefix(comma + 1);
    }
    return fields;
}

double gf_parseRTAppNumber(std::string_view name, std::string_view text)
{
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        lf_badNumber(name, text);
    return value;
}

std::uint32_t gf_parseRTAppDecimalId(std::string_view name, std::string_view text)
{
    const auto id = lf_parseInteger<std::uint32_t>(name, text, 10);
    if (id > kMaxFeedHexId) lf_badNumber(name, text);
    return id;
}

std::uint32_t gf_parseRTAppHexId(std::string_view name, std::string_view text)
{
    const auto id = lf_parseInteger<std::uint32_t>(name, text, 16);
    if (id > kMaxFeedHexId) lf_badNumber(name, text);
    return id;
}

std::string gf_formatRTAppPosition(const UserAcPosition& user)
{
    constexpr double kRadPerDeg = std::numbers::pi / 180.0;
    return fmt::format("Qs121={:.0f};{:.0f};{:.6f};{:.0f};{:.0f};{:.6f};{:.6f}\r\n", user.pitch * 100000.0,
                       user.bank * 100000.0, user.heading, user.altitude * 1000.0, user.groundVelocity * 1000.0,
                       user.latitude * kRadPerDeg, user.longitude * kRadPerDeg);
}

std::string gf_formatRTAppSimTime(std::int64_t simulatorSeconds)
{
    return fmt::format("Qs123={}\r\n", simulatorSeconds * 1000);
}

RTAppBox gf_boxAround(double latitude, double longitude, double halfHeightDeg, double halfWidthFt)
{
    constexpr double kWest = 1.5 * std::numbers::pi;
    constexpr double kEast = 0.5 * std::numbers::pi;
    const LatLon centre{latitude, longitude};
    return RTAppBox{latitude - halfHeightDeg, gf_destinationPoint(centre, kWest, halfWidthFt).longitude,
                    latitude + halfHeightDeg, gf_destinationPoint(centre, kEast, halfWidthFt).longitude};
}

RTAppBox gf_parkedRequestBox(double latitude, double longitude)
{
    return gf_boxAround(latitude, longitude, kParkedBoxHalfHeightDeg, kParkedBoxHalfWidthFt);
}

std::string gf_formatRTAppParkedRequest(double latitude, double longitude)
{
    const RTAppBox box = gf_parkedRequestBox(latitude, longitude);
    return fmt::format("Qs999=sendparked,{:.6f},{:.6f},{:.6f},{:.6f}\r\n", box.south, box.west, box.north, box.east);
}

std::optional<RTAppBox> gf_parseRTAppParkedRequest(std::string_view line)
{
    constexpr std::string_view kTag = "Qs999=sendparked,";
    if (!line.starts_with(kTag)) return std::nullopt;
    const auto fields = gf_splitRTAppFields(line.substr(kTag.size()));
    if (fields.size() != 4) return std::nullopt;
    try {
        return RTAppBox{gf_parseRTAppNumber("south", fields[0]), gf_parseRTAppNumber("west", fields[1]),
                        gf_parseRTAppNumber("north", fields[2]), gf_parseRTAppNumber("east", fields[3])};
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

std::optional<std::int32_t> gf_rtAppQnhToHpa(double value)
{
    if (!std::isfinite(value)) return std::nullopt;
    const double hPa = value >= 2600.0 && value <= 3400.0 ? value / 100.0 * kHpaPerInHg : value;
    if (hPa < 850.0 || hPa > 1100.0) return std::nullopt;
    return static_cast<std::int32_t>(std::lround(hPa));
}

RTAppWeather gf_parseRTAppWeather(std::string_view datagram)
{
    const auto json = gf_parseBoundedJson(datagram).value;
    if (json.is_discarded()) throw std::runtime_error("no JSON");
    if (!json.is_object()) throw std::runtime_error(fmt::format("JSON {} instead of an object", json.type_name()));
    RTAppWeather weather;
    weather.station = lf_text(json, "ICAO");
    weather.metar = lf_text(json, "METAR");
    if (const auto it = json.find("QNH"); it != json.end())
        if (const auto value = lf_qnhValue(*it)) weather.qnhHpa = gf_rtAppQnhToHpa(*value);
    return weather;
}

std::optional<RTAppVersion> gf_parseRTAppVersion(std::string_view reply)
{
    const auto json = gf_parseBoundedJson(reply).value;
    if (json.is_discarded()) throw std::runtime_error("no JSON");
    if (!json.is_object()) return std::nullopt;
    RTAppVersion version;
    const auto level = json.find("level");
    version.professional = level != json.end() && level->is_number() && level->get<double>() == 2.0;
    // Only a text is taken: a value of another type may nest as deep as the reply is long.
    if (const auto text = json.find("version"); text != json.end() && text->is_string())
        version.version = text->get<std::string>();
    return version;
}

} // namespace zelk
