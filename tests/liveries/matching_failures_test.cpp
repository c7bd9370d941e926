// Titles the simulator refuses, the no-match list and the summary; special titles under random
// picks; and a clear-and-rebuild of the tables while refused and remembered titles are held
// (run under AddressSanitizer, any access to a freed title fails the run).

#include <gtest/gtest.h>

#include "airports/park_pos.h"
#include "foundation/errors.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "liveries/livery_matching.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/matching_test_support.h"
#include "liveries/registration_liveries.h"

namespace {

using matching_test::aircraft;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

Livery liv(const std::string& airl, const std::string& type, const std::string& title) {
  return Livery{airl, type, title, "", 0, false};
}

// Titles made long enough to live on the heap, and short ones kept inside the string object.
const std::vector<Livery> kCatalogue = {
    liv("ZZZ", "C172", "C172 a"),
    liv("ZZZ", "C172", "Cessna 172 generic livery in white and blue"),
    liv("DLH", "A320", "Lufthansa A320 in the 2018 colours, registration D-AIZA"),
    liv("DLH", "A320", "LH std"),
    liv("DLH", "A321", "LH 321"),
};

class MatchingFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    matching_test::resetMatchingState();
    fixtures::DbaseContent db;
    db.large = {"A320", "A321"};
    db.similarGroups = {{"A320", "A321"}};
    matching_test::setDbaseInMemory(db);
    matching_test::buildTablesInMemory(kCatalogue);
  }
  void TearDown() override {
    g_stopRequested.store(false);
    matching_test::resetMatchingState();
    liveries_test::resetDbaseTables();
  }

  void refuse(const std::string& title, const std::string& type, const std::string& airline) {
    LiveryTarget ac = aircraft(airline, type, "", false, "CS1");
    ac.livery = gf_storedTitle(title);
    gf_liveryNotCreated(ac);
  }

  liveries_test::ScopedWorkDir work_;
  matching_test::MatchingSettings settings_{work_.path()};
};

TEST_F(MatchingFailures, TheTwentiethRefusalEndsTheRun) {
  for (int i = 0; i < 19; ++i) ASSERT_NO_THROW(refuse("LH std", "A320", "DLH"));  // repeats count
  EXPECT_EQ(g_failedLiveries.size(), 19u);
  EXPECT_TRUE(contains(work_.log(), "CS1 \"LH std\" could not be created by your Sim!\n"));
  EXPECT_THROW(refuse("LH 321", "A321", "DLH"), qvb::UserErrorException);
  EXPECT_EQ(g_failedLiveries.size(), 20u);
  EXPECT_EQ(gf_notCreatedLines(), (std::vector<std::string>{"  A320 DLH", "  A321 DLH"}));
}

TEST_F(MatchingFailures, NothingHappensWhileAStopIsRequested) {
  g_stopRequested.store(true);
  refuse("LH std", "A320", "DLH");
  EXPECT_TRUE(g_failedLiveries.empty());
  EXPECT_TRUE(g_notCreated.empty());
  EXPECT_FALSE(contains(work_.log(), "could not be created"));
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
  const std::string log = work_.log();
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

// A rescan clears the tables while the refused titles and the remembered ones are still held.
TEST_F(MatchingFailures, ClearAndRebuildKeepsNoViewOfAFreedTitle) {
  const std::string refusedTitle = "Cessna 172 generic livery in white and blue";
  refuse(refusedTitle, "C172", "ZZZ");
  refuse("C172 a", "C172", "ZZZ");
  LiveryTarget ac = aircraft("DLH", "A320");
  gf_matchLivery(ac);
  g_liveryById[7] = ac.livery;

  gf_clearLiveryTables();
  EXPECT_TRUE(g_liveryById.empty());  // no remembered view outlives its title
  matching_test::buildTablesInMemory({liv("ZZZ", "C172", refusedTitle),
                                      liv("ZZZ", "C172", "A new one"),
                                      liv("EZY", "A320", "easyJet")});

  // The refused titles are still known after the rebuild, compared by text.
  EXPECT_TRUE(gf_isFailedLivery(refusedTitle));
  LiveryTarget light = aircraft("XYZ", "C172");
  gf_matchLivery(light);
  EXPECT_EQ(light.livery, "A new one");
  g_paramRandom.setValue(true);
  for (int i = 0; i < 50; ++i) {
    LiveryTarget again = aircraft("XYZ", "C172");
    gf_matchLivery(again);
    EXPECT_TRUE(again.livery.empty() || again.livery == "A new one");
  }
  LiveryTarget gone = aircraft("DLH", "A320");
  gf_matchLivery(gone);
  EXPECT_TRUE(gone.livery.empty());  // the old catalogue's substitutes are gone too
  gf_matchingSummary();
  EXPECT_TRUE(contains(work_.log(), "\nCould not be created by P3D:\n  C172 ZZZ\n"));
}

}  // namespace
