// Owner of the scan log lines and the scan result flag.
#include "airports/scan_log.h"

std::vector<std::string> g_scanLogLines;
std::mutex g_scanLogMutex;
std::atomic<bool> g_scanFoundAirports{false};
PassedOverFolders g_scanPassedOver;

void lf_scanLog(std::string line) {
  std::lock_guard lock(g_scanLogMutex);
  g_scanLogLines.push_back(std::move(line));
}
