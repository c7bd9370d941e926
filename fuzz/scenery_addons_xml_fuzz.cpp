// The simulator's scenery_add-ons.xml as the airports scan reads it for add-on scenery folders:
// the folder of each line with a whole Path element, as text lines of any encoding.
// Input: the file.
#include "simulator_world.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::readSimulatorConfig(data, size, "scenery_add-ons.xml", lf_readSceneryAddOnsXml);
  return 0;
}
