#include "airports/AirportFileLoad.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <fstream>
#include <system_error>
#include <unordered_set>

#include <fmt/format.h>

#include "airports/AirportFile.h"
#include "airports/AirportsRegistry.h"
#include "airports/ArchiveDownload.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/MetaInfo.h"
#include "core/ParameterXml.h"
#include "core/Parameters.h"
#include "core/ParametersFile.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"
#include "platform/FileReplace.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kMissingAltitudeCode = 65;

// Deletes a file (a download, or a cache that failed) when the load ends, unless disarmed.
struct LoadedFileGuard {
    fs::path file;
    ~LoadedFileGuard()
    {
        std::error_code ec;
        if (!file.empty()) fs::remove(file, ec);
    }
};

bool lf_exists(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(p, ec);
}

bool lf_hasEncExtension(const fs::path& p)
{
    std::string ext = path_to_utf8(p.extension());
    for (char& c : ext) c = static_cast<char>(gf_toUpperChar(c));
    return ext == ".ENC";
}

std::string lf_digitsOnly(std::string_view text)
{
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits.push_back(c);
    return digits;
}

// The cache stands in only for the very archive path it was fetched from.
bool lf_cacheCameFrom(const fs::path& archivePath)
{
    std::ifstream in(kParkAirportCacheSourceFile, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return false;
    return line == gf_genericUtf8(archivePath);
}

void lf_setCacheAside()
{
    gf_save1GenerationOf(kParkAirportFile);
    std::error_code ec;
    fs::remove(kParkAirportFile, ec);
    fs::remove(kParkAirportCacheSourceFile, ec);
}

bool lf_replaceCacheFrom(const fs::path& temp)
{
    std::error_code ec;
    if (platform::replaceFileDurably(temp, kParkAirportFile, ec)) return true;
    gf_writeLogNotice(fmt::format("could not update airport cache '{}': {}", path_to_utf8(kParkAirportFile),
                                  ec.message()));
    fs::remove(temp, ec);
    return false;
}

// The cache and the file naming its source cannot be replaced in one step, so
// the source file goes first: a kill at any point then leaves a cache that
// names its true source, or a cache that names none and stands in for nothing.
void lf_updateCache(const Apf& apf, bool encrypted, pugi::xml_document& doc)
{
    const fs::path temp = gf_apfTempPath(kParkAirportFile);
    std::error_code ec;
    if (encrypted) {
        if (!gf_saveXmlFile(doc, temp)) {
            gf_writeLogNotice(fmt::format("could not update airport cache '{}'", path_to_utf8(kParkAirportFile)));
            fs::remove(temp, ec);
            return;
        }
    } else if (!fs::copy_file(apf.loadedPath, temp, fs::copy_options::overwrite_existing, ec)) {
        gf_writeLogNotice(fmt::format("could not update airport cache '{}': {}", path_to_utf8(kParkAirportFile),
                                      ec.message()));
        fs::remove(temp, ec);
        return;
    }
    if (!fs::remove(kParkAirportCacheSourceFile, ec) && ec) {
        gf_writeLogNotice(fmt::format("could not update airport cache '{}': {}",
                                      path_to_utf8(kParkAirportCacheSourceFile), ec.message()));
        fs::remove(temp, ec);
        return;
    }
    if (!lf_replaceCacheFrom(temp)) return;
    if (!platform::writeFileDurably(kParkAirportCacheSourceFile, gf_genericUtf8(apf.inputPath) + "\n", ec))
        fs::remove(kParkAirportCacheSourceFile, ec);
}

void lf_linkNeighbours(std::vector<ParkPos>& stands)
{
    for (std::size_t i = 0; i < stands.size(); ++i) {
        stands[i].id = static_cast<std::uint32_t>(i + 1);
        stands[i].adjacent.clear();
    }
    for (std::size_t i = 0; i < stands.size(); ++i) {
        for (std::size_t j = i + 1; j < stands.size(); ++j) {
            const ParkPos& a = stands[i];
            const ParkPos& b = stands[j];
            const double dy = (a.latitude - b.latitude) * 60.0;
            const double dx = (a.longitude - b.longitude) * 60.0 * std::cos((a.latitude + b.latitude) / 2.0 * 0.017453292519943295);
            const double r = a.radius + b.radius;
            if ((dx * dx + dy * dy) * 1.21 < r * r) {
                stands[i].adjacent.push_back(static_cast<std::int32_t>(j + 1));
                stands[j].adjacent.push_back(static_cast<std::int32_t>(i + 1));
            }
        }
    }
}

void lf_readParameters(const pugi::xml_document& doc, Apf& apf)
{
    apf.rtTrafficWeek = static_cast<std::uint32_t>(std::max(0, gf_readXmlIntParameter(doc, "RT_traffic_week").value_or(0)));
    apf.publisher = gf_readXmlStringParameter(doc, "publisher").value_or("");
    apf.version = gf_readXmlStringParameter(doc, "version");
    const auto altitude = gf_readXmlIntParameter(doc, "altitude");
    if (!altitude) throw UserRelatedException(kMissingAltitudeCode, fmt::format("Parameter {} not found", "altitude"));
    apf.altitude = *altitude;
    apf.airportName = gf_readXmlStringParameter(doc, "airport_name").value_or("");
    lf_readParkPositions(doc, apf.stands);
    const auto qfReal = gf_readXmlIntParameter(doc, "Qf_real");
    const auto qfSoft = gf_readXmlIntParameter(doc, "Qf_soft");
    if (qfReal || qfSoft) {
        apf.qfReal = qfReal.value_or(0);
        apf.qfSoft = qfSoft.value_or(0);
    }
}

void lf_mergeLearned(Apf& apf)
{
    apf.learnedTarget = gf_learnedApfPath(lf_apfPathIcaoStem(apf.inputPath), apf.publisher);
    if (!apf.learnedTarget || !lf_exists(*apf.learnedTarget)) return;
    apf.learnedPath = *apf.learnedTarget;
    auto merged = gf_readLearnedAirportFile(apf.learnedPath, apf.airportName, apf.stands);
    if (!merged) {
        gf_writeLogNotice(merged.error());
        return;
    }
    apf.stands = std::move(merged.value().stands);
    apf.settings = merged.value().settings;
    apf.handmade = merged.value().handmade;
    apf.learned = true;
    std::tie(apf.qfReal, apf.qfSoft) = gf_apfQualityFactors(apf.stands);
}

// Parses the file and fills everything but the learned merge.
std::optional<std::string> lf_parseInto(Apf& apf, bool encrypted, bool& refused)
{
    SecureBuffer buffer;
    pugi::xml_document doc;
    if (auto error = lf_loadApfDocument(apf.loadedPath, encrypted, buffer, doc)) return error;
    if (!gf_readMetaInfo(doc, false)) {
        refused = true;
        return fmt::format("{}: refused to load", path_to_utf8(apf.inputPath));
    }
    lf_readParameters(doc, apf);
    if (apf.source != ApfSource::Cache) lf_updateCache(apf, encrypted, doc);
    return std::nullopt;
}

ValueOrError<Apf> lf_readAirportFile(const fs::path& path)
{
    using Result = ValueOrError<Apf>;
    Apf apf;
    apf.inputPath = path;
    LoadedFileGuard guard;
    bool encrypted = false;
    const auto archiveId = lf_parseArchivedApfPath(path);
    const auto cacheId = lf_exists(kParkAirportFile) ? lf_readApfCacheIdentity() : std::nullopt;
    if (archiveId && cacheId && *archiveId == *cacheId && lf_cacheCameFrom(path)) {
        gf_writeLogLine(fmt::format("cached: '{}' is taken instead of '{}'", path_to_utf8(kParkAirportFile),
                                    path_to_utf8(path)));
        apf.loadedPath = kParkAirportFile;
        apf.source = ApfSource::Cache;
        bool refused = false;
        try {
            if (!lf_parseInto(apf, false, refused)) {
                lf_mergeLearned(apf);
                return Result(std::move(apf));
            }
        } catch (const UserRelatedException&) {
            gf_writeLogNotice(fmt::format("airport cache '{}' has no altitude", path_to_utf8(kParkAirportFile)));
        }
        // A damaged cache is kept aside and the file fetched again.
        gf_writeLogNotice(fmt::format("airport cache '{}' damaged, fetching '{}' again", path_to_utf8(kParkAirportFile),
                                      path_to_utf8(path)));
        lf_setCacheAside();
        apf = Apf{};
        apf.inputPath = path;
    }
    auto located = lf_locateArchivedAirportFile(path, true);
    if (!located) return Result::failure(located.error());
    if (located.value().downloaded) {
        guard.file = located.value().file;
        apf.loadedPath = located.value().file;
        apf.source = ApfSource::Downloaded;
        encrypted = located.value().encrypted;
    } else {
        apf.loadedPath = path;
        encrypted = lf_hasEncExtension(path);
    }
    bool refused = false;
    if (auto error = lf_parseInto(apf, encrypted, refused)) return Result::failure(*error);
    lf_mergeLearned(apf);
    return Result(std::move(apf));
}

} // namespace

