// The stand files of an airports scan in the making (worker thread, the scan tasks write into
// them): built beside my_ORBX and my_thirdparty and moved in place of the previous scan's files
// only once the scan has completed. A scan cut short by a close, or one that fails, leaves the
// previous files as they were.
#include <atomic>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "airports/scan.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
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

// Moves the regular files of one folder into another (made when missing); folders in it stay
// (a user's own park airport folders in my_thirdparty). Throws at the first move that fails.
void lf_moveFiles(const fs::path& from, const fs::path& to, Moves& done) {
  if (!fs::is_directory(from)) {
    return;
  }
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path());
    }
  }
  fs::create_directories(to);
  for (const fs::path& file : files) {
    const fs::path target = to / file.filename();
    fs::rename(file, target);
    done.emplace_back(file, target);
  }
}

// Takes the moves back, last first: every file returns to where it was before the swap.
void lf_undoMoves(const Moves& done) {
  for (auto move = done.rbegin(); move != done.rend(); ++move) {
    std::error_code error;
    fs::rename(move->second, move->first, error);
    if (error) {
      gf_logError(fmt::format("{} could not be moved back to {}: {}", gf_pathToUtf8(move->second),
                              gf_pathToUtf8(move->first), error.message()));
    }
  }
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

}  // namespace

NewStandFiles::NewStandFiles() {
  std::error_code ignored;
  fs::remove_all(lf_newRoot(), ignored);  // what an earlier process left unfinished
  g_buildingNewStandFiles.store(true);
}

NewStandFiles::~NewStandFiles() {
  g_buildingNewStandFiles.store(false);
  std::error_code ignored;
  fs::remove_all(lf_newRoot(), ignored);
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
  Moves done;
  try {
    // All old files out first: a new file never meets an old one of its name.
    for (const FolderTrio& trio : lf_folders()) {
      lf_moveFiles(trio.live, trio.old, done);
    }
    for (const FolderTrio& trio : lf_folders()) {
      lf_moveFiles(trio.fresh, trio.live, done);
    }
  } catch (const std::exception& e) {
    gf_logError(
        fmt::format("the stand files of this airports scan could not replace those of the "
                    "previous scan ({}): the previous ones are kept",
                    e.what()));
    lf_undoMoves(done);
    lf_removeEmptyFolders(lf_oldRoot());
    return false;
  }
  std::error_code ignored;
  fs::remove_all(lf_oldRoot(), ignored);
  return true;
}

fs::path lf_scanOutputDir(bool simaddon) {
  const fs::path& live = simaddon ? g_myORBXDir : g_myThirdpartyDir;
  return g_buildingNewStandFiles.load() ? lf_newRoot() / live.filename() : live;
}
