// The "Edit" class: a single-line field with a caret, the editing keys and horizontal scrolling.
// Colours come from the parent (WM_CTLCOLOREDIT, or WM_CTLCOLORSTATIC while disabled).
#include "platform/gui_controls.h"
#include "platform/gui_state.h"
#include "platform/render_text.h"

#include <algorithm>
#include <cstdlib>

namespace platform {
namespace {

// Pixels between the client edge and the text.
constexpr int kTextMargin = 1;

struct EditState {
  bool valid = false;
  bool enabled = true;
  bool focused = false;
  WString text;
  std::size_t caret = 0;
  int scrollX = 0;
  RECT client{};
  HWND parent = nullptr;
};

EditState lf_read(HWND window) {
  EditState s;
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return s;
  s.valid = true;
  s.enabled = gf_enabledChainLocked(*w);
  s.focused = w->queue->focus == window;
  s.text = w->text;
  s.caret = std::min(w->caret, w->text.size());
  s.scrollX = w->scrollX;
  s.client = gf_clientRectLocked(*w);
  s.parent = w->parent;
  return s;
}

// Keeps the caret inside the visible part and scrolls back when text was removed.
void lf_scrollToCaret(EditState& s) {
  const int visible = std::max<int>(s.client.right - 2 * kTextMargin - 1, 1);
  const int caretX = gf_textWidth(std::u16string_view(s.text).substr(0, s.caret));
  const int total = gf_textWidth(s.text);
  if (caretX - s.scrollX > visible) s.scrollX = caretX - visible;
  if (caretX < s.scrollX) s.scrollX = caretX;
  if (total - s.scrollX < visible) s.scrollX = std::max(0, total - visible);
}

void lf_write(HWND window, EditState& s, bool textChanged) {
  lf_scrollToCaret(s);
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return;
  if (textChanged) w->text = s.text;
  w->caret = std::min(s.caret, w->text.size());
  w->scrollX = s.scrollX;
  gf_invalidateLocked(*w, nullptr, true);
}

bool lf_isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool lf_isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Caret steps never split a surrogate pair.
std::size_t lf_previous(const WString& t, std::size_t i) {
  if (i == 0) return 0;
  --i;
  if (i > 0 && lf_isLow(t[i]) && lf_isHigh(t[i - 1])) --i;
  return i;
}

std::size_t lf_next(const WString& t, std::size_t i) {
  if (i >= t.size()) return t.size();
  ++i;
  if (i < t.size() && lf_isLow(t[i]) && lf_isHigh(t[i - 1])) ++i;
  return i;
}

void lf_onChar(HWND window, char16_t c) {
  EditState s = lf_read(window);
  if (!s.valid || !s.enabled) return;
  if (c == VK_BACK) {
    if (s.caret == 0) return;
    const std::size_t from = lf_previous(s.text, s.caret);
    s.text.erase(from, s.caret - from);
    s.caret = from;
  } else if (c >= 0x20 && c != 0x7F) {
    if (s.text.size() >= kEditTextLimit) return;
    s.text.insert(s.caret, 1, c);
    ++s.caret;
  } else {
    return;  // Enter, Escape, Tab and other control characters change nothing
  }
  lf_write(window, s, true);
}

void lf_onKey(HWND window, UINT key) {
  EditState s = lf_read(window);
  if (!s.valid || !s.enabled) return;
  bool changed = false;
  switch (key) {
    case VK_LEFT: s.caret = lf_previous(s.text, s.caret); break;
    case VK_RIGHT: s.caret = lf_next(s.text, s.caret); break;
    case VK_HOME: s.caret = 0; break;
    case VK_END: s.caret = s.text.size(); break;
    case VK_DELETE:
      if (s.caret >= s.text.size()) return;
      s.text.erase(s.caret, lf_next(s.text, s.caret) - s.caret);
      changed = true;
      break;
    default: return;
  }
  lf_write(window, s, changed);
}

void lf_onClick(HWND window, int x) {
  EditState s = lf_read(window);
  if (!s.valid || !s.enabled) return;
  gf_setFocus(window);
  // The caret goes to the character boundary nearest to the click.
  const int target = x - kTextMargin + s.scrollX;
  std::size_t best = 0;
  int bestDistance = std::abs(target);
  for (std::size_t i = lf_next(s.text, 0); i <= s.text.size() && i > 0;) {
    const int distance = std::abs(gf_textWidth(std::u16string_view(s.text).substr(0, i)) - target);
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
    if (i == s.text.size()) break;
    i = lf_next(s.text, i);
  }
  s.caret = best;
  lf_write(window, s, false);
}

void lf_paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc == nullptr) return;
  const EditState s = lf_read(window);
  SetTextColor(dc, s.enabled ? 0x000000 : kGrayTextColor);
  SetBkColor(dc, s.enabled ? kWindowColor : kFaceColor);
  SetBkMode(dc, OPAQUE);
  HBRUSH brush = nullptr;
  if (s.parent != nullptr) {
    brush = reinterpret_cast<HBRUSH>(
        SendMessageW(s.parent, s.enabled ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                     reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
  }
  if (brush == nullptr) brush = gf_layerBrush(s.enabled ? kWindowColor : kFaceColor);
  FillRect(dc, &s.client, brush);
  const int height = gf_fontMetrics().height;
  const int y = (s.client.bottom - height) / 2;
  TextOutW(dc, kTextMargin - s.scrollX, y, s.text.c_str(), static_cast<int>(s.text.size()));
  if (s.focused && s.enabled) {
    const int x = kTextMargin - s.scrollX +
                  gf_textWidth(std::u16string_view(s.text).substr(0, s.caret));
    HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, x, std::max(y, 0), nullptr);
    LineTo(dc, x, std::min<int>(y + height, s.client.bottom));
    SelectObject(dc, old);
  }
  EndPaint(window, &ps);
}

}  // namespace

LRESULT gf_editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: lf_paint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_CHAR: lf_onChar(window, static_cast<char16_t>(wParam)); return 0;
    case WM_KEYDOWN: lf_onKey(window, static_cast<UINT>(wParam)); return 0;
    case WM_LBUTTONDOWN: lf_onClick(window, GET_X_LPARAM(lParam)); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE: InvalidateRect(window, nullptr, TRUE); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform
