// The airport list: loading (once, all or nothing), lookups, display texts and the closest
// airport around the world from real airport coordinates.
#include <cstdlib>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "airports/airports.h"
#include "airports/airports_test_helpers.h"
#include "fixtures/airport_list_builder.h"
#include "fixtures/stand_file_builder.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"

using airports_test::WorkingFolder;
using fixtures::AirportRow;

namespace {

class AirportListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Stand-file probes of the neighbour check get a refused connection at once.
    ::setenv("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:9/", 1);
    g_airports.clear();
    g_airports.shrink_to_fit();
    g_airportsLoaded = false;
  }
  void TearDown() override {
    g_airports.clear();
    g_airportsLoaded = false;
    ::unsetenv("ZENDRIK_DOWNLOAD_URL");
  }

  std::filesystem::path listFile() const { return g_inputDir / g_airportsP3dFile; }
  WorkingFolder m_folder;
};

std::string codeOf(const std::optional<AirportEntry>& entry) { return entry ? entry->code : "none"; }

}  // namespace

TEST_F(AirportListTest, LoadsSortsAndFinds) {
  fixtures::writeAirportList(listFile(), {{"KJFK", "JFK", 40.64, -73.78, 13},
                                          {"EDDF", "FRA", 50.03, 8.57, 364},
                                          {"", "", 1.0, 1.0, 0},
                                          {"EDXX", "", 51.0, 9.0, 100}});
  EXPECT_TRUE(gf_readAirports());
  ASSERT_EQ(g_airports.size(), 4u);
  EXPECT_EQ(g_airports[0].code, "");
  EXPECT_EQ(g_airports[1].code, "EDDF");
  EXPECT_EQ(g_airports.capacity(), 4u);
  const auto eddf = gf_findAirport("EDDF");
  ASSERT_TRUE(eddf);
  EXPECT_EQ(gf_airportText(*eddf), "EDDF (FRA)");
  EXPECT_EQ(gf_airportText(*gf_findAirport("EDXX")), "EDXX");
  EXPECT_EQ(gf_airportText(*gf_findAirport("")), "?");
  EXPECT_EQ(gf_airportText({"", "ABC", 0, 0, 0}), "? (ABC)");
  EXPECT_FALSE(gf_findAirport("eddf"));
  EXPECT_DOUBLE_EQ(eddf->alt, 364.0);
  EXPECT_TRUE(m_folder.logHas("4 airports read from \"input/airports_p3d.xml\""));

  fixtures::writeAirportList(listFile(), {});
  EXPECT_TRUE(gf_readAirports());  // loaded once per process
  EXPECT_EQ(g_airports.size(), 4u);
}

TEST_F(AirportListTest, AFailedLoadLeavesNothingBehind) {
  const auto expectCode = [](int code, const std::string& text) {
    try {
      gf_readAirports();
      ADD_FAILURE() << "no exception";
    } catch (const qvb::UserErrorException& e) {
      EXPECT_EQ(std::string(e.what()), std::to_string(code) + ": " + text);
    }
  };
  expectCode(88, "input/airports_p3d.xml not loaded File was not found");

  std::filesystem::create_directories(g_inputDir);
  {
    std::ofstream(listFile()) << "<list><airport code=\"EDDF\" lat=\"1\" lon=\"1\" alt=\"1\"/></list>";
  }
  expectCode(88, "input/airports_p3d.xml not found");
  {
    std::ofstream(listFile()) << "<airports><airport code=\"EDDF\" lat=\"1\" lon=\"1\" alt=\"1\"/>"
                                 "<airport code=\"EDDM\" lat=\"1\" lon=\"1\"/></airports>";
  }
  expectCode(88, "invalid stod argument");
  EXPECT_TRUE(g_airports.empty());  // the entry read before the failure is not kept
  {
    std::ofstream(listFile()) << "<airports><airport code=\"EDDF\" lat=\"1e999\" lon=\"1\" alt=\"1\"/></airports>";
  }
  expectCode(88, "stod argument out of range");
  EXPECT_FALSE(g_airportsLoaded);

  {
    std::ofstream(listFile()) << "<airports><airport code=\"EDDF\" lat=\" 50.5xyz\" lon=\"8\" alt=\"364\"/>"
                                 "<other/></airports>";
  }
  EXPECT_TRUE(gf_readAirports());
  ASSERT_EQ(g_airports.size(), 1u);  // not doubled by the failed attempts
  EXPECT_DOUBLE_EQ(g_airports[0].lat, 50.5);
}

