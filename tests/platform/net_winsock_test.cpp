// Winsock over POSIX sockets on loopback: start-up counting, oversize datagrams, the 1-byte
// boolean option, sending to a closed peer, non-blocking mode and the error numbers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

class Winsock : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0); }
  void TearDown() override { WSACleanup(); }

  // A UDP socket bound to a free loopback port; `port` receives the port.
  static SOCKET boundUdp(u_short& port) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
  }

  // A listening TCP socket on a free loopback port, set up as the RealTraffic server is.
  static SOCKET listening(u_short& port) {
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
    EXPECT_EQ(setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                         sizeof reuse),
              0);
    EXPECT_EQ(bind(s, result->ai_addr, static_cast<int>(result->ai_addrlen)), 0);
    freeaddrinfo(result);
    EXPECT_EQ(listen(s, SOMAXCONN), 0);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
  }

  static SOCKET connectTo(u_short port, int family = AF_INET) {
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

  static void sendDatagram(u_short port, const std::string& payload) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(
        sendto(s, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
        static_cast<int>(payload.size()));
    closesocket(s);
  }

  WSADATA data{};
};

TEST_F(Winsock, StartupIsCountedAndNegotiatesTheVersion) {
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
  WSADATA more{};
  EXPECT_EQ(WSAStartup(MAKEWORD(3, 1), &more), 0);
  EXPECT_EQ(more.wVersion, MAKEWORD(2, 2));
  EXPECT_EQ(WSAStartup(MAKEWORD(2, 0), &more), 0);
  EXPECT_EQ(more.wVersion, MAKEWORD(2, 0));
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &more), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), nullptr), WSAEFAULT);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);  // the fixture's own start-up
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);  // for TearDown
}

TEST_F(Winsock, OversizeDatagramIsAnErrorNotATruncation) {
  u_short port = 0;
  const SOCKET s = boundUdp(port);
  constexpr int kBuffer = 64;
  sendDatagram(port, std::string(kBuffer + 1, 'x'));
  sendDatagram(port, std::string(kBuffer, 'y'));
  sendDatagram(port, "RTTFC,1,2");
  std::vector<char> buffer(kBuffer + 1, '\0');
  EXPECT_EQ(recvfrom(s, buffer.data(), kBuffer, 0, nullptr, nullptr), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
  // The next datagram is whole: exactly the buffer's size is no error.
  EXPECT_EQ(recvfrom(s, buffer.data(), kBuffer, 0, nullptr, nullptr), kBuffer);
  EXPECT_EQ(std::string(buffer.data(), kBuffer), std::string(kBuffer, 'y'));
  sockaddr_in from{};
  int fromLength = sizeof from;
  EXPECT_EQ(recvfrom(s, buffer.data(), kBuffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength),
            9);
  EXPECT_EQ(std::string(buffer.data(), 9), "RTTFC,1,2");
  EXPECT_EQ(fromLength, static_cast<int>(sizeof from));
  EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  closesocket(s);
}

TEST_F(Winsock, OneByteBooleanOptionIsWidened) {
  u_short port = 0;
  const SOCKET server = listening(port);
  const SOCKET client = connectTo(port);
  ASSERT_NE(client, INVALID_SOCKET);
  const SOCKET accepted = accept(server, nullptr, nullptr);
  ASSERT_NE(accepted, INVALID_SOCKET);
  const char on = 1;
  EXPECT_EQ(setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &on, 1), 0);
  int value = 0;
  socklen_t length = sizeof value;
  ASSERT_EQ(getsockopt(static_cast<int>(accepted), IPPROTO_TCP, TCP_NODELAY, &value, &length), 0);
  EXPECT_NE(value, 0);
  const char off = 0;
  EXPECT_EQ(setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &off, 1), 0);
  getsockopt(static_cast<int>(accepted), IPPROTO_TCP, TCP_NODELAY, &value, &length);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, nullptr, 1), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  for (SOCKET s : {accepted, client, server}) closesocket(s);
}

