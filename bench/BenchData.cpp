#include "BenchData.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <system_error>

#include <fmt/format.h>

#include "airports/AirportsRegistry.h"
#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "liveries/AircraftDatabase.h"

namespace zelk::bench {

namespace fs = std::filesystem;

std::string airlineCode(std::size_t i)
{
    return fmt::format("{}{}{}", static_cast<char>('A' + i / 26 % 26), static_cast<char>('A' + i % 26),
                       static_cast<char>('A' + i / 676));
}

std::string modelCode(std::size_t i) { return fmt::format("{}{:03}", static_cast<char>('A' + i / 15 % 26), i); }

std::string dbaseXml()
{
    std::array<std::string, 6> sections;
    std::string models;
    std::string similar;
    for (std::size_t m = 0; m < kModels; ++m) {
        models += modelCode(m) + ",";
        sections[m % 6] += modelCode(m) + ",";
        if (m % 3 == 0 && m + 2 < kModels)
            similar +=
                fmt::format("<similar types=\"{},{},{}\"/>", modelCode(m), modelCode(m + 1), modelCode(m + 2));
    }
    std::string airlines = "ZZZ,PVT";
    for (std::size_t a = 0; a < kAirlines; ++a) airlines += "," + airlineCode(a);
    return fmt::format(R"(<root><aircrafts><aircraft types="{}"/></aircrafts><cargo_types><cargo_type types=""/></cargo_types>
<heavy><hvy types="{}"/></heavy><large><lar types="{}"/></large><buzjet><bzj types="{}"/></buzjet>
<twoprops><tpr types="{}"/></twoprops><high_performance><hpf types="{}"/></high_performance>
<rotorcraft><rot types="{}"/></rotorcraft><ICAO_airlines><ICAO codes="{}"/></ICAO_airlines>
<cargo_operators><ICAO codes=""/></cargo_operators><similar_types>{}</similar_types><fixes/><dbase/></root>)",
                       models, sections[0], sections[1], sections[2], sections[3], sections[4], sections[5], airlines,
                       similar);
}

LiveryKey liveryKey(std::string_view airline, std::string_view op, std::string_view model, bool cargo)
{
    return LiveryKey{gf_airlineCode2Index(airline), op.empty() ? std::uint16_t{0} : gf_airlineCode2Index(op),
                     gf_modelCode2Index(model), static_cast<std::uint8_t>(cargo ? 1 : 0), 0};
}

std::vector<LiveryRecord> liveries()
{
    std::vector<LiveryRecord> records;
    records.reserve(kLiveries);
    for (std::size_t i = 0; i < kLiveries; ++i) {
        const std::string airline = i % 50 == 0 ? "ZZZ" : airlineCode(i % kAirlines);
        const std::string op = i % 10 == 3 ? airlineCode((i / 10) % kAirlines) : "";
        const std::string model = modelCode((i * 7) % kModels);
        const std::string reg = i % 5 == 0 ? fmt::format("R{:05}", i) : "";
        records.push_back({fmt::format("Bench {} {} {} livery {}", airline, op, model, i), reg,
                           liveryKey(airline, op, model, i % 8 == 0), 0});
    }
    return records;
}

namespace {

// The folders this run made, removed at exit (after leaving them, as a
// benchmark may still work in one).
struct OwnFolders {
    std::mutex lock;
    std::vector<fs::path> made;
    ~OwnFolders()
    {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(ec), ec);
        for (const auto& folder : made) fs::remove_all(folder, ec);
    }
};

OwnFolders& lf_ownFolders()
{
    static OwnFolders folders;
    return folders;
}

} // namespace

fs::path ownTempFolder(std::string_view name)
{
    auto& folders = lf_ownFolders();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (;;) {
        fs::path folder = fs::temp_directory_path() / fmt::format("{}-{:016x}", name, random());
        // Only the run that creates the folder gets it.
        if (!fs::create_directory(folder)) continue;
        const std::scoped_lock guard(folders.lock);
        folders.made.push_back(folder);
        return folder;
    }
}

long statusKb(std::string_view field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    return 0;
}

std::size_t loadShippedAirports()
{
    const fs::path plain = fs::path(__FILE__).parent_path().parent_path() / "data" / "airports.xml";
    std::ifstream in(plain, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) return 0;
    fs::create_directories(kAirportsFile.parent_path());
    gf_writeEncryptedFile(text, kAirportsFile);
    gf_resetAirportsRegistry();
    const auto count = gf_ensureAirportsLoaded();
    return count ? static_cast<std::size_t>(count.value()) : 0;
}

} // namespace zelk::bench
