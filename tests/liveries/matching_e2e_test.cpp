// Start-up to matching, end to end: a stored catalogue, a generated database and AIG list from a
// local download server and a user regcode file are processed into the tables; then live and
// static aircraft are matched, the simulator refuses titles until the run ends with code 81, and
// the matching summary is written.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/park_pos.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_processing.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/matching_test_support.h"
#include "liveries/registration_liveries.h"
#include "liveries/similar_types.h"

namespace {

namespace fs = std::filesystem;
using matching_test::aircraft;
using matching_test::fileText;
using matching_test::MatchingWorld;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

ParkPos stand(const std::string& id, bool cargo) {
  ParkPos pos;
  pos.id = id;
  pos.cargo = cargo;
  return pos;
}

struct MatchCase {
  int depth;
  const char* airline;
  const char* type;
  const char* reg;
  bool cargo;
  const char* title;  // "" = no livery
  int step;           // 0 = none
};

// Live aircraft, RANDOM off.
const MatchCase kLiveCases[] = {
    // Registrations: in-line, AIG (special), user file over AIG over in-line, first in catalogue.
    {4, "KLM", "B738", "PHBXA", false, "KLM 737-800 PH-BXA", 1},
    {4, "XYZ", "A320", "PH-BXO", false, "KLM 737-800 Orange", 1},
    {4, "DLH", "A320", "D-AIZA", false, "Lufthansa A321", 1},
    {4, "EZY", "A319", "G-CLSH", false, "British Airways 747-400", 1},
    {4, "XYZ", "B738", "ZZ-RET1", false, "Generic 737-800 Special Retro", 1},
    {4, "DLH", "A321", "D-AIZC", false, "Lufthansa A321", 1},
    {4, "XYZ", "B738", "EIDEO", false, "Aer Lingus A320 \"St. Patrick's\" \u00c9riu & <Shamrock>", 1},
    // Airline and type; the special first title is passed over.
    {4, "KLM", "B738", "", false, "KLM 737-800 PH-BXA", 2},
    {4, "KLM", "B738", "PH-XYZ", false, "KLM 737-800 PH-BXA", 2},
    {4, "DLH", "A320", "", false, "Lufthansa A320 D-AIZA", 2},
    {4, "EZY", "A320", "", false, "easyJet A320", 2},
    {4, "FDX", "MD11", "", true, "FedEx MD-11", 2},
    {4, "BAW", "B744", "", true, "BA World Cargo 747", 2},
    {4, "BAW", "B744", "", false, "British Airways 747-400", 2},
    {4, "KLM", "B738", "", true, "KLM 737-800 PH-BXA", 2},   // cargo takes a passenger livery
    {4, "XYZ", "A320", "OE-LBA", false, "easyJet A320", 2},  // operator known: registered airline
    {4, "XYZ", "A320", "D-ABCD", false, "", 0},              // no operator: no fallback
    {4, "PVT", "PA28", "", false, "Piper Cherokee Private", 2},
    {4, "PVT", "C172", "", false, "Cessna 172 Generic", 4},  // "ZZZ" before "PVT"
    {4, "RYR", "B738", "", false, "FSLTL_B738_RYR", 2},
    {4, "RYR", "B38M", "", false, "fsltl_b38m_ryr", 2},
    // Similar types of the airline, same size category only.
    {4, "KLM", "B744", "", false, "KLM 777-300ER", 3},
    {4, "EZY", "A321", "", false, "easyJet A319", 3},
    {4, "DLH", "A319", "", false, "Lufthansa A320 D-AIZA", 3},
    {4, "NJE", "C56X", "", false, "NetJets Sovereign", 3},
    {4, "ABC", "B738", "", false, "Generic 737-800 White", 4},  // its DA40 is Light
    {4, "KLM", "DA40", "", false, "Diamond DA40 School", 5},    // its B738 is Large
    // Generic, any livery of the type, substitute types.
    {4, "DLH", "B738", "", false, "Generic 737-800 White", 4},  // airline without the type
    {4, "AAL", "A320", "", false, "", 0},                       // type without the airline
    {4, "XYZ", "C172", "", false, "Cessna 172 Generic", 4},
    {4, "XYZ", "C56X", "", false, "Citation Excel Generic", 4},
    {4, "XYZ", "C680", "", false, "NetJets Sovereign", 5},
    {4, "XYZ", "GLF5", "", false, "Citation Excel Generic", 6},
    {4, "XYZ", "EC35", "", false, "ADAC EC135", 5},
    {4, "XYZ", "AS50", "", false, "ADAC EC135", 6},
    {4, "XYZ", "ZZ99", "", false, "Cessna 172 Generic", 6},  // unknown type: Light
    {4, "ABC", "PA18", "", false, "Cessna 172 Generic", 6},  // every PA18 title is special
    {4, "XYZ", "C208", "", true, "FedEx Caravan", 5},
    {4, "XYZ", "C208", "", false, "Cessna 172 Generic", 6},
    {4, "XYZ", "C172", "", true, "Cessna 172 Generic", 4},  // cargo first, then passenger
    {4, "XYZ", "DA40", "", true, "", 0},                    // steps 5 and 6: cargo only
    {4, "XYZ", "B77W", "", false, "", 0},
    {4, "XYZ", "F16", "", false, "", 0},
    // Shallower matching.
    {3, "XYZ", "C172", "", false, "Cessna 172 Generic", 4},
    {3, "XYZ", "DA40", "", false, "Diamond DA40 School", 5},
    {3, "XYZ", "A320", "", false, "", 0},
    {3, "XYZ", "B738", "", false, "", 0},
    {3, "PVT", "C172", "", false, "Cessna 172 Generic", 4},
    {2, "XYZ", "C172", "", false, "", 0},
    {2, "KLM", "B744", "", false, "", 0},
    {2, "EZY", "A320", "", false, "easyJet A320", 2},
    {1, "KLM", "B738", "PHBXA", false, "KLM 737-800 PH-BXA", 1},
    {1, "DLH", "A320", "", false, "", 0},
};

struct ParkedCase {
  const char* airline;
  const char* type;
  const char* reg;
  bool cargoStand;
  const char* title;
  int step;
};

const ParkedCase kParkedCases[] = {
    {"", "A320", "OE-LBA", false, "easyJet A320", 2},  // empty airline: operator still tried
    {"BAW", "B744", "", true, "BA World Cargo 747", 2},
    {"ABC", "B738", "", false, "Diamond DA40 School", 3},  // any category
    {"", "C172", "", false, "Cessna 172 Generic", 4},
    {"XYZ", "B738", "ZZ-RET1", false, "Generic 737-800 Special Retro", 1},
    {"AAL", "A320", "", false, "", 0},
};

class LiveryMatchE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(world_.ready()) << "python3 http.server could not be started";
  }

  MatchingWorld world_;
};

