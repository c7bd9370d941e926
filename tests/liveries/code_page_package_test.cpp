// An AI package whose add-ons.cfg and aircraft.cfg are saved in the user's code page: its folder
// and its liveries are found on Windows, where such a text names what the narrow calls name, and
// logged in UTF-8.
// Elsewhere a name is its bytes (PathText.CodePageText).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fixtures/ai_package_writer.h"
#include "liveries/addon_discovery.h"
#include "liveries/aircraft_database.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

// The outermost folder of the path that does not exist yet; empty when the path exists.
[[maybe_unused]] fs::path lf_firstMissing(fs::path path) {  // Windows only
  fs::path missing;
  while (path.has_relative_path() && !fs::exists(path)) {
    missing = path;
    path = path.parent_path();
  }
  return missing;
}

// Takes out again what the test made outside its temporary folder.
struct RemovedAfter {
  std::vector<fs::path> folders;
  ~RemovedAfter() {
    std::error_code ignored;
    for (const fs::path& folder : folders) {
      if (!folder.empty()) fs::remove_all(folder, ignored);
    }
  }
};

TEST(CodePagePackage, AddOnsCfgAndAircraftCfgInWindows1252) {
#ifndef _WIN32
  GTEST_SKIP() << "path texts are read in a code page on Windows only";
#else
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
  liveries_test::LiveriesEnv env;
  const fs::path addOnsCfg = lf_addOnsCfgPath();
  const fs::path user = gf_pathFromUtf8("C:\\Users\\Jos\xC3\xA9");
  if (fs::exists(addOnsCfg) || fs::exists(user)) {
    GTEST_SKIP() << "an add-ons.cfg or a user José exists: left untouched";
  }
  const RemovedAfter made{{lf_firstMissing(addOnsCfg.parent_path()), user}};
  g_dbaseTypes.insert("B738");
  g_dbaseIcaoAirlines.insert("DLH");

  // add-ons.cfg in Windows-1252, its package's add-on.xml in UTF-8.
  const fs::path package = user / "Documents" / "AI Pack";
  fixtures::writeAddOnsCfg(addOnsCfg, {"C:\\Users\\Jos\xE9\\Documents\\AI Pack"});
  fixtures::writeAddOnXml(package, "SimObjects\\Flugz\xC3\xBCge");
  fixtures::AircraftFolder aircraft;
  aircraft.folder = package / "SimObjects" / gf_pathFromUtf8("Flugz\xC3\xBCge") / "AI B738";
  aircraft.encoding = fixtures::CfgEncoding::kCp1252;
  aircraft.text = fixtures::generalSection("B738") +
                  fixtures::fltsimSection(0, {"title=AI B738 K\xC3\xB6ln", "sim=B738",
                                              "texture=K\xC3\xB6ln", "atc_parking_codes=DLH"});
  aircraft.modelFolders = {"model"};
  aircraft.textureFolders = {"texture.K\xC3\xB6ln"};
  aircraft.airFiles = {"B738.air"};
  fixtures::writeAircraftFolder(aircraft);

  std::vector<std::string> folders;
  lf_readP3DAddOnsAircraft(folders);
  ASSERT_EQ(folders.size(), 1u);
  // The two files' texts joined in one encoding, and Log.txt in UTF-8.
  EXPECT_EQ(folders.front(),
            "C:\\Users\\Jos\xC3\xA9\\Documents\\AI Pack\\SimObjects\\Flugz\xC3\xBCge");
  EXPECT_TRUE(liveries_test::contains(env.log(),
                                      "path found:C:\\Users\\Jos\xC3\xA9\\Documents\\AI Pack"));
  lf_searchLiveriesInFolder(1, gf_winPath(folders.front()));
  EXPECT_TRUE(g_incompleteSections.empty()) << g_incompleteSections.front();
  ASSERT_EQ(g_liveries.size(), 1u);
  EXPECT_EQ(g_liveries.front().title, "AI B738 K\xF6ln");  // the cfg's own bytes
#endif
}

}  // namespace
