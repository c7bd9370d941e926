// Small helpers for the stand-in's tests: a raw TCP client and a packet builder, so that the
// tests can send exactly the bytes they mean, broken ones included.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace standintest {

class Packet {
 public:
  Packet(std::uint32_t type, std::uint32_t sendId, std::uint32_t version = 35) {
    u32(0).u32(version).u32(0xF0000000u + type).u32(sendId);
  }
  Packet& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Packet& f64(double v) {
    std::uint8_t b[8];
    std::memcpy(b, &v, 8);
    m_bytes.insert(m_bytes.end(), b, b + 8);
    return *this;
  }
  Packet& text(const std::string& s, std::size_t field) {
    m_bytes.insert(m_bytes.end(), s.begin(), s.end());
    if (field > s.size()) m_bytes.insert(m_bytes.end(), field - s.size(), 0);
    return *this;
  }
  // The size field is set to the real size unless one is forced.
  std::vector<std::uint8_t> bytes(std::uint32_t forcedSize = 0) const {
    std::vector<std::uint8_t> b = m_bytes;
    const std::uint32_t size = forcedSize != 0 ? forcedSize : static_cast<std::uint32_t>(b.size());
    std::memcpy(b.data(), &size, 4);
    return b;
  }

 private:
  std::vector<std::uint8_t> m_bytes;
};

inline std::vector<std::uint8_t> openPacket(std::uint32_t sendId = 1) {
  return Packet(0x01, sendId).text("raw test client", 256).u32(0).u32(0x50334400u).u32(5)
      .u32(3).u32(0).u32(0).bytes();
}

// A blocking TCP client on 127.0.0.1 that splits what it receives into messages.
class RawClient {
 public:
  explicit RawClient(int port) {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~RawClient() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool connected() const { return m_connected; }
  void send(const std::vector<std::uint8_t>& b) { ::send(m_fd, b.data(), b.size(), MSG_NOSIGNAL); }
  // The next message whose receive id is `id` (0: any), or empty after the time is up or when
  // the connection ends.
  std::vector<std::uint8_t> next(std::uint32_t id = 0, double seconds = 5) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      while (m_buffer.size() >= 12) {
        std::uint32_t size = 0, rid = 0;
        std::memcpy(&size, m_buffer.data(), 4);
        std::memcpy(&rid, m_buffer.data() + 8, 4);
        if (size < 12 || m_buffer.size() < size) break;
        std::vector<std::uint8_t> m(m_buffer.begin(), m_buffer.begin() + size);
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + size);
        if (id == 0 || rid == id) return m;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return {};
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
      std::uint8_t chunk[65536];
      const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        m_closed = true;
        return {};
      }
      m_buffer.insert(m_buffer.end(), chunk, chunk + n);
    }
  }
  bool closedByPeer() {
    next(0xFFFF, 2);
    return m_closed;
  }

 private:
  int m_fd = -1;
  bool m_connected = false;
  bool m_closed = false;
  std::vector<std::uint8_t> m_buffer;
};

inline std::uint32_t u32At(const std::vector<std::uint8_t>& m, std::size_t offset) {
  std::uint32_t v = 0;
  if (offset + 4 <= m.size()) std::memcpy(&v, m.data() + offset, 4);
  return v;
}

}  // namespace standintest
