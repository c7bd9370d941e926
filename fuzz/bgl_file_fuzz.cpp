// BGL scenery files as the airports scan reads them: the header pre-test on the file, then the
// walk over the airport sections and the reading of each airport's name, helipads and stands.
#include <cstdint>
#include <mutex>
#include <span>
#include <stdexcept>

#include "airports/bgl_airport.h"
#include "airports/scan_log.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path s_file = fuzz::workFolder() / "scenery" / "fuzz.bgl";
  const std::span<const std::uint8_t> bytes(data, size);
  fuzz::writeFile(s_file, bytes);
  if (!lf_hasAirportSection(s_file)) return 0;
  // The scan task reads the file it tested; the words come from the same bytes.
  const BglWords words = BglWords::fromBytes(bytes);
  try {
    lf_walkBglAirports(words, [&](const BglAirportRecord& record) {
      AirportFile file;
      file.ICAO = record.ident;
      lf_readBglAirport(words, record, s_file.string(), file);
    });
  } catch (const BglRangeError&) {
  } catch (const std::runtime_error&) {
    // Both are how the scan task learns that one file is damaged.
  }
  // The scan writes its log out after every task has ended; here that is after every input.
  std::lock_guard lock(g_scanLogMutex);
  g_scanLogLines.clear();
  return 0;
}
