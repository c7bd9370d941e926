// The stand files of an airports scan in the making (worker thread, the scan tasks write into
// them): built beside my_ORBX and my_thirdparty and moved in place of the previous scan's files
// only once the scan has completed. A scan cut short by a close, or one that fails, leaves the
// previous files as they were; a swap that a kill ends half way is finished or undone at the
// next start.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "airports/scan.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/strings.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

// Set while a NewStandFiles lives: the scan tasks then write into its folders.
std::atomic<bool> g_buildingNewStandFiles{false};

// The new scan's folders and, during the swap, the old files' folders, beside the live ones.
fs::path lf_newRoot() {
  return g_airportsDir / "scan_new";
}
fs::path lf_oldRoot() {
  return g_airportsDir / "scan_old";
}
// Written once every previous file is in scan_old: from then on the swap goes forward, also at
// a later start, since scan_new and the live folders hold the whole new set (a swap begins only
// after a whole scan). Without it, the previous files go back. Removed last of scan_old.
fs::path lf_forwardMark() {
  return lf_oldRoot() / "forward";
}

struct FolderTrio {
  fs::path live;
  fs::path fresh;  // this scan's files
  fs::path old;    // the previous scan's files while the swap runs
};

std::vector<FolderTrio> lf_folders() {
  std::vector<FolderTrio> trios;
  for (const fs::path& live : {g_myORBXDir, g_myThirdpartyDir}) {
    trios.push_back({live, lf_newRoot() / live.filename(), lf_oldRoot() / live.filename()});
  }
  return trios;
}

using Moves = std::vector<std::pair<fs::path, fs::path>>;  // from, to; in the order made

// Test seam: ZENDRIK_SWAP_END_AFTER=n ends the process at once, as a kill would, after the
// swap's nth file move (0: before the first), for a test to start it again on what it left.
void lf_endAfterMoveSeam(std::size_t moves) {
  constexpr int kEndedAsKilled = 137;
  const char* text = std::getenv("ZENDRIK_SWAP_END_AFTER");
  if (text != nullptr && std::to_string(moves) == text) {
    std::_Exit(kEndedAsKilled);
  }
}

// Moves one file where none of its name is: a stand file is never overwritten. Throws when it
// cannot.
void lf_moveFile(const fs::path& from, const fs::path& to) {
  if (fs::exists(fs::symlink_status(to))) {
    throw fs::filesystem_error("rename", from, to, std::make_error_code(std::errc::file_exists));
  }
  fs::rename(from, to);
}

// The regular files of a folder; none when it does not exist.
std::vector<fs::path> lf_regularFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  if (fs::is_directory(folder)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.is_regular_file()) {
        files.push_back(entry.path());
      }
    }
  }
  return files;
}

// The airport a stand or link file belongs to, in capitals: "KLAX" of KLAX.xml and KLAX.txt.
std::string lf_airportOf(const fs::path& file) {
  std::string airport = gf_pathToUtf8(file.stem());
  std::transform(airport.begin(), airport.end(), airport.begin(), gf_asciiUpper);
  return airport;
}

// Files by the airport they belong to.
std::map<std::string, std::vector<fs::path>> lf_airportFiles(const std::vector<fs::path>& files) {
  std::map<std::string, std::vector<fs::path>> byAirport;
  for (const fs::path& file : files) {
    byAirport[lf_airportOf(file)].push_back(file);
  }
  for (auto& [airport, itsFiles] : byAirport) {
    std::sort(itsFiles.begin(), itsFiles.end());
  }
  return byAirport;
}

// Whether an airport's stand file records a BGL file that is certainly gone from where the scan
// looked: the airport is then dropped, its link file with it, as a whole scan drops it.
bool lf_bglGone(const std::vector<fs::path>& airportFiles, const ScanReach& reach) {
  return std::any_of(airportFiles.begin(), airportFiles.end(), [&](const fs::path& file) {
    const bool standFile = gf_equalsUpper(".XML", gf_pathToUtf8(file.extension()));
    const std::string bglPath = standFile ? lf_recordedBglPath(file) : "";
    return !bglPath.empty() && lf_bglGoneFromReach(bglPath, reach);
  });
}

