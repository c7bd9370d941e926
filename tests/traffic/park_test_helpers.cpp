// The park-airport tests' set-up.
#include <cstdlib>

#include "foundation/file_names.h"
#include "foundation/meta_block.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "park_test_support.h"
#include "traffic/records/engine_index.h"

namespace traffictest {

void ParkTest::SetUp() {
  TrafficTest::SetUp();
  ::setenv("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:9/", 1);  // nothing listens there
  gf_resetParkAirports();
  std::filesystem::create_directories(g_myThirdpartyDir);
  std::filesystem::create_directories(g_learnedDir);
  g_airports = {{"EDDF", "FRA", 50.0333, 8.5706, 364}, {"EGLL", "LHR", 51.4706, -0.4619, 83},
                {"EHAM", "AMS", kField.lat, kField.lon, -11}, {"EHLE", "", 52.4603, 5.5272, -13},
                {"LEAB", "ABC", 38.9485, -1.8635, 2302}};
  g_airportsLoaded = g_userOnGroundKnown = true;
  g_dayHhNow = DayHh{1, 20};
  g_parkStandsReady = g_standFileParamsChanged = g_parkStandFileHandmade = false;
  g_simulatorName = "P3D";
  gf_userAt({0.0, 0.0}, true);
}

void ParkTest::TearDown() {
  gf_resetParkAirports();
  g_trafficReader.setCollecting(false);
  g_airports.clear();
  g_airportsLoaded = false;
  server.reset();
  ::unsetenv("ZENDRIK_DOWNLOAD_URL");
  ::unsetenv("ZENDRIK_DOWNLOAD_STALL_TIMEOUT");
  TrafficTest::TearDown();
}

void ParkTest::serveStockFiles() {
  std::filesystem::create_directories("server/P3D/archive/stock");
  server = std::make_unique<LocalHttpServer>(folder.path() / "server");
  ASSERT_TRUE(server->running());
  ::setenv("ZENDRIK_DOWNLOAD_URL", server->url().c_str(), 1);
}

void gf_userAt(const LatLon& position, bool onGround, double aglFt) {
  g_userAcSnapshot.latitude = position.lat;
  g_userAcSnapshot.longitude = position.lon;
  g_userAcSnapshot.altitudeAboveGround = aglFt;
  g_userOnGround = onGround;
}

fixtures::StandRow gf_standRow(const std::string& name, double bearingDeg, double metres) {
  const ParkPos stand = gf_standAt(name, bearingDeg, metres, 20.0);
  return fixtures::StandRow(name, stand.lat, stand.lon);
}

void gf_writeParkFile(const std::filesystem::path& file, const std::string& publisher,
                      const std::vector<fixtures::StandRow>& stands,
                      std::vector<std::pair<std::string, std::string>> parameters) {
  fixtures::StandFileLayout layout;
  layout.parameters = {{"airport_name", "Schiphol"}, {"publisher", publisher}, {"altitude", "-11"}};
  layout.parameters.insert(layout.parameters.end(), parameters.begin(), parameters.end());
  layout.stands = stands;
  fixtures::writeStandFile(file, layout);
}

ParkPosOption gf_option(const std::string& airline, const std::string& type, const std::string& cs,
                        std::uint32_t day, int slot, std::uint32_t real, const std::string& cs2) {
  ParkPosOption option{airline, type, "", cs, cs2, {}, 1, day, 0, real};
  option.hh.set(static_cast<std::size_t>(slot));
  return option;
}

StaticAircraft& gf_addStatic(const std::string& type, const std::string& callsign,
                             std::uint32_t standId, DayHh parked, std::uint32_t objectId,
                             const std::string& airline) {
  const ParkPos& stand = g_parkStands.at(standId - 1);
  AircraftHead head = gf_head(type, callsign, "", standId, airline);
  head.text6 = callsign.substr(0, callsign.find('*'));
  StaticAircraft& s = g_staticAc.emplace_back(std::move(head), standId,
                                               StandPlace{stand.lat, stand.lon, stand.heading}, false);
  s.parkedSlot = parked;
  gf_setObjectId(s, objectId);
  gf_setState(s, kStActive);
  return s;
}

void gf_addParkedLive(const std::string& callsign, std::uint32_t standId, std::uint32_t objectId) {
  const ParkPos& stand = g_parkStands.at(standId - 1);
  PositionReport report;
  report.lat = stand.lat;
  report.lon = stand.lon;
  AiAircraft& a = g_liveAc.emplace_back(report, gf_head("B738", callsign, "", 10000 + objectId), 0.0);
  a.standId = standId;
  a.fs = kFsParked;
  a.parkedTime = gf_nowTicks100ns();
  gf_setObjectId(a, objectId);
  gf_setState(a, kStActive);
}

}  // namespace traffictest
