// The renewal of the static parking (every 20 minutes, and after a parking setting changed):
// the learned options are searched again for now, and stand by stand it is decided which static
// aircraft stay, which are replaced by a newer one, which live aircraft give way. Worker thread.
#include <algorithm>
#include <optional>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/strings.h"
#include "liveries/database_queries.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"
#include "traffic/records/records.h"

namespace {

constexpr std::uint32_t kHalfHoursPerWeek = kDaysPerWeek * kSlotsPerDay;
constexpr std::int32_t kLastSlot = static_cast<std::int32_t>(kSlotsPerDay) - 1;

// Half-hours from `then` forward to `now`, within one week.
std::uint32_t lf_halfHoursSince(DayHh then, DayHh now) {
  const std::int64_t at = (static_cast<std::int64_t>(now.day) - 1) * kSlotsPerDay + now.hh;
  const std::int64_t from = (static_cast<std::int64_t>(then.day) - 1) * kSlotsPerDay + then.hh;
  return static_cast<std::uint32_t>(((at - from) % kHalfHoursPerWeek + kHalfHoursPerWeek) %
                                    kHalfHoursPerWeek);
}

// A callsign as options hold it: without the static mark '*' and what follows, without '_'.
std::string lf_callsignStem(const std::string& callsign) {
  std::string stem = callsign.substr(0, callsign.find('*'));
  while (!stem.empty() && stem.back() == '_') {
    stem.pop_back();
  }
  return stem;
}

bool lf_sameAirlType(const StaticCandidate& c, const StaticAircraft& s) {
  return c.airline == s.airline && c.type == s.type;
}

class Judge {
 public:
  explicit Judge(DayHh now) : now_(now) {}

  void judge(const StaticAircraft& s) {
    const std::string stem = lf_callsignStem(s.callsign);
    if (g_liveCallsignsSeen.count(stem) != 0 || (!s.text7.empty() && g_liveCallsignsSeen.count(s.text7) != 0)) {
      remove(s);  // it flies live now
      return;
    }
    const auto own = std::find_if(g_staticCandidates.begin(), g_staticCandidates.end(),
                                  [&s](const StaticCandidate& c) { return c.standId == s.standId; });
    if (own != g_staticCandidates.end()) {
      const bool sameAircraft = lf_sameAirlType(*own, s) && (lf_callsignStem(own->cs) == stem ||
                                                             lf_callsignStem(own->cs2) == stem);
      if (sameAircraft) {
        keep(s);
        g_staticCandidates.erase(own);
      } else {
        replaceOrKeep(s, own);
      }
      return;
    }
    if (const auto neighbour = closeNeighbourCandidate(s); neighbour != g_staticCandidates.end()) {
      replaceOrKeep(s, neighbour);
      return;
    }
    if (stillInUse(s)) {
      keep(s);
    } else {
      remove(s);
    }
  }

 private:
  void keep(const StaticAircraft& s) { lf_recordKeptStatic(s, false); }
  void remove(const StaticAircraft& s) { g_staticRemovals.push_back({s.callsign, s.standId}); }

  // The newer use wins the stand: a candidate whose option began later than the aircraft parked
  // replaces it; otherwise the candidate goes. Ages count back from now, over the week's end.
  void replaceOrKeep(const StaticAircraft& s, std::vector<StaticCandidate>::iterator candidate) {
    if (static_cast<std::uint32_t>(candidate->fit) < lf_halfHoursSince(s.parkedSlot, now_)) {
      remove(s);
    } else {
      keep(s);
      g_staticCandidates.erase(candidate);
    }
  }

  std::vector<StaticCandidate>::iterator closeNeighbourCandidate(const StaticAircraft& s) {
    const ParkPos* stand = gf_standById(s.standId);
    if (stand == nullptr) {
      return g_staticCandidates.end();
    }
    return std::find_if(g_staticCandidates.begin(), g_staticCandidates.end(),
                        [&](const StaticCandidate& c) {
                          const bool neighbour = std::find(stand->overlaps.begin(),
                                                           stand->overlaps.end(),
                                                           c.standId) != stand->overlaps.end();
                          const ParkPos* other = gf_standById(c.standId);
                          return neighbour && other != nullptr &&
                                 gf_distanceNm({stand->lat, stand->lon}, {other->lat, other->lon}) <
                                     gf_wingspan(c.type) + s.halfWingspan;
                        });
  }

