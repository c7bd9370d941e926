// How a benchmark takes its place in the table that scripts/bench prints. Every benchmark row
// declares one of three roles, through its label, so that the table can set a measured figure
// beside it:
//   compareWith(state, "BM_Name")  the program's own work; the table divides its time by that of
//                                  BM_Name, a baseline of the same program measured in the same
//                                  run (with or without arguments: among several rows of that
//                                  name the one with the same worker count is taken);
//   markBaseline(state)            the machine's limit for some work (reading the same bytes,
//                                  writing the same files, pushing the same bytes through a
//                                  socket); shown beside the rows that name it;
//   shareOfTick(state, n)          work of the engine's 10 ms tick with no byte baseline, done n
//                                  times per tick; the table gives its share of the tick.
// A row may also give its worker count (setWorkers: the table computes the parallel efficiency
// against the row of the same name with one worker) and, instead of its time, a size as its
// figure (setMegabytes). bench_table.py reads these back from the JSON output, and the run-once
// test fails for a row that declares no role.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <thread>

namespace bench {

inline void compareWith(benchmark::State& state, std::string_view baseline) {
  state.SetLabel("vs:" + std::string(baseline));
}

inline void markBaseline(benchmark::State& state) { state.SetLabel("baseline"); }

inline void shareOfTick(benchmark::State& state, double timesPerTick = 1.0) {
  state.SetLabel("tick");
  state.counters["per_tick"] = timesPerTick;
}

inline void setWorkers(benchmark::State& state, int workers) {
  state.counters["workers"] = workers;
}

inline void setMegabytes(benchmark::State& state, double megabytes) {
  state.counters["megabytes"] = megabytes;
}

// The worker count a benchmark's first argument asks for: 0 stands for every hardware thread.
inline int workersOf(const benchmark::State& state) {
  if (state.range(0) > 0) return static_cast<int>(state.range(0));
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace bench
