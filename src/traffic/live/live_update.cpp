// Updating live aircraft: one step of each (spawn decision, motion, the position sent) and the
// merging of each new report into its stream, where the engine reads what the real aircraft
// does between reports: standing, jittering, stopping, holding after a pushback, taking off or
// going around. Worker thread.
#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "intake/intake.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/records/records.h"

namespace {

constexpr std::size_t kMaxStreamReports = 200;
constexpr double kJitterDeg = 0.00015;
constexpr double kStandstillFromKt = 50.0;    // a report at 0 kt after this is no standstill
constexpr double kSameSpotFromKt = 30.0;
constexpr double kPushedBackSpans = 2.75;     // half spans away: the pushed-back aircraft leaves
constexpr double kPushedBackFarSpans = 6.0;
constexpr double kTakeOffRunKt = kRollingKt;
constexpr double kOffHeadingDeg = 100.0;      // an airborne aircraft's last report behind it
constexpr double kApproachOffDeg = 90.0;
constexpr double kRollOutOffDeg = 150.0;
constexpr double kLandingCapKt = 40.0;
constexpr double kShortStopS = 15.0;
constexpr double kRestartNm = 0.011879049676025918;  // 22 m
constexpr std::int64_t kFirstStopReports = 3;
constexpr std::int64_t kLastStopReports = 7;
constexpr double kStepsPerSecondD = 100.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr std::uint32_t kGoAroundThrottle = 3;
constexpr std::uint32_t kTakeOffFlaps = 1;

std::int32_t lf_nextStep() { return static_cast<std::int32_t>(g_tickCount.load() + 1); }

void lf_resetLimits(AiAircraft& a) {
  a.advanceLimit = kRaisedLimitSteps;
  a.delayLimit = a.takeOffRun ? kTakeOffDelayLimitSteps : kRaisedLimitSteps;
}

double lf_offHeadingDeg(const AiAircraft& a, const LatLon& from, const LatLon& to) {
  return std::fabs(gf_angleDiff(a.heading, gf_bearing(from, to))) * kRadToDeg;
}

// Beyond the last report the motion predicted: a new report is taken up at once, unless an
// airborne aircraft would turn back to it.
bool checkExtendingSituations(AiAircraft& a) {
  if (a.stream.empty()) {
    gf_logError(fmt::format("{} empty sz?", "checkExtendingSituations"));
    return false;
  }
  if (!a.onGround && lf_offHeadingDeg(a, lf_pos(a), lf_pos(a.stream.back())) >= kOffHeadingDeg) {
    return false;
  }
  a.predictedReports = 0;
  lf_resetLimits(a);
  a.stream.front().dueTime = lf_nextStep();
  a.holding = false;
  a.holdStart = 0;
  return true;
}

bool checkNewPosDuringLanding(AiAircraft& a, PositionReport& r) {
  if (a.stream.empty()) {
    gf_logError(fmt::format("{} empty sz?", "checkNewPosDuringLanding"));
    return false;
  }
  if (r.lat == a.stream.back().lat && r.lon == a.stream.back().lon) return false;
  if (a.stream.size() < 2) {
    const double off = lf_offHeadingDeg(a, lf_pos(a.stream.front()), lf_pos(r));
    if (a.approach && off >= kApproachOffDeg) return false;
    if (!a.approach && off >= kRollOutOffDeg) {
      if (a.predictedReports > 0) return false;
      PositionReport here = a.stream.front();
      here.lat = a.lat;
      here.lon = a.lon;
      here.dueTime = lf_nextStep();
      a.stream.assign(1, here);
    }
  } else {
    for (int dropped = 0; dropped < 2 && a.stream.size() > 1; ++dropped) {
      if (lf_offHeadingDeg(a, lf_pos(a), lf_pos(a.stream.back())) < kApproachOffDeg) break;
      a.stream.pop_back();
    }
  }
  if (a.predictedReports > 0) {
    a.predictedReports = 0;
    lf_resetLimits(a);
  }
  const PositionReport& last = a.stream.back();
  if (r.lat == last.lat && r.lon == last.lon) {
    r.samePosition = true;
  } else if (r.groundSpeed > last.groundSpeed && r.groundSpeed > kLandingCapKt) {
    r.groundSpeed = last.groundSpeed;
  }
  return true;
}

// A short stop between moving reports is taken out of the stream: n reports stood still.
void checkStops(AiAircraft& a, std::int64_t n, const PositionReport& r) {
  const auto size = static_cast<std::int64_t>(a.stream.size());
  const PositionReport& before = a.stream[static_cast<std::size_t>(size - 1 - n)];
  const double stopS = (a.stream.back().dueTime - before.dueTime) / kStepsPerSecondD;
  if (stopS < kShortStopS || gf_distanceNm(lf_pos(before), lf_pos(r)) <= kRestartNm) {
    a.stream.resize(static_cast<std::size_t>(size - (n - 1)));
  }
}

void removeSmallStop(AiAircraft& a, const PositionReport& r) {
  const auto size = static_cast<std::int64_t>(a.stream.size());
  for (std::int64_t k = kFirstStopReports; k <= kLastStopReports && k <= size; ++k) {
    if (!a.stream[static_cast<std::size_t>(size - k)].samePosition) {
      checkStops(a, k - 1, r);
      return;
    }
  }
}

// The pushed-back aircraft moves away: it taxies; one that stays holds.
bool lf_pushedBack(AiAircraft& a, PositionReport& r) {
  const double d = gf_distanceNm(lf_pos(r), lf_pos(a));
  const double span = a.halfWingspan;
  if (!((d > kPushedBackSpans * span && d > a.pushedBackDistance) || d > kPushedBackFarSpans * span)) {
    if (!a.holding) {
      a.holding = true;
      a.holdStart = static_cast<std::int32_t>(g_tickCount.load());
    }
    a.pushedBackDistance = d;
    return false;
  }
  r.samePosition = false;
  if (a.predictedReports > 0) {
    a.stream.front().dueTime = lf_nextStep();
    a.predictedReports = 0;
    lf_resetLimits(a);
  }
  a.pushbackTurnKnown = false;
  a.pushbackMode = kPushbackNone;
  lf_setPhase(a, kFsTaxi);
  a.standPlace = {};
  a.standId = 0;
  a.standFlag = false;
  a.holding = false;
  a.holdStart = 0;
  return true;
}

// During a turning pushback the reports tell to which side the tail swings.
void lf_pushbackSide(AiAircraft& a, const PositionReport& r) {
  if (g_paramStraightPbsOnly.value() || a.pushbackMode != kPushbackTurning) return;
  double direction = 0.0;
  if (r.trueHeadingPresent) {
    direction = r.trueHeading;
  } else if (r.track == 0.0 || !std::isfinite(r.track)) {
    return;
  } else {
    direction = r.track * kDegToRad;
  }
  a.pushbackTurnKnown = true;
  a.pushbackTurnRight = gf_angleDiff(a.heading, lf_wrapHeading(direction)) > 0.0;
}

// Airborne again after touching down: take-off power, all outside lights.
void lf_goAround(AiAircraft& a) {
  lf_setPhase(a, kFsTaxi);
  a.takeOffRun = true;
  lf_setThrottle(a, kGoAroundThrottle);
  lf_setSpoilers(a, kFullSpoilers);
  lf_setFlaps(a, kTakeOffFlaps);
  a.approach = false;
  a.turnaroundPending = false;
  a.noseLowering = false;
  lf_queueLights(a, kLightsTakeOff);
  a.advanceLimit = kRaisedLimitSteps;
  a.delayLimit = kTakeOffDelayLimitSteps;
}

// The phase's test of the report; false: it is not appended.
bool lf_acceptByPhase(AiAircraft& a, PositionReport& r) {
  switch (a.fs) {
    case kFsParking:
    case kFsParked:
      if (a.st == kStBuffer || a.st == kStAdding2Sim) return false;
      return lf_checkParkedPos(a, r);
    case kFsPushingBack:
      lf_pushbackSide(a, r);
      return false;
    case kFsPushedBack:
      return lf_pushedBack(a, r);
    default:
      break;
  }
  if (a.approach || a.landingRoll) return checkNewPosDuringLanding(a, r);
  if (!lf_checkNewPos(a, r)) return false;
  return a.predictedReports <= 0 || checkExtendingSituations(a);
}

void lf_stopsOnTheGround(AiAircraft& a, const PositionReport& r) {
  if (r.airborne || a.stream.empty() || !a.stream.back().samePosition) return;
  if (!r.samePosition) {
    removeSmallStop(a, r);
  } else if (std::all_of(a.stream.begin(), a.stream.end(),
                         [](const PositionReport& p) { return p.samePosition; })) {
    a.stream.resize(1);  // it stands still: one report is enough
  }
}

// A pushed-back aircraft that held where it stopped and is now reported far away is given up.
// Only a pushed-back one: a taxiing aircraft that held at the end of its reports has taxied on
// while no report came, and goes on to the new one (lf_jumpedAway judges whether it could).
bool lf_leftItsHold(AiAircraft& a, const PositionReport& r) {
  if (!a.holding || a.fs != kFsPushedBack || a.stream.empty()) return false;
  const double metres = gf_distanceNm(lf_pos(r), lf_pos(a.stream.front())) * kMetresPerNm;
  if (metres <= g_paramHoldingThresholdMeters.value()) return false;
  a.holding = false;
  a.holdStart = 0;
  lf_logGivenUp(a, fmt::format("reported {:.0f} m from where it held after its pushback", metres));
  return true;
}

// A report an aircraft on the ground could not have reached by taxiing or rolling since the last
// one: the reports jumped (another transponder; a take-off while none came). Unless it lifts off
// from a take-off run, which the ground motion flies, the aircraft is given up, and the reports
// to come create it again where they are. A helicopter lifts off without a run: reported in the
// air, it may have flown there as fast as it reports. (A parked aircraft's reports are judged by
// its stand's limits; a pushing one's are not taken.) The merge has stamped the aircraft with
// r's time.
bool lf_jumpedAway(AiAircraft& a, const PositionReport& r) {
  const PositionReport& last = a.lastMerged;
  const double seconds = a.lastReportTime - a.lastMergedTime;
  const bool moving = a.fs != kFsParked && a.fs != kFsPushingBack;
  if (a.st != kStActive || !a.onGround || !moving || !(seconds > 0.0)) return false;
  const double nm = gf_distanceNm(lf_pos(last), lf_pos(r));
  const double kt = nm * kSecondsPerHour / seconds;
  double limitKt = lf_groundSpeedLimitKt(a, last, r);
  if (r.airborne && a.category == kCatRotorcraft) limitKt = std::max(limitKt, r.groundSpeed);
  if (kt <= limitKt) return false;
  if (r.airborne && last.groundSpeed >= kTakeOffRunKt) return false;
  lf_logGivenUp(a, fmt::format("reported {:.1f} nm away {:.0f} s later, {:.0f} kt on the ground",
                               nm, seconds, kt));
  return true;
}

void lf_mergeInto(AiAircraft& a, PositionReport& r) {
  if (a.stream.size() > kMaxStreamReports) removeAircraftFromSim(a);
  const bool jumped = lf_jumpedAway(a, r);
  a.lastMerged = r;
  a.lastMergedTime = a.lastReportTime;
  if (jumped || lf_leftItsHold(a, r)) {
    removeAircraftFromSim(a);
    return;
  }
  if (a.fs == kFsBirth) {
    if (!a.stream.empty() && lf_checkNewPos(a, r)) {
      r.dueTime = std::max(r.dueTime, a.stream.back().dueTime + 1);
      a.stream.push_back(r);
    }
    return;
  }
  if (!lf_acceptByPhase(a, r)) return;
  lf_stopsOnTheGround(a, r);
  const PositionReport* last = a.stream.empty() ? nullptr : &a.stream.back();
  if (last != nullptr) r.dueTime = std::max(r.dueTime, last->dueTime + 1);
  if (!a.takeOffRun && a.onGround && a.st == kStActive && last != nullptr) {
    if (!a.landingRoll) {
      const bool runs = r.airborne ||
                        (r.groundSpeed >= kTakeOffRunKt && last->groundSpeed >= kTakeOffRunKt);
      if (runs && a.fs == kFsTaxi) lf_takeOffRunStart(a);
    } else if (last->airborne && r.airborne) {
      lf_goAround(a);
    }
  }
  a.stream.push_back(r);
  if (a.stream.size() == 2 && a.stream[0].samePosition && a.stream[1].samePosition) {
    a.stream[0].dueTime = lf_nextStep();
    a.stream[0].groundSpeed = a.stream[1].groundSpeed;
  }
}

}  // namespace

