// Helpers the engine's stand code shares: whether an aircraft fits a stand, half-hour slot
// arithmetic and callsign trimming. Checked
// slot access throws std::out_of_range("invalid bitset position") for a slot outside 0..47, so
// that a bad slot never touches a bit and the log names the failure the same way everywhere.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "foundation/day_slots.h"
#include "foundation/park_pos.h"
#include "traffic/records/records.h"

// An aircraft fits a stand when its half wingspan exceeds the stand's radius by at most 1.8 m.
inline constexpr double kFitToleranceNm = 0.0009719222462203025;
inline bool gf_fitsStand(const AircraftHead& aircraft, const ParkPos& stand) {
  return aircraft.halfWingspan - stand.radius <= kFitToleranceNm;
}

inline void gf_checkSlot(std::int64_t slot) {
  if (slot < 0 || slot >= static_cast<std::int64_t>(kSlotsPerDay)) {
    throw std::out_of_range("invalid bitset position");
  }
}
inline void gf_setSlot(HalfHours& slots, std::int64_t slot) {
  gf_checkSlot(slot);
  slots.set(static_cast<std::size_t>(slot));
}
inline bool gf_testSlot(const HalfHours& slots, std::int64_t slot) {
  gf_checkSlot(slot);
  return slots.test(static_cast<std::size_t>(slot));
}

// The day after / before (7 is followed by 1).
inline std::uint32_t gf_nextDay(std::uint32_t day) { return day >= kDaysPerWeek ? 1 : day + 1; }
inline std::uint32_t gf_previousDay(std::uint32_t day) { return day <= 1 ? kDaysPerWeek : day - 1; }
// The slot after the given one, stepping over midnight (gf_slotsBefore: parking.h).
DayHh gf_nextSlot(DayHh when);

// The callsign without one trailing '_' (the mark of a ghost copy).
std::string gf_withoutGhostMark(const std::string& callsign);
