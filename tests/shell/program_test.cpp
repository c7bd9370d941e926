// The program run as a user runs it: a program folder laid out by `cmake --install`, its own
// AppData, runtime and registry files. Headless: one instance per user, the window PNG on
// SIGUSR1, SIGTERM closing it like the close box. On a private X server: the title, a click on
// the LOG box through the X server, and the window manager's close request.
#include <gtest/gtest.h>

#include "platform/x11_test_support.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <pugixml.hpp>
#include <thread>

#include "foundation/temp_folder.h"
#include "platform/files_test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The program installed into a temporary folder, with its own AppData and runtime folders.
class InstalledProgram {
 public:
  InstalledProgram() {
    env_.set("APPDATA", (root() / "AppData").string());
    env_.set("ZENDRIK_RUNTIME_DIR", root().string());
    env_.set("ZENDRIK_WINDOW_PNG", (root() / "window.png").string());
    env_.set("ZENDRIK_HEADLESS", "1");
    env_.set("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:9/");  // nothing listens: no download
    const std::string command = std::string(ZENDRIK_CMAKE_COMMAND) + " --install " +
                                ZENDRIK_BINARY_DIR + " --prefix " + folder().string() + " >/dev/null";
    installed_ = std::system(command.c_str()) == 0 && fs::is_directory(folder() / "docs");
  }
  ~InstalledProgram() {
    for (pid_t pid : started_) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
  }
  bool installed() const { return installed_; }
  fs::path folder() const { return root() / "Zendrik_P3D"; }
  fs::path root() const { return root_.path(); }
  void useDisplay(const std::string& display) {
    env_.unset("ZENDRIK_HEADLESS");
    env_.set("DISPLAY", display);
  }
  // Starts the program in its folder, as a user does.
  pid_t start() {
    std::string program = (folder() / "zendrik_p3d").string();
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder().c_str());
    pid_t pid = -1;
    posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    started_.push_back(pid);
    return pid;
  }
  // The exit status; -1 when the process has not ended in time.
  int wait(pid_t pid, std::chrono::milliseconds timeout) {
    int status = 0;
    for (auto end = std::chrono::steady_clock::now() + timeout; ::waitpid(pid, &status, WNOHANG) == 0;) {
      if (std::chrono::steady_clock::now() > end) return -1;
      std::this_thread::sleep_for(10ms);
    }
    std::erase(started_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string setting(const std::string& name) const {
    pugi::xml_document document;
    document.load_file((root() / "AppData" / "Zendrik_P3D" / "parameters.xml").c_str());
    const std::string path = "/parameters/parameter[@name='" + name + "']";
    return document.select_node(path.c_str()).node().attribute("value").value();
  }

 private:
  platform_test::TempDir root_;
  platform_test::EnvGuard env_;
  bool installed_ = false;
  std::vector<pid_t> started_;
};

bool waitFor(const std::function<bool()>& done) {
  for (auto end = std::chrono::steady_clock::now() + 10s; !done();) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

std::string lf_read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProgramTest, InstanceSignalsAndClose) {
  InstalledProgram program;
  ASSERT_TRUE(program.installed());
  const pid_t first = program.start();
  ASSERT_TRUE(waitFor([&] { return program.setting("PROGRAM_VERSION") == "10.10.9"; }));
  // Without a download server the start-up ends in a SYSTEM ERROR that waits for the user; the
  // log is quiet from then on.
  ASSERT_TRUE(waitFor([&] { return lf_read(program.folder() / "Log.txt").find("Exiting: ") != std::string::npos; }));
  const std::string log = lf_read(program.folder() / "Log.txt");
  EXPECT_EQ(program.wait(program.start(), 5s), 255);  // -1: a second instance
  EXPECT_EQ(lf_read(program.folder() / "Log.txt"), log);
  ::kill(first, SIGUSR1);
  EXPECT_TRUE(waitFor([&] { return fs::exists(program.root() / "window.png"); }));
  ::kill(first, SIGTERM);
  EXPECT_EQ(program.wait(first, 2s), 0);
  EXPECT_EQ(program.setting("MAIN_WINDOW_X"), "400");
}

// A program folder that is read-only (or full): the log goes to AppData, and the window's
// error line names the folder.
TEST(ProgramTest, AProgramFolderThatCannotBeWrittenIsNamed) {
  InstalledProgram program;
  ASSERT_TRUE(program.installed());
  UnwritableFolder locked(program.folder());
  if (!locked.made()) GTEST_SKIP() << "no folder here can be made unwritable";
  const pid_t pid = program.start();
  const fs::path log = program.root() / "AppData" / "Zendrik_P3D" / "Log.txt";
  const std::string error =
      "Error 44: The program folder " + program.folder().string() + " cannot be written: ";
  EXPECT_TRUE(waitFor([&] { return lf_read(log).find(error) != std::string::npos; }))
      << lf_read(log);
  EXPECT_NE(lf_read(log).find("Log.txt cannot be written in the program folder"),
            std::string::npos);
  ::kill(pid, SIGTERM);
  EXPECT_EQ(program.wait(pid, 60s), 0);
  EXPECT_FALSE(fs::exists(program.folder() / "Log.txt"));
}

TEST(ProgramTest, OnAnXDisplay) {
  x11test::XServer server;
  std::string why;
  if (!server.start(&why)) GTEST_SKIP() << why;
  InstalledProgram program;
  ASSERT_TRUE(program.installed());
  program.useDisplay(server.display());
  const pid_t pid = program.start();
  Display* display = XOpenDisplay(server.display().c_str());
  ASSERT_NE(display, nullptr);
  Window window = 0;
  ASSERT_TRUE(waitFor([&] {
    window = x11test::findByName(display, DefaultRootWindow(display), "Zendrik_P3D");
    XWindowAttributes a{};
    return window != 0 && XGetWindowAttributes(display, window, &a) != 0 &&
           a.map_state == IsViewable && program.setting("LOG") == "true";
  })) << "no window titled Zendrik_P3D with its settings loaded";
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 652 + 6, 147 + 2 + 6, &x,
                        &y, &child);  // the LOG box's centre
  x11test::clickAt(display, x, y);
  EXPECT_TRUE(waitFor([&] { return program.setting("LOG") == "false"; }));
  x11test::sendDeleteWindow(display, window);
  EXPECT_EQ(program.wait(pid, 5s), 0);
  XCloseDisplay(display);
}

}  // namespace
