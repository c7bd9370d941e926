// Painting of the main window: the title band, the lamps and counters, the labels, the park
// statistics and the status line. GUI thread, WM_PAINT only; other threads store values into
// g_mainWindowState and invalidate.
#include <fmt/format.h>

#include <string>

#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/text_file.h"
#include "foundation/version.h"
#include "shell/panel_text.h"
#include "shell/shell.h"

namespace {

constexpr RECT kTitleArea{0, 0, 880, 28};
constexpr RECT kSimLamp{397, 30, 425, 112};
constexpr RECT kRtLamp{425, 30, 453, 112};
constexpr int kLineRight = 880;
constexpr int kParkLineStep = 28;  // pixels between the two park-statistics lines
constexpr std::uint32_t kLampGreen = 1;
constexpr std::uint32_t kLampYellow = 2;
constexpr std::uint32_t kLampHidden = 3;

// The texts, copied under the window mutex once per paint.
struct PanelTexts {
  std::string status, error, userAcTitle, parkName, parkPublisher, parkQuality, simName,
      rtVersion, userStand, parkAirport, reservedStand;
};

PanelTexts lf_copyTexts() {
  const MainWindowState& s = g_mainWindowState;
  std::lock_guard lock(s.mutex);
  return PanelTexts{s.statusText,      s.errorText,         s.userAcTitleText, s.parkAirportNameText,
                    s.parkPublisherText, s.parkQualityText, s.simName,         s.rtVersionText,
                    s.userStand,       s.parkAirportText,   s.reservedStandText};
}

HBRUSH lf_brushOf(COLORREF colour) {
  const MainWindowState& s = g_mainWindowState;
  switch (colour) {
    case kGreen: return s.greenBrush;
    case kYellow: return s.yellowBrush;
    case kRed: return s.redBrush;
    default: return s.blackBrush;
  }
}

COLORREF lf_readerColour(std::uint32_t lamp) { return lamp == kLampGreen ? kGreen : kYellow; }

void lf_line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

void lf_paintBackground(HDC dc, bool error) {
  const MainWindowState& s = g_mainWindowState;
  FillRect(dc, &kTitleArea, s.blackBrush);
  FillRect(dc, &kLampsArea, s.blackBrush);
  FillRect(dc, &kSettingsArea, s.lightBlueBrush);
  FillRect(dc, &kParkArea, s.blackBrush);
  FillRect(dc, &kStatusArea, error ? s.redBrush : s.greenBrush);
  SelectObject(dc, s.whitePen);
  for (int y : {28, 113, 449, 392}) lf_line(dc, 0, y, kLineRight, y);
  SetBkMode(dc, TRANSPARENT);
}

void lf_paintTitleAndLines(HDC dc) {
  lf_textOut(dc, 3, 7, fmt::format("Version {}", g_version.toString()), kGreen);
  lf_textOut(dc, 390, 7, g_programName, kGreen);
  lf_textOut(dc, 632, 7, g_metaCopyright.defaultValue, kGreen);
  SelectObject(dc, g_mainWindowState.blackPen);
  for (const SeparatorLine& l : g_mainWindowState.separatorLines) lf_line(dc, l.x1, l.y1, l.x2, l.y2);
  lf_line(dc, 642, 140, 642, 308);
}

void lf_paintSimulator(HDC dc, const PanelTexts& t) {
  const MainWindowState& s = g_mainWindowState;
  const bool connected = s.simConnected.load() != 0;
  const COLORREF lamp = !connected ? kRed
                        : (s.simRunningLamp.load() != 0 && !t.userAcTitle.empty()) ? kGreen
                                                                                   : kYellow;
  FillRect(dc, &kSimLamp, lf_brushOf(lamp));
  lf_textOut(dc, 398, 63, "Sim", kBlack);
  const std::string stand = t.userStand.empty() ? "" : ", user stand " + t.userStand;
  lf_textOut(dc, 5, 35, t.simName + stand, lamp);
  lf_textOut(dc, 5, 63, t.userAcTitle, s.userAcModelKnown.load() != 0 ? lamp : kYellow);
}

void lf_paintRealTraffic(HDC dc, const PanelTexts& t) {
  const MainWindowState& s = g_mainWindowState;
  const bool on = s.rtLamp.load() != 0;
  const std::uint32_t traffic = s.trafficLamp.load();
  const std::uint32_t weather = s.weatherLamp.load();
  const COLORREF lamp = s.rtLampWaiting.load() != 0    ? kBlack
                        : (on && traffic == kLampGreen) ? kGreen
                        : on                            ? kYellow
                                                        : kRed;
  FillRect(dc, &kRtLamp, lf_brushOf(lamp));
  lf_textOut(dc, 430, 63, "RT", lamp == kBlack ? kGrey : kBlack);
  if (!on) return;
  lf_textOut(dc, 458, 35, t.rtVersion, kGreen);
  if (weather != kLampHidden) lf_textOut(dc, 458, 63, "Weather", lf_readerColour(weather));
  if (traffic != kLampHidden) lf_textOut(dc, 458, 91, "Traffic", lf_readerColour(traffic));
  if (weather == kLampGreen || weather == kLampYellow) {
    lf_textOut(dc, 642, 63, fmt::format("qnh: {:4}", s.qnhShown.load()), kGreen);
  }
  if (traffic == kLampGreen || traffic == kLampYellow) {
    lf_textOut(dc, 642, 91, fmt::format("live: {:3}", s.liveCount.load()), kGreen);
  }
}

// A count of 0 is still being worked out (a scan or a read in progress).
void lf_paintCounts(HDC dc) {
  const MainWindowState& s = g_mainWindowState;
  const std::uint64_t liveries = s.liveryCount.load();
  lf_textOut(dc, 5, 91, liveries == 0 ? "# liveries: ..." : fmt::format("# liveries: {}", liveries),
             liveries == 0 ? kRed : kGreen);
  if (s.airportsScanDone.load() != 0) {
    lf_textOut(dc, 141, 91, fmt::format("# {}: {}", g_simaddonName, s.simaddonFileCount.load()),
               kGreen);
  } else {
    lf_textOut(dc, 141, 91, fmt::format("# {}: ...", g_simaddonName), kYellow);
  }
  const std::uint64_t thirdparty = s.thirdpartyFileCount.load();
  lf_textOut(dc, 278, 91,
             thirdparty == 0 ? "# thirdp: ..." : fmt::format("# thirdp: {}", thirdparty),
             thirdparty == 0 ? kYellow : kGreen);
}

void lf_paintParkFirstLine(HDC dc, const PanelTexts& t, int y) {
  const MainWindowState& s = g_mainWindowState;
  const bool valid = s.parkAirportValid.load() != 0;
  lf_textOut(dc, 5, y, t.parkAirport, valid ? kGreen : kYellow);
  if (valid) {
    lf_textOut(dc, 85, y,
               fmt::format(" {}, {}{}, wk={}", t.parkName, t.parkPublisher,
                           s.parkHandmade.load() != 0 ? " (h)" : "", s.parkTrafficWeek.load()),
               kGreen);
  }
  if (s.staticMarker.load() != 0) lf_textOut(dc, 370, y, "*S*", kGreen);
  lf_textOut(dc, 430, y, fmt::format("qf: {}", t.parkQuality), kGreen);
  if (!t.reservedStand.empty()) {
    lf_textOut(dc, 571, y, fmt::format("reserved stand: {}", t.reservedStand),
               s.reservedStandKnown.load() != 0 ? kGreen : kRed);
  }
  lf_textOut(dc, 748, y, fmt::format("# updates: {:4}", s.standUpdates.load()), kGreen);
}

void lf_paintParkSecondLine(HDC dc, int y) {
  const MainWindowState& s = g_mainWindowState;
  lf_textOut(dc, 5, y, fmt::format("# stands: {:3}", s.standCount.load()), kGreen);
  lf_textOut(dc, 111, y, fmt::format("parked live: {:3}", s.parkedLiveCount.load()), kGreen);
  if (const float fit = s.liveAverageFit.load(); fit > 0.0f) {
    lf_textOut(dc, 249, y, fmt::format("average fit: {:.1F}", fit), kGreen);
  }
  lf_textOut(dc, 430, y, fmt::format("parked static: {:3}", s.parkedStaticCount.load()), kGreen);
  if (const float fit = s.staticAverageFit.load(); !g_paramWeek.value() && fit > 0.0f) {
    lf_textOut(dc, 571, y, fmt::format("average fit: {:.1F}", fit), kGreen);
  }
  const std::int32_t target = s.parkTarget.load();
  lf_textOut(dc, 708, y,
             target == 0 ? std::string("no max park live")
                         : fmt::format("max park: {:3} (={} %)", target, s.maxPark.load()),
             kGreen);
}

void lf_paintStatusLine(HDC dc, const PanelTexts& t) {
  const std::string& line = t.error.empty() ? t.status : t.error;
  if (!line.empty()) lf_textOut(dc, 3, 455, line, kYellow);
}

}  // namespace

