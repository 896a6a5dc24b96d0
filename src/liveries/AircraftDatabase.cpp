#include "liveries/AircraftDatabase.h"

#include "core/EncryptedFile.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>
#include <pugixml.hpp>

namespace zelk {

const std::unordered_map<std::string_view, std::string_view> kStockAircraftTypes = {
    {"Asobo_FlightDesignCT", "FDCT"},
    {"Asobo_DA40_TDI", "DA40"},
    {"Asobo_Longitude", "C700"},
    {"Asobo_DA40_NG", "DA40"},
    {"Asobo_VL3", "VL3"},
    {"Asobo_Cap10C", "CP10"},
    {"Asobo_Savage_Cub", "SAVG"},
    {"Asobo_CJ4", "C25C"},
    {"Asobo_Savage_ShockUltra", "SAVG"},
    {"Asobo_C152", "C152"},
    {"Asobo_XCub", "CC19"},
    {"Asobo_C152_Aerobat", "C152"},
    {"Asobo_Pitts", "PTS2"},
    {"Asobo_C172sp_AS1000", "C172"},
    {"Asobo_SR22", "SR22"},
    {"Asobo_C172sp_classic", "C172"},
    {"Asobo_Icon", "A5"},
    {"Asobo_Bonanza_G36", "BE36"},
    {"Asobo_TBM930", "TBM9"},
    {"Asobo_Baron_G58", "B58T"},
    {"Asobo_KingAir350", "B350"},
    {"Asobo_B747_8i", "B748"},
    {"Asobo_E330", "E300"},
    {"Asobo_B787_10", "B78X"},
    {"Asobo_DV20", "DV20"},
    {"Asobo_208B_GRAND_CARAVAN_EX", "C208"},
    {"Asobo_DR400", "DR40"},
    {"Asobo_A320_NEO", "A20N"},
    {"Asobo_DA62", "DA62"},
    {"FlyByWire_A320_NEO", "A20N"},
};

namespace {

using CodeSet = std::set<std::string, std::less<>>;

constexpr std::size_t kReservedRecords = 81'920;
constexpr std::size_t kReservedSimilarGroups = 128;

std::string lf_attributeText(const pugi::xml_node& node, const char* name)
{
    return gf_xmlAttributeStringOr(node, name, "");
}

// Collects every code of every `element` of root/section from its comma list.
void lf_readDbaseSection(const pugi::xml_document& doc, std::string_view section, CodeSet& set,
                         const char* element, const char* attribute)
{
    const pugi::xml_node root = doc.child("root");
    if (!root) throw UserRelatedException(61, "XML root missing: root");
    const std::string sectionName(section);
    const pugi::xml_node node = root.child(sectionName.c_str());
    if (!node) throw UserRelatedException(61, "Missing section: " + sectionName);
    for (const pugi::xml_node item : node.children(element)) {
        for (auto& code : gf_split(item.attribute(attribute).as_string(), ',')) {
            set.insert(std::move(code));
        }
    }
}

void lf_readDbaseTypeSection(const pugi::xml_document& doc, std::string_view section, CodeSet& set,
                             const char* element)
{
    set.clear();
    lf_readDbaseSection(doc, section, set, element, "types");
}

void lf_readDbaseCodeSection(const pugi::xml_document& doc, std::string_view section, CodeSet& set)
{
    set.clear();
    lf_readDbaseSection(doc, section, set, "ICAO", "codes");
}

void lf_toModelIndexSet(AircraftDatabase& db, const CodeSet& codes, std::set<std::uint16_t>& indexes)
{
    indexes.clear();
    for (const auto& code : codes) indexes.insert(db.modelIndex(code));
}

} // namespace

AircraftDatabase::AircraftDatabase(CodeTable& airlines, CodeTable& models)
    : airlines_(airlines),
      models_(models),
      data_(std::make_shared<const DbaseData>()),
      fixes_(std::make_shared<const ModelFixes>())
{
}

bool AircraftDatabase::readXml(char* text, std::size_t size, std::string_view source)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(text, size);
    if (!parsed) {
        gf_writeLogNotice(fmt::format("{} not read because: {}", source, parsed.description()));
        return false;
    }
    const pugi::xml_node root = doc.child("root");
    if (!root) {
        gf_writeLogNotice(fmt::format("'{}' has no root node", source));
        return false;
    }

