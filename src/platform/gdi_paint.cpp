// Device contexts of a paint and the drawing calls. Every call checks that its context is still
// live, draws into the top-level window's framebuffer under the gui lock and records itself.
#include "platform/gdi_objects.h"
#include "platform/gui_controls.h"
#include "platform/gui_state.h"
#include "platform/render_text.h"

#include <cstring>

namespace platform {
namespace {

struct Target {
  HDC__* dc = nullptr;
  HWND__* window = nullptr;
  Framebuffer* fb = nullptr;
};

// The live context with its window and framebuffer; dc null when the context is not usable.
Target lf_targetLocked(HDC handle) {
  Target t;
  HDC__* dc = gf_findDcLocked(handle);
  if (dc == nullptr) return t;
  HWND__* w = gf_findLocked(dc->window);
  if (w == nullptr) return t;
  HWND__* top = gf_topLevelLocked(*w);
  if (!top->surface) return t;
  t.dc = dc;
  t.window = w;
  t.fb = &top->surface->framebuffer;
  return t;
}

// Frame of a child window with WS_BORDER, drawn when the window paints.
void lf_drawBorderLocked(HWND__& w) {
  if (w.parent == nullptr || (w.style & WS_BORDER) == 0) return;
  HWND__* parent = gf_findLocked(w.parent);
  HWND__* top = gf_topLevelLocked(w);
  if (parent == nullptr || !top->surface) return;
  const POINT po = gf_surfaceOriginLocked(*parent);
  const RECT outer = gf_offset(w.rect, po.x, po.y);
  const RECT clip = gf_intersect(outer, gf_surfaceClipLocked(*parent));
  COLORREF color = 0x7A7A7A;
  if (!gf_enabledChainLocked(w)) {
    color = 0xCCCCCC;
  } else if (w.queue->focus == reinterpret_cast<HWND>(&w)) {
    color = kFocusColor;
  }
  const std::uint32_t px = gf_pixelFromColorref(color);
  Framebuffer& fb = top->surface->framebuffer;
  gf_fillRect(fb, RECT{outer.left, outer.top, outer.right, outer.top + 1}, px, clip);
  gf_fillRect(fb, RECT{outer.left, outer.bottom - 1, outer.right, outer.bottom}, px, clip);
  gf_fillRect(fb, RECT{outer.left, outer.top, outer.left + 1, outer.bottom}, px, clip);
  gf_fillRect(fb, RECT{outer.right - 1, outer.top, outer.right, outer.bottom}, px, clip);
  HWND__* topWindow = top;
  topWindow->surface->presentDirty = gf_unite(topWindow->surface->presentDirty, clip);
}

}  // namespace

HDC__* gf_findDcLocked(HDC dc) {
  if (dc == nullptr || gf_gui().dcs.count(dc) == 0) return nullptr;
  return dc;
}

}  // namespace platform

using namespace platform;

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (paint == nullptr) return nullptr;
  std::memset(paint, 0, sizeof *paint);
  bool erase = false;
  HDC dc = nullptr;
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(window);
    if (w == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    const RECT update = w->update;
    erase = w->erase;
    w->update = RECT{};
    w->erase = false;
    auto* context = new HDC__;
    context->window = window;
    context->origin = gf_surfaceOriginLocked(*w);
    context->clip = gf_intersect(gf_surfaceClipLocked(*w),
                                 gf_offset(update, context->origin.x, context->origin.y));
    context->brush = GetStockObject(WHITE_BRUSH);
    context->pen = GetStockObject(BLACK_PEN);
    context->font = GetStockObject(SYSTEM_FONT);
    dc = context;
    gf_gui().dcs.insert(dc);
    lf_drawBorderLocked(*w);
    paint->hdc = dc;
    paint->rcPaint = update;
  }
  if (erase) {
    paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  }
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  std::lock_guard lock(gf_gui().mutex);
  HDC__* dc = gf_findDcLocked(paint->hdc);
  if (dc == nullptr || dc->window != window) return FALSE;
  if (HWND__* w = gf_findLocked(window)) {
    HWND__* top = gf_topLevelLocked(*w);
    if (top->surface) top->surface->presentDirty = gf_unite(top->surface->presentDirty, dc->clip);
  }
  gf_gui().dcs.erase(dc);
  delete dc;
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  std::lock_guard lock(gf_gui().mutex);
  HDC__* d = gf_findDcLocked(dc);
  if (d == nullptr || !gf_validObjectLocked(object)) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (object->kind) {
    case HGDIOBJ__::Kind::brush: slot = &d->brush; break;
    case HGDIOBJ__::Kind::pen: slot = &d->pen; break;
    case HGDIOBJ__::Kind::font: slot = &d->font; break;
  }
  HGDIOBJ previous = *slot;
  *slot = object;
  return previous;
}

