// Registry and AppData look-ups through the platform layer.
#include "foundation/registry_lookup.h"

#include <optional>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/text_file.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace {

// Owns one open registry key; the predefined root keys are never closed.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { reset(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  HKEY* put() {
    reset();
    return &m_key;
  }
  HKEY get() const { return m_key; }
  void reset() {
    if (m_key != nullptr && !lf_isPredefined(m_key)) RegCloseKey(m_key);
    m_key = nullptr;
  }

 private:
  static bool lf_isPredefined(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS || key == HKEY_PERFORMANCE_DATA || key == HKEY_CURRENT_CONFIG ||
           key == HKEY_CURRENT_USER_LOCAL_SETTINGS || key == HKEY_PERFORMANCE_TEXT ||
           key == HKEY_PERFORMANCE_NLSTEXT;
  }
  HKEY m_key = nullptr;
};

const WCHAR* lf_p3dSubkey(int version) {
  return version == 6 ? WIDE("SOFTWARE\\Lockheed Martin\\Prepar3D v6")
                      : WIDE("SOFTWARE\\Lockheed Martin\\Prepar3D v5");
}

void lf_openP3DKey(int version, RegKey& key) {
  const LSTATUS rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, lf_p3dSubkey(version), 0,
                                   KEY_READ | KEY_WOW64_64KEY, key.put());
  if (rc != ERROR_SUCCESS)
    lf_throwRegException(static_cast<std::uint32_t>(rc), "RegOpenKeyExW failed.");
}

WString lf_regGetString(const RegKey& key, const WString& valueName) {
  DWORD size = 0;
  LSTATUS rc =
      RegGetValueW(key.get(), nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size);
  if (rc != ERROR_SUCCESS) {
    lf_throwRegException(static_cast<std::uint32_t>(rc),
                         "Cannot get size of string value: RegGetValueW failed.");
  }
  WString text(size / sizeof(WCHAR), WCHAR{0});
  rc = RegGetValueW(key.get(), nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                    &size);
  if (rc != ERROR_SUCCESS) {
    lf_throwRegException(static_cast<std::uint32_t>(rc),
                         "Cannot get string value: RegGetValueW failed.");
  }
  // The size counts the terminating NUL, which is not part of the text.
  const std::size_t units = size / sizeof(WCHAR);
  text.resize(units > 0 ? std::min(units - 1, text.size()) : 0);
  return text;
}

std::optional<std::filesystem::path> lf_appDataPath() {
  WCHAR buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    return std::nullopt;
  }
  return gf_pathFromUtf8(Utf16ToUtf8(buffer));
}

}  // namespace

const bool g_p3dV5Installed = gf_isP3DInstalled(5);
const bool g_p3dV6Installed = gf_isP3DInstalled(6);

void lf_throwRegException(std::uint32_t error, const char* message) {
  throw winreg::RegException(error, message);
}

bool gf_isP3DInstalled(int version) noexcept {
  try {
    RegKey key;
    lf_openP3DKey(version, key);
    return true;
  } catch (...) {
    return false;
  }
}

std::string gf_getP3DSetupPath(int version) {
  try {
    RegKey key;
    lf_openP3DKey(version, key);
    return Utf16ToUtf8(lf_regGetString(key, WIDE("SetupPath")));
  } catch (const winreg::RegException&) {
    return std::string();
  }
}

std::filesystem::path gf_getAppDataPath() {
  if (std::optional<std::filesystem::path> folder = lf_appDataPath()) return *folder;
  gf_logError("Could not find the AppData path");
  return {};
}

// The folder name is spelled here rather than taken from g_programName: this runs during static
// initialisation, when globals of other files may not be built yet.
std::filesystem::path gf_appDataFolderAtStartup() {
  try {
    return lf_appDataPath().value_or(std::filesystem::path()) / "Zendrik_P3D";
  } catch (...) {
    return "Zendrik_P3D";
  }
}

std::string gf_p3dVersionFromPath() {
  const std::string install = g_paramSimInstallPath.value();
  const auto contains = [&install](const char* word) {
    return install.find(word) != std::string::npos;
  };
  if (contains("v5") || contains("V5")) return "5";
  if (contains("v6") || contains("V6")) return "6";
  constexpr int kOldestVersion = 5;
  const int version = g_paramP3dVersion.value();
  if (version >= kOldestVersion) return std::to_string(version);
  throw qvb::UserErrorException(
      77, fmt::format("P3D install path does not contain v5 or v6? Use hidden parameter {}, set "
                      "it at 5 or 6",
                      g_paramP3dVersion.name));
}
