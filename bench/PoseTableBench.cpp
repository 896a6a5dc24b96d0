#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "simlink/PoseTable.h"

namespace {

using zelk::PoseTable;
using zelk::SimPose;

// The worker's end of a pass: one pose per object appended under the lock.
void BM_PoseTableFlushPass(benchmark::State& state)
{
    PoseTable table;
    const auto objects = static_cast<std::uint32_t>(state.range(0));
    table.reserve(objects);
    auto t = PoseTable::Clock::now();
    for (auto _ : state) {
        for (std::uint32_t id = 0; id < objects; ++id)
            table.storePassPose(id, SimPose{50.0, 8.0 + id * 1e-3, 0.0, 0.0, 1.0, 1000.0, 0.0, 150.0});
        t += std::chrono::milliseconds(10);
        table.flushPass(t);
    }
    state.SetItemsProcessed(state.iterations() * objects);
}
BENCHMARK(BM_PoseTableFlushPass)->Arg(64)->Arg(512);

// The link's side of a frame: how long it holds the lock the engine waits on.
void BM_PoseTableSampleFrame(benchmark::State& state)
{
    PoseTable table;
    const auto objects = static_cast<std::uint32_t>(state.range(0));
    auto t = PoseTable::Clock::now();
    for (int pass = 0; pass < 16; ++pass) {
        for (std::uint32_t id = 0; id < objects; ++id)
            table.storePassPose(id, SimPose{50.0, 8.0 + pass * 1e-4, 0.0, 0.0, 6.2 + pass * 0.01, 1000.0, 0.0, 150.0});
        t += std::chrono::milliseconds(10);
        table.flushPass(t);
    }
    std::vector<std::pair<std::uint32_t, SimPose>> out;
    const auto frameTime = t - std::chrono::milliseconds(5);
    for (auto _ : state) {
        table.trySample(frameTime, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * objects);
}
BENCHMARK(BM_PoseTableSampleFrame)->Arg(64)->Arg(512);

} // namespace