void lf_textOut(HDC dc, int x, int y, const std::string& text, COLORREF colour) {
  try {
    const WString wide = Utf8ToUtf16(text);
    SetTextColor(dc, colour);
    TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
  } catch (const win32::Utf8ConversionException& e) {
    gf_logIfActive(fmt::format("{} conversion exception {}, error code: {}", "lf_textOut", e.what(),
                               e.errorCode()));
  } catch (const std::exception& e) {
    gf_logIfActive(fmt::format("{} {}", "lf_textOut", e.what()));
  }
}

void lf_textOutEnabled(HDC dc, int x, int y, const std::string& text, bool enabled) {
  lf_textOut(dc, x, y, text, enabled ? kBlack : kGrey);
}

void lf_HandleWMPAINT(HDC dc) {
  g_mainWindowState.hdc.store(dc);
  const PanelTexts texts = lf_copyTexts();
  lf_paintBackground(dc, !texts.error.empty());
  lf_paintTitleAndLines(dc);
  lf_paintSimulator(dc, texts);
  lf_paintRealTraffic(dc, texts);
  lf_paintCounts(dc);
  lf_paintSettingLabels(dc);
  if (!texts.parkAirport.empty()) {
    const int y = static_cast<int>(g_mainWindowState.parkSectionY.load());
    lf_paintParkFirstLine(dc, texts, y);
    lf_paintParkSecondLine(dc, y + kParkLineStep);
  }
  lf_paintStatusLine(dc, texts);
  g_mainWindowState.hdc.store(nullptr);
}
