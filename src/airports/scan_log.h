// The airports scan's own log and result, shared by the parallel scan tasks.
#pragma once

#include <atomic>
#include <cstddef>
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

// The folders the walk could not enter and passed over, this scan: how many, and the first with
// its cause ("<folder>: <cause>"). Kept by the folder walk and read by the driver after it, both
// on the worker thread.
struct PassedOverFolders {
  std::size_t count = 0;
  std::string first;
};
extern PassedOverFolders g_scanPassedOver;

// Appends one line to the scan log; callable from any thread.
void lf_scanLog(std::string line);
