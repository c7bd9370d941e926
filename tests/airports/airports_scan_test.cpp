// Scenery discovery (scenery.cfg, scenery_add-ons.xml, afolder settings) and the whole airports
// scan at start-up: scan log file, off-line learning folder, the setting switched off.
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <future>
#include <map>

#include "airports/airports.h"
#include "airports/airports_test_helpers.h"
#include "airports/scan.h"
#include "airports/scan_log.h"
#include "fixtures/bgl_builder.h"
#include "fixtures/stand_file_builder.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "foundation/settings_file.h"
#include "liveries/aircraft_database.h"
#include "platform/files_test_support.h"

using airports_test::HttpServer;
using airports_test::readText;
using airports_test::takeScanLog;
using airports_test::TempDir;
using airports_test::WorkingFolder;
using ::testing::ElementsAre;

namespace {

namespace fs = std::filesystem;

const std::string kInstall = "C:\\Program Files\\Lockheed Martin\\Prepar3D v5\\";

void writeBytes(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// UTF-16 little-endian with byte-order mark, CR LF line ends.
std::string utf16le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    if (c == '\n') {
      out += std::string("\r\0", 2);
    }
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

// Drive C: of the simulator machine mapped to a temporary folder.
class SceneryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("ZENDRIK_DRIVE_C", m_drive.path().c_str(), 1);
    g_paramSimInstallPath.setValue(kInstall);
    for (auto& setting : g_paramAfolder) {
      setting.setValue("");
    }
  }
  void TearDown() override {
    ::unsetenv("ZENDRIK_DRIVE_C");
    g_paramSimInstallPath.setValue("");
    for (auto& setting : g_paramAfolder) {
      setting.setValue("");
    }
  }
  fs::path configFolder() const { return m_drive.path() / "ProgramData/Lockheed Martin/Prepar3D v5"; }

  WorkingFolder m_folder;
  TempDir m_drive;
};

}  // namespace

TEST_F(SceneryTest, SceneryCfgRules) {
  writeBytes(configFolder() / "scenery.cfg",
             "Local=D:\\Before\\Any\\Section\n"
             "[Area.001]\nTitle=XYZ Airport\nLocal=Addon Scenery\\XYZ Airport\nLayer=120\nActive=TRUE\nRequired=FALSE\n"
             "[Area.002]\nLocal=D:\\Inactive\nActive=FALSE\n"
             "[Area.003]\nTitle=Active Local Test\nLocal=D:\\Addons\\Global Airports\nLocal=D:\\Scenery\\0006\n"
             "Local=Scenery\\World\nLocal=D:\\Two\\Locals\nLocal = D:\\Three \nActive=True\n"
             "[Area.004]\nActive=TRUE\nLocal=D:\\Area51\\Airport\nLocal=D:\\Lost\n"
             "[Area.005]\nLocal=D:\\Last\\Section\nACTIVE=TRUE\n");
  std::vector<std::string> folders;
  lf_readSceneryCfg(folders);
  EXPECT_THAT(folders, ElementsAre(kInstall + "Addon Scenery\\XYZ Airport", "D:\\Two\\Locals", "D:\\Three",
                                   "D:\\Last\\Section"));
  EXPECT_TRUE(m_folder.logHas("      found:D:\\Two\\Locals"));
  EXPECT_TRUE(m_folder.logHas("4 scenery add-on paths found"));
}

TEST_F(SceneryTest, AddOnsXmlInUtf16AndMissingFiles) {
  std::vector<std::string> folders;
  lf_readSceneryCfg(folders);
  lf_readSceneryAddOnsXml(folders);
  EXPECT_TRUE(folders.empty());
  EXPECT_TRUE(m_folder.logHas("C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery.cfg not found!"));

  writeBytes(configFolder() / "scenery_add-ons.xml",
             utf16le("<?xml version=\"1.0\"?>\n<SceneryAddOns>\n<AddOn><Path>D:\\Addons\\Airport</Path></AddOn>\n"
                     "<AddOn><Path>D:\\Split\n</Path></AddOn>\n<AddOn><Path></Path></AddOn>\n"
                     "<AddOn><Path>D:\\Addons\\Airport</Path></AddOn>\n</SceneryAddOns>\n"));
  lf_readSceneryAddOnsXml(folders);
  EXPECT_THAT(folders, ElementsAre("D:\\Addons\\Airport", "D:\\Addons\\Airport"));
  EXPECT_TRUE(m_folder.logHas("found path:D:\\Addons\\Airport"));
}

