#include "liveries/LiveryIndex.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/GuiUpdate.h"
#include "liveries/CodeTables.h"
#include "liveries/LiveriesScannedFile.h"
#include "liveries/SimilarModels.h"

namespace zelk {

namespace {

constexpr float kTopLoadFactor = 0.7f;
constexpr std::size_t kAirlineRoom = 2'048;
constexpr std::size_t kCargoAirlineRoom = 256;
constexpr std::size_t kInstalledTitleRoom = 30'000;
constexpr std::size_t kPassengerModelRoom = 324;
constexpr std::size_t kCargoModelRoom = 75;
constexpr std::size_t kCodesPerLine = 20;
constexpr std::array<std::size_t, kAcCategoryCount> kCategoryModelRoom{64, 128, 128, 128, 128, 32, 32};

template <typename Table>
void lf_resetTable(Table& table, std::size_t room)
{
    table.clear();
    table.max_load_factor(kTopLoadFactor);
    table.reserve(room);
}

// A category the user can switch off, with the reason given when it has no livery.
struct CategoryOption {
    AcCategory category;
    GuiBoolParameter* option;
    std::string_view missing;
};

const CategoryOption* lf_categoryOption(AcCategory category)
{
    static const std::array<CategoryOption, 4> options{{
        {AcCategory::Light, &LIGHT_AIRCRAFT, "light aircraft"},
        {AcCategory::TwoProps, &TWO_PROPS, "two-prop aircraft"},
        {AcCategory::HighPerf, &HIGH_PERF_AIRCRAFT, "High Perf aircraft"},
        {AcCategory::Rotorcraft, &HELICOPTERS, "Helicopters"},
    }};
    for (const CategoryOption& o : options)
        if (o.category == category) return &o;
    return nullptr;
}

void lf_switchOffCategory(const CategoryOption& o)
{
    if (o.option->value()) {
        o.option->setValue(false);
        o.option->save();
        gf_writeLogLine(fmt::format("{} temporarily switched off because you do not have {} installed",
                                    o.option->name, o.missing));
    }
    o.option->enable(false);
}

void lf_publishCategoryFlags()
{
    gf_updateSettings([](SettingsSnapshot& s) {
        s.TWO_PROPS = TWO_PROPS.value();
        s.LIGHT_AIRCRAFT = LIGHT_AIRCRAFT.value();
        s.HELICOPTERS = HELICOPTERS.value();
        s.HIGH_PERF_AIRCRAFT = HIGH_PERF_AIRCRAFT.value();
    });
}

// Appends one livery to its key's model list.
void lf_addEntry(LiveryIndex& index, std::uint16_t key, const LiveryRecord& record)
{
    index.airlines[key][record.key.model].push_back(LiveryIndexEntry{record.title, record.key.cargo});
}

bool lf_isIndexable(const LiveryRecord& r, std::string_view what)
{
    if (r.key.airline != 0 && r.key.model != 0) return true;
    gf_writeLogLine(fmt::format("Invalid {}livery index: airl={}, opr={}, model={}, title={}", what, r.key.airline,
                                r.key.op, r.key.model, r.title));
    return false;
}

// Reads the scanned liveries; an unreadable file is logged with the reader's
// own reason, so the user learns what to fix, before the run gives up.
void lf_readScannedLiveries()
{
    try {
        gf_readLiveriesScanned();
    } catch (const std::exception& e) {
        gf_writeLogNotice(e.what());
        throw std::runtime_error(
            fmt::format("{} could not be read completely", path_to_utf8(gf_liveriesScannedFile())));
    }
}

void lf_fillInstalledTitles(LiveryIndex& index)
{
    for (const auto& [key, models] : index.airlines)
        for (const auto& [model, entries] : models)
            for (const LiveryIndexEntry& e : entries)
                if (!e.title.empty()) index.installedTitles.insert(e.title);
    gf_writeLogLine(fmt::format("{:5} livery titles", index.installedTitles.size()));
}

} // namespace

void LiveryIndex::reset()
{
    for (std::size_t c = 0; c < categoryModels.size(); ++c) {
        categoryModels[c].clear();
        categoryModels[c].reserve(kCategoryModelRoom[c]);
    }
    lf_resetTable(modelTitles[kPassengerKind], kPassengerModelRoom);
    lf_resetTable(modelTitles[kCargoKind], kCargoModelRoom);
    lf_resetTable(installedTitles, kInstalledTitleRoom);
    lf_resetTable(airlines, kAirlineRoom);
    lf_resetTable(airlineTitles[kPassengerKind], kAirlineRoom);
    lf_resetTable(airlineTitles[kCargoKind], kCargoAirlineRoom);
    similarModels.clear();
    airlineSimilarModels.clear();
}

LiveryIndex& gf_liveryIndex()
{
    static LiveryIndex index;
    return index;
}

void gf_processScannedLiveries()
{
    LiveryIndex& index = gf_liveryIndex();
    RegcodeTables& regcodes = gf_regcodeTables();
    gf_writeLogLine("\n+++++ processing scanned liveries +++++");
    // The scan's own reports of moments ago stay; only this processing's go.
    for (const std::string_view name : {kInlineRegcodesFileName, kMissingRepaintsFileName}) {
        std::error_code ec;
        std::filesystem::remove(kErrorsFolder / name, ec);
    }
    index.reset();
    regcodes.reset();

    lf_readScannedLiveries();
    std::vector<LiveryRecord>& records = gf_scannedLiveries();
    gf_postGuiUpdate(gui_update::SetLiveryCount{records.size()});

    lf_buildLiveryIndex(records, index);
    lf_fillInstalledTitles(index);
    lf_buildKindIndexes(index);
    lf_collectInlineRegcodes(records, index.installedTitles, regcodes);
    lf_processOfflineRegcodes(index.installedTitles, regcodes);
    gf_writeLogLine(fmt::format("{:5} registration codes", regcodes.registrations.size()));

    lf_createModelSorted(index);
    gf_writeLogLine(fmt::format("{:5} airlines, {} pax aircraft models and {} cargo aircraft models",
                                index.airlines.size(), index.modelTitles[kPassengerKind].size(),
                                index.modelTitles[kCargoKind].size()));
    lf_buildSimilarModels(index);
    gf_writeLogLine(" ");
    for (const AcCategory c : {AcCategory::Heavy, AcCategory::Large, AcCategory::Bizjet, AcCategory::TwoProps,
                               AcCategory::Light, AcCategory::Rotorcraft, AcCategory::HighPerf})
        lf_summarizeCategories(c, index);
    lf_findGenericLiveries(index);
    gf_postGuiUpdate(gui_update::Redraw{kBandTop});
    records.clear();
    gf_writeLogLine("----- end of processing scanned liveries ------\n");
}

void lf_buildLiveryIndex(const std::vector<LiveryRecord>& records, LiveryIndex& index)
{
    for (const LiveryRecord& r : records)
        if (r.key.op == 0 && lf_isIndexable(r, "")) lf_addEntry(index, r.key.airline, r);

    // Operator liveries go under the airline+operator code and under the
    // operator, never under the airline alone.
    std::uint16_t lastAirline = 0;
    std::uint16_t lastOperator = 0;
    std::uint16_t combined = 0;
    for (const LiveryRecord& r : records) {
        if (r.key.op == 0 || !lf_isIndexable(r, "operator ")) continue;
        if (r.key.airline != lastAirline || r.key.op != lastOperator) {
            lastAirline = r.key.airline;
            lastOperator = r.key.op;
            combined = gf_airlineCode2Index(
                fmt::format("{}{}", gf_airlineCodeText(r.key.airline), gf_airlineCodeText(r.key.op)));
        }
        lf_addEntry(index, combined, r);
        lf_addEntry(index, r.key.op, r);
    }
}

void lf_buildKindIndexes(LiveryIndex& index)
{
    for (const auto& [key, models] : index.airlines) {
        std::array<ModelTitles, 2> byKind;
        for (const auto& [model, entries] : models) {
            std::array<TitleList, 2> lists;
            for (const LiveryIndexEntry& e : entries)
                if (!e.title.empty()) lists[e.cargo != 0 ? kCargoKind : kPassengerKind].push_back(e.title);
            for (std::size_t kind = 0; kind < 2; ++kind)
                if (!lists[kind].empty()) byKind[kind].emplace(model, std::move(lists[kind]));
        }
        for (std::size_t kind = 0; kind < 2; ++kind)
            if (!byKind[kind].empty()) index.airlineTitles[kind].try_emplace(key, std::move(byKind[kind]));
    }
}

void lf_createModelSorted(LiveryIndex& index)
{
    struct Item {
        std::string_view title;
        std::uint16_t model;
        std::uint8_t cargo;
    };
    std::vector<Item> items;
    items.reserve(kInstalledTitleRoom);
    for (const auto& [key, models] : index.airlines)
        for (const auto& [model, entries] : models)
            for (const LiveryIndexEntry& e : entries) {
                if (e.title.empty()) continue;
                if (model == 0) {
                    gf_writeLogLine("lf_createModelSorted: model index 0 skipped");
                    continue;
                }
                items.push_back(Item{e.title, model, e.cargo});
            }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.model < b.model; });
    for (const Item& item : items)
        index.modelTitles[item.cargo != 0 ? kCargoKind : kPassengerKind][item.model].push_back(item.title);
}

