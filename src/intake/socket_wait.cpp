#include "intake/socket_wait.h"

Readiness gf_waitReadable(SOCKET s, int timeoutMs) {
  if (s == INVALID_SOCKET) return Readiness::kError;
#ifndef _WIN32
  // A POSIX fd_set is a bitmap of descriptors below FD_SETSIZE; a larger one would be written
  // past it. Winsock's is a list of up to FD_SETSIZE sockets of any value.
  if (s >= static_cast<SOCKET>(FD_SETSIZE)) return Readiness::kError;
#endif
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<int>(s), &set);
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int result = select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &timeout);
  if (result > 0) return Readiness::kReady;
  if (result == 0 || WSAGetLastError() == WSAEINTR) return Readiness::kTimeout;
  return Readiness::kError;
}
