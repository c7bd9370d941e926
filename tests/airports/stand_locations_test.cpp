// Where stand files are found (local folders, link files, the download server), the learned-file
// rule, the nearest stand at a destination and the off-line learning test, against a real local
// HTTP server.
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "airports/airports.h"
#include "airports/airports_test_helpers.h"
#include "airports/stand_file_internal.h"
#include "fixtures/stand_file_builder.h"
#include "foundation/meta_block.h"

using airports_test::HttpServer;
using airports_test::TempDir;
using airports_test::WorkingFolder;
using fixtures::StandFileLayout;

namespace {

void writeText(const std::filesystem::path& file, const std::string& text) {
  if (file.has_parent_path()) {
    std::filesystem::create_directories(file.parent_path());
  }
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

StandFileLayout archiveLayout(const std::string& name, std::vector<std::pair<std::string, std::string>> extra = {}) {
  StandFileLayout layout;
  layout.parameters = {{"airport_name", name}, {"publisher", "stock"}, {"altitude", "364"}};
  layout.parameters.insert(layout.parameters.end(), extra.begin(), extra.end());
  layout.stands = {{"V1", 50.0300, 8.5600}, {"V2", 50.0400, 8.5600}};
  return layout;
}

// A working folder and a server whose archive holds EDDF (and whatever a test adds).
class StandLocationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_server.running()) {
      GTEST_SKIP() << "the local HTTP server could not be started";
    }
    g_simulatorName = "P3D";
    fixtures::writeStandFile(m_root.path() / "P3D/archive/stock/EDDF.xml", archiveLayout("Frankfurt"));
    writeText(m_root.path() / "dbase.zip", "not needed here");
  }
  std::filesystem::path archive(const std::string& file) const { return m_root.path() / "P3D/archive" / file; }

  WorkingFolder m_folder;
  TempDir m_root;
  HttpServer m_server{m_root.path()};
};

}  // namespace

TEST_F(StandLocationsTest, SearchOrderOfTheLocalFolders) {
  EXPECT_EQ(gf_apfPath("EDDF"), "archive/stock/EDDF.xml");
  EXPECT_FALSE(std::filesystem::exists("EDDF.xml"));  // the probe leaves nothing behind
  EXPECT_EQ(gf_apfPath("ZZZZ"), "");
  EXPECT_FALSE(gf_existsApf("ZZZZ"));
  EXPECT_FALSE(std::filesystem::exists("ZZZZ.xml"));
  EXPECT_TRUE(gf_existsApf("EDDF"));

  fixtures::writeStandFile("airports/my_ORBX/EGLL.xml", archiveLayout("Heathrow"));
  EXPECT_EQ(gf_apfPath("EGLL"), "airports\\my_ORBX\\EGLL.xml");
  writeText("airports/my_ORBX/EGLL.txt", "archive/simaddon/EGLL.xml\r\n");
  EXPECT_EQ(gf_apfPath("EGLL"), "archive/simaddon/EGLL.xml");  // the link wins in its folder
  fixtures::writeStandFile("airports/my_thirdparty/EGLL.xml", archiveLayout("Heathrow"));
  EXPECT_EQ(gf_apfPath("EGLL"), "airports\\my_thirdparty\\EGLL.xml");
  writeText("airports/my_thirdparty/EGLL.txt", "archive/thirdparty/Fly%20Tampa/EGLL.xml  \nsecond\n");
  EXPECT_EQ(gf_apfPath("EGLL"), "archive/thirdparty/Fly%20Tampa/EGLL.xml");

  // A link that names nothing ends the search with nothing; an empty one is passed over.
  writeText("airports/my_thirdparty/EDDM.txt", "archive/stock/EDDM.XML\n");
  EXPECT_EQ(gf_apfPath("EDDM"), "");
  EXPECT_TRUE(gf_existsApf("EDDM"));
  writeText("airports/my_thirdparty/EDDM.txt", "");
  fixtures::writeStandFile("airports/my_ORBX/EDDM.xml", archiveLayout("Munich"));
  EXPECT_EQ(gf_apfPath("EDDM"), "airports\\my_ORBX\\EDDM.xml");
}

TEST(StandLocationsRuleTest, LearnedPathTexts) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"archive/stock/EDDF.xml", "stock", "airports\\learned\\stock\\EDDF.xml"},
      {"archive/thirdparty/Fly%20Tampa/EDDF.xml", "Fly Tampa", "airports\\learned\\thirdparty\\Fly Tampa\\EDDF.xml"},
      {"archive/simaddon/EGLL.xml", "simaddon", "airports\\learned\\simaddon\\EGLL.xml"},
      {"airports\\my_thirdparty\\EDDF.xml", "Aerosoft", "airports\\learned\\thirdparty\\Aerosoft\\EDDF.xml"},
      {"airports\\my_thirdparty2024\\X.xml", "Pub", "airports\\learned\\thirdparty\\Pub\\X.xml"},
      {"airports\\my_ORBX\\EGLL.xml", "simaddon", "airports\\learned\\my_ORBX\\EGLL.xml"},
      // Always under the learned folder: a link's server path without "archive", a drive, "..".
      {"D:\\elsewhere\\EDDF.xml", "x", "airports\\learned\\elsewhere\\EDDF.xml"},
      {"thirdparty/Pub/EDDF.xml", "Pub", "airports\\learned\\thirdparty\\Pub\\EDDF.xml"},
      {"archive/../../EDDF.xml", "stock", "airports\\learned\\EDDF.xml"},
      {"", "x", ""},
  };
  for (const auto& [path, publisher, learned] : cases) {
    EXPECT_EQ(lf_apfPathText(path, publisher), learned) << path;
  }
  EXPECT_EQ(gf_learnedApfPath("archive/thirdparty/Fly%20Tampa/EDDF.xml", "Fly Tampa"),
            std::filesystem::path("airports/learned/thirdparty/Fly Tampa/EDDF.xml"));
}

