// The worker's start-up: settings, folders and an interrupted swap of stand files, update check,
// database, detection, the airport list, the enabled controls, then the scans, the park airports
// and the destination before the run.
#include <fmt/format.h>

#include <filesystem>
#include <thread>

#include "airports/airports.h"
#include "airports/scan.h"
#include "foundation/day_slots.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/registry_lookup.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "foundation/settings_file.h"
#include "foundation/text_file.h"
#include "intake/intake.h"
#include "platform/paths.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell/worker_seams.h"
#include "simlink/simlink.h"

namespace fs = std::filesystem;

bool g_dbaseRead = false;

namespace {

constexpr int kParkingPercentageShown = 30;  // in memory only, never saved here

void lf_enable(GuiControl& control, bool enable) {
  if (HWND window = control.hwnd.load(); window != nullptr) EnableWindow(window, enable);
}

void lf_check(CheckBoxParameter& box) {
  HWND window = g_hWnd.load();
  if (window != nullptr)
    CheckDlgButton(window, box.controlId, box.value() ? BST_CHECKED : BST_UNCHECKED);
}

// The folder of the program's own file.
fs::path lf_programFolder() {
  WCHAR buffer[261] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 260);
  return gf_pathFromUtf8(Utf16ToUtf8(WString(buffer, length))).parent_path();
}

void lf_storeProgramFolder() {
  const std::string folder = gf_pathToUtf8(lf_programFolder());
  if (folder.empty() || folder == g_paramProgramInstallPath.value()) return;
  g_paramProgramInstallPath.setValue(folder);
  gf_saveStringParameter(g_paramProgramInstallPath);
}

void lf_detectRealTraffic() {
  const fs::path jar = gf_getAppDataPath() / g_rtMakerFolder / "RealTraffic.jar";
  std::error_code error;
  g_rtOnThisPc.store(fs::exists(jar, error));
  gf_showMessage(fmt::format("RealTraffic {}detected at this PC", g_rtOnThisPc ? "" : "not "), true);
}

void lf_rescanWhenCatalogueGone() {
  std::error_code error;
  if (fs::exists(g_liveriesScannedFile, error) || g_paramScanLiveries.value()) return;
  gf_showMessage(
      fmt::format("File {} is gone, rescan liveries", gf_pathToUtf8(g_liveriesScannedFile)), true);
  g_paramScanLiveries.setValue(true);
  gf_saveBoolParameter(g_paramScanLiveries);
  lf_check(g_paramScanLiveries);
  g_mainWindowState.invalidate(kSettingsArea);
}

void lf_countAirportFiles() {
  g_mainWindowState.thirdpartyFileCount.store(gf_countFiles(g_myThirdpartyDir));
  g_mainWindowState.simaddonFileCount.store(gf_countFiles(g_myORBXDir));
  g_mainWindowState.invalidate(kLampsArea);
}

void lf_scanAirportsWhenAsked() {
  if (g_paramScanAirports.value()) {
    g_mainWindowState.thirdpartyFileCount.store(0);
    g_mainWindowState.simaddonFileCount.store(0);
    g_mainWindowState.invalidate(kLampsArea);
    g_workerSeams.scanAirports();
  }
  lf_countAirportFiles();
}

bool lf_stopOrExit() {
  if (!g_stopRequested.load() && !g_exitRequested.load()) return false;
  gf_requestExit();
  return true;
}

void lf_applyDestinationSetting() {
  const std::string code = g_paramDestination.value();
  if (code.empty()) return;
  if (auto airport = gf_findAirport(code)) lf_setDestination(code, {airport->lat, airport->lon});
}

void lf_applyWindowOptions() {
  if (HWND window = g_hWnd.load(); window != nullptr) {
    SetWindowPos(window, g_paramAlwaysOnTop.value() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
  }
  if (g_paramAutoRange.value()) {
    gf_autoRange();
    lf_enable(g_paramLateralRange, false);
  }
}

}  // namespace

