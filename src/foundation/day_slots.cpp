// UTC time texts, day-and-half-hour values and half-hour slot lists.
#include "foundation/day_slots.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <vector>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/run_state.h"

namespace {

namespace chr = std::chrono;

constexpr std::array<std::string_view, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kWeekdayNames{"Mon", "Tue", "Wed", "Thu",
                                                        "Fri", "Sat", "Sun"};
constexpr std::string_view kUnknownName{"???"};
constexpr int kSunday = 7;
constexpr int kMonday = 1;
// Traffic time stamps beyond this are not a time (about the year 5138); they fall back to the
// wall clock rather than overflowing the conversion.
constexpr double kLatestTrafficTime = 1.0e11;

std::int64_t lf_systemClock() {
  return chr::duration_cast<chr::seconds>(chr::system_clock::now().time_since_epoch()).count();
}

// The clock's own period is nanoseconds here and 100 ns on Windows: convert, never take its count.
std::uint64_t lf_systemTicks100ns() {
  using Ticks100ns = chr::duration<std::uint64_t, std::ratio<1, 10000000>>;
  return chr::duration_cast<Ticks100ns>(chr::system_clock::now().time_since_epoch()).count();
}

// A moment broken down in UTC.
struct UtcParts {
  int year = 1970;
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int weekday = 4;  // 1 = Monday .. 7 = Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;
};

UtcParts lf_breakDown(std::int64_t t) {
  const chr::sys_seconds moment{chr::seconds{t}};
  const auto dayStart = chr::floor<chr::days>(moment);
  const chr::year_month_day date{dayStart};
  const chr::weekday weekday{dayStart};
  const chr::hh_mm_ss time{moment - dayStart};
  UtcParts parts;
  parts.year = static_cast<int>(date.year());
  parts.month = static_cast<int>(static_cast<unsigned>(date.month()));
  parts.day = static_cast<int>(static_cast<unsigned>(date.day()));
  parts.weekday = static_cast<int>(weekday.iso_encoding());
  parts.hour = static_cast<int>(time.hours().count());
  parts.minute = static_cast<int>(time.minutes().count());
  parts.second = static_cast<int>(time.seconds().count());
  return parts;
}

// Parses the leading optional '-' and digits of a token; false when there is no digit or the
// number does not fit an int.
bool lf_leadingInt(const std::string& token, int& value) {
  const char* first = token.data();
  const char* last = token.data() + token.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc{} && end != first;
}

}  // namespace

std::atomic<WallClockFn> g_wallClock{&lf_systemClock};

std::int64_t gf_wallClockNow() { return g_wallClock.load()(); }

std::atomic<Ticks100nsFn> g_ticks100nsClock{&lf_systemTicks100ns};

std::uint64_t gf_nowTicks100ns() {
  const Ticks100nsFn clock = g_ticks100nsClock.load();
  return clock != nullptr ? clock() : lf_systemTicks100ns();  // null: a test gave its clock back
}

std::int64_t gf_timeSourceNow() {
  if (g_rtProfessional.load()) {
    const double traffic = g_trafficTimeSec.load();
    if (std::isfinite(traffic) && traffic >= 1.0 && traffic < kLatestTrafficTime) {
      return static_cast<std::int64_t>(traffic);
    }
  }
  return gf_wallClockNow();
}

std::string_view gf_weekdayName(int day) {
  if (day < 1 || day > static_cast<int>(kWeekdayNames.size())) {
    return kUnknownName;
  }
  return kWeekdayNames[static_cast<std::size_t>(day - 1)];
}

std::string_view gf_monthName(int month) {
  if (month < 1 || month > static_cast<int>(kMonthNames.size())) {
    return kUnknownName;
  }
  return kMonthNames[static_cast<std::size_t>(month - 1)];
}

std::string gf_ctime(std::int64_t t) {
  const UtcParts p = lf_breakDown(t);
  return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", gf_weekdayName(p.weekday),
                     gf_monthName(p.month), p.day, p.hour, p.minute, p.second, p.year);
}

namespace {
std::string lf_timeOfDay(std::int64_t t) {
  const UtcParts p = lf_breakDown(t);
  return fmt::format("{:02}:{:02}:{:02}", p.hour, p.minute, p.second);
}
}  // namespace

std::string gf_timeNow() { return lf_timeOfDay(gf_wallClockNow()); }

std::string gf_trafficTimeNow() { return lf_timeOfDay(gf_timeSourceNow()); }

std::string gf_dateNow() {
  const UtcParts p = lf_breakDown(gf_wallClockNow());
  return fmt::format("{:3} {:02}, {:4}", gf_monthName(p.month), p.day, p.year);
}

DayHh gf_dayHhAt(std::int64_t t) {
  const UtcParts p = lf_breakDown(t);
  const bool secondHalf = p.minute >= 30 || (p.minute == 29 && p.second >= 30);
  return {static_cast<std::uint32_t>(p.weekday),
          static_cast<std::uint32_t>(2 * p.hour + (secondHalf ? 1 : 0))};
}

// The time source is read once: reading it twice could put the day of one moment together with
// the slot of the next (Sunday with slot 0 at Monday midnight).
DayHh gf_dayHhNow() { return gf_dayHhAt(gf_timeSourceNow()); }

std::uint32_t gf_hhDifference(DayHh x, DayHh y) {
  const auto isLater = [](DayHh a, DayHh b) {  // is a later than b within the week?
    if (a.day == kMonday && b.day == kSunday) return true;
    if (a.day == kSunday && b.day == kMonday) return false;
    if (a.day != b.day) return a.day > b.day;
    return a.hh > b.hh;
  };
  const DayHh later = isLater(x, y) ? x : y;
  const DayHh earlier = isLater(x, y) ? y : x;
  std::int64_t difference =
      (static_cast<std::int64_t>(later.day) - static_cast<std::int64_t>(earlier.day)) *
          kSlotsPerDay +
      static_cast<std::int64_t>(later.hh) - static_cast<std::int64_t>(earlier.hh);
  if (later.day == kMonday && earlier.day == kSunday) {
    difference += static_cast<std::int64_t>(kDaysPerWeek) * kSlotsPerDay;
  }
  return static_cast<std::uint32_t>(difference);
}

HalfHours gf_hours2bitset(const std::string& text, const std::string& context) {
  HalfHours slots;
  // Tokens are taken as they stand (not trimmed): the lists are written without blanks.
  std::vector<std::string> tokens;
  for (std::size_t start = 0; !text.empty();) {
    const auto comma = text.find(',', start);
    tokens.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (const auto& token : tokens) {
    int value = -1;
    if (lf_leadingInt(token, value) && value >= 0 && value < static_cast<int>(kSlotsPerDay)) {
      slots.set(static_cast<std::size_t>(value));
      continue;
    }
    gf_logError(fmt::format("{} invalid hour \"{}\" in {}", context, token, text));
  }
  return slots;
}

HalfHours gf_hours2bitset(const std::string& text) {
  return gf_hours2bitset(text, "gf_hours2bitset");
}

std::string gf_bitset2hours(const HalfHours& slots) {
  std::string text;
  for (std::size_t slot = 0; slot < slots.size(); ++slot) {
    if (slots.test(slot)) {
      text += fmt::format("{},", slot);
    }
  }
  if (!text.empty()) {
    text.pop_back();
  }
  return text;
}
