#include "airports/WeeklyAirports.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "platform/SharedMutex.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

// Room for the whole list without regrowing.
constexpr std::size_t kExpectedCodes = 15'000;

platform::SharedMutex g_lock;
std::vector<IcaoCode> g_codes;

using CodesResult = ValueOrError<std::vector<IcaoCode>>;

} // namespace

CodesResult lf_parseWeeklyTrafficAirports(const pugi::xml_document& doc)
{
    const pugi::xml_node root = doc.child("root");
    if (!root) return CodesResult::failure(fmt::format("missing <{}> root element", "root"));
    const pugi::xml_node section = root.child("traffic_airports");
    if (!section) return CodesResult::failure(fmt::format("missing <{}> section", "traffic_airports"));

    std::vector<IcaoCode> codes;
    codes.reserve(kExpectedCodes);
    for (const pugi::xml_node& arp : section.children("arp")) {
        const pugi::xml_attribute c = arp.attribute("c");
        if (!c) return CodesResult::failure(fmt::format("<{}> element has no '{}' attribute", "arp", "c"));
        for (const std::string& piece : gf_split(c.value(), ',')) {
            const auto code = IcaoCode::tryParse(piece);
            if (!code) return CodesResult::failure(fmt::format("invalid weekly traffic ICAO code '{}'", piece));
            codes.push_back(*code);
        }
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    if (codes.empty()) return CodesResult::failure(fmt::format("<{}> contains no ICAO codes", "traffic_airports"));
    return CodesResult(std::move(codes));
}

CodesResult lf_readWeeklyTrafficAirports()
{
    const fs::path& path = kWkTrafficFile;
    const std::string name = path_to_utf8(path);

    std::error_code ec;
    const bool exists = fs::exists(path, ec);
    if (ec) return CodesResult::failure(fmt::format("Could not inspect '{}': {}", name, ec.message()));
    if (!exists) return CodesResult::failure(fmt::format("'{}' not available", name));

    // The plaintext outlives the document that points into it and is wiped
    // when this function returns, whichever way.
    auto plain = gf_readEncryptedFile(path, kWeeklyTrafficPlaintextLimit);
    if (!plain) return CodesResult::failure(plain.error());
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(plain.value().data(), plain.value().used());
    if (!parsed) return CodesResult::failure(fmt::format("weekly traffic XML parse error: {}", parsed.description()));

    auto codes = lf_parseWeeklyTrafficAirports(doc);
    if (!codes)
        return CodesResult::failure(fmt::format("'{}' has invalid weekly traffic XML: {}", name, codes.error()));
    gf_writeLogLine(
        fmt::format("{} ICAO airports supported by RealTraffic read from '{}'", codes.value().size(), name));
    return codes;
}

int gf_loadWeeklyTrafficAirports()
{
    auto codes = lf_readWeeklyTrafficAirports();
    if (!codes) {
        gf_writeLogNotice(codes.error());
        gf_clearWeeklyTrafficAirports();
        return 0;
    }
    const std::unique_lock write(g_lock);
    g_codes = std::move(codes.value());
    return 1;
}

bool gf_isWeeklyTrafficAirport(IcaoCode code)
{
    const std::shared_lock read(g_lock);
    if (g_codes.empty()) return true;
    return std::binary_search(g_codes.begin(), g_codes.end(), code);
}

void gf_clearWeeklyTrafficAirports()
{
    const std::unique_lock write(g_lock);
    g_codes.clear();
}

} // namespace zelk
