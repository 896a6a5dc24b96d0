#include "airports/AirportScan.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchData.h"
#include "airports/AirportsRegistry.h"
#include "airports/PublisherList.h"
#include "airports/ScanLog.h"
#include "airports/ScanTransaction.h"
#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "gui/Gui.h"
#include "platform/FileReplace.h"
#include "support/BglWriter.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;

constexpr std::size_t kAirports = 1'000;
constexpr std::size_t kFilesPerPackage = 10;

std::string lf_code(std::size_t i)
{
    return {'Z', static_cast<char>('A' + i / 676 % 26), static_cast<char>('A' + i / 26 % 26),
            static_cast<char>('A' + i % 26)};
}

std::string lf_airportFile(const std::string& code, std::size_t stands)
{
    std::vector<test::BglParking> list;
    for (std::size_t s = 0; s < stands; ++s)
        list.push_back({10, 9, static_cast<std::uint32_t>(s + 1), 40.0 + s * 1e-4, 10.0 + s * 1e-4});
    const std::string record = test::bglAirportRecord(
        code, 120000, test::bglOtherSubrecord(0xCE, 52) + test::bglHelipad(40.5, 10.5, 20.0f) + test::bglParkingList(list));
    return test::bglBuild({test::BglSection{9, false, {{{test::bglOtherSubrecord(0x99, 64)}}}},
                           test::BglSection{3, true, {{{record}}}}})
        .bytes;
}

