// Learning the park airport's timetable from live traffic: real options for aircraft seen parked
// on their stands, soft options for aircraft seen standing near the airport without a stand, the
// filling of gaps between sightings, the coupled-callsign search and the fit statistic. Worker
// thread.
#include <algorithm>
#include <exception>
#include <optional>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"
#include "traffic/records/records.h"

namespace {

constexpr std::uint32_t kRealOption = 1;
constexpr std::uint32_t kSoftOption = 0;
constexpr std::uint32_t kMaxGapSlots = 5;            // the farthest back a gap is filled
constexpr std::uint32_t kLearnEverySlots = 3;        // one soft option per aircraft per 3 slots
constexpr double kLearnSoftRangeNm = 5.0;            // around the park airport
constexpr double kLearnSoftMaxHeightFt = 2500.0;     // above ground, unless forced
constexpr int kCoupledWindowHeavy = 14;              // slots either side of now
constexpr int kCoupledWindow = 10;

// The half-hours from the last sighting l to now c, when c lies 1 to 5 slots after l.
struct Gap {
  std::uint32_t slots = 0;
  bool acrossMidnight = false;
};
std::optional<Gap> lf_gap(DayHh l, DayHh c) {
  if (c.day == l.day && c.hh > l.hh && c.hh - l.hh <= kMaxGapSlots) {
    return Gap{c.hh - l.hh, false};
  }
  const std::uint32_t across = c.hh + kSlotsPerDay - l.hh;
  if (c.day == gf_nextDay(l.day) && across >= 1 && across <= kMaxGapSlots) {
    return Gap{across, true};
  }
  return std::nullopt;
}

StandSightings& lf_sightings(ParkPos& stand, std::uint32_t kind) {
  return kind == kRealOption ? stand.realSightings : stand.softSightings;
}

// The option of the kind in use on when's day for the aircraft's registration.
ParkPosOption* lf_todaysOption(ParkPos& stand, const AircraftHead& aircraft, std::uint32_t kind,
                               DayHh when) {
  for (ParkPosOption& o : stand.options) {
    if (o.id != 0 && o.day == when.day && o.real == kind && o.reg == aircraft.registration) {
      return &o;
    }
  }
  return nullptr;
}

// A new option: recorded in the stand's map; when the aircraft's last sighting there was late on
// the day before, the gap over midnight is filled as an extension would fill it (without this,
// the next extension would add a second option of the new day).
bool lf_recordNewOption(ParkPos& stand, const AircraftHead& aircraft, std::uint32_t kind,
                        bool track, DayHh when) {
  const int newId =
      addOption(stand.options, aircraft, kind, when, aircraft.callsign, aircraft.registration);
  if (newId < 1) {
    return false;
  }
  const auto id = static_cast<std::uint32_t>(newId);
  StandSightings& sightings = lf_sightings(stand, kind);
  const auto last = sightings.find(aircraft.key);
  if (track && last != sightings.end() && last->second.optionId != 0) {
    const std::optional<Gap> gap = lf_gap(last->second.when, when);
    if (gap && gap->acrossMidnight) {
      updateOptionsForIds(stand.options, when, aircraft.callsign, static_cast<int>(gap->slots),
                          last->second.optionId, id);
    }
  }
  sightings.insert_or_assign(aircraft.key, StandSighting{when, id});
  gf_countStandUpdate();
  return true;
}

bool lf_addParkPosOption(std::uint32_t standId, const AircraftHead& aircraft, std::uint32_t kind,
                         bool track, DayHh when, bool leaving) {
  const auto stand = std::find_if(g_parkStands.begin(), g_parkStands.end(),
                                  [standId](const ParkPos& s) { return s.number == standId; });
  if (stand == g_parkStands.end()) {
    return false;
  }
  ParkPosOption* option = lf_todaysOption(*stand, aircraft, kind, when);
  if (option == nullptr) {
    return lf_recordNewOption(*stand, aircraft, kind, track, when);
  }
  StandSightings& sightings = lf_sightings(*stand, kind);
  if (gf_testSlot(option->hh, when.hh)) {
    if (leaving) {
      sightings.erase(aircraft.key);
    }
    return false;
  }
  if (option->origin != 0) {
    return false;  // the stand file fixes this option
  }
  gf_setSlot(option->hh, when.hh);
  const std::uint32_t optionId = option->id;  // the extension may move the options
  if (track) {
    const auto last = sightings.find(aircraft.key);
    if (last == sightings.end()) {
      if (!leaving) {
        sightings.emplace(aircraft.key, StandSighting{when, optionId});
      }
    } else if (!(last->second.when == when)) {
      lf_extendStandOption(*stand, last->second.optionId, last->second, aircraft, kind, when);
    }
  }
  if (leaving) {
    sightings.erase(aircraft.key);
  }
  gf_countStandUpdate();
  return true;
}

}  // namespace

