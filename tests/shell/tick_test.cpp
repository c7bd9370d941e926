// The tick: which report runs which duty, the deadlines of the 10 ms loop on an injected clock,
// the branch while the flight does not run, the two adjustment phases and the new live aircraft.
#include <gtest/gtest.h>

#include <chrono>

#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell/worker_seams.h"
#include "shell_test_helpers.h"
#include "simlink/simlink.h"
#include "traffic/motion/motion.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace shelltest {
namespace {

using namespace std::chrono_literals;

struct DutyCase {
  std::uint32_t n;
  ReportDuties duties;
};

std::string lf_describe(const ReportDuties& d) {
  std::string text;
  auto add = [&](bool on, const char* name) {
    if (on) text += std::string(text.empty() ? "" : " ") + name;
  };
  add(d.every15, "15");
  add(d.parkStep, "16");
  add(d.periodic, "30");
  add(d.lamps, "59");
  add(d.minutes, "60");
  add(d.duplicates, "61");
  add(d.renewal, "1200");
  add(d.dayOver, "86400");
  return text;
}

TEST(ReportDutiesTest, EachReportRunsItsDutiesOnly) {
  const std::vector<std::pair<std::uint32_t, std::string>> cases = {
      {1, ""},          {15, "15"},         {16, "16"},          {30, "15 30"},
      {59, "59"},       {60, "15 30 60"},   {61, "61"},          {240, "15 30 60"},
      {1200, "15 30 60 1200"},              {86400, "15 30 60 1200 86400"},
      {976, "16 61"},   {3599, "59 61"}};
  for (const auto& [n, expected] : cases) {
    EXPECT_EQ(lf_describe(gf_reportDuties(n, false)), expected) << "n = " << n;
  }
  EXPECT_EQ(lf_describe(gf_reportDuties(16, true)), "");  // no park step while collecting
  EXPECT_EQ(gf_minutesToRenewal(60), 19u);
  EXPECT_EQ(gf_minutesToRenewal(1200), 20u);
  EXPECT_EQ(gf_minutesToRenewal(1260), 19u);
}

// The loop on a clock that moves only when the test says: each tick costs what the script says.
class TickLoopTest : public ::testing::Test {
 protected:
  using Clock = WorkerSeams::Clock;
  void SetUp() override {
    g_workerSeams.now = [this] { return now_; };
    g_workerSeams.sleepUntil = [this](Clock::time_point t) {
      sleeps_.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(t - start_).count());
      now_ = std::max(now_, t);
    };
  }
  void TearDown() override {
    gf_resetWorkerSeams();
    g_userReportArrived = false;
  }
  // Runs ticks with these costs (ms); the tick at reportAt sees a user report arrive.
  void run(const std::vector<int>& costs, int reportAt = -1) {
    std::size_t i = 0;
    lf_tickLoop([&] {
      if (i == costs.size()) return false;
      starts_.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start_).count());
      now_ += std::chrono::milliseconds(costs[i]);
      g_userReportArrived = static_cast<int>(i) == reportAt;
      ++i;
      return true;
    });
  }
  Clock::time_point start_ = Clock::time_point{} + 1h;
  Clock::time_point now_ = start_;
  std::vector<long> sleeps_;  // targets of the sleeps, ms after the start
  std::vector<long> starts_;  // tick starts, ms after the start
};

TEST_F(TickLoopTest, HoldsTenMillisecondsAndCatchesUpAfterASlowTick) {
  run({1, 1, 35, 1, 1, 1, 1, 1});
  // Ticks at 0, 10, 20; the 35 ms tick ends at 55: the ticks due at 30, 40, 50 run at once,
  // then the period is back on its grid.
  EXPECT_EQ(starts_, (std::vector<long>{0, 10, 20, 55, 56, 57, 60, 70}));
}

TEST_F(TickLoopTest, AUserReportReBasesTheDeadline) {
  run({1, 35, 1, 1}, 1);
  // The report arrives in the slow second tick (ending at 45): the next deadline is 10 ms after
  // the present instead of a catch-up tick at once.
  EXPECT_EQ(starts_, (std::vector<long>{0, 10, 45, 55}));
}

// lf_tick on the real engine with empty containers; the engine step stays off its every-100th
// duties, which would ask the simulator for the user aircraft.
class TickTest : public ShellWindowTest {
 protected:
  void SetUp() override {
    ShellWindowTest::SetUp();
    gf_clearStop();
    g_simRunning = true;
    g_simRequestError = false;
  }
  void TearDown() override {
    g_simRunning = false;
    g_simRequestError = false;
    g_userReportArrived = false;
    g_rtOnThisPc = false;
    gf_setRtLinkHooks({});
    g_newLiveIds.clear();
    g_liveAc.clear();
    g_parkAdjustCollecting = false;
    g_busy = false;
    g_trafficReader.setCollecting(false);
    lf_resetTickState();
    ShellWindowTest::TearDown();
  }
  // One tick with a user report; n is the report counter before it.
  bool report(std::uint32_t n) {
    g_reportSeconds = n;
    g_tickCount = 1;
    g_userReportArrived = true;
    return lf_tick();
  }
};

