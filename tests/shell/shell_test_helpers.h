// The main window as the program makes it (headless), in a fresh working folder with its own
// parameters.xml and Log.txt, and the shared state of the shell put back between tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/parameters.h"
#include "foundation/temp_folder.h"
#include "platform/win32.h"

namespace shelltest {

// One control as the window must have it: owner, class, style and place in client pixels.
struct ExpectedControl {
  GuiControl* control;
  const char16_t* className;
  DWORD style;
  RECT rect;
};
// The 39 controls in creation order.
const std::vector<ExpectedControl>& expectedControls();

// Request flags, stop state, destination request and window texts back to a fresh start.
void resetShellState();

class ShellWindowTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  HWND window() const { return window_; }
  std::vector<std::string> logLines();
  bool logHas(const std::string& line);
  // The value of a parameters.xml entry; "<absent>" when it or the file is missing.
  std::string fileEntry(const std::string& name) const;
  std::string status() const;
  std::string fieldText(const GuiControl& field) const;
  // Puts the text into an edit field and presses Enter in it.
  void enter(GuiControl& field, const std::u16string& text);
  // A mouse click on the control, then the messages it causes.
  void click(GuiControl& control);
  // A new window over an empty settings file, as at a first start.
  void recreate();
  // The check boxes take their settings' values (after a test changed the settings).
  void syncBoxes();

  TempWorkingFolder folder_;

 private:
  std::filesystem::path savedParametersFile_;
  HWND window_ = nullptr;
};

}  // namespace shelltest