    auto data = std::make_shared<DbaseData>();

    // Models first, interned in sorted order so the database's own models get
    // the low indexes; everything interned afterwards follows them.
    lf_readDbaseTypeSection(doc, "aircrafts", data->modelCodes, "aircraft");
    gf_writeLogLine(fmt::format("\n{:5} ICAO model codes", data->modelCodes.size()));
    lf_readDbaseTypeSection(doc, "cargo_types", data->cargoTypes, "cargo_type");

    models_.intern("");
    for (const auto& code : data->modelCodes) models_.intern(code);
    {
        std::unique_lock lock(mutex_);
        fixesActive_ = true;
    }

    for (const auto& code : data->cargoTypes) data->cargoModelIndexes.insert(modelIndex(code));

    lf_readDbaseTypeSection(doc, "heavy", data->heavy, "hvy");
    lf_readDbaseTypeSection(doc, "large", data->large, "lar");
    lf_readDbaseTypeSection(doc, "buzjet", data->bizjet, "bzj");
    lf_readDbaseTypeSection(doc, "twoprops", data->twoProps, "tpr");
    lf_readDbaseTypeSection(doc, "high_performance", data->highPerf, "hpf");
    lf_readDbaseTypeSection(doc, "rotorcraft", data->rotorcraft, "rot");
    lf_toModelIndexSet(*this, data->heavy, data->heavyIndexes);
    lf_toModelIndexSet(*this, data->large, data->largeIndexes);
    lf_toModelIndexSet(*this, data->bizjet, data->bizjetIndexes);
    lf_toModelIndexSet(*this, data->twoProps, data->twoPropsIndexes);
    lf_toModelIndexSet(*this, data->highPerf, data->highPerfIndexes);
    lf_toModelIndexSet(*this, data->rotorcraft, data->rotorcraftIndexes);

    data->similarGroups.reserve(kReservedSimilarGroups);
    if (const pugi::xml_node similar = root.child("similar_types")) {
        for (const pugi::xml_node item : similar.children("similar")) {
            auto group = gf_split(item.attribute("types").as_string(), ',');
            std::sort(group.begin(), group.end());
            data->similarGroups.push_back(std::move(group));
        }
    }

    lf_readDbaseCodeSection(doc, "ICAO_airlines", data->airlineCodes);
    gf_writeLogLine(fmt::format("{:5} ICAO airline codes", data->airlineCodes.size()));
    lf_readDbaseCodeSection(doc, "cargo_operators", data->cargoOperators);
    gf_writeLogLine(fmt::format("{:5} cargo operators", data->cargoOperators.size()));

    airlines_.intern("");
    for (const auto& code : data->airlineCodes) airlines_.intern(code);
    for (const auto& code : data->cargoOperators) airlines_.intern(code);
    for (const auto& code : data->cargoOperators) data->cargoOperatorIndexes.insert(airlines_.intern(code));