  // An option of the aircraft's airline and type used on its stand within the fit the search
  // reached (back over midnight into the day before).
  bool stillInUse(const StaticAircraft& s) const {
    const ParkPos* stand = gf_standById(s.standId);
    if (stand == nullptr) {
      return false;
    }
    const std::int32_t f = std::min(std::max(g_parkMaxRealFit, g_parkSoftFit), kLastSlot);
    const auto start = static_cast<std::int32_t>(now_.hh);
    if (usedIn(*stand, s, now_.day, {start, f})) {
      return true;
    }
    if (start - f >= 0) {
      return false;
    }
    // The part before midnight: slots 47, 46, ... on the previous day.
    return usedIn(*stand, s, gf_previousDay(now_.day), {kLastSlot, f - start - 1});
  }

  static bool usedIn(const ParkPos& stand, const StaticAircraft& s, std::uint32_t day,
                     std::pair<int, int> range) {
    std::uint32_t wrap = 0;
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const ParkPosOption& o) {
      return o.id != 0 && o.day == day && o.airline == s.airline && o.type == s.type &&
             testRange(o, range, wrap);
    });
  }

  DayHh now_;
};

// A kept aircraft that shows the first of its two callsigns stays on into the next half-hour:
// its learned option gains that slot (slot 0 of the next day in that day's option).
void lf_extendKeptOption(const KeptStatic& kept, DayHh now) {
  ParkPos* stand = gf_standById(kept.standId);
  if (stand == nullptr) {
    return;
  }
  const std::string cs = lf_callsignStem(kept.callsign);
  const auto option = std::find_if(stand->options.begin(), stand->options.end(), [&](const ParkPosOption& o) {
    return o.id != 0 && o.origin == 0 && o.day == now.day && o.cs == cs &&
           o.airline == kept.airline && o.type == kept.type;
  });
  if (option == stand->options.end()) {
    return;
  }
  const DayHh next = gf_nextSlot(now);
  if (next.day == now.day) {
    if (!option->hh.test(next.hh)) {
      option->hh.set(next.hh);
      gf_countStandUpdate();
    }
    return;
  }
  const ParkPosOption used = *option;
  const auto later = std::find_if(stand->options.begin(), stand->options.end(), [&](const ParkPosOption& o) {
    return o.id != 0 && o.origin == 0 && o.day == next.day && o.real == used.real &&
           o.reg == used.reg && o.airline == used.airline && o.type == used.type && o.cs == used.cs;
  });
  if (later != stand->options.end()) {
    if (!later->hh.test(next.hh)) {
      later->hh.set(next.hh);
      gf_countStandUpdate();
    }
    return;
  }
  AircraftIdent head;
  head.airline = used.airline;
  head.type = used.type;
  if (const int id = addOption(stand->options, head, used.real, next, used.cs, used.reg); id != 0) {
    updateOptionIdent(stand->options, static_cast<std::uint32_t>(id), used.cs2);
    gf_countStandUpdate();
  }
}

void lf_startRenewal() {
  gf_takeLiveCallsigns();
  gf_disableControls();
  g_mainWindowState.staticMarker.store(0);
  g_mainWindowState.invalidate(kParkArea);
  g_staticRemovals.clear();
  g_parkOptionCandidates.clear();
  g_parkAdjustBuffer.clear();
  g_staticCandidates.clear();
  gf_clearStandMarks();
  for (ParkPos& stand : g_parkStands) {
    std::uint32_t id = 0;
    for (ParkPosOption& option : stand.options) {
      option.id = ++id;
    }
  }
  lf_markReservedStands();
}

// Live aircraft parked beyond the wanted count make room, the longest parked first.
void lf_listLiveStayers(int wanted) {
  lf_listParkedLive();
  const auto stayers = static_cast<int>(g_parkAdjustBuffer.size());
  if (wanted >= 1 && stayers > wanted && !g_paramInitialLoadOnly.value()) {
    gf_showMessage(fmt::format("Parking adjustments: {} more live ac than wanted", stayers - wanted),
                   true);
    lf_removeLongestParked(stayers - wanted);
    lf_listParkedLive();
  }
  for (const ParkedLive& stayer : g_parkAdjustBuffer) {
    if (ParkPos* stand = gf_standById(stayer.standId)) {
      gf_occupyStand(*stand);
    }
  }
}

