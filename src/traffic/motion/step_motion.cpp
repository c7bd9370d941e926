// The per-step mover between reports: straight along the per-step velocity or along a quadratic
// curve through the next report, the heading turning towards its target, and the attitude with
// the take-off sequence and the flare. Also the curve's set-up and the leg splits. Worker thread;
// the mover runs for every active aircraft on every 10 ms step and allocates nothing.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/records/records.h"

namespace {

constexpr double kTurnDeadBand = 0.5 * kDegToRad;  // closer to the target than this: no turn
constexpr double kCurveLastT = 0.999999;           // the curve never reports its exact end
constexpr double kSpeedSplitKt = 5.0;
constexpr double kSpeedSplitMetres = 100.0;
constexpr double kMaxFlarePitch = -0.06981317007977318;  // 4 degrees nose up
constexpr double kHeightForFlareFt = 400.0;
constexpr double kHeightForFlyingFt = 800.0;
constexpr std::int32_t kGearUpStep = -300;
constexpr std::int32_t kClimbPhaseSteps = 100;  // a tenth, a fifth, then half of the climb rate
constexpr double kHelicopterClearFt = 50.0;      // a helicopter lifting off flies from here on

// One stage of the flare: below static CG height + cgMarginFt the descent per step becomes
// altitudeChange and the front report shows the vertical speed.
struct FlareStage {
  double cgMarginFt;
  double altitudeChange;  // feet per step
  double verticalSpeedFpm;
};
constexpr FlareStage kFlareStages[] = {{kFlareStartCgMarginFt, -0.1, -601.0},
                                       {20.0, -0.07500000000000001, -450.0},
                                       {10.0, -0.05, -300.0},
                                       {3.0, -0.025, -150.0}};
constexpr std::int32_t kFlareThrottleStage = 2;  // the throttle closes in this stage

// Metres east and north of the origin; longitude differences take the short way round.
void lf_offsets(double originLat, double originLon, const PositionReport& r, double& east,
                double& north) {
  const double lat = originLat > 180.0 ? originLat - 360.0 : originLat;
  north = (r.lat - originLat) * kMetresPerDegreeLat;
  east = lf_lonDelta(originLon, r.lon) * kMetresPerDegreeLat * std::cos(lat * kDegToRad);
}

// Turns the heading by at most the turn step towards the target, the short way round, never
// past it. The heading and target are in [0, 2 pi).
void lf_turnTowards(AiAircraft& a, double target) {
  const double diff = gf_angleDiff(a.heading, target);
  if (std::fabs(diff) <= kTurnDeadBand) {
    return;
  }
  const double step = std::min(a.turnStep, std::fabs(diff));
  a.heading = lf_wrapHeading(a.heading + (diff > 0.0 ? step : -step));
}

// A climb levels off at the report it flies to: the climb floor may bring it there early.
void lf_levelOffAtReport(AiAircraft& a) {
  if (a.altitudeChange <= 0.0 || a.stream.empty()) return;
  const PositionReport& s = a.stream.front();
  if (s.airborne && a.altitude > s.altitude) a.altitude = s.altitude;
}

// A helicopter's take-off: it climbs along its reports from the first step, no higher than the
// one it flies to, and flies once clear of the ground or there. (It has no climb-out to fly, and
// the simulator may still see it on the ground: until then, the take-off holds.)
void lf_helicopterClimbStep(AiAircraft& a) {
  a.onGround = false;
  a.altitude += a.altitudeChange;
  lf_levelOffAtReport(a);
  const bool atReport = !a.stream.empty() && a.stream.front().airborne &&
                        a.altitude >= a.stream.front().altitude;
  if (a.heightAboveGround >= kHelicopterClearFt || atReport) {
    lf_setThrottle(a, 4);
    lf_setPhase(a, kFsFlying);
    a.takeOffStep = 1;
    a.pitchChange = 0.0;
  }
}

void lf_attitude(AiAircraft& a) {
  if (a.fs == kFsTakeOff) {
    lf_takeOffStep(a);
    return;
  }
  // The flare sets the aircraft down. A helicopter only with a landing ahead, never on reports in
  // the air; an aeroplane's reports on the runway may read high and stay in the air.
  if (a.heightAboveGround <= kHeightForFlareFt && a.approach && !a.onGround &&
      (a.flareStage > 0 || a.category != kCatRotorcraft || lf_landingAhead(a))) {
    lf_flareStep(a);
  }
  if (a.noseLowering) {
    a.pitch += a.pitchChange;
    if (a.pitch > a.groundPitch) {
      a.pitch = a.groundPitch;
      a.pitchChange = a.bank = a.bankChange = 0.0;
      a.noseLowering = false;
      a.flareStage = 0;
    }
    a.bank += a.bankChange;
    return;
  }
  if (a.flareStage == 0) {
    if (a.onGround) {
      a.pitch = a.groundPitch;
      a.bank = 0.0;
      return;
    }
    a.pitch += a.pitchChange;
  } else {
    a.pitch = std::max(a.pitch + a.pitchChange, kMaxFlarePitch);
  }
  a.bank += a.bankChange;
  a.altitude += a.altitudeChange;
  lf_levelOffAtReport(a);
}

}  // namespace

