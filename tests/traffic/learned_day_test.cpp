// A scripted day of live sightings at a 12-stand park airport: real options and their gaps,
// soft stands per kind of aircraft, coupled callsigns, the stand search of the static parking,
// and the learned options' round trip through the stand-file writer and reader.
#include <algorithm>
#include <filesystem>
#include <set>
#include <tuple>

#include "foundation/meta_block.h"
#include "foundation/parameters.h"
#include "traffic_test_support.h"

using namespace traffictest;

namespace {

constexpr std::int64_t kMonday = 1704067200;  // 2024-01-01 00:00 UTC, a Monday
std::int64_t g_now = kMonday;                  // the test clock
std::int64_t lf_clock() { return g_now; }

class LearnedDayTest : public TrafficTest {
 protected:
  void SetUp() override {
    TrafficTest::SetUp();
    m_clock = g_wallClock.exchange(&lf_clock);
    g_paramRandom.setValue(false);
    g_parkAirportIcao = "EHAM";
    g_parkAirportPos = kField;
    g_learnSoftAllowed = true;
    // Gates G1-G5 (G2 and G3 overlap), ramps R1-R3, cargo C1-C2, helipads H1-H2.
    const std::vector<std::tuple<const char*, double, bool, bool, bool>> layout{
        {"G1", 20, false, false, false}, {"G2", 20, false, false, false},
        {"G3", 36, false, false, false}, {"G4", 20, false, false, false},
        {"G5", 20, false, false, false}, {"R1", 6, false, true, false},
        {"R2", 10, false, true, false},  {"R3", 20, false, true, false},
        {"C1", 36, true, false, false},  {"C2", 20, true, false, false},
        {"H1", 8, false, false, true},   {"H2", 8, false, false, true}};
    double bearing = 0;
    for (const auto& [name, radius, cargo, ramp, heli] : layout) {
      gf_addStand(gf_standAt(name, bearing += 30, 100, radius, cargo, ramp, heli));
    }
    g_parkStands[1].overlaps = {3};
    g_parkStands[2].overlaps = {2};
  }
  void TearDown() override {
    g_wallClock.store(m_clock);
    TrafficTest::TearDown();
  }
  static std::string slots(std::uint32_t stand, std::size_t option = 0) {
    return gf_bitset2hours(g_parkStands[stand - 1].options.at(option).hh);
  }
  std::string soft(const AircraftHead& head, DayHh when = {1, 20}) {
    const StandIter s = lf_chooseSoftStand(when, head, true);
    return s == g_parkStands.end() ? "" : s->id;
  }
  WallClockFn m_clock = nullptr;
};

AiAircraft lf_live(const char* type, const char* callsign, const char* reg, std::uint32_t key,
                   double metres, double heightFt) {
  AiAircraft a(PositionReport{}, gf_head(type, callsign, reg, key), 0.0);
  const LatLon at = gf_destination(kField, 0.0, metres / 0.3048);
  a.lat = at.lat;
  a.lon = at.lon;
  a.heightAboveGround = heightFt;
  return a;
}

}  // namespace

TEST_F(LearnedDayTest, RealOptionsFillShortGapsAlsoOverMidnight) {
  const AircraftHead klm = gf_head("B738", "KLM1", "PH-BXA", 10001);
  for (const std::uint32_t slot : {20u, 23u, 30u}) {
    EXPECT_TRUE(lf_addRealParkPosOption(1, klm, true, {1, slot}, false));
  }
  EXPECT_FALSE(lf_addRealParkPosOption(1, klm, true, {1, 30}, false));  // seen already
  EXPECT_EQ(slots(1), "20,21,22,23,30");
  EXPECT_EQ(g_parkStandUpdates, 3);

  // Sunday 47 and 46 to Monday 1: one Monday option each, the gap filled on both days.
  const AircraftHead late = gf_head("A320", "TRA2", "PH-XRA", 10002);
  const AircraftHead later = gf_head("A320", "TRA3", "PH-XRB", 10003);
  lf_addRealParkPosOption(4, late, true, {7, 47}, false);
  lf_addRealParkPosOption(4, late, true, {1, 1}, false);
  lf_addRealParkPosOption(5, later, true, {7, 46}, false);
  lf_addRealParkPosOption(5, later, true, {1, 1}, false);
  lf_addRealParkPosOption(5, later, true, {1, 2}, false);
  ASSERT_EQ(g_parkStands[3].options.size(), 2u);
  ASSERT_EQ(g_parkStands[4].options.size(), 2u);
  EXPECT_EQ(slots(4, 0) + " / " + slots(4, 1), "47 / 0,1");
  EXPECT_EQ(slots(5, 0) + " / " + slots(5, 1), "46,47 / 0,1,2");

  // No registration, no callsign, no stand: nothing; leaving forgets the sighting.
  EXPECT_FALSE(lf_addRealParkPosOption(1, gf_head("B738", "KLM1", "", 1), true, {1, 5}, false));
  EXPECT_FALSE(lf_addRealParkPosOption(99, klm, true, {1, 5}, false));
  EXPECT_TRUE(lf_addRealParkPosOption(1, klm, true, {1, 31}, true));
  EXPECT_EQ(g_parkStands[0].realSightings.count(10001), 0u);
}

