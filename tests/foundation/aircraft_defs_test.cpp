// Aircraft descriptions, callsign rules, names and the per-category constants.
#include "foundation/aircraft_defs.h"

#include <gtest/gtest.h>

namespace {

AircraftIdent lf_ident(std::string airline, std::string type, std::string origin,
                       std::string destination, std::string callsign, std::string reg) {
  AircraftIdent ident;
  ident.airline = std::move(airline);
  ident.type = std::move(type);
  ident.origin = std::move(origin);
  ident.destination = std::move(destination);
  ident.callsign = std::move(callsign);
  ident.registration = std::move(reg);
  return ident;
}

TEST(AircraftDefsTest, DescriptionsUseMinimumWidthsAndNeverCut) {
  const auto klm = lf_ident("KLM", "B738", "AMS", "LHR", "KLM1234", "PH-BXA");
  EXPECT_EQ(gf_airlType(klm), "KLM B738");
  EXPECT_EQ(gf_airlType(lf_ident("", "C172", "", "", "", "")), "    C172");
  EXPECT_EQ(gf_fromTo("", ""), "        ");
  EXPECT_EQ(gf_fromTo("AMS", ""), "AMS->   ");
  EXPECT_EQ(gf_fromTo("", "LHR"), "   ->LHR");
  EXPECT_EQ(gf_fromTo("EHAM", "EGLL"), "EHAM->EGLL");
  EXPECT_EQ(gf_callsign8(klm), "KLM1234 ");
  EXPECT_EQ(gf_routeAndCallsign(klm), "KLM1234  PH-BXA   AMS->LHR");
  EXPECT_EQ(gf_acDescription(klm), "KLM1234  PH-BXA   AMS->LHR KLM B738");
  EXPECT_EQ(gf_acShortDescription(klm), "KLM1234  PH-BXA KLM B738");
  EXPECT_EQ(gf_identPath(klm), "KLM B738 PH-BXA");
  const auto empty = AircraftIdent{};
  EXPECT_EQ(gf_acDescription(empty), std::string(8 + 1 + 8 + 1 + 8 + 1, ' ') + "    " + "    ");
  const auto longCallsign = lf_ident("KLMX", "B7378", "", "", "VERYLONGCS", "");
  EXPECT_EQ(gf_callsign8(longCallsign), "VERYLONGCS");
  EXPECT_EQ(gf_airlType(longCallsign), "KLMX B7378");
}

TEST(AircraftDefsTest, SameAirlineAndTypeForIdentsAndLiveryRecords) {
  const auto a = lf_ident("KLM", "B738", "AMS", "", "KLM1", "PH-A");
  const auto b = lf_ident("KLM", "B738", "", "LHR", "KLM2", "PH-B");
  EXPECT_TRUE(gf_sameAirlType(a, b));
  EXPECT_FALSE(gf_sameAirlType(a, lf_ident("klm", "B738", "", "", "", "")));
  struct LiveryLike {
    std::string airl;
    std::string type;
  };
  EXPECT_EQ(gf_airlType(LiveryLike{"ZZZ", "A20N"}), "ZZZ A20N");
  EXPECT_EQ(gf_airlType(LiveryLike{"", "C1"}), "    C1  ");
  EXPECT_TRUE(gf_sameAirlType(LiveryLike{"ZZZ", "A20N"}, LiveryLike{"ZZZ", "A20N"}));
  EXPECT_FALSE(gf_sameAirlType(LiveryLike{"ZZZ", "A20N"}, LiveryLike{"ZZZ", "A320"}));
}

TEST(AircraftDefsTest, CallsignRules) {
  EXPECT_FALSE(gf_hasCallsign(lf_ident("", "", "", "", "", "")));
  EXPECT_FALSE(gf_hasCallsign(lf_ident("", "", "", "", "@@@@@@@@", "")));
  EXPECT_FALSE(gf_hasCallsign(lf_ident("", "", "", "", "ABCDEFGHI", "")));
  EXPECT_TRUE(gf_hasCallsign(lf_ident("", "", "", "", "KLM1234", "")));
  EXPECT_TRUE(gf_hasCallsign(lf_ident("", "", "", "", "ABCDEFGH", "")));

  const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
      {"KLM1234", "KLM"}, {"klm12", "KLM"}, {"KlM9", "KLM"}, {"KL1234", std::nullopt},
      {"KLMX12", std::nullopt}, {"KLM", std::nullopt}, {"", std::nullopt},
      // Bytes above 0x7F are neither letters nor digits (and must not be undefined behaviour).
      {"\xc3\x89KL1", std::nullopt}, {"K\xe9M1", std::nullopt}, {"KLM\xb9", std::nullopt},
      {"\xff\xff\xff\xff", std::nullopt}};
  for (const auto& [callsign, airline] : cases) {
    EXPECT_EQ(gf_airlFromCallsign(callsign), airline) << callsign;
  }

  auto ident = lf_ident("XXX", "B738", "", "", "dlh4ab", "");
  EXPECT_TRUE(setAirlFromCallsign(ident));
  EXPECT_EQ(ident.airline, "DLH");
  ident.callsign = "N12345";
  EXPECT_FALSE(setAirlFromCallsign(ident));
  EXPECT_EQ(ident.airline, "DLH");
}

TEST(AircraftDefsTest, NamesAreRefusedOutsideTheirTables) {
  EXPECT_EQ(gf_categoryName(5), "Rotorcraft");
  EXPECT_EQ(gf_phaseName(7), "birth");
  EXPECT_EQ(gf_stateName(kStRemovingFromSim), "removingfromsim");
  EXPECT_THROW(gf_categoryName(6), std::out_of_range);
  EXPECT_THROW(gf_categoryName(-1), std::out_of_range);
  EXPECT_THROW(gf_phaseName(8), std::out_of_range);
  EXPECT_THROW(gf_stateName(5), std::out_of_range);
}

TEST(AircraftDefsTest, CategoryTablesHoldExactlyKeysZeroToFive) {
  // Every category is looked up with at(): a missing key would throw in flight.
  const auto keys = [](const auto& table) {
    std::vector<int> k;
    for (const auto& [key, value] : table) k.push_back(key);
    std::sort(k.begin(), k.end());
    return k;
  };
  const std::vector<int> expected{0, 1, 2, 3, 4, 5};
  EXPECT_EQ(keys(g_catPitchRate), expected);
  EXPECT_EQ(keys(g_catFlareSteps), expected);
  EXPECT_EQ(keys(g_catStaticCgValue), expected);
  EXPECT_EQ(keys(g_catRotationSteps), expected);
  EXPECT_EQ(keys(g_catPitchTransitionSteps), expected);
  EXPECT_EQ(keys(g_catRotationPitch), expected);
  EXPECT_EQ(keys(g_catClimbPitch), expected);
  // The pitch rates are given in degrees per step and kept in radians.
  EXPECT_NEAR(g_catPitchRate.at(kCatLarge), 0.07 * 3.14159265358979323846 / 180.0, 1e-17);
}

TEST(AircraftDefsTest, ReportsStartWithNothingReported) {
  TrafficReport report;
  EXPECT_TRUE(std::isnan(report.position.lat));
  EXPECT_TRUE(std::isnan(report.position.trueAirspeed));
  EXPECT_FALSE(report.position.headingPresent);
  report.callsign = "KLM1";
  EXPECT_EQ(gf_callsign8(report), "KLM1    ");  // a report is an ident head
}

}  // namespace
