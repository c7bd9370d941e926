// The BGL folder walk (worker thread) and the task of one BGL file (on the folder scan's pool of
// scan threads): each airport of the file is linked to the archive or gets a generated stand
// file.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <future>
#include <memory>

#include <fmt/format.h>

#include "airports/scan.h"
#include "airports/scan_log.h"
#include "foundation/log.h"
#include "foundation/run_state.h"
#include "foundation/scan_task_pool.h"
#include "foundation/scan_throttle.h"
#include "foundation/strings.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;
using PendingTasks = std::deque<std::future<void>>;

// Whether a path lies in the Scenery folder of the given text. An unknown folder (empty text)
// holds nothing: taken as holding everything, it hid every add-on folder of an undetected
// simulator.
bool lf_inSceneryText(const std::string& pathText, const std::string& scenery) {
  return !scenery.empty() && pathText.find(scenery) != std::string::npos;
}

// Handles one entry of the walk; true when the walk is to end (stop or exit requested). The
// simulator's Scenery folder text is worked out once per folder scan: finding its letter case
// on disk for every entry cost more than the entry.
bool lf_scanEntry(fs::recursive_directory_iterator& it, const std::string& simScenery,
                  ScanTaskPool& pool, PendingTasks& pending) {
  const fs::path path = it->path();
  const std::string text = gf_pathToUtf8(path);
  if (lf_inSceneryText(text, simScenery)) {
    it.disable_recursion_pending();
    return false;
  }
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  // What the entry is cannot be told (a link to itself, to a drive or share that is not there;
  // not every system tells such a link from an entry deleted since it was listed): passed over
  // as a BGL file or a folder that cannot be opened, so that the airports behind it keep their
  // stand files until a scan finds it readable or gone.
  if (error) {
    const bool bglFile = lf_isBglFile(gf_pathToUtf8(path.extension()));
    lf_scanPassOver("read the state of", {text, error.message(), bglFile});
    return false;
  }
  // The header's look for an airport section is the task's, on the file it reads: the walk
  // opens no file.
  const bool candidate =
      fs::is_regular_file(status) && lf_isBglFile(gf_pathToUtf8(path.extension())) &&
      text.find("statics") == std::string::npos && text.find("_heliports") == std::string::npos;
  if (!candidate) {
    return false;
  }
  if (g_stopRequested.load() || g_exitRequested.load()) {
    return true;
  }
  pending.push_back(pool.post([path] { lf_toParkingPositions(path); }));
  if (pending.size() > static_cast<std::size_t>(std::max(g_maxThreads.load(), 1))) {
    std::future<void> oldest = std::move(pending.front());
    const std::size_t count = pending.size();
    pending.pop_front();
    try {
      oldest.get();
    } catch (const std::exception& e) {
      lf_scanLog(fmt::format("{} airports search aborted, futs inner, \n{}\n{}\n{}", "===> ", e.what(),
                             count, text));
    }
  }
  return false;
}

// Whether an error of opening a folder means that the walk may not enter it (no permission, a
// path too long for the system): such a folder is passed over, as every start would find it so.
// Any other error (a drive gone, a read error) ends the walk.
bool lf_mayNotEnter(const std::error_code& error) {
  return error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
         error == std::errc::filename_too_long;
}

// The error of opening the folder.
std::error_code lf_folderOpenError(const fs::path& folder) {
  if (lf_namedNoEntry(folder)) {
    return std::make_error_code(std::errc::permission_denied);
  }
  std::error_code error;
  const fs::directory_iterator probe(folder, error);
  return error;
}

// False, with a scan-log line, for a folder the walk may not enter; the scan counts it as passed
// over. Throws when the folder cannot be opened for another reason: the walk cannot go on.
bool lf_canEnter(const fs::path& folder) {
  const std::error_code error = lf_folderOpenError(folder);
  if (!error) {
    return true;
  }
  if (!lf_mayNotEnter(error)) {
    throw fs::filesystem_error("directory iterator cannot open directory", folder, error);
  }
  lf_scanPassOver("enter folder", {gf_pathToUtf8(folder), error.message(), false});
  return false;
}

// Whether the walk would descend into the entry: a folder, not a link to one.
bool lf_descends(const fs::recursive_directory_iterator& it) {
  std::error_code error;
  return it.recursion_pending() && it->symlink_status(error).type() == fs::file_type::directory;
}