void updateLiveAc(AiAircraft& a) {
  if (a.st == kStBuffer) {
    if (!a.removedFromBuffer) lf_spawnDecision(a);  // a dropped one waits for the erase pass
    return;
  }
  if (a.st != kStActive) return;
  if (a.stream.empty()) {
    gf_logError(fmt::format("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                            "updateLiveAc", gf_acDescription(a), a.key, a.objectId, a.altitude,
                            fmt::format("{:.6f},{:.6f}", a.lat, a.lon), a.trueAirspeed));
    removeAircraftFromSim(a);
    return;
  }
  if (a.stream.front().dueTime <= static_cast<std::int64_t>(g_tickCount.load())) {
    nextPosMain(a);
    a.verticalSpeed = a.climbRate / 60.0;
    const bool standing = a.stream.empty() || a.stream.front().samePosition;
    a.trueAirspeed = standing ? 0.0 : a.motionAirspeed;
  }
  if (a.st != kStActive) return;
  if (!a.stream.empty() && !a.stream.front().samePosition) lf_stepMotion(a);
  if (a.objectId == 0) {
    gf_logError(fmt::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc",
                            a.key, a.callsign, a.registration, gf_airlType(a), a.stream.size()));
    removeAircraftFromSim(a);
    return;
  }
  g_posFillQueue->push_back({a.lat, a.lon, a.pitch, a.bank, a.heading, a.altitude, a.verticalSpeed,
                             a.trueAirspeed, a.objectId});
}

