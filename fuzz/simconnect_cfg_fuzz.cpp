// SimConnect.cfg as SimConnect_Open reads it: the section of a configuration index with its
// protocol, address, port, receive size limit and Nagle switch, through the private-profile
// reader.
// Input: the file, then one control byte (the configuration index, 0-3).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "simlink/simconnect/simconnect_config.h"

namespace {

// The public and the user's documents hold no SimConnect.cfg; the current folder (the work
// folder) holds the input.
bool lf_setUpWorld() {
  setenv("PUBLIC", (fuzz::workFolder() / "Public").c_str(), 1);
  setenv("USERPROFILE", (fuzz::workFolder() / "User").c_str(), 1);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool s_world = lf_setUpWorld();
  (void)s_world;
  fuzz::InputCursor input(data, size);
  const DWORD index = input.takeByte() % 4;
  fuzz::writeFile(fuzz::workFolder() / "SimConnect.cfg", input.rest());
  simconnect::SimConnectConfig config;
  if (simconnect::gf_readSimConnectConfig(index, config)) {
    fuzz::g_sink += config.maxReceiveSize + config.port.size() + config.address.size() +
                    config.protocol.size() + (config.disableNagle ? 1 : 0);
  }
  return 0;
}
