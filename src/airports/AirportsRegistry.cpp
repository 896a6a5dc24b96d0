#include "airports/AirportsRegistry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

// Room for the whole list without regrowing (the shipped list holds about
// 36,500 airports).
constexpr std::size_t kExpectedAirports = 40'000;
// The box (and radius) around a reference point in which a position counts as
// at that airport, in nautical miles.
constexpr double kAirportRadiusNm = 5.0;

std::mutex g_standReaderLock;
ClosestStandReader g_standReader;

bool lf_parseDouble(std::string_view text, double& out)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && std::isfinite(out);
}

bool lf_parseInt32(std::string_view text, std::int32_t& out)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

const IataCode& lf_noIata()
{
    static const IataCode none("XXX");
    return none;
}

// One <ap> element into a record; nothing (with its notice) for an entry that
// cannot be used.
std::optional<AirportRecord> lf_parseAirport(const pugi::xml_node& ap, const IcaoCode& code)
{
    const pugi::xml_attribute la = ap.attribute("la");
    const pugi::xml_attribute lo = ap.attribute("lo");
    const pugi::xml_attribute a = ap.attribute("a");
    if (!la || !lo) {
        gf_writeLogNotice(fmt::format("Missing latLons for airport '{}'", code));
        return std::nullopt;
    }
    if (!a) {
        gf_writeLogNotice(fmt::format("Missing alt for airport '{}'", code));
        return std::nullopt;
    }
    AirportRecord rec;
    rec.icao = code;
    if (!lf_parseDouble(la.value(), rec.latitude) || !lf_parseDouble(lo.value(), rec.longitude)
        || !lf_parseInt32(a.value(), rec.altitude)) {
        gf_writeLogNotice(fmt::format("Invalid numeric data for airport '{}'", code));
        return std::nullopt;
    }
    if (const pugi::xml_attribute i = ap.attribute("i")) {
        try {
            rec.iata = IataCode(i.value());
        } catch (const std::invalid_argument& e) {
            gf_writeLogLine(fmt::format("Skipped airport '{}' '{}': {}", code, i.value(), e.what()));
            return std::nullopt;
        }
    } else {
        rec.iata = lf_noIata();
    }
    if (!rec.icao.isSet() || !gf_isValidLalo(rec.latitude, rec.longitude)) {
        gf_writeLogNotice(fmt::format("Invalid position for airport '{}'", code));
        return std::nullopt;
    }
    return rec;
}

// The records' places ordered by latitude.
std::vector<AirportPlace> lf_placesByLatitude(const std::vector<AirportRecord>& airports)
{
    std::vector<AirportPlace> places;
    places.reserve(airports.size());
    for (std::size_t i = 0; i < airports.size(); ++i)
        places.push_back({airports[i].latitude, airports[i].longitude, static_cast<std::uint32_t>(i)});
    std::sort(places.begin(), places.end(),
              [](const AirportPlace& a, const AirportPlace& b) { return a.latitude < b.latitude; });
    return places;
}

// Swaps a new list in; the caller holds the exclusive lock.
void lf_replaceAirports(AirportsRegistry& reg, std::vector<AirportRecord>&& airports)
{
    reg.byLatitude = lf_placesByLatitude(airports);
    reg.airports = std::move(airports);
    reg.loaded = true;
}

// Index of the record with that code in the sorted vector, if any.
std::optional<std::size_t> lf_indexOf(const std::vector<AirportRecord>& airports, const IcaoCode& code)
{
    const auto it = std::lower_bound(airports.begin(), airports.end(), code.key(),
                                     [](const AirportRecord& r, std::uint32_t key) { return r.icao.key() < key; });
    if (it == airports.end() || it->icao.key() != code.key() || it->icao.view() != code.view()) return std::nullopt;
    return static_cast<std::size_t>(it - airports.begin());
}

} // namespace

AirportsRegistry& gf_airportsRegistry()
{
    static AirportsRegistry registry;
    return registry;
}

ValueOrError<std::vector<AirportRecord>> lf_loadAirportsXml()
{
    using Result = ValueOrError<std::vector<AirportRecord>>;
    const fs::path& path = kAirportsFile;
    const std::string name = path_to_utf8(path);

    std::error_code ec;
    const bool exists = fs::exists(path, ec);
    if (ec) return Result::failure(fmt::format("Could not check whether {} exists: {}", name, ec.message()));
    if (!exists) return Result::failure(fmt::format("{} not available", name));

    // The document points into the plaintext, so the plaintext must outlive it;
    // both are released (the plaintext wiped) on every way out.
    auto plain = gf_readEncryptedFile(path, kAirportsPlaintextLimit);
    if (!plain) return Result::failure(plain.error());
    SecureBuffer& buffer = plain.value();

    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(buffer.data(), buffer.used());
    if (!parsed) return Result::failure(fmt::format("{} not loaded: {}", name, parsed.description()));
    const pugi::xml_node root = doc.child("root");
    if (!root) return Result::failure(fmt::format("{} has no <{}> root", name, "root"));
    const pugi::xml_node list = root.child("airports");
    if (!list) return Result::failure(fmt::format("{} has no <{}> section", name, "airports"));

    std::vector<AirportRecord> airports;
    airports.reserve(kExpectedAirports);
    for (const pugi::xml_node& ap : list.children("ap")) {
        const pugi::xml_attribute c = ap.attribute("c");
        if (!c) {
            gf_writeLogNotice("Skipped airport entry with missing ICAO code attribute");
            continue;
        }
        IcaoCode code;
        try {
            code = IcaoCode(c.value());
        } catch (const std::invalid_argument& e) {
            gf_writeLogLine(fmt::format("Skipped invalid airport code '{}': {}", c.value(), e.what()));
            continue;
        }
        if (auto rec = lf_parseAirport(ap, code)) airports.push_back(*rec);
    }

    // Equal codes keep their file order, so the first entry of a code stays.
    std::stable_sort(airports.begin(), airports.end(),
                     [](const AirportRecord& a, const AirportRecord& b) { return a.icao.key() < b.icao.key(); });
    const auto last = std::unique(airports.begin(), airports.end(), [](const AirportRecord& a, const AirportRecord& b) {
        return a.icao.key() == b.icao.key();
    });
    const auto duplicates = static_cast<std::size_t>(airports.end() - last);
    airports.erase(last, airports.end());
    if (duplicates > 0)
        gf_writeLogNotice(
            fmt::format("Skipped {} duplicate airport entr{}", duplicates, duplicates == 1 ? "y" : "ies"));

    if (airports.empty()) return Result::failure(fmt::format("{} contains no valid airports", name));
    return Result(std::move(airports));
}

