#include "liveries/LiveriesScannedFile.h"
#include "liveries/LiveryScan.h"

#include "BenchData.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "gui/Gui.h"
#include "platform/FileReplace.h"
#include "support/LiveryPackageTree.h"
#include "support/LiveryTestDbase.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;

constexpr std::size_t kFiles = 1'000;
constexpr std::size_t kSectionsPerFile = 50;

// A 50,000-livery AIG-style package in the Community folder of a simulator
// installation of its own, the working folder beside it; built once. The
// settings make the run's livery step scan it automatically.
struct BenchTree {
    fs::path root = bench::ownTempFolder("zelk-livery-scan-bench");
    fs::path package = root / "Community" / "aig-aitraffic-oci";

    BenchTree()
    {
        test::buildLargeLiveryTree(package, kFiles, kSectionsPerFile);
        fs::current_path(root);
        fs::create_directories(kInfoFolder);
        fs::create_directories(kErrorsFolder);
        gf_logFile().open("Log.txt");
        test::loadLiveryTestDbase();
        gf_writeEncryptedFile("<root><meta><info name=\"copyright\" value=\"c\"/><info name=\"sim\" value=\"2\"/>"
                              "</meta><aig><l t=\"AIG A320 Banned\"/></aig></root>",
                              kAigRegcodesFile);
        ProgramMode mode = *gf_programMode();
        mode.simulator = kSimulatorMsfs2024;
        gf_storeProgramMode(mode);
        MSFS_2024_INSTALL_PATH.setValue(root);
        AI_PACKAGE_SELECTOR.setValue("AIG");
        // ZELK_BENCH_SCAN_THREADS=n measures the scans with n threads instead of the machine's share.
        if (const char* threads = std::getenv("ZELK_BENCH_SCAN_THREADS"))
            gf_setLiveryScanThreads(std::strtoul(threads, nullptr, 10));
        gf_updateSettings([](SettingsSnapshot& s) {
            s.LIG_AUTOMATIC = true;
            s.LIG_PRIORITIZE = true;
        });
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

// The whole file in one read, as the floor reads every input.
std::size_t lf_readWhole(const fs::path& file, std::string& buffer)
{
    std::error_code ec;
    buffer.resize(static_cast<std::size_t>(fs::file_size(file, ec)));
    std::FILE* f = std::fopen(file.string().c_str(), "rb");
    if (f == nullptr) return 0;
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
    std::fclose(f);
    return n;
}

// The livery step as the run takes it: the scan of the Community folder's
// package up to the scanned-liveries file written, from no file before.
void BM_LiveryStep(benchmark::State& state)
{
    lf_tree();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(gf_liveriesScannedFile());
        gf_gui().drainUpdateQueue();
        state.ResumeTiming();
        gf_scanLiveries();
    }
    state.counters["liveries"] = static_cast<double>(gf_liveryTable().size());
    if (!fs::exists(gf_liveriesScannedFile())) state.SkipWithError("no scanned-liveries file was written");
}
BENCHMARK(BM_LiveryStep)->Unit(benchmark::kMillisecond);

// Its floor: every aircraft.cfg of the package found and read whole once, and
// the same scanned-liveries file's bytes saved once with write-through.
void BM_LiveryStepFloor(benchmark::State& state)
{
    const BenchTree& tree = lf_tree();
    fs::remove(gf_liveriesScannedFile());
    gf_scanLiveries();
    std::string output;
    lf_readWhole(gf_liveriesScannedFile(), output);
    const fs::path target = "floor_liveries.xml";
    std::string buffer;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(target);
        state.ResumeTiming();
        std::size_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(tree.package))
            if (entry.path().filename() == "aircraft.cfg") bytes += lf_readWhole(entry.path(), buffer);
        std::error_code ec;
        platform::writeFileDurably(target, output, ec);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["output_bytes"] = static_cast<double>(output.size());
}
BENCHMARK(BM_LiveryStepFloor)->Unit(benchmark::kMillisecond);

} // namespace
