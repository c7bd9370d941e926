// The scan driver when a stop request cuts the scan short while an old catalogue could not be
// removed: the old catalogue is not this scan's result, so the setting stays on and nothing is
// processed.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/file_names.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "liveries/liveries_scan.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"
#include "liveries/livery_processing.h"
#include "liveries/matching_tables.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::fileText;
using liveries_test::liv;
using liveries_test::LiveriesEnv;

// Clears the stop request however the test ends.
struct StopRequest {
  StopRequest() { g_stopRequested.store(true); }
  ~StopRequest() { g_stopRequested.store(false); }
};

TEST(ReviewScanDriver, InterruptedScanIgnoresAnOldCatalogueItCouldNotRemove) {
  LiveriesEnv env;
  g_liveries = {liv("DLH", "B738", "Old catalogue livery")};
  gf_writeLiveriesScanned();
  g_liveries.clear();
  const std::string oldCatalogue = fileText(g_liveriesScannedFile);
  ASSERT_FALSE(oldCatalogue.empty());
  // The first file the scan removes is a folder with content: the removal stops there and the
  // old catalogue stays.
  fs::create_directories(g_cfgWithNoFltsimFile / "kept");
  fs::create_directories(env.path() / "AI");
  g_paramLigAutomatic.setValue(false);
  g_paramLfolder[0].setValue((env.path() / "AI").string());

  {
    StopRequest stop;
    gf_liveriesScan();
  }
  EXPECT_TRUE(g_paramScanLiveries.value());
  EXPECT_EQ(fileText(g_parametersFile).find("SCAN_LIVERIES"), std::string::npos)
      << "nothing is saved";
  EXPECT_FALSE(g_liveriesScanDone.load()) << "the old catalogue must not be processed";
  EXPECT_TRUE(g_liveryAirlines.empty());
  EXPECT_EQ(fileText(g_liveriesScannedFile), oldCatalogue);
  EXPECT_NE(env.log().find("problems with removing previous files"), std::string::npos);
}

}  // namespace