void lf_write(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The whole file in one read, as the floor of every scan reads it.
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

// A simulator installation whose Community folder holds 1,000 airport packages
// of ten BGL files each: one airport of 50 to 300 stands, the rest object
// files of 4 to 64 KiB; the registry, the weekly list and the publishers data
// know every airport. Built once.
struct BenchTree {
    // ZELK_BENCH_KEEP_TREE=1 builds the tree in a fixed folder and takes up the
    // tree of an earlier run there, for profiling the scan alone; otherwise each
    // run builds its tree in a folder of its own, so two runs never meet.
    bool keepTree = std::getenv("ZELK_BENCH_KEEP_TREE") != nullptr;
    fs::path root = keepTree ? fs::temp_directory_path() / "zelk-scenery-scan-bench"
                             : bench::ownTempFolder("zelk-scenery-scan-bench");
    fs::path install = root / "msfs";
    fs::path community = install / "Community";

    BenchTree()
    {
        const bool keep = keepTree && fs::exists(root / "tree.done");
        if (keepTree && !keep) fs::remove_all(root);
        fs::create_directories(community);
        fs::create_directories(install / "Official");
        fs::current_path(root);
        fs::create_directories(kInfoFolder);
        fs::create_directories(kErrorsFolder);
        gf_logFile().open("Log.txt");
        std::mt19937 random(7);
        std::string registry = "<root><airports>";
        std::string weekly;
        for (std::size_t a = 0; a < kAirports; ++a) {
            const std::string code = lf_code(a);
            registry += "<ap c=\"" + code + "\" la=\"40\" lo=\"10\" a=\"400\"/>";
            weekly += (a == 0 ? "" : ",") + code;
            const fs::path package = community / ("alpha-airport-" + code);
            fs::create_directories(package / "scenery");
            lf_write(package / "manifest.json", R"({"title":"Airport","package_version":"1.0","creator":"Alpha Sims"})");
            const std::string airport = lf_airportFile(code, 50 + random() % 251);
            if (keep) continue;
            lf_write(package / "scenery" / (code + ".bgl"), airport);
            for (std::size_t f = 1; f < kFilesPerPackage; ++f) {
                std::string objects = test::bglBuild({test::BglSection{9, false, {}}}).bytes;
                objects.resize(objects.size() + 4096 + random() % (60 * 1024), '\x11');
                lf_write(package / "scenery" / ("objects" + std::to_string(f) + ".bgl"), objects);
            }
        }
        lf_write(root / "tree.done", "");
        gf_writeEncryptedFile(registry + "</airports></root>", kAirportsFile);
        gf_writeEncryptedFile("<root><traffic_airports><arp c=\"" + weekly + "\"/></traffic_airports></root>",
                              kWkTrafficFile);
        gf_writeEncryptedFile("<root><publishers><pub pn=\"Alpha Sims\"/></publishers><simaddons20/><simaddons24/>"
                              "<thirdparties20/><thirdparties24/></root>",
                              kArchivesFile);
        gf_resetAirportsRegistry();
        gf_ensureAirportsLoaded();
        lf_resetPublishers();
        gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
        MSFS_INSTALL_PATH.setValue(install);
    }

    // What a scan leaves behind, so that the next one starts as the first did.
    static void clearScanOutputs()
    {
        for (const fs::path& p : {kMySimaddonFolder, kMyThirdpartyFolder, fs::path("tblo")}) {
            fs::remove_all(p);
            fs::remove_all(lf_scanBackupPath(p));
        }
        fs::remove(lf_scanMarkerPath());
        fs::remove(gf_airportsScanLogPath());
        gf_gui().drainUpdateQueue();
    }
};

BenchTree& lf_tree()
{
    static BenchTree tree;
    return tree;
}

// The floor of the old walk: every .bgl of the tree found and read whole.
void BM_ReadEveryBgl(benchmark::State& state)
{
    const BenchTree& tree = lf_tree();
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(tree.community)) {
            if (entry.path().extension() != ".bgl") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            bytes += data.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ReadEveryBgl)->Unit(benchmark::kMillisecond);

// The scan's walk of the same tree: probes, manifests, airport reads and the
// generated airport files (no simulator, so every airport comes from its BGL).
void BM_WalkSceneries(benchmark::State& state)
{
    const BenchTree& tree = lf_tree();
    for (auto _ : state) {
        lf_reserveScanLog();
        lf_walkSceneryFolder(tree.community);
        state.PauseTiming();
        state.counters["lines"] = static_cast<double>(lf_scanLogLines().size());
        lf_clearScanLog();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WalkSceneries)->Unit(benchmark::kMillisecond);

// The whole scan as a run starts it: transaction, walk, generated files, scan
// log, tblo package and commit, each time from the state before the first scan.
void BM_SceneryScan(benchmark::State& state)
{
    lf_tree();
    std::size_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BenchTree::clearScanOutputs();
        state.ResumeTiming();
        gf_scanAirports();
        state.PauseTiming();
        files = 0;
        for (const fs::path& folder : {kMySimaddonFolder, kMyThirdpartyFolder})
            if (fs::exists(folder)) files += static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
        state.ResumeTiming();
    }
    state.counters["generated_files"] = static_cast<double>(files);
    if (files != kAirports) state.SkipWithError("the scan did not generate a file per airport");
}
BENCHMARK(BM_SceneryScan)->Unit(benchmark::kMillisecond);

// Its floor: every .bgl read whole once, the same generated files written
// once into a fresh folder, and one durable commit (each file and the folders
// flushed to disk).
void BM_SceneryScanFloor(benchmark::State& state)
{
    const BenchTree& tree = lf_tree();
    BenchTree::clearScanOutputs();
    gf_scanAirports();
    std::map<std::string, std::string> outputs;
    std::string buffer;
    for (const auto& entry : fs::directory_iterator(kMyThirdpartyFolder)) {
        lf_readWhole(entry.path(), buffer);
        outputs[entry.path().filename().string()] = buffer;
    }
    const fs::path target = "floor_output";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(target);
        state.ResumeTiming();
        std::size_t bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(tree.community))
            if (entry.path().extension() == ".bgl") bytes += lf_readWhole(entry.path(), buffer);
        fs::create_directories(target);
        for (const auto& [name, text] : outputs) {
            std::FILE* f = std::fopen((target / name).string().c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
        std::error_code ec;
        for (const auto& [name, text] : outputs) platform::flushFileToDisk(target / name, ec);
        platform::flushFolderToDisk(target, ec);
        platform::flushFolderToDisk(".", ec);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["generated_files"] = static_cast<double>(outputs.size());
}
BENCHMARK(BM_SceneryScanFloor)->Unit(benchmark::kMillisecond);

} // namespace
