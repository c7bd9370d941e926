// Simulator detection from registry stores, the first start of a new version, the program's
// folders and the traffic radius.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/registry_lookup.h"
#include "foundation/run_state.h"
#include "platform/files_test_support.h"
#include "shell/shell.h"
#include "shell_test_helpers.h"

namespace {

namespace fs = std::filesystem;
using shelltest::ShellWindowTest;

class SimDetectionTest : public ShellWindowTest {
 protected:
  // Writes a registry store with the given Prepar3D keys and points the layer at it.
  void registry(const std::string& v5Path, const std::string& v6Path) {
    std::string store;
    if (v5Path != "-") {
      store += "[HKLM\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n\"SetupPath\"=\"" + v5Path + "\"\n";
    }
    if (v6Path != "-") {
      store += "[HKLM\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]\n\"SetupPath\"=\"" + v6Path + "\"\n";
    }
    gf_testWriteFile(folder_.path() / "registry.txt", store);
    env_.set("ZENDRIK_REGISTRY", (folder_.path() / "registry.txt").string());
  }
  std::string detect() {
    try {
      lf_detectP3D(gf_isP3DInstalled(5), gf_isP3DInstalled(6));
    } catch (const qvb::UserErrorException& e) {
      return e.what();
    }
    return "";
  }
  platform_test::EnvGuard env_;
};

TEST_F(SimDetectionTest, RegistryStores) {
  struct Case {
    const char* name;
    std::string v5, v6;  // "-": no key
    const char* afolder3;
    std::string error, simPath, logLine;
  };
  const std::string kNone = "No P3D install path detected, type full Install Path above, and press Enter";
  const Case table[] = {
      {"v5", "D:\\\\Prepar3D v5\\\\", "-", "", "", "D:\\Prepar3D v5\\", "P3Dv5detected"},
      {"v6", "-", "E:\\\\P3D v6", "", "", "E:\\P3D v6", "P3Dv6detected"},
      {"both", "D:\\\\v5", "E:\\\\v6", "", "153: More than one P3D version detected, type full "
       "Install Path to wanted version above and press Enter", "", ""},
      {"none, own folders", "-", "-", "D:\\Scenery", "", "", "P3D not detected?"},
      {"none", "-", "-", "", "151: " + kNone, "", "P3D not detected?"},
      {"v6 without a path", "-", "", "", "151: " + kNone, "", "P3Dv6detected"},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    recreate();
    g_paramAllInstallPath.setValue("typed before");
    g_paramAfolder[3].setValue(c.afolder3);
    registry(c.v5, c.v6);
    EXPECT_EQ(detect(), c.error);
    EXPECT_EQ(fileEntry("SIM_INSTALL_PATH"), c.simPath.empty() ? "<absent>" : c.simPath);
    if (!c.logLine.empty()) {
      EXPECT_TRUE(logHas(c.logLine));
    }
    const bool cleared = c.error.starts_with("151");
    EXPECT_EQ(g_paramAllInstallPath.value(),
              cleared ? "" : (c.simPath.empty() ? "typed before" : c.simPath));
    if (!c.simPath.empty()) {
      EXPECT_EQ(fieldText(g_paramAllInstallPath), c.simPath);
    }
  }
}

TEST_F(SimDetectionTest, VersionBookkeeping) {
  struct Case {
    const char* stored;
    bool installer;
    const char* logLine;
    bool scans;
  };
  for (const Case& c : {Case{"", false, "", false},
                        Case{"10.9.0", true, "This is a version update from 10.9.0 -> 10.10.9", true},
                        Case{"11.0.0", false, "", false}}) {
    SCOPED_TRACE(c.stored);
    recreate();
    g_paramProgramVersion.setValue(c.stored);
    g_paramScanLiveries.setValue(false);
    g_paramScanAirports.setValue(false);
    syncBoxes();
    if (c.installer) gf_testWriteFile(g_installerPath, "x");
    lf_checkVersionUpdate();
    EXPECT_EQ(fileEntry("PROGRAM_VERSION"), "10.10.9");
    EXPECT_FALSE(fs::exists(g_installerPath));
    EXPECT_EQ(g_paramScanLiveries.value(), c.scans);
    EXPECT_EQ(g_paramScanAirports.value(), c.scans);
    EXPECT_EQ(IsDlgButtonChecked(window(), g_paramScanAirports.controlId),
              c.scans ? BST_CHECKED : BST_UNCHECKED);
    if (c.scans) {
      EXPECT_EQ(fileEntry("SCAN_LIVERIES"), "true");
    }
    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(std::any_of(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with("This is a version"); }),
              *c.logLine != 0);
    if (*c.logLine != 0) {
      EXPECT_TRUE(logHas(c.logLine));
    }
  }
}

TEST_F(SimDetectionTest, AutoRangeAndRadius) {
  struct Case {
    UserSituation user;
    int radius;
  };
  const Case table[] = {
      {{true, 30000.0, 1.0}, 10},      {{false, 49001.0, 1.0}, 100},
      {{false, 18001.0, 1.0}, 40},     {{false, 1000.0, 7.0}, 10},
      {{false, 1000.0, 7.4}, 10},      {{false, 1000.0, 20.5}, 24},
      {{false, 1000.0, 36.6}, 40},     {{false, 1000.0, 37.0}, 40},
      {{false, 1000.0, std::nullopt}, 40},
  };
  for (const Case& c : table) {
    EXPECT_EQ(gf_autoRangeRadius(c.user), c.radius) << c.user.parkAirportDistanceNm.value_or(-1);
  }
  for (const auto& [given, nm, metres] : {std::tuple{250, 100, 185200u}, std::tuple{1, 2, 3704u}}) {
    gf_setRadius(given);
    EXPECT_EQ(g_paramLateralRange.value(), nm);
    EXPECT_EQ(g_trafficRadiusNm.load(), static_cast<double>(nm));
    EXPECT_EQ(g_trafficRadiusM.load(), metres);
  }
}

TEST_F(SimDetectionTest, FoldersAndSceneryOnAFreshWorkingFolder) {
  lf_createFolders();
  for (const fs::path* folder : {&g_learnedStockDir, &g_learnedSimaddonDir, &g_learnedThirdpartyDir,
                                 &g_myORBXDir, &g_myThirdpartyDir, &g_infoDir, &g_errorsDir,
                                 &g_myRegcodesDir}) {
    EXPECT_TRUE(fs::is_directory(*folder)) << *folder;
  }
  g_paramSimInstallPath.setValue((folder_.path() / "sim").string());
  lf_setSimSceneryDir();
  EXPECT_EQ(status(), "Stock airports path does not exist: " +
                          (folder_.path() / "sim" / "Scenery").string());
}

}  // namespace
