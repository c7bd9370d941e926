// The status line's timer and its log lines.
#include "foundation/main_window_state.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "temp_folder.h"

namespace {

void lf_resetLines() {
  std::lock_guard lock(g_mainWindowState.mutex);
  g_mainWindowState.statusText.clear();
  g_mainWindowState.errorText.clear();
  g_mainWindowState.statusTimer = 0;
  g_mainWindowState.statusSeconds = 0;
}

}  // namespace

TEST(Messages, TimerAndLogOfSingleMessages) {
  TempWorkingFolder work;
  g_stopRequested = false;
  lf_resetLines();
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
  g_stopRequested = false;
  gf_closeLog();
  const auto lines = gf_testReadLines(work.path() / "Log.txt");
  ASSERT_EQ(lines.size(), 2u);  // header and "second"
  EXPECT_EQ(lines[1], "second");
  lf_resetLines();
}
