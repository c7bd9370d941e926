// The labels beside the settings' controls, each on its setting's row. GUI thread, WM_PAINT.
#include <fmt/format.h>

#include "airports/scan.h"
#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/strings.h"
#include "shell/panel_text.h"
#include "shell/shell.h"

namespace {

int lf_row(const GuiControl& control) { return static_cast<int>(control.y); }

COLORREF lf_yellowWhen(bool condition) { return condition ? kYellow : kBlack; }

bool lf_controlEnabled(const GuiControl& control) {
  HWND window = control.hwnd.load();
  return window != nullptr && IsWindowEnabled(window);
}

template <typename Parameter>
bool lf_atDefault(const Parameter& p) {
  return p.value() == p.defaultValue;
}

void lf_label(HDC dc, int x, const GuiControl& row, const std::string& text,
              COLORREF colour = kBlack) {
  lf_textOut(dc, x, lf_row(row), text, colour);
}

void lf_scanRows(HDC dc) {
  lf_label(dc, 5, g_paramAllInstallPath, "Install path:");
  lf_label(dc, 25, g_paramScanLiveries, "Scan for liveries",
           lf_yellowWhen(g_paramScanLiveries.value()));
  lf_label(dc, 237, g_paramLigAutomatic, "Automatic");
  lf_label(dc, 450, g_paramLigPrioritize, "Prioritize");
  lf_label(dc, 556, g_paramSuppressStub, "Stub");
  lf_label(dc, 672, g_paramLog, "Log");
  lf_label(dc, 768, g_paramAlwaysOnTop, "Stay on top", lf_yellowWhen(g_paramAlwaysOnTop.value()));
  lf_label(dc, 25, g_paramScanAirports, "Scan for addon airports",
           lf_yellowWhen(g_paramScanAirports.value()));
  lf_label(dc, 237, g_paramAfgAutomatic, "Automatic");
  const std::uint32_t tblo = g_tbloCount.load();
  lf_label(dc, 323, g_paramScanAirports,
           fmt::format("{} airport{} in {} folder", tblo, gf_plural(tblo), g_tbloName));
  lf_label(dc, 672, g_paramNavLightsWhileParked, "Nav lights");
  lf_label(dc, 768, g_paramLearnSoft, "Learn Soft");
}

void lf_aircraftRows(HDC dc) {
  lf_label(dc, 5, g_paramMatchingDepth, "Max aircraft matching depth");
  lf_label(dc, 253, g_paramLightAircraft, "Optional:");
  lf_textOutEnabled(dc, 343, lf_row(g_paramLightAircraft), "Light aircraft",
                    lf_controlEnabled(g_paramLightAircraft));
  lf_textOutEnabled(dc, 450, lf_row(g_paramHelicopters), "Helicopters",
                    lf_controlEnabled(g_paramHelicopters));
  lf_textOutEnabled(dc, 556, lf_row(g_paramHighPerfAircraft), "FighterJets",
                    lf_controlEnabled(g_paramHighPerfAircraft));
  lf_label(dc, 672, g_paramAerowinx, "Aerowinx", lf_yellowWhen(g_paramAerowinx.value()));
  lf_label(dc, 768, g_paramGuidChanges, "GUID changes", lf_yellowWhen(!g_paramGuidChanges.value()));
}

void lf_trafficRows(HDC dc) {
  const bool autoRange = g_paramAutoRange.value();
  lf_label(dc, 5, g_paramLateralRange, "Traffic injection");
  lf_label(dc, 167, g_paramLateralRange, "radius:");
  lf_label(dc, 260, g_paramLateralRange, "nm,  or");
  lf_label(dc, 343, g_paramAutoRange, "auto range");
  lf_textOutEnabled(dc, 430, lf_row(g_paramAutoRangeAboveHeight), "ah:", autoRange);
  lf_textOutEnabled(dc, 510, lf_row(g_paramAutoRangeAboveHeight), "ft", autoRange);
  lf_label(dc, 5, g_paramBlockCallsign, "Callsigns");
  lf_label(dc, 172, g_paramBlockCallsign, "block:");
  lf_label(dc, 5, g_paramCollisionUserGnd, "Collision avoidance");
  lf_label(dc, 237, g_paramCollisionUserGnd, "User ground");
  lf_label(dc, 343, g_paramCollisionUserAir, "User air");
  lf_label(dc, 450, g_paramCollisionLiveParkedGnd, "Live X parked");
}

void lf_parkingRows(HDC dc) {
  const bool busy = lf_engineBusy();
  lf_label(dc, 5, g_paramCustomMaxPark, fmt::format("Airport parking{}", busy ? " active" : ""),
           lf_yellowWhen(busy));
  lf_textOutEnabled(dc, 217, lf_row(g_paramCustomMaxPark), "generic max park:",
                    !lf_atDefault(g_paramCustomMaxPark));
  lf_textOutEnabled(dc, 536, lf_row(g_paramMaxLive), "max live:", !lf_atDefault(g_paramMaxLive));
  lf_textOutEnabled(dc, 672, lf_row(g_paramStraightPbsOnly), "Straight push backs only",
                    g_paramStraightPbsOnly.value());
  lf_label(dc, 139, g_paramDestination, "destination:");
  lf_label(dc, 303, g_paramAirportRange, "range:");
  lf_label(dc, 393, g_paramAirportRange, "nm");
  lf_label(dc, 440, g_paramAirportHeight, "height above gnd:");
  lf_label(dc, 621, g_paramAirportHeight, "ft");
  lf_label(dc, 5, g_paramAirportRange,
           fmt::format("(next in {} min)", g_mainWindowState.nextRenewalMinutes.load()));
  lf_label(dc, 25, g_paramParkFake, "Fake");
  lf_label(dc, 91, g_paramWeek, "Week");
  lf_label(dc, 171, g_paramParkSoft, "Soft");
  lf_label(dc, 264, g_paramParkingPercentage, "wanted: ");
  lf_label(dc, 363, g_paramParkingPercentage, "%");
  lf_label(dc, 450, g_paramInitialLoadOnly, "ILO", lf_yellowWhen(g_paramInitialLoadOnly.value()));
  lf_label(dc, 506, g_paramMaxFitFl, "Max fit:");
}

}  // namespace

void lf_paintSettingLabels(HDC dc) {
  lf_scanRows(dc);
  lf_aircraftRows(dc);
  lf_trafficRows(dc);
  lf_parkingRows(dc);
}
