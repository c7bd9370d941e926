// Start-up to matching, end to end: a stored catalogue, a generated database and AIG list from a
// local download server and a user regcode file are processed into the tables; then live and
// static aircraft are matched, the simulator refuses titles until the run ends with code 81, and
// the matching summary is written; a rescan clears and rebuilds the tables while titles are held.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "foundation/park_pos.h"
#include "fixtures/ai_package_writer.h"
#include "fixtures/dbase_builder.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "liveries/aircraft_database.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_processing.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/registration_liveries.h"
#include "liveries/similar_types.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::aircraft;
using liveries_test::contains;
using liveries_test::fileText;
using liveries_test::liv;
using liveries_test::thrownText;

fixtures::DbaseContent worldDbase() {
  fixtures::DbaseContent c;
  c.types = {"A319", "A320", "A321", "B738", "B38M", "B744", "B77W", "B763", "MD11", "C56X",
             "C680", "GLF5", "EC35", "AS50", "F16",  "C172", "PA28", "DA40", "PA18", "C208"};
  c.large = {"A319", "A320", "A321", "B738", "B38M"};
  c.heavy = {"B744", "B77W", "B763", "MD11"};
  c.buzjet = {"C56X", "C680", "GLF5"};
  c.rotorcraft = {"EC35", "AS50"};
  c.highPerf = {"F16"};
  c.cargoTypes = {"MD11"};
  c.similarGroups = {
      {"A319", "A320", "A321"}, {"B744", "B77W"}, {"C56X", "C680"}, {"B738", "DA40"}};
  c.icaoAirlines = {"ABC", "AMB", "EIN", "BAW", "DLH", "EZY", "FDX", "KLM", "NJE", "PVT", "RYR"};
  c.cargoOperators = {"FDX"};
  c.publishers = {"Pub One,p1"};
  c.wingspans = {{"A320", "35.8"}, {"C172", "11.0"}};
  c.fixes = {{"B73H", "B738"}};
  c.simaddonAirports = {"EHAM"};
  c.thirdParties = {{"Pub One", "LOWW"}};
  c.regs = {{"PH-BXA", "KLM", "B738", "", "false"},
            {"OE-LBA", "EZY", "A320", "DLH", ""},
            {"D-ABCD", "DLH", "A320", "", ""}};
  return c;
}

std::vector<Livery> worldLiveries() {
  return {
      liv("KLM", "B738", "KLM 737-800 PH-BXA", "PH-BXA"),
      liv("KLM", "B738", "KLM 737-800 Orange"),
      liv("KLM", "B738", "KLM 737-800 Std"),
      liv("KLM", "B77W", "KLM 777-300ER"),
      liv("DLH", "A320", "Lufthansa A320 D-AIZA", "D-AIZA"),
      liv("DLH", "A320", "Lufthansa A320 Std"),
      liv("DLH", "A321", "Lufthansa A321"),
      liv("EZY", "A319", "easyJet A319", "G-CLSH"),
      liv("EZY", "A320", "easyJet A320"),
      liv("EIN", "A320", "Aer Lingus A320 \"St. Patrick's\" \u00c9riu & <Shamrock>", "EI-DEO"),
      liv("FDX", "MD11", "FedEx MD-11", "", true),
      liv("FDX", "C208", "FedEx Caravan", "", true),
      liv("BAW", "B744", "British Airways 747-400", "G-CLSH"),
      liv("BAW", "B744", "BA World Cargo 747", "", true),
      liv("ZZZ", "B738", "Generic 737-800 White"),
      liv("ZZZ", "B738", "Generic 737-800 Special Retro"),
      liv("ZZZ", "C172", "Cessna 172 Generic"),
      liv("ZZZ", "C56X", "Citation Excel Generic"),
      liv("PVT", "PA28", "Piper Cherokee Private"),
      liv("ABC", "DA40", "Diamond DA40 School"),
      liv("ABC", "PA18", "Piper Cub Banner"),
      liv("NJE", "C680", "NetJets Sovereign"),
      liv("AMB", "EC35", "ADAC EC135"),
      liv("RYR", "B738", "FSLTL_B738_RYR"),
      liv("RYR", "B38M", "fsltl_b38m_ryr"),
  };
}

// Writes the catalogue to output/LiveriesScanned.xml.
void storeCatalogue(const std::vector<Livery>& liveries) {
  g_liveries.assign(liveries.begin(), liveries.end());
  g_liveries.sort();
  gf_writeLiveriesScanned();
  g_liveries.clear();
}

