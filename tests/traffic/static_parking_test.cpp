// The static parking: the wanted count, the search by fit over real and soft options, skipped
// and blocked stands, trimming, the log lines and the quality rule; and the 20-minute renewal:
// which static aircraft stay, which a newer option replaces (also across the week's end), live
// aircraft beyond the wanted count, and the options of kept aircraft.
#include <algorithm>
#include <set>

#include <fmt/format.h>

#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "park_test_support.h"

namespace traffictest {
namespace {

using StaticCalcTest = ParkTest;

TEST_F(StaticCalcTest, WantedCount) {
  struct Row {
    int stands, percent, customPercent, customMax, wanted, shown;
  };
  for (const Row& r : {Row{1, 30, -1, -1, 1, 30}, Row{3, 30, -1, -1, 1, 30}, Row{3, 50, -1, -1, 2, 50},
                       Row{10, 30, -1, -1, 3, 30}, Row{10, 0, -1, -1, 0, 0}, Row{3, 0, -1, -1, 0, 0},
                       Row{10, 30, 50, -1, 5, 50}, Row{10, 30, -1, 2, 2, 20}, Row{0, 30, -1, 2, 0, 0}}) {
    g_parkStands.assign(static_cast<std::size_t>(r.stands), ParkPos());
    g_paramParkingPercentage.setValue(r.percent);
    g_paramCustomParkingPercentage.setValue(r.customPercent);
    g_paramCustomMaxPark.setValue(r.customMax);
    EXPECT_EQ(lf_wantedStaticCount(), r.wanted) << r.stands << " stands, " << r.percent << " %";
    EXPECT_EQ(g_mainWindowState.parkTarget.load(), r.wanted);
    EXPECT_EQ(g_mainWindowState.maxPark.load(), static_cast<std::uint32_t>(r.shown));
  }
}

TEST_F(StaticCalcTest, QualityRuleSwitchesLearnSoftOff) {
  ASSERT_TRUE(lf_setCurrentParkAirport("EHAM"));
  for (const auto& [qf, stands, learnSoft] : {std::tuple{45, 20, false}, {44, 20, true}, {45, 19, true}}) {
    std::vector<fixtures::StandRow> rows;
    for (int i = 0; i < stands; ++i) rows.push_back(gf_standRow(fmt::format("B{}", i), 18.0 * i, 300));
    gf_writeParkFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft", rows, {{"Qf_real", std::to_string(qf)}});
    g_paramLearnSoft.setValue(true);
    g_standFileParamsChanged = false;
    std::string message;
    lf_readParkedFile(message);
    EXPECT_EQ(message, "");
    EXPECT_TRUE(g_paramLearnSoft.value() == learnSoft && g_learnSoftAllowed == learnSoft &&
                g_standFileParamsChanged == !learnSoft) << qf << "/" << stands;
  }
}

class StaticSearchTest : public ParkTest {
 protected:
  // Twelve stands 150 m apart with options of day 1 at `fit` half-hours before slot 16. S3 is
  // reserved, the user stands on S4, S8 is 40 m from S7 where a static aircraft stands, S9's
  // option is soft, S12's is of another day.
  void SetUp() override {
    ParkTest::SetUp();
    g_dayHhNow = DayHh{1, 16};
    g_paramMaxFit.setValue(5);
    g_paramRandom.setValue(false);
    const int fits[] = {0, 2, 0, 1, 0, 0, -1, 0, 0, -1, 6, 0};
    for (int i = 0; i < 12; ++i) {
      ParkPos& s = gf_addStand(gf_standAt(fmt::format("S{}", i + 1), 90.0, i == 7 ? 940.0 : 150.0 * i, 20.0));
      if (fits[i] >= 0) s.options.push_back(gf_option("KLM", "B738", fmt::format("KLM{}", i + 1), 1, 16 - fits[i]));
    }
    g_parkStands[8].options[0].real = 0;
    g_parkStands[11].options[0].day = 2;
    g_reservedStand = "S3";
    gf_userAt({g_parkStands[3].lat, g_parkStands[3].lon}, true);
    g_parkStands[7].overlaps = {7};
    gf_addStatic("B744", "MPH7*", 7, {1, 10}, 77);
  }
  std::string candidates() const {
    std::string text;
    for (const StaticCandidate& c : g_staticCandidates) text += fmt::format("{}+{} ", c.cs, c.fit);
    return text;
  }
};

TEST_F(StaticSearchTest, BestFitLastRealThenSoftSkippedAndBlockedStands) {
  g_paramParkingPercentage.setValue(50);  // 6 of 12
  lf_calcStaticParking();
  EXPECT_EQ(candidates(), "KLM2+2 KLM1+0 KLM5+0 KLM6+0 KLM9+0 ");
  EXPECT_TRUE(g_busy && g_mainWindowState.staticMarker.load() == 1);
  for (const char* line : {"(utc) It is day 1 (Mon), 8.5 hours",
                           "4 real positions found, Max fit=3 hours, day 1, hh:16 or 8.5 hrs fit: 3 hour",
                           "1 soft position found, Max fit=3 hours, day 1, hh:16 or 8.5 hrs fit: 3 hour",
                           "5 positions (42% vs wanted 50%, with Max fit=3 hours)\n"}) {
    EXPECT_TRUE(logged(line)) << line;
  }
}

TEST_F(StaticSearchTest, TrimmingAndNothingFound) {
  g_paramParkingPercentage.setValue(17);  // 2 of 12: of the three of fit 0 the last goes
  g_paramMaxFit.setValue(0);
  lf_calcStaticParking();
  EXPECT_EQ(candidates(), "KLM1+0 KLM5+0 ");
  EXPECT_TRUE(logged("3 real positions found, Max fit=0.5 hours"));
  g_dayHhNow = DayHh{3, 16};
  lf_calcStaticParking();
  EXPECT_TRUE(candidates().empty() && !g_busy && logged("no parking positions found"));
}

// With RANDOM on, the stands that get the aircraft among those of the last fit are drawn, not
// always the first ones of the file.
TEST_F(StaticCalcTest, RandomDrawsAmongTheStandsOfTheLastFit) {
  g_dayHhNow = DayHh{1, 16};
  g_paramMaxFit.setValue(0);
  g_paramRandom.setValue(true);
  g_paramParkingPercentage.setValue(33);  // 2 of 6
  for (int i = 0; i < 6; ++i) {
    gf_addStand(gf_standAt(fmt::format("S{}", i + 1), 90.0, 150.0 * i, 20.0))
        .options.push_back(gf_option("KLM", "B738", fmt::format("KLM{}", i + 1), 1, 16));
  }
  std::set<std::string> drawn;
  for (int run = 0; run < 8; ++run) {
    lf_calcStaticParking();
    ASSERT_EQ(g_staticCandidates.size(), 2u);
    for (const StaticCandidate& c : g_staticCandidates) drawn.insert(c.cs);
  }
  EXPECT_GT(drawn.size(), 2u);
}

// A static aircraft takes the callsign of its slot, with '*', as its tail number of at most 11
// characters: an option too long for that makes no candidate, another option of the stand does.
// The second callsign counts only when the use ends with the slot.
TEST_F(StaticCalcTest, NoCandidateOfACallsignTooLongForATailNumber) {
  g_dayHhNow = DayHh{1, 16};
  g_paramMaxFit.setValue(0);
  g_paramRandom.setValue(false);
  g_paramLog.setValue(true);
  g_paramParkingPercentage.setValue(100);
  const std::vector<std::vector<ParkPosOption>> options = {
      {gf_option("IBE", "A320", "IBE12345678", 1, 16),
       gf_option("IBE", "A320", "IBE1234567", 1, 16)},
      {gf_option("IBE", "A320", "IBE1", 1, 16, 1, "IBE12345678X")},  // goes on at slot 17
      {gf_option("IBE", "A320", "IBE2", 1, 16, 1, "IBE12345678X")},
      {gf_option("IBE", "A320", "IBE1234567___", 1, 16)}};
  for (std::size_t i = 0; i < options.size(); ++i) {
    const double metres = 150.0 * static_cast<double>(i);
    gf_addStand(gf_standAt(fmt::format("S{}", i + 1), 90.0, metres, 20.0)).options = options[i];
  }
  g_parkStands[1].options[0].hh.set(17);
  lf_calcStaticParking();
  std::string made;
  for (const StaticCandidate& c : g_staticCandidates) made += c.cs + " ";
  EXPECT_EQ(made, "IBE1234567 IBE1 IBE1234567___ ");
  EXPECT_EQ(g_parkStands[0].options.size(), 2u);
  EXPECT_TRUE(logged("IBE12345678X* too long for a tail number, no static aircraft"));
}


class RenewalTest : public ParkTest {
 protected:
  void SetUp() override {
    ParkTest::SetUp();
    g_paramRandom.setValue(false);
    g_paramMaxFit.setValue(5);
    g_paramParkingPercentage.setValue(100);
    ASSERT_TRUE(lf_setCurrentParkAirport("EHAM"));
    gf_userAt({0.0, 0.0}, false);
    for (int i = 0; i < 6; ++i) gf_addStand(gf_standAt(fmt::format("S{}", i + 1), 90.0, 150.0 * i, 20.0));
  }
  static void option(std::uint32_t standId, ParkPosOption o) {
    std::vector<ParkPosOption>& options = g_parkStands[standId - 1].options;
    o.id = static_cast<std::uint32_t>(options.size() + 1);
    options.push_back(o);
  }
};

TEST_F(RenewalTest, KeptReplacedAndRemovedAcrossTheWeeksEnd) {
  g_dayHhNow = DayHh{1, 1};
  g_paramParkSoft.setValue(false);
  gf_addStatic("B738", "KLM1*", 1, {7, 40}, 31);  // its own option again: stays
  option(1, gf_option("KLM", "B738", "KLM1", 1, 1));
  gf_addStatic("A320", "TRA2*", 2, {7, 46}, 32);  // a use that began Monday 0: replaced
  option(2, gf_option("DLH", "A320", "DLH3", 1, 0));
  gf_addStatic("A320", "TRA4*", 3, {1, 0}, 33, "TRA");  // a use that began Sunday 47: stays
  option(3, gf_option("DLH", "A320", "DLH5", 7, 47));
  gf_addStatic("A320", "TRA6*", 4, {1, 0}, 34, "TRA");  // a soft use late on Sunday: stays
  option(4, gf_option("TRA", "A320", "TRA6", 7, 45, 0));
  gf_addStatic("A320", "TRA7*", 5, {1, 0}, 35, "TRA");  // nothing learned: goes
  gf_parkingAdjustments();
  std::string kept;
  for (const KeptStatic& k : g_parkOptionCandidates) kept += k.callsign + " ";
  EXPECT_EQ(kept, "TRA4* TRA6* KLM1* ");  // latest parked first
  ASSERT_EQ(g_staticCandidates.size(), 1u);
  EXPECT_EQ(g_staticCandidates[0].cs, "DLH3");
  EXPECT_TRUE(g_busy && logged("Parking adjustments: 2 to be removed, 1 to be added\n"));
  EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{35, 32}));  // from the back of the list

