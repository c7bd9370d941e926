// aircraft.cfg files as the livery scan's file task reads them: encoding test and text reading,
// [fltsim.N] numbering, the file's type code, the cut into sections and each section's livery
// (with the model and texture folders and the flight-model file the sections may name present).
// Input: the file, then one control byte (ordinary file or IVAO model-set file).
#include <cstdint>
#include <exception>

#include "fixtures/ai_package_world.h"
#include "fuzz_support.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"

namespace fs = std::filesystem;

namespace {

// An aircraft folder whose sections find what they name when they say "model=", "texture=DLH"
// and "sim=B738".
fs::path lf_aircraftFolder(const fs::path& folder) {
  for (const char* sub : {"model", "texture.DLH", "texture"}) fs::create_directories(folder / sub);
  fuzz::writeFile(folder / "B738.air", "air");
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path s_ordinary =
      lf_aircraftFolder(fuzz::workFolder() / "SimObjects" / "Airplanes" / "Fuzz B738");
  static const fs::path s_modelSet =
      lf_aircraftFolder(fuzz::workFolder() / "IVAO_MTL" / "IVAO_B738");
  static const bool s_dbase = (fixtures::loadAiWorldDbase(), true);
  (void)s_dbase;

  fuzz::InputCursor input(data, size);
  const bool modelSet = (input.takeByte() & 1) != 0;
  const fs::path cfg = (modelSet ? s_modelSet : s_ordinary) / "aircraft.cfg";
  fuzz::writeFile(cfg, input.rest());
  try {
    if (modelSet) {
      lf_searchMtlLiveriesInFile(1, cfg);
    } else {
      lf_searchLiveriesinFile(1, cfg);
    }
  } catch (const std::exception&) {
    // The scan logs a failed file and goes on with the next.
  }
  lf_clearScanLists();
  return 0;
}
