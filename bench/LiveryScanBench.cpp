#include "liveries/LiveriesScannedFile.h"
#include "liveries/LiveryScan.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/Log.h"
#include "core/Paths.h"
#include "support/LiveryPackageTree.h"
#include "support/LiveryTestDbase.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;

constexpr std::size_t kFiles = 1'000;
constexpr std::size_t kSectionsPerFile = 50;

// A 50,000-livery AIG-style package in a working folder of its own, built once.
struct BenchTree {
    fs::path root = fs::temp_directory_path() / "zelk-livery-scan-bench";
    fs::path package = root / "Community" / "aig-aitraffic-oci";

    BenchTree()
    {
        fs::remove_all(root);
        test::buildLargeLiveryTree(package, kFiles, kSectionsPerFile);
        fs::current_path(root);
        fs::create_directories(kInfoFolder);
        fs::create_directories(kErrorsFolder);
        gf_logFile().open("Log.txt");
        test::loadLiveryTestDbase();
    }
};

BenchTree& lf_tree()
{
    static BenchTree tree;
    return tree;
}

// The floor: every aircraft.cfg of the tree found and read whole.
void BM_ReadEveryAircraftCfg(benchmark::State& state)
{
    const BenchTree& tree = lf_tree();
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(tree.package)) {
            if (entry.path().filename() != "aircraft.cfg") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            bytes += text.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ReadEveryAircraftCfg)->Unit(benchmark::kMillisecond);

// The scan up to the sorted livery table and its reports.
void BM_ScanLiveries(benchmark::State& state)
{
    const BenchTree& tree = lf_tree();
    for (auto _ : state) {
        lf_collectLiveries({tree.package}, true);
        benchmark::DoNotOptimize(gf_liveryTable().data());
        state.PauseTiming();
        state.counters["liveries"] = static_cast<double>(gf_liveryTable().size());
        lf_endLiveryScan();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ScanLiveries)->Unit(benchmark::kMillisecond);

// The scanned-liveries file of that table: write, read back, commit.
void BM_WriteLiveriesScanned(benchmark::State& state)
{
    lf_tree();
    lf_collectLiveries({lf_tree().package}, true);
    lf_endLiveryScan();
    for (auto _ : state) benchmark::DoNotOptimize(lf_writeLiveriesScannedTo(gf_liveryTable(), "bench.xml"));
}
BENCHMARK(BM_WriteLiveriesScanned)->Unit(benchmark::kMillisecond);

} // namespace
