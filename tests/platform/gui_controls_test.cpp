// The built-in controls driven like a user would: clicks and keys through the input routing of
// the headless backend, then the message loop.
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "platform/gui_state.h"

namespace {

using guitest::g_editChars;
using guitest::recorder;
using guitest::WindowGuard;
using platform::gf_clickWindow;
using platform::gf_pressKey;
using platform::gf_pumpMessages;
using platform::gf_typeText;

constexpr int kCheckId = 32797;
constexpr int kButtonId = 32858;
constexpr int kEditId = 32818;
constexpr COLORREF kLightBlue = RGB(153, 204, 255);

// The main window's answer to the colour questions of its edits, as the program gives it.
LRESULT CALLBACK mainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CTLCOLOREDIT || m == WM_CTLCOLORSTATIC) {
    recorder().add({w, m, wp, lp, {}});
    SetBkMode(reinterpret_cast<HDC>(wp), OPAQUE);
    SetBkColor(reinterpret_cast<HDC>(wp), kLightBlue);
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
  }
  return guitest::recordingProc(w, m, wp, lp);
}

struct Panel {
  WindowGuard main{guitest::makeMainWindow(mainProc)};
  HWND check = CreateWindowExW(0, u"button", u"", 0x50000002, 5, 149, 12, 12, main.get(),
                               reinterpret_cast<HMENU>(kCheckId), nullptr, nullptr);
  HWND button = CreateWindowExW(0, u"button", u"Flush static", 0x50000001, 758, 369, 90, 20,
                                main.get(), reinterpret_cast<HMENU>(kButtonId), nullptr, nullptr);
  HWND edit = CreateWindowExW(0, u"Edit", u"", 0x50800000, 217, 231, 34, 16, main.get(),
                              reinterpret_cast<HMENU>(kEditId), nullptr, nullptr);
  Panel() {
    guitest::subclassEdit(edit);
    gf_pumpMessages();
    recorder().clear();
  }
  // Enables the edit and gives it the focus by a click, as a user starts typing.
  void focusEdit() {
    EnableWindow(edit, TRUE);
    gf_clickWindow(edit);
    gf_pumpMessages();
  }
  std::u16string editText() const {
    WCHAR buffer[1024];
    GetWindowTextW(edit, buffer, 1023);
    return buffer;
  }
  std::vector<guitest::Seen> commands() { return recorder().of(WM_COMMAND); }
};

