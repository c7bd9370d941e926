// Clicks on the check boxes and push buttons (WM_COMMAND). GUI thread: a click changes and
// saves its setting and tells the user; what needs the run's data becomes a request for the
// worker's tick (shell_state.h).
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <stdexcept>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/settings_file.h"
#include "intake/intake.h"
#include "shell/shell.h"
#include "shell/shell_state.h"

namespace {

constexpr std::uint32_t kRescanRestartSec = 2;
constexpr int kMinManualRadiusNm = 2;
constexpr int kMaxManualRadiusNm = 100;

void lf_show(const std::string& text) { gf_showMessage(text, false); }
void lf_logged(const std::string& text) { gf_showMessage(text, true); }

// A box whose only action is a note: shown when the box is `noteWhen`, else the line is cleared.
void lf_note(bool on, bool noteWhen, const std::string& note) {
  if (on == noteWhen) {
    lf_show(note);
  } else {
    gf_clearMessage();
  }
}

void lf_enableField(GuiControl& control, bool enable) {
  if (HWND window = control.hwnd.load(); window != nullptr) EnableWindow(window, enable);
}

void lf_standFileSettingChanged() {
  if (g_parkStandsReady.load()) g_standFileParamsChanged.store(true);
}

void lf_scanLiveries(bool on) {
  if (!on) return gf_clearMessage();
  if (g_rtNotConnectedYet.load()) {
    // The tables are emptied by the closing sequence, when no record uses them any more.
    g_clearLiveryTablesRequested.store(true);
    lf_logged("Your liveries will be scanned");
    gf_requestRestart(kRescanRestartSec);
    return;
  }
  lf_show(gf_withProgramName("Your liveries will be scanned at the next start of {}, recommended "
                             "after you have add/removed AI aircraft models/liveries"));
}

void lf_scanAirports(bool on) {
  if (!on) return gf_clearMessage();
  if (g_rtNotConnectedYet.load()) {
    lf_logged("Your airports will be scanned");
    gf_requestRestart(kRescanRestartSec);
    return;
  }
  lf_show(gf_withProgramName("Your airports will be scanned at the next start of {}, recommended "
                             "after you have add/removed airports"));
}

void lf_initialLoadOnly(bool on) {
  lf_note(on, true,
          "Initial Load Only: static parked aircraft are generated once, no renewal every 20 "
          "minutes");
  g_mainWindowState.invalidate(kSettingsArea);
  lf_standFileSettingChanged();
}

void lf_autoRange(bool on) {
  g_standFileParamsChanged.store(true);
  lf_enableField(g_paramLateralRange, !on);
  lf_enableField(g_paramAutoRangeAboveHeight, on);
  if (on) {
    g_lastManualRange.store(g_paramLateralRange.value());
    g_autoRangeRequested.store(true);  // the radius follows the user aircraft (worker)
    return;
  }
  gf_setRadius(std::clamp(g_lastManualRange.load(), kMinManualRadiusNm, kMaxManualRadiusNm));
  gf_showIntParameter(g_paramLateralRange);
  gf_clearMessage();
}

void lf_alwaysOnTop(bool on) {
  lf_note(on, true, gf_withProgramName("{}'s window will remain visible"));
  if (HWND window = g_hWnd.load(); window != nullptr) {
    SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
}

struct BoxAction {
  CheckBoxParameter* box;
  void (*action)(bool on);
};

const std::array<BoxAction, 24> kBoxActions{{
    {&g_paramScanLiveries, lf_scanLiveries},
    {&g_paramScanAirports, lf_scanAirports},
    {&g_paramLigAutomatic,
     [](bool on) {
       lf_note(on, false, "The liveries defined by your lfolder parameters will be scanned");
     }},
    {&g_paramLigPrioritize,
     [](bool on) {
       lf_note(on, true, "Liveries in lower lfolders that are already available will be skipped");
     }},
    {&g_paramAfgAutomatic,
     [](bool on) {
       lf_note(on, false, "The airports defined by your afolder parameters will be scanned");
     }},
    {&g_paramSuppressStub,
     [](bool on) { lf_note(on, true, "Exclude FSLTL-liveries titles ending with _STUB from scan"); }},
    {&g_paramGuidChanges,
     [](bool on) {
       lf_note(on, false,
               "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, "
               "etc!");
     }},
    {&g_paramCollisionUserAir,
     [](bool on) {
       lf_note(on, false, "Be aware, no collision avoidance with user aircraft in the air");
     }},
    {&g_paramCollisionUserGnd,
     [](bool on) {
       lf_note(on, false, "Be aware, no collision avoidance with user aircraft on the ground");
     }},
    {&g_paramCollisionLiveParkedGnd,
     [](bool on) {
       lf_note(on, false,
               "Be aware, no collision avoidance with live aircraft vs parked static on the ground");
     }},
    {&g_paramInitialLoadOnly, lf_initialLoadOnly},
    {&g_paramLearnSoft, [](bool) { lf_standFileSettingChanged(); }},
    {&g_paramParkSoft, [](bool) { lf_announceAdjustment(); }},
    {&g_paramParkFake, [](bool) { lf_announceAdjustment(); }},
    {&g_paramWeek, [](bool) { lf_announceAdjustment(); }},
    {&g_paramNavLightsWhileParked, [](bool) { g_navLightsRequested.store(true); }},
    {&g_paramAutoRange, lf_autoRange},
    {&g_paramAlwaysOnTop, lf_alwaysOnTop},
    {&g_paramAerowinx,
     [](bool on) {
       lf_note(on, true,
               gf_withProgramName("Aerowinx mode is meant for users of the Aerowinx simulator "
                                  "only, please restart {}"));
     }},
    {&g_paramLog, [](bool) {}},
    {&g_paramLightAircraft, [](bool) {}},
    {&g_paramHelicopters, [](bool) {}},
    {&g_paramHighPerfAircraft, [](bool) {}},
    {&g_paramStraightPbsOnly, [](bool) {}},
}};

void lf_toggle(HWND window, const BoxAction& entry) {
  CheckBoxParameter& box = *entry.box;
  const bool on = SendMessageW(GetDlgItem(window, box.controlId), BM_GETCHECK, 0, 0) != BST_CHECKED;
  SendMessageW(GetDlgItem(window, box.controlId), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  box.setValue(on);
  gf_saveBoolParameter(box);
  entry.action(on);
}

void lf_flushStatic() {
  lf_show("All static parked aircraft will be removed ...");
  g_flushStaticRequested.store(true);
  lf_enableField(g_paramFlushStatic, false);
}

void lf_reread() {
  g_rereadRequested.store(true);
  lf_enableField(g_paramReread, false);  // the tick enables both again
  lf_enableField(g_paramDestination, false);
}

void lf_unblock() {
  if (g_paramBlockCallsign.value().empty()) {
    lf_show("Nothing to block or unblock...");
  } else {
    lf_unblockCallsign();
  }
}

bool lf_command(HWND window, std::uint16_t id) {
  for (const BoxAction& entry : kBoxActions) {
    if (entry.box->controlId == id) {
      lf_toggle(window, entry);
      return true;
    }
  }
  if (id == g_paramUnblock.controlId) {
    lf_unblock();
  } else if (id == g_paramReread.controlId) {
    lf_reread();
  } else if (id == g_paramFlushStatic.controlId) {
    lf_flushStatic();
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool lf_HandleWMCOMMAND(HWND window, std::uint16_t id) {
  bool known = false;
  try {
    known = lf_command(window, id);
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} exception {}", "lf_HandleWMCOMMAND", e.what()));
  }
  g_mainWindowState.invalidate(kSettingsArea);
  return known;
}
