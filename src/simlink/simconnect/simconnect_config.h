// Where SimConnect_Open looks for the simulator: the SimConnect.cfg files (public documents,
// the user's documents, the current folder; a later file overrides an earlier one) and the
// simulator's TCP ports in the registry.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace simconnect {

struct SimConnectConfig {
  std::string protocol;  // "Auto", "Pipe", "IPv4", "IPv6" or empty (pipe)
  std::string address;   // host, or the pipe's server
  std::string port;      // TCP port, or the pipe name
  std::uint32_t maxReceiveSize = 41088;
  bool disableNagle = false;
};

// The three places of SimConnect.cfg, in reading order.
std::vector<std::filesystem::path> gf_simConnectCfgFiles();

// Reads the section of a configuration index ("SimConnect" for 0, "SimConnect.<n>" else) from
// every file. False when the index is not 0 and no file has its section.
bool gf_readSimConnectConfig(DWORD configIndex, SimConnectConfig& config);

// A port text from HKEY_CURRENT_USER "SOFTWARE\Lockheed Martin\Prepar3D v5" (at most 10
// characters); empty when the value is missing.
std::string gf_registryPort(const char* valueName);

// The pipe name for a server ("." when empty) and an optional pipe name from the Port key.
std::string gf_simConnectPipeName(const std::string& server, const std::string& port);

}  // namespace simconnect