TEST(GuiControls, ClicksReportToTheParentAndCheckBoxesDoNotToggle) {
  Panel p;
  CheckDlgButton(p.main.get(), kCheckId, BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(p.main.get(), kCheckId), BST_CHECKED);
  gf_clickWindow(p.check);
  gf_pumpMessages();
  const auto commands = p.commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(LOWORD(commands[0].wParam), kCheckId);
  EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
  EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lParam), p.check);
  // A non-automatic box keeps its state; the parent toggles it.
  EXPECT_EQ(SendMessageW(p.check, BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(p.check, BM_SETCHECK, BST_UNCHECKED, 0);
  EXPECT_EQ(IsDlgButtonChecked(p.main.get(), kCheckId), BST_UNCHECKED);
  // A push button reports its click the same way and never reports itself checked.
  EnableWindow(p.button, TRUE);
  SendMessageW(p.button, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(SendMessageW(p.button, BM_GETCHECK, 0, 0), 0);
  gf_clickWindow(p.button);
  gf_pumpMessages();
  ASSERT_EQ(p.commands().size(), 2u);
  EXPECT_EQ(LOWORD(p.commands()[1].wParam), kButtonId);
}

TEST(GuiControls, PressAndReleaseOutsideTheButtonIsNoClick) {
  Panel p;
  platform::InputEvent e;
  e.topLevel = p.main.get();
  e.kind = platform::InputEvent::Kind::mouseDown;
  e.x = 5 + 6;
  e.y = 149 + 6;
  platform::gf_deliverInput(e);
  e.kind = platform::InputEvent::Kind::mouseUp;
  e.x = 300;  // released elsewhere: the button captured the mouse and sees it outside
  platform::gf_deliverInput(e);
  gf_pumpMessages();
  EXPECT_TRUE(p.commands().empty());
}

TEST(GuiControls, DisabledControlsIgnoreInput) {
  Panel p;
  EnableWindow(p.check, FALSE);
  EXPECT_FALSE(IsWindowEnabled(p.check));
  gf_clickWindow(p.check);
  gf_clickWindow(p.button);  // push buttons start disabled in the program; here it was made so
  EnableWindow(p.button, FALSE);
  gf_clickWindow(p.button);
  gf_pumpMessages();
  EXPECT_TRUE(p.commands().empty());

  p.focusEdit();
  gf_typeText(p.main.get(), u"12");
  gf_pumpMessages();
  EXPECT_EQ(p.editText(), u"12");
  EXPECT_TRUE(EnableWindow(p.edit, FALSE) == FALSE);  // it was enabled
  gf_typeText(p.main.get(), u"3\r");
  gf_clickWindow(p.edit);
  gf_typeText(p.main.get(), u"4");
  gf_pumpMessages();
  EXPECT_EQ(p.editText(), u"12");
  EXPECT_EQ(g_editChars, (std::vector<WPARAM>{'1', '2'}));
  EXPECT_EQ(platform::gf_focusWindow(p.main.get()), nullptr);  // disabling took the focus away
}

TEST(GuiControls, TypingAndEnterReachTheSubclassedEdit) {
  Panel p;
  EnableWindow(p.edit, TRUE);
  gf_clickWindow(p.edit);
  EXPECT_EQ(platform::gf_focusWindow(p.main.get()), nullptr);  // focus moves when pumped
  gf_pumpMessages();
  EXPECT_EQ(platform::gf_focusWindow(p.main.get()), p.edit);
  gf_typeText(p.main.get(), u"150\r");
  gf_pumpMessages();
  EXPECT_EQ(g_editChars, (std::vector<WPARAM>{'1', '5', '0', 13}));
  EXPECT_EQ(p.editText(), u"150");  // Enter was taken by the subclass and inserted nothing
}

struct EditCase {
  const char16_t* keys;  // typed text; the cursor keys below are pressed in between
  std::vector<UINT> then;
  const char16_t* more;
  const char16_t* expected;
};

TEST(GuiControls, EditingKeys) {
  const EditCase cases[] = {
      {u"abc", {VK_LEFT}, u"X", u"abXc"},
      {u"abc", {VK_HOME}, u"X", u"Xabc"},
      {u"abc", {VK_HOME, VK_RIGHT, VK_DELETE}, u"", u"ac"},
      {u"abc", {VK_HOME, VK_END}, u"\b", u"ab"},
      {u"abc", {VK_HOME}, u"\b", u"abc"},          // Backspace at the start does nothing
      {u"abc", {VK_DELETE}, u"", u"abc"},          // Delete at the end does nothing
      {u"ab", {VK_LEFT, VK_LEFT, VK_LEFT}, u"1", u"1ab"},
      {u"x\U0001F600", {VK_LEFT}, u"y", u"xy\U0001F600"},  // a surrogate pair is one step
      {u"x\U0001F600", {}, u"\b", u"x"},
  };
  for (const EditCase& c : cases) {
    Panel p;
    p.focusEdit();
    gf_typeText(p.main.get(), c.keys);
    for (UINT key : c.then) gf_pressKey(p.main.get(), key);
    gf_typeText(p.main.get(), c.more);
    gf_pumpMessages();
    EXPECT_EQ(p.editText(), std::u16string(c.expected)) << "typed " << c.then.size() << " keys";
  }
}

TEST(GuiControls, SetTextFromTheProgramReplacesTheFieldAndCaretStartsAtTheLeft) {
  Panel p;
  p.focusEdit();
  gf_typeText(p.main.get(), u"abc");
  gf_pumpMessages();
  SetWindowTextW(p.edit, u"40");
  gf_typeText(p.main.get(), u"1");
  gf_pumpMessages();
  EXPECT_EQ(p.editText(), u"140");
  WCHAR tiny[3];
  EXPECT_EQ(GetWindowTextW(p.edit, tiny, 3), 2);
  EXPECT_EQ(std::u16string(tiny), u"14");
}

TEST(GuiControls, EditAsksItsParentForColoursEnabledAndDisabled) {
  Panel p;
  InvalidateRect(p.edit, nullptr, TRUE);
  gf_pumpMessages();
  EXPECT_EQ(recorder().of(WM_CTLCOLOREDIT).size(), 1u);
  EXPECT_TRUE(recorder().of(WM_CTLCOLORSTATIC).empty());
  recorder().clear();
  EnableWindow(p.edit, FALSE);
  gf_pumpMessages();
  const auto statics = recorder().of(WM_CTLCOLORSTATIC);
  ASSERT_FALSE(statics.empty());
  EXPECT_EQ(reinterpret_cast<HWND>(statics.back().lParam), p.edit);
  recorder().clear();
  EnableWindow(p.edit, TRUE);
  SetWindowTextW(p.edit, u"40");
  gf_pumpMessages();
  const auto edits = recorder().of(WM_CTLCOLOREDIT);
  ASSERT_FALSE(edits.empty());
  EXPECT_EQ(reinterpret_cast<HWND>(edits.back().lParam), p.edit);
  // The text is drawn on the background colour the parent set.
  bool found = false;
  for (const auto& op : platform::gf_paintRecord(p.main.get())) {
    if (op.kind == platform::PaintOp::Kind::text && op.window == p.edit && op.text == u"40") {
      found = true;
      EXPECT_TRUE(op.opaque);
      EXPECT_EQ(op.background, kLightBlue);
      EXPECT_EQ(op.color, RGB(0, 0, 0));
    }
  }
  EXPECT_TRUE(found);
}

TEST(GuiControls, LongTextScrollsToKeepTheCaretVisible) {
  Panel p;
  p.focusEdit();
  gf_typeText(p.main.get(), u"C:\\Program Files\\Lockheed Martin\\Prepar3D v5");
  gf_pumpMessages();
  platform::gf_clearPaintRecord(p.main.get());
  InvalidateRect(p.edit, nullptr, TRUE);
  gf_pumpMessages();
  RECT client;
  GetClientRect(p.edit, &client);
  int textLeft = 0;
  int caretX = -1;
  for (const auto& op : platform::gf_paintRecord(p.main.get())) {
    if (op.window != p.edit) continue;
    if (op.kind == platform::PaintOp::Kind::text) textLeft = op.rect.left;
    if (op.kind == platform::PaintOp::Kind::line) caretX = op.rect.left;
  }
  EXPECT_LT(textLeft, 0);  // scrolled to the left
  EXPECT_GE(caretX, 0);
  EXPECT_LT(caretX, client.right);
  gf_pressKey(p.main.get(), VK_HOME);
  gf_pumpMessages();
  for (const auto& op : platform::gf_paintRecord(p.main.get())) {
    if (op.window == p.edit && op.kind == platform::PaintOp::Kind::text) textLeft = op.rect.left;
  }
  EXPECT_GE(textLeft, 0);  // Home scrolls back to the start
}

}  // namespace
