// Finding the Prepar3D installation, the simulator's own scenery folder, the first start of a
// newer program version, and the program's working folders. Worker thread, start-up.
#include <fmt/format.h>

#include <filesystem>
#include <string>

#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/registry_lookup.h"
#include "foundation/settings_file.h"
#include "foundation/version.h"
#include "platform/paths.h"
#include "shell/shell.h"

namespace fs = std::filesystem;

fs::path g_simSceneryDir;

namespace {

constexpr int kV5 = 5;
constexpr int kV6 = 6;

bool lf_anyFolderSettingSet() {
  for (const auto* group : {&g_paramLfolder, &g_paramAfolder}) {
    for (const StringParameter& folder : *group) {
      if (!folder.value().empty()) return true;
    }
  }
  return false;
}

[[noreturn]] void lf_throwNoInstallPath() {
  g_paramAllInstallPath.setValue(std::string());
  gf_saveStringParameter(g_paramAllInstallPath);
  gf_showStringParameter(g_paramAllInstallPath);
  throw qvb::UserErrorException(
      151, "No P3D install path detected, type full Install Path above, and press Enter");
}

void lf_tickBox(CheckBoxParameter& box) {
  box.setValue(true);
  gf_saveBoolParameter(box);
  if (HWND control = box.hwnd.load(); control != nullptr) {
    SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
  }
}

}  // namespace

void lf_detectP3D() {
  lf_detectP3D(g_p3dV5Installed, g_p3dV6Installed);
}

void lf_detectP3D(bool v5Installed, bool v6Installed) {
  const int n = (v6Installed ? kV6 : 0) + (v5Installed ? kV5 : 0);
  if (n > kV6) {
    throw qvb::UserErrorException(153,
                                  "More than one P3D version detected, type full Install Path to "
                                  "wanted version above and press Enter");
  }
  if (n == 0) {
    gf_showMessage("P3D not detected?", true);
    if (lf_anyFolderSettingSet()) return;  // the user works with folders of his own
    lf_throwNoInstallPath();
  }
  gf_log(fmt::format("P3Dv{}detected", n));
  const std::string setupPath = gf_getP3DSetupPath(n);
  if (setupPath.empty()) lf_throwNoInstallPath();
  g_paramAllInstallPath.setValue(setupPath);
  gf_showStringParameter(g_paramAllInstallPath);
  gf_setStringParameter(g_paramSimInstallPath, setupPath);
}

void lf_setSimSceneryDir() {
  g_simSceneryDir = gf_winPath(g_paramSimInstallPath.value()) / "Scenery";
  std::error_code error;
  if (!fs::exists(g_simSceneryDir, error)) {
    gf_showMessage(
        fmt::format("Stock airports path does not exist: {}", gf_pathToUtf8(g_simSceneryDir)),
        true);
  }
}

void lf_checkVersionUpdate() {
  const std::string running = g_version.toString();
  const std::string stored = g_paramProgramVersion.value();
  if (stored == g_paramProgramVersion.defaultValue) {  // no version ever ran here
    gf_setStringParameter(g_paramProgramVersion, running);
    return;
  }
  const Version previous(stored);
  if (previous != g_version) gf_setStringParameter(g_paramProgramVersion, running);
  if (g_version <= previous) return;  // a downgrade or an unreadable old value
  gf_log(fmt::format("This is a version update from {} -> {}", previous.toString(), running));
  if (fs::exists(g_installerPath)) fs::remove(g_installerPath);
  lf_tickBox(g_paramScanLiveries);
  lf_tickBox(g_paramScanAirports);
}

void lf_createFolders() {
  for (const fs::path* folder :
       {&g_learnedStockDir, &g_learnedSimaddonDir, &g_learnedThirdpartyDir, &g_myORBXDir,
        &g_myThirdpartyDir, &g_infoDir, &g_errorsDir, &g_myRegcodesDir}) {
    fs::create_directories(*folder);  // with its parents: airports, learned, output, input
  }
}