TEST_F(Winsock, SendToAClosedPeerFailsAndTheProcessLives) {
  u_short port = 0;
  const SOCKET server = listening(port);
  const SOCKET client = connectTo(port);
  ASSERT_NE(client, INVALID_SOCKET);
  const SOCKET accepted = accept(server, nullptr, nullptr);
  ASSERT_NE(accepted, INVALID_SOCKET);
  ASSERT_EQ(closesocket(client), 0);
  const std::string line = "Qs121=0.1,0.2,0.3\r\n";
  int result = 0;
  for (int i = 0; i < 100 && result != SOCKET_ERROR; ++i)
    result = send(accepted, line.data(), line.size(), 0);
  EXPECT_EQ(result, SOCKET_ERROR);
  const int error = WSAGetLastError();
  EXPECT_TRUE(error == WSAECONNRESET || error == WSAECONNABORTED) << error;
  closesocket(accepted);
  closesocket(server);
}

TEST_F(Winsock, ReceiveAndErrorsOfStreams) {
  u_short port = 0;
  const SOCKET server = listening(port);
  const SOCKET client = connectTo(port);
  const SOCKET accepted = accept(server, nullptr, nullptr);
  ASSERT_NE(accepted, INVALID_SOCKET);
  u_long nonBlocking = 1;
  ASSERT_EQ(ioctlsocket(accepted, FIONBIO, &nonBlocking), 0);
  char buffer[16];
  EXPECT_EQ(recv(accepted, buffer, 16, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  const std::string reply = R"({"version":"10"})";
  ASSERT_EQ(send(client, reply.data(), static_cast<int>(reply.size()), 0),
            static_cast<int>(reply.size()));
  u_long waiting = 0;
  for (int i = 0; i < 1000 && waiting == 0; ++i) ioctlsocket(accepted, FIONREAD, &waiting);
  EXPECT_EQ(waiting, reply.size());
  EXPECT_EQ(ioctlsocket(accepted, 12345, &waiting), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  for (SOCKET s : {accepted, client, server}) closesocket(s);

  EXPECT_EQ(connectTo(port), INVALID_SOCKET);  // nobody listens any more
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(Winsock, Ipv6LoopbackWhenAvailable) {
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
  addrinfo* result = nullptr;
  if (getaddrinfo("::1", "0", &hints, &result) != 0) GTEST_SKIP() << "no IPv6 here";
  const SOCKET server = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  if (bind(server, result->ai_addr, static_cast<int>(result->ai_addrlen)) != 0) {
    freeaddrinfo(result);
    closesocket(server);
    GTEST_SKIP() << "cannot bind ::1";
  }
  freeaddrinfo(result);
  ASSERT_EQ(listen(server, 4), 0);
  sockaddr_in6 address{};
  socklen_t length = sizeof address;
  getsockname(static_cast<int>(server), reinterpret_cast<sockaddr*>(&address), &length);
  const SOCKET client = connectTo(ntohs(address.sin6_port), AF_INET6);
  EXPECT_NE(client, INVALID_SOCKET);
  closesocket(client);
  closesocket(server);
}

TEST(WinsockErrors, ErrnoMapsToWsaNumbersAndSetLastErrorRoundTrips) {
  const struct {
    int errnoValue;
    int wsa;
  } cases[] = {{EINTR, WSAEINTR},
               {EBADF, WSAENOTSOCK},
               {EAGAIN, WSAEWOULDBLOCK},
               {EMSGSIZE, WSAEMSGSIZE},
               {EADDRINUSE, WSAEADDRINUSE},
               {ECONNRESET, WSAECONNRESET},
               {EPIPE, WSAECONNRESET},
               {ENOTCONN, WSAENOTCONN},
               {ETIMEDOUT, WSAETIMEDOUT},
               {ECONNREFUSED, WSAECONNREFUSED},
               {EHOSTUNREACH, WSAEHOSTUNREACH},
               {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(gf_wsaErrorFromErrno(c.errnoValue), c.wsa) << c.errnoValue;
  WSASetLastError(WSAECONNABORTED);
  EXPECT_EQ(WSAGetLastError(), WSAECONNABORTED);
}

}  // namespace