TEST_F(SceneryTest, RealSceneryCfgGivesTheAddonFolderOnly) {
  const auto dir = airports_test::realworldDir();
  if (dir.empty()) {
    GTEST_SKIP() << "real-world sample folder not found: " << ZENDRIK_REALWORLD_DIR;
  }
  fs::create_directories(configFolder());
  fs::copy_file(dir / "misc/scenery_cfg/FSX_default_scenery.cfg", configFolder() / "scenery.cfg");
  std::vector<std::string> folders;
  lf_readSceneryCfg(folders);
  EXPECT_THAT(folders, ElementsAre(kInstall + "Addon Scenery"));
}

TEST_F(SceneryTest, ManualFolders) {
  std::vector<std::string> folders;
  lf_checkAfolder(g_paramAfolder, folders);
  EXPECT_TRUE(folders.empty());
  g_paramAfolder[1].setValue("D:\\My Airports");
  g_paramAfolder[4].setValue("E:\\More");
  lf_checkAfolder(g_paramAfolder, folders);
  EXPECT_THAT(folders, ElementsAre("D:\\My Airports", "E:\\More"));
  g_paramAfolder[2].setValue(kInstall + "Scenery\\0601");
  try {
    lf_checkAfolder(g_paramAfolder, folders);
    FAIL() << "no exception";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_STREQ(e.what(), "42: parameter afolder2 points to stock airports instead of add-on airports!");
  }
  EXPECT_TRUE(lf_isStockScenery("Local=D:\\Addons\\Global Airports"));
  EXPECT_FALSE(lf_isStockScenery("Local=D:\\Addons\\global airports"));
}

// With the simulator not detected its Scenery folder is unknown: it holds none of the user's
// folders, which are listed and scanned.
TEST_F(SceneryTest, UnknownSimulatorSceneryHoldsNoFolder) {
  g_paramSimInstallPath.setValue("");
  const fs::path addons = m_folder.path() / "Addons";
  fixtures::bglWriteFile(addons / "EDDM.bgl", fixtures::bglFileBytes(fixtures::bglSimpleAirportFile(
                                                  "EDDM", false, 3, 48.35, 11.78)));
  g_paramAfolder[3].setValue(addons.string());
  std::vector<std::string> folders;
  lf_checkAfolder(g_paramAfolder, folders);
  EXPECT_THAT(folders, ElementsAre(addons.string()));
  g_maxThreads = 2;
  std::vector<std::string> walked;
  lf_scanFolder(folders.front(), walked);
  EXPECT_THAT(walked, ElementsAre(addons.string()));
  EXPECT_TRUE(fs::exists(g_myThirdpartyDir / "EDDM.xml"));
  takeScanLog();
}

// The whole scan: two add-on folders named in scenery_add-ons.xml, the archive on a local
// server, the settings file in the temporary folder.
class AirportsScanTest : public SceneryTest {
 protected:
  void SetUp() override {
    SceneryTest::SetUp();
    if (!m_server.running()) {
      GTEST_SKIP() << "the local HTTP server could not be started";
    }
    m_parameters = g_parametersFile;
    g_parametersFile = m_folder.path() / "parameters.xml";
    g_paramAfgAutomatic.setValue(true);
    g_paramScanAirports.setValue(true);
    g_numThreads = 0;
    g_maxThreads = 2;
    g_dbasePublishers = {{"Aerosoft"}};
    g_dbaseSimaddonAirports = {"EGLL"};
    g_dbaseThirdParties = {{"Aerosoft", {"EDDM90"}}};
    takeScanLog();
  }
  void TearDown() override {
    g_parametersFile = m_parameters;
    g_dbasePublishers.clear();
    g_dbaseSimaddonAirports.clear();
    g_dbaseThirdParties.clear();
    SceneryTest::TearDown();
  }
  void writeArchive(const std::string& icao, int trafficWeek) {
    fixtures::StandFileLayout layout;
    layout.parameters = {{"altitude", "0"}, {"Qf_real", "10"}, {"RT_traffic_week", std::to_string(trafficWeek)}};
    fixtures::writeStandFile(m_archive.path() / "P3D/archive/stock" / (icao + ".xml"), layout);
  }

