// The intake under a flood: a burst of 100,000 traffic records goes through the traffic reader
// into the engine step, either at 20,000 records a second (200 a step) or all at once while the
// worker stalls, over 5,000 aircraft (20 records each) or 100,000 (one each); then one new
// aircraft reports every 3 s. Figures: the steps from the new aircraft's first report to its
// create request, beside the same aircraft with no burst before it; the resident memory the burst
// leaves behind once the engine has taken it; the most reports waiting at once and the slowest
// step.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "bench_table.h"
#include "engine_world.h"

#include "fixtures/livery_tables.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "liveries/aircraft_database.h"
#include "traffic/live/live_internal.h"

namespace {

constexpr LatLon kField{47.0, 8.0};
constexpr std::uint32_t kBurstRecords = 100000;
constexpr std::uint32_t kRecordsPerStep = 200;  // 20,000 a second
constexpr std::uint32_t kFirstFloodKey = 1000000;
constexpr std::uint32_t kNewKey = 9000000;
constexpr double kFirstStamp = 1724517659.0;
constexpr double kBurstStampStep = 0.25;  // seconds between two records of one flood aircraft
constexpr std::uint32_t kNewReportEvery = 300;  // steps: 3 s, beyond the engine's thinning
constexpr std::uint32_t kGiveUpSteps = 60000;   // 10 minutes
constexpr double kGridDeg = 0.005;
constexpr std::uint32_t kGridColumns = 100;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;
constexpr const char* kProbeFlag = "--probe";

enum BurstKind { kNoBurst, kPacedBurst, kStalledBurst };

double lf_residentMegabytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
         kBytesPerMegabyte;
}

// An airborne airliner's RTTFC record.
void lf_record(std::string& out, std::uint32_t key, const LatLon& at, const std::string& callsign,
               double stamp) {
  out.clear();
  fmt::format_to(std::back_inserter(out),
                 "RTTFC,{},{:.6f},{:.6f},20000,0,1,90,400,{},A320,,AMS,ZRH,{:.2f},X,,X_adsb_icao,"
                 "20100,300,420,0.7,0,-1,90,90,0,none,A3,1013,20000,-1,90,,0,-10,0,0,0,0,1,20000,,",
                 key, at.lat, at.lon, callsign, stamp);
}

void lf_world() {
  bench::engineWorld(kField, {"A320"});
  g_rtOnThisPc = true;  // no duplicate filter
  g_trafficRadiusNm = 100.0;
  g_trafficReader.resetIntake();
  g_trafficReader.setUserPosition(kField.lat, kField.lon);
  gf_setAcceptTraffic(true);
}

// What the simulator link would take; true when the new aircraft's create request was among it.
bool lf_linkTakesQueues() {
  std::lock_guard lock(g_simMutex);
  const bool created = std::any_of(g_createQueue.begin(), g_createQueue.end(),
                                   [](const CreateAcRequest& r) { return r.tag == kNewKey; });
  g_posQueue->clear();
  g_eventQueue.clear();
  g_createQueue.clear();
  g_removeQueue.clear();
  return created;
}

struct Run {
  std::size_t mostWaiting = 0;
  double slowestStepMs = 0.0;
  double stepsToCreation = -1.0;  // -1: not created within kGiveUpSteps
  double residentAfterMb = 0.0;
};

class Flood {
 public:
  Flood(BurstKind kind, std::uint32_t aircraft) : kind_(kind), aircraft_(aircraft) {}

  Run run() {
    Run result;
    const std::uint32_t burstSteps =
        kind_ == kPacedBurst ? kBurstRecords / kRecordsPerStep : kind_ == kStalledBurst ? 1 : 0;
    if (kind_ == kStalledBurst) feedBurst(kBurstRecords, result);
    for (std::uint32_t s = 0; s < burstSteps; ++s) {
      if (kind_ == kPacedBurst) feedBurst(kRecordsPerStep, result);
      step(result);
    }
    const std::uint32_t firstReport = g_tickCount.load();
    for (std::uint32_t s = 0; s < kGiveUpSteps && result.stepsToCreation < 0.0; ++s) {
      if (s % kNewReportEvery == 0) reportNew(s / kNewReportEvery);
      if (step(result)) result.stepsToCreation = g_tickCount.load() - firstReport;
    }
    result.residentAfterMb = lf_residentMegabytes();
    return result;
  }

