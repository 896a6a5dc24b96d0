#include "airports/AirportFile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <system_error>
#include <unordered_set>

#include <fmt/format.h>

#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/MetaInfo.h"
#include "core/ParameterXml.h"
#include "core/Strings.h"
#include "core/Version.h"
#include "liveries/CodeTables.h"
#include "platform/FileReplace.h"
#include "platform/ProcessId.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::atomic<std::uint64_t> g_tempCounter{0};

bool lf_isCargoType(StandType t) { return t == StandType::RAMP_CARGO || t == StandType::RAMP_MIL_CARGO; }

bool lf_isRampType(StandType t)
{
    return t == StandType::RAMP_GA || t == StandType::RAMP_GA_SMALL || t == StandType::RAMP_GA_MEDIUM ||
           t == StandType::RAMP_GA_LARGE || t == StandType::RAMP_GA_EXTRA;
}

// typestr wins; a type code counts only when typestr is empty.
StandType lf_readStandType(const pugi::xml_node& node)
{
    const std::string_view typestr = node.attribute("typestr").value();
    if (!typestr.empty()) return gf_standTypeFromName(typestr).value_or(StandType::NONE);
    const auto code = gf_xmlAttributeInt(node, "type");
    if (!code || *code < 0 || static_cast<std::uint32_t>(*code) >= kStandTypeCount) return StandType::NONE;
    return static_cast<StandType>(*code);
}

// A type 0 stand gets its type from cargo/ramp and its radius in metres.
StandType lf_fallbackType(bool cargo, bool ramp, double radiusM)
{
    if (cargo) return StandType::RAMP_CARGO;
    if (ramp) return radiusM >= 30.0 ? StandType::RAMP_GA_LARGE
                     : radiusM >= 16.0 ? StandType::RAMP_GA_MEDIUM
                                       : StandType::RAMP_GA_SMALL;
    return radiusM >= 30.0 ? StandType::GATE_HEAVY : radiusM >= 16.0 ? StandType::GATE_MEDIUM : StandType::GATE_SMALL;
}

double lf_normalizedHeading(double degrees)
{
    double rad = degrees * 0.017453292519943295;
    if (!std::isfinite(rad)) return rad;
    rad = std::fmod(rad, kTwoPi);
    if (rad < 0.0) rad += kTwoPi;
    if (rad >= kTwoPi) rad = 0.0;
    return rad;
}

void lf_readOptions(const pugi::xml_node& parkpos, std::uint32_t archived, ParkPos& stand)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const pugi::xml_node opt : parkpos.children("opt")) ++count;
    stand.options.reserve(count);
    std::uint32_t nextId = 1;
    for (const pugi::xml_node opt : parkpos.children("opt")) {
        StandIdentity identity = lf_readFlightOptionIdentity(opt);
        const std::string_view hh = opt.attribute("hh").value();
        const auto day = gf_xmlAttributeInt(opt, "day").value_or(0);
        if (hh.empty() || day < 1 || day > 7) continue;
        const HoursMask hours = gf_hours2bitset(hh);
        if (hours.none()) continue;
        const bool soft = gf_xmlAttributeBool(opt, "soft").value_or(false);
        const bool cpl = gf_xmlAttributeBool(opt, "cpl").value_or(false);
        FlightOption& option =
            stand.options.emplace_back(identity.key, opt.attribute("reg").value(), std::move(identity.callSign), hours,
                                       nextId++, static_cast<std::uint32_t>(day), archived, soft ? 0U : 1U,
                                       static_cast<std::uint8_t>(cpl ? 1 : 0));
        option.secondName = std::move(identity.secondName);
    }
}

// The engine's text fields of the stand type.
void lf_setTypeFields(ParkPos& stand)
{
    stand.parkingType = std::string(gf_standTypeName(static_cast<std::uint32_t>(stand.type)));
    stand.hasParkingType = stand.type != StandType::NONE ? 1 : 0;
    stand.gate = stand.parkingType.find("GATE") != std::string::npos ? 1 : 0;
}

bool lf_appendParameter(pugi::xml_node parameters, std::string_view key, std::string_view value)
{
    pugi::xml_node p = parameters.append_child("parameter");
    return p && gf_appendXmlTextAttribute(p, "name", key) && gf_appendXmlTextAttribute(p, "value", value);
}

