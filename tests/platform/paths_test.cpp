// Windows path texts: separators, drive roots, case-insensitive resolution over a real tree
// with awkward names.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "files_test_support.h"

namespace fs = std::filesystem;
using platform_test::EnvGuard;
using platform_test::TempDir;
using platform_test::writeFile;

namespace {

class WinPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir / "SimObjects/Airplanes/Caf\xC3\xA9 d'Air A320/Aircraft.cfg", "[fltsim.0]\n");
    writeFile(dir / "Addon Scenery/EHAM/scenery/EHAM.BGL", "x");
    env.set("ZENDRIK_DRIVE_D", dir.path().string());
  }
  TempDir dir;
  EnvGuard env;
};

TEST_F(WinPathTest, MapsDriveAndResolvesCaseOfExistingElements) {
  const struct {
    const char* text;
    const char* expected;  // relative to the drive root
  } cases[] = {
      {"D:\\SimObjects\\Airplanes\\Caf\xC3\xA9 d'Air A320\\Aircraft.cfg",
       "SimObjects/Airplanes/Caf\xC3\xA9 d'Air A320/Aircraft.cfg"},
      {"d:\\simobjects\\AIRPLANES\\caf\xC3\xA9 D'AIR a320\\aircraft.CFG",
       "SimObjects/Airplanes/Caf\xC3\xA9 d'Air A320/Aircraft.cfg"},
      {"D:/addon scenery/eham/Scenery/eham.bgl", "Addon Scenery/EHAM/scenery/EHAM.BGL"},
      {"D:\\Addon Scenery\\EHAM\\..\\EHAM\\.\\scenery", "Addon Scenery/EHAM/scenery"},
      // Never above the drive's root, as on Windows.
      {"D:\\..\\..\\Addon Scenery\\EHAM", "Addon Scenery/EHAM"},
      // Elements that do not exist keep their spelling, also below a missing one.
      {"D:\\addon scenery\\NewFolder\\Sub\\File.txt", "Addon Scenery/NewFolder/Sub/File.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gf_winPath(c.text), dir.path() / c.expected) << c.text;
  }
  EXPECT_EQ(gf_winPath("D:"), dir.path());
  EXPECT_EQ(gf_winPath("D:\\"), dir.path());
}

TEST_F(WinPathTest, RelativeTextsStayRelative) {
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_EQ(gf_winPath("addon scenery\\eham"), fs::path("Addon Scenery/EHAM"));
  EXPECT_EQ(gf_winPath("Missing\\x.cfg"), fs::path("Missing/x.cfg"));
  fs::current_path(previous);
}

TEST_F(WinPathTest, PrefersTheExactNameAndThenNameOrder) {
  writeFile(dir / "twins/abc/f", "1");
  writeFile(dir / "twins/ABC/f", "2");
  EXPECT_EQ(gf_winPath("D:\\twins\\abc\\f"), dir.path() / "twins/abc/f");
  EXPECT_EQ(gf_winPath("D:\\twins\\Abc\\f"), dir.path() / "twins/ABC/f");
}

TEST(WinPath, DriveRootsFromEnvironmentElseDataHome) {
  EnvGuard env;
  env.set("XDG_DATA_HOME", "/data/home");
  env.unset("ZENDRIK_DRIVE_C");
  env.set("ZENDRIK_DRIVE_E", "/mnt/e");
  EXPECT_EQ(gf_driveRoot('c'), fs::path("/data/home/zendrik/drive_c"));
  EXPECT_EQ(gf_driveRoot('C'), fs::path("/data/home/zendrik/drive_c"));
  EXPECT_EQ(gf_driveRoot('e'), fs::path("/mnt/e"));
  EXPECT_TRUE(gf_driveRoot('1').empty());
  EXPECT_EQ(
      gf_winPath("C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery.cfg"),
      fs::path("/data/home/zendrik/drive_c/ProgramData/Lockheed Martin/Prepar3D v5/scenery.cfg"));
  EXPECT_TRUE(gf_winPath("").empty());
}

TEST(ResolvePathCase, LeavesExistingAndUnreadablePathsAlone) {
  TempDir dir;
  writeFile(dir / "Folder/File.TXT", "x");
  EXPECT_EQ(gf_resolvePathCase(dir / "Folder/File.TXT"), dir / "Folder/File.TXT");
  EXPECT_EQ(gf_resolvePathCase(dir / "folder/file.txt"), dir / "Folder/File.TXT");
  // A file where a folder is expected: nothing to list, the rest is kept.
  EXPECT_EQ(gf_resolvePathCase(dir / "folder/file.txt/inner"), dir / "Folder/File.TXT/inner");
  EXPECT_EQ(gf_resolvePathCase(dir / "folder/"), dir / "Folder/");
}

}  // namespace
