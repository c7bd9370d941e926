// The user's folders as the program finds them: the roaming AppData folder and the settings
// folder under it are the system's own, whatever script the user's name is written in (the
// Windows tree also runs this in a Wine prefix whose profile folder is named in several).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/registry_lookup.h"
#include "foundation/settings_file.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

// Straight from the system, in its own wide form.
fs::path lf_knownAppData() {
  WCHAR buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    return {};
  }
  return fs::path(std::basic_string<WCHAR>(buffer));
}

TEST(ProfileFolders, AppDataAndSettingsFolderAreTheSystemsOwn) {
  const fs::path appData = lf_knownAppData();
  ASSERT_FALSE(appData.empty());
  EXPECT_EQ(gf_getAppDataPath(), appData);
  EXPECT_EQ(gf_appDataFolderAtStartup(), appData / "Zendrik_P3D");
  EXPECT_EQ(g_appDataFolder, appData / "Zendrik_P3D");
  EXPECT_EQ(g_parametersFile, appData / "Zendrik_P3D" / "parameters.xml");
}

}  // namespace
