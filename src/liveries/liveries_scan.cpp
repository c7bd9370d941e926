// The livery scan driver: folder list, scan, database update, priority step, catalogue, reports.
// Worker thread.

#include "liveries/liveries_scan.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/meta_block.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "foundation/strings.h"
#include "liveries/addon_discovery.h"
#include "liveries/aircraft_database.h"
#include "liveries/database_queries.h"
#include "liveries/dont_use_titles.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/livery_processing.h"
#include "liveries/scan_reports.h"
#include "platform/paths.h"
#include "platform/win32.h"

std::vector<std::string> g_dbaseUpdateLines;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFolderListReserve = 10;

// Set by lf_scanLiveries when a stop or exit request cut the scan short, so that no catalogue
// of this scan exists (an old one may, when its removal failed). Worker thread only.
bool s_scanInterrupted = false;

bool lf_stopOrExit() {
  return g_stopRequested.load() || g_exitRequested.load();
}

std::vector<std::string> lf_buildFolderList(bool automatic) {
  std::vector<std::string> folders;
  folders.reserve(kFolderListReserve);
  if (automatic) {
    lf_readP3DAddOnsAircraft(folders);
    lf_readP3DSimObjectsCfg(folders);
  } else {
    for (const StringParameter& setting : g_paramLfolder) {
      std::string value = setting.value();
      if (!value.empty()) folders.push_back(std::move(value));
    }
  }
  return folders;
}

void lf_switchScanLiveriesOff() {
  g_paramScanLiveries.setValue(false);
  gf_saveBoolParameter(g_paramScanLiveries);
  if (HWND box = g_paramScanLiveries.hwnd.load()) SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
  g_mainWindowState.invalidate(kSettingsArea);
}

void lf_removeIfExists(const fs::path& file) {
  if (fs::exists(file)) fs::remove(file);
}

// Drops neighbours equal in airline, type, title, registration and cargo flag.
void lf_dropRepeats() {
  g_liveries.unique();
}

}  // namespace

