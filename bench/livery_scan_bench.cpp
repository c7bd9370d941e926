// The livery folder scan over a generated tree of 2,000 aircraft.cfg files with 20,000
// sections: scan time with 1, 2 and all hardware threads, against the time it takes only to
// read the same files' bytes.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fixtures/ai_package_world.h"
#include "foundation/scan_throttle.h"
#include "liveries/aircraft_database.h"
#include "liveries/fltsim_section.h"
#include "liveries/livery.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 2000;
constexpr int kSectionsPerFile = 10;

// The tree, written once per process in the temporary folder.
const fs::path& lf_tree() {
  static const fs::path tree = [] {
    const fs::path root =
        fs::temp_directory_path() / ("zendrik-scan-bench-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fixtures::writeScanBenchTree(root, kFiles, kSectionsPerFile);
    g_dbaseTypes.insert("B738");
    g_dbaseIcaoAirlines.insert("DLH");
    std::atexit([] {
      fs::remove_all(fs::temp_directory_path() /
                     ("zendrik-scan-bench-" + std::to_string(::getpid())));
    });
    return root;
  }();
  return tree;
}

void BM_ReadBytesOnly(benchmark::State& state) {
  const fs::path& tree = lf_tree();
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
      if (entry.path().filename() != "aircraft.cfg") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::string text(std::istreambuf_iterator<char>(in), {});
      bytes += text.size();
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.counters["files"] = kFiles;
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void BM_ScanFolder(benchmark::State& state) {
  const fs::path& tree = lf_tree();
  const int threads = state.range(0) == 0
                          ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                          : static_cast<int>(state.range(0));
  g_maxThreads.store(threads);
  std::size_t found = 0;
  for (auto _ : state) {
    lf_clearScanLists();
    g_liveries.clear();
    lf_searchLiveriesInFolder(1, tree);
    found = g_liveries.size();
  }
  if (found != static_cast<std::size_t>(kFiles * kSectionsPerFile))
    state.SkipWithError("liveries missing");
  state.counters["threads"] = threads;
  state.counters["liveries"] = static_cast<double>(found);
}

// One file's task on the calling thread: reading, sections and folder checks, no thread start.
void BM_OneFileTask(benchmark::State& state) {
  const fs::path file = lf_tree() / "Pack00" / "AI 00000" / "aircraft.cfg";
  for (auto _ : state) {
    lf_clearScanLists();
    benchmark::DoNotOptimize(lf_searchLiveriesinFile(1, file));
  }
}

BENCHMARK(BM_OneFileTask)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadBytesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScanFolder)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
