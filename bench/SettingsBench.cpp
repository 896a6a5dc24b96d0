#include <benchmark/benchmark.h>

#include "core/Settings.h"
#include "core/StopRequest.h"

namespace {

// The read every engine pass and every received record makes.
void BM_SettingsRead(benchmark::State& state)
{
    for (auto _ : state) {
        const auto s = zelk::gf_settings();
        benchmark::DoNotOptimize(s->rangeNmSquared);
    }
}
BENCHMARK(BM_SettingsRead)->ThreadRange(1, 8);

// The check every worker, reader and simulator loop makes on each pass.
void BM_IsRunning(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(zelk::gf_isRunning());
}
BENCHMARK(BM_IsRunning)->ThreadRange(1, 8);

// A copy-on-write update of one field, as a command handler makes it.
void BM_SettingsUpdate(benchmark::State& state)
{
    for (auto _ : state) zelk::gf_updateSettings([](zelk::SettingsSnapshot& s) { ++s.TCAS_FL; });
}
BENCHMARK(BM_SettingsUpdate);

} // namespace
