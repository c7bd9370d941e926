// The whole livery scan on a generated simulator installation: automatic and manual mode, the
// catalogue, every report file, the settings and the log lines of the driver.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <array>

#include "fixtures/ai_package_world.h"
#include "fixtures/ai_package_writer.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "foundation/settings_file.h"
#include "liveries/aircraft_database.h"
#include "liveries/fltsim_section.h"
#include "liveries/liveries_scan.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::contains;
using liveries_test::LiveriesEnv;
using liveries_test::logLinesWith;
using liveries_test::readLines;

// The stored catalogue as "airl|type|title|atcid|cargo" lines.
std::vector<std::string> lf_catalogue() {
  lf_readLiveriesScanned();
  std::vector<std::string> lines;
  for (const Livery& l : g_liveries) {
    lines.push_back(l.airl + "|" + l.type + "|" + l.title + "|" + l.atcid + "|" +
                    (l.cargo ? "cargo" : ""));
  }
  g_liveries.clear();
  return lines;
}

class LiveryScanE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    world_ = fixtures::writeAiWorld(env_.path() / "world");
    env_.useWorld(world_.appData, world_.driveC, world_.driveD, world_.simInstallPath);
    fixtures::loadAiWorldDbase();
  }

  std::string a(const std::string& below) const { return (world_.packA / below).string(); }
  std::string b(const std::string& below) const { return (world_.packB / below).string(); }
  std::string t(const std::string& below) const { return (world_.aiTraffic / below).string(); }

  LiveriesEnv env_;
  fixtures::AiWorld world_;
};

const std::vector<std::string> kWorldCatalogue = {
    "AFR|A320|A320 AFR Air France IVAO||",
    "AFR|A320|AI A320 Air France||",
    "BAW|B738|AI B737-800 British Airways||",
    "CFG|B738|AI B738 Condor||",
    "DLH|B738|AI B738 Lufthansa D-ABCD|D-ABCD|",
    "EWG|B738|AI B738 Eurowings ; old comment|D-AIBA|",
    "KLM|B738|AI B738 KLM Cargo||cargo",
    "KLM|E190|AI E190 KLM Cityhopper||",
    "PVT|C172|C172 Private D-EFGH||",
    "PVT|C172|C172 Xyz||",
    "PVT|DR10|Jodel A\xE9roclub||",  // cp1252 text is kept as its bytes
    "ZZZ|A320|A320ZZZ Generic||",
};

// The saved SCAN_LIVERIES entry of parameters.xml.
bool lf_savedScanLiveriesOff() {
  return liveries_test::contains(liveries_test::fileText(g_parametersFile),
                                 "name=\"SCAN_LIVERIES\" value=\"false\"");
}

TEST_F(LiveryScanE2e, AutomaticModeWritesCatalogueAndReports) {
  gf_liveriesScan();
  EXPECT_FALSE(g_paramScanLiveries.value());
  EXPECT_TRUE(lf_savedScanLiveriesOff());
  EXPECT_EQ(g_numThreads.load(), 0);
  EXPECT_TRUE(g_liveries.empty());
  EXPECT_TRUE(g_incompleteSections.empty() && g_seenTitles.empty());
  EXPECT_EQ(lf_catalogue(), kWorldCatalogue);

  EXPECT_EQ(
      readLines(g_invalidAirlineCodesFile),
      std::vector<std::string>{"XYZ          in " + a("AI C172/Aircraft.cfg") + " [fltsim.1]"});
  EXPECT_EQ(readLines(g_invalidAircraftCodesFile),
            std::vector<std::string>{"QQQQ             in " + b("Unknown type/aircraft.cfg")});
  EXPECT_EQ(readLines(g_fixesFile),
            std::vector<std::string>{"Model fix: B737-800 found in " +
                                     b("AI B737-800/aircraft.cfg") + " changed into B738"});
  EXPECT_EQ(
      readLines(g_invalidAircraftCfgFilesFile),
      (std::vector<std::string>{
          b("Bad numbering/aircraft.cfg") + " contains non-consecutive [fltsim.x] numbers at .x=2",
          "Line atc_model= is missing in [General] section of " + b("No atc_model/aircraft.cfg")}));
  EXPECT_EQ(readLines(g_incompleteFltsimSectionsFile),
            (std::vector<std::string>{
                "\"" + b("Heavy") + "\" \"[fltsim.0]\" has no airline and no regcode info",
                t("IVAO_MTL/IVAO_A320w") +
                    " [fltsim.2] misses airlinecode in title: IVAO Unknown, and no regcode",
                a("AI B738") + " [fltsim.2] title \"AI B738 Lufthansa D-ABCD\" already exists",
                a("AI B738/texture.NOPE") + " [fltsim.3] does not exist"}));
  EXPECT_EQ(readLines(g_cfgWithNoFltsimFile), std::vector<std::string>{b("Empty/aircraft.cfg")});
  EXPECT_EQ(readLines(g_airlineModelConversionsFile),
            std::vector<std::string>{
                fmt::format("{:80} D-AIBA airl DLH => EWG", "AI B738 Eurowings ; old comment")});

  const std::string log = env_.log();
  EXPECT_TRUE(contains(log,
                       "\n++++++++++++++++++++++++ liveries scan automatic starts "
                       "++++++++++++++++++++++++++++++++\n"));
  EXPECT_EQ(logLinesWith(log, "found in "),
            (std::vector<std::string>{
                "6 liveries found in D:\\AI\\PackA\\SimObjects\\Airplanes",
                "3 liveries found in D:\\AI\\PackB\\SimObjects\\Airplanes",
                "3 liveries found in " + world_.simInstallPath + "\\SimObjects\\AI Traffic"}));
  EXPECT_EQ(logLinesWith(log, "skipped!"),
            std::vector<std::string>{"D:\\Missing does not exist, skipped!"});
  EXPECT_EQ(logLinesWith(log, " in total"), std::vector<std::string>{"12 in total"});
  EXPECT_TRUE(
      contains(log,
               "\nErrors:\n1 invalid airline code, see output/errors/InvalidAirlineCodes.txt\n"
               "1 invalid model code, see output/errors/InvalidAircraftCodes.txt\n"
               "1 code fixes, see output/errors/Fixes.txt\n"
               "2 invalid aircraft.cfg files, see output/errors/InvalidAircraftCfgFiles.txt\n"
               "4 incomplete [fltsim.x] sections, see output/errors/IncompleFltsimSections.txt\n"
               "\nInformation:\n"
               "1 empty aircraft.cfg files, see output/info/AircraftCfgWithNoFltsimSection.txt\n"
               "1 liveries updated with real live data from dbase, see "
               "output/info/AirlineModelConversions.txt\n"));
  EXPECT_TRUE(contains(
      log, "\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n"));
}

