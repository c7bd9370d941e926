// The window's handlers and its painting on the GUI thread while a worker runs the tick over 300
// live aircraft, with a user report every second of ticks. Under ThreadSanitizer this shows that
// the GUI thread reaches the engine only through requests and the window state.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "airports/airports.h"
#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "platform/headless.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell_test_helpers.h"
#include "simlink/simlink.h"
#include "traffic/engine_test_support.h"
#include "traffic/parking/parking.h"

namespace {

using shelltest::ShellWindowTest;

constexpr int kLiveAircraft = 300;
constexpr std::uint32_t kTicks = 3000;
constexpr std::uint32_t kTicksPerReport = 100;  // one user report a second

// The engine's fixture (stand-in connection, database, liveries) without a test body of its own.
class EngineWorld : public enginetest::EngineTest {
 public:
  void TestBody() override {}
  void start() { SetUp(); }
  void stop() { TearDown(); }
};

void lf_placeLiveAircraft() {
  for (int k = 0; k < kLiveAircraft; ++k) {
    const bool flying = k % 3 != 0;
    AiAircraft& a = enginetest::gf_live(k % 2 == 0 ? "A320" : "B738", "HAM" + std::to_string(k),
                                        enginetest::gf_at(40.0 * (k % 20), 300.0 * (k / 20)),
                                        kStActive, flying ? kFsFlying : kFsParked,
                                        flying ? 3000.0 : 0.0);
    a.livery = "Test A320 KLM";
  }
}

// A report for one of the aircraft, a little farther on.
void lf_feedReport(std::uint32_t step) {
  const std::uint32_t k = step % kLiveAircraft;
  TrafficReport r = enginetest::gf_report(10001 + k, "HAM" + std::to_string(k), "A320",
                                          enginetest::gf_at(40.0 * (k % 20), 300.0 * (k / 20) + step),
                                          3000.0, 250.0, 0.0, 1.0e9 + step);
  std::lock_guard lock(g_trafficMutex);
  g_liveTrafficBuffer.push_back(std::move(r));
}

class WindowHammerTest : public ShellWindowTest {
 protected:
  void SetUp() override {
    ShellWindowTest::SetUp();
    engine_ = std::make_unique<EngineWorld>();
    engine_->start();
    syncBoxes();  // the engine's set-up put the settings back to their defaults
    g_airports = {AirportEntry{"EHAM", "AMS", traffictest::kField.lat, traffictest::kField.lon, -11.0}};
    g_parkAirports = {ParkAirport{"EHAM", "D7", traffictest::kField, 0.0}};
    lf_setCurrentParkAirport("EHAM");
    // What Re-read finds: the same park airport and stand.
    std::filesystem::create_directories(g_myParkAirportsFile.parent_path());
    gf_testWriteFile(g_myParkAirportsFile, "EHAM,D7\n");
    lf_placeLiveAircraft();
    g_simRunning = true;
  }
  void TearDown() override {
    g_simRunning = false;
    g_userReportArrived = false;
    lf_resetTickState();
    g_airports.clear();
    g_parkAirports.clear();
    gf_clearCurrentParkAirport();
    {
      std::lock_guard lock(g_trafficMutex);
      g_liveTrafficBuffer.clear();
    }
    engine_->stop();
    engine_.reset();
    ShellWindowTest::TearDown();
  }

  // One round of a user at the window: every box and button, the fields, a full repaint.
  void useTheWindow() {
    for (const shelltest::ExpectedControl& c : shelltest::expectedControls()) {
      if (c.control == &g_paramAllInstallPath) continue;  // a restart is not what this is about
      EnableWindow(c.control->hwnd.load(), TRUE);
      if (c.style != 0x50800000) click(*c.control);
    }
    for (const auto& [field, text] :
         {std::pair<GuiControl*, std::u16string>{&g_paramLateralRange, u"150"},
          {&g_paramLateralRange, u"40"}, {&g_paramMaxLive, u"300"}, {&g_paramMaxLive, u""},
          {&g_paramMatchingDepth, u"3"}, {&g_paramMatchingDepth, u"4"},
          {&g_paramDestination, u"eham"}, {&g_paramBlockCallsign, u"ham7"},
          {&g_paramBlockCallsign, u""}, {&g_paramCustomMaxPark, u"20"}}) {
      enter(*field, text);
    }
    InvalidateRect(window(), nullptr, TRUE);
    platform::gf_pumpMessages();
  }

  std::unique_ptr<EngineWorld> engine_;
};

TEST_F(WindowHammerTest, HandlersAndPaintingWhileTheTickRuns) {
  g_parkStandsReady = true;  // parking settings announce adjustments
  std::atomic<bool> done{false};
  std::atomic<std::uint32_t> ticks{0};
  std::thread worker([&] {
    gf_markWorkerThread();
    for (std::uint32_t n = 1; n <= kTicks; ++n) {
      if (n % 5 == 0) lf_feedReport(n);
      if (n % kTicksPerReport == 0) g_userReportArrived = true;
      if (!lf_tick()) break;
      ticks.store(n);
    }
    done.store(true);
  });
  int rounds = 0;
  while (!done.load() || rounds < 2) {
    useTheWindow();
    ++rounds;
  }
  worker.join();
  gf_markWorkerThread();
  g_userReportArrived = true;
  lf_tick();  // what the last clicks asked for

  EXPECT_EQ(ticks.load(), kTicks);
  EXPECT_EQ(g_reportSeconds.load(), kTicks / kTicksPerReport + 1);  // every report reached the tick
  EXPECT_FALSE(g_liveAc.empty());
  EXPECT_EQ(g_paramDestination.value(), "EHAM");
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::parkAirportText), "EHAM (AMS)");
  // The stand the user asked for, which the (empty) stand file lacks: shown red.
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::reservedStandText), "D7");
  EXPECT_EQ(g_mainWindowState.reservedStandKnown.load(), 0);
  EXPECT_FALSE(g_parkAirports.empty());
  EXPECT_EQ(g_parkAirports.front().icao, "EHAM");
}

}  // namespace
