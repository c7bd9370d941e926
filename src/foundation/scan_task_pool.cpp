// The scan threads of one folder scan.
#include "foundation/scan_task_pool.h"

#include <system_error>

ScanTaskPool::ScanTaskPool(int threads) {
  for (int k = 0; k < threads || m_threads.empty(); ++k) {
    try {
      m_threads.emplace_back([this] { runJobs(); });
    } catch (const std::system_error&) {
      if (m_threads.empty()) throw;
      break;  // the threads already running take every task
    }
  }
}

ScanTaskPool::~ScanTaskPool() {
  {
    std::lock_guard lock(m_mutex);
    m_closing = true;
  }
  m_wake.notify_all();
  for (std::thread& thread : m_threads) thread.join();
}

void ScanTaskPool::enqueue(std::function<void()> job) {
  {
    std::lock_guard lock(m_mutex);
    m_jobs.push_back(std::move(job));
  }
  m_wake.notify_one();
}

void ScanTaskPool::runJobs() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(m_mutex);
      m_wake.wait(lock, [this] { return m_closing || !m_jobs.empty(); });
      if (m_jobs.empty()) return;  // closing, and nothing left to run
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    job();  // a packaged task: whatever it throws goes to its future
  }
}
