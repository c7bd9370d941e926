// UTC time texts, the day of the week with its half-hour slot (DayHh), and half-hour slot lists.
// All times are UTC. The time source is the wall clock, or the latest traffic time stamp while
// RealTraffic's professional edition runs.
#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

inline constexpr std::uint32_t kSlotsPerDay = 48;
inline constexpr std::uint32_t kDaysPerWeek = 7;

// Day of the week 1 = Monday .. 7 = Sunday (low 32 bits) and half-hour slot 0..47 (high 32 bits)
// of one 64-bit value. Slot 2h covers hh:00, slot 2h+1 hh:30 of hour h.
struct alignas(8) DayHh {
  std::uint32_t day = 0;
  std::uint32_t hh = 0;

  std::uint64_t packed() const { return day | (static_cast<std::uint64_t>(hh) << 32); }
  static DayHh fromPacked(std::uint64_t v) {
    return {static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
  }
  friend bool operator==(const DayHh&, const DayHh&) = default;
};
static_assert(sizeof(DayHh) == 8);

using HalfHours = std::bitset<kSlotsPerDay>;

// The wall clock the time functions read, in seconds since 1970 UTC. Tests put in their own
// clock; every other caller leaves the default (the system clock).
using WallClockFn = std::int64_t (*)();
extern std::atomic<WallClockFn> g_wallClock;
std::int64_t gf_wallClockNow();
// The system clock in ticks of 100 ns since 1970 UTC: the unit of the engine's parked and arrival
// times (a minute is 600000000 ticks). Tests put in their own clock and give it back with null;
// every other caller leaves the default. Any thread.
using Ticks100nsFn = std::uint64_t (*)();
extern std::atomic<Ticks100nsFn> g_ticks100nsClock;
std::uint64_t gf_nowTicks100ns();
// The time source: the traffic time (whole seconds) when the professional edition runs and a
// traffic time is known, else the wall clock.
std::int64_t gf_timeSourceNow();

// "Sat Dec 05 14:40:39 2026" of t in UTC (October is "Okt").
std::string gf_ctime(std::int64_t t);
// "hh:mm:ss" of the wall clock / of the time source.
std::string gf_timeNow();
std::string gf_trafficTimeNow();
// "Dec 05, 2026" of the wall clock (the meta "date" value).
std::string gf_dateNow();
// "Mon" .. "Sun" for 1..7, "???" otherwise.
std::string_view gf_weekdayName(int day);
// "Jan" .. "Dec" for 1..12 ("Okt" for 10), "???" otherwise.
std::string_view gf_monthName(int month);

// DayHh of a moment; slot 2h+1 begins at hh:29:30 and slot 2h+2 at the full hour.
DayHh gf_dayHhAt(std::int64_t t);
// DayHh of the time source, read once.
DayHh gf_dayHhNow();
// Half-hour slots from the earlier to the later of two values; Monday counts as after Sunday.
std::uint32_t gf_hhDifference(DayHh x, DayHh y);

// Slot list "0,1,47" to a set of 48 bits; bad tokens are logged and skipped:
// "{} invalid hour \"{}\" in {}" with "gf_hours2bitset", the token and the whole text.
HalfHours gf_hours2bitset(const std::string& text);
// The same, with the caller's context text in front of the log line in place of the name.
HalfHours gf_hours2bitset(const std::string& text, const std::string& context);
// The set slots in rising order joined by ','; the empty set gives "".
std::string gf_bitset2hours(const HalfHours& slots);