void decodeExisting(AiAircraft& a, PositionReport& r) {
  try {
    lf_mergeInto(a, r);
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} exception {}", "decodeExisting", e.what()));
    throw;
  }
}

bool lf_checkNewPos(AiAircraft& a, PositionReport& r) {
  const PositionReport& last = a.stream.back();
  r.samePosition = r.lat == last.lat && r.lon == last.lon;
  if (a.category == kCatRotorcraft) return true;
  const bool flying = r.airborne || (a.st == kStActive && !a.onGround);
  if (!r.samePosition) {
    const bool jitter =
        std::fabs(r.lat - last.lat) < kJitterDeg && std::fabs(r.lon - last.lon) < kJitterDeg;
    if (!jitter) {
      return !(r.groundSpeed == 0.0 && last.groundSpeed >= kStandstillFromKt &&
               (a.takeOffRun || r.airborne));
    }
    if (flying || (a.takeOffRun && r.groundSpeed > 0.0 && last.groundSpeed >= kStandstillFromKt)) {
      return false;
    }
    const std::int32_t due = r.dueTime;
    r = last;  // the jitter is the same spot
    r.dueTime = due;
    r.groundSpeed = 0.0;
    r.samePosition = true;
    return true;
  }
  if (flying || (a.takeOffRun && r.groundSpeed > 0.0 && last.groundSpeed >= kSameSpotFromKt)) {
    return false;
  }
  if (r.groundSpeed > 0.0) r.groundSpeed = 0.0;
  return true;
}