  TempDir m_archive;
  HttpServer m_server{m_archive.path()};
  fs::path m_parameters;
};

TEST_F(AirportsScanTest, ScansTheAddOnsAndPreparesOfflineLearning) {
  using namespace fixtures;
  const fs::path scen = m_drive.path() / "Addons";
  bglWriteFile(scen / "ORBX/EGLL/EGLL.bgl", bglFileBytes(bglSimpleAirportFile("EGLL", true, 4, 51.47, -0.45)));
  bglWriteFile(scen / "ORBX/LOWI/LOWI.bgl", bglFileBytes(bglSimpleAirportFile("LOWI", true, 4, 47.26, 11.34)));
  bglWriteFile(scen / "ORBX/LOWS/LOWS.bgl", bglFileBytes(bglSimpleAirportFile("LOWS", true, 4, 47.79, 13.0)));
  bglWriteFile(scen / "Aerosoft/EDDM.bgl", bglFileBytes(bglSimpleAirportFile("EDDM", false, 3, 48.35, 11.78)));
  bglWriteFile(scen / "Aerosoft/EDDN.bgl", bglFileBytes(bglSimpleAirportFile("EDDN", false, 3, 49.5, 11.08)));
  writeBytes(scen / "not a folder.txt", "x");
  // The simulator's own scenery is never scanned, also when the configuration names it.
  bglWriteFile(m_drive.path() / "Program Files/Lockheed Martin/Prepar3D v5/Scenery/World/KSFO.bgl",
               bglFileBytes(bglSimpleAirportFile("KSFO", false, 2, 37.6, -122.4)));
  writeArchive("LOWS", 30);  // good enough: no learning
  writeArchive("EDDN", 23);  // good enough as well
  writeBytes(configFolder() / "scenery_add-ons.xml",
             utf16le("<Path>C:\\Addons\\ORBX</Path>\n<Path>C:\\Addons\\not a folder.txt</Path>\n"
                     "<Path>C:\\Nowhere</Path>\n<Path>C:\\Addons\\Aerosoft</Path>\n"
                     "<Path>C:\\Program Files\\Lockheed Martin\\Prepar3D v5\\Scenery\\World</Path>\n"));
  std::filesystem::create_directories(g_myORBXDir);
  writeBytes(g_myORBXDir / "OLD1.xml", "left over");

  gf_scanAirports();

  EXPECT_FALSE(fs::exists(g_myORBXDir / "OLD1.xml"));
  EXPECT_FALSE(g_paramScanAirports.value());
  EXPECT_THAT(readText(g_parametersFile), ::testing::HasSubstr("SCAN_AIRPORTS"));
  // LOWI and LOWS were generated; LOWS' archive is good enough, LOWI goes to TBLO. EDDM (third
  // party, 4 stands against 90 archived) is linked only; EDDN is generated and needs no learning.
  EXPECT_TRUE(fs::exists("TBLO/LOWI.xml"));
  EXPECT_FALSE(fs::exists("TBLO/LOWS.xml"));
  EXPECT_EQ(g_tbloCount.load(), 1u);
  EXPECT_EQ(g_airportsScanDone.load(), 1);
  EXPECT_TRUE(fs::exists(g_myThirdpartyDir / "EDDM.txt"));
  EXPECT_FALSE(fs::exists(g_myThirdpartyDir / "EDDM.xml"));
  EXPECT_TRUE(fs::exists(g_myThirdpartyDir / "EDDN.xml"));
  EXPECT_FALSE(fs::exists(g_myThirdpartyDir / "KSFO.xml"));
  EXPECT_TRUE(m_folder.logHas("All your third party airports are done, no off line learning needed."));
  EXPECT_TRUE(m_folder.logHas("LOWI copied to TBLO/LOWI.xml"));
  EXPECT_TRUE(m_folder.logHas("===> zip folder \"TBLO\", and mail to "));
  EXPECT_TRUE(m_folder.logHas("Airports scan successful"));
  EXPECT_TRUE(m_folder.logHas("C:\\Addons\\not a folder.txt is not a folder name, skipped!"));
  EXPECT_TRUE(m_folder.logHas("C:\\Nowhere does not exist, skipped!"));
  EXPECT_TRUE(m_folder.logHas("airports scan automatic  starts"));

  std::vector<std::string> lines;
  std::ifstream in(g_airportsScanLogFile);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with("Scanning for addon airports in "); }),
            2);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "simaddon airport EGLL linked to archive/simaddon/EGLL.xml"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Generated LOWI.xml: 5 positions, of which 1 helipad"),
            lines.end());
  {
    std::lock_guard lock(g_scanLogMutex);
    EXPECT_TRUE(g_scanLogLines.empty());
  }

  // A second scan in the same process that finds nothing reports that, not the earlier success.
  writeBytes(configFolder() / "scenery_add-ons.xml", utf16le("<Path>C:\\Nowhere</Path>\n"));
  g_paramScanAirports.setValue(true);
  gf_scanAirports();
  EXPECT_TRUE(m_folder.logHas("Warning: Scan has not found any add-on airports"));
  EXPECT_FALSE(fs::exists("TBLO"));
  EXPECT_EQ(g_tbloCount.load(), 0u);
  EXPECT_TRUE(fs::exists(g_airportsScanLogFile));
  EXPECT_EQ(readText(g_airportsScanLogFile), "");
}

