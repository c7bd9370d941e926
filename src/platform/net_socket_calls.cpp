// The socket calls whose Winsock behaviour differs from Linux's: closing and shutting down
// wake blocked callers, send never raises SIGPIPE, oversize datagrams are errors, 1-byte
// boolean options are widened. Any thread.
//
// Every call made through these functions on a descriptor is counted while it runs.
// closesocket marks the descriptor as closing (new calls on it fail at once, as calls on a
// closed socket do with Winsock), shuts the socket down (which makes blocked calls return),
// waits until no call is running on it, and only then closes it: a woken thread never
// touches a descriptor number that a new socket may already have taken over.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/win32_net.h"

namespace {

// Longest wait of closesocket for calls that a shutdown does not end (a connect under way).
constexpr auto kCloseWaitLimit = std::chrono::seconds(2);

struct CallsInFlight {
  std::mutex mutex;
  std::condition_variable idle;
  std::unordered_map<int, int> counts;  // calls running per descriptor; under mutex
  std::unordered_set<int> closing;      // descriptors inside closesocket; under mutex
};

CallsInFlight& lf_calls() {
  static auto* calls = new CallsInFlight;  // never destroyed: sockets may close at exit
  return *calls;
}

// Counts one call on a descriptor for its lifetime; refused (errno EBADF) while the
// descriptor is being closed.
class CallScope {
 public:
  explicit CallScope(int fd) : fd_(fd) {
    CallsInFlight& calls = lf_calls();
    std::lock_guard lock(calls.mutex);
    admitted_ = calls.closing.count(fd_) == 0;
    if (admitted_) {
      ++calls.counts[fd_];
    } else {
      errno = EBADF;
    }
  }
  ~CallScope() {
    if (!admitted_) return;
    CallsInFlight& calls = lf_calls();
    std::lock_guard lock(calls.mutex);
    const auto it = calls.counts.find(fd_);
    if (--it->second == 0) {
      calls.counts.erase(it);
      calls.idle.notify_all();
    }
  }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  bool admitted() const { return admitted_; }

 private:
  const int fd_;
  bool admitted_ = false;
};

// Shuts the socket down, waits for the calls running on it, and closes it. The descriptor is
// released while the lock is held, so no call can start on a new socket of the same number
// before it has left the closing set.
int lf_closeWhenIdle(int fd) {
  CallsInFlight& calls = lf_calls();
  std::unique_lock lock(calls.mutex);
  calls.closing.insert(fd);
  lock.unlock();
  ::shutdown(fd, SHUT_RDWR);
  lock.lock();
  calls.idle.wait_for(lock, kCloseWaitLimit, [&] { return calls.counts.count(fd) == 0; });
  const int result = ::close(fd);
  const int closeError = errno;
  calls.closing.erase(fd);
  errno = closeError;
  return result;
}

// The descriptor of a SOCKET, or -1 (errno EBADF) when it cannot be one.
int lf_fd(SOCKET s) {
  if (s == INVALID_SOCKET || s > static_cast<SOCKET>(INT_MAX)) {
    errno = EBADF;
    return -1;
  }
  return static_cast<int>(s);
}

bool lf_isDatagram(int fd) {
  int type = 0;
  socklen_t length = sizeof type;
  return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM;
}

int lf_result(ssize_t n) {
  return n < 0 ? SOCKET_ERROR : static_cast<int>(n);
}

// Moves past n bytes sent: the buffers sent whole (and empty ones) are passed, a partly sent one
// is trimmed.
void lf_passSent(std::vector<iovec>& buffers, std::size_t& next, std::size_t n) {
  while (next < buffers.size() && n >= buffers[next].iov_len) {
    n -= buffers[next].iov_len;
    ++next;
  }
  if (n == 0) return;
  buffers[next].iov_base = static_cast<char*>(buffers[next].iov_base) + n;
  buffers[next].iov_len -= n;
}

}  // namespace

int closesocket(SOCKET s) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  // Winsock ends the blocking calls of other threads on a closed socket; a plain close does
  // not wake them here, a shutdown does.
  return lf_closeWhenIdle(fd) == 0 || errno == EINTR ? 0 : SOCKET_ERROR;
}

int shutdown(SOCKET s, int how) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  return ::shutdown(fd, how) == 0 ? 0 : SOCKET_ERROR;
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  if (argument == nullptr) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  if (command == static_cast<long>(FIONBIO)) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return SOCKET_ERROR;
    const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, wanted) == 0 ? 0 : SOCKET_ERROR;
  }
  if (command == static_cast<long>(FIONREAD)) {
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) != 0) return SOCKET_ERROR;
    *argument = static_cast<u_long>(waiting);
    return 0;
  }
  errno = EINVAL;
  return SOCKET_ERROR;
}

SOCKET gf_wsaAccept(SOCKET s, sockaddr* address, int* addressLength) {
  const int fd = lf_fd(s);
  if (fd < 0) return INVALID_SOCKET;
  if (address != nullptr && (addressLength == nullptr || *addressLength < 0)) {
    errno = EFAULT;
    return INVALID_SOCKET;
  }
  const CallScope scope(fd);
  if (!scope.admitted()) return INVALID_SOCKET;
  socklen_t length = address != nullptr ? static_cast<socklen_t>(*addressLength) : 0;
  int accepted;
  do {
    accepted = ::accept4(fd, address, address != nullptr ? &length : nullptr, SOCK_CLOEXEC);
  } while (accepted < 0 && errno == EINTR);
  if (accepted < 0) return INVALID_SOCKET;
  if (address != nullptr) *addressLength = static_cast<int>(length);
  return static_cast<SOCKET>(accepted);
}

