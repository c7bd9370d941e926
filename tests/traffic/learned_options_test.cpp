// Learned stand options: the operations on one option list, then a scripted day of sightings
// at a 12-stand park airport (real options and their gaps, soft stands per kind of aircraft,
// coupled callsigns, the static parking's stand search) and the round trip of what was learned
// through the stand-file writer and reader.
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include <fmt/format.h>

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
    // Gates G1-G5 (G2 and G3 overlap), ramps R1-R3, cargo C1-C2, helipads H1-H2: name, radius
    // (m), cargo, ramp, helipad.
    double bearing = 0;
    for (const auto& [name, radius, flags] :
         {std::tuple{"G1", 20, "---"}, {"G2", 20, "---"}, {"G3", 36, "---"}, {"G4", 20, "---"},
          {"G5", 20, "---"}, {"R1", 6, "-r-"}, {"R2", 10, "-r-"}, {"R3", 20, "-r-"},
          {"C1", 36, "c--"}, {"C2", 20, "c--"}, {"H1", 8, "--h"}, {"H2", 8, "--h"}}) {
      gf_addStand(gf_standAt(name, bearing += 30, 100, radius, flags[0] == 'c', flags[1] == 'r',
                             flags[2] == 'h'));
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
  static std::string soft(const AircraftHead& head) {
    const StandIter s = lf_chooseSoftStand({1, 20}, head, true);
    return s == g_parkStands.end() ? "" : s->id;
  }
  WallClockFn m_clock = nullptr;
};

AiAircraft lf_live(std::uint32_t standId, double metres) {
  AiAircraft a(PositionReport{}, gf_head("C172", "PHABC", "PH-ABC", 10010), 0.0);
  const LatLon at = gf_destination(kField, 0.0, metres / 0.3048);
  std::tie(a.lat, a.lon, a.heightAboveGround, a.standId) = std::tuple(at.lat, at.lon, 100, standId);
  return a;
}

ParkPosOption lf_option(const char* cs, const char* cs2, const char* reg, std::uint32_t day,
                        const char* hh, std::uint32_t id = 1) {
  return {"KLM", "B738", reg, cs, cs2, gf_hours2bitset(hh), id, day, 0, 1};
}

}  // namespace

TEST_F(LearnedDayTest, AddOptionAndItsSlots) {
  std::vector<ParkPosOption> o;
  const AircraftHead head = gf_head("A320", "X", "", 1, "TRA");
  for (const auto& [real, when, cs, reg, id] :
       {std::tuple{1u, DayHh{1, 20}, "KLM123_", "PH-BXA", 1}, {1u, {1, 20}, "KLM123", "PH-BXA", 0},
        {1u, {1, 21}, "KLM123", "PH-BXA", 2}, {0u, {2, 5}, "MPH9", "PH-MCP", 3},
        {0u, {2, 5}, "TRA7", "PH-XXX", 4}}) {
    EXPECT_EQ(addOption(o, head, real, when, cs, reg), id);
  }
  EXPECT_THROW(addOption(o, head, 1, {2, 48}, "TRA7", "PH-XXX"), std::out_of_range);
  // Airline and type from the database (the operator first), else from the head.
  EXPECT_EQ(fmt::format("{} {} {} {}, {} {}, {} {} {} {}", o[0].cs, gf_bitset2hours(o[0].hh),
                        o[0].airline, o[0].type, o[2].airline, o[2].type, o[3].airline, o[3].type,
                        o[3].day, o[3].real),
            "KLM123 20 KLM B738, KLC B744, TRA A320 2 0");
  for (const char* cs : {"AAA1", "BBB2_", "AAA1", "", "CCC3"}) updateOptionIdent(o, 4, cs);
  EXPECT_EQ(o[3].cs2, "CCC3");  // TRA7 stays first
  EXPECT_TRUE(gf_optionMatches("KLM123", head, o[0]) && !gf_optionMatches("", head, o[0]) &&
              !gf_optionMatches("TRA7", head, o[3]));  // o[3] is soft
  // Monday slot 1, four half-hours back: 46 and 47 of the day before, 0 of the new day.
  o = {lf_option("", "", "", 1, "1", 1), lf_option("", "", "", 7, "", 2)};
  updateOptionsForIds(o, {1, 1}, "DDD4", 4, 2, 1);
  EXPECT_EQ(gf_bitset2hours(o[1].hh) + " " + gf_bitset2hours(o[0].hh) + " " + o[1].cs,
            "46,47 0,1 DDD4");
  std::vector<int> bad{5, 60, 3}, badWrapped{1, 0, 60}, unknownId{4};
  EXPECT_FALSE(updateOptions(o, bad, 2) || updateOptionsWrapped(o, badWrapped, 1, 2) ||
               updateOptions(o, unknownId, 9));
  EXPECT_TRUE(o[1].hh.test(3));  // set before the bad slot
  EXPECT_TRUE(logged("===> updateOptions exception:invalid bitset position") &&
              logged("===> updateOptionsWrapped exception:invalid bitset position"));
}

