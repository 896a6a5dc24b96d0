#include "airports/LearnedAirportFile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <fstream>
#include <mutex>

#include <fmt/format.h>

#include "airports/AirportFile.h"
#include "airports/AirportFileLoad.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/MetaInfo.h"
#include "core/Parameters.h"
#include "core/ParameterXml.h"
#include "core/ParametersFile.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/GuiUpdate.h"
#include "simlink/ParkingNames.h"
#include "simlink/UserAircraftState.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

std::atomic<std::int32_t> g_learnedUpdates{0};
// The name codes whose prefix is a word and a blank ("PARKING ", "GATE ").
constexpr std::array<std::uint32_t, 11> kFormerWordCodes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

std::mutex g_stateLock;
LoadedApfInfo g_loaded;
ParkingSettingsCopy g_userParking;

std::string_view lf_boolWord(bool v) { return v ? "true" : "false"; }

bool lf_isDuplicate(const FlightOption& a, const FlightOption& b)
{
    return a.weekday == b.weekday && a.real == b.real && a.registration == b.registration &&
           a.key.airline == b.key.airline && a.key.op == b.key.op && a.key.model == b.key.model &&
           a.key.cargo == b.key.cargo && (a.hours & b.hours).any();
}

template <typename T>
void lf_takeSetting(std::optional<T> value, std::string_view key, std::optional<T>& out)
{
    if (!value) return;
    out = value;
    if constexpr (std::is_same_v<T, bool>)
        gf_writeLogContinuation(fmt::format("{:24}: {}", key, lf_boolWord(*value)));
    else
        gf_writeLogContinuation(fmt::format("{:24}: {}", key, *value));
}

std::optional<std::uint32_t> lf_unsigned(std::optional<std::int32_t> v)
{
    if (!v || *v < 0) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

LearnedParkingSettings lf_readParkingKeys(const pugi::xml_node& doc)
{
    LearnedParkingSettings s;
    lf_takeSetting(lf_unsigned(gf_readXmlIntParameter(doc, "parking_percentage")), "parking_percentage",
                   s.parking_percentage);
    lf_takeSetting(gf_readXmlBoolParameter(doc, "WEEK"), "WEEK", s.WEEK);
    lf_takeSetting(gf_readXmlBoolParameter(doc, "PARK_SOFT"), "PARK_SOFT", s.PARK_SOFT);
    lf_takeSetting(lf_unsigned(gf_readXmlIntParameter(doc, "MAX_FIT")), "MAX_FIT", s.MAX_FIT);
    lf_takeSetting(gf_readXmlBoolParameter(doc, "RT_PARKTRAFFIC_ONLY"), "RT_PARKTRAFFIC_ONLY", s.RT_PARKTRAFFIC_ONLY);
    // A file without AUTO_PARK switches auto park off for its airport.
    lf_takeSetting(std::optional<bool>(gf_readXmlBoolParameter(doc, "AUTO_PARK").value_or(false)), "AUTO_PARK",
                   s.AUTO_PARK);
    return s;
}

bool lf_hasStand(const std::vector<ParkPos>& stands, std::string_view id)
{
    return std::any_of(stands.begin(), stands.end(), [&](const ParkPos& s) { return s.name == id; });
}

void lf_mergeManualStand(const pugi::xml_node& node, const std::string& id, const fs::path& path,
                         std::vector<ParkPos>& stands)
{
    const std::string file = path_to_utf8(path);
    if (lf_hasStand(stands, id)) {
        gf_writeLogNotice(fmt::format("manually created standid {} already exists in {}", id, file));
        return;
    }
    const double radius = gf_xmlAttributeDoubleOrZero(node, "radius");
    if (!gf_isValidStandPosition(gf_xmlAttributeDoubleOrZero(node, "latitude"),
                                 gf_xmlAttributeDoubleOrZero(node, "longitude")) ||
        !(radius > 0.0)) {
        gf_writeLogNotice(fmt::format("manually created standid {} misses correct attributes in {}", id, file));
        return;
    }
    if (lf_readParkPos(node, id, 0, stands)) stands.back().manual = 1;
}

} // namespace

