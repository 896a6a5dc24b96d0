#include "traffic/CategoryTables.h"

#include <algorithm>
#include <stdexcept>

#include "core/Geometry.h"
#include "core/Random.h"
#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"

namespace zelk {

const std::array<std::string_view, 46> kRegionalModels{
    "AN24", "AT43", "AT44", "AT45", "AT46", "AT72", "AT73", "AT75", "AT76", "B190", "CRJ1", "CRJ2",
    "CRJ7", "CRJ9", "CRJX", "D328", "DH8A", "DH8B", "DH8C", "DH8D", "DHC6", "DHC7", "E110", "E120",
    "E135", "E145", "E170", "E190", "E195", "E290", "E295", "E35L", "E75L", "E75S", "F100", "F28",
    "F50",  "F70",  "J328", "JS41", "RJ70", "RJ85", "SB20", "SF34", "SH36", "SU95"};

const std::array<std::string_view, 22> kLightTwinModels{"B58T", "BE55", "BE58", "BE76", "C310", "C337",
                                                        "C340", "DA42", "DA62", "G21",  "G44",  "GA7",
                                                        "L200", "P06T", "P337", "P68",  "PA23", "PA27",
                                                        "PA30", "PA31", "PA34", "PA44"};

const std::array<std::string_view, 204> kLightSingleModels{
    "A210", "A5",   "AA1",  "AA5",  "AAT3", "AFOX", "ALGR", "AP22", "AP32", "ARCP", "AS02", "AS16", "ASTO",
    "BE23", "BE24", "BE33", "BE35", "BE36", "BEAR", "BL8",  "BR23", "BREZ", "BT36", "BTB2", "C140", "C150",
    "C152", "C162", "C170", "C172", "C175", "C177", "C180", "C182", "C185", "C206", "C207", "C210", "C42",
    "C72R", "C77R", "C82R", "C82S", "C82T", "CC11", "CC19", "CTAH", "D140", "D28D", "D7",   "DA2",  "DA40",
    "DA50", "DIMO", "DO27", "DR22", "DR40", "DV1",  "DV20", "ECHO", "EFOX", "ELPS", "ERCO", "EUPA", "EV97",
    "EVOT", "EVSS", "EXNG", "F8L",  "FDCT", "FDF2", "FK14", "FK9",  "FM25", "FOX",  "G115", "G120", "G200",
    "G70",  "GA8",  "GB1",  "GLAS", "GX",   "HROC", "HUSK", "IMPU", "J3",   "JAB4", "JABI", "JAS4", "KP2",
    "KP5",  "KR30", "M108", "M18",  "M200", "M20P", "M20T", "M5",   "M7",   "MCR1", "MCR4", "MJ5",  "MP02",
    "NG4",  "NG5",  "P149", "P208", "P210", "P28A", "P28B", "P28R", "P28S", "P28T", "P28U", "P32R", "PA18",
    "PA22", "PA24", "PA25", "PA32", "PA38", "PA46", "PARA", "PETR", "PIAT", "PIPA", "PISI", "PIVI", "PL2",
    "PNR2", "PNR3", "PRIM", "PTS2", "R200", "RALL", "RBEL", "RF5",  "RF6",  "RISN", "RS21", "RV10", "RV12",
    "RV14", "RV4",  "RV6",  "RV7",  "RV8",  "RV9",  "S108", "S22T", "SAVG", "SE1",  "SF25", "SHRK", "SIRA",
    "SKAR", "SKRA", "SLG2", "SLG4", "SLH4", "SNGY", "SONX", "SR20", "SR22", "SSTL", "STCH", "STOR", "SUBA",
    "SVNH", "T206", "T210", "T34P", "TAGO", "TAIL", "TAMP", "TB20", "TB21", "TEX2", "TEXA", "TL20", "TL30",
    "TOBA", "TRAL", "TRF1", "TRIN", "TRIS", "TUCA", "TUCR", "U15",  "ULAC", "VENT", "VEZE", "VL3",  "VR7",
    "VTRA", "WACO", "WFOC", "WT9",  "XA41", "XL2",  "Z42",  "Z43",  "ZEPH"};

namespace {

template <std::size_t N>
bool lf_contains(const std::array<std::string_view, N>& list, std::string_view code)
{
    return std::find(list.begin(), list.end(), code) != list.end();
}

// Fixed arrays indexed by category; the lookup fails like a hash map's at() so a
// corrupted category never reads past a table.
template <typename T>
T lf_lookup(const std::array<T, kAcCategoryCount>& table, AcCategory category)
{
    const auto index = static_cast<std::uint32_t>(category);
    if (index >= kAcCategoryCount) throw std::out_of_range("invalid unordered_map<K, T> key");
    return table[index];
}

constexpr std::array<double, kAcCategoryCount> kTurnRateDeg{0.15, 0.10, 0.09, 0.07, 0.05, 0.10, 0.20};
constexpr std::array<std::uint32_t, kAcCategoryCount> kFlarePasses{250, 275, 300, 400, 450, 150, 100};
constexpr std::array<std::uint32_t, kAcCategoryCount> kTouchDownPasses{250, 275, 300, 350, 450, 150, 100};
constexpr std::array<std::uint32_t, kAcCategoryCount> kRotationPasses{100, 150, 200, 200, 250, 100, 100};
constexpr std::array<std::uint32_t, kAcCategoryCount> kClimbPasses{150, 200, 250, 300, 400, 200, 100};
constexpr std::array<double, kAcCategoryCount> kRotationPitchDeg{-9.0, -8.5, -8.0, -6.0, -5.0, -6.0, -20.0};
constexpr std::array<double, kAcCategoryCount> kClimbPitchDeg{-15.0, -17.0, -18.0, -16.5, -12.5, -20.0, -30.0};
constexpr std::array<double, kAcCategoryCount> kCgHeightFt{3.0, 5.0, 5.0, 8.0, 12.0, 4.0, 4.0};
constexpr std::array<double, kAcCategoryCount> kBankLimitDeg{40.0, 37.5, 35.0, 30.0, 20.0, 90.0, 75.0};
constexpr std::array<double, kAcCategoryCount> kBankStepDeg{0.035, 0.03, 0.0275, 0.02, 0.015, 0.1, 0.06};
constexpr std::array<double, kAcCategoryCount> kFactor2{0.5, 0.6, 0.75, 0.6, 0.5, 1.0, 0.75};
constexpr std::array<double, kAcCategoryCount> kFactor3{4.0, 3.5, 3.5, 3.0, 2.0, 4.5, 5.0};

} // namespace

bool gf_isRegionalModel(std::string_view code) { return lf_contains(kRegionalModels, code); }
bool gf_isLightTwinModel(std::string_view code) { return lf_contains(kLightTwinModels, code); }
bool gf_isLightSingleModel(std::string_view code) { return lf_contains(kLightSingleModels, code); }

double gf_categoryTurnRate(AcCategory c) { return lf_lookup(kTurnRateDeg, c) * kDegToRad; }
std::uint32_t gf_categoryFlarePasses(AcCategory c) { return lf_lookup(kFlarePasses, c); }
std::uint32_t gf_categoryTouchDownPasses(AcCategory c) { return lf_lookup(kTouchDownPasses, c); }
std::uint32_t gf_categoryRotationPasses(AcCategory c) { return lf_lookup(kRotationPasses, c); }
std::uint32_t gf_categoryClimbPasses(AcCategory c) { return lf_lookup(kClimbPasses, c); }
double gf_categoryRotationPitchDeg(AcCategory c) { return lf_lookup(kRotationPitchDeg, c); }
double gf_categoryClimbPitchDeg(AcCategory c) { return lf_lookup(kClimbPitchDeg, c); }
double gf_categoryCgHeightFt(AcCategory c) { return lf_lookup(kCgHeightFt, c); }
double gf_categoryBankLimit(AcCategory c) { return lf_lookup(kBankLimitDeg, c) * kDegToRad; }
double gf_categoryRollRate(AcCategory c) { return lf_lookup(kBankStepDeg, c) * kDegToRad; }
double gf_categoryFactor2(AcCategory c) { return lf_lookup(kFactor2, c); }
double gf_categoryFactor3(AcCategory c) { return lf_lookup(kFactor3, c); }

bool gf_isCategoryIncluded(AcCategory category, const SettingsSnapshot& settings)
{
    switch (category) {
    case AcCategory::Light: return settings.LIGHT_AIRCRAFT;
    case AcCategory::TwoProps: return settings.TWO_PROPS;
    case AcCategory::Bizjet:
    case AcCategory::Large:
    case AcCategory::Heavy: return true;
    case AcCategory::HighPerf: return settings.HIGH_PERF_AIRCRAFT;
    case AcCategory::Rotorcraft: return settings.HELICOPTERS;
    }
    return false;
}

bool gf_isCategoryIncluded(AcCategory category) { return gf_isCategoryIncluded(category, *gf_settings()); }

double gf_clearanceNm(double sizeRadiusNm)
{
    const double metres = std::clamp(sizeRadiusNm * 1852.0 * 1.8 + 12.0, 18.0, 65.0);
    return metres / 1852.0;
}

AcIdentity& gf_classifyAircraft(AcIdentity& identity, const TrafficRecordHead& head, const JitterFunction& jitter)
{
    identity = AcIdentity{};
    identity.head = head;

    const std::string_view code = gf_modelCodeText(head.key.model);
    const AcCategory category = gf_modelCategory(gf_modelCode2Index(code));
    identity.category = category;
    identity.groundOffset = gf_categoryCgHeightFt(category);

    identity.jet = (category == AcCategory::Bizjet || category == AcCategory::Large ||
                    category == AcCategory::Heavy) ? 1 : 0;
    identity.regional = (category == AcCategory::Large && gf_isRegionalModel(code)) ? 1 : 0;
    identity.lightTwin = (category == AcCategory::TwoProps && gf_isLightTwinModel(code)) ? 1 : 0;
    identity.lightSingle = (category == AcCategory::Light && gf_isLightSingleModel(code)) ? 1 : 0;

    identity.flarePasses = gf_categoryFlarePasses(category);
    identity.touchDownPasses = gf_categoryTouchDownPasses(category);
    identity.rotationPasses = gf_categoryRotationPasses(category);
    identity.climbPasses = gf_categoryClimbPasses(category);

    identity.rotationPitch = jitter(gf_categoryRotationPitchDeg(category), 2.5) * kDegToRad;
    identity.climbPitch = jitter(gf_categoryClimbPitchDeg(category), 5.0) * kDegToRad;
    identity.turnRate = gf_categoryTurnRate(category);

    // The database answers for every model index (0.0 where it knows no span),
    // so no index gets a made-up radius.
    identity.sizeRadius = gf_halfWingspanNm(head.key.model);
    identity.proximityRadius = identity.sizeRadius;
    identity.clearance = gf_clearanceNm(identity.sizeRadius);
    identity.wideClearance = 1.25 * identity.clearance;
    return identity;
}

AcIdentity& gf_classifyAircraft(AcIdentity& identity, const TrafficRecordHead& head)
{
    return gf_classifyAircraft(identity, head, [](double value, double percent) {
        return gf_jitterByPercent(value, percent);
    });
}

} // namespace zelk
