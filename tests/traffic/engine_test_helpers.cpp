// The engine tests' set-up.
#include <mutex>

#include "engine_test_support.h"
#include "fixtures/livery_tables.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "liveries/aircraft_database.h"

namespace enginetest {

namespace {

constexpr double kQuietFrameHz = 50.0;

nlohmann::json lf_quietScenario() {
  return {{"simulator", "v5"},
          {"user",
           {{"object_id", 1},
            {"path",
             {{{"t", 0}, {"lat", traffictest::kField.lat}, {"lon", traffictest::kField.lon},
               {"alt_ft", 0}, {"heading_deg", 0}, {"gs_kt", 0}, {"on_ground", true}}}}}}};
}

}  // namespace

void EngineTest::SetUp() {
  TrafficTest::SetUp();
  gf_resetSimLinkRun();
  gf_resetTraffic();
  gf_reserveTrafficBuffers();  // as a run does: records keep their place while others are added
  g_tickCount = static_cast<std::uint32_t>(kNow);
  g_dayHhNow = DayHh{1, 20};
  g_paramRandom.setValue(false);
  g_userAcSnapshot = {};
  g_userAcSnapshot.latitude = traffictest::kField.lat;
  g_userAcSnapshot.longitude = traffictest::kField.lon;
  {
    std::lock_guard lock(g_simMutex);
    g_userAc = g_userAcSnapshot;
  }
  g_dbaseTypes = {"A320", "B738", "B744", "C172", "C56X", "EC35", "F16"};
  fixtures::gf_useLiveries({{"KLM", "A320", "Test A320 KLM", "", 0, false},
                            {"KLM", "B738", "Test B738 KLM", "", 0, false},
                            {"ZZZ", "A320", "Test A320", "", 0, false},
                            {"ZZZ", "B744", "Test B744", "", 0, false},
                            {"ZZZ", "C172", "Test C172", "", 0, false}});
  env = std::make_unique<simtest::SimConnectEnvironment>();
  standin = simtest::gf_startStandin(lf_quietScenario(), "", kQuietFrameHz);
  env->writeCfg(env->currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  g_hSimConnect = simtest::gf_openClient();
}

void EngineTest::TearDown() {
  if (HANDLE h = g_hSimConnect.exchange(nullptr); h != nullptr) SimConnect_Close(h);
  standin->stop();
  env.reset();
  gf_resetTraffic();
  TrafficTest::TearDown();
}

std::size_t EngineTest::requests(p3d::RequestKind kind) {
  std::size_t count = standin->requestCount(kind);
  for (int quiet = 0; quiet < 3;) {  // settled after three unchanged looks
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::size_t now = standin->requestCount(kind);
    quiet = now == count ? quiet + 1 : 0;
    count = now;
  }
  return count;
}

std::vector<ClientEventRequest> EngineTest::events() {
  std::lock_guard lock(g_simMutex);
  return std::exchange(g_eventQueue, {});
}

LatLon gf_at(double eastM, double northM) {
  const LatLon across = gf_destination(traffictest::kField, kPi / 2.0, eastM / 0.3048);
  return gf_destination(across, 0.0, northM / 0.3048);
}

AiAircraft& gf_live(const std::string& type, const std::string& callsign, const LatLon& at,
                    std::uint32_t st, std::uint32_t fs, double altFt) {
  const auto n = static_cast<std::uint32_t>(g_liveAc.size() + 1);
  AircraftHead head = traffictest::gf_head(type, callsign, "PH-" + callsign, 10000 + n);
  gf_initLiveMotion(head);
  PositionReport first = lf_groundReport(at, 0.0, static_cast<std::int32_t>(kNow));
  first.altitude = altFt;
  first.airborne = altFt > 0.0;
  AiAircraft& a = g_liveAc.emplace_back(first, std::move(head), 1000.0);
  a.lat = at.lat;
  a.lon = at.lon;
  a.altitude = altFt;
  a.onGround = altFt <= 0.0;
  a.st = st;
  a.fs = fs;
  if (st != kStBuffer && st != kStAdding2Sim) a.objectId = 100 + n;
  gf_recordsReordered();
  return a;
}

TrafficReport gf_report(std::uint32_t key, const std::string& callsign, const std::string& type,
                        const LatLon& at, double altFt, double gsKt, double trackDeg, double t) {
  TrafficReport r;
  r.key = key;
  r.callsign = callsign;
  r.type = type;
  r.timeStamp = t;
  r.position = lf_groundReport(at, gsKt, static_cast<std::int32_t>(g_tickCount.load() + kReportDelaySteps));
  r.position.altitude = altFt;
  r.position.airborne = altFt > 0.0;
  r.position.track = trackDeg;
  return r;
}

StaticAircraft& gf_static(const std::string& type, const std::string& callsign, const ParkPos& stand,
                          std::uint32_t st) {
  const auto n = static_cast<std::uint32_t>(g_staticAc.size() + 1);
  StaticAircraft& s = g_staticAc.emplace_back(traffictest::gf_head(type, callsign, "", n), stand.number,
                                              StandPlace{stand.lat, stand.lon, stand.heading}, false);
  s.st = st;
  if (st == kStActive) s.objectId = 500 + n;
  gf_recordsReordered();
  return s;
}

}  // namespace enginetest