std::optional<std::string> lf_loadApfDocument(const fs::path& path, bool encrypted, SecureBuffer& buffer,
                                              pugi::xml_document& doc)
{
    const std::string name = path_to_utf8(path);
    buffer.reset();
    pugi::xml_parse_result parsed;
    if (encrypted) {
        auto plain = gf_readEncryptedFile(path, kArchiveAirportFilePlaintextLimit);
        if (!plain) return plain.error();
        buffer = std::move(plain.value());
        parsed = doc.load_buffer_inplace(buffer.data(), buffer.used());
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) return fmt::format("{} could not be opened", name);
        parsed = doc.load(in);
    }
    if (!parsed) return fmt::format("{} not loaded: {}", name, parsed.description());
    return std::nullopt;
}

std::optional<ArchiveIdentity> lf_readApfCacheIdentity()
{
    SecureBuffer buffer;
    pugi::xml_document doc;
    if (auto error = lf_loadApfDocument(kParkAirportFile, false, buffer, doc)) {
        gf_writeLogLine(*error);
        lf_setCacheAside();
        return std::nullopt;
    }
    const auto code = IcaoCode::tryParse(gf_readXmlStringParameter(doc, "icao").value_or(""));
    if (!code) return std::nullopt;
    ArchiveIdentity id;
    id.code = *code;
    id.publisher = gf_readXmlStringParameter(doc, "publisher").value_or("");
    id.version = lf_digitsOnly(gf_readXmlStringParameter(doc, "version").value_or(""));
    return id;
}