TEST_F(LiveryMatchE2e, ProcessingBuildsTablesAndReports) {
  EXPECT_TRUE(g_liveriesScanDone.load());
  EXPECT_TRUE(g_liveries.empty());
  EXPECT_EQ(g_mainWindowState.liveryCount.load(), 25u);
  EXPECT_EQ(g_liveryAirlines.size(), 12u);
  EXPECT_EQ(g_regLiveries.size(), 7u);
  EXPECT_EQ(g_specialLiveries.size(), 3u);
  EXPECT_EQ(g_lightTypes, (std::vector<std::string>{"C172", "C208", "DA40", "PA18", "PA28"}));
  EXPECT_EQ(g_buzjetTypes, (std::vector<std::string>{"C56X", "C680"}));
  EXPECT_EQ(g_rotorcraftTypes, (std::vector<std::string>{"EC35"}));
  EXPECT_FALSE(g_paramHighPerfAircraft.value());
  EXPECT_TRUE(g_paramLightAircraft.value());
  EXPECT_FALSE(fs::exists(g_aigRegcodesFile));

  EXPECT_EQ(fileText(g_infoDir / "OfflineRegcodes.txt"),
            "Processing file input/AIG-regcodes.xml\n"
            "   regcode D-AIZA for \"Lufthansa A320 Std\", instead of the same for \"Lufthansa "
            "A320 D-AIZA\"\n"
            "1 new regcode added, 1 regcode replaced, 2 regcodes defined as special\n"
            "Processing files in input/my_regcodes\n"
            "   regcode D-AIZA for \"Lufthansa A321\", instead of the same for \"Lufthansa A320 "
            "Std\"\n"
            "2 new regcodes added, 1 regcode replaced, 1 regcode defined as special\n");
  EXPECT_EQ(fileText(g_errorsDir / "InlineRegcodes.txt"),
            "G-CLSH \"easyJet A319\" => already in use by \"British Airways 747-400\"\n");

  const std::string log = world_.log();
  for (const char* line :
       {"1 in-line regcode clashes, see \"output/errors/InlineRegcodes.txt\"\n",
        "Offline regcode files processed, results can be found in "
        "\"output/info/OfflineRegcodes.txt\"\n",
        "3 special liveries\n", "7 registration codes\n",
        "12 airlines, 14 pax aircraft models and 3 cargo aircraft models\n",
        "9 similar model definitions\n", "3 models have a generic livery\n  B738,C172,C56X\n",
        "Category Light: 4 pax liveries and 1 cargo liverie\n  C172,C208,DA40,PA18,PA28\n",
        "Category Buzjets: 2 pax liveries\n  C56X,C680\n",
        "Category Large: 13 pax liveries\n  A319,A320,A321,B38M,B738\n",
        "Category Heavy: 2 pax liveries and 2 cargo liveries\n  B744,B77W,MD11\n",
        "Category HighPerf: No livery found\n",
        "HIGH_PERF_AIRCRAFT temporary switched off because you do not have High Perf aircraft "
        "installed\n",
        "Category Rotorcraft: 1 pax liverie\n  EC35\n"})
    EXPECT_TRUE(contains(log, line)) << line;
  if (HasFailure()) std::cerr << log;
}