bool lf_curvePoint(const MotionCurve& c, double t, LatLon& at, double& heading) {
  if (std::isnan(c.p1East) || std::isnan(c.p1North) || !(t >= c.start && t <= c.end)) {
    return false;
  }
  const double u = (t - c.start) / (c.end - c.start);
  if (!(u >= 0.0 && u <= 1.0)) {
    return false;
  }
  const double east = 2.0 * (1.0 - u) * u * c.p1East + u * u * c.p2East;
  const double north = 2.0 * (1.0 - u) * u * c.p1North + u * u * c.p2North;
  const double dE = 2.0 * u * (c.p2East - c.p1East) + 2.0 * (1.0 - u) * c.p1East;
  const double dN = 2.0 * u * (c.p2North - c.p1North) + 2.0 * (1.0 - u) * c.p1North;
  heading = lf_wrapHeading(std::atan2(dE, dN));
  const double lat = c.originLat > 180.0 ? c.originLat - 360.0 : c.originLat;
  at.lat = c.originLat + north / kMetresPerDegreeLat;
  at.lon = c.originLon + east / (kMetresPerDegreeLat * std::cos(lat * kDegToRad));
  return true;
}

void lf_setUpCurve(AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  const PositionReport& s = a.stream.at(1);
  PositionReport& t3 = a.stream.at(2);
  if (t3.groundSpeed == 0.0) {
    t3.groundSpeed = (f.groundSpeed + s.groundSpeed) / 2.0;
  }
  MotionCurve& c = a.curve;
  c.originLat = a.lat;
  c.originLon = a.lon;
  c.start = 0.0;
  c.end = 1.0;
  c.t = 0.0;
  lf_offsets(c.originLat, c.originLon, s, c.p1East, c.p1North);
  lf_offsets(c.originLat, c.originLon, t3, c.p2East, c.p2North);
  a.stream.erase(a.stream.begin() + 1);  // the second report only shapes the curve
}

void lf_insertMidpoint(AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  const PositionReport& s = a.stream.at(1);
  PositionReport mid = f;
  mid.lat = (f.lat + s.lat) / 2.0;
  mid.lon = lf_wrapLongitude(f.lon + lf_lonDelta(f.lon, s.lon) / 2.0);
  mid.groundSpeed = (f.groundSpeed + s.groundSpeed) / 2.0;
  mid.altitude = (f.altitude + s.altitude) / 2.0;
  mid.airborne = mid.altitude > 0.0;
  if (!mid.airborne) {
    mid.altitude = 0.0;
  }
  mid.dueTime = lf_dueTime((static_cast<std::int64_t>(f.dueTime) + s.dueTime) / 2);
  mid.samePosition = false;
  a.stream.insert(a.stream.begin() + 1, mid);
}

void lf_splitAtSpeedChange(AiAircraft& a) {
  const PositionReport& f = a.stream.at(0);
  const PositionReport& s = a.stream.at(1);
  if ((f.groundSpeed > 0.0 || s.groundSpeed > 0.0) &&
      std::fabs(f.groundSpeed - s.groundSpeed) > kSpeedSplitKt &&
      gf_distanceNm(lf_pos(f), lf_pos(s)) * kMetresPerNm >= kSpeedSplitMetres) {
    lf_insertMidpoint(a);
  }
}

