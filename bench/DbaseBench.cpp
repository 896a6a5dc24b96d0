#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

namespace {

using namespace zelk;

// Type designators and airline codes shaped like real ones (four and three
// characters), so the hash and compare costs are those of the real tables.
std::string lf_modelCode(std::size_t i) { return fmt::format("{}{:03}", static_cast<char>('A' + i % 26), i); }
std::string lf_airlineCode(std::size_t i)
{
    return fmt::format("{}{}{}", static_cast<char>('A' + i % 26), static_cast<char>('A' + (i / 26) % 26),
                       static_cast<char>('A' + (i / 676) % 26));
}
// Registrations of the common national forms: "PH-ABC", "D-AB12", "N123AB".
std::string lf_registration(std::size_t i)
{
    switch (i % 3) {
    case 0: return fmt::format("PH-{:03}", i);
    case 1: return fmt::format("D-A{:04}", i);
    default: return fmt::format("N{:05}", i);
    }
}

constexpr std::size_t kModels = 600;
constexpr std::size_t kAirlines = 900;
constexpr std::size_t kRecords = 20'000;

// A database of the shipped one's size, read once into tables of its own.
struct BenchDbase {
    CodeTable airlines{"airline"};
    CodeTable models{"model"};
    AircraftDatabase db{airlines, models};

    BenchDbase()
    {
        std::string models;
        for (std::size_t i = 0; i < kModels; ++i) models += (i ? "," : "") + lf_modelCode(i);
        std::string airlines;
        for (std::size_t i = 0; i < kAirlines; ++i) airlines += (i ? "," : "") + lf_airlineCode(i);
        std::string xml = "<root><aircrafts><aircraft types=\"" + models + "\"/></aircrafts>"
                          "<cargo_types><cargo_type types=\"" + lf_modelCode(7) + "\"/></cargo_types>"
                          "<heavy><hvy types=\"" + lf_modelCode(1) + "\"/></heavy>"
                          "<large><lar types=\"" + lf_modelCode(2) + "\"/></large>"
                          "<buzjet><bzj types=\"" + lf_modelCode(3) + "\"/></buzjet>"
                          "<twoprops><tpr types=\"" + lf_modelCode(4) + "\"/></twoprops>"
                          "<high_performance><hpf types=\"" + lf_modelCode(5) + "\"/></high_performance>"
                          "<rotorcraft><rot types=\"" + lf_modelCode(6) + "\"/></rotorcraft>"
                          "<ICAO_airlines><ICAO codes=\"" + airlines + "\"/></ICAO_airlines>"
                          "<cargo_operators><ICAO codes=\"" + lf_airlineCode(9) + "\"/></cargo_operators><dbase>";
        for (std::size_t i = 0; i < kRecords; ++i)
            xml += fmt::format("<d r=\"{}\" a=\"{}\" m=\"{}\"/>", lf_registration(i), lf_airlineCode(i % kAirlines),
                               lf_modelCode(i % kModels));
        xml += "</dbase></root>";
        db.readXml(xml.data(), xml.size(), "bench-dbase");
    }
};

BenchDbase& lf_dbase()
{
    static BenchDbase dbase;
    return dbase;
}

// Every report of the feed interns its airline and model: nearly always a code
// already in the table, answered under the shared lock.
void BM_InternKnownModelCode(benchmark::State& state)
{
    BenchDbase& d = lf_dbase();
    std::vector<std::string> codes;
    for (std::size_t i = 0; i < 1024; ++i) codes.push_back(lf_modelCode(i % kModels));
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(d.db.modelIndex(codes[i++ & 1023]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InternKnownModelCode);

void BM_InternKnownModelCodeThreaded(benchmark::State& state)
{
    BenchDbase& d = lf_dbase();
    std::size_t i = static_cast<std::size_t>(state.thread_index()) * 97;
    std::vector<std::string> codes;
    for (std::size_t k = 0; k < 1024; ++k) codes.push_back(lf_modelCode(k % kModels));
    for (auto _ : state) benchmark::DoNotOptimize(d.db.modelIndex(codes[i++ & 1023]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InternKnownModelCodeThreaded)->Threads(1)->Threads(4);

// New codes take the exclusive lock and append; a fresh table per batch keeps
// the run below the 16-bit limit.
void BM_InternNewCodes(benchmark::State& state)
{
    std::vector<std::string> codes;
    for (std::size_t i = 0; i < 4096; ++i) codes.push_back(lf_modelCode(i));
    for (auto _ : state) {
        state.PauseTiming();
        auto table = std::make_unique<CodeTable>("model");
        state.ResumeTiming();
        for (const std::string& code : codes) benchmark::DoNotOptimize(table->intern(code));
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(codes.size()));
}
BENCHMARK(BM_InternNewCodes);

void BM_CodeTextOfIndex(benchmark::State& state)
{
    BenchDbase& d = lf_dbase();
    std::uint16_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.airlines.text(static_cast<std::uint16_t>(i % kAirlines)));
        ++i;
    }
}
BENCHMARK(BM_CodeTextOfIndex);

void BM_ModelCategory(benchmark::State& state)
{
    BenchDbase& d = lf_dbase();
    std::uint16_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.db.modelCategory(static_cast<std::uint16_t>(i % kModels)));
        ++i;
    }
}
BENCHMARK(BM_ModelCategory);

// Registrations as the feed sends them: the stored form, the form without its
// hyphen (tried as AB-CDE, then A-BCDE), and unknown ones.
void BM_LookupRegcode(benchmark::State& state)
{
    BenchDbase& d = lf_dbase();
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < 1024; ++i) {
        std::string reg = lf_registration(i * 19 % kRecords);
        switch (state.range(0)) {
        case 0: break;
        case 1: std::erase(reg, '-'); break;
        default: reg = fmt::format("X-{:05}", i); break;
        }
        texts.push_back(reg);
    }
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(d.db.lookupRegcode(texts[i++ & 1023]));
}
BENCHMARK(BM_LookupRegcode)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"form"});

} // namespace
