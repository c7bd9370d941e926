// Stepping along the report stream: taking up the next report when the front one is due, what
// happens when the stream runs out (holding, predicted reports, giving the aircraft up) and the
// arrival of a parking aircraft on its stand. Worker thread.
#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "traffic/live/live.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr double kHoldNeighbourSpans = 1.2;        // x the two half spans: too close to wait
constexpr std::int32_t kHoldReportSteps = 300;     // a waiting aircraft's standstill reports
constexpr std::int64_t kStepsPerMinute = 6000;
constexpr double kArrivalDistanceNm = 0.0010799136069114472;  // 2 m from the stand: parked
constexpr std::int32_t kParkedReportSteps = 60480000;         // a week of steps
constexpr std::int32_t kPredictedAirReports = 8;
constexpr std::int32_t kPredictedGroundReports = 10;
constexpr std::int32_t kPredictedParkedReports = 1;
constexpr double kUserNotPlacedLat = 0.0009;  // the user aircraft still at 0,0: not placed yet
constexpr double kUserNotPlacedLon = 0.05;
constexpr double kRadiusMarginNm = 0.5;
constexpr double kNmPerDegreeLat = 60.0;
constexpr char kInTheOpen[] = "no more reports, on the ground away from any airport";
constexpr char kDownInTheOpen[] = "no more reports, descending to the ground away from any airport";
constexpr char kHelicopterDownAway[] =
    "no more reports, descending to the ground away from the park airport";
constexpr double kParkOwnGroundNm = 1.0;  // a helicopter may be set down this near the park airport
constexpr std::int32_t kGroundLookAheadS = 3;  // seconds between predicted reports
constexpr std::int32_t kAirLookAheadS = 8;
constexpr std::int32_t kStepsPerSecond = 100;
constexpr double kApproachSlowdown = 0.90;  // per predicted report
constexpr double kCruiseSlowdown = 0.95;
constexpr std::int32_t kApproachSteadyReports = 4;  // the last three keep their speed
constexpr double kPredictedDescentFpm = -667.0;
constexpr double kPredictedDescentFtPerS = 10.005;
constexpr double kPredictedClimbFpm = 1500.0;
constexpr double kPredictedClimbFtPerS = 25.0;
// Passes of nextPosMain over one due report: the stream-end decision and the skipped standstill
// reports each need one; more would mean the stream never became usable.
constexpr int kMaxPasses = 64;

// Ground speed and vertical speed of the next report while the aircraft rolls.
struct RollPrediction {
  double minSpeedKt;  // F's ground speed from which the row applies (rows from the highest)
  double speedKt;
  double verticalSpeedFpm;
};
constexpr RollPrediction kLandingRoll[] = {
    {140.0, 100.0, 0.0}, {100.0, 80.0, 0.0}, {80.0, 60.0, 0.0}, {60.0, 30.0, 0.0}, {0.0, 20.0, 0.0}};
// Take-off run: F's ground speed up to maxSpeedKt gives the row's values.
struct RunPrediction {
  double maxSpeedKt;
  double speedKt;
  double verticalSpeedFpm;  // NaN: F's
};
constexpr RunPrediction kTakeOffRun[] = {{30.0, 40.0, kNotReported},    {60.0, 80.0, kNotReported},
                                         {100.0, 110.0, kNotReported},  {140.0, 150.0, 600.0},
                                         {160.0, 170.0, 1200.0}};
constexpr RunPrediction kTakeOffRunFastest{0.0, 180.0, 2400.0};

ParkPos* lf_stand(std::uint32_t standId) {
  const auto it = std::find_if(g_parkStands.begin(), g_parkStands.end(),
                               [standId](const ParkPos& s) { return s.number == standId; });
  return it == g_parkStands.end() ? nullptr : &*it;
}

