// The stand search of the static parking calculation: for one day and slot offset, every free
// stand whose learned options of the wanted kind hold that slot gets a candidate aircraft, and
// the stand and its neighbours are marked. Worker thread.
#include <algorithm>
#include <exception>
#include <vector>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/random_pick.h"
#include "liveries/database_queries.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"
#include "traffic/records/records.h"

namespace {

constexpr std::size_t kTailNumberChars = 11;
constexpr std::uint32_t kWidestStaticKey = 9999;

// A static aircraft active on a neighbour stand stands too close for an aircraft of the option's
// type on this stand.
bool lf_neighbourTooClose(const ParkPos& stand, const ParkPosOption& option) {
  for (const std::uint32_t neighbourId : stand.overlaps) {
    for (const StaticAircraft& aircraft : g_staticAc) {
      if (aircraft.st != kStActive || aircraft.standId != neighbourId) continue;
      const double d = gf_distanceNm({stand.lat, stand.lon},
                                     {aircraft.standPlace.lat, aircraft.standPlace.lon});
      if (d < gf_wingspan(option.type) + aircraft.halfWingspan) return true;
    }
  }
  return false;
}

// The use goes on into the next half-hour: on the same day in this option, after midnight in an
// option of the same aircraft on the next day.
bool lf_continues(const ParkPos& stand, const ParkPosOption& option, DayHh slot) {
  if (option.cs2.empty()) return true;
  const DayHh next = gf_nextSlot(slot);
  if (next.day == slot.day) return option.hh.test(next.hh);
  return std::any_of(stand.options.begin(), stand.options.end(), [&](const ParkPosOption& o) {
    return o.id != 0 && o.real == option.real && o.day == next.day && o.reg == option.reg &&
           o.airline == option.airline && o.type == option.type && o.hh.test(next.hh);
  });
}

// A static aircraft carries its callsign as the tail number of its creation, which takes no more
// than 11 characters: the option's callsign of the slot with the static mark, else the airline
// with the key (the widest one counted).
bool lf_tailNumberFits(const ParkPos& stand, const ParkPosOption& option, DayHh slot) {
  const StaticCandidate made{stand.number, 0, option.airline, option.type, option.cs, option.cs2,
                             option.reg, lf_continues(stand, option, slot)};
  const std::string callsign =
      made.cs.empty() ? fmt::format("{}{}*", made.airline, kWidestStaticKey) : lf_detcs(made);
  if (callsign.size() <= kTailNumberChars) return true;
  lf_logUnderLog(fmt::format("{:8}: {:8} too long for a tail number, no static aircraft",
                             stand.id, callsign));
  return false;
}

// Indexes of the options of the kind that hold the slot (any day with WEEK on).
std::vector<std::size_t> lf_optionsAt(const ParkPos& stand, std::uint32_t kind, DayHh slot) {
  const bool anyDay = g_paramWeek.value();
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < stand.options.size(); ++i) {
    const ParkPosOption& o = stand.options[i];
    if (o.real != kind || o.id == 0 || (!anyDay && o.day != slot.day) ||
        !gf_testSlot(o.hh, slot.hh)) {
      continue;
    }
    if (!stand.blockedByNeighbour && lf_neighbourTooClose(stand, o)) continue;
    // The option stays the stand's: live aircraft still learn from it and the save keeps it.
    if (!lf_tailNumberFits(stand, o, slot)) continue;
    found.push_back(i);
  }
  return found;
}

// The option whose aircraft stands on this stand already (parked now or chosen in this search),
// else one at random; the first one with RANDOM off.
std::size_t lf_pickOption(const ParkPos& stand, std::vector<std::size_t>& found,
                          const std::vector<StaticCandidate>& candidates) {
  if (found.size() < 2 || !g_paramRandom.value()) return found.front();
  for (const std::size_t i : found) {
    const ParkPosOption& o = stand.options[i];
    const StaticAircraft* parked = lf_staticWithOptionIdentity(o);
    const StaticCandidate* chosen = lf_candidateWithOptionIdentity(o, candidates);
    if ((parked != nullptr && parked->standId == stand.number) ||
        (chosen != nullptr && chosen->standId == stand.number)) {
      return i;
    }
  }
  std::shuffle(found.begin(), found.end(), gf_rng());
  return found.front();
}

bool lf_regAmong(const std::string& reg, const std::vector<StaticCandidate>& list) {
  return std::any_of(list.begin(), list.end(),
                     [&reg](const StaticCandidate& c) { return c.reg == reg; });
}

bool lf_flyingLive(const std::string& callsign) {
  if (callsign.empty()) return false;
  const std::string plain = gf_withoutGhostMark(callsign);
  return g_liveCallsignsSeen.count(plain) != 0 || g_liveCallsignsSeen.count(plain + "_") != 0;
}

void lf_searchStand(ParkPos& stand, std::uint32_t kind, DayHh slot, std::uint32_t offset,
                    std::vector<StaticCandidate>& candidates,
                    const std::vector<StaticCandidate>& earlier) {
  if (stand.reserved || stand.staticOccupied) return;
  if (stand.heli && !g_paramHelicopters.value()) return;
  std::vector<std::size_t> found = lf_optionsAt(stand, kind, slot);
  if (found.empty()) return;
  const ParkPosOption& o = stand.options[lf_pickOption(stand, found, candidates)];
  // An aircraft already chosen elsewhere, or one flying live now, is passed over for this
  // search; its option stays for other days and searches.
  if (!o.reg.empty() && (lf_regAmong(o.reg, candidates) || lf_regAmong(o.reg, earlier))) return;
  if (lf_flyingLive(o.cs)) return;
  candidates.push_back({stand.number, static_cast<std::int32_t>(offset), o.airline, o.type, o.cs,
                        o.cs2, o.reg, lf_continues(stand, o, slot)});
  gf_occupyStand(stand);
}

}  // namespace

void lf_searchStands(DayHh when, std::uint32_t kind, std::uint32_t offset,
                     std::vector<StaticCandidate>& candidates,
                     const std::vector<StaticCandidate>& earlier) {
  const DayHh slot = gf_slotsBefore(when, offset);
  for (ParkPos& stand : g_parkStands) {
    try {
      lf_searchStand(stand, kind, slot, offset, candidates, earlier);
    } catch (const std::exception& e) {
      gf_log(fmt::format("{}: day: {}, offset {}: {}", "lf_searchStands",
                         fmt::format("[{},{}]", slot.day, slot.hh), offset, e.what()));
    }
  }
}