// A working folder with the world laid out: the database and the AIG list on the download
// server, the user's regcode file and the stored catalogue; the database read and, unless a
// test leaves it to itself, the catalogue processed as at start-up.
class MatchingWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.running()) << "the local HTTP server could not be started";
    fixtures::writeDbaseZip(server_.folder(), worldDbase());
    fixtures::writeAigRegcodesZip(server_.folder(), {{"KLM 737-800 Orange", {"PH-BXO"}, "1"},
                                                     {"Lufthansa A320 Std", {"D-AIZA"}, ""},
                                                     {"Not Installed Title", {"X-XXXX"}, ""},
                                                     {"Piper Cub Banner", {}, "true"}});
    fixtures::writeFileBytes(g_myRegcodesDir / "my regcodes.txt",
                             "Generic 737-800 Special Retro;ZZ-RET1\n"
                             "Lufthansa A321;D-AIZA,D-AIZC\n");
    storeCatalogue(worldLiveries());
    gf_readDbase();
    if (process_) gf_processScannedLiveries();
  }

  bool process_ = true;
  liveries_test::LiveriesEnv env_;
  liveries_test::DownloadServer server_;
};

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
    {4, "XYZ", "B738", "EIDEO", false, "Aer Lingus A320 \"St. Patrick's\" \u00c9riu & <Shamrock>",
     1},
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
    {4, "", "A320", "OE-LBA", false, "", 0},  // no airline: steps 2 and 3 skipped, operator too
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

class LiveryMatchE2e : public MatchingWorld {};