TEST_F(LiveryMatchE2e, AircraftGetTheirLiveriesAndTheSummaryFollows) {
  std::array<int, 6> expectedSteps{};
  for (const MatchCase& c : kLiveCases) {
    g_paramMatchingDepth.setValue(c.depth);
    LiveryTarget ac = aircraft(c.airline, c.type, c.reg, c.cargo);
    gf_matchLivery(ac);
    EXPECT_EQ(ac.livery, c.title) << c.depth << " " << c.airline << " " << c.type << " " << c.reg;
    EXPECT_EQ(ac.special, std::string_view(c.title).starts_with("FSLTL_")) << c.title;
    if (c.step > 0) ++expectedSteps[c.step - 1];
  }
  for (std::size_t i = 0; i < expectedSteps.size(); ++i)
    EXPECT_EQ(g_matchSteps[i], expectedSteps[i]) << "step " << i + 1;
  const auto stepsAfterLive = g_matchSteps;

  g_paramMatchingDepth.setValue(4);
  for (const ParkedCase& c : kParkedCases) {
    LiveryTarget ac = aircraft(c.airline, c.type, c.reg);
    const ParkPos pos = stand("A12", c.cargoStand);
    EXPECT_EQ(gf_matchParkedLivery(ac, pos), c.step > 0) << c.airline << " " << c.type;
    EXPECT_EQ(ac.livery, c.title) << c.airline << " " << c.type;
    EXPECT_EQ(ac.cargo, c.cargoStand);
    EXPECT_FALSE(ac.special);
  }
  EXPECT_EQ(g_matchSteps, stepsAfterLive);  // static aircraft are not counted

  LiveryTarget kept = aircraft("KLM", "B738");
  kept.livery = "KLM 737-800 Std";
  EXPECT_TRUE(gf_matchParkedLivery(kept, stand("B1", false)));
  EXPECT_EQ(kept.livery, "KLM 737-800 Std");

  const std::string log = world_.log();
  EXPECT_TRUE(contains(log, fmt::format("          {} =1= KLM 737-800 PH-BXA\n",
                                        gf_acDescription(aircraft("KLM", "B738", "PHBXA")))));
  EXPECT_TRUE(
      contains(log, fmt::format("          {} =s= KLM 737-800 Std\n", gf_acDescription(kept))));
  EXPECT_TRUE(contains(log, fmt::format("{:8}: {} no livery match ...\n", "A12",
                                        gf_acShortDescription(aircraft("AAL", "A320")))));

  // The simulator refuses titles: the 20th report ends the run.
  for (int i = 0; i < 19; ++i) {
    LiveryTarget ac = i % 2 == 0 ? aircraft("DLH", "A320") : aircraft("KLM", "B738");
    ac.livery = gf_storedTitle(i % 2 == 0 ? "Lufthansa A320 Std" : "KLM 737-800 Std");
    EXPECT_NO_THROW(gf_liveryNotCreated(ac));
  }
  LiveryTarget last = aircraft("EZY", "A319");
  gf_matchLivery(last);
  ASSERT_EQ(last.livery, "easyJet A319");
  try {
    gf_liveryNotCreated(last);
    FAIL() << "no error 81";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_STREQ(e.what(),
                 "81: there are too many liveries that could not be created by P3D!, see Log.txt");
  }
  EXPECT_TRUE(contains(world_.log(),
                       "\n===> Error 81, there are too many liveries that could not "
                       "be created by P3D!\n\n"));

  gf_matchingSummary();
  std::string expected = "\n" + std::string(31, '*') + " live traffic livery matching summary " +
                         std::string(31, '*') + "\nMatches at step: \n";
  for (std::size_t i = 0; i < g_matchSteps.size(); ++i)
    expected += fmt::format("  {}: {}\n", i + 1, g_matchSteps[i]);
  expected += "\nCould not be created by P3D:\n  A319 EZY\n  A320 DLH\n  B738 KLM\n" +
              std::string(100, '*') + "\n";
  const std::string after = world_.log();
  ASSERT_GE(after.size(), expected.size());
  EXPECT_EQ(after.substr(after.size() - expected.size()), expected);
}