  // Nothing is removed twice; a static created where one is still being removed is the one
  // its removal takes.
  gf_addStatic("A320", "DLH3*", 5, {1, 1}, 36, "DLH");
  gf_parkingAdjustments();
  EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{35, 32, 36}));
}

// Kept aircraft come latest parked first, counted back from now, in the middle of the week too.
TEST_F(RenewalTest, KeptAircraftSortedByAgeMidweek) {
  g_dayHhNow = DayHh{3, 10};
  const std::tuple<const char*, DayHh, std::uint32_t> parked[] = {
      {"KLM1", {2, 40}, 1}, {"KLM2", {3, 5}, 3}, {"KLM3", {1, 30}, 1}, {"KLM4", {3, 9}, 3}};
  std::uint32_t stand = 1, objectId = 31;
  for (const auto& [callsign, when, day] : parked) {
    gf_addStatic("B738", std::string(callsign) + "*", stand, when, objectId++);
    option(stand++, gf_option("KLM", "B738", callsign, 3, 10));
  }
  gf_parkingAdjustments();
  std::string kept;
  for (const KeptStatic& k : g_parkOptionCandidates) kept += k.callsign + " ";
  EXPECT_EQ(kept, "KLM4* KLM2* KLM1* KLM3* ");
}

// Statics on their stands count while present; the average fit shown is that of the time of day
// and is left alone with WEEK on.
TEST_F(RenewalTest, StaticParkedStatsWithWeekOnAndOff) {
  g_dayHhNow = DayHh{3, 10};
  gf_addStatic("B738", "KLM1*", 1, {3, 8}, 31);
  gf_addStatic("B738", "KLM2*", 2, {3, 4}, 32).st = kStRemovingFromSim;
  gf_addStatic("B738", "KLM3*", 3, {3, 0}, 33).st = kStAdding2Sim;
  for (const bool week : {true, false}) {
    g_paramWeek.setValue(week);
    g_mainWindowState.staticAverageFit = -1.0f;
    EXPECT_EQ(gf_staticParkedStats(true), 2u);
    // Slots 2 and 6 behind: (2 + 6) / 4 + 0.5 hours.
    EXPECT_FLOAT_EQ(g_mainWindowState.staticAverageFit.load(), week ? -1.0f : 2.5f) << week;
  }
}