std::optional<std::string> lf_formerFacilityStandName(std::string_view id)
{
    std::string_view rest = id;
    std::string uniquifier;
    if (!rest.empty() && rest.back() >= 'a' && rest.back() <= 'j') {
        uniquifier = std::string(1, rest.back());
        rest.remove_suffix(1);
    }
    // The former suffix letters counted from code 1, today's from code 12;
    // letters from codes below 12 are none of today's.
    std::string letter;
    if (rest.size() >= 2 && rest.back() >= 'A' && rest.back() <= 'Z' && rest[rest.size() - 2] >= '0' &&
        rest[rest.size() - 2] <= '9') {
        const int formerCode = rest.back() - 'A' + 1;
        letter = gf_parkingSuffixText(formerCode);
        rest.remove_suffix(1);
    }
    std::size_t digits = rest.size();
    while (digits > 0 && rest[digits - 1] >= '0' && rest[digits - 1] <= '9')
        --digits;
    if (digits == rest.size())
        return std::nullopt;
    const std::string_view number = rest.substr(digits);
    const std::string_view prefix = rest.substr(0, digits);
    // Former prefixes were the table's words and a blank before the number,
    // "GATE A 12" for the lettered gates, which today reads "GATE A12".
    std::string today;
    if (prefix.size() == 7 && prefix.substr(0, 5) == "GATE " && prefix[5] >= 'A' && prefix[5] <= 'Z' && prefix[6] == ' ')
        today = std::string(prefix.substr(0, 6));
    else if (prefix.empty() || std::any_of(kFormerWordCodes.begin(), kFormerWordCodes.end(), [&](std::uint32_t code) {
                 return gf_parkingNamePrefix(code) == prefix;
             }))
        today = std::string(prefix);
    else
        return std::nullopt;
    std::string name = fmt::format("{}{}{}{}", today, number, letter, uniquifier);
    if (name == id)
        return std::nullopt;
    return name;
}

