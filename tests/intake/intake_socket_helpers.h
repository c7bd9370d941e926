// Loopback helpers for the intake tests: free ports, a UDP sender and a TCP client. Their
// sockets are Winsock's, so the tests run on both sides.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "common/winsock_use.h"
#include "platform/win32.h"

namespace intake_test {

// Holds the socket layer started while it lives, for sockets a test makes itself.
using Winsock = standin::WinsockUse;

// 127.0.0.1:port, or another loopback address given in host order.
sockaddr_in loopbackAddress(std::uint16_t port, std::uint32_t address = INADDR_LOOPBACK);
// A port that was free a moment ago (bound to port 0 and released).
std::uint16_t freeUdpPort();
std::uint16_t freeTcpPort();
// Sends one datagram to 127.0.0.1:port; false when the send failed.
bool sendUdp(std::uint16_t port, const std::string& datagram);
// A TCP connection to 127.0.0.1:port; INVALID_SOCKET when refused. The caller closes it and
// holds a Winsock meanwhile.
SOCKET connectTcp(std::uint16_t port);
// Polls `condition` every 5 ms until it holds or `timeout` passed.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace intake_test
