// parameters.xml: the start-up load with defaults, hand-edited files, single saves, removal,
// and the files a user's machine gives it.
#include "foundation/settings_file.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "settings_reset.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Entries = std::vector<std::pair<std::string, std::string>>;

namespace {

// The file written from nothing: groups 1 to 6 in member order with their defaults.
// clang-format off
const Entries kDefaultFile = {
    {"RANDOM", "true"}, {"AEROWINX", "false"}, {"AFG_AUTOMATIC", "true"},
    {"COLLISION_USER_AIR", "true"}, {"COLLISION_USER_GND", "true"},
    {"COLLISION_LIVE_PARKED_GND", "false"}, {"SUPPRESS_STUB", "true"}, {"LOG", "true"},
    {"ALWAYS_ON_TOP", "false"}, {"SCAN_LIVERIES", "true"}, {"LIG_AUTOMATIC", "true"},
    {"LIG_PRIORITIZE", "false"}, {"SCAN_AIRPORTS", "true"}, {"LIGHT_AIRCRAFT", "true"},
    {"HELICOPTERS", "true"}, {"HIGH_PERF_AIRCRAFT", "true"}, {"NAV_LIGHTS_WHILE_PARKED", "true"},
    {"AUTO_RANGE", "true"}, {"LEARN_SOFT", "true"}, {"STRAIGHT_PBS_ONLY", "false"},
    {"PARK_SOFT", "true"}, {"PARK_FAKE", "false"}, {"WEEK", "false"},
    {"INITIAL_LOAD_ONLY", "false"}, {"GUID_CHANGES", "true"}, {"CUSTOM_PARKING_PERCENTAGE", "-1"},
    {"MAIN_WINDOW_X", "400"}, {"MAIN_WINDOW_Y", "20"}, {"LAST_EPOCH_TIME", "0"},
    {"HOLDING_THRESHOLD_METERS", "250"}, {"MAX_HOLDING_MINUTES", "20"}, {"P3D_VERSION", "5"},
    {"MATCHING_DEPTH", "4"}, {"LATERAL_RANGE", "40"}, {"MAX_FIT", "47"},
    {"AUTO_RANGE_ABOVE_HEIGHT", "49000"}, {"MAX_LIVE", "-1"}, {"AIRPORT_RANGE", "20"},
    {"AIRPORT_HEIGHT", "18000"}, {"CUSTOM_MAX_PARK", "-1"}, {"PROGRAM_VERSION", ""},
    {"SIM_INSTALL_PATH", ""}, {"PORT_NUMBER", "10747"}, {"PROGRAM_INSTALL_PATH", ""},
    {"DESTINATION", ""}, {"BLOCK_CALLSIGN", ""},
};
// clang-format on

// The "parameter" entries under the root, in file order.
Entries lf_entries(const fs::path& file) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_file(file.c_str())) << file;
  Entries entries;
  for (pugi::xml_node entry : document.child("parameters").children("parameter")) {
    entries.emplace_back(entry.attribute("name").value(), entry.attribute("value").value());
  }
  return entries;
}

std::string lf_entryValue(const fs::path& file, const std::string& name) {
  for (const auto& [key, value] : lf_entries(file)) {
    if (key == name) return value;
  }
  return "<absent>";
}

#ifndef _WIN32
constexpr int kNoRights = 99;  // the child could not give up root's rights
constexpr uid_t kNobody = 65534;
#endif

const std::string kUsersFile =
    "<?xml version=\"1.0\"?>\n<parameters>\n"
    "\t<parameter name=\"LOG\" value=\"false\" />\n"
    "\t<parameter name=\"MAX_LIVE\" value=\"33\" />\n"
    "\t<parameter name=\"lfolder0\" value=\"D:\\AI\\Pack\" />\n"
    "</parameters>\n";

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gf_testResetRunState();
    m_savedFile = g_parametersFile;
    g_parametersFile = m_work.path() / "AppData" / "Zendrik_P3D" / "parameters.xml";
    fs::create_directories(g_parametersFile.parent_path());
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
  void load() { lf_initParameterGroups(); }
  fs::path folder() const { return g_parametersFile.parent_path(); }
