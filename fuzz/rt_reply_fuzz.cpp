// RealTraffic's replies on the TCP link: the version reply, arriving in pieces as a stream
// delivers it, collected by the link's own receive loop until it is a whole JSON value, the
// link closes or the reply fills the receive buffer, then read.
// Input: the reply's bytes, then one control byte (the piece length).
//
// The pieces travel over a local packet socket pair, so each receive of the link gets exactly
// one piece, and the end of the input closes the sending side.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "intake/intake.h"
#include "intake/rt_link.h"

namespace {

// More pieces than this would not fit the socket's send buffer before the link reads them.
constexpr std::size_t kMaxPieces = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputCursor input(data, size);
  const std::size_t wanted = 1u + input.takeByte();
  const std::string_view reply = input.rest();
  const std::size_t piece = std::max(wanted, (reply.size() + kMaxPieces - 1) / kMaxPieces);
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) != 0) return 0;
  for (std::size_t at = 0; at < reply.size(); at += piece) {
    const std::string_view part = reply.substr(at, piece);
    if (send(ends[1], part.data(), part.size(), MSG_DONTWAIT) < 0) break;
  }
  close(ends[1]);
  g_rtClientSocket = static_cast<SOCKET>(ends[0]);
  lf_readRealTrafficVersion(lf_receiveVersionReply());
  g_rtClientSocket = INVALID_SOCKET;
  close(ends[0]);
  return 0;
}
