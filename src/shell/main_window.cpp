// The main window: its creation at the stored position, its 39 controls and where each sits,
// and the window position kept in parameters.xml. GUI thread.
#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>
#include <variant>

#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/settings_file.h"
#include "shell/shell.h"

namespace {

constexpr int kWindowWidth = 880;   // outer size, pixels; the window is not resizable
constexpr int kWindowHeight = 516;
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU;
constexpr int kReadyWaits = 18;     // waits for the window state before giving up
constexpr auto kReadyWait = std::chrono::milliseconds(50);

// One control of the window: the setting that owns it, where it sits and, for an edit field,
// the procedure that applies its text on Enter.
struct IntField {
  EditParameter* parameter;
};
struct FloatField {
  FloatEditParameter* parameter;
};
struct TextField {
  StringEditParameter* parameter;
};
using ControlOwner =
    std::variant<CheckBoxParameter*, ButtonParameter*, IntField, FloatField, TextField>;

struct ControlPlace {
  ControlOwner owner;
  int x;      // pixels
  int width;  // pixels; check boxes are 12 x 12
};

// In creation order. The rows come from the settings (buttons already sit two pixels above
// theirs); the ALL_INSTALL_PATH field is wider than the window and is clipped by it.
const std::array<ControlPlace, 39> kControls{{
    {TextField{&g_paramAllInstallPath}, 111, 1200},
    {&g_paramScanLiveries, 5, 0},
    {&g_paramLigAutomatic, 217, 0},
    {&g_paramLigPrioritize, 430, 0},
    {&g_paramSuppressStub, 536, 0},
    {&g_paramLog, 652, 0},
    {&g_paramAlwaysOnTop, 748, 0},
    {&g_paramScanAirports, 5, 0},
    {&g_paramAfgAutomatic, 217, 0},
    {&g_paramNavLightsWhileParked, 652, 0},
    {&g_paramLearnSoft, 748, 0},
    {IntField{&g_paramMatchingDepth}, 217, 24},
    {&g_paramLightAircraft, 323, 0},
    {&g_paramHelicopters, 430, 0},
    {&g_paramHighPerfAircraft, 536, 0},
    {&g_paramAerowinx, 652, 0},
    {&g_paramGuidChanges, 748, 0},
    {IntField{&g_paramLateralRange}, 217, 34},
    {&g_paramAutoRange, 323, 0},
    {IntField{&g_paramAutoRangeAboveHeight}, 455, 50},
    {&g_paramCollisionUserGnd, 217, 0},
    {&g_paramCollisionUserAir, 323, 0},
    {&g_paramCollisionLiveParkedGnd, 430, 0},
    {TextField{&g_paramBlockCallsign}, 217, 100},
    {&g_paramUnblock, 323, 70},
    {IntField{&g_paramCustomMaxPark}, 353, 34},
    {IntField{&g_paramMaxLive}, 601, 34},
    {TextField{&g_paramDestination}, 217, 50},
    {IntField{&g_paramAirportRange}, 353, 34},
    {IntField{&g_paramAirportHeight}, 566, 50},
    {&g_paramStraightPbsOnly, 652, 0},
    {&g_paramParkFake, 5, 0},
    {&g_paramWeek, 71, 0},
    {&g_paramParkSoft, 151, 0},
    {IntField{&g_paramParkingPercentage}, 323, 34},
    {&g_paramInitialLoadOnly, 430, 0},
    {FloatField{&g_paramMaxFitFl}, 566, 34},
    {&g_paramReread, 758, 90},
    {&g_paramFlushStatic, 758, 90},
}};

void lf_createControl(const ControlPlace& place, HWND parent, HINSTANCE instance) {
  struct Create {
    const ControlPlace& place;
    HWND parent;
    HINSTANCE instance;
    void operator()(CheckBoxParameter* box) const { box->createCheckBox(parent, instance, place.x); }
    void operator()(ButtonParameter* button) const {
      button->createButton(parent, instance, place.x, place.width);
    }
    void operator()(IntField f) const {
      f.parameter->createEdit(parent, instance, place.x, place.width, lf_intFieldProc);
    }
    void operator()(FloatField f) const {
      f.parameter->createEdit(parent, instance, place.x, place.width, lf_floatFieldProc);
    }
    void operator()(TextField f) const {
      f.parameter->createEdit(parent, instance, place.x, place.width, lf_textFieldProc);
    }
  };
  std::visit(Create{place, parent, instance}, place.owner);
}

bool lf_atLimit(const IntParameter& p) {
  return p.value() == p.minValue || p.value() == p.maxValue;
}

// A stored position that sits at a limit belongs to a window pushed off the screen: it is
// replaced by the default and saved at once.
void lf_readWindowPosition() {
  pugi::xml_document document;
  if (!document.load_file(g_parametersFile.c_str())) return;
  for (IntParameter* p : {&g_mainWindowState.mainWindowX, &g_mainWindowState.mainWindowY}) {
    p->read(document, false);
    if (lf_atLimit(*p)) {
      p->setValue(std::clamp(p->defaultValue, p->minValue, p->maxValue));
      gf_saveIntParameter(*p);
    }
  }
}

}  // namespace

bool initInstance(HINSTANCE instance, const WString& title) {
  for (int wait = 0; g_mainWindowState.ready.load() == 0; ++wait) {
    if (wait == kReadyWaits) return false;
    std::this_thread::sleep_for(kReadyWait);
  }
  lf_readWindowPosition();
  HWND window = CreateWindowExW(0, title.c_str(), title.c_str(), kWindowStyle,
                                g_mainWindowState.mainWindowX.value(),
                                g_mainWindowState.mainWindowY.value(), kWindowWidth, kWindowHeight,
                                nullptr, nullptr, instance, nullptr);
  g_hWnd.store(window);
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return UpdateWindow(window) != FALSE;
}

void lf_createControls(HWND parent, const CREATESTRUCTW& create) {
  for (const ControlPlace& place : kControls) lf_createControl(place, parent, create.hInstance);
  InvalidateRect(parent, &kSettingsArea, TRUE);
}

void lf_correctWindowPosition(int x, int y) {
  const std::array<std::pair<IntParameter*, int>, 2> settings{
      {{&g_mainWindowState.mainWindowX, x}, {&g_mainWindowState.mainWindowY, y}}};
  for (auto [p, previous] : settings) {
    if (!lf_atLimit(*p)) continue;
    p->setValue(std::clamp(previous, p->minValue, p->maxValue));
    gf_saveIntParameter(*p);
  }
}

void lf_saveWindowPosition() {
  HWND window = g_hWnd.load();
  RECT frame{};
  if (window == nullptr || !GetWindowRect(window, &frame)) return;
  IntParameter& x = g_mainWindowState.mainWindowX;
  IntParameter& y = g_mainWindowState.mainWindowY;
  const int previousX = x.value();
  const int previousY = y.value();
  x.setValue(std::clamp(static_cast<int>(frame.left), x.minValue, x.maxValue));
  gf_saveIntParameter(x);
  y.setValue(std::clamp(static_cast<int>(frame.top), y.minValue, y.maxValue));
  gf_saveIntParameter(y);
  lf_correctWindowPosition(previousX, previousY);
}
