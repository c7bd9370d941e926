// The simulator's scenery.cfg as the airports scan reads it for add-on scenery folders: area
// sections, their active flag and local path, as text lines of any encoding.
// Input: the file.
#include "simulator_world.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::readSimulatorConfig(data, size, "scenery.cfg", lf_readSceneryCfg);
  return 0;
}
