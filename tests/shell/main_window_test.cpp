// The main window: its 39 controls where they belong, the stored position and its limits, the
// close box and the quit message.
#include <gtest/gtest.h>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "platform/gui_state.h"
#include "shell/shell.h"
#include "shell_test_helpers.h"

namespace {

using shelltest::ShellWindowTest;

TEST_F(ShellWindowTest, TheThirtyNineControls) {
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(window(), &frame));
  EXPECT_EQ(frame, (RECT{400, 20, 400 + 880, 20 + 516}));  // no parameters.xml: the defaults
  EXPECT_EQ(GetWindowLongPtrW(window(), GWL_STYLE) & ~WS_VISIBLE, WS_CAPTION | WS_SYSMENU);
  const int dx = frame.left + platform::kFrameWidth;
  const int dy = frame.top + platform::kFrameWidth + platform::kCaptionHeight;
  ASSERT_EQ(shelltest::expectedControls().size(), 39u);
  for (const auto& expected : shelltest::expectedControls()) {
    const HWND control = GetDlgItem(window(), expected.control->controlId);
    SCOPED_TRACE(expected.control->controlId);
    ASSERT_EQ(control, expected.control->hwnd.load());
    RECT r{};
    GetWindowRect(control, &r);
    EXPECT_EQ((RECT{r.left - dx, r.top - dy, r.right - dx, r.bottom - dy}), expected.rect);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
    EXPECT_EQ(style & ~WS_DISABLED, expected.style);
    // Check boxes start enabled and checked from their setting; fields and buttons disabled.
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, expected.style == 0x50000002);
  }
  EXPECT_EQ(IsDlgButtonChecked(window(), g_paramScanLiveries.controlId), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(window(), g_paramWeek.controlId), BST_UNCHECKED);
}

// A position at a limit belongs to a window pushed off the screen, when stored and when saved.
TEST_F(ShellWindowTest, PositionLimits) {
  for (const auto& [stored, opened, saved] :
       {std::tuple{30000, 400, "400"}, std::tuple{-30000, 400, "400"},
        std::tuple{29999, 29999, "29999"}}) {
    g_mainWindowState.mainWindowX.setValue(stored);
    gf_saveIntParameter(g_mainWindowState.mainWindowX);
    TearDown();
    SetUp();
    RECT frame{};
    GetWindowRect(window(), &frame);
    EXPECT_EQ(frame.left, opened);
    EXPECT_EQ(fileEntry("MAIN_WINDOW_X"), saved);
  }
  for (const auto& [x, y, savedX, savedY] :
       {std::tuple{120, -45, "120", "-45"}, std::tuple{-40000, 35000, "120", "20"}}) {
    g_mainWindowState.mainWindowY.setValue(20);
    SetWindowPos(window(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(window(), kQuitMessage, 0, 0);
    EXPECT_EQ(fileEntry("MAIN_WINDOW_X"), savedX);
    EXPECT_EQ(fileEntry("MAIN_WINDOW_Y"), savedY);
    MSG quit{};
    EXPECT_EQ(GetMessageW(&quit, nullptr, 0, 0), FALSE);
    gf_openLog();  // the quit closed it
  }
}

TEST_F(ShellWindowTest, CloseBoxOnlyAsksTheWorkerToStop) {
  platform::gf_clickCloseBox(window());
  platform::gf_pumpMessages();
  EXPECT_TRUE(IsWindow(window()));
  EXPECT_TRUE(g_stopRequested.load() && g_exitRequested.load());
  EXPECT_EQ(status(), "Close window button clicked, closing Zendrik_P3D ...");
  EXPECT_FALSE(logHas("Close window button clicked, closing Zendrik_P3D ..."));
}

}  // namespace
