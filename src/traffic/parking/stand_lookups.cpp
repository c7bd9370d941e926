// Lookups on the park airport's stands: the stand at a position, the closest free stand that fits
// an aircraft, a stand by name or id, marking a stand taken, and the count of unsaved stand
// changes. Worker thread.
#include <algorithm>
#include <cassert>

#include "airports/airports.h"
#include "foundation/main_window_state.h"
#include "foundation/worker_thread.h"
#include "simlink/simlink.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"
#include "traffic/records/records.h"

std::int32_t g_parkStandUpdates = 0;

namespace {

constexpr double kStandNameRangeNm = 0.029697624190064796;  // 55 m
constexpr double kNoDistanceNm = 900.0;                     // farther than any stand
constexpr double kAlmostUnderNm = 0.010799136069114472;     // 20 m
constexpr double kOptionSearchNm = 0.0458963282937365;      // 85 m
constexpr double kOneMetreNm = 0.0005399568034557236;

// The last position asked for and its answer; worker only.
struct StandNameCache {
  bool valid = false;
  LatLon position;
  std::string name;
};
StandNameCache g_standNameCache;

StandIter lf_standById(std::uint32_t standId) {
  ParkPos* stand = gf_standById(standId);
  return stand == nullptr ? g_parkStands.end() : g_parkStands.begin() + (stand - g_parkStands.data());
}

bool lf_hasMatchingOption(const ParkPos& stand, const AircraftHead& aircraft) {
  return std::any_of(stand.options.begin(), stand.options.end(), [&](const ParkPosOption& o) {
    return gf_optionMatches(aircraft.callsign, aircraft, o);
  });
}

}  // namespace

void gf_countStandUpdate() {
  ++g_parkStandUpdates;
  g_parkStandsChanged = true;
  const auto shown = static_cast<std::uint32_t>(std::max(g_parkStandUpdates, 0));
  if (g_mainWindowState.standUpdates.exchange(shown) != shown) {
    g_mainWindowState.invalidate(kParkArea);
  }
}

std::string gf_standNameAt(const LatLon& position) {
  assert(gf_onWorkerThread());
  if (g_parkStands.empty() || !g_userOnGround.load()) {
    return {};
  }
  if (g_standNameCache.valid && g_standNameCache.position.lat == position.lat &&
      g_standNameCache.position.lon == position.lon) {
    return g_standNameCache.name;
  }
  const ParkPos* best = nullptr;
  double bestDist = kNoDistanceNm;
  for (const ParkPos& stand : g_parkStands) {
    const double d = gf_distanceNm(position, {stand.lat, stand.lon});
    if (d <= kStandNameRangeNm && d < bestDist) {
      best = &stand;
      bestDist = d;
    }
  }
  g_standNameCache = {true, position, best == nullptr ? std::string() : best->id};
  return g_standNameCache.name;
}

void gf_forgetStandNames() { g_standNameCache = {}; }

StandIter gf_closestFreeStand(const LatLon& position, const AircraftHead& aircraft,
                              double maxDistNm, bool tryOptions) {
  const StandIter none = g_parkStands.end();
  StandIter best = none;
  StandIter optionBest = none;
  StandIter small = none;
  double bestDist = kNoDistanceNm;
  double optionDist = kNoDistanceNm;
  bool searching = tryOptions;
  for (StandIter stand = g_parkStands.begin(); stand != none; ++stand) {
    if (stand->liveOccupied) {
      continue;
    }
    const double d = gf_distanceNm(position, {stand->lat, stand->lon});
    const bool fits = gf_fitsStand(aircraft, *stand);
    if (d <= maxDistNm && d < bestDist) {
      if (fits || d <= kAlmostUnderNm) {
        best = stand;
        bestDist = d;
        searching = false;
        small = fits ? small : stand;  // too small, but almost under the aircraft
      }
    } else if (searching && d <= kOptionSearchNm && d < optionDist && fits &&
               !aircraft.callsign.empty() && lf_hasMatchingOption(*stand, aircraft)) {
      optionBest = stand;
      optionDist = d;
    }
  }
  if (best == none) {
    best = optionBest;
  }
  if (best == none) {
    return none;
  }
  const bool rotorcraft = aircraft.category == kCatRotorcraft;
  if (best->heli != rotorcraft) {
    return none;
  }
  if (best == small) {
    // Learn the real size: the aircraft seen here fits next time.
    const StandIter first = lf_standById(best->number);
    first->radius = aircraft.halfWingspan - kOneMetreNm;
    first->radius_change = true;
    gf_countStandUpdate();
  }
  return best;
}

StandIter gf_findStandByName(const std::string& name) {
  return std::find_if(g_parkStands.begin(), g_parkStands.end(),
                      [&name](const ParkPos& s) { return s.id == name; });
}

void gf_occupyStand(ParkPos& stand) {
  stand.staticOccupied = true;
  for (const std::uint32_t neighbourId : stand.overlaps) {
    const StandIter neighbour = lf_standById(neighbourId);
    if (neighbour != g_parkStands.end()) {
      neighbour->blockedByNeighbour = true;
    }
  }
}

std::string lf_standNameById(std::uint32_t standId) {
  if (standId == 0) {
    return "sid==0?";
  }
  const StandIter stand = lf_standById(standId);
  return stand == g_parkStands.end() ? "unknown" : stand->id;
}
