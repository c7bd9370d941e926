// Reassembly of received SimConnect messages: fragments, several messages in one read, zero
// filler, bad sizes and the growth of the read buffer.
#include "simlink/simconnect/message_assembler.h"

#include <algorithm>
#include <cstring>

namespace simconnect {

namespace {
std::uint32_t lf_readU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

MessageAssembler::MessageAssembler() : m_buffer(kReadBufferStep) {}

void MessageAssembler::setMaxMessageSize(std::uint32_t limit) {
  m_maxMessage = std::min(limit, kReadBufferMax);
}

void MessageAssembler::reset() {
  m_buffer.assign(kReadBufferStep, 0);
  m_read = 0;
  m_write = 0;
  m_inFiller = false;
  m_error = AssembleError::None;
}

std::span<std::uint8_t> MessageAssembler::freeSpace() {
  if (m_error != AssembleError::None) return {};
  if (m_write == m_buffer.size()) {
    // Full: first move the unread part to the front, then grow by one step.
    if (m_read > 0) {
      compact();
    }
    if (m_write == m_buffer.size() && m_buffer.size() < kReadBufferMax) {
      m_buffer.resize(std::min<std::size_t>(m_buffer.size() + kReadBufferStep, kReadBufferMax));
    }
  }
  return {m_buffer.data() + m_write, m_buffer.size() - m_write};
}

AssembleError MessageAssembler::nextMessage(std::uint32_t& size) {
  size = 0;
  for (;;) {
    if (m_inFiller) {
      // Filler runs up to the next non-zero byte, even when it ends in a later read.
      while (m_read < m_write && m_buffer[m_read] == 0) ++m_read;
      if (m_read == m_write) return AssembleError::None;
      m_inFiller = false;
    }
    const std::size_t avail = m_write - m_read;
    if (avail < sizeof(std::uint32_t)) return AssembleError::None;
    const std::uint32_t length = lf_readU32(m_buffer.data() + m_read);
    if (length == 0) {
      m_inFiller = true;
      continue;
    }
    if (length > m_maxMessage || length < sizeof(std::uint32_t)) {
      m_errorSize = length;
      return length > m_maxMessage ? AssembleError::Oversize : AssembleError::BadSize;
    }
    if (avail < length) {
      // Incomplete: make sure the buffer can hold it; freeSpace() grows it step by step.
      if (m_read > 0 && m_buffer.size() - m_read < length) compact();
      return AssembleError::None;
    }
    size = length;
    return AssembleError::None;
  }
}

void MessageAssembler::compact() {
  if (m_read == 0) return;
  if (m_read == m_write) {
    m_read = 0;
    m_write = 0;
    return;
  }
  std::memmove(m_buffer.data(), m_buffer.data() + m_read, m_write - m_read);
  m_write -= m_read;
  m_read = 0;
}

}  // namespace simconnect
