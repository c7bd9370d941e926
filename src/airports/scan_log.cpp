// Owner of the scan log lines, the scan result flag and the places the scan passed over.
#include "airports/scan_log.h"

#include <fmt/format.h>

std::vector<std::string> g_scanLogLines;
std::mutex g_scanLogMutex;
std::atomic<bool> g_scanFoundAirports{false};
PassedOverPlaces g_scanPassedOver;

void lf_scanLog(std::string line) {
  std::lock_guard lock(g_scanLogMutex);
  g_scanLogLines.push_back(std::move(line));
}

void lf_scanPassOver(const std::string& what, PassedOverPlace place) {
  lf_scanLog(
      fmt::format("===> airports search cannot {} {}, skipped: {}", what, place.path, place.cause));
  g_scanPassedOver.add(std::move(place));
}

void PassedOverPlaces::add(PassedOverPlace place) {
  std::lock_guard lock(m_mutex);
  m_places.push_back(std::move(place));
}

void PassedOverPlaces::clear() {
  std::lock_guard lock(m_mutex);
  m_places.clear();
}

std::vector<PassedOverPlace> PassedOverPlaces::all() const {
  std::lock_guard lock(m_mutex);
  return m_places;
}
