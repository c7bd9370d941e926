// The status and error lines written from several threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "settings_reset.h"
#include "temp_folder.h"

TEST(Messages, ErrorShownWhileThreadsWriteMessagesStaysAndStopsThem) {
  TempWorkingFolder work;
  gf_testResetRunState();
  gf_openLog();

  constexpr int kWriters = 4;
  constexpr int kMessagesEach = 2000;
  std::atomic<bool> errorShown{false};
  std::atomic<int> acceptedAfterError{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < kWriters; ++t) {
    writers.emplace_back([t, &errorShown, &acceptedAfterError] {
      for (int i = 0; i < kMessagesEach; ++i) {
        const bool after = errorShown.load();
        gf_showMessage("message " + std::to_string(t) + "/" + std::to_string(i), i % 2 == 0);
        if (after && !g_mainWindowState.text(&MainWindowState::statusText).empty()) {
          ++acceptedAfterError;
        }
        if (i % 100 == 0) gf_clearMessage();
      }
    });
  }
  std::thread failing([&errorShown] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    gf_showError("41: Zendrik_P3D must be run from the docs folder!");
    errorShown = true;
  });
  for (std::thread& writer : writers) writer.join();
  failing.join();
  gf_closeLog();

  EXPECT_EQ(acceptedAfterError.load(), 0);
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::errorText),
            "41: Zendrik_P3D must be run from the docs folder!");
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText), "");
  EXPECT_EQ(g_mainWindowState.statusTimer.load(), 0u);

  // Every line whole; the error line once, and no message line after it.
  const auto lines = gf_testReadLines(work.path() / "Log.txt");
  const auto error = std::find(lines.begin(), lines.end(),
                               "Error 41: Zendrik_P3D must be run from the docs folder!");
  ASSERT_NE(error, lines.end());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), *error), 1);
  for (auto line = lines.begin() + 1; line != lines.end(); ++line) {
    if (line == error) continue;
    EXPECT_TRUE(line->starts_with("message ")) << *line;
    EXPECT_LT(line, error) << *line;
  }
  gf_testResetRunState();
}
