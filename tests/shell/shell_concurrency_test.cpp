// The window's handlers and painting on the GUI thread while other threads do what the worker,
// the simulator link and the readers do to the window: store texts and lamps, show messages and
// settings, set the radius and take the window's requests.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "platform/headless.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell_test_helpers.h"

namespace {

using shelltest::ShellWindowTest;

constexpr int kRounds = 100;

TEST_F(ShellWindowTest, HandlersAndPaintingWhileOtherThreadsWrite) {
  std::atomic<bool> done{false};
  std::atomic<int> requestsTaken{0};
  std::thread writer([&] {
    MainWindowState& s = g_mainWindowState;
    for (int i = 0; !done.load(); ++i) {
      s.storeText(&MainWindowState::userAcTitleText, "Boeing 737-800 " + std::to_string(i),
                  kLampsArea);
      s.storeText(&MainWindowState::parkAirportText, i % 2 ? "EHAM (AMS)" : "", kParkArea);
      s.rtLamp = i % 2;
      s.trafficLamp = 1 + i % 3;
      s.liveCount = static_cast<std::uint64_t>(i);
      gf_showMessage("reader " + std::to_string(i), i % 7 == 0);
      gf_showIntParameter(g_paramMatchingDepth);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the paints keep up
    }
  });
  std::thread worker([&] {
    while (!done.load()) {
      if (g_navLightsRequested.exchange(false)) ++requestsTaken;
      gf_applyDestinationRequest();
      gf_setRadius(static_cast<int>(g_reportSeconds.fetch_add(1) % 120));
    }
  });
  for (int round = 0; round < kRounds; ++round) {
    click(g_paramNavLightsWhileParked);
    enter(g_paramDestination, round % 2 ? u"eham" : u"lfpg");
    enter(g_paramCustomMaxPark, u"12");
    InvalidateRect(window(), nullptr, TRUE);
    platform::gf_pumpMessages();
  }
  done = true;
  writer.join();
  worker.join();
  EXPECT_GT(requestsTaken.load(), 0);
  EXPECT_EQ(g_paramNavLightsWhileParked.value(), kRounds % 2 == 0);
}

}  // namespace
