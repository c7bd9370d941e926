// The worker thread's identity.
#include "foundation/worker_thread.h"

#include <atomic>
#include <thread>

namespace {
// The worker's id; written by gf_markWorkerThread (worker start), read by any thread.
std::atomic<std::thread::id> g_workerThreadId{};
}  // namespace

void gf_markWorkerThread() { g_workerThreadId.store(std::this_thread::get_id()); }

bool gf_onWorkerThread() { return g_workerThreadId.load() == std::this_thread::get_id(); }
