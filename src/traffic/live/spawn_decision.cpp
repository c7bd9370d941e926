// The spawn decision: every step, for each live aircraft still in state buffer, whether it waits,
// loses its front report, is dropped for good or goes into the simulator. It holds aircraft
// back from the user aircraft's path, keeps MAX_LIVE and the creation backlog, and completes the
// identity from the aircraft database. Worker thread.
#include <algorithm>
#include <cmath>

#include "airports/airports.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "liveries/database_queries.h"
#include "liveries/match_summary.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/records/records.h"

namespace {

constexpr std::int64_t kGroundLeadSteps = 300;  // a moving ground aircraft is decided earlier
constexpr std::size_t kMaxCreateBacklog = 10;
constexpr double kAirUserNm = 1.5;         // ground aircraft near an airborne user
constexpr double kAirUserAglFt = 1000.0;
constexpr double kAirUserSideFt = 500.0;
constexpr double kAirAircraftNm = 6.0;     // airborne aircraft near an airborne user
constexpr double kAirAircraftHeightFt = 3000.0;
constexpr double kAirAircraftSideFt = 4000.0;
constexpr double kGroundUserNm = 0.08099352051835854;  // 150 m
constexpr double kGroundUserSlowKt = 8.0;
constexpr double kGroundUserClearM = 500.0;
constexpr char kGhostMark = '_';
constexpr char kPrivateAirline[] = "PVT";

// What the decision does this step.
enum class Decision { kWait, kSkip, kDrop, kGoOn };

// A ground aircraft near the user on the ground: its reports are skipped within 150 m.
Decision lf_nearUserOnGround(const PositionReport& front, const LatLon& user) {
  const bool close = gf_distanceNm(lf_pos(front), user) < kGroundUserNm;
  return !front.airborne && g_paramCollisionUserGnd.value() && close ? Decision::kSkip
                                                                      : Decision::kGoOn;
}

// Keeps an aircraft out of the user aircraft's path while it would appear there.
Decision lf_holdBack(AiAircraft& a) {
  const UserAcData& u = g_userAcSnapshot;
  const LatLon user{u.latitude, u.longitude};
  const PositionReport& front = a.stream.front();
  if (!g_userOnGround.load()) {
    if (!g_paramCollisionUserAir.value()) return Decision::kGoOn;
    if (!front.airborne) {
      if (a.heldBack) return Decision::kSkip;
      const LatLon at{a.lat, a.lon};  // where it stood before its respawn; (0, 0) before
      const double d = gf_distanceNm(user, at);
      if (d > kAirUserNm || u.altitudeAboveGround >= kAirUserAglFt) return Decision::kGoOn;
      const double off = std::fabs(gf_angleDiff(u.heading, gf_bearing(user, at)));
      if (std::sin(off) * d * kFeetPerNm > kAirUserSideFt) return Decision::kGoOn;
    } else {
      const double d = gf_distanceNm(user, lf_pos(front));
      if (d > kAirAircraftNm || std::fabs(front.altitude - u.altitude) >= kAirAircraftHeightFt) {
        return Decision::kGoOn;
      }
      // A record that never moved has no bearing yet: the track of its last report stands in.
      const double course = a.respawnHeading ? a.bearing : a.stream.back().track * kDegToRad;
      const double off = lf_signedAngle(course - gf_bearing(user, lf_pos(front)));
      if (!(std::fabs(std::sin(off)) * d * kFeetPerNm <= kAirAircraftSideFt)) return Decision::kGoOn;
    }
    a.heldBack = true;
    return Decision::kSkip;
  }
  if (!a.heldBack) return lf_nearUserOnGround(front, user);
  if (u.groundVelocity <= kGroundUserSlowKt) {
    if (front.airborne) return Decision::kGoOn;
    const bool clear = gf_distanceNm(lf_pos(front), user) * kMetresPerNm >= kGroundUserClearM;
    if (front.groundSpeed <= kGroundUserSlowKt && clear) return lf_nearUserOnGround(front, user);
  }
  return Decision::kSkip;
}

// More than 10 creations wait: requests to be handed to the link, and those still to be built.
bool lf_createBacklogFull() {
  return g_liveCreateWait.size() + g_liveToCreate.size() > kMaxCreateBacklog;
}

bool lf_mixedStream(const AiAircraft& a) {
  const auto airborne = [](const PositionReport& r) { return r.airborne; };
  return std::any_of(a.stream.begin(), a.stream.end(), airborne) &&
         !std::all_of(a.stream.begin(), a.stream.end(), airborne);
}

bool lf_isGhostText(const std::string& callsign) {
  return !callsign.empty() && callsign.back() == kGhostMark &&
         std::find(g_ghostTexts.begin(), g_ghostTexts.end(), callsign) != g_ghostTexts.end();
}

// MAX_LIVE limits the live objects in the simulator: being created (also after the request went
// to the link, until the object is active), active, and still leaving it (respawning or being
// removed). A new aircraft takes the place of one more than 0.1 nm farther away, and comes in
// once that one has left: it waits while the objects leaving make its room.
Decision lf_maxLive(const AiAircraft& a) {
  const int limit = g_paramMaxLive.value();
  if (limit == g_paramMaxLive.defaultValue) return Decision::kGoOn;
  const std::int64_t present = gf_liveCountInState(kStAdding2Sim) + gf_liveCountInState(kStActive);
  const std::int64_t leaving =
      gf_liveCountInState(kStLiveryRespawn) + gf_liveCountInState(kStRemovingFromSim);
  if (present + leaving < limit) return Decision::kGoOn;
  if (present < limit) return Decision::kWait;
  const LatLon user{g_userAcSnapshot.latitude, g_userAcSnapshot.longitude};
  return lf_removeFarthestLiveAc(gf_distanceNm(user, lf_pos(a.stream.front()))) ? Decision::kDrop
                                                                                 : Decision::kWait;
}

// The registration's database entry completes the identity.
void lf_identityFromDatabase(AiAircraft& a) {
  if (a.registration.empty()) return;
  for (const std::string& form : gf_regVariants(a.registration)) {
    std::optional<RegInfo> entry;
    if (!gf_findReg(entry, form)) continue;
    if (!entry->airl.empty()) a.airline = entry->airl;
    if (!entry->type.empty()) a.type = entry->type;
    if (!entry->opr.empty()) a.airline = entry->opr;
    a.cargo = entry->cargo;
    if (!gf_hasCallsign(a)) gf_setCallsign(a, a.registration);
    return;
  }
}

Decision lf_decide(AiAircraft& a) {
  if (a.stream.empty()) return Decision::kDrop;
  const PositionReport& front = a.stream.front();
  const bool movingOnGround = !front.airborne && front.groundSpeed != 0.0;
  const std::int64_t lead = movingOnGround ? kGroundLeadSteps : kSpawnLeadSteps;
  const auto now = static_cast<std::int64_t>(g_tickCount.load());
  if (now < front.dueTime - lead) return Decision::kWait;
  if (a.stream.size() == 1 || lf_isGhostText(a.callsign)) return Decision::kDrop;
  if (lf_beyondTrafficRadius(lf_pos(front))) return Decision::kSkip;
  if (lf_mixedStream(a)) return Decision::kSkip;
  if (const Decision held = lf_holdBack(a); held != Decision::kGoOn) return held;
  if (a.fs == kFsBirth && lf_createBacklogFull()) {
    // Its turn comes as the creations go out (a group that came at once is created one by one):
    // it waits with its reports, dropping only a front report whose successor is nearly due.
    return now < a.stream[1].dueTime - lead ? Decision::kWait : Decision::kSkip;
  }
  const std::string blocked = g_paramBlockCallsign.value();
  if (!blocked.empty() && a.callsign == blocked) return Decision::kDrop;
  lf_identityFromDatabase(a);
  // No callsign, or one the link could not send this run (too long for a tail number).
  if (!gf_hasCallsign(a) || g_refusedCallsigns.contains(a.callsign)) return Decision::kDrop;
  if (a.airline.empty() && !setAirlFromCallsign(a)) a.airline = kPrivateAirline;
  if (g_noMatches.contains(gf_identPath(a))) return Decision::kDrop;
  if (!a.callsign.empty() && a.callsign.back() == kGhostMark && lf_isUnderscoreCopy(a.callsign)) {
    return Decision::kDrop;
  }
  // MAX_LIVE last: an aircraft that is dropped anyway (one without a livery too) must not take
  // another one's place.
  if (a.fs == kFsBirth && !lf_chooseLivery(a)) return Decision::kDrop;
  return lf_maxLive(a);
}

}  // namespace

bool lf_beyondTrafficRadius(const LatLon& at) {
  if (lf_userNotPlaced()) return false;
  const LatLon user{g_userAcSnapshot.latitude, g_userAcSnapshot.longitude};
  return gf_distanceNm(user, at) > g_trafficRadiusNm.load();
}

void lf_spawnDecision(AiAircraft& a) {
  switch (lf_decide(a)) {
    case Decision::kWait:
      return;
    case Decision::kSkip:
      a.stream.pop_front();
      return;
    case Decision::kDrop:
      a.removedFromBuffer = true;
      return;
    case Decision::kGoOn:
      spawnLiveAc(a);
      return;
  }
}