TEST_F(AirportsScanTest, ManualModeWithoutFolders) {
  g_paramAfgAutomatic.setValue(false);
  std::filesystem::create_directories(g_myORBXDir);
  writeBytes(g_myORBXDir / "KEEP.xml", "kept");
  try {
    gf_scanAirports();
    FAIL() << "no exception";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_STREQ(e.what(), "49: Set afolder parameter(-s) to your add-on airports first, see Manual 6.1");
  }
  EXPECT_TRUE(fs::exists(g_myORBXDir / "KEEP.xml"));
  EXPECT_TRUE(g_paramScanAirports.value());
  g_paramAfgAutomatic.setValue(true);
}

namespace {

// Every file and folder below my_ORBX and my_thirdparty, with the files' bytes.
std::map<std::string, std::string> standFolders() {
  std::map<std::string, std::string> found;
  for (const fs::path& folder : {g_myORBXDir, g_myThirdpartyDir}) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      found[entry.path().generic_string()] = entry.is_regular_file() ? readText(entry.path()) : "/";
    }
  }
  return found;
}

// The stand and link files of an earlier scan, and a user's own park airport folder.
void writeEarlierStandFiles() {
  writeBytes(g_myORBXDir / "EGLL.txt", "archive/simaddon/EGLL.xml\n");
  writeBytes(g_myORBXDir / "LOWI.xml", "<parkpositions>earlier LOWI</parkpositions>");
  writeBytes(g_myThirdpartyDir / "EDDM.xml", "<parkpositions>earlier EDDM</parkpositions>");
  writeBytes(g_myThirdpartyDir / "LEAB" / "LEAB.xml", "the user's own");
}

bool scanLogHas(const std::string& start) {
  std::lock_guard lock(g_scanLogMutex);
  return std::any_of(g_scanLogLines.begin(), g_scanLogLines.end(),
                     [&](const std::string& line) { return line.starts_with(start); });
}

}  // namespace

