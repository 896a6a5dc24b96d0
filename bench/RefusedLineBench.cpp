// A flood of junk lines on the RT App's traffic port: what the reader spends
// on each refused line, against what counting it alone costs. Once a kind has
// written its lines, a refused line must cost at most three times its count
// (the "vs_count" counter of BM_RefusedLineThroughTheReader): the text of a
// line that is not written is never quoted or formatted.
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "feed/BadInputLog.h"
#include "feed/RTAppLines.h"

namespace {

using namespace zelk;
using Clock = std::chrono::steady_clock;

// Random 250-byte lines, none of them a line break.
std::vector<std::string> lf_junkLines()
{
    std::mt19937 random(43);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::string> lines(1024);
    for (std::string& line : lines) {
        line.resize(250);
        for (char& c : line) {
            do c = static_cast<char>(byte(random));
            while (c == '\n');
        }
    }
    return lines;
}

// Counting alone: a refused report whose text is never asked for.
double lf_countOnlyNs()
{
    auto& log = gf_feedBadInputLog();
    constexpr int kCount = 1'000'000;
    const auto start = Clock::now();
    for (int i = 0; i < kCount; ++i) log.report(BadInputKind::UnknownTag, [] { return std::string(); });
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kCount;
}

void BM_RefusedLineCountOnly(benchmark::State& state)
{
    auto& log = gf_feedBadInputLog();
    for (auto _ : state) log.report(BadInputKind::UnknownTag, [] { return std::string(); });
}
BENCHMARK(BM_RefusedLineCountOnly);

void BM_RefusedLineThroughTheReader(benchmark::State& state)
{
    const std::vector<std::string> lines = lf_junkLines();
    RTAppLineIntake intake([](TrafficBatch& batch, BatchKind, std::uint32_t) { batch.records.clear(); });
    // The kind's own lines are written before the flood is measured.
    for (const std::string& line : lines) processRTAppLine(line, intake);
    const double countNs = lf_countOnlyNs();
    std::size_t i = 0;
    const auto start = Clock::now();
    for (auto _ : state) {
        processRTAppLine(lines[i], intake);
        i = (i + 1) % lines.size();
    }
    const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
    const double lineNs = spent.count() / static_cast<double>(state.iterations());
    state.counters["vs_count"] = lineNs / countNs;
}
BENCHMARK(BM_RefusedLineThroughTheReader);

} // namespace