TEST_F(StandLocationsTest, ParkAirportFileFromTheServerWithItsLearnedFile) {
  fixtures::writeStandFile(archive("stock/EDDF.xml"),
                           archiveLayout("Frankfurt", {{"RT_traffic_week", "40"}, {"Qf_real", "70"}}));
  StandFileLayout learned;
  learned.parameters = {{"airport_name", "Frankfurt"}};
  fixtures::StandRow v1("V1", 0, 0);
  v1.options = {"<opt reg=\"D-AIAB\" airl=\"DLH\" type=\"A320\" day=\"1\" hh=\"10\" />"};
  learned.stands = {v1};
  fixtures::writeStandFile("airports/learned/stock/EDDF.xml", learned);

  g_parkStands.clear();
  g_parkAirportIcao = "EDDF";
  std::string result;
  gf_readApf(result, gf_apfPath("EDDF"), g_parkApfHeader, g_parkAirportQf, g_parkStands);
  EXPECT_EQ(result, "");
  EXPECT_TRUE(std::filesystem::exists("airports/park_airport.xml"));
  EXPECT_EQ(g_parkRtTrafficWeek, 40);
  ASSERT_EQ(g_parkStands.size(), 2u);
  EXPECT_EQ(g_parkStands[0].options.size(), 1u);
  EXPECT_NE(g_parkAirportQf.first, 70);  // recomputed from the merged stands
  EXPECT_TRUE(m_folder.logHas("Read from learned airport file"));

  gf_readApf(result, "archive/stock/NONE.xml", g_parkApfHeader, g_parkAirportQf, g_parkStands);
  EXPECT_EQ(result, "failed to download: \"" + m_server.url() + "P3D/archive/stock/NONE.xml\"");
}

TEST_F(StandLocationsTest, NearestStandAtADestination) {
  std::string id = "unchanged";
  EXPECT_EQ(gf_readDestApfForClosestStand("ZZZZ", {50.0, 8.0}, id), 100.0);
  EXPECT_EQ(id, "unchanged");

  // Downloaded from the archive into airport.xml, which stays.
  const double d = gf_readDestApfForClosestStand("EDDF", {50.0401, 8.5600}, id);
  EXPECT_EQ(id, "V2");
  EXPECT_NEAR(d, 0.006, 0.001);
  EXPECT_TRUE(std::filesystem::exists("airport.xml"));

  // A local file is measured in place; a stand without a position counts as 0,0.
  StandFileLayout local = archiveLayout("Local");
  local.stands = {{"L1", 1.0, 1.0}, {"L2", 1.0, 1.0}};
  fixtures::writeStandFile("airports/my_thirdparty/EDDL.xml", local);
  EXPECT_NEAR(gf_readDestApfForClosestStand("EDDL", {1.0, 1.0}, id), 0.0, 1e-9);
  EXPECT_EQ(id, "L1");  // first of two equal ones
  writeText("airports/my_thirdparty/EDDK.xml",
            "<parkpositions><parkpos id=\"P\"/></parkpositions>");
  EXPECT_NEAR(gf_readDestApfForClosestStand("EDDK", {0.0, 0.01}, id), 0.6, 0.001);
  EXPECT_EQ(id, "P");
  writeText("airports/my_thirdparty/EDDH.xml", "<parkpositions/>");
  id = "kept";
  EXPECT_EQ(gf_readDestApfForClosestStand("EDDH", {0.0, 0.0}, id), 100.0);
  EXPECT_EQ(id, "kept");
}

TEST_F(StandLocationsTest, SuitabilityForOfflineLearning) {
  struct Case {
    const char* icao;
    std::vector<std::pair<std::string, std::string>> parameters;
    bool suitable;
  };
  const Case cases[] = {
      {"AAAA", {{"Qf_real", "0"}, {"RT_traffic_week", "23"}}, true},
      {"AAAB", {{"Qf_soft", "5"}, {"RT_traffic_week", "90"}}, true},
      {"AAAC", {{"Qf_real", "0"}, {"RT_traffic_week", "22"}}, false},
      {"AAAD", {{"Qf_real", "0"}}, false},
      {"AAAE", {{"RT_traffic_week", "50"}}, false},
  };
  for (const Case& c : cases) {
    fixtures::writeStandFile(archive(std::string("stock/") + c.icao + ".xml"), archiveLayout("X", c.parameters));
    EXPECT_EQ(lf_suitableForOfflineLearning(c.icao), c.suitable) << c.icao;
    EXPECT_FALSE(std::filesystem::exists(std::string(c.icao) + ".xml"));
  }
  EXPECT_FALSE(m_folder.logHas("Not suitable"));
  EXPECT_FALSE(lf_suitableForOfflineLearning("NONE"));
  EXPECT_TRUE(m_folder.logHas("===> Failed to download NONE.xml"));
  EXPECT_TRUE(m_folder.logHas("===> NONE Not suitable for offline learning"));
  writeText(archive("stock/BADX.xml"), "<parameters><unclosed");
  EXPECT_FALSE(lf_suitableForOfflineLearning("BADX"));
  EXPECT_TRUE(m_folder.logHas("===> Failed to load BADX.xml"));
  EXPECT_FALSE(std::filesystem::exists("BADX.xml"));
}
