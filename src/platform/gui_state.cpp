// Window registry, per-thread queues, window geometry and invalidation.
#include "platform/gui_state.h"

#include "platform/backend_interface.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace platform {

ThreadQueue::ThreadQueue()
    : thread(std::this_thread::get_id()), wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ThreadQueue::~ThreadQueue() {
  if (wakeFd >= 0) close(wakeFd);
}

void ThreadQueue::wake() const {
  if (wakeFd < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wakeFd, &one, sizeof one);
}

void ThreadQueue::drainWake() const {
  if (wakeFd < 0) return;
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = read(wakeFd, &count, sizeof count);
}

GuiState& gf_gui() {
  static GuiState* state = new GuiState;  // never destroyed: used until the process ends
  return *state;
}

std::shared_ptr<ThreadQueue> gf_currentQueue() {
  thread_local std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
  return queue;
}

bool gf_isEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT gf_intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (gf_isEmpty(r)) return RECT{};
  return r;
}

RECT gf_unite(const RECT& a, const RECT& b) {
  if (gf_isEmpty(a)) return b;
  if (gf_isEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

RECT gf_offset(const RECT& r, int dx, int dy) {
  // Saturates: rectangles handed in by callers may lie anywhere.
  const auto add = [](LONG v, int d) {
    return static_cast<LONG>(std::clamp<long long>(0LL + v + d, std::numeric_limits<LONG>::min(),
                                                   std::numeric_limits<LONG>::max()));
  };
  return RECT{add(r.left, dx), add(r.top, dy), add(r.right, dx), add(r.bottom, dy)};
}

HWND__* gf_findLocked(HWND window) {
  if (window == nullptr) return nullptr;
  auto& windows = gf_gui().windows;
  const auto it = windows.find(window);
  return it == windows.end() ? nullptr : it->second.get();
}

HWND__* gf_topLevelLocked(HWND__& window) {
  HWND__* w = &window;
  while (w->parent != nullptr) {
    HWND__* parent = gf_findLocked(w->parent);
    if (parent == nullptr) break;
    w = parent;
  }
  return w;
}

bool gf_isOwnerThread(const HWND__& window) {
  return window.queue->thread == std::this_thread::get_id();
}

bool gf_enabledChainLocked(HWND__& window) {
  for (HWND__* w = &window; w != nullptr; w = gf_findLocked(w->parent)) {
    if (!w->enabled) return false;
  }
  return true;
}

bool gf_visibleChainLocked(HWND__& window) {
  for (HWND__* w = &window; w != nullptr; w = gf_findLocked(w->parent)) {
    if (!w->visible) return false;
  }
  return true;
}

RECT gf_nonClientLocked(const HWND__& window) {
  if (window.parent == nullptr && (window.style & WS_CAPTION) == WS_CAPTION) {
    return RECT{kFrameWidth, kFrameWidth + kCaptionHeight, kFrameWidth, kFrameWidth};
  }
  if ((window.style & WS_BORDER) != 0) return RECT{1, 1, 1, 1};
  return RECT{};
}

RECT gf_clientRectLocked(const HWND__& window) {
  const RECT nc = gf_nonClientLocked(window);
  const LONG w = window.rect.right - window.rect.left - nc.left - nc.right;
  const LONG h = window.rect.bottom - window.rect.top - nc.top - nc.bottom;
  return RECT{0, 0, std::max<LONG>(w, 0), std::max<LONG>(h, 0)};
}

POINT gf_surfaceOriginLocked(HWND__& window) {
  if (window.parent == nullptr) return POINT{0, 0};
  HWND__* parent = gf_findLocked(window.parent);
  if (parent == nullptr) return POINT{0, 0};
  const POINT p = gf_surfaceOriginLocked(*parent);
  const RECT nc = gf_nonClientLocked(window);
  return POINT{p.x + window.rect.left + nc.left, p.y + window.rect.top + nc.top};
}

RECT gf_surfaceClipLocked(HWND__& window) {
  const POINT origin = gf_surfaceOriginLocked(window);
  RECT clip = gf_offset(gf_clientRectLocked(window), origin.x, origin.y);
  if (window.parent != nullptr) {
    if (HWND__* parent = gf_findLocked(window.parent)) {
      clip = gf_intersect(clip, gf_surfaceClipLocked(*parent));
    }
  }
  return clip;
}

RECT gf_screenClientRectLocked(HWND__& window) {
  const RECT nc = gf_nonClientLocked(window);
  RECT r = gf_offset(gf_clientRectLocked(window), window.rect.left + nc.left,
                     window.rect.top + nc.top);
  if (window.parent != nullptr) {
    if (HWND__* parent = gf_findLocked(window.parent)) {
      const RECT p = gf_screenClientRectLocked(*parent);
      r = gf_offset(r, p.left, p.top);
    }
  }
  return r;
}

void gf_invalidateLocked(HWND__& window, const RECT* rect, bool erase) {
  const RECT client = gf_clientRectLocked(window);
  const RECT part = rect != nullptr ? gf_intersect(*rect, client) : client;
  if (gf_isEmpty(part)) return;
  window.update = gf_unite(window.update, part);
  window.erase = window.erase || erase;
  PaintOp op;
  op.kind = PaintOp::Kind::invalidate;
  op.window = reinterpret_cast<HWND>(&window);
  op.rect = part;
  gf_recordLocked(window, std::move(op));
  // A parent repaints over its children, so every child it covers repaints afterwards.
  for (HWND child : window.children) {
    HWND__* c = gf_findLocked(child);
    if (c == nullptr) continue;
    if (!gf_isEmpty(gf_intersect(c->rect, part))) gf_invalidateLocked(*c, nullptr, true);
  }
  window.queue->wake();
}

void gf_recordLocked(HWND__& window, PaintOp op) {
  HWND__* top = gf_topLevelLocked(window);
  if (!top->surface) return;
  auto& record = top->surface->record;
  if (record.size() >= kPaintRecordLimit) record.pop_front();
  record.push_back(std::move(op));
}

void gf_setTextLocked(HWND__& window, const WString& text) {
  window.text = text;
  if (window.kind == ControlKind::edit) {
    if (window.text.size() > kEditTextLimit) window.text.resize(kEditTextLimit);
    window.caret = 0;
    window.scrollX = 0;
  }
  if (window.parent == nullptr && window.backend != nullptr) window.backend->setTitle(window);
  gf_invalidateLocked(window, nullptr, true);
}

static bool lf_isCheckBox(const HWND__& window) {
  return window.kind == ControlKind::button && (window.style & BS_TYPEMASK) == BS_CHECKBOX;
}

bool gf_applyStateMessageLocked(HWND__& window, UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT* result) {
  switch (message) {
    case WM_SETTEXT: {
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      gf_setTextLocked(window, text != nullptr ? WString(text) : WString());
      *result = TRUE;
      return true;
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<LPWSTR>(lParam);
      const std::size_t room = static_cast<std::size_t>(wParam);
      if (buffer == nullptr || room == 0) {
        *result = 0;
        return true;
      }
      const std::size_t n = std::min(window.text.size(), room - 1);
      std::memcpy(buffer, window.text.data(), n * sizeof(WCHAR));
      buffer[n] = 0;
      *result = static_cast<LRESULT>(n);
      return true;
    }
    case WM_GETTEXTLENGTH:
      *result = static_cast<LRESULT>(window.text.size());
      return true;
    case BM_SETCHECK:
      if (lf_isCheckBox(window) && window.check != static_cast<UINT>(wParam)) {
        window.check = static_cast<UINT>(wParam);
        gf_invalidateLocked(window, nullptr, true);
      }
      *result = 0;
      return true;
    case BM_GETCHECK:
      *result = lf_isCheckBox(window) ? static_cast<LRESULT>(window.check) : 0;
      return true;
    default:
      return false;
  }
}

void gf_setFocus(HWND window) {
  auto queue = gf_currentQueue();
  HWND previous = nullptr;
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(window);
    if (window != nullptr && (w == nullptr || !gf_isOwnerThread(*w))) return;
    previous = queue->focus;
    if (previous == window) return;
    queue->focus = window;
    if (HWND__* old = gf_findLocked(previous)) gf_invalidateLocked(*old, nullptr, true);
    if (w != nullptr) gf_invalidateLocked(*w, nullptr, true);
  }
  if (previous != nullptr) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window != nullptr) SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

}  // namespace platform
