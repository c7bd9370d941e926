// The park-airport tests' set-up on top of the engine tests': a small airport list around
// kField (EHAM), the park airports and the current park airport emptied, downloads pointed at a
// closed loopback port unless a test serves files, and helpers for stand files and aircraft.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fixtures/stand_file_builder.h"
#include "foundation/http_server_helpers.h"
#include "traffic/park_airports.h"
#include "traffic_test_support.h"

namespace traffictest {

class ParkTest : public TrafficTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Serves the folder "server" of the working folder; stock stand files go to
  // server/P3D/archive/stock/<ICAO>.xml.
  void serveStockFiles();
  std::unique_ptr<LocalHttpServer> server;
};

// The user aircraft as the engine's copy holds it.
void gf_userAt(const LatLon& position, bool onGround, double aglFt = 0.0);
// A stand-file row of a stand placed like gf_standAt.
fixtures::StandRow gf_standRow(const std::string& name, double bearingDeg, double metres,
                               double radiusM = 20.0);
// A stand file with its airport name, publisher and altitude.
void gf_writeParkFile(const std::filesystem::path& file, const std::string& publisher,
                      const std::vector<fixtures::StandRow>& stands,
                      std::vector<std::pair<std::string, std::string>> parameters = {});
// A learned option of one day's slots.
ParkPosOption gf_option(const std::string& airline, const std::string& type, const std::string& cs,
                        std::uint32_t day, std::vector<int> slots, std::uint32_t real = 1,
                        const std::string& cs2 = "", const std::string& reg = "");
// An active static aircraft parked on the stand at the slot, as the engine creates one.
StaticAircraft& gf_addStatic(const std::string& type, const std::string& callsign, std::uint32_t standId,
                             DayHh parked, std::uint32_t objectId, const std::string& airline = "KLM");
// An active live aircraft parked on the stand.
AiAircraft& gf_addParkedLive(const std::string& callsign, std::uint32_t standId, std::uint32_t key,
                             std::uint32_t objectId);

}  // namespace traffictest
