#include "airports/AirportsRegistry.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "BenchData.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/LiveriesScannedFile.h"
#include "liveries/LiveryIndex.h"
#include "traffic/TrafficState.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;

// A working folder of its own, the log open in it.
void lf_workingFolder(const char* name)
{
    const fs::path root = bench::ownTempFolder(name);
    fs::current_path(root);
    for (const fs::path& f : {kOutputFolder, kInfoFolder, kErrorsFolder}) fs::create_directories(f);
    gf_logFile().open("Log.txt");
}

// The start-up's read of the shipped registry: decrypt, parse, sort, index.
void BM_ReadAirportsRegistry(benchmark::State& state)
{
    lf_workingFolder("zelk-airports-bench");
    std::size_t count = bench::loadShippedAirports();
    for (auto _ : state) {
        gf_resetAirportsRegistry();
        const auto read = gf_ensureAirportsLoaded();
        count = read ? static_cast<std::size_t>(read.value()) : 0;
    }
    state.counters["airports"] = static_cast<double>(count);
    if (count == 0) state.SkipWithError("the shipped airports list was not found");
}
BENCHMARK(BM_ReadAirportsRegistry)->Unit(benchmark::kMillisecond);

// The closest-airport look-up over the shipped registry, at positions within
// 6 NM of random airports (most at one, some between airports) and at sea;
// the target is at most 5 us each.
void BM_FindClosestAirport(benchmark::State& state)
{
    lf_workingFolder("zelk-airports-bench");
    if (bench::loadShippedAirports() == 0) {
        state.SkipWithError("the shipped airports list was not found");
        return;
    }
    const std::vector<AirportRecord> all = gf_airportsRegistry().airports;
    std::mt19937 random(36);
    std::uniform_real_distribution<double> offset(-0.1, 0.1);
    std::vector<std::pair<double, double>> positions;
    for (int i = 0; i < 1000; ++i) {
        const AirportRecord& near = all[random() % all.size()];
        positions.emplace_back(near.latitude + offset(random), near.longitude + offset(random));
    }
    for (int i = 0; i < 100; ++i) positions.emplace_back(-40.0 + 0.1 * i, -30.0); // South Atlantic
    std::size_t found = 0;
    for (auto _ : state) {
        for (const auto& [lat, lon] : positions) found += gf_findClosestAirport(lat, lon).has_value() ? 1 : 0;
    }
    state.counters["s_per_lookup"] =
        benchmark::Counter(static_cast<double>(positions.size()),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["found_share"] =
        static_cast<double>(found) / static_cast<double>(state.iterations() * positions.size());
    state.counters["airports"] = static_cast<double>(all.size());
}
BENCHMARK(BM_FindClosestAirport)->Unit(benchmark::kMicrosecond);

// 1,000 live aircraft with ten samples each and 1,000 parked ones.
void lf_fillTraffic()
{
    auto& live = gf_liveAircraft();
    auto& statics = gf_staticAircraft();
    live.assign(1000, LiveAc{});
    statics.assign(1000, StaticAc{});
    for (std::size_t i = 0; i < 1000; ++i) {
        LiveAc& ac = live[i];
        ac.hexId = 0x400000 + static_cast<std::uint32_t>(i);
        ac.head.callsign = fmt::format("LIVE{}", i);
        for (int k = 0; k < 10; ++k) {
            PosSample s;
            s.latitude = 50.0 + 0.01 * static_cast<double>(i / 40) + 1e-4 * k;
            s.longitude = 8.0 + 0.01 * static_cast<double>(i % 40);
            ac.stream.push_back(s);
        }
        StaticAc& parked = statics[i];
        parked.hexId = 0x500000 + static_cast<std::uint32_t>(i);
        parked.head.callsign = fmt::format("PARK{}", i);
    }
}

// Resident memory of a run at full size: the index of 50,000 liveries, the
// shipped airports registry and 2,000 aircraft; the budget is 200 MB. Run it
// alone (--benchmark_filter=ResidentMemory): the peak counts everything the
// process did before.
void BM_ResidentMemory(benchmark::State& state)
{
    lf_workingFolder("zelk-resident-memory-bench");
    std::size_t airports = 0;
    for (auto _ : state) {
        std::string dbase = bench::dbaseXml();
        gf_readDbaseFromBuffer(dbase.data(), dbase.size(), "bench dbase");
        lf_writeLiveriesScannedTo(bench::liveries(), gf_liveriesScannedFile());
        gf_processScannedLiveries();
        airports = bench::loadShippedAirports();
        lf_fillTraffic();
    }
    state.counters["airports"] = static_cast<double>(airports);
    state.counters["index_titles"] = static_cast<double>(gf_liveryIndex().installedTitles.size());
    state.counters["aircraft"] = static_cast<double>(gf_liveAircraft().size() + gf_staticAircraft().size());
    state.counters["rss_MB"] = static_cast<double>(bench::statusKb("VmRSS:")) / 1024.0;
    state.counters["peak_rss_MB"] = static_cast<double>(bench::statusKb("VmHWM:")) / 1024.0;
    gf_liveAircraft().clear();
    gf_staticAircraft().clear();
}
BENCHMARK(BM_ResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
