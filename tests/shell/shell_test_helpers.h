// The main window as the program makes it (headless), in a fresh working folder with its own
// parameters.xml and Log.txt; the shell's shared state is put back between tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/parameters.h"
#include "foundation/temp_folder.h"
#include "platform/win32.h"

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace shelltest {

// One control as the window must have it: owner, style (class and kind) and client rectangle.
struct ExpectedControl {
  GuiControl* control;
  DWORD style;
  RECT rect;
};
const std::vector<ExpectedControl>& expectedControls();  // the 39, in creation order

class ShellWindowTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;
  // A new window over an empty settings file, as at a first start.
  void recreate();
  // The check boxes take their settings' values (after a test changed the settings).
  void syncBoxes();

  HWND window() const { return window_; }
  bool logHas(const std::string& line) const;
  // A parameters.xml entry's value; "<absent>" when it or the file is missing.
  std::string fileEntry(const std::string& name) const;
  std::string status() const;
  void enter(GuiControl& field, const std::u16string& text);  // text, then Enter
  void click(GuiControl& control);                             // a mouse click

  TempWorkingFolder folder_;

 private:
  HWND window_ = nullptr;
};

}  // namespace shelltest