void lf_startup() {
  lf_initParameterGroups();
  g_mainWindowState.invalidate(kSettingsArea);
  lf_createFolders();
  gf_recoverStandFileSwap();  // before anything reads a stand file
  g_userMaxLive.store(g_paramMaxLive.value());
  if (!g_restarting.load()) g_workerSeams.checkNewVersion();
  lf_enableControlsAfterStartup();
  lf_storeProgramFolder();
  g_dayHhNow.store(gf_dayHhNow());
  if (!g_dbaseRead) {
    g_workerSeams.readDbase();
    g_dbaseRead = true;
  }
  g_paramAllInstallPath.setValue(g_paramSimInstallPath.value());
  lf_enable(g_paramAllInstallPath, true);
  gf_showStringParameter(g_paramAllInstallPath);
  if (g_paramAllInstallPath.value().empty()) g_workerSeams.detectP3D();
  g_mainWindowState.invalidate(kSettingsArea);
  lf_detectRealTraffic();
  g_lastManualRange.store(g_paramLateralRange.value());
  g_workerSeams.readAirports();
}

bool lf_prepareRun() {
  lf_setSimSceneryDir();
  g_maxThreads.store(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  g_numThreads.store(0);
  lf_rescanWhenCatalogueGone();
  g_workerSeams.liveriesScan();
  if (lf_stopOrExit()) return false;
  lf_scanAirportsWhenAsked();
  if (lf_stopOrExit()) return false;
  gf_createFlightPlanFolder();
  g_workerSeams.readMyParkAirports();
  lf_enable(g_paramReread, true);
  lf_applyDestinationSetting();
  lf_applyWindowOptions();
  lf_takeWindowRequests();  // what the window asked for during the start-up
  return true;
}

void lf_enableControlsAfterStartup() {
  for (GuiControl* control :
       std::initializer_list<GuiControl*>{&g_paramLog, &g_paramAlwaysOnTop}) {
    lf_enable(*control, true);
  }
  lf_enable(g_paramLearnSoft, false);
  for (GuiControl* control : std::initializer_list<GuiControl*>{
           &g_paramNavLightsWhileParked, &g_paramGuidChanges, &g_paramScanLiveries,
           &g_paramLigAutomatic, &g_paramLigPrioritize, &g_paramScanAirports,
           &g_paramAfgAutomatic, &g_paramMatchingDepth, &g_paramLightAircraft,
           &g_paramHelicopters, &g_paramHighPerfAircraft}) {
    lf_enable(*control, true);
  }
  const bool autoRange = g_paramAutoRange.value();
  lf_enable(g_paramLateralRange, !autoRange);
  lf_enable(g_paramAutoRange, true);
  lf_enable(g_paramAutoRangeAboveHeight, autoRange);
  for (GuiControl* control : std::initializer_list<GuiControl*>{
           &g_paramCollisionUserGnd, &g_paramCollisionUserAir, &g_paramCollisionLiveParkedGnd,
           &g_paramBlockCallsign}) {
    lf_enable(*control, true);
  }
  lf_enable(g_paramUnblock, !g_paramBlockCallsign.value().empty());
  lf_enable(g_paramCustomMaxPark, true);
  lf_enable(g_paramMaxLive, true);
  lf_enable(g_paramStraightPbsOnly, true);
  lf_enable(g_paramDestination, false);
  lf_enable(g_paramAirportRange, true);
  lf_enable(g_paramAirportHeight, true);
  lf_enable(g_paramReread, false);
  for (GuiControl* control :
       std::initializer_list<GuiControl*>{&g_paramParkFake, &g_paramWeek, &g_paramParkSoft}) {
    lf_enable(*control, true);
  }
  lf_enable(g_paramParkingPercentage, false);
  g_paramParkingPercentage.setValue(kParkingPercentageShown);
  gf_showIntParameter(g_paramParkingPercentage);
  gf_clearControlText(g_paramParkingPercentage.controlId);
  lf_enable(g_paramInitialLoadOnly, true);
  g_paramMaxFitFl.setValue(static_cast<float>(g_paramMaxFit.value()) * 0.5f + 0.5f);
  lf_enable(g_paramMaxFitFl, false);
  gf_clearControlText(g_paramMaxFitFl.controlId);
  lf_enable(g_paramFlushStatic, false);
}
