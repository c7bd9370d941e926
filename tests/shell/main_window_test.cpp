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
  EXPECT_EQ(frame.right - frame.left, 880);
  EXPECT_EQ(frame.bottom - frame.top, 516);
  EXPECT_EQ(GetWindowLongPtrW(window(), GWL_STYLE) & ~WS_VISIBLE, WS_CAPTION | WS_SYSMENU);
  const POINT origin{frame.left + platform::kFrameWidth,
                     frame.top + platform::kFrameWidth + platform::kCaptionHeight};
  ASSERT_EQ(shelltest::expectedControls().size(), 39u);
  for (const auto& expected : shelltest::expectedControls()) {
    const HWND control = GetDlgItem(window(), expected.control->controlId);
    SCOPED_TRACE(expected.control->controlId);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control, expected.control->hwnd.load());
    RECT r{};
    GetWindowRect(control, &r);
    EXPECT_EQ(r.left - origin.x, expected.rect.left);
    EXPECT_EQ(r.top - origin.y, expected.rect.top);
    EXPECT_EQ(r.right - origin.x, expected.rect.right);
    EXPECT_EQ(r.bottom - origin.y, expected.rect.bottom);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE)) & ~WS_DISABLED,
              expected.style);
    // Check boxes start enabled and checked from their setting; fields and buttons disabled.
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, expected.style == 0x50000002);
  }
  EXPECT_EQ(IsDlgButtonChecked(window(), g_paramScanLiveries.controlId), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(window(), g_paramWeek.controlId), BST_UNCHECKED);
}

// Stored positions: a value at a limit is taken for a window pushed off the screen.
TEST_F(ShellWindowTest, StoredPositionAndItsLimits) {
  struct Case {
    int storedX, storedY, windowX, windowY;
    const char* savedX;
  };
  for (const Case& c : {Case{30000, -29999, 400, -29999, "400"}, Case{-30000, 50, 400, 50, "400"},
                        Case{29999, 20, 29999, 20, "29999"}}) {
    SCOPED_TRACE(c.storedX);
    g_mainWindowState.mainWindowX.setValue(c.storedX);
    g_mainWindowState.mainWindowY.setValue(c.storedY);
    gf_saveIntParameter(g_mainWindowState.mainWindowX);
    gf_saveIntParameter(g_mainWindowState.mainWindowY);
    TearDown();
    SetUp();
    RECT frame{};
    GetWindowRect(window(), &frame);
    EXPECT_EQ(frame.left, c.windowX);
    EXPECT_EQ(frame.top, c.windowY);
    EXPECT_EQ(fileEntry("MAIN_WINDOW_X"), c.savedX);
  }
  // Without parameters.xml the window opens at the defaults.
  std::filesystem::remove(g_parametersFile);
  TearDown();
  SetUp();
  RECT frame{};
  GetWindowRect(window(), &frame);
  EXPECT_EQ(frame.left, 400);
  EXPECT_EQ(frame.top, 20);
}

// WM_APP+2 saves where the window is; one pushed past a limit takes the previous position.
TEST_F(ShellWindowTest, QuitSavesThePosition) {
  for (const auto& [x, y, savedX, savedY] :
       {std::tuple{120, -45, "120", "-45"}, std::tuple{-40000, 35000, "400", "20"}}) {
    g_mainWindowState.mainWindowX.setValue(400);
    g_mainWindowState.mainWindowY.setValue(20);
    SetWindowPos(window(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(window(), kQuitMessage, 0, 0);
    EXPECT_EQ(fileEntry("MAIN_WINDOW_X"), savedX);
    EXPECT_EQ(fileEntry("MAIN_WINDOW_Y"), savedY);
    gf_openLog();  // the quit closed it
  }
  MSG quit{};
  EXPECT_EQ(GetMessageW(&quit, nullptr, 0, 0), FALSE);
}

TEST_F(ShellWindowTest, CloseBoxOnlyAsksTheWorkerToStop) {
  platform::gf_clickCloseBox(window());
  platform::gf_pumpMessages();
  EXPECT_TRUE(IsWindow(window()));
  EXPECT_TRUE(g_stopRequested.load());
  EXPECT_TRUE(g_exitRequested.load());
  EXPECT_EQ(status(), "Close window button clicked, closing Zendrik_P3D ...");
  EXPECT_FALSE(logHas("Close window button clicked, closing Zendrik_P3D ..."));
}

}  // namespace
