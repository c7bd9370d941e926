// The window controls of the settings: check boxes, push buttons and edit fields. GUI thread.
#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/text_file.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kCheckBoxStyle = 0x50000002;  // WS_CHILD | WS_VISIBLE | BS_CHECKBOX
constexpr DWORD kButtonStyle = 0x50000001;    // WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON
constexpr DWORD kEditStyle = 0x50800000;      // WS_CHILD | WS_VISIBLE | WS_BORDER
constexpr int kCheckBoxSize = 12;             // pixels, square
constexpr int kCheckBoxOffsetY = 2;           // below the row, pixels
constexpr int kButtonHeight = 20;
constexpr int kEditHeight = 16;

HMENU lf_idAsMenu(std::uint16_t controlId) {
  return reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId));
}

HWND lf_createChild(const WCHAR* className, const WString& caption, DWORD style, int x, int y,
                    int width, int height, HWND parent, std::uint16_t controlId, HINSTANCE instance,
                    const std::string& name) {
  HWND window = CreateWindowExW(0, className, caption.c_str(), style, x, y, width, height, parent,
                                lf_idAsMenu(controlId), instance, nullptr);
  if (window == nullptr) {
    gf_logError(
        fmt::format("the control of {} could not be created, error {}", name, GetLastError()));
  }
  return window;
}

}  // namespace

void CheckBoxParameter::createCheckBox(HWND parent, HINSTANCE instance, int x) {
  HWND window = lf_createChild(WIDE("button"), WString(), kCheckBoxStyle, x,
                               static_cast<int>(y) + kCheckBoxOffsetY, kCheckBoxSize, kCheckBoxSize,
                               parent, controlId, instance, name);
  hwnd.store(window);
  if (window == nullptr) return;
  CheckDlgButton(parent, controlId, value() ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(window, TRUE);
}

void ButtonParameter::createButton(HWND parent, HINSTANCE instance, int x, int width) {
  HWND window = lf_createChild(WIDE("button"), Utf8ToUtf16(name), kButtonStyle, x,
                               static_cast<int>(y), width, kButtonHeight, parent, controlId,
                               instance, name);
  hwnd.store(window);
  if (window != nullptr) EnableWindow(window, FALSE);
}

void GuiControl::createEdit(HWND parent, HINSTANCE instance, int x, int width, ControlProc proc) {
  HWND window =
      lf_createChild(WIDE("Edit"), WString(), kEditStyle, x, static_cast<int>(y), width, kEditHeight,
                     parent, controlId, instance, fmt::format("control {}", controlId));
  hwnd.store(window);
  if (window == nullptr) return;
  // The subclass procedure hands every message it does not handle to previousProc.
  previousProc = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  EnableWindow(window, FALSE);
}

void GuiControl::enable() {
  if (HWND window = hwnd.load(); window != nullptr) EnableWindow(window, TRUE);
}
