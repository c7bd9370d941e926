// How a benchmark takes its place in the table that scripts/bench prints. Every benchmark row
// declares one of its roles, through its label, so that the table can set a measured figure or
// a budget beside it:
//   compareWith(state, "BM_Name")  the program's own work; the table divides its time by that of
//                                  BM_Name, a baseline of the same program measured in the same
//                                  run (with or without arguments: among several rows of that
//                                  name, the fastest on at most the row's worker count, since
//                                  fewer threads or another of its settings do the same work);
//   markBaseline(state)            the machine's limit for some work (reading the same bytes,
//                                  writing the same files, pushing the same bytes through a
//                                  socket): a lower bound, shown beside the rows that name it;
//   shareOf(state, budget, n)      work with no byte baseline, done n times per period of the
//                                  thread that runs it; the table gives its share of that
//                                  thread's budget (shareOfTick: the worker's 10 ms tick);
//   tickLateness(state, ...)       the tick loop itself: the table shows how late its wake-ups
//                                  come against the tick, not the loop's (sleeping) time.
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

// The threads' budgets a share is taken of (their lengths are in bench_table.py).
enum class Budget {
  workerTick,     // the worker's 10 ms tick
  guiFrame,       // one frame of a 60 Hz display on the GUI thread, which paints the window
  simClientPass,  // SimClient's dispatch pass, which runs every 1 ms
};

inline void shareOf(benchmark::State& state, Budget budget, double timesPerPeriod = 1.0) {
  static constexpr const char* kNames[] = {"worker_tick", "gui_frame", "simclient_pass"};
  state.SetLabel(std::string("share:") + kNames[static_cast<int>(budget)]);
  state.counters["per_period"] = timesPerPeriod;
}

inline void shareOfTick(benchmark::State& state, double timesPerTick = 1.0) {
  shareOf(state, Budget::workerTick, timesPerTick);
}

// The tick loop's wake-ups: their mean and 99th-percentile lateness after the deadline, and the
// share of ticks that found their deadline already passed.
inline void tickLateness(benchmark::State& state, double meanLateMicros, double p99LateMicros,
                         double behindShare) {
  state.SetLabel("lateness");
  state.counters["late_mean_us"] = meanLateMicros;
  state.counters["late_p99_us"] = p99LateMicros;
  state.counters["behind_share"] = behindShare;
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
