// The few POSIX calls the suites use for their scaffolding (environment variables, temporary
// folders), on Windows. Included into every test source of the Windows tree by the build.
#pragma once

#ifdef _WIN32
#include <process.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/paths.h"

inline int setenv(const char* name, const char* value, int overwrite) {
  if (overwrite == 0 && std::getenv(name) != nullptr) return 0;
  return ::_putenv_s(name, value);
}
// An empty value removes the variable on Windows.
inline int unsetenv(const char* name) { return ::_putenv_s(name, ""); }
// The pattern is UTF-8, as every path text: the folder is made through its wide name (the
// narrow calls would read the name in the ANSI code page).
inline char* mkdtemp(char* pattern) {
  constexpr std::size_t kMarks = 6;  // the trailing "XXXXXX"
  constexpr std::size_t kAttempts = 100;
  const std::size_t length = std::strlen(pattern);
  if (length < kMarks) return nullptr;
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  for (std::size_t attempt = 0; attempt < kAttempts; ++attempt) {
    for (std::size_t i = length - kMarks; i < length; ++i) {
      pattern[i] = kLetters[random() % (sizeof kLetters - 1)];
    }
    std::error_code error;
    if (std::filesystem::create_directory(gf_pathFromUtf8(pattern), error)) return pattern;
    if (error) return nullptr;
  }
  return nullptr;
}
#endif
