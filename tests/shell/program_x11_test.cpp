// The installed program on a real X display (a private Xvfb): its title, a click on the LOG box
// saved through the X server, and the window manager's close request ending the process.
#include <gtest/gtest.h>

#include "platform/x11_test_support.h"

#include <chrono>

#include "foundation/temp_folder.h"
#include "program_process_helpers.h"

namespace {

using namespace std::chrono_literals;
using shelltest::InstalledProgram;

constexpr int kLogBoxX = 652 + 6;        // the LOG box's centre in the client area
constexpr int kLogBoxY = 147 + 2 + 6;

TEST(ProgramX11Test, TitleClickAndClose) {
  x11test::XServer server;
  std::string why;
  if (!server.start(&why)) GTEST_SKIP() << why;
  platform_test::TempDir root;
  InstalledProgram program(root.path());
  ASSERT_TRUE(program.install(&why)) << why;
  const pid_t pid = program.start({"DISPLAY=" + server.display()});
  ASSERT_GT(pid, 0);
  Display* display = XOpenDisplay(server.display().c_str());
  ASSERT_NE(display, nullptr);

  Window window = 0;
  ASSERT_TRUE(InstalledProgram::waitFor([&] {
    window = x11test::findByName(display, DefaultRootWindow(display), "Zendrik_P3D");
    XWindowAttributes a{};
    return window != 0 && XGetWindowAttributes(display, window, &a) != 0 &&
           a.map_state == IsViewable && program.setting("LOG") == "true";
  })) << "no mapped window titled Zendrik_P3D with its settings loaded";

  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), kLogBoxX, kLogBoxY, &x, &y,
                        &child);
  x11test::clickAt(display, x, y);
  EXPECT_TRUE(InstalledProgram::waitFor([&] { return program.setting("LOG") == "false"; }));

  x11test::sendDeleteWindow(display, window);
  EXPECT_EQ(program.wait(pid, 5s), 0);
  XCloseDisplay(display);
}

}  // namespace
