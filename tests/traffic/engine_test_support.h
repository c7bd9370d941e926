// The live traffic engine's tests: the engine reset as before a run, the user aircraft at the
// field, a small livery catalogue, and a SimConnect connection to a stand-in that nobody
// dispatches, so that the engine's own requests are counted where the simulator gets them.
#pragma once

#include <memory>
#include <string>

#include "p3d-standin/p3d_standin.h"
#include "simlink/simconnect_test_helpers.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion_internal.h"
#include "traffic_test_support.h"

namespace enginetest {

inline constexpr std::int64_t kNow = 100000;  // g_tickCount in the tests

class EngineTest : public traffictest::TrafficTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Requests of the kind the stand-in has received, once they stop arriving.
  std::size_t requests(p3d::RequestKind kind);
  // The client events queued for the simulator link so far (taken).
  static std::vector<ClientEventRequest> events();

  std::unique_ptr<simtest::SimConnectEnvironment> env;
  std::unique_ptr<p3d::P3dStandin> standin;
};

// A point east and north of the field, in metres.
LatLon gf_at(double eastM, double northM);
// A live aircraft of the type in g_liveAc at the point, in state st and phase fs (object id 100
// + its number once created); its one report is on the ground unless altFt > 0.
AiAircraft& gf_live(const std::string& type, const std::string& callsign, const LatLon& at,
                    std::uint32_t st, std::uint32_t fs, double altFt = 0.0);
// A traffic report of the key at the point, due 3000 steps from now.
TrafficReport gf_report(std::uint32_t key, const std::string& callsign, const std::string& type,
                        const LatLon& at, double altFt, double gsKt, double trackDeg, double t);
// A static aircraft on the stand, active with object id 500 + its number.
StaticAircraft& gf_static(const std::string& type, const std::string& callsign, const ParkPos& stand,
                          std::uint32_t st = kStActive);

}  // namespace enginetest
