// The program run as a user runs it: a program folder laid out by `cmake --install`, its own
// AppData, runtime and registry files, and the program started there as a child process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace shelltest {

class InstalledProgram {
 public:
  // Everything lives below root: the program folder root/Zendrik_P3D, AppData, runtime files.
  explicit InstalledProgram(const std::filesystem::path& root);
  ~InstalledProgram();
  InstalledProgram(const InstalledProgram&) = delete;
  InstalledProgram& operator=(const InstalledProgram&) = delete;

  // Lays out the program folder; false with the reason.
  bool install(std::string* why);
  // Starts the program in its folder with the test's variables ("NAME=value") added; headless
  // unless one of them sets DISPLAY.
  pid_t start(const std::vector<std::string>& variables = {});
  // The exit status, or -1 when the process has not ended within the time (it is then killed).
  int wait(pid_t pid, std::chrono::milliseconds timeout);
  // Polls `done` every 20 ms for up to ten seconds.
  static bool waitFor(const std::function<bool()>& done);

  std::filesystem::path folder() const { return root_ / "Zendrik_P3D"; }
  std::filesystem::path parametersFile() const;
  std::filesystem::path root() const { return root_; }
  // The value of a parameters.xml entry, "" when there is none.
  std::string setting(const std::string& name) const;

 private:
  std::filesystem::path root_;
  std::vector<pid_t> running_;
};

}  // namespace shelltest
