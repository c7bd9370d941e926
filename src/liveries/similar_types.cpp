// Similar and substitute types for livery matching. Built once per process after the matching
// tables; queried on the worker thread only.

#include "liveries/similar_types.h"

#include <fmt/format.h>

#include <algorithm>

#include "foundation/log.h"
#include "foundation/random_pick.h"
#include "foundation/strings.h"
#include "liveries/aircraft_database.h"
#include "liveries/database_queries.h"
#include "liveries/matching_tables.h"

std::unordered_map<std::string, TypeList> g_similarTypeGroups;
std::unordered_map<std::string, std::unordered_map<std::string, TypeList>> g_airlineSimilarTypes;
TypeList g_noSimilarTypes;
TypeList g_substituteType;

namespace {

constexpr std::size_t kAirlineSubstituteRoom = 64;

// "T,S1,S2..." for every member T of every group that has substitutes with liveries.
std::vector<std::string> lf_similarLines() {
  std::vector<std::string> lines;
  for (const std::vector<std::string>& group : g_dbaseSimilarGroups) {
    for (const std::string& member : group) {
      std::string line = member;
      for (const std::string& other : group)
        if (other != member && gf_typeHasLiveries(other)) line += ',' + other;
      if (line.find(',') != std::string::npos) lines.push_back(std::move(line));
    }
  }
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

// Substitutes in group order of which the airline has liveries, for the types it has none of.
std::unordered_map<std::string, TypeList> lf_airlineSubstitutes(const std::string& airline) {
  std::unordered_map<std::string, TypeList> perType;
  for (const auto& [type, substitutes] : g_similarTypeGroups) {
    if (gf_airlineHasType(airline, type)) continue;
    TypeList collected;
    collected.reserve(kAirlineSubstituteRoom);
    for (const std::string& substitute : substitutes)
      if (gf_airlineHasType(airline, substitute)) collected.push_back(substitute);
    if (collected.empty()) continue;
    collected.shrink_to_fit();
    perType.try_emplace(type, std::move(collected));
  }
  return perType;
}

TypeList& lf_shuffled(TypeList& list) {
  gf_shuffle(list);
  return list;
}

}  // namespace

void gf_buildSimilarTypes() {
  for (const std::string& line : lf_similarLines()) {
    std::vector<std::string> pieces = gf_split(line, ',');
    std::string key = std::move(pieces.front());
    TypeList substitutes(std::make_move_iterator(pieces.begin() + 1),
                         std::make_move_iterator(pieces.end()));
    g_similarTypeGroups.try_emplace(std::move(key), std::move(substitutes));
  }
  for (const std::string& airline : lf_liveryAirlineCodes()) {
    std::unordered_map<std::string, TypeList> perType = lf_airlineSubstitutes(airline);
    if (!perType.empty()) g_airlineSimilarTypes.try_emplace(airline, std::move(perType));
  }
  gf_log(fmt::format("{} similar model definitions", g_similarTypeGroups.size()));
}

void gf_clearSimilarTypes() {
  g_similarTypeGroups.clear();
  g_airlineSimilarTypes.clear();
  g_substituteType.clear();
}

const TypeList& gf_similarTypes(const std::string& type) {
  if (const auto found = g_similarTypeGroups.find(type); found != g_similarTypeGroups.end())
    return lf_shuffled(found->second);
  const std::vector<std::string>* candidates = gf_categoryTypeList(gf_typeCategory(type));
  if (!candidates || candidates->empty()) return g_noSimilarTypes;
  const auto index =
      static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(candidates->size())));
  const std::string& picked = (*candidates)[index];
  if (picked.empty()) return g_noSimilarTypes;
  g_substituteType.clear();
  g_substituteType.push_back(picked);
  return g_substituteType;
}

const TypeList& gf_airlineSimilarTypes(const AircraftIdent& ident) {
  const auto airline = g_airlineSimilarTypes.find(ident.airline);
  if (airline == g_airlineSimilarTypes.end()) return g_noSimilarTypes;
  const auto type = airline->second.find(ident.type);
  if (type == airline->second.end()) return g_noSimilarTypes;
  return lf_shuffled(type->second);
}
