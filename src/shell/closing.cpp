// The end of every run: intake off, SimClient and the readers stopped and joined, RealTraffic
// told, the parked aircraft removed, the summaries written; then the restart after a countdown,
// the wait for the user after a SYSTEM ERROR, or the quit. Worker thread.
#include <fmt/format.h>

#include <chrono>
#include <map>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "foundation/strings.h"
#include "intake/intake.h"
#include "liveries/livery_processing.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell/worker_seams.h"
#include "simlink/simlink.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kLinkSettle = 500ms;
constexpr auto kUserPoll = 500ms;
constexpr auto kNewFlightNotice = 10s;

// Runs one group of the closing sequence; a failure is logged and the next group runs.
template <typename Step>
void lf_guarded(const char* what, Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    gf_logError(fmt::format("lf_closingDown {} exception {}", what, e.what()));
  } catch (...) {
    gf_logError(fmt::format("lf_closingDown {} exception", what));
  }
}

bool lf_restartReason(std::uint32_t reason) {
  return reason == kExitNewSettings || reason == kExitSimConnectError ||
         reason == kExitReaderError;
}

// SimClient ends on its stop token; it is joined before anything of its run is reset. The
// park-stand check it may have asked for last is carried out then.
void lf_endSimClient() {
  if (g_simThread.joinable()) {
    g_simThread.request_stop();
    g_simThread.join();
  }
  gf_parkStandCheck();
}

// After a SYSTEM ERROR the window stays open with the error until the user closes it, or
// until an accepted install path turns the stop into a restart.
void lf_waitForUser() {
  if (g_exitReason.load() != kExitSystemError) return;
  while (!g_exitRequested.load() && g_exitReason.load() == kExitSystemError) {
    g_workerSeams.wait(kUserPoll);
  }
  if (g_exitRequested.load()) gf_showMessage(gf_withProgramName("User closed {}"), true);
}

void lf_tidyRun() {
  if (!g_parkAirportIcao.empty()) gf_removeParkedAc();
  g_liveryById.clear();
  if (g_clearLiveryTablesRequested.exchange(false)) {
    // Emptied tables with the flag still set would skip the processing after the rescan.
    gf_clearLiveryTables();
    g_liveriesScanDone.store(false);
  }
  gf_removeFlightPlanFolder();
}

void lf_clearRunSettings() {
  g_paramDestination.setValue(std::string());
  gf_saveStringParameter(g_paramDestination);
  g_paramBlockCallsign.setValue(std::string());
  gf_saveStringParameter(g_paramBlockCallsign);
  g_ghostTexts.clear();
  gf_matchingSummary();
  gf_logNoMatches();
}

void lf_switchScanOff(CheckBoxParameter& box) {
  box.setValue(false);
  gf_saveBoolParameter(box);
  if (HWND window = g_hWnd.load(); window != nullptr) {
    CheckDlgButton(window, box.controlId, BST_UNCHECKED);
  }
}

void lf_prepareRestart(std::uint32_t reason) {
  g_restarting.store(true);
  g_mainWindowState.storeText(&MainWindowState::errorText, std::string(), kStatusArea);
  gf_clearMessage();
  gf_showMessage("Prepare for a restart ...", true);
  if (reason != kExitNewSettings) {
    lf_switchScanOff(g_paramScanLiveries);  // the restart does not scan again
    lf_switchScanOff(g_paramScanAirports);
  }
  lf_restartCountdown();
  if (g_closeRequested.load()) {
    g_restarting.store(false);  // closed during the countdown: quit instead
    return;
  }
  lf_resetRun();
}

void lf_decide() {
  const std::uint32_t reason = g_exitReason.load();
  if (lf_restartReason(reason) && !g_closeRequested.load()) {
    lf_prepareRestart(reason);
    return;
  }
  g_restarting.store(false);
  if (reason == kExitNewFlight) {
    gf_showMessage(
        gf_withProgramName("New flight detected, {} will close, please restart manually ..."),
        true);
    g_workerSeams.wait(kNewFlightNotice);
  }
}

}  // namespace

const std::string& gf_exitReasonText(std::uint32_t reason) {
  static const std::map<std::uint32_t, std::string> texts{
      {kExitNotYetSet, "NOT YET SET"},         {kExitSimClosed, "SIM WAS CLOSED"},
      {kExitNewFlight, "NEW FLIGHT"},          {kExitNewSettings, "NEW SETTINGS"},
      {kExitUserClosedSim, "USER CLOSED SIM"}, {kExitSimConnectError, "SIMCONNECT ERROR"},
      {kExitReaderError, "READER ERROR"},      {kExitSystemError, "SYSTEM ERROR"}};
  return texts.at(reason);
}

void lf_closingDown() {
  try {
    lf_guarded("log", [] { gf_log(fmt::format("Exiting: {}", gf_exitReasonText(g_exitReason))); });
    lf_guarded("intake", [] { gf_setAcceptTraffic(false); });
    lf_guarded("SimClient", [] {
      if (g_simThread.joinable()) g_simThread.request_stop();
    });
    lf_guarded("readers", gf_stopReaders);
    lf_guarded("wait", [] { g_workerSeams.wait(kLinkSettle); });
    lf_guarded("SimClient join", lf_endSimClient);
    lf_guarded("RealTraffic", gf_closeRealTrafficLink);
    lf_guarded("user", lf_waitForUser);
    lf_guarded("parked", lf_tidyRun);
    lf_guarded("settings", lf_clearRunSettings);
    lf_guarded("restart", lf_decide);
  } catch (const std::exception& e) {
    gf_showMessage(fmt::format("{} exception {}", "lf_closingDown", e.what()), true);
  }
  g_workerSeams.post(g_restarting.load() ? kStartWorkerMessage : kQuitMessage);
}

void lf_restartCountdown() {
  const std::uint32_t delay = g_restartDelaySec.load();
  if (delay < 1) return;
  gf_log(fmt::format("Restarting after {} seconds\n\n\n\n\n", delay));
  auto next = WorkerSeams::Clock::now();
  for (std::uint32_t k = delay; k >= 1 && !g_closeRequested.load(); --k) {
    gf_showMessage(fmt::format("Restarting after {} second{}", k, gf_plural(k)), false);
    next += 1s;
    g_workerSeams.wait(next - WorkerSeams::Clock::now());
  }
}
