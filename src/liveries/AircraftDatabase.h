#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "liveries/AcCategory.h"
#include "liveries/CodeTables.h"
#include "platform/SharedMutex.h"

namespace zelk {

// The packed identity of a livery or an aircraft. Its field order matches the
// 64-bit form, so the two views describe the same eight bytes.
struct LiveryKey {
    std::uint16_t airline = 0;  // airline index, 0 = none
    std::uint16_t op = 0;       // operator index (a second airline), 0 = none
    std::uint16_t model = 0;    // model index, 0 = none
    std::uint8_t cargo = 0;     // 0 or 1
    std::uint8_t valid = 0;     // 1 in every key taken from a registration record

    // valid << 56 | cargo << 48 | model << 32 | operator << 16 | airline
    constexpr std::uint64_t toU64() const noexcept
    {
        return static_cast<std::uint64_t>(valid) << 56 | static_cast<std::uint64_t>(cargo) << 48 |
               static_cast<std::uint64_t>(model) << 32 | static_cast<std::uint64_t>(op) << 16 |
               static_cast<std::uint64_t>(airline);
    }
    static constexpr LiveryKey fromU64(std::uint64_t v) noexcept
    {
        return LiveryKey{static_cast<std::uint16_t>(v), static_cast<std::uint16_t>(v >> 16),
                         static_cast<std::uint16_t>(v >> 32), static_cast<std::uint8_t>(v >> 48),
                         static_cast<std::uint8_t>(v >> 56)};
    }

    friend constexpr bool operator==(const LiveryKey& a, const LiveryKey& b) noexcept
    {
        return a.toU64() == b.toU64();
    }
    friend constexpr std::strong_ordering operator<=>(const LiveryKey& a, const LiveryKey& b) noexcept
    {
        return a.toU64() <=> b.toU64();
    }
};
static_assert(sizeof(LiveryKey) == 8);

// One known registration.
struct DbaseRecord {
    std::string registration;
    LiveryKey key;
};

// Container name of a stock simulator aircraft -> its ICAO type designator.
extern const std::unordered_map<std::string_view, std::string_view> kStockAircraftTypes;

// What the database file holds, apart from the codes interned into the tables.
// Immutable once published, so a reader may keep it while another thread asks
// questions or a later read replaces it.
struct DbaseData {
    std::set<std::string, std::less<>> modelCodes;
    std::set<std::string, std::less<>> cargoTypes;
    std::set<std::string, std::less<>> heavy, large, bizjet, twoProps, highPerf, rotorcraft;
    std::set<std::string, std::less<>> airlineCodes;
    std::set<std::string, std::less<>> cargoOperators;

    std::set<std::uint16_t> cargoModelIndexes;
    std::set<std::uint16_t> heavyIndexes, largeIndexes, bizjetIndexes, twoPropsIndexes, highPerfIndexes,
        rotorcraftIndexes;
    std::set<std::uint16_t> cargoOperatorIndexes;

    // Each group sorted; models that may stand in for one another.
    std::vector<std::vector<std::string>> similarGroups;

    // Half span in nautical miles by model code, and the same by model index
    // (0.0 where the database gives none).
    std::map<std::string, double, std::less<>> halfSpanByCode;
    std::vector<double> halfSpanByIndex;
    double largestHalfSpanNm = 0.0;

    // Sorted by registration, one record per registration.
    std::vector<DbaseRecord> records;

    // The answers of AircraftDatabase from this data alone, for a reader that
    // holds it (gf_dbaseData) and asks many questions without taking the lock.
    AcCategory modelCategory(std::uint16_t model) const;
    bool isAirlineCode(std::string_view text) const;
    std::optional<LiveryKey> findRecord(std::string_view registration) const;
    std::optional<LiveryKey> lookupRegcode(std::string_view text) const;
    std::optional<std::string> findRegcodePrefixIn(std::string_view text) const;
};

using ModelFixes = std::map<std::string, std::string, std::less<>>;

// The aircraft database over a pair of interning tables. The program uses one
// process-wide instance (gf_ functions below); tests build their own over fresh
// tables. Safe for concurrent use: interning locks its table, the rest is
// published whole under a reader/writer lock.
class AircraftDatabase {
public:
    AircraftDatabase(CodeTable& airlines, CodeTable& models);

