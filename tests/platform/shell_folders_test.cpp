// Known folders from the environment or the XDG defaults, the module path and the current
// folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "files_test_support.h"
#include "platform/win32.h"

namespace fs = std::filesystem;
using platform_test::EnvGuard;
using platform_test::TempDir;

namespace {

std::string folderOf(int csidl) {
  WCHAR buffer[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer), S_OK) << csidl;
  return gf_toUtf8(buffer);
}

TEST(KnownFolders, ComeFromTheEnvironmentWhenSet) {
  EnvGuard env;
  env.set("APPDATA", "/win/AppData/Roaming");
  env.set("PROGRAMDATA", "/win/ProgramData");
  env.set("USERPROFILE", "/win/Users/J\xC3\xB6rg");
  env.set("PUBLIC", "/win/Users/Public");
  EXPECT_EQ(folderOf(CSIDL_APPDATA), "/win/AppData/Roaming");
  EXPECT_EQ(folderOf(CSIDL_COMMON_APPDATA), "/win/ProgramData");
  EXPECT_EQ(folderOf(CSIDL_PERSONAL), "/win/Users/J\xC3\xB6rg/Documents");
  EXPECT_EQ(folderOf(CSIDL_COMMON_DOCUMENTS), "/win/Users/Public/Documents");
}

TEST(KnownFolders, FallBackToXdgAndTheDriveRoot) {
  EnvGuard env;
  for (const char* name :
       {"APPDATA", "LOCALAPPDATA", "PROGRAMDATA", "USERPROFILE", "PUBLIC", "XDG_CONFIG_HOME",
        "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "ZENDRIK_DRIVE_C"}) {
    env.unset(name);
  }
  env.set("HOME", "/home/pilot");
  EXPECT_EQ(folderOf(CSIDL_APPDATA), "/home/pilot/.config");
  EXPECT_EQ(folderOf(CSIDL_PERSONAL), "/home/pilot/Documents");
  EXPECT_EQ(folderOf(CSIDL_COMMON_APPDATA), "/home/pilot/.local/share/zendrik/drive_c/ProgramData");
  EXPECT_EQ(folderOf(CSIDL_COMMON_DOCUMENTS),
            "/home/pilot/.local/share/zendrik/drive_c/Users/Public/Documents");
  env.set("XDG_CONFIG_HOME", "/xdg/config");
  EXPECT_EQ(folderOf(CSIDL_APPDATA), "/xdg/config");
}

TEST(KnownFolders, RefusesUnknownIdsAndOverlongFolders) {
  EnvGuard env;
  WCHAR buffer[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, 0x7f, nullptr, SHGFP_TYPE_CURRENT, buffer), E_INVALIDARG);
  env.set("APPDATA", "/" + std::string(MAX_PATH, 'a'));
  EXPECT_TRUE(
      FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)));
}

TEST(Process, ModuleFileNameIsThisProgram) {
  WCHAR buffer[4096];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 4096);
  ASSERT_GT(length, 0u);
  const fs::path self = gf_toUtf8(WString(buffer, length));
  EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe"));
  WCHAR small[5];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(small[4], u'\0');
  EXPECT_EQ(WString(small), WString(buffer, 4));
}

TEST(Process, CurrentDirectoryWithSizeQuery) {
  TempDir dir;
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  const WString expected = gf_toUtf16(fs::current_path().string());
  EXPECT_EQ(needed, expected.size() + 1);
  WString buffer(needed, u'\0');
  EXPECT_EQ(GetCurrentDirectoryW(needed, buffer.data()), expected.size());
  EXPECT_EQ(buffer.c_str(), expected);
  EXPECT_EQ(GetCurrentDirectoryW(needed - 1, buffer.data()), needed);
  fs::current_path(previous);
}

}  // namespace
