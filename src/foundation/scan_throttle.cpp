// Soft limit on concurrently running scan tasks.
#include "foundation/scan_throttle.h"

#include <chrono>
#include <thread>

std::atomic<int> g_numThreads{0};
std::atomic<int> g_maxThreads{1};

void gf_waitForThreadSlot() {
  constexpr auto kPoll = std::chrono::nanoseconds(10000);
  while (g_numThreads.load() >= g_maxThreads.load()) {
    std::this_thread::sleep_until(std::chrono::steady_clock::now() + kPoll);
  }
}

void gf_threadDone() { g_numThreads.fetch_sub(1); }