// Another active taxiing aircraft so close that this one cannot wait where it is.
bool lf_taxiNeighbourTooClose(const AiAircraft& a) {
  return std::any_of(g_liveAc.begin(), g_liveAc.end(), [&a](const AiAircraft& o) {
    return o.onGround && o.fs == kFsTaxi && o.st == kStActive && o.objectId != a.objectId &&
           gf_distanceNm(lf_pos(o), lf_pos(a)) <=
               kHoldNeighbourSpans * (o.halfWingspan + a.halfWingspan);
  });
}

// Away from every airport of the list, beyond the reach in which the intake keeps ground traffic
// (a large airport's runway ends lie well off its reference point): nothing to wait for there (a
// helicopter's field landing, reports that jumped). A list that was never read tells nothing.
bool lf_farFromAirports(const LatLon& at) {
  if (g_airports.empty()) return false;
  const double band = kParkGroundRadiusNm / kNmPerDegreeLat;
  return std::none_of(g_airports.begin(), g_airports.end(), [&at, band](const AirportEntry& e) {
    return std::fabs(e.lat - at.lat) <= band &&
           gf_distanceNm(at, {e.lat, e.lon}) <= kParkGroundRadiusNm;
  });
}

// The predicted descent of an approach brings the aircraft at r so low that the flare would set
// it down, out in the open: its reports stopped short of every airport. A helicopter comes down
// anywhere (low over the fields, on a roof): only the park airport's own ground, where its ground
// reports would come from, takes it. The height is measured as the flare measures it.
bool lf_setsDownInTheOpen(const AiAircraft& a, const PositionReport& r) {
  double height = a.heightAboveGround - (a.altitude - r.altitude);
  if (!g_parkAirportIcao.empty()) height = std::min(height, r.altitude - g_parkAirportElev);
  if (height > a.staticCgHeight + kFlareStartCgMarginFt) return false;
  if (a.category != kCatRotorcraft) return lf_farFromAirports(lf_pos(r));
  return g_parkAirportIcao.empty() ||
         gf_distanceNm(lf_pos(r), g_parkAirportPos) > kParkOwnGroundNm;
}

// An aircraft standing on the ground with nothing more reported: it waits, or is given up.
bool lf_holdOrGiveUp(AiAircraft& a) {
  if (lf_taxiNeighbourTooClose(a)) {
    a.holding = false;
    a.holdStart = 0;
    lf_logGivenUp(a, "another taxiing aircraft is too close to wait here");
    return false;
  }
  if (a.holding) {
    const std::int64_t minutes = (lf_stepNow() - a.holdStart) / kStepsPerMinute;
    if (minutes > g_paramMaxHoldingMinutes.value()) {
      lf_logGivenUp(a, fmt::format("held {} minutes without a report", minutes));
      return false;
    }
  } else {
    a.holdStart = static_cast<std::int32_t>(lf_stepNow());
  }
  a.holding = true;
  PositionReport wait = a.stream.front();
  wait.dueTime = lf_dueTime(static_cast<std::int64_t>(wait.dueTime) + kHoldReportSteps);
  wait.groundSpeed = 0.0;
  wait.samePosition = true;
  a.stream.push_back(wait);
  a.predictedReports = 1;
  return true;
}

// Ground speed (and vertical speed) of a predicted report of a rolling aircraft; 0 = standing.
double lf_predictedGroundSpeed(const AiAircraft& a, PositionReport& r) {
  const double g = a.stream.front().groundSpeed;
  if (a.landingRoll) {
    r.verticalSpeed = 0.0;
    for (const RollPrediction& row : kLandingRoll) {
      if (g >= row.minSpeedKt) {
        return row.speedKt;
      }
    }
    return kLandingRoll[std::size(kLandingRoll) - 1].speedKt;
  }
  if (!a.takeOffRun) {
    return 0.0;
  }
  RunPrediction pick = kTakeOffRunFastest;
  for (const RunPrediction& row : kTakeOffRun) {
    if (g <= row.maxSpeedKt) {
      pick = row;
      break;
    }
  }
  if (!std::isnan(pick.verticalSpeedFpm)) {
    r.verticalSpeed = pick.verticalSpeedFpm;
  }
  return pick.speedKt;
}

