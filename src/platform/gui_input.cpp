// Routing of mouse, key and window-manager input: hit test, capture, keyboard focus. Input for
// a disabled window (or a window inside a disabled one) is dropped here.
#include "platform/backend_interface.h"
#include "platform/gui_state.h"

#include <chrono>

namespace platform {
namespace {

DWORD lf_now() {
  using namespace std::chrono;
  return static_cast<DWORD>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The deepest visible window at a client point of `window`; the point is made client-relative
// to the window found.
HWND__* lf_hitTestLocked(HWND__& window, int& x, int& y) {
  // Later children lie above earlier ones.
  for (auto it = window.children.rbegin(); it != window.children.rend(); ++it) {
    HWND__* c = gf_findLocked(*it);
    if (c == nullptr || !c->visible) continue;
    if (x < c->rect.left || x >= c->rect.right || y < c->rect.top || y >= c->rect.bottom) continue;
    const RECT nc = gf_nonClientLocked(*c);
    x -= c->rect.left + nc.left;
    y -= c->rect.top + nc.top;
    return lf_hitTestLocked(*c, x, y);
  }
  return &window;
}

POINT lf_clientOffsetInTopLocked(HWND__& window) {
  return gf_surfaceOriginLocked(window);  // the surface is the top-level client area
}

void lf_postLocked(HWND__& target, UINT message, WPARAM wParam, LPARAM lParam) {
  target.queue->messages.push_back(
      MSG{reinterpret_cast<HWND>(&target), message, wParam, lParam, lf_now(), {}, 0});
  target.queue->wake();
}

void lf_mouseLocked(HWND__& top, const InputEvent& e) {
  int x = e.x;
  int y = e.y;
  HWND__* target = lf_hitTestLocked(top, x, y);
  auto& queue = *top.queue;
  if (e.kind == InputEvent::Kind::mouseUp) {
    if (HWND__* captured = gf_findLocked(queue.capture)) {
      target = captured;
      const POINT o = lf_clientOffsetInTopLocked(*captured);
      x = e.x - o.x;
      y = e.y - o.y;
    }
    queue.capture = nullptr;
  }
  if (!gf_enabledChainLocked(*target)) return;
  if (e.kind == InputEvent::Kind::mouseDown) queue.capture = reinterpret_cast<HWND>(target);
  lf_postLocked(*target, e.kind == InputEvent::Kind::mouseDown ? WM_LBUTTONDOWN : WM_LBUTTONUP,
                e.kind == InputEvent::Kind::mouseDown ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}

void lf_keyLocked(HWND__& top, const InputEvent& e) {
  const auto lParam = static_cast<LPARAM>(
      1 | (static_cast<ULONG_PTR>(e.character) << kKeyCharShift));
  top.queue->messages.push_back(MSG{reinterpret_cast<HWND>(&top), WM_KEYDOWN, e.virtualKey,
                                    lParam, lf_now(), {}, kRouteToFocus});
  top.queue->wake();
}

}  // namespace

void gf_deliverInput(const InputEvent& e) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* top = gf_findLocked(e.topLevel);
  if (top == nullptr || top->parent != nullptr) return;
  switch (e.kind) {
    case InputEvent::Kind::mouseDown:
    case InputEvent::Kind::mouseUp: lf_mouseLocked(*top, e); break;
    case InputEvent::Kind::key: lf_keyLocked(*top, e); break;
    case InputEvent::Kind::close: lf_postLocked(*top, WM_CLOSE, 0, 0); break;
    case InputEvent::Kind::moved: {
      const RECT r = top->rect;
      top->rect = gf_offset(r, e.x - r.left, e.y - r.top);
      break;
    }
    case InputEvent::Kind::expose:
      if (top->backend != nullptr) {
        top->backend->present(*top, RECT{e.x, e.y, e.x + e.width, e.y + e.height});
      }
      break;
  }
}

}  // namespace platform