void lf_summarizeCategories(AcCategory category, LiveryIndex& index)
{
    std::array<std::size_t, 2> titles{0, 0};
    std::vector<std::uint16_t> models;
    for (std::size_t kind = 0; kind < 2; ++kind)
        for (const auto& [model, list] : index.modelTitles[kind])
            if (gf_modelCategory(model) == category) {
                models.push_back(model);
                titles[kind] += list.size();
            }
    const CategoryOption* option = lf_categoryOption(category);
    if (titles[kPassengerKind] == 0 && titles[kCargoKind] == 0) {
        gf_writeLogLine(fmt::format("Category {}: No livery found", gf_categoryName(category)));
        if (option) lf_switchOffCategory(*option);
    } else {
        const std::size_t pax = titles[kPassengerKind];
        const std::size_t cargo = titles[kCargoKind];
        const std::string cargoPart =
            cargo == 0 ? std::string{} : fmt::format(" and {} cargo liverie{}", cargo, cargo > 1 ? "s" : "");
        gf_writeLogLine(fmt::format("Category {}: {} pax liverie{}{}", gf_categoryName(category), pax,
                                    gf_pluralSuffix(pax), cargoPart));
        if (!models.empty()) {
            std::sort(models.begin(), models.end());
            models.erase(std::unique(models.begin(), models.end()), models.end());
            std::vector<std::uint16_t>& list = index.categoryModels[static_cast<std::size_t>(category)];
            list.insert(list.end(), models.begin(), models.end());
            lf_logModelCodeLines(models);
        }
        if (option) option->option->enable(true);
    }
    lf_publishCategoryFlags();
}

