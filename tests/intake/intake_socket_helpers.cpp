#include "intake/intake_socket_helpers.h"

#include <thread>

namespace intake_test {
namespace {

std::uint16_t lf_freePort(int type) {
  const Winsock winsock;
  const SOCKET s = socket(AF_INET, type, 0);
  sockaddr_in address = loopbackAddress(0);
  socklen_t length = sizeof(address);  // int on Windows
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(s);
  return ntohs(address.sin_port);
}

}  // namespace

sockaddr_in loopbackAddress(std::uint16_t port, std::uint32_t address) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  result.sin_addr.s_addr = htonl(address);
  return result;
}

std::uint16_t freeUdpPort() {
  return lf_freePort(SOCK_DGRAM);
}
std::uint16_t freeTcpPort() {
  return lf_freePort(SOCK_STREAM);
}

bool sendUdp(std::uint16_t port, const std::string& datagram) {
  const Winsock winsock;
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = loopbackAddress(port);
  const int sent = sendto(s, datagram.data(), datagram.size(), 0,
                          reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  closesocket(s);
  return sent == static_cast<int>(datagram.size());
}

SOCKET connectTcp(std::uint16_t port) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in to = loopbackAddress(port);
  if (s != INVALID_SOCKET && connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

}  // namespace intake_test
