#include "liveries/LiveryIndex.h"
#include "liveries/LiveryMatching.h"

#include "BenchData.h"

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

using bench::kAirlines;
using bench::kLiveries;
using bench::kModels;
constexpr std::size_t kAircraft = 1'000;

LiveryKey lf_key(std::string_view airline, std::string_view op, std::string_view model, bool cargo)
{
    return bench::liveryKey(airline, op, model, cargo);
}
std::string lf_airline(std::size_t i) { return bench::airlineCode(i); }
std::string lf_model(std::size_t i) { return bench::modelCode(i); }

struct BenchIndex {
    fs::path root = bench::ownTempFolder("zelk-livery-match-bench");
    long rssBeforeKb = 0;
    long rssAfterKb = 0;
    long peakAfterKb = 0;
    std::vector<LiveryMatchAircraft> aircraft;

    BenchIndex()
    {
        fs::current_path(root);
        for (const fs::path& f : {kOutputFolder, kInfoFolder, kErrorsFolder}) fs::create_directories(f);
        gf_logFile().open("Log.txt");
        std::string dbase = bench::dbaseXml();
        gf_readDbaseFromBuffer(dbase.data(), dbase.size(), "bench dbase");
        lf_writeLiveriesScannedTo(bench::liveries(), gf_liveriesScannedFile());
        rssBeforeKb = bench::statusKb("VmRSS:");
        gf_processScannedLiveries();
        rssAfterKb = bench::statusKb("VmRSS:");
        peakAfterKb = bench::statusKb("VmHWM:");
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
        lf_writeLiveriesScannedTo(bench::liveries(), gf_liveriesScannedFile());
        state.ResumeTiming();
        gf_processScannedLiveries();
    }
}
BENCHMARK(BM_ProcessScannedLiveries)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
