// Message queues: posting, sending, the blocking GetMessageW with WM_PAINT synthesis, dispatch
// and the default window procedure.
#include "platform/backend_interface.h"
#include "platform/gui_controls.h"
#include "platform/gui_state.h"

#include <poll.h>

#include <chrono>

namespace platform {
namespace {

enum class Take { message, quit, none };

bool lf_matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && m.hwnd != window) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return m.message >= filterMin && m.message <= filterMax;
}

DWORD lf_tickMs() {
  using namespace std::chrono;
  return static_cast<DWORD>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Takes the next message of the queue: posted and input messages in order, then WM_QUIT,
// then WM_PAINT for the first visible window (parents before children) with an update region.
Take lf_takeLocked(ThreadQueue& queue, MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  for (auto it = queue.messages.begin(); it != queue.messages.end();) {
    MSG m = *it;
    if (m.lPrivate == kRouteToFocus) {
      // Keys go to the focus window as it is when they are taken, like a keyboard queue.
      HWND__* top = gf_findLocked(m.hwnd);
      HWND__* target = top;
      if (HWND__* focus = gf_findLocked(queue.focus)) {
        if (top != nullptr && gf_topLevelLocked(*focus) == top) target = focus;
      }
      if (target == nullptr || !gf_enabledChainLocked(*target)) {
        it = queue.messages.erase(it);
        continue;
      }
      m.hwnd = reinterpret_cast<HWND>(target);
      m.lPrivate = 0;
    }
    if (lf_matches(m, window, filterMin, filterMax)) {
      msg = m;
      queue.messages.erase(it);
      return Take::message;
    }
    ++it;
  }
  if (queue.quitPosted) {
    queue.quitPosted = false;
    msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, lf_tickMs(), {}, 0};
    return Take::quit;
  }
  for (HWND h : queue.windows) {
    HWND__* w = gf_findLocked(h);
    if (w == nullptr || gf_isEmpty(w->update) || !gf_visibleChainLocked(*w)) continue;
    const MSG paint{h, WM_PAINT, 0, 0, lf_tickMs(), {}, 0};
    if (!lf_matches(paint, window, filterMin, filterMax)) continue;
    msg = paint;
    return Take::message;
  }
  return Take::none;
}

void lf_wait(ThreadQueue& queue) {
  if (gf_backendEventsQueued()) return;  // taken by the next gf_pollBackends
  pollfd fds[2] = {{queue.wakeFd, POLLIN, 0}, {gf_backendEventFd(), POLLIN, 0}};
  const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
  poll(fds, count, -1);
  queue.drainWake();
}

void lf_postLocked(ThreadQueue& queue, const MSG& msg) {
  queue.messages.push_back(msg);
  queue.wake();
}

}  // namespace

int gf_pumpMessages() {
  // Bounds a pump when a window never validates its update region.
  constexpr int kMaxMessagesPerPump = 100000;
  auto queue = gf_currentQueue();
  int count = 0;
  while (count < kMaxMessagesPerPump) {
    gf_pollBackends();
    MSG msg{};
    {
      std::lock_guard lock(gf_gui().mutex);
      queue->drainWake();
      Take take = lf_takeLocked(*queue, msg, nullptr, 0, 0);
      if (take == Take::quit) {
        queue->quitPosted = true;  // left for GetMessageW
        take = Take::none;
      }
      if (take == Take::none) break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++count;
  }
  gf_presentPending();
  return count;
}

void gf_presentPending() {
  auto queue = gf_currentQueue();
  {
    std::lock_guard lock(gf_gui().mutex);
    for (HWND h : queue->windows) {
      HWND__* w = gf_findLocked(h);
      if (w == nullptr || !w->surface || gf_isEmpty(w->surface->presentDirty)) continue;
      const RECT dirty = w->surface->presentDirty;
      w->surface->presentDirty = RECT{};
      if (w->backend != nullptr && w->visible) w->backend->present(*w, dirty);
    }
  }
  gf_writeRequestedWindowPng(*queue);
}

}  // namespace platform