TEST_F(LearnedDayTest, TestRange) {
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  for (const auto& [hh, start, offset, used, wrapped] :
       {std::tuple{"3,4", 2, 5, false, 3u}, {"7", 10, 3, true, kNone}, {"6", 10, 3, false, kNone},
        {"", 1, 60, false, 46u}, {"0", 0, 0, true, kNone}, {"5", 48, 2, false, kNone}}) {
    std::uint32_t wrap = 0;
    EXPECT_EQ(testRange(lf_option("", "", "", 1, hh), {start, offset}, wrap), used) << start;
    EXPECT_EQ(wrap, wrapped) << start;
  }
  EXPECT_TRUE(logged("===> exception invalid bitset position in testRange, start: 48, offset: 2"));
}

TEST_F(LearnedDayTest, RealOptionsFillShortGapsAlsoOverMidnight) {
  const AircraftHead klm = gf_head("B738", "KLM1", "PH-BXA", 10001);
  for (const std::uint32_t slot : {20u, 23u, 30u}) {
    EXPECT_TRUE(lf_addRealParkPosOption(1, klm, true, {1, slot}, false));
  }
  EXPECT_FALSE(lf_addRealParkPosOption(1, klm, true, {1, 30}, false));  // seen already
  EXPECT_EQ(slots(1) + " " + std::to_string(g_parkStandUpdates), "20,21,22,23,30 3");
  lf_addRealParkPosOption(1, klm, true, {1, 33}, false);  // the sighting moved on to 30
  EXPECT_EQ(slots(1), "20,21,22,23,30,31,32,33");
  // An equal use recorded already (here a soft one): nothing changes, nothing is counted.
  g_parkStands[1].options = {ParkPosOption{"", "", "PH-BXA", "KLM1", "", gf_hours2bitset("9"), 1,
                                           1, 0, 0}};
  EXPECT_FALSE(lf_addRealParkPosOption(2, klm, true, {1, 9}, false));
  EXPECT_EQ(g_parkStandUpdates, 4);
  // Sunday 47 and 46 to Monday 1 and 2: one Monday option each, the gap filled on both days.
  for (const auto& [stand, sunday] : {std::pair{4u, 47u}, {5u, 46u}}) {
    const AircraftHead tra = gf_head("A320", "TRA2", fmt::format("PH-X{}", stand), stand);
    for (const DayHh when : {DayHh{7, sunday}, DayHh{1, 1}, DayHh{1, 2}}) {
      lf_addRealParkPosOption(stand, tra, true, when, false);
    }
  }
  EXPECT_EQ(slots(4, 0) + " / " + slots(4, 1), "47 / 0,1,2");
  EXPECT_EQ(slots(5, 0) + " / " + slots(5, 1), "46,47 / 0,1,2");
  EXPECT_EQ(g_parkStands[3].options.size() + g_parkStands[4].options.size(), 4u);
  // No registration or no such stand: nothing; leaving forgets the sighting.
  EXPECT_FALSE(lf_addRealParkPosOption(1, gf_head("B738", "KLM1", "", 1), true, {1, 5}, false) ||
               lf_addRealParkPosOption(99, klm, true, {1, 5}, false));
  EXPECT_TRUE(lf_addRealParkPosOption(1, klm, true, {1, 34}, true));
  EXPECT_EQ(g_parkStands[0].realSightings.count(10001), 0u);
}

