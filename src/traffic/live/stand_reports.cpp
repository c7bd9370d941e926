// Reports of an aircraft that parks or stands on its stand: whether it still stands (reports
// wander a few metres), creeps away, has left (the departure begins) or was never there (given
// up), and what its leaving records: the turnaround, the learned stand option, the free stand.
// Worker thread.
#include <cmath>

#include "foundation/run_state.h"
#include "intake/intake.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr double kStandLimitNm = 0.0458963282937365;  // 85 m
constexpr double kGoneNm = 0.10799136069114472;       // 200 m
constexpr double kCreepNm = 0.0016198704103671706;    // 3 m
constexpr std::int32_t kCreepReports = 3;
constexpr double kCreepSpans = 0.5;
constexpr std::int64_t kParkedDueSteps = 60480000;   // a parked aircraft's front report: a week on
constexpr std::int64_t kHeavyTurnaroundSteps = 360000;    // 60 minutes
constexpr std::int64_t kBuzjetTurnaroundSteps = 90000;    // 15 minutes
constexpr std::int64_t kShortTurnaroundSteps = 150000;    // 25 minutes for a Large aircraft

// The aircraft starts leaving its stand.
bool lf_leavePath(AiAircraft& a, PositionReport& r) {
  r.samePosition = false;
  a.pushbackPending = true;
  // A pushback turns to the side the reports show, unless only straight ones are wanted.
  a.pushbackMode = g_paramStraightPbsOnly.value() ? kPushbackStraight : kPushbackTurning;
  if (a.previousFs != kFsParked) {
    lf_leaveStand(a);
    lf_setPhase(a, kFsParked);
  }
  return true;
}

}  // namespace

bool lf_checkParkedPos(AiAircraft& a, PositionReport& r) {
  a.reportWhileParked = true;
  const double d = gf_distanceNm(lf_pos(r), {a.standPlace.lat, a.standPlace.lon});
  // While it still drives onto the stand the aircraft may be farther away.
  const double limit = a.fs == kFsParking ? 2.0 * kStandLimitNm : kStandLimitNm;
  if (d > limit) {
    if (a.fs == kFsParking) {
      lf_setPhase(a, kFsTaxi);  // gives the stand up
      r.samePosition = false;
      return true;
    }
    if (d > kGoneNm) {
      if (a.st != kStActive) return true;
      removeAircraftFromSim(a);
      return false;
    }
    return lf_leavePath(a, r);
  }
  a.parkedTime = gf_nowTicks100ns();
  a.pushbackPending = false;
  if (a.standReports++ == 0) {
    a.firstStandDistance = a.lastStandDistance = d;
    a.standMoves = 0;
    return false;
  }
  if (d >= a.lastStandDistance + kCreepNm) {
    ++a.standMoves;
    a.lastStandDistance = d;
    const double moved = d - a.firstStandDistance;
    if ((a.standMoves >= kCreepReports && moved >= kCreepSpans * a.halfWingspan) ||
        moved > a.halfWingspan) {
      return lf_leavePath(a, r);
    }
  } else if (d <= a.lastStandDistance - kCreepNm) {
    a.standMoves = 0;
  }
  return false;
}

void lf_leaveStand(AiAircraft& a) {
  if (a.predictedReports > 0) {
    if (a.fs == kFsParked && a.turnaroundPending && !a.stream.empty()) {
      const std::int64_t onStand =
          static_cast<std::int64_t>(g_tickCount.load()) - a.stream.front().dueTime + kParkedDueSteps;
      const bool keep = (a.category == kCatHeavy && onStand < kHeavyTurnaroundSteps) ||
                        (a.category == kCatBuzjets && onStand < kBuzjetTurnaroundSteps);
      if (!keep) {
        a.turnaroundPending = false;
        if (a.category == kCatLarge && onStand < kShortTurnaroundSteps) a.shortTurnaround = true;
      }
    }
    if (a.fs == kFsParked && !a.stream.empty()) {
      a.stream.front().dueTime = static_cast<std::int32_t>(g_tickCount.load() + 1);
    }
    a.predictedReports = 0;
    a.advanceLimit = kRaisedLimitSteps;
    a.delayLimit = a.takeOffRun ? kTakeOffDelayLimitSteps : kRaisedLimitSteps;
  }
  if (!a.airline.empty() && a.cargo == a.standFlag) {
    const DayHh now = g_dayHhNow.load();
    if (lf_addRealParkPosOption(a.standId, a, true, now, true)) lf_storeParkedKeySlot(a.key, now.hh);
  }
  if (ParkPos* stand = gf_standById(a.standId)) stand->liveOccupied = false;
}