bool lf_addRealParkPosOption(std::uint32_t standId, const AircraftHead& aircraft, bool track,
                             DayHh when, bool leaving) {
  if (g_parkStands.empty() || aircraft.registration.empty() || aircraft.callsign.empty()) {
    return false;
  }
  return lf_addParkPosOption(standId, aircraft, kRealOption, track, when, leaving);
}

bool lf_addSoftParkPosOption(std::uint32_t standId, const AircraftHead& aircraft, bool track,
                             DayHh when) {
  if (g_parkStands.empty()) {
    return false;
  }
  return lf_addParkPosOption(standId, aircraft, kSoftOption, track, when, false);
}

void lf_extendStandOption(ParkPos& stand, std::uint32_t optionId, StandSighting& last,
                          const AircraftHead& aircraft, std::uint32_t real, DayHh now) {
  if (optionId == 0) {
    return;
  }
  const std::optional<Gap> gap = lf_gap(last.when, now);
  if (gap && gap->acrossMidnight) {
    const int newId =
        addOption(stand.options, aircraft, real, now, aircraft.callsign, aircraft.registration);
    if (newId > 0) {
      updateOptionsForIds(stand.options, now, aircraft.callsign, static_cast<int>(gap->slots),
                          optionId, static_cast<std::uint32_t>(newId));
      last.optionId = static_cast<std::uint32_t>(newId);
    }
  } else if (gap) {
    std::vector<int> slots;
    slots.reserve(kSlotsPerDay);
    for (std::uint32_t back = 0; back < gap->slots; ++back) {
      slots.push_back(static_cast<int>(now.hh - back));
    }
    updateOptions(stand.options, slots, optionId);
    updateOptionIdent(stand.options, optionId, aircraft.callsign);
  }
  last.when = now;
}

bool lf_parkedKeySlotAllows(std::uint32_t key, std::uint32_t slot, bool force) {
  const auto pair = std::find_if(g_parkedKeySlots.begin(), g_parkedKeySlots.end(),
                                 [key](const auto& p) { return p.first == key; });
  if (pair == g_parkedKeySlots.end()) {
    g_parkedKeySlots.emplace_back(key, slot);
    return true;
  }
  if (!force && (slot + kSlotsPerDay - pair->second) % kSlotsPerDay < kLearnEverySlots) {
    return false;
  }
  pair->second = slot;
  return true;
}

void lf_learnSoftOption(const AiAircraft& aircraft, bool force) {
  if (!g_paramLearnSoft.value() || !g_learnSoftAllowed || g_parkAirportIcao.empty()) {
    return;
  }
  if (gf_distanceNm({aircraft.lat, aircraft.lon}, g_parkAirportPos) > kLearnSoftRangeNm) {
    return;
  }
  if ((!force && aircraft.heightAboveGround >= kLearnSoftMaxHeightFt) || aircraft.standId != 0) {
    return;
  }
  const DayHh when = gf_dayHhNow();
  for (const ParkPos& stand : g_parkStands) {
    const auto last = stand.softSightings.find(aircraft.key);
    if (last == stand.softSightings.end()) {
      continue;
    }
    if (!(last->second.when == when) &&
        lf_addSoftParkPosOption(stand.number, aircraft, true, when)) {
      lf_parkedKeySlotAllows(aircraft.key, when.hh, true);
      return;
    }
    break;
  }
  if (!lf_parkedKeySlotAllows(aircraft.key, when.hh, false)) {
    return;
  }
  if (lf_standOptionNowInUse(g_parkStands, aircraft.registration, when) != g_parkStands.end()) {
    return;  // it has a real timetable already
  }
  const StandIter stand = lf_chooseSoftStand(when, aircraft, true);
  if (stand == g_parkStands.end() || lf_addSoftParkPosOption(stand->number, aircraft, false, when)) {
    return;
  }
  const auto pair = std::find_if(g_parkedKeySlots.begin(), g_parkedKeySlots.end(),
                                 [&aircraft](const auto& p) { return p.first == aircraft.key; });
  if (pair != g_parkedKeySlots.end()) {
    *pair = g_parkedKeySlots.back();
    g_parkedKeySlots.pop_back();
  }
}

void lf_searchForCoupledCsAroundThisTime(DayHh now, AiAircraft& aircraft) {
  try {
    const int window = aircraft.category == kCatHeavy ? kCoupledWindowHeavy : kCoupledWindow;
    const int slot = static_cast<int>(now.hh);
    HalfHours slots;
    for (int s = std::max(slot - window, 0); s <= std::min(slot + window, 47); ++s) {
      gf_setSlot(slots, s);
    }
    const std::string callsign = gf_withoutGhostMark(aircraft.callsign);
    for (const ParkPos& stand : g_parkStands) {
      for (const ParkPosOption& o : stand.options) {
        if (o.id != 0 && o.day == now.day && (o.hh & slots).any() &&
            o.airline == aircraft.airline && !o.cs2.empty() &&
            (o.cs == callsign || o.cs2 == callsign)) {
          aircraft.text6 = o.cs;
          aircraft.text7 = o.cs2;
          return;
        }
      }
    }
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{}: {}", "lf_searchForCoupledCsAroundThisTime", e.what()));
  }
}

std::uint32_t gf_staticParkedStats(bool computeFit) {
  std::uint32_t count = 0;
  std::uint64_t sum = 0;
  const DayHh now = g_dayHhNow.load();
  for (const StaticAircraft& aircraft : g_staticAc) {
    if (aircraft.st == kStActive || aircraft.st == kStRemovingFromSim) {
      ++count;
      if (computeFit) {
        sum += gf_hhDifference(aircraft.parkedSlot, now);
      }
    }
  }
  if (computeFit && !g_paramWeek.value()) {
    const float fit =
        count == 0 ? 0.0f : static_cast<float>(sum) / (2.0f * static_cast<float>(count)) + 0.5f;
    if (g_mainWindowState.staticAverageFit.exchange(fit) != fit) {
      g_mainWindowState.invalidate(kParkArea);
    }
  }
  return count;
}

namespace {
// The callsign is the option's first or second one, or the registration is the option's.
bool lf_hasOptionIdentity(const std::string& cs, const std::string& reg,
                          const ParkPosOption& option) {
  return (!cs.empty() && (cs == option.cs || cs == option.cs2)) ||
         (!option.reg.empty() && reg == option.reg);
}
}  // namespace

const StaticAircraft* lf_staticWithOptionIdentity(const ParkPosOption& option) {
  const auto found = std::find_if(g_staticAc.begin(), g_staticAc.end(), [&](const auto& a) {
    return lf_hasOptionIdentity(a.callsign, a.registration, option);
  });
  return found == g_staticAc.end() ? nullptr : &*found;
}

const StaticCandidate* lf_candidateWithOptionIdentity(const ParkPosOption& option,
                                                      const std::vector<StaticCandidate>& list) {
  const auto found = std::find_if(list.begin(), list.end(), [&](const StaticCandidate& c) {
    return lf_hasOptionIdentity(c.cs, c.reg, option);
  });
  return found == list.end() ? nullptr : &*found;
}

StandIter lf_standOptionNowInUse(std::vector<ParkPos>& stands, const std::string& registration,
                                 DayHh now) {
  const std::size_t slot = now.hh % kSlotsPerDay;
  const std::size_t before = (slot + kSlotsPerDay - 1) % kSlotsPerDay;
  const std::size_t after = (slot + 1) % kSlotsPerDay;
  return std::find_if(stands.begin(), stands.end(), [&](const ParkPos& stand) {
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const ParkPosOption& o) {
      return o.id != 0 && o.day == now.day && o.real == kRealOption && o.reg == registration &&
             (o.hh.test(slot) || o.hh.test(before) || o.hh.test(after));
    });
  });
}
