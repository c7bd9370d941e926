// Keeping the user's path clear of live aircraft, creating the static aircraft of the park
// airport one candidate at a time (unless a live or static aircraft blocks its stand), and the
// removal of the longest-parked live aircraft for the parking adjustments. Worker thread.
#include <algorithm>
#include <cmath>
#include <unordered_set>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/run_state.h"
#include "liveries/livery_matching.h"
#include "traffic/live/live_internal.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr double kGroundPathAglFt = 500.0;
constexpr double kGroundPathNm = 1.0;
constexpr double kGroundPathSideFt = 50.0;
constexpr double kAirPathNm = 4.0;
constexpr double kAirPathHeightFt = 1000.0;
constexpr double kAirPathSideFt = 700.0;
constexpr std::uint32_t kLastStaticKey = kLastStaticTag - 1;  // keys 1 .. 9999
constexpr char kStaticMark = '*';

// The counter behind the static keys; it runs for the whole process.
std::uint32_t s_staticKeyCounter = 0;

bool lf_onStandOrNeighbour(std::uint32_t standId, std::uint32_t own, const ParkPos* stand) {
  if (standId == own) return true;
  return stand != nullptr &&
         std::find(stand->overlaps.begin(), stand->overlaps.end(), standId) != stand->overlaps.end();
}

// Why a candidate is not created, named in the log.
bool lf_blocked(const StaticCandidate& c, const ParkPos* stand) {
  const std::string name = lf_standNameById(c.standId);
  for (const AiAircraft& a : g_liveAc) {
    if ((a.fs != kFsParked && a.fs != kFsParking) || !lf_onStandOrNeighbour(a.standId, c.standId, stand)) {
      continue;
    }
    if (a.standId == c.standId) {
      lf_logUnderLog(fmt::format("{:8}: no static parking for {}, live aircraft {} standing here",
                                 name, c.cs, a.callsign));
    } else {
      lf_logUnderLog(fmt::format("{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding",
                                 name, c.cs, a.callsign, lf_standNameById(a.standId)));
    }
    return true;
  }
  for (const StaticAircraft& s : g_staticAc) {
    if (!lf_onStandOrNeighbour(s.standId, c.standId, stand)) continue;
    lf_logUnderLog(fmt::format("{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
                               name, c.cs, s.callsign, lf_standNameById(s.standId)));
    return true;
  }
  return false;
}

}  // namespace

std::uint32_t lf_nextStaticKey() {
  // Key 0 is never identified by the link, and a key still in use would be taken for another
  // aircraft: the keys cycle through 1 .. 9999 and pass over those in use.
  for (std::uint32_t tries = 0; tries < kLastStaticKey; ++tries) {
    s_staticKeyCounter = s_staticKeyCounter % kLastStaticKey + 1;
    if (gf_staticByKey(s_staticKeyCounter) == nullptr) return s_staticKeyCounter;
  }
  return 0;
}

bool gf_removeIfInUserPath(AiAircraft& a) {
  if (a.st != kStActive) return false;
  const UserAcData& u = g_userAcSnapshot;
  const LatLon user{u.latitude, u.longitude};
  const LatLon at{a.lat, a.lon};
  const double d = gf_distanceNm(user, at);
  bool inPath = false;
  if (a.onGround) {
    if (u.altitudeAboveGround >= kGroundPathAglFt || d > kGroundPathNm) return false;
    const double off = std::fabs(gf_angleDiff(u.heading, gf_bearing(user, at)));
    inPath = std::sin(off) * d * kFeetPerNm <= kGroundPathSideFt;  // ahead or behind
  } else {
    if (d > kAirPathNm || std::fabs(a.altitude - u.altitude) >= kAirPathHeightFt) return false;
    const double off = lf_signedAngle(a.heading - gf_bearing(user, at));
    inPath = std::fabs(std::sin(off)) * d * kFeetPerNm <= kAirPathSideFt;
  }
  if (inPath) removeAircraftFromSim(a);
  return inPath;
}

void lf_resolveStandConflicts() {
  if (g_staticCandidates.empty() || g_parkStands.empty()) return;
  const StaticCandidate c = std::move(g_staticCandidates.back());
  g_staticCandidates.pop_back();
  const ParkPos* stand = gf_standById(c.standId);
  if (lf_blocked(c, stand)) return;
  if (stand == nullptr) {
    gf_logError(fmt::format("stand with id {} not found", c.standId));
    return;
  }
  const std::uint32_t key = lf_nextStaticKey();
  if (key == 0) return;
  AircraftIdent ident;
  ident.airline = c.airline;
  ident.type = c.type;
  ident.callsign = c.cs.empty() ? fmt::format("{}{}{}", c.airline, key, kStaticMark) : lf_detcs(c);
  ident.text6 = c.cs;
  ident.text7 = c.cs2;
  ident.registration = c.reg;
  AircraftHead head = gf_initTrafficReport(ident);
  head.key = key;
  StaticAircraft& s = g_staticAc.emplace_back(std::move(head), stand->number,
                                               StandPlace{stand->lat, stand->lon, stand->heading},
                                               stand->cargo);
  if (!gf_matchParkedLivery(s, *stand)) {
    g_staticAc.pop_back();
    return;
  }
  const auto fit = static_cast<std::uint32_t>(std::max(c.fit, 0));
  s.parkedSlot = gf_slotsBefore(g_dayHhNow.load(), fit);
  gf_setState(s, kStAdding2Sim);
  g_staticCreateWait.push_back({stand->lat, stand->lon, 0.0, 0.0, 0.0, stand->heading * kRadToDeg,
                                1, 0, s.callsign, s.livery, key});
}

void lf_removeLongestParked(int count) {
  std::vector<std::pair<std::uint32_t, std::uint64_t>> parked;  // key, ticks on the stand
  const std::uint64_t now = gf_nowTicks100ns();
  for (const AiAircraft& a : g_liveAc) {
    if (a.fs == kFsParked && a.st == kStActive) {
      parked.emplace_back(a.key, now > a.parkedTime ? now - a.parkedTime : 0);
    }
  }
  std::stable_sort(parked.begin(), parked.end(),
                   [](const auto& x, const auto& y) { return x.second > y.second; });
  std::unordered_set<std::uint32_t> keys;
  for (std::size_t i = 0; i < parked.size() && static_cast<int>(i) < count; ++i) {
    keys.insert(parked[i].first);
  }
  for (AiAircraft& a : g_liveAc) {
    if (!keys.contains(a.key)) continue;
    gf_log(fmt::format("live parked {} at {} removed", gf_acDescription(a), lf_standNameById(a.standId)));
    removeAircraftFromSim(a);
  }
}

bool lf_isParkAirport(const std::string& icao) {
  return std::any_of(g_parkAirports.begin(), g_parkAirports.end(),
                     [&icao](const ParkAirport& p) { return p.icao == icao; });
}
