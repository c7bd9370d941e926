// The status line's timer and its log lines.
#include "foundation/messages.h"

#include <gtest/gtest.h>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/text_file.h"
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

// Text of another code page (a line of a file that is no UTF-8) is still drawn, its stray bytes
// as '?', and logged as shown.
TEST(Messages, TextThatIsNoUtf8IsShownWithQuestionMarks) {
  TempWorkingFolder work;
  gf_testResetRunState();
  gf_openLog();
  gf_showMessage("airport \xC3(EDDF \xE9t\xC3\xA9 is unknown", true);
  const std::string shown = g_mainWindowState.text(&MainWindowState::statusText);
  EXPECT_EQ(shown, "airport ?(EDDF ?t\xC3\xA9 is unknown");
  EXPECT_NO_THROW(Utf8ToUtf16(shown));
  gf_showError("51: File \xFF");
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::errorText), "51: File ?");
  gf_closeLog();
  EXPECT_TRUE(gf_testHasLine(gf_testReadLines(work.path() / "Log.txt"), shown));
  gf_testResetRunState();
}
