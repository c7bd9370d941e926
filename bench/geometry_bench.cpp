// Sphere geometry: distance, destination point and bearing, the calls the engine makes per
// aircraft and step, each given as a share of the engine's 10 ms tick per call.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "bench_table.h"
#include "foundation/geometry.h"

namespace {

std::vector<LatLon> lf_positions(std::size_t count) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> lat(-85.0, 85.0);
  std::uniform_real_distribution<double> lon(-180.0, 180.0);
  std::vector<LatLon> positions(count);
  for (auto& p : positions) {
    p = {lat(rng), lon(rng)};
  }
  return positions;
}

void BM_DistanceNm(benchmark::State& state) {
  const auto positions = lf_positions(1024);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& a = positions[i & 1023];
    const auto& b = positions[(i + 1) & 1023];
    benchmark::DoNotOptimize(gf_distanceNm(a, b));
    ++i;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  bench::shareOfTick(state);
}
BENCHMARK(BM_DistanceNm);

void BM_Destination(benchmark::State& state) {
  const auto positions = lf_positions(1024);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& start = positions[i & 1023];
    // About one engine step of a jet at 250 kt: 70 ft.
    benchmark::DoNotOptimize(gf_destination(start, 0.001 * static_cast<double>(i & 4095), 70.0));
    ++i;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  bench::shareOfTick(state);
}
BENCHMARK(BM_Destination);

void BM_Bearing(benchmark::State& state) {
  const auto positions = lf_positions(1024);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(gf_bearing(positions[i & 1023], positions[(i + 7) & 1023]));
    ++i;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  bench::shareOfTick(state);
}
BENCHMARK(BM_Bearing);

}  // namespace
