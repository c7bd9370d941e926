// Retiming the report a leg flies to: the due times RealTraffic's reports carry say when the real
// aircraft was there, not how long this one needs to get there. A leg is planned at a plausible
// speed and its end moved towards that plan within the aircraft's retiming limits; in turns the
// turn step is scaled so that the heading change fits the leg. Worker thread.
#include <algorithm>
#include <cmath>

#include "traffic/motion/motion_internal.h"
#include "traffic/records/records.h"

namespace {

constexpr double kSlowTurnLimitDeg = 45.0;    // turns up to this are slowed down to fit the leg
constexpr double kSlowTurnFactor = 1.2;       // ... when the leg is this much longer than the turn
constexpr double kTurnStepsPerDegree = 10.0;  // scale of the slowed turn (as the motion has it)
constexpr double kTurnSpreadMetres = 30.0;
constexpr double kWideTurnCapDeg = 90.0;      // wider turns are sped up at most this much
constexpr double kWideTurnUnitDeg = 30.0;
constexpr std::int32_t kWideTurnLimitSteps = 2000;
constexpr double kTurnTimeScale = 100.0;      // A / turn step / 100: steps of the turn, roughly

double lf_legNm(const AiAircraft& a) {
  return gf_distanceNm(lf_pos(a.stream.at(0)), lf_pos(a.stream.at(1)));
}

// Scales the turn step so that a turn of angleDeg fits the leg of p steps.
void lf_fitTurnStep(AiAircraft& a, double angleDeg, std::int64_t p, double legNm) {
  const double turnSteps = std::max(std::round(angleDeg / a.turnStep / kTurnTimeScale), 1.0);
  const double k = static_cast<double>(p) / turnSteps;
  if (angleDeg <= kSlowTurnLimitDeg) {
    if (k >= kSlowTurnFactor) {
      const double f = std::min({k * kTurnStepsPerDegree / angleDeg,
                                 k * kTurnSpreadMetres * kMetresToNm / legNm, k});
      if (f != 0.0) {
        a.turnStep /= f;
      }
    } else if (k != 0.0) {
      a.turnStep /= k;
    }
    return;
  }
  a.turnStep *= std::min(k, std::min(angleDeg, kWideTurnCapDeg) / kWideTurnUnitDeg);
  if (angleDeg >= kWideTurnCapDeg) {
    a.advanceLimit = std::max(a.advanceLimit, kWideTurnLimitSteps);
    a.delayLimit = std::max(a.delayLimit, kWideTurnLimitSteps);
  }
}

}  // namespace

double lf_speedEstimate(const AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  const PositionReport& s = a.stream.at(1);
  if (f.groundSpeed == 0.0 && s.groundSpeed == 0.0) {
    std::int64_t dt = static_cast<std::int64_t>(s.dueTime) - f.dueTime;
    if (dt < kMinLegSteps + 1) {
      dt = kMinLegSteps;
    }
    return std::max(lf_legNm(a) * kStepsPerHour / static_cast<double>(dt), 1.0);
  }
  return (f.groundSpeed + s.groundSpeed) / 2.0;
}

void lf_retimeSecond(AiAircraft& a, std::int64_t plannedSteps) {
  PositionReport& s = a.stream.at(1);
  const std::int64_t now = lf_stepNow();
  const std::int64_t due = s.dueTime;
  if (a.predictedReports > 0) {
    s.dueTime = lf_dueTime(std::max(now + plannedSteps, now));  // predicted: no limits
    return;
  }
  const std::int64_t planned = now + plannedSteps;
  const std::int64_t retimed = planned > due + a.delayLimit ? due + a.delayLimit
                                                            : std::max(planned, due - a.advanceLimit);
  s.dueTime = lf_dueTime(std::max(retimed, now));  // never in the past
}

void nextPosAir(AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  const PositionReport& s = a.stream.at(1);
  if (s.samePosition) {
    if (a.category == kCatRotorcraft) {
      lf_turnAndRetime(a);
    }
    return;
  }
  if (a.approach && !s.airborne) {
    // The touchdown report: planned at the approach speed.
    const double v = f.groundSpeed > 0.0 ? f.groundSpeed : 100.0;
    lf_retimeSecond(a, lf_plannedSteps(lf_legNm(a), v));
    return;
  }
  lf_retimeSecond(a, lf_plannedSteps(lf_legNm(a), lf_speedEstimate(a)));
}

void lf_turnAndRetime(AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  PositionReport& s = a.stream.at(1);
  if (!s.samePosition) {
    a.turnStep = a.pitchRate;  // the base turn step
    const double legNm = lf_legNm(a);
    const std::int64_t p = lf_plannedSteps(legNm, lf_speedEstimate(a));
    if (lf_curveUnderWay(a) || a.taxiTurn) {
      const double angle = a.taxiTurn ? a.taxiTurnAngle : a.curve.turnAngle;
      if (angle != 0.0 && legNm > 0.0) {
        lf_fitTurnStep(a, angle, p, legNm);
      }
    }
    lf_retimeSecond(a, p);
    return;
  }
  // The aircraft is to stand: for as long as the reports stood, within the limits.
  const std::int64_t now = lf_stepNow();
  const std::int64_t dt =
      std::max<std::int64_t>(static_cast<std::int64_t>(s.dueTime) - f.dueTime, kMinLegSteps);
  std::int64_t c = now + std::max<std::int64_t>(f.dueTime - now + dt, kMinLegSteps);
  if (a.predictedReports <= 0) {
    const std::int64_t due = s.dueTime;
    c = c > due + a.delayLimit ? due + a.delayLimit : std::max(c, due - a.advanceLimit);
  }
  s.dueTime = lf_dueTime(std::max(c, now));
}
