// Parking live aircraft at the park airport's stands: who may take a stand (the contention
// between an aircraft, its ghost and another live aircraft), clearing the stand and its
// neighbours of aircraft in the way, the reserved stand, the parked statistics with the park
// airport's maximum, and the list of parked live aircraft for the parking adjustments.
// Worker thread.
#include <algorithm>
#include <cmath>
#include <mutex>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "liveries/database_queries.h"
#include "platform/win32.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr char kGhostMark = '_';
constexpr double kTicks100nsPerMinute = 600000000.0;
constexpr std::uint64_t kMaxParkedMinutes = 90;       // without a report from the stand
constexpr std::uint64_t kMaxParkedHeavyMinutes = 180;
constexpr std::int64_t kSlotsPerWeek = kSlotsPerDay * kDaysPerWeek;

LatLon lf_standPos(std::uint32_t standId) {
  const ParkPos* s = gf_standById(standId);
  return s == nullptr ? LatLon{} : LatLon{s->lat, s->lon};
}

std::string lf_cut(const std::string& cs) { return cs.empty() ? cs : cs.substr(0, cs.size() - 1); }

bool lf_endsWithGhostMark(const std::string& cs) { return !cs.empty() && cs.back() == kGhostMark; }

// One case of the stand contention: O stands on the stand the new aircraft wants.
bool lf_standContention(bool& permission, std::uint32_t standId, const std::string& c,
                        AiAircraft& o) {
  const bool onStand = o.fs == kFsParked || o.fs == kFsPushingBack || o.fs == kFsPushedBack;
  if (o.standId != standId || !onStand || o.st != kStActive) return false;
  const std::string& c2 = o.callsign;
  const std::string name = lf_standNameById(standId);
  if (c == c2) {
    lf_logUnderLog(fmt::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ",
                               name, c2, c));
    removeAircraftFromSim(o);
  } else if (!c.empty() && lf_cut(c) == c2) {
    permission = false;  // the newcomer is the ghost of the aircraft on the stand
  } else if ((!c2.empty() && c == lf_cut(c2)) ||
             (lf_endsWithGhostMark(c2) && !lf_endsWithGhostMark(c))) {
    lf_logUnderLog(fmt::format("{:8}: {:8} ghost, replace by {}", name, c2, c));
    removeAircraftFromSim(o);
  } else if ((lf_endsWithGhostMark(c) && !lf_endsWithGhostMark(c2)) || o.reportWhileParked) {
    permission = false;  // a ghost, or the real aircraft still reports from its stand
  } else {
    lf_logUnderLog(fmt::format("{:8}: {:8} removed because another live {} wants the stand ...",
                               name, c2, c));
    removeAircraftFromSim(o);
  }
  return true;
}

// The neighbour rule of try2Park: O on neighbour stand n collides with A parking at stand s.
void lf_removeCollidingNeighbour(std::uint32_t n, const AiAircraft& a, const ParkPos& s,
                                 AiAircraft& o) {
  const bool onStand = o.fs == kFsParked || o.fs == kFsPushingBack;
  if (o.standId != n || !onStand || o.st != kStActive) return;
  const LatLon at = lf_standPos(n);
  if (at.lat == 0.0 && at.lon == 0.0) return;
  if (gf_distanceNm(at, {s.lat, s.lon}) <= (o.halfWingspan + a.halfWingspan) * kNeighbourSpanFactor) {
    lf_logUnderLog(fmt::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                               lf_standNameById(n), o.callsign, a.callsign, s.id));
    removeAircraftFromSim(o);
  }
}

// Whole slots since the day and slot, counted back from now through the week.
std::int64_t lf_slotsAgo(DayHh then, DayHh now) {
  const std::int64_t nowSlot = (static_cast<std::int64_t>(now.day) - 1) * kSlotsPerDay + now.hh;
  const std::int64_t thenSlot = (static_cast<std::int64_t>(then.day) - 1) * kSlotsPerDay + then.hh;
  return ((nowSlot - thenSlot) % kSlotsPerWeek + kSlotsPerWeek) % kSlotsPerWeek;
}

bool lf_parkedActive(const AiAircraft& a) { return a.fs == kFsParked && a.st == kStActive; }

std::uint64_t lf_ticksOnStand(const AiAircraft& a) {
  const std::uint64_t now = gf_nowTicks100ns();
  return now > a.parkedTime ? now - a.parkedTime : 0;
}

}  // namespace

