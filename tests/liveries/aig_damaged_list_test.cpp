// The downloaded AIG list with a registration the scrambling routine cannot take (longer than
// its key): processing goes on with what was read before it, reports the error and removes the
// unpacked file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fixtures/dbase_builder.h"
#include "foundation/file_names.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"
#include "liveries/matching_tables.h"
#include "liveries/registration_liveries.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::contains;
using liveries_test::DownloadServer;
using liveries_test::fileText;
using liveries_test::liv;
using liveries_test::LiveriesEnv;

TEST(ReviewRegistrationLiveries, DamagedAigListKeepsWhatWasReadAndGoesOn) {
  LiveriesEnv env;
  DownloadServer server;
  if (!server.running()) GTEST_SKIP() << "the local HTTP server could not be started";
  const std::string longReg(30, 'A');  // the key covers 24 characters
  fixtures::writeAigRegcodesZip(
      server.folder(), {{"Lufthansa B738 D-AAAA", {"D-AAAA"}, ""}},
      {"<livery title=\"Lufthansa B738 other\" reg=\"" + longReg + "\"/>"});
  g_liveries = {liv("DLH", "B738", "Lufthansa B738 D-AAAA"),
                liv("DLH", "B738", "Lufthansa B738 other")};
  lf_buildLiveryAirlines();
  lf_buildAirlineLiveries();

  EXPECT_NO_THROW(lf_processRegcodes());

  ASSERT_TRUE(g_regLiveries.contains("D-AAAA"));
  EXPECT_EQ(g_regLiveries.at("D-AAAA"), "Lufthansa B738 D-AAAA");
  EXPECT_EQ(g_regLiveries.size(), 1u);
  EXPECT_TRUE(contains(fileText(g_infoDir / "OfflineRegcodes.txt"),
                       "There were errors in processing the AIG-regcode file"));
  EXPECT_TRUE(contains(env.log(), "===> reading"));
  EXPECT_FALSE(fs::exists(g_aigRegcodesFile));
  g_liveries.clear();
}

}  // namespace