#ifndef _WIN32
  // A file another user cannot open: unreadable to anybody but root, and a child process that
  // gives up root's rights (on Windows permissions only set the read-only attribute).
  void writeLockedFile() {
    gf_testWriteFile(g_parametersFile, kUsersFile);
    fs::permissions(g_parametersFile, fs::perms::none);
  }
  // Runs the step in a child that has given up root's rights, as an ordinary user runs the
  // program; its exit code is the step's result (0 for success). Skips without the rights.
  int runAsUser(const std::function<int()>& step) {
    for (const fs::path& f : {m_work.path(), m_work.path() / "AppData", folder()})
      fs::permissions(f, fs::perms::all, fs::perm_options::add);
    const pid_t child = ::fork();
    if (child == 0) {
      const bool dropped = ::geteuid() != 0 || (::setgid(kNobody) == 0 && ::setuid(kNobody) == 0);
      ::_exit(dropped ? step() : kNoRights);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status);
  }
#endif


  TempWorkingFolder m_work;
  fs::path m_savedFile;
};

}  // namespace

TEST_F(SettingsFileTest, FirstRunWritesEverySettingWithItsDefault) {
  g_paramLog.setValue(false);
  g_paramPortNumber.setValue("1");
  load();
  EXPECT_EQ(lf_entries(g_parametersFile), kDefaultFile);
  EXPECT_TRUE(g_paramLog.value());
  EXPECT_EQ(g_paramPortNumber.value(), "10747");
  // Declaration, one element per line, tab indentation, no byte-order mark.
  const std::string text = gf_testReadAll(g_parametersFile);
  EXPECT_TRUE(
      text.starts_with("<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"RANDOM\""));

  const Lines lines = log();
  EXPECT_TRUE(
      gf_testHasLine(lines, g_parametersFile.string() + " not found, default values taken:"));
  EXPECT_TRUE(gf_testHasLine(lines, "PORT_NUMBER=10747"));
  EXPECT_TRUE(gf_testHasLine(lines, "LATERAL_RANGE=40"));
  EXPECT_TRUE(gf_testHasLine(lines, fmt::format("\"{}\" saved", g_parametersFile.string())));
  std::string banner(34, '*');
  banner.append(" parameters ").append(34, '*');
  EXPECT_TRUE(gf_testHasLine(lines, banner));
  EXPECT_TRUE(gf_testHasLine(lines, std::string(80, '*')));
}

TEST_F(SettingsFileTest, SecondRunReadsTheFileAndChangesNothing) {
  load();
  const std::string first = gf_testReadAll(g_parametersFile);
  gf_openLog();
  load();
  EXPECT_EQ(gf_testReadAll(g_parametersFile), first);
  EXPECT_TRUE(gf_testHasLine(log(), "from \"" + g_parametersFile.string() + "\""));
}