    AircraftDatabase(const AircraftDatabase&) = delete;
    AircraftDatabase& operator=(const AircraftDatabase&) = delete;

    // Reads the database from its XML text, parsed in place (the buffer is
    // changed). `source` names the file in messages. True on success; false,
    // with a notice, when the text is no XML or has no `root`. Throws
    // UserRelatedException 61 for a missing required section.
    bool readXml(char* text, std::size_t size, std::string_view source);

    std::uint16_t airlineIndex(std::string_view code);
    // Unknown codes with a database fix whose target is known give the
    // target's index instead of being added.
    std::uint16_t modelIndex(std::string_view code);
    // What modelIndex gives without adding the code: empty when it would add it.
    std::optional<std::uint16_t> knownModelIndex(std::string_view code) const;

    AcCategory modelCategory(std::uint16_t model) const;
    bool isModelCode(std::string_view text) const;
    bool isAirlineCode(std::string_view text) const;
    bool isCargoKey(const LiveryKey& key) const;
    double halfWingspanNm(std::uint16_t model) const;
    double largestHalfWingspanNm() const;
    std::optional<LiveryKey> findRecord(std::string_view registration) const;
    std::optional<LiveryKey> lookupRegcode(std::string_view text) const;
    std::optional<std::string> findRegcodePrefixIn(std::string_view text) const;
    // The corrected model code for a wrong one.
    std::optional<std::string> modelFix(std::string_view code) const;

    std::shared_ptr<const DbaseData> data() const;
    std::shared_ptr<const ModelFixes> fixes() const;

    CodeTable& airlineTable() noexcept { return airlines_; }
    CodeTable& modelTable() noexcept { return models_; }

private:
    CodeTable& airlines_;
    CodeTable& models_;
    mutable platform::SharedMutex mutex_;
    std::shared_ptr<const DbaseData> data_;
    std::shared_ptr<const ModelFixes> fixes_;
    bool fixesActive_ = false;
};

// The process-wide database over gf_airlineCodeTable() and gf_modelCodeTable().
AircraftDatabase& gf_aircraftDatabase();

// Reads "input/dbase.enc". Throws std::runtime_error "{} not available" when the
// file is missing and with the reader's text when it cannot be decrypted.
bool gf_readDbase();
// The same over a decrypted buffer, for callers that hold the plaintext.
bool gf_readDbaseFromBuffer(char* text, std::size_t size, std::string_view source);

std::uint16_t gf_airlineCode2Index(std::string_view code);
std::uint16_t gf_modelCode2Index(std::string_view code);
std::uint16_t gf_getModelIndex(std::string_view code);
// gf_getModelIndex's answer when it would add no code; empty when it would.
std::optional<std::uint16_t> gf_knownModelIndex(std::string_view code);

AcCategory gf_modelCategory(std::uint16_t model);
AcCategory gf_modelCategoryOfCode(std::string_view code);
bool gf_isDbaseModelCode(std::string_view text);
bool gf_isDbaseAirlineCode(std::string_view text);
bool gf_isCargoKey(const LiveryKey& key);
// 0.0 for a model the database gives no span for, whatever its index.
double gf_halfWingspanNm(std::uint16_t model);
// The largest half span the reader accepted (0.0 before reading); the fallback
// radius for a model without a span.
double gf_largestHalfWingspanNm();
// The half span of a model text (a type designator); nothing for a model the
// database gives no span for.
std::optional<double> gf_modelHalfWingspanNm(const std::string& model);
std::optional<LiveryKey> gf_lookupRegcode(std::string_view text);
std::optional<std::string> gf_findRegcodePrefixIn(std::string_view text);
std::optional<std::string> gf_dbaseModelFix(std::string_view code);
std::shared_ptr<const DbaseData> gf_dbaseData();

} // namespace zelk
