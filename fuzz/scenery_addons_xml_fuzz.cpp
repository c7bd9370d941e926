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
#include "simulator_world.h"
#include "platform/paths.h"

namespace {

bool lf_setUpWorld() {
  fuzz::useSimulatorOnDriveC();
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
