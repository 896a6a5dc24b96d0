#include "feed/RTAPIProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include <curl/curl.h>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/Log.h"
#include "feed/BadInputLog.h"
#include "feed/BoundedJson.h"
#include "feed/RTAppProtocol.h"

namespace zelk {
namespace {

std::string lf_env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Each refused override is logged once per value, not on every login.
void lf_logIgnoredOnce(const std::string& value)
{
    static std::mutex mutex;
    static std::string logged;
    std::scoped_lock guard(mutex);
    if (logged == value) return;
    logged = value;
    gf_writeLogNotice(fmt::format("Ignoring {}='{}': only an https address on the loopback interface is accepted",
                                  kRTAPIBaseVariable, value));
}

// The pressure in hPa of a Qdddd or Adddd group; nullopt for any other group.
std::optional<double> lf_pressureGroup(std::string_view group)
{
    if (group.size() != 5 || (group[0] != 'Q' && group[0] != 'A')) return std::nullopt;
    if (!std::all_of(group.begin() + 1, group.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const double value = std::strtod(std::string(group.substr(1)).c_str(), nullptr);
    return group[0] == 'Q' ? value : value / 100.0 * kHpaPerInHg;
}

// "071120Z": day, hour and minute of a report.
bool lf_isTimeGroup(std::string_view group)
{
    return group.size() == 7 && group.back() == 'Z' &&
           std::all_of(group.begin(), group.end() - 1, [](char c) { return c >= '0' && c <= '9'; });
}

// A station: four letters or digits, the first a letter.
bool lf_isStation(std::string_view group)
{
    const auto alnum = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    return group.size() == 4 && group[0] >= 'A' && group[0] <= 'Z' && std::all_of(group.begin(), group.end(), alnum);
}

// The first kMaxRTAPIMetarBytes of a METAR, ending after a whole group: a
// group cut at the limit could read as another ("Q10134" as "Q1013").
std::string_view lf_metarHead(std::string_view metar)
{
    if (metar.size() <= kMaxRTAPIMetarBytes) return metar;
    const std::string_view head = metar.substr(0, kMaxRTAPIMetarBytes + 1);
    const std::size_t blank = head.find_last_of(" \t\r\n");
    return blank == std::string_view::npos ? std::string_view{} : head.substr(0, blank);
}

} // namespace

bool gf_isLoopbackHttpsBase(std::string_view base)
{
    for (std::string_view host : {"https://127.0.0.1", "https://localhost", "https://[::1]"}) {
        if (!base.starts_with(host)) continue;
        const std::string_view rest = base.substr(host.size());
        if (rest.empty() || rest.front() == ':' || rest.front() == '/') return true;
    }
    return false;
}

RTAPIEndpoint gf_rtApiEndpoint()
{
    RTAPIEndpoint endpoint;
    std::string base = lf_env(kRTAPIBaseVariable);
    if (base.empty()) return endpoint;
    if (!gf_isLoopbackHttpsBase(base)) {
        lf_logIgnoredOnce(base);
        return endpoint;
    }
    while (!base.empty() && base.back() == '/') base.pop_back();
    endpoint.base = std::move(base);
    endpoint.caFile = lf_env(kRTAPICaVariable);
    endpoint.loopbackOverride = true;
    return endpoint;
}

std::string gf_rtApiForm(const std::vector<RTAPIFormField>& fields)
{
    std::string form;
    for (const auto& [name, value] : fields) {
        const std::unique_ptr<char, decltype(&curl_free)> escaped(
            curl_easy_escape(nullptr, value.data(), static_cast<int>(value.size())), &curl_free);
        if (!escaped) throw std::runtime_error("URL-encoding a form value failed");
        if (!form.empty()) form += '&';
        form += name;
        form += '=';
        form += escaped.get();
    }
    return form;
}

int gf_rtApiReplyStatus(long httpStatus, std::string_view body, nlohmann::json& parsed, std::size_t* leftOut)
{
    BoundedJson bounded;
    if (httpStatus == kRTAPIOk) {
        bounded = gf_parseBoundedJson(body);
    } else {
        // A server's error page is HTML of any size: a body whose shape is no
        // feed JSON says nothing beyond the HTTP status, which is the answer.
        try {
            bounded = gf_parseBoundedJson(body);
        } catch (const JsonShapeError&) {
            parsed = nlohmann::json::object();
            if (leftOut) *leftOut = 0;
            return static_cast<int>(httpStatus);
        }
    }
    parsed = std::move(bounded.value);
    if (leftOut) *leftOut = bounded.leftOut;
    if (parsed.is_discarded() || !parsed.is_object()) {
        parsed = nlohmann::json::object();
        if (httpStatus != kRTAPIOk) return static_cast<int>(httpStatus);
        throw QuotedInputError(fmt::format("unreadable reply: {}", gf_quoteInput(body)));
    }
    const auto status = gf_rtApiNumber(parsed, "status");
    if (!status) return static_cast<int>(httpStatus);
    if (*status != std::floor(*status) || std::abs(*status) > 1e6)
        throw std::runtime_error(fmt::format("reply status {}", *status));
    return static_cast<int>(*status);
}

std::optional<double> gf_rtApiNumber(const nlohmann::json& object, std::string_view key)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (it->is_number()) return it->get<double>();
    if (!it->is_string()) throw std::runtime_error(fmt::format("{}: {} instead of a number", key, it->type_name()));
    const auto& text = it->get_ref<const std::string&>();
    if (text.empty() || text == "null") return std::nullopt;
    return gf_parseRTAppNumber(key, text);
}

std::string_view gf_rtApiText(const nlohmann::json& value, std::string_view name)
{
    if (value.is_null()) return {};
    if (!value.is_string()) throw std::runtime_error(fmt::format("{}: {} instead of a text", name, value.type_name()));
    const auto& text = value.get_ref<const std::string&>();
    return text == "null" ? std::string_view{} : std::string_view(text);
}

bool gf_isUsableRTAPIGuid(std::string_view guid)
{
    return !guid.empty() && guid.size() <= kMaxRTAPIGuidBytes &&
           std::all_of(guid.begin(), guid.end(), [](char c) { return c > ' ' && c < '\x7f'; });
}

RTAPILogin gf_parseRTAPILogin(const nlohmann::json& reply)
{
    RTAPILogin login;
    const auto guid = reply.find("GUID");
    if (guid == reply.end() || !guid->is_string() || guid->get_ref<const std::string&>().empty())
        throw std::runtime_error("login reply without a GUID");
    const auto& guidText = guid->get_ref<const std::string&>();
    if (!gf_isUsableRTAPIGuid(guidText))
        throw QuotedInputError(fmt::format("login reply with an unusable GUID: {}", gf_quoteInput(guidText)));
    login.guid = guidText;
    login.type = gf_rtApiNumber(reply, "type").value_or(1.0) == 2.0 ? 2 : 1;
    if (const auto server = reply.find("server"); server != reply.end() && server->is_string())
        login.server = server->get<std::string>();
    // A date text or Unix seconds; a value of any other type is not taken.
    if (const auto expiry = reply.find("expiry"); expiry != reply.end()) {
        if (expiry->is_string()) login.expiry = expiry->get<std::string>();
        else if (expiry->is_number()) login.expiry = expiry->dump();
    }
    login.rrlMs = gf_rtApiNumber(reply, "rrl");
    login.wrrlMs = gf_rtApiNumber(reply, "wrrl");
    return login;
}

std::chrono::milliseconds gf_rtApiPace(std::optional<double> replyMs, std::chrono::milliseconds floor)
{
    if (!replyMs || !std::isfinite(*replyMs) || *replyMs <= static_cast<double>(floor.count())) return floor;
    if (*replyMs >= static_cast<double>(kRTAPIPaceCap.count())) return kRTAPIPaceCap;
    return std::chrono::milliseconds(std::llround(*replyMs));
}

std::chrono::milliseconds gf_rtApiBackOff(std::chrono::milliseconds current, std::chrono::milliseconds floor)
{
    return std::min(std::max(current, floor) * 2, kRTAPIPaceCap);
}

std::optional<std::int32_t> gf_rtApiQnh(double hPa)
{
    if (!std::isfinite(hPa) || hPa < 850.0 || hPa > 1100.0) return std::nullopt;
    return static_cast<std::int32_t>(std::lround(hPa));
}

std::optional<std::int32_t> gf_qnhFromMetar(std::string_view metar)
{
    metar = lf_metarHead(metar);
    std::size_t pos = 0;
    const auto nextGroup = [metar, &pos]() {
        const std::size_t start = std::min(metar.find_first_not_of(" \t\r\n", pos), metar.size());
        pos = std::min(metar.find_first_of(" \t\r\n", start), metar.size());
        return metar.substr(start, pos - start);
    };
    bool stationSeen = false;
    bool timeSeen = false;
    // Group by group, one looked ahead: a text of millions of groups is never
    // split whole.
    std::string_view following = nextGroup();
    for (bool first = true; !following.empty(); first = false) {
        std::string_view group = following;
        following = nextGroup();
        if (group == "RMK") break;
        // Two reports run together: only the first one's pressure counts, so
        // reading stops where the second begins (its keyword, a second station
        // before a time group, or a second time group).
        if (!first && (group == "METAR" || group == "SPECI")) break;
        if (lf_isStation(group)) {
            if (stationSeen && lf_isTimeGroup(following)) break;
            stationSeen = true;
        }
        if (lf_isTimeGroup(group)) {
            if (timeSeen) break;
            timeSeen = true;
        }
        // "=" ends a report.
        const bool last = group.ends_with('=');
        if (last) group.remove_suffix(1);
        // "Q1015/A30.00": the slash joins two pressure groups in one.
        if (const auto hPa = lf_pressureGroup(group.substr(0, group.find('/')))) return gf_rtApiQnh(*hPa);
        if (last) break;
    }
    return std::nullopt;
}

std::vector<RTAPIMetar> gf_parseRTAPIMetars(const nlohmann::json& reply, std::vector<std::string>* bad)
{
    std::vector<RTAPIMetar> metars;
    const auto data = reply.find("data");
    if (data == reply.end() || !data->is_array()) throw std::runtime_error("weather reply without a data array");
    for (const auto& entry : *data) {
        try {
            if (!entry.is_object()) throw std::runtime_error(fmt::format("{} instead of an object", entry.type_name()));
            RTAPIMetar metar;
            // Looked at where they stand: a member of a wrong type is never copied.
            const auto text = [&entry](const char* key) {
                const auto it = entry.find(key);
                return it == entry.end() ? std::string_view{} : gf_rtApiText(*it, key);
            };
            // Kept for the rest of the run: what cannot be a station code is not kept.
            const std::string_view station = text("ICAO");
            if (station.size() > kMaxRTAPIStationChars)
                throw std::runtime_error(fmt::format("ICAO of {} bytes instead of a station code", station.size()));
            metar.station = station;
            metar.metar = lf_metarHead(text("METAR"));
            const auto qnh = gf_rtApiNumber(entry, "QNH");
            metar.qnh = qnh ? gf_rtApiQnh(*qnh) : std::nullopt;
            if (!metar.qnh) metar.qnh = gf_qnhFromMetar(metar.metar);
            metars.push_back(std::move(metar));
        } catch (const std::exception& e) {
            if (bad) bad->push_back(e.what());
        }
    }
    return metars;
}

} // namespace zelk
