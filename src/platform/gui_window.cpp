// Window classes, creation and destruction, geometry and the state calls that other threads
// may make on a window (enable, text, check state, position).
#include "platform/backend_interface.h"
#include "platform/gui_controls.h"
#include "platform/gui_state.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

constexpr int kDefaultX = 100;
constexpr int kDefaultY = 100;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

char16_t lf_lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c; }

bool lf_sameClassName(const WString& a, LPCWSTR b) {
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    if (b[i] == 0 || lf_lower(a[i]) != lf_lower(b[i])) return false;
  }
  return b[i] == 0;
}

void lf_registerBuiltinsLocked() {
  auto& classes = gf_gui().classes;
  if (!classes.empty()) return;
  auto button = std::make_shared<WindowClass>();
  button->name = u"Button";
  button->atom = gf_gui().nextAtom++;
  button->proc = gf_buttonProc;
  button->kind = ControlKind::button;
  classes.push_back(button);
  auto edit = std::make_shared<WindowClass>();
  edit->name = u"Edit";
  edit->atom = gf_gui().nextAtom++;
  edit->proc = gf_editProc;
  edit->kind = ControlKind::edit;
  classes.push_back(edit);
}

std::shared_ptr<WindowClass> lf_findClassLocked(LPCWSTR name) {
  lf_registerBuiltinsLocked();
  for (const auto& c : gf_gui().classes) {
    if (IS_INTRESOURCE(name) ? c->atom == reinterpret_cast<ULONG_PTR>(name)
                             : lf_sameClassName(c->name, name)) {
      return c;
    }
  }
  return nullptr;
}

// Collects the window and its descendants, parents before children.
void lf_subtreeLocked(HWND window, std::vector<HWND>& out) {
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return;
  out.push_back(window);
  for (HWND child : w->children) lf_subtreeLocked(child, out);
}

void lf_eraseLocked(HWND window) {
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return;
  if (HWND__* parent = gf_findLocked(w->parent)) std::erase(parent->children, window);
  auto& queue = *w->queue;
  std::erase(queue.windows, window);
  if (queue.focus == window) queue.focus = nullptr;
  if (queue.capture == window) queue.capture = nullptr;
  if (w->backend != nullptr) w->backend->detach(*w);
  gf_gui().windows.erase(window);
}

HWND lf_makeWindowLocked(const std::shared_ptr<WindowClass>& cls, DWORD exStyle,
                         LPCWSTR windowName, DWORD style, int x, int y, int width, int height,
                         HWND parent, HMENU menuOrId, HINSTANCE instance) {
  auto window = std::make_unique<HWND__>();
  HWND__& w = *window;
  w.kind = cls->kind;
  w.windowClass = cls;
  w.queue = gf_currentQueue();
  w.proc = cls->proc;
  w.style = style & ~WS_VISIBLE;
  w.exStyle = exStyle;
  w.parent = parent;
  w.instance = instance;
  w.enabled = (style & WS_DISABLED) == 0;
  w.text = windowName != nullptr ? WString(windowName) : WString();
  if (w.kind == ControlKind::edit && w.text.size() > kEditTextLimit) w.text.resize(kEditTextLimit);
  if (parent != nullptr) {
    w.id = reinterpret_cast<UINT_PTR>(menuOrId);
  }
  if (x == CW_USEDEFAULT) {
    x = parent != nullptr ? 0 : kDefaultX;
    y = parent != nullptr ? 0 : kDefaultY;
  }
  if (width == CW_USEDEFAULT) {
    width = parent != nullptr ? 0 : kDefaultWidth;
    height = parent != nullptr ? 0 : kDefaultHeight;
  }
  w.rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  w.topmost = (exStyle & WS_EX_TOPMOST) != 0;
  if (parent == nullptr) {
    Backend* backend = gf_chooseBackendLocked();
    if (backend == nullptr) return nullptr;
    w.surface = std::make_unique<Surface>();
    const RECT client = gf_clientRectLocked(w);
    w.surface->framebuffer.width = client.right;
    w.surface->framebuffer.height = client.bottom;
    w.surface->framebuffer.pixels.assign(
        static_cast<std::size_t>(client.right) * static_cast<std::size_t>(client.bottom), 0);
    if (!backend->attach(w)) return nullptr;
    w.backend = backend;
  }
  HWND handle = window.get();
  gf_gui().windows.emplace(handle, std::move(window));
  if (HWND__* p = gf_findLocked(parent)) p->children.push_back(handle);
  w.queue->windows.push_back(handle);
  return handle;
}

}  // namespace