void lf_stepMotion(AiAircraft& a) {
  if (lf_curveUnderWay(a)) {
    a.curve.t = std::min(a.curve.t + a.curve.paramStep, kCurveLastT);
    LatLon at;
    double tangent = 0.0;
    if (!lf_curvePoint(a.curve, a.curve.t, at, tangent)) {
      gf_log(fmt::format("{} error in curve at index: {:.2F}", a.callsign, a.curve.t));
    } else {
      a.lat = at.lat;
      a.lon = at.lon;
      // Pushing back, the aircraft moves tail first.
      lf_turnTowards(a, a.fs == kFsPushingBack ? lf_wrapHeading(tangent + kPi) : tangent);
    }
  } else {
    const bool rolls = a.fs == kFsPushingBack || a.fs == kFsPushedBack || a.fs == kFsTaxi ||
                       a.fs == kFsParking;
    if (!rolls) {
      a.heading = lf_wrapHeading(a.heading + a.headingChange);
    } else if (a.fs == kFsParking || a.taxiTurn) {
      lf_turnTowards(a, a.bearing);
    }
    if (a.fs != kFsPushedBack) {
      a.lat += a.latStep;
      a.lon += a.lonStep;
    }
  }
  lf_attitude(a);
  a.lon = lf_wrapLongitude(a.lon);
}

void lf_takeOffStep(AiAircraft& a) {
  const std::int32_t c = --a.takeOffStep;
  if (c >= 1) {  // rotation
    a.onGround = false;
    if (a.pitch > a.rotationPitch) {
      a.pitch += a.pitchChange;
    }
    return;
  }
  a.bank += a.bankChange;
  if (a.pitch > a.climbPitch) {
    a.pitch += (a.climbPitch - a.rotationPitch) /
               static_cast<double>(std::max<std::uint32_t>(a.pitchTransitionSteps, 1));
  }
  if (a.category == kCatRotorcraft) {
    lf_helicopterClimbStep(a);
    return;
  }
  if (c > -kClimbPhaseSteps) {
    if (c < 0) {
      a.altitude += a.altitudeChange / 10.0;
    }
  } else if (c > -2 * kClimbPhaseSteps) {
    a.altitude += a.altitudeChange / 5.0;
  } else if (c > kGearUpStep) {
    a.altitude += a.altitudeChange * 0.5;
  } else if (c == kGearUpStep) {
    lf_setGear(a, false);
    a.altitude += a.altitudeChange;
  } else {
    a.altitude += a.altitudeChange;
    if (a.pitch <= a.climbPitch) {
      a.pitchChange = 0.0;
      if (a.heightAboveGround >= kHeightForFlyingFt) {
        lf_setThrottle(a, a.category == kCatRotorcraft ? 4 : 3);
        lf_setPhase(a, kFsFlying);
        a.takeOffStep = 1;
        lf_climbRestOfLeg(a);  // the take-off's climb ends with it
      }
    }
  }
}

void lf_flareStep(AiAircraft& a) {
  const std::int32_t stage = a.flareStage;
  if (stage < 0 || stage >= static_cast<std::int32_t>(std::size(kFlareStages))) {
    return;  // stage 4: the touchdown follows
  }
  const FlareStage& next = kFlareStages[stage];
  double height = a.heightAboveGround;
  if (stage == 0) {
    if (!a.flareElevation && !g_parkAirportIcao.empty()) {
      a.flareElevation = g_parkAirportElev;
    }
    const double h = a.flareElevation ? a.altitude - *a.flareElevation : a.heightAboveGround;
    a.lastFlareHeight = h;
    height = std::min(h, a.heightAboveGround);
  }
  if (a.staticCgHeight + next.cgMarginFt < height) {
    return;
  }
  if (stage == 0) {
    a.pitchChange = (kMaxFlarePitch - a.pitch) /
                    static_cast<double>(std::max<std::uint32_t>(a.flareSteps, 1));
    g_fastRangeRequest = true;
  } else {
    a.flareElevation.reset();
  }
  if (stage == kFlareThrottleStage) {
    lf_setThrottle(a, 0);
  }
  a.altitudeChange = next.altitudeChange;
  if (!a.stream.empty()) {
    a.stream.front().verticalSpeed = next.verticalSpeedFpm;
  }
  a.flareStage = stage + 1;
}
