// Automatic discovery of livery folders: add-ons.cfg packages, their add-on.xml, and the entries
// of simobjects.cfg.

#include "liveries/addon_discovery.h"

#include <gtest/gtest.h>

#include "fixtures/ai_package_writer.h"
#include "foundation/parameters.h"
#include "foundation/registry_lookup.h"
#include "liveries/liveries_test_support.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::LiveriesEnv;
using liveries_test::logLinesWith;

class AddonDiscovery : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.useWorld(env_.path() / "appdata", env_.path() / "c", env_.path() / "d",
                  "C:\\Program Files\\Prepar3D v5");
    addOnsCfg_ = env_.path() / "appdata" / "Lockheed Martin" / "Prepar3D v5" / "add-ons.cfg";
    simObjectsCfg_ =
        env_.path() / "c" / "ProgramData" / "Lockheed Martin" / "Prepar3D v5" / "simobjects.cfg";
  }
  LiveriesEnv env_;
  fs::path addOnsCfg_;
  fs::path simObjectsCfg_;
};

TEST_F(AddonDiscovery, PackagesOfAddOnsCfgAndTheirAddOnXml) {
  fixtures::writeFileBytes(addOnsCfg_,
                           "PATH=D:\\before\\any\\header\n"
                           "[Package.0]\n"
                           "PATH=D:\\AI\\MyPack  \n"
                           "ACTIVE=true\n"
                           "REQUIRED=false\n"
                           "[package.1]\n"
                           "Path=D:\\AI\\Lower\n"
                           " [Package.2] \n"
                           "PATH=D:\\AI\\Real Packages\n"
                           "TITLE=no value here\n"
                           "path without equals\n"
                           "[Package.3]\n"
                           "PATH=D:\\AI\\Jos\xE9\n");  // Windows-1252
  fixtures::writeFileBytes(
      env_.path() / "d" / "AI" / "MyPack" / "add-on.xml",
      "<AddOn.Component>\n<Category>SimObjects</Category>\n"
      "<Path>D:\\AI\\MyPack\\SimObjects\\Airplanes</Path>\n</AddOn.Component>\n"
      "<Category>SIMOBJECTS</Category>\n<Name>x</Name>\n<Path>D:\\Two\\Lines</Path>\n"
      "<Category>simobjects</Category>\n<Path>D:\\Lights Reborn\\SimObjects</Path>\n"
      "<Category>Simobjects</Category>\n<Path>Relative\\SimObjects</Path>\n");
  fixtures::writeFileBytes(
      env_.path() / "d" / "AI" / "Lower" / "add-on.xml",
      "<Category>SimObjects</Category>\n<Path>D:\\AI\\Lower\\SimObjects</Path>\n");
  fixtures::writeFileBytes(env_.path() / "d" / "AI" / "Real Packages" / "add-on.xml",
                           "<Category>SimObjects</Category>\n<Path>SimObjects</Path>\n");
  std::vector<std::string> folders;
  lf_readP3DAddOnsAircraft(folders);
  // [package.1] is no header: its Path line belongs to package 0; nor is a path holding
  // "Package".
  EXPECT_EQ(folders,
            (std::vector<std::string>{
                "D:\\AI\\MyPack\\SimObjects\\Airplanes", "D:\\AI\\MyPack\\Relative\\SimObjects",
                "D:\\AI\\Lower\\SimObjects", "D:\\AI\\Real Packages\\SimObjects"}));
  const std::string log = env_.log();
  // Log.txt stays UTF-8: a name is its bytes here, and the one no UTF-8 byte is shown as '?'.
  EXPECT_EQ(logLinesWith(log, "path found:"),
            (std::vector<std::string>{"path found:D:\\AI\\MyPack  ", "path found:D:\\AI\\Lower",
                                      "path found:D:\\AI\\Real Packages",
                                      "path found:D:\\AI\\Jos?"}));
  EXPECT_EQ(logLinesWith(log, "Simobjects found:").size(), 4u);
  EXPECT_EQ(logLinesWith(log, "   exploring ").size(), 3u);
  EXPECT_EQ(logLinesWith(log, "add-on packages found"),
            std::vector<std::string>{"4 AI add-on packages found"});
  EXPECT_TRUE(liveries_test::contains(
      log, "\nReading " + addOnsCfg_.string() + " for AI add-on packages..."));
}

TEST_F(AddonDiscovery, MissingAddOnsCfgAndUnknownVersion) {
  std::vector<std::string> folders;
  lf_readP3DAddOnsAircraft(folders);
  EXPECT_TRUE(folders.empty());
  const std::string log = env_.log();
  EXPECT_EQ(logLinesWith(log, " not found!"),
            std::vector<std::string>{addOnsCfg_.string() + " not found!"});
  EXPECT_EQ(logLinesWith(log, "add-on packages found"),
            std::vector<std::string>{"0 AI add-on packages found"});

  // A path naming no version falls back on P3D_VERSION (5 by default).
  g_paramSimInstallPath.setValue("C:\\Sim");
  EXPECT_EQ(gf_p3dVersionFromPath(), "5");
  EXPECT_TRUE(lf_addOnsCfgPath().string().ends_with("Prepar3D v5/add-ons.cfg"));
  g_paramSimInstallPath.setValue("C:\\Prepar3D V6");
  EXPECT_EQ(gf_p3dVersionFromPath(), "6");
  lf_readP3DSimObjectsCfg(folders);  // missing: silent
  EXPECT_TRUE(folders.empty());
  EXPECT_EQ(logLinesWith(env_.log(), "simobjects.cfg").size(), 0u);
}

TEST_F(AddonDiscovery, EntriesOfSimObjectsCfg) {
  fixtures::writeFileBytes(
      simObjectsCfg_,
      "\xEF\xBB\xBF[Entry.0]\r\nTitle=Default path\r\nPath=SimObjects\\Airplanes\r\n"
      "Required=False\r\n[Entry.1]\r\nTitle=AI\r\nPath=SimObjects\\AI Traffic \r\n"
      "[ENTRY.2]\r\nPath=E:\\Liveries\r\n[Entry.3]\r\nPath=D:\\Abs\\SimObjects\\AI\r\n"
      "Path=E:\\Entry Liveries\r\n");
  std::vector<std::string> folders = {"kept"};
  lf_readP3DSimObjectsCfg(folders);
  EXPECT_EQ(folders, (std::vector<std::string>{
                         "kept", "C:\\Program Files\\Prepar3D v5\\SimObjects\\AI Traffic",
                         "E:\\Liveries", "D:\\Abs\\SimObjects\\AI", "E:\\Entry Liveries"}));
  EXPECT_EQ(logLinesWith(env_.log(), "add-on packages found"),
            std::vector<std::string>{"4 AI add-on packages found"});
}

TEST_F(AddonDiscovery, RealAddOnXmlNamesItsSimObjectsFolderRelatively) {
  const fs::path real = fs::path(ZENDRIK_REALWORLD_DIR) / "addon_xml" / "SAF_ALA14_EF2000_FSX_P3D";
  if (!fs::exists(real)) GTEST_SKIP() << "real-world files not found at " << real;
  std::vector<std::string> folders;
  lf_explorePackage(real.string(), folders);
  // The folder lies in the package, where the simulator looks for it.
  const std::string inPackage = real.string() + "\\SimObjects";
  EXPECT_EQ(folders, std::vector<std::string>{inPackage});
  EXPECT_EQ(logLinesWith(env_.log(), "Simobjects found:"),
            std::vector<std::string>{"      Simobjects found:" + inPackage});
}

}  // namespace
