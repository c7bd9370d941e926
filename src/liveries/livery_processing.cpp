// From the stored catalogue to the matching tables, once per process. Worker thread, start-up.

#include "liveries/livery_processing.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "liveries/livery.h"
#include "liveries/matching_tables.h"
#include "liveries/registration_liveries.h"
#include "liveries/similar_types.h"

std::atomic<bool> g_liveriesScanDone{false};

namespace {

constexpr std::uint32_t kLastCategory = 5;  // Rotorcraft

void lf_showLiveryCount(std::uint64_t count) {
  g_mainWindowState.liveryCount.store(count, std::memory_order_relaxed);
  g_mainWindowState.invalidate(kLampsArea);
}

void lf_buildTables() {
  lf_readLiveriesScanned();
  lf_showLiveryCount(g_liveries.size());
  lf_buildLiveryAirlines();
  lf_buildAirlineLiveries();
  lf_inlineRegcodeClashes();
  lf_processRegcodes();
  gf_log(fmt::format("{} registration codes", g_regLiveries.size()));
  lf_buildTypeLiveries();
  gf_log(fmt::format("{} airlines, {} pax aircraft models and {} cargo aircraft models",
                     g_liveryAirlines.size(), g_paxTypeLiveries.size(),
                     g_cargoTypeLiveries.size()));
  gf_buildSimilarTypes();
  lf_logGenericLiveries();
  for (std::uint32_t category = 0; category <= kLastCategory; ++category)
    lf_categorySummary(category);
  g_liveriesScanDone.store(true);
  g_mainWindowState.invalidate(kLampsArea);
}

}  // namespace

void gf_processScannedLiveries() {
  if (g_liveriesScanDone.load()) {
    gf_log("Processing scanned liveries skipped; already done in previous start-up");
    g_liveries.clear();
    return;
  }
  try {
    lf_buildTables();
  } catch (...) {
    // A failed build leaves no half tables behind: the next start-up builds them afresh.
    g_liveries.clear();
    gf_clearLiveryTables();
    throw;
  }
  g_liveries.clear();
}
