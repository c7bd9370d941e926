// Waiting for readability on real loopback sockets, as the link and the readers wait between
// looks at their stop flags (on Windows every socket value lies above FD_SETSIZE).
#include "intake/socket_wait.h"

#include <gtest/gtest.h>

#include "intake/intake_socket_helpers.h"

namespace {

// A socket of the given type bound to a free loopback port, and that port.
SOCKET lf_boundSocket(int type, std::uint16_t& port) {
  const SOCKET s = socket(AF_INET, type, 0);
  sockaddr_in address = intake_test::loopbackAddress(0);
  EXPECT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  socklen_t length = sizeof(address);  // int on Windows
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return s;
}

}  // namespace

TEST(SocketWait, DatagramWaitingOrNot) {
  const intake_test::Winsock winsock;
  std::uint16_t port = 0;
  const SOCKET s = lf_boundSocket(SOCK_DGRAM, port);
  EXPECT_EQ(gf_waitReadable(s, 0), Readiness::kTimeout);
  EXPECT_EQ(gf_waitReadable(s, 20), Readiness::kTimeout);
  ASSERT_TRUE(intake_test::sendUdp(port, "x"));
  EXPECT_EQ(gf_waitReadable(s, 5000), Readiness::kReady);
  char buffer[8];
  EXPECT_EQ(recvfrom(s, buffer, sizeof(buffer), 0, nullptr, nullptr), 1);
  EXPECT_EQ(gf_waitReadable(s, 0), Readiness::kTimeout);
  closesocket(s);
  EXPECT_EQ(gf_waitReadable(INVALID_SOCKET, 0), Readiness::kError);
}

TEST(SocketWait, ConnectionWaitingOnAListeningSocket) {
  const intake_test::Winsock winsock;
  std::uint16_t port = 0;
  const SOCKET listener = lf_boundSocket(SOCK_STREAM, port);
  ASSERT_EQ(listen(listener, SOMAXCONN), 0);
  EXPECT_EQ(gf_waitReadable(listener, 0), Readiness::kTimeout);
  const SOCKET client = intake_test::connectTcp(port);
  ASSERT_NE(client, INVALID_SOCKET);
  EXPECT_EQ(gf_waitReadable(listener, 5000), Readiness::kReady);
  // The accepted end becomes readable when the peer shuts its side down.
  const SOCKET accepted = accept(listener, nullptr, nullptr);
  ASSERT_NE(accepted, INVALID_SOCKET);
  EXPECT_EQ(gf_waitReadable(accepted, 0), Readiness::kTimeout);
  shutdown(client, SD_SEND);
  EXPECT_EQ(gf_waitReadable(accepted, 5000), Readiness::kReady);
  closesocket(accepted);
  closesocket(client);
  closesocket(listener);
}
