// Named pipes as Unix-domain stream sockets: the pipe name's socket path, the client's open,
// and WaitNamedPipeW. Any thread.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "platform/files_handle_table.h"
#include "platform/paths_env.h"
#include "platform/win32_files.h"
#include "platform/win32_net.h"
#include "platform/win32_shell.h"
#include "platform/win32_text.h"

namespace fs = std::filesystem;

namespace {

constexpr auto kWaitPause = std::chrono::milliseconds(10);

bool lf_isSeparator(char c) {
  return c == '\\' || c == '/';
}

bool lf_isLocalServer(std::string_view server) {
  if (server == "." || gf_equalNoCase(server, "localhost")) return true;
  char host[256] = {};
  return ::gethostname(host, sizeof host - 1) == 0 && gf_equalNoCase(server, host);
}

enum class PipeName { local, remote, invalid };

// Splits "\\server\pipe\rest" (or a bare name); `rest` receives the pipe's own name.
PipeName lf_parsePipeName(std::string_view text, std::string& rest) {
  if (text.size() >= 2 && lf_isSeparator(text[0]) && lf_isSeparator(text[1])) {
    const std::size_t serverEnd =
        std::find_if(text.begin() + 2, text.end(), lf_isSeparator) - text.begin();
    if (serverEnd + 6 > text.size()) return PipeName::invalid;
    const std::string_view server = text.substr(2, serverEnd - 2);
    if (!gf_equalNoCase(text.substr(serverEnd + 1, 4), "pipe") ||
        !lf_isSeparator(text[serverEnd + 5])) {
      return PipeName::invalid;
    }
    rest = std::string(text.substr(serverEnd + 6));
    if (rest.empty()) return PipeName::invalid;
    return lf_isLocalServer(server) ? PipeName::local : PipeName::remote;
  }
  rest = std::string(text);
  return rest.empty() ? PipeName::invalid : PipeName::local;
}

bool lf_fillAddress(const fs::path& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.empty() || text.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

// Why a connection to an existing-or-not pipe socket failed, as Windows reports it.
DWORD lf_connectError(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
    case ECONNREFUSED:
      return ERROR_FILE_NOT_FOUND;  // no server, or a stale socket file
    case EAGAIN:
      return ERROR_PIPE_BUSY;  // the server's backlog is full
    default:
      return gf_win32ErrorFromErrno(errnoValue);
  }
}

}  // namespace

fs::path gf_pipeSocketPath(std::string_view pipeName) {
  std::string rest;
  if (lf_parsePipeName(pipeName, rest) != PipeName::local) return {};
  // Pipe names are case-insensitive: both ends meet at the lower-case file name.
  std::transform(rest.begin(), rest.end(), rest.begin(), [](char c) {
    return lf_isSeparator(c) ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  const fs::path folder = gf_runtimeFolder() / "pipes";
  std::error_code ec;
  if (fs::create_directories(folder, ec)) {
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
  }
  fs::path path = folder / rest;
  sockaddr_un probe{};
  if (!lf_fillAddress(path, probe)) return {};
  return path;
}

HANDLE gf_openPipeClient(const std::string& pipeName) {
  std::string rest;
  const PipeName kind = lf_parsePipeName(pipeName, rest);
  if (kind != PipeName::local) {
    SetLastError(kind == PipeName::remote ? ERROR_BAD_NETPATH : ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  sockaddr_un address{};
  if (!lf_fillAddress(gf_pipeSocketPath(pipeName), address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    SetLastError(gf_win32ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    const int error = errno;
    ::close(fd);
    SetLastError(lf_connectError(error));
    return INVALID_HANDLE_VALUE;
  }
  // Reads and writes block, as on a pipe opened without overlapped I/O.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const HANDLE handle = gf_addHandle(std::make_shared<HandleObject>(HandleKind::pipe, fd));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WaitNamedPipeW(LPCWSTR pipeName, DWORD timeoutMs) {
  if (pipeName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string name = gf_toUtf8(pipeName);
  std::string rest;
  const PipeName kind = lf_parsePipeName(name, rest);
  if (kind != PipeName::local) {
    SetLastError(kind == PipeName::remote ? ERROR_BAD_NETPATH : ERROR_INVALID_NAME);
    return FALSE;
  }
  const fs::path path = gf_pipeSocketPath(name);
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const auto pause = timeoutMs == NMPWAIT_USE_DEFAULT_WAIT
                         ? kWaitPause
                         : std::min(kWaitPause, std::chrono::milliseconds(timeoutMs));
  std::this_thread::sleep_for(pause);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
