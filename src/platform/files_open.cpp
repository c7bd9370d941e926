// CreateFileW for files (pipes go to pipe_client.cpp) and the errno -> Win32 error mapping.
// Any thread.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/files_handle_table.h"
#include "platform/paths.h"
#include "platform/win32_files.h"
#include "platform/win32_text.h"

namespace fs = std::filesystem;

DWORD gf_win32ErrorFromErrno(int errnoValue) {
  switch (errnoValue) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EPIPE:
      return ERROR_NO_DATA;
    case ECONNRESET:
      return ERROR_BROKEN_PIPE;
    case ECONNREFUSED:
      return ERROR_FILE_NOT_FOUND;
    case EAGAIN:
      return ERROR_PIPE_BUSY;
    case ENOTSUP:
      return ERROR_NOT_SUPPORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

namespace {

bool lf_isPipeName(const std::string& name) {
  if (name.size() < 3 ||
      !((name[0] == '\\' && name[1] == '\\') || (name[0] == '/' && name[1] == '/'))) {
    return false;
  }
  const std::size_t serverEnd = name.find_first_of("\\/", 2);
  if (serverEnd == std::string::npos) return false;
  const std::string kind = name.substr(serverEnd + 1, 5);
  return kind.size() == 5 && (kind[4] == '\\' || kind[4] == '/') &&
         std::tolower(static_cast<unsigned char>(kind[0])) == 'p' &&
         std::tolower(static_cast<unsigned char>(kind[1])) == 'i' &&
         std::tolower(static_cast<unsigned char>(kind[2])) == 'p' &&
         std::tolower(static_cast<unsigned char>(kind[3])) == 'e';
}

// A native path for the name: Windows texts with a drive letter are mapped, a name that does
// not exist as written is looked up ignoring case.
fs::path lf_filePath(const std::string& name) {
  const bool drive =
      name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
  return drive ? gf_winPath(name) : gf_resolvePathCase(name);
}

// Win32 tells a missing file (2) from a missing folder (3).
DWORD lf_openError(int errnoValue, const fs::path& path) {
  if (errnoValue != ENOENT) return gf_win32ErrorFromErrno(errnoValue);
  std::error_code ec;
  const fs::path parent = path.parent_path();
  const bool parentExists = parent.empty() || fs::is_directory(parent, ec);
  return parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

int lf_accessFlags(DWORD access) {
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  if (read && write) return O_RDWR;
  return write ? O_WRONLY : O_RDONLY;
}

int lf_openRetrying(const fs::path& path, int flags) {
  constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens with the creation disposition; `existed` tells whether the file was there already.
int lf_openWithDisposition(const fs::path& path, int accessFlags, DWORD disposition,
                           bool& existed) {
  existed = false;
  switch (disposition) {
    case CREATE_NEW:
      return lf_openRetrying(path, accessFlags | O_CREAT | O_EXCL);
    case OPEN_EXISTING:
      existed = true;
      return lf_openRetrying(path, accessFlags);
    case TRUNCATE_EXISTING:
      existed = true;
      return lf_openRetrying(path, accessFlags | O_TRUNC);
    case CREATE_ALWAYS:
    case OPEN_ALWAYS: {
      const int truncate = disposition == CREATE_ALWAYS ? O_TRUNC : 0;
      int fd = lf_openRetrying(path, accessFlags | truncate);
      if (fd >= 0) {
        existed = true;
        return fd;
      }
      if (errno != ENOENT) return fd;
      fd = lf_openRetrying(path, accessFlags | O_CREAT | O_EXCL);
      if (fd < 0 && errno == EEXIST) {  // created by someone else in between
        existed = true;
        fd = lf_openRetrying(path, accessFlags | truncate);
      }
      return fd;
    }
    default:
      errno = EINVAL;
      return -1;
  }
}

}  // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD, HANDLE) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string name = gf_toUtf8(fileName);
  if (lf_isPipeName(name)) return gf_openPipeClient(name);
  if (name.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (creationDisposition == TRUNCATE_EXISTING && (desiredAccess & GENERIC_WRITE) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const fs::path path = lf_filePath(name);
  bool existed = false;
  const int fd =
      lf_openWithDisposition(path, lf_accessFlags(desiredAccess), creationDisposition, existed);
  if (fd < 0) {
    SetLastError(lf_openError(errno, path));
    return INVALID_HANDLE_VALUE;
  }
  // Opening a folder needs backup semantics on Windows; the program never asks for it.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE handle = gf_addHandle(std::make_shared<HandleObject>(HandleKind::file, fd));
  const bool reportExisting =
      existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
  SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}
