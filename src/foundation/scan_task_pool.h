// The threads that run the file tasks of one folder scan (livery or airports): a fixed number of
// threads, started with the pool and joined when it ends, taking the queued tasks in the order
// they were posted. Each task runs holding one slot of the scan-task counter
// (foundation/scan_throttle.h): its thread takes the slot just before the task starts and gives
// it back as the task's last action, before the task's result becomes ready. So at most
// g_maxThreads tasks of all scans run at once, a running task is always counted, and once a
// scan has its last result the counter no longer holds any of its tasks.
//
// Threads: the pool is made, fed and destroyed by one scanning thread (the worker); the tasks
// run on the pool's own threads.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "foundation/scan_throttle.h"

class ScanTaskPool {
 public:
  // Starts the threads (at least one). Throws std::system_error when not even one can start;
  // fewer than asked for run the same tasks, only fewer at a time.
  explicit ScanTaskPool(int threads);
  // Runs the tasks still queued, then joins the threads.
  ~ScanTaskPool();
  ScanTaskPool(const ScanTaskPool&) = delete;
  ScanTaskPool& operator=(const ScanTaskPool&) = delete;

  // Queues the task and returns the future of its result, or of the exception it throws. When
  // this throws (no memory), nothing was queued.
  template <class Task>
  std::future<std::invoke_result_t<Task&>> post(Task task);

 private:
  void enqueue(std::function<void()> job);
  void runJobs();

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_jobs;  // guarded by m_mutex
  bool m_closing = false;                    // guarded by m_mutex
  std::vector<std::thread> m_threads;
};

template <class Task>
std::future<std::invoke_result_t<Task&>> ScanTaskPool::post(Task task) {
  using Result = std::invoke_result_t<Task&>;
  // The slot lives inside the packaged function: it is given back when the function is left,
  // by return or by exception, which is before the packaged task stores the result.
  auto job = std::make_shared<std::packaged_task<Result()>>([task = std::move(task)]() mutable {
    ScanSlot slot;
    return task();
  });
  std::future<Result> result = job->get_future();
  enqueue([job] { (*job)(); });
  return result;
}