// The user closes the program while a large tree is scanned: the earlier stand files stay as
// they were and the scan is asked for again.
TEST_F(AirportsScanTest, AScanCutShortKeepsThePreviousStandFiles) {
  writeEarlierStandFiles();
  const auto earlier = standFolders();
  const fs::path tree = m_drive.path() / "Addons" / "Big";
  for (int k = 0; k < 200; ++k) {
    const std::string icao =
        fmt::format("EZ{}{}", static_cast<char>('A' + k / 26), static_cast<char>('A' + k % 26));
    fixtures::bglWriteFile(tree / fmt::format("Pack{}", k / 20) / (icao + ".bgl"),
                           fixtures::bglFileBytes(fixtures::bglSimpleAirportFile(
                               icao, false, 40, 40.0 + k * 0.01, 10.0)));
  }
  writeBytes(configFolder() / "scenery_add-ons.xml", utf16le("<Path>C:\\Addons\\Big</Path>\n"));
  g_maxThreads = 1;
  std::future<void> scan;
  {
    ScanSlot otherScan;  // its task holds the only slot: the walk waits at its second airport
    scan = std::async(std::launch::async, gf_scanAirports);
    while (!scanLogHas("Scanning for addon airports in ") &&
           scan.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    }
    g_exitRequested = true;
  }
  scan.get();
  g_exitRequested = false;
  EXPECT_EQ(standFolders(), earlier);
  EXPECT_TRUE(g_paramScanAirports.value());
  EXPECT_THAT(readText(g_parametersFile), ::testing::Not(::testing::HasSubstr("SCAN_AIRPORTS")));
  EXPECT_TRUE(m_folder.logHas(
      "===> airports scan cut short: the stand files of the previous scan are kept"));
  EXPECT_FALSE(m_folder.logHas("airports scan ends"));
  EXPECT_FALSE(fs::exists(g_airportsDir / "scan_new"));
}

// A new file that cannot take its place (a folder of its name is in the way) after others did:
// every move is taken back, the earlier files stay and the scan is asked for again. No move of
// a swap, nor of its recovery, overwrites a file.
TEST_F(AirportsScanTest, ASwapThatFailsHalfWayKeepsThePreviousStandFiles) {
  writeEarlierStandFiles();
  fs::create_directories(g_myThirdpartyDir / "EDDN.xml");
  const auto earlier = standFolders();
  const fs::path scen = m_drive.path() / "Addons";
  fixtures::bglWriteFile(
      scen / "ORBX/LOWS/LOWS.bgl",
      fixtures::bglFileBytes(fixtures::bglSimpleAirportFile("LOWS", true, 4, 47.79, 13.0)));
  fixtures::bglWriteFile(
      scen / "Aerosoft/EDDN.bgl",
      fixtures::bglFileBytes(fixtures::bglSimpleAirportFile("EDDN", false, 3, 49.5, 11.08)));
  writeBytes(configFolder() / "scenery_add-ons.xml", utf16le("<Path>C:\\Addons</Path>\n"));
  gf_scanAirports();
  EXPECT_EQ(standFolders(), earlier);
  EXPECT_TRUE(g_paramScanAirports.value());
  EXPECT_TRUE(
      m_folder.logHas("===> the stand files of this airports scan could not replace those of "
                      "the previous scan ("));
  EXPECT_FALSE(fs::exists(g_airportsDir / "scan_new"));
  EXPECT_FALSE(fs::exists(g_airportsDir / "scan_old"));

  // A swap a kill left half way, and a file of a previous one's name put back meanwhile: the
  // undo overwrites neither and leaves both for the user.
  const fs::path old = g_airportsDir / "scan_old" / "my_thirdparty" / "EDDM.xml";
  fs::create_directories(old.parent_path());
  fs::rename(g_myThirdpartyDir / "EDDM.xml", old);
  writeBytes(g_myThirdpartyDir / "EDDM.xml", "put back");
  EXPECT_FALSE(gf_recoverStandFileSwap());
  EXPECT_EQ(readText(g_myThirdpartyDir / "EDDM.xml"), "put back");
  EXPECT_EQ(readText(old), "<parkpositions>earlier EDDM</parkpositions>");
  EXPECT_TRUE(m_folder.logHas("stand files could not be undone: "));
}