bool lf_mayTakeStand(std::uint32_t standId, const std::string& callsign) {
  bool permission = true;
  for (AiAircraft& o : g_liveAc) {
    if (lf_standContention(permission, standId, callsign, o)) break;
  }
  return permission;
}

bool lf_closeNeighbourOccupied(const ParkPos& stand, const AiAircraft& a) {
  for (const std::uint32_t n : stand.overlaps) {
    const LatLon at = lf_standPos(n);
    if (at.lat == 0.0 && at.lon == 0.0) return false;
    for (const AiAircraft& o : g_liveAc) {
      const bool onStand = o.fs == kFsParked || o.fs == kFsPushingBack;
      if (o.standId == n && onStand && o.st == kStActive && o.callsign != a.callsign &&
          gf_distanceNm({o.lat, o.lon}, {stand.lat, stand.lon}) <
              kNeighbourSpanFactor * (o.halfWingspan + a.halfWingspan)) {
        return true;
      }
    }
  }
  return false;
}

void lf_clearStandOfStatics(const ParkPos& stand, const AiAircraft& live) {
  const std::string name = stand.id;
  const auto same = std::find_if(g_staticAc.begin(), g_staticAc.end(),
                                 [&stand](const StaticAircraft& s) { return s.standId == stand.number; });
  if (same != g_staticAc.end()) {
    StaticAircraft& s = *same;
    const bool sameLive = s.text6 == live.callsign ||
                          (!s.registration.empty() && s.registration == live.registration);
    const std::string text = fmt::format("{:8}: {:8} {} makes way for{} {} {}", name, s.callsign,
                                         s.registration, sameLive ? " the same live version" : "",
                                         live.callsign, live.registration);
    if (s.st == kStActive) {
      lf_logUnderLog(text);
      removeAircraftFromSim(s);
    } else if (s.st == kStAdding2Sim) {
      if (gf_removeFromCreateWait(g_staticCreateWait, s.callsign)) {
        s.eraseMe = true;
        lf_logUnderLog("queued " + text);
      } else {
        s.removalPending = true;
      }
    }
  }
  if (std::erase_if(g_staticAc, [](const StaticAircraft& s) { return s.eraseMe; }) != 0) {
    gf_recordsReordered();
  }
  const double liveSpan = gf_wingspan(live.type);
  for (const std::uint32_t n : stand.overlaps) {
    const LatLon at = lf_standPos(n);
    for (StaticAircraft& s : g_staticAc) {
      if (s.standId != n || s.st != kStActive) continue;
      if ((gf_wingspan(s.type) + liveSpan) * kNeighbourSpanFactor >=
          gf_distanceNm(at, {stand.lat, stand.lon})) {
        lf_logUnderLog(fmt::format("{:8}: {:8} removed by {} parking at adjacent stand {}",
                                   lf_standNameById(n), s.callsign, live.callsign, name));
        removeAircraftFromSim(s);
        break;
      }
    }
  }
}

bool lf_standRefused(const ParkPos& stand) {
  if (!g_reservedStand.empty() && stand.id == g_reservedStand) return true;
  LatLon user;
  {
    std::lock_guard lock(g_simMutex);
    user = {g_userAc.latitude, g_userAc.longitude};
  }
  return stand.id == gf_standNameAt(user);
}

bool lf_takeStandForParking(AiAircraft& a, ParkPos& stand) {
  if (lf_standRefused(stand)) return false;
  for (AiAircraft& o : g_liveAc) {
    if (o.standId == stand.number && lf_parkedActive(o)) {
      lf_logUnderLog(fmt::format("{:8}: {:8} removed, {} wants to park there", stand.id,
                                 o.callsign, a.callsign));
      removeAircraftFromSim(o);
      break;
    }
  }
  for (const std::uint32_t n : stand.overlaps) {
    for (AiAircraft& o : g_liveAc) lf_removeCollidingNeighbour(n, a, stand, o);
  }
  lf_clearStandOfStatics(stand, a);
  return true;
}

void lf_learnStandCargo(const AiAircraft& a, ParkPos& stand) {
  if (a.standFlag || !a.cargo) return;
  stand.cargo = true;
  stand.cargo_change = true;
  gf_countStandUpdate();
  gf_logError(fmt::format("{} stand: {}, cargo attribute set to true, {} parked here",
                          g_parkAirportIcao, stand.id, gf_acDescription(a)));
}

