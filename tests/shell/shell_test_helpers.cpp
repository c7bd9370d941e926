#include "shell_test_helpers.h"

#include <pugixml.hpp>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "foundation/settings_reset.h"
#include "intake/intake.h"
#include "platform/headless.h"
#include "shell/shell.h"
#include "shell/shell_state.h"

namespace shelltest {
namespace {

ExpectedControl box(GuiControl& c, int x, int row) {
  return {&c, 0x50000002, RECT{x, row + 2, x + 12, row + 14}};
}
ExpectedControl edit(GuiControl& c, int x, int width, int row) {
  return {&c, 0x50800000, RECT{x, row, x + width, row + 16}};
}
ExpectedControl button(GuiControl& c, int x, int width, int top) {
  return {&c, 0x50000001, RECT{x, top, x + width, top + 20}};
}

// Request flags, stop state, the destination request and the window's lines back to a start.
void resetShellState() {
  for (auto* flag : {&g_rereadRequested, &g_flushStaticRequested, &g_blockRequested,
                     &g_clearNoMatchesRequested, &g_parkAdjustRequested, &g_navLightsRequested,
                     &g_enforceMaxLiveRequested, &g_autoRangeRequested, &g_parkStandsReady,
                     &g_clearLiveryTablesRequested, &g_standFileParamsChanged, &g_rtNotConnectedYet})
    flag->store(false);
  gf_takeDestinationRequest();
  g_paramMaxFitFl.setValue(g_paramMaxFitFl.defaultValue);  // settings kept outside the file
  g_paramParkingPercentage.setValue(g_paramParkingPercentage.defaultValue);
  g_userMaxLive = -1, g_reportSeconds = 0, g_lastManualRange = 0;
  g_exitReason = 0, g_restartDelaySec = 0, g_closeRequested = false;
  g_mainWindowState.simRunningLamp = 0, g_mainWindowState.userAcModelKnown = 1;
  gf_testResetRunState();
  gf_testResetSettings();
}

std::filesystem::path s_savedParametersFile;

}  // namespace

const std::vector<ExpectedControl>& expectedControls() {
  // Rows of the settings; the buttons' rows already sit two pixels higher.
  static const std::vector<ExpectedControl> controls = {
      edit(g_paramAllInstallPath, 111, 1200, 119), box(g_paramScanLiveries, 5, 147),
      box(g_paramLigAutomatic, 217, 147), box(g_paramLigPrioritize, 430, 147),
      box(g_paramSuppressStub, 536, 147), box(g_paramLog, 652, 147),
      box(g_paramAlwaysOnTop, 748, 147), box(g_paramScanAirports, 5, 175),
      box(g_paramAfgAutomatic, 217, 175), box(g_paramNavLightsWhileParked, 652, 175),
      box(g_paramLearnSoft, 748, 175), edit(g_paramMatchingDepth, 217, 24, 203),
      box(g_paramLightAircraft, 323, 203), box(g_paramHelicopters, 430, 203),
      box(g_paramHighPerfAircraft, 536, 203), box(g_paramAerowinx, 652, 203),
      box(g_paramGuidChanges, 748, 203), edit(g_paramLateralRange, 217, 34, 231),
      box(g_paramAutoRange, 323, 231), edit(g_paramAutoRangeAboveHeight, 455, 50, 231),
      box(g_paramCollisionUserGnd, 217, 287), box(g_paramCollisionUserAir, 323, 287),
      box(g_paramCollisionLiveParkedGnd, 430, 287), edit(g_paramBlockCallsign, 217, 100, 259),
      button(g_paramUnblock, 323, 70, 257), edit(g_paramCustomMaxPark, 353, 34, 315),
      edit(g_paramMaxLive, 601, 34, 315), edit(g_paramDestination, 217, 50, 343),
      edit(g_paramAirportRange, 353, 34, 343), edit(g_paramAirportHeight, 566, 50, 343),
      box(g_paramStraightPbsOnly, 652, 315), box(g_paramParkFake, 5, 371),
      box(g_paramWeek, 71, 371), box(g_paramParkSoft, 151, 371),
      edit(g_paramParkingPercentage, 323, 34, 371), box(g_paramInitialLoadOnly, 430, 371),
      edit(g_paramMaxFitFl, 566, 34, 371), button(g_paramReread, 758, 90, 341),
      button(g_paramFlushStatic, 758, 90, 369)};
  return controls;
}

void ShellWindowTest::SetUp() {
  resetShellState();
  s_savedParametersFile = g_parametersFile;
  g_parametersFile = folder_.path() / "AppData" / "parameters.xml";
  std::filesystem::create_directories(g_parametersFile.parent_path());
  gf_openLog();
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  lf_fillShellHooks();
  lf_registerMainClass(GetModuleHandleW(nullptr), u"Zendrik_P3D");  // once; later ones fail
  ASSERT_TRUE(initInstance(GetModuleHandleW(nullptr), u"Zendrik_P3D"));
  window_ = g_hWnd.load();
  platform::gf_pumpMessages();
}

void ShellWindowTest::TearDown() {
  if (IsWindow(window_)) {
    DestroyWindow(window_);
    // Its WM_DESTROY posted the quit message: take it, so the next window's paints come through.
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }
  g_hWnd.store(nullptr);
  for (const ExpectedControl& c : expectedControls()) c.control->hwnd.store(nullptr);
  gf_closeLog();
  g_parametersFile = s_savedParametersFile;
  resetShellState();
}

void ShellWindowTest::recreate() {
  TearDown();
  std::filesystem::remove(folder_.path() / "AppData" / "parameters.xml");
  SetUp();
}

void ShellWindowTest::syncBoxes() {
  for (const ExpectedControl& c : expectedControls()) {
    if (auto* box = dynamic_cast<CheckBoxParameter*>(c.control))
      SendMessageW(box->hwnd.load(), BM_SETCHECK, box->value() ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool ShellWindowTest::logHas(const std::string& line) const {
  return gf_testHasLine(gf_testReadLines("Log.txt"), line);
}

std::string ShellWindowTest::fileEntry(const std::string& name) const {
  pugi::xml_document document;
  document.load_file(g_parametersFile.c_str());
  const pugi::xml_node entry = document.select_node(gf_parameterXPath(name).c_str()).node();
  return entry ? entry.attribute("value").value() : "<absent>";
}

std::string ShellWindowTest::status() const {
  return g_mainWindowState.text(&MainWindowState::statusText);
}

void ShellWindowTest::enter(GuiControl& field, const std::u16string& text) {
  SetWindowTextW(field.hwnd.load(), text.c_str());
  SendMessageW(field.hwnd.load(), WM_CHAR, 13, 0);
  platform::gf_pumpMessages();
}

void ShellWindowTest::click(GuiControl& control) {
  platform::gf_clickWindow(control.hwnd.load());
  platform::gf_pumpMessages();
}

}  // namespace shelltest
