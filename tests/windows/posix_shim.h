// The few POSIX calls the suites use for their scaffolding (environment variables, temporary
// folders), on Windows. Included into every test source of the Windows tree by the build.
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>

#include <cstdlib>
#include <cstring>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (overwrite == 0 && std::getenv(name) != nullptr) return 0;
  return ::_putenv_s(name, value);
}
// An empty value removes the variable on Windows.
inline int unsetenv(const char* name) { return ::_putenv_s(name, ""); }
inline char* mkdtemp(char* pattern) {
  if (::_mktemp_s(pattern, std::strlen(pattern) + 1) != 0) return nullptr;
  return ::_mkdir(pattern) == 0 ? pattern : nullptr;
}
#endif
