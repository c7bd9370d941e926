// parameters.xml against what a user's machine gives it: a file that cannot be opened (another
// user's after one elevated run), an entry without a value, and folders of an earlier run that
// a torn file must not keep alive.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/settings_file.h"
#include "settings_reset.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

constexpr int kNoRights = 99;  // the child could not give up root's rights
constexpr uid_t kNobody = 65534;

const std::string kUsersFile =
    "<?xml version=\"1.0\"?>\n<parameters>\n"
    "\t<parameter name=\"LOG\" value=\"false\" />\n"
    "\t<parameter name=\"MAX_LIVE\" value=\"33\" />\n"
    "\t<parameter name=\"lfolder0\" value=\"D:\\AI\\Pack\" />\n"
    "</parameters>\n";

class SettingsFileFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gf_testResetRunState();
    m_savedFile = g_parametersFile;
    m_folder = m_work.path() / "AppData" / "Zendrik_P3D";
    fs::create_directories(m_folder);
    g_parametersFile = m_folder / "parameters.xml";
    gf_openLog();
  }
  void TearDown() override {
    gf_closeLog();
    g_parametersFile = m_savedFile;
    gf_testResetSettings();
  }
  Lines log() {
    gf_closeLog();
    return gf_testReadLines(m_work.path() / "Log.txt");
  }
  // The user's file, left unreadable to anybody but root.
  void writeLockedFile() {
    gf_testWriteFile(g_parametersFile, kUsersFile);
    fs::permissions(g_parametersFile, fs::perms::none);
  }
  // Runs the step in a child that has given up root's rights, as an ordinary user runs the
  // program; its exit code is the step's result (0 for success). Skips without the rights.
  int runAsUser(const std::function<int()>& step) {
    for (const fs::path& folder : {m_work.path(), m_work.path() / "AppData", m_folder})
      fs::permissions(folder, fs::perms::all);
    const pid_t child = ::fork();
    if (child == 0) {
      if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(kNoRights);
      ::_exit(step());
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status);
  }

  TempWorkingFolder m_work;
  fs::path m_savedFile;
  fs::path m_folder;
};

}  // namespace

TEST_F(SettingsFileFaultsTest, UnopenableFileIsMovedAsideBeforeDefaultsReplaceIt) {
  writeLockedFile();
  const int result = runAsUser([] {
    lf_initParameterGroups();
    return g_paramMaxLive.value() == -1 && g_paramLog.value() ? 0 : 1;
  });
  if (result == kNoRights) GTEST_SKIP() << "could not give up root's rights";
  EXPECT_EQ(result, 0) << "defaults not taken";
  // The user's settings are kept whole beside the new file of defaults.
  EXPECT_EQ(gf_testReadAll(m_folder / "parameters0.xml"), kUsersFile);
  EXPECT_NE(gf_testReadAll(g_parametersFile).find("name=\"MAX_LIVE\" value=\"-1\""),
            std::string::npos);
  const Lines lines = log();
  EXPECT_TRUE(gf_testHasLine(
      lines, fmt::format("===> {} could not be opened, it is moved aside as {}",
                         g_parametersFile.string(), (m_folder / "parameters0.xml").string())));
}

TEST_F(SettingsFileFaultsTest, SaveNeverWritesAFileItCouldNotOpen) {
  writeLockedFile();
  const int result = runAsUser([] {
    g_paramMaxLive.setValue(12);
    gf_saveIntParameter(g_paramMaxLive);
    return 0;
  });
  if (result == kNoRights) GTEST_SKIP() << "could not give up root's rights";
  EXPECT_EQ(gf_testReadAll(g_parametersFile), kUsersFile);
  EXPECT_FALSE(fs::exists(m_folder / "parameters0.xml"));
  const Lines lines = log();
  EXPECT_TRUE(gf_testHasLine(lines, "saving xml did not work?"));
  EXPECT_FALSE(gf_testHasLine(lines, "MAX_LIVE=12"));
}

TEST_F(SettingsFileFaultsTest, EntryWithoutValueIsLeftAndTheSaveReportedAsFailed) {
  const std::string file =
      "<parameters>\n\t<parameter name=\"BLOCK_CALLSIGN\" />\n</parameters>\n";
  gf_testWriteFile(g_parametersFile, file);
  g_paramBlockCallsign.setValue("KLM123");
  gf_saveStringParameter(g_paramBlockCallsign);
  EXPECT_EQ(gf_testReadAll(g_parametersFile), file);
  const Lines lines = log();
  EXPECT_TRUE(gf_testHasLine(lines, "saving xml did not work?"));
  EXPECT_FALSE(gf_testHasLine(lines, "BLOCK_CALLSIGN=KLM123"));
}

TEST_F(SettingsFileFaultsTest, DefaultsAfterATornFileDropTheFoldersOfTheLastLoad) {
  gf_testWriteFile(g_parametersFile, kUsersFile);
  lf_initParameterGroups();
  ASSERT_EQ(g_paramLfolder[0].value(), "D:\\AI\\Pack");
  gf_testWriteFile(g_parametersFile, kUsersFile.substr(0, kUsersFile.size() / 2));
  lf_initParameterGroups();
  EXPECT_EQ(g_paramLfolder[0].value(), "");
  EXPECT_EQ(g_paramMaxLive.value(), -1);
}