// Processing left to the test.
class LiveryMatchSources : public MatchingWorld {
 protected:
  LiveryMatchSources() { process_ = false; }
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
            "Processing file " + g_aigRegcodesFile.string() + "\n"
            "   regcode D-AIZA for \"Lufthansa A320 Std\", instead of the same for \"Lufthansa "
            "A320 D-AIZA\"\n"
            "1 new regcode added, 1 regcode replaced, 2 regcodes defined as special\n"
            "Processing files in " + g_myRegcodesDir.string() + "\n" +
            "   regcode D-AIZA for \"Lufthansa A321\", instead of the same for \"Lufthansa A320 "
            "Std\"\n"
            "2 new regcodes added, 1 regcode replaced, 1 regcode defined as special\n");
  EXPECT_EQ(fileText(g_errorsDir / "InlineRegcodes.txt"),
            "G-CLSH \"easyJet A319\" => already in use by \"British Airways 747-400\"\n");

  const std::string log = env_.log();
  for (const std::string& line : std::vector<std::string>{
           "1 in-line regcode clashes, see \"" + (g_errorsDir / "InlineRegcodes.txt").string() + "\"\n",
        "Offline regcode files processed, results can be found in \"" +
            (g_infoDir / "OfflineRegcodes.txt").string() + "\"\n",
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

  const std::string log = env_.log();
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
  EXPECT_EQ(thrownText<qvb::UserErrorException>([&] { gf_liveryNotCreated(last); }),
            "81: there are too many liveries that could not be created by P3D!, see Log.txt");
  EXPECT_TRUE(
      contains(env_.log(), "TST123 \"Lufthansa A320 Std\" could not be created by your Sim!\n"));
  EXPECT_TRUE(contains(env_.log(),
                       "\n===> Error 81, there are too many liveries that could not "
                       "be created by P3D!\n\n"));

  gf_matchingSummary();
  std::string expected = "\n" + std::string(31, '*') + " live traffic livery matching summary " +
                         std::string(31, '*') + "\nMatches at step: \n";
  for (std::size_t i = 0; i < g_matchSteps.size(); ++i)
    expected += fmt::format("  {}: {}\n", i + 1, g_matchSteps[i]);
  expected += "\nCould not be created by P3D:\n  A319 EZY\n  A320 DLH\n  B738 KLM\n" +
              std::string(100, '*') + "\n";
  const std::string after = env_.log();
  ASSERT_GE(after.size(), expected.size());
  EXPECT_EQ(after.substr(after.size() - expected.size()), expected);
}

TEST_F(LiveryMatchE2e, SecondProcessingInOneProcessIsSkipped) {
  const std::size_t regs = g_regLiveries.size();
  storeCatalogue({Livery{"XXX", "A320", "Other", "", 0, false}});
  gf_processScannedLiveries();
  EXPECT_EQ(g_regLiveries.size(), regs);
  EXPECT_TRUE(g_liveries.empty());
  EXPECT_TRUE(gf_storedTitle("Other").empty());
  EXPECT_TRUE(contains(env_.log(),
                       "Processing scanned liveries skipped; already done in previous start-up\n"));
}

// The rescan command: the tables are cleared between runs (with the done flag, as the closing
// sequence does) while a remembered and a refused title are held, then built from the new
// catalogue. Under AddressSanitizer any later use of a
// freed title fails the run; no substitute of the old catalogue may survive.
TEST_F(LiveryMatchE2e, RescanRebuildsFromTheNewCatalogue) {
  LiveryTarget remembered = aircraft("KLM", "B744");
  gf_matchLivery(remembered);
  ASSERT_EQ(remembered.livery, "KLM 777-300ER");  // through the airline's similar types
  ASSERT_EQ(gf_airlineSimilarTypes(remembered), (TypeList{"B77W"}));
  g_liveryById[1] = remembered.livery;
  LiveryTarget refused = aircraft("EZY", "A320");
  gf_matchLivery(refused);
  gf_liveryNotCreated(refused);

  gf_clearLiveryTables();
  g_liveriesScanDone.store(false);
  EXPECT_TRUE(g_liveryById.empty());  // no remembered view outlives its title
  EXPECT_TRUE(g_liveryAirlines.empty());
  EXPECT_TRUE(g_regLiveries.empty());
  EXPECT_TRUE(g_specialLiveries.empty());
  EXPECT_TRUE(g_similarTypeGroups.empty());
  EXPECT_TRUE(g_airlineSimilarTypes.empty());
  EXPECT_TRUE(gf_storedTitle("KLM 777-300ER").empty());
  std::vector<Livery> next = worldLiveries();
  std::erase_if(next, [](const Livery& l) { return l.type == "B77W"; });
  storeCatalogue(next);
  gf_processScannedLiveries();

  EXPECT_TRUE(g_liveriesScanDone.load());
  EXPECT_EQ(g_regLiveries.size(), 7u);
  EXPECT_EQ(g_specialLiveries.size(), 3u);
  EXPECT_FALSE(g_similarTypeGroups.contains("B744"));  // its only partner is gone
  EXPECT_TRUE(gf_airlineSimilarTypes(remembered).empty());
  LiveryTarget again = aircraft("KLM", "B744");
  gf_matchLivery(again);
  EXPECT_TRUE(again.livery.empty());
  // The refused title is still refused after the rebuild, compared by its text.
  LiveryTarget stillRefused = aircraft("EZY", "A320");
  gf_matchLivery(stillRefused);
  EXPECT_TRUE(stillRefused.livery.empty());
  EXPECT_EQ(g_failedLiveries, std::vector<std::string>{"easyJet A320"});
  gf_matchingSummary();
  EXPECT_TRUE(contains(env_.log(), "\nCould not be created by P3D:\n  A320 EZY\n"));
}

TEST_F(LiveryMatchSources, WithoutRegcodeSourcesNoReportIsLeft) {
  fs::remove(server_.folder() / "AIG-regcodes.zip");
  fs::remove_all(g_myRegcodesDir);
  fixtures::writeFileBytes(g_infoDir / "OfflineRegcodes.txt", "old report\n");
  gf_processScannedLiveries();

  EXPECT_FALSE(fs::exists(g_infoDir / "OfflineRegcodes.txt"));
  EXPECT_EQ(g_regLiveries.size(), 4u);  // the in-line registrations only
  EXPECT_TRUE(g_specialLiveries.empty());
  const std::string log = env_.log();
  EXPECT_TRUE(contains(log, "===> reading AIG-regcodes failed?\n"));
  EXPECT_FALSE(contains(log, "special liveries"));
  EXPECT_TRUE(contains(log, "4 registration codes\n"));
}

TEST_F(LiveryMatchSources, MissingCatalogueLeavesNoTables) {
  fs::remove(g_liveriesScannedFile);
  EXPECT_EQ(liveries_test::userErrorCode([] { gf_processScannedLiveries(); }), 51);
  EXPECT_FALSE(g_liveriesScanDone.load());
  EXPECT_TRUE(g_liveryAirlines.empty());
  // A later start-up with the file back builds the tables.
  storeCatalogue(worldLiveries());
  gf_processScannedLiveries();
  EXPECT_EQ(g_liveryAirlines.size(), 12u);
}

}  // namespace
