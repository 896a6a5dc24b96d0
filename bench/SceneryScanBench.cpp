#include "airports/AirportScan.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "airports/AirportsRegistry.h"
#include "airports/PublisherList.h"
#include "airports/ScanLog.h"
#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "support/BglWriter.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;

constexpr std::size_t kBglFiles = 4'000;
constexpr std::size_t kAirports = 400;

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

// A sceneries tree of 4,000 BGL files in 400 packages, one airport of 50 to
// 300 stands in each, the rest object files of 4 to 64 KiB; built once.
struct BenchTree {
    fs::path root = fs::temp_directory_path() / "zelk-scenery-scan-bench";
    fs::path community = root / "Community";

    BenchTree()
    {
        fs::remove_all(root);
        fs::create_directories(community);
        fs::current_path(root);
        fs::create_directories(kInfoFolder);
        fs::create_directories(kMyThirdpartyFolder);
        gf_logFile().open("Log.txt");
        std::mt19937 random(7);
        std::string registry = "<root><airports>";
        const std::size_t perPackage = kBglFiles / kAirports;
        for (std::size_t a = 0; a < kAirports; ++a) {
            const std::string code = lf_code(a);
            registry += "<ap c=\"" + code + "\" la=\"40\" lo=\"10\" a=\"400\"/>";
            const fs::path package = community / ("alpha-airport-" + code);
            fs::create_directories(package / "scenery");
            lf_write(package / "manifest.json", R"({"title":"Airport","package_version":"1.0","creator":"Alpha Sims"})");
            lf_write(package / "scenery" / (code + ".bgl"), lf_airportFile(code, 50 + random() % 251));
            for (std::size_t f = 1; f < perPackage; ++f) {
                std::string objects = test::bglBuild({test::BglSection{9, false, {}}}).bytes;
                objects.resize(objects.size() + 4096 + random() % (60 * 1024), '\x11');
                lf_write(package / "scenery" / ("objects" + std::to_string(f) + ".bgl"), objects);
            }
        }
        gf_writeEncryptedFile(registry + "</airports></root>", kAirportsFile);
        gf_ensureAirportsLoaded();
        lf_resetPublishers();
    }

    static void lf_write(const fs::path& file, const std::string& bytes)
    {
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
};

BenchTree& lf_tree()
{
    static BenchTree tree;
    return tree;
}

// The floor: every .bgl of the tree found and read whole.
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
// 400 generated airport files (no simulator, so every airport comes from its BGL).
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

} // namespace
