// Air motion: the set-up of an airborne leg. The phase, the airspeed and vertical speed to send,
// the altitude change per step (climb, level, descent to the touchdown report, descent by QNH),
// the pitch that follows the vertical speed, heading and bank changes, and the configuration by
// height: lights above and below 10000 ft, throttle, gear and flaps for climb, cruise, approach
// and go-around. The per-step mover applies what is set here. Worker thread.
#include <algorithm>
#include <cmath>

#include "airports/airports.h"
#include "intake/intake.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/records/records.h"

namespace {

constexpr double kTenThousandFt = 10000.0;
constexpr double kLowFt = 1000.0;            // below this height above ground the climb floor holds
constexpr double kMinClimbStepFt = 0.2;      // feet per step
constexpr double kHurryFpm = 400.0;          // the climb floor's most above the reports' rate
constexpr double kBelowReportsFt = 100.0;    // a helicopter's approach: most below a level pair
constexpr double kLevelVerticalSum = 100.0;  // feet per minute: two reports' sum that counts as level
constexpr double kTouchdownFpm = -601.0;
constexpr double kMinLiftFpm = 601.0;
constexpr double kFpmPerFtPerStep = 6000.0;  // ft/min to feet per step
constexpr std::size_t kShortenFirstK = 3;
constexpr std::size_t kShortenLastK = 10;
constexpr double kPitchNoseUp = -0.05235987755982989;  // 3 degrees nose up in level flight
constexpr double kMaxClimbForPitchFpm = 2400.0;
constexpr double kMaxDescentForPitchFpm = -3000.0;
constexpr double kPitchDegPer600Fpm = 2.2;
constexpr double kRollHeightApproachFt = 2000.0;  // below this a reported heading is followed
constexpr double kRollHeightFt = 1000.0;
constexpr double kHighConfigLargeFt = 2050.0;  // above this: high configuration (jets)
constexpr double kHighConfigSmallFt = 625.0;   // ... (the other categories)
constexpr double kGearUpFt = 2400.0;
constexpr double kFlapsOneFt = 2000.0;
constexpr double kDescendingFpm = -250.0;
constexpr double kClimbingFpm = 400.0;
constexpr double kLevelFpm = 100.0;
constexpr double kClimbOutFpm = 600.0;
constexpr double kApproachRangeNm = 10.0;
constexpr double kQnhLowFt = 100.0;
constexpr double kQnhLowFpm = -600.0;
constexpr double kStandardQnh = 1013.0;
constexpr double kFpmPerHpa = 6.0;

bool lf_nearPark(const AiAircraft& a) {
  return !g_parkAirportIcao.empty() &&
         gf_distanceNm(lf_pos(a), g_parkAirportPos) <= kApproachRangeNm;
}

// The altitude change of a leg between two airborne reports.
void lf_altitudeBetweenAirborne(AiAircraft& a, double dt) {
  const PositionReport& f = a.stream.at(0);
  PositionReport& s = a.stream.at(1);
  if (a.approach) {
    // Level reports on the approach: the aircraft goes on down towards the runway by QNH (its
    // reports may read high). A helicopter only with a landing ahead and at most 100 ft below
    // them: without one, it flies low over the fields as reported.
    const bool helicopter = a.category == kCatRotorcraft;
    if (f.altitude == s.altitude && a.heightAboveGround <= kLowFt &&
        f.verticalSpeed + s.verticalSpeed <= kLevelVerticalSum &&
        (!helicopter || lf_landingAhead(a))) {
      const double v = lf_qnhDescentRate(a);
      s.verticalSpeed = a.climbRate = v;
      a.altitudeChange = v / kFpmPerFtPerStep;
      if (helicopter) {
        const double lowest = s.altitude - kBelowReportsFt;
        a.altitudeChange = std::max(a.altitudeChange, (lowest - a.altitude) / dt);
      }
    } else {
      a.altitudeChange = (s.altitude - a.altitude) / dt;
    }
    return;
  }
  const double c = (s.altitude - a.altitude) / dt;
  // The climb floor only hurries a climb on. Altitudes come in 25-ft steps, so a descending
  // aircraft meets level pairs of reports; the altitude summed step by step ends a hair below
  // such a pair, and the floor would carry it far above.
  const bool climbs = c > 0.0 && s.altitude > f.altitude;
  if (a.heightAboveGround > kLowFt || !climbs) {
    a.altitudeChange = std::min(c, a.climbStep);
  } else {
    // No more than 400 ft/min above the rate reported or needed; the per-step mover levels the
    // climb off at the report.
    const double hurried = (std::max(s.verticalSpeed, c * kFpmPerFtPerStep) + kHurryFpm) /
                           kFpmPerFtPerStep;
    a.altitudeChange = std::min(a.climbStep, std::max(c, std::min(kMinClimbStepFt, hurried)));
  }
}

// The altitude change of a leg between two ground reports of an airborne aircraft.
void lf_altitudeBetweenGround(AiAircraft& a) {
  double sum = 0.0;
  for (const PositionReport& r : a.stream) {
    sum += r.verticalSpeed;
  }
  if (!a.approach && sum > kLevelVerticalSum) {
    const std::size_t lastK = std::min(a.stream.size() - 1, kShortenLastK);
    bool shortened = false;
    for (std::size_t k = kShortenFirstK; k <= lastK && !shortened; ++k) {
      shortened = lf_shortenStreamTo(a, k);
    }
    if (!shortened) {
      PositionReport& s = a.stream.at(1);
      s.verticalSpeed = std::max(s.verticalSpeed, kMinLiftFpm);
      a.climbRate = s.verticalSpeed;
      a.altitudeChange = s.verticalSpeed / kFpmPerFtPerStep;
    }
  } else {
    const double v = lf_qnhDescentRate(a);
    a.stream.at(1).verticalSpeed = a.climbRate = v;
    a.altitudeChange = v / kFpmPerFtPerStep;
  }
  lf_setGear(a, true);
}

void lf_altitudeChange(AiAircraft& a, double dt) {
  const PositionReport& f = a.stream.at(0);
  PositionReport& s = a.stream.at(1);
  if (f.airborne && s.airborne) {
    lf_altitudeBetweenAirborne(a, dt);
  } else if (f.airborne) {  // towards the touchdown report
    if (!g_parkAirportIcao.empty() && g_qnh.load() <= kStandardQnh) {
      a.altitudeChange = (g_parkAirportElev - a.altitude) / dt;
    } else {
      const double v = g_qnh.load() <= kStandardQnh ? kTouchdownFpm : lf_qnhDescentRate(a);
      s.verticalSpeed = a.climbRate = v;
      a.altitudeChange = v / kFpmPerFtPerStep;
    }
    lf_setGear(a, true);
  } else if (s.airborne) {
    a.altitudeChange =
        s.altitude > a.altitude ? std::min((s.altitude - a.altitude) / dt, a.climbStep) : 0.0;
  } else {
    lf_altitudeBetweenGround(a);
  }
}

void lf_pitchChange(AiAircraft& a, double dt) {
  double w = a.stream.at(1).verticalSpeed;
  w = w >= 0.0 ? std::min(w, kMaxClimbForPitchFpm) : std::max(w, kMaxDescentForPitchFpm) * 0.5;
  const double target = kPitchNoseUp - (w / 600.0) * kPitchDegPer600Fpm * kDegToRad;
  const double limit = g_catMaxPitchChange.at(a.category);
  a.pitchChange = std::clamp((target - a.pitch) / dt, -limit, limit);
}

// The turn of the leg, radians in (-pi, pi], positive towards higher headings.
double lf_legTurn(const AiAircraft& a) {
  const PositionReport& s = a.stream.at(1);
  const double rollHeight = a.approach ? kRollHeightApproachFt : kRollHeightFt;
  if (s.rollPresent && s.trueHeadingPresent && s.headingPresent &&
      a.heightAboveGround < rollHeight) {
    return gf_angleDiff(a.heading, lf_wrapHeading(s.trueHeading));
  }
  if (a.stream.size() < 3) {
    // Sparse reports seldom leave three in the stream: head for the one ahead.
    return gf_angleDiff(a.heading, gf_bearing(lf_pos(a), lf_pos(s)));
  }
  return gf_angleDiff(a.heading, gf_bearing(lf_pos(s), lf_pos(a.stream[2])));
}

void lf_highConfiguration(AiAircraft& a) {
  lf_decayLimits(a);
  lf_sendEvent(a, kEventCabinLightsSet, 1);
  a.takeOffRun = false;
  a.approach = false;
  const double v = a.stream.at(0).verticalSpeed;
  if (v <= kDescendingFpm && a.throttleStep == 3) {
    lf_setThrottle(a, a.category == kCatRotorcraft ? 4 : 2);
  } else if (v > kClimbingFpm && a.throttleStep == 4 && a.category != kCatRotorcraft) {
    lf_setThrottle(a, 3);
  }
  if (a.heightAboveGround >= kGearUpFt) {
    lf_setGear(a, false);
    lf_setFlaps(a, 0);
  } else if (v <= kLevelFpm) {
    if (a.heightAboveGround >= kFlapsOneFt) {
      if (a.flapsStep == 0) lf_setFlaps(a, 1);
    } else if (a.flapsStep == 0 || a.flapsStep == 1) {
      lf_setFlaps(a, a.flapsStep + 1);
    }
  }
}

void lf_lowConfiguration(AiAircraft& a) {
  lf_sendEvent(a, kEventCabinLightsSet, 0);
  const double v = a.stream.at(0).verticalSpeed;
  const bool nearPark = lf_nearPark(a);
  const bool climbOut =
      v > kClimbOutFpm || (v > kDescendingFpm && v <= kClimbOutFpm && a.approach && !nearPark);
  if (climbOut) {
    if (!a.climbOut) {  // go-around or climb-out, once
      lf_decayLimits(a);
      lf_setThrottle(a, 4);
      lf_setGear(a, false);
      a.climbOut = true;
      a.approach = false;
      lf_setFlaps(a, 0);
      a.flareStage = 0;
    }
  } else if (v <= kDescendingFpm && !a.approach && nearPark) {
    lf_setThrottle(a, a.category == kCatRotorcraft ? 4 : 1);
    lf_setFlaps(a, 3);
    lf_setGear(a, true);
    g_newLiveIds.push_back(a.key);
    a.approach = true;
    a.climbOut = false;
    a.standPlace = {};  // a stand is chosen after the landing
    a.standId = 0;
    a.standFlag = false;
    a.delayLimit = a.takeOffRun ? kTakeOffDelayLimitSteps : kRaisedLimitSteps;
    a.advanceLimit = kRaisedLimitSteps;
    a.takeOffStep = 1;
  }
}

void lf_configuration(AiAircraft& a) {
  if (a.stream.at(0).altitude < kTenThousandFt) {
    if (!a.below10000) {
      a.below10000 = true;
      a.above10000 = false;
      lf_queueLights(a, kLightsBelow10000);
    }
    const bool jet =
        a.category == kCatBuzjets || a.category == kCatLarge || a.category == kCatHeavy;
    if (a.heightAboveGround > (jet ? kHighConfigLargeFt : kHighConfigSmallFt)) {
      lf_highConfiguration(a);
    } else {
      lf_lowConfiguration(a);
    }
    return;
  }
  if (!a.above10000) {  // cruise
    a.above10000 = true;
    a.below10000 = false;
    lf_queueLights(a, kLightsCruise);
    lf_setThrottle(a, a.category == kCatRotorcraft ? 4 : 3);
    lf_setGear(a, false);
    lf_setFlaps(a, 0);
  }
}

}  // namespace