TEST_F(RenewalTest, NothingToChangeThenTheControlsComeBack) {
  gf_addStatic("B738", "KLM1*", 1, {1, 20}, 31);
  option(1, gf_option("KLM", "B738", "KLM1", 1, 20));
  gf_parkingAdjustments();
  EXPECT_TRUE(logged("Parking adjustments: 0 to be removed, 0 to be added\n") && g_removeWait.empty());
  gf_handleParkAirport(false);
  EXPECT_FALSE(g_busy);
}

TEST_F(RenewalTest, LiveAircraftBeyondTheWantedCount) {
  for (const auto& [percent, initialLoadOnly, removed] : {std::tuple{50, false, 2u}, {50, true, 0u}, {0, false, 0u}}) {
    g_liveAc.clear();
    g_removeWait.clear();
    for (std::uint32_t i = 1; i <= 5; ++i) gf_addParkedLive(fmt::format("KLM{}", i), i, 40 + i);
    g_paramParkingPercentage.setValue(percent);
    g_paramInitialLoadOnly.setValue(initialLoadOnly);
    gf_parkingAdjustments();
    EXPECT_EQ(g_removeWait.size(), removed) << percent << "% " << initialLoadOnly;
  }
  EXPECT_TRUE(logged("Parking adjustments: 2 more live ac than wanted"));
}

TEST_F(RenewalTest, AKeptAircraftsOptionGainsTheNextSlot) {
  for (const auto& [now, day, slot] : {std::tuple{DayHh{3, 20}, 3u, 21u}, {DayHh{1, 47}, 2u, 0u}, {DayHh{7, 47}, 1u, 0u}}) {
    g_staticAc.clear();
    g_parkStands[0].options = {gf_option("KLM", "B738", "KLM1", now.day, static_cast<int>(now.hh), 1, "KLM2")};
    g_dayHhNow = now;
    gf_addStatic("B738", "KLM1*", 1, now, 31).text7 = "KLM2";
    gf_parkingAdjustments();
    const auto& options = g_parkStands[0].options;
    EXPECT_TRUE(std::any_of(options.begin(), options.end(), [&](const ParkPosOption& o) {
      return o.day == day && o.hh.test(slot) && o.cs == "KLM1" && o.cs2 == "KLM2";
    })) << now.day << "/" << now.hh;
  }
}

}  // namespace
}  // namespace traffictest
