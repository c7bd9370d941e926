// Database queries over tables filled directly: categories, wingspans, written forms of
// registrations and their look-ups, private registrations inside titles.

#include <gtest/gtest.h>

#include "liveries/liveries.h"
#include "liveries/liveries_test_support.h"

namespace {

class DatabaseQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    liveries_test::resetDbaseTables();
    g_dbaseTypes = {"A320", "B744", "C172", "EC35"};
    g_dbaseLarge = {"A320", "B744"};
    g_dbaseHeavy = {"B744"};
    g_dbaseRotorcraft = {"EC35"};
    g_dbaseIcaoAirlines = {"BAW", "PVT"};
    g_dbaseRegs = {{"G-EUPA", {"BAW", "A319", "", false}},
                   {"DAIBA", {"DLH", "A320", "", true}},
                   {"N123AB", {"UAL", "B738", "", false}},
                   {"OE-LBA", {"AUA", "A320", "DLH", false}}};
  }
  void TearDown() override { liveries_test::resetDbaseTables(); }
};

TEST_F(DatabaseQueries, CategoryPrecedenceAndUnknownTypes) {
  EXPECT_EQ(gf_typeCategory("B744"), 2u);  // Large is tested before Heavy
  EXPECT_EQ(gf_typeCategory("EC35"), 5u);
  EXPECT_EQ(gf_typeCategory("C172"), 0u);
  EXPECT_EQ(gf_typeCategory("NONE"), 0u);
  EXPECT_EQ(gf_typeCategory(""), 0u);
  EXPECT_TRUE(gf_isKnownType("C172"));
  EXPECT_FALSE(gf_isKnownType("NONE"));
  EXPECT_FALSE(gf_isKnownType(""));
  EXPECT_TRUE(gf_isKnownAirline("PVT"));
  EXPECT_FALSE(gf_isKnownAirline(""));
}

TEST_F(DatabaseQueries, WingspanIsHalfTheSpanInNauticalMiles) {
  g_dbaseWingspans = {{"A320", 35.8}};
  g_defaultWingspan = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  EXPECT_DOUBLE_EQ(gf_wingspan("A320"), 35.8 * 0.5 / 1852.0);
  EXPECT_DOUBLE_EQ(gf_wingspan("B744"), 0.3);  // Large default
  EXPECT_DOUBLE_EQ(gf_wingspan("EC35"), 0.6);
  EXPECT_DOUBLE_EQ(gf_wingspan("NONE"), 0.1);  // unknown: Light default
}

struct VariantCase {
  const char* registration;
  std::vector<std::string> forms;
};

void PrintTo(const VariantCase& c, std::ostream* os) {
  *os << c.registration;
}

class RegVariants : public ::testing::TestWithParam<VariantCase> {};

TEST_P(RegVariants, WrittenFormsInOrder) {
  EXPECT_EQ(gf_regVariants(GetParam().registration), GetParam().forms);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegVariants,
                         ::testing::Values(VariantCase{"ABCDE", {"AB-CDE", "A-BCDE", "ABCDE"}},
                                           VariantCase{"GEUPAX", {"GE-UPAX", "G-EUPAX", "GEUPAX"}},
                                           VariantCase{"ABCD",
                                                       {"ABCD"}},  // fewer than five characters
                                           VariantCase{"N123AB", {"N123AB"}},  // begins with N
                                           VariantCase{"G-EUPA", {"G-EUPA"}},  // already hyphenated
                                           VariantCase{"", {""}}));

TEST_F(DatabaseQueries, FindRegFillsOnlyWhenFound) {
  std::optional<RegInfo> out;
  EXPECT_FALSE(gf_findReg(out, "GEUPA"));
  EXPECT_FALSE(out.has_value());
  ASSERT_TRUE(gf_findReg(out, "G-EUPA"));
  EXPECT_EQ(out->airl, "BAW");
  EXPECT_FALSE(gf_findReg(out, "XX-XXX"));
  EXPECT_EQ(out->airl, "BAW");  // left as it was
}

TEST_F(DatabaseQueries, LookupsTryTheWrittenForms) {
  EXPECT_EQ(gf_airlFromReg("GEUPA"), "BAW");   // stored with its hyphen
  EXPECT_EQ(gf_typeFromReg("DAIBA"), "A320");  // stored without: found by the last form
  EXPECT_EQ(gf_airlFromReg("D-AIBA"), "");
  EXPECT_EQ(gf_airlFromReg("N123AB"), "UAL");
  EXPECT_EQ(gf_oprFromReg("OELBA"), "DLH");
  EXPECT_EQ(gf_oprFromReg("G-EUPA"), "");
  EXPECT_TRUE(gf_regInfo("DAIBA")->cargo);
  EXPECT_FALSE(gf_regInfo("").has_value());
  EXPECT_EQ(gf_airlFromReg(""), "");
}

TEST_F(DatabaseQueries, EmptyRegistrationDoesNotTouchTheTable) {
  g_dbaseRegs[""] = {"XXX", "", "", false};
  EXPECT_EQ(gf_airlFromReg(""), "");
  EXPECT_FALSE(gf_regInfo(""));
}

TEST_F(DatabaseQueries, PrivateRegistrationFirstInAscendingOrder) {
  g_dbasePvtRegs = {"D-EA", "N12A", "N7Q"};
  EXPECT_EQ(gf_findPvtReg("Piper N7Q and N12A"), "N12A");
  EXPECT_EQ(gf_findPvtReg("glider D-EA"), "D-EA");
  EXPECT_EQ(gf_findPvtReg("no registration here"), "");
  EXPECT_EQ(gf_findPvtReg(""), "");
}

TEST(DatabaseText, HasChar) {
  EXPECT_TRUE(gf_hasChar("G-EUPA", '-'));
  EXPECT_FALSE(gf_hasChar("GEUPA", '-'));
  EXPECT_FALSE(gf_hasChar("", '\0'));
  EXPECT_TRUE(gf_hasChar(std::string_view("a\0b", 3), '\0'));
}

}  // namespace
