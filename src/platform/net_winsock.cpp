// Winsock over POSIX sockets: start-up counting and the error numbers. Any thread.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include "platform/win32_net.h"

namespace {

constexpr WORD kHighestVersion = MAKEWORD(2, 2);
std::atomic<int> g_wsaStartups{0};  // WSAStartup calls not yet ended by WSACleanup

// A write to a socket or pipe whose peer has gone must fail, not kill the process, as on
// Windows. Our own sends use MSG_NOSIGNAL; this covers the rest.
void lf_ignoreSigpipe() {
  static std::once_flag once;
  std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (data == nullptr) return WSAEFAULT;
  const BYTE major = LOBYTE(versionRequested);
  const BYTE minor = HIBYTE(versionRequested);
  if (major < 1) return WSAVERNOTSUPPORTED;
  const bool aboveHighest = major > 2 || (major == 2 && minor > 2);
  std::memset(data, 0, sizeof *data);
  data->wVersion = aboveHighest ? kHighestVersion : versionRequested;
  data->wHighVersion = kHighestVersion;
  std::strncpy(data->szDescription, "WinSock 2.0 over POSIX sockets", WSADESCRIPTION_LEN);
  std::strncpy(data->szSystemStatus, "Running", WSASYS_STATUS_LEN);
  lf_ignoreSigpipe();
  g_wsaStartups.fetch_add(1);
  return 0;
}

int WSACleanup() {
  int count = g_wsaStartups.load();
  while (count > 0 && !g_wsaStartups.compare_exchange_weak(count, count - 1)) {
  }
  if (count > 0) return 0;
  WSASetLastError(WSANOTINITIALISED);
  return SOCKET_ERROR;
}

// errno doubles as the thread's Winsock error: WSASetLastError stores WSA numbers (all above
// 10000, beyond every errno value) there, the failing calls leave their errno.
int WSAGetLastError() {
  return gf_wsaErrorFromErrno(errno);
}
void WSASetLastError(int error) {
  errno = error;
}

int gf_wsaErrorFromErrno(int errnoValue) {
  switch (errnoValue) {
    case EINTR:
      return WSAEINTR;
    case EBADF:
    case ENOTSOCK:
      return WSAENOTSOCK;
    case EACCES:
    case EPERM:
      return WSAEACCES;
    case EFAULT:
      return WSAEFAULT;
    case EINVAL:
      return WSAEINVAL;
    case EMFILE:
    case ENFILE:
      return WSAEMFILE;
    case EAGAIN:
      return WSAEWOULDBLOCK;
    case EINPROGRESS:
      return WSAEINPROGRESS;
    case EALREADY:
      return WSAEALREADY;
    case EDESTADDRREQ:
      return WSAEDESTADDRREQ;
    case EMSGSIZE:
      return WSAEMSGSIZE;
    case EPROTOTYPE:
      return WSAEPROTOTYPE;
    case ENOPROTOOPT:
      return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
      return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
      return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
      return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
      return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
      return WSAEAFNOSUPPORT;
    case EADDRINUSE:
      return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
      return WSAEADDRNOTAVAIL;
    case ENETDOWN:
      return WSAENETDOWN;
    case ENETUNREACH:
      return WSAENETUNREACH;
    case ENETRESET:
      return WSAENETRESET;
    case ECONNABORTED:
      return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
      return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
      return WSAENOBUFS;
    case EISCONN:
      return WSAEISCONN;
    case ENOTCONN:
      return WSAENOTCONN;
    case ESHUTDOWN:
      return WSAESHUTDOWN;
    case ETOOMANYREFS:
      return WSAETOOMANYREFS;
    case ETIMEDOUT:
      return WSAETIMEDOUT;
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    case ELOOP:
      return WSAELOOP;
    case ENAMETOOLONG:
      return WSAENAMETOOLONG;
    case EHOSTDOWN:
      return WSAEHOSTDOWN;
    case EHOSTUNREACH:
      return WSAEHOSTUNREACH;
    case ENOTEMPTY:
      return WSAENOTEMPTY;
    case EUSERS:
      return WSAEUSERS;
    case EDQUOT:
      return WSAEDQUOT;
    case ESTALE:
      return WSAESTALE;
    case EREMOTE:
      return WSAEREMOTE;
    default:
      return errnoValue;
  }
}