ValueOrError<std::uint64_t> gf_ensureAirportsLoaded()
{
    using Result = ValueOrError<std::uint64_t>;
    AirportsRegistry& reg = gf_airportsRegistry();
    const std::lock_guard load(reg.loadMutex);
    {
        const std::shared_lock read(reg.lock);
        if (reg.loaded) return Result(reg.airports.size());
    }
    auto airports = lf_loadAirportsXml();
    if (!airports) return Result::failure(airports.error());
    std::uint64_t count = 0;
    {
        const std::unique_lock write(reg.lock);
        lf_replaceAirports(reg, std::move(airports.value()));
        count = reg.airports.size();
    }
    gf_writeLogLine(fmt::format("{:5} airports read", count));
    return Result(count);
}

void gf_resetAirportsRegistry()
{
    AirportsRegistry& reg = gf_airportsRegistry();
    const std::lock_guard load(reg.loadMutex);
    const std::unique_lock write(reg.lock);
    reg.airports.clear();
    reg.airports.shrink_to_fit();
    reg.byLatitude.clear();
    reg.byLatitude.shrink_to_fit();
    reg.loaded = false;
}

void gf_installAirports(std::vector<AirportRecord> airports)
{
    std::stable_sort(airports.begin(), airports.end(),
                     [](const AirportRecord& a, const AirportRecord& b) { return a.icao.key() < b.icao.key(); });
    AirportsRegistry& reg = gf_airportsRegistry();
    const std::lock_guard load(reg.loadMutex);
    const std::unique_lock write(reg.lock);
    lf_replaceAirports(reg, std::move(airports));
}

bool gf_isKnownAirport(IcaoCode code)
{
    AirportsRegistry& reg = gf_airportsRegistry();
    const std::shared_lock read(reg.lock);
    return lf_indexOf(reg.airports, code).has_value();
}

std::optional<AirportRecord> gf_findAirport(IcaoCode code)
{
    AirportsRegistry& reg = gf_airportsRegistry();
    const std::shared_lock read(reg.lock);
    const auto index = lf_indexOf(reg.airports, code);
    if (!index) return std::nullopt;
    return reg.airports[*index];
}

void gf_setClosestStandReader(ClosestStandReader reader)
{
    const std::lock_guard guard(g_standReaderLock);
    g_standReader = std::move(reader);
}

std::optional<AirportRecord> gf_findClosestAirport(double latitude, double longitude)
{
    const double k = std::cos(latitude * kDegToRad);
    struct Candidate {
        AirportRecord rec;
        double d2;
    };
    // Only the records within the box are copied, and only the band of
    // latitudes that can hold them is read: a look-up costs the same with
    // every airport of the world as with the large ones alone.
    std::vector<Candidate> candidates;
    {
        AirportsRegistry& reg = gf_airportsRegistry();
        const std::shared_lock read(reg.lock);
        const double band = kAirportRadiusNm / 60.0;
        const auto first = std::lower_bound(reg.byLatitude.begin(), reg.byLatitude.end(), latitude - band,
                                            [](const AirportPlace& p, double lat) { return p.latitude < lat; });
        for (auto it = first; it != reg.byLatitude.end() && it->latitude <= latitude + band; ++it) {
            const double dy = (latitude - it->latitude) * 60.0;
            if (std::fabs(dy) > kAirportRadiusNm) continue;
            // Across the antimeridian the short way round is the one that counts.
            const double dx = gf_wrapLongitudeDelta(longitude, it->longitude) * 60.0 * k;
            if (std::fabs(dx) > kAirportRadiusNm) continue;
            const double d2 = dx * dx + dy * dy;
            if (d2 <= kAirportRadiusNm * kAirportRadiusNm) candidates.push_back({reg.airports[it->index], d2});
        }
    }
    if (candidates.empty()) return std::nullopt;
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.d2 < b.d2; });
    if (candidates.size() == 1) return candidates.front().rec;

    ClosestStandReader reader;
    {
        const std::lock_guard guard(g_standReaderLock);
        reader = g_standReader;
    }
    const AirportRecord* best = &candidates.front().rec;
    if (!reader) return *best;

    double bestStandNm = 100.0;
    std::string bestStand;
    for (const Candidate& c : candidates) {
        const auto stand = reader(c.rec.icao, latitude, longitude);
        if (stand && stand->distanceNm < bestStandNm) {
            best = &c.rec;
            bestStandNm = stand->distanceNm;
            bestStand = stand->stand;
        }
    }
    if (best != &candidates.front().rec)
        gf_writeLogLine(fmt::format("Airport {} has the closest center, but stand {} at {} is closer ({:.0f} meters)",
                                    candidates.front().rec.icao, bestStand, best->icao, bestStandNm * 1852.0));
    return *best;
}

} // namespace zelk