void gf_liveriesScan() {
  if (!g_paramScanLiveries.value()) {
    gf_processScannedLiveries();
    return;
  }
  g_simulatorName = "P3D";
  const bool automatic = g_paramLigAutomatic.value();
  const bool prioritized = g_paramLigPrioritize.value() && !automatic;
  gf_showMessage(fmt::format("Scanning {} for liveries ...", prioritized ? "prioritized " : ""),
                 false);
  gf_log(fmt::format(
      "\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
      automatic ? "automatic" : "manual"));
  std::vector<std::string> folders = lf_buildFolderList(automatic);
  if (!automatic && folders.empty()) {
    throw qvb::UserErrorException(
        48,
        "Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check Liveries "
        "automatic)");
  }
  if (!lf_scanLiveries(folders)) {
    if (automatic) {
      throw qvb::UserErrorException(43,
                                    "Automatic scan has not found any liveries, switch off "
                                    "automatic and set lfolder parameter(-s), Manual 5.1");
    }
    throw qvb::UserErrorException(53, "no liveries found");
  }
  // An interrupted scan wrote no catalogue: the setting stays on so that the next start-up
  // scans again, and there is nothing to process (an old catalogue left behind is not this
  // scan's).
  if (s_scanInterrupted) return;
  lf_switchScanLiveriesOff();
  gf_log("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
  folders.clear();
  gf_processScannedLiveries();
}

bool lf_scanLiveries(const std::vector<std::string>& folders) {
  s_scanInterrupted = false;
  g_liveries.clear();
  // Lists left by an earlier scan of this process would turn every title into a duplicate.
  lf_clearScanLists();
  lf_removeScanFiles();
  lf_readDontUseTitles();
  ScanCounters counters;
  for (const std::string& folder : folders) lf_scanLfolder(counters, folder);
  if (lf_stopOrExit()) {
    s_scanInterrupted = true;
    lf_clearScanLists();
    return true;
  }
  if (g_liveries.empty()) {
    g_mainWindowState.liveryCount.store(0);
    g_mainWindowState.invalidate(kLampsArea);
    lf_clearScanLists();
    gf_clearMessage();
    return false;
  }
  if (folders.size() >= 2) gf_log(fmt::format("{} in total", counters.total));
  for (Livery& livery : g_liveries) lf_updateLiveryFromDbase(livery);
  if (g_paramLigPrioritize.value()) lf_keepPrioritizedLiveries();
  g_liveries.sort();
  lf_dropRepeats();
  gf_writeLiveriesScanned();
  g_liveries.clear();
  lf_writeScanReport();
  lf_clearScanLists();
  gf_clearMessage();
  return true;
}

void lf_scanLfolder(ScanCounters& counters, const std::string& folderText) {
  if (folderText.empty()) return;
  const fs::path folder = gf_winPath(folderText);
  if (!fs::exists(folder)) {
    gf_log(folderText + " does not exist, skipped!");
    return;
  }
  if (!fs::is_directory(folder)) {
    gf_log(folderText + " is not a folder name, skipped!");
    return;
  }
  const std::string foundIn = "found in " + folderText;
  if (counters.ordinal != kMaxFolderPriority) ++counters.ordinal;
  if (lf_stopOrExit()) return;
  lf_searchLiveriesInFolder(counters.ordinal, folder);
  if (g_liveries.empty()) {
    gf_log(fmt::format("No liveries {}", foundIn));
    return;
  }
  const std::uint64_t added = g_liveries.size() - counters.lastSize;
  gf_log(fmt::format("{} liverie{} {}", added, gf_plural(added), foundIn));
  counters.total += static_cast<std::int64_t>(added);
  counters.lastSize = g_liveries.size();
}

void lf_removeScanFiles() {
  try {
    for (const fs::path* file :
         {&g_cfgWithNoFltsimFile, &g_liveriesScannedFile, &g_liveriesSkippedOnPriorityFile,
          &g_inlineRegcodesFile, &g_invalidAirlineCodesFile, &g_invalidAircraftCodesFile,
          &g_fixesFile, &g_invalidAircraftCfgFilesFile, &g_incompleteFltsimSectionsFile}) {
      lf_removeIfExists(*file);
    }
    lf_removeIfExists(g_errorsDir);
  } catch (const std::exception& e) {
    gf_log(fmt::format("problems with removing previous files: {}", e.what()));
  }
}

void lf_updateLiveryFromDbase(Livery& livery) {
  if (livery.atcid.empty()) return;
  std::optional<RegInfo> entry;
  for (const std::string& form : gf_regVariants(livery.atcid)) {
    if (gf_findReg(entry, form)) break;
  }
  if (!entry) return;
  if (entry->cargo != livery.cargo) {
    g_dbaseUpdateLines.push_back(fmt::format("{:80} {} cargo {} => {}", livery.title, livery.atcid,
                                             livery.cargo, entry->cargo));
    livery.cargo = entry->cargo;
  }
  // Only known values replace the livery's: an entry without airline or type leaves it as is.
  const std::string& target = entry->opr.empty() ? entry->airl : entry->opr;
  if (!target.empty() && target != livery.airl) {
    g_dbaseUpdateLines.push_back(
        fmt::format("{:80} {} airl {} => {}", livery.title, livery.atcid, livery.airl, target));
    livery.airl = target;
  }
  if (!entry->type.empty() && entry->type != livery.type) {
    g_dbaseUpdateLines.push_back(fmt::format("{:80} {} model {} => {}", livery.title, livery.atcid,
                                             livery.type, entry->type));
    livery.type = entry->type;
  }
}

void lf_keepPrioritizedLiveries() {
  // The smallest ordinal per airline and type, then everything above it goes.
  std::map<std::pair<std::string, std::string>, std::int32_t> best;
  for (const Livery& livery : g_liveries) {
    auto [it, inserted] = best.try_emplace({livery.airl, livery.type}, livery.priority);
    if (!inserted) it->second = std::min(it->second, livery.priority);
  }
  g_liveries.remove_if([&best](const Livery& livery) {
    return livery.priority > best.at({livery.airl, livery.type});
  });
}