double lf_predictedAirSpeed(const AiAircraft& a, std::int32_t counter) {
  const double g = a.stream.front().groundSpeed;
  if (a.approach && counter < kApproachSteadyReports) {
    return g;
  }
  return std::max(g * (a.approach ? kApproachSlowdown : kCruiseSlowdown), 1.0);
}

// How far the aircraft goes on the leg it takes up, nm: along the control points of its curve.
double lf_legAheadNm(const AiAircraft& a) {
  const PositionReport& s = a.stream.at(1);
  if (!lf_curveUnderWay(a)) return gf_distanceNm(lf_pos(a), lf_pos(s));
  const MotionCurve& c = a.curve;
  const double metres =
      std::hypot(c.p1East, c.p1North) + std::hypot(c.p2East - c.p1East, c.p2North - c.p1North);
  return metres / kMetresPerNm;
}

// The report falls due late enough that the aircraft, aheadNm from it, gets there no faster than
// limitKt; true when it had to.
bool lf_noFasterThan(PositionReport& s, double aheadNm, double limitKt) {
  const auto least = static_cast<std::int64_t>(std::ceil(aheadNm * kStepsPerHour / limitKt));
  if (lf_stepsUntil(s.dueTime) >= least) return false;
  s.dueTime = lf_dueTime(lf_stepNow() + least);
  return true;
}

// A leg on the ground never goes faster than the aircraft can taxi or roll. Once the aircraft
// lags its reports by more than the delay limit (after holding for a late report, say), the
// retiming leaves the leg 25 steps; it gets the time it needs at that speed instead and catches
// up over the next legs. (A report it could not have reached at all gives it up when merged.)
void lf_keepToGroundSpeed(AiAircraft& a) {
  PositionReport& s = a.stream.at(1);
  lf_noFasterThan(s, lf_legAheadNm(a), lf_groundSpeedLimitKt(a, a.stream.at(0), s));
}

// The per-step velocity that brings the aircraft from where it is to the report when it is due,
// not from the report before, so that it meets the report.
void lf_velocityTowards(AiAircraft& a, const PositionReport& s) {
  const double dt = static_cast<double>(lf_stepsUntil(s.dueTime));
  a.latStep = (s.lat - a.lat) / dt;
  a.lonStep = lf_lonDelta(a.lon, s.lon) / dt;
}

}  // namespace

// Filled at program start with the parked statistics of the parking part.
MotionHooks g_motionHooks{&lf_parkLimits};

bool lf_userNotPlaced() {
  const UserAcData& u = g_userAcSnapshot;
  return u.latitude >= 0.0 && u.latitude <= kUserNotPlacedLat && u.longitude >= 0.0 &&
         u.longitude <= kUserNotPlacedLon;
}

void nextPosMain(AiAircraft& a) {
  try {
    for (int pass = 0; pass < kMaxPasses; ++pass) {
      if (a.stream.size() < 2) {
        if (lf_streamEnd(a)) {
          continue;
        }
        if (a.fs != kFsParked) {
          lf_learnSoftOption(a, a.fs != kFsFlying);
        }
        removeAircraftFromSim(a);
        return;
      }
      if (!a.onGround && a.category != kCatRotorcraft && a.stream[1].samePosition) {
        a.stream.erase(a.stream.begin() + 1);  // an airborne aircraft does not stand still
        continue;
      }
      nextPos(a);
      return;
    }
    throw std::runtime_error("no usable report");
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", e.what(),
                            gf_acDescription(a), a.stream.size(), gf_phaseName(a.fs),
                            gf_stateName(a.st)));
    // Left due, the failing report would fail again on every step while the aircraft drifts on
    // its old per-step changes: drop it and stop, so that the next due report is tried.
    if (!a.stream.empty()) {
      a.stream.pop_front();
    }
    a.latStep = a.lonStep = 0.0;
    a.pitchChange = a.bankChange = a.headingChange = a.altitudeChange = 0.0;
    lf_clearCurve(a);
  }
}

