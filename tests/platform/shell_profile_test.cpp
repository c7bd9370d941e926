// Private-profile reads of SimConnect.cfg-like files in UTF-8 and UTF-16, with the Win32
// rules for case, quotes, comments, defaults and truncation.
#include <gtest/gtest.h>

#include "files_test_support.h"
#include "platform/win32.h"

using platform_test::TempDir;
using platform_test::writeFile;

namespace {

constexpr const char* kConfig =
    "; SimConnect client configuration\n"
    "[SimConnect]\r\n"
    "Protocol = IPv4\r\n"
    "Address=127.0.0.1\n"
    "Port=\"50500\"\n"
    "MaxReceiveSize=  4000000 \n"
    "DisableNagle=x1\n"
    "[simconnect.1]\n"
    "protocol=Pipe\n"
    "Port=Custom Pipe\n"
    "[SimConnect]\n"
    "Protocol=IPv6\n";

std::string utf16le(const std::string& utf8) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : gf_toUtf16(utf8)) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

class ProfileTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    writeFile(dir / "Docs/SimConnect.cfg", GetParam() ? utf16le(kConfig) : std::string(kConfig));
    // The program joins a folder and "\SimConnect.cfg"; the case of the name need not match.
    file = gf_toUtf16((dir / "Docs").string() + "\\simconnect.CFG");
  }
  WString read(const char16_t* section, const char16_t* key, const char16_t* fallback = u"") {
    WCHAR buffer[64];
    const DWORD length = GetPrivateProfileStringW(section, key, fallback, buffer, 64, file.c_str());
    return WString(buffer, length);
  }
  TempDir dir;
  WString file;
};

TEST_P(ProfileTest, ReadsValuesLikeWindows) {
  EXPECT_EQ(read(u"SimConnect", u"Protocol"), u"IPv4");  // the first section of a name wins
  EXPECT_EQ(read(u"SIMCONNECT", u"address"), u"127.0.0.1");
  EXPECT_EQ(read(u"SimConnect", u"Port"), u"50500");
  EXPECT_EQ(read(u"SimConnect.1", u"Protocol"), u"Pipe");
  EXPECT_EQ(read(u"SimConnect.1", u"Port"), u"Custom Pipe");
  EXPECT_EQ(read(u"SimConnect", u"Missing", u"fallback  "), u"fallback");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(read(u"SimConnect.2", u"Port", u"d"), u"d");
  EXPECT_EQ(GetPrivateProfileIntW(u"SimConnect", u"MaxReceiveSize", 41088, file.c_str()), 4000000u);
  EXPECT_EQ(GetPrivateProfileIntW(u"SimConnect", u"DisableNagle", 7, file.c_str()), 0u);
  EXPECT_EQ(GetPrivateProfileIntW(u"SimConnect", u"Nothing", 7, file.c_str()), 7u);
}

TEST_P(ProfileTest, ReadsAWholeSection) {
  WCHAR buffer[128];
  EXPECT_GT(GetPrivateProfileSectionW(u"SimConnect.1", buffer, 128, file.c_str()), 0u);
  EXPECT_EQ(WString(buffer), u"protocol=Pipe");
  EXPECT_EQ(GetPrivateProfileSectionW(u"SimConnect.7", buffer, 128, file.c_str()), 0u);
}

INSTANTIATE_TEST_SUITE_P(Encodings, ProfileTest, ::testing::Values(false, true),
                         [](const auto& testInfo) { return testInfo.param ? "Utf16" : "Utf8"; });

TEST(Profile, CutsLongValuesAndHandlesMissingFiles) {
  TempDir dir;
  writeFile(dir / "a.ini", "[s]\nkey=0123456789\n");
  const WString file = gf_toUtf16((dir / "a.ini").string());
  WCHAR buffer[5];
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"key", u"", buffer, 5, file.c_str()), 4u);
  EXPECT_EQ(WString(buffer), u"0123");
  const WString missing = gf_toUtf16((dir / "none.ini").string());
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"key", u"dflt", buffer, 5, missing.c_str()), 4u);
  EXPECT_EQ(WString(buffer), u"dflt");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetPrivateProfileIntW(u"s", u"key", 3, missing.c_str()), 3u);
}

TEST(Profile, MalformedAndBinaryContentIsHarmless) {
  TempDir dir;
  writeFile(dir / "junk.ini", std::string("\x00\xFF", 2) +
                                  " garbage\n[broken\nno equals here\n=value\n[s]\nk=\xC3(\n");
  const WString file = gf_toUtf16((dir / "junk.ini").string());
  WCHAR buffer[16];
  GetPrivateProfileStringW(u"s", u"k", u"", buffer, 16, file.c_str());
  EXPECT_EQ(WString(buffer), u"\uFFFD(");
  EXPECT_EQ(GetPrivateProfileIntW(u"broken", u"", 9, file.c_str()), 0u);
}

}  // namespace