ValueOrError<Apf> gf_readAirportFile(const fs::path& path)
{
    using Result = ValueOrError<Apf>;
    ValueOrError<Apf> result = Result::failure("");
    try {
        result = lf_readAirportFile(path);
    } catch (const UserRelatedException&) {
        throw;
    } catch (const std::exception& e) {
        return Result::failure(fmt::format("{}: {}", "gf_readAirportFile", e.what()));
    } catch (...) {
        return Result::failure(fmt::format("{}: unknown exception", "gf_readAirportFile"));
    }
    if (!result) return result;
    Apf& apf = result.value();
    lf_linkNeighbours(apf.stands);
    for (const ParkPos& stand : apf.stands)
        if (const std::string line = gf_formatStandExclusions(stand.adjacent, stand.id, apf.stands); !line.empty())
            gf_writeLogLine(line);
    if (apf.stands.empty()) gf_writeLogLine("no stands found in the airport file");
    flushButton.enable(!apf.stands.empty());
    return result;
}

namespace {

struct KindStats {
    std::uint32_t count = 0;
    std::uint32_t days = 0; // bit d for weekday d
    HoursMask hours;
    std::uint64_t population = 0;

    double score() const
    {
        return 100.0 * std::popcount(days) + std::min(20.0 * count, 4000.0) + 10000.0 + 12.5 * static_cast<double>(hours.count()) +
               std::min(2.0 * static_cast<double>(population), 700.0);
    }
};

std::int32_t lf_qf(double sum, double weight)
{
    return static_cast<std::int32_t>(std::clamp<long>(std::lround(sum / weight * 0.00625), 0, 100));
}

} // namespace

std::pair<std::int32_t, std::int32_t> gf_apfQualityFactors(std::span<const ParkPos> stands)
{
    const bool anyOption = std::any_of(stands.begin(), stands.end(), [](const ParkPos& s) { return !s.options.empty(); });
    if (!anyOption) return {-1, -1};
    double weight = 0.0;
    std::array<double, 2> sums{0.0, 0.0}; // real, soft
    for (const ParkPos& s : stands) {
        if (s.type == StandType::FUEL) continue;
        // The thresholds are nautical miles: stored Qf values were computed this way.
        const double w = s.radius <= 7.0 ? 0.3 : s.radius <= 10.0 ? 1.5 : 1.0;
        weight += w;
        std::array<KindStats, 2> kinds;
        for (const FlightOption& o : s.options) {
            if (o.optionId == 0) continue;
            KindStats& k = kinds[o.real != 0 ? 0 : 1];
            ++k.count;
            if (o.weekday >= 1 && o.weekday <= 7) k.days |= 1U << o.weekday;
            k.hours |= o.hours;
            k.population += o.hours.count();
        }
        for (std::size_t i = 0; i < 2; ++i)
            if (kinds[i].count > 0) sums[i] += w * kinds[i].score();
    }
    if (!(weight > 0.0)) return {0, 0};
    return {lf_qf(sums[0], weight), lf_qf(sums[1], weight)};
}