void lf_removeLiveAt(std::uint32_t standId) {
  for (AiAircraft& aircraft : g_liveAc) {
    if (aircraft.standId == standId && aircraft.fs == kFsParked && aircraft.st == kStActive) {
      removeAircraftFromSim(aircraft);
      return;
    }
  }
}

// Candidates, kept aircraft and live stayers beyond the wanted count go, in that order.
void lf_trimSurplus(int wanted) {
  std::stable_sort(g_staticCandidates.begin(), g_staticCandidates.end(),
                   [](const StaticCandidate& a, const StaticCandidate& b) { return a.fit < b.fit; });
  int surplus = static_cast<int>(g_staticCandidates.size() + g_parkOptionCandidates.size() +
                                 g_parkAdjustBuffer.size()) -
                wanted;
  for (; surplus >= 1; --surplus) {
    if (!g_staticCandidates.empty()) {
      g_staticCandidates.pop_back();
    } else if (!g_parkOptionCandidates.empty()) {
      const KeptStatic& last = g_parkOptionCandidates.back();
      g_staticRemovals.push_back({last.callsign, last.standId});
      g_parkOptionCandidates.pop_back();
    } else {
      break;
    }
  }
  // A wanted count of 0 (no static parking) sets live aircraft no limit, as the stayers' check
  // and the park limit do: else each renewal would take every real parked aircraft away.
  if (surplus >= 1 && wanted >= 1 && !g_paramInitialLoadOnly.value()) {
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(surplus), g_parkAdjustBuffer.size());
    for (std::size_t i = 0; i < n; ++i) {
      lf_removeLiveAt(g_parkAdjustBuffer[g_parkAdjustBuffer.size() - 1 - i].standId);
    }
  }
}

void lf_removeListedStatics() {
  for (auto removal = g_staticRemovals.rbegin(); removal != g_staticRemovals.rend(); ++removal) {
    // By callsign too: the stand may also hold the one it replaced, still being removed.
    const auto aircraft = std::find_if(g_staticAc.begin(), g_staticAc.end(), [&](const StaticAircraft& s) {
      return s.standId == removal->standId && s.callsign == removal->callsign &&
             (s.st == kStActive || s.st == kStRemovingFromSim);
    });
    if (aircraft != g_staticAc.end()) {
      removeAircraftFromSim(*aircraft);  // a second removal of one being removed does nothing
    }
  }
}

}  // namespace

void gf_parkingAdjustments() {
  const DayHh now = lf_logDayHh();
  lf_startRenewal();
  const int wanted = lf_wantedStaticCount();
  lf_listLiveStayers(wanted);
  const auto existing = static_cast<int>(g_parkAdjustBuffer.size());
  if (wanted - existing > 0) {
    lf_addCandidates(now, wanted, existing);
  }
  Judge judge(now);
  for (const StaticAircraft& aircraft : g_staticAc) {
    if (aircraft.st == kStActive) {
      judge.judge(aircraft);
    }
  }
  for (const KeptStatic& kept : g_parkOptionCandidates) {
    if (!kept.text7.empty() && kept.callsign.find(kept.text6) != std::string::npos) {
      lf_extendKeptOption(kept, now);
    }
  }
  // Latest parked first, by age: with three days present a day-only order would be cyclic.
  std::stable_sort(g_parkOptionCandidates.begin(), g_parkOptionCandidates.end(),
                   [now](const KeptStatic& a, const KeptStatic& b) {
                     return lf_halfHoursSince(a.parked, now) < lf_halfHoursSince(b.parked, now);
                   });
  lf_trimSurplus(wanted);
  std::stable_sort(g_staticCandidates.begin(), g_staticCandidates.end(),
                   [](const StaticCandidate& a, const StaticCandidate& b) { return a.fit > b.fit; });
  gf_showMessage(fmt::format("Parking adjustments: {} to be removed, {} to be added\n",
                             g_staticRemovals.size(), g_staticCandidates.size()),
                 true);
  lf_removeListedStatics();
  if (!g_staticCandidates.empty()) {
    gf_disableControls();
  }
}