void lf_storeParkedKeySlot(std::uint32_t key, std::uint32_t slot) {
  const auto pair = std::find_if(g_parkedKeySlots.begin(), g_parkedKeySlots.end(),
                                 [key](const auto& p) { return p.first == key; });
  if (pair != g_parkedKeySlots.end()) {
    pair->second = slot;
  } else {
    g_parkedKeySlots.emplace_back(key, slot);
  }
}

void gf_removeAcAtReservedStand() {
  const StandIter stand = gf_findStandByName(g_reservedStand);
  if (stand == g_parkStands.end()) return;
  const std::uint32_t id = stand->number;
  for (StaticAircraft& s : g_staticAc) {
    if (s.standId == id && s.st == kStActive) {
      removeAircraftFromSim(s);
      return;
    }
  }
  for (AiAircraft& a : g_liveAc) {
    if (a.standId == id && lf_parkedActive(a)) {
      removeAircraftFromSim(a);
      return;
    }
  }
}

std::uint32_t gf_liveParkedStats(bool average) {
  std::uint32_t count = 0;
  std::uint64_t slots = 0;
  const DayHh now = g_dayHhNow.load();
  for (const AiAircraft& a : g_liveAc) {
    if (!lf_parkedActive(a)) continue;
    ++count;
    if (average) slots += gf_hhDifference(a.parkedSlot, now);
  }
  g_mainWindowState.parkedLiveCount.store(count);
  if (average) {
    const float fit = count == 0 ? 0.0f
                                 : static_cast<float>(static_cast<double>(slots) / (2.0 * count) + 0.5);
    if (g_mainWindowState.liveAverageFit.exchange(fit) != fit) {
      if (HWND window = g_hWnd.load(); window != nullptr) InvalidateRect(window, nullptr, TRUE);
    }
  }
  return count;
}

void lf_parkLimits(bool oneMore) {
  const std::int64_t m = g_mainWindowState.parkTarget.load();
  const std::int64_t k = oneMore ? 1 : 0;
  std::vector<std::pair<std::uint32_t, std::uint64_t>> parked;  // key, ticks on the stand
  for (const AiAircraft& a : g_liveAc) {
    if (lf_parkedActive(a)) parked.emplace_back(a.key, lf_ticksOnStand(a));
  }
  const auto n = static_cast<std::int64_t>(parked.size());
  if (!g_paramInitialLoadOnly.value() && m > 0 && n + k > m) {
    const auto longest = std::max_element(parked.begin(), parked.end(), [](const auto& x, const auto& y) {
      return x.second < y.second;
    });
    lf_removeMaxParked(longest->first);
  }
  const std::int64_t statics = gf_staticParkedStats(false);
  if (statics == 0) return;
  // A negative maximum never trims the static aircraft, 0 always does.
  if (m < 0 || n + statics + k <= m) return;
  // Latest parked first, counted back from now, so that a week's end orders as one run of days.
  const DayHh now = g_dayHhNow.load();
  std::stable_sort(g_staticAc.begin(), g_staticAc.end(), [now](const StaticAircraft& x, const StaticAircraft& y) {
    return lf_slotsAgo(x.parkedSlot, now) < lf_slotsAgo(y.parkedSlot, now);
  });
  gf_recordsReordered();
  if (g_staticAc.back().st == kStActive) removeAircraftFromSim(g_staticAc.back());
}

void lf_listParkedLive() {
  g_parkAdjustBuffer.clear();
  for (AiAircraft& a : g_liveAc) {
    if (!lf_parkedActive(a)) continue;
    std::uint64_t minutes = 0;
    if (!a.reportWhileParked) {
      minutes = static_cast<std::uint64_t>(static_cast<double>(lf_ticksOnStand(a)) / kTicks100nsPerMinute);
      const std::uint64_t limit = a.category == kCatHeavy ? kMaxParkedHeavyMinutes : kMaxParkedMinutes;
      if (!g_paramInitialLoadOnly.value() && minutes > limit) {
        removeAircraftFromSim(a);
        continue;
      }
    }
    g_parkAdjustBuffer.push_back({a.callsign, a.standId, static_cast<std::uint32_t>(minutes)});
  }
  std::stable_sort(g_parkAdjustBuffer.begin(), g_parkAdjustBuffer.end(),
                   [](const ParkedLive& x, const ParkedLive& y) { return x.minutes < y.minutes; });
}
