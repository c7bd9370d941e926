// Small pieces every motion file uses: engine time in steps, planned leg lengths, longitude and
// heading wrapping, phase changes, the curve's reset and the retiming limits' decay. Worker.
#include <algorithm>
#include <cmath>
#include <limits>

#include "intake/intake.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/records/records.h"

std::int64_t lf_stepNow() { return static_cast<std::int64_t>(g_tickCount.load()); }

std::int64_t lf_stepsUntil(std::int32_t due) {
  return std::max<std::int64_t>(due - lf_stepNow(), kMinLegSteps);
}

std::int64_t lf_plannedSteps(double distNm, double speedKt) {
  // A leg longer than a year of steps is no plan; the retiming limits take over from here.
  constexpr double kLongestLegSteps = 3.2e9;
  const double steps = distNm * kStepsPerHour / speedKt;
  if (!std::isfinite(steps) || steps < 0.0) {
    return kMinLegSteps;
  }
  return std::max<std::int64_t>(std::llround(std::min(steps, kLongestLegSteps)), kMinLegSteps);
}

std::int32_t lf_dueTime(std::int64_t steps) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      steps, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

double lf_lonDelta(double a, double b) {
  double d = std::remainder(b - a, 360.0);  // [-180, 180]
  if (d == -180.0) {
    d = 180.0;
  }
  return d;
}

double lf_wrapLongitude(double lon) {
  return lon >= -180.0 && lon <= 180.0 ? lon : std::remainder(lon, 360.0);
}

double lf_wrapHeading(double h) {
  h = std::fmod(h, kTwoPi);
  if (h < 0.0) {
    h += kTwoPi;
  }
  return h < kTwoPi ? h : 0.0;
}

LatLon lf_pos(const PositionReport& r) { return {r.lat, r.lon}; }
LatLon lf_pos(const AiAircraft& a) { return {a.lat, a.lon}; }

void lf_setPhase(AiAircraft& a, std::uint32_t fs) {
  if (a.fs != fs) {
    a.previousFs = a.fs;
    a.fs = fs;
  }
}

bool lf_curveUnderWay(const AiAircraft& a) {
  return !std::isnan(a.curve.p1East) && !std::isnan(a.curve.p1North);
}

void lf_clearCurve(AiAircraft& a) {
  a.curve.p1East = a.curve.p1North = kNotReported;
  a.curve.p2East = a.curve.p2North = kNotReported;
  a.curve.t = 0.0;
}

bool lf_landingAhead(const AiAircraft& a) {
  return a.predictedReports != 0 ||
         std::any_of(a.stream.begin(), a.stream.end(),
                     [](const PositionReport& r) { return !r.airborne; });
}

void lf_decayLimits(AiAircraft& a) {
  for (std::int32_t* limit : {&a.advanceLimit, &a.delayLimit}) {
    if (*limit > kBaseLimitSteps) {
      *limit = std::max(*limit - kLimitDecaySteps, kBaseLimitSteps);
    }
  }
}

PositionReport lf_groundReport(const LatLon& at, double groundSpeedKt, std::int32_t due) {
  PositionReport r;
  r.lat = at.lat;
  r.lon = at.lon;
  r.altitude = 0.0;
  r.groundSpeed = groundSpeedKt;
  r.verticalSpeed = 0.0;
  r.trueAirspeed = groundSpeedKt;
  r.dueTime = due;
  return r;
}
