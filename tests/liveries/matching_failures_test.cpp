// Titles the simulator refuses, the no-match list and the summary, and special titles under
// random picks. The twentieth refusal and a clear-and-rebuild while titles are held are run on
// the processed world in matching_e2e_test.cpp.

#include <gtest/gtest.h>

#include "foundation/park_pos.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery_matching.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/registration_liveries.h"

namespace {

using liveries_test::aircraft;
using liveries_test::contains;
using liveries_test::liv;

// Titles made long enough to live on the heap, and short ones kept inside the string object.
const std::vector<Livery> kCatalogue = {
    liv("ZZZ", "C172", "C172 a"),
    liv("ZZZ", "C172", "Cessna 172 generic livery in white and blue"),
    liv("DLH", "A320", "Lufthansa A320 in the 2018 colours, registration D-AIZA"),
    liv("DLH", "A320", "LH std"),
    liv("DLH", "A321", "LH 321"),
};

class MatchingFailures : public liveries_test::MatchingTest {
 protected:
  void SetUp() override {
    fixtures::DbaseContent db;
    db.large = {"A320", "A321"};
    db.similarGroups = {{"A320", "A321"}};
    useDbase(db);
    build(kCatalogue);
  }

  void refuse(const std::string& title, const std::string& type, const std::string& airline) {
    LiveryTarget ac = aircraft(airline, type, "", false, "CS1");
    ac.livery = gf_storedTitle(title);
    gf_liveryNotCreated(ac);
  }
};

TEST_F(MatchingFailures, NothingHappensWhileAStopIsRequested) {
  g_stopRequested.store(true);
  refuse("LH std", "A320", "DLH");
  EXPECT_TRUE(g_failedLiveries.empty());
  EXPECT_TRUE(g_notCreated.empty());
  EXPECT_FALSE(contains(env_.log(), "could not be created"));
}

TEST_F(MatchingFailures, ARefusedTitleIsNeverGivenAgain) {
  refuse("C172 a", "C172", "ZZZ");
  LiveryTarget live = aircraft("XYZ", "C172");
  gf_matchLivery(live);  // "C172 a" is the first pick: refused, and no later step is tried
  EXPECT_TRUE(live.livery.empty());
  EXPECT_EQ(g_matchSteps, (std::array<std::int32_t, 6>{}));

  LiveryTarget parked = aircraft("XYZ", "C172");
  EXPECT_FALSE(gf_matchParkedLivery(parked, ParkPos{}));
  EXPECT_TRUE(parked.livery.empty());
  g_paramRandom.setValue(true);  // nor among random picks
  for (int i = 0; i < 50; ++i) {
    LiveryTarget any = aircraft("XYZ", "C172");
    gf_matchLivery(any);
    EXPECT_NE(any.livery, "C172 a");
  }
}

TEST_F(MatchingFailures, SummaryAndNoMatchesInTheLog) {
  g_paramLog.setValue(false);
  g_noMatches = {"DLH B738 D-ABCD", "AAL A320 N123"};
  gf_logNoMatches();
  gf_matchingSummary();  // written whatever LOG says
  g_paramLog.setValue(true);
  gf_logNoMatches();
  const std::string expected =
      "\n******************************* live traffic livery matching summary "
      "*******************************\n"
      "Matches at step: \n  1: 0\n  2: 0\n  3: 0\n  4: 0\n  5: 0\n  6: 0\n" +
      std::string(100, '*') + "\n\nNo match found for: \nAAL A320 N123\nDLH B738 D-ABCD\n\n";
  const std::string log = env_.log();
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(log.substr(log.size() - expected.size()), expected);
}

TEST_F(MatchingFailures, SpecialTitlesComeOnlyThroughTheirRegistration) {
  g_regLiveries.emplace("D-AIZA", gf_storedTitle("LH std"));
  g_specialLiveries.push_back(gf_storedTitle("LH std"));
  g_paramRandom.setValue(true);
  for (int i = 0; i < 200; ++i) {
    LiveryTarget ac = aircraft("DLH", "A320");
    gf_matchLivery(ac);
    ASSERT_EQ(ac.livery, "Lufthansa A320 in the 2018 colours, registration D-AIZA");
  }
  LiveryTarget byReg = aircraft("DLH", "A320", "D-AIZA");
  gf_matchLivery(byReg);
  EXPECT_EQ(byReg.livery, "LH std");
  EXPECT_EQ(g_matchSteps[0], 1);
  EXPECT_EQ(g_matchSteps[1], 200);
}

}  // namespace
