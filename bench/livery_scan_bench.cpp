// The livery folder scan over a generated tree of 2,000 aircraft.cfg files with 20,000 sections,
// with 1, 2 and all hardware threads, beside the machine's limit for the same work: walking the
// same tree and reading the same files' bytes (page cache warm) on as many threads. The same
// rows run on a copy of the tree in /dev/shm, where the file system's share is smallest and the
// program's own work shows. One file's task is set beside reading that one file.

#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <string_view>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "file_bytes.h"
#include "livery_tree.h"
#include "foundation/scan_throttle.h"
#include "liveries/livery.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"

namespace {

namespace fs = std::filesystem;

const fs::path& lf_tree() { return bench::liveryTree(); }

std::size_t lf_readWhole(const fs::path& file) {
  const std::string bytes = bench::readFileBytes(file);
  benchmark::DoNotOptimize(bytes.data());
  return bytes.size();
}

// Walks the tree as the scan does, then reads every aircraft.cfg on `workers` threads.
std::size_t lf_walkAndRead(const fs::path& tree, int workers) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
    if (entry.is_regular_file() && entry.path().filename() == "aircraft.cfg")
      files.push_back(entry.path());
  }
  std::atomic<std::size_t> bytes{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      for (std::size_t k = static_cast<std::size_t>(w); k < files.size(); k += workers)
        bytes += lf_readWhole(files[k]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  return bytes.load();
}

void lf_readBytesOnly(benchmark::State& state, const fs::path& tree) {
  if (tree.empty()) {
    state.SkipWithError("no memory folder");
    return;
  }
  const int workers = bench::workersOf(state);
  std::size_t bytes = 0;
  for (auto _ : state) bytes = lf_walkAndRead(tree, workers);
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  bench::markBaseline(state);
  bench::setWorkers(state, workers);
}

void lf_scanFolder(benchmark::State& state, const fs::path& tree, std::string_view baseline) {
  if (tree.empty()) {
    state.SkipWithError("no memory folder");
    return;
  }
  const int workers = bench::workersOf(state);
  g_maxThreads.store(workers);
  std::size_t found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    lf_clearScanLists();
    g_liveries.clear();
    state.ResumeTiming();
    lf_searchLiveriesInFolder(1, tree);
    found = g_liveries.size();
  }
  if (found != static_cast<std::size_t>(bench::kTreeLiveries))
    state.SkipWithError("liveries missing");
  state.counters["liveries"] = static_cast<double>(found);
  bench::compareWith(state, baseline);
  bench::setWorkers(state, workers);
}

void BM_ReadBytesOnly(benchmark::State& state) { lf_readBytesOnly(state, lf_tree()); }
void BM_ScanFolder(benchmark::State& state) { lf_scanFolder(state, lf_tree(), "BM_ReadBytesOnly"); }
void BM_ReadBytesOnlyInMemory(benchmark::State& state) {
  lf_readBytesOnly(state, bench::memoryLiveryTree());
}
void BM_ScanFolderInMemory(benchmark::State& state) {
  lf_scanFolder(state, bench::memoryLiveryTree(), "BM_ReadBytesOnlyInMemory");
}

fs::path lf_oneFile() { return lf_tree() / "Pack00" / "AI 00000" / "aircraft.cfg"; }

void BM_ReadOneFile(benchmark::State& state) {
  const fs::path file = lf_oneFile();
  for (auto _ : state) benchmark::DoNotOptimize(lf_readWhole(file));
  bench::markBaseline(state);
}

// One file's task on the calling thread: reading, sections and folder checks, no thread start.
void BM_OneFileTask(benchmark::State& state) {
  const fs::path file = lf_oneFile();
  for (auto _ : state) {
    state.PauseTiming();
    lf_clearScanLists();
    state.ResumeTiming();
    benchmark::DoNotOptimize(lf_searchLiveriesinFile(1, file));
  }
  bench::compareWith(state, "BM_ReadOneFile");
}

// 0 stands for every hardware thread.
BENCHMARK(BM_ReadOneFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneFileTask)->Unit(benchmark::kMicrosecond);
// The CPU time of these is that of the whole process, every thread's.
BENCHMARK(BM_ReadBytesOnly)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ScanFolder)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ReadBytesOnlyInMemory)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ScanFolderInMemory)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();

}  // namespace
