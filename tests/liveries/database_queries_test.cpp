// Database queries over tables filled directly: the written forms of a registration, the
// look-up that fills its result only when found, and empty codes.

#include <gtest/gtest.h>

#include "liveries/liveries.h"
#include "liveries/liveries_test_support.h"

namespace {

TEST(DatabaseQueries, WrittenFormsOfARegistrationInOrder) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"ABCDE", {"AB-CDE", "A-BCDE", "ABCDE"}},
      {"GEUPAX", {"GE-UPAX", "G-EUPAX", "GEUPAX"}},
      {"ABCD", {"ABCD"}},      // fewer than five characters
      {"N123AB", {"N123AB"}},  // begins with N
      {"G-EUPA", {"G-EUPA"}},  // already hyphenated
      {"", {""}},
  };
  for (const auto& [registration, forms] : cases)
    EXPECT_EQ(gf_regVariants(registration), forms) << registration;
}

TEST(DatabaseQueries, FindRegFillsOnlyWhenFoundAndEmptyCodesFindNothing) {
  liveries_test::LiveriesEnv env;
  g_dbaseTypes = {"C172"};
  g_dbaseIcaoAirlines = {"PVT"};
  g_dbaseRegs = {{"G-EUPA", {"BAW", "A319", "", false}}, {"", {"XXX", "", "", false}}};
  g_dbasePvtRegs = {"N7Q"};
  std::optional<RegInfo> out;
  EXPECT_FALSE(gf_findReg(out, "GEUPA"));  // the written form alone is not looked up here
  EXPECT_FALSE(out.has_value());
  ASSERT_TRUE(gf_findReg(out, "G-EUPA"));
  EXPECT_EQ(out->airl, "BAW");
  EXPECT_FALSE(gf_findReg(out, "XX-XXX"));
  EXPECT_EQ(out->airl, "BAW");  // left as it was

  // An empty registration never reaches the table, even when it holds an empty key.
  EXPECT_EQ(gf_airlFromReg(""), "");
  EXPECT_FALSE(gf_regInfo(""));
  EXPECT_EQ(gf_typeCategory(""), 0u);
  EXPECT_FALSE(gf_isKnownType(""));
  EXPECT_FALSE(gf_isKnownAirline(""));
  EXPECT_EQ(gf_findPvtReg(""), "");
}

}  // namespace
