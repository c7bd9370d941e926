// The slower duties of the tick, on counters of user-aircraft reports: which report runs what,
// the periodic duties every 30 reports, the two-phase parking adjustment and the Re-read request.
// Worker thread.
#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "traffic/parking/parking.h"

std::atomic<bool> g_parkAdjustCollecting{false};

namespace {

constexpr std::uint32_t kRenewalMinutes = 20;
constexpr std::uint32_t kReportsPerDay = 86400;

void lf_startCollecting() {
  g_parkAdjustCollecting.store(true);
  gf_disableControls();
  g_trafficReader.clearLiveCallsigns();
  g_trafficReader.setCollecting(true);
}

void lf_adjustAfterCollecting() {
  g_parkAdjustCollecting.store(false);
  g_mainWindowState.storeText(&MainWindowState::errorText, std::string(), kStatusArea);
  gf_clearMessage();
  if (!g_parkAirportIcao.empty() && !g_parkStands.empty()) {
    gf_parkingAdjustments();
  } else {
    // No park airport any more: nothing to adjust, but the first phase's busy state must end.
    g_trafficReader.setCollecting(false);
    gf_enableControls();
  }
  g_parkAdjustRequested.store(false);
}

}  // namespace

ReportDuties gf_reportDuties(std::uint32_t n, bool adjustmentCollecting) {
  ReportDuties duties;
  duties.every15 = n % 15 == 0;
  if (duties.every15) {
    duties.periodic = n % 30 == 0;
    duties.minutes = duties.periodic && n % 60 == 0;
    duties.renewal = duties.minutes && n % 1200 == 0;
    duties.dayOver = duties.minutes && n % kReportsPerDay == 0;
  } else {
    duties.parkStep = n % 16 == 0 && !adjustmentCollecting;
    duties.lamps = n % 59 == 0;
    duties.duplicates = n % 61 == 0;
  }
  return duties;
}

std::uint32_t gf_minutesToRenewal(std::uint32_t n) {
  const std::uint32_t m = n / 60;
  return (m / kRenewalMinutes + 1) * kRenewalMinutes - m;
}

void lf_parkingAdjustmentPhase() {
  if (!g_parkAdjustRequested.load()) return;
  if (!g_parkAdjustCollecting.load()) {
    lf_startCollecting();
  } else {
    lf_adjustAfterCollecting();
  }
}

void lf_periodicDuties() {
  if (g_clearNoMatchesRequested.exchange(false)) g_noMatches.clear();
  if (g_paramAutoRange.value()) gf_autoRange();
  if (g_readerError.load()) {
    gf_showError("1001: RT error");
    gf_requestStop(kExitSystemError, 0);
  }
  const std::uint32_t n = g_reportSeconds.load();
  const ReportDuties duties = gf_reportDuties(n, g_parkAdjustCollecting.load());
  if (!duties.minutes) return;
  g_mainWindowState.nextRenewalMinutes.store(gf_minutesToRenewal(n));
  g_mainWindowState.invalidate(kSettingsArea);
  if (duties.renewal) {
    gf_logNoMatches();
    if (g_parkStandsReady.load() && !g_paramInitialLoadOnly.value() &&
        !g_parkAdjustRequested.load()) {
      g_parkAdjustRequested.store(true);
    }
  }
  if (duties.dayOver) {
    g_reportSeconds.store(0);
    gf_matchingSummary();
    g_liveryById.clear();
  }
}

void lf_handleReread() {
  if (!g_rereadRequested.load() || g_busy.load()) return;
  std::string message;
  if (gf_checkParkAirports(true, message)) gf_showMessage(message, true);
  for (GuiControl* control : {static_cast<GuiControl*>(&g_paramReread),
                              static_cast<GuiControl*>(&g_paramDestination)}) {
    control->enable();
  }
  g_rereadRequested.store(false);
}