std::string_view lf_boolText(bool v) { return v ? "true" : "false"; }

bool lf_appendParkingKeys(pugi::xml_node parameters, const ApfParkingSettings& s)
{
    bool ok = lf_appendParameter(parameters, "RT_PARKTRAFFIC_ONLY", lf_boolText(s.RT_PARKTRAFFIC_ONLY != 0));
    ok = lf_appendParameter(parameters, "AUTO_PARK", lf_boolText(s.AUTO_PARK != 0)) && ok;
    ok = lf_appendParameter(parameters, "parking_percentage", fmt::format("{}", s.parking_percentage)) && ok;
    ok = lf_appendParameter(parameters, "MAX_FIT", fmt::format("{}", s.MAX_FIT)) && ok;
    ok = lf_appendParameter(parameters, "WEEK", lf_boolText(s.WEEK != 0)) && ok;
    return lf_appendParameter(parameters, "PARK_SOFT", lf_boolText(s.PARK_SOFT != 0)) && ok;
}

std::string lf_keyText(const LiveryKey& key)
{
    return fmt::format("{}/{}", gf_airlineCodeText(key.airline), gf_modelCodeText(key.model));
}

// One opt element; false (nothing appended) for an option that cannot be written.
bool lf_writeOption(pugi::xml_node parkpos, const FlightOption& o, bool& ok)
{
    const auto hh = gf_bitset2hours(o.hours);
    const bool oneRun = hh && gf_hours2bitset(*hh) == o.hours;
    if (!oneRun || o.weekday < 1 || o.weekday > 7) {
        gf_writeLogNotice(fmt::format("invalid flight option: {} {} {}", o.registration, o.firstName, lf_keyText(o.key)));
        return false;
    }
    pugi::xml_node opt = parkpos.append_child("opt");
    ok = opt && gf_appendXmlTextAttribute(opt, "reg", o.registration) && ok;
    // Written for registration keys too, so an option keeps its aircraft when
    // the registration leaves the database.
    ok = gf_appendXmlTextAttribute(opt, "airl", gf_airlineCodeText(o.key.airline)) && ok;
    ok = gf_appendXmlTextAttribute(opt, "type", gf_modelCodeText(o.key.model)) && ok;
    if (o.real == 0) ok = gf_appendXmlTextAttribute(opt, "soft", "true") && ok;
    ok = gf_appendXmlTextAttribute(opt, "day", fmt::format("{}", o.weekday)) && ok;
    ok = gf_appendXmlTextAttribute(opt, "hh", *hh) && ok;
    if (!o.firstName.empty())
        ok = gf_appendXmlTextAttribute(opt, "cs", o.secondName.empty() ? o.firstName
                                                                        : fmt::format("{}:{}", o.firstName, o.secondName)) &&
             ok;
    if (o.cpl != 0) ok = gf_appendXmlTextAttribute(opt, "cpl", "true") && ok;
    return true;
}

bool lf_writeStandGeometry(pugi::xml_node node, const ParkPos& s)
{
    const double radiusM = s.radius * kNmToMetres;
    if (!gf_isValidStandPosition(s.latitude, s.longitude) || !std::isfinite(radiusM) || radiusM <= 0.0 ||
        !std::isfinite(s.heading)) {
        gf_writeLogNotice(fmt::format("gf_writeApf: stand '{}' has invalid geometry", s.name));
        return false;
    }
    const bool typeZero = (s.type == StandType::NONE || s.typeDerived != 0) && s.helipad == 0;
    const std::string_view name = typeZero ? std::string_view{} : gf_standTypeName(static_cast<std::uint32_t>(s.type));
    bool ok = gf_appendXmlTextAttribute(node, "typestr", name.empty() ? "NONE" : name);
    ok = gf_appendXmlTextAttribute(node, "latitude", gf_formatFixed(s.latitude, 6)) && ok;
    ok = gf_appendXmlTextAttribute(node, "longitude", gf_formatFixed(s.longitude, 6)) && ok;
    ok = gf_appendXmlTextAttribute(node, "heading", gf_formatFixed(s.heading * 57.29577951308232, 1)) && ok;
    ok = gf_appendXmlTextAttribute(node, "radius", gf_formatFixed(radiusM, 1)) && ok;
    if (typeZero) {
        ok = gf_appendXmlTextAttribute(node, "type", "0") && ok;
        ok = gf_appendXmlTextAttribute(node, "cargo", lf_boolText(s.cargo != 0)) && ok;
        ok = gf_appendXmlTextAttribute(node, "ramp", lf_boolText(s.ramp != 0)) && ok;
    }
    if (s.helipad != 0) ok = gf_appendXmlTextAttribute(node, "heli", "true") && ok;
    if (s.manual != 0) ok = gf_appendXmlTextAttribute(node, "manual", "true") && ok;
    return ok;
}

