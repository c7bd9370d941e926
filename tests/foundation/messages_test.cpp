// The status line's timer and its log lines.
#include "foundation/messages.h"

#include <gtest/gtest.h>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "settings_reset.h"
#include "temp_folder.h"

TEST(Messages, TimerAndLogOfSingleMessages) {
  TempWorkingFolder work;
  gf_testResetRunState();
  gf_openLog();
  gf_showMessage("first", false);
  EXPECT_EQ(g_mainWindowState.statusTimer.load(), 1u);  // at least 1 for a shown text
  g_mainWindowState.statusSeconds = 7;
  gf_showMessage("second", true);
  EXPECT_EQ(g_mainWindowState.statusTimer.load(), 7u);
  gf_clearMessage();
  EXPECT_EQ(g_mainWindowState.statusTimer.load(), 0u);
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText), "");
  g_stopRequested = true;  // a run being torn down: lines are noise
  gf_showMessage("third", true);
  gf_closeLog();
  EXPECT_EQ(gf_testReadLines(work.path() / "Log.txt").size(), 2u);  // header and "second"
  EXPECT_EQ(gf_testReadLines(work.path() / "Log.txt").back(), "second");
  gf_testResetRunState();
}
