// The parallel walk of one livery folder and the two file tasks. The walk and the collection
// run on the worker thread; the file tasks on the folder scan's pool of scan threads.

#include "liveries/livery_folder_scan.h"

#include <fmt/format.h>

#include <future>
#include <memory>
#include <string_view>
#include <vector>

#include "foundation/log.h"
#include "foundation/scan_task_pool.h"
#include "foundation/scan_throttle.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "liveries/aircraft_cfg_reader.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

using TaskFuture = std::future<std::list<Livery>>;

// Takes the records of a finished task into the catalogue. The catalogue is sorted after the
// scan, so appending keeps every record and loses no order that matters.
void lf_takeRecords(std::list<Livery>& records) {
  g_liveries.splice(g_liveries.end(), records);
}

// Waits for the oldest task and removes it from the list; a task's exception loses only its
// own file's records.
void lf_collectOldest(std::list<TaskFuture>& futures, const char* where) {
  try {
    std::list<Livery> records = futures.front().get();
    lf_takeRecords(records);
  } catch (const std::exception& e) {
    gf_logError(fmt::format("liveries search aborted, futs {}, {}", where, e.what()));
  } catch (...) {
    gf_logError(fmt::format("liveries search aborted, futs {}, unknown exception", where));
  }
  futures.pop_front();
}

// Hands the file's task to the pool, whose thread runs it holding a scan slot.
void lf_startTask(std::int32_t priority, const fs::path& file, bool mtl, ScanTaskPool& pool,
                  std::list<TaskFuture>& futures) {
  futures.push_back(pool.post([priority, file, mtl] {
    return mtl ? lf_searchMtlLiveriesInFile(priority, file)
               : lf_searchLiveriesinFile(priority, file);
  }));
}

bool lf_isCandidate(const fs::directory_entry& entry) {
  if (!entry.is_regular_file()) return false;  // links followed
  if (!gf_equalsUpper(".CFG", gf_pathToUtf8(entry.path().extension()))) return false;
  const std::string stem = gf_pathToUtf8(entry.path().stem());
  return gf_equalsUpper("AIRCRAFT", stem) || gf_equalsUpper("SIM", stem);
}

void lf_examineEntry(fs::recursive_directory_iterator& it, std::string_view folderText,
                     std::int32_t priority, ScanTaskPool& pool, std::list<TaskFuture>& futures) {
  const fs::directory_entry& entry = *it;
  const std::string pathText = gf_pathToUtf8(entry.path());
  // Only the part below the scanned folder is tested for "airport": the user's own folder
  // names above it must not stop the scan.
  std::string_view below = pathText;
  if (below.starts_with(folderText)) below.remove_prefix(folderText.size());
  if (below.find("airport") != std::string_view::npos || pathText.size() >= kMaxScanPathLength) {
    it.disable_recursion_pending();
  }
  if (!lf_isCandidate(entry)) return;
  const bool mtl = pathText.find("ivao_x-csl") != std::string::npos ||
                   pathText.find("IVAO_MTL") != std::string::npos;
  lf_startTask(priority, entry.path(), mtl, pool, futures);
  if (static_cast<std::int64_t>(futures.size()) > static_cast<std::int64_t>(g_maxThreads.load())) {
    lf_collectOldest(futures, "inner");
  }
}

// Runs the section collector over a file's lines.
void lf_collectSections(SectionCollector& state, const std::vector<std::string>& lines, bool mtl) {
  state.lines.reserve(kSectionLinesReserve);
  for (const std::string& line : lines) {
    if (mtl)
      lf_mtlLineStep(state, line);
    else
      lf_lineStep(state, line);
  }
  lf_finishSections(state, mtl);
}

}  // namespace

void lf_searchLiveriesInFolder(std::int32_t priority, const fs::path& folder) {
  // A limit below one would never let a task start.
  if (g_maxThreads.load() < 1) g_maxThreads.store(1);
  const std::string folderText = gf_pathToUtf8(folder);
  std::unique_ptr<ScanTaskPool> pool;
  try {
    pool = std::make_unique<ScanTaskPool>(g_maxThreads.load());
  } catch (const std::exception& e) {
    gf_logError(fmt::format("liveries search in {} aborted, cause: {}", folderText, e.what()));
    return;
  }
  std::list<TaskFuture> futures;
  try {
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
      try {
        lf_examineEntry(it, folderText, priority, *pool, futures);
      } catch (const std::exception& e) {
        gf_logError(fmt::format("liveries search in {} aborted, cause: {}",
                                gf_pathToUtf8(it->path()), e.what()));
      }
    }
  } catch (const std::exception& e) {
    gf_logError(fmt::format("liveries search in folder {} aborted because of iterator problem: {}",
                            folderText, e.what()));
  }
  // Every started task is collected, also after a failed walk: the driver writes and empties
  // the report collections the tasks append to once this returns.
  while (!futures.empty()) lf_collectOldest(futures, "outer");
}

std::list<Livery> lf_searchLiveriesinFile(std::int32_t priority, const fs::path& file) {
  const std::string pathText = gf_pathToUtf8(file);
  try {
    std::list<Livery> result;
    // One opening of the file for its encoding and its lines: the scan reads thousands. A file
    // gone since the walk found it is passed over quietly; one that cannot be opened is logged.
    std::vector<std::string> lines;
    lines.reserve(kCfgLinesReserve);
    int encoding = kTextAnsi;
    if (!gf_readTextFileOnce(file, lines, encoding)) {
      if (encoding == kTextCannotOpen && fs::exists(file)) gf_textFileEncoding(file);
      return result;
    }
    if (!lf_checkFltsimNumbers(lines, pathText)) return result;
    SectionCollector state;
    state.type = lf_modelFromAtcModel(pathText, lines);
    if (state.type.empty()) return result;
    state.priority = priority;
    state.cfgPath = pathText;
    state.folder = lf_folderOf(pathText);
    state.destination = &result;
    lf_collectSections(state, lines, false);
    return result;
  } catch (const std::exception& e) {
    gf_log(fmt::format("exception in lf_searchLiveriesinFile {}: {}", pathText, e.what()));
    throw;
  }
}

std::list<Livery> lf_searchMtlLiveriesInFile(std::int32_t priority, const fs::path& file) {
  const std::string pathText = gf_pathToUtf8(file);
  std::list<Livery> result;
  SectionCollector state;
  state.type = lf_ivaoModelFromPath(pathText);
  if (state.type.empty()) return result;
  state.priority = priority;
  state.cfgPath = pathText;
  state.folder = lf_folderOf(pathText);
  state.destination = &result;
  std::vector<std::string> lines;
  if (!lf_readCfgLines(pathText, lines, true)) return result;
  if (!lf_checkFltsimNumbers(lines, pathText)) return result;
  lf_collectSections(state, lines, true);
  return result;
}