    if (const pugi::xml_node spans = root.child("wingspans")) {
        for (const pugi::xml_node item : spans.children("wingspan")) {
            const std::string type = lf_attributeText(item, "type");
            if (type.empty() || !data->modelCodes.contains(type)) {
                gf_writeLogNotice(fmt::format("wingspan model {} is not valid, skipped", type));
                continue;
            }
            const double metres = gf_xmlAttributeDoubleOrZero(item, "meters");
            if (!(metres > 0.0)) {
                gf_writeLogNotice(fmt::format("wingspan for model {} is not positive, skipped", type));
                continue;
            }
            const double halfSpanNm = metres * 0.5 / kMetresPerNm;
            if (!data->halfSpanByCode.emplace(type, halfSpanNm).second) {
                gf_writeLogNotice(fmt::format("duplicate wingspan model {}, skipped", type));
                continue;
            }
            data->largestHalfSpanNm = std::max(data->largestHalfSpanNm, halfSpanNm);
        }
    }
    // Indexed by model index over the whole index range in use, so no model,
    // however late it was interned, falls outside the table.
    for (const auto& [code, halfSpanNm] : data->halfSpanByCode) {
        const std::uint16_t index = modelIndex(code);
        if (index == 0) {
            gf_writeLogNotice(
                fmt::format("cannot store wingspan for model {}: {}", code, "the model table is full"));
            continue;
        }
        if (index >= data->halfSpanByIndex.size()) data->halfSpanByIndex.resize(index + std::size_t{1}, 0.0);
        data->halfSpanByIndex[index] = halfSpanNm;
    }

    if (const pugi::xml_node fixNode = root.child("fixes")) {
        auto fixes = std::make_shared<ModelFixes>();
        for (const pugi::xml_node item : fixNode.children("fx")) {
            std::string wrong = lf_attributeText(item, "wro");
            std::string correct = lf_attributeText(item, "cor");
            if (correct.empty() || !data->modelCodes.contains(correct)) {
                gf_writeLogNotice(
                    fmt::format("invalid fix {} -> {}, target is not a valid ICAO model", wrong, correct));
                continue;
            }
            if (fixes->contains(wrong)) {
                gf_writeLogNotice(fmt::format("duplicate fix key '{}', skipped", wrong));
                continue;
            }
            fixes->emplace(std::move(wrong), std::move(correct));
        }
        gf_writeLogLine(fmt::format("{:5} fixes", fixes->size()));
        std::unique_lock lock(mutex_);
        fixes_ = std::move(fixes);
    } else {
        std::unique_lock lock(mutex_);
        fixes_ = std::make_shared<const ModelFixes>();
    }

    data->records.reserve(kReservedRecords);
    if (const pugi::xml_node records = root.child("dbase")) {
        for (const pugi::xml_node item : records.children("d")) {
            LiveryKey key;
            key.airline = airlines_.intern(item.attribute("a").as_string());
            key.op = airlines_.intern(item.attribute("o").as_string());
            key.model = modelIndex(item.attribute("m").as_string());
            key.cargo = gf_xmlAttributeBool(item, "c").value_or(false) ? 1 : 0;
            key.valid = 1;
            data->records.push_back(DbaseRecord{lf_attributeText(item, "r"), key});
        }
    }
    // Stable, so that of two records for one registration the first in the
    // file is the one kept.
    std::stable_sort(data->records.begin(), data->records.end(),
                     [](const DbaseRecord& a, const DbaseRecord& b) { return a.registration < b.registration; });
    const auto firstDuplicate =
        std::unique(data->records.begin(), data->records.end(),
                    [](const DbaseRecord& a, const DbaseRecord& b) { return a.registration == b.registration; });
    data->records.erase(firstDuplicate, data->records.end());
    data->records.shrink_to_fit();
    gf_writeLogLine(fmt::format("{:5} dbase records read\n", data->records.size()));

    std::unique_lock lock(mutex_);
    data_ = std::move(data);
    return true;
}

std::uint16_t AircraftDatabase::airlineIndex(std::string_view code)
{
    return airlines_.intern(code);
}

std::uint16_t AircraftDatabase::modelIndex(std::string_view code)
{
    if (const auto known = knownModelIndex(code)) return *known;
    return models_.intern(code);
}

std::optional<std::uint16_t> AircraftDatabase::knownModelIndex(std::string_view code) const
{
    if (const auto known = models_.find(code)) return known;
    std::shared_lock lock(mutex_);
    if (fixesActive_) {
        if (const auto fix = fixes_->find(code); fix != fixes_->end()) {
            if (const auto target = models_.find(fix->second)) return target;
        }
    }
    return std::nullopt;
}

