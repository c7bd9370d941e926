// The titles the scan must leave out: definitions without registrations in the downloaded AIG
// list and in the user's regcode files.

#include "liveries/dont_use_titles.h"

#include <gtest/gtest.h>

#include "fixtures/ai_package_writer.h"
#include "fixtures/dbase_builder.h"
#include "foundation/file_names.h"
#include "liveries/liveries_test_support.h"
#include "liveries/scan_reports.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::logLinesWith;

TEST(DontUseTitles, FromTheAigListAndTheUsersFiles) {
  liveries_test::LiveriesEnv env;
  liveries_test::DownloadServer server;
  if (!server.running()) GTEST_SKIP() << "the local HTTP server could not be started";
  fixtures::writeAigRegcodesZip(server.folder(), {{"AIG Dont Use", {}, ""},
                                                  {"AIG Kept", {"D-AIBA"}, ""},
                                                  {"AIG Special Dont Use", {}, "true"}});
  fixtures::writeFileBytes(g_myRegcodesDir / "mine.txt", "Title H\nTitle K;G-ABCD\n");
  lf_readDontUseTitles();
  EXPECT_EQ(g_dontUseTitles,
            (std::vector<std::string>{"AIG Dont Use", "AIG Special Dont Use", "Title H"}));
  EXPECT_FALSE(fs::exists(g_aigRegcodesFile));
  const std::string log = env.log();
  EXPECT_EQ(logLinesWith(log, "don't use title"),
            (std::vector<std::string>{"2 don't use titles read",
                                      "1 don't use title read from files in " +
                                          g_myRegcodesDir.string()}));
  lf_clearScanLists();
  EXPECT_TRUE(g_dontUseTitles.empty());
}

TEST(DontUseTitles, NoSourceGivesNoTitles) {
  liveries_test::LiveriesEnv env;
  lf_readDontUseTitles();
  EXPECT_TRUE(g_dontUseTitles.empty());
  EXPECT_EQ(logLinesWith(env.log(), "===> reading "),
            std::vector<std::string>{"===> reading " + g_aigRegcodesFile.string() + " failed?"});
  EXPECT_TRUE(logLinesWith(env.log(), "don't use title").empty());
}

}  // namespace
