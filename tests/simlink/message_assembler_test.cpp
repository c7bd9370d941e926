// Reassembly of received messages: fragments at every offset, several messages in one read,
// zero filler, bad sizes, oversize messages and the growth and ceiling of the read buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "simlink/simconnect/message_assembler.h"

using simconnect::AssembleError;
using simconnect::MessageAssembler;

namespace {

std::vector<std::uint8_t> lf_message(std::uint32_t size, std::uint8_t fill) {
  std::vector<std::uint8_t> m(size, fill);
  std::memcpy(m.data(), &size, 4);
  return m;
}

// Feeds the stream in reads of at most `chunk` bytes; returns the messages and the error.
struct FeedResult {
  std::vector<std::vector<std::uint8_t>> messages;
  AssembleError error = AssembleError::None;
};
FeedResult lf_feed(MessageAssembler& a, const std::vector<std::uint8_t>& stream,
                   std::size_t chunk) {
  FeedResult r;
  std::size_t pos = 0;
  while (pos < stream.size() && r.error == AssembleError::None) {
    auto room = a.freeSpace();
    const std::size_t n = std::min({chunk, room.size(), stream.size() - pos});
    std::memcpy(room.data(), stream.data() + pos, n);
    pos += n;
    r.error = a.commit(n, [&](const std::uint8_t* p, std::uint32_t size) {
      r.messages.emplace_back(p, p + size);
    });
  }
  return r;
}

std::vector<std::uint8_t> lf_concat(const std::vector<std::vector<std::uint8_t>>& parts) {
  std::vector<std::uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Zero filler before and between messages is skipped, wherever the reads cut the stream.
TEST(MessageAssembler, DeliversExactlyTheMessagesWhateverTheReadSizes) {
  const std::vector<std::vector<std::uint8_t>> messages = {
      lf_message(12, 1), lf_message(308, 2), lf_message(33, 3), lf_message(4, 4),
      lf_message(5000, 5), lf_message(24, 6)};
  const std::vector<std::uint8_t> filler16(16, 0), filler8(8, 0);
  const auto stream = lf_concat({filler16, messages[0], messages[1], filler8, messages[2],
                                 messages[3], messages[4], filler8, messages[5]});
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{13},
                            std::size_t{2048}, stream.size()}) {
    SCOPED_TRACE(chunk);
    MessageAssembler a;
    a.setMaxMessageSize(41088);
    const FeedResult r = lf_feed(a, stream, chunk);
    EXPECT_EQ(r.error, AssembleError::None);
    EXPECT_EQ(r.messages, messages);
    EXPECT_EQ(a.pendingBytes(), 0u);
  }
}

TEST(MessageAssembler, RefusesSizesOneToThreeAndOversize) {
  struct Case {
    std::uint32_t size;
    std::uint32_t limit;
    AssembleError error;
  };
  const Case cases[] = {{1, 41088, AssembleError::BadSize},
                        {2, 41088, AssembleError::BadSize},
                        {3, 41088, AssembleError::BadSize},
                        {41089, 41088, AssembleError::Oversize},
                        {41088, 41088, AssembleError::None},
                        {1025, 1024, AssembleError::Oversize}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    MessageAssembler a;
    a.setMaxMessageSize(c.limit);
    std::vector<std::uint8_t> stream(std::max<std::uint32_t>(c.size, 4), 0x11);
    std::memcpy(stream.data(), &c.size, 4);
    const FeedResult r = lf_feed(a, stream, 4096);
    EXPECT_EQ(r.error, c.error);
    if (c.error != AssembleError::None) {
      EXPECT_TRUE(r.messages.empty());
      EXPECT_TRUE(a.freeSpace().empty()) << "no more reads after a framing error";
    }
  }
}

TEST(MessageAssembler, GrowsInStepsUpToOneMebibyte) {
  MessageAssembler a;
  a.setMaxMessageSize(simconnect::kReadBufferMax);
  EXPECT_EQ(a.bufferSize(), simconnect::kReadBufferStep);
  const auto big = lf_message(simconnect::kReadBufferMax, 0x42);
  const FeedResult r = lf_feed(a, big, 65536);
  ASSERT_EQ(r.error, AssembleError::None);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], big);
  EXPECT_EQ(a.bufferSize(), simconnect::kReadBufferMax);
  EXPECT_EQ(a.bufferSize() % simconnect::kReadBufferStep, 0u);
}

// A limit above the buffer's ceiling would leave a larger message waiting for ever; the limit
// is clamped so that it is refused as oversize instead.
TEST(MessageAssembler, LimitAboveTheBufferCeilingIsClamped) {
  MessageAssembler a;
  a.setMaxMessageSize(8 * 1024 * 1024);
  EXPECT_EQ(a.maxMessageSize(), simconnect::kReadBufferMax);
  std::vector<std::uint8_t> head(64, 0);
  const std::uint32_t size = simconnect::kReadBufferMax + 4;
  std::memcpy(head.data(), &size, 4);
  EXPECT_EQ(lf_feed(a, head, 64).error, AssembleError::Oversize);
}

}  // namespace
