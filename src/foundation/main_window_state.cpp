// The one MainWindowState object and its small helpers.
#include "foundation/main_window_state.h"

#include <utility>

MainWindowState g_mainWindowState;

std::atomic<HWND>& g_hWnd = g_mainWindowState.hWnd;
std::atomic<std::uint8_t>& g_simConnected = g_mainWindowState.simConnected;
std::string& g_simName = g_mainWindowState.simName;
std::string& g_rtVersionText = g_mainWindowState.rtVersionText;
std::atomic<std::uint8_t>& g_rtLamp = g_mainWindowState.rtLamp;
std::atomic<std::uint8_t>& g_rtLampWaiting = g_mainWindowState.rtLampWaiting;
std::atomic<std::uint8_t>& g_airportsScanDone = g_mainWindowState.airportsScanDone;

MainWindowState::MainWindowState()
    : mainWindowX("MAIN_WINDOW_X", 400, -30000, 30000),
      mainWindowY("MAIN_WINDOW_Y", 20, -30000, 30000),
      redBrush(CreateSolidBrush(0x0000FF)),
      lightBlueBrush(CreateSolidBrush(0xFFCC99)),
      blackBrush(CreateSolidBrush(0x000000)),
      greenBrush(CreateSolidBrush(0x32CD32)),
      yellowBrush(CreateSolidBrush(0x00FFFF)),
      blackPen(CreatePen(PS_SOLID, 1, 0x000000)),
      whitePen(CreatePen(PS_SOLID, 1, 0xFFFFFF)),
      separatorLines{{{0, 140, 880, 140},
                      {0, 168, 642, 168},
                      {0, 196, 642, 196},
                      {0, 224, 642, 224},
                      {0, 252, 642, 252},
                      {0, 280, 642, 280},
                      {0, 308, 880, 308}}} {
  ready.store(1);
}

MainWindowState::~MainWindowState() {
  hWnd.store(nullptr);
  hdc.store(nullptr);
}

void MainWindowState::storeText(std::string MainWindowState::*field, std::string value,
                                const RECT& area) {
  {
    std::lock_guard lock(mutex);
    this->*field = std::move(value);
  }
  invalidate(area);
}

std::string MainWindowState::text(std::string MainWindowState::*field) const {
  std::lock_guard lock(mutex);
  return this->*field;
}

void MainWindowState::invalidate(const RECT& area) const {
  if (HWND window = hWnd.load(); window != nullptr) InvalidateRect(window, &area, TRUE);
}
