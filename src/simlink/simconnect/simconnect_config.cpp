// SimConnect.cfg and the registry ports.
#include "simlink/simconnect/simconnect_config.h"

#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "platform/paths.h"

namespace simconnect {

namespace {

constexpr DWORD kValueChars = 256;
constexpr WCHAR kAbsent[] = WIDE("\x01<absent>");  // default that no real value equals
constexpr std::size_t kPortChars = 10;

std::filesystem::path lf_folder(int csidl) {
  std::array<WCHAR, MAX_PATH> path{};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path.data()) != S_OK) {
    return {};
  }
  return gf_pathFromUtf8(gf_toUtf8(path.data()));
}

std::filesystem::path lf_currentFolder() {
  std::array<WCHAR, 1024> path{};
  const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data());
  if (n == 0 || n >= path.size()) return {};
  return gf_pathFromUtf8(gf_toUtf8(path.data()));
}

// One key of a section: true and the value when the file has it.
bool lf_readKey(const WString& section, LPCWSTR key, const WString& file,
                std::string& value) {
  std::array<WCHAR, kValueChars> buffer{};
  GetPrivateProfileStringW(section.c_str(), key, kAbsent, buffer.data(),
                           static_cast<DWORD>(buffer.size()), file.c_str());
  if (WString(buffer.data()) == kAbsent) return false;
  value = gf_toUtf8(buffer.data());
  return true;
}

bool lf_sectionExists(const WString& section, const WString& file) {
  std::array<WCHAR, 4096> buffer{};
  return GetPrivateProfileSectionW(section.c_str(), buffer.data(),
                                   static_cast<DWORD>(buffer.size()), file.c_str()) > 0;
}

}  // namespace

std::vector<std::filesystem::path> gf_simConnectCfgFiles() {
  std::vector<std::filesystem::path> files;
  for (const auto& folder :
       {lf_folder(CSIDL_COMMON_DOCUMENTS), lf_folder(CSIDL_PERSONAL), lf_currentFolder()}) {
    if (!folder.empty()) files.push_back(folder / "SimConnect.cfg");
  }
  return files;
}

bool gf_readSimConnectConfig(DWORD configIndex, SimConnectConfig& config) {
  const std::string sectionName =
      configIndex == 0 ? std::string("SimConnect") : fmt::format("SimConnect.{}", configIndex);
  const WString section = gf_toUtf16(sectionName);
  bool found = configIndex == 0;
  for (const auto& path : gf_simConnectCfgFiles()) {
    const WString file = gf_toUtf16(gf_pathToUtf8(path));
    if (!lf_sectionExists(section, file)) continue;
    found = true;
    lf_readKey(section, WIDE("Protocol"), file, config.protocol);
    lf_readKey(section, WIDE("Address"), file, config.address);
    lf_readKey(section, WIDE("Port"), file, config.port);
    const UINT maxSize = GetPrivateProfileIntW(section.c_str(), WIDE("MaxReceiveSize"),
                                               static_cast<INT>(config.maxReceiveSize),
                                               file.c_str());
    config.maxReceiveSize = std::max<std::uint32_t>(config.maxReceiveSize, maxSize);
    config.disableNagle = GetPrivateProfileIntW(section.c_str(), WIDE("DisableNagle"),
                                                config.disableNagle ? 1 : 0, file.c_str()) != 0;
  }
  return found;
}

std::string gf_registryPort(const char* valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, WIDE("SOFTWARE\\Lockheed Martin\\Prepar3D v5"), 0,
                    KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  std::array<WCHAR, kPortChars + 1> buffer{};
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(WCHAR));
  const WString name = gf_toUtf16(valueName);
  const LSTATUS status =
      RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};
  return gf_toUtf8(buffer.data());
}

std::string gf_simConnectPipeName(const std::string& server, const std::string& port) {
  const std::string host = server.empty() ? std::string(".") : server;
  if (port.empty()) {
    return fmt::format("\\\\{}\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect", host);
  }
  return fmt::format("\\\\{}\\pipe\\{}", host, port);
}

}  // namespace simconnect