int gf_wsaRecv(SOCKET s, void* buffer, int length, int flags) {
  return gf_wsaRecvFrom(s, buffer, length, flags, nullptr, nullptr);
}

int gf_wsaSend(SOCKET s, const void* buffer, int length, int flags) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  if (length < 0) {
    errno = EINVAL;
    return SOCKET_ERROR;
  }
  const CallScope scope(fd);
  if (!scope.admitted()) return SOCKET_ERROR;
  ssize_t n;
  do {
    n = ::send(fd, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return lf_result(n);
}

int WSASend(SOCKET s, LPWSABUF buffers, DWORD bufferCount, LPDWORD bytesSent, DWORD flags,
            LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE completionRoutine) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  if (overlapped != nullptr || completionRoutine != nullptr) {
    errno = EOPNOTSUPP;
    return SOCKET_ERROR;
  }
  if (buffers == nullptr && bufferCount > 0) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  const CallScope scope(fd);
  if (!scope.admitted()) return SOCKET_ERROR;
  std::vector<iovec> pending(bufferCount);
  for (DWORD i = 0; i < bufferCount; ++i) pending[i] = {buffers[i].buf, buffers[i].len};
  std::size_t next = 0;
  DWORD sent = 0;
  lf_passSent(pending, next, 0);
  while (next < pending.size()) {
    msghdr message{};
    message.msg_iov = pending.data() + next;
    message.msg_iovlen = std::min<std::size_t>(pending.size() - next, IOV_MAX);
    // More buffers than one call takes: the kernel keeps a short tail for the next call, so
    // the peer gets the bytes as Winsock's one send would send them.
    const int more = next + message.msg_iovlen < pending.size() ? MSG_MORE : 0;
    const ssize_t n = ::sendmsg(fd, &message, static_cast<int>(flags) | MSG_NOSIGNAL | more);
    if (n < 0) {
      if (errno == EINTR) continue;
      return SOCKET_ERROR;
    }
    sent += static_cast<DWORD>(n);
    lf_passSent(pending, next, static_cast<std::size_t>(n));
  }
  if (bytesSent != nullptr) *bytesSent = sent;
  return 0;
}

int gf_wsaSendTo(SOCKET s, const void* buffer, int length, int flags, const sockaddr* to,
                 int toLength) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  if (length < 0 || toLength < 0) {
    errno = EINVAL;
    return SOCKET_ERROR;
  }
  const CallScope scope(fd);
  if (!scope.admitted()) return SOCKET_ERROR;
  ssize_t n;
  do {
    n = ::sendto(fd, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL, to,
                 static_cast<socklen_t>(toLength));
  } while (n < 0 && errno == EINTR);
  return lf_result(n);
}

int gf_wsaRecvFrom(SOCKET s, void* buffer, int length, int flags, sockaddr* from, int* fromLength) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  if (length < 0 || (from != nullptr && (fromLength == nullptr || *fromLength < 0))) {
    errno = from != nullptr && fromLength == nullptr ? EFAULT : EINVAL;
    return SOCKET_ERROR;
  }
  const CallScope scope(fd);
  if (!scope.admitted()) return SOCKET_ERROR;
  // On a datagram socket MSG_TRUNC makes the kernel report the datagram's real size, so an
  // oversize datagram is an error as with Winsock, not silently cut.
  const bool datagram = lf_isDatagram(fd);
  socklen_t addressLength = from != nullptr ? static_cast<socklen_t>(*fromLength) : 0;
  ssize_t n;
  do {
    n = ::recvfrom(fd, buffer, static_cast<std::size_t>(length),
                   datagram ? (flags | MSG_TRUNC) : flags, from,
                   from != nullptr ? &addressLength : nullptr);
  } while (n < 0 && errno == EINTR);
  if (from != nullptr && n >= 0) *fromLength = static_cast<int>(addressLength);
  if (datagram && n > length) {
    errno = EMSGSIZE;
    return SOCKET_ERROR;
  }
  return lf_result(n);
}

int gf_wsaSetSockOpt(SOCKET s, int level, int option, const void* value, int length) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  if (length < 0 || (value == nullptr && length > 0)) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  // Winsock accepts a boolean option as a single byte (or a short); Linux wants an int.
  if (length > 0 && length < static_cast<int>(sizeof(int))) {
    int widened = 0;
    if (length == 1) {
      widened = *static_cast<const unsigned char*>(value);
    } else {
      unsigned short shortValue = 0;
      std::memcpy(&shortValue, value, sizeof shortValue);
      widened = shortValue;
    }
    return ::setsockopt(fd, level, option, &widened, static_cast<socklen_t>(sizeof widened)) == 0
               ? 0
               : SOCKET_ERROR;
  }
  return ::setsockopt(fd, level, option, value, static_cast<socklen_t>(length)) == 0 ? 0
                                                                                     : SOCKET_ERROR;
}

int gf_wsaGetSockOpt(SOCKET s, int level, int option, void* value, int* length) {
  const int fd = lf_fd(s);
  if (fd < 0) return SOCKET_ERROR;
  if (value == nullptr || length == nullptr || *length < 0) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  auto size = static_cast<socklen_t>(*length);
  if (::getsockopt(fd, level, option, value, &size) != 0) return SOCKET_ERROR;
  *length = static_cast<int>(size);
  return 0;
}
