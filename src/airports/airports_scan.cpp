// The airports scan driver (worker thread, at start-up when SCAN_AIRPORTS is on): folders,
// the BGL scan into new stand files that replace the previous ones once it completes (those of
// airports behind a folder or file it passed over are kept),
// AirportsScanLog.txt, and the stand files to be learned off line (TBLO).
#include <fmt/format.h>

#include <algorithm>

#include "airports/scan.h"
#include "airports/scan_log.h"
#include "airports/stand_file_internal.h"
#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/meta_block.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "platform/paths.h"
#include "platform/win32.h"

const std::filesystem::path g_tbloFolder{"TBLO"};  // a literal: other files' globals may not exist yet
std::atomic<std::uint32_t> g_tbloCount{0};

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kScanLogReserve = 2048;
constexpr std::size_t kFoldersReserve = 10;
constexpr const char* kSupportAddress = "support@ulvabrook.com";

struct TbloOutcome {
  std::size_t done = 0;    // archived file good enough: no learning needed
  std::size_t copied = 0;  // copied into TBLO
};

// Copies the generated stand files that need learning into TBLO. File-system errors pass on.
TbloOutcome lf_copyForLearning(const fs::path& folder, const std::vector<std::string>& codes, bool simaddon) {
  TbloOutcome outcome;
  if (!fs::exists(g_tbloFolder)) {
    fs::create_directory(g_tbloFolder);
  }
  for (const std::string& code : codes) {
    if (lf_suitableForOfflineLearning(code)) {
      ++outcome.done;
      continue;
    }
    const fs::path source = folder / gf_apfFileName(code);
    const fs::path target = g_tbloFolder / gf_apfFileName(code);
    if (gf_copyFileOver(source, target)) {
      gf_log(fmt::format("{} copied to {}", code, gf_pathToUtf8(target)));
      ++outcome.copied;
      if (fs::exists(folder / lf_linkFileName(code))) {
        fs::remove(source);  // the link names the archived file, which learning now replaces
      }
    } else if (simaddon) {
      gf_logError(fmt::format("failed to copy {}", gf_pathToUtf8(source)));
    } else {
      gf_logError(fmt::format("\"{}\" failed to copy \"{}\"", gf_pathToUtf8(source),
                              gf_pathToUtf8(target)));
    }
  }
  return outcome;
}

void lf_askForLearningFiles() {
  gf_log("\n");
  gf_logError(fmt::format("zip folder \"{}\", and mail to \"{}\" please!\n",
                          gf_pathToUtf8(g_tbloFolder), kSupportAddress));
}

// Scans the folders in list order, noting those walked; false when a stop or exit request cut
// the scan short.
bool lf_scanFolders(const std::vector<std::string>& folders, std::vector<std::string>& walked) {
  for (const std::string& folder : folders) {
    if (g_stopRequested.load() || g_exitRequested.load() || !lf_scanFolder(folder, walked)) {
      return false;
    }
  }
  return true;
}

// The state of a listed folder. Test seam: a folder below one that ZENDRIK_SCAN_NO_ENTRY names
// cannot be looked at, as the system answers for a folder inside one that may not be entered.
fs::file_status lf_listedFolderStatus(const fs::path& path, std::error_code& error) {
  for (fs::path above = path.parent_path(); above.has_relative_path();
       above = above.parent_path()) {
    if (lf_namedNoEntry(above)) {
      error = std::make_error_code(std::errc::permission_denied);
      return fs::file_status(fs::file_type::none);
    }
  }
  return fs::status(path, error);
}

