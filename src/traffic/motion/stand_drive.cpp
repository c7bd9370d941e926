// Parking an arriving aircraft: the search for a free stand near its last report and the drive
// onto it. Worker thread.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr double kOptionSearchNm = 0.029697624190064796;  // 55 m with stand options
constexpr double kPlainSearchNm = 0.010799136069114472;   // 20 m
constexpr std::int64_t kMinDriveSteps = 100;
constexpr std::int32_t kStopAfterSteps = 50;  // the aircraft stands still half a second later

}  // namespace

void try2Park(AiAircraft& a, bool tryOptions) {
  if (a.stream.empty()) {
    gf_logError(fmt::format("{} empty sz?", "try2Park"));
    return;
  }
  const LatLon last = lf_pos(a.stream.back());
  if (last.lat == a.standSearchFrom.lat && last.lon == a.standSearchFrom.lon) {
    return;  // searched from here before
  }
  a.standSearchFrom = last;
  const StandIter stand = gf_closestFreeStand(last, a, tryOptions ? kOptionSearchNm : kPlainSearchNm,
                                              tryOptions);
  if (stand == g_parkStands.end()) {
    return;
  }
  if (!lf_takeStandForParking(a, *stand)) {
    return;  // the reserved stand or the user's
  }
  a.standPlace = {stand->lat, stand->lon, stand->heading};
  a.standId = stand->number;
  a.standFlag = stand->cargo;
  a.stream.resize(1);
  // A curve through the reports just cut would lead away from the stand.
  lf_clearCurve(a);
  lf_setPhase(a, kFsParking);
  drive2Stand(a, a.standPlace);
}

void drive2Stand(AiAircraft& a, const StandPlace& stand) {
  if (a.stream.empty()) {
    gf_logError(fmt::format("{} empty sz?", "drive2Stand"));
    return;
  }
  const LatLon at{stand.lat, stand.lon};
  PositionReport& last = a.stream.back();
  const bool same = last.lat == stand.lat && last.lon == stand.lon;
  const double v = a.taxiSpeed;
  const std::int64_t steps = std::max(lf_taxiSteps(a, gf_distanceNm(lf_pos(last), at)), kMinDriveSteps);
  last.groundSpeed = v;
  const PositionReport& f = a.stream.front();
  PositionReport onStand = lf_groundReport(at, v, lf_dueTime(f.dueTime + steps));
  onStand.roll = a.bank;
  onStand.rollPresent = true;
  onStand.altitude = a.altitude;
  onStand.track = stand.heading * kRadToDeg;
  onStand.samePosition = same;
  onStand.headingPresent = f.headingPresent;
  PositionReport stop = onStand;
  stop.groundSpeed = 0.0;
  stop.trueAirspeed = 0.0;
  stop.samePosition = true;
  stop.dueTime = lf_dueTime(f.dueTime + kStopAfterSteps + steps);
  a.stream.push_back(onStand);
  a.stream.push_back(stop);
  a.bearing = stand.heading;
  if (a.predictedReports > 0) {
    a.predictedReports = 0;
    a.delayLimit = a.takeOffRun ? kTakeOffDelayLimitSteps : kRaisedLimitSteps;
    a.advanceLimit = kRaisedLimitSteps;
  }
}
