#include "liveries/LiveryMatching.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Random.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "liveries/CodeTables.h"
#include "liveries/LiveryIndex.h"
#include "liveries/RecordSummary.h"
#include "simlink/UserAircraftState.h"

namespace zelk {

namespace {

constexpr std::string_view kMatchIndent = "                "; // sixteen spaces
constexpr int kHighAltitudeDepth = 8;
constexpr int kProbes = 5;

std::mutex g_hooksLock;
std::shared_ptr<const LiveryMatchHooks> g_hooks = std::make_shared<LiveryMatchHooks>();
std::array<std::atomic<std::uint32_t>, kLiveryStepCount> g_stepCounts{};

std::shared_ptr<const LiveryMatchHooks> lf_hooks()
{
    std::lock_guard lock(g_hooksLock);
    return g_hooks;
}

// Indexes the matching names, interned once per process.
struct MatchCodes {
    std::uint16_t pvt = gf_airlineCode2Index("PVT");
    std::uint16_t zzz = gf_airlineCode2Index("ZZZ");
    std::uint16_t b738 = gf_modelCode2Index("B738");
    std::uint16_t a320 = gf_modelCode2Index("A320");
};
const MatchCodes& lf_codes()
{
    static const MatchCodes codes;
    return codes;
}

std::size_t lf_kindOf(std::uint8_t cargo) { return cargo != 0 ? kCargoKind : kPassengerKind; }

const TitleList* lf_titles(std::size_t kind, std::uint16_t key, std::uint16_t model)
{
    const auto& airlines = gf_liveryIndex().airlineTitles[kind];
    const auto airline = airlines.find(key);
    if (airline == airlines.end()) return nullptr;
    const auto list = airline->second.find(model);
    return list == airline->second.end() ? nullptr : &list->second;
}

// Five random probes, then one pass that keeps each further candidate with
// falling chance; special titles are never picked.
std::string_view lf_pickLiveryTitle(const TitleList* list)
{
    if (!list || list->empty()) return {};
    const TitleViewSet& special = gf_regcodeTables().specialTitles;
    for (int probe = 0; probe < kProbes; ++probe) {
        const std::string_view title = (*list)[gf_randomIndex(list->size())];
        if (special.empty() || !special.contains(title)) return title;
    }
    std::string_view chosen;
    std::uint64_t k = 0;
    for (const std::string_view title : *list) {
        if (special.contains(title)) continue;
        if (gf_randomIndex(++k) == 0) chosen = title;
    }
    return chosen;
}

bool lf_containsNoCase(std::string_view text, std::string_view part)
{
    const auto same = [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

// The first title of (owner, model) that names the other airline.
std::string_view lf_matchTitleShortName(std::size_t kind, std::uint16_t owner, std::uint16_t model,
                                        std::string_view otherAirline)
{
    const std::string_view name = lf_shortAirlineName(otherAirline);
    const TitleList* list = name.empty() ? nullptr : lf_titles(kind, owner, model);
    if (!list) return {};
    for (const std::string_view title : *list)
        if (lf_containsNoCase(title, name)) return title;
    return {};
}

std::string_view lf_matchAirlineOperatorModel(const LiveryKey& key, std::size_t kind)
{
    if (key.op == 0) return lf_pickLiveryTitle(lf_titles(kind, key.airline, key.model));
    const std::string_view airline = gf_airlineCodeText(key.airline);
    const std::string_view op = gf_airlineCodeText(key.op);
    const std::uint16_t combined = gf_airlineCode2Index(fmt::format("{}{}", airline, op));
    std::string_view title = lf_pickLiveryTitle(lf_titles(kind, combined, key.model));
    if (title.empty()) title = lf_matchTitleShortName(kind, key.op, key.model, airline);
    if (title.empty()) title = lf_matchTitleShortName(kind, key.airline, key.model, op);
    if (title.empty()) title = lf_pickLiveryTitle(lf_titles(kind, key.op, key.model));
    if (title.empty()) title = lf_pickLiveryTitle(lf_titles(kind, key.airline, key.model));
    return title;
}

// A cargo aircraft falls back to passenger liveries; never the reverse.
std::string_view lf_matchAirlineModel(const LiveryKey& key)
{
    std::string_view title = lf_matchAirlineOperatorModel(key, lf_kindOf(key.cargo));
    if (title.empty() && key.cargo != 0) title = lf_matchAirlineOperatorModel(key, kPassengerKind);
    return title;
}

// Models like the aircraft's that its airline (or operator) has liveries of;
// tried on a copy of the key, so the aircraft keeps its own model.
std::string_view lf_matchAirlineSimilarModel(const LiveryKey& key, AcCategory category)
{
    auto& owners = gf_liveryIndex().airlineSimilarModels;
    const auto owner = owners.find(key.op != 0 ? key.op : key.airline);
    if (owner == owners.end()) return {};
    const auto models = owner->second.find(key.model);
    if (models == owner->second.end()) return {};
    gf_shuffleIfRandom(models->second);
    for (const std::uint16_t m : models->second) {
        if (gf_modelCategory(m) != category) continue;
        LiveryKey similar = key;
        similar.model = m;
        std::string_view title = lf_matchAirlineOperatorModel(similar, lf_kindOf(key.cargo));
        if (title.empty() && key.cargo != 0) title = lf_matchAirlineOperatorModel(similar, kPassengerKind);
        if (!title.empty()) return title;
    }
    return {};
}

std::string_view lf_pickModelLivery(std::uint16_t model, std::size_t kind)
{
    const ModelTitles& models = gf_liveryIndex().modelTitles[kind];
    const auto it = models.find(model);
    return it == models.end() ? std::string_view{} : lf_pickLiveryTitle(&it->second);
}

struct Attempt {
    std::string_view title;
    int step = 0;
};

// One aircraft on its way down the ladder. `key` is what the airline steps
// search (for a parked aircraft with the stand's cargo flag); the fallbacks
// take the aircraft's own key and the extra cargo flag.
struct Climb {
    const LiveryMatchAircraft& aircraft;
    LiveryKey key;
    int depth = 0;
    std::uint8_t extraCargo = 0;
};

Attempt lf_registrationRung(const Climb& c)
{
    if (c.aircraft.registration.empty()) return {};
    const RegcodeTables& tables = gf_regcodeTables();
    const auto it = tables.registrations.find(c.aircraft.registration);
    if (it == tables.registrations.end()) return {};
    return {it->second, tables.uniqueRegistrations.contains(c.aircraft.registration) ? 0 : 1};
}

Attempt lf_privateRung(const Climb& c)
{
    if (c.key.airline != lf_codes().pvt) return {};
    LiveryKey generic = c.key;
    generic.airline = lf_codes().zzz;
    generic.op = 0;
    return {lf_matchAirlineModel(generic), 4};
}

Attempt lf_airlineModelRung(const Climb& c) { return {lf_matchAirlineModel(c.key), 2}; }

Attempt lf_similarModelRung(const Climb& c) { return {lf_matchAirlineSimilarModel(c.key, c.aircraft.category), 3}; }

std::string_view lf_similarModelsLivery(std::uint16_t model, std::size_t kind)
{
    auto& similar = gf_liveryIndex().similarModels;
    const auto it = similar.find(model);
    if (it == similar.end()) return {};
    gf_shuffleIfRandom(it->second);
    for (const std::uint16_t m : it->second)
        if (const std::string_view title = lf_pickModelLivery(m, kind); !title.empty()) return title;
    return {};
}

// Any model of the category, in random order when RANDOM is on; either kind,
// the aircraft's (or the stand's) first.
std::string_view lf_categoryLivery(std::uint16_t model, std::size_t kind)
{
    const auto& all = gf_liveryIndex().categoryModels[static_cast<std::size_t>(gf_modelCategory(model))];
    std::vector<std::uint16_t> shuffled;
    const std::vector<std::uint16_t>* order = &all;
    if (gf_settings()->RANDOM && all.size() > 1) {
        shuffled = all;
        gf_shuffleIfRandom(shuffled);
        order = &shuffled;
    }
    for (const std::uint16_t m : *order) {
        if (const std::string_view title = lf_pickModelLivery(m, kind); !title.empty()) return title;
        if (const std::string_view title = lf_pickModelLivery(m, 1 - kind); !title.empty()) return title;
    }
    return {};
}

// Steps 4 to 8. Small categories pass steps 5 to 7 whatever the depth.
Attempt lf_fallbackRung(const Climb& c)
{
    const LiveryKey& own = c.aircraft.key;
    const std::size_t ownKind = lf_kindOf(own.cargo);
    const std::uint8_t cargo = (own.cargo != 0 || c.extraCargo != 0) ? 1 : 0;
    LiveryKey generic = own;
    generic.cargo = cargo;
    generic.airline = lf_codes().zzz;
    generic.op = lf_codes().zzz;
    if (const std::string_view title = lf_matchAirlineModel(generic); !title.empty()) return {title, 4};

    const AcCategory category = c.aircraft.category;
    const bool small = category == AcCategory::Light || category == AcCategory::TwoProps ||
                       category == AcCategory::Bizjet || category == AcCategory::Rotorcraft;
    if (c.depth < 5 && !small) return {};
    if (const std::string_view title = lf_pickModelLivery(own.model, ownKind); !title.empty()) return {title, 5};
    if (c.depth < 6 && !small) return {};
    if (const std::string_view title = lf_similarModelsLivery(own.model, ownKind); !title.empty()) return {title, 6};
    if (c.depth < 7 && !small) return {};
    if (const std::string_view title = lf_categoryLivery(own.model, lf_kindOf(cargo)); !title.empty())
        return {title, 7};
    if (c.depth != kHighAltitudeDepth) return {};
    for (const std::uint16_t m : {lf_codes().b738, lf_codes().a320})
        if (const std::string_view title = lf_pickModelLivery(m, ownKind); !title.empty()) return {title, 8};
    return {};
}

// The ladder: each rung from its depth on, tried only when the ones above it
// found nothing or had their title refused.
struct Rung {
    int minDepth;
    Attempt (*attempt)(const Climb&);
};
constexpr std::array<Rung, 5> kLadder{{
    {1, &lf_registrationRung},
    {2, &lf_privateRung},
    {2, &lf_airlineModelRung},
    {3, &lf_similarModelRung},
    {4, &lf_fallbackRung},
}};

template <typename Accept>
std::optional<int> lf_climb(const Climb& climb, Accept accept)
{
    for (const Rung& rung : kLadder) {
        if (climb.depth < rung.minDepth) break;
        const Attempt a = rung.attempt(climb);
        if (!a.title.empty() && accept(a)) return a.step;
    }
    return std::nullopt;
}

bool lf_isUncreatable(std::string_view title)
{
    const auto hooks = lf_hooks();
    return hooks->isUncreatable && hooks->isUncreatable(title);
}

void lf_logMatch(const LiveryMatchAircraft& aircraft, int step)
{
    gf_writeLogLine(fmt::format("{}{} ={}= {}", kMatchIndent, aircraft.logText, step, aircraft.title));
}

bool lf_acceptLiveMatch(LiveryMatchAircraft& aircraft, const Attempt& a)
{
    if (lf_isUncreatable(a.title)) return false;
    aircraft.title = a.title;
    g_stepCounts[static_cast<std::size_t>(a.step)].fetch_add(1, std::memory_order_relaxed);
    lf_logMatch(aircraft, a.step);
    aircraft.fsltl = a.title.find("FSLTL_") != std::string_view::npos ? 1 : 0;
    if (a.step > gf_settings()->MATCHING_DEPTH) aircraft.coverage = 1;
    return true;
}

bool lf_acceptStaticMatch(LiveryMatchAircraft& aircraft, const Attempt& a)
{
    if (lf_isUncreatable(a.title)) return false;
    aircraft.title = a.title;
    lf_logMatch(aircraft, a.step);
    return true;
}

} // namespace

void gf_setLiveryMatchHooks(LiveryMatchHooks hooks)
{
    auto published = std::make_shared<const LiveryMatchHooks>(std::move(hooks));
    std::lock_guard lock(g_hooksLock);
    g_hooks = std::move(published);
}

std::optional<int> gf_matchLiveryLive(LiveryMatchAircraft& aircraft, double altitudeFt)
{
    const auto settings = gf_settings();
    int depth = settings->MATCHING_DEPTH;
    const double tcasFt = settings->TCAS_FL * 100.0;
    if (gf_getUserAcPosition().altitude > tcasFt && altitudeFt > tcasFt) depth = kHighAltitudeDepth;
    aircraft.title = {};
    const Climb climb{aircraft, aircraft.key, depth, 0};
    return lf_climb(climb, [&](const Attempt& a) { return lf_acceptLiveMatch(aircraft, a); });
}

std::optional<int> gf_matchLiveryStatic(LiveryMatchAircraft& aircraft, std::string_view standName, bool standCargo)
{
    if (!aircraft.title.empty()) {
        gf_writeLogLine(fmt::format("{}{} =s= {}", kMatchIndent, aircraft.logText, aircraft.title));
        return kKeptLiveryTitle;
    }
    LiveryKey standKey = aircraft.key;
    standKey.cargo = standCargo ? 1 : 0;
    const Climb climb{aircraft, standKey, gf_settings()->MATCHING_DEPTH, standKey.cargo};
    const auto step = lf_climb(climb, [&](const Attempt& a) { return lf_acceptStaticMatch(aircraft, a); });
    if (!step)
        gf_writeLogLine(fmt::format("{:14}: {} no livery match ...", standName,
                                    fmt::format("{:8} {} {}", aircraft.callsign, aircraft.registration,
                                                gf_formatRecordSummary(aircraft.key))));
    return step;
}

std::array<std::uint32_t, kLiveryStepCount> gf_liveryStepCounts()
{
    std::array<std::uint32_t, kLiveryStepCount> counts{};
    for (std::size_t i = 0; i < kLiveryStepCount; ++i) counts[i] = g_stepCounts[i].load(std::memory_order_relaxed);
    return counts;
}

void lf_resetLiveryStepCounts()
{
    for (auto& count : g_stepCounts) count.store(0, std::memory_order_relaxed);
}

void gf_logLiveryMatchingSummary()
{
    const auto hooks = lf_hooks();
    const std::vector<std::string> uncreatable = hooks->uncreatableList ? hooks->uncreatableList()
                                                                        : std::vector<std::string>{};
    const auto counts = gf_liveryStepCounts();
    if (std::all_of(counts.begin(), counts.end(), [](std::uint32_t n) { return n == 0; })) return;
    std::vector<std::string> lines;
    lines.push_back(gf_bannerLine(64, 0, true, false, "live traffic livery matching summary"));
    lines.emplace_back("Matches at step: ");
    for (std::size_t step = 0; step < kLiveryStepCount; ++step)
        lines.push_back(fmt::format("  {}: {}", step, counts[step]));
    if (!uncreatable.empty()) {
        lines.emplace_back("\nCould not be created");
        lines.insert(lines.end(), uncreatable.begin(), uncreatable.end());
    }
    lines.push_back(gf_bannerLine(64, 36, false, true, ""));
    for (const std::string& line : lines) gf_writeLogLine(line);
}

std::string_view lf_shortAirlineName(std::string_view code)
{
    static const std::unordered_map<std::string_view, std::string_view> names{
        {"AAL", "American"},        {"AAR", "Asiana"},        {"AAY", "Allegiant"},
        {"ACA", "Air Canada"},      {"AFR", "Air France"},    {"AIC", "Air India"},
        {"ANA", "ANA"},             {"ANZ", "Air New Zealand"}, {"ASA", "Alaska"},
        {"ASH", "Mesa"},            {"AUA", "Austrian"},      {"AVA", "Avianca"},
        {"BAW", "British Airways"}, {"BEL", "Brussels"},      {"BOX", "AeroLogic"},
        {"CAI", "Corendon"},        {"CCA", "Air China"},     {"CES", "China Eastern"},
        {"CFE", "BA CityFlyer"},    {"CHH", "Hainan"},        {"CPA", "Cathay"},
        {"CSN", "China Southern"},  {"DAE", "DHL Aero"},      {"DAL", "Delta"},
        {"DHK", "DHL Air"},         {"DLH", "Lufthansa"},     {"EDV", "Endeavor"},
        {"EIN", "Aer Lingus"},      {"ETH", "Ethiopian"},     {"ETD", "Etihad"},
        {"EVA", "EVA Air"},         {"EZY", "easyJet"},       {"FDX", "FedEx"},
        {"FFT", "Frontier"},        {"FIN", "Finnair"},       {"FJO", "Flexjet"},
        {"GJS", "GoJet"},           {"IBE", "Iberia"},        {"JAL", "Japan Airlines"},
        {"JBU", "JetBlue"},         {"JIA", "PSA Airlines"},  {"JZA", "Jazz"},
        {"KAL", "Korean Air"},      {"KLC", "Cityhopper"},    {"KLM", "KLM"},
        {"LAN", "LATAM"},           {"LOT", "LOT"},           {"LRC", "Avianca"},
        {"NKS", "Spirit"},          {"PDT", "Piedmont"},      {"PRM", "Prime Air"},
        {"QFA", "Qantas"},          {"QLK", "QantasLink"},    {"QTR", "Qatar"},
        {"QXE", "Horizon"},         {"RPA", "Republic"},      {"RYR", "Ryanair"},
        {"SAS", "Scandinavian"},    {"SIA", "Singapore"},     {"SKW", "SkyWest"},
        {"SWA", "Southwest"},       {"SWR", "Swiss"},         {"TAP", "TAP"},
        {"THY", "Turkish"},         {"TVF", "Transavia"},     {"UAL", "United"},
        {"UAE", "Emirates"},        {"UPS", "UPS"},           {"VIR", "Virgin Atlantic"},
        {"VJT", "VistaJet"},        {"VLG", "Vueling"},       {"WJA", "WestJet"},
    };
    const auto it = names.find(code);
    return it == names.end() ? std::string_view{} : it->second;
}

} // namespace zelk