TEST_F(SettingsFileTest, HandEditedFileLoadsAndKeepsForeignContent) {
  gf_testWriteFile(g_parametersFile,
                   "<?xml version=\"1.0\"?>\n"
                   "<!-- written by hand -->\n"
                   "<parameters>\n"
                   "\t<parameter name=\"LATERAL_RANGE\" value=\"500\" />\n"
                   "\t<parameter name=\"LOG\" value=\"Yes\" />\n"
                   "\t<parameter name=\"HELICOPTERS\" value=\"no\" />\n"
                   "\t<parameter name=\"MAX_LIVE\" value=\"0x10\" />\n"
                   "\t<parameter name=\"AIRPORT_RANGE\" value=\"abc\" />\n"
                   "\t<parameter name=\"RANDOM\" />\n"
                   "\t<parameter name=\"lfolder3\" value=\"\" />\n"
                   "\t<parameter name=\"lfolder4\" value=\"D:\\AI Traffic\\Pack's\" />\n"
                   "\t<parameter name=\"MY_OWN_ENTRY\" value=\"kept\" />\n"
                   "\t<note>foreign element</note>\n"
                   "</parameters>\n");
  load();

  EXPECT_EQ(g_paramLateralRange.value(), 100);
  EXPECT_EQ(g_trafficRadiusNm.load(), 100.0);
  EXPECT_EQ(g_trafficRadiusM.load(), 185200u);
  EXPECT_TRUE(g_paramLog.value());
  EXPECT_FALSE(g_paramHelicopters.value());
  EXPECT_EQ(g_paramMaxLive.value(), 16);
  EXPECT_EQ(g_paramAirportRange.value(), 8);  // unparsable: 0, then clamped to the minimum
  EXPECT_FALSE(g_paramRandom.value());        // no "value": false
  EXPECT_EQ(g_paramLfolder[3].value(), "");
  EXPECT_EQ(g_paramLfolder[4].value(), "D:\\AI Traffic\\Pack's");
  EXPECT_EQ(g_paramPortNumber.value(), "10747");  // missing: default

  const Entries entries = lf_entries(g_parametersFile);
  EXPECT_EQ(lf_entryValue(g_parametersFile, "LATERAL_RANGE"), "500");  // kept until saved
  EXPECT_EQ(lf_entryValue(g_parametersFile, "lfolder3"), "<absent>");
  EXPECT_EQ(lf_entryValue(g_parametersFile, "lfolder4"), "D:\\AI Traffic\\Pack's");
  EXPECT_EQ(lf_entryValue(g_parametersFile, "MY_OWN_ENTRY"), "kept");
  EXPECT_EQ(lf_entryValue(g_parametersFile, "RANDOM"), "");  // left without a value
  // The file is never reordered: what was there stays first, missing entries follow.
  ASSERT_EQ(entries.size(), kDefaultFile.size() + 2);
  EXPECT_EQ(entries[0].first, "LATERAL_RANGE");
  EXPECT_EQ(entries[6].first, "lfolder4");
  EXPECT_EQ(entries[7].first, "MY_OWN_ENTRY");
  EXPECT_EQ(entries[8].first, "AEROWINX");
  EXPECT_EQ(entries.back().first, "BLOCK_CALLSIGN");
  const std::string text = gf_testReadAll(g_parametersFile);
  EXPECT_NE(text.find("<!-- written by hand -->"), std::string::npos);
  EXPECT_NE(text.find("<note>foreign element</note>"), std::string::npos);

  const Lines lines = log();
  EXPECT_TRUE(gf_testHasLine(lines, "Parameter lfolder3 removed"));
  EXPECT_TRUE(gf_testHasLine(lines, "lfolder4=D:\\AI Traffic\\Pack's"));
  EXPECT_FALSE(gf_testHasLine(lines, "lfolder3="));
  EXPECT_TRUE(gf_testHasLine(lines, "LOG=true"));
  EXPECT_TRUE(gf_testHasLine(lines, "LATERAL_RANGE=100"));
}

TEST_F(SettingsFileTest, EmptyRootGetsEverySettingAppended) {
  gf_testWriteFile(g_parametersFile, "<parameters/>");
  load();
  EXPECT_EQ(lf_entries(g_parametersFile), kDefaultFile);
}

TEST_F(SettingsFileTest, FileCutInHalfIsKeptAsBackupAndReplacedByDefaults) {
  load();
  const std::string whole = gf_testReadAll(g_parametersFile);
  const std::string half = whole.substr(0, whole.size() / 2);
  gf_testWriteFile(g_parametersFile, half);
  g_paramMaxLive.setValue(77);
  load();
  const fs::path backup = g_parametersFile.parent_path() / "parameters0.xml";
  EXPECT_EQ(gf_testReadAll(backup), half);
  EXPECT_EQ(lf_entries(g_parametersFile), kDefaultFile);
  EXPECT_EQ(g_paramMaxLive.value(), -1);
  const Lines lines = log();
  const bool backupLogged = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.starts_with("===> " + g_parametersFile.string() + " could not be read") &&
           l.ends_with("a copy is kept as " + backup.string());
  });
  EXPECT_TRUE(backupLogged);
  EXPECT_TRUE(
      gf_testHasLine(lines, g_parametersFile.string() + " not found, default values taken:"));
}

