// The edit fields: each applies its text when Enter is pressed in it. GUI thread, except the
// destination's look-up and lf_setDestination, which run on the worker.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "airports/airports.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "platform/paths.h"
#include "shell/shell.h"
#include "shell/shell_state.h"

namespace {

constexpr WPARAM kEnter = 13;
constexpr int kMaxFieldChars = 1022;  // UTF-16 units read from a field
constexpr std::size_t kMinCallsignChars = 4;
constexpr std::size_t kMaxCallsignChars = 8;
constexpr std::size_t kAirportCodeChars = 4;

template <typename Parameter, std::size_t N>
Parameter* lf_findField(const std::array<Parameter*, N>& fields, HWND control) {
  const int id = GetDlgCtrlID(control);
  for (Parameter* p : fields) {
    if (p->controlId == id) return p;
  }
  return nullptr;
}

const std::array<EditParameter*, 8> kIntFields{
    &g_paramMatchingDepth, &g_paramLateralRange,  &g_paramAutoRangeAboveHeight,
    &g_paramCustomMaxPark, &g_paramMaxLive,       &g_paramAirportRange,
    &g_paramAirportHeight, &g_paramParkingPercentage};
const std::array<FloatEditParameter*, 1> kFloatFields{&g_paramMaxFitFl};
const std::array<StringEditParameter*, 3> kTextFields{&g_paramAllInstallPath,
                                                      &g_paramBlockCallsign, &g_paramDestination};

// Enter in an integer field: the field's own follow-up once the value is set.
void lf_onIntEnter(EditParameter& p) {
  const int before = p.value();
  if (!lf_processTbInt(p)) return;
  if (&p == &g_paramCustomMaxPark || &p == &g_paramParkingPercentage) {
    lf_announceAdjustment();
  } else if (&p == &g_paramLateralRange) {
    g_standFileParamsChanged.store(true);
    gf_setTrafficRadius(static_cast<double>(p.value()));
  } else if (&p == &g_paramMaxLive) {
    if (g_parkStandsReady.load()) {
      g_standFileParamsChanged.store(true);
    } else {
      g_userMaxLive.store(p.value());
    }
    g_enforceMaxLiveRequested.store(true);
  } else if (&p == &g_paramMatchingDepth && p.value() > before) {
    g_clearNoMatchesRequested.store(true);
  }
}

void lf_onTextEnter(StringEditParameter& p) {
  if (&p == &g_paramBlockCallsign) {
    lf_processTbBlockCallsign();
  } else if (&p == &g_paramDestination) {
    lf_processTbDestination();
  } else {
    lf_processTbInstallPath(lf_getTextFromId(p.controlId));
  }
}

template <typename Parameter>
LRESULT lf_passOn(Parameter& p, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return CallWindowProcW(reinterpret_cast<WNDPROC>(p.previousProc), w, m, wp, lp);
}

std::string lf_upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), gf_asciiUpper);
  return text;
}

void lf_setControlEnabled(GuiControl& control, bool enabled) {
  if (HWND window = control.hwnd.load(); window != nullptr) EnableWindow(window, enabled);
}

}  // namespace

LRESULT CALLBACK lf_intFieldProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  EditParameter* p = lf_findField(kIntFields, w);
  return p != nullptr ? lf_TbIntProc(*p, w, m, wp, lp) : DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK lf_floatFieldProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  FloatEditParameter* p = lf_findField(kFloatFields, w);
  return p != nullptr ? lf_TbFloatProc(*p, w, m, wp, lp) : DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK lf_textFieldProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  StringEditParameter* p = lf_findField(kTextFields, w);
  return p != nullptr ? lf_TbStringProc(*p, w, m, wp, lp) : DefWindowProcW(w, m, wp, lp);
}

LRESULT lf_TbIntProc(EditParameter& p, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_CHAR || wp != kEnter) return lf_passOn(p, w, m, wp, lp);
  gf_clearMessage();
  lf_onIntEnter(p);
  return 0;
}

