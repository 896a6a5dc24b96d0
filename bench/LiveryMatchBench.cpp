#include "liveries/LiveryIndex.h"
#include "liveries/LiveryMatching.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/LiveriesScannedFile.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;

constexpr std::size_t kLiveries = 50'000;
constexpr std::size_t kAirlines = 400;
constexpr std::size_t kModels = 300;
constexpr std::size_t kAircraft = 1'000;

std::string lf_airline(std::size_t i)
{
    return fmt::format("{}{}{}", static_cast<char>('A' + i / 26 % 26), static_cast<char>('A' + i % 26),
                       static_cast<char>('A' + i / 676));
}
std::string lf_model(std::size_t i) { return fmt::format("{}{:03}", static_cast<char>('A' + i / 15 % 26), i); }

// Models in every category, similar groups of three neighbours, every airline known.
std::string lf_dbaseXml()
{
    std::array<std::string, 6> sections;
    std::string models;
    std::string similar;
    for (std::size_t m = 0; m < kModels; ++m) {
        models += lf_model(m) + ",";
        sections[m % 6] += lf_model(m) + ",";
        if (m % 3 == 0 && m + 2 < kModels)
            similar += fmt::format("<similar types=\"{},{},{}\"/>", lf_model(m), lf_model(m + 1), lf_model(m + 2));
    }
    std::string airlines = "ZZZ,PVT";
    for (std::size_t a = 0; a < kAirlines; ++a) airlines += "," + lf_airline(a);
    return fmt::format(R"(<root><aircrafts><aircraft types="{}"/></aircrafts><cargo_types><cargo_type types=""/></cargo_types>
<heavy><hvy types="{}"/></heavy><large><lar types="{}"/></large><buzjet><bzj types="{}"/></buzjet>
<twoprops><tpr types="{}"/></twoprops><high_performance><hpf types="{}"/></high_performance>
<rotorcraft><rot types="{}"/></rotorcraft><ICAO_airlines><ICAO codes="{}"/></ICAO_airlines>
<cargo_operators><ICAO codes=""/></cargo_operators><similar_types>{}</similar_types><fixes/><dbase/></root>)",
                       models, sections[0], sections[1], sections[2], sections[3], sections[4], sections[5], airlines,
                       similar);
}

LiveryKey lf_key(std::string_view airline, std::string_view op, std::string_view model, bool cargo)
{
    return LiveryKey{gf_airlineCode2Index(airline), op.empty() ? std::uint16_t{0} : gf_airlineCode2Index(op),
                     gf_modelCode2Index(model), static_cast<std::uint8_t>(cargo ? 1 : 0), 0};
}

std::vector<LiveryRecord> lf_liveries()
{
    std::vector<LiveryRecord> records;
    records.reserve(kLiveries);
    for (std::size_t i = 0; i < kLiveries; ++i) {
        const std::string airline = i % 50 == 0 ? "ZZZ" : lf_airline(i % kAirlines);
        const std::string op = i % 10 == 3 ? lf_airline((i / 10) % kAirlines) : "";
        const std::string model = lf_model((i * 7) % kModels);
        const std::string reg = i % 5 == 0 ? fmt::format("R{:05}", i) : "";
        records.push_back({fmt::format("Bench {} {} {} livery {}", airline, op, model, i), reg,
                           lf_key(airline, op, model, i % 8 == 0), 0});
    }
    return records;
}

// A field of the process status in kB ("VmHWM:" peak, "VmRSS:" now); 0 where the system has no such file.
long lf_statusKb(std::string_view field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    return 0;
}

struct BenchIndex {
    fs::path root = fs::temp_directory_path() / "zelk-livery-match-bench";
    long rssBeforeKb = 0;
    long rssAfterKb = 0;
    long peakAfterKb = 0;
    std::vector<LiveryMatchAircraft> aircraft;

    BenchIndex()
    {
        fs::remove_all(root);
        fs::create_directories(root);
        fs::current_path(root);
        for (const fs::path& f : {kOutputFolder, kInfoFolder, kErrorsFolder}) fs::create_directories(f);
        gf_logFile().open("Log.txt");
        std::string dbase = lf_dbaseXml();
        gf_readDbaseFromBuffer(dbase.data(), dbase.size(), "bench dbase");
        lf_writeLiveriesScannedTo(lf_liveries(), gf_liveriesScannedFile());
        rssBeforeKb = lf_statusKb("VmRSS:");
        gf_processScannedLiveries();
        rssAfterKb = lf_statusKb("VmRSS:");
        peakAfterKb = lf_statusKb("VmHWM:");
        makeAircraft();
    }

    // Registration hits, airline and model, operators, similar models, fallbacks, no match.
    void makeAircraft()
    {
        for (std::size_t i = 0; i < kAircraft; ++i) {
            LiveryMatchAircraft ac;
            const std::size_t kind = i % 6;
            const std::size_t n = i * 37;
            ac.key = lf_key(lf_airline(n % kAirlines), kind == 2 ? lf_airline((n / 3) % kAirlines) : "",
                            lf_model((n * 7 + (kind == 3 ? 1 : 0)) % kModels), i % 9 == 0);
            if (kind == 4) ac.key.airline = gf_airlineCode2Index("QQQ");
            if (kind == 5) ac.key.model = gf_modelCode2Index("NONE");
            registrations.push_back(kind == 0 ? fmt::format("R{:05}", (n * 5) % kLiveries) : "");
            ac.logText = fmt::format("BENCH{:03} {}", i, registrations.back());
            ac.category = gf_modelCategory(ac.key.model);
            aircraft.push_back(std::move(ac));
        }
        for (std::size_t i = 0; i < kAircraft; ++i) aircraft[i].registration = registrations[i];
    }
    std::vector<std::string> registrations;
};

BenchIndex& lf_index()
{
    static BenchIndex index;
    return index;
}

// One live match per aircraft of the mix; the target is at most 5 us each.
void BM_MatchLiveryLive(benchmark::State& state)
{
    BenchIndex& index = lf_index();
    std::size_t matched = 0;
    for (auto _ : state) {
        for (LiveryMatchAircraft& ac : index.aircraft) {
            ac.title = {};
            matched += gf_matchLiveryLive(ac, 5000.0).has_value() ? 1 : 0;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kAircraft));
    // Seconds per aircraft (printed with an SI prefix, "u" for microseconds).
    state.counters["s_per_aircraft"] = benchmark::Counter(
        static_cast<double>(kAircraft), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["matched_share"] = static_cast<double>(matched) / static_cast<double>(state.iterations() * kAircraft);
    state.counters["rss_before_index_MB"] = static_cast<double>(index.rssBeforeKb) / 1024.0;
    state.counters["rss_after_index_MB"] = static_cast<double>(index.rssAfterKb) / 1024.0;
    state.counters["peak_rss_MB"] = static_cast<double>(index.peakAfterKb) / 1024.0;
    state.counters["index_titles"] = static_cast<double>(gf_liveryIndex().installedTitles.size());
}
BENCHMARK(BM_MatchLiveryLive)->Unit(benchmark::kMicrosecond);

// The whole processing of the 50,000-livery file.
void BM_ProcessScannedLiveries(benchmark::State& state)
{
    lf_index();
    for (auto _ : state) {
        state.PauseTiming();
        lf_writeLiveriesScannedTo(lf_liveries(), gf_liveriesScannedFile());
        state.ResumeTiming();
        gf_processScannedLiveries();
    }
}
BENCHMARK(BM_ProcessScannedLiveries)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
