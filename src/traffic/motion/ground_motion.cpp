// Ground motion: how a leg on the ground is flown (straight, as a curve through the next report,
// split at its middle or at a speed change), the pushback sequence, the arrival check that hands
// a slowing aircraft to the parking, and the ground leg's set-up: throttle for taxi, take-off run
// and landing roll, ground attitude, the curve's pace and the start of the take-off. Worker.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr double kStraightTurnDeg = 3.0;     // smaller turns are flown straight
constexpr double kSplitTurnDeg = 45.0;       // larger turns on long slow legs: split the leg
constexpr double kCurveTurnDeg = 160.0;      // up to this a turn is flown as a curve
constexpr double kSplitLegNm = 0.02699784017278618;  // 50 m
constexpr double kSplitMaxSpeedKt = 43.0;
constexpr std::int64_t kSplitMinSteps = 600;
constexpr double kArrivalSpeedKt = 5.0;
constexpr double kArrivalDistanceNm = 0.018898488120950324;  // 35 m from the last report
constexpr double kPullOutMaxDeg = 90.0;      // last report within this of the stand's heading
constexpr double kPushbackCurveDeg = 90.0;
constexpr double kPushedBackDistanceNm = 900.0;  // no report yet: any distance is a first one
constexpr double kTakeOffCheckKt = 43.0;
constexpr double kLiftOffClimbFpm = 256.0;
constexpr double kMinClimbFt = 0.1;
constexpr double kRollOutSpeedKt = 90.0;
constexpr double kTurnedOffDeg = 15.0;

// Throttle step during the take-off run, from the front and second reports' ground speeds.
std::uint32_t lf_runThrottle(const AiAircraft& a, double f, double s) {
  if (a.category == kCatRotorcraft || f >= 25.0 || s >= 30.0) {
    return 4;
  }
  if (f < 15.0 && s < 20.0) {
    return 0;
  }
  return f >= 20.0 || s >= 25.0 ? 2 : 1;
}

std::uint32_t lf_idleThrottle(const AiAircraft& a) { return a.category == kCatRotorcraft ? 4 : 0; }

void lf_pushingBack(AiAircraft& a) {
  --a.pushbackCounter;
  if (a.pushbackCounter == 1) {
    if (!a.pushbackTurnKnown) {
      a.stream.pop_back();  // straight back
      return;
    }
    if (a.pushbackTurnRight) {
      a.stream.back() = a.embeddedReport;
    }
    lf_setUpCurve(a);
    const double turnSteps = std::max(std::round(kPushbackCurveDeg / a.turnStep / 100.0), 1.0);
    a.curve.paramStep = 1.0 / turnSteps;
    a.curve.turnAngle = kPushbackCurveDeg;
    return;
  }
  if (a.pushbackCounter < 1) {  // the pushback is over
    a.bearing = a.heading;
    lf_sendEvent(a, kEventEngineAutoStart, 0);
    lf_setThrottle(a, 0);
    lf_setFlaps(a, 1);
    lf_setPhase(a, kFsPushedBack);
    a.pushbackCounter = 1;
    a.pushedBackDistance = kPushedBackDistanceNm;
    a.predictedReports = 0;
    a.pushbackPending = false;
  }
}

void lf_leaveStandIfPending(AiAircraft& a) {
  a.advanceLimit = kRaisedLimitSteps;
  a.delayLimit = a.takeOffRun ? kTakeOffDelayLimitSteps : kRaisedLimitSteps;
  if (!a.pushbackPending) {
    return;
  }
  const LatLon stand{a.standPlace.lat, a.standPlace.lon};
  const double toLast = gf_bearing(stand, lf_pos(a.stream.back()));
  const double angle = std::round(gf_angleDiff(a.standPlace.heading, toLast) * kRadToDeg);
  if (std::fabs(angle) < kPullOutMaxDeg) {
    lf_pullOut(a);
  } else {
    lf_pushbackWithTurn(a);
  }
}

