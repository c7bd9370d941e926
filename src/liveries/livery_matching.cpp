// Livery matching for live and static aircraft. Worker thread, inside the engine's tick; reads
// the matching, registration and similar-type tables without locks.

#include "liveries/livery_matching.h"

#include <fmt/format.h>

#include <algorithm>

#include "foundation/park_pos.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/random_pick.h"
#include "liveries/database_queries.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/registration_liveries.h"
#include "liveries/similar_types.h"

namespace {

constexpr std::size_t kPassenger = 0;
constexpr std::size_t kCargo = 1;
constexpr int kSpecialRedraws = 5;
constexpr char kPrivateAirline[] = "PVT";
constexpr char kFsltlMark[] = "FSLTL_";

// Steps of the summary counters.
enum MatchStep : int {
  kNoStep = 0,
  kStepReg = 1,
  kStepAirlType,
  kStepAirlSimilar,
  kStepGeneric,
  kStepType,
  kStepSubstitute
};

bool lf_isSpecial(std::string_view title) {
  return std::find(g_specialLiveries.begin(), g_specialLiveries.end(), title) !=
         g_specialLiveries.end();
}

std::size_t lf_randomIndex(std::size_t size) {
  return static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(size)));
}

// A title of the list that is not special; the livery stays unchanged for an empty list.
void lf_pickLivery(LiveryTarget& aircraft, const TitleViews& titles) {
  if (titles.empty()) return;
  std::string_view title = titles[lf_randomIndex(titles.size())];
  for (int draw = 0; draw < kSpecialRedraws; ++draw) {
    if (g_specialLiveries.empty() || !lf_isSpecial(title)) {
      aircraft.livery = title;
      return;
    }
    title = titles[lf_randomIndex(titles.size())];
  }
  TitleViews ordinary;
  for (std::string_view candidate : titles)
    if (!lf_isSpecial(candidate)) ordinary.push_back(candidate);
  aircraft.livery =
      ordinary.empty() ? std::string_view{} : ordinary[lf_randomIndex(ordinary.size())];
}

void lf_matchAirlType(LiveryTarget& aircraft, const std::string& airline, const std::string& type,
                      std::size_t kind) {
  const auto& table = g_airlineLiveries[kind];
  const auto byAirline = table.find(airline);
  if (byAirline == table.end()) return;
  const auto byType = byAirline->second.find(type);
  if (byType == byAirline->second.end()) return;
  lf_pickLivery(aircraft, byType->second);
}

// Cargo first: a cargo aircraft tries cargo liveries, then passenger ones.
bool lf_matchAirlTypeCargoFirst(LiveryTarget& aircraft, const std::string& airline,
                                const std::string& type) {
  if (aircraft.cargo) lf_matchAirlType(aircraft, airline, type, kCargo);
  if (aircraft.livery.empty()) lf_matchAirlType(aircraft, airline, type, kPassenger);
  return !aircraft.livery.empty();
}

bool lf_matchType(LiveryTarget& aircraft, const std::string& type) {
  const TypeTitles& table = aircraft.cargo ? g_cargoTypeLiveries : g_paxTypeLiveries;
  if (const auto found = table.find(type); found != table.end())
    lf_pickLivery(aircraft, found->second);
  return !aircraft.livery.empty();
}

// Steps 4 to 6.
void lf_matchGeneric(LiveryTarget& aircraft, int& step) {
  if (!aircraft.livery.empty()) return;
  const int depth = g_paramMatchingDepth.value();
  if (depth == 4 && lf_matchAirlTypeCargoFirst(aircraft, g_genericAirline, aircraft.type)) {
    step = kStepGeneric;
    return;
  }
  const std::uint32_t category = aircraft.category;
  if (category != kCatLight && category != kCatBuzjets && category != kCatRotorcraft) return;
  if (!(depth < 3 || aircraft.airline == kPrivateAirline) &&
      lf_matchAirlTypeCargoFirst(aircraft, g_genericAirline, aircraft.type)) {
    step = kStepGeneric;
    return;
  }
  if (lf_matchType(aircraft, aircraft.type)) {
    step = kStepType;
    return;
  }
  for (const std::string& substitute : gf_similarTypes(aircraft.type)) {
    if (lf_matchType(aircraft, substitute)) {
      step = kStepSubstitute;
      return;
    }
  }
}