AcCategory DbaseData::modelCategory(std::uint16_t model) const
{
    if (largeIndexes.contains(model)) return AcCategory::Large;
    if (heavyIndexes.contains(model)) return AcCategory::Heavy;
    if (bizjetIndexes.contains(model)) return AcCategory::Bizjet;
    if (twoPropsIndexes.contains(model)) return AcCategory::TwoProps;
    if (rotorcraftIndexes.contains(model)) return AcCategory::Rotorcraft;
    if (highPerfIndexes.contains(model)) return AcCategory::HighPerf;
    return AcCategory::Light;
}

bool DbaseData::isAirlineCode(std::string_view text) const
{
    return !text.empty() && airlineCodes.contains(text);
}

std::optional<LiveryKey> DbaseData::findRecord(std::string_view registration) const
{
    const auto it = std::lower_bound(
        records.begin(), records.end(), registration,
        [](const DbaseRecord& r, std::string_view reg) { return std::string_view(r.registration) < reg; });
    if (it != records.end() && it->registration == registration) return it->key;
    return std::nullopt;
}

std::optional<LiveryKey> DbaseData::lookupRegcode(std::string_view text) const
{
    if (text.empty()) return std::nullopt;
    if (text.size() >= 5 && text.front() != 'N' && text.find('-') == std::string_view::npos) {
        // Feeds often drop the hyphen: ABCDE may be AB-CDE or A-BCDE.
        const std::string afterTwo = fmt::format("{}-{}", text.substr(0, 2), text.substr(2));
        if (const auto key = findRecord(afterTwo)) return key;
        const std::string afterOne = fmt::format("{}-{}", text.substr(0, 1), text.substr(1));
        if (const auto key = findRecord(afterOne)) return key;
    }
    return findRecord(text);
}

std::optional<std::string> DbaseData::findRegcodePrefixIn(std::string_view text) const
{
    for (const auto& record : records) {
        // An empty registration occurs in every text and would answer every question.
        if (record.registration.empty() || record.registration.size() >= 6) continue;
        if (text.find(record.registration) != std::string_view::npos) return record.registration;
    }
    return std::nullopt;
}

AcCategory AircraftDatabase::modelCategory(std::uint16_t model) const
{
    std::shared_lock lock(mutex_);
    return data_->modelCategory(model);
}

bool AircraftDatabase::isModelCode(std::string_view text) const
{
    if (text.empty()) return false;
    std::shared_lock lock(mutex_);
    return data_->modelCodes.contains(text);
}

bool AircraftDatabase::isAirlineCode(std::string_view text) const
{
    std::shared_lock lock(mutex_);
    return data_->isAirlineCode(text);
}

bool AircraftDatabase::isCargoKey(const LiveryKey& key) const
{
    std::shared_lock lock(mutex_);
    return data_->cargoModelIndexes.contains(key.model) || data_->cargoOperatorIndexes.contains(key.airline);
}

double AircraftDatabase::halfWingspanNm(std::uint16_t model) const
{
    std::shared_lock lock(mutex_);
    const auto& table = data_->halfSpanByIndex;
    return model < table.size() ? table[model] : 0.0;
}

double AircraftDatabase::largestHalfWingspanNm() const
{
    std::shared_lock lock(mutex_);
    return data_->largestHalfSpanNm;
}

std::optional<LiveryKey> AircraftDatabase::findRecord(std::string_view registration) const
{
    std::shared_lock lock(mutex_);
    return data_->findRecord(registration);
}

std::optional<LiveryKey> AircraftDatabase::lookupRegcode(std::string_view text) const
{
    std::shared_lock lock(mutex_);
    return data_->lookupRegcode(text);
}

std::optional<std::string> AircraftDatabase::findRegcodePrefixIn(std::string_view text) const
{
    std::shared_lock lock(mutex_);
    return data_->findRegcodePrefixIn(text);
}

std::optional<std::string> AircraftDatabase::modelFix(std::string_view code) const
{
    std::shared_lock lock(mutex_);
    if (const auto it = fixes_->find(code); it != fixes_->end()) return it->second;
    return std::nullopt;
}

