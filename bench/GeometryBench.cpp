#include "core/Geometry.h"

#include <random>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

// A few thousand positions around one airport and world-wide, so the numbers
// reflect the mix of short and long distances a traffic pass computes.
std::vector<zelk::LatLon> lf_positions(double spreadDeg)
{
    std::mt19937 engine(7);
    std::uniform_real_distribution<double> lat(50.0 - spreadDeg, 50.0 + spreadDeg);
    std::uniform_real_distribution<double> lon(8.5 - spreadDeg, 8.5 + spreadDeg);
    std::vector<zelk::LatLon> out(4096);
    for (auto& p : out)
        p = {lat(engine), lon(engine)};
    return out;
}

void BM_DistanceNm(benchmark::State& state)
{
    const auto points = lf_positions(static_cast<double>(state.range(0)) / 10.0);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zelk::gf_distanceNm(points[i & 4095], points[(i + 1) & 4095]));
        ++i;
    }
}
BENCHMARK(BM_DistanceNm)->Arg(5)->Arg(400);

void BM_InitialBearing(benchmark::State& state)
{
    const auto points = lf_positions(0.5);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zelk::gf_initialBearing(points[i & 4095], points[(i + 1) & 4095]));
        ++i;
    }
}
BENCHMARK(BM_InitialBearing);

void BM_DestinationPoint(benchmark::State& state)
{
    const auto points = lf_positions(0.5);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zelk::gf_destinationPoint(points[i & 4095], 0.001 * static_cast<double>(i & 6283), 500.0));
        ++i;
    }
}
BENCHMARK(BM_DestinationPoint);

} // namespace
