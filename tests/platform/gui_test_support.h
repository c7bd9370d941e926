// Shared pieces of the window-layer tests: a window procedure that records what it receives,
// an edit subclass that records typed characters, and a guard that destroys a test's window.
#pragma once

#include <mutex>
#include <vector>

#include "platform/headless.h"
#include "platform/win32.h"

namespace guitest {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  RECT paintRect;  // WM_PAINT: the rectangle BeginPaint gave
};

class Recorder {
 public:
  void add(const Seen& s) {
    std::lock_guard lock(mutex_);
    seen_.push_back(s);
  }
  std::vector<Seen> of(UINT message) {
    std::lock_guard lock(mutex_);
    std::vector<Seen> out;
    for (const Seen& s : seen_) {
      if (s.message == message) out.push_back(s);
    }
    return out;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    seen_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

inline Recorder& recorder() {
  static Recorder r;
  return r;
}

// Records every message; paints nothing but validates on WM_PAINT; WM_CLOSE does not destroy.
inline LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Seen s{window, message, wParam, lParam, {}};
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    s.paintRect = ps.rcPaint;
    EndPaint(window, &ps);
    recorder().add(s);
    return 0;
  }
  recorder().add(s);
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

// An edit's subclass as the program writes them: every WM_CHAR is seen first, Enter is taken
// here and everything else goes on to the edit. GUI thread only.
inline WNDPROC g_editPrevious = nullptr;
inline std::vector<WPARAM> g_editChars;
inline LRESULT CALLBACK editSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CHAR) {
    g_editChars.push_back(wp);
    if (wp == 13) return 0;
  }
  return CallWindowProcW(g_editPrevious, w, m, wp, lp);
}
inline void subclassEdit(HWND edit) {
  g_editPrevious = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editSubclass)));
  g_editChars.clear();
}

// Registers a class for a test and returns its name. Classes live as long as the process: a
// second registration of the name fails harmlessly, so a repeated test reuses the first.
inline const WCHAR* testClass(const WCHAR* name, WNDPROC proc, HBRUSH background = nullptr) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
  return name;
}

inline const WCHAR* recordingClass() {
  static const WCHAR* name =
      testClass(u"RecordingWindow", recordingProc, CreateSolidBrush(RGB(0, 0, 0)));
  return name;
}

// Destroys the window at the end of a test and leaves the thread's queue empty.
class WindowGuard {
 public:
  explicit WindowGuard(HWND window) : window_(window) {}
  ~WindowGuard() {
    if (IsWindow(window_)) DestroyWindow(window_);
    platform::gf_pumpMessages();
  }
  WindowGuard(const WindowGuard&) = delete;
  WindowGuard& operator=(const WindowGuard&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// A headless 880 x 516 top-level window of the recording class, shown and painted once.
inline HWND makeMainWindow(WNDPROC proc = nullptr, const WCHAR* className = nullptr) {
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  platform::gf_pumpMessages();
  HWND w = CreateWindowExW(0, className ? className : recordingClass(), u"Zendrik_P3D",
                           WS_CAPTION | WS_SYSMENU, 400, 20, 880, 516, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  if (proc != nullptr) SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  platform::gf_pumpMessages();
  recorder().clear();
  return w;
}

}  // namespace guitest