void nextPos(AiAircraft& a) {
  lf_clearCurve(a);
  {
    const PositionReport& f = a.stream.at(0);
    PositionReport& s = a.stream.at(1);
    if (!s.samePosition && s.lat == f.lat && s.lon == f.lon) {
      s.samePosition = true;
    }
    if (!s.samePosition) {
      a.bearing = gf_bearing(lf_pos(f), lf_pos(s));
    }
  }
  if (a.onGround) {
    nextPosGround(a);
  } else {
    nextPosAir(a);
  }
  const PositionReport& s = a.stream.at(1);  // the leg's step may have changed the stream
  if (s.samePosition) {
    a.latStep = a.lonStep = 0.0;
    if (!a.landingRoll && !a.takeOffRun) {
      lf_decayLimits(a);
    }
  } else {
    if (a.onGround && a.fs != kFsTakeOff) lf_keepToGroundSpeed(a);
    lf_velocityTowards(a, s);
    if (a.onGround) {
      lf_groundLegSetup(a);
    } else {
      lf_airLegSetup(a);
    }
  }
  if (!a.stream.empty()) {
    a.stream.pop_front();
  }
  if (a.stream.empty()) {
    removeAircraftFromSim(a);
    throw std::runtime_error(fmt::format("{} {} fs:{}, st:{} stream at the end is empty?",
                                         "nextPos", gf_acDescription(a), gf_phaseName(a.fs),
                                         gf_stateName(a.st)));
  }
}

void lf_rollRestOfLeg(AiAircraft& a) {
  if (a.stream.empty() || a.stream.front().samePosition) return;
  PositionReport& s = a.stream.front();
  if (lf_noFasterThan(s, gf_distanceNm(lf_pos(a), lf_pos(s)), g_catMaxRollKt.at(a.category))) {
    lf_velocityTowards(a, s);
  }
}

bool lf_streamEnd(AiAircraft& a) {
  // Out in the open an aircraft on the ground whose reports stop is given up as one in the air.
  const bool inTheOpen = a.onGround && a.fs != kFsParked && lf_farFromAirports(lf_pos(a));
  if (a.fs == kFsParking) {
    lf_arriveAtStand(a);
  } else if (!inTheOpen &&
             (a.fs == kFsPushedBack || (a.fs == kFsTaxi && !a.takeOffRun && !a.landingRoll))) {
    return lf_holdOrGiveUp(a);
  }
  const std::int32_t c = a.predictedReports;
  if (c < 0) {
    return false;
  }
  if (c > 1) {
    return lf_predictedReport(a, c - 1);
  }
  if (c == 1) {
    a.predictedReports = -1;
    if (inTheOpen) lf_logGivenUp(a, kInTheOpen);
    return false;
  }
  if (!lf_categoryAllowed(a.category)) {
    return false;
  }
  if (a.onGround && !inTheOpen) {
    return lf_predictedReport(
        a, a.fs == kFsParked ? kPredictedParkedReports : kPredictedGroundReports);
  }
  if (lf_userNotPlaced() ||
      gf_distanceNm({g_userAcSnapshot.latitude, g_userAcSnapshot.longitude}, lf_pos(a)) <
          g_trafficRadiusNm.load() - kRadiusMarginNm) {
    return lf_predictedReport(a, kPredictedAirReports);
  }
  if (inTheOpen) lf_logGivenUp(a, kInTheOpen);
  return false;
}