TEST_F(LearnedDayTest, SoftOptionsAreLearnedOnceInThreeSlots) {
  const auto at = [](std::uint32_t slot) { g_now = kMonday + slot * 1800; };
  at(20);
  lf_learnSoftOption(lf_live(0, 6 * 1852), false);  // 6 nm out
  lf_learnSoftOption(lf_live(6, 3 * 1852), false);  // on a stand
  EXPECT_EQ(g_parkStandUpdates, 0);
  const AiAircraft cessna = lf_live(0, 3 * 1852);
  lf_learnSoftOption(cessna, false);
  ASSERT_EQ(g_parkStands[5].options.size(), 1u);  // R1, the closest fit
  EXPECT_EQ(g_parkStands[5].options[0].real, 0u);
  at(22);
  lf_learnSoftOption(cessna, false);  // the aircraft stayed: its option grows
  EXPECT_EQ(slots(6), "20,21,22");
  // Sightings forgotten (a stand file read anew): one option per three slots at most.
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
  const std::vector<std::pair<AircraftHead, std::string>> cases{
      {gf_head("EC35", "PHHEL", "", 1), "H1"},     {freighter, "C2"},
      {gf_head("A320", "PVT1", "", 1, "PVT"), "R3"}, {gf_head("C172", "PHABC", "", 1), "R1"},
      {gf_head("C56X", "PHJET", "", 1), "R2"}};
  for (const auto& [head, stand] : cases) EXPECT_EQ(soft(head), stand) << head.type;
  // A stand promised to its timetable now is not offered; a matching option goes first.
  g_parkStands[5].options = {lf_option("", "", "PH-XYZ", 1, "20")};
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "R2");
  g_parkStands[3].options = {lf_option("KLM9", "", "PH-BXA", 1, "5")};
  EXPECT_EQ(soft(gf_head("B738", "KLM9", "", 1)), "G4");
  // Airliners: gates only at a 'K' airport; elsewhere about one in ten tries the ramp first.
  std::map<std::string, int> ramps;
  for (const char* icao : {"KJFK", "EHAM"}) {
    g_parkAirportIcao = icao;
    for (int k = 0; k < 200; ++k) ramps[icao] += soft(gf_head("A320", "", "", 1)) == "R3";
  }
  EXPECT_EQ(ramps["KJFK"], 0);
  EXPECT_TRUE(ramps["EHAM"] > 5 && ramps["EHAM"] < 40) << ramps["EHAM"];
  // Every ramp promised now: an airport of 8 stands tries the next slot, one of 11 does not.
  g_parkStands.resize(8);
  for (ParkPos& s : g_parkStands) {
    std::tie(s.ramp, s.heli, s.cargo) = std::tuple(true, false, false);
    s.options = {lf_option("", "", "PH-XYZ", 1, "20")};
  }
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "R1");
  for (int k = 0; k < 3; ++k) gf_addStand(gf_standAt("X", 0, 500 + k * 50, 20));
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "");
  // Ten thousand equal candidates: a strict order that stays in bounds.
  g_paramRandom.setValue(true);
  g_parkStands.assign(10000, gf_standAt("R", 0, 100, 8, false, true, false));
  EXPECT_EQ(soft(gf_head("C172", "PHABC", "", 1)), "R");
}

TEST_F(LearnedDayTest, CoupledCallsigns) {
  g_parkStands[0].options = {lf_option("KLM601", "KLM602", "PH-BFA", 1, "17")};
  const std::vector<std::tuple<const char*, const char*, std::uint32_t, std::string>> cases{
      {"B744", "KLM602_", 3, "KLM601/KLM602"}, {"B744", "KLM601", 31, "KLM601/KLM602"},
      {"B744", "KLM602", 32, "/"}, {"A320", "KLM602", 3, "/"}, {"B744", "KLM603", 10, "/"}};
  for (const auto& [type, callsign, slot, coupled] : cases) {
    AiAircraft a(PositionReport{}, gf_head(type, callsign, "", 1, "KLM"), 0.0);
    lf_searchForCoupledCsAroundThisTime({1, slot}, a);
    EXPECT_EQ(a.text6 + "/" + a.text7, coupled) << type << " " << callsign << " " << slot;
  }
}