int SetBkMode(HDC dc, int mode) {
  std::lock_guard lock(gf_gui().mutex);
  HDC__* d = gf_findDcLocked(dc);
  if (d == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = d->bkMode;
  d->bkMode = mode;
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  std::lock_guard lock(gf_gui().mutex);
  HDC__* d = gf_findDcLocked(dc);
  if (d == nullptr) return CLR_INVALID;
  const COLORREF previous = d->bkColor;
  d->bkColor = color & 0xFFFFFF;
  return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  std::lock_guard lock(gf_gui().mutex);
  HDC__* d = gf_findDcLocked(dc);
  if (d == nullptr) return CLR_INVALID;
  const COLORREF previous = d->textColor;
  d->textColor = color & 0xFFFFFF;
  return previous;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (rect == nullptr) return 0;
  std::lock_guard lock(gf_gui().mutex);
  const Target t = lf_targetLocked(dc);
  COLORREF color = 0;
  if (t.dc == nullptr) return 0;
  if (!gf_brushColorLocked(brush, *t.dc, &color)) return 1;
  gf_fillRect(*t.fb, gf_offset(*rect, t.dc->origin.x, t.dc->origin.y),
              gf_pixelFromColorref(color), t.dc->clip);
  PaintOp op;
  op.kind = PaintOp::Kind::fill;
  op.window = t.dc->window;
  op.rect = *rect;
  op.color = color;
  gf_recordLocked(*t.window, std::move(op));
  return 1;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  std::lock_guard lock(gf_gui().mutex);
  HDC__* d = gf_findDcLocked(dc);
  if (d == nullptr) return FALSE;
  if (previous != nullptr) *previous = d->position;
  d->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  std::lock_guard lock(gf_gui().mutex);
  const Target t = lf_targetLocked(dc);
  if (t.dc == nullptr) return FALSE;
  const POINT from = t.dc->position;
  t.dc->position = POINT{x, y};
  const HGDIOBJ pen = t.dc->pen;
  if (!gf_validObjectLocked(pen) || pen->hollow) return TRUE;
  const COLORREF color = pen->dcColor ? t.dc->dcPenColor : pen->color;
  const POINT o = t.dc->origin;
  gf_drawLine(*t.fb, 0LL + from.x + o.x, 0LL + from.y + o.y, 0LL + x + o.x, 0LL + y + o.y,
              gf_pixelFromColorref(color), pen->width, t.dc->clip);
  PaintOp op;
  op.kind = PaintOp::Kind::line;
  op.window = t.dc->window;
  op.rect = RECT{from.x, from.y, x, y};
  op.color = color;
  gf_recordLocked(*t.window, std::move(op));
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int length) {
  if (length < 0 || (text == nullptr && length > 0)) return FALSE;
  std::lock_guard lock(gf_gui().mutex);
  const Target t = lf_targetLocked(dc);
  if (t.dc == nullptr) return FALSE;
  const std::u16string_view view(text != nullptr ? text : u"", static_cast<std::size_t>(length));
  const int width = gf_textWidth(view);
  const RECT cell{x, y, x + width, y + gf_fontMetrics().height};
  const POINT o = t.dc->origin;
  if (t.dc->bkMode == OPAQUE) {
    gf_fillRect(*t.fb, gf_offset(cell, o.x, o.y), gf_pixelFromColorref(t.dc->bkColor),
                t.dc->clip);
  }
  gf_drawText(*t.fb, x + o.x, y + o.y, view, gf_pixelFromColorref(t.dc->textColor), t.dc->clip);
  PaintOp op;
  op.kind = PaintOp::Kind::text;
  op.window = t.dc->window;
  op.rect = cell;
  op.color = t.dc->textColor;
  op.opaque = t.dc->bkMode == OPAQUE;
  op.background = t.dc->bkColor;
  op.text = WString(view);
  gf_recordLocked(*t.window, std::move(op));
  return TRUE;
}
