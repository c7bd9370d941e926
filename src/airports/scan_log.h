// The airports scan's own log and result, shared by the parallel scan tasks.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// Lines of AirportsScanLog.txt in the order they were appended. Appended by any scan task
// through lf_scanLog; read, written out and emptied by the worker after every task has ended.
extern std::vector<std::string> g_scanLogLines;
// Guards g_scanLogLines. A leaf lock: held only while one line is appended.
extern std::mutex g_scanLogMutex;

// Set (atomic store) whenever a scan links an airport to an archived stand file or writes a
// generated one; the scan's result, read by the worker after its folder loop.
extern std::atomic<bool> g_scanFoundAirports;

// One place an airports scan passed over, with the system's words for why ("Permission denied").
struct PassedOverPlace {
  std::string path;  // as the scan walked it (gf_pathToUtf8)
  std::string cause;
  // A BGL file a scan task could not open or read, or an entry of a BGL file's name whose state
  // the walk could not read; else a folder.
  bool file = false;
};

// The places one airports scan passed over, in the order they were met: folders the walk could
// not enter, listed folders and entries whose state could not be read, BGL files a task could
// not open or read. Each scan's airports behind them are not seen, so their stand files are kept.
class PassedOverPlaces {
 public:
  void add(PassedOverPlace place);
  void clear();
  std::vector<PassedOverPlace> all() const;

 private:
  mutable std::mutex m_mutex;  // a leaf lock: held only while a place is added or copied
  std::vector<PassedOverPlace> m_places;
};
// This scan's places passed over. Added to by the walk and the driver (worker thread) and by the
// scan tasks (pool threads); cleared at each scan's start and read by the driver once every task
// has ended (worker thread). Guarded by its own mutex.
extern PassedOverPlaces g_scanPassedOver;

// Appends one line to the scan log; callable from any thread.
void lf_scanLog(std::string line);
// Adds a place to g_scanPassedOver with the scan-log line "===> airports search cannot <what>
// <path>, skipped: <cause>" (what: "enter folder", "read file" ...); callable from any thread.
void lf_scanPassOver(const std::string& what, PassedOverPlace place);
