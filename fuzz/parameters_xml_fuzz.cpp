// parameters.xml as every run loads it, and the load-modify-save of single settings over it.
// Input: the file, then one control byte (load or which save).
#include <cstdint>

#include "foundation/settings_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool s_moved = [] {
    g_parametersFile = fuzz::workFolder() / "parameters.xml";
    return true;
  }();
  (void)s_moved;
  fuzz::InputCursor input(data, size);
  const std::uint8_t operation = input.takeByte() % 5;
  fuzz::writeFile(g_parametersFile, input.rest());
  switch (operation) {
    case 0:
      lf_initParameterGroups();
      break;
    case 1:
      gf_saveBoolParameter(g_paramLog);
      break;
    case 2:
      gf_saveIntParameter(g_paramLateralRange);
      break;
    case 3:
      gf_saveStringParameter(g_paramBlockCallsign);
      break;
    default:
      gf_removeParameter(g_paramLfolder[3]);
      break;
  }
  return 0;
}