void lf_airLegSetup(AiAircraft& a) {
  if (a.fs != kFsTakeOff && a.fs != kFsFlying) {
    lf_setPhase(a, kFsFlying);
  }
  {
    const PositionReport& s = a.stream.at(1);
    a.motionAirspeed = s.trueAirspeed;
    a.climbRate = s.verticalSpeed;
  }
  if (a.flareStage == 0) {
    lf_altitudeChange(a, static_cast<double>(lf_stepsUntil(a.stream.at(1).dueTime)));
  }
  // The stream may have been shortened: from here on the second report is the new one.
  const double dt = static_cast<double>(lf_stepsUntil(a.stream.at(1).dueTime));
  if (a.flareStage == 0 && a.fs != kFsTakeOff) {
    lf_pitchChange(a, dt);
  }
  const double turn = lf_legTurn(a);
  a.headingChange = turn / dt;
  const PositionReport& s = a.stream.at(1);
  if (s.rollPresent) {
    a.bankChange = (s.roll - a.bank) / dt;
  } else {
    lf_bankFromTurn(a, turn, static_cast<std::int64_t>(dt));
  }
  lf_configuration(a);
}

void lf_climbRestOfLeg(AiAircraft& a) {
  a.altitudeChange = 0.0;
  if (a.stream.empty() || !a.stream.front().airborne) return;
  const PositionReport& s = a.stream.front();
  const double dt = static_cast<double>(lf_stepsUntil(s.dueTime));
  a.altitudeChange = std::min((s.altitude - a.altitude) / dt, a.climbStep);
}

