// The package registries of the automatic livery discovery: the user's add-ons.cfg (with the
// add-on.xml of each package it names), a package's add-on.xml, and the machine-wide
// simobjects.cfg, each read as text lines of any encoding.
// Input: the file, then one control byte (which file).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/parameters.h"
#include "fuzz_support.h"
#include "simulator_world.h"
#include "liveries/addon_discovery.h"

namespace fs = std::filesystem;

namespace {

// APPDATA and drive C inside the work folder, and a version 5 simulator.
bool lf_setUpWorld() {
  setenv("APPDATA", (fuzz::workFolder() / "AppData").c_str(), 1);
  fuzz::useSimulatorOnDriveC();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool s_world = lf_setUpWorld();
  (void)s_world;
  fuzz::InputCursor input(data, size);
  const std::uint8_t which = input.takeByte() % 3;
  std::vector<std::string> folders;
  if (which == 0) {
    fuzz::writeFile(lf_addOnsCfgPath(), input.rest());
    lf_readP3DAddOnsAircraft(folders);
  } else if (which == 1) {
    const fs::path package = fuzz::workFolder() / "Package";
    fuzz::writeFile(package / "add-on.xml", input.rest());
    lf_explorePackage(package.string(), folders);
  } else {
    fuzz::writeFile(lf_simObjectsCfgPath(), input.rest());
    try {
      lf_readP3DSimObjectsCfg(folders);
    } catch (const fs::filesystem_error&) {
      // The discovery lets file-system errors pass to the scan driver, which logs them.
    }
  }
  return 0;
}
