// Internal state of the window layer: windows, classes, per-thread message queues and the one
// lock that guards them. Functions named ...Locked expect the caller to hold gf_gui().mutex;
// the lock is never held while a window procedure runs.
// Lock order: the gui mutex, then the font mutex of the text renderer. Xlib is only called
// with the gui mutex held.
#pragma once

#include "platform/headless.h"
#include "platform/win32_gdi.h"
#include "platform/win32_gui.h"

#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

class Backend;

enum class ControlKind { none, button, edit };

// Non-client sizes of a top-level window with a caption, in pixels: the client area of the
// 880 x 516 main window is 874 x 484.
constexpr int kFrameWidth = 3;
constexpr int kCaptionHeight = 26;
// Longest text an edit control holds, in UTF-16 units.
constexpr std::size_t kEditTextLimit = 32767;

struct ThreadQueue {
  ThreadQueue();
  ~ThreadQueue();
  ThreadQueue(const ThreadQueue&) = delete;
  ThreadQueue& operator=(const ThreadQueue&) = delete;
  void wake() const;   // any thread
  void drainWake() const;

  std::thread::id thread;
  int wakeFd = -1;               // eventfd written by wake()
  std::deque<MSG> messages;      // posted and input messages, in order
  bool quitPosted = false;
  int quitCode = 0;
  HWND focus = nullptr;          // keyboard focus among this thread's windows
  HWND capture = nullptr;        // window that got the last mouse press
  std::vector<HWND> windows;     // this thread's windows in creation order (parents first)
};

struct WindowClass {
  WString name;  // as registered
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;
  HINSTANCE instance = nullptr;
  ControlKind kind = ControlKind::none;
};

// The painted client area of a top-level window and what was drawn into it.
struct Surface {
  Framebuffer framebuffer;
  std::deque<PaintOp> record;
  RECT presentDirty{};  // client rectangle painted but not yet shown by the backend
  unsigned long nativeWindow = 0;  // backend's window id (X11 Window), 0 when none
};

}  // namespace platform

struct HWND__ {
  platform::ControlKind kind = platform::ControlKind::none;
  std::shared_ptr<platform::WindowClass> windowClass;
  std::shared_ptr<platform::ThreadQueue> queue;  // owner thread's queue
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;
  std::vector<HWND> children;
  UINT_PTR id = 0;
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  WString text;
  RECT rect{};  // top-level: outer frame on screen; child: in the parent's client coordinates
  bool visible = false;
  bool enabled = true;
  bool destroying = false;
  bool topmost = false;
  RECT update{};  // invalid part of the client area (bounding rectangle)
  bool erase = false;
  // Control state.
  UINT check = BST_UNCHECKED;
  bool pressed = false;
  std::size_t caret = 0;  // edit: caret position in UTF-16 units
  int scrollX = 0;        // edit: pixels scrolled to the left
  // Top-level windows only.
  std::unique_ptr<platform::Surface> surface;
  platform::Backend* backend = nullptr;
};

namespace platform {

struct GuiState {
  std::mutex mutex;
  std::unordered_map<HWND, std::unique_ptr<HWND__>> windows;
  std::vector<std::shared_ptr<WindowClass>> classes;
  ATOM nextAtom = 0xC000;
  std::unordered_set<HDC> dcs;           // contexts between BeginPaint and EndPaint
  std::unordered_set<HGDIOBJ> objects;   // live non-stock GDI objects
  BackendChoice backendChoice = BackendChoice::automatic;
};

// The layer's state; built on first use and never destroyed (usable in static init and exit).
GuiState& gf_gui();
// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> gf_currentQueue();

// Rectangle helpers (right and bottom exclusive).
bool gf_isEmpty(const RECT& r);
RECT gf_intersect(const RECT& a, const RECT& b);
RECT gf_unite(const RECT& a, const RECT& b);
RECT gf_offset(const RECT& r, int dx, int dy);

HWND__* gf_findLocked(HWND window);
HWND__* gf_topLevelLocked(HWND__& window);
bool gf_isOwnerThread(const HWND__& window);
bool gf_enabledChainLocked(HWND__& window);  // the window and all its parents are enabled
bool gf_visibleChainLocked(HWND__& window);
RECT gf_nonClientLocked(const HWND__& window);  // left, top, right, bottom border widths
RECT gf_clientRectLocked(const HWND__& window);  // (0, 0, width, height)
POINT gf_surfaceOriginLocked(HWND__& window);    // client origin in the surface
RECT gf_surfaceClipLocked(HWND__& window);       // visible client part, surface coordinates
RECT gf_screenClientRectLocked(HWND__& window);

// Adds a client rectangle (all when null) to the window's update region, also to the children
// it covers, and wakes the owner thread.
void gf_invalidateLocked(HWND__& window, const RECT* rect, bool erase);
void gf_recordLocked(HWND__& window, PaintOp op);
// Built-in state messages (WM_SETTEXT, WM_GETTEXT, WM_GETTEXTLENGTH, BM_SETCHECK,
// BM_GETCHECK) applied to the window's state; false when the message is not one of them.
bool gf_applyStateMessageLocked(HWND__& window, UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT* result);
void gf_setTextLocked(HWND__& window, const WString& text);

// Focus of the calling thread; sends WM_KILLFOCUS and WM_SETFOCUS. Not called with the lock.
void gf_setFocus(HWND window);

// Input from a backend or a test, in client coordinates of a top-level window.
struct InputEvent {
  enum class Kind { mouseDown, mouseUp, key, close, moved, expose };
  Kind kind = Kind::mouseDown;
  HWND topLevel = nullptr;
  int x = 0;
  int y = 0;
  int width = 0;  // expose
  int height = 0;
  UINT virtualKey = 0;
  char16_t character = 0;  // the character the key produces, 0 for none
};
void gf_deliverInput(const InputEvent& event);

// MSG::lPrivate of key input whose target is the focus window at the time it is taken.
constexpr DWORD kRouteToFocus = 1;
// Bits 32..47 of a WM_KEYDOWN lParam carry the key's character for TranslateMessage.
constexpr int kKeyCharShift = 32;

// Shows the painted rectangles of the calling thread's top-level windows.
void gf_presentPending();
// Writes the window PNG that a SIGUSR1 asked for once the queue's windows are painted
// (signal_seams.cpp). Not called with the lock.
void gf_writeRequestedWindowPng(ThreadQueue& queue);

}  // namespace platform
