// Values that several threads share: string settings read while another thread assigns them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/parameters.h"

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

}  // namespace
