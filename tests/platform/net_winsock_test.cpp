// Winsock over POSIX sockets on loopback: start-up counting, oversize datagrams, the 1-byte
// boolean option, sending to a closed peer, non-blocking mode and the error numbers, gathered
// sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net_test_support.h"
#include "platform/win32.h"

namespace {

using nettest::Connection;

class Winsock : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0); }
  void TearDown() override { WSACleanup(); }

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
  for (int started = 0; started < 3; ++started) EXPECT_EQ(WSACleanup(), 0);  // incl. SetUp's
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);  // for TearDown
}

TEST_F(Winsock, OversizeDatagramIsAnErrorNotATruncation) {
  const SOCKET s = nettest::boundUdp();
  const u_short port = nettest::portOf(s);
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
  Connection c;
  ASSERT_NE(c.accepted, INVALID_SOCKET);
  for (const char flag : {1, 0}) {
    EXPECT_EQ(setsockopt(c.accepted, IPPROTO_TCP, TCP_NODELAY, &flag, 1), 0);
    int value = -1;
    socklen_t length = sizeof value;
    ASSERT_EQ(getsockopt(static_cast<int>(c.accepted), IPPROTO_TCP, TCP_NODELAY, &value, &length),
              0);
    EXPECT_EQ(value != 0, flag != 0);
  }
  EXPECT_EQ(setsockopt(c.accepted, IPPROTO_TCP, TCP_NODELAY, nullptr, 1), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
}

TEST_F(Winsock, SendToAClosedPeerFailsAndTheProcessLives) {
  Connection c;
  ASSERT_NE(c.accepted, INVALID_SOCKET);
  ASSERT_EQ(closesocket(c.client), 0);
  c.client = INVALID_SOCKET;
  const std::string line = "Qs121=0.1,0.2,0.3\r\n";
  int result = 0;
  for (int i = 0; i < 100 && result != SOCKET_ERROR; ++i)
    result = send(c.accepted, line.data(), line.size(), 0);
  EXPECT_EQ(result, SOCKET_ERROR);
  const int error = WSAGetLastError();
  EXPECT_TRUE(error == WSAECONNRESET || error == WSAECONNABORTED) << error;
}

TEST_F(Winsock, ReceiveAndErrorsOfStreams) {
  u_short port = 0;
  {
    Connection c;
    port = c.port;
    ASSERT_NE(c.accepted, INVALID_SOCKET);
    u_long nonBlocking = 1;
    ASSERT_EQ(ioctlsocket(c.accepted, FIONBIO, &nonBlocking), 0);
    char buffer[16];
    EXPECT_EQ(recv(c.accepted, buffer, 16, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    const std::string reply = R"({"version":"10"})";
    ASSERT_EQ(send(c.client, reply.data(), static_cast<int>(reply.size()), 0),
              static_cast<int>(reply.size()));
    u_long waiting = 0;
    for (int i = 0; i < 1000 && waiting == 0; ++i) ioctlsocket(c.accepted, FIONREAD, &waiting);
    EXPECT_EQ(waiting, reply.size());
    EXPECT_EQ(ioctlsocket(c.accepted, 12345, &waiting), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  }
  EXPECT_EQ(nettest::connectTo(port), INVALID_SOCKET);  // nobody listens any more
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

// More buffers than one system call takes, an empty one among them: the peer gets every byte in
// order. An overlapped send is refused.
TEST_F(Winsock, GatheredSendSendsEveryBufferInOrder) {
  Connection c;
  ASSERT_NE(c.accepted, INVALID_SOCKET);
  std::vector<std::string> texts;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    texts.push_back(i == 7 ? "" : std::to_string(i) + ";");
    expected += texts.back();
  }
  std::vector<WSABUF> buffers;
  for (std::string& t : texts) buffers.push_back({static_cast<ULONG>(t.size()), t.data()});
  DWORD sent = 0;
  ASSERT_EQ(WSASend(c.client, buffers.data(), static_cast<DWORD>(buffers.size()), &sent, 0, nullptr,
                    nullptr),
            0);
  EXPECT_EQ(sent, expected.size());
  std::string received(expected.size(), '\0');
  for (std::size_t at = 0; at < received.size();) {
    const int n = recv(c.accepted, received.data() + at, received.size() - at, 0);
    ASSERT_GT(n, 0);
    at += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(received, expected);
  WSAOVERLAPPED overlapped{};
  EXPECT_EQ(WSASend(c.client, buffers.data(), 1, &sent, 0, &overlapped, nullptr), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEOPNOTSUPP);
}

TEST_F(Winsock, Ipv6LoopbackWhenAvailable) {
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
  addrinfo* result = nullptr;
  if (getaddrinfo("::1", "0", &hints, &result) != 0) GTEST_SKIP() << "no IPv6 here";
  const SOCKET server = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  const bool bound = bind(server, result->ai_addr, static_cast<int>(result->ai_addrlen)) == 0;
  freeaddrinfo(result);
  if (!bound) {
    closesocket(server);
    GTEST_SKIP() << "cannot bind ::1";
  }
  ASSERT_EQ(listen(server, 4), 0);
  const SOCKET client = nettest::connectTo(nettest::portOf(server), AF_INET6);
  EXPECT_NE(client, INVALID_SOCKET);
  closesocket(client);
  closesocket(server);
}

}  // namespace
