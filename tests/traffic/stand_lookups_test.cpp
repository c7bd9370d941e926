// Stand lookups on stands placed at exact distances from the origin.
#include "foundation/main_window_state.h"
#include "traffic_test_support.h"

using namespace traffictest;

namespace {

class StandLookupsTest : public TrafficTest {};

constexpr double kNm = 1.0 / 1852.0;  // one metre in nautical miles

}  // namespace

TEST_F(StandLookupsTest, StandNameAt) {
  struct Case {
    const char* name;
    std::vector<ParkPos> stands;
    bool userOnGround;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"54 m", {gf_standAt("A1", 0, 54, 20)}, true, "A1"},
      {"56 m", {gf_standAt("A2", 90, 56, 20)}, true, ""},
      {"nearest", {gf_standAt("B1", 0, 40, 20), gf_standAt("B2", 180, 30, 20)}, true, "B2"},
      {"tie", {gf_standAt("C1", 0, 30, 20), gf_standAt("C2", 0, 30, 20)}, true, "C1"},
      {"user airborne", {gf_standAt("D1", 0, 10, 20)}, false, ""},
      {"no stands", {}, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gf_resetEngine();
    for (const ParkPos& s : c.stands) gf_addStand(s);
    g_userOnGround = c.userOnGround;
    EXPECT_EQ(gf_standNameAt(kField), c.expected);
  }
  // The answer for a position is kept: a moved stand is not seen until another position is asked.
  gf_resetEngine();
  gf_addStand(gf_standAt("E1", 0, 20, 20));
  EXPECT_EQ(gf_standNameAt(kField), "E1");
  g_parkStands[0].lat += 1.0;
  EXPECT_EQ(gf_standNameAt(kField), "E1");
  EXPECT_EQ(gf_standNameAt({kField.lat, kField.lon + 1e-7}), "");
}

TEST_F(StandLookupsTest, ClosestFreeStand) {
  const AircraftHead airliner = gf_head("A320", "KLM8", "PH-EZE", 8);
  const double half = airliner.halfWingspan / kNm;  // metres
  struct Case {
    const char* name;
    std::vector<ParkPos> stands;
    const char* type;
    double maxDistM;
    bool tryOptions;
    std::string expected;
  };
  ParkPos occupied = gf_standAt("L1", 0, 5, half);
  occupied.liveOccupied = true;
  ParkPos learned = gf_standAt("O1", 0, 60, half);
  learned.options.push_back({"KLM", "A320", "PH-EZE", "KLM8", "", {}, 1, 1, 0, 1});
  const std::vector<Case> cases{
      {"fits at 15 m", {gf_standAt("F1", 0, 15, half)}, "A320", 40, false, "F1"},
      {"nearest fitting", {gf_standAt("F2", 0, 30, half), gf_standAt("F3", 90, 12, half)}, "A320",
       40, false, "F3"},
      {"beyond the range", {gf_standAt("F4", 0, 50, half)}, "A320", 40, false, ""},
      {"too small at 25 m", {gf_standAt("S1", 0, 25, half - 2)}, "A320", 40, false, ""},
      {"live-occupied skipped", {occupied, gf_standAt("F5", 0, 10, half)}, "A320", 40, false, "F5"},
      {"option within 85 m", {learned}, "A320", 40, true, "O1"},
      {"options not tried", {learned}, "A320", 40, false, ""},
      {"airliner at a helipad", {gf_standAt("H1", 0, 5, half, false, false, true)}, "A320", 40,
       false, ""},
      {"helicopter at a gate", {gf_standAt("G1", 0, 5, 20)}, "EC35", 40, false, ""},
      {"helicopter at a helipad", {gf_standAt("H2", 0, 5, 20, false, false, true)}, "EC35", 40,
       false, "H2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gf_resetEngine();
    for (const ParkPos& s : c.stands) gf_addStand(s);
    const StandIter found =
        gf_closestFreeStand(kField, gf_head(c.type, "KLM8", "PH-EZE", 8), c.maxDistM * kNm,
                            c.tryOptions);
    EXPECT_EQ(found == g_parkStands.end() ? "" : found->id, c.expected);
    EXPECT_EQ(g_parkStandUpdates, 0);
  }
}

// A stand 2 m too small but almost under the aircraft is taken and learns the aircraft's size.
TEST_F(StandLookupsTest, TooSmallStandUnderTheAircraftGrows) {
  const AircraftHead airliner = gf_head("A320", "KLM8", "PH-EZE", 8);
  gf_addStand(gf_standAt("S2", 0, 15, airliner.halfWingspan / kNm - 2));
  const StandIter found = gf_closestFreeStand(kField, airliner, 40 * kNm, false);
  ASSERT_NE(found, g_parkStands.end());
  EXPECT_DOUBLE_EQ(found->radius, airliner.halfWingspan - kNm);
  EXPECT_TRUE(found->radius_change);
  EXPECT_EQ(g_parkStandUpdates, 1);
  EXPECT_EQ(g_mainWindowState.standUpdates.load(), 1u);
  EXPECT_TRUE(g_parkStandsChanged);
}

TEST_F(StandLookupsTest, OccupyNameAndId) {
  gf_addStand(gf_standAt("A1", 0, 0, 20));
  gf_addStand(gf_standAt("A2", 0, 30, 20));
  gf_addStand(gf_standAt("A3", 0, 60, 20));
  g_parkStands[0].overlaps = {2, 99};  // 99: no such stand
  gf_occupyStand(g_parkStands[0]);
  EXPECT_TRUE(g_parkStands[0].staticOccupied);
  EXPECT_TRUE(g_parkStands[1].blockedByNeighbour);
  EXPECT_FALSE(g_parkStands[2].blockedByNeighbour);
  EXPECT_EQ(gf_findStandByName("A3") - g_parkStands.begin(), 2);
  EXPECT_EQ(gf_findStandByName("a3"), g_parkStands.end());
  EXPECT_EQ(lf_standNameById(2), "A2");
  EXPECT_EQ(lf_standNameById(0), "sid==0?");
  EXPECT_EQ(lf_standNameById(7), "unknown");
}
