#include "program_process_helpers.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <pugixml.hpp>
#include <thread>

extern char** environ;

namespace shelltest {

namespace fs = std::filesystem;

InstalledProgram::InstalledProgram(const fs::path& root) : root_(root) {
  for (const char* folder : {"AppData", "run"}) fs::create_directories(root_ / folder);
}

InstalledProgram::~InstalledProgram() {
  for (pid_t pid : running_) {
    if (::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
  }
}

bool InstalledProgram::install(std::string* why) {
  const std::string command = std::string("\"") + ZENDRIK_CMAKE_COMMAND + "\" --install \"" +
                              ZENDRIK_BINARY_DIR + "\" --prefix \"" + folder().string() +
                              "\" >\"" + (root_ / "install.txt").string() + "\" 2>&1";
  if (std::system(command.c_str()) != 0 || !fs::exists(folder() / "zendrik_p3d")) {
    *why = "cmake --install failed: " + command;
    return false;
  }
  if (!fs::is_directory(folder() / "docs")) {
    *why = "no docs folder installed";
    return false;
  }
  return true;
}

pid_t InstalledProgram::start(const std::vector<std::string>& variables) {
  std::vector<std::string> env = {"APPDATA=" + (root_ / "AppData").string(),
                                  "ZENDRIK_RUNTIME_DIR=" + (root_ / "run").string(),
                                  "ZENDRIK_REGISTRY=" + (root_ / "registry.txt").string(),
                                  "ZENDRIK_HEADLESS=1"};
  for (const std::string& v : variables) {
    if (v.starts_with("DISPLAY=")) env.pop_back();  // a real window
    env.push_back(v);
  }
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    if (!entry.starts_with("ZENDRIK_") && !entry.starts_with("DISPLAY=") &&
        !entry.starts_with("APPDATA=")) {
      env.push_back(entry);
    }
  }
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = (folder() / "zendrik_p3d").string();
  char* argv[] = {program.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder().c_str());
  const std::string output = (root_ / "output.txt").string();
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  running_.push_back(pid);
  return pid;
}

int InstalledProgram::wait(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      std::erase(running_, pid);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::erase(running_, pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool InstalledProgram::waitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

fs::path InstalledProgram::parametersFile() const {
  return root_ / "AppData" / "Zendrik_P3D" / "parameters.xml";
}

std::string InstalledProgram::setting(const std::string& name) const {
  pugi::xml_document document;
  if (!document.load_file(parametersFile().c_str())) return "";
  const std::string path = "/parameters/parameter[@name='" + name + "']";
  return document.select_node(path.c_str()).node().attribute("value").value();
}

}  // namespace shelltest