LRESULT lf_TbFloatProc(FloatEditParameter& p, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_CHAR || wp != kEnter) return lf_passOn(p, w, m, wp, lp);
  gf_clearMessage();
  // MAX_FIT_FL belongs to the park airport: it changes only while its stands are loaded.
  if (g_parkStandsReady.load() && lf_processTbFloat(p)) lf_announceAdjustment();
  return 0;
}

LRESULT lf_TbStringProc(StringEditParameter& p, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_CHAR || wp != kEnter) return lf_passOn(p, w, m, wp, lp);
  gf_clearMessage();
  lf_onTextEnter(p);
  return 0;
}

std::string lf_getTextFromId(std::uint16_t id) {
  HWND window = g_hWnd.load();
  HWND control = window != nullptr ? GetDlgItem(window, id) : nullptr;
  if (control == nullptr) return {};
  WCHAR buffer[kMaxFieldChars + 1] = {};
  const int length = GetWindowTextW(control, buffer, kMaxFieldChars + 1);
  try {
    return Utf16ToUtf8(std::basic_string_view<WCHAR>(buffer, static_cast<std::size_t>(length)));
  } catch (const win32::Utf8ConversionException& e) {
    gf_logIfActive(fmt::format("{} {}", "lf_getTextFromId", e.what()));
    return {};
  }
}

bool lf_processTbInt(EditParameter& p) {
  const std::string text = lf_getTextFromId(p.controlId);
  const bool stored = &p != &g_paramParkingPercentage;  // it belongs to the stand file
  bool set = false;
  try {
    if (text.empty()) {
      p.setValue(stored ? std::clamp(p.defaultValue, p.minValue, p.maxValue) : 0);
      set = true;
    } else if (const int n = std::stoi(text); n == p.value()) {
      gf_showMessage(fmt::format("Same {} value {}, no changes made", p.name, n), true);
    } else {
      p.setValue(std::clamp(n, p.minValue, p.maxValue));
      set = true;
    }
    if (set && stored) gf_saveIntParameter(p);
    if (set) gf_showMessage(fmt::format("The new {} is {}", p.name, p.value()), false);
  } catch (const std::invalid_argument&) {
    gf_showMessage(fmt::format("invalid input: {}", text), true);
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{}: {}, h={} ", "lf_processTbInt", e.what(), text));
  }
  gf_showIntParameter(p);  // a rejected entry disappears from the field
  return set;
}

bool lf_processTbFloat(FloatEditParameter& p) {
  const std::string text = lf_getTextFromId(p.controlId);
  EditParameter& halfHours = g_paramMaxFit;
  bool set = false;
  try {
    if (text.empty()) {
      p.setValue(p.defaultValue);
      halfHours.setValue(halfHours.defaultValue);
      set = true;
    } else if (const float hours = std::stof(text); hours == p.value()) {
      gf_showMessage(fmt::format("Same {} value {}, no changes made", p.name, hours), true);
    } else {
      const float clamped = std::clamp(hours, p.minValue, p.maxValue);
      halfHours.setValue(std::clamp(static_cast<int>(std::lround(2.0f * clamped)) - 1,
                                    halfHours.minValue, halfHours.maxValue));
      // The hours snap to whole half hours.
      p.setValue(std::clamp(static_cast<float>(halfHours.value()) * 0.5f + 0.5f, p.minValue,
                            p.maxValue));
      set = true;
    }
    if (set) {
      gf_saveIntParameter(halfHours);
      gf_showMessage(fmt::format("The new {} is {:.1F}", p.name, p.value()), false);
    }
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{}: {}, h={} ", "lf_processTbFloat", e.what(), text));
  }
  gf_showFloatParameter(p);
  return set;
}

void lf_announceAdjustment() {
  if (!g_parkStandsReady.load()) return;
  g_standFileParamsChanged.store(true);
  if (g_paramInitialLoadOnly.value()) {
    gf_clearMessage();
    return;
  }
  constexpr std::uint32_t kDutyReports = 15;  // the tick takes the request every 15 reports
  const std::uint32_t s = kDutyReports - g_reportSeconds.load() % kDutyReports;
  gf_showMessage(fmt::format("{} will respond in {} second{} ...", g_programName, s, gf_plural(s)),
                 false);
  g_parkAdjustRequested.store(true);
}

