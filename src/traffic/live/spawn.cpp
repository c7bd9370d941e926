// Spawning a live aircraft: its livery, its first phase (flying, taxiing, or parked at the stand
// it stands on at the park airport), its first pose, and the hand-over of its key for the create
// request. Worker thread.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "liveries/livery_matching.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr double kParkAirportNearNm = 5.0;
constexpr double kBornParkedSearchNm = 0.029697624190064796;  // 55 m
constexpr double kCrawlKt = 5.0;
constexpr double kCrawlNm = 0.018898488120950324;  // 35 m
constexpr double kGroundPitch = 0.010471975511965976;  // 0.6 degrees
constexpr double kAirPitch = -0.05235987755982989;     // 3 degrees nose up
constexpr double kPitchPerClimbStep = 2.2 * kDegToRad; // per 600 ft/min of climb
constexpr double kClimbStepFpm = 600.0;
constexpr double kMaxClimbFpm = 2400.0;
constexpr double kMaxDescentFpm = -3000.0;
constexpr char kGhostMark = '_';

}  // namespace

bool lf_chooseLivery(AiAircraft& a) {
  if (a.livery.empty()) {
    if (const auto known = g_liveryById.find(a.key); known != g_liveryById.end()) {
      if (gf_isFailedLivery(known->second)) {
        g_liveryById.erase(known);
      } else {
        a.livery = known->second;
      }
    }
  }
  if (a.livery.empty()) {
    gf_matchLivery(a);
    if (!a.livery.empty()) g_liveryById[a.key] = a.livery;
  }
  if (!a.livery.empty()) return true;
  if (!a.registration.empty()) g_noMatches.insert(gf_identPath(a));
  return false;
}

namespace {

void lf_bornParked(AiAircraft& a, ParkPos& stand) {
  PositionReport& front = a.stream.front();
  if (!front.samePosition) {
    front.samePosition = true;
    front.groundSpeed = 0.0;
  }
  a.standPlace = {stand.lat, stand.lon, stand.heading};
  a.standId = stand.number;
  a.standFlag = stand.cargo;
  lf_setPhase(a, kFsParked);
  stand.liveOccupied = true;
  a.parkedTime = gf_nowTicks100ns();
  a.standReports = 0;
  a.standMoves = 0;
  lf_learnStandCargo(a, stand);
  a.stream.resize(1);
  front.lat = stand.lat;
  front.lon = stand.lon;
  front.track = stand.heading * kRadToDeg;
  const DayHh now = g_dayHhNow.load();
  if (lf_addRealParkPosOption(stand.number, a, false, now, false)) {
    lf_storeParkedKeySlot(a.key, now.hh);
  }
  lf_parkLimits(true);
}

// Phase of an aircraft born on the ground: taxi, parked at its stand, or birth on the reserved
// or the user's stand. False when the decision ends here (the front report was dropped, or the
// aircraft was).
bool lf_groundPhase(AiAircraft& a) {
  const PositionReport& front = a.stream.front();
  const bool nearPark = !g_parkStands.empty() && !g_parkAirportIcao.empty() &&
                        gf_distanceNm(lf_pos(front), g_parkAirportPos) <= kParkAirportNearNm;
  LatLon from = lf_pos(front);
  if (nearPark && !front.samePosition) {
    const PositionReport& last = a.stream.back();
    const bool crawls = a.stream[1].groundSpeed <= kCrawlKt &&
                        gf_distanceNm(lf_pos(front), lf_pos(last)) <= kCrawlNm;
    from = lf_pos(last);
    if (!crawls) {
      lf_setPhase(a, kFsTaxi);
      return true;
    }
  }
  const StandIter stand = nearPark ? gf_closestFreeStand(from, a, kBornParkedSearchNm, front.samePosition)
                                   : g_parkStands.end();
  if (stand == g_parkStands.end()) {
    if (nearPark && a.stream[1].samePosition) {
      a.stream.pop_front();  // tried again on the next step
      return false;
    }
    lf_setPhase(a, kFsTaxi);
    return true;
  }
  if (lf_standRefused(*stand)) return true;  // created where it stands, in phase birth
  if (!lf_mayTakeStand(stand->number, a.callsign) || lf_closeNeighbourOccupied(*stand, a)) {
    a.removedFromBuffer = true;
    return false;
  }
  lf_clearStandOfStatics(*stand, a);
  lf_bornParked(a, *stand);
  return true;
}

double lf_firstPitch(const PositionReport& front) {
  if (!front.airborne) return kGroundPitch;
  const double v = std::isfinite(front.verticalSpeed) ? front.verticalSpeed : 0.0;
  const double limited = v >= 0.0 ? std::min(v, kMaxClimbFpm) : std::max(v, kMaxDescentFpm) * 0.5;
  return kAirPitch - limited / kClimbStepFpm * kPitchPerClimbStep;
}

double lf_firstHeading(const AiAircraft& a) {
  const PositionReport& front = a.stream.front();
  double heading = 0.0;
  if (a.respawnHeading) {
    heading = *a.respawnHeading;
  } else if (a.fs == kFsParked) {
    heading = a.standPlace.heading;
  } else if (a.stream.size() >= 2 && !a.stream[1].samePosition) {
    heading = gf_bearing(lf_pos(front), lf_pos(a.stream[1]));
  } else {
    heading = std::isfinite(front.track) ? front.track * kDegToRad : 0.0;
  }
  if (heading > kTwoPi) heading -= kTwoPi;
  if (heading < 0.0) heading += kTwoPi;
  return heading;
}

double lf_orZero(double v) { return std::isfinite(v) ? v : 0.0; }

// The first pose from the front report; the key goes to the create requests.
void lf_handOver(AiAircraft& a) {
  g_newLiveIds.push_back(a.key);
  lf_firstPose(a);
  gf_setState(a, kStAdding2Sim);
  a.heldBack = false;
  g_liveToCreate.push_back(a.key);
  if (a.callsign.empty() || a.callsign.back() != kGhostMark) lf_ghostCheck(a.callsign);
}

}  // namespace

void lf_firstPose(AiAircraft& a) {
  const PositionReport& front = a.stream.front();
  a.lat = front.lat;
  a.lon = front.lon;
  a.altitude = lf_orZero(front.altitude);
  a.verticalSpeed = lf_orZero(front.verticalSpeed) / 60.0;
  a.trueAirspeed = lf_orZero(front.trueAirspeed);
  a.bank = front.rollPresent ? front.roll : 0.0;
  a.pitch = lf_firstPitch(front);
  a.heading = lf_firstHeading(a);
}

void spawnLiveAc(AiAircraft& a) {
  if (a.stream.size() < 2) {
    gf_logError(fmt::format("{} sz:{}", "spawnLiveAc", a.stream.size()));
    return;
  }
  PositionReport& front = a.stream[0];
  front.samePosition = a.stream[1].samePosition;
  if (front.samePosition) {
    front.groundSpeed = a.stream[1].groundSpeed = 0.0;
    if (a.stream.size() >= 3 && a.stream[2].samePosition) a.stream[2].groundSpeed = 0.0;
  }
  if (a.fs == kFsBirth) {
    if (!lf_chooseLivery(a)) {
      a.removedFromBuffer = true;
      return;
    }
    if (front.airborne) {
      lf_setPhase(a, kFsFlying);
    } else if (!lf_groundPhase(a)) {
      return;
    }
  }
  lf_handOver(a);
}
