// Path texts are UTF-8 both ways, whatever the system's code page: names in other scripts
// survive the trip from text to path, through the file system and back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files_test_support.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

// "Zé用户한": no ANSI code page holds all of it.
const std::string kName = "Z\xC3\xA9\xE7\x94\xA8\xE6\x88\xB7\xED\x95\x9C";
const char8_t kName8[] = u8"Z\u00E9\u7528\u6237\uD55C";

TEST(PathText, Utf8BothWays) {
  // The same text as UTF-8 bytes and as C++20's UTF-8 type, which builds paths without a code
  // page on every platform.
  const struct {
    std::string text;
    std::u8string text8;
  } cases[] = {
      {kName, kName8},
      {"caf\xC3\xA9/" + kName + ".txt", u8"caf\u00E9/" + std::u8string(kName8) + u8".txt"},
      {"plain ascii", u8"plain ascii"},
      {"", u8""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gf_pathFromUtf8(c.text).native(), fs::path(c.text8).native()) << c.text;
    EXPECT_EQ(gf_pathToUtf8(fs::path(c.text8)), c.text) << c.text;
  }
  const fs::path file = gf_pathFromUtf8("caf\xC3\xA9/" + kName + ".txt");
  EXPECT_EQ(gf_pathToUtf8(file.filename()), kName + ".txt");
  EXPECT_EQ(gf_pathToUtf8(file.stem()), kName);
  EXPECT_EQ(gf_pathToUtf8(file.parent_path()), "caf\xC3\xA9");
}

TEST(PathText, NamesComeBackFromTheFileSystemAsWritten) {
  platform_test::TempDir dir;
  const fs::path folder = dir.path() / gf_pathFromUtf8(kName);
  platform_test::writeFile(folder / gf_pathFromUtf8(kName + ".xml"), "x");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(gf_pathToUtf8(entry.path().filename()));
  }
  EXPECT_EQ(names, std::vector<std::string>{kName + ".xml"});
  EXPECT_TRUE(
      fs::exists(gf_pathFromUtf8(gf_pathToUtf8(folder / (kName8 + std::u8string(u8".xml"))))));
}

// Text that is not UTF-8 still gives a path, and never an exception.
TEST(PathText, BrokenTextGivesAPath) {
  EXPECT_FALSE(gf_pathFromUtf8("bad \xFF\xC3 name").empty());
  EXPECT_FALSE(gf_pathToUtf8(gf_pathFromUtf8("bad \xFF\xC3 name")).empty());
}

// A text in the user's 8-bit code page (an add-ons.cfg saved so) names the folder Windows' narrow
// calls name with it, and comes back as UTF-8; elsewhere its bytes are the name.
TEST(PathText, CodePageText) {
  const std::string jose = "C:\\Users\\Jos\xE9";  // Windows-1252
#ifdef _WIN32
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
  EXPECT_EQ(gf_pathFromUtf8(jose).native(), fs::path(u8"C:\\Users\\Jos\u00E9").native());
  EXPECT_EQ(gf_pathToUtf8(gf_pathFromUtf8(jose)), "C:\\Users\\Jos\xC3\xA9");
#else
  EXPECT_EQ(gf_pathFromUtf8(jose).native(), jose);
#endif
}

}  // namespace
