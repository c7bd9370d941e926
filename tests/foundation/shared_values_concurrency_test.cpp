// Values that several threads share: string settings read while another thread assigns them,
// and the scan throttle.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"

namespace {

TEST(SharedValuesConcurrencyTest, StringSettingIsReadWholeWhileAnotherThreadAssignsIt) {
  const std::string a(100, 'a');
  const std::string b = "KLM1234";
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      g_paramBlockCallsign.setValue(i % 2 ? a : b);
      g_paramLateralRange.setValue(i % 2 ? 100 : 2);
    }
    done.store(true);
  });
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      while (!done.load()) {
        const std::string v = g_paramBlockCallsign.value();
        ASSERT_TRUE(v.empty() || v == a || v == b) << v;
        const int range = g_paramLateralRange.value();
        ASSERT_TRUE(range == 40 || range == 2 || range == 100) << range;
      }
    });
  }
  writer.join();
  for (auto& t : readers) {
    t.join();
  }
  g_paramBlockCallsign.setValue("");
  g_paramLateralRange.setValue(g_paramLateralRange.defaultValue);
}

TEST(SharedValuesConcurrencyTest, ScanTasksNeverExceedTheLimitByMoreThanTheRace) {
  g_maxThreads.store(3);
  g_numThreads.store(0);
  std::atomic<int> running{0};
  std::atomic<int> peak{0};
  std::vector<std::thread> tasks;
  for (int i = 0; i < 24; ++i) {
    gf_waitForThreadSlot();
    g_numThreads.fetch_add(1);
    tasks.emplace_back([&] {
      const int now = running.fetch_add(1) + 1;
      int expected = peak.load();
      while (now > expected && !peak.compare_exchange_weak(expected, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      running.fetch_sub(1);
      gf_threadDone();
    });
  }
  for (auto& t : tasks) {
    t.join();
  }
  // One starter that waits for a slot before each task: the limit holds exactly, and every
  // wait ended when a running task was done.
  EXPECT_LE(peak.load(), 3);
  EXPECT_EQ(g_numThreads.load(), 0);
}

TEST(SharedValuesConcurrencyTest, StopSettersWriteTheFirstReasonBeforeTheFlag) {
  for (int round = 0; round < 200; ++round) {
    g_stopRequested.store(false);
    g_exitReason.store(kExitNotYetSet);
    std::atomic<std::uint32_t> seen{99};
    std::thread reader([&] {
      while (!g_stopRequested.load()) {
      }
      seen.store(g_exitReason.load());  // a reader of the flag takes no lock
    });
    std::vector<std::thread> setters;
    for (const std::uint32_t reason : {kExitSimClosed, kExitNewFlight, kExitSimConnectError}) {
      setters.emplace_back([reason] { gf_requestStop(reason, reason * 10); });
    }
    for (std::thread& t : setters) t.join();
    reader.join();
    EXPECT_EQ(seen.load(), g_exitReason.load()) << "the reason of the stop, never 0";
    EXPECT_EQ(g_restartDelaySec.load(), g_exitReason.load() * 10);
  }
  gf_forceStop(kExitSystemError, 0);  // the overriding form
  EXPECT_EQ(g_exitReason.load(), kExitSystemError);
  g_stopRequested.store(false);
  g_exitReason.store(kExitNotYetSet);
}

}  // namespace
