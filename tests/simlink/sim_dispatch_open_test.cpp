// The simulator check on the Open message: which simulator and version a run accepts, the
// messages and the install-path field a wrong version opens for typing. The field lives on a
// window of the Linux layer's headless backend.
#include <gtest/gtest.h>

#include "foundation/parameters.h"
#include "platform/headless.h"
#include "platform/win32.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;

namespace {

LRESULT lf_windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The install-path field on a headless window, disabled as the window creates it.
class InstallPathField {
 public:
  InstallPathField() {
    platform::gf_setBackendChoice(platform::BackendChoice::headless);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &lf_windowProc;
    windowClass.lpszClassName = u"ZendrikDispatchTest";
    RegisterClassExW(&windowClass);
    m_parent = CreateWindowExW(0, u"ZendrikDispatchTest", u"dispatch", WS_OVERLAPPEDWINDOW, 0, 0,
                               880, 516, nullptr, nullptr, nullptr, nullptr);
    g_paramAllInstallPath.createEdit(m_parent, nullptr, 10, 200, &lf_windowProc);
  }
  ~InstallPathField() {
    g_paramAllInstallPath.hwnd = nullptr;
    DestroyWindow(m_parent);
    platform::gf_pumpMessages();
  }
  bool enabled() const { return IsWindowEnabled(g_paramAllInstallPath.hwnd.load()) != FALSE; }
  void disable() { EnableWindow(g_paramAllInstallPath.hwnd.load(), FALSE); }

 private:
  HWND m_parent = nullptr;
};

TEST_F(Dispatch, OpenAcceptsOnlyTheExpectedSimulator) {
  InstallPathField installPath;
  ASSERT_FALSE(installPath.enabled());
  const struct {
    std::string name, plain, installPath;
    std::uint32_t version;
    char outcome;  // a accepted, w wrong version, m the other simulator, e empty name
  } cases[] = {
      {"Lockheed Martin\xC2\xAE Prepar3D\xC2\xAE v5", "Lockheed Martin Prepar3D v5", "", 5, 'a'},
      {"Prepar3D V5", "Prepar3D V5", "", 5, 'w'},
      {"Prepar3D v6", "Prepar3D v6", "D:\\Prepar3D V6", 5, 'a'},
      {"Prepar3D v6", "Prepar3D v6", "C:\\Sim", 6, 'a'},
      {"Prepar3D v6", "Prepar3D v6", "C:\\Sim", 5, 'w'},
      {"Kitty-Hawk!", "KittyHawk", "", 5, 'm'},
      {"SunRise", "SunRise", "", 5, 'm'},
      {"", "", "", 5, 'e'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    gf_resetForRun();
    installPath.disable();
    g_paramSimInstallPath.setValue(c.installPath);
    g_p3dMajorVersion.store(c.version);
    gf_showMessage("Waiting for Prepar3Dv5 ...", false);
    const std::string simName =
        c.outcome == 'a' || c.outcome == 'w' ? c.plain + " (5.3.17.28160)" : "";
    const std::string error =
        c.outcome == 'w'   ? "78: wrong P3D version \"" + simName + "\" connects ... ?"
        : c.outcome == 'm' ? "78: " + c.plain + ", (MSFS) not being P3D connects ... ?"
                           : "";
    EXPECT_EQ(dispatchError(gf_openMessage(c.name)), error);
    EXPECT_EQ(window(&MainWindowState::simName), simName);
    EXPECT_EQ(g_simConnected.load(), c.outcome == 'e' ? 0 : 1);
    EXPECT_EQ(window(&MainWindowState::statusText).empty(), c.outcome == 'a');
    // Only a wrong version lets the user type the path of the right simulator.
    EXPECT_EQ(installPath.enabled(), c.outcome == 'w');
  }
  EXPECT_LOGGED_ONCE("Lockheed Martin Prepar3D v5 (5.3.17.28160) connected");
  EXPECT_LOGGED_ONCE("! Simulator name empty?");
}

}  // namespace
