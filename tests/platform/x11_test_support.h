// A private X server for the tests that need a real display, and XTest input on it.
#pragma once

// Include it after gtest: Xlib's macros (None, Bool) clash with gtest's names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace x11test {

inline std::string findXvfb() {
  for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
    const std::string path = std::string(dir) + "/Xvfb";
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

// Xvfb on a display it picks itself (-displayfd), stopped when the object goes.
class XServer {
 public:
  bool start(std::string* why) {
    const std::string binary = findXvfb();
    if (binary.empty()) {
      *why = "Xvfb is not installed";
      return false;
    }
    int fds[2];
    if (pipe(fds) != 0) return false;
    const std::string fdText = std::to_string(fds[1]);
    std::vector<std::string> args = {binary, "-displayfd", fdText, "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      *why = "cannot start Xvfb";
      pid_ = 0;
      return false;
    }
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      *why = "Xvfb did not report a display";
      return false;
    }
    display_ = ":" + number;
    return true;
  }
  const std::string& display() const { return display_; }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = 0;
  std::string display_;
};


// The top-level window with this title, or 0.
inline Window findByName(Display* d, Window root, const char* name) {
  Window parent = 0;
  Window rootOut = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(d, root, &rootOut, &parent, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* title = nullptr;
    if (XFetchName(d, children[i], &title) != 0 && title != nullptr) {
      if (std::string(title) == name) found = children[i];
      XFree(title);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

// A left click at a screen point.
inline void clickAt(Display* d, int x, int y) {
  XTestFakeMotionEvent(d, 0, x, y, CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  XFlush(d);
}

// The window manager's delete request, as the close box sends it.
inline void sendDeleteWindow(Display* d, Window window) {
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  XSendEvent(d, window, False, NoEventMask, &close);
  XFlush(d);
}

}  // namespace x11test
