// Similar and substitute types: which group line wins, the per-airline substitutes, the
// category picks, and the order with RANDOM off and on. Their clearing with the tables is run
// on the processed world in matching_e2e_test.cpp.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "foundation/parameters.h"
#include "liveries/liveries_test_support.h"
#include "liveries/matching_tables.h"
#include "liveries/similar_types.h"

namespace {

using liveries_test::contains;
using liveries_test::liv;

AircraftIdent ident(const std::string& airline, const std::string& type) {
  AircraftIdent id;
  id.airline = airline;
  id.type = type;
  return id;
}

class SimilarTypes : public liveries_test::MatchingTest {
 protected:
  void SetUp() override {
    fixtures::DbaseContent db;
    db.large = {"A318", "A319", "A320", "A321", "B736", "B737", "B738"};
    db.heavy = {"B744", "B748", "A388"};
    db.rotorcraft = {"EC35", "EC45", "R44"};
    // A320 is in two groups; the line "A320,A318,..." sorts before "A320,B738".
    db.similarGroups = {{"A318", "A319", "A320", "A321"}, {"A320", "B738"}, {"B744", "B748"}};
    useDbase(db);
  }
};

TEST_F(SimilarTypes, GroupsAirlinesAndCategories) {
  build({
      liv("DLH", "A319", "DLH 319"),
      liv("DLH", "A321", "DLH 321"),
      liv("EZY", "A320", "EZY 320"),
      liv("KLM", "B738", "KLM 738"),
      liv("BAW", "B744", "BAW 744"),
      liv("ZZZ", "EC35", "Heli 1"),
      liv("ZZZ", "R44", "Heli 2"),
  });
  EXPECT_EQ(g_similarTypeGroups.at("A320"), (TypeList{"A319", "A321"}));  // first line wins
  EXPECT_EQ(g_similarTypeGroups.at("A318"), (TypeList{"A319", "A320", "A321"}));
  EXPECT_EQ(g_similarTypeGroups.at("B738"), (TypeList{"A320"}));
  EXPECT_EQ(g_similarTypeGroups.at("B748"), (TypeList{"B744"}));
  EXPECT_FALSE(g_similarTypeGroups.contains("B744"));  // its partner has no livery

  // Airline substitutes only for types the airline lacks, only of types it has.
  EXPECT_EQ(gf_airlineSimilarTypes(ident("DLH", "A320")), (TypeList{"A319", "A321"}));
  EXPECT_EQ(gf_airlineSimilarTypes(ident("DLH", "A318")), (TypeList{"A319", "A321"}));
  EXPECT_TRUE(gf_airlineSimilarTypes(ident("DLH", "A319")).empty());
  EXPECT_EQ(gf_airlineSimilarTypes(ident("EZY", "B738")), (TypeList{"A320"}));
  EXPECT_TRUE(gf_airlineSimilarTypes(ident("KLM", "A320")).empty());  // A320's list lacks B738
  EXPECT_TRUE(gf_airlineSimilarTypes(ident("XXX", "A320")).empty());

  EXPECT_EQ(gf_similarTypes("A320"), (TypeList{"A319", "A321"}));
  EXPECT_TRUE(gf_similarTypes("A388").empty());            // Heavy without group
  EXPECT_EQ(gf_similarTypes("EC45"), (TypeList{"EC35"}));  // RANDOM off: the first rotorcraft
  EXPECT_EQ(&gf_similarTypes("EC45"), &g_substituteType);
  EXPECT_TRUE(gf_similarTypes("C172").empty());  // Light, but no light livery
  EXPECT_TRUE(contains(env_.log(), "6 similar model definitions\n"));
}

TEST_F(SimilarTypes, RandomShufflesInPlaceAndPicksAnyOfTheCategory) {
  build({
      liv("DLH", "A318", "a"),
      liv("DLH", "A319", "b"),
      liv("DLH", "A321", "c"),
      liv("ZZZ", "EC35", "Heli 1"),
      liv("ZZZ", "R44", "Heli 2"),
  });
  g_paramRandom.setValue(true);
  std::set<TypeList> orders;
  std::set<std::string> picks;
  for (int i = 0; i < 200; ++i) {
    const TypeList& list = gf_airlineSimilarTypes(ident("DLH", "A320"));
    orders.insert(list);
    picks.insert(gf_similarTypes("EC45").at(0));
  }
  EXPECT_GT(orders.size(), 1u);
  for (const TypeList& order : orders)
    EXPECT_TRUE(
        std::is_permutation(order.begin(), order.end(), TypeList{"A318", "A319", "A321"}.begin()));
  EXPECT_EQ(picks, (std::set<std::string>{"EC35", "R44"}));
}

}  // namespace
