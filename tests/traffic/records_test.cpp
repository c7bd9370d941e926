// Aircraft records: construction and copies, the per-category head, withdrawing queued creations,
// the livery respawn and the parking controls on a headless window.
#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <vector>

#include <fmt/format.h>

#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "intake/intake.h"
#include "platform/headless.h"
#include "traffic/live/live_internal.h"
#include "traffic_test_support.h"

using namespace traffictest;

namespace {
class RecordsTest : public TrafficTest {};
PositionReport lf_reportAt(double lat) { return {lat, 4.0}; }
}  // namespace

TEST_F(RecordsTest, NewRecords) {
  const StaticAircraft s(gf_head("A320", "KLM12", "PH-EZA", 7), 3, {52.0, 4.0, 1.0}, true);
  EXPECT_EQ(std::tuple(s.objectId, s.st, s.throttleStep, s.flapsStep, s.standId, s.standFlag),
            std::tuple(0u, 0u, 5u, 4u, 3u, true));
  const AiAircraft a(lf_reportAt(52.1), gf_head("B744", "KLM1", "PH-BFA", 10001), 17.5);
  EXPECT_EQ(std::tuple(a.fs, a.previousFs, a.advanceLimit, a.delayLimit, a.takeOffStep,
                       a.heightAboveGround, a.lastReportTime, a.stream.size()),
            std::tuple(7u, 7u, 1000, 1000, 1, 2500.0, 17.5, std::size_t{1}));
  EXPECT_TRUE(std::isnan(a.curve.p1East) && std::isnan(a.curve.p1North));
  AiAircraft copy = a;  // deep: the stream and the texts are its own
  copy.stream.clear();
  copy.callsign.clear();
  EXPECT_EQ(std::tuple(a.stream.size(), a.callsign), std::tuple(std::size_t{1}, "KLM1"));
}

// The engine moves its records when its vectors grow, when the simulator reports an object
// removed (the last record takes its place) and when dropped records leave (the rest close up):
// a moved record keeps all it holds and is found again by its key and object id.
TEST_F(RecordsTest, MovedRecordsKeepTheirContent) {
  const auto content = [](const AiAircraft& a) {
    return std::tuple(a.callsign, a.registration, a.key, a.category, a.halfWingspan, a.climbPitch,
                      a.objectId, a.standId, a.fs, a.stream.size(), a.stream.back().lat,
                      a.respawnHeading, a.curve.p1East, a.lastReportTime, a.lastMerged.lat);
  };
  const auto fill = [](AiAircraft& a, std::uint32_t k) {
    a.stream.push_back(lf_reportAt(60.0 + k));
    a.standId = k;
    a.fs = kFsTaxi;
    a.respawnHeading = 0.1 * k;
    a.curve.p1East = k;
    gf_setState(a, kStRemovingFromSim);  // the engine's step leaves such a record alone
    gf_setObjectId(a, 1000 + k);
  };
  // Past the capacity: the vector grows at least once while it fills.
  const std::size_t count = std::max<std::size_t>(g_liveAc.capacity(), 8) + 1;
  g_liveAc.emplace_back(lf_reportAt(50.0), gf_head("B744", "KLM0", "PH-BFA", 10001), 17.5);
  fill(g_liveAc[0], 0);
  const auto first = content(g_liveAc[0]);
  for (std::uint32_t k = 1; k < count; ++k) {
    const std::string cs = fmt::format("KLM{}", k);
    AiAircraft& a =
        g_liveAc.emplace_back(lf_reportAt(50.0 + k), gf_head("A320", cs, "PH-" + cs, 10001 + k), k);
    fill(a, k);
  }
  gf_recordsReordered();
  EXPECT_EQ(content(g_liveAc[0]), first);

  const auto last = content(g_liveAc.back());
  gf_postSimObjectNotice({1000, 0, 0, kNoticeObjectRemoved, 0.0, 0.0});
  gf_processSimObjectNotices();
  ASSERT_EQ(g_liveAc.size(), count - 1);
  EXPECT_EQ(content(g_liveAc[0]), last);
  EXPECT_EQ(gf_liveByKey(std::get<2>(last)), &g_liveAc[0]);
  EXPECT_EQ(gf_liveByObjectId(std::get<6>(last)), &g_liveAc[0]);

  const auto third = content(g_liveAc[3]);
  g_liveAc[1].eraseMe = g_liveAc[2].eraseMe = true;
  lf_updateAllLiveAc();
  ASSERT_EQ(g_liveAc.size(), count - 3);
  EXPECT_EQ(content(g_liveAc[1]), third);
  EXPECT_EQ(gf_liveByKey(std::get<2>(third)), &g_liveAc[1]);

  for (std::uint32_t k = 0; k < 3; ++k) {
    const std::string cs = fmt::format("KLM{}*", k);
    StaticAircraft& s = g_staticAc.emplace_back(gf_head("A320", cs, "", k + 1), k + 1,
                                                StandPlace{52.0, 4.0 + k, 1.0}, k == 2);
    gf_setState(s, kStActive);
    gf_setObjectId(s, 500 + k);
  }
  gf_recordsReordered();
  gf_postSimObjectNotice({500, 0, 0, kNoticeObjectRemoved, 0.0, 0.0});
  gf_processSimObjectNotices();
  const StaticAircraft& t = g_staticAc.front();
  EXPECT_EQ(std::tuple(t.callsign, t.objectId, t.standId, t.standPlace.lon, t.standFlag),
            std::tuple("KLM2*", 502u, 3u, 6.0, true));
  EXPECT_EQ(gf_staticByObjectId(502), &t);
}

