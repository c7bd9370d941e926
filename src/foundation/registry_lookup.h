// Registry and known-folder look-ups: whether Prepar3D v5 / v6 is installed, its install folder,
// and the user's roaming AppData folder. Any thread; the installed flags are set at static
// initialisation and never change.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Prepar3D v5 / v6 registry keys exist (HKLM, 64-bit view). Set at static initialisation; read
// by the simulator detection on the worker.
extern const bool g_p3dV5Installed;
extern const bool g_p3dV6Installed;

// True when the key "SOFTWARE\Lockheed Martin\Prepar3D v<version>" opens (version 5 or 6).
bool gf_isP3DInstalled(int version) noexcept;
// The key's "SetupPath" value in UTF-8; "" when the key or the value cannot be read.
std::string gf_getP3DSetupPath(int version);
// The simulator's major version from the install path in use: "5" when SIM_INSTALL_PATH contains
// "v5" or "V5", else "6" for "v6" or "V6", else the P3D_VERSION setting as text. Throws
// qvb::UserErrorException 77 when that setting is below 5. Any thread that may read settings.
std::string gf_p3dVersionFromPath();

// Throws winreg::RegException for a failed registry call.
[[noreturn]] void lf_throwRegException(std::uint32_t error, const char* message);

// The user's roaming AppData folder; logs "Could not find the AppData path" and gives an empty
// path when it cannot be found.
std::filesystem::path gf_getAppDataPath();
// The program's folder under it ("Zendrik_P3D"), for static initialisation: nothing is logged.
std::filesystem::path gf_appDataFolderAtStartup();
