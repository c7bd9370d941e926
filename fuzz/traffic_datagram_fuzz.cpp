// RTTFC traffic datagrams through the traffic reader: vehicle test, duplicate filter, field
// split, parser and filter, and the append to the live-traffic buffer.
// Input: the datagram, then one control byte (the user's position and the park airport).
#include <cstdint>
#include <mutex>

#include "foundation/run_state.h"
#include "fuzz_support.h"
#include "intake/intake.h"

namespace {

// Users at Los Angeles and Duesseldorf (where the seeds and the real-world records are), near the
// antimeridian, a pole and 0,0, so the radius and the park-airport tests see either side.
constexpr double kUserPositions[][2] = {{33.94, -118.40}, {51.29, 6.77}, {-16.0, 179.9},
                                        {89.9, 0.0},      {0.0, 0.0},    {33.94, -118.40},
                                        {51.29, 6.77},    {51.29, 6.77}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TrafficReader* s_reader = [] {
    gf_setAcceptTraffic(true);
    return new TrafficReader();
  }();
  fuzz::InputCursor input(data, size);
  const std::uint8_t control = input.takeByte();
  const auto& user = kUserPositions[control % 8];
  s_reader->setUserPosition(user[0], user[1]);
  if ((control & 8) != 0) {
    s_reader->setParkAirport("EDDL", 51.2895, 6.7668);
    s_reader->setParkElevation(147.0);
  } else {
    s_reader->setParkAirport("", 0.0, 0.0);
    s_reader->setParkElevation(std::nullopt);
  }
  s_reader->setCollecting((control & 16) != 0);
  g_rtOnThisPc = (control & 32) != 0;
  gf_setTrafficRadius((control & 64) != 0 ? 100.0 : 40.0);

  // The reader hands on a datagram that is zero-terminated inside its buffer.
  const std::string datagram(input.rest());
  s_reader->receive(datagram);

  std::lock_guard lock(g_trafficMutex);
  g_liveTrafficBuffer.clear();
  return 0;
}
