// Choosing a plausible stand for a soft option: an aircraft seen standing near the park airport
// without a stand gets the stand its kind would use (helipads for helicopters, cargo stands for
// cargo aircraft, general-aviation stands for light and private aircraft, gates for airliners),
// the best fitting one first. Worker thread.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "airports/airports.h"
#include "foundation/parameters.h"
#include "foundation/random_pick.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"
#include "traffic/records/records.h"

namespace {

constexpr double kSmallSpacingNm = 0.00755939524838013;   // 14 m
constexpr double kLargeSpacingNm = 0.011339092872570195;  // 21 m
// Half spans up to 17.8 m (as single precision gives it) use the small spacing.
constexpr double kSmallSpanNm = 0.009611230689557531;
constexpr std::int32_t kStartScore = 100;
constexpr std::size_t kCandidatesReserve = 256;
constexpr std::size_t kShiftMaxStands = 10;  // small airports try the next slot too
constexpr std::uint32_t kAirlinerPercent = 10;  // draws below this try ramp stands first

struct SoftCandidate {
  std::string standName;
  std::int32_t score = 0;       // spacing steps (or nautical miles) the stand is too large
  std::uint32_t optionMatch = 0;  // the stand has a real option of this aircraft
};

using StandFilter = bool (*)(const ParkPos&);

class SoftChoice {
 public:
  SoftChoice(const AircraftHead& aircraft, DayHh when) : aircraft_(aircraft), when_(when) {
    candidates_.reserve(kCandidatesReserve);
    spacing_ = aircraft.halfWingspan <= kSmallSpanNm ? kSmallSpacingNm : kLargeSpacingNm;
  }

  // The fitting pass over the stands the filter selects: stands the aircraft fits, scored in
  // spacing steps by which they are larger than needed.
  bool fitting(StandFilter filter) {
    return pass(filter, [this](const ParkPos& s) -> std::optional<std::int32_t> {
      if (!gf_fitsStand(aircraft_, s)) return std::nullopt;
      return static_cast<std::int32_t>(std::lround((s.radius - aircraft_.halfWingspan) / spacing_));
    });
  }
  // The any-size pass: every selected stand, scored by the size difference in nautical miles.
  bool anySize(StandFilter filter) {
    return pass(filter, [this](const ParkPos& s) -> std::optional<std::int32_t> {
      return static_cast<std::int32_t>(std::lround(std::fabs(aircraft_.halfWingspan - s.radius)));
    });
  }
  bool select(StandFilter filter) { return fitting(filter) || anySize(filter); }

  std::vector<SoftCandidate>& candidates() { return candidates_; }

 private:
  template <typename Score>
  bool pass(StandFilter filter, Score score) {
    const std::size_t before = candidates_.size();
    std::int32_t best = kStartScore;
    for (const ParkPos& stand : g_parkStands) {
      if (!filter(stand)) continue;
      const std::optional<std::int32_t> s = score(stand);
      if (!s || *s > best || promised(stand)) continue;
      best = *s;
      candidates_.push_back({stand.id, *s, matches(stand) ? 1u : 0u});
    }
    return candidates_.size() > before;
  }
  // The stand's timetable wants it now.
  bool promised(const ParkPos& stand) const {
    return std::any_of(stand.options.begin(), stand.options.end(), [this](const ParkPosOption& o) {
      return o.id != 0 && o.day == when_.day && o.hh.test(when_.hh % kSlotsPerDay);
    });
  }
  bool matches(const ParkPos& stand) const {
    if (aircraft_.callsign.empty()) return false;
    return std::any_of(stand.options.begin(), stand.options.end(), [this](const ParkPosOption& o) {
      return gf_optionMatches(aircraft_.callsign, aircraft_, o);
    });
  }

  const AircraftHead& aircraft_;
  const DayHh when_;
  double spacing_ = kSmallSpacingNm;
  std::vector<SoftCandidate> candidates_;
};

bool lf_heli(const ParkPos& s) { return s.heli; }
bool lf_ramp(const ParkPos& s) { return s.ramp; }
bool lf_cargoNotHeli(const ParkPos& s) { return s.cargo && !s.heli; }
bool lf_notHeli(const ParkPos& s) { return !s.heli; }
bool lf_generalAviation(const ParkPos& s) { return s.ramp && !s.cargo && !s.heli; }
bool lf_gate(const ParkPos& s) { return !s.ramp && !s.cargo && !s.heli; }

// Runs the selections of the aircraft's kind until one yields a candidate.
bool lf_collect(SoftChoice& choice, const AircraftHead& aircraft) {
  if (aircraft.category == kCatRotorcraft) {
    return choice.fitting(&lf_heli) || choice.fitting(&lf_ramp) || choice.anySize(&lf_heli) ||
           choice.anySize(&lf_ramp);
  }
  if (aircraft.cargo) {
    return choice.select(&lf_cargoNotHeli) || choice.select(&lf_notHeli);
  }
  if (aircraft.category == kCatLight || aircraft.category == kCatBuzjets ||
      aircraft.airline == "PVT") {
    return choice.select(&lf_generalAviation);
  }
  // Airliners use gates first; outside the US one in ten tries the ramp stands first.
  const bool gatesFirst = (!g_parkAirportIcao.empty() && g_parkAirportIcao.front() == 'K') ||
                          gf_rng()() % 100 >= kAirlinerPercent;
  if (gatesFirst) {
    return choice.select(&lf_gate) || choice.select(&lf_generalAviation);
  }
  return choice.select(&lf_generalAviation) || choice.select(&lf_gate);
}

}  // namespace

StandIter lf_chooseSoftStand(DayHh when, const AircraftHead& aircraft, bool allowShift) {
  SoftChoice choice(aircraft, when);
  lf_collect(choice, aircraft);
  std::vector<SoftCandidate>& candidates = choice.candidates();
  if (candidates.empty()) {
    if (allowShift && g_parkStands.size() <= kShiftMaxStands) {
      return lf_chooseSoftStand(gf_nextSlot(when), aircraft, false);
    }
    return g_parkStands.end();
  }
  if (candidates.size() >= 2) {
    if (g_paramRandom.value()) {
      std::shuffle(candidates.begin(), candidates.end(), gf_rng());
    }
    // Matching option first, then the lower score; a strict order, stable for equal keys.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const SoftCandidate& a, const SoftCandidate& b) {
                       if (a.optionMatch != b.optionMatch) return a.optionMatch > b.optionMatch;
                       return a.score < b.score;
                     });
  }
  return gf_findStandByName(candidates.front().standName);
}
