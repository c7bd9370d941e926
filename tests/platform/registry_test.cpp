// The registry over its store file: opening keys, the size query and read of REG_SZ, DWORDs,
// type restrictions, case-insensitive names, reloading a changed file, malformed lines.
#include <gtest/gtest.h>

#include <thread>

#include "files_test_support.h"
#include "platform/win32.h"

using platform_test::EnvGuard;
using platform_test::TempDir;
using platform_test::writeFile;

namespace {

// Opened during static initialisation, before main, as the program's installed flags are.
const bool g_openedBeforeMain = [] {
  HKEY key = nullptr;
  const LSTATUS status =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Nothing Here", 0, KEY_READ, &key);
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_SUCCESS;
}();

constexpr const char* kStore =
    "; test registry\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]\n"
    "\"SetupPath\"=\"/opt/P3D v6/\"\n"
    "\"Name\"=\"Z\xC3\xBCrich \\\"quoted\\\" C:\\\\x\"\n"
    "\"Version\"=dword:0000002a\n"
    "[HKLM\\SOFTWARE\\Lockheed Martin\\Prepar3D v5 Empty]\n"
    "[HKCU\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n"
    "\"SimConnect_Port_IPv4\"=\"50123\"\n"
    "this line is broken\n"
    "\"Bad\"=dword:xyz\n"
    "\"SimConnect_Port_IPv6\"=\"50124\"\n";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir / "registry.txt", kStore);
    env.set("ZENDRIK_REGISTRY", (dir / "registry.txt").string());
  }
  // Opens a key for reading; nullptr when it is not there.
  static HKEY open(HKEY root, const WCHAR* path) {
    HKEY key = nullptr;
    return RegOpenKeyExW(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr;
  }
  // The two-call read of a REG_SZ value, as the program does it.
  static std::optional<WString> readString(HKEY key, const WString& name) {
    DWORD size = 0;
    if (RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    WString buffer(size / 2, u'\0');
    if (RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(), &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    buffer.resize(size / 2 - 1);
    return buffer;
  }
  TempDir dir;
  EnvGuard env;
};

TEST_F(RegistryTest, OpensKeysThatExistOnly) {
  EXPECT_TRUE(g_openedBeforeMain);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v5", 0,
                          KEY_READ | KEY_WOW64_64KEY, &key),
            static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(key, nullptr);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\lockheed martin\\PREPAR3D V6", 0,
                          KEY_READ | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
  // A key above a named one exists; a root key is never closed.
  key = open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin");
  ASSERT_NE(key, nullptr);
  const HKEY child = open(key, u"Prepar3D v5 Empty");
  EXPECT_NE(child, nullptr);
  RegCloseKey(child);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(open(HKEY_USERS, u"x"), nullptr);
}

TEST_F(RegistryTest, ReadsStringsWithTheSizeQuery) {
  HKEY key = open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v6");
  ASSERT_NE(key, nullptr);
  DWORD size = 0;
  DWORD type = 0;
  ASSERT_EQ(RegGetValueW(key, nullptr, u"SetupPath", RRF_RT_REG_SZ, &type, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, (WString(u"/opt/P3D v6/").size() + 1) * sizeof(WCHAR));
  EXPECT_EQ(readString(key, u"setuppath"), WString(u"/opt/P3D v6/"));
  EXPECT_EQ(readString(key, u"Name"), WString(u"Z\u00FCrich \"quoted\" C:\\x"));

  WCHAR small[4];
  DWORD smallSize = sizeof small;
  EXPECT_EQ(RegGetValueW(key, nullptr, u"SetupPath", RRF_RT_REG_SZ, nullptr, small, &smallSize),
            static_cast<LSTATUS>(ERROR_MORE_DATA));
  EXPECT_EQ(smallSize, size);
  EXPECT_EQ(RegGetValueW(key, nullptr, u"Missing", RRF_RT_REG_SZ, nullptr, nullptr, &size),
            static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  RegCloseKey(key);

  key = open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v5 Empty");
  ASSERT_NE(key, nullptr);
  EXPECT_FALSE(readString(key, u"SetupPath").has_value());
  RegCloseKey(key);
}

TEST_F(RegistryTest, DwordsAndTypeRestrictions) {
  DWORD value = 0;
  DWORD size = sizeof value;
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v6", u"Version",
                         RRF_RT_REG_DWORD, nullptr, &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 42u);
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v6", u"Version",
                         RRF_RT_REG_SZ, nullptr, nullptr, &size),
            static_cast<LSTATUS>(ERROR_UNSUPPORTED_TYPE));
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v6", u"Version",
                         0, nullptr, nullptr, &size),
            static_cast<LSTATUS>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Nowhere", u"Version", RRF_RT_ANY, nullptr,
                         nullptr, &size),
            static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTest, MalformedLinesAreSkippedAndTheRestKept) {
  const HKEY key = open(HKEY_CURRENT_USER, u"SOFTWARE\\Lockheed Martin\\Prepar3D v5");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(readString(key, u"SimConnect_Port_IPv4"), WString(u"50123"));
  EXPECT_EQ(readString(key, u"SimConnect_Port_IPv6"), WString(u"50124"));
  EXPECT_FALSE(readString(key, u"Bad").has_value());
  RegCloseKey(key);
}

TEST_F(RegistryTest, AChangedOrMissingFileIsReadAgain) {
  const HKEY key = open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v6");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(readString(key, u"SetupPath"), WString(u"/opt/P3D v6/"));
  writeFile(dir / "registry.txt",
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D "
            "v6]\n\"SetupPath\"=\"/srv/sim/\"\n");
  EXPECT_EQ(readString(key, u"SetupPath"), WString(u"/srv/sim/"));
  RegCloseKey(key);
  env.set("ZENDRIK_REGISTRY", (dir / "absent.txt").string());
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Lockheed Martin\\Prepar3D v6"), nullptr);
}

TEST(RegistryFile, DefaultsUnderTheConfigFolder) {
  EnvGuard env;
  env.unset("ZENDRIK_REGISTRY");
  env.set("XDG_CONFIG_HOME", "/cfg");
  EXPECT_EQ(gf_registryFilePath(), std::filesystem::path("/cfg/zendrik/registry.txt"));
}

}  // namespace
