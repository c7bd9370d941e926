// Ghosts and duplicates, the stand contention and neighbours of parking live aircraft, the park
// airport's limits, the user's path, and the creation of static aircraft with their keys.
#include "engine_test_support.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"

using namespace enginetest;
using traffictest::gf_addStand;
using traffictest::gf_standAt;

namespace {

std::uint64_t s_clock = 0;  // ticks of 100 ns
std::uint64_t lf_clock() { return s_clock; }
constexpr std::uint64_t kMinute = 600000000;

class ParkingTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    g_paramLog.setValue(true);
    s_clock = 1000 * kMinute;
    g_ticks100nsClock = &lf_clock;
  }
  void TearDown() override {
    g_ticks100nsClock = nullptr;
    EngineTest::TearDown();
  }
  AiAircraft& parkedOn(const ParkPos& stand, const std::string& callsign, std::uint32_t fs = kFsParked,
                       const std::string& type = "A320") {
    AiAircraft& a = gf_live(type, callsign, {stand.lat, stand.lon}, kStActive, fs);
    a.standId = stand.number;
    a.parkedTime = s_clock;
    return a;
  }
};

}  // namespace

TEST_F(ParkingTest, StaticCallsigns) {
  const struct {
    const char *cs, *cs2;
    bool now;
    const char* result;
  } cases[] = {{"AB1__", "", true, "AB1*"}, {"AB1*", "", true, "AB1*"}, {"", "CD2", true, "CD2*"},
               {"AB1", "CD2", false, "CD2*"}, {"", "", true, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(lf_detcs({1, 0, "KLM", "A320", c.cs, c.cs2, "", c.now}), c.result) << c.cs;
  }
  EXPECT_TRUE(logged("lf_detcs callsign is empty.."));
}

// Ghosts: removed and remembered once; a second ghost is found when the first has gone.
// Static duplicates of a new live aircraft, and every static aircraft removed.
TEST_F(ParkingTest, GhostsAndDuplicates) {
  AiAircraft& ghost = gf_live("A320", "KLM1_", gf_at(0, 0), kStActive, kFsTaxi);
  lf_ghostCheck("KLM1");
  lf_ghostCheck("KLM1");
  EXPECT_EQ(g_ghostTexts, std::vector<std::string>{"KLM1_"});
  EXPECT_EQ(ghost.st, kStRemovingFromSim);
  gf_live("A320", "KLM1_", gf_at(0, 10), kStActive, kFsTaxi);
  lf_ghostCheck("KLM1");
  EXPECT_EQ(g_ghostTexts.size(), 2u);
  EXPECT_FALSE(lf_isUnderscoreCopy("KLM1_"));  // no live KLM1

  const ParkPos& stand = gf_addStand(gf_standAt("A1", 0, 100, 30));
  AiAircraft& live = gf_live("A320", "KLM7", gf_at(0, 0), kStActive, kFsFlying, 2000);
  live.registration = "PH-AAA";
  const struct {
    const char *text6, *text7, *reg;
    std::uint32_t st;
    bool removed;
    const char* line;
  } cases[] = {{"X", "", "PH-AAA", kStActive, true, "has same regcode PH-AAA"},
               {"KLM7", "KLM8", "", kStActive, true, "has same callsign"},
               {"KLM8", "KLM7", "", kStActive, true, "has coupled callsign"},
               {"KLM7", "", "PH-AAA", kStAdding2Sim, false, ""},
               {"X", "Y", "PH-BBB", kStActive, false, ""}};
  for (const auto& c : cases) {
    StaticAircraft& s = gf_static("A320", "S*", stand, c.st);
    s.text6 = c.text6;
    s.text7 = c.text7;
    s.registration = c.reg;
    EXPECT_EQ(gf_removeStaticDuplicate({&live, "KLM", false}, s), c.removed) << c.text6;
    if (c.removed) {
      EXPECT_TRUE(logged(c.line)) << c.line;
    }
  }
  EXPECT_TRUE(logged("airborne KLM7"));

  g_staticCreateWait = {CreateAcRequest{}};
  g_staticCreateWait.front().callsign = "Q1*";
  gf_static("A320", "Q1*", stand, kStAdding2Sim);  // its request still waits
  gf_static("A320", "Q2*", stand, kStAdding2Sim);  // its request went to the link
  gf_removeAllStaticAc();
  EXPECT_TRUE(g_staticCreateWait.empty());
  EXPECT_EQ(std::count_if(g_staticAc.begin(), g_staticAc.end(), [](const StaticAircraft& s) {
              return s.callsign == "Q1*";
            }), 0);
  EXPECT_TRUE(std::all_of(g_staticAc.begin(), g_staticAc.end(), [](const StaticAircraft& s) {
    return s.st == kStRemovingFromSim || s.removalPending;
  }));
}

// Who keeps a stand when a new live aircraft wants it.
TEST_F(ParkingTest, StandContention) {
  const struct {
    const char *holder, *newcomer;
    bool reports, permission, holderRemoved;
  } cases[] = {{"KLM1", "KLM1", false, true, true},   {"KLM1", "KLM1_", false, false, false},
               {"KLM1_", "KLM1", false, true, true},  {"KLM1_", "DLH2", false, true, true},
               {"KLM1", "DLH2_", false, false, false}, {"KLM1", "DLH2", true, false, false},
               {"KLM1", "DLH2", false, true, true},    {"KLM1_", "DLH2_", false, true, true},
               {"KLM1_", "DLH2_", true, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.holder) + " / " + c.newcomer);
    gf_resetTraffic();
    gf_addStand(gf_standAt("A1", 0, 100, 30));
    AiAircraft& holder = parkedOn(g_parkStands[0], c.holder);
    holder.reportWhileParked = c.reports;
    EXPECT_EQ(lf_mayTakeStand(g_parkStands[0].number, c.newcomer), c.permission);
    EXPECT_EQ(holder.st == kStRemovingFromSim, c.holderRemoved);
  }
}

