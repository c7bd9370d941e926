// The stand-in's sockets over Winsock. What Linux and Windows do not share: the wait (poll or
// WSAPoll), close-on-exec for sockets a child process must not inherit, and the Unix-domain
// listener that stands in for the named pipe on Linux.
#include "standin_sockets.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

namespace p3d {

namespace {

#ifdef _WIN32
constexpr int kCloseOnExec = 0;  // Winsock handles are not inherited by default
int lf_poll(std::vector<pollfd>& fds, int timeoutMs) {
  return WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
}
std::string lf_lastError() { return fmt::format("Winsock error {}", WSAGetLastError()); }
#else
constexpr int kCloseOnExec = SOCK_CLOEXEC;
int lf_poll(std::vector<pollfd>& fds, int timeoutMs) {
  return ::poll(fds.data(), fds.size(), timeoutMs);
}
std::string lf_lastError() { return std::strerror(errno); }
#endif

SOCKET lf_socket(int family, int type, int protocol) {
  return static_cast<SOCKET>(::socket(family, type | kCloseOnExec, protocol));
}

void lf_setFlag(SOCKET s, int level, int option) {
  const int one = 1;
  setsockopt(s, level, option, reinterpret_cast<const char*>(&one), sizeof one);
}

}  // namespace

SOCKET gf_listenTcp(int family, int port, int& boundPort) {
  SOCKET s = lf_socket(family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error(fmt::format("socket: {}", lf_lastError()));
#ifdef _WIN32
  // Windows' SO_REUSEADDR would let a second listener take a port in use.
  lf_setFlag(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE);
#else
  lf_setFlag(s, SOL_SOCKET, SO_REUSEADDR);
#endif
  sockaddr_storage addr{};
  socklen_t len = 0;
  if (family == AF_INET) {
    auto* a = reinterpret_cast<sockaddr_in*>(&addr);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<std::uint16_t>(port));
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof(sockaddr_in);
  } else {
    lf_setFlag(s, IPPROTO_IPV6, IPV6_V6ONLY);
    auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<std::uint16_t>(port));
    a->sin6_addr = in6addr_loopback;
    len = sizeof(sockaddr_in6);
  }
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(s, 16) != 0) {
    const std::string why = lf_lastError();
    gf_closeSocket(s);
    throw std::runtime_error(fmt::format("cannot listen on {} port {}: {}",
                                         family == AF_INET ? "127.0.0.1" : "::1", port, why));
  }
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  boundPort = family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port)
                                : ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
  return s;
}

#ifdef _WIN32
SOCKET gf_listenPipe(const std::string& path) {
  throw std::runtime_error(
      fmt::format("cannot listen on pipe {}: the pipe listener is Linux's only", path));
}

void gf_removePipe(const std::string&) {}
#else
SOCKET gf_listenPipe(const std::string& path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) {
    throw std::runtime_error(fmt::format("pipe path too long: {}", path));
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  ::unlink(path.c_str());
  SOCKET s = lf_socket(AF_UNIX, SOCK_STREAM, 0);
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(s, 16) != 0) {
    const std::string why = lf_lastError();
    gf_closeSocket(s);
    throw std::runtime_error(fmt::format("cannot listen on pipe {}: {}", path, why));
  }
  return s;
}

void gf_removePipe(const std::string& path) { ::unlink(path.c_str()); }
#endif

SOCKET gf_openWakeSocket() {
  SOCKET s = lf_socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      connect(s, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    const std::string why = lf_lastError();
    gf_closeSocket(s);
    throw std::runtime_error(fmt::format("cannot open the wake socket: {}", why));
  }
  return s;
}

void gf_wake(SOCKET wake) {
  if (wake != INVALID_SOCKET) send(wake, "x", 1, 0);
}

std::vector<SOCKET> gf_waitReadable(const std::vector<SOCKET>& sockets, int timeoutMs) {
  std::vector<pollfd> fds;
  for (SOCKET s : sockets) fds.push_back({static_cast<decltype(pollfd::fd)>(s), POLLIN, 0});
  while (lf_poll(fds, timeoutMs) < 0) {
    if (WSAGetLastError() != WSAEINTR) return {};
  }
  std::vector<SOCKET> readable;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if ((fds[i].revents & POLLIN) != 0) readable.push_back(sockets[i]);
  }
  return readable;
}

SOCKET gf_acceptClient(SOCKET listener, bool pipe, std::string& peerName) {
  sockaddr_storage peer{};
  int len = sizeof peer;
  const SOCKET s = accept(listener, reinterpret_cast<sockaddr*>(&peer), &len);
  if (s == INVALID_SOCKET) return s;
  if (pipe) {
    peerName = "pipe";
    return s;
  }
  lf_setFlag(s, IPPROTO_TCP, TCP_NODELAY);
  char host[INET6_ADDRSTRLEN] = {};
  if (peer.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&peer)->sin_addr, host, sizeof host);
  } else {
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&peer)->sin6_addr, host, sizeof host);
  }
  peerName = host;
  return s;
}

void gf_shutdownSocket(SOCKET s) {
  shutdown(s, SD_BOTH);
#ifdef _WIN32
  CancelIoEx(reinterpret_cast<HANDLE>(s), nullptr);
#endif
}

void gf_closeSocket(SOCKET& s) {
  if (s != INVALID_SOCKET) closesocket(s);
  s = INVALID_SOCKET;
}

}  // namespace p3d
