// Flight-plan files and their folder.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <pugixml.hpp>

#include "foundation/aircraft_defs.h"
#include "foundation/settings_file.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;
namespace fs = std::filesystem;

namespace {

class FlightPlan : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    savedAppData = g_appDataFolder;
    g_appDataFolder = env.root() / "AppData" / "Zendrik_P3D";
    fs::create_directories(env.root() / "AppData");
  }
  void TearDown() override {
    g_appDataFolder = savedAppData;
    g_flightPlanFolder.clear();
    LinkTest::TearDown();
  }
  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path savedAppData;
};

TEST_F(FlightPlan, EightLinesWithTheRulesOfTheCategory) {
  ASSERT_TRUE(gf_createFlightPlanFolder());  // creates the missing AppData folder too
  EXPECT_EQ(g_flightPlanFolder, g_appDataFolder / "orig_dest");
  const fs::path path = g_flightPlanFolder / gf_flightPlanPath(1234);
  EXPECT_EQ(path.filename(), "1234.pln");
  const char* const expectedType[] = {"VFR", "IFR", "IFR", "IFR", "VFR", "VFR"};
  for (std::uint32_t category = kCatLight; category <= kCatRotorcraft; ++category) {
    SCOPED_TRACE(category);
    ASSERT_TRUE(gf_writeFlightPlan(path, "EGLL", "KJFK", category));
    EXPECT_EQ(read(path), std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                                      "<FlightPlan.FlightPlan>\n"
                                      "<FPType>") +
                              expectedType[category] +
                              "</FPType>\n"
                              "<DepartureID>EGLL</DepartureID>\n"
                              "<DestinationID>KJFK</DestinationID>\n"
                              "</FlightPlan.FlightPlan>\n"
                              "</SimBase.Document>\n");
  }
}

TEST_F(FlightPlan, TextOfTheFeedIsEscaped) {
  ASSERT_TRUE(gf_createFlightPlanFolder());
  const fs::path path = g_flightPlanFolder / gf_flightPlanPath(7);
  const std::string origin = "A<B&\"C'>";
  const std::string destination = "</DestinationID><x>";
  ASSERT_TRUE(gf_writeFlightPlan(path, origin, destination, kCatLarge));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(path.c_str()));
  const pugi::xml_node plan = doc.child("SimBase.Document").child("FlightPlan.FlightPlan");
  EXPECT_EQ(std::string(plan.child_value("DepartureID")), origin);
  EXPECT_EQ(std::string(plan.child_value("DestinationID")), destination);
  EXPECT_EQ(std::distance(plan.begin(), plan.end()), 3);
}

TEST_F(FlightPlan, FolderLifeAndFailures) {
  gf_removeFlightPlanFolder();  // not created yet: nothing, not even a line
  g_flightPlanFolder = env.root() / "missing";
  gf_removeFlightPlanFolder();
  EXPECT_TRUE(logLines("gf_removeFlightPlanFolder").empty());

  ASSERT_TRUE(gf_createFlightPlanFolder());
  ASSERT_TRUE(gf_createFlightPlanFolder());  // already there
  const fs::path path = g_flightPlanFolder / gf_flightPlanPath(101);
  ASSERT_TRUE(gf_writeFlightPlan(path, "EHAM", "LFPG", kCatHeavy));
  EXPECT_FALSE(gf_writeFlightPlan(g_flightPlanFolder / "no such folder" / "1.pln", "EHAM",
                                  "LFPG", kCatHeavy));
  gf_removeFlightPlanFolder();
  EXPECT_FALSE(fs::exists(g_flightPlanFolder));

  // The AppData folder cannot be made: the start-up step fails with the file-system error.
  g_appDataFolder = env.root() / "no parent" / "Zendrik_P3D";
  EXPECT_THROW(gf_createFlightPlanFolder(), fs::filesystem_error);
}

}  // namespace
