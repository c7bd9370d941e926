// The airport list airports_p3d.xml as the start-up reads it, and the closest-airport lookup
// over it (which reads the stand files of two neighbouring airports; the download server is an
// empty file:// folder, so they are missing and nothing leaves the machine).
#include <cstdint>
#include <cstdlib>
#include <span>

#include "airports/airports.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path s_file = [] {
    const std::filesystem::path server = fuzz::workFolder() / "server";
    std::filesystem::create_directories(server);
    setenv("ZENDRIK_DOWNLOAD_URL", ("file://" + server.string() + "/").c_str(), 1);
    return g_inputDir / g_airportsP3dFile;
  }();
  fuzz::writeFile(s_file, std::span<const std::uint8_t>(data, size));
  g_airportsLoaded = false;
  g_airports.clear();
  try {
    if (gf_readAirports()) gf_closestAirport({50.0, 8.0});
  } catch (const qvb::UserErrorException&) {
    // Codes 87 and 88: the list could not be read.
  }
  return 0;
}
