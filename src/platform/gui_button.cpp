// The "button" class: push buttons (BS_PUSHBUTTON, BS_DEFPUSHBUTTON) and check boxes
// (BS_CHECKBOX, which never changes its own state: the parent decides on BN_CLICKED).
#include "platform/gui_controls.h"
#include "platform/gui_state.h"
#include "platform/render_text.h"

#include <algorithm>

namespace platform {
namespace {

struct ButtonLook {
  DWORD type = BS_PUSHBUTTON;
  bool enabled = true;
  bool pressed = false;
  UINT check = BST_UNCHECKED;
  WString caption;
  RECT client{};
  HWND parent = nullptr;
};

ButtonLook lf_look(HWND window) {
  ButtonLook look;
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return look;
  look.type = w->style & BS_TYPEMASK;
  look.enabled = gf_enabledChainLocked(*w);
  look.pressed = w->pressed;
  look.check = w->check;
  look.caption = w->text;
  look.client = gf_clientRectLocked(*w);
  look.parent = w->parent;
  return look;
}

void lf_frame(HDC dc, const RECT& r, COLORREF color, int thickness) {
  HBRUSH brush = gf_layerBrush(color);
  const RECT edges[4] = {{r.left, r.top, r.right, r.top + thickness},
                         {r.left, r.bottom - thickness, r.right, r.bottom},
                         {r.left, r.top, r.left + thickness, r.bottom},
                         {r.right - thickness, r.top, r.right, r.bottom}};
  for (const RECT& e : edges) FillRect(dc, &e, brush);
}

void lf_paintCheckBox(HWND window, HDC dc, const ButtonLook& look) {
  if (look.parent != nullptr) {
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(look.parent, WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(window)));
    if (brush != nullptr) FillRect(dc, &look.client, brush);
  }
  const LONG side = std::min(look.client.right, look.client.bottom);
  const LONG top = (look.client.bottom - side) / 2;
  const RECT box{0, top, side, top + side};
  FillRect(dc, &box, gf_layerBrush(look.enabled ? kWindowColor : kFaceColor));
  lf_frame(dc, box, look.enabled ? 0x333333 : 0xBCBCBC, 1);
  if (look.check == BST_UNCHECKED) return;
  // The tick: a short stroke down to the lower third, then a long one up to the right.
  HPEN pen = CreatePen(PS_SOLID, 2, look.enabled ? 0x000000 : 0xA0A0A0);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, box.left + side / 4, box.top + side / 2, nullptr);
  LineTo(dc, box.left + side / 2 - 1, box.top + side * 3 / 4);
  LineTo(dc, box.left + side * 3 / 4 + 1, box.top + side / 4 - 1);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void lf_paintPushButton(HDC dc, const ButtonLook& look) {
  COLORREF face = 0xE1E1E1;
  COLORREF border = look.type == BS_DEFPUSHBUTTON ? kFocusColor : 0xADADAD;
  COLORREF text = 0x000000;
  if (!look.enabled) {
    face = 0xCCCCCC;
    border = 0xBFBFBF;
    text = 0x838383;
  } else if (look.pressed) {
    face = 0xF7E4CC;
  }
  FillRect(dc, &look.client, gf_layerBrush(face));
  lf_frame(dc, look.client, border, look.type == BS_DEFPUSHBUTTON && look.enabled ? 2 : 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text);
  const int width = gf_textWidth(look.caption);
  const int x = (look.client.right - width) / 2;
  const int y = (look.client.bottom - gf_fontMetrics().height) / 2;
  TextOutW(dc, x, y, look.caption.c_str(), static_cast<int>(look.caption.size()));
}

void lf_paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc == nullptr) return;
  const ButtonLook look = lf_look(window);
  if (look.type == BS_CHECKBOX) {
    lf_paintCheckBox(window, dc, look);
  } else {
    lf_paintPushButton(dc, look);
  }
  EndPaint(window, &ps);
}

// Sets the pressed look; returns whether the button is enabled.
bool lf_setPressed(HWND window, bool pressed, bool* wasPressed) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return false;
  if (wasPressed != nullptr) *wasPressed = w->pressed;
  const bool enabled = gf_enabledChainLocked(*w);
  const bool now = pressed && enabled;
  if (w->pressed != now) {
    w->pressed = now;
    gf_invalidateLocked(*w, nullptr, true);
  }
  return enabled;
}

}  // namespace

LRESULT gf_buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: lf_paint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
      if (lf_setPressed(window, true, nullptr)) gf_setFocus(window);
      return 0;
    case WM_LBUTTONUP: {
      bool wasPressed = false;
      if (!lf_setPressed(window, false, &wasPressed) || !wasPressed) return 0;
      RECT client;
      GetClientRect(window, &client);
      const int x = GET_X_LPARAM(lParam);
      const int y = GET_Y_LPARAM(lParam);
      if (x < client.left || x >= client.right || y < client.top || y >= client.bottom) return 0;
      if (HWND parent = GetParent(window)) {
        SendMessageW(parent, WM_COMMAND,
                     MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(window)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(window));
      }
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE: InvalidateRect(window, nullptr, TRUE); return 0;
    case BM_GETCHECK:
    case BM_SETCHECK: {
      std::lock_guard lock(gf_gui().mutex);
      HWND__* w = gf_findLocked(window);
      LRESULT result = 0;
      if (w != nullptr) gf_applyStateMessageLocked(*w, message, wParam, lParam, &result);
      return result;
    }
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
