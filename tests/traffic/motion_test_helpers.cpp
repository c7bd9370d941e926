// The motion tests' shared set-up.
#include <mutex>

#include "airports/airports.h"
#include "foundation/parameters.h"
#include "intake/intake.h"
#include "motion_test_support.h"

namespace motiontest {

void MotionTest::SetUp() {
  TrafficTest::SetUp();
  g_tickCount = static_cast<std::uint32_t>(kNow);
  g_newLiveIds.clear();
  g_fastRangeRequest = false;
  g_qnh = 1013;
  g_paramRandom.setValue(false);
  g_reservedStand.clear();  // earlier tests in the process may have left these
  g_parkStandsReady = false;
  {
    std::lock_guard lock(g_simMutex);
    g_userAc = {};
  }
  g_userAcSnapshot = {};
  g_userAcSnapshot.latitude = traffictest::kField.lat;
  g_userAcSnapshot.longitude = traffictest::kField.lon;
}

LatLon gf_at(double eastM, double northM) {
  const LatLon across = gf_destination(traffictest::kField, kPi / 2.0, eastM / 0.3048);
  return gf_destination(across, 0.0, northM / 0.3048);
}

PositionReport gf_rep(double eastM, double northM, double gsKt, std::int64_t dueIn, double altFt,
                      double vsFpm) {
  const LatLon at = gf_at(eastM, northM);
  PositionReport r = lf_groundReport(at, gsKt, static_cast<std::int32_t>(kNow + dueIn));
  r.altitude = altFt;
  r.airborne = altFt > 0.0;
  r.verticalSpeed = vsFpm;
  r.trueAirspeed = gsKt;
  return r;
}

AiAircraft& gf_ac(const std::string& type, std::vector<PositionReport> reports, double headingDeg) {
  AircraftHead head = traffictest::gf_head(type, "TST1", "PH-TST", 10001);
  gf_initLiveMotion(head);
  AiAircraft& a = g_liveAc.emplace_back(reports.front(), std::move(head), 0.0);
  a.stream.assign(reports.begin(), reports.end());
  a.lat = reports.front().lat;
  a.lon = reports.front().lon;
  a.altitude = reports.front().altitude;
  a.heading = headingDeg * kDegToRad;
  a.onGround = !reports.front().airborne;
  a.fs = a.onGround ? kFsTaxi : kFsFlying;
  a.previousFs = a.onGround ? kFsFlying : kFsBirth;
  a.heightAboveGround = a.onGround ? 0.0 : reports.front().altitude;
  a.st = kStActive;
  a.objectId = 100;
  a.staticCgHeight = 8.0;
  return a;
}

std::vector<ClientEventRequest> gf_events() {
  std::lock_guard lock(g_simMutex);
  return std::exchange(g_eventQueue, {});
}

long gf_eventData(const std::vector<ClientEventRequest>& events, std::uint32_t eventId) {
  for (const ClientEventRequest& e : events) {
    if (e.eventId == eventId) return static_cast<long>(e.data);
  }
  return -1;
}

}  // namespace motiontest