TEST_F(LiveryScanE2e, ManualModeFindsTheSameCatalogueAndRemovesOldReports) {
  g_paramLigAutomatic.setValue(false);
  g_paramLfolder[1].setValue(world_.liveryFolders[0]);
  g_paramLfolder[4].setValue(world_.liveryFolders[1]);
  g_paramLfolder[9].setValue(world_.liveryFolders[2]);
  gf_liveriesScan();
  EXPECT_EQ(lf_catalogue(), kWorldCatalogue);
  EXPECT_TRUE(contains(env_.log(), "liveries scan manual starts"));
  EXPECT_FALSE(g_paramScanLiveries.value());

  // The next scan over package A alone: the reports of package B's faults are gone.
  g_paramScanLiveries.setValue(true);
  g_paramLfolder[4].setValue("");
  g_paramLfolder[9].setValue("");
  fixtures::writeFileBytes(g_liveriesSkippedOnPriorityFile, "old");
  gf_liveriesScan();
  EXPECT_EQ(lf_catalogue().size(), 6u);
  EXPECT_FALSE(fs::exists(g_fixesFile));
  EXPECT_FALSE(fs::exists(g_invalidAircraftCfgFilesFile));
  EXPECT_FALSE(fs::exists(g_cfgWithNoFltsimFile));
  EXPECT_FALSE(fs::exists(g_liveriesSkippedOnPriorityFile));
  EXPECT_TRUE(fs::exists(g_invalidAirlineCodesFile));
  EXPECT_EQ(logLinesWith(env_.log(), " in total"), std::vector<std::string>{"12 in total"});
}

TEST_F(LiveryScanE2e, ScanWithoutFaultsLeavesNoErrorsFolder) {
  g_paramLigAutomatic.setValue(false);
  g_paramLfolder[0].setValue((world_.packB / "AI E190 BOM").string());
  gf_liveriesScan();
  EXPECT_EQ(lf_catalogue(), std::vector<std::string>{"KLM|E190|AI E190 KLM Cityhopper||"});
  EXPECT_FALSE(fs::exists(g_errorsDir));
  EXPECT_TRUE(contains(env_.log(), "\nNo errors\n\nInformation:\n"));
  // One livery: the count line has no plural ending.
  EXPECT_EQ(
      logLinesWith(env_.log(), "found in "),
      std::vector<std::string>{"1 liverie found in " + (world_.packB / "AI E190 BOM").string()});
}

int lf_scanErrorCode() {
  return liveries_test::userErrorCode([] { gf_liveriesScan(); });
}

TEST_F(LiveryScanE2e, UserErrorsLeaveTheSettingOn) {
  g_paramLigAutomatic.setValue(false);
  EXPECT_EQ(lf_scanErrorCode(), 48);
  g_paramLfolder[0].setValue((world_.packB / "Empty").string());
  g_paramLfolder[1].setValue("D:\\Nowhere");
  EXPECT_EQ(lf_scanErrorCode(), 53);
  EXPECT_TRUE(contains(env_.log(), "No liveries found in " + (world_.packB / "Empty").string()));
  g_paramLigAutomatic.setValue(true);
  // A path naming no version falls back on P3D_VERSION; the world has no v6 add-ons.
  g_paramSimInstallPath.setValue("C:\\Sim without version");
  g_paramP3dVersion.setValue(6);
  EXPECT_EQ(lf_scanErrorCode(), 43);
  g_paramP3dVersion.setValue(5);
  EXPECT_TRUE(g_paramScanLiveries.value());
  EXPECT_FALSE(lf_savedScanLiveriesOff());
  EXPECT_FALSE(fs::exists(g_liveriesScannedFile));
  EXPECT_TRUE(g_seenTitles.empty());
  EXPECT_EQ(g_numThreads.load(), 0);
}

