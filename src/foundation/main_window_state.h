// The main window's shared state: the window handle and painting resources, the status and
// error lines, the lamps, counters and texts that every subsystem shows, and the window-position
// settings. One global object, g_mainWindowState, built at static initialisation.
//
// Threads: every thread writes into it and then invalidates the window; only WM_PAINT on the GUI
// thread draws. The texts are read and written under `mutex` (the window mutex; no other lock is
// taken while it is held, apart from the log's). Counters, flags and lamps are relaxed atomics:
// single stores that the painter may see one paint late.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "foundation/parameters.h"
#include "platform/win32.h"

// The window areas that writers invalidate (client coordinates).
inline constexpr RECT kLampsArea{0, 28, 880, 112};      // lamps, counters, QNH
inline constexpr RECT kSettingsArea{0, 112, 880, 392};  // controls and their labels
inline constexpr RECT kParkArea{0, 392, 880, 448};      // park-airport statistics
inline constexpr RECT kStatusArea{0, 448, 880, 476};    // the status / error line

struct SeparatorLine {
  std::int32_t x1, y1, x2, y2;
};

class MainWindowState {
 public:
  MainWindowState();
  virtual ~MainWindowState();
  MainWindowState(const MainWindowState&) = delete;
  MainWindowState& operator=(const MainWindowState&) = delete;

  // Stores a text under the window mutex and invalidates area (when the window exists).
  void storeText(std::string MainWindowState::*field, std::string text, const RECT& area);
  // A copy of a text, taken under the window mutex.
  std::string text(std::string MainWindowState::*field) const;
  // InvalidateRect(hWnd, area, TRUE) when the window exists; any thread.
  void invalidate(const RECT& area) const;

  IntParameter mainWindowX;  // MAIN_WINDOW_X, left edge in pixels
  IntParameter mainWindowY;  // MAIN_WINDOW_Y, top edge in pixels

  // GDI objects for the painter; made once, never deleted.
  HBRUSH redBrush;        // 0x0000FF: error line, red lamps
  HBRUSH lightBlueBrush;  // 0xFFCC99: settings area
  HBRUSH blackBrush;      // 0x000000: window background
  HBRUSH greenBrush;      // 0x32CD32: status line, green lamps
  HBRUSH yellowBrush;     // 0x00FFFF: yellow lamps
  HPEN blackPen;          // separator lines
  HPEN whitePen;          // band borders

  // Horizontal lines between the settings rows, drawn with blackPen.
  const std::array<SeparatorLine, 7> separatorLines;

  mutable std::mutex mutex;  // the window mutex: guards the texts below and the status painting

  std::atomic<HDC> hdc{nullptr};    // device context of the paint in progress (GUI thread)
  std::atomic<HWND> hWnd{nullptr};  // the main window; set by the GUI thread when created

  // Texts, guarded by `mutex`.
  std::string statusText;           // status line (gf_showMessage)
  std::string errorText;            // error line (gf_showError); when set, the line is red
  std::string userAcTitleText;      // the user aircraft's title
  std::string parkAirportNameText;  // name of the park airport from its stand file
  std::string parkPublisherText;    // publisher of the park airport's scenery
  std::string parkQualityText;      // quality factor of the park airport's stand file
  std::string simName;              // the simulator's application name
  std::string rtVersionText;        // RealTraffic's version and edition
  std::string userStand;            // the stand of the user aircraft
  // The engine's texts of the park statistics, published by the worker for the painter.
  std::string parkAirportText;    // the park airport's display text; empty: no park airport
  std::string reservedStandText;  // the stand reserved for the user; empty: none

  std::atomic<float> staticAverageFit{-1.0f};  // half hours; -1 = not computed
  std::atomic<float> liveAverageFit{-1.0f};    // half hours; -1 = not computed
  std::atomic<std::uint64_t> liveCount{0};
  std::atomic<std::uint64_t> simaddonFileCount{0};    // stand files in my_ORBX
  std::atomic<std::uint64_t> thirdpartyFileCount{0};  // stand files in my_thirdparty
  std::atomic<std::uint64_t> liveryCount{0};
  std::atomic<std::uint64_t> parkedLiveCount{0};
  std::atomic<std::uint64_t> parkedStaticCount{0};
  std::atomic<std::uint64_t> standCount{0};
  std::atomic<std::uint32_t> parkSectionY{399};  // y of the first park-statistics line, pixels
  std::atomic<std::uint32_t> maxPark{0};         // wanted share of the stands, percent
  std::atomic<std::uint32_t> qnhShown{0};        // hPa
  std::atomic<std::int32_t> parkTarget{0};       // wanted static parked aircraft; 0 = none
  std::atomic<std::int32_t> parkTrafficWeek{0};  // the park stand file's "RT_traffic_week"
  std::atomic<std::uint32_t> nextRenewalMinutes{0};
  std::atomic<std::uint32_t> statusSeconds{0};  // display clock, counted by the running flight
  std::atomic<std::uint32_t> statusTimer{0};    // statusSeconds when the message was shown
  std::atomic<std::uint32_t> standUpdates{0};   // learned stand updates of this run
  std::atomic<std::uint8_t> parkHandmade{0};
  std::atomic<std::uint8_t> rtLampWaiting{1};
  std::atomic<std::uint8_t> rtLamp{0};
  std::atomic<std::uint8_t> parkAirportValid{0};
  std::atomic<std::uint8_t> simConnected{0};
  std::atomic<std::uint8_t> simRunningLamp{0};
  std::atomic<std::uint8_t> userAcModelKnown{1};
  std::atomic<std::uint8_t> airportsScanDone{1};
  std::atomic<std::uint8_t> staticMarker{0};
  std::atomic<std::uint8_t> reservedStandKnown{0};
  std::atomic<std::uint8_t> ready{0};         // set last in the constructor
  std::atomic<std::uint32_t> trafficLamp{3};  // 1 green, 2 yellow, 3 not shown
  std::atomic<std::uint32_t> weatherLamp{3};  // as trafficLamp
};

extern MainWindowState g_mainWindowState;

// Short names of members that many files use.
extern std::atomic<HWND>& g_hWnd;
extern std::atomic<std::uint8_t>& g_simConnected;
extern std::string& g_simName;        // under g_mainWindowState.mutex
extern std::string& g_rtVersionText;  // under g_mainWindowState.mutex
extern std::atomic<std::uint8_t>& g_rtLamp;
extern std::atomic<std::uint8_t>& g_rtLampWaiting;
extern std::atomic<std::uint8_t>& g_airportsScanDone;