double lf_qnhDescentRate(const AiAircraft& a) {
  if (a.heightAboveGround <= kQnhLowFt) {
    return kQnhLowFpm;
  }
  const double mean = (a.stream.at(0).verticalSpeed + a.stream.at(1).verticalSpeed) / 2.0;
  return std::min(mean - (g_qnh.load() - kStandardQnh) * kFpmPerHpa, kTouchdownFpm);
}

void lf_bankFromTurn(AiAircraft& a, double turn, std::int64_t dt) {
  const double maxBank = g_catMaxBank.at(a.category);
  const double maxChange = g_catMaxBankChange.at(a.category);
  const double b = std::clamp(turn, -maxBank, maxBank);
  // A turn towards higher headings banks to negative values.
  a.bankChange = std::clamp((-b - a.bank) / static_cast<double>(dt), -maxChange, maxChange);
}

bool lf_shortenStreamTo(AiAircraft& a, std::size_t k) {
  if (k < 2 || a.stream.size() < k || !a.stream[k - 1].airborne) {
    return false;
  }
  a.stream.erase(a.stream.begin() + 1, a.stream.begin() + static_cast<std::ptrdiff_t>(k - 1));
  const double legNm = gf_distanceNm(lf_pos(a.stream[0]), lf_pos(a.stream[1]));
  lf_retimeSecond(a, lf_plannedSteps(legNm, lf_speedEstimate(a)));
  const PositionReport& s = a.stream[1];
  const double dt = static_cast<double>(lf_stepsUntil(s.dueTime));
  a.altitudeChange =
      s.altitude > a.altitude ? std::min((s.altitude - a.altitude) / dt, a.climbStep) : 0.0;
  return true;
}