HBRUSH gf_layerBrush(COLORREF color) {
  static std::mutex mutex;  // brushes made here are shared by all threads
  static auto* brushes = new std::vector<std::pair<COLORREF, HBRUSH>>;
  std::lock_guard lock(mutex);
  for (const auto& [c, b] : *brushes) {
    if (c == color) return b;
  }
  HBRUSH brush = CreateSolidBrush(color);
  brushes->emplace_back(color, brush);
  return brush;
}

}  // namespace platform

using namespace platform;

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
  if (wc == nullptr || wc->lpfnWndProc == nullptr || wc->lpszClassName == nullptr ||
      IS_INTRESOURCE(wc->lpszClassName) || wc->lpszClassName[0] == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(gf_gui().mutex);
  if (lf_findClassLocked(wc->lpszClassName) != nullptr) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->atom = gf_gui().nextAtom++;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->background = wc->hbrBackground;
  cls->instance = wc->hInstance;
  gf_gui().classes.push_back(cls);
  return cls->atom;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menuOrId,
                     HINSTANCE instance, LPVOID param) {
  HWND handle = nullptr;
  {
    std::lock_guard lock(gf_gui().mutex);
    const auto cls = className != nullptr ? lf_findClassLocked(className) : nullptr;
    if (cls == nullptr) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if ((style & WS_CHILD) != 0) {
      HWND__* p = gf_findLocked(parent);
      if (p == nullptr || !gf_isOwnerThread(*p)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
    } else {
      parent = nullptr;  // owned pop-ups are not part of this layer
    }
    handle = lf_makeWindowLocked(cls, exStyle, windowName, style, x, y, width, height, parent,
                                 menuOrId, instance);
    if (handle == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  }
  CREATESTRUCTW cs{param,     instance, menuOrId, parent,     height,     width,
                   y,         x,        static_cast<LONG>(style), windowName, className,
                   exStyle};
  if (SendMessageW(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0 ||
      SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((style & WS_VISIBLE) != 0) ShowWindow(handle, SW_SHOW);
  return handle;
}

BOOL DestroyWindow(HWND window) {
  std::vector<HWND> subtree;
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(window);
    if (w == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (!gf_isOwnerThread(*w)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return FALSE;
    lf_subtreeLocked(window, subtree);
    for (HWND h : subtree) gf_findLocked(h)->destroying = true;
    if (w->parent != nullptr) {
      if (HWND__* p = gf_findLocked(w->parent)) gf_invalidateLocked(*p, &w->rect, true);
    }
  }
  for (HWND h : subtree) SendMessageW(h, WM_DESTROY, 0, 0);
  for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
    SendMessageW(*it, WM_NCDESTROY, 0, 0);
  }
  std::lock_guard lock(gf_gui().mutex);
  for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) lf_eraseLocked(*it);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  std::lock_guard lock(gf_gui().mutex);
  return gf_findLocked(window) != nullptr ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) return FALSE;
  const bool was = w->visible;
  w->visible = command != SW_HIDE;
  if (w->visible != was) {
    if (w->backend != nullptr) {
      w->backend->show(*w, w->visible);
      if (w->visible) w->backend->setTopmost(*w, w->topmost);
    }
    if (w->visible) {
      gf_invalidateLocked(*w, nullptr, true);
    } else if (HWND__* p = gf_findLocked(w->parent)) {
      gf_invalidateLocked(*p, &w->rect, true);
    }
  }
  return was ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(window);
    if (w == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (!gf_isOwnerThread(*w) || gf_isEmpty(w->update) || !gf_visibleChainLocked(*w)) {
      return TRUE;
    }
  }
  SendMessageW(window, WM_PAINT, 0, 0);
  return TRUE;
}

HWND GetParent(HWND window) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  return w != nullptr ? w->parent : nullptr;
}

HWND GetDlgItem(HWND parent, int id) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* p = gf_findLocked(parent);
  if (p == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND child : p->children) {
    HWND__* c = gf_findLocked(child);
    if (c != nullptr && c->id == static_cast<UINT_PTR>(static_cast<UINT>(id))) return child;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND window) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  return w != nullptr ? static_cast<int>(w->id) : 0;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = w->rect;
  if (HWND__* p = gf_findLocked(w->parent)) {
    const RECT pc = gf_screenClientRectLocked(*p);
    *rect = gf_offset(w->rect, pc.left, pc.top);
  }
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = gf_clientRectLocked(*w);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if ((flags & SWP_NOZORDER) == 0 && w->parent == nullptr &&
      (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)) {
    w->topmost = insertAfter == HWND_TOPMOST;
    if (w->backend != nullptr) w->backend->setTopmost(*w, w->topmost);
  }
  const RECT old = w->rect;
  RECT r = w->rect;
  if ((flags & SWP_NOMOVE) == 0) r = gf_offset(r, x - r.left, y - r.top);
  if ((flags & SWP_NOSIZE) == 0) {
    r.right = r.left + std::max(cx, 0);
    r.bottom = r.top + std::max(cy, 0);
  }
  const bool sized = (r.right - r.left) != (old.right - old.left) ||
                     (r.bottom - r.top) != (old.bottom - old.top);
  if (r.left != old.left || r.top != old.top || sized) {
    w->rect = r;
    if (w->surface && sized) {
      const RECT client = gf_clientRectLocked(*w);
      auto& fb = w->surface->framebuffer;
      fb.width = client.right;
      fb.height = client.bottom;
      fb.pixels.assign(static_cast<std::size_t>(fb.width) * static_cast<std::size_t>(fb.height),
                       0);
    }
    if (w->backend != nullptr) w->backend->moveResize(*w);
    if (HWND__* p = gf_findLocked(w->parent)) {
      gf_invalidateLocked(*p, &old, true);
      gf_invalidateLocked(*p, &r, true);
    } else if (sized) {
      gf_invalidateLocked(*w, nullptr, true);
    }
  }
  if ((flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) != 0) {
    const bool show = (flags & SWP_SHOWWINDOW) != 0;
    if (show != w->visible) {
      w->visible = show;
      if (w->backend != nullptr) w->backend->show(*w, show);
      if (show) gf_invalidateLocked(*w, nullptr, true);
    }
  }
  return TRUE;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID: return static_cast<LONG_PTR>(w->id);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0) |
                                   (w->enabled ? 0 : WS_DISABLED));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle | (w->topmost ? WS_EX_TOPMOST : 0));
    case GWLP_USERDATA: return w->userData;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  if (w == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_WNDPROC:
      if (value == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_ID:
      previous = static_cast<LONG_PTR>(w->id);
      w->id = static_cast<UINT_PTR>(value);
      break;
    case GWLP_USERDATA:
      previous = w->userData;
      w->userData = value;
      break;
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_DISABLED);
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return previous;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  bool wasDisabled = false;
  bool notify = false;
  {
    std::lock_guard lock(gf_gui().mutex);
    HWND__* w = gf_findLocked(window);
    if (w == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    wasDisabled = !w->enabled;
    const bool now = enable != FALSE;
    if (w->enabled != now) {
      w->enabled = now;
      // A disabled window loses the keyboard focus it or a child of it had.
      if (!now) {
        for (HWND__* f = gf_findLocked(w->queue->focus); f != nullptr; f = gf_findLocked(f->parent)) {
          if (f == w) {
            w->queue->focus = nullptr;
            break;
          }
        }
        w->pressed = false;
      }
      gf_invalidateLocked(*w, nullptr, true);
      notify = gf_isOwnerThread(*w);
    }
  }
  if (notify) SendMessageW(window, WM_ENABLE, enable != FALSE ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  std::lock_guard lock(gf_gui().mutex);
  HWND__* w = gf_findLocked(window);
  return (w != nullptr && w->enabled) ? TRUE : FALSE;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  static const WCHAR empty[1] = {0};
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : empty)) != 0
             ? TRUE
             : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  buffer[0] = 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                       reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) {
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL CheckDlgButton(HWND parent, int id, UINT check) {
  HWND button = GetDlgItem(parent, id);
  if (button == nullptr) return FALSE;
  SendMessageW(button, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND parent, int id) {
  HWND button = GetDlgItem(parent, id);
  if (button == nullptr) return 0;
  return static_cast<UINT>(SendMessageW(button, BM_GETCHECK, 0, 0));
}
