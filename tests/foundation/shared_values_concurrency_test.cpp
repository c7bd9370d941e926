// Values that several threads share: string settings read while another thread assigns them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/parameters.h"
#include "foundation/run_state.h"

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
