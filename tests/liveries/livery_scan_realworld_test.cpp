// Real aircraft.cfg files of published packages: read in place (no model, texture or flight-model
// files there, so every section becomes a report line), and copied into a temporary tree that
// gives them their folders and flight-model files.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "fixtures/ai_package_writer.h"
#include "foundation/strings.h"
#include "liveries/aircraft_database.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::LiveriesEnv;

const fs::path kRealCfgs = fs::path(ZENDRIK_REALWORLD_DIR) / "aircraftcfg";
const char* const kLionRock = "FLAi_A321";
const char* const kTyphoon = "Eurofighter";
const char* const kPmdg = "PMDG 777-300ER";
const char* const kJodel = "DLA_Jodel_DR-1050";

class RealAircraftCfg : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kRealCfgs)) GTEST_SKIP() << "real-world files not found at " << kRealCfgs;
    g_dbaseTypes.insert({"EUFI", "B77W", "DR10", "A321"});
    g_dbaseHeavy.insert("B77W");
    g_dbaseFixes = {{"Typhoon", "EUFI"}, {"777-300ER", "B77W"}, {"DR-1050", "DR10"}};
    g_dbaseIcaoAirlines.insert({"AAL", "DLH", "FFT", "GIA"});
    g_dbaseRegs["PK-GIC"] = RegInfo{"GIA", "B77W", "", false};
  }

  // Lines of a collection that mention the fragment.
  static std::size_t count(const std::list<std::string>& lines, const std::string& fragment) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.find(fragment) != std::string::npos;
    });
  }

  LiveriesEnv env_;
};

TEST_F(RealAircraftCfg, InPlaceEverySectionIsReported) {
  lf_searchLiveriesInFolder(1, kRealCfgs);
  EXPECT_TRUE(g_liveries.empty());
  // The newer simulator's packages have no atc_model line (their type is icao_type_designator).
  ASSERT_EQ(g_invalidCfgFiles.size(), 5u);
  EXPECT_EQ(count(g_invalidCfgFiles, "Line atc_model= is missing in [General] section of "), 5u);
  EXPECT_EQ(count(g_invalidCfgFiles, "msfs_FSLTL_CanadaAirVirtual"), 5u);
  // The type codes: Typhoon (two files), 777-300ER (from its first section), DR-1050 (the
  // Jodel's [General]; the sections' own "atc_model = " lines hold no value).
  EXPECT_EQ(g_codeFixes.size(), 4u);
  // 133 + 34 + 3 + 7 sections, each stopped by its missing model folder.
  EXPECT_EQ(g_incompleteSections.size(), 177u);
  EXPECT_EQ(count(g_incompleteSections, " does not exist"), 177u);
  EXPECT_EQ(count(g_incompleteSections, kLionRock), 133u);
  // A header's trailing blanks stay out of the line; a comment after a value is part of it.
  EXPECT_EQ(count(g_incompleteSections, "/model.CFM [fltsim.0] does not exist"), 1u);
  EXPECT_EQ(count(g_incompleteSections, "[fltsim.130] does not exist"), 1u);
  EXPECT_EQ(count(g_incompleteSections, "/model.long //clean,long [fltsim."), 17u);
  EXPECT_EQ(count(g_incompleteSections, "/model.clean //clean,long [fltsim."), 17u);
  EXPECT_EQ(count(g_incompleteSections, std::string(kPmdg) + "/model [fltsim."), 3u);
  EXPECT_EQ(count(g_incompleteSections, std::string(kJodel) + "/model [Fltsim."), 7u);
  EXPECT_TRUE(g_invalidModelCodes.empty());
  EXPECT_TRUE(g_cfgWithoutFltsim.empty());
}

// Creates the folders and flight-model files that the model=, texture= and sim= lines of every
// cfg below root name (values with a "//" comment cannot be folder names and are left out).
void lf_giveFolders(const fs::path& root) {
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || (name != "aircraft.cfg" && name != "Aircraft.cfg")) continue;
    for (const std::string& line : liveries_test::readLines(entry.path())) {
      const auto equals = line.find('=');
      if (equals == std::string::npos) continue;
      std::string key = gf_trim(line.substr(0, equals));
      std::transform(key.begin(), key.end(), key.begin(), ::tolower);
      std::string value = gf_trim(line.substr(equals + 1));
      if (value.find("//") != std::string::npos) continue;
      std::replace(value.begin(), value.end(), '\\', '/');
      const fs::path folder = entry.path().parent_path();
      if (key == "model" || key == "texture") {
        fs::create_directories(folder / (value.empty() ? key : key + "." + value));
      } else if (key == "sim") {
        fixtures::writeFileBytes(folder / (value + ".air"), "");
      }
    }
  }
}

TEST_F(RealAircraftCfg, CopiesWithTheirFoldersGiveTheLiveries) {
  const fs::path copy = env_.path() / "copy";
  fs::copy(kRealCfgs, copy, fs::copy_options::recursive);
  lf_giveFolders(copy);
  lf_searchLiveriesInFolder(1, copy);

  std::map<std::string, Livery> byTitle;
  std::map<std::string, int> perAirline;
  for (const Livery& livery : g_liveries) {
    byTitle[livery.title] = livery;
    ++perAirline[livery.airl + " " + livery.type];
  }
  // Lion Rock: all 133 sections; 4 AAL, 3 DLH and 19 FFT by their parking codes, the other
  // codes unknown to the database, so private owners. PMDG: only the Garuda section has a
  // registration the database knows. Jodel: 7 private aircraft.
  EXPECT_EQ(g_liveries.size(), 141u);
  EXPECT_EQ(perAirline, (std::map<std::string, int>{{"AAL A321", 4},
                                                    {"DLH A321", 3},
                                                    {"FFT A321", 19},
                                                    {"PVT A321", 107},
                                                    {"GIA B77W", 1},
                                                    {"PVT DR10", 7}}));
  EXPECT_EQ(byTitle["FLAi_FAIB_A321IAE_AAL-AmericanAW"].airl, "AAL");
  EXPECT_EQ(byTitle["FLAi_A321_ZZZZ"].airl, "PVT");
  EXPECT_EQ(byTitle["FLAi_FAIB_A321IAE_UKV-FlyUK"].atcid, "G-FLIB");
  EXPECT_EQ(byTitle["FLAi_FAIB_Airbus_A321_LionRock_SL"].atcid, "VR-LRC");
  EXPECT_EQ(byTitle["PMDG 777-300ER Garuda Indonesia (PK-GIC | 2013)"].atcid, "PK-GIC");
  EXPECT_EQ(byTitle["Jodel DR-1050 F-PJKG"].atcid, "F-PJKG");
  EXPECT_EQ(byTitle["Jodel DR-1050"].atcid, "FGDLA");
  for (const Livery& livery : g_liveries) EXPECT_FALSE(livery.cargo) << livery.title;

  EXPECT_EQ(g_invalidAirlineCodes.size(), 107u + 34u);
  EXPECT_EQ(count(g_invalidAirlineCodes, "ZZZZ         in "), 1u);
  EXPECT_EQ(count(g_invalidAirlineCodes, "141F         in "), 34u);
  // The Typhoons' model values carry a comment and never name a folder; the two PMDG house
  // sections have a registration the database does not know, on a heavy type.
  EXPECT_EQ(count(g_incompleteSections, " does not exist"), 34u);
  EXPECT_EQ(count(g_incompleteSections, "has no airline and its regcode is not in my dbase"), 2u);
  EXPECT_EQ(g_incompleteSections.size(), 36u);
}

}  // namespace
