// The settings' window controls on the headless window layer, and the settings load pushing
// loaded values into them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "platform/headless.h"
#include "platform/win32.h"
#include "settings_reset.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

UINT g_lastSubclassedMessage = 0;  // GUI (test) thread only

LRESULT lf_parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// Records the message, then hands it on as the program's edit procedures do.
LRESULT lf_subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_lastSubclassedMessage = message;
  const auto previous = reinterpret_cast<WNDPROC>(
      GetDlgCtrlID(window) == g_paramLateralRange.controlId ? g_paramLateralRange.previousProc
                                                            : g_paramBlockCallsign.previousProc);
  return CallWindowProcW(previous, window, message, wParam, lParam);
}

std::string lf_text(HWND window) {
  WCHAR buffer[256] = {};
  const int length = GetWindowTextW(window, buffer, 256);
  return std::string(buffer, buffer + length);  // ASCII texts only in these tests
}

class ParameterControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gf_setBackendChoice(platform::BackendChoice::headless);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &lf_parentProc;
    windowClass.lpszClassName = u"ZendrikControlsTest";
    RegisterClassExW(&windowClass);  // a second registration fails harmlessly
    m_parent = CreateWindowExW(0, u"ZendrikControlsTest", u"controls", WS_OVERLAPPEDWINDOW, 0, 0,
                               880, 516, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_parent, nullptr);
  }
  void TearDown() override {
    for (GuiControl* control :
         {static_cast<GuiControl*>(&g_paramLog), static_cast<GuiControl*>(&g_paramLateralRange),
          static_cast<GuiControl*>(&g_paramBlockCallsign),
          static_cast<GuiControl*>(&g_paramReread)}) {
      control->hwnd = nullptr;
      control->previousProc = 0;
    }
    if (m_parent != nullptr) DestroyWindow(m_parent);
    platform::gf_pumpMessages();
    gf_testResetSettings();
  }

  HWND m_parent = nullptr;
};

}  // namespace

TEST_F(ParameterControlsTest, CreatedControlsHaveTheirIdsStatesAndPlaces) {
  g_paramLog.setValue(true);
  g_paramLog.createCheckBox(m_parent, nullptr, 30);
  g_paramReread.createButton(m_parent, nullptr, 700, 60);
  g_paramLateralRange.createEdit(m_parent, nullptr, 400, 40, &lf_subclassProc);

  HWND check = g_paramLog.hwnd.load();
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(GetDlgItem(m_parent, g_paramLog.controlId), check);
  EXPECT_EQ(IsDlgButtonChecked(m_parent, g_paramLog.controlId), BST_CHECKED);
  EXPECT_TRUE(IsWindowEnabled(check));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(check, GWL_STYLE)), 0x50000002u);
  RECT size{};
  GetClientRect(check, &size);
  EXPECT_EQ(size.right - size.left, 12);
  EXPECT_EQ(size.bottom - size.top, 12);

  HWND button = g_paramReread.hwnd.load();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(lf_text(button), "Re-read");
  EXPECT_FALSE(IsWindowEnabled(button));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(button, GWL_STYLE)) & ~WS_DISABLED, 0x50000001u);

  HWND edit = g_paramLateralRange.hwnd.load();
  ASSERT_NE(edit, nullptr);
  EXPECT_FALSE(IsWindowEnabled(edit));
  EXPECT_NE(g_paramLateralRange.previousProc, 0);
  g_paramLateralRange.enable();
  EXPECT_TRUE(IsWindowEnabled(edit));
  // The subclass procedure sees the message and the replaced procedure still does its work.
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"77"));
  EXPECT_EQ(g_lastSubclassedMessage, WM_SETTEXT);
  EXPECT_EQ(lf_text(edit), "77");
}

TEST_F(ParameterControlsTest, LoadingPushesValuesIntoExistingControls) {
  TempWorkingFolder work;
  const fs::path saved = g_parametersFile;
  g_parametersFile = work.path() / "parameters.xml";
  g_stopRequested = false;
  g_paramLog.setValue(true);
  g_paramLog.createCheckBox(m_parent, nullptr, 30);
  g_paramLateralRange.createEdit(m_parent, nullptr, 400, 40, &lf_subclassProc);
  g_paramBlockCallsign.createEdit(m_parent, nullptr, 400, 80, &lf_subclassProc);
  gf_testWriteFile(g_parametersFile,
                   "<parameters>\n"
                   "\t<parameter name=\"LOG\" value=\"false\" />\n"
                   "\t<parameter name=\"LATERAL_RANGE\" value=\"55\" />\n"
                   "\t<parameter name=\"BLOCK_CALLSIGN\" value=\"KLM1\" />\n"
                   "</parameters>\n");
  lf_initParameterGroups();
  EXPECT_EQ(IsDlgButtonChecked(m_parent, g_paramLog.controlId), BST_UNCHECKED);
  EXPECT_EQ(lf_text(g_paramLateralRange.hwnd.load()), "55");
  EXPECT_EQ(lf_text(g_paramBlockCallsign.hwnd.load()), "KLM1");
  g_parametersFile = saved;
}
