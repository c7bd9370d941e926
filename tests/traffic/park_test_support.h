// The park-airport tests' set-up on top of the engine tests': a small airport list around
// kField (EHAM), the park airports emptied, downloads sent to a closed loopback port unless a
// test serves stock stand files, and helpers for stand files, options and aircraft.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fixtures/stand_file_builder.h"
#include "foundation/http_server_helpers.h"
#include "traffic/parking/parking.h"
#include "traffic_test_support.h"

namespace traffictest {

class ParkTest : public TrafficTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Serves "server" of the working folder: stock files at server/P3D/archive/stock/<ICAO>.xml.
  void serveStockFiles();
  std::unique_ptr<LocalHttpServer> server;
};

void gf_userAt(const LatLon& position, bool onGround, double aglFt = 0.0);
// A stand-file row of a stand placed like gf_standAt, radius 20 m.
fixtures::StandRow gf_standRow(const std::string& name, double bearingDeg, double metres);
// A stand file of airport "Schiphol", altitude -11 ft.
void gf_writeParkFile(const std::filesystem::path& file, const std::string& publisher,
                      const std::vector<fixtures::StandRow>& stands,
                      std::vector<std::pair<std::string, std::string>> parameters = {});
// An option in use (id 1) of one slot.
ParkPosOption gf_option(const std::string& airline, const std::string& type, const std::string& cs,
                        std::uint32_t day, int slot, std::uint32_t real = 1, const std::string& cs2 = "");
// An active static aircraft on the stand (numbered 1, 2, ...), parked at the slot.
StaticAircraft& gf_addStatic(const std::string& type, const std::string& callsign, std::uint32_t standId,
                             DayHh parked, std::uint32_t objectId, const std::string& airline = "KLM");
// An active live aircraft parked on the stand just now.
void gf_addParkedLive(const std::string& callsign, std::uint32_t standId, std::uint32_t objectId);

}  // namespace traffictest
