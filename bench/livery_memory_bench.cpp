// Peak resident memory of a livery scan of 20,000 liveries, and of the matching tables built
// from them, beside the bytes of the catalogue's texts (the least any catalogue must hold).
// Each figure is the peak of a fresh process (this program started again with --probe) less the
// peak of a process that loads the same program and does nothing.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "bench_table.h"
#include "foundation/scan_throttle.h"
#include "liveries/livery.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/matching_tables.h"
#include "liveries/scan_reports.h"
#include "liveries/similar_types.h"
#include "livery_tree.h"

namespace {

constexpr double kKilobytesPerMegabyte = 1024.0;
constexpr const char* kProbeFlag = "--probe";

void lf_scanTree(const char* tree) {
  g_maxThreads.store(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  lf_searchLiveriesInFolder(1, tree);
  g_liveries.sort();
}

// The work of one probe process; "idle" does nothing.
int lf_probe(const std::string& what, const char* tree) {
  bench::loadLiveryTreeDbase();
  if (what == "idle") return 0;
  lf_scanTree(tree);
  if (what == "tables") {
    lf_buildLiveryAirlines();
    lf_buildAirlineLiveries();
    lf_buildTypeLiveries();
    gf_buildSimilarTypes();
    g_liveries.clear();
  }
  lf_clearScanLists();
  return what == "scan" || what == "tables" ? 0 : 2;
}

// Runs this program as a probe and returns that process's peak resident size in megabytes, or a
// negative number when it failed.
double lf_probePeakMegabytes(const std::string& what) {
  const std::string tree = bench::liveryTree().string();
  const pid_t child = ::fork();
  if (child == 0) {
    const char* argv[] = {"probe", kProbeFlag, what.c_str(), tree.c_str(), nullptr};
    ::execv("/proc/self/exe", const_cast<char* const*>(argv));
    std::_Exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return -1.0;
  return static_cast<double>(usage.ru_maxrss) / kKilobytesPerMegabyte;
}

void lf_peakAboveIdle(benchmark::State& state, const std::string& what) {
  double peak = 0.0;
  double idle = 0.0;
  for (auto _ : state) {
    idle = lf_probePeakMegabytes("idle");
    peak = lf_probePeakMegabytes(what);
  }
  if (peak < 0.0 || idle < 0.0) state.SkipWithError("probe process failed");
  state.counters["peak_rss_mb"] = peak;
  state.counters["idle_rss_mb"] = idle;
  bench::setMegabytes(state, peak - idle);
  bench::compareWith(state, "BM_CatalogueText");
}

void BM_ScanPeakRssAboveIdle(benchmark::State& state) { lf_peakAboveIdle(state, "scan"); }
void BM_TablesPeakRssAboveIdle(benchmark::State& state) { lf_peakAboveIdle(state, "tables"); }

// The catalogue's texts: airline, type, title and ATC id of every livery the scan finds.
void BM_CatalogueText(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    lf_scanTree(bench::liveryTree().c_str());
    bytes = 0;
    for (const Livery& livery : g_liveries)
      bytes += livery.airl.size() + livery.type.size() + livery.title.size() + livery.atcid.size();
    g_liveries.clear();
    lf_clearScanLists();
  }
  if (bytes == 0) state.SkipWithError("no liveries found");
  bench::setMegabytes(state, static_cast<double>(bytes) / (kKilobytesPerMegabyte * 1024.0));
  bench::markBaseline(state);
}

BENCHMARK(BM_CatalogueText)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanPeakRssAboveIdle)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TablesPeakRssAboveIdle)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], kProbeFlag) == 0) return lf_probe(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
