// Stand files of the park airport as the engine reads them: the stand file itself (meta block,
// header parameters, parkpos elements with their options), or the learned file merged over a
// good stand file.
// Input: the file, then one control byte (which file).
#include <cstdint>
#include <string>

#include "airports/airports.h"
#include "airports/stand_file_internal.h"
#include "fixtures/stand_file_builder.h"
#include "foundation/errors.h"
#include "foundation/meta_block.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kStandFile = "airports\\my_thirdparty\\EDDF.xml";
constexpr const char* kPublisher = "fuzzpub";

// A stand file that reads: the base for the learned files.
std::string lf_goodStandFile() {
  fixtures::StandFileLayout layout;
  layout.parameters = {{"publisher", kPublisher}, {"altitude", "364"}, {"airport_name", "Fuzz"}};
  layout.stands = {fixtures::StandRow("g1", 50.03, 8.57, 90.0, 24.0),
                   fixtures::StandRow("g2", 50.031, 8.571, 180.0, 30.0, true)};
  return fixtures::standFileText(layout);
}

void lf_resetParkAirport() {
  g_parkStands.clear();
  g_parkApfHeader = {};
  g_parkAirportQf = {-1, -1};
  g_parkAirportIcao = "EDDF";
  g_parkStandFileHandmade = false;
  g_parkStandsReady = false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string s_good = [] {
    fuzz::workFolder();
    g_simulatorName = "P3D";
    return lf_goodStandFile();
  }();
  static const fs::path s_standFile = lf_pathFromText(kStandFile);
  static const fs::path s_learnedFile = gf_learnedApfPath(kStandFile, kPublisher);
  fuzz::InputCursor input(data, size);
  const bool learned = (input.takeByte() & 1) != 0;
  std::error_code ignored;
  if (learned) {
    fuzz::writeFile(s_standFile, s_good);
    fuzz::writeFile(s_learnedFile, input.rest());
  } else {
    fs::remove(s_learnedFile, ignored);
    fuzz::writeFile(s_standFile, input.rest());
  }
  lf_resetParkAirport();
  std::string result;
  try {
    gf_readApf(result, kStandFile, g_parkApfHeader, g_parkAirportQf, g_parkStands);
  } catch (const qvb::UserErrorException&) {
    // Codes 65 and 94: the run ends with the message; nothing else is expected.
  }
  return 0;
}
