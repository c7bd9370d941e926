// Test access: input through the same routing as real input, pumping, framebuffer, PNG and
// the paint record.
#include "platform/backend_interface.h"
#include "platform/gui_state.h"
#include "platform/png_writer.h"
#include "platform/render_framebuffer.h"

namespace platform {
namespace {

char16_t lf_characterOfKey(UINT key) {
  switch (key) {
    case VK_RETURN: return 13;
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    case VK_SPACE: return u' ';
    default: return 0;
  }
}

UINT lf_keyOfCharacter(char16_t c) {
  if (c == u'\r' || c == u'\n') return VK_RETURN;
  if (c == u'\b') return VK_BACK;
  if (c >= u'a' && c <= u'z') return c - u'a' + u'A';
  return c < 0x80 ? c : 0;
}

void lf_key(HWND topLevel, UINT key, char16_t c) {
  InputEvent e;
  e.kind = InputEvent::Kind::key;
  e.topLevel = topLevel;
  e.virtualKey = key;
  e.character = c;
  gf_deliverInput(e);
}

}  // namespace

std::string gf_backendName(HWND window) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return {};
  HWND__* top = gf_topLevelLocked(*w);
  return top->backend != nullptr ? top->backend->name() : "";
}

void gf_clickAt(HWND topLevel, int x, int y) {
  InputEvent e;
  e.topLevel = topLevel;
  e.x = x;
  e.y = y;
  e.kind = InputEvent::Kind::mouseDown;
  gf_deliverInput(e);
  e.kind = InputEvent::Kind::mouseUp;
  gf_deliverInput(e);
}

void gf_clickWindow(HWND window) {
  HWND top = nullptr;
  POINT centre{};
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(window);
    if (w == nullptr) return;
    top = reinterpret_cast<HWND>(gf_topLevelLocked(*w));
    const POINT o = gf_surfaceOriginLocked(*w);
    const RECT c = gf_clientRectLocked(*w);
    centre = POINT{o.x + c.right / 2, o.y + c.bottom / 2};
  }
  gf_clickAt(top, centre.x, centre.y);
}

void gf_typeText(HWND topLevel, const WString& text) {
  for (char16_t c : text) lf_key(topLevel, lf_keyOfCharacter(c), c == u'\n' ? u'\r' : c);
}

void gf_pressKey(HWND topLevel, UINT virtualKey) {
  lf_key(topLevel, virtualKey, lf_characterOfKey(virtualKey));
}

void gf_clickCloseBox(HWND topLevel) {
  InputEvent e;
  e.kind = InputEvent::Kind::close;
  e.topLevel = topLevel;
  gf_deliverInput(e);
}

HWND gf_focusWindow(HWND topLevel) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* top = gf_findLocked(topLevel);
  if (top == nullptr) return nullptr;
  HWND__* focus = gf_findLocked(top->queue->focus);
  return (focus != nullptr && gf_topLevelLocked(*focus) == top) ? top->queue->focus : nullptr;
}

bool gf_isTopmost(HWND topLevel) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* top = gf_findLocked(topLevel);
  return top != nullptr && top->topmost;
}

Framebuffer gf_readFramebuffer(HWND topLevel) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* top = gf_findLocked(topLevel);
  if (top == nullptr || !top->surface) return {};
  return top->surface->framebuffer;
}

COLORREF gf_pixelAt(HWND topLevel, int x, int y) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* top = gf_findLocked(topLevel);
  if (top == nullptr || !top->surface) return CLR_INVALID;
  const Framebuffer& fb = top->surface->framebuffer;
  if (x < 0 || y < 0 || x >= fb.width || y >= fb.height) return CLR_INVALID;
  return gf_colorrefFromPixel(fb.pixels[static_cast<std::size_t>(y) * fb.width + x]);
}

bool gf_saveWindowPng(HWND topLevel, const std::string& path, std::string* error) {
  const Framebuffer fb = gf_readFramebuffer(topLevel);
  return gf_writePng(path, fb, error);
}

std::vector<PaintOp> gf_paintRecord(HWND topLevel) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* top = gf_findLocked(topLevel);
  if (top == nullptr || !top->surface) return {};
  return {top->surface->record.begin(), top->surface->record.end()};
}

void gf_clearPaintRecord(HWND topLevel) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* top = gf_findLocked(topLevel);
  if (top != nullptr && top->surface) top->surface->record.clear();
}

}  // namespace platform
