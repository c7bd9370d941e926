// A real X11 window on a private Xvfb server, driven through the X server with XTest: a click
// on a check box and typing into an edit arrive as WM_COMMAND and WM_CHAR, the framebuffer is
// on the screen, the close box sends WM_CLOSE and topmost reaches the window's state.
#include "gui_test_support.h"

// gtest before Xlib: Xlib's macros (None, Bool) clash with gtest's names.
#include <gtest/gtest.h>

#include "x11_test_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using guitest::g_editChars;
using guitest::recorder;
using x11test::clickAt;
using x11test::findByName;
using x11test::XServer;

constexpr UINT kTick = WM_APP + 50;
constexpr int kCheckId = 32797;
constexpr int kEditId = 32840;
constexpr COLORREF kLightBlue = RGB(153, 204, 255);

LRESULT CALLBACK mainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    static HBRUSH lightBlue = CreateSolidBrush(kLightBlue);
    RECT client;
    GetClientRect(w, &client);
    FillRect(dc, &client, lightBlue);
    EndPaint(w, &ps);
    return 0;
  }
  return guitest::recordingProc(w, m, wp, lp);
}

// Runs the message loop until `done` holds or about ten seconds pass.
template <typename F>
bool loopUntil(HWND window, F done) {
  std::atomic<bool> stop{false};
  std::thread ticker([&] {
    while (!stop) {
      PostMessageW(window, kTick, 0, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool ok = false;
  MSG msg;
  while (std::chrono::steady_clock::now() < deadline && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (done()) {
      ok = true;
      break;
    }
  }
  stop = true;
  ticker.join();
  platform::gf_pumpMessages();
  return ok;
}

void typeKey(Display* d, KeySym sym) {
  const KeyCode code = XKeysymToKeycode(d, sym);
  XTestFakeKeyEvent(d, code, True, CurrentTime);
  XTestFakeKeyEvent(d, code, False, CurrentTime);
  XFlush(d);
}

POINT centreOnScreen(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST(X11Window, ClicksAndKeysThroughTheXServer) {
  XServer server;
  std::string why;
  if (!server.start(&why)) GTEST_SKIP() << why;
  const char* previous = std::getenv("DISPLAY");
  const std::string savedDisplay = previous != nullptr ? previous : "";
  setenv("DISPLAY", server.display().c_str(), 1);
  Display* test = XOpenDisplay(server.display().c_str());
  ASSERT_NE(test, nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  ASSERT_TRUE(XTestQueryExtension(test, &event, &error, &major, &minor));

  platform::gf_setBackendChoice(platform::BackendChoice::x11);
  HWND main = CreateWindowExW(0, guitest::recordingClass(), u"Zendrik_P3D X11 test",
                              WS_CAPTION | WS_SYSMENU, 100, 50, 880, 516, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(platform::gf_backendName(main), "x11");
  SetWindowLongPtrW(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mainProc));
  HWND box = CreateWindowExW(0, u"button", u"", 0x50000002, 5, 149, 12, 12, main,
                             reinterpret_cast<HMENU>(kCheckId), nullptr, nullptr);
  HWND edit = CreateWindowExW(0, u"Edit", u"", 0x50800000, 217, 343, 50, 16, main,
                              reinterpret_cast<HMENU>(kEditId), nullptr, nullptr);
  guitest::subclassEdit(edit);
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);

  Window native = 0;
  ASSERT_TRUE(loopUntil(main, [&] {
    native = findByName(test, DefaultRootWindow(test), "Zendrik_P3D X11 test");
    XWindowAttributes a{};
    return native != 0 && XGetWindowAttributes(test, native, &a) != 0 &&
           a.map_state == IsViewable;
  })) << "the window was never mapped";
  recorder().clear();

  // The framebuffer is what the screen shows.
  const POINT probe = centreOnScreen(main);
  ASSERT_TRUE(loopUntil(main, [&] {
    XImage* image = XGetImage(test, DefaultRootWindow(test), probe.x, probe.y + 100, 1, 1,
                              AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel == 0x99CCFF;
  })) << "the painted colour never reached the screen";

  const POINT boxCentre = centreOnScreen(box);
  clickAt(test, boxCentre.x, boxCentre.y);
  ASSERT_TRUE(loopUntil(main, [] { return !recorder().of(WM_COMMAND).empty(); }));
  const auto command = recorder().of(WM_COMMAND).front();
  EXPECT_EQ(LOWORD(command.wParam), kCheckId);
  EXPECT_EQ(HIWORD(command.wParam), BN_CLICKED);
  EXPECT_EQ(IsDlgButtonChecked(main, kCheckId), BST_UNCHECKED);

  const POINT editCentre = centreOnScreen(edit);
  clickAt(test, editCentre.x, editCentre.y);
  ASSERT_TRUE(loopUntil(main, [&] { return platform::gf_focusWindow(main) == edit; }));
  for (KeySym k : {XK_d, XK_1, XK_BackSpace, XK_1, XK_5, XK_0, XK_Return}) typeKey(test, k);
  ASSERT_TRUE(loopUntil(main, [] { return !g_editChars.empty() && g_editChars.back() == 13; }));
  EXPECT_EQ(g_editChars, (std::vector<WPARAM>{'d', '1', 8, '1', '5', '0', 13}));
  WCHAR text[32];
  GetWindowTextW(edit, text, 32);
  EXPECT_EQ(std::u16string(text), u"d150");

  // Topmost goes to the window manager's state of the window.
  SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  platform::gf_pumpMessages();
  XSync(test, False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(test, native, XInternAtom(test, "_NET_WM_STATE", False), 0, 8, False,
                     XA_ATOM, &type, &format, &items, &after, &data);
  ASSERT_EQ(items, 1u);
  EXPECT_EQ(reinterpret_cast<Atom*>(data)[0], XInternAtom(test, "_NET_WM_STATE_ABOVE", False));
  XFree(data);

  // The close box: the window manager's delete request becomes WM_CLOSE.
  x11test::sendDeleteWindow(test, native);
  ASSERT_TRUE(loopUntil(main, [] { return !recorder().of(WM_CLOSE).empty(); }));
  EXPECT_TRUE(IsWindow(main));  // the procedure decides; this one keeps the window

  DestroyWindow(main);
  XCloseDisplay(test);
  platform::gf_setBackendChoice(platform::BackendChoice::automatic);
  if (savedDisplay.empty()) {
    unsetenv("DISPLAY");
  } else {
    setenv("DISPLAY", savedDisplay.c_str(), 1);
  }
}

}  // namespace
