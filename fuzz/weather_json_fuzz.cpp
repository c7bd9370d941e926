// Weather datagrams (JSON with the QNH) through the weather reader.
#include <cstdint>
#include <string>

#include "intake/intake.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static WeatherReader* s_reader = new WeatherReader();
  g_rtOnThisPc = true;  // no duplicate filter: every input is parsed
  s_reader->receive(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
