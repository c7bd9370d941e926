// Loopback helpers for the intake tests: free ports and a UDP sender.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace intake_test {

// A port that was free a moment ago (bound to port 0 and released).
std::uint16_t freeUdpPort();
std::uint16_t freeTcpPort();
// Sends one datagram to 127.0.0.1:port; false when the send failed.
bool sendUdp(std::uint16_t port, const std::string& datagram);
// Polls `condition` every 5 ms until it holds or `timeout` passed.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace intake_test
