// The tick's duties on a few aircraft around the user at the field: each per-report duty (Flush
// static, a blocked callsign, the three collision checks, the duplicate sweeps, Re-read) run by
// one user report through lf_tick, and the window's nav-lights request.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "airports/airports.h"
#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell_test_helpers.h"
#include "simlink/simlink.h"
#include "traffic/engine_test_support.h"
#include "traffic/parking/parking.h"

namespace shelltest {
namespace {

using enginetest::gf_at;
using enginetest::gf_live;
using enginetest::gf_static;
using traffictest::gf_addStand;
using traffictest::gf_standAt;

// Clear of every duty's reach: a tick with no due engine duties (every 10th and 100th step).
constexpr std::uint32_t kQuietStep = static_cast<std::uint32_t>(enginetest::kNow) + 1;

class TickDutiesTest : public ShellWindowTest {
 protected:
  void SetUp() override {
    ShellWindowTest::SetUp();
    gf_markWorkerThread();
    traffictest::gf_resetEngine();
    traffictest::gf_useTrafficDatabase();
    g_tickCount = kQuietStep;
    g_userAcSnapshot = {};
    g_userAcSnapshot.latitude = traffictest::kField.lat;
    g_userAcSnapshot.longitude = traffictest::kField.lon;
    for (CheckBoxParameter* box :
         {&g_paramCollisionUserAir, &g_paramCollisionUserGnd, &g_paramCollisionLiveParkedGnd}) {
      box->setValue(false);
    }
    g_simRunning = true;
  }
  void TearDown() override {
    g_simRunning = false;
    g_userReportArrived = false;
    g_newLiveIds.clear();
    g_airports.clear();
    g_parkAirports.clear();
    g_userAcSnapshot = {};
    lf_resetTickState();
    traffictest::gf_resetEngine();
    ShellWindowTest::TearDown();
  }
  // One tick with a user report; n is the report counter before it.
  void report(std::uint32_t n) {
    g_reportSeconds = n;
    g_tickCount = kQuietStep;
    g_userReportArrived = true;
    ASSERT_TRUE(lf_tick());
  }
};

// The callsigns of the records on their way out of the simulator, sorted.
std::string lf_removed() {
  std::vector<std::string> names;
  auto collect = [&](const StaticAircraft& a) {
    if (a.st == kStRemovingFromSim || a.eraseMe || a.removedFromBuffer) names.push_back(a.callsign);
  };
  std::for_each(g_liveAc.begin(), g_liveAc.end(), collect);
  std::for_each(g_staticAc.begin(), g_staticAc.end(), collect);
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

bool lf_enabled(GuiControl& control) {
  return IsWindowEnabled(control.hwnd.load()) != FALSE;
}

void lf_parkAirportsFile(const std::string& line) {
  std::filesystem::create_directories(g_myParkAirportsFile.parent_path());
  gf_testWriteFile(g_myParkAirportsFile, line + "\n");
  g_airports = {
      AirportEntry{"EHAM", "AMS", traffictest::kField.lat, traffictest::kField.lon, -11.0}};
  EnableWindow(g_paramReread.hwnd.load(), FALSE);  // as the click left them
  EnableWindow(g_paramDestination.hwnd.load(), FALSE);
  g_rereadRequested = true;
}

struct DutyCase {
  const char* name;
  std::uint32_t n;              // the report counter before the report
  std::function<void()> world;  // aircraft, settings and requests before the report
  const char* removed;          // callsigns removed by the report
  std::function<void()> check;  // what else the duty leaves; may be empty
};

const DutyCase kDuties[] = {
    {"FlushStatic", 1,
     [] {
       gf_static("A320", "KLM1*", gf_addStand(gf_standAt("A1", 90.0, 300.0, 30.0)));
       g_flushStaticRequested = true;
     },
     "KLM1*",
     [] {
       EXPECT_TRUE(g_paramInitialLoadOnly.value());  // for this run
       EXPECT_FALSE(g_flushStaticRequested.load());
     }},
    {"BlockedCallsign", 1,
     [] {
       gf_live("A320", "DLH44", gf_at(2000.0, 0.0), kStActive, kFsParked);
       gf_live("A320", "DLH4", gf_at(-2000.0, 0.0), kStActive, kFsParked);
       g_paramBlockCallsign.setValue("DLH4");
       g_blockRequested = true;
     },
     "DLH4", [] { EXPECT_FALSE(g_blockRequested.load()); }},
    {"UserInTheAir",
     1,
     [] {
       g_paramCollisionUserAir.setValue(true);
       g_userOnGround = false;
       g_userAcSnapshot.altitude = 3000.0;
       gf_live("A320", "ABEAM", gf_at(1000.0, 0.0), kStActive, kFsFlying, 3000.0);
       gf_live("A320", "AHEAD", gf_at(0.0, 1000.0), kStActive, kFsFlying, 3000.0);
     },
     "AHEAD",
     {}},
    {"UserOnTheGroundLiveFirst",
     1,
     [] {
       g_paramCollisionUserGnd.setValue(true);
       gf_live("A320", "FAR", gf_at(0.0, 200.0), kStActive, kFsTaxi);
       gf_live("A320", "NEAR", gf_at(0.0, 10.0), kStActive, kFsTaxi);
       gf_static("A320", "ST1*", gf_addStand(gf_standAt("A1", 180.0, 10.0, 30.0)));
     },
     "NEAR",
     {}},
    {"UserOnTheGroundStatic",
     1,
     [] {
       g_paramCollisionUserGnd.setValue(true);
       gf_static("A320", "ST1*", gf_addStand(gf_standAt("A1", 180.0, 300.0, 30.0)));
       gf_static("A320", "ST2*", gf_addStand(gf_standAt("A2", 180.0, 10.0, 30.0)));
     },
     "ST2*",
     {}},
    {"LiveTaxiingPastParked",
     1,
     [] {
       g_paramCollisionLiveParkedGnd.setValue(true);
       gf_live("A320", "TAXI", gf_at(0.0, 500.0), kStActive, kFsTaxi);
       gf_static("A320", "ST1*", gf_addStand(gf_standAt("A1", 0.0, 1000.0, 30.0)));
       gf_static("A320", "ST2*", gf_addStand(gf_standAt("A2", 0.0, 505.0, 30.0)));
     },
     "ST2*",
     {}},
    {"NewLiveAircraftTakesItsStaticTwinsPlace", 1,
     [] {
       const AiAircraft& live =
           gf_live("A320", "KLM7", gf_at(0.0, 3000.0), kStActive, kFsFlying, 5000.0);
       g_newLiveIds = {live.key};
       gf_static("A320", "ST1*", gf_addStand(gf_standAt("A1", 90.0, 300.0, 30.0))).registration =
           "PH-X";
       gf_static("A320", "ST2*", gf_addStand(gf_standAt("A2", 90.0, 600.0, 30.0))).registration =
           live.registration;
     },
     "ST2*", [] { EXPECT_TRUE(g_newLiveIds.empty()); }},
    {"EverySixtyFirstReportSweepsStaticTwins",
     60,
     [] {
       gf_live("A320", "KLM8", gf_at(0.0, 3000.0), kStActive, kFsFlying, 5000.0);
       gf_static("A320", "KLM9*", gf_addStand(gf_standAt("A1", 90.0, 300.0, 30.0)));
       gf_static("A320", "KLM8*", gf_addStand(gf_standAt("A2", 90.0, 600.0, 30.0)));
     },
     "KLM8*",
     {}},
    {"ReRead", 14, [] { lf_parkAirportsFile("EHAM"); }, "",
     [] {
       EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText),
                 "park airports and stands are okay");
       EXPECT_TRUE(lf_enabled(g_paramReread) && lf_enabled(g_paramDestination));
       EXPECT_FALSE(g_rereadRequested.load());
     }},
    // A file naming an unknown airport: the controls come back all the same, so that the user
    // can mend the file and try again.
    {"ReReadFailing", 14, [] { lf_parkAirportsFile("ZZZZ"); }, "",
     [] {
       EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText), "airport ZZZZ is unknown");
       EXPECT_TRUE(lf_enabled(g_paramReread) && lf_enabled(g_paramDestination));
       EXPECT_FALSE(g_rereadRequested.load());
     }},
    {"ReReadWaitsWhileBusy", 14,
     [] {
       lf_parkAirportsFile("EHAM");
       g_busy = true;
     },
     "",
     [] {
       EXPECT_FALSE(lf_enabled(g_paramReread));
       EXPECT_TRUE(g_rereadRequested.load());
     }},
};