TEST_F(SettingsFileTest, SavingOneSettingChangesOnlyItsEntry) {
  gf_testWriteFile(g_parametersFile,
                   "<parameters>\n"
                   "\t<parameter name=\"LOG\" value=\"true\" />\n"
                   "\t<parameter name=\"BLOCK_CALLSIGN\" />\n"
                   "\t<other keep=\"1\" />\n"
                   "</parameters>\n");
  g_paramLog.setValue(false);
  gf_saveBoolParameter(g_paramLog);
  g_paramLateralRange.setValue(55);
  gf_saveIntParameter(g_paramLateralRange);
  g_paramBlockCallsign.setValue("KLM123");
  gf_saveStringParameter(g_paramBlockCallsign);
  g_stopRequested = true;  // saved, but the line is noise while a run is torn down
  g_paramLateralRange.setValue(56);
  gf_saveIntParameter(g_paramLateralRange);
  g_stopRequested = false;

  EXPECT_EQ(lf_entries(g_parametersFile),
            (Entries{{"LOG", "false"}, {"BLOCK_CALLSIGN", ""}, {"LATERAL_RANGE", "56"}}));
  EXPECT_NE(gf_testReadAll(g_parametersFile).find("<other keep=\"1\" />"), std::string::npos);
  const Lines lines = log();
  EXPECT_TRUE(gf_testHasLine(lines, "LOG=false"));
  EXPECT_TRUE(gf_testHasLine(lines, "LATERAL_RANGE=55"));
  EXPECT_FALSE(gf_testHasLine(lines, "BLOCK_CALLSIGN=KLM123"));  // its entry has no value
  EXPECT_FALSE(gf_testHasLine(lines, "LATERAL_RANGE=56"));
}

TEST_F(SettingsFileTest, SavingIntoATornFileKeepsItAsBackupAndTheSavedValueHolds) {
  const std::string torn =
      "<?xml version=\"1.0\"?>\n<parameters>\n"
      "\t<parameter name=\"LOG\" value=\"true\" />\n"
      "\t<parameter name=\"MAX_LIVE\" value=\"5\" />\n"
      "\t<parameter na";
  gf_testWriteFile(g_parametersFile, torn);
  g_paramLog.setValue(false);
  gf_saveBoolParameter(g_paramLog);

  EXPECT_EQ(gf_testReadAll(g_parametersFile.parent_path() / "parameters0.xml"), torn);
  EXPECT_EQ(lf_entries(g_parametersFile), (Entries{{"LOG", "false"}}));
  // The next start-up load sees the saved value, not the torn file's.
  g_paramLog.setValue(true);
  load();
  EXPECT_FALSE(g_paramLog.value());
  EXPECT_EQ(lf_entryValue(g_parametersFile, "LOG"), "false");
}

TEST_F(SettingsFileTest, SavingWithoutAFileCreatesOneWithThatEntry) {
  g_paramWeek.setValue(true);
  gf_saveBoolParameter(g_paramWeek);
  EXPECT_EQ(lf_entries(g_parametersFile), (Entries{{"WEEK", "true"}}));
  // The next start-up load adds the others after it.
  load();
  const Entries entries = lf_entries(g_parametersFile);
  ASSERT_EQ(entries.size(), kDefaultFile.size());
  EXPECT_EQ(entries.front(), (std::pair<std::string, std::string>{"WEEK", "true"}));
  EXPECT_TRUE(g_paramWeek.value());
}

TEST_F(SettingsFileTest, SaveFailureIsLoggedAndTheValueStays) {
  g_parametersFile = m_work.path() / "no_such_folder" / "parameters.xml";
  g_paramMaxFit.setValue(12);
  gf_saveIntParameter(g_paramMaxFit);
  EXPECT_EQ(g_paramMaxFit.value(), 12);
  EXPECT_TRUE(gf_testHasLine(log(), "saving xml did not work?"));
}

TEST_F(SettingsFileTest, RemovingAnEntry) {
  EXPECT_FALSE(gf_removeParameter(g_paramAfolder[2]));  // no file: nothing written
  EXPECT_FALSE(fs::exists(g_parametersFile));
  g_paramAfolder[2].setValue("E:\\Scenery");
  gf_saveStringParameter(g_paramAfolder[2]);
  EXPECT_TRUE(gf_removeParameter(g_paramAfolder[2]));
  EXPECT_FALSE(gf_removeParameter(g_paramAfolder[2]));
  EXPECT_EQ(lf_entryValue(g_parametersFile, "afolder2"), "<absent>");
  EXPECT_TRUE(gf_testHasLine(log(), "Parameter afolder2 removed"));
}