// ": a, b, c" of at most kNamesLogged names, with how many more; "" for none.
std::string lf_namesText(const std::vector<std::string>& names) {
  constexpr std::size_t kNamesLogged = 20;
  if (names.empty()) {
    return {};
  }
  std::string text = ": ";
  for (std::size_t k = 0; k < names.size() && k < kNamesLogged; ++k) {
    text += (k > 0 ? ", " : "") + names[k];
  }
  if (names.size() > kNamesLogged) {
    text += fmt::format(" and {} more", names.size() - kNamesLogged);
  }
  return text;
}

// Moves the regular files of one folder into another (made when missing); folders in it stay
// (a user's own park airport folders in my_thirdparty). Throws at the first move that fails.
// `swap`: the swap's own moves, which its test seam counts.
void lf_moveFiles(const fs::path& from, const fs::path& to, Moves& done, bool swap) {
  if (!fs::is_directory(from)) {
    return;
  }
  const std::vector<fs::path> files = lf_regularFiles(from);
  fs::create_directories(to);
  for (const fs::path& file : files) {
    const fs::path target = to / file.filename();
    lf_moveFile(file, target);
    done.emplace_back(file, target);
    if (swap) {
      lf_endAfterMoveSeam(done.size());
    }
  }
}

// Takes the moves from `first` on back, last first; false when one could not be taken back.
bool lf_undoMoves(const Moves& done, std::size_t first) {
  bool all = true;
  for (std::size_t k = done.size(); k > first; --k) {
    const auto& [from, to] = done[k - 1];
    try {
      lf_moveFile(to, from);
    } catch (const fs::filesystem_error& e) {
      gf_logError(fmt::format("{} could not be moved back to {}: {}", gf_pathToUtf8(to),
                              gf_pathToUtf8(from), e.code().message()));
      all = false;
    }
  }
  return all;
}

// Takes a failed swap back: the new files to scan_new, the mark away, then the previous files
// to their places; a kill in between leaves a state that the next start finishes or undoes.
// `newFrom` is where the new files' moves begin, once the mark is written.
void lf_takeBack(const Moves& done, std::optional<std::size_t> newFrom) {
  if (newFrom && !lf_undoMoves(done, *newFrom)) {
    return;  // the mark stays: the next start finishes the swap
  }
  std::error_code error;
  fs::remove(lf_forwardMark(), error);
  if (error) {
    gf_logError(fmt::format("{} could not be removed: {}", gf_pathToUtf8(lf_forwardMark()),
                            error.message()));
    return;  // the next start finishes the swap
  }
  lf_undoMoves(done, 0);
}

// Removes the folder and its subfolders when they hold no file; a file keeps them.
void lf_removeEmptyFolders(const fs::path& root) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(root, error)) {
    if (entry.is_directory()) {
      fs::remove(entry.path(), error);
    }
  }
  fs::remove(root, error);
}

// Removes scan_old after a swap, its mark last; false, logged with the reason, when it cannot.
bool lf_removeOldRoot() {
  std::error_code error;
  for (const FolderTrio& trio : lf_folders()) {
    if (!error) {
      fs::remove_all(trio.old, error);
    }
  }
  if (!error) {
    fs::remove(lf_forwardMark(), error);
  }
  if (!error) {
    fs::remove_all(lf_oldRoot(), error);
  }
  if (error) {
    gf_logError(
        fmt::format("{} could not be removed: {}", gf_pathToUtf8(lf_oldRoot()), error.message()));
  }
  return !error;
}

void lf_writeForwardMark() {
  std::ofstream mark(lf_forwardMark(), std::ios::binary);
  mark.close();
  if (!mark) {
    throw fs::filesystem_error("write", lf_forwardMark(),
                               std::make_error_code(std::errc::io_error));
  }
}

// Whether a swap has passed its mark and not yet ended: scan_new may hold live files.
bool lf_goingForward() {
  std::error_code error;
  return fs::exists(lf_forwardMark(), error) || error;
}

}  // namespace

NewStandFiles::NewStandFiles() {
  std::error_code ignored;
  fs::remove_all(lf_newRoot(), ignored);  // what an earlier process left unfinished
  g_buildingNewStandFiles.store(true);
}