using namespace platform;

BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto queue = gf_currentQueue();
  for (;;) {
    gf_pollBackends();
    {
      std::lock_guard lock(gf_gui().mutex);
      if (window != nullptr) {
        HWND__* w = gf_findLocked(window);
        if (w == nullptr || !gf_isOwnerThread(*w)) {
          SetLastError(ERROR_INVALID_WINDOW_HANDLE);
          return -1;
        }
      }
      const Take take = lf_takeLocked(*queue, *msg, window, filterMin, filterMax);
      if (take == Take::message) return msg->message == WM_QUIT ? FALSE : TRUE;
      if (take == Take::quit) return FALSE;
    }
    gf_presentPending();
    lf_wait(*queue);
  }
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(gf_gui().mutex);
  const MSG msg{window, message, wParam, lParam, lf_tickMs(), {}, 0};
  if (window == nullptr) {
    lf_postLocked(*gf_currentQueue(), msg);
    return TRUE;
  }
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  lf_postLocked(*w->queue, msg);
  return TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(window);
    if (w == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (!gf_isOwnerThread(*w)) {
      // Never wait for another thread: state messages act on the state, others are posted.
      LRESULT result = 0;
      if (gf_applyStateMessageLocked(*w, message, wParam, lParam, &result)) return result;
      lf_postLocked(*w->queue, MSG{window, message, wParam, lParam, lf_tickMs(), {}, 0});
      return 0;
    }
    proc = w->proc;
  }
  return proc(window, message, wParam, lParam);
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  WNDPROC proc = nullptr;
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(msg->hwnd);
    if (w == nullptr || !gf_isOwnerThread(*w)) return 0;
    proc = w->proc;
  }
  return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN) return FALSE;
  const auto ch = static_cast<WPARAM>((static_cast<ULONG_PTR>(msg->lParam) >> kKeyCharShift) & 0xFFFF);
  if (ch == 0) return FALSE;
  auto queue = gf_currentQueue();
  std::lock_guard lock(gf_gui().mutex);
  // The character comes next, before later keys, as the keyboard state would give it.
  queue->messages.push_front(MSG{msg->hwnd, WM_CHAR, ch, msg->lParam & 0xFFFFFFFF, msg->time,
                                 msg->pt, 0});
  return TRUE;
}

int TranslateAcceleratorW(HWND, HACCEL, MSG*) { return 0; }  // no accelerator tables

void PostQuitMessage(int exitCode) {
  auto queue = gf_currentQueue();
  std::lock_guard lock(gf_gui().mutex);
  queue->quitPosted = true;
  queue->quitCode = exitCode;
  queue->wake();
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc != nullptr ? proc(window, message, wParam, lParam) : 0;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  std::lock_guard lock(gf_gui().mutex);
  if (window == nullptr) {
    for (auto& [handle, w] : gf_gui().windows) {
      if (w->parent == nullptr) gf_invalidateLocked(*w, nullptr, erase != FALSE);
    }
    return TRUE;
  }
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  gf_invalidateLocked(*w, rect, erase != FALSE);
  return TRUE;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH background = nullptr;
      {
        std::lock_guard lock(gf_gui().mutex);
        HWND__* w = gf_findLocked(window);
        if (w == nullptr) return 0;
        background = w->windowClass->background;
      }
      if (background == nullptr) return 0;
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, background);
      return 1;
    }
    case WM_CTLCOLOREDIT: {
      auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, 0);
      SetBkColor(dc, kWindowColor);
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, 0);
      SetBkColor(dc, kFaceColor);
      return reinterpret_cast<LRESULT>(gf_layerBrush(kFaceColor));
    }
    default: break;
  }
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  LRESULT result = 0;
  if (w != nullptr && message != BM_SETCHECK && message != BM_GETCHECK &&
      gf_applyStateMessageLocked(*w, message, wParam, lParam, &result)) {
    return result;
  }
  return 0;
}
