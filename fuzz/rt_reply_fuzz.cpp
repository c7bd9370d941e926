// RealTraffic's replies on the TCP link: the version reply, arriving in pieces as a stream
// delivers it, collected until it is a whole JSON value or fills the receive buffer, then read.
// Input: the reply's bytes, then one control byte (the piece length).
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "shell/intake/intake.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputCursor input(data, size);
  const std::size_t piece = 1 + input.takeByte();
  std::string reply;
  while (!input.empty()) {
    reply += input.take(piece);
    if (reply.size() >= kRtReceiveBufferSize) {
      reply.clear();  // the link gives up on a reply that fills its buffer
      break;
    }
    if (nlohmann::json::accept(reply)) break;
  }
  lf_readRealTrafficVersion(reply);
  return 0;
}
