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

// Appends one line to the scan log; callable from any thread.
void lf_scanLog(std::string line);
