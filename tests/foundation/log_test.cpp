// Log.txt: header, backups over three openings, the line shapes, dropped lines, the stop gate.
#include "foundation/log.h"

#include <gtest/gtest.h>

#include "foundation/day_slots.h"
#include "foundation/run_state.h"
#include "foundation/temp_folder.h"

namespace {

std::int64_t lf_fixedClock() { return 1796481639; }  // Sat Dec 05 14:40:39 2026 UTC

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousClock_ = g_wallClock.exchange(&lf_fixedClock);
    gf_closeLog();
  }
  void TearDown() override {
    gf_closeLog();
    g_wallClock.store(previousClock_);
    g_stopRequested.store(false);
    g_exitRequested.store(false);
  }
  TempWorkingFolder folder_;
  WallClockFn previousClock_ = nullptr;
};

const std::string kHeader =
    "Sat Dec 05 14:40:39 2026 (utc) Zendrik_P3D version 10.10.9 for Prepar3D v5/v6";

TEST_F(LogTest, ThreeOpeningsKeepTheTwoPreviousLogs) {
  for (const char* run : {"run one", "run two", "run three"}) {
    gf_openLog();
    EXPECT_TRUE(gf_logIsOpen());
    gf_log(run);
    gf_closeLog();
    if (std::string_view(run) == "run one") {  // the first opening has nothing to back up
      EXPECT_FALSE(std::filesystem::exists("Log0.txt"));
      EXPECT_FALSE(std::filesystem::exists("Log00.txt"));
    }
  }
  EXPECT_EQ(gf_testReadLines("Log.txt"), (std::vector<std::string>{kHeader, "run three"}));
  EXPECT_EQ(gf_testReadLines("Log0.txt"), (std::vector<std::string>{kHeader, "run two"}));
  EXPECT_EQ(gf_testReadLines("Log00.txt"), (std::vector<std::string>{kHeader, "run one"}));
}

TEST_F(LogTest, LinesHaveTheirPrefixesAndAreFlushedAtOnce) {
  gf_openLog();
  gf_log("plain");
  gf_logError("abc");
  gf_logIndented("abc");
  // Flushed per line: readable before the log is closed.
  EXPECT_EQ(gf_testReadLines("Log.txt"),
            (std::vector<std::string>{kHeader, "plain", "===> abc", "          abc"}));
}

TEST_F(LogTest, LinesBeforeOpeningAndAfterClosingAreDropped) {
  gf_log("too early");
  gf_logError("too early");
  EXPECT_FALSE(std::filesystem::exists("Log.txt"));
  gf_openLog();
  gf_closeLog();
  gf_log("too late");
  gf_logIndented("too late");
  EXPECT_EQ(gf_testReadLines("Log.txt"), (std::vector<std::string>{kHeader}));
}

TEST_F(LogTest, LogIfActiveIsSilentWhileAStopOrExitIsRequested) {
  gf_openLog();
  g_stopRequested.store(true);
  gf_logIfActive("during stop");
  gf_log("plain during stop");
  g_stopRequested.store(false);
  g_exitRequested.store(true);
  gf_logIfActive("during exit");
  g_exitRequested.store(false);
  gf_logIfActive("active again");
  EXPECT_EQ(gf_testReadLines("Log.txt"),
            (std::vector<std::string>{kHeader, "plain during stop", "active again"}));
}

TEST_F(LogTest, OpeningFailsWhenLogTxtCannotBeWritten) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows";
#endif
  // A link into a folder that does not exist: nothing to back up, and nothing can be created.
  std::filesystem::create_symlink("missing_folder/Log.txt", "Log.txt");
  EXPECT_THROW(
      {
        try {
          gf_openLog();
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "Failed to write file Log.txt");
          throw;
        }
      },
      std::runtime_error);
  EXPECT_FALSE(gf_logIsOpen());
  gf_log("dropped");  // no crash, nothing written
}

TEST_F(LogTest, AProgramFolderThatCannotBeWrittenLogsInTheFallbackFolder) {
  std::filesystem::create_directory("program");
  std::filesystem::current_path("program");
  const std::filesystem::path appData = folder_.path() / "AppData" / "Zendrik_P3D";
  {
    UnwritableFolder locked(folder_.path() / "program");
    if (!locked.made()) GTEST_SKIP() << "no folder here can be made unwritable";
    ASSERT_TRUE(gf_openLogOrFallback(appData));
    gf_log("a line");
  }
  EXPECT_EQ(gf_logPath(), appData / "Log.txt");
  const std::string why = "===> Log.txt cannot be written in the program folder " +
                          (folder_.path() / "program").string() +
                          " (Failed to write file Log.txt), it is written here";
  EXPECT_EQ(gf_testReadLines(appData / "Log.txt"),
            (std::vector<std::string>{kHeader, why, "a line"}));
  EXPECT_FALSE(std::filesystem::exists("Log.txt"));

  // A writable program folder keeps its own log; neither: no log, and no failure.
  ASSERT_TRUE(gf_openLogOrFallback(appData));
  EXPECT_EQ(gf_logPath(), "Log.txt");
  gf_closeLog();
  std::filesystem::remove("Log.txt");
  std::filesystem::create_symlink("missing_folder/Log.txt", "Log.txt");
  gf_testWriteFile("a_file", "");
  EXPECT_FALSE(gf_openLogOrFallback(std::filesystem::path("a_file") / "Zendrik_P3D"));
  EXPECT_FALSE(gf_logIsOpen());
  std::filesystem::current_path(folder_.path());
}

TEST_F(LogTest, BackupFileInsertsZeroBeforeTheLastDotOfThePath) {
  gf_testWriteFile("data.xml", "v1");
  gf_backupFile("data.xml");
  EXPECT_EQ(gf_testReadAll("data0.xml"), "v1");
  EXPECT_FALSE(std::filesystem::exists("data00.xml"));
  gf_testWriteFile("data.xml", "v2");
  gf_backupFile("data.xml");
  EXPECT_EQ(gf_testReadAll("data0.xml"), "v2");
  EXPECT_EQ(gf_testReadAll("data00.xml"), "v1");

  // No '.': nothing happens.
  gf_testWriteFile("README", "x");
  gf_backupFile("README");
  EXPECT_FALSE(std::filesystem::exists("README0"));

  // The only '.' in a folder name: the "0" goes into the folder name, which does not exist.
  std::filesystem::create_directory("my.folder");
  gf_testWriteFile("my.folder/file", "x");
  EXPECT_THROW(gf_backupFile("my.folder/file"), std::filesystem::filesystem_error);
}

}  // namespace