NewStandFiles::~NewStandFiles() {
  g_buildingNewStandFiles.store(false);
  if (!lf_goingForward()) {
    std::error_code ignored;
    fs::remove_all(lf_newRoot(), ignored);
  }
}

bool NewStandFiles::swapIn() {
  lf_removeEmptyFolders(lf_oldRoot());
  if (std::error_code error; fs::exists(lf_oldRoot(), error) || error) {
    // Files an earlier swap could not move back: never overwritten.
    gf_logError(fmt::format(
        "{} holds stand files of an earlier scan: move them back into {} and "
        "{}, the previous ones are kept",
        gf_pathToUtf8(lf_oldRoot()), gf_pathToUtf8(g_myORBXDir), gf_pathToUtf8(g_myThirdpartyDir)));
    return false;
  }
  lf_endAfterMoveSeam(0);
  Moves done;
  std::optional<std::size_t> newFrom;
  try {
    // All old files out first: a new file never meets an old one of its name.
    for (const FolderTrio& trio : lf_folders()) {
      lf_moveFiles(trio.live, trio.old, done, true);
    }
    fs::create_directories(lf_oldRoot());
    lf_writeForwardMark();
    newFrom = done.size();
    for (const FolderTrio& trio : lf_folders()) {
      lf_moveFiles(trio.fresh, trio.live, done, true);
    }
  } catch (const std::exception& e) {
    gf_logError(
        fmt::format("the stand files of this airports scan could not replace those of the "
                    "previous scan ({}): the previous ones are kept",
                    e.what()));
    lf_takeBack(done, newFrom);
    lf_removeEmptyFolders(lf_oldRoot());
    return false;
  }
  lf_removeOldRoot();
  return true;
}

bool NewStandFiles::keepAirportsNotFound(const ScanReach& reach) {
  std::vector<std::string> kept;  // "my_ORBX/EGLL.txt"
  try {
    for (const FolderTrio& trio : lf_folders()) {
      std::set<std::string> found;
      for (const fs::path& file : lf_regularFiles(trio.fresh)) {
        found.insert(lf_airportOf(file));
      }
      for (const auto& [airport, files] : lf_airportFiles(lf_regularFiles(trio.live))) {
        if (found.contains(airport) || lf_bglGone(files, reach)) {
          continue;
        }
        fs::create_directories(trio.fresh);
        for (const fs::path& file : files) {
          fs::copy_file(file, trio.fresh / file.filename());
          kept.push_back(gf_pathToUtf8(trio.live.filename() / file.filename()));
        }
      }
    }
  } catch (const std::exception& e) {
    gf_logError(fmt::format("the stand files of the airports this scan did not find could not "
                            "be kept ({}): the previous ones are kept",
                            e.what()));
    return false;
  }
  gf_log(fmt::format("{} stand file{} of airports this scan did not find kept{}", kept.size(),
                     gf_plural(kept.size()), lf_namesText(kept)));
  return true;
}

bool gf_recoverStandFileSwap() {
  lf_removeEmptyFolders(lf_oldRoot());
  if (std::error_code error; !fs::exists(lf_oldRoot(), error) && !error) {
    return true;
  }
  const bool forward = lf_goingForward();
  try {
    Moves done;
    for (const FolderTrio& trio : lf_folders()) {
      lf_moveFiles(forward ? trio.fresh : trio.old, trio.live, done, false);
    }
  } catch (const std::exception& e) {
    gf_logError(
        fmt::format("an interrupted swap of the airports scan's stand files could not be {}: {}",
                    forward ? "finished" : "undone", e.what()));
    return false;
  }
  if (!lf_removeOldRoot()) {
    return false;
  }
  std::error_code ignored;
  fs::remove_all(lf_newRoot(), ignored);
  gf_log(forward ? "an interrupted swap of the airports scan's stand files was finished: the "
                   "new stand files are in place"
                 : "an interrupted swap of the airports scan's stand files was undone: the "
                   "previous stand files are in place");
  return true;
}

fs::path lf_scanOutputDir(bool simaddon) {
  const fs::path& live = simaddon ? g_myORBXDir : g_myThirdpartyDir;
  return g_buildingNewStandFiles.load() ? lf_newRoot() / live.filename() : live;
}