// Walks the folder tree, a task for each candidate; false when a stop or exit request ended the
// walk. Throws when the walk cannot go on (the tasks it started are left to the caller).
bool lf_walkFolder(const fs::path& folder, ScanTaskPool& pool, PendingTasks& pending) {
  if (!lf_canEnter(folder)) {
    return true;
  }
  const std::string simScenery = gf_simSceneryDirText();
  // ++ throws when the walk cannot go on
  for (fs::recursive_directory_iterator it(folder); it != fs::recursive_directory_iterator();
       ++it) {
    if (lf_scanEntry(it, simScenery, pool, pending)) {
      return false;
    }
    if (lf_descends(it) && !lf_canEnter(it->path())) {
      it.disable_recursion_pending();
    }
  }
  return true;
}

}  // namespace

bool lf_isBglFile(const std::string& extension) { return extension == ".BGL" || extension == ".bgl"; }

std::string gf_simSceneryDirText() {
  const std::string install = g_paramSimInstallPath.value();
  return install.empty() ? std::string() : gf_pathToUtf8((gf_winPath(install) / "Scenery"));
}

bool lf_inSimScenery(const std::string& pathText) {
  return lf_inSceneryText(pathText, gf_simSceneryDirText());
}

bool lf_scanBglFolder(const fs::path& folder) {
  lf_scanLog(std::string("Scanning for ") + "addon airports in " + gf_pathToUtf8(folder));
  // A limit below one would never let a task start (the livery scan guards it alike).
  if (g_maxThreads.load() < 1) {
    g_maxThreads.store(1);
  }
  std::unique_ptr<ScanTaskPool> pool;
  try {
    pool = std::make_unique<ScanTaskPool>(g_maxThreads.load());
  } catch (const std::exception& e) {
    lf_scanLog(fmt::format("{} airports search in folder {} aborted, cause: {}", "===> ",
                           gf_pathToUtf8(folder), e.what()));
    return false;  // not scanned: its airports' stand files must not be dropped
  }
  PendingTasks pending;
  bool whole = false;
  try {
    whole = lf_walkFolder(folder, *pool, pending);
  } catch (const std::exception& e) {
    // The tasks already started are still waited for below: they write stand files and scan-log
    // lines, which must not arrive after the scan log has been written.
    lf_scanLog(
        fmt::format("{} airports search in folder {} aborted because of iterator problem: {}",
                    "===> ", gf_pathToUtf8(folder), e.what()));
  }
  while (!pending.empty()) {
    std::future<void> oldest = std::move(pending.front());
    pending.pop_front();
    try {
      oldest.get();
    } catch (const std::exception& e) {
      lf_scanLog(fmt::format("{} airports search in {} aborted, futs outer error: {}", "===> ",
                             gf_pathToUtf8(folder), e.what()));
    }
  }
  return whole;
}

bool lf_namedNoEntry(const fs::path& path) {
  const char* names = std::getenv("ZENDRIK_SCAN_NO_ENTRY");
  if (names == nullptr) {
    return false;
  }
  const std::vector<std::string> named = gf_split(names, '|');
  return std::find(named.begin(), named.end(), gf_pathToUtf8(path.filename())) != named.end();
}

void lf_toParkingPositions(const fs::path& bglPath) {
  try {
    BglWords words;
    std::error_code error;
    if (lf_namedNoEntry(bglPath)) {
      error = std::make_error_code(std::errc::permission_denied);
    } else if (lf_readAirportBglWords(bglPath, words, error)) {
      const std::string pathText = gf_pathToUtf8(bglPath);
      lf_walkBglAirports(words, [&](const BglAirportRecord& record) { lf_toAirport(words, record, pathText); });
    }
    // Not read, its airports are not seen: the scan passes the file over as it does a folder.
    if (error) {
      lf_scanPassOver("read file", {gf_pathToUtf8(bglPath), error.message(), true});
    }
  } catch (...) {
    gf_logError("Exception in lf_toParkingPositions: " + gf_pathToUtf8(bglPath));
    throw;
  }
}

void lf_toAirport(const BglWords& words, const BglAirportRecord& record, const std::string& bglPath) {
  AirportFile file;
  file.ICAO = record.ident;
  int archivedCount = 0;
  const bool linked = lf_linkToArchive(file, archivedCount, bglPath);
  const int helipads = lf_readBglAirport(words, record, bglPath, file);
  const auto standCount = static_cast<std::int64_t>(file.stands.size());
  const bool moreThanArchived = standCount > archivedCount && file.publisher != "simaddon";
  if (moreThanArchived) {
    lf_scanLog(fmt::format("{}{} has {} parkpos while archived one has {}", "===> ", file.ICAO,
                           standCount, archivedCount));
  }
  if (!linked || moreThanArchived) {
    lf_generateApf(file, helipads);
  }
}
