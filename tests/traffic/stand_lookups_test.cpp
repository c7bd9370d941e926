// Stand lookups on stands placed at exact distances from the origin.
#include "foundation/main_window_state.h"
#include "traffic_test_support.h"

using namespace traffictest;

namespace {
class StandLookupsTest : public TrafficTest {};
constexpr double kNm = 1.0 / 1852.0;  // one metre in nautical miles
}  // namespace

TEST_F(StandLookupsTest, StandNameAt) {
  const std::vector<std::tuple<std::vector<ParkPos>, bool, std::string>> cases{
      {{gf_standAt("A1", 0, 54, 20)}, true, "A1"},
      {{gf_standAt("A2", 90, 56, 20)}, true, ""},
      {{gf_standAt("B1", 0, 40, 20), gf_standAt("B2", 180, 30, 20)}, true, "B2"},
      {{gf_standAt("C1", 0, 30, 20), gf_standAt("C2", 0, 30, 20)}, true, "C1"},
      {{gf_standAt("D1", 0, 10, 20)}, false, ""},
      {{}, true, ""}};
  for (const auto& [stands, onGround, expected] : cases) {
    gf_resetEngine();
    for (const ParkPos& s : stands) gf_addStand(s);
    g_userOnGround = onGround;
    EXPECT_EQ(gf_standNameAt(kField), expected);
  }
  // The answer for a position is kept until another position is asked.
  g_parkStands = {gf_standAt("E1", 0, 20, 20)};
  EXPECT_EQ(gf_standNameAt(kField), "E1");
  g_parkStands[0].lat += 1.0;
  EXPECT_EQ(gf_standNameAt(kField), "E1");
  EXPECT_EQ(gf_standNameAt({kField.lat, kField.lon + 1e-7}), "");
}

TEST_F(StandLookupsTest, ClosestFreeStand) {
  const double half = gf_head("A320", "", "", 1).halfWingspan / kNm;  // metres
  ParkPos occupied = gf_standAt("L1", 0, 5, half);
  occupied.liveOccupied = true;
  ParkPos learned = gf_standAt("O1", 0, 60, half);
  learned.options.push_back({"KLM", "A320", "PH-EZE", "KLM8", "", {}, 1, 1, 0, 1});
  const std::vector<std::tuple<std::vector<ParkPos>, const char*, bool, std::string>> cases{
      {{gf_standAt("F1", 0, 15, half)}, "A320", false, "F1"},
      {{gf_standAt("F2", 0, 30, half), gf_standAt("F3", 90, 12, half)}, "A320", false, "F3"},
      {{gf_standAt("F4", 0, 50, half)}, "A320", false, ""},  // beyond 40 m
      {{gf_standAt("S1", 0, 25, half - 2)}, "A320", false, ""},  // too small, not under it
      {{occupied, gf_standAt("F5", 0, 10, half)}, "A320", false, "F5"},
      {{learned}, "A320", true, "O1"},  // its option, within 85 m
      {{learned}, "A320", false, ""},
      {{gf_standAt("H1", 0, 5, half, false, false, true)}, "A320", false, ""},
      {{gf_standAt("G1", 0, 5, 20)}, "EC35", false, ""},
      {{gf_standAt("H2", 0, 5, 20, false, false, true)}, "EC35", false, "H2"}};
  for (const auto& [stands, type, tryOptions, expected] : cases) {
    gf_resetEngine();
    for (const ParkPos& s : stands) gf_addStand(s);
    const StandIter found =
        gf_closestFreeStand(kField, gf_head(type, "KLM8", "PH-EZE", 8), 40 * kNm, tryOptions);
    EXPECT_EQ(found == g_parkStands.end() ? "" : found->id, expected);
  }
  EXPECT_EQ(g_parkStandUpdates, 0);

  // A stand 2 m too small but almost under the aircraft is taken and learns its size.
  gf_resetEngine();
  gf_addStand(gf_standAt("S2", 0, 15, half - 2));
  const StandIter small = gf_closestFreeStand(kField, gf_head("A320", "", "", 1), 40 * kNm, false);
  ASSERT_NE(small, g_parkStands.end());
  EXPECT_DOUBLE_EQ(small->radius, (half - 1) * kNm);
  EXPECT_TRUE(small->radius_change && g_parkStandsChanged);
  EXPECT_EQ(std::pair(g_parkStandUpdates, g_mainWindowState.standUpdates.load()), std::pair(1, 1u));
}

TEST_F(StandLookupsTest, OccupyNameAndId) {
  for (const char* name : {"A1", "A2", "A3"}) gf_addStand(gf_standAt(name, 0, 0, 20));
  g_parkStands[0].overlaps = {2, 99};  // 99: no such stand
  gf_occupyStand(g_parkStands[0]);
  EXPECT_TRUE(g_parkStands[0].staticOccupied && g_parkStands[1].blockedByNeighbour);
  EXPECT_FALSE(g_parkStands[2].blockedByNeighbour);
  EXPECT_EQ(gf_findStandByName("A3") - g_parkStands.begin(), 2);
  EXPECT_EQ(gf_findStandByName("a3"), g_parkStands.end());
  EXPECT_EQ(lf_standNameById(2) + lf_standNameById(0) + lf_standNameById(7), "A2sid==0?unknown");
}
