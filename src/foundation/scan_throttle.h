// The soft limit on concurrently running scan tasks (livery and airport scans share it).
#pragma once

#include <atomic>

// Running scan tasks. Reset to 0 by the worker at start-up; raised by the scans when they start a
// task, lowered by each task as it ends (gf_threadDone).
extern std::atomic<int> g_numThreads;
// Limit, set by the worker to the hardware thread count before any scan starts.
extern std::atomic<int> g_maxThreads;

// Returns when g_numThreads is below g_maxThreads, sleeping 10 microseconds between tests.
void gf_waitForThreadSlot();
// Lowers g_numThreads by one.
void gf_threadDone();
