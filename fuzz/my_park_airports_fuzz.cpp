// my_park_airports.txt as the start-up reads it, and the rewrite of one line over it.
// Input: the file, then one control byte (read only, or read and rewrite).
#include <cstdint>

#include "airports/airports.h"
#include "foundation/file_names.h"
#include "fuzz_support.h"
#include "traffic/parking/parking.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool s_airports = [] {
    fuzz::workFolder();  // the list file's relative path lands in the work folder
    g_airports = {{"EGLL", "LHR", 51.4775, -0.461389, 83.0},
                  {"LEAB", "ABC", 38.948333, -1.863056, 2300.0},
                  {"KLAX", "LAX", 33.942501, -118.407997, 125.0}};
    g_airportsLoaded = true;
    return true;
  }();
  (void)s_airports;
  fuzz::InputCursor input(data, size);
  const bool rewrite = (input.takeByte() & 1) != 0;
  fuzz::writeFile(g_myParkAirportsFile, input.rest());
  lf_readMyParkAirports();
  if (rewrite && !g_parkAirports.empty()) gf_writeMyParkAirports();
  fuzz::g_sink += g_parkAirports.size();
  return 0;
}