TEST_F(TickTest, CountersOnReportsAndTheDayReset) {
  EXPECT_TRUE(report(59));
  EXPECT_EQ(g_mainWindowState.nextRenewalMinutes.load(), 19u);
  EXPECT_TRUE(report(1199));
  EXPECT_EQ(g_mainWindowState.nextRenewalMinutes.load(), 20u);
  EXPECT_TRUE(report(86399));
  EXPECT_EQ(g_reportSeconds.load(), 0u);
  g_tickCount = 1;
  EXPECT_TRUE(lf_tick());  // no report: nothing counted
  EXPECT_EQ(g_reportSeconds.load(), 0u);
}

TEST_F(TickTest, ACloseEndsTheRunWhileNoReportComes) {
  g_tickCount = 1;
  ASSERT_TRUE(lf_tick());  // the simulator runs but has stopped reporting
  gf_requestClose();
  EXPECT_FALSE(lf_tick());
}

TEST_F(TickTest, TheAdjustmentCollectsFifteenReportsBeforeItRuns) {
  g_parkAdjustRequested = true;
  report(13);
  EXPECT_FALSE(g_parkAdjustCollecting.load());
  report(14);
  EXPECT_TRUE(g_parkAdjustCollecting.load());
  EXPECT_TRUE(g_busy.load());
  EXPECT_TRUE(g_trafficReader.collecting());
  report(20);
  EXPECT_TRUE(g_parkAdjustCollecting.load());
  report(29);
  EXPECT_FALSE(g_parkAdjustCollecting.load());
  EXPECT_FALSE(g_parkAdjustRequested.load());
  // Without a park airport nothing is adjusted, but the controls come back.
  EXPECT_FALSE(g_busy.load());
  EXPECT_FALSE(g_trafficReader.collecting());
}

TEST_F(TickTest, WhileTheFlightDoesNotRunOnlyNoticesAndThePositionGoOn) {
  int positionsAsked = 0;
  g_rtOnThisPc = true;
  gf_setRtLinkHooks({.userState = [&] {
                       ++positionsAsked;
                       return RtUserState{.latitude = 33.9, .longitude = -118.4};
                     },
                     .removeLiveAircraft = {}});
  gf_setAcceptTraffic(true);
  g_simRunning = false;
  g_reportSeconds = 7;
  for (int i = 0; i < 250; ++i) ASSERT_TRUE(lf_tick());
  EXPECT_EQ(positionsAsked, 2);
  EXPECT_EQ(g_reportSeconds.load(), 7u);
  EXPECT_TRUE(lf_flightPaused());
  {
    std::lock_guard lock(g_trafficMutex);
    EXPECT_FALSE(g_acceptTraffic);
  }
  g_simRunning = true;
  report(7);
  EXPECT_FALSE(lf_flightPaused());
  EXPECT_EQ(g_reportSeconds.load(), 8u);
  {
    std::lock_guard lock(g_trafficMutex);
    EXPECT_TRUE(g_acceptTraffic);
  }
  gf_requestStop(kExitSimClosed, 0);
  g_simRunning = false;
  EXPECT_FALSE(lf_tick());  // the stop ends the run in either branch
}

TEST_F(TickTest, AFailedRequestPausesARunningFlight) {
  g_simRequestError = true;
  EXPECT_TRUE(report(7));
  EXPECT_TRUE(lf_flightPaused());
  EXPECT_EQ(g_reportSeconds.load(), 7u);
}

TEST_F(TickTest, AKeyWhoseAircraftHasGoneDoesNotHoldUpTheOthers) {
  g_newLiveIds = {10042, 10043};
  report(1);
  EXPECT_EQ(g_newLiveIds, (std::deque<std::uint32_t>{10043}));
  report(2);
  EXPECT_TRUE(g_newLiveIds.empty());
}

TEST_F(TickTest, WindowRequestsAreTakenEvenWithoutAReport) {
  g_navLightsRequested = true;
  g_enforceMaxLiveRequested = true;
  g_tickCount = 1;
  lf_tick();
  EXPECT_FALSE(g_navLightsRequested.load());
  EXPECT_FALSE(g_enforceMaxLiveRequested.load());
}

}  // namespace
}  // namespace shelltest
