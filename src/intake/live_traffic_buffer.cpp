// The live-traffic buffer between the traffic reader thread, which appends, and the engine step
// on the worker, which takes every waiting report and gives back those that are to wait another
// step. Both hold g_trafficMutex only to move reports.
#include <algorithm>
#include <iterator>

#include "intake/intake.h"

std::deque<TrafficReport> g_liveTrafficBuffer;
std::mutex g_trafficMutex;
bool g_acceptTraffic = false;

void gf_setAcceptTraffic(bool accept) {
  std::lock_guard lock(g_trafficMutex);
  g_acceptTraffic = accept;
}

std::size_t gf_appendTrafficReport(const TrafficReport& report) {
  std::lock_guard lock(g_trafficMutex);
  if (!g_acceptTraffic) return 0;
  std::size_t dropped = 0;
  if (g_liveTrafficBuffer.size() >= kLiveTrafficBufferCap) {
    g_liveTrafficBuffer.pop_front();
    dropped = 1;
  }
  TrafficReport& r = g_liveTrafficBuffer.emplace_back(report);
  r.position.dueTime = static_cast<std::int32_t>(g_tickCount.load() + kReportDelaySteps);
  return dropped;
}

void gf_takeTrafficReports(std::deque<TrafficReport>& taken) {
  taken.clear();
  std::lock_guard lock(g_trafficMutex);
  // A swap, not a move of the elements: the blocks the buffer grew to leave with `taken`.
  if (!g_liveTrafficBuffer.empty()) taken.swap(g_liveTrafficBuffer);
}

std::size_t gf_returnTrafficReports(std::deque<TrafficReport>& waiting) {
  std::lock_guard lock(g_trafficMutex);
  std::move(g_liveTrafficBuffer.begin(), g_liveTrafficBuffer.end(), std::back_inserter(waiting));
  waiting.swap(g_liveTrafficBuffer);
  waiting.clear();
  std::size_t dropped = 0;
  for (; g_liveTrafficBuffer.size() > kLiveTrafficBufferCap; ++dropped) {
    g_liveTrafficBuffer.pop_front();
  }
  return dropped;
}
