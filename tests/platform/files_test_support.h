// Test support for the platform layer's system half: a temporary folder and environment
// overrides that are undone at the end of a test.
#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace platform_test {

#ifdef _WIN32
inline int lf_processId() { return ::_getpid(); }
inline void lf_setEnv(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
}
inline void lf_unsetEnv(const std::string& name) { ::_putenv_s(name.c_str(), ""); }
#else
inline int lf_processId() { return ::getpid(); }
inline void lf_setEnv(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}
inline void lf_unsetEnv(const std::string& name) { ::unsetenv(name.c_str()); }
#endif

class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("zendrik-sys-" + std::to_string(lf_processId()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Sets or unsets variables; the old values come back when the guard ends.
class EnvGuard {
 public:
  EnvGuard() = default;
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;
  ~EnvGuard() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        lf_setEnv(name, *value);
      } else {
        lf_unsetEnv(name);
      }
    }
  }
  void set(const std::string& name, const std::string& value) {
    remember(name);
    lf_setEnv(name, value);
  }
  void unset(const std::string& name) {
    remember(name);
    lf_unsetEnv(name);
  }

 private:
  void remember(const std::string& name) {
    if (saved_.count(name) != 0) return;
    const char* old = std::getenv(name.c_str());
    saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace platform_test
