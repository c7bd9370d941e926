// Cuts the byte stream of a transport into SimConnect messages. Each message starts with its u32
// total size; a size of 0 marks zero filler, which is skipped up to the next non-zero byte.
// Used by the transport's reader thread only (no lock of its own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace simconnect {

constexpr std::uint32_t kReadBufferStep = 2048;            // initial size and growth step, bytes
constexpr std::uint32_t kReadBufferMax = 1024 * 1024;      // the read buffer never grows beyond
constexpr std::uint32_t kDefaultMaxReceiveSize = 41088;    // largest message unless configured
constexpr std::uint32_t kMaxReceiveBeforeSetup = 1024;     // limit until the transport is set up

enum class AssembleError {
  None,
  Oversize,   // a size above the message limit
  BadSize,    // a size of 1 to 3
};

class MessageAssembler {
 public:
  MessageAssembler();

  // Largest accepted message. Clamped to the read buffer's ceiling: a larger message could never
  // be completed and would stall the connection silently, so it takes the oversize path instead.
  void setMaxMessageSize(std::uint32_t limit);
  std::uint32_t maxMessageSize() const { return m_maxMessage; }

  // Room for the next read: at least one byte while no error has happened.
  std::span<std::uint8_t> freeSpace();

  // Takes n bytes written into freeSpace() and calls onMessage(ptr, size) for every complete
  // message. Returns the first framing error; the caller then closes the transport.
  template <typename F>
  AssembleError commit(std::size_t n, F&& onMessage) {
    m_write += n;
    for (;;) {
      std::uint32_t size = 0;
      const AssembleError step = nextMessage(size);
      if (step != AssembleError::None) {
        m_error = step;
        return step;
      }
      if (size == 0) break;
      onMessage(m_buffer.data() + m_read, size);
      m_read += size;
    }
    compact();
    return AssembleError::None;
  }

  std::size_t bufferSize() const { return m_buffer.size(); }
  // The size field of the message that caused the framing error.
  std::uint32_t errorSize() const { return m_errorSize; }
  std::size_t pendingBytes() const { return m_write - m_read; }
  void reset();

 private:
  // Skips filler and sets size to the length of the complete message at the read position,
  // or to 0 when more data is needed.
  AssembleError nextMessage(std::uint32_t& size);
  void compact();

  std::vector<std::uint8_t> m_buffer;
  std::size_t m_read = 0;   // first unconsumed byte
  std::size_t m_write = 0;  // end of received data
  std::uint32_t m_maxMessage = kMaxReceiveBeforeSetup;
  AssembleError m_error = AssembleError::None;
  bool m_inFiller = false;  // a size of 0 was seen; zero bytes are skipped
  std::uint32_t m_errorSize = 0;
};

}  // namespace simconnect
