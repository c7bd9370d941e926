// Simulator detection from registry stores, the first start of a new version, the program's
// folders on a fresh working folder, and the traffic radius.
#include <gtest/gtest.h>

#include <filesystem>

#include "airports/scan.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/registry_lookup.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "platform/files_test_support.h"
#include "shell/shell.h"
#include "shell_test_helpers.h"

namespace {

namespace fs = std::filesystem;
using shelltest::ShellWindowTest;

const std::string kNoPath =
    "151: No P3D install path detected, type full Install Path above, and press Enter";
const std::string kTwo = "153: More than one P3D version detected, type full Install Path to "
                         "wanted version above and press Enter";

TEST_F(ShellWindowTest, DetectionFromRegistryStores) {
  struct Case {
    std::string store, afolder3, error, simPath, logLine, allPath;
  };
  const std::string v5 = "[HKLM\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n\"SetupPath\"=";
  const std::string v6 = "[HKLM\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]\n\"SetupPath\"=";
  const Case table[] = {
      {v5 + "\"D:\\\\Prepar3D v5\\\\\"\n", "", "", "D:\\Prepar3D v5\\", "P3Dv5detected",
       "D:\\Prepar3D v5\\"},
      {v6 + "\"E:\\\\P3D v6\"\n", "", "", "E:\\P3D v6", "P3Dv6detected", "E:\\P3D v6"},
      {v5 + "\"D:\\\\v5\"\n" + v6 + "\"E:\\\\v6\"\n", "", kTwo, "", "", "typed before"},
      {"", "D:\\Scenery", "", "", "P3D not detected?", "typed before"},
      {"", "", kNoPath, "", "P3D not detected?", ""},
      {v6 + "\"\"\n", "", kNoPath, "", "P3Dv6detected", ""},
  };
  platform_test::EnvGuard env;
  env.set("ZENDRIK_REGISTRY", (folder_.path() / "registry.txt").string());
  for (const Case& c : table) {
    SCOPED_TRACE(c.store + c.afolder3);
    recreate();
    g_paramAllInstallPath.setValue("typed before");
    g_paramAfolder[3].setValue(c.afolder3);
    gf_testWriteFile(folder_.path() / "registry.txt", c.store);
    std::string error;
    try {
      lf_detectP3D(gf_isP3DInstalled(5), gf_isP3DInstalled(6));
    } catch (const qvb::UserErrorException& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(fileEntry("SIM_INSTALL_PATH"), c.simPath.empty() ? "<absent>" : c.simPath);
    EXPECT_TRUE(c.logLine.empty() || logHas(c.logLine));
    EXPECT_EQ(g_paramAllInstallPath.value(), c.allPath);
  }
}

TEST_F(ShellWindowTest, VersionBookkeeping) {
  for (const auto& [stored, installer, update] :
       {std::tuple{"", false, false}, std::tuple{"10.9.0", true, true},
        std::tuple{"11.0.0", false, false}}) {
    SCOPED_TRACE(stored);
    recreate();
    g_paramProgramVersion.setValue(stored);
    g_paramScanLiveries.setValue(false), g_paramScanAirports.setValue(false);
    syncBoxes();
    if (installer) gf_testWriteFile(g_installerPath, "x");
    lf_checkVersionUpdate();
    EXPECT_EQ(fileEntry("PROGRAM_VERSION"), "10.10.9");
    EXPECT_FALSE(fs::exists(g_installerPath));
    EXPECT_EQ(g_paramScanLiveries.value() && g_paramScanAirports.value(), update);
    EXPECT_EQ(IsDlgButtonChecked(window(), g_paramScanAirports.controlId) == BST_CHECKED, update);
    EXPECT_EQ(fileEntry("SCAN_LIVERIES"), update ? "true" : "<absent>");
    EXPECT_EQ(logHas("This is a version update from 10.9.0 -> 10.10.9"), update);
  }
}

TEST_F(ShellWindowTest, AutoRangeAndRadius) {
  const std::pair<UserSituation, int> table[] = {
      {{true, 30000.0, 1.0}, 10},  {{false, 49001.0, 1.0}, 100}, {{false, 18001.0, 1.0}, 40},
      {{false, 0.0, 7.0}, 10},     {{false, 0.0, 7.4}, 10},      {{false, 0.0, 20.5}, 24},
      {{false, 0.0, 36.6}, 40},    {{false, 0.0, 37.0}, 40},     {{false, 0.0, {}}, 40}};
  for (const auto& [user, radius] : table) {
    EXPECT_EQ(gf_autoRangeRadius(user), radius) << user.parkAirportDistanceNm.value_or(-1);
  }
  for (const auto& [given, nm, metres] : {std::tuple{250, 100, 185200u}, std::tuple{1, 2, 3704u}}) {
    gf_setRadius(given);
    EXPECT_EQ(g_paramLateralRange.value(), nm);
    EXPECT_EQ(g_trafficRadiusNm.load(), nm);
    EXPECT_EQ(g_trafficRadiusM.load(), metres);
  }
}

// On a fresh working folder the airports scan meets no my_ORBX or my_thirdparty folder: it still
// ends with its own warning and switches SCAN_AIRPORTS off, before and after the start-up's folders.
TEST_F(ShellWindowTest, FoldersAndScansOnAFreshWorkingFolder) {
  platform_test::EnvGuard env;
  env.set("ZENDRIK_DRIVE_C", folder_.path().string());
  fs::create_directories(folder_.path() / "Addons");
  g_paramAfgAutomatic.setValue(false);
  g_paramAfolder[3].setValue("C:\\Addons");
  g_paramSimInstallPath.setValue("C:\\P3D v5\\");
  g_maxThreads = 2, g_numThreads = 0;
  for (const bool created : {false, true}) {
    SCOPED_TRACE(created);
    if (created) lf_createFolders();
    g_paramScanAirports.setValue(true);
    EXPECT_NO_THROW(gf_scanAirports());
    EXPECT_EQ(status(), "Warning: Scan has not found any add-on airports");
    EXPECT_EQ(fileEntry("SCAN_AIRPORTS"), "false");
  }
  for (const fs::path* folder : {&g_learnedStockDir, &g_learnedSimaddonDir, &g_learnedThirdpartyDir,
                                 &g_myORBXDir, &g_myThirdpartyDir, &g_infoDir, &g_errorsDir,
                                 &g_myRegcodesDir}) {
    EXPECT_TRUE(fs::is_directory(*folder)) << *folder;
  }
  g_paramAfolder[3].setValue("");
  g_paramSimInstallPath.setValue((folder_.path() / "sim").string());
  lf_setSimSceneryDir();
  EXPECT_EQ(status(), "Stock airports path does not exist: " +
                          (folder_.path() / "sim" / "Scenery").string());
}

}  // namespace
