// ReadFile, WriteFile, CancelIo and CloseHandle on the handles of the handle table.
// Any thread; a pipe handle may be read by one thread while another writes or closes it.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files_handle_table.h"
#include "platform/win32_files.h"

namespace {

// Maps a failed read or write; a pipe that was cancelled reports the abort.
DWORD lf_ioError(const HandleObject& object, int errnoValue, bool writing) {
  if (object.cancelled.load()) return ERROR_OPERATION_ABORTED;
  if (errnoValue == EBADF) return ERROR_ACCESS_DENIED;  // not opened for this direction
  if (object.kind == HandleKind::pipe) {
    if (errnoValue == EPIPE || errnoValue == ECONNRESET) {
      return writing ? ERROR_NO_DATA : ERROR_BROKEN_PIPE;
    }
  }
  return gf_win32ErrorFromErrno(errnoValue);
}

ssize_t lf_readOnce(const HandleObject& object, void* buffer, std::size_t count) {
  ssize_t n;
  do {
    n = object.kind == HandleKind::pipe ? ::recv(object.fd, buffer, count, 0)
                                        : ::read(object.fd, buffer, count);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t lf_writeOnce(const HandleObject& object, const void* buffer, std::size_t count) {
  ssize_t n;
  do {
    n = object.kind == HandleKind::pipe ? ::send(object.fd, buffer, count, MSG_NOSIGNAL)
                                        : ::write(object.fd, buffer, count);
  } while (n < 0 && errno == EINTR);
  return n;
}

std::shared_ptr<HandleObject> lf_ioObject(HANDLE handle, LPOVERLAPPED overlapped) {
  if (overlapped != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto object = gf_findHandle(handle);
  if (object && object->kind == HandleKind::mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return object;
}

}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped) {
  if (bytesRead != nullptr) *bytesRead = 0;
  const auto object = lf_ioObject(file, overlapped);
  if (!object) return FALSE;
  if (buffer == nullptr && toRead > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (toRead == 0) return TRUE;
  auto* bytes = static_cast<char*>(buffer);
  DWORD total = 0;
  // A pipe delivers what has arrived; a file is read to the amount asked or its end.
  while (total < toRead) {
    const ssize_t n = lf_readOnce(*object, bytes + total, toRead - total);
    if (n < 0) {
      SetLastError(lf_ioError(*object, errno, false));
      if (bytesRead != nullptr) *bytesRead = total;
      return FALSE;
    }
    if (n == 0) {
      if (object->kind == HandleKind::pipe) {
        SetLastError(object->cancelled.load() ? ERROR_OPERATION_ABORTED : ERROR_BROKEN_PIPE);
        return FALSE;
      }
      break;
    }
    total += static_cast<DWORD>(n);
    if (object->kind == HandleKind::pipe) break;
  }
  if (bytesRead != nullptr) *bytesRead = total;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  const auto object = lf_ioObject(file, overlapped);
  if (!object) return FALSE;
  if (buffer == nullptr && toWrite > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* bytes = static_cast<const char*>(buffer);
  DWORD total = 0;
  while (total < toWrite) {
    const ssize_t n = lf_writeOnce(*object, bytes + total, toWrite - total);
    if (n < 0) {
      SetLastError(lf_ioError(*object, errno, true));
      if (bytesWritten != nullptr) *bytesWritten = total;
      return FALSE;
    }
    total += static_cast<DWORD>(n);
  }
  if (bytesWritten != nullptr) *bytesWritten = total;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL CancelIo(HANDLE file) {
  const auto object = gf_findHandle(file);
  if (!object) return FALSE;
  if (object->kind == HandleKind::pipe) {
    object->cancelled.store(true);
    ::shutdown(object->fd, SHUT_RDWR);
  }
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  const auto taken = gf_takeHandle(object);
  if (!taken) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Wake readers still inside a call; the descriptor closes with the last reference.
  if (taken->kind == HandleKind::pipe) {
    taken->cancelled.store(true);
    ::shutdown(taken->fd, SHUT_RDWR);
  }
  return TRUE;
}