// What a user's machine gives the file: one that cannot be opened (another user's after one
// elevated run), an entry without a value, and folders of an earlier load that a torn file
// must not keep alive.
#ifndef _WIN32
TEST_F(SettingsFileTest, UnopenableFileIsMovedAsideBeforeDefaultsReplaceIt) {
  writeLockedFile();
  const int result = runAsUser([] {
    lf_initParameterGroups();
    return g_paramMaxLive.value() == -1 && g_paramLog.value() ? 0 : 1;
  });
  if (result == kNoRights) GTEST_SKIP() << "could not give up root's rights";
  EXPECT_EQ(result, 0) << "defaults not taken";
  // The user's settings are kept whole beside the new file of defaults.
  EXPECT_EQ(gf_testReadAll(folder() / "parameters0.xml"), kUsersFile);
  EXPECT_NE(gf_testReadAll(g_parametersFile).find("name=\"MAX_LIVE\" value=\"-1\""),
            std::string::npos);
  const Lines lines = log();
  EXPECT_TRUE(gf_testHasLine(
      lines, fmt::format("===> {} could not be opened (Permission denied), it is moved aside as {}",
                         g_parametersFile.string(), (folder() / "parameters0.xml").string())));
}

TEST_F(SettingsFileTest, SaveNeverWritesAFileItCouldNotOpen) {
  writeLockedFile();
  const int result = runAsUser([] {
    g_paramMaxLive.setValue(12);
    gf_saveIntParameter(g_paramMaxLive);
    return 0;
  });
  if (result == kNoRights) GTEST_SKIP() << "could not give up root's rights";
  EXPECT_EQ(gf_testReadAll(g_parametersFile), kUsersFile);
  EXPECT_FALSE(fs::exists(folder() / "parameters0.xml"));
  const Lines lines = log();
  EXPECT_TRUE(
      gf_testHasLine(lines, "===> " + g_parametersFile.string() +
                                " could not be opened (Permission denied), MAX_LIVE not saved"));
  EXPECT_TRUE(gf_testHasLine(lines, "saving xml did not work?"));
  EXPECT_FALSE(gf_testHasLine(lines, "MAX_LIVE=12"));
}

// Root's file in a shared folder (sticky, as /tmp): the user reads it but may not replace it.
TEST_F(SettingsFileTest, ASaveThatCannotReplaceTheFileIsReportedAsFailed) {
  gf_testWriteFile(g_parametersFile, kUsersFile);
  fs::permissions(folder(), fs::perms::all | fs::perms::sticky_bit);
  const int result = runAsUser([] {
    g_paramMaxLive.setValue(12);
    gf_saveIntParameter(g_paramMaxLive);
    return 0;
  });
  if (result == kNoRights) GTEST_SKIP() << "could not give up root's rights";
  EXPECT_EQ(gf_testReadAll(g_parametersFile), kUsersFile);
  EXPECT_FALSE(fs::exists(folder() / "parameters.xml.tmp"));
  EXPECT_TRUE(gf_testHasLine(log(), "saving xml did not work?"));
}
#endif

// A folder by the file's name: the parser calls it out of memory, the system says what it is.
TEST_F(SettingsFileTest, AFolderByTheFilesNameIsMovedAsideWithItsCause) {
#if !defined(_WIN32) && defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "to read a folder the parser asks for 2^63 bytes, which AddressSanitizer refuses";
#endif
  fs::create_directories(g_parametersFile / "notes");
  load();
  EXPECT_EQ(lf_entries(g_parametersFile), kDefaultFile);
  EXPECT_TRUE(fs::is_directory(folder() / "parameters0.xml" / "notes"));
  EXPECT_TRUE(gf_testHasLine(
      log(), fmt::format("===> {} could not be opened (Is a directory), it is moved aside as {}",
                         g_parametersFile.string(), (folder() / "parameters0.xml").string())));
}

TEST_F(SettingsFileTest, EntryWithoutValueIsLeftAndTheSaveReportedAsFailed) {
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

TEST_F(SettingsFileTest, DefaultsAfterATornFileDropTheFoldersOfTheLastLoad) {
  gf_testWriteFile(g_parametersFile, kUsersFile);
  lf_initParameterGroups();
  ASSERT_EQ(g_paramLfolder[0].value(), "D:\\AI\\Pack");
  gf_testWriteFile(g_parametersFile, kUsersFile.substr(0, kUsersFile.size() / 2));
  lf_initParameterGroups();
  EXPECT_EQ(g_paramLfolder[0].value(), "");
  EXPECT_EQ(g_paramMaxLive.value(), -1);
}
