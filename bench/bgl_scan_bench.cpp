// The airports scan over a generated tree of 500 add-on airports (BGL files read, stands made,
// stand files generated), against only reading the same bytes, with 1, 2 and all hardware
// threads. Reported: files per second (items) and bytes per second.
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "airports/scan.h"
#include "airports/scan_log.h"
#include "fixtures/bgl_builder.h"
#include "foundation/meta_block.h"
#include "foundation/parameters.h"
#include "foundation/scan_throttle.h"

namespace {

namespace fs = std::filesystem;

constexpr int kAirports = 500;
constexpr int kStandsPerAirport = 60;

struct Tree {
  fs::path root;
  std::vector<fs::path> files;
  std::int64_t bytes = 0;

  Tree() {
    root = fs::temp_directory_path() / ("zendrik_bgl_bench_" + std::to_string(::getpid()));
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
    fs::current_path(root / "work");
    g_simulatorName = "P3D";
    g_paramSimInstallPath.setValue((root / "simulator").string() + "/");
  }
  ~Tree() {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(root, ignored);
  }
};

Tree& tree() {
  static Tree instance;
  return instance;
}

int threadsOf(const benchmark::State& state) {
  return state.range(0) > 0 ? static_cast<int>(state.range(0))
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void BM_ScanTree(benchmark::State& state) {
  Tree& t = tree();
  g_maxThreads = threadsOf(state);
  for (auto _ : state) {
    g_numThreads = 0;
    lf_scanBglFolder(t.root / "scenery");
    std::lock_guard lock(g_scanLogMutex);
    g_scanLogLines.clear();
  }
  state.SetItemsProcessed(state.iterations() * kAirports);
  state.SetBytesProcessed(state.iterations() * t.bytes);
  state.counters["threads"] = g_maxThreads.load();
}

void BM_ReadBytesOnly(benchmark::State& state) {
  Tree& t = tree();
  const int threads = threadsOf(state);
  for (auto _ : state) {
    std::vector<std::thread> workers;
    std::atomic<std::int64_t> total{0};
    for (int w = 0; w < threads; ++w) {
      workers.emplace_back([&, w] {
        std::vector<char> buffer;
        for (std::size_t k = static_cast<std::size_t>(w); k < t.files.size(); k += threads) {
          std::ifstream in(t.files[k], std::ios::binary);
          buffer.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
          total += static_cast<std::int64_t>(buffer.size());
        }
      });
    }
    for (auto& worker : workers) {
      worker.join();
    }
    benchmark::DoNotOptimize(total.load());
  }
  state.SetItemsProcessed(state.iterations() * kAirports);
  state.SetBytesProcessed(state.iterations() * t.bytes);
  state.counters["threads"] = threads;
}

// The reader alone, on the worker thread: words, airport walk and stands, nothing written.
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
}

}  // namespace

BENCHMARK(BM_ReadAirportsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
// 0 stands for all hardware threads.
BENCHMARK(BM_ScanTree)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadBytesOnly)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