TEST_F(AirportListTest, ClosestAirportAroundTheWorld) {
  const auto dir = airports_test::realworldDir();
  if (dir.empty()) {
    GTEST_SKIP() << "real-world sample folder not found: " << ZENDRIK_REALWORLD_DIR;
  }
  auto rows = fixtures::airportRowsFromOpenFlights(dir / "misc/openflights/airports.dat");
  ASSERT_GT(rows.size(), 5000u);
  fixtures::writeAirportList(listFile(), rows);
  ASSERT_TRUE(gf_readAirports());
  EXPECT_EQ(g_airports.size(), rows.size());

  const auto at = [](const char* code) {
    const auto entry = gf_findAirport(code);
    EXPECT_TRUE(entry) << code;
    return entry ? LatLon{entry->lat, entry->lon} : LatLon{};
  };
  // Right on an airport, and a few NM away, on every continent and across the antimeridian.
  for (const char* code : {"EDDF", "KJFK", "YSSY", "SCEL", "FAOR", "RJTT", "NZAA", "PANC", "NFFN"}) {
    EXPECT_EQ(codeOf(gf_closestAirport(at(code))), code);
  }
  const LatLon fiji = at("NFFN");
  EXPECT_EQ(codeOf(gf_closestAirport({fiji.lat + 0.05, fiji.lon})), "NFFN");
  // Moala lies at 179.951 E: a point at 179.98 W is 3.9 NM from it across the antimeridian.
  const LatLon moala = at("NFMO");
  EXPECT_EQ(codeOf(gf_closestAirport({moala.lat, -179.98})), "NFMO");
  EXPECT_EQ(codeOf(gf_closestAirport({moala.lat, -179.80})), "none");
  // At the South Pole every longitude is the same place.
  EXPECT_EQ(codeOf(gf_closestAirport({-89.95, 120.0})), "NZSP");
  EXPECT_EQ(codeOf(gf_closestAirport({-40.0, -140.0})), "none");  // South Pacific
}

TEST_F(AirportListTest, NeighbourWithTheNearerStandWins) {
  // A is 1 NM north, B 2 NM south: in code order A, B the best is A and nothing is consulted.
  fixtures::writeAirportList(listFile(), {{"AAAA", "", 50.0 + 1.0 / 60, 8.0, 0},
                                          {"BBBB", "", 50.0 - 2.0 / 60, 8.0, 0}});
  ASSERT_TRUE(gf_readAirports());
  EXPECT_EQ(codeOf(gf_closestAirport({50.0, 8.0})), "AAAA");
  EXPECT_FALSE(m_folder.logHas("is closest"));

  // Code order B (far) before A (near): B becomes the neighbour; with a stand of B's right at the
  // position, B wins.
  g_airports.clear();
  g_airportsLoaded = false;
  fixtures::writeAirportList(listFile(), {{"AAAA", "", 50.0 - 2.0 / 60, 8.0, 0},
                                          {"BBBB", "", 50.0 - 1.0 / 60, 8.0, 0}});
  ASSERT_TRUE(gf_readAirports());
  EXPECT_EQ(codeOf(gf_closestAirport({50.0, 8.0})), "BBBB");  // no stand files: the best
  fixtures::StandFileLayout layout;
  layout.parameters = {{"altitude", "0"}};
  layout.stands = {{"S1", 50.0 + 0.01 / 60, 8.0}};
  fixtures::writeStandFile("airports/my_thirdparty/AAAA.xml", layout);
  EXPECT_EQ(codeOf(gf_closestAirport({50.0, 8.0})), "AAAA");
  EXPECT_TRUE(m_folder.logHas("Airport BBBB is closest, neighbour is AAAA"));
  EXPECT_TRUE(m_folder.logHas(
      "Airport BBBB is closest, but stand S1 at neighbouring airport AAAA is closest at 19 meters ..."));
}