TEST_F(LearnedDayTest, SoftOptionsAreLearnedOnceInThreeSlots) {
  const auto at = [](std::uint32_t slot) { g_now = kMonday + slot * 1800; };
  at(20);
  lf_learnSoftOption(lf_live("C172", "PHABC", "PH-ABC", 10010, 6 * 1852, 100), false);  // 6 nm
  AiAircraft onStand = lf_live("C172", "PHABC", "PH-ABC", 10010, 3 * 1852, 100);
  onStand.standId = 6;
  lf_learnSoftOption(onStand, false);
  EXPECT_EQ(g_parkStandUpdates, 0);

  const AiAircraft cessna = lf_live("C172", "PHABC", "PH-ABC", 10010, 3 * 1852, 100);
  lf_learnSoftOption(cessna, false);
  ASSERT_EQ(g_parkStands[5].options.size(), 1u);  // R1, the closest fit
  EXPECT_EQ(g_parkStands[5].options[0].real, 0u);
  at(22);
  lf_learnSoftOption(cessna, false);  // the aircraft stayed: its option grows
  EXPECT_EQ(slots(6), "20,21,22");

  // Sightings forgotten (a stand file read anew): the limit of one option per three slots holds.
  g_parkStands[5].softSightings.clear();
  at(24);
  lf_learnSoftOption(cessna, false);
  EXPECT_EQ(slots(6), "20,21,22");
  at(25);
  lf_learnSoftOption(cessna, false);
  EXPECT_EQ(slots(6), "20,21,22,25");
}

TEST_F(LearnedDayTest, SoftStandPerKindOfAircraft) {
  AircraftHead freighter = gf_head("A320", "KLC1", "", 1);
  freighter.cargo = true;
  EXPECT_EQ(soft(gf_head("EC35", "PHHEL", "", 1)), "H1");
  EXPECT_EQ(soft(freighter), "C2");
  EXPECT_EQ(soft(gf_head("A320", "PVT1", "", 1, "PVT")), "R3");
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "R1");
  EXPECT_EQ(soft(gf_head("C56X", "PHJET", "", 1)), "R2");
  // A stand promised to its timetable now is not offered.
  g_parkStands[5].options.push_back({"KLM", "C172", "PH-XYZ", "", "", gf_hours2bitset("20"), 1, 1,
                                     0, 1});
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "R2");
  // A gate with a matching option goes before a better fitting one.
  g_parkStands[3].options.push_back({"KLM", "B738", "PH-BXA", "KLM9", "", gf_hours2bitset("5"), 1,
                                     1, 0, 1});
  EXPECT_EQ(soft(gf_head("B738", "KLM9", "", 1)), "G4");

  // Airliners: gates only at a 'K' airport; elsewhere about one in ten tries the ramp first.
  int ramps = 0;
  for (const char* icao : {"KJFK", "EHAM"}) {
    g_parkAirportIcao = icao;
    for (int k = 0; k < 200; ++k) ramps += soft(gf_head("A320", "", "", 1)) == "R3" ? 1 : 0;
    if (icao[0] == 'K') {
      EXPECT_EQ(ramps, 0);
    }
  }
  EXPECT_GT(ramps, 5);
  EXPECT_LT(ramps, 40);
}

TEST_F(LearnedDayTest, SmallAirportsTryTheNextSlot) {
  g_parkStands.resize(8);
  for (ParkPos& s : g_parkStands) {
    s.ramp = true;
    s.heli = s.cargo = false;
    s.options = {{"KLM", "C172", "PH-XYZ", "", "", gf_hours2bitset("20"), 1, 1, 0, 1}};
  }
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "R1");
  for (int k = 0; k < 3; ++k) gf_addStand(gf_standAt("X", 0, 500 + k * 50, 20));
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "");
}

TEST_F(LearnedDayTest, CoupledCallsigns) {
  g_parkStands[0].options = {{"KLM", "B744", "PH-BFA", "KLM601", "KLM602", gf_hours2bitset("17"), 1,
                              1, 0, 1}};
  struct Case {
    const char* type;
    const char* callsign;
    std::uint32_t slot;
    std::string coupled;
  };
  const std::vector<Case> cases{{"B744", "KLM602_", 3, "KLM601/KLM602"},
                                {"B744", "KLM601", 31, "KLM601/KLM602"},
                                {"B744", "KLM602", 32, "/"},
                                {"A320", "KLM602", 3, "/"},
                                {"B744", "KLM603", 10, "/"}};
  for (const Case& c : cases) {
    AiAircraft a(PositionReport{}, gf_head(c.type, c.callsign, "", 1, "KLM"), 0.0);
    lf_searchForCoupledCsAroundThisTime({1, c.slot}, a);
    EXPECT_EQ(a.text6 + "/" + a.text7, c.coupled) << c.type << " " << c.callsign << " " << c.slot;
  }
}

