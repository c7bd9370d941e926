// The park airport's stand lookups and option searches on 500 stands with 10 learned options
// each: the closest free stand, the stand name at a position (never the cached answer), the soft
// stand choice and one static-parking stand search. Calls per second.

#include <benchmark/benchmark.h>

#include "bench_table.h"
#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/parameters.h"
#include "foundation/worker_thread.h"
#include "liveries/aircraft_database.h"
#include "simlink/simlink.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr int kStands = 500;
constexpr int kOptionsPerStand = 10;
constexpr LatLon kField{52.3, 4.76};
const char* const kTypes[] = {"A320", "B738", "E190", "B744", "C172"};

// A grid of stands 60 m apart (25 x 20), every fifth a ramp, every tenth a cargo stand and the
// last two helipads; each stand with options spread over the week and the day.
void lf_buildAirport() {
  gf_markWorkerThread();
  g_dbaseLarge = {"A320", "B738", "E190"};
  g_dbaseHeavy = {"B744"};
  g_dbaseWingspans = {{"A320", 34.1}, {"B738", 35.8}, {"E190", 28.7}, {"B744", 64.4},
                      {"C172", 11.0}};
  g_paramRandom.setValue(false);
  g_parkAirportIcao = "EHAM";
  g_userOnGround = true;
  g_parkStands.clear();
  for (int k = 0; k < kStands; ++k) {
    const LatLon row = gf_destination(kField, 0.0, (k / 25) * 60 / 0.3048);
    const LatLon at = gf_destination(row, kPi / 2, (k % 25) * 60 / 0.3048);
    ParkPos stand(fmt::format("S{}", k), {}, {at.lat, at.lon, 0.0}, 20.0 + k % 3 * 8,
                  k % 10 == 0 ? 0 : 1, k % 5 == 0 ? 0 : 1, k >= kStands - 2 ? 0 : 1);
    stand.number = static_cast<std::uint32_t>(k + 1);
    if (k % 25 != 0) stand.overlaps = {static_cast<std::uint32_t>(k)};
    for (int o = 0; o < kOptionsPerStand; ++o) {
      ParkPosOption option{"KLM", kTypes[(k + o) % 5], fmt::format("PH-{:03}{}", k, o),
                           fmt::format("KLM{}", k * 10 + o), "", {}, static_cast<std::uint32_t>(o + 1),
                           static_cast<std::uint32_t>(o % 7 + 1), 0, o % 3 == 0 ? 0u : 1u};
      option.hh.set(static_cast<std::size_t>((k + o * 5) % 48));
      option.hh.set(static_cast<std::size_t>((k + o * 5 + 1) % 48));
      stand.options.push_back(std::move(option));
    }
    g_parkStands.push_back(std::move(stand));
  }
}

AircraftHead lf_airliner() {
  AircraftIdent ident;
  ident.airline = "KLM";
  ident.type = "B738";
  ident.callsign = "KLM4242";
  ident.registration = "PH-BXA";
  return gf_initTrafficReport(ident);
}

void BM_ClosestFreeStand(benchmark::State& state) {
  lf_buildAirport();
  const AircraftHead aircraft = lf_airliner();
  const LatLon near = gf_destination(kField, 0.5, 300 / 0.3048);
  for (auto _ : state) {
    benchmark::DoNotOptimize(gf_closestFreeStand(near, aircraft, 0.05, true));
  }
  state.SetItemsProcessed(state.iterations());
  bench::shareOfTick(state);
}
BENCHMARK(BM_ClosestFreeStand);

void BM_StandNameAtUncached(benchmark::State& state) {
  lf_buildAirport();
  const LatLon positions[] = {gf_destination(kField, 0.5, 300 / 0.3048),
                              gf_destination(kField, 1.0, 600 / 0.3048)};
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(gf_standNameAt(positions[k++ & 1]));  // never the cached position
  }
  state.SetItemsProcessed(state.iterations());
  bench::shareOfTick(state);
}
BENCHMARK(BM_StandNameAtUncached);

void BM_ChooseSoftStand(benchmark::State& state) {
  lf_buildAirport();
  const AircraftHead aircraft = lf_airliner();
  for (auto _ : state) {
    benchmark::DoNotOptimize(lf_chooseSoftStand({3, 20}, aircraft, true));
  }
  state.SetItemsProcessed(state.iterations());
  bench::shareOfTick(state);
}
BENCHMARK(BM_ChooseSoftStand);

// One search, including clearing the marks it sets (500 flag pairs).
void BM_SearchStands(benchmark::State& state) {
  lf_buildAirport();
  std::vector<StaticCandidate> candidates;
  candidates.reserve(kStands);
  for (auto _ : state) {
    for (ParkPos& s : g_parkStands) s.staticOccupied = s.blockedByNeighbour = false;
    candidates.clear();
    lf_searchStands({3, 20}, 1, 2, candidates, g_staticCandidates);
    benchmark::DoNotOptimize(candidates.data());
  }
  state.SetItemsProcessed(state.iterations());
  bench::shareOfTick(state);
  state.counters["candidates"] = static_cast<double>(candidates.size());
}
BENCHMARK(BM_SearchStands);

}  // namespace