// Step 3 over the airline's substitutes of the type; live aircraft only take substitutes of
// their own size category.
bool lf_matchSimilar(LiveryTarget& aircraft, const std::string& airline, const TypeList& types,
                     bool sameCategory) {
  for (const std::string& type : types) {
    if (sameCategory && gf_typeCategory(type) != aircraft.category) continue;
    if (lf_matchAirlTypeCargoFirst(aircraft, airline, type)) return true;
  }
  return false;
}

// Steps 2 and 3 for a live (airline required) or static aircraft.
void lf_matchAirline(LiveryTarget& aircraft, int& step, bool live) {
  if (live && aircraft.airline.empty()) return;
  const std::string opr = gf_oprFromReg(aircraft.registration);
  if (lf_matchAirlTypeCargoFirst(aircraft, aircraft.airline, aircraft.type) ||
      (!opr.empty() && lf_matchAirlTypeCargoFirst(aircraft, gf_airlFromReg(aircraft.registration),
                                                  aircraft.type))) {
    step = kStepAirlType;
    return;
  }
  if (g_paramMatchingDepth.value() < 3) return;
  const TypeList& similar = gf_airlineSimilarTypes(aircraft);
  if (lf_matchSimilar(aircraft, aircraft.airline, similar, live) ||
      (!opr.empty() &&
       lf_matchSimilar(aircraft, gf_airlFromReg(aircraft.registration), similar, live)))
    step = kStepAirlSimilar;
}

char lf_stepMark(int step) {
  return static_cast<char>('0' + step);
}

// Step 1: the title registered for the aircraft's registration.
bool lf_matchReg(LiveryTarget& aircraft) {
  if (aircraft.registration.empty()) return false;
  aircraft.livery = gf_liveryFromReg(aircraft.registration);
  return !aircraft.livery.empty();
}

// Steps 2 to 6 as MATCHING_DEPTH allows; the step that gave the title, kNoStep without one.
int lf_matchBeyondReg(LiveryTarget& aircraft, bool live) {
  const int depth = g_paramMatchingDepth.value();
  if (depth < 2) return kNoStep;
  if (aircraft.airline == kPrivateAirline &&
      lf_matchAirlTypeCargoFirst(aircraft, g_genericAirline, aircraft.type))
    return kStepGeneric;
  int step = kNoStep;
  lf_matchAirline(aircraft, step, live);
  if (aircraft.livery.empty() && depth >= 3) lf_matchGeneric(aircraft, step);
  return aircraft.livery.empty() ? kNoStep : step;
}

// stepMark: '1'..'6', or 's' for a static aircraft that kept its livery.
void lf_logMatch(const LiveryTarget& aircraft, char stepMark) {
  if (g_paramLog.value())
    gf_log(
        fmt::format("          {} ={}= {}", gf_acDescription(aircraft), stepMark, aircraft.livery));
}

}  // namespace

std::string_view gf_liveryFromReg(const std::string& registration) {
  for (const std::string& form : gf_regVariants(registration)) {
    if (const auto found = g_regLiveries.find(form); found != g_regLiveries.end())
      return found->second;
  }
  return {};
}

void gf_matchLivery(LiveryTarget& aircraft) {
  aircraft.livery = {};  // the engine asks only for aircraft without one
  const int step = lf_matchReg(aircraft) ? kStepReg : lf_matchBeyondReg(aircraft, true);
  if (aircraft.livery.empty()) return;
  if (gf_isFailedLivery(aircraft.livery)) {
    aircraft.livery = {};
    return;
  }
  ++g_matchSteps[static_cast<std::size_t>(step - 1)];
  lf_logMatch(aircraft, lf_stepMark(step));
  aircraft.special = aircraft.livery.find(kFsltlMark) != std::string_view::npos;
}

bool gf_matchParkedLivery(LiveryTarget& aircraft, const ParkPos& stand) {
  if (!aircraft.livery.empty()) {
    lf_logMatch(aircraft, 's');
    return true;
  }
  const bool byReg = lf_matchReg(aircraft);
  aircraft.cargo = stand.cargo;  // a cargo stand gets a cargo livery
  const int step = byReg ? kStepReg : lf_matchBeyondReg(aircraft, false);
  if (aircraft.livery.empty()) {
    if (g_paramLog.value())
      gf_log(
          fmt::format("{:8}: {} no livery match ...", stand.id, gf_acShortDescription(aircraft)));
    return false;
  }
  if (gf_isFailedLivery(aircraft.livery)) {
    aircraft.livery = {};
    return false;
  }
  lf_logMatch(aircraft, lf_stepMark(step));
  return true;
}