// try2Park: one search per position, never the reserved stand; the stand's occupant leaves, and
// a neighbour 40 m away (half spans 20 and 18 m) does, one 45 m away stays.
TEST_F(ParkingTest, Try2Park) {
  g_parkStandsReady = true;
  for (const auto& [metres, removed] : {std::pair{40.0, true}, std::pair{45.0, false}}) {
    SCOPED_TRACE(metres);
    gf_resetTraffic();
    gf_addStand(gf_standAt("P1", 0, 500, 25));
    gf_addStand(gf_standAt("N1", 0, 500 + metres, 25));
    ParkPos& p1 = g_parkStands[0];
    ParkPos& n1 = g_parkStands[1];
    p1.overlaps = {n1.number};
    AiAircraft& occupant = parkedOn(p1, "OCC1");
    AiAircraft& neighbour = parkedOn(n1, "NBR1");
    neighbour.halfWingspan = 20.0 * kMetresToNm;
    AiAircraft& a = gf_live("A320", "ARR1", gf_at(0, 490), kStActive, kFsTaxi);
    a.halfWingspan = 18.0 * kMetresToNm;
    a.stream.back().lat = a.lat;  // the last report 10 m short of the stand
    try2Park(a, false);
    EXPECT_EQ(a.fs, kFsParking);
    EXPECT_EQ(occupant.st, kStRemovingFromSim);
    EXPECT_EQ(neighbour.st == kStRemovingFromSim, removed);
  }
  gf_resetTraffic();
  gf_addStand(gf_standAt("P1", 0, 500, 25));
  g_reservedStand = "P1";
  AiAircraft& a = gf_live("A320", "ARR2", gf_at(0, 490), kStActive, kFsTaxi);
  try2Park(a, false);
  EXPECT_EQ(a.fs, kFsTaxi);
  g_reservedStand.clear();
  try2Park(a, false);  // searched from here before
  EXPECT_EQ(a.fs, kFsTaxi);
}

// The park airport's maximum (10): a new aircraft born parked makes the longest-parked live one
// leave; the static aircraft parked longest ago goes, also across the week's end; parked live
// aircraft without a report for 91 minutes (Heavy: 181) leave unless INITIAL_LOAD_ONLY is on.
TEST_F(ParkingTest, ParkedLimits) {
  g_mainWindowState.parkTarget = 10;
  for (int k = 0; k < 10; ++k) {
    const ParkPos& s = gf_addStand(gf_standAt("L" + std::to_string(k), k * 36.0, 300, 25));
    parkedOn(s, "LIV" + std::to_string(k)).parkedTime = s_clock - (k == 3 ? 50 : 10) * kMinute;
  }
  lf_parkLimits(true);
  EXPECT_EQ(g_liveAc[3].st, kStRemovingFromSim);
  EXPECT_EQ(std::count_if(g_liveAc.begin(), g_liveAc.end(), [](const AiAircraft& a) { return a.st == kStActive; }), 9);

  g_dayHhNow = DayHh{1, 4};  // Monday: Saturday and Sunday lie behind it
  const ParkPos& st = gf_addStand(gf_standAt("S0", 0, 600, 25));
  for (const DayHh d : {DayHh{7, 40}, DayHh{1, 2}, DayHh{6, 30}, DayHh{1, 0}}) gf_static("B738", "S*", st).parkedSlot = d;
  lf_parkLimits(false);
  EXPECT_EQ(g_staticAc.back().parkedSlot, (DayHh{6, 30}));
  EXPECT_EQ(g_staticAc.back().st, kStRemovingFromSim);
  EXPECT_EQ(g_staticAc.front().parkedSlot, (DayHh{1, 2}));

  gf_resetTraffic();
  const ParkPos s1 = gf_standAt("H1", 0, 300, 40);
  const ParkPos s2 = gf_standAt("H2", 90, 300, 40);
  for (const bool initialOnly : {true, false}) {
    g_paramInitialLoadOnly.setValue(initialOnly);
    gf_resetTraffic();
    gf_addStand(s1);
    gf_addStand(s2);
    parkedOn(g_parkStands[0], "AIR1").parkedTime = s_clock - 91 * kMinute;
    parkedOn(g_parkStands[1], "HVY1", kFsParked, "B744").parkedTime = s_clock - 179 * kMinute;
    lf_listParkedLive();
    EXPECT_EQ(g_parkAdjustBuffer.size(), initialOnly ? 2u : 1u);
    EXPECT_EQ(g_parkAdjustBuffer.front().minutes, initialOnly ? 91u : 179u);
  }
  g_paramInitialLoadOnly.setValue(false);
  EXPECT_EQ(g_liveAc[0].st, kStRemovingFromSim);
  lf_removeLongestParked(3);
  EXPECT_EQ(g_liveAc[1].st, kStRemovingFromSim);
}

