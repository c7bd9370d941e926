// Leaving a stand: pulling out forward, or a pushback tail first that ends straight or in a
// curve to one side. Both replace the coarse reported positions by reports of their own at the
// aircraft's taxi speed. Worker thread.
#include <algorithm>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr double kPushbackStandRadii = 2.5;  // the straight part: 2.5 stand radii back
constexpr std::int32_t kPushbackCounterStart = 2;

}  // namespace

std::int64_t lf_taxiSteps(const AiAircraft& a, double distNm) {
  return lf_plannedSteps(distNm, a.taxiSpeed);
}

void lf_pullOut(AiAircraft& a) {
  a.pushbackPending = false;
  a.predictedReports = 0;
  const double v = a.taxiSpeed;
  const LatLon ahead = gf_destination({a.standPlace.lat, a.standPlace.lon}, a.standPlace.heading,
                                      2.0 * a.halfWingspan * kFeetPerNm);
  a.stream.at(0).groundSpeed = v;
  a.stream.resize(1);
  const std::int64_t steps = lf_taxiSteps(a, gf_distanceNm(lf_pos(a), ahead));
  a.stream.push_back(lf_groundReport(ahead, v, lf_dueTime(lf_stepNow() + steps)));
  lf_setPhase(a, kFsTaxi);
  a.bearing = a.heading;
  // Straight out: a turn flag left from driving onto the stand would swing the nose round.
  a.taxiTurn = false;
  lf_queueLights(a, kLightsLeavingStand);
  lf_sendEvent(a, kEventEngineAutoStart, 0);
  lf_setThrottle(a, 0);
  lf_setFlaps(a, 1);
  if (g_paramLog.value()) {
    gf_log(fmt::format("{:8}: {:8} pulling out", lf_standNameById(a.standId), a.callsign));
  }
}

void lf_pushbackWithTurn(AiAircraft& a) {
  a.predictedReports = 0;
  const double back = lf_wrapHeading(a.standPlace.heading + kPi);
  const auto stand = std::find_if(g_parkStands.begin(), g_parkStands.end(),
                                  [&a](const ParkPos& s) { return s.number == a.standId; });
  if (stand == g_parkStands.end()) {
    return;
  }
  const double v = a.taxiSpeed;
  const LatLon p1 = gf_destination(lf_pos(a), back, kPushbackStandRadii * stand->radius * kFeetPerNm);
  a.stream.at(0).groundSpeed = v;
  a.bearing = a.heading;
  // Tail first in a straight line: a turn flag left from driving onto the stand would swing the
  // nose towards the direction of travel.
  a.taxiTurn = false;
  const std::int64_t s1 = lf_taxiSteps(a, gf_distanceNm(lf_pos(a), p1));
  a.stream.resize(1);
  a.stream.push_back(lf_groundReport(p1, v, lf_dueTime(lf_stepNow() + s1)));
  lf_insertMidpoint(a);
  const double sideFt = a.halfWingspan * kFeetPerNm;
  const LatLon p2 = gf_destination(p1, lf_wrapHeading(back + kPi / 2.0), sideFt);
  const LatLon p3 = gf_destination(p1, lf_wrapHeading(back - kPi / 2.0), sideFt);
  const std::int64_t due =
      lf_stepNow() + s1 / 2 + lf_taxiSteps(a, gf_distanceNm(lf_pos(a.stream[1]), p2));
  a.embeddedReport = lf_groundReport(p2, v, lf_dueTime(due));
  a.stream.push_back(lf_groundReport(p3, v, lf_dueTime(due)));
  lf_queueLights(a, kLightsLeavingStand);
  lf_setPhase(a, kFsPushingBack);
  a.pushbackCounter = kPushbackCounterStart;
}
