// Saves of parameters.xml from two threads at once (the GUI thread and the worker do this).
#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <thread>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "settings_reset.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

TEST(SettingsFileConcurrency, ThousandSavesFromTwoThreadsLeaveTheLastValues) {
  TempWorkingFolder work;
  const fs::path saved = g_parametersFile;
  g_parametersFile = work.path() / "parameters.xml";
  g_stopRequested = false;
  gf_openLog();
  lf_initParameterGroups();

  constexpr int kSavesPerThread = 500;
  std::thread gui([] {
    for (int i = 1; i <= kSavesPerThread; ++i) {
      g_paramBlockCallsign.setValue("CS" + std::to_string(i));
      gf_saveStringParameter(g_paramBlockCallsign);
    }
  });
  std::thread worker([] {
    for (int i = 1; i <= kSavesPerThread; ++i) {
      g_paramMaxLive.setValue(i % 300);
      gf_saveIntParameter(g_paramMaxLive);
      g_paramWeek.setValue(i % 2 == 0);
      gf_saveBoolParameter(g_paramWeek);
    }
  });
  gui.join();
  worker.join();
  gf_closeLog();

  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(g_parametersFile.c_str()));
  auto value = [&](const char* name) {
    return std::string(
        document.select_node(gf_parameterXPath(name).c_str()).node().attribute("value").value());
  };
  EXPECT_EQ(value("BLOCK_CALLSIGN"), "CS500");
  EXPECT_EQ(value("MAX_LIVE"), std::to_string(kSavesPerThread % 300));
  EXPECT_EQ(value("WEEK"), "true");
  EXPECT_EQ(std::distance(document.child("parameters").children("parameter").begin(),
                          document.child("parameters").children("parameter").end()),
            46);
  // Only parameters.xml and the log: no temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(work.path()), fs::directory_iterator()), 2);
  g_parametersFile = saved;
  gf_testResetSettings();
}