// The user on final at 300 ft: an aircraft on the ground 0.5 nm ahead and 40 ft off the line
// goes, 60 ft off it stays, at 1.1 nm it stays, with the user at 600 ft it stays; in the air an
// aircraft 3 nm away, 800 ft above, whose line passes 600 ft from the user goes, 1200 ft above
// it stays.
TEST_F(ParkingTest, UserPath) {
  constexpr double kNmM = 1852.0, kFtM = 0.3048;
  g_userAcSnapshot.heading = 0.0;
  const struct {
    bool air;
    double aheadNm, offFt, userAgl, aboveFt;
    bool removed;
  } cases[] = {{false, 0.5, 40, 300, 0, true},   {false, 0.5, 60, 300, 0, false},
               {false, 1.1, 40, 300, 0, false},  {false, 0.5, 40, 600, 0, false},
               {true, 3.0, 600, 300, 800, true}, {true, 3.0, 600, 300, 1200, false}};
  for (const auto& c : cases) {
    gf_resetTraffic();
    g_userAcSnapshot.altitudeAboveGround = c.userAgl;
    g_userAcSnapshot.altitude = c.userAgl;
    AiAircraft& a = gf_live("A320", "PTH1", gf_at(c.offFt * kFtM, c.aheadNm * kNmM), kStActive,
                            c.air ? kFsFlying : kFsTaxi, c.air ? c.userAgl + c.aboveFt : 0.0);
    if (c.air) {  // flying west, across the user's north-south line at offFt from the user
      const LatLon at = gf_at(1000, c.offFt * kFtM);
      a.lat = at.lat;
      a.lon = at.lon;
      a.heading = 1.5 * kPi;
    }
    EXPECT_EQ(gf_removeIfInUserPath(a), c.removed) << c.air << " " << c.offFt << " " << c.userAgl;
  }
}

// Static aircraft from candidates: keys 1 .. 9999 passing over those in use, a fit of 5 at
// Monday slot 2 parked on Sunday slot 45, the airline's callsign without a callsign text, and a
// candidate next to a parking live aircraft dropped.
TEST_F(ParkingTest, StaticCreation) {
  gf_addStand(gf_standAt("C1", 0, 300, 30));
  gf_addStand(gf_standAt("C2", 0, 400, 30));
  ParkPos& s1 = g_parkStands[0];
  ParkPos& s2 = g_parkStands[1];
  s2.overlaps = {s1.number};
  parkedOn(s1, "LIV1", kFsParking);
  g_staticCandidates = {{s2.number, 0, "KLM", "B738", "KLM5", "", "", true}};
  lf_resolveStandConflicts();
  EXPECT_TRUE(g_staticAc.empty() && g_staticCandidates.empty());
  EXPECT_TRUE(logged("no static parking for KLM5, live aircraft LIV1 is adjacent at C1"));

  gf_resetTraffic();
  g_dayHhNow = DayHh{1, 2};
  gf_addStand(gf_standAt("C3", 0, 500, 30));
  gf_addStand(gf_standAt("C9", 180, 900, 30));
  const ParkPos& s3 = g_parkStands[0];
  gf_static("B738", "IN1*", g_parkStands[1]);  // key 1 in use
  std::uint32_t key = 0;
  while ((key = lf_nextStaticKey()) != 9998) ASSERT_NE(key, 0u);
  gf_static("B738", "IN2*", g_parkStands[1]).key = 9999;
  gf_recordsReordered();
  g_staticCandidates = {{s3.number, 5, "KLM", "B738", "", "", "PH-BXB", true}};
  lf_resolveStandConflicts();
  ASSERT_EQ(g_staticCreateWait.size(), 1u);
  const StaticAircraft& made = g_staticAc.back();
  EXPECT_EQ(made.key, 2u);  // 9999 and 1 are in use, 0 is never a key
  EXPECT_EQ(made.callsign, "KLM2*");
  EXPECT_EQ(made.parkedSlot, (DayHh{7, 45}));
  EXPECT_EQ(made.st, kStAdding2Sim);
  const CreateAcRequest& r = g_staticCreateWait.front();
  EXPECT_TRUE(r.tag == 2 && r.onGround == 1 && r.callsign == "KLM2*" && r.title == "Test B738 KLM");
  EXPECT_NEAR(r.heading, s3.heading * kRadToDeg, 1e-9);
}
