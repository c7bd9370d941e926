// The airports scan over a generated tree of 500 add-on airports (BGL files read, stands made,
// stand files generated), with 1, 2 and all hardware threads, beside the machine's limit for
// the same work: reading the same bytes and writing and renaming as many files of the same sizes
// into one folder. The scan and its baseline also run on a copy of the tree in /dev/shm, where
// the file system's share is smallest and the program's own work shows. The reader alone is set
// beside reading the bytes, and a crafted file whose section table lists thousands of airport
// sections beside reading that file.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string_view>
#include <thread>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "airports/scan.h"
#include "airports/scan_log.h"
#include "foundation/meta_block.h"
#include "bench_table.h"
#include "file_bytes.h"
#include "fixtures/bgl_builder.h"
#include "foundation/parameters.h"
#include "foundation/scan_throttle.h"

namespace {

namespace fs = std::filesystem;

constexpr int kAirports = 500;
constexpr int kStandsPerAirport = 60;

void lf_clearScanLog() {
  std::lock_guard lock(g_scanLogMutex);
  g_scanLogLines.clear();
}

struct Tree {
  fs::path root;
  fs::path output;  // where the scan writes: the current folder's "airports"
  std::vector<fs::path> files;
  std::vector<std::uintmax_t> writtenSizes;  // of every file one scan writes
  std::int64_t bytes = 0;

  explicit Tree(const fs::path& base) {
    root = base / ("zendrik_bgl_bench_" + std::to_string(::getpid()));
    fs::remove_all(root);
    for (int k = 0; k < kAirports; ++k) {
      const std::string icao = {static_cast<char>('A' + k / 260 % 26), static_cast<char>('A' + k / 26 % 10),
                                static_cast<char>('A' + k % 26), 'X'};
      const auto file = fixtures::bglSimpleAirportFile(icao, k % 2 == 0, kStandsPerAirport,
                                                       -60.0 + k * 0.2, -170.0 + k * 0.5);
      const fs::path path = root / "scenery" / ("Dev " + std::to_string(k % 7)) / (icao + ".bgl");
      const auto data = fixtures::bglFileBytes(file);
      fixtures::bglWriteFile(path, data);
      files.push_back(path);
      bytes += static_cast<std::int64_t>(data.size());
    }
    fs::create_directories(root / "work");
    output = root / "work" / "airports";
    enter();
    measureWrites();
  }
  // The scan writes into the current folder, and takes the simulator's install path.
  void enter() const {
    fs::current_path(root / "work");
    g_simulatorName = "P3D";
    g_paramSimInstallPath.setValue((root / "simulator").string() + "/");
  }
  ~Tree() {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(root, ignored);
  }

  // One scan, to learn how many files of which sizes the program writes.
  void measureWrites() {
    lf_scanBglFolder(root / "scenery");
    lf_clearScanLog();
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(output)) {
      if (entry.is_regular_file()) writtenSizes.push_back(entry.file_size());
    }
    fs::remove_all(output);
  }
};

Tree& tree() {
  static Tree instance(fs::temp_directory_path());
  return instance;
}

// The same tree in /dev/shm; null when there is no memory folder.
Tree* memoryTree() {
  static const std::unique_ptr<Tree> instance =
      ::access("/dev/shm", W_OK) == 0 ? std::make_unique<Tree>("/dev/shm") : nullptr;
  return instance.get();
}

// Runs work(w) on `workers` threads and waits for them.
template <class Work>
void lf_onThreads(int workers, const Work& work) {
  std::vector<std::thread> threads;
  for (int w = 0; w < workers; ++w) threads.emplace_back([&work, w] { work(w); });
  for (std::thread& thread : threads) thread.join();
}

void lf_scanTree(benchmark::State& state, Tree* t, std::string_view baseline) {
  if (t == nullptr) {
    state.SkipWithError("no memory folder");
    return;
  }
  t->enter();
  const int workers = bench::workersOf(state);
  g_maxThreads = workers;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(t->output);
    lf_clearScanLog();
    state.ResumeTiming();
    lf_scanBglFolder(t->root / "scenery");
  }
  state.SetItemsProcessed(state.iterations() * kAirports);
  state.SetBytesProcessed(state.iterations() * t->bytes);
  bench::compareWith(state, baseline);
  bench::setWorkers(state, workers);
}

