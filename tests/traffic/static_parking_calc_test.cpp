// The static parking calculation: the wanted count, the search by fit over real and soft
// options, skipped and blocked stands, trimming, the log lines, and the stand file's quality rule.
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
  const Row rows[] = {{1, 30, -1, -1, 1, 30},  {3, 30, -1, -1, 1, 30}, {3, 50, -1, -1, 2, 50},
                      {10, 30, -1, -1, 3, 30}, {10, 0, -1, -1, 0, 0},  {3, 0, -1, -1, 0, 0},
                      {10, 30, 50, -1, 5, 50}, {10, 30, -1, 2, 2, 20}, {0, 30, -1, 2, 0, 0}};
  for (const Row& r : rows) {
    g_parkStands.assign(static_cast<std::size_t>(r.stands), ParkPos());
    g_paramParkingPercentage.setValue(r.percent);
    g_paramCustomParkingPercentage.setValue(r.customPercent);
    g_paramCustomMaxPark.setValue(r.customMax);
    EXPECT_EQ(lf_wantedStaticCount(), r.wanted) << r.stands << " stands, " << r.percent << " %";
    EXPECT_EQ(g_mainWindowState.parkTarget.load(), r.wanted);
    EXPECT_EQ(g_mainWindowState.maxPark.load(), static_cast<std::uint32_t>(r.shown));
  }
}

class StaticSearchTest : public ParkTest {
 protected:
  // Twelve stands 150 m apart; options of day 1 at the slot `fit` half-hours before 16.
  void SetUp() override {
    ParkTest::SetUp();
    g_dayHhNow = DayHh{1, 16};
    g_paramMaxFit.setValue(5);
    g_paramRandom.setValue(false);
    const int fits[] = {0, 2, 0, 1, 0, 0, -1, 0, 0, -1, 6, 0};
    for (int i = 0; i < 12; ++i) {
      const double metres = i == 7 ? 150.0 * 6 + 40.0 : 150.0 * i;  // S8 40 m from S7
      ParkPos& s = gf_addStand(gf_standAt(fmt::format("S{}", i + 1), 90.0, metres, 20.0));
      if (fits[i] >= 0) {
        s.options.push_back(gf_option("KLM", "B738", fmt::format("KLM{}", i + 1), 1, {16 - fits[i]}));
        s.options.back().id = 1;
      }
    }
    g_parkStands[8].options[0].real = 0;     // S9: a soft option
    g_parkStands[11].options[0].day = 2;     // S12: another day
    g_reservedStand = "S3";
    gf_userAt({g_parkStands[3].lat, g_parkStands[3].lon}, true);  // on S4
    g_parkStands[7].overlaps = {7};  // S8 next to S7, where a static stands
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
  EXPECT_TRUE(logged("(utc) It is day 1 (Mon), 8.5 hours"));
  EXPECT_TRUE(logged("4 real positions found, Max fit=3 hours, day 1, hh:16 or 8.5 hrs fit: 3 hour"));
  EXPECT_TRUE(logged("1 soft position found, Max fit=3 hours, day 1, hh:16 or 8.5 hrs fit: 3 hour"));
  EXPECT_TRUE(logged("5 positions (42% vs wanted 50%, with Max fit=3 hours)\n"));
}

TEST_F(StaticSearchTest, TrimmingAndNothingFound) {
  g_paramParkingPercentage.setValue(17);  // 2 of 12: of the three of fit 0 the last goes
  g_paramMaxFit.setValue(0);
  lf_calcStaticParking();
  EXPECT_EQ(candidates(), "KLM1+0 KLM5+0 ");
  EXPECT_TRUE(logged("3 real positions found, Max fit=0.5 hours"));

  g_dayHhNow = DayHh{3, 16};
  lf_calcStaticParking();
  EXPECT_EQ(candidates(), "");
  EXPECT_TRUE(!g_busy && logged("no parking positions found"));
}

TEST_F(StaticCalcTest, QualityRuleSwitchesLearnSoftOff) {
  struct Row {
    int qf, stands;
    bool learnSoft;
  };
  ASSERT_TRUE(lf_setCurrentParkAirport("EHAM"));
  for (const Row r : {Row{45, 20, false}, Row{44, 20, true}, Row{45, 19, true}}) {
    std::vector<fixtures::StandRow> rows;
    for (int i = 0; i < r.stands; ++i) rows.push_back(gf_standRow(fmt::format("B{}", i), 18.0 * i, 300));
    gf_writeParkFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft", rows, {{"Qf_real", std::to_string(r.qf)}});
    g_paramLearnSoft.setValue(true);
    g_standFileParamsChanged = false;
    std::string message;
    lf_readParkedFile(message);
    ASSERT_EQ(message, "");
    EXPECT_EQ(g_paramLearnSoft.value(), r.learnSoft) << r.qf << "/" << r.stands;
    EXPECT_EQ(g_learnSoftAllowed, r.learnSoft);
    EXPECT_EQ(g_standFileParamsChanged.load(), !r.learnSoft);
  }
}

}  // namespace
}  // namespace traffictest
