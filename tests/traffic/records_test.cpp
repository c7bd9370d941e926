// Aircraft records: construction, the per-category head, copies, withdrawing queued creations,
// the livery respawn and the parking controls on a headless window.
#include <array>
#include <cmath>

#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "platform/headless.h"
#include "shell/intake/intake.h"
#include "traffic_test_support.h"

using namespace traffictest;

namespace {

class RecordsTest : public TrafficTest {};

PositionReport reportAt(double lat, double lon) {
  PositionReport r;
  r.lat = lat;
  r.lon = lon;
  r.altitude = 0.0;
  return r;
}

}  // namespace

TEST_F(RecordsTest, NewRecordsCopiesAndMoves) {
  const StaticAircraft parked(gf_head("A320", "KLM12", "PH-EZA", 7), 3, {52.0, 4.0, 1.0}, true);
  EXPECT_EQ(parked.objectId, 0u);
  EXPECT_EQ(parked.st, static_cast<std::uint32_t>(kStBuffer));
  EXPECT_EQ(parked.throttleStep, 5u);
  EXPECT_EQ(parked.flapsStep, 4u);
  EXPECT_EQ(parked.standId, 3u);
  EXPECT_TRUE(parked.standFlag);
  EXPECT_EQ(parked.parkedSlot, DayHh{});
  EXPECT_FALSE(parked.removalPending || parked.removedFromBuffer || parked.eraseMe);

  AiAircraft live(reportAt(52.1, 4.1), gf_head("B744", "KLM1", "PH-BFA", 10001), 1700000000.5);
  EXPECT_EQ(live.fs, static_cast<std::uint32_t>(kFsBirth));
  EXPECT_EQ(live.previousFs, static_cast<std::uint32_t>(kFsBirth));
  EXPECT_EQ(live.advanceLimit, 1000);
  EXPECT_EQ(live.delayLimit, 1000);
  EXPECT_EQ(live.takeOffStep, 1);
  EXPECT_EQ(live.heightAboveGround, 2500.0);
  EXPECT_EQ(live.lastReportTime, 1700000000.5);
  EXPECT_TRUE(std::isnan(live.curve.p1East) && std::isnan(live.curve.p1North));
  EXPECT_EQ(live.embeddedReport.lat, 0.0);
  ASSERT_EQ(live.stream.size(), 1u);
  EXPECT_EQ(live.stream.front().lat, 52.1);

  AiAircraft copy = live;
  copy.stream.push_back(reportAt(52.2, 4.2));
  copy.callsign = "KLM2";
  EXPECT_EQ(live.stream.size(), 1u);
  EXPECT_EQ(live.callsign, "KLM1");
  const AiAircraft moved = std::move(copy);
  EXPECT_EQ(moved.stream.size(), 2u);
  EXPECT_EQ(moved.callsign, "KLM2");
  EXPECT_EQ(moved.key, 10001u);
}

// Integers exactly from the tables; each pitch one of its two varied values.
TEST_F(RecordsTest, HeadTakesItsCategoryValues) {
  struct Case {
    const char* type;
    std::uint32_t category, flare, cg, rotation, transition;
    double rotationDeg, climbDeg, rate, spanM;
  };
  const std::array<Case, 6> cases{{
      {"C172", 0, 250, 250, 100, 200, -9.0, -15.0, 0.002617993877991494, 11.0},
      {"C56X", 1, 300, 300, 200, 250, -8.0, -18.0, 0.0017453292519943294, 16.98},
      {"A320", 2, 400, 350, 200, 300, -6.0, -16.5, 0.0012217304763960306, 34.1},
      {"B744", 3, 450, 450, 250, 400, -5.0, -12.5, 0.0008726646259971647, 64.4},
      {"F16", 4, 150, 150, 100, 200, -6.0, -20.0, 0.0017453292519943294, 9.96},
      {"EC35", 5, 100, 100, 100, 100, -20.0, -30.0, 0.0034906585039886587, 10.2},
  }};
  const auto oneOf = [](double value, double deg, double percent) {
    const double up = (deg + deg * percent / 100.0) * kDegToRad;
    const double down = (deg - deg * percent / 100.0) * kDegToRad;
    return value == up || value == down;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    for (int draw = 0; draw < 8; ++draw) {
      const AircraftHead head = gf_head(c.type, "X", "", 1);
      EXPECT_EQ(head.category, c.category);
      EXPECT_EQ(head.flareSteps, c.flare);
      EXPECT_EQ(head.staticCgValue, c.cg);
      EXPECT_EQ(head.rotationSteps, c.rotation);
      EXPECT_EQ(head.pitchTransitionSteps, c.transition);
      EXPECT_EQ(head.pitchRate, c.rate);
      EXPECT_DOUBLE_EQ(head.halfWingspan, c.spanM * 0.5 / 1852.0);
      EXPECT_TRUE(oneOf(head.rotationPitch, c.rotationDeg, 2.5)) << head.rotationPitch;
      EXPECT_TRUE(oneOf(head.climbPitch, c.climbDeg, 5.0)) << head.climbPitch;
      EXPECT_EQ(head.groundPitch + head.staticCgHeight + head.turnStep, 0.0);
    }
  }
}

