// The static parking at a 500-stand airport with a week of learned options (each stand three
// uses a day, two to six half-hours long): the calculation (wanted 30 % or 100 %, MAX_FIT 47) and
// the 20-minute renewal with the static aircraft of that calculation parked. Both run inside one
// tick of the worker. Milliseconds per call.

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "airports/airports.h"
#include "bench_table.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "liveries/aircraft_database.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"
#include "traffic/records/engine_index.h"

namespace {

constexpr int kStands = 500;
constexpr int kUsesPerDay = 3;
constexpr LatLon kField{52.3, 4.76};
const char* const kTypes[] = {"A320", "B738", "E190", "B744"};

// A grid of stands 60 m apart (25 x 20), radii 20 to 36 m; each stand's row neighbour overlaps.
void lf_buildAirport(int percent) {
  gf_markWorkerThread();
  g_dbaseLarge = {"A320", "B738", "E190"};
  g_dbaseHeavy = {"B744"};
  g_dbaseWingspans = {{"A320", 34.1}, {"B738", 35.8}, {"E190", 28.7}, {"B744", 64.4}};
  g_paramRandom.setValue(true);
  g_paramParkingPercentage.setValue(percent);
  g_paramMaxFit.setValue(47);
  g_parkAirportIcao = "EHAM";
  g_userOnGround = false;
  g_dayHhNow = DayHh{3, 20};
  g_parkStands.clear();
  for (int k = 0; k < kStands; ++k) {
    const LatLon row = gf_destination(kField, 0.0, (k / 25) * 60 / 0.3048);
    const LatLon at = gf_destination(row, kPi / 2, (k % 25) * 60 / 0.3048);
    ParkPos stand(fmt::format("S{}", k), {}, {at.lat, at.lon, 0.0}, 20.0 + k % 3 * 8, 1, 1, 1);
    stand.number = static_cast<std::uint32_t>(k + 1);
    if (k % 25 != 0) stand.overlaps = {static_cast<std::uint32_t>(k)};
    std::uint32_t id = 0;
    for (std::uint32_t day = 1; day <= 7; ++day) {
      for (int use = 0; use < kUsesPerDay; ++use) {
        ParkPosOption option{"KLM", kTypes[(k + use) % 4], fmt::format("PH-{:03}{}{}", k, day, use),
                             fmt::format("KLM{}", (k * 7 + static_cast<int>(day)) * 3 + use), "",
                             {}, ++id, day, 0, use == 2 ? 0u : 1u};
        const int start = (k * 5 + use * 16 + static_cast<int>(day)) % 42;
        for (int slot = start; slot < start + 2 + (k + use) % 5; ++slot) option.hh.set(static_cast<std::size_t>(slot));
        stand.options.push_back(std::move(option));
      }
    }
    g_parkStands.push_back(std::move(stand));
  }
}

// The calculation's candidates parked as active static aircraft, as the engine creates them.
void lf_parkCandidates() {
  g_staticAc.clear();
  std::uint32_t key = 0;
  for (const StaticCandidate& c : g_staticCandidates) {
    AircraftIdent ident;
    ident.airline = c.airline;
    ident.type = c.type;
    ident.callsign = c.cs + "*";
    ident.text6 = c.cs;
    ident.registration = c.reg;
    AircraftHead head = gf_initTrafficReport(ident);
    head.key = ++key;
    const ParkPos& stand = g_parkStands[c.standId - 1];
    StaticAircraft& s = g_staticAc.emplace_back(std::move(head), c.standId,
                                                 StandPlace{stand.lat, stand.lon, stand.heading}, false);
    s.parkedSlot = gf_slotsBefore(g_dayHhNow.load(), static_cast<std::uint32_t>(c.fit));
    gf_setObjectId(s, key + 100);
    gf_setState(s, kStActive);
  }
  g_staticCandidates.clear();
}

void BM_StaticParkingCalculation(benchmark::State& state) {
  lf_buildAirport(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    lf_calcStaticParking();
    benchmark::DoNotOptimize(g_staticCandidates.size());
  }
  state.counters["candidates"] = static_cast<double>(g_staticCandidates.size());
  bench::shareOfTick(state);  // once, in the park-airport step
}
BENCHMARK(BM_StaticParkingCalculation)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_StaticParkingRenewal(benchmark::State& state) {
  lf_buildAirport(static_cast<int>(state.range(0)));
  lf_calcStaticParking();
  lf_parkCandidates();
  g_dayHhNow = DayHh{3, 21};  // twenty minutes on, the next half-hour
  const std::vector<StaticAircraft> parked = g_staticAc;
  for (auto _ : state) {
    state.PauseTiming();
    g_staticAc = parked;
    gf_recordsReordered();
    g_removeWait.clear();
    state.ResumeTiming();
    gf_parkingAdjustments();
    benchmark::DoNotOptimize(g_staticCandidates.size());
  }
  state.counters["removed"] = static_cast<double>(g_staticRemovals.size());
  state.counters["added"] = static_cast<double>(g_staticCandidates.size());
  bench::shareOfTick(state);  // once, in the tick's parking adjustment
}
BENCHMARK(BM_StaticParkingRenewal)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
