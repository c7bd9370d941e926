// Livery matching against a catalogue of 20,000 liveries (200 airlines x 20 types x 5 titles,
// plus generic ones): matches per second for aircraft that find their airline and type, for a
// mix that runs through every step (each a share of the engine's 10 ms tick per match), and the
// time to build the tables beside copying the catalogue they are built from.

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <vector>

#include "bench_table.h"
#include "foundation/parameters.h"
#include "liveries/aircraft_database.h"
#include "liveries/database_queries.h"
#include "liveries/livery.h"
#include "liveries/livery_matching.h"
#include "liveries/matching_tables.h"
#include "liveries/registration_liveries.h"
#include "liveries/similar_types.h"

namespace {

constexpr int kAirlines = 200;
constexpr int kTitlesPerType = 5;
constexpr int kRegistrations = 2000;

// Types by category; every category has liveries, so no setting is switched off.
const std::vector<std::string> kLarge = {"A319", "A320", "A321", "B737",
                                         "B738", "B739", "E190", "CRJ9"};
const std::vector<std::string> kHeavy = {"A332", "A333", "B744", "B77W", "B789", "A359"};
const std::vector<std::string> kLight = {"C172", "PA28"};
const std::vector<std::string> kBuzjet = {"C56X", "GLF5"};
const std::vector<std::string> kRotor = {"EC35"};
const std::vector<std::string> kHighPerf = {"F16"};

std::vector<std::string> lf_allTypes() {
  std::vector<std::string> all;
  for (const auto* list : {&kLarge, &kHeavy, &kLight, &kBuzjet, &kRotor, &kHighPerf})
    all.insert(all.end(), list->begin(), list->end());
  return all;
}

std::string lf_airline(int i) {
  return fmt::format("{}{}{}", static_cast<char>('A' + i / 26 % 26),
                     static_cast<char>('A' + i % 26), 'X');
}

void lf_fillDatabase() {
  g_dbaseLarge = {kLarge.begin(), kLarge.end()};
  g_dbaseHeavy = {kHeavy.begin(), kHeavy.end()};
  g_dbaseBuzjet = {kBuzjet.begin(), kBuzjet.end()};
  g_dbaseRotorcraft = {kRotor.begin(), kRotor.end()};
  g_dbaseHighPerf = {kHighPerf.begin(), kHighPerf.end()};
  g_dbaseSimilarGroups = {
      {"A319", "A320", "A321"}, {"B737", "B738", "B739"}, {"A332", "A333"}, {"B789", "B77W"}};
}

// Each airline flies 20 of the types; the generic airline has one livery of every type.
void lf_fillCatalogue() {
  const std::vector<std::string> types = lf_allTypes();
  g_liveries.clear();
  for (int a = 0; a < kAirlines; ++a)
    for (std::size_t t = 0; t < 20; ++t) {
      const std::string& type = types[(a + t) % types.size()];
      for (int n = 0; n < kTitlesPerType; ++n)
        g_liveries.push_back(Livery{lf_airline(a), type,
                                    fmt::format("{} {} livery number {}", lf_airline(a), type, n),
                                    "", 0, n == 4});
    }
  for (const std::string& type : types)
    g_liveries.push_back(Livery{"ZZZ", type, "Generic " + type, "", 0, false});
  g_liveries.sort();
}

// The tables that processing builds from the catalogue in g_liveries (left sorted by
// lf_fillCatalogue), as the start-up does it.
void lf_buildTables() {
  gf_clearLiveryTables();
  lf_buildLiveryAirlines();
  lf_buildAirlineLiveries();
  lf_buildTypeLiveries();
  gf_buildSimilarTypes();
  for (std::uint32_t category = 0; category < 6; ++category) lf_categorySummary(category);
}

void lf_fillRegistrationLiveries() {
  for (int r = 0; r < kRegistrations; ++r)
    g_regLiveries.emplace(
        fmt::format("D-A{:04}", r),
        gf_storedTitle(fmt::format("{} A320 livery number 1", lf_airline(r % kAirlines))));
}

void lf_prepare() {
  static bool s_ready = false;
  g_paramLog.setValue(false);
  g_paramRandom.setValue(true);
  g_paramMatchingDepth.setValue(4);
  if (s_ready) return;
  lf_fillDatabase();
  lf_fillCatalogue();
  lf_buildTables();
  lf_fillRegistrationLiveries();
  g_liveries.clear();
  s_ready = true;
}

LiveryTarget lf_aircraft(const std::string& airline, const std::string& type,
                         const std::string& reg, bool cargo) {
  LiveryTarget ac;
  ac.airline = airline;
  ac.type = type;
  ac.registration = reg;
  ac.cargo = cargo;
  ac.category = gf_typeCategory(type);
  return ac;
}

// Matches the fleet's aircraft one after another for as long as the benchmark runs.
void lf_matchRoundRobin(benchmark::State& state, std::vector<LiveryTarget>& fleet) {
  std::size_t i = 0;
  for (auto _ : state) {
    LiveryTarget& ac = fleet[i++ % fleet.size()];
    gf_matchLivery(ac);
    benchmark::DoNotOptimize(ac.livery);
  }
  state.SetItemsProcessed(state.iterations());
  bench::shareOfTick(state);
}

void BM_MatchAirlineType(benchmark::State& state) {
  lf_prepare();
  const std::vector<std::string> types = lf_allTypes();
  std::vector<LiveryTarget> fleet;
  for (int a = 0; a < kAirlines; ++a)
    fleet.push_back(lf_aircraft(lf_airline(a), types[(a + 3) % types.size()], "", a % 7 == 0));
  lf_matchRoundRobin(state, fleet);
}
BENCHMARK(BM_MatchAirlineType);

// Registration hits, airline and type, similar types, generic, and types nobody has.
void BM_MatchMixed(benchmark::State& state) {
  lf_prepare();
  const std::vector<std::string> types = lf_allTypes();
  std::vector<LiveryTarget> fleet;
  for (int n = 0; n < 1000; ++n) {
    const std::string airline = n % 5 == 4 ? "QQQ" : lf_airline(n % kAirlines);
    const std::string reg = n % 4 == 0 ? fmt::format("DA{:04}", n) : fmt::format("N{}", n);
    fleet.push_back(
        lf_aircraft(airline, n % 11 == 0 ? "ZZ99" : types[n % types.size()], reg, n % 9 == 0));
  }
  lf_matchRoundRobin(state, fleet);
}
BENCHMARK(BM_MatchMixed);

// The catalogue once made; each iteration builds the tables from a fresh copy of it. The
// tables are left built for the matching benchmarks, registration liveries included.
void BM_BuildTables(benchmark::State& state) {
  lf_prepare();
  lf_fillCatalogue();
  const std::list<Livery> catalogue = g_liveries;
  for (auto _ : state) {
    state.PauseTiming();
    g_liveries = catalogue;
    state.ResumeTiming();
    lf_buildTables();
  }
  g_liveries.clear();
  lf_fillRegistrationLiveries();
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(catalogue.size()));
  bench::compareWith(state, "BM_CopyCatalogue");
}
BENCHMARK(BM_BuildTables)->Unit(benchmark::kMillisecond);

// Copying the catalogue the tables are built from: every text the tables keep.
void BM_CopyCatalogue(benchmark::State& state) {
  lf_prepare();
  lf_fillCatalogue();
  const std::list<Livery> catalogue = g_liveries;
  g_liveries.clear();
  for (auto _ : state) {
    std::list<Livery> copy = catalogue;
    benchmark::DoNotOptimize(copy.back().title.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(catalogue.size()));
  bench::markBaseline(state);
}
BENCHMARK(BM_CopyCatalogue)->Unit(benchmark::kMillisecond);

}  // namespace
