// The livery matching tables: storage of the titles, the airline and type tables built from
// them, their queries, clearing and reserving. Worker thread only.

#include "liveries/matching_tables.h"

#include <algorithm>
#include <tuple>

#include "liveries/livery.h"
#include "liveries/registration_liveries.h"
#include "liveries/similar_types.h"

std::unordered_map<std::string, std::unordered_map<std::string, std::vector<LiveryEntry>>>
    g_liveryAirlines;
std::array<std::unordered_map<std::string, TypeTitles>, 2> g_airlineLiveries;
TypeTitles g_paxTypeLiveries;
TypeTitles g_cargoTypeLiveries;
std::vector<std::string> g_lightTypes;
std::vector<std::string> g_buzjetTypes;
std::vector<std::string> g_rotorcraftTypes;
const std::string g_genericAirline{"ZZZ"};
std::unordered_map<std::uint32_t, std::string_view, AircraftKeyHash> g_liveryById;

namespace {

constexpr std::size_t kAirlineTypeRunRoom = 4048;  // entries of one airline and type
constexpr std::size_t kTypeViewRoom = 15000;       // views of one type and kind
constexpr std::size_t kAirlineCodeLength = 3;
constexpr std::size_t kPassenger = 0;
constexpr std::size_t kCargo = 1;

using TypeEntries = std::unordered_map<std::string, std::vector<LiveryEntry>>;

// Title text -> its first stored copy in walk order (airlines, types, entries), so that the
// registration step looks titles up by hash instead of walking the catalogue per definition.
// Made on first use after a build; emptied with the tables.
std::unordered_map<std::string_view, std::string_view> g_storedTitleIndex;

void lf_indexStoredTitles() {
  for (const auto& [airline, types] : g_liveryAirlines)
    for (const auto& [type, entries] : types)
      for (const LiveryEntry& entry : entries)
        g_storedTitleIndex.try_emplace(entry.title, entry.title);
}

// Working state of lf_buildLiveryAirlines: the run of one airline and one type.
struct AirlineRun {
  std::string airline;
  std::string type;
  std::vector<LiveryEntry> entries;
  TypeEntries types;
};

void lf_storeTypeRun(AirlineRun& run) {
  if (run.entries.empty()) return;
  std::vector<LiveryEntry> copy(run.entries.begin(), run.entries.end());  // capacity = size
  run.types.try_emplace(run.type, std::move(copy));
  run.entries.clear();
}

void lf_storeAirlineRun(AirlineRun& run) {
  lf_storeTypeRun(run);
  if (run.types.empty()) return;
  g_liveryAirlines.try_emplace(run.airline, std::move(run.types));
  run.types.clear();
}

void lf_addLiveryToAirlines(AirlineRun& run, const Livery& livery) {
  if (livery.type != run.type) {
    lf_storeTypeRun(run);
    run.type = livery.type;
  }
  if (livery.airl != run.airline) {
    lf_storeAirlineRun(run);
    run.airline = livery.airl;
  }
  LiveryEntry entry{livery.title, livery.cargo};
  entry.title.shrink_to_fit();
  run.entries.push_back(std::move(entry));
}

void lf_storeTypeLiveries(const std::string& type, TitleViews& pax, TitleViews& cargo) {
  if (!cargo.empty()) g_cargoTypeLiveries.try_emplace(type, cargo.begin(), cargo.end());
  if (!pax.empty()) g_paxTypeLiveries.try_emplace(type, pax.begin(), pax.end());
  pax.clear();
  cargo.clear();
}

}  // namespace

void lf_buildLiveryAirlines() {
  g_storedTitleIndex.clear();
  AirlineRun run;
  run.entries.reserve(kAirlineTypeRunRoom);
  for (const Livery& livery : g_liveries) lf_addLiveryToAirlines(run, livery);
  lf_storeAirlineRun(run);
}