void PrintTo(const DutyCase& c, std::ostream* out) {
  *out << c.name;
}

class PerReportDutyTest : public TickDutiesTest, public ::testing::WithParamInterface<DutyCase> {};

TEST_P(PerReportDutyTest, OneReportRunsIt) {
  const DutyCase& c = GetParam();
  c.world();
  report(c.n);
  EXPECT_EQ(lf_removed(), c.removed);
  EXPECT_EQ(g_reportSeconds.load(), c.n + 1);
  if (c.check) c.check();
}

INSTANTIATE_TEST_SUITE_P(Duties, PerReportDutyTest, ::testing::ValuesIn(kDuties),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(TickDutiesTest, NavLightsReachParkedAircraftOnly) {
  const std::uint32_t parkedStatic =
      gf_static("A320", "KLM1*", gf_addStand(gf_standAt("A1", 90.0, 300.0, 30.0))).objectId;
  const std::uint32_t parkedLive =
      gf_live("A320", "PARK", gf_at(0.0, 600.0), kStActive, kFsParked).objectId;
  gf_live("A320", "TAXI", gf_at(0.0, 900.0), kStActive, kFsTaxi);
  gf_live("A320", "FLY", gf_at(0.0, 3000.0), kStActive, kFsFlying, 5000.0);
  g_paramNavLightsWhileParked.setValue(true);
  g_navLightsRequested = true;
  lf_takeWindowRequests();  // as every tick does, before its engine step
  std::vector<std::uint32_t> lit;
  {
    std::lock_guard lock(g_simMutex);
    for (const ClientEventRequest& e : g_eventQueue) {
      if (e.eventId == kEventNavLightsSet && e.data == 1) lit.push_back(e.objectId);
    }
  }
  std::sort(lit.begin(), lit.end());
  EXPECT_EQ(lit, (std::vector<std::uint32_t>{parkedLive, parkedStatic}));
}

}  // namespace
}  // namespace shelltest