// How the leg towards a moving second report is flown.
void lf_shapeLeg(AiAircraft& a) {
  const std::size_t n = a.stream.size();
  if (n >= 3 && !a.stream[2].samePosition) {
    const PositionReport& f = a.stream[0];
    const PositionReport& s = a.stream[1];
    const PositionReport& t3 = a.stream[2];
    const double turn = std::fabs(gf_angleDiff(a.heading, gf_bearing(lf_pos(s), lf_pos(t3)))) *
                        kRadToDeg;
    const bool longSlowLeg = gf_distanceNm(lf_pos(f), lf_pos(s)) > kSplitLegNm &&
                             f.groundSpeed <= kSplitMaxSpeedKt &&
                             static_cast<std::int64_t>(s.dueTime) - f.dueTime >= kSplitMinSteps;
    if (turn > kStraightTurnDeg && turn > kSplitTurnDeg && longSlowLeg) {
      lf_insertMidpoint(a);  // flown straight to the middle; the turn comes on the next leg
    } else if (turn > kStraightTurnDeg && turn <= kCurveTurnDeg) {
      if (f.lat != t3.lat || f.lon != t3.lon) {
        lf_setUpCurve(a);
        a.curve.turnAngle = turn;
      } else {
        lf_splitAtSpeedChange(a);
      }
    } else {
      lf_splitAtSpeedChange(a);
    }
  } else if (n >= 3 || a.predictedReports <= 0) {
    lf_splitAtSpeedChange(a);
  }
  if (lf_curveUnderWay(a)) {
    a.taxiTurn = false;
  } else {
    a.taxiTurnAngle = std::fabs(gf_angleDiff(a.heading, a.bearing)) * kRadToDeg;
    a.taxiTurn = a.taxiTurnAngle > kStraightTurnDeg;
  }
}

// A taxiing aircraft that comes to a standstill near the end of its reports looks for a stand.
void lf_arrivalCheck(AiAircraft& a) {
  const PositionReport& last = a.stream.back();
  const bool mayPark = a.towed || (a.previousFs != kFsParked && a.previousFs >= kFsTaxi);
  if (!last.samePosition || a.fs != kFsTaxi || !g_parkStandsReady.load() || !mayPark) {
    return;
  }
  if (a.predictedReports > 0) {
    try2Park(a, a.parkingRequest);
  } else if (a.stream.at(1).groundSpeed <= kArrivalSpeedKt &&
             gf_distanceNm(lf_pos(a), lf_pos(last)) <= kArrivalDistanceNm) {
    try2Park(a, false);
  }
}

// A helicopter needs no run: it lifts off once the report ahead is in the air, at once (no
// rotation on the ground) and at the rate that meets that report, not at the climb step of an
// aeroplane's take-off.
void lf_helicopterLiftOff(AiAircraft& a) {
  const PositionReport& s = a.stream.at(1);
  if (!s.airborne) return;
  a.altitudeChange = std::max(s.altitude - a.altitude, kMinClimbFt) /
                     static_cast<double>(lf_stepsUntil(s.dueTime));
  lf_takeOffStart(a);
  a.takeOffStep = 1;
}

// Starts the take-off when the reports show the aircraft lifting off.
void lf_checkTakeOff(AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  if (!a.takeOffRun || a.fs == kFsTakeOff) return;
  if (a.category == kCatRotorcraft) {
    lf_helicopterLiftOff(a);
    return;
  }
  if (!(f.groundSpeed >= kTakeOffCheckKt)) return;
  const auto ahead = a.stream.begin() + 1;
  const bool allAirborne =
      std::all_of(ahead, a.stream.end(), [](const PositionReport& r) { return r.airborne; });
  const bool allClimbFast = std::all_of(ahead, a.stream.end(), [](const PositionReport& r) {
    return r.verticalSpeed > kLiftOffClimbFpm;
  });
  if (!allClimbFast) {
    const double rotate = g_catRotateSpeedKt.at(a.category);
    const bool allFast = std::all_of(ahead, a.stream.end(), [rotate](const PositionReport& r) {
      return r.groundSpeed >= rotate;
    });
    if (!(allFast && allAirborne)) {
      return;
    }
    a.altitudeChange = a.climbStep;
  } else if (allAirborne) {
    const PositionReport& s = a.stream.at(1);
    a.altitudeChange = std::max(s.altitude - a.altitude, kMinClimbFt) /
                       static_cast<double>(lf_stepsUntil(s.dueTime));
  } else {
    a.altitudeChange = a.climbStep;
  }
  lf_takeOffStart(a);
}

}  // namespace