TEST_F(RecordsTest, RemoveFromCreateWaitKeepsTheOrderOfTheRest) {
  struct Case {
    std::vector<std::string> queue;
    std::string callsign;
    bool removed;
    std::vector<std::string> left;
  };
  const std::vector<Case> cases{{{"K", "L", "K", "M"}, "K", true, {"L", "M"}},
                                {{"K", "L", "K", "M"}, "N", false, {"K", "L", "K", "M"}},
                                {{"K", "", "M"}, "", false, {"K", "", "M"}},
                                {{}, "K", false, {}}};
  for (const Case& c : cases) {
    std::deque<CreateAcRequest> queue;
    for (const std::string& cs : c.queue) {
      CreateAcRequest request;
      request.callsign = cs;
      queue.push_back(request);
    }
    EXPECT_EQ(gf_removeFromCreateWait(queue, c.callsign), c.removed);
    std::vector<std::string> left;
    for (const CreateAcRequest& r : queue) left.push_back(r.callsign);
    EXPECT_EQ(left, c.left) << c.callsign;
  }
}

// Moving: re-created where it is now; parked: the stream cut back to its stand report. Without
// an object it goes straight back to be created again.
TEST_F(RecordsTest, LiveryRespawn) {
  g_tickCount = 500;
  for (const std::uint32_t objectId : {42u, 0u}) {
    for (const bool parked : {false, true}) {
      SCOPED_TRACE(testing::Message() << "object " << objectId << (parked ? " parked" : " moving"));
      g_removeWait.clear();
      AiAircraft a(reportAt(52.0, 4.0), gf_head("A320", "KLM3", "PH-EZB", 10002), 0.0);
      a.stream.push_back(reportAt(52.01, 4.0));
      a.objectId = objectId;
      a.st = kStActive;
      a.fs = parked ? kFsParked : kFsTaxi;
      a.lat = parked ? 52.0 : 52.005;
      a.lon = 4.0;
      a.bank = 0.1;
      a.heading = kPi / 2;
      liveryRespawn(a);
      ASSERT_EQ(a.stream.size(), parked ? 2u : 3u);
      const PositionReport& again = a.stream.front();
      EXPECT_EQ(again.dueTime, 501);
      EXPECT_EQ(again.lat, a.lat);
      EXPECT_EQ(again.samePosition, parked);
      EXPECT_EQ(again.rollPresent, !parked);
      if (parked) {
        EXPECT_DOUBLE_EQ(a.stream[1].track, 90.0);
      }
      EXPECT_EQ(a.respawnHeading, std::optional<double>(kPi / 2));
      if (objectId != 0) {
        EXPECT_EQ(a.st, static_cast<std::uint32_t>(kStLiveryRespawn));
        EXPECT_EQ(g_removeWait, std::deque<std::uint32_t>{42});
      } else {
        EXPECT_EQ(a.st, static_cast<std::uint32_t>(kStBuffer));
        EXPECT_EQ(a.throttleStep, 5u);
        EXPECT_EQ(a.flapsStep, 4u);
        EXPECT_TRUE(g_removeWait.empty());
      }
    }
  }
  EXPECT_NE(log().find("===> liveryRespawn removing act KLM3     PH-EZB"), std::string::npos);
}

TEST_F(RecordsTest, ParkingControlsFollowTheBusyFlag) {
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &DefWindowProcW;
  windowClass.lpszClassName = u"ZendrikTrafficTest";
  RegisterClassExW(&windowClass);
  HWND parent = CreateWindowExW(0, u"ZendrikTrafficTest", u"t", WS_OVERLAPPEDWINDOW, 0, 0, 880,
                                516, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  g_hWnd = parent;
  const std::array<GuiControl*, 9> controls{
      &g_paramParkingPercentage, &g_paramInitialLoadOnly, &g_paramParkFake,
      &g_paramParkSoft,          &g_paramCustomMaxPark,   &g_paramMaxFitFl,
      &g_paramWeek,              &g_paramFlushStatic,     &g_paramReread};
  g_paramParkingPercentage.createEdit(parent, nullptr, 10, 40, &DefWindowProcW);
  g_paramCustomMaxPark.createEdit(parent, nullptr, 60, 40, &DefWindowProcW);
  g_paramMaxFitFl.createEdit(parent, nullptr, 110, 40, &DefWindowProcW);
  for (CheckBoxParameter* box :
       {&g_paramInitialLoadOnly, &g_paramParkFake, &g_paramParkSoft, &g_paramWeek}) {
    box->createCheckBox(parent, nullptr, 200);
  }
  g_paramFlushStatic.createButton(parent, nullptr, 300, 60);
  g_paramReread.createButton(parent, nullptr, 400, 60);
  for (GuiControl* c : controls) EnableWindow(c->hwnd, TRUE);

  gf_showMessage("working", false);
  gf_disableControls();
  EXPECT_TRUE(g_busy);
  for (GuiControl* c : controls) EXPECT_FALSE(IsWindowEnabled(c->hwnd)) << c->controlId;
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText), "");

  gf_enableControls();
  EXPECT_FALSE(g_busy);
  EXPECT_EQ(g_mainWindowState.nextRenewalMinutes.load(), 19u);
  for (GuiControl* c : controls) EXPECT_TRUE(IsWindowEnabled(c->hwnd)) << c->controlId;

  for (GuiControl* c : controls) c->hwnd = nullptr;
  g_hWnd = nullptr;
  DestroyWindow(parent);
  platform::gf_pumpMessages();
}