std::shared_ptr<const DbaseData> AircraftDatabase::data() const
{
    std::shared_lock lock(mutex_);
    return data_;
}

std::shared_ptr<const ModelFixes> AircraftDatabase::fixes() const
{
    std::shared_lock lock(mutex_);
    return fixes_;
}

AircraftDatabase& gf_aircraftDatabase()
{
    static AircraftDatabase database(gf_airlineCodeTable(), gf_modelCodeTable());
    return database;
}

bool gf_readDbase()
{
    const std::filesystem::path& path = kDbaseFile;
    if (!std::filesystem::exists(path)) {
        throw std::runtime_error(fmt::format("{} not available", path_to_utf8(path)));
    }
    EncryptedFileResult plain = gf_readEncryptedFile(path, kDbasePlaintextLimit);
    if (!plain) throw std::runtime_error(plain.error());
    SecureBuffer& buffer = plain.value();
    // The document is parsed in place and gone when readXml returns; the
    // buffer is wiped before it is freed, also when reading throws.
    const bool ok = gf_readDbaseFromBuffer(reinterpret_cast<char*>(buffer.data()),
                                           static_cast<std::size_t>(buffer.used()), path_to_utf8(path));
    buffer.reset();
    return ok;
}

bool gf_readDbaseFromBuffer(char* text, std::size_t size, std::string_view source)
{
    return gf_aircraftDatabase().readXml(text, size, source);
}

std::uint16_t gf_airlineCode2Index(std::string_view code)
{
    return gf_aircraftDatabase().airlineIndex(code);
}

std::uint16_t gf_modelCode2Index(std::string_view code)
{
    return gf_aircraftDatabase().modelIndex(code);
}

std::uint16_t gf_getModelIndex(std::string_view code)
{
    return gf_aircraftDatabase().modelIndex(code);
}

std::optional<std::uint16_t> gf_knownModelIndex(std::string_view code)
{
    return gf_aircraftDatabase().knownModelIndex(code);
}

AcCategory gf_modelCategory(std::uint16_t model)
{
    return gf_aircraftDatabase().modelCategory(model);
}

AcCategory gf_modelCategoryOfCode(std::string_view code)
{
    auto& db = gf_aircraftDatabase();
    return db.modelCategory(db.modelIndex(code));
}

bool gf_isDbaseModelCode(std::string_view text)
{
    return gf_aircraftDatabase().isModelCode(text);
}

bool gf_isDbaseAirlineCode(std::string_view text)
{
    return gf_aircraftDatabase().isAirlineCode(text);
}

bool gf_isCargoKey(const LiveryKey& key)
{
    return gf_aircraftDatabase().isCargoKey(key);
}

double gf_halfWingspanNm(std::uint16_t model)
{
    return gf_aircraftDatabase().halfWingspanNm(model);
}

double gf_largestHalfWingspanNm()
{
    return gf_aircraftDatabase().largestHalfWingspanNm();
}

std::optional<double> gf_modelHalfWingspanNm(const std::string& model)
{
    try {
        // The database answers for every model index; a fixed 35 for late
        // indexes would be a 70 NM circle, not a wing span.
        const double halfSpan = gf_halfWingspanNm(gf_getModelIndex(model));
        if (halfSpan > 0.0) return halfSpan;
    } catch (const std::exception& e) {
        gf_writeLogLine(fmt::format("gf_storeUserModel exception: {}", e.what()));
    }
    return std::nullopt;
}

std::optional<LiveryKey> gf_lookupRegcode(std::string_view text)
{
    return gf_aircraftDatabase().lookupRegcode(text);
}

std::optional<std::string> gf_findRegcodePrefixIn(std::string_view text)
{
    return gf_aircraftDatabase().findRegcodePrefixIn(text);
}

std::optional<std::string> gf_dbaseModelFix(std::string_view code)
{
    return gf_aircraftDatabase().modelFix(code);
}

std::shared_ptr<const DbaseData> gf_dbaseData()
{
    return gf_aircraftDatabase().data();
}

} // namespace zelk