 private:
  void feedBurst(std::uint32_t records, Run& result) {
    for (std::uint32_t r = 0; r < records && sent_ < kBurstRecords; ++r, ++sent_) {
      const std::uint32_t k = sent_ % aircraft_;
      const std::uint32_t round = sent_ / aircraft_;
      const LatLon at{kField.lat + (k % kGridColumns) * kGridDeg,
                      kField.lon + (k / kGridColumns) * kGridDeg + round * 0.001};
      lf_record(text_, kFirstFloodKey + k, at, fmt::format("KLM{}", 100 + k),
                kFirstStamp + round * kBurstStampStep);
      g_trafficReader.receive(text_);
    }
    std::lock_guard lock(g_trafficMutex);
    result.mostWaiting = std::max(result.mostWaiting, g_liveTrafficBuffer.size());
  }

  // The new aircraft's n-th report, 3 s after the one before, on its way east at 400 kt.
  void reportNew(std::uint32_t n) {
    const double seconds = n * kNewReportEvery / 100.0;
    const LatLon at = gf_destination({kField.lat - 0.2, kField.lon}, kPi / 2.0,
                                     400.0 / 3600.0 * seconds * kFeetPerNm);
    lf_record(text_, kNewKey, at, "KLM1", kFirstStamp + 30.0 + seconds);
    g_trafficReader.receive(text_);
  }

  bool step(Run& result) {
    const auto t0 = std::chrono::steady_clock::now();
    gf_liveTrafficStep();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - t0;
    result.slowestStepMs = std::max(result.slowestStepMs, took.count());
    return lf_linkTakesQueues();
  }

  BurstKind kind_;
  std::uint32_t aircraft_;
  std::uint32_t sent_ = 0;
  std::string text_;
};

// One flood in a fresh process (this program started again with --probe), so that the memory
// figures are this flood's alone: prints the figures on one line.
int lf_probe(BurstKind kind, std::uint32_t aircraft) {
  lf_world();
  const double before = lf_residentMegabytes();
  const Run result = Flood(kind, aircraft).run();
  std::printf("%f %zu %f %f %zu\n", result.stepsToCreation, result.mostWaiting,
              result.slowestStepMs, result.residentAfterMb - before,
              g_trafficReader.droppedReports());
  return 0;
}

bool lf_runProbe(BurstKind kind, std::uint32_t aircraft, Run& result, std::size_t& dropped) {
  const std::string command = fmt::format("/proc/{}/exe {} {} {}", ::getpid(), kProbeFlag,
                                          static_cast<int>(kind), aircraft);
  std::FILE* probe = ::popen(command.c_str(), "r");
  if (probe == nullptr) return false;
  const int read = std::fscanf(probe, "%lf %zu %lf %lf %zu", &result.stepsToCreation,
                               &result.mostWaiting, &result.slowestStepMs,
                               &result.residentAfterMb, &dropped);
  return ::pclose(probe) == 0 && read == 5;
}

// The figure is the steps from the new aircraft's first report to its create request.
void BM_FloodThenNewAircraft(benchmark::State& state) {
  const auto kind = static_cast<BurstKind>(state.range(0));
  const auto aircraft = static_cast<std::uint32_t>(state.range(1));
  Run result;
  std::size_t dropped = 0;
  for (auto _ : state) {
    if (!lf_runProbe(kind, aircraft, result, dropped)) {
      state.SkipWithError("probe process failed");
      return;
    }
    state.SetIterationTime(std::max(result.stepsToCreation, 0.0) * 0.01);  // a step is 10 ms
  }
  if (result.stepsToCreation < 0.0) state.SkipWithError("the new aircraft was not created");
  state.counters["steps_to_creation"] = result.stepsToCreation;
  state.counters["resident_after_mb"] = result.residentAfterMb;
  state.counters["most_waiting"] = static_cast<double>(result.mostWaiting);
  state.counters["slowest_step_ms"] = result.slowestStepMs;
  state.counters["dropped_at_cap"] = static_cast<double>(dropped);
  if (kind == kNoBurst) {
    bench::markBaseline(state);
  } else {
    bench::compareWith(state, "BM_FloodThenNewAircraft/0/0");
  }
}
BENCHMARK(BM_FloodThenNewAircraft)
    ->Args({kNoBurst, 0})
    ->Args({kPacedBurst, 5000})
    ->Args({kPacedBurst, kBurstRecords})
    ->Args({kStalledBurst, 5000})
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], kProbeFlag) == 0) {
    return lf_probe(static_cast<BurstKind>(std::atoi(argv[2])),
                    static_cast<std::uint32_t>(std::atoi(argv[3])));
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