// What the scan cannot do faster than: reading every BGL file, and writing each file the scan
// writes as a temporary file renamed over its name, all into one folder.
void lf_readWriteRename(benchmark::State& state, Tree* t) {
  if (t == nullptr) {
    state.SkipWithError("no memory folder");
    return;
  }
  const int workers = bench::workersOf(state);
  const fs::path folder = t->root / "baseline-out";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(folder);
    fs::create_directories(folder);
    state.ResumeTiming();
    lf_onThreads(workers, [&](int w) {
      for (std::size_t k = static_cast<std::size_t>(w); k < t->files.size(); k += workers)
        benchmark::DoNotOptimize(bench::readFileBytes(t->files[k]).size());
      for (std::size_t k = static_cast<std::size_t>(w); k < t->writtenSizes.size(); k += workers) {
        const fs::path target = folder / fmt::format("F{}.xml", k);
        const fs::path temporary = folder / fmt::format("F{}.xml.tmp", k);
        std::ofstream(temporary, std::ios::binary) << std::string(t->writtenSizes[k], 'x');
        fs::rename(temporary, target);
      }
    });
  }
  state.SetItemsProcessed(state.iterations() * kAirports);
  state.SetBytesProcessed(state.iterations() * t->bytes);
  bench::markBaseline(state);
  bench::setWorkers(state, workers);
}

void BM_ScanTree(benchmark::State& state) { lf_scanTree(state, &tree(), "BM_ReadWriteRename"); }
void BM_ReadWriteRename(benchmark::State& state) { lf_readWriteRename(state, &tree()); }
void BM_ScanTreeInMemory(benchmark::State& state) {
  lf_scanTree(state, memoryTree(), "BM_ReadWriteRenameInMemory");
}
void BM_ReadWriteRenameInMemory(benchmark::State& state) {
  lf_readWriteRename(state, memoryTree());
}

void BM_ReadBytesOnly(benchmark::State& state) {
  Tree& t = tree();
  for (auto _ : state) {
    for (const fs::path& path : t.files) benchmark::DoNotOptimize(bench::readFileBytes(path).size());
  }
  state.SetBytesProcessed(state.iterations() * t.bytes);
  bench::markBaseline(state);
}

// The reader alone, on the calling thread: words, airport walk and stands, nothing written.
void BM_ReadAirportsOnly(benchmark::State& state) {
  Tree& t = tree();
  for (auto _ : state) {
    std::size_t stands = 0;
    for (const fs::path& path : t.files) {
      BglWords words;
      gf_readBglWords(path, words);
      lf_walkBglAirports(words, [&](const BglAirportRecord& record) {
        AirportFile file;
        lf_readBglAirport(words, record, path.string(), file);
        stands += file.stands.size();
      });
    }
    benchmark::DoNotOptimize(stands);
  }
  state.SetItemsProcessed(state.iterations() * kAirports);
  state.SetBytesProcessed(state.iterations() * t.bytes);
  bench::compareWith(state, "BM_ReadBytesOnly");
}

// The crafted file of the given size, written once per size.
const fs::path& lf_craftedFile(std::int64_t bytes) {
  static std::map<std::int64_t, fs::path> s_files;
  fs::path& path = s_files[bytes];
  if (path.empty()) {
    fixtures::BglAirport airport;
    airport.ident = "ZZCR";
    path = tree().root / ("crafted-" + std::to_string(bytes) + ".bgl");
    fixtures::bglWriteFile(path, fixtures::bglFileBytes(fixtures::bglCraftedSectionTable(
                                     static_cast<std::size_t>(bytes), airport)));
  }
  return path;
}

void BM_ReadCraftedBytes(benchmark::State& state) {
  const fs::path& path = lf_craftedFile(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(bench::readFileBytes(path).size());
  state.SetBytesProcessed(state.iterations() * state.range(0));
  bench::markBaseline(state);
}

// The crafted file read and walked as a scan task does, its airport's stands read; the one
// stand file is not written.
void BM_CraftedSectionTable(benchmark::State& state) {
  const fs::path& path = lf_craftedFile(state.range(0));
  std::size_t airports = 0;
  for (auto _ : state) {
    BglWords words;
    gf_readBglWords(path, words);
    airports = 0;
    lf_walkBglAirports(words, [&](const BglAirportRecord& record) {
      AirportFile file;
      lf_readBglAirport(words, record, path.string(), file);
      ++airports;
    });
  }
  state.counters["airports"] = static_cast<double>(airports);
  state.SetBytesProcessed(state.iterations() * state.range(0));
  bench::compareWith(state, "BM_ReadCraftedBytes/" + std::to_string(state.range(0)));
}

}  // namespace

constexpr std::int64_t kHalfMegabyte = 512 * 1024;
constexpr std::int64_t kTwoMegabytes = 2 * 1024 * 1024;

BENCHMARK(BM_ReadBytesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAirportsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
// 0 stands for every hardware thread; the CPU time is that of the whole process.
BENCHMARK(BM_ReadWriteRename)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ScanTree)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ReadWriteRenameInMemory)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ScanTreeInMemory)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ReadCraftedBytes)->Arg(kHalfMegabyte)->Arg(kTwoMegabytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CraftedSectionTable)->Arg(kHalfMegabyte)->Arg(kTwoMegabytes)->Unit(benchmark::kMillisecond);