void nextPosGround(AiAircraft& a) {
  switch (a.fs) {
    case kFsPushingBack:
      lf_pushingBack(a);
      break;
    case kFsPushedBack:
      break;
    case kFsParked:
      lf_leaveStandIfPending(a);
      break;
    default:
      if (a.stream.size() < 2) {
        throw std::out_of_range("fewer than 2 reports");
      }
      // Born where it stands (the reserved stand or the user's): from its first leg on it is a
      // taxiing aircraft, or it would never start its run nor park.
      if (a.fs == kFsBirth) lf_setPhase(a, kFsTaxi);
      if (!a.stream[1].samePosition) {
        lf_shapeLeg(a);
      }
      lf_arrivalCheck(a);
      break;
  }
  lf_turnAndRetime(a);
}

void lf_groundLegSetup(AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  const PositionReport& s = a.stream.at(1);
  if (a.fs == kFsParked || a.fs == kFsFlying) {
    lf_setPhase(a, kFsTaxi);
  } else if (!a.takeOffRun) {
    if (!a.landingRoll) {
      lf_setThrottle(a, lf_idleThrottle(a));
    } else {
      lf_landingRollStep(a);
    }
  } else {
    lf_setThrottle(a, lf_runThrottle(a, f.groundSpeed, s.groundSpeed));
  }
  if (!a.landingRoll && !a.takeOffRun) {
    lf_decayLimits(a);
  }
  if (a.flareStage == 0 && a.fs != kFsTakeOff) {
    a.pitch = a.groundPitch;
    a.pitchChange = a.bank = a.bankChange = 0.0;
  }
  if (lf_curveUnderWay(a)) {
    a.curve.paramStep = 1.0 / static_cast<double>(lf_stepsUntil(s.dueTime));
  }
  a.motionAirspeed = a.fs == kFsPushingBack ? -s.groundSpeed : s.groundSpeed;
  lf_checkTakeOff(a);
}

void lf_takeOffStart(AiAircraft& a) {
  const std::uint32_t rotationSteps = std::max<std::uint32_t>(a.rotationSteps, 1);
  a.takeOffStep = static_cast<std::int32_t>(rotationSteps);
  a.pitchChange = (a.rotationPitch - a.pitch) / static_cast<double>(rotationSteps);
  a.bank = a.bankChange = 0.0;
  if (!a.takeOffRun) {
    lf_takeOffRunStart(a);
  }
  lf_setPhase(a, kFsTakeOff);
  a.headingChange = 0.0;
  lf_clearCurve(a);
  if (a.landingRoll) {  // a touch-and-go
    a.landingRoll = false;
    a.approach = a.climbOut = false;
    lf_setThrottle(a, 4);
    lf_setSpoilers(a, kFullSpoilers);
    lf_setFlaps(a, 1);
  }
}

void lf_takeOffRunStart(AiAircraft& a) {
  if (a.towed) {
    gf_logError("towed aircraft takes-off?");
  }
  a.takeOffRun = true;
  lf_setThrottle(a, 0);
  lf_setSpoilers(a, 0);
  lf_setFlaps(a, 1);
  a.approach = a.climbOut = false;
  a.below10000 = false;  // the light bands start afresh with the departure
  lf_queueLights(a, kLightsTakeOff);
  a.advanceLimit = kRaisedLimitSteps;
  a.delayLimit = kTakeOffDelayLimitSteps;
  if (!a.airline.empty()) {
    lf_learnSoftOption(a, true);
  }
}

void lf_landingRollStep(AiAircraft& a) {
  const double turned = std::fabs(gf_angleDiff(lf_wrapHeading(a.touchdownHeading),
                                               lf_wrapHeading(a.heading))) *
                        kRadToDeg;
  if (turned < kTurnedOffDeg) {
    if (a.stream.at(0).groundSpeed <= kRollOutSpeedKt) {
      lf_setSpoilers(a, 0);
      if (a.category != kCatLight) {
        lf_writeSpoilersAndLevers(a, false);
      }
      lf_setFlaps(a, 1);
    }
    return;
  }
  lf_setFlaps(a, 0);  // turned off the runway
  a.landingRoll = false;
  a.touchdownHeading = 0.0;
  lf_setThrottle(a, lf_idleThrottle(a));
  lf_setSpoilers(a, 0);
  if (a.category != kCatLight) {
    lf_writeSpoilersAndLevers(a, false);
  }
  lf_queueLights(a, kLightsTaxiIn);
}
