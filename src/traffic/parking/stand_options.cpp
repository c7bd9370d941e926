// The operations on one stand's list of learned uses: adding a use, setting half-hour slots in it
// (also across midnight), recording callsigns, testing a range of slots and matching an aircraft.
// Worker thread.
#include <algorithm>
#include <exception>
#include <limits>
#include <optional>

#include <fmt/format.h>

#include "foundation/log.h"
#include "liveries/database_queries.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"

namespace {

constexpr std::uint32_t kNoWrap = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kMaxWrapSlots = 46;

ParkPosOption* lf_optionById(std::vector<ParkPosOption>& options, std::uint32_t id) {
  const auto found = std::find_if(options.begin(), options.end(),
                                  [id](const ParkPosOption& o) { return o.id == id; });
  return found == options.end() ? nullptr : &*found;
}

// Takes the back slot off the list and sets it.
void lf_setBackSlot(ParkPosOption& option, std::vector<int>& slots) {
  const int slot = slots.back();
  slots.pop_back();
  gf_setSlot(option.hh, slot);
}

}  // namespace

DayHh gf_slotsBefore(DayHh when, std::uint32_t n) {
  std::int64_t slot = static_cast<std::int64_t>(when.hh) - n;
  std::uint32_t day = when.day;
  while (slot < 0) {
    slot += kSlotsPerDay;
    day = gf_previousDay(day);
  }
  return {day, static_cast<std::uint32_t>(slot)};
}

DayHh gf_nextSlot(DayHh when) {
  if (when.hh + 1 >= kSlotsPerDay) {
    return {gf_nextDay(when.day), 0};
  }
  return {when.day, when.hh + 1};
}

std::string gf_withoutGhostMark(const std::string& callsign) {
  if (!callsign.empty() && callsign.back() == '_') {
    return callsign.substr(0, callsign.size() - 1);
  }
  return callsign;
}

int addOption(std::vector<ParkPosOption>& options, const AircraftIdent& head, std::uint32_t real,
              DayHh when, const std::string& callsign, const std::string& registration) {
  const std::string cs = gf_withoutGhostMark(callsign);
  HalfHours slots;
  gf_setSlot(slots, when.hh);
  const std::uint32_t newId = options.empty() ? 1 : options.back().id + 1;

  std::string airline = head.airline;
  std::string type = head.type;
  if (!registration.empty()) {
    std::optional<RegInfo> info;
    for (const std::string& form : gf_regVariants(registration)) {
      if (gf_findReg(info, form)) {
        airline = info->opr.empty() ? info->airl : info->opr;
        type = info->type;
        break;
      }
    }
  }

  const bool known = std::any_of(options.begin(), options.end(), [&](const ParkPosOption& o) {
    return o.reg == registration && o.day == when.day && o.hh == slots && o.cs == cs;
  });
  if (known) {
    return 0;
  }
  options.push_back(ParkPosOption{std::move(airline), std::move(type), registration, cs, "", slots,
                                  newId, when.day, 0, real});
  return static_cast<int>(newId);
}

bool updateOptions(std::vector<ParkPosOption>& options, std::vector<int>& slots, std::uint32_t id) {
  ParkPosOption* option = lf_optionById(options, id);
  if (option == nullptr) {
    return false;
  }
  try {
    while (!slots.empty()) {
      lf_setBackSlot(*option, slots);
    }
    return true;
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} exception:{}", "updateOptions", e.what()));
    return false;
  }
}

bool updateOptionsWrapped(std::vector<ParkPosOption>& options, std::vector<int>& slots,
                          std::uint32_t id1, std::uint32_t id2) {
  try {
    ParkPosOption* before = lf_optionById(options, id1);
    if (before == nullptr) {
      return false;
    }
    if (!slots.empty() && slots.back() != 0) {
      // The slots before midnight, up to and including 47.
      bool midnight = false;
      while (!slots.empty() && !midnight) {
        midnight = slots.back() == static_cast<int>(kSlotsPerDay) - 1;
        lf_setBackSlot(*before, slots);
      }
    }
    ParkPosOption* after = lf_optionById(options, id2);
    if (after == nullptr) {
      return false;
    }
    // The newest slot stays: option id2 was made with it.
    while (slots.size() >= 2) {
      lf_setBackSlot(*after, slots);
    }
    return true;
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} exception:{}", "updateOptionsWrapped", e.what()));
    return false;
  }
}

void updateOptionIdent(std::vector<ParkPosOption>& options, std::uint32_t id,
                       const std::string& callsign) {
  const std::string cs = gf_withoutGhostMark(callsign);
  if (cs.empty() || id == 0) {
    return;
  }
  ParkPosOption* option = lf_optionById(options, id);
  if (option == nullptr) {
    return;
  }
  if (option->cs.empty()) {
    option->cs = cs;
  } else if (cs != option->cs && cs != option->cs2) {
    option->cs2 = cs;  // a third callsign replaces the second
  }
}

void updateOptionsForIds(std::vector<ParkPosOption>& options, DayHh now, const std::string& callsign,
                         int count, std::uint32_t id1, std::uint32_t id2) {
  std::vector<int> slots;
  slots.reserve(kSlotsPerDay);
  DayHh slot = now;
  for (int i = 0; i < count; ++i) {
    slots.push_back(static_cast<int>(slot.hh));
    slot = gf_slotsBefore(slot, 1);
  }
  updateOptionsWrapped(options, slots, id1, id2);
  updateOptionIdent(options, id1, callsign);
  updateOptionIdent(options, id2, callsign);
}

bool testRange(const ParkPosOption& option, std::pair<int, int> startAndOffset,
               std::uint32_t& wrap) {
  const auto [start, offset] = startAndOffset;
  wrap = kNoWrap;
  try {
    for (int slot = start; slot >= std::max(start - offset, 0); --slot) {
      if (gf_testSlot(option.hh, slot)) {
        return true;
      }
    }
    if (start - offset < 0) {
      wrap = std::min(static_cast<std::uint32_t>(offset - start), kMaxWrapSlots);
    }
  } catch (const std::exception& e) {
    gf_logIfActive(fmt::format("{}exception {} in testRange, start: {}, offset: {}", "===> ",
                               e.what(), start, offset));
  }
  return false;
}

bool gf_optionMatches(const std::string& callsign, const AircraftIdent& head,
                      const ParkPosOption& option) {
  if (option.id == 0 || option.real != 1) {
    return false;
  }
  // An empty callsign would match an option that saw only one callsign.
  if (!callsign.empty() && (callsign == option.cs || callsign == option.cs2)) {
    return true;
  }
  return head.airline == option.airline && head.type == option.type;
}
