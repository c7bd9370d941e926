// The demo's world as the program's own start-up code reads it: the database from the download
// folder, the livery scan over the AI packages (every aircraft of the recording gets a livery),
// the airports scan over the add-on airport (KLAX's stand file with its 40 stands and the
// helipad in my_thirdparty) and the airport list.
#include "fixtures/demo_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <pugixml.hpp>
#include <set>

#include "airports/airports.h"
#include "airports/scan.h"
#include "fixtures/klax_facts.h"
#include "fixtures/klax_recording.h"
#include "foundation/file_names.h"
#include "foundation/http_server_helpers.h"
#include "foundation/parameters.h"
#include "foundation/scan_throttle.h"
#include "liveries/aircraft_database.h"
#include "liveries/database_queries.h"
#include "liveries/liveries_scan.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery_matching.h"

namespace {

using namespace fixtures;
namespace fs = std::filesystem;

class DemoWorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_ = writeDemoWorld({env_.path() / "world", env_.path(), 40123, 40124});
    env_.useWorld(world_.appData, world_.driveC, world_.driveD, world_.simInstallPath);
    ASSERT_TRUE(server_.running()) << "the local HTTP server could not be started";
    ::setenv("ZENDRIK_DOWNLOAD_URL", server_.url().c_str(), 1);
    ASSERT_TRUE(gf_readDbase());
  }

  liveries_test::LiveriesEnv env_;
  DemoWorld world_;
  LocalHttpServer server_{env_.path() / "world" / "download"};
};

TEST_F(DemoWorldTest, EveryAircraftOfTheRecordingFindsALivery) {
  gf_liveriesScan();
  for (const RecordedAircraft& r : klaxTraffic()) {
    const TrackAircraft& a = r.track;
    const std::string airline = a.operatorCode.empty() ? "PVT" : a.operatorCode;
    LiveryTarget target =
        liveries_test::aircraft(airline, a.type, a.registration, airline == "FDX", a.callsign);
    gf_matchLivery(target);
    EXPECT_FALSE(target.livery.empty()) << a.callsign;
    if (a.registration == "VH-OQA" || a.registration == "N738SP") {
      EXPECT_NE(target.livery.find(a.registration), std::string_view::npos) << target.livery;
    }
  }
  // An airline without its own livery of a common type flies the generic one.
  for (const std::string& type : demoGenericTypes()) {
    LiveryTarget target = liveries_test::aircraft("BAW", type);
    gf_matchLivery(target);
    EXPECT_EQ(target.livery, "AI " + type + " Generic");
  }
}

TEST_F(DemoWorldTest, TheAirportsScanGeneratesKlaxStandsAndTheListLoads) {
  g_paramAfgAutomatic.setValue(true);
  g_paramScanAirports.setValue(true);
  g_maxThreads = 2;
  for (const fs::path& folder : {g_myORBXDir, g_myThirdpartyDir, g_learnedThirdpartyDir}) {
    fs::create_directories(folder);  // as the start-up does
  }
  gf_scanAirports();
  ASSERT_TRUE(gf_existsApf("KLAX"));
  pugi::xml_document klaxFile;
  ASSERT_TRUE(klaxFile.load_file((g_myThirdpartyDir / "KLAX.xml").c_str()));
  std::set<std::string> ids;
  for (pugi::xml_node stand : klaxFile.child("parkpositions").children("parkpos")) {
    ids.insert(stand.attribute("id").value());
  }
  std::set<std::string> facts;
  for (const StandFacts& s : klaxFacts().stands) facts.insert(s.name);
  std::vector<std::string> missing, extra;
  std::set_difference(facts.begin(), facts.end(), ids.begin(), ids.end(),
                      std::back_inserter(missing));
  std::set_difference(ids.begin(), ids.end(), facts.begin(), facts.end(),
                      std::back_inserter(extra));
  EXPECT_TRUE(missing.empty() && extra.empty()) << ::testing::PrintToString(missing) << " missing, "
                                                << ::testing::PrintToString(extra) << " extra";
  EXPECT_EQ(facts.size(), 41u);                             // 40 stands and the helipad
  EXPECT_TRUE(fs::exists(g_myThirdpartyDir / "KSMO.xml"));  // the BGL's second airport

  g_airports.clear();
  g_airportsLoaded = false;
  ASSERT_TRUE(gf_readAirports());
  const std::optional<AirportEntry> klax = gf_findAirport("KLAX");
  ASSERT_TRUE(klax);
  EXPECT_EQ(gf_airportText(*klax), "KLAX (LAX)");
  EXPECT_EQ(gf_closestAirport({klaxStand("B8").position.lat, klaxStand("B8").position.lon})->code,
            "KLAX");
  for (const AirportEntry& a : g_airports) {
    EXPECT_LE(gf_distanceNm({klax->lat, klax->lon}, {a.lat, a.lon}), 40.0) << a.code;
  }
  g_airports.clear();
  g_airportsLoaded = false;
}

}  // namespace