// Integers exactly from the tables; each pitch one of its two varied values.
TEST_F(RecordsTest, HeadTakesItsCategoryValues) {
  const std::array<std::tuple<const char*, std::array<std::uint32_t, 5>, double, double, double>,
                   6>
      cases{{{"C172", {0, 250, 250, 100, 200}, -9.0, -15.0, 0.002617993877991494},
             {"C56X", {1, 300, 300, 200, 250}, -8.0, -18.0, 0.0017453292519943294},
             {"A320", {2, 400, 350, 200, 300}, -6.0, -16.5, 0.0012217304763960306},
             {"B744", {3, 450, 450, 250, 400}, -5.0, -12.5, 0.0008726646259971647},
             {"F16", {4, 150, 150, 100, 200}, -6.0, -20.0, 0.0017453292519943294},
             {"EC35", {5, 100, 100, 100, 100}, -20.0, -30.0, 0.0034906585039886587}}};
  const auto oneOf = [](double value, double deg, double percent) {
    return value == (deg + deg * percent / 100.0) * kDegToRad ||
           value == (deg - deg * percent / 100.0) * kDegToRad;
  };
  for (const auto& [type, ints, rotation, climb, rate] : cases) {
    for (int draw = 0; draw < 8; ++draw) {
      const AircraftHead h = gf_head(type, "X", "", 1);
      EXPECT_EQ((std::array{h.category, h.flareSteps, h.staticCgValue, h.rotationSteps,
                            h.pitchTransitionSteps}),
                ints);
      EXPECT_EQ(h.pitchRate, rate);
      EXPECT_TRUE(oneOf(h.rotationPitch, rotation, 2.5) && oneOf(h.climbPitch, climb, 5.0)) << type;
    }
  }
  EXPECT_DOUBLE_EQ(gf_head("B744", "", "", 1).halfWingspan, 64.4 * 0.5 / 1852.0);
}

TEST_F(RecordsTest, RemoveFromCreateWaitKeepsTheOrderOfTheRest) {
  for (const auto& [queued, callsign, removed, left] :
       {std::tuple{"KLKM", "K", true, "LM"}, {"KLKM", "N", false, "KLKM"}, {"", "K", false, ""},
        {"K", "", false, "K"}}) {
    std::deque<CreateAcRequest> queue;
    for (const char* c = queued; *c != 0; ++c) queue.emplace_back().callsign = std::string(1, *c);
    if (*callsign == 0) queue.emplace_back();  // an empty callsign never matches
    EXPECT_EQ(gf_removeFromCreateWait(queue, callsign), removed);
    std::string rest;
    for (const CreateAcRequest& r : queue) rest += r.callsign;
    EXPECT_EQ(rest, left);
  }
}

// Moving: re-created where it is now; parked: the stream cut back to its stand report. Without
// an object it goes straight back to be created again.
TEST_F(RecordsTest, LiveryRespawn) {
  g_tickCount = 500;
  for (const auto& [objectId, parked] : {std::pair{42u, false}, {42u, true}, {0u, false}}) {
    g_removeWait.clear();
    AiAircraft a(lf_reportAt(52.0), gf_head("A320", "KLM3", "PH-EZB", 10002), 0.0);
    a.stream.push_back(lf_reportAt(52.01));
    std::tie(a.objectId, a.st, a.fs, a.lat, a.lon, a.heading) =
        std::tuple(objectId, 2u, parked ? 6u : 2u, parked ? 52.0 : 52.005, 4.0, kPi / 2);
    liveryRespawn(a);
    const PositionReport& again = a.stream.front();
    EXPECT_EQ(std::tuple(a.stream.size(), again.dueTime, again.lat, again.samePosition),
              std::tuple(parked ? 2u : 3u, 501, a.lat, parked));
    EXPECT_EQ(a.stream[1].track == 90.0, parked);
    EXPECT_EQ(a.respawnHeading, std::optional<double>(kPi / 2));
    EXPECT_EQ(std::tuple(a.st, a.throttleStep, g_removeWait.size()),
              objectId ? std::tuple(3u, 5u, std::size_t{1}) : std::tuple(0u, 5u, std::size_t{0}));
  }
  EXPECT_TRUE(logged("===> liveryRespawn removing act KLM3     PH-EZB"));
}

TEST_F(RecordsTest, ParkingControlsFollowTheBusyFlag) {
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  WNDCLASSEXW windowClass{};
  std::tie(windowClass.cbSize, windowClass.lpfnWndProc, windowClass.lpszClassName) =
      std::tuple(sizeof windowClass, &DefWindowProcW, u"ZendrikTrafficTest");
  RegisterClassExW(&windowClass);
  g_hWnd = CreateWindowExW(0, u"ZendrikTrafficTest", u"t", WS_OVERLAPPEDWINDOW, 0, 0, 880, 516,
                           nullptr, nullptr, nullptr, nullptr);
  const std::array<GuiControl*, 9> controls{
      &g_paramParkingPercentage, &g_paramInitialLoadOnly, &g_paramParkFake, &g_paramParkSoft,
      &g_paramCustomMaxPark,     &g_paramMaxFitFl,        &g_paramWeek,     &g_paramFlushStatic,
      &g_paramReread};
  for (GuiControl* c : controls) c->createEdit(g_hWnd, nullptr, 10, 40, &DefWindowProcW);
  gf_showMessage("working", false);
  for (const bool busy : {true, false}) {
    busy ? gf_disableControls() : gf_enableControls();
    EXPECT_EQ(g_busy, busy);
    for (GuiControl* c : controls) EXPECT_EQ(IsWindowEnabled(c->hwnd), !busy) << c->controlId;
    EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText), "");
  }
  EXPECT_EQ(g_mainWindowState.nextRenewalMinutes.load(), 19u);
  for (GuiControl* c : controls) c->hwnd = nullptr;
  DestroyWindow(g_hWnd.exchange(nullptr));
  platform::gf_pumpMessages();
}