bool lf_writeStands(pugi::xml_node root, const ApfParameters& apf, ApfWriteMode mode, bool handmade)
{
    if (apf.stands.empty()) return true;
    pugi::xml_node section = root.append_child("parkpositions");
    if (!section) return false;
    std::unordered_set<std::string> seen;
    bool ok = true;
    for (const ParkPos& s : apf.stands) {
        if (s.name.empty() || !seen.insert(s.name).second) {
            gf_writeLogNotice(fmt::format("gf_writeApf: empty or duplicate stand id '{}'", s.name));
            return false;
        }
        pugi::xml_node node = section.append_child("parkpos");
        ok = node && gf_appendXmlTextAttribute(node, "id", s.name) && ok;
        if (mode == ApfWriteMode::Generated || handmade || s.manual != 0) {
            if (!lf_writeStandGeometry(node, s)) return false;
        }
        if (mode != ApfWriteMode::Learned) continue;
        for (const FlightOption& o : s.options)
            if (o.optionId != 0 && !o.registration.empty()) lf_writeOption(node, o, ok);
    }
    return ok;
}

// Side files that a process which ended mid-save left beside the target: never
// read, removed by the next save. Another process's pid in the name marks them.
void lf_removeStaleSideFiles(const fs::path& target)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = path_to_utf8(target.filename()) + ".";
    const std::string ours = fmt::format("{}{}.", prefix, platform::currentProcessId());
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = path_to_utf8(it->path().filename());
        if (!name.starts_with(prefix) || !name.ends_with(".tmp") || name.starts_with(ours)) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

bool lf_saveApf(pugi::xml_document& doc, const fs::path& target, ApfSave save)
{
    if (target.empty()) {
        gf_writeLogNotice("gf_writeApf: empty output filename");
        return false;
    }
    std::error_code ec;
    const fs::path folder = target.parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            gf_writeLogNotice(fmt::format("gf_writeApf: could not create directory '{}': {}", path_to_utf8(folder),
                                          ec.message()));
            return false;
        }
    }
    if (save == ApfSave::Durable) lf_removeStaleSideFiles(target);
    ScopedFileRemover temp(gf_apfTempPath(target));
    if (!gf_saveXmlFile(doc, temp.file())) {
        gf_writeLogNotice(fmt::format("gf_writeApf: could not write '{}'", path_to_utf8(temp.file())));
        return false;
    }
    const bool moved = save == ApfSave::InScan ? (fs::rename(temp.file(), target, ec), !ec)
                                               : platform::replaceFileDurably(temp.file(), target, ec);
    if (!moved) {
        gf_writeLogNotice(fmt::format("gf_writeApf: could not replace '{}': {}", path_to_utf8(target), ec.message()));
        return false;
    }
    temp.disarm();
    return true;
}

} // namespace

bool gf_isValidStandPosition(double latitude, double longitude)
{
    if (!(latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0)) return false;
    return !(std::fabs(latitude) <= 0.0001 && std::fabs(longitude) <= 0.0001);
}

pugi::xml_node gf_apfSection(const pugi::xml_node& doc, const char* name)
{
    const pugi::xml_node root = doc.child("root");
    return (root ? root : doc).child(name);
}

