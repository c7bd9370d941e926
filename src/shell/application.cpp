// The application: the window class, the main window, the message loop and the window procedure,
// the one meeting point of the GUI thread with the worker. GUI thread.
#include <fmt/format.h>

#include <filesystem>
#include <stdexcept>

#include "airports/airports.h"
#include "foundation/day_slots.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "shell/shell.h"

namespace {

constexpr UINT kTitleResource = 101;
constexpr WORD kIconResource = 100;
constexpr int kTitleMaxChars = 100;  // UTF-16 units of the title resource
constexpr COLORREF kEditBackground = RGB(153, 204, 255);

LRESULT lf_controlColours(WPARAM wParam) {
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, kEditBackground);
  return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
}

void lf_onClose() {
  gf_showMessage(gf_withProgramName("Close window button clicked, closing {} ..."), false);
  gf_requestClose();
}

void lf_onQuit() {
  lf_saveWindowPosition();
  gf_log(gf_ctime(gf_wallClockNow()));
  gf_closeLog();
  PostQuitMessage(0);
}

void lf_onPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc != nullptr) lf_HandleWMPAINT(dc);
  EndPaint(window, &paint);
}

LRESULT lf_dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_hWnd.store(window);  // the parent of the controls, also while they are created
      lf_createControls(window, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT: lf_onPaint(window); return 0;
    case WM_CLOSE: lf_onClose(); return 0;  // the worker's closing sequence ends the program
    case WM_COMMAND:
      if (lf_HandleWMCOMMAND(window, LOWORD(wParam))) return 0;
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: return lf_controlColours(wParam);
    case kStartWorkerMessage: lf_startWorker(); return 0;
    case kQuitMessage: lf_onQuit(); return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::string gf_withProgramName(std::string_view format) {
  return fmt::format(fmt::runtime(format), g_programName, g_programName);
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return lf_dispatch(window, message, wParam, lParam);
  } catch (const std::exception& e) {
    gf_logError(fmt::format("WndProc message {} exception {}", message, e.what()));
  } catch (...) {
    gf_logError(fmt::format("WndProc message {} exception", message));
  }
  return 0;
}

bool lf_registerMainClass(HINSTANCE instance, const WString& title) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = CreateSolidBrush(RGB(0, 0, 0));
  windowClass.lpszClassName = title.c_str();
  windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
  return RegisterClassExW(&windowClass) != 0;
}

void lf_fillShellHooks() {
  g_settingsShellHooks.checkVersionUpdate = lf_checkVersionUpdate;
  g_settingsShellHooks.showIntParameter = gf_showIntParameter;
  g_settingsShellHooks.showStringParameter = gf_showStringParameter;
  g_airportsShellHooks.autoRange = gf_autoRange;
  g_airportsShellHooks.setRadius = gf_setRadius;
  g_airportsShellHooks.showFloatParameter = gf_showFloatParameter;
}

int gf_runApplication(HINSTANCE instance) {
  WCHAR titleBuffer[kTitleMaxChars + 1] = {};
  const int titleLength = LoadStringW(instance, kTitleResource, titleBuffer, kTitleMaxChars + 1);
  if (titleLength <= 0) {
    gf_log("Failed to load application title");
    return 0;
  }
  const WString title(titleBuffer, static_cast<std::size_t>(titleLength));
  if (!lf_registerMainClass(instance, title)) {
    gf_log("Failed to register window class");
    return 0;
  }
  lf_fillShellHooks();
  if (!initInstance(instance, title)) {
    gf_log("initInstance failed");
    return 0;
  }
  try {
    std::filesystem::create_directories(g_appDataFolder);
  } catch (const std::filesystem::filesystem_error& e) {
    gf_log(fmt::format("Failed to create directory: {}", e.what()));
  }
  if (HWND window = g_hWnd.load(); window != nullptr) {
    PostMessageW(window, kStartWorkerMessage, 0, 0);
  }
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorW(msg.hwnd, nullptr, &msg) == 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  lf_stopWorker();
  return static_cast<int>(msg.wParam);
}
