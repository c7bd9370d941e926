// The scan threads of a folder scan and the slot counter that all scans share: a task runs only
// while its slot is counted, never more tasks than the limit at once (also with many takers at
// the same moment), a slot held by another scan holds tasks back, and a task's slot is back
// before its result can be seen, also when it throws.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "foundation/scan_task_pool.h"
#include "foundation/scan_throttle.h"

namespace {

using namespace std::chrono_literals;

constexpr int kLimit = 3;
constexpr auto kPatience = 20s;         // for what must happen
constexpr auto kLongEnough = 50ms;      // for what must not happen (a wrong pass, never a wrong fail)

template <class Condition>
bool lf_eventually(const Condition& condition) {
  const auto until = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class ScanTaskPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_numThreads.store(0);
    g_maxThreads.store(kLimit);
  }
  void TearDown() override {
    g_numThreads.store(0);
    g_maxThreads.store(1);
  }
};

// Tasks that report their start and then wait until the test lets one of them end.
class HeldTasks {
 public:
  // The task body: records the count of running tasks as the task sees it when it starts.
  int run() {
    const int seen = g_numThreads.load();
    std::unique_lock lock(m_mutex);
    ++m_started;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_permits > 0; });
    --m_permits;
    return seen;
  }
  bool waitForStarted(int count) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kPatience, [&] { return m_started >= count; });
  }
  int started() {
    std::lock_guard lock(m_mutex);
    return m_started;
  }
  void letOneEnd() {
    std::lock_guard lock(m_mutex);
    ++m_permits;
    m_changed.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_started = 0;
  int m_permits = 0;
};

// More scan threads than the limit allows to run: the counter, not the thread count, holds the
// tasks back. Each task must see its own slot counted when it starts; a slot taken after the
// task had begun (the race of raising the count once the task's thread runs) shows as a 0 here.
TEST_F(ScanTaskPoolTest, TasksRunCountedAndNeverAboveTheLimit) {
  constexpr int kTasks = 12;
  HeldTasks tasks;
  std::vector<std::future<int>> results;
  {
    ScanTaskPool pool(2 * kLimit);
    // Posted from a thread of its own, as the worker does it: posting must never wait for the
    // tasks that this thread lets end.
    std::thread poster([&] {
      for (int k = 0; k < kTasks; ++k) results.push_back(pool.post([&tasks] { return tasks.run(); }));
    });
    for (int ended = 0; ended < kTasks; ++ended) {
      const int running = std::min(kLimit, kTasks - ended);
      ASSERT_TRUE(tasks.waitForStarted(ended + running));
      std::this_thread::sleep_for(kLongEnough / 10);
      EXPECT_EQ(tasks.started(), ended + running) << "more tasks than the limit started";
      EXPECT_TRUE(lf_eventually([&] { return g_numThreads.load() == running; }));
      tasks.letOneEnd();
    }
    poster.join();
  }
  for (std::future<int>& result : results) {
    const int seen = result.get();
    EXPECT_GE(seen, 1) << "a task ran before its slot was counted";
    EXPECT_LE(seen, kLimit);
  }
  EXPECT_EQ(g_numThreads.load(), 0);
}

TEST_F(ScanTaskPoolTest, ASlotHeldByAnotherScanHoldsTheTaskBack) {
  g_numThreads.store(kLimit);  // the other scan's tasks hold every slot
  ScanTaskPool pool(1);
  std::atomic<bool> ran{false};
  std::future<void> result = pool.post([&ran] { ran.store(true); });
  EXPECT_EQ(result.wait_for(kLongEnough), std::future_status::timeout);
  EXPECT_FALSE(ran.load());
  gf_threadDone();  // one of the other scan's tasks ends
  ASSERT_EQ(result.wait_for(kPatience), std::future_status::ready);
  EXPECT_TRUE(ran.load());
  EXPECT_EQ(g_numThreads.load(), kLimit - 1);
}

// Whoever has a task's result may count on its slot being free again: the scans return after
// their last result, and the next scan starts from a count of 0.
TEST_F(ScanTaskPoolTest, TheSlotIsBackBeforeTheResultAlsoWhenTheTaskThrows) {
  g_maxThreads.store(1);
  ScanTaskPool pool(1);
  for (int k = 0; k < 200; ++k) {
    std::future<int> result = pool.post([k] {
      if (k % 2 == 1) throw std::runtime_error("unreadable file");
      return k;
    });
    if (k % 2 == 1)
      EXPECT_THROW(result.get(), std::runtime_error);
    else
      EXPECT_EQ(result.get(), k);
    ASSERT_EQ(g_numThreads.load(), 0) << "task " << k;
  }
}

TEST_F(ScanTaskPoolTest, ThePoolEndsOnlyAfterEveryQueuedTask) {
  std::atomic<int> done{0};
  {
    ScanTaskPool pool(kLimit);
    for (int k = 0; k < 40; ++k) {
      pool.post([&done] {
        std::this_thread::sleep_for(1ms);
        done.fetch_add(1);
      });
    }
  }
  EXPECT_EQ(done.load(), 40);
  EXPECT_EQ(g_numThreads.load(), 0);
}

// Many threads taking slots at the same moment: taking is one atomic step, so the limit holds
// exactly, and every taker is let in as slots come back.
TEST_F(ScanTaskPoolTest, ConcurrentTakersNeverPassTheLimit) {
  std::atomic<int> running{0};
  std::atomic<int> peak{0};
  std::vector<std::thread> takers;
  for (int k = 0; k < 24; ++k) {
    takers.emplace_back([&] {
      for (int round = 0; round < 20; ++round) {
        ScanSlot slot;
        const int now = running.fetch_add(1) + 1;
        int highest = peak.load();
        while (now > highest && !peak.compare_exchange_weak(highest, now)) {
        }
        std::this_thread::yield();
        running.fetch_sub(1);
      }
    });
  }
  for (std::thread& taker : takers) taker.join();
  EXPECT_LE(peak.load(), kLimit);
  EXPECT_EQ(g_numThreads.load(), 0);
}

}  // namespace
