// Loopback sockets for the Winsock and pipe tests: a bound UDP socket, a listening TCP socket
// set up as the RealTraffic server does it, a client connection, a connected trio, and the
// simulator's end of a named pipe.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/win32.h"

namespace nettest {

// The port a bound socket was given.
inline u_short portOf(SOCKET s) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

// A UDP socket bound to a free loopback port.
inline SOCKET boundUdp() {
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return s;
}

// A listening TCP socket on a free loopback port: getaddrinfo, blocking mode, SO_REUSEADDR.
inline SOCKET listening() {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* result = nullptr;
  EXPECT_EQ(getaddrinfo("127.0.0.1", "0", &hints, &result), 0);
  const SOCKET s = socket(result->ai_family, result->ai_socktype, result->ai_protocol);
  EXPECT_NE(s, INVALID_SOCKET);
  u_long blocking = 0;
  EXPECT_EQ(ioctlsocket(s, FIONBIO, &blocking), 0);
  int reuse = 1;
  EXPECT_EQ(
      setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse),
      0);
  EXPECT_EQ(bind(s, result->ai_addr, static_cast<int>(result->ai_addrlen)), 0);
  freeaddrinfo(result);
  EXPECT_EQ(listen(s, SOMAXCONN), 0);
  return s;
}

// A client connected to the loopback port; INVALID_SOCKET with the error kept on failure.
inline SOCKET connectTo(u_short port, int family = AF_INET) {
  const SOCKET s = socket(family, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (family == AF_INET) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof *v4;
  } else {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    v6->sin6_addr = in6addr_loopback;
    length = sizeof *v6;
  }
  if (connect(s, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    WSASetLastError(error);
    return INVALID_SOCKET;
  }
  return s;
}

// A listener, a client connected to it and the accepted end; closes what is still open.
struct Connection {
  SOCKET server = listening();
  u_short port = portOf(server);
  SOCKET client = connectTo(port);
  SOCKET accepted = accept(server, nullptr, nullptr);
  ~Connection() {
    for (SOCKET s : {accepted, client, server}) {
      if (s != INVALID_SOCKET) closesocket(s);
    }
  }
};

// The simulator's side of a named pipe: a listening Unix socket at the pipe's path.
inline int listenAtPipe(const std::string& pipeName, int backlog = 4) {
  const auto path = gf_pipeSocketPath(pipeName);
  EXPECT_FALSE(path.empty());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ::unlink(path.c_str());
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(::listen(fd, backlog), 0);
  return fd;
}

}  // namespace nettest
