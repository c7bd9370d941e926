// The simulator's scenery_add-ons.xml as the airports scan reads it for add-on scenery folders:
// the folder of each line with a whole Path element, as text lines of any encoding.
// Input: the file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "airports/scan.h"
#include "foundation/parameters.h"
#include "fuzz_support.h"
#include "platform/paths.h"

namespace {

// Drive C inside the work folder, and a version 5 simulator installed on it.
bool lf_setUpWorld() {
  setenv("ZENDRIK_DRIVE_C", (fuzz::workFolder() / "C").c_str(), 1);
  g_paramSimInstallPath.setValue("C:\\Prepar3D v5");
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool s_world = lf_setUpWorld();
  (void)s_world;
  fuzz::writeFile(gf_winPath(lf_simConfigFolderText() + "\\scenery_add-ons.xml"),
                  std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> folders;
  lf_readSceneryAddOnsXml(folders);
  fuzz::g_sink += folders.size();
  return 0;
}
