// Random choices under the RANDOM setting, file chores and XML attributes.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <set>

#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/parameters.h"
#include "foundation/random_pick.h"
#include "foundation/temp_folder.h"

namespace {

class RandomTest : public ::testing::Test {
 protected:
  void TearDown() override { g_paramRandom.setValue(true); }
};

TEST_F(RandomTest, IndexAndShuffleDrawOnlyWhileRandomIsOn) {
  for (const std::int64_t size : {1, 0, -4}) EXPECT_EQ(gf_randomIndex(size), 0) << size;
  std::set<std::int64_t> seen;
  for (int i = 0; i < 500; ++i) {
    const auto index = gf_randomIndex(5);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, 5);
    seen.insert(index);
  }
  EXPECT_EQ(seen.size(), 5u);

  g_paramRandom.setValue(false);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(gf_randomIndex(5), 0);
  std::vector<std::string> list{"a", "b", "c", "d", "e", "f"};
  const auto original = list;
  gf_shuffle(list);
  EXPECT_EQ(list, original);

  g_paramRandom.setValue(true);
  bool moved = false;
  for (int i = 0; i < 20 && !moved; ++i) {
    gf_shuffle(list);
    moved = list != original;
  }
  EXPECT_TRUE(moved);
  std::multiset<std::string> before(original.begin(), original.end());
  EXPECT_EQ(std::multiset<std::string>(list.begin(), list.end()), before);
}

TEST_F(RandomTest, VariationIsPlusOrMinusThePercentWhateverRandomSays) {
  g_paramRandom.setValue(false);
  std::set<double> seen;
  for (int i = 0; i < 200; ++i) {
    const double v = gf_randomVariation(-9.0, 2.5);
    EXPECT_TRUE(v == -9.225 || v == -8.775) << v;
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(gf_randomVariation(-9.0, 0.0), -9.0);
  EXPECT_EQ(gf_randomVariation(-9.0, -1.0), -9.0);
}

TEST(FileHelpersTest, RemoveCountAndListAirportFiles) {
  TempWorkingFolder folder;
  EXPECT_TRUE(gf_removeFile("missing.txt"));  // nothing to remove is no failure
  gf_testWriteFile("present.txt", "x");
  EXPECT_TRUE(gf_removeFile("present.txt"));
  EXPECT_FALSE(std::filesystem::exists("present.txt"));

  EXPECT_EQ(gf_countFiles("nowhere"), 0u);
  std::filesystem::create_directories("stands/sub");
  for (const char* name : {"EHAM.xml", "EGLL.XML", "EHAM1.xml", "EHAM.txt", "KJFK.Xml", "ÄBCD.xml"}) {
    gf_testWriteFile(std::filesystem::path("stands") / name, "<x/>");
  }
  std::filesystem::create_directory("stands/LFPG.xml");  // a folder, not a file
  EXPECT_EQ(gf_countFiles("stands"), 6u);
  auto names = gf_getXmlFiles("stands");
  std::sort(names.begin(), names.end());
  // "ÄBCD" has five bytes, so it is not a four-character airport code.
  EXPECT_EQ(names, (std::vector<std::string>{"EGLL", "EHAM", "KJFK"}));
  EXPECT_TRUE(gf_getXmlFiles("nowhere").empty());  // a fresh working folder has no stand files

  // Emptying a folder takes its files and leaves folders (a user's own park airport folder).
  gf_removeFilesInFolder("stands");
  EXPECT_EQ(gf_countFiles("stands"), 0u);
  EXPECT_TRUE(std::filesystem::is_directory("stands/sub"));
  EXPECT_TRUE(std::filesystem::is_directory("stands/LFPG.xml"));
  gf_removeFilesInFolder("nowhere");
}

TEST(FileHelpersTest, AFolderThatCannotBeWrittenSaysWhy) {
  TempWorkingFolder folder;
  const std::filesystem::path probe = folder.path() / g_writeCheckFileName;
  EXPECT_EQ(gf_folderWriteError(folder.path()), "");
  EXPECT_FALSE(std::filesystem::exists(probe));
  EXPECT_NE(gf_folderWriteError(folder.path() / "missing"), "");
#ifndef _WIN32
  // A full disk: the file is made but its bytes are refused.
  std::filesystem::create_symlink("/dev/full", probe);
  EXPECT_EQ(gf_folderWriteError(folder.path()), "No space left on device");
  EXPECT_FALSE(std::filesystem::is_symlink(probe));
#endif
  std::filesystem::create_directory("locked");
  UnwritableFolder locked(folder.path() / "locked");
  if (!locked.made()) GTEST_SKIP() << "no folder here can be made unwritable";
  EXPECT_NE(gf_folderWriteError(folder.path() / "locked"), "");
}

TEST(FileHelpersTest, SaveXmlWritesAWholeFileAndAttributesReadSafely) {
  TempWorkingFolder folder;
  pugi::xml_document doc;
  auto root = doc.append_child("root");
  root.append_attribute("name").set_value("EHAM");
  ASSERT_TRUE(gf_saveXml(doc, "out.xml"));
  pugi::xml_document back;
  ASSERT_TRUE(back.load_file("out.xml"));
  EXPECT_EQ(gf_getAttribute(back.child("root"), "name"), "EHAM");
  EXPECT_EQ(gf_getAttribute(back.child("root"), "missing"), "");
  EXPECT_EQ(gf_getAttribute(back.child("nothing"), "name"), "");
  EXPECT_FALSE(gf_saveXml(doc, "no_such_folder/out.xml"));
  // Nothing but the saved file is left behind.
  EXPECT_EQ(gf_countFiles("."), 1u);
}

}  // namespace
