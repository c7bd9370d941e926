// Locking the parking controls of the main window while a long parking operation runs (the static
// parking calculation, the parking adjustments, reading the park airport's stand file). Worker
// thread; the controls' state changes are safe from any thread.
#include <array>

#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "platform/win32.h"
#include "traffic/parking/parking.h"

std::atomic<bool> g_busy{false};

namespace {

constexpr std::uint32_t kRenewalCountdownMinutes = 19;

// The nine parking controls, in the order they are disabled.
std::array<GuiControl*, 9> lf_parkingControls() {
  return {&g_paramParkingPercentage, &g_paramInitialLoadOnly, &g_paramParkFake,
          &g_paramParkSoft,          &g_paramCustomMaxPark,   &g_paramMaxFitFl,
          &g_paramWeek,              &g_paramFlushStatic,     &g_paramReread};
}

void lf_enable(GuiControl* control, bool enable) {
  if (HWND window = control->hwnd.load(); window != nullptr) {
    EnableWindow(window, enable ? TRUE : FALSE);
  }
}

void lf_invalidateWindow() {
  if (HWND window = g_hWnd.load(); window != nullptr) {
    InvalidateRect(window, nullptr, TRUE);
  }
}

}  // namespace

void gf_disableControls() {
  g_busy.exchange(true);
  for (GuiControl* control : lf_parkingControls()) {
    lf_enable(control, false);
  }
  gf_clearMessage();
  lf_invalidateWindow();
}

void gf_enableControls() {
  g_busy.exchange(false);
  g_mainWindowState.nextRenewalMinutes.store(kRenewalCountdownMinutes);
  lf_invalidateWindow();
  lf_enable(&g_paramCustomMaxPark, true);
  for (GuiControl* control : lf_parkingControls()) {
    if (control != &g_paramCustomMaxPark) {
      lf_enable(control, true);
    }
  }
  gf_clearMessage();
  lf_invalidateWindow();
}