TEST_F(LiveryScanE2e, InterruptedScanLeavesNoStaleListsAndKeepsTheSettingOn) {
  // Titles of an earlier, interrupted pass are still listed as seen.
  lf_searchLiveriesInFolder(1, world_.packA);
  ASSERT_FALSE(g_seenTitles.empty());
  g_liveries.clear();
  g_stopRequested.store(true);
  gf_liveriesScan();  // returns quietly: no catalogue, nothing processed
  EXPECT_TRUE(g_paramScanLiveries.value());
  EXPECT_FALSE(lf_savedScanLiveriesOff());
  EXPECT_FALSE(fs::exists(g_liveriesScannedFile));
  EXPECT_TRUE(g_seenTitles.empty());
  EXPECT_TRUE(g_incompleteSections.empty());

  g_stopRequested.store(false);
  gf_liveriesScan();
  EXPECT_EQ(lf_catalogue(), kWorldCatalogue);
  EXPECT_EQ(readLines(g_incompleteFltsimSectionsFile).size(), 4u);
}

class LiveryScanDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    g_dbaseTypes.insert({"B738", "A320", "B744"});
    g_dbaseIcaoAirlines.insert({"DLH", "BAW", "KLM", "CLX"});
    g_paramLigAutomatic.setValue(false);
  }
  // One aircraft folder with the sections given as (title, airline code, atc id).
  fs::path aircraft(const std::string& name, const std::string& type,
                    const std::vector<std::array<std::string, 3>>& sections) {
    std::vector<std::vector<std::string>> keys;
    for (const auto& [title, code, atcid] : sections) {
      keys.push_back({"title=" + title, "atc_parking_codes=" + code});
      if (!atcid.empty()) keys.back().push_back("atc_id=" + atcid);
    }
    liveries_test::writeAircraft(env_.path() / "liveries" / name, type, keys);
    return env_.path() / "liveries" / name;
  }
  LiveriesEnv env_;
};

TEST_F(LiveryScanDriver, PrioritizedScanKeepsTheFirstFolderPerAirlineAndType) {
  g_paramLigPrioritize.setValue(true);
  g_paramLfolder[0].setValue((env_.path() / "nowhere").string());
  g_paramLfolder[1].setValue(aircraft("one", "B738", {{"One DLH", "DLH", ""}}).string());
  g_paramLfolder[2].setValue(
      aircraft("two", "B738", {{"Two DLH", "DLH", ""}, {"Two BAW", "BAW", ""}}).string());
  g_paramLfolder[3].setValue(aircraft("three", "A320", {{"Three DLH", "DLH", ""}}).string());
  gf_liveriesScan();
  EXPECT_EQ(lf_catalogue(), (std::vector<std::string>{"BAW|B738|Two BAW||", "DLH|A320|Three DLH||",
                                                      "DLH|B738|One DLH||"}));
  EXPECT_EQ(
      logLinesWith(env_.log(), "skipped!"),
      std::vector<std::string>{(env_.path() / "nowhere").string() + " does not exist, skipped!"});
}

TEST_F(LiveryScanDriver, DatabaseCorrectsCargoAirlineAndTypeButNeverBlanksThem) {
  g_dbaseRegs["D-ACGO"] = RegInfo{"DLH", "B744", "CLX", true};
  g_dbaseRegs["D-ANON"] = RegInfo{"", "", "", false};
  g_dbaseRegs["HB-JOB"] = RegInfo{"KLM", "", "", false};
  g_paramLfolder[0].setValue(aircraft("db", "B738",
                                      {{"Freighter", "DLH", "D-ACGO"},
                                       {"Anonymous", "BAW", "D-ANON"},
                                       {"Swiss", "BAW", "HBJOB"}})
                                 .string());
  gf_liveriesScan();
  EXPECT_EQ(lf_catalogue(),
            (std::vector<std::string>{"BAW|B738|Anonymous|D-ANON|",
                                      "CLX|B744|Freighter|D-ACGO|cargo", "KLM|B738|Swiss|HBJOB|"}));
  EXPECT_EQ(
      readLines(g_airlineModelConversionsFile),
      (std::vector<std::string>{fmt::format("{:80} HBJOB airl BAW => KLM", "Swiss"),
                                fmt::format("{:80} D-ACGO cargo false => true", "Freighter"),
                                fmt::format("{:80} D-ACGO airl DLH => CLX", "Freighter"),
                                fmt::format("{:80} D-ACGO model B738 => B744", "Freighter")}));
}

}  // namespace