namespace {

// The document of an airport's file for the destination readers; a downloaded
// temporary file is gone when this returns.
std::optional<std::string> lf_loadDestDocument(const IcaoCode& code, SecureBuffer& buffer, pugi::xml_document& doc,
                                               pugi::xml_node& section)
{
    const auto path = gf_airportFilePath(code);
    if (!path) return "airport source path not found";
    auto located = lf_locateArchivedAirportFile(*path, false);
    if (!located) return located.error();
    LoadedFileGuard guard{located.value().file};
    const fs::path loaded = located.value().downloaded ? located.value().file : *path;
    const bool encrypted = located.value().downloaded ? located.value().encrypted : lf_hasEncExtension(*path);
    if (auto error = lf_loadApfDocument(loaded, encrypted, buffer, doc)) return error;
    if (!gf_readMetaInfo(doc, true)) return "airport file has invalid metadata";
    section = gf_apfSection(doc, "parkpositions");
    if (!section) return fmt::format("airport file {} has no '{}' section", path_to_utf8(loaded), "parkpositions");
    return std::nullopt;
}

} // namespace

ValueOrError<DestStand> gf_readDestApfForClosestStand(const IcaoCode& code, double latitude, double longitude)
{
    using Result = ValueOrError<DestStand>;
    if (!gf_isValidStandPosition(latitude, longitude)) return Result::failure("invalid reference position");
    SecureBuffer buffer;
    pugi::xml_document doc;
    pugi::xml_node section;
    if (auto error = lf_loadDestDocument(code, buffer, doc, section)) return Result::failure(*error);
    const double k = std::cos(latitude * 0.017453292519943295);
    std::optional<DestStand> best;
    double bestD2 = 0.0;
    for (const pugi::xml_node node : section.children("parkpos")) {
        const double lat = gf_xmlAttributeDoubleOrZero(node, "latitude");
        const double lon = gf_xmlAttributeDoubleOrZero(node, "longitude");
        const std::string id = gf_xmlAttributeStringOr(node, "id", "");
        if (!gf_isValidStandPosition(lat, lon) || id.empty()) continue;
        const double dy = (latitude - lat) * 60.0;
        const double dx = (longitude - lon) * k * 60.0;
        const double d2 = dy * dy + dx * dx;
        if (!best || d2 < bestD2) {
            best = DestStand{id, 0.0};
            bestD2 = d2;
        }
    }
    if (!best) return Result::failure("airport file has no valid stands");
    best->distanceNm = std::sqrt(bestD2);
    return Result(std::move(*best));
}

ValueOrError<std::vector<std::string>> gf_readApfForStands(const IcaoCode& code)
{
    using Result = ValueOrError<std::vector<std::string>>;
    SecureBuffer buffer;
    pugi::xml_document doc;
    pugi::xml_node section;
    if (auto error = lf_loadDestDocument(code, buffer, doc, section)) return Result::failure(*error);
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const pugi::xml_node node : section.children("parkpos")) {
        const auto text = gf_xmlAttributeString(node, "id");
        if (!text) continue;
        std::string id = gf_trim(*text);
        if (id.empty()) continue;
        std::transform(id.begin(), id.end(), id.begin(), gf_toUpperChar);
        if (seen.insert(id).second) names.push_back(std::move(id));
    }
    return Result(std::move(names));
}

void gf_installClosestStandReader()
{
    gf_setClosestStandReader([](IcaoCode airport, double latitude, double longitude) -> std::optional<ClosestStand> {
        auto stand = gf_readDestApfForClosestStand(airport, latitude, longitude);
        if (!stand) return std::nullopt;
        return ClosestStand{std::move(stand.value().stand), stand.value().distanceNm};
    });
}

} // namespace zelk
