// The lateness of the 10 ms tick loop while the engine moves 300 live aircraft: the real loop
// (its steady-clock deadline and sleeps) around the engine step, with the per-report checks of
// the running flight once every 100 ticks. The simulator is not connected (the engine makes no
// requests of its own), so what is measured is the loop and the engine on this machine. A tick
// that sleeps is late by the time its wake-up comes after the deadline; a tick that finds its
// deadline already passed (the previous tick overran) is counted as behind.
#include <algorithm>
#include <chrono>
#include <numeric>

#include <benchmark/benchmark.h>

#include "bench_table.h"
#include "engine_world.h"
#include "fixtures/livery_tables.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "liveries/aircraft_database.h"
#include "shell/shell.h"
#include "shell/worker_seams.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/records/engine_index.h"

namespace {

constexpr LatLon kUser{47.0, 8.0};
constexpr int kTicksPerIteration = 100;  // one second of the loop
constexpr int kTicksPerReport = 100;

// A live aircraft flying north of the user, active in the simulator.
void lf_flying(int k) {
  AircraftIdent ident;
  ident.airline = "KLM";
  ident.type = "A320";
  ident.callsign = "LV" + std::to_string(k);
  ident.registration = "PH-" + std::to_string(k);
  AircraftHead head = gf_initTrafficReport(ident);
  head.key = kFirstLiveKey + static_cast<std::uint32_t>(k);
  gf_initLiveMotion(head);
  const LatLon at = gf_destination(kUser, 0.0, 5000.0 + 300.0 * k);
  const auto now = static_cast<std::int32_t>(g_tickCount.load());
  PositionReport r = lf_groundReport(at, 250.0, now);
  r.altitude = 4000.0;
  r.airborne = true;
  r.track = 0.0;
  AiAircraft& a = g_liveAc.emplace_back(r, std::move(head), 0.0);
  PositionReport next = r;
  const LatLon ahead = gf_destination(at, 0.0, 600000.0);  // far: the leg lasts the whole run
  next.lat = ahead.lat;
  next.lon = ahead.lon;
  next.dueTime = now + 1000000;
  a.stream.push_back(next);
  a.lat = at.lat;
  a.lon = at.lon;
  a.altitude = r.altitude;
  a.fs = kFsFlying;
  a.st = kStActive;
  a.objectId = 100 + static_cast<std::uint32_t>(k);
}

void lf_world(int live) {
  bench::engineWorld(kUser, {"A320"});
  for (int k = 0; k < live; ++k) lf_flying(k);
  gf_recordsReordered();
}

void BM_TickLateness(benchmark::State& state) {
  const int live = static_cast<int>(state.range(0));
  lf_world(live);
  using Clock = WorkerSeams::Clock;
  std::vector<double> lateMicros;
  long behind = 0;
  long ticks = 0;
  g_workerSeams.sleepUntil = [&](Clock::time_point deadline) {
    std::this_thread::sleep_until(deadline);
    lateMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - deadline).count());
  };
  for (auto _ : state) {
    int left = kTicksPerIteration;
    const std::size_t slept = lateMicros.size();
    lf_tickLoop([&] {
      if (left-- == 0) return false;
      gf_liveTrafficStep();
      {
        std::lock_guard lock(g_simMutex);  // the link would take the positions
        g_posQueue->clear();
        std::swap(g_posQueue, g_posFillQueue);
      }
      if (++ticks % kTicksPerReport == 0) lf_flightRunning();
      return true;
    });
    behind += kTicksPerIteration - static_cast<long>(lateMicros.size() - slept);
  }
  gf_resetWorkerSeams();
  std::sort(lateMicros.begin(), lateMicros.end());
  double mean = 0.0, p99 = 0.0;
  if (!lateMicros.empty()) {
    mean = std::accumulate(lateMicros.begin(), lateMicros.end(), 0.0) /
           static_cast<double>(lateMicros.size());
    p99 = lateMicros[lateMicros.size() * 99 / 100];
  }
  state.counters["live"] = static_cast<double>(g_liveAc.size());
  // The loop sleeps most of each tick: its time says nothing, its wake-ups do.
  bench::tickLateness(state, mean, p99, static_cast<double>(behind) / static_cast<double>(ticks));
}
BENCHMARK(BM_TickLateness)->Arg(300)->Unit(benchmark::kMillisecond)->MinTime(5.0)->UseRealTime();

}  // namespace
