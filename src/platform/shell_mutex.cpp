// The named mutex as a per-user lock file: the first handle of a name holds an exclusive
// flock on gf_runtimeFolder()/"mutex_<name>.lock"; the kernel drops it when the holder's
// descriptor closes, also when the holder dies. Any thread.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/files_handle_table.h"
#include "platform/win32_shell.h"
#include "platform/win32_text.h"

namespace {

// Separators (as in "Local\...") become '_', so every name is one file of the folder.
std::string lf_lockFileName(std::string name) {
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c == '\\' || c == '/'; }, '_');
  return "mutex_" + name + ".lock";
}

HANDLE lf_createMutex(const std::string& name) {
  if (name.empty()) {  // an unnamed mutex: nobody else can find it
    SetLastError(ERROR_SUCCESS);
    return gf_addHandle(std::make_shared<HandleObject>(HandleKind::mutex, -1));
  }
  const auto path = gf_runtimeFolder() / lf_lockFileName(name);
  constexpr mode_t kOwnerOnly = 0600;
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kOwnerOnly);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetLastError(gf_win32ErrorFromErrno(errno));
    return nullptr;
  }
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked < 0 && errno == EINTR);
  if (locked == 0) {
    const HANDLE handle = gf_addHandle(std::make_shared<HandleObject>(HandleKind::mutex, fd));
    SetLastError(ERROR_SUCCESS);
    return handle;
  }
  const int error = errno;
  ::close(fd);
  if (error != EWOULDBLOCK) {
    SetLastError(gf_win32ErrorFromErrno(error));
    return nullptr;
  }
  // Someone holds the name: a handle to the existing mutex, as Windows gives one.
  const HANDLE handle = gf_addHandle(std::make_shared<HandleObject>(HandleKind::mutex, -1));
  SetLastError(ERROR_ALREADY_EXISTS);
  return handle;
}

}  // namespace

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR name) {
  return lf_createMutex(name == nullptr ? std::string() : std::string(name));
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR name) {
  return lf_createMutex(name == nullptr ? std::string() : gf_toUtf8(name));
}
