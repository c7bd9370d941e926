// The director's cues. Each is what the replay needs of a decision another part of the engine
// makes; the comment above each says what the real engine does there.
#include "replay_cues.h"

#include <algorithm>
#include <cmath>

#include "airports/airports.h"
#include "foundation/run_state.h"
#include "shell/intake/intake.h"
#include "traffic/motion.h"

namespace replay {

namespace {

constexpr double kStaticCgFt = 8.0;
constexpr double kGroundPitchRad = 0.5 * kDegToRad;
constexpr double kOnGroundMarginFt = 0.5;
constexpr double kNoticeCeilingFt = 2500.0;
constexpr double kCrawlNm = 0.018898488120950324;
constexpr double kBornParkedSearchNm = 0.029697624190064796;
constexpr double kBornParkedFieldNm = 5.0;
constexpr double kRunStartKt = 43.0;

void lf_backToLimits(AiAircraft& a) {
  a.advanceLimit = 3000;
  a.delayLimit = a.takeOffRun ? 5000 : 3000;
}

// The stream resumes after predicted reports: the front is due now.
void lf_resume(AiAircraft& a) {
  if (a.predictedReports > 0) {
    a.predictedReports = 0;
    lf_backToLimits(a);
    a.stream.front().dueTime = static_cast<std::int32_t>(g_tickCount.load() + 1);
  }
  a.holding = false;
  a.holdStart = 0;
}

ParkPos* lf_standOf(const AiAircraft& a) {
  for (ParkPos& s : g_parkStands) {
    if (s.number == a.standId) return &s;
  }
  return nullptr;
}

// Born on a stand: the stand's pose and one report.
void lf_bornParked(AiAircraft& a, ParkPos& stand) {
  PositionReport& f = a.stream.front();
  f.samePosition = true;
  f.groundSpeed = 0.0;
  a.standPlace = {stand.lat, stand.lon, stand.heading};
  a.standId = stand.number;
  a.standFlag = stand.cargo;
  a.fs = kFsParked;
  stand.liveOccupied = true;
  a.parkedTime = gf_nowTicks100ns();
  a.stream.resize(1);
  f.lat = stand.lat;
  f.lon = stand.lon;
  f.track = stand.heading * kRadToDeg;
}

}  // namespace

// The spawn decision (lead time) and spawnLiveAc (phase, stand, first pose). The real engine
// also holds aircraft back from the user's path, keeps to MAX_LIVE, completes the identity and
// chooses the livery.
bool cueBirthPose(AiAircraft& a) {
  PositionReport& f = a.stream.front();
  const std::int64_t lead = !f.airborne && f.groundSpeed != 0.0 ? 300 : 100;
  if (static_cast<std::int64_t>(g_tickCount.load()) < f.dueTime - lead || a.stream.size() < 2) {
    return false;
  }
  f.samePosition = a.stream[1].samePosition;
  a.fs = f.airborne ? kFsFlying : kFsTaxi;
  if (!f.airborne && gf_distanceNm({f.lat, f.lon}, g_parkAirportPos) <= kBornParkedFieldNm) {
    const PositionReport& last = a.stream.back();
    const bool crawls = a.stream[1].groundSpeed <= 5.0 &&
                        gf_distanceNm({f.lat, f.lon}, {last.lat, last.lon}) <= kCrawlNm;
    if (f.samePosition || crawls) {
      const LatLon from = f.samePosition ? LatLon{f.lat, f.lon} : LatLon{last.lat, last.lon};
      const StandIter stand = gf_closestFreeStand(from, a, kBornParkedSearchNm, f.samePosition);
      if (stand != g_parkStands.end()) lf_bornParked(a, *stand);
    }
  }
  a.lat = f.lat;
  a.lon = f.lon;
  a.altitude = f.altitude;
  a.verticalSpeed = f.verticalSpeed / 60.0;
  a.bank = f.rollPresent ? f.roll : 0.0;
  const double v = f.verticalSpeed >= 0.0 ? std::min(f.verticalSpeed, 2400.0)
                                          : std::max(f.verticalSpeed, -3000.0) * 0.5;
  a.pitch = f.airborne ? -0.05235987755982989 - v / 600.0 * 2.2 * kDegToRad : 0.6 * kDegToRad;
  if (a.fs == kFsParked) {
    a.heading = a.standPlace.heading;
  } else if (!a.stream[1].samePosition) {
    a.heading = gf_bearing({f.lat, f.lon}, {a.stream[1].lat, a.stream[1].lon});
  } else {
    a.heading = std::fmod(f.track * kDegToRad + kTwoPi, kTwoPi);
  }
  a.st = kStAdding2Sim;
  g_newLiveIds.push_back(a.key);
  return true;
}

// lf_queueLiveCreate builds the request from the first pose.
CreateAcRequest cueCreateRequest(const AiAircraft& a) {
  static const std::string kTitle = "Replay A320";
  return {a.lat,          a.lon,   a.altitude, a.pitch * kRadToDeg, a.bank * kRadToDeg,
          a.heading * kRadToDeg, a.stream.back().airborne ? 0u : 1u, 0, a.callsign, kTitle,
          a.key};
}

// lf_objectIdentified and the static CG reply; the real engine activates the aircraft about 200
// steps later, with its lights, engines, throttle and flaps set.
void cueIdentified(AiAircraft& a, std::uint32_t objectId) {
  a.objectId = objectId;
  if (!a.stream.front().airborne) {
    a.onGround = true;
    a.climbRate = 0.0;
    if (a.fs == kFsParked) a.parkedSlot = g_dayHhNow.load();
  }
  a.takeOffStep = 1;
  a.staticCgHeight = kStaticCgFt;
  a.groundPitch = kGroundPitchRad;
  a.st = kStActive;
}

// decodeExisting with its tests of parked, pushing-back and pushed-back aircraft, and the
// take-off detection (read as the take-off run's start at 43 kt).
bool cueMergeReport(AiAircraft& a, PositionReport r, const Scenario& scenario, CueMemory& memory) {
  if (a.stream.empty()) return false;
  const PositionReport& last = a.stream.back();
  r.dueTime = std::max(r.dueTime, last.dueTime + 1);
  const double halfSpan = a.halfWingspan;
  if (a.fs == kFsParked || a.fs == kFsParking) {
    if (a.st != kStActive || a.fs == kFsParking) return false;
    a.reportWhileParked = true;
    const double d = gf_distanceNm({r.lat, r.lon}, {a.standPlace.lat, a.standPlace.lon});
    if (memory.firstStandDistanceNm < 0.0) memory.firstStandDistanceNm = d;
    if (d - memory.firstStandDistanceNm < 0.5 * halfSpan) return false;  // still standing
    memory.firstStandDistanceNm = -1.0;
    a.pushbackPending = true;  // lf_leaveStand, the leave path
    lf_resume(a);
    if (ParkPos* stand = lf_standOf(a)) stand->liveOccupied = false;
    r.samePosition = false;
  } else if (a.fs == kFsPushingBack) {
    const double dir = r.trueHeadingPresent ? r.trueHeading : r.track * kDegToRad;
    if (scenario.turningPushback && r.track != 0.0) {
      a.pushbackTurnKnown = true;
      a.pushbackTurnRight = gf_angleDiff(a.heading, std::fmod(dir, kTwoPi)) > 0.0;
    }
    return false;
  } else if (a.fs == kFsPushedBack) {
    const double d = gf_distanceNm({r.lat, r.lon}, {a.lat, a.lon});
    if (!((d > 2.75 * halfSpan && d > a.pushedBackDistance) || d > 6.0 * halfSpan)) {
      if (!a.holding) a.holdStart = static_cast<std::int32_t>(g_tickCount.load());
      a.holding = true;
      a.pushedBackDistance = d;
      return false;
    }
    r.samePosition = false;
    lf_resume(a);
    a.previousFs = a.fs;
    a.fs = kFsTaxi;
    a.standPlace = {};
    a.standId = 0;
  } else {
    r.samePosition = r.lat == last.lat && r.lon == last.lon;
    if (r.samePosition && (r.airborne || !a.onGround)) return false;
    if (r.samePosition) r.groundSpeed = 0.0;
    if (a.predictedReports > 0) lf_resume(a);
  }
  const bool runStarts = r.airborne || (r.groundSpeed >= kRunStartKt && last.groundSpeed >= kRunStartKt);
  if (!a.takeOffRun && !a.landingRoll && a.onGround && a.st == kStActive && a.fs == kFsTaxi &&
      runStarts) {
    lf_takeOffRunStart(a);
  }
  a.stream.push_back(r);
  return true;
}

// The aircraft-in-range reply for our own object (kind 3) as 4.115 handles it.
void cueGroundContact(AiAircraft& a) {
  const double height = a.altitude - g_parkAirportElev;
  const bool onGround = height <= a.staticCgHeight + kOnGroundMarginFt;
  if (height > kNoticeCeilingFt) return;  // no reply above 2500 ft
  if (onGround && !a.onGround && a.takeOffStep < 2) lf_touchdown(a);
  a.heightAboveGround = height;
  if (a.onGround || a.takeOffStep >= 2) a.altitude = g_parkAirportElev + a.staticCgHeight;
}

// The range request's pace: every 20th step while a touchdown waits, else every 100th.
std::int64_t cueGroundContactEvery() { return g_fastRangeRequest ? 20 : 100; }

// lf_objectRemoved.
void cueObjectRemoved(std::uint32_t objectId) {
  std::erase_if(g_liveAc, [objectId](const AiAircraft& a) { return a.objectId == objectId; });
}

// The closing sequence removes the parked aircraft and the engine's reset forgets the rest.
void cueCloseRun() {
  for (AiAircraft& a : g_liveAc) removeAircraftFromSim(a);
}

}  // namespace replay
