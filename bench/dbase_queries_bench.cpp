// Aircraft database look-ups as the livery scan and the engine use them: unscrambling of stored
// registrations, registration look-ups through their written forms, and the private
// registration search inside livery titles (once per flight-sim section of every scanned file).
// Each is given as a share of the engine's 10 ms tick per call.

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>

#include "bench_table.h"
#include "fixtures/dbase_scrambler.h"
#include "liveries/liveries.h"

namespace {

constexpr int kRegistrations = 100000;
constexpr int kPrivateRegistrations = 5000;

std::string lf_letters(int n, int count) {
  std::string s;
  for (int i = 0; i < count; ++i, n /= 26) s.insert(s.begin(), static_cast<char>('A' + n % 26));
  return s;
}

// A table of the size of a real database: airline registrations plus short private ones.
void lf_fillTables() {
  if (!g_dbaseRegs.empty()) return;
  for (int i = 0; i < kRegistrations; ++i)
    g_dbaseRegs.emplace(fmt::format("{}-{}", lf_letters(i / 17576, 2), lf_letters(i, 3)),
                        RegInfo{"BAW", "A320", "", false});
  for (int i = 0; i < kPrivateRegistrations; ++i)
    g_dbasePvtRegs.push_back(fmt::format("N{}{}", i % 100, lf_letters(i / 100, 1)));
  std::sort(g_dbasePvtRegs.begin(), g_dbasePvtRegs.end());
}

void BM_DecryptReg(benchmark::State& state) {
  const std::string stored = fixtures::scrambleReg("G-EUPA");
  for (auto _ : state) benchmark::DoNotOptimize(gf_decryptReg(stored));
  bench::shareOfTick(state);
}
BENCHMARK(BM_DecryptReg);

void BM_RegInfoThroughVariants(benchmark::State& state) {
  lf_fillTables();
  const std::string forms[] = {"ABCDE", "AB-CDE", "XYZZZ", "N123AB"};
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(gf_regInfo(forms[i++ % 4]));
  bench::shareOfTick(state);
}
BENCHMARK(BM_RegInfoThroughVariants);

void BM_FindPvtRegInTitle(benchmark::State& state) {
  lf_fillTables();
  const std::string title = "Boeing 737-800 Generic Airline Livery Pack v2 (no registration)";
  for (auto _ : state) benchmark::DoNotOptimize(gf_findPvtReg(title));
  bench::shareOfTick(state);
}
BENCHMARK(BM_FindPvtRegInTitle);

}  // namespace
