// The 20-minute renewal: which static aircraft stay, which a newer option replaces (also across
// the week's end), live aircraft beyond the wanted count, and the options of kept aircraft.
#include <algorithm>

#include <fmt/format.h>

#include "foundation/run_state.h"
#include "park_test_support.h"

namespace traffictest {
namespace {

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
  void option(std::uint32_t standId, ParkPosOption o) {
    std::vector<ParkPosOption>& options = g_parkStands[standId - 1].options;
    o.id = static_cast<std::uint32_t>(options.size() + 1);
    options.push_back(o);
  }
};

TEST_F(RenewalTest, KeptReplacedAndRemovedAcrossTheWeeksEnd) {
  g_dayHhNow = DayHh{1, 1};
  gf_addStatic("B738", "KLM1*", 1, {7, 40}, 31);  // its own option again: stays
  option(1, gf_option("KLM", "B738", "KLM1", 1, {1}));
  gf_addStatic("A320", "TRA2*", 2, {7, 46}, 32);  // a use that began Monday 0: replaced
  option(2, gf_option("DLH", "A320", "DLH3", 1, {0}));
  gf_addStatic("A320", "TRA4*", 3, {1, 0}, 33, "TRA");  // a use that began Sunday 47: stays
  option(3, gf_option("DLH", "A320", "DLH5", 7, {47}));
  gf_addStatic("A320", "TRA6*", 4, {1, 0}, 34, "TRA");  // a soft use late on Sunday: stays
  option(4, gf_option("TRA", "A320", "TRA6", 7, {45}, 0));
  gf_addStatic("A320", "TRA7*", 5, {1, 0}, 35, "TRA");  // nothing learned: goes
  g_paramParkSoft.setValue(false);
  g_paramParkFake.setValue(false);

  gf_parkingAdjustments();
  std::string kept;
  for (const KeptStatic& k : g_parkOptionCandidates) kept += k.callsign + " ";
  EXPECT_EQ(kept, "TRA4* TRA6* KLM1* ");  // sorted latest parked first; equal ones keep order
  ASSERT_EQ(g_staticCandidates.size(), 1u);
  EXPECT_EQ(g_staticCandidates[0].cs, "DLH3");
  EXPECT_TRUE(logged("Parking adjustments: 2 to be removed, 1 to be added\n"));
  EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{35, 32}));  // from the back of the list
  EXPECT_TRUE(g_busy);

  // Nothing is removed twice; a static created where one is still being removed is the one
  // its removal takes.
  gf_addStatic("A320", "DLH3*", 5, {1, 1}, 36, "DLH");
  gf_parkingAdjustments();
  EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{35, 32, 36}));
}

TEST_F(RenewalTest, NothingToChangeThenTheControlsComeBack) {
  g_dayHhNow = DayHh{1, 20};
  gf_addStatic("B738", "KLM1*", 1, {1, 20}, 31);
  option(1, gf_option("KLM", "B738", "KLM1", 1, {20}));
  gf_parkingAdjustments();
  EXPECT_TRUE(logged("Parking adjustments: 0 to be removed, 0 to be added\n"));
  EXPECT_TRUE(g_removeWait.empty() && g_staticCandidates.empty());
  gf_handleParkAirport(false);
  EXPECT_FALSE(g_busy);
}

TEST_F(RenewalTest, LiveAircraftBeyondTheWantedCount) {
  struct Row {
    int percent;
    bool initialLoadOnly;
    std::size_t removed;
  };
  for (const Row r : {Row{50, false, 2}, Row{50, true, 0}, Row{0, false, 0}}) {
    g_liveAc.clear();
    g_removeWait.clear();
    for (std::uint32_t i = 1; i <= 5; ++i) gf_addParkedLive(fmt::format("KLM{}", i), i, 10000 + i, 40 + i);
    g_paramParkingPercentage.setValue(r.percent);
    g_paramInitialLoadOnly.setValue(r.initialLoadOnly);
    gf_parkingAdjustments();
    EXPECT_EQ(g_removeWait.size(), r.removed) << r.percent << "% " << r.initialLoadOnly;
  }
  EXPECT_TRUE(logged("Parking adjustments: 2 more live ac than wanted"));
}

TEST_F(RenewalTest, AKeptAircraftsOptionGainsTheNextSlot) {
  struct Row {
    DayHh now;
    std::uint32_t day, slot;
  };
  for (const Row r : {Row{{3, 20}, 3, 21}, Row{{1, 47}, 2, 0}, Row{{7, 47}, 1, 0}}) {
    g_staticAc.clear();
    g_parkStands[0].options.clear();
    g_dayHhNow = r.now;
    StaticAircraft& s = gf_addStatic("B738", "KLM1*", 1, r.now, 31);
    s.text7 = "KLM2";
    option(1, gf_option("KLM", "B738", "KLM1", r.now.day, {static_cast<int>(r.now.hh)}, 1, "KLM2"));
    gf_parkingAdjustments();
    const auto& options = g_parkStands[0].options;
    EXPECT_TRUE(std::any_of(options.begin(), options.end(), [&](const ParkPosOption& o) {
      return o.day == r.day && o.hh.test(r.slot) && o.cs == "KLM1" && o.cs2 == "KLM2";
    })) << r.now.day << "/" << r.now.hh;
  }
}

}  // namespace
}  // namespace traffictest