// The result line of a scan that passed places over, the first named in it, then the others (the
// first kPlacesLogged; the scan log names them all).
void lf_logPassedOver(const std::vector<PassedOverPlace>& places) {
  constexpr std::size_t kPlacesLogged = 20;
  gf_log(fmt::format("Airports scan partial: {} passed over, the first {}: {}",
                     lf_passedOverCount(places), places.front().path, places.front().cause));
  for (std::size_t k = 1; k < places.size() && k < kPlacesLogged; ++k) {
    gf_logIndented(fmt::format("also passed over {}: {}", places[k].path, places[k].cause));
  }
  if (places.size() > kPlacesLogged) {
    gf_logIndented(fmt::format("and {} more, named in {}", places.size() - kPlacesLogged,
                               gf_pathToUtf8(g_airportsScanLogFile)));
  }
}

void lf_writeScanLog() {
  std::vector<std::string> lines;
  {
    std::lock_guard lock(g_scanLogMutex);
    lines.swap(g_scanLogLines);
  }
  std::error_code ignored;
  fs::create_directories(g_airportsScanLogFile.parent_path(), ignored);
  gf_writeStringVectorToFile(lines, g_airportsScanLogFile);
  gf_log(gf_pathToUtf8(g_airportsScanLogFile) + " written");
  gf_clearMessage();
}

}  // namespace

std::string lf_passedOverCount(const std::vector<PassedOverPlace>& places) {
  const auto files = static_cast<std::size_t>(
      std::count_if(places.begin(), places.end(), [](const PassedOverPlace& p) { return p.file; }));
  const std::size_t folders = places.size() - files;
  const std::string folderText = fmt::format("{} folder{}", folders, gf_plural(folders));
  const std::string fileText = fmt::format("{} file{}", files, gf_plural(files));
  return files == 0 ? folderText : folders == 0 ? fileText : folderText + " and " + fileText;
}

bool lf_scanFolder(const std::string& folder, std::vector<std::string>& walked) {
  if (folder.empty()) {
    return true;
  }
  const fs::path path = gf_winPath(folder);
  std::error_code error;
  const fs::file_status status = lf_listedFolderStatus(path, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    // Not looked at, as a folder the walk may not enter: every start would find it so.
    lf_scanPassOver("reach folder", {gf_pathToUtf8(path), error.message(), false});
    return true;
  }
  if (!fs::exists(status)) {
    gf_showMessage(folder + " does not exist, skipped!", true);
  } else if (fs::is_directory(status)) {
    if (!lf_inSimScenery(gf_pathToUtf8(path))) {
      walked.push_back(gf_pathToUtf8(path));
      return lf_scanBglFolder(path);
    }
  } else {
    gf_showMessage(folder + " is not a folder name, skipped!", true);
  }
  return true;
}