void lf_processTbInstallPath(const std::string& text) {
  g_mainWindowState.storeText(&MainWindowState::errorText, std::string(), kStatusArea);
  gf_clearMessage();
  if (text.empty()) {
    if (!g_paramSimInstallPath.value().empty()) gf_setStringParameter(g_paramSimInstallPath, "");
    return;
  }
  std::error_code error;
  if (!std::filesystem::exists(gf_winPath(text), error)) {
    gf_showMessage(fmt::format("This install path does not exist: {}", text), true);
    return;
  }
  gf_setStringParameter(g_paramSimInstallPath, text);
  gf_showMessage(gf_withProgramName("Install path exists, {} will restart"), true);
  gf_requestRestartAfterError(3);
}

void lf_processTbBlockCallsign() {
  gf_clearMessage();
  const std::string text = lf_getTextFromId(g_paramBlockCallsign.controlId);
  if (text.empty()) {
    if (!g_paramBlockCallsign.value().empty()) lf_unblockCallsign();
    return;
  }
  if (text.size() < kMinCallsignChars || text.size() > kMaxCallsignChars) {
    gf_showMessage(fmt::format("callsign \"{}\" is not valid", text), true);
    gf_showStringParameter(g_paramBlockCallsign);
    return;
  }
  const std::string callsign = lf_upper(text);
  if (callsign == g_paramBlockCallsign.value()) {
    gf_showMessage(fmt::format("callsign \"{}\" was already set ...", callsign), true);
    gf_showStringParameter(g_paramBlockCallsign);
    return;
  }
  g_paramBlockCallsign.setValue(callsign);
  gf_saveStringParameter(g_paramBlockCallsign);
  gf_showStringParameter(g_paramBlockCallsign);
  lf_setControlEnabled(g_paramUnblock, true);
  gf_showMessage(fmt::format("live aircraft with callsign \"{}\" will be blocked", callsign), true);
  g_blockRequested.store(true);
}

void lf_unblockCallsign() {
  const std::string old = g_paramBlockCallsign.value();
  if (old.empty()) return;
  g_paramBlockCallsign.setValue(std::string());
  gf_saveStringParameter(g_paramBlockCallsign);
  gf_showStringParameter(g_paramBlockCallsign);
  lf_setControlEnabled(g_paramUnblock, false);
  gf_showMessage(fmt::format("no more blocking of live aircraft \"{}\"", old), true);
  g_blockRequested.store(true);
}

void lf_processTbDestination() {
  gf_clearMessage();
  const std::string text = lf_getTextFromId(g_paramDestination.controlId);
  if (text.empty()) {
    g_paramDestination.setValue(std::string());  // not written to parameters.xml
    lf_setControlEnabled(g_paramReread, true);
    gf_showMessage("destination set to empty", true);
    return;
  }
  if (text.size() != kAirportCodeChars) {
    gf_showMessage(fmt::format("destination \"{}\" is not valid", text), true);
    gf_showStringParameter(g_paramDestination);
    return;
  }
  const std::string code = lf_upper(text);
  if (code == g_paramDestination.value()) {
    gf_showMessage(fmt::format("destination \"{}\" was already set ...", code), true);
    gf_showStringParameter(g_paramDestination);
    return;
  }
  // The airport list and the park airports belong to the worker: it looks the code up.
  gf_requestDestination(code);
}

void gf_applyDestinationRequest() {
  const std::optional<std::string> code = gf_takeDestinationRequest();
  if (!code) return;
  if (const std::optional<AirportEntry> airport = gf_findAirport(*code)) {
    lf_setDestination(*code, LatLon{airport->lat, airport->lon});
    return;
  }
  gf_showMessage(fmt::format("destination \"{}\" is unknown ...", *code), true);
  gf_showStringParameter(g_paramDestination);
}

void lf_setDestination(const std::string& code, const LatLon& position) {
  g_paramDestination.setValue(code);
  gf_saveStringParameter(g_paramDestination);
  gf_showStringParameter(g_paramDestination);
  gf_showMessage(fmt::format("New destination: {}", code), true);
  lf_makeParkAirport(code, position);
  lf_setControlEnabled(g_paramReread, false);
}
