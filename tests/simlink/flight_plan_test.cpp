// Flight-plan files and their folder.
#include <gtest/gtest.h>

#include <fstream>
#include <fmt/format.h>
#include <pugixml.hpp>
#include <sstream>

#include "foundation/settings_file.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;
namespace fs = std::filesystem;

namespace {

class FlightPlan : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    g_appDataFolder = env.root() / "Zendrik_P3D";  // not there yet
  }
  void TearDown() override {
    g_appDataFolder = saved;
    LinkTest::TearDown();
  }
  fs::path saved = g_appDataFolder;
};

TEST_F(FlightPlan, EightLinesEscapedAndReadBack) {
  ASSERT_TRUE(gf_createFlightPlanFolder());
  ASSERT_TRUE(gf_createFlightPlanFolder());  // already there
  const fs::path path = g_flightPlanFolder / gf_flightPlanPath(1234);
  EXPECT_EQ(path, env.root() / "Zendrik_P3D" / "orig_dest" / "1234.pln");
  const char* const type[] = {"VFR", "IFR", "IFR", "IFR", "VFR", "VFR"};  // by size category
  for (std::uint32_t category = 0; category < 6; ++category) {
    ASSERT_TRUE(gf_writeFlightPlan(path, "EGLL", "KJFK", category));
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), fmt::format("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                                      "<FlightPlan.FlightPlan>\n<FPType>{}</FPType>\n"
                                      "<DepartureID>EGLL</DepartureID>\n"
                                      "<DestinationID>KJFK</DestinationID>\n"
                                      "</FlightPlan.FlightPlan>\n</SimBase.Document>\n",
                                      type[category]));
  }
  // Codes of the traffic feed may hold anything: they come back as they were.
  const std::string origin = "A<B&\"C'>", destination = "</DestinationID><x>";
  ASSERT_TRUE(gf_writeFlightPlan(path, origin, destination, 2));
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(path.c_str()));
  const auto plan = doc.child("SimBase.Document").child("FlightPlan.FlightPlan");
  EXPECT_EQ(plan.child_value("DepartureID"), origin);
  EXPECT_EQ(plan.child_value("DestinationID"), destination);
  EXPECT_EQ(std::distance(plan.begin(), plan.end()), 3);
  EXPECT_FALSE(gf_writeFlightPlan(g_flightPlanFolder / "missing" / "1.pln", "A", "B", 2));

  gf_removeFlightPlanFolder();
  EXPECT_FALSE(fs::exists(g_flightPlanFolder));
  gf_removeFlightPlanFolder();  // gone already: nothing, not even a line
  EXPECT_TRUE(logLines("gf_removeFlightPlanFolder").empty());
  g_appDataFolder = env.root() / "no parent" / "Zendrik_P3D";
  EXPECT_THROW(gf_createFlightPlanFolder(), fs::filesystem_error);
}

}  // namespace
