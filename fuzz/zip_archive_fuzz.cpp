// The downloaded archives as the program unpacks and reads them: dbase.zip fetched, unzipped
// and read as the aircraft database, and AIG-regcodes.zip unzipped and read as registration
// liveries. The download server is a file:// folder inside the work folder.
// Input: the archive, then one control byte (which archive).
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "foundation/download.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "fuzz_support.h"
#include "liveries/aircraft_database.h"
#include "liveries/regcodes.h"

namespace fs = std::filesystem;

namespace {

fs::path lf_serverFolder() {
  const fs::path server = fuzz::workFolder() / "server";
  fs::create_directories(server);
  fs::create_directories(g_inputDir);
  setenv("ZENDRIK_DOWNLOAD_URL", ("file://" + server.string() + "/").c_str(), 1);
  return server;
}

void lf_clearDbase() {
  for (auto* set : {&g_dbaseTypes, &g_dbaseHighPerf, &g_dbaseHeavy, &g_dbaseLarge, &g_dbaseBuzjet,
                    &g_dbaseRotorcraft, &g_dbaseCargoTypes, &g_dbaseIcaoAirlines,
                    &g_dbaseCargoOperators, &g_dbaseSimaddonAirports}) {
    set->clear();
  }
  g_dbaseSimilarGroups.clear();
  g_dbasePublishers.clear();
  g_dbaseWingspans.clear();
  g_dbaseFixes.clear();
  g_dbaseThirdParties.clear();
  g_dbaseRegs.clear();
  g_dbasePvtRegs.clear();
}

void lf_readDbaseArchive() {
  try {
    gf_readDbase();
  } catch (const qvb::UserErrorException&) {
  } catch (const std::runtime_error&) {
    // The start-up's handling: a user error ends the run, a failed download is logged.
  }
  lf_clearDbase();
}

void lf_readRegcodesArchive() {
  const fs::path xml = g_inputDir / "AIG-regcodes.xml";
  if (!gf_downloadAndUnzip("AIG-regcodes.zip", xml)) return;
  std::vector<RegcodeDef> definitions;
  try {
    gf_readAigRegcodes(xml, definitions);
  } catch (const std::out_of_range&) {
    // A registration that cannot be unscrambled; the processing logs it and goes on.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path s_server = lf_serverFolder();
  fuzz::InputCursor input(data, size);
  const bool regcodes = (input.takeByte() & 1) != 0;
  fuzz::writeFile(s_server / (regcodes ? "AIG-regcodes.zip" : "dbase.zip"), input.rest());
  if (regcodes) {
    lf_readRegcodesArchive();
  } else {
    lf_readDbaseArchive();
  }
  return 0;
}