// A scan that passes places over (a folder the walk may not enter, listed folders whose state
// cannot be read, a BGL file a task may not open) keeps byte for byte the stand files of the
// airports behind them, deciding my_ORBX and my_thirdparty apart, and names them; an airport
// whose BGL file is gone from a folder it walked loses its file. A scan that passes over every
// folder says so. A file that cannot be kept stops the swap.
TEST_F(AirportsScanTest, APartialScanKeepsTheStandFilesOfWhatItPassedOver) {
  const fs::path addons = m_drive.path() / "Addons";
  const auto writeBgl = [&](const std::string& folder, const std::string& icao, int stands) {
    fixtures::bglWriteFile(
        addons / folder / (icao + ".bgl"),
        fixtures::bglFileBytes(fixtures::bglSimpleAirportFile(icao, false, stands, 40.0, 10.0)));
  };
  writeBgl("ORBX/Locked", "EZZO", 3);
  writeBgl("Third", "EZZO", 3);
  writeBgl("Third", "EZZF", 3);
  writeBgl("Third/Gone", "EZZG", 3);
  writeBgl("Shut/Inner", "EZZS", 3);
  writeBytes(configFolder() / "scenery_add-ons.xml",
             utf16le("<Path>C:\\Addons\\ORBX</Path>\n<Path>C:\\Addons\\Third</Path>\n"
                     "<Path>C:\\Addons\\Shut\\Inner</Path>\n<Path>C:\\Addons\\Loop\\In</Path>\n"));
  gf_scanAirports();
  const auto whole = standFolders();
  ASSERT_EQ(whole.size(), 5u);  // EZZO in both folders, EZZF, EZZG, EZZS

  writeBgl("ORBX/Locked", "EZZO", 4);  // changed behind the places passed over
  writeBgl("Third", "EZZF", 4);
  writeBgl("Shut/Inner", "EZZS", 4);
  fs::remove(addons / "Third/Gone/EZZG.bgl");
  fs::create_directory_symlink(addons / "Loop", addons / "Loop");
  platform_test::EnvGuard env;
  env.set("ZENDRIK_SCAN_NO_ENTRY", "Locked|EZZF.bgl|Shut");
  gf_scanAirports();
  auto partial = whole;
  partial.erase(g_myThirdpartyDir.generic_string() + "/EZZG.xml");
  EXPECT_EQ(standFolders(), partial);
  EXPECT_TRUE(
      m_folder.logHas("Airports scan partial: 3 folders and 1 file passed over, the first " +
                      (addons / "ORBX/Locked").string() + ": Permission denied"));
  EXPECT_TRUE(m_folder.logHas("Loop/In: Too many levels of symbolic links"));
  EXPECT_TRUE(
      m_folder.logHas("3 stand files of airports this scan did not find kept: "
                      "my_ORBX/EZZO.xml, my_thirdparty/EZZF.xml, my_thirdparty/EZZS.xml"));

  env.set("ZENDRIK_SCAN_NO_ENTRY", "ORBX|Third|Shut");
  gf_scanAirports();
  EXPECT_EQ(standFolders(), partial);
  EXPECT_TRUE(
      m_folder.logHas("Warning: Scan has found no add-on airports, but it passed over 4 "
                      "folders it could not read (see Log.txt)"));
  EXPECT_FALSE(m_folder.logHas("Warning: Scan has not found any add-on airports"));

  env.set("ZENDRIK_SCAN_NO_ENTRY", "Locked");
  fs::permissions(g_myORBXDir / "EZZO.xml", fs::perms::none);
  g_paramScanAirports.setValue(true);
  const int kept = airports_test::runAsUser([] {
    gf_scanAirports();
    return g_paramScanAirports.value() ? airports_test::kStepPassed : 1;
  });
  if (kept == airports_test::kNoUserRights) GTEST_SKIP() << "could not give up root's rights";
  EXPECT_EQ(kept, airports_test::kStepPassed);
  EXPECT_EQ(standFolders(), partial);
  EXPECT_TRUE(
      m_folder.logHas("stand files of the airports this scan did not find could not be "
                      "kept (filesystem error: cannot copy file: Permission denied"));
}
