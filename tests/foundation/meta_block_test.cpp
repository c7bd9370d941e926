// The meta block: written, saved, loaded again and checked with the XML library; refused when an
// entry is missing.
#include "foundation/meta_block.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "foundation/day_slots.h"
#include "foundation/file_helpers.h"
#include "foundation/log.h"
#include "foundation/temp_folder.h"

namespace {

std::int64_t lf_mondayMidnight() { return 1796601600; }  // Mon Dec 07 2026 00:00:00 UTC

class MetaBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousClock_ = g_wallClock.exchange(&lf_mondayMidnight);
    gf_openLog();
  }
  void TearDown() override {
    gf_closeLog();
    g_wallClock.store(previousClock_);
    g_simulatorName = "MSFS";
  }
  std::vector<std::string> logLinesAfterHeader() {
    auto lines = gf_testReadLines("Log.txt");
    lines.erase(lines.begin());
    return lines;
  }
  TempWorkingFolder folder_;
  WallClockFn previousClock_ = nullptr;
};

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries lf_entries(const pugi::xml_document& doc) {
  Entries entries;
  for (auto info : doc.child("meta").children("info")) {
    entries.emplace_back(info.attribute("name").value(), info.attribute("value").value());
  }
  return entries;
}

TEST_F(MetaBlockTest, AStampedFileReadsBackAndPassesTheCheck) {
  g_simulatorName = "P3D";
  pugi::xml_document doc;
  ASSERT_TRUE(gf_writeMeta(doc));
  doc.append_child("parkpositions").append_attribute("icao").set_value("EHAM");
  ASSERT_TRUE(gf_saveXml(doc, "EHAM.xml"));

  pugi::xml_document loaded;
  ASSERT_TRUE(loaded.load_file("EHAM.xml"));
  // "meta" comes first, before the file's own root.
  EXPECT_STREQ(loaded.first_child().name(), "meta");
  EXPECT_STREQ(loaded.first_child().next_sibling().name(), "parkpositions");
  EXPECT_EQ(lf_entries(loaded),
            (Entries{{"author", "Zendrik_P3D"},
                     {"version", "10.10.9"},
                     {"date", "Dec 07, 2026"},
                     {"copyright", g_metaCopyright.defaultValue},
                     {"P3D", "v5/v6"}}));
  for (auto info : loaded.child("meta").children("info")) {
    EXPECT_STREQ(info.first_attribute().name(), "name");
    EXPECT_STREQ(info.first_attribute().next_attribute().name(), "value");
  }
  EXPECT_TRUE(gf_checkMeta(loaded));
  EXPECT_EQ(g_metaDate.value(), "Dec 07, 2026");
  EXPECT_EQ(g_metaAuthor.value(), "Zendrik_P3D");
  EXPECT_TRUE(logLinesAfterHeader().size() == 1u);  // only the "saved" line
}

TEST_F(MetaBlockTest, TheSimulatorEntryFollowsTheSimulatorName) {
  const std::vector<std::pair<std::string, std::pair<std::string, std::string>>> cases{
      {"P3D", {"P3D", "v5/v6"}}, {"MSFS", {"MSFS", "2020"}}, {"", {"MSFS", "2024"}},
      {"FS2024", {"MSFS", "2024"}}};
  for (const auto& [simulator, entry] : cases) {
    g_simulatorName = simulator;
    pugi::xml_document doc;
    ASSERT_TRUE(gf_writeMeta(doc));
    EXPECT_EQ(lf_entries(doc).back(), entry) << simulator;
  }
}

TEST_F(MetaBlockTest, AMissingEntryIsRefusedWithOneLogLineAndEmptyValuesPass) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(
      "<meta><info name=\"author\" value=\"x\"/><info name=\"version\" value=\"1.2.3\"/></meta>"
      "<parkpositions/>"));
  EXPECT_FALSE(gf_checkMeta(doc));
  EXPECT_EQ(g_metaDate.value(), "");
  pugi::xml_document none;
  ASSERT_TRUE(none.load_string("<parkpositions/>"));
  EXPECT_FALSE(gf_checkMeta(none));
  // Only presence counts: empty values pass.
  pugi::xml_document empty;
  ASSERT_TRUE(
      empty.load_string("<meta><info name=\"date\"/><info name=\"version\" value=\"\"/>"
                        "<info name=\"author\" value=\"\"/></meta>"));
  EXPECT_TRUE(gf_checkMeta(empty));
  EXPECT_EQ(logLinesAfterHeader(),
            (std::vector<std::string>{"===> meta data incorrect?", "===> meta data incorrect?"}));
}

TEST_F(MetaBlockTest, ANodeThatCannotTakeTheBlockIsAFailure) {
  EXPECT_FALSE(gf_writeMeta(pugi::xml_node()));
  pugi::xml_document doc;
  auto text = doc.append_child(pugi::node_pcdata);
  EXPECT_FALSE(gf_writeMeta(text));
  // An element takes the block as its last child.
  auto root = doc.append_child("root");
  root.append_child("first");
  EXPECT_TRUE(gf_writeMeta(root));
  EXPECT_STREQ(root.last_child().name(), "meta");
}

}  // namespace
