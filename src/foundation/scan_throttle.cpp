// Limit on concurrently running scan tasks.
#include "foundation/scan_throttle.h"

std::atomic<int> g_numThreads{0};
std::atomic<int> g_maxThreads{1};

void gf_takeThreadSlot() {
  int running = g_numThreads.load();
  for (;;) {
    if (running < g_maxThreads.load()) {
      // A failed exchange reloads `running`, and the limit is tested again.
      if (g_numThreads.compare_exchange_weak(running, running + 1)) return;
      continue;
    }
    g_numThreads.wait(running);
    running = g_numThreads.load();
  }
}

void gf_threadDone() {
  g_numThreads.fetch_sub(1);
  g_numThreads.notify_all();
}