bool lf_predictedReport(AiAircraft& a, std::int32_t counter) {
  a.predictedReports = counter;
  const PositionReport& f = a.stream.at(0);
  PositionReport r = f;
  const std::int32_t lookAheadS = a.onGround ? kGroundLookAheadS : kAirLookAheadS;
  double speed = 0.0;
  if (!f.samePosition && a.fs != kFsParked) {
    speed = a.onGround ? lf_predictedGroundSpeed(a, r) : lf_predictedAirSpeed(a, counter);
  }
  r.groundSpeed = speed;
  if (speed > 0.0) {
    const double feet = lookAheadS * kStepsPerSecond * speed * kFeetPerNm / kStepsPerHour;
    const LatLon to = gf_destination(lf_pos(f), a.heading, feet);
    r.lat = to.lat;
    r.lon = to.lon;
    r.samePosition = to.lat == f.lat && to.lon == f.lon;
    if (!a.onGround) {
      const bool descends = a.approach && a.approachHold == 0;
      if (descends) {
        r.verticalSpeed = kPredictedDescentFpm;
        r.altitude -= lookAheadS * kPredictedDescentFtPerS;
      } else if (a.fs == kFsTakeOff) {
        r.verticalSpeed = kPredictedClimbFpm;
        r.altitude += lookAheadS * kPredictedClimbFtPerS;
      }
      r.airborne = r.altitude > 0.0;
      r.altitude = std::max(r.altitude, 0.0);
      if (descends && lf_setsDownInTheOpen(a, r)) {
        a.predictedReports = -1;
        lf_logGivenUp(a, a.category == kCatRotorcraft ? kHelicopterDownAway : kDownInTheOpen);
        return false;
      }
    }
  } else {
    r.samePosition = true;
  }
  const std::int64_t ahead =
      a.fs == kFsParked ? kParkedReportSteps : lookAheadS * kStepsPerSecond;
  r.dueTime = lf_dueTime(static_cast<std::int64_t>(f.dueTime) + ahead);
  if (a.fs == kFsParked) {
    a.reportWhileParked = false;
    if (ParkPos* stand = lf_stand(a.standId)) {
      stand->liveOccupied = false;  // the static parking may use the stand again
    }
  }
  a.stream.push_back(r);
  return true;
}

void lf_arriveAtStand(AiAircraft& a) {
  ParkPos* stand = lf_stand(a.standId);
  if (a.standId != 0 && stand != nullptr && stand->liveOccupied) {
    a.predictedReports = 1;
    removeAircraftFromSim(a);  // frees the stand: another aircraft holds it
    stand->liveOccupied = true;
    return;
  }
  if (gf_distanceNm(lf_pos(a), {a.standPlace.lat, a.standPlace.lon}) > kArrivalDistanceNm) {
    lf_setPhase(a, kFsTaxi);
    return;
  }
  lf_setPhase(a, kFsParked);
  a.parkedSlot = g_dayHhNow.load();
  if (a.towed && g_paramLog.value()) {
    gf_logIndented(fmt::format("towed aircraft {} parks", gf_acDescription(a)));
  }
  a.stream.front().samePosition = true;
  a.parkedTime = gf_nowTicks100ns();
  a.standReports = 0;
  a.standMoves = 0;
  if (stand != nullptr) {
    lf_learnStandCargo(a, *stand);
  }
  setParkedState(a);
  if (g_paramLog.value()) {
    gf_log(fmt::format("{:8}: {:8} arrived at stand", lf_standNameById(a.standId), a.callsign));
  }
  g_newLiveIds.push_back(a.key);
  if (a.airline.empty() || a.standFlag != a.cargo) {
    return;
  }
  if (lf_addRealParkPosOption(a.standId, a, false, a.parkedSlot, false)) {
    lf_storeParkedKeySlot(a.key, a.parkedSlot.hh);
    if (g_motionHooks.parkLimits != nullptr) {
      g_motionHooks.parkLimits(false);
    }
  }
}