void lf_readParkPositions(const pugi::xml_node& doc, std::vector<ParkPos>& stands)
{
    const pugi::xml_node section = gf_apfSection(doc, "parkpositions");
    if (!section) {
        gf_writeLogLine(fmt::format("airport file has no '{}' section", "parkpositions"));
        return;
    }
    std::unordered_set<std::string> seen;
    seen.reserve(kMaxApfStands);
    std::size_t n = 0;
    for (const pugi::xml_node parkpos : section.children("parkpos")) {
        if (++n > kMaxApfStands) {
            gf_writeLogNotice(
                fmt::format("airport file contains more than {} stands; remaining stands skipped", kMaxApfStands));
            return;
        }
        const pugi::xml_attribute idAttr = parkpos.attribute("id");
        if (!idAttr) {
            gf_writeLogNotice(fmt::format("Parking position #{} has no '{}' attribute, skipped.", n, "id"));
            continue;
        }
        std::string id = gf_trim(idAttr.value());
        if (id.empty()) {
            gf_writeLogNotice(fmt::format("Stand #{} has empty '{}' attribute, skipped.", n, "id"));
            continue;
        }
        if (!seen.insert(id).second) {
            gf_writeLogNotice(fmt::format("Stand '{}' appears more than once, last one skipped!", id));
            continue;
        }
        lf_readParkPos(parkpos, id, 1, stands);
    }
}

bool lf_readParkPos(const pugi::xml_node& node, std::string_view id, std::uint32_t archived,
                    std::vector<ParkPos>& stands)
{
    ParkPos stand;
    stand.latitude = gf_xmlAttributeDoubleOrZero(node, "latitude");
    stand.longitude = gf_xmlAttributeDoubleOrZero(node, "longitude");
    if (!gf_isValidStandPosition(stand.latitude, stand.longitude)) {
        gf_writeLogNotice(fmt::format("stand {} has no valid lat/lon", id));
        return false;
    }
    stand.type = lf_readStandType(node);
    const double radiusM = gf_xmlAttributeDoubleOrZero(node, "radius");
    const double headingDeg = gf_xmlAttributeDoubleOrZero(node, "heading");
    const bool heli = gf_xmlAttributeBool(node, "heli").value_or(false);
    stand.helipad = heli ? 1 : 0;
    const auto cargo = gf_xmlAttributeBool(node, "cargo");
    const auto ramp = gf_xmlAttributeBool(node, "ramp");
    if (stand.type != StandType::NONE) {
        stand.cargo = lf_isCargoType(stand.type) ? 1 : 0;
        stand.ramp = lf_isRampType(stand.type) ? 1 : 0;
    } else {
        stand.cargo = cargo.value_or(false) ? 1 : 0;
        stand.ramp = ramp.value_or(false) ? 1 : 0;
        if (!heli) {
            if (!cargo || !ramp) {
                gf_writeLogNotice(fmt::format("stand {} has no valid type, and no valid cargo/ramp fallback info", id));
                return false;
            }
            if (!(radiusM > 0.0)) {
                gf_writeLogNotice(fmt::format("stand {} has no valid type and no usable radius", id));
                return false;
            }
            stand.type = lf_fallbackType(*cargo, *ramp, radiusM);
            stand.typeDerived = 1;
        }
    }
    if (!std::isfinite(radiusM) || radiusM <= 0.0 || !std::isfinite(headingDeg)) {
        gf_writeLogNotice(fmt::format("stand {} has invalid radius or heading", id));
        return false;
    }
    lf_readOptions(node, archived, stand);
    stand.heading = lf_normalizedHeading(headingDeg);
    stand.name = std::string(id);
    stand.radius = radiusM * kMetresToNm;
    lf_setTypeFields(stand);
    stands.push_back(std::move(stand));
    return true;
}

LiveryKey lf_readOptAirlineType(const pugi::xml_node& opt)
{
    LiveryKey key;
    key.airline = gf_airlineCode2Index(opt.attribute("airl").value());
    key.model = gf_modelCode2Index(opt.attribute("type").value());
    return key;
}

StandIdentity lf_readFlightOptionIdentity(const pugi::xml_node& opt)
{
    StandIdentity identity;
    const std::string_view cs = opt.attribute("cs").value();
    const std::size_t colon = cs.find(':');
    identity.callSign = std::string(cs.substr(0, colon));
    if (colon != std::string_view::npos) identity.secondName = std::string(cs.substr(colon + 1));
    const std::string_view reg = opt.attribute("reg").value();
    std::optional<LiveryKey> known;
    if (!reg.empty()) known = gf_lookupRegcode(reg);
    identity.key = known ? *known : lf_readOptAirlineType(opt);
    return identity;
}