TEST_F(LiveryMatchE2e, SecondProcessingInOneProcessIsSkipped) {
  const std::size_t regs = g_regLiveries.size();
  MatchingWorld::storeCatalogue({Livery{"XXX", "A320", "Other", "", 0, false}});
  gf_processScannedLiveries();
  EXPECT_EQ(g_regLiveries.size(), regs);
  EXPECT_TRUE(g_liveries.empty());
  EXPECT_TRUE(gf_storedTitle("Other").empty());
  EXPECT_TRUE(contains(world_.log(),
                       "Processing scanned liveries skipped; already done in previous start-up\n"));
}

// The rescan command: tables cleared between runs, then built from the new catalogue.
TEST_F(LiveryMatchE2e, RescanRebuildsFromTheNewCatalogue) {
  LiveryTarget remembered = aircraft("KLM", "B744");
  gf_matchLivery(remembered);
  ASSERT_EQ(remembered.livery, "KLM 777-300ER");
  g_liveryById[1] = remembered.livery;
  LiveryTarget refused = aircraft("EZY", "A320");
  gf_matchLivery(refused);
  gf_liveryNotCreated(refused);

  gf_clearLiveryTables();
  g_liveriesScanDone.store(false);
  EXPECT_TRUE(g_liveryById.empty());
  std::vector<Livery> next = matching_test::worldLiveries();
  std::erase_if(next, [](const Livery& l) { return l.type == "B77W"; });
  MatchingWorld::storeCatalogue(next);
  gf_processScannedLiveries();

  EXPECT_TRUE(g_liveriesScanDone.load());
  EXPECT_EQ(g_regLiveries.size(), 7u);
  EXPECT_EQ(g_specialLiveries.size(), 3u);
  EXPECT_FALSE(g_similarTypeGroups.contains("B744"));  // its only partner is gone
  LiveryTarget again = aircraft("KLM", "B744");
  gf_matchLivery(again);
  EXPECT_TRUE(again.livery.empty());
  LiveryTarget stillRefused = aircraft("EZY", "A320");
  gf_matchLivery(stillRefused);
  EXPECT_TRUE(stillRefused.livery.empty());
  EXPECT_EQ(g_failedLiveries, std::vector<std::string>{"easyJet A320"});
}

TEST(LiveryMatchE2eSources, WithoutRegcodeSourcesNoReportIsLeft) {
  MatchingWorld world(false);
  ASSERT_TRUE(world.ready()) << "python3 http.server could not be started";
  fs::remove(world.serverFolder() / "AIG-regcodes.zip");
  fs::remove_all(g_myRegcodesDir);
  liveries_test::writeBytes(g_infoDir / "OfflineRegcodes.txt", "old report\n");
  gf_processScannedLiveries();

  EXPECT_FALSE(fs::exists(g_infoDir / "OfflineRegcodes.txt"));
  EXPECT_EQ(g_regLiveries.size(), 4u);  // the in-line registrations only
  EXPECT_TRUE(g_specialLiveries.empty());
  const std::string log = world.log();
  EXPECT_TRUE(contains(log, "===> reading AIG-regcodes failed?\n"));
  EXPECT_FALSE(contains(log, "special liveries"));
  EXPECT_TRUE(contains(log, "4 registration codes\n"));
}

TEST(LiveryMatchE2eSources, MissingCatalogueLeavesNoTables) {
  MatchingWorld world(false);
  ASSERT_TRUE(world.ready()) << "python3 http.server could not be started";
  fs::remove(g_liveriesScannedFile);
  try {
    gf_processScannedLiveries();
    FAIL() << "no error 51";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_EQ(std::string(e.what()).substr(0, 4), "51: ");
  }
  EXPECT_FALSE(g_liveriesScanDone.load());
  EXPECT_TRUE(g_liveryAirlines.empty());
  // A later start-up with the file back builds the tables.
  MatchingWorld::storeCatalogue(matching_test::worldLiveries());
  gf_processScannedLiveries();
  EXPECT_EQ(g_liveryAirlines.size(), 12u);
}

}  // namespace