namespace {

bool lf_mergeOptions(const pugi::xml_node& node, const std::string& id, std::vector<ParkPos>& stands)
{
    return std::any_of(stands.begin(), stands.end(), [&](ParkPos& s) { return lf_readFlightOptions(node, id, s); });
}

void lf_mergeStands(const pugi::xml_node& section, const fs::path& path, std::vector<ParkPos>& stands)
{
    for (const pugi::xml_node node : section.children("parkpos")) {
        const std::string id = node.attribute("id").value();
        if (gf_xmlAttributeBool(node, "manual").value_or(false)) {
            lf_mergeManualStand(node, id, path, stands);
            continue;
        }
        bool merged = lf_mergeOptions(node, id, stands);
        if (!merged)
            if (const auto today = lf_formerFacilityStandName(id)) merged = lf_mergeOptions(node, *today, stands);
        if (!merged) gf_writeLogLine(fmt::format("learned stand {} in {} not found?", id, path_to_utf8(path)));
    }
}

ValueOrError<LearnedApf> lf_readLearned(const fs::path& path, std::string_view archivedName,
                                        const std::vector<ParkPos>& archivedStands)
{
    using Result = ValueOrError<LearnedApf>;
    LearnedApf result;
    result.stands = archivedStands;
    const std::string name = path_to_utf8(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const std::string error = fmt::format("{} could not be opened", name);
        gf_writeLogNotice(error);
        return Result::failure(error);
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load(in);
    if (!parsed) {
        gf_save1GenerationOf(path);
        gf_writeLogNotice(fmt::format("{} found, not loaded: {}, saved as *.0.xml", name, parsed.description()));
        return Result::failure(fmt::format("{} not loaded: {}", name, parsed.description()));
    }
    gf_writeLogLine(fmt::format("Read from learned airport file: '{}'", name));
    if (!gf_readMetaInfo(doc, true)) return Result::failure(fmt::format("{} has invalid metadata", name));
    const std::string learnedName = gf_readXmlStringParameter(doc, "airport_name").value_or("");
    if (learnedName != archivedName)
        gf_guiShowMessage(fmt::format("Warning: learned file airport name: '{}' differs from archived file airport "
                                      "name: '{}'",
                                      learnedName, archivedName),
                          true);
    result.settings = lf_readParkingKeys(doc);
    if (gf_readXmlBoolParameter(doc, "handmade").value_or(false)) {
        result.stands.clear();
        lf_readParkPositions(doc, result.stands);
        gf_writeLogContinuation(fmt::format("{:24}: {}", "handmade", "true"));
        result.handmade = true;
        return result;
    }
    const pugi::xml_node section = gf_apfSection(doc, "parkpositions");
    if (!section) {
        gf_writeLogLine(fmt::format("learned file {} has no '{}' section", name, "parkpositions"));
        return result;
    }
    lf_mergeStands(section, path, result.stands);
    return result;
}

} // namespace

ValueOrError<LearnedApf> gf_readLearnedAirportFile(const fs::path& path, std::string_view archivedName,
                                                    const std::vector<ParkPos>& archivedStands)
{
    using Result = ValueOrError<LearnedApf>;
    try {
        return lf_readLearned(path, archivedName, archivedStands);
    } catch (const std::exception& e) {
        gf_writeLogLine(fmt::format("{}: {}", "gf_readLearnedAirportFile", e.what()));
        return Result::failure(e.what());
    } catch (...) {
        return Result::failure(fmt::format("{}: unknown exception", "gf_readLearnedAirportFile"));
    }
}

bool lf_readFlightOptions(const pugi::xml_node& parkpos, std::string_view id, ParkPos& stand)
{
    if (stand.name != id) return false;
    std::uint32_t nextId = stand.options.empty() ? 1 : stand.options.back().optionId + 1;
    for (const pugi::xml_node opt : parkpos.children("opt")) {
        StandIdentity identity = lf_readFlightOptionIdentity(opt);
        const HoursMask hours = gf_hours2bitset(opt.attribute("hh").value());
        if (hours.none()) {
            gf_writeLogNotice("empty bit set");
            continue;
        }
        const std::int32_t day = gf_xmlAttributeInt(opt, "day").value_or(0);
        // The writer cannot store such a day; taking it would fail every later save.
        if (day < 1 || day > 7) {
            gf_writeLogNotice(fmt::format("learned option {} at stand {} has invalid weekday {}, dropped",
                                          opt.attribute("reg").value(), id, day));
            continue;
        }
        const bool soft = gf_xmlAttributeBool(opt, "soft").value_or(false);
        const bool cpl = gf_xmlAttributeBool(opt, "cpl").value_or(false);
        FlightOption option(identity.key, opt.attribute("reg").value(), std::move(identity.callSign), hours, 0,
                            static_cast<std::uint32_t>(day), 0, soft ? 0U : 1U, static_cast<std::uint8_t>(cpl ? 1 : 0));
        option.secondName = std::move(identity.secondName);
        const bool duplicate = std::any_of(stand.options.begin(), stand.options.end(),
                                           [&](const FlightOption& o) { return lf_isDuplicate(o, option); });
        if (duplicate) continue;
        option.optionId = nextId++;
        stand.options.push_back(std::move(option));
    }
    return true;
}

std::size_t lf_removeArchivedOptions(std::vector<FlightOption>& options)
{
    const auto removed = std::erase_if(options, [](const FlightOption& o) { return o.archived == 1 || o.optionId == 0; });
    return static_cast<std::size_t>(removed);
}

LoadedApfInfo gf_loadedApfInfo()
{
    const std::lock_guard guard(g_stateLock);
    return g_loaded;
}

void gf_setLoadedApfInfo(LoadedApfInfo info)
{
    const std::lock_guard guard(g_stateLock);
    g_loaded = std::move(info);
}

void gf_clearLoadedApfInfo() { gf_setLoadedApfInfo({}); }

void gf_raiseLearnedUpdates(std::int32_t count) noexcept { g_learnedUpdates.fetch_add(count); }

std::int32_t gf_learnedUpdates() noexcept { return g_learnedUpdates.load(); }

namespace {

std::vector<ParkPos> lf_standsToSave(const std::vector<ParkPos>& stands, bool handmade)
{
    std::vector<ParkPos> kept;
    kept.reserve(stands.size());
    for (const ParkPos& s : stands) {
        ParkPos copy = s;
        if (!handmade) {
            lf_removeArchivedOptions(copy.options);
            if (copy.manual == 0 && copy.options.empty()) continue;
        }
        kept.push_back(std::move(copy));
    }
    return kept;
}

ParkingSettingsCopy lf_snapshotParkingSettings()
{
    const auto s = gf_settings();
    const auto u = [](std::int32_t v) { return static_cast<std::uint32_t>(std::max(0, v)); };
    const auto b = [](bool v) { return static_cast<std::uint8_t>(v ? 1 : 0); };
    return ParkingSettingsCopy{u(s->parking_percentage), u(s->MAX_PARK_SEL), u(s->MAX_LIVE_SEL),
                               u(s->MAX_FIT),            b(s->RT_PARKTRAFFIC_ONLY), b(s->AUTO_PARK),
                               b(s->WEEK),               b(s->PARK_SOFT)};
}

ApfParkingSettings lf_currentParkingSettings()
{
    const ParkingSettingsCopy c = lf_snapshotParkingSettings();
    return ApfParkingSettings{c.parking_percentage, c.MAX_FIT, c.RT_PARKTRAFFIC_ONLY, c.AUTO_PARK, c.WEEK,
                              c.PARK_SOFT, true};
}

} // namespace

void gf_saveLearned(const std::vector<ParkPos>& stands, bool handmade)
{
    const AirportRecord airport = gf_parkAirport().airport;
    const LoadedApfInfo loaded = gf_loadedApfInfo();
    if (!airport.icao.isSet() || !loaded.loaded) {
        gf_writeLogNotice("gf_saveLearned called without a loaded airport file");
        return;
    }
    if (!loaded.learnedPath) {
        gf_writeLogNotice(fmt::format("cannot construct a safe learned path for publisher '{}'", loaded.publisher));
        return;
    }
    ApfParameters apf;
    apf.icao = airport.icao;
    apf.iata = airport.iata;
    apf.latitude = airport.latitude;
    apf.longitude = airport.longitude;
    apf.airportName = loaded.airportName;
    apf.altitude = loaded.altitude;
    apf.publisher = loaded.publisher;
    apf.stands = lf_standsToSave(stands, handmade);
    if (handmade) std::tie(apf.qfReal, apf.qfSoft) = gf_apfQualityFactors(apf.stands);
    const fs::path& path = *loaded.learnedPath;
    const bool saved = gf_writeApf(apf, path, ApfWriteMode::Learned, gf_programMode()->simulator, handmade,
                                   lf_currentParkingSettings());
    const std::int32_t updates = g_learnedUpdates.exchange(0);
    if (!saved) {
        gf_writeLogLine(fmt::format("saving '{}' did not succeed", path_to_utf8(path)));
        return;
    }
    gf_writeLogLine(fmt::format("{} '{}' saved with {} update{}", handmade ? " handmade" : "", path_to_utf8(path),
                                updates, updates == 1 || updates < 0 ? "" : "s"));
}

void gf_saveUserParkingSettings()
{
    const ParkingSettingsCopy copy = lf_snapshotParkingSettings();
    const std::lock_guard guard(g_stateLock);
    g_userParking = copy;
}

ParkingSettingsCopy gf_userParkingSettings()
{
    const std::lock_guard guard(g_stateLock);
    return g_userParking;
}

void lf_setIntParameterClamped(IntParameter& parameter, std::int64_t value)
{
    const std::int64_t clamped = std::clamp<std::int64_t>(value, parameter.minValue, parameter.maxValue);
    parameter.setValue(static_cast<std::int32_t>(clamped));
}

void gf_publishParkingSettings()
{
    gf_updateSettings([](SettingsSnapshot& s) {
        s.parking_percentage = parking_percentage.value();
        s.MAX_PARK_SEL = MAX_PARK_SEL.value();
        s.MAX_FIT = MAX_FIT.value();
        s.RT_PARKTRAFFIC_ONLY = RT_PARKTRAFFIC_ONLY.value();
        s.AUTO_PARK = AUTO_PARK.value();
        s.WEEK = WEEK.value();
        s.PARK_SOFT = PARK_SOFT.value();
    });
}

} // namespace zelk