bool lf_appendApfDoubleParameter(pugi::xml_node parent, std::string_view key, double value)
{
    return lf_appendParameter(parent, key, fmt::format("{:.{}f}", value, 4));
}

bool lf_writeApfParameters(pugi::xml_node root, const ApfParameters& apf, ApfWriteMode mode, bool handmade,
                           const ApfParkingSettings& parking)
{
    pugi::xml_node p = root.append_child("parameters");
    if (!p) return false;
    bool ok = lf_appendParameter(p, "icao", apf.icao.view());
    if (apf.iata.isSet() && apf.iata.view() != "XXX") ok = lf_appendParameter(p, "iata", apf.iata.view()) && ok;
    ok = lf_appendParameter(p, "airport_name", apf.airportName) && ok;
    if (apf.latitude != 0.0 || apf.longitude != 0.0) {
        ok = lf_appendApfDoubleParameter(p, "latitude", apf.latitude) && ok;
        ok = lf_appendApfDoubleParameter(p, "longitude", apf.longitude) && ok;
    }
    ok = lf_appendParameter(p, "publisher", apf.publisher) && ok;
    if (apf.manifest && !apf.manifest->version.empty() && apf.publisher != "stock")
        ok = lf_appendParameter(p, "version", apf.manifest->version) && ok;
    if (handmade) ok = lf_appendParameter(p, "handmade", "true") && ok;
    if (handmade || mode == ApfWriteMode::Generated)
        ok = lf_appendParameter(p, "altitude", fmt::format("{}", apf.altitude)) && ok;
    if (mode == ApfWriteMode::Generated)
        ok = lf_appendParameter(p, "num_parkpos", fmt::format("{}", apf.stands.size())) && ok;
    if (handmade && (apf.qfReal > 0 || apf.qfSoft >= 1) && apf.qfReal >= 0) {
        ok = lf_appendParameter(p, "Qf_real", fmt::format("{}", apf.qfReal)) && ok;
        if (apf.qfSoft > 0 || apf.qfReal == 0) ok = lf_appendParameter(p, "Qf_soft", fmt::format("{}", apf.qfSoft)) && ok;
    }
    if (apf.publisher.empty()) {
        ok = lf_appendParameter(p, "BGLpath", apf.bglPath) && ok;
        if (apf.manifest) {
            ok = lf_appendParameter(p, "manufacturer", apf.manifest->manufacturer) && ok;
            ok = lf_appendParameter(p, "creator", apf.manifest->creator) && ok;
        }
    }
    if (mode == ApfWriteMode::Learned && parking.present) ok = lf_appendParkingKeys(p, parking) && ok;
    return ok;
}

std::string lf_formatQfPair(std::int32_t qfReal, std::int32_t qfSoft)
{
    if (qfReal >= 35) return fmt::format("{:2}", qfReal);
    if (qfReal > 0 || qfSoft >= 1) return fmt::format("{:2}/{:2}", qfReal, qfSoft);
    return "  ";
}

fs::path gf_apfTempPath(const fs::path& target)
{
    fs::path temp = target;
    temp += fmt::format(".{}.{}.tmp", platform::currentProcessId(), g_tempCounter.fetch_add(1));
    return temp;
}

std::string gf_formatFixed(double value, int decimals)
{
    std::array<char, 64> buffer;
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, decimals);
    // Only a number too large for the buffer fails; the library's format then.
    if (ec != std::errc()) return fmt::format("{:.{}f}", value, decimals);
    return std::string(buffer.data(), end);
}

bool gf_writeApf(const ApfParameters& apf, const fs::path& target, ApfWriteMode mode, std::uint32_t simulator,
                 bool handmade, const ApfParkingSettings& parking, ApfSave save)
{
    pugi::xml_document doc;
    MetaInfo meta;
    meta.version = programVersion.toString();
    meta.sim = static_cast<std::int32_t>(simulator);
    if (!gf_writeMetaInfo(doc, meta)) return false;
    pugi::xml_node root = doc.child("root");
    if (!root) root = doc.append_child("root");
    if (!lf_writeApfParameters(root, apf, mode, handmade, parking)) return false;
    if (!lf_writeStands(root, apf, mode, handmade)) return false;
    return lf_saveApf(doc, target, save);
}

} // namespace zelk
