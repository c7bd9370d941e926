// The BGL folder walk (worker thread) and the task of one BGL file (on the folder scan's pool of
// scan threads): each airport of the file is linked to the archive or gets a generated stand
// file.
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
  if (error && error != std::errc::no_such_file_or_directory) {
    throw fs::filesystem_error("status", path, error);
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
    return true;
  }
  PendingTasks pending;
  bool stopped = false;
  try {
    const std::string simScenery = gf_simSceneryDirText();
    fs::recursive_directory_iterator it(folder);
    while (it != fs::recursive_directory_iterator()) {
      try {
        stopped = lf_scanEntry(it, simScenery, *pool, pending);
      } catch (const std::exception& e) {
        lf_scanLog(fmt::format("{} airports search in folder {} aborted, cause: {}", "===> ",
                               gf_pathToUtf8(folder), e.what()));
      }
      if (stopped) {
        break;
      }
      ++it;  // throws when the walk cannot go on
    }
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
  return !stopped;
}

void lf_toParkingPositions(const fs::path& bglPath) {
  try {
    BglWords words;
    if (lf_readAirportBglWords(bglPath, words)) {
      const std::string pathText = gf_pathToUtf8(bglPath);
      lf_walkBglAirports(words, [&](const BglAirportRecord& record) { lf_toAirport(words, record, pathText); });
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