TEST_F(LearnedDayTest, StandSearchAcrossMidnight) {
  const auto option = [](const char* cs, const char* cs2, const char* reg, std::uint32_t day,
                         const char* hh, std::uint32_t id) {
    return ParkPosOption{"KLM", "B738", reg, cs, cs2, gf_hours2bitset(hh), id, day, 0, 1};
  };
  for (ParkPos& s : g_parkStands) s.options.clear();
  g_parkStands[0].options = {option("KLM11", "KLM12", "PH-AAA", 1, "0,1", 1)};
  g_parkStands[3].options = {option("KLM21", "KLM22", "PH-BBB", 7, "47", 1),
                             option("KLM21", "KLM22", "PH-BBB", 1, "0", 2)};
  g_parkStands[4].options = {option("KLM31", "", "PH-AAA", 1, "0", 1)};
  g_parkStands[6].options = {option("DLH4", "", "D-AIAA", 1, "0", 1)};
  g_parkStands[7].options = {option("KLM51", "", "PH-CCC", 3, "0", 1)};
  g_liveCallsignsSeen = {"DLH4_"};

  for (const bool week : {false, true}) {
    SCOPED_TRACE(week ? "WEEK on" : "WEEK off");
    g_paramWeek.setValue(week);
    for (ParkPos& s : g_parkStands) s.staticOccupied = s.blockedByNeighbour = false;
    std::vector<StaticCandidate> before, now;
    lf_searchStands({1, 1}, 1, 2, before, {});  // Sunday 47
    lf_searchStands({1, 1}, 1, 1, now, before);  // Monday 0
    std::vector<std::string> found;
    for (const auto& c : before) found.push_back(c.cs + (c.continues ? "+" : ""));
    for (const auto& c : now) found.push_back(c.cs + (c.continues ? "+" : "") + std::to_string(c.fit));
    // KLM31 shares KLM11's registration and DLH4 flies live: both are passed over.
    const std::vector<std::string> expected =
        week ? std::vector<std::string>{"KLM21+", "KLM11+1", "KLM51+1"}
             : std::vector<std::string>{"KLM21+", "KLM11+1"};
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(g_parkStands[0].staticOccupied && g_parkStands[3].staticOccupied);
    EXPECT_EQ(g_parkStands[4].options[0].id, 1u);  // kept for another day
  }
}

TEST_F(LearnedDayTest, OptionsSurviveTheStandFile) {
  const AircraftHead klm = gf_head("B738", "KLM1", "PH-BXA", 10001);
  lf_addRealParkPosOption(1, klm, true, {1, 20}, false);
  lf_addRealParkPosOption(1, klm, true, {1, 22}, false);
  updateOptionIdent(g_parkStands[0].options, 1, "KLM2");
  lf_addRealParkPosOption(4, gf_head("A320", "TRA2", "PH-XRA", 10002), true, {7, 47}, false);
  lf_addRealParkPosOption(4, gf_head("A320", "TRA2", "PH-XRA", 10002), true, {1, 1}, false);
  lf_addSoftParkPosOption(11, gf_head("EC35", "PHHEL", "", 10004), false, {3, 9});
  const auto content = [] {
    std::multiset<std::tuple<std::string, std::uint32_t, std::string, std::string, std::string,
                             std::uint32_t, std::string>> all;
    for (const ParkPos& s : g_parkStands) {
      for (const ParkPosOption& o : s.options) {
        all.emplace(s.id, o.day, gf_bitset2hours(o.hh), o.cs, o.cs2, o.real, o.reg);
      }
    }
    return all;
  };
  const auto learned = content();
  ASSERT_EQ(learned.size(), 4u);

  g_simulatorName = "P3D";
  const std::string path = "airports/my_thirdparty/EHAM.xml";
  std::filesystem::create_directories("airports/my_thirdparty");
  const AirportFile file{"EHAM", "Schiphol", "", "Testsoft", 0, 0, 0, -11, g_parkStands};
  ASSERT_TRUE(gf_writeApf(file, path, true));
  const std::filesystem::path learnedPath = gf_learnedApfPath(path, "Testsoft");
  std::filesystem::create_directories(learnedPath.parent_path());
  ASSERT_TRUE(gf_writeApf(file, learnedPath, false));
  g_parkStands.clear();
  std::string result;
  gf_readApf(result, path, g_parkApfHeader, g_parkAirportQf, g_parkStands);
  ASSERT_EQ(result, "");
  EXPECT_EQ(content(), learned);
}

// Equal keys everywhere: the order stays strict and the sort stays in bounds.
TEST_F(LearnedDayTest, TenThousandEqualCandidates) {
  g_paramRandom.setValue(true);
  g_parkStands.assign(10000, gf_standAt("R", 0, 100, 8, false, true, false));
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "R");
}