AirportsScanEnd lf_scanAirports(const std::vector<std::string>& folders, NewStandFiles& newFiles) {
  try {
    if (fs::exists(g_airportsScanLogFile)) {
      fs::remove(g_airportsScanLogFile);
    }
  } catch (const std::exception&) {
    gf_log("problems with removing previous files (maybe still open?)");
  }
  // Each scan reports its own result, not one of an earlier scan of this process.
  g_scanFoundAirports.store(false);
  g_scanPassedOver.clear();
  {
    std::lock_guard lock(g_scanLogMutex);
    g_scanLogLines.reserve(kScanLogReserve);
  }
  g_simulatorName = "P3D";
  ScanReach reach;
  const bool complete = lf_scanFolders(folders, reach.walked);
  lf_writeScanLog();
  if (!complete) {
    gf_logError(
        "airports scan cut short: the stand files of the previous scan are kept, the "
        "scan runs again at the next start");
    return AirportsScanEnd::kPreviousKept;
  }
  // Passed over, a place's airports are not found: their previous files are kept.
  reach.passedOver = g_scanPassedOver.all();
  const bool partial = !reach.passedOver.empty();
  if ((partial && !newFiles.keepAirportsNotFound(reach)) || !newFiles.swapIn()) {
    return AirportsScanEnd::kPreviousKept;
  }
  g_tbloCount = 0;  // TBLO held the previous scan's copies until now
  const std::vector<std::string> thirdparty = gf_getXmlFiles(g_myThirdpartyDir);
  const std::vector<std::string> orbx = gf_getXmlFiles(g_myORBXDir);
  g_airportsScanDone.store(orbx.empty() ? 1 : 0);
  g_mainWindowState.invalidate(kLampsArea);
  if (fs::exists(g_tbloFolder)) {
    fs::remove_all(g_tbloFolder);
  }
  std::size_t copiedThisScan = 0;
  if (!orbx.empty()) {
    const TbloOutcome outcome = lf_copyForLearning(g_myORBXDir, orbx, true);
    copiedThisScan += outcome.copied;
    g_airportsScanDone.store(outcome.done + outcome.copied == orbx.size() ? 1 : 0);
    g_mainWindowState.invalidate(kLampsArea);
    if (outcome.copied > 0) {
      g_tbloCount = static_cast<std::uint32_t>(outcome.copied);
      lf_askForLearningFiles();
    } else {
      gf_log("All your ORBX airports are done, no off line learning needed.");
      if (copiedThisScan == 0) {
        fs::remove_all(g_tbloFolder);
      }
    }
  }
  if (!thirdparty.empty()) {
    const TbloOutcome outcome = lf_copyForLearning(g_myThirdpartyDir, thirdparty, false);
    copiedThisScan += outcome.copied;
    if (outcome.copied > 0) {
      g_tbloCount += static_cast<std::uint32_t>(outcome.copied);
      lf_askForLearningFiles();
    } else {
      gf_log("All your third party airports are done, no off line learning needed.");
      if (copiedThisScan == 0) {
        fs::remove_all(g_tbloFolder);
      }
    }
  }
  const bool found = g_scanFoundAirports.load();
  if (partial) {
    lf_logPassedOver(reach.passedOver);
  } else if (found) {
    gf_log("Airports scan successful");
  }
  return found     ? AirportsScanEnd::kFound
         : partial ? AirportsScanEnd::kNothingFoundPassedOver
                   : AirportsScanEnd::kNothingFound;
}

void gf_scanAirports() {
  gf_showMessage("Scanning for addon airports ...", false);
  const bool automatic = g_paramAfgAutomatic.value();
  gf_log(fmt::format("\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++",
                     automatic ? "automatic " : "manual "));
  std::vector<std::string> folders;
  folders.reserve(kFoldersReserve);
  if (automatic) {
    lf_readSceneryCfg(folders);
    lf_readSceneryAddOnsXml(folders);
  } else {
    lf_checkAfolder(g_paramAfolder, folders);
    if (folders.empty()) {
      throw qvb::UserErrorException(49, "Set afolder parameter(-s) to your add-on airports first, see Manual 6.1");
    }
  }
  if (!gf_recoverStandFileSwap()) {
    return;  // SCAN_AIRPORTS stays on; the line logged says why
  }
  NewStandFiles newFiles;
  const AirportsScanEnd end = lf_scanAirports(folders, newFiles);
  if (end == AirportsScanEnd::kPreviousKept) {
    return;  // SCAN_AIRPORTS stays on: the next start scans again
  }
  if (end == AirportsScanEnd::kNothingFound) {
    gf_showMessage("Warning: Scan has not found any add-on airports", true);
  } else if (end == AirportsScanEnd::kNothingFoundPassedOver) {
    gf_showMessage(fmt::format("Warning: Scan has found no add-on airports, but it passed over "
                               "{} it could not read (see Log.txt)",
                               lf_passedOverCount(g_scanPassedOver.all())),
                   true);
  }
  g_paramScanAirports.setValue(false);
  gf_saveBoolParameter(g_paramScanAirports);
  if (HWND box = g_paramScanAirports.hwnd.load()) {
    SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  g_mainWindowState.invalidate(kSettingsArea);
  gf_log("-------------------------- airports scan ends    ----------------------------\n");
}