TEST_F(LearnedDayTest, StandSearchAcrossMidnight) {
  for (ParkPos& s : g_parkStands) s.options.clear();
  g_parkStands[0].options = {lf_option("KLM11", "KLM12", "PH-AAA", 1, "0,1")};
  g_parkStands[3].options = {lf_option("KLM21", "KLM22", "PH-BBB", 7, "47"),
                             lf_option("KLM21", "KLM22", "PH-BBB", 1, "0", 2)};
  g_parkStands[4].options = {lf_option("KLM31", "", "PH-AAA", 1, "0")};  // KLM11's registration
  g_parkStands[6].options = {lf_option("DLH4", "", "D-AIAA", 1, "0")};   // flies live now
  g_parkStands[7].options = {lf_option("KLM51", "", "PH-CCC", 3, "0")};  // Wednesday
  g_parkStands[8].options = {lf_option("KLM61", "", "", 1, "0")};  // no registrations: no
  g_parkStands[9].options = {lf_option("KLM62", "", "", 1, "0")};  // duplicates either
  g_liveCallsignsSeen = {"DLH4_"};
  for (const bool week : {false, true}) {
    g_paramWeek.setValue(week);
    for (ParkPos& s : g_parkStands) s.staticOccupied = s.blockedByNeighbour = false;
    std::vector<StaticCandidate> before, now;
    lf_searchStands({1, 1}, 1, 2, before, {});   // Sunday 47
    lf_searchStands({1, 1}, 1, 1, now, before);  // Monday 0
    std::string found;
    for (const auto* list : {&before, &now}) {
      for (const auto& c : *list) found += fmt::format("{}{}{} ", c.cs, c.continues ? "+" : "", c.fit);
    }
    EXPECT_EQ(found, week ? "KLM21+2 KLM11+1 KLM51+1 KLM61+1 KLM62+1 "
                          : "KLM21+2 KLM11+1 KLM61+1 KLM62+1 ");
    EXPECT_TRUE(g_parkStands[0].staticOccupied && g_parkStands[3].staticOccupied);
    EXPECT_EQ(g_parkStands[4].options[0].id, 1u);  // kept for another search
  }
}

TEST_F(LearnedDayTest, OptionsSurviveTheStandFile) {
  const AircraftHead klm = gf_head("B738", "KLM1", "PH-BXA", 10001);
  const AircraftHead tra = gf_head("A320", "TRA2", "PH-XRA", 10002);
  for (const std::uint32_t slot : {20u, 22u}) lf_addRealParkPosOption(1, klm, true, {1, slot}, false);
  updateOptionIdent(g_parkStands[0].options, 1, "KLM2");
  for (const DayHh when : {DayHh{7, 47}, DayHh{1, 1}}) lf_addRealParkPosOption(4, tra, true, when, false);
  lf_addSoftParkPosOption(11, gf_head("EC35", "PHHEL", "", 10004), false, {3, 9});
  const auto content = [] {
    std::multiset<std::string> all;  // ids are numbered anew on reading
    for (const ParkPos& s : g_parkStands) {
      for (const ParkPosOption& o : s.options) {
        all.insert(fmt::format("{} {} {} {}/{} {} {}", s.id, o.day, gf_bitset2hours(o.hh), o.cs,
                               o.cs2, o.real, o.reg));
      }
    }
    return all;
  };
  const auto learned = content();
  ASSERT_EQ(learned.size(), 4u);
  g_simulatorName = "P3D";
  const std::string path = "airports/my_thirdparty/EHAM.xml";
  const std::filesystem::path learnedPath = gf_learnedApfPath(path, "Testsoft");
  std::filesystem::create_directories(learnedPath.parent_path());
  std::filesystem::create_directories("airports/my_thirdparty");
  const AirportFile file{"EHAM", "Schiphol", "", "Testsoft", 0, 0, 0, -11, g_parkStands};
  ASSERT_TRUE(gf_writeApf(file, path, true) && gf_writeApf(file, learnedPath, false));
  std::string result;
  gf_readApf(result, path, g_parkApfHeader, g_parkAirportQf, g_parkStands);
  EXPECT_EQ(result, "");
  EXPECT_EQ(content(), learned);
}
