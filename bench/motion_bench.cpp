// The motion's cost: one lf_stepMotion over 300 mixed aircraft (straight cruise, curves on the
// ground, take-offs and flares; nanoseconds per aircraft-step), legs taken up by nextPosMain per
// second, and the replay of scenario b (simulated engine steps per second of the engine
// thread's CPU time).

#include <benchmark/benchmark.h>

#include "bench_table.h"

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "replay-motion/replay.h"
#include "traffic/motion/motion_internal.h"

namespace {

constexpr int kAircraft = 300;
constexpr LatLon kField{47.0, 8.0};

AiAircraft lf_aircraft(int k) {
  AircraftIdent ident;
  ident.type = "A320";
  ident.callsign = "BENCH";
  AircraftHead head = gf_initTrafficReport(ident);
  head.category = static_cast<std::uint32_t>(k % 6);
  gf_initLiveMotion(head);
  PositionReport r;
  r.lat = kField.lat + k * 0.001;
  r.lon = kField.lon;
  r.altitude = 3000.0;
  r.verticalSpeed = -700.0;
  AiAircraft a(r, std::move(head), 0.0);
  a.lat = r.lat;
  a.lon = r.lon;
  a.altitude = 3000.0;
  a.latStep = 1e-6;
  a.lonStep = 1e-6;
  a.headingChange = 1e-5;
  a.pitchChange = 1e-6;
  a.altitudeChange = -0.1;
  a.st = kStActive;
  a.fs = kFsFlying;
  switch (k % 4) {
    case 1:  // a long curve on the taxiway
      a.fs = kFsTaxi;
      a.onGround = true;
      a.curve = {a.lat, a.lon, 0.0, 1.0, 0.0, 500.0, 500.0, 500.0, 0.0, 1e-7, 90.0};
      break;
    case 2:  // a take-off that never ends
      a.fs = kFsTakeOff;
      a.takeOffStep = -1000000000;
      a.heightAboveGround = 0.0;
      break;
    case 3:  // a flare that never touches down
      a.approach = true;
      a.heightAboveGround = 300.0;
      break;
    default:
      break;
  }
  return a;
}

void BM_StepMotion300Aircraft(benchmark::State& state) {
  gf_markWorkerThread();
  std::vector<AiAircraft> aircraft;
  for (int k = 0; k < kAircraft; ++k) aircraft.push_back(lf_aircraft(k));
  for (auto _ : state) {
    for (AiAircraft& a : aircraft) lf_stepMotion(a);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kAircraft);
  bench::shareOfTick(state);  // every live aircraft moves once per tick
  state.counters["ns_per_aircraft_step"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kAircraft),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
}
BENCHMARK(BM_StepMotion300Aircraft);

// A cruise of 2000 reports 4 s apart, one leg taken up per call.
void BM_LegsTakenUp(benchmark::State& state) {
  gf_markWorkerThread();
  constexpr int kReports = 2000;
  AiAircraft a = lf_aircraft(0);
  std::deque<PositionReport> reports;
  for (int k = 0; k < kReports; ++k) {
    PositionReport r = a.stream.front();
    r.lon = kField.lon + k * 0.005;
    r.groundSpeed = r.trueAirspeed = 250.0;
    r.airborne = true;
    r.dueTime = 400 * k;
    reports.push_back(r);
  }
  std::int64_t legs = 0;
  for (auto _ : state) {
    if (a.stream.size() < 3) {
      state.PauseTiming();
      a.stream = reports;
      a.lon = kField.lon;
      state.ResumeTiming();
    }
    g_tickCount = static_cast<std::uint32_t>(a.stream.front().dueTime);
    nextPosMain(a);
    ++legs;
  }
  state.SetItemsProcessed(legs);
  bench::shareOfTick(state, 2.0);  // at most two reports are taken per engine step
}
BENCHMARK(BM_LegsTakenUp);

// The CPU time of the calling thread, which runs every engine step of a replay.
double lf_threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Timed as the engine thread's CPU time: the link's fixed waits when it closes its connection
// to the quiet stand-in (about 1 s a replay) are sleeps, not engine work.
void BM_ReplayScenarioB(benchmark::State& state) {
  const replay::Scenario scenario = replay::gf_scenario("b");
  // The replay writes its SimConnect.cfg and log into the current folder: a temporary one.
  const std::filesystem::path previous = std::filesystem::current_path();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zendrik-motion-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  std::int64_t steps = 0;
  for (auto _ : state) {
    const double start = lf_threadCpuSeconds();
    const replay::ReplayRun run = replay::gf_replay(scenario, {});
    state.SetIterationTime(lf_threadCpuSeconds() - start);
    steps += run.positions.empty() ? 0 : run.positions.back().step;
  }
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(folder);
  state.SetItemsProcessed(steps);
  // One aircraft's whole arrival: its share per simulated step.
  bench::shareOfTick(state, steps > 0 ? static_cast<double>(state.iterations()) / steps : 1.0);
}
BENCHMARK(BM_ReplayScenarioB)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