void lf_findGenericLiveries(const LiveryIndex& index)
{
    const std::optional<std::uint16_t> zzz = gf_airlineCodeTable().find("ZZZ");
    const auto it = zzz ? index.airlines.find(*zzz) : index.airlines.end();
    if (it == index.airlines.end()) {
        gf_writeLogLine("No generic liveries");
        return;
    }
    std::vector<std::uint16_t> models;
    for (const auto& entry : it->second) models.push_back(entry.first);
    std::sort(models.begin(), models.end());
    models.erase(std::unique(models.begin(), models.end()), models.end());
    gf_writeLogLine(fmt::format("{} model{} have a generic livery", models.size(), gf_pluralSuffix(models.size())));
    lf_logModelCodeLines(models);
}

bool lf_hasAirlineModelLivery(const LiveryIndex& index, std::uint16_t airline, std::uint16_t model)
{
    const auto it = index.airlines.find(airline);
    return it != index.airlines.end() && it->second.contains(model);
}

std::set<std::uint16_t> lf_liveryAirlineSet(const LiveryIndex& index)
{
    std::set<std::uint16_t> keys;
    for (const auto& entry : index.airlines) keys.insert(entry.first);
    return keys;
}

void lf_logModelCodeLines(const std::vector<std::uint16_t>& models)
{
    std::string line = "  ";
    std::size_t count = 0;
    for (const std::uint16_t model : models) {
        line += gf_modelCodeText(model);
        line += ',';
        if (++count % kCodesPerLine == 0) {
            line.pop_back();
            gf_writeLogLine(line);
            line = "  ";
        }
    }
    if (count % kCodesPerLine != 0) {
        line.pop_back();
        gf_writeLogLine(line);
    }
}

} // namespace zelk