void lf_buildAirlineLiveries() {
  for (const auto& [airline, types] : g_liveryAirlines) {
    std::array<std::unordered_map<std::string, TitleViews>, 2> perKind;
    for (const auto& [type, entries] : types) {
      std::array<TitleViews, 2> lists;
      for (const LiveryEntry& entry : entries)
        lists[entry.cargo ? kCargo : kPassenger].push_back(entry.title);
      for (std::size_t kind : {kPassenger, kCargo}) {
        if (lists[kind].empty()) continue;
        lists[kind].shrink_to_fit();
        perKind[kind].try_emplace(type, std::move(lists[kind]));
      }
    }
    for (std::size_t kind : {kPassenger, kCargo})
      if (!perKind[kind].empty())
        g_airlineLiveries[kind].try_emplace(airline, std::move(perKind[kind]));
  }
}

void lf_buildTypeLiveries() {
  struct TypeTitle {
    std::string_view type;
    std::string_view title;
    bool cargo;
  };
  std::vector<TypeTitle> triples;
  for (const auto& [airline, types] : g_liveryAirlines)
    for (const auto& [type, entries] : types)
      for (const LiveryEntry& entry : entries) triples.push_back({type, entry.title, entry.cargo});
  std::stable_sort(triples.begin(), triples.end(),
                   [](const TypeTitle& a, const TypeTitle& b) { return a.type < b.type; });

  TitleViews pax;
  TitleViews cargo;
  pax.reserve(kTypeViewRoom);
  cargo.reserve(kTypeViewRoom);
  std::string current;
  for (const TypeTitle& triple : triples) {
    if (triple.type != current) {
      lf_storeTypeLiveries(current, pax, cargo);
      current = triple.type;
    }
    (triple.cargo ? cargo : pax).push_back(triple.title);
  }
  lf_storeTypeLiveries(current, pax, cargo);
}

bool gf_typeHasLiveries(const std::string& type) {
  return g_paxTypeLiveries.contains(type) || g_cargoTypeLiveries.contains(type);
}

bool gf_airlineHasType(const std::string& airline, const std::string& type) {
  const auto found = g_liveryAirlines.find(airline);
  return found != g_liveryAirlines.end() && found->second.contains(type);
}

std::vector<std::string> lf_liveryAirlineCodes() {
  std::vector<std::string> codes;
  codes.reserve(g_liveryAirlines.size());
  for (const auto& entry : g_liveryAirlines)
    codes.push_back(entry.first.substr(0, kAirlineCodeLength));
  return codes;
}

std::string_view gf_storedTitle(const std::string& title) {
  if (g_storedTitleIndex.empty()) lf_indexStoredTitles();
  const auto found = g_storedTitleIndex.find(title);
  return found == g_storedTitleIndex.end() ? std::string_view{} : found->second;
}

void gf_clearLiveryTables() {
  // Everything that views a stored title goes before g_liveryAirlines, which owns them.
  g_liveryById.clear();
  g_lightTypes.clear();
  g_buzjetTypes.clear();
  g_rotorcraftTypes.clear();
  g_specialLiveries.clear();
  g_regLiveries.clear();
  g_paxTypeLiveries.clear();
  g_cargoTypeLiveries.clear();
  g_airlineLiveries[kPassenger].clear();
  g_airlineLiveries[kCargo].clear();
  // The substitutes depend on which types have liveries: rebuilt with the tables.
  gf_clearSimilarTypes();
  g_storedTitleIndex.clear();
  g_liveryAirlines.clear();
}

void gf_reserveMatchTables() {
  constexpr std::size_t kSpecialRoom = 4096;
  constexpr std::size_t kLightRoom = 64;
  constexpr std::size_t kBuzjetRoom = 128;
  constexpr std::size_t kRotorcraftRoom = 32;
  static bool s_reserved = false;
  if (s_reserved) return;
  s_reserved = true;
  g_specialLiveries.reserve(kSpecialRoom);
  g_lightTypes.reserve(kLightRoom);
  g_buzjetTypes.reserve(kBuzjetRoom);
  g_rotorcraftTypes.reserve(kRotorcraftRoom);
}
