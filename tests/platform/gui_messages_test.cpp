// Windows and messages on the headless backend: creation, the queue, WM_PAINT from invalid
// rectangles, subclassing, geometry and the program's resources.
#include <gtest/gtest.h>

#include <string>

#include "gui_test_support.h"

namespace {

using guitest::recorder;
using guitest::WindowGuard;

// The next message GetMessageW gives, dispatched.
MSG nextMessage() {
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  DispatchMessageW(&msg);
  return msg;
}

CREATESTRUCTW g_createSeen{};
WCHAR g_createName[64];
LRESULT CALLBACK createProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CREATE) {
    g_createSeen = *reinterpret_cast<CREATESTRUCTW*>(lp);
    // The window exists and is usable inside WM_CREATE: children can be made here.
    CreateWindowExW(0, u"button", u"", WS_CHILD | WS_VISIBLE | BS_CHECKBOX, 5, 5, 12, 12, w,
                    reinterpret_cast<HMENU>(32797), g_createSeen.hInstance, nullptr);
    GetWindowTextW(w, g_createName, 64);
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

TEST(GuiWindows, CreateSendsWmCreateWithCreateStructInsideTheCall) {
  guitest::testClass(u"CreateTest", createProc);
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  int param = 42;
  WindowGuard w(CreateWindowExW(0, u"createtest", u"Title", WS_CAPTION | WS_SYSMENU, 400, 20, 880,
                                516, nullptr, nullptr, GetModuleHandleW(nullptr), &param));
  ASSERT_NE(w.get(), nullptr);
  EXPECT_EQ(g_createSeen.lpCreateParams, &param);
  EXPECT_EQ(g_createSeen.x, 400);
  EXPECT_EQ(g_createSeen.cx, 880);
  EXPECT_EQ(g_createSeen.cy, 516);
  EXPECT_EQ(std::u16string(g_createName), u"Title");
  HWND box = GetDlgItem(w.get(), 32797);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetParent(box), w.get());
  EXPECT_EQ(GetDlgCtrlID(box), 32797);
  EXPECT_EQ(GetDlgItem(w.get(), 1), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
}

TEST(GuiWindows, ClassRegistrationRules) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcW;
  // A fresh name on every run of the test: classes live as long as the process.
  static int run = 0;
  std::u16string suffix;
  for (const char c : std::to_string(run++)) suffix.push_back(static_cast<char16_t>(c));
  const std::u16string name = u"Twice" + suffix;
  const std::u16string upper = u"TWICE" + suffix;
  wc.lpszClassName = name.c_str();
  EXPECT_NE(RegisterClassExW(&wc), 0);
  wc.lpszClassName = upper.c_str();  // class names ignore case
  EXPECT_EQ(RegisterClassExW(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  // A child needs a live parent.
  EXPECT_EQ(CreateWindowExW(0, u"Edit", u"", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
}

TEST(GuiWindows, OuterSizeLeavesTheStatusLineInTheClientArea) {
  WindowGuard w(guitest::makeMainWindow());
  RECT outer;
  RECT client;
  ASSERT_TRUE(GetWindowRect(w.get(), &outer));
  ASSERT_TRUE(GetClientRect(w.get(), &client));
  EXPECT_EQ(outer.left, 400);
  EXPECT_EQ(outer.top, 20);
  EXPECT_EQ(outer.right - outer.left, 880);
  EXPECT_EQ(outer.bottom - outer.top, 516);
  EXPECT_GE(client.bottom, 476);  // the status line ends at y = 476
  EXPECT_LT(client.bottom, 516);
  const platform::Framebuffer fb = platform::gf_readFramebuffer(w.get());
  EXPECT_EQ(fb.width, client.right);
  EXPECT_EQ(fb.height, client.bottom);
  // A child's rectangle is reported on the screen, inside the parent's client area.
  HWND edit = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 217, 231, 34,
                              16, w.get(), reinterpret_cast<HMENU>(32818), nullptr, nullptr);
  RECT er;
  ASSERT_TRUE(GetWindowRect(edit, &er));
  EXPECT_EQ(er.right - er.left, 34);
  EXPECT_GT(er.left, outer.left + 217);
  EXPECT_GT(er.top, outer.top + 231);
  RECT ec;
  GetClientRect(edit, &ec);
  EXPECT_EQ(ec.right, 32);  // one-pixel border on each side
  EXPECT_EQ(ec.bottom, 14);
}

TEST(GuiMessages, PostedMessagesArriveInOrderThenQuit) {
  WindowGuard w(guitest::makeMainWindow());
  for (UINT i = 0; i < 5; ++i) ASSERT_TRUE(PostMessageW(w.get(), WM_APP + 1 + i, i, 0));
  PostQuitMessage(7);
  MSG msg;
  for (UINT i = 0; i < 5; ++i) {
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_APP + 1 + i);
    EXPECT_EQ(msg.wParam, i);
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(recorder().of(WM_APP + 3).size(), 1u);  // dispatched to the window procedure
  // A WM_QUIT posted like any message also ends the loop.
  PostMessageW(w.get(), WM_QUIT, 3, 0);
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(GuiMessages, PostingToADestroyedWindowFails) {
  HWND w = guitest::makeMainWindow();
  ASSERT_TRUE(DestroyWindow(w));
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(PostMessageW(w, WM_APP, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessageW(w, WM_APP, 0, 0), 0);
  EXPECT_FALSE(DestroyWindow(w));
  EXPECT_EQ(recorder().of(WM_DESTROY).size(), 1u);
  EXPECT_EQ(recorder().of(WM_NCDESTROY).size(), 1u);
}

TEST(GuiMessages, SeveralInvalidationsGiveOnePaintOfTheirUnion) {
  WindowGuard w(guitest::makeMainWindow());
  const RECT a{0, 28, 880, 112};
  const RECT b{0, 448, 880, 476};
  const RECT c{10, 200, 20, 210};
  InvalidateRect(w.get(), &a, TRUE);
  InvalidateRect(w.get(), &b, TRUE);
  InvalidateRect(w.get(), &c, FALSE);
  EXPECT_EQ(nextMessage().message, static_cast<UINT>(WM_PAINT));
  const auto paints = recorder().of(WM_PAINT);
  ASSERT_EQ(paints.size(), 1u);
  RECT client;
  GetClientRect(w.get(), &client);
  EXPECT_EQ(paints[0].paintRect.left, 0);
  EXPECT_EQ(paints[0].paintRect.top, 28);
  EXPECT_EQ(paints[0].paintRect.right, client.right);  // clipped to the client area
  EXPECT_EQ(paints[0].paintRect.bottom, 476);
  // Erasing was asked for, so the class brush ran before the paint.
  EXPECT_EQ(recorder().of(WM_ERASEBKGND).size(), 1u);
  // Nothing more once validated.
  EXPECT_EQ(platform::gf_pumpMessages(), 0);
}

TEST(GuiMessages, PaintComesAfterPostedMessagesAndOnlyForVisibleWindows) {
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  WindowGuard hidden(CreateWindowExW(0, guitest::recordingClass(), u"", WS_CAPTION, 0, 0, 200,
                                     100, nullptr, nullptr, nullptr, nullptr));
  InvalidateRect(hidden.get(), nullptr, TRUE);
  PostMessageW(hidden.get(), WM_APP + 5, 0, 0);
  EXPECT_EQ(nextMessage().message, WM_APP + 5);
  PostMessageW(hidden.get(), WM_APP + 6, 0, 0);
  EXPECT_EQ(nextMessage().message, WM_APP + 6);  // no paint for a hidden window
  ShowWindow(hidden.get(), SW_SHOW);
  EXPECT_EQ(nextMessage().message, static_cast<UINT>(WM_PAINT));
}

TEST(GuiMessages, UpdateWindowPaintsAtOnce) {
  WindowGuard w(guitest::makeMainWindow());
  InvalidateRect(w.get(), nullptr, FALSE);
  EXPECT_TRUE(UpdateWindow(w.get()));
  EXPECT_EQ(recorder().of(WM_PAINT).size(), 1u);
  recorder().clear();
  EXPECT_TRUE(UpdateWindow(w.get()));  // nothing invalid: no paint
  EXPECT_TRUE(recorder().of(WM_PAINT).empty());
}

TEST(GuiMessages, CloseBoxWithTheDefaultProcedureDestroysTheWindow) {
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  HWND w = CreateWindowExW(0, u"Edit", u"", WS_CAPTION, 0, 0, 100, 50, nullptr, nullptr, nullptr,
                           nullptr);
  ASSERT_NE(w, nullptr);
  platform::gf_clickCloseBox(w);  // the close box posts WM_CLOSE; "Edit" leaves it to default
  platform::gf_pumpMessages();
  EXPECT_FALSE(IsWindow(w));
}

WNDPROC g_previous = nullptr;
std::vector<UINT> g_subclassSeen;
LRESULT CALLBACK subclassProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  g_subclassSeen.push_back(m);
  if (m == WM_APP + 9) return 99;  // handled here, not passed on
  return CallWindowProcW(g_previous, w, m, wp, lp);
}

TEST(GuiMessages, SubclassingChainsToThePreviousProcedure) {
  WindowGuard w(guitest::makeMainWindow());
  const LONG_PTR old = SetWindowLongPtrW(w.get(), GWLP_WNDPROC,
                                         reinterpret_cast<LONG_PTR>(subclassProc));
  g_previous = reinterpret_cast<WNDPROC>(old);
  EXPECT_EQ(g_previous, guitest::recordingProc);
  EXPECT_EQ(GetWindowLongPtrW(w.get(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(subclassProc));
  g_subclassSeen.clear();
  EXPECT_EQ(SendMessageW(w.get(), WM_APP + 9, 0, 0), 99);
  SendMessageW(w.get(), WM_APP + 10, 1, 2);
  PostMessageW(w.get(), WM_APP + 11, 0, 0);
  platform::gf_pumpMessages();
  EXPECT_EQ(g_subclassSeen, (std::vector<UINT>{WM_APP + 9, WM_APP + 10, WM_APP + 11}));
  EXPECT_TRUE(recorder().of(WM_APP + 9).empty());
  EXPECT_EQ(recorder().of(WM_APP + 10).size(), 1u);
  EXPECT_EQ(recorder().of(WM_APP + 11).size(), 1u);
}

TEST(GuiMessages, TopmostThroughSetWindowPosKeepsPositionAndSize) {
  WindowGuard w(guitest::makeMainWindow());
  ASSERT_TRUE(SetWindowPos(w.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_TRUE(platform::gf_isTopmost(w.get()));
  EXPECT_EQ(GetWindowLongPtrW(w.get(), GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
  RECT r;
  GetWindowRect(w.get(), &r);
  EXPECT_EQ(r.left, 400);
  EXPECT_EQ(r.right - r.left, 880);
  ASSERT_TRUE(SetWindowPos(w.get(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_FALSE(platform::gf_isTopmost(w.get()));
  ASSERT_TRUE(SetWindowPos(w.get(), nullptr, -40000, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  GetWindowRect(w.get(), &r);
  EXPECT_EQ(r.left, -40000);  // a window dragged far off screen reports where it is
  EXPECT_EQ(r.bottom - r.top, 516);
}

TEST(GuiResources, ProgramNameIconAndCursor) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WCHAR title[100];
  EXPECT_EQ(LoadStringW(instance, 101, title, 100), 11);
  EXPECT_EQ(std::u16string(title), u"Zendrik_P3D");
  WCHAR small[5];
  EXPECT_EQ(LoadStringW(instance, 101, small, 5), 4);  // truncated, terminated
  EXPECT_EQ(std::u16string(small), u"Zend");
  EXPECT_EQ(LoadStringW(instance, 102, title, 100), 0);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_NE(LoadIconW(instance, MAKEINTRESOURCEW(100)), nullptr);
  EXPECT_EQ(LoadIconW(instance, MAKEINTRESOURCEW(7)), nullptr);
  EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
}

}  // namespace
