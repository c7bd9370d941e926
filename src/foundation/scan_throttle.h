// The limit on concurrently running scan tasks (livery and airport scans share it).
#pragma once

#include <atomic>

// Running scan tasks. Reset to 0 by the worker at start-up; raised by a scan task's thread as it
// takes its slot (gf_takeThreadSlot), lowered as the task ends (gf_threadDone).
extern std::atomic<int> g_numThreads;
// Limit, set by the worker to the hardware thread count before any scan starts.
extern std::atomic<int> g_maxThreads;

// Waits until fewer than g_maxThreads tasks run and counts the caller's task, in one atomic step,
// so that no two takers can pass the limit together. Blocks on the counter (no polling); a
// change of g_maxThreads alone does not wake it.
void gf_takeThreadSlot();
// Lowers g_numThreads by one and wakes the takers waiting for a slot.
void gf_threadDone();

// One slot, held for the lifetime of the object: taken when it is made, given back when it ends.
class ScanSlot {
 public:
  ScanSlot() { gf_takeThreadSlot(); }
  ~ScanSlot() { gf_threadDone(); }
  ScanSlot(const ScanSlot&) = delete;
  ScanSlot& operator=(const ScanSlot&) = delete;
};
