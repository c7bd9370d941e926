// Taking the traffic reports: each report is merged into the live aircraft with its key, or,
// when no aircraft has it, starts a new one in state buffer (the spawn decision follows in the
// update). Reports that add nothing or cannot be trusted are dropped here. Worker thread.
#include <algorithm>
#include <cmath>
#include <deque>
#include <exception>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/errors.h"
#include "intake/intake.h"
#include "liveries/database_queries.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/records/records.h"

namespace {

constexpr double kMinReportGapS = 1.0;
constexpr double kSlowKt = 5.0;
constexpr double kFastJumpKt = 80.0;
constexpr double kSpeedJumpFactor = 10.0;
constexpr double kThinAirMinKt = 120.0;
constexpr double kThinAirTrackDeg = 1.0;
constexpr double kThinAirNm = 0.2429805615550756;  // 450 m
constexpr double kThinGroundMaxKt = 30.0;
constexpr double kThinGroundTrackDeg = 2.0;
constexpr double kThinGroundNm = 0.010799136069114472;  // 20 m
constexpr double kThinGroundMaxS = 15.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kParkGroundCeilingFt = 10000.0;
constexpr double kParkGroundBandFt = 120.0;
constexpr double kNoParkElevationFt = -1000.0;
// New aircraft started a step: the spawn pacing and its creation backlog expect no more.
constexpr std::size_t kNewAircraftPerStep = 2;
// Reports of aircraft without a record that wait for their turn: groups as RealTraffic sends
// them (a few hundred records share a time stamp) wait whole; of a flood, the farthest aircraft
// are dropped, so that a step stays short and the next aircraft near the user is not held up.
constexpr std::size_t kNewReportsWaiting = 1000;

double lf_trackDiffDeg(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

bool lf_onParkGround(const PositionReport& r) {
  const double elevation = g_parkAirportIcao.empty() ? kNoParkElevationFt : g_parkAirportElev;
  return r.altitude > 0.0 && r.altitude < kParkGroundCeilingFt &&
         std::fabs(r.altitude - elevation) <= kParkGroundBandFt;
}

bool lf_speedJump(double g, double g0) {
  return (g0 > kSlowKt && g >= kSpeedJumpFactor * g0) ||
         (g > kSlowKt && g0 >= kSpeedJumpFactor * g) || (g0 <= kSlowKt && g >= kFastJumpKt) ||
         (g <= kSlowKt && g0 >= kFastJumpKt);
}

// Reports that come faster than the aircraft covers 450 m in the air, or 20 m on the ground
// (at most 15 s), on the same track add nothing while the real reports flow.
bool lf_thinned(const AiAircraft& a, const PositionReport& r, double dt) {
  if (a.predictedReports > 0) return false;
  const PositionReport& last = a.stream.back();
  const double g = r.groundSpeed;
  const double turn = lf_trackDiffDeg(r.track, last.track);
  if (r.airborne) {
    return g > kThinAirMinKt && turn <= kThinAirTrackDeg &&
           dt <= kThinAirNm / (g / kSecondsPerHour);
  }
  if (!(g <= kThinGroundMaxKt) || !(turn <= kThinGroundTrackDeg)) return false;
  const double limit =
      g == 0.0 ? kThinGroundMaxS : std::min(kThinGroundNm / (g / kSecondsPerHour), kThinGroundMaxS);
  return dt <= limit;
}

// Runs one step of taking a report; a failure is logged under the step's name and passed on,
// as decodeExisting does, so that the caller drops the report.
template <typename Step>
auto lf_logFailure(const char* name, Step&& step) {
  try {
    return step();
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} exception {}", name, e.what()));
    throw;
  }
}

ReportFate lf_merge(AiAircraft& a, TrafficReport& r) {
  if (a.st == kStLiveryRespawn || a.st == kStRemovingFromSim) return ReportFate::kOnItsWayOut;
  if (!a.stream.empty()) {
    const double dt = r.timeStamp - a.lastReportTime;
    if (r.timeStamp == a.lastReportTime || dt <= kMinReportGapS) return ReportFate::kTooSoon;
    // While the stream ends in made-up reports (a hold's at 0 kt, predictions), against the last
    // report merged: a real aircraft moving on after its hold would otherwise look like a jump
    // in every report until it is given up.
    const double lastGs =
        a.predictedReports > 0 ? a.lastMerged.groundSpeed : a.stream.back().groundSpeed;
    if (lf_speedJump(r.position.groundSpeed, lastGs)) {
      return ReportFate::kSpeedJump;
    }
    if (lf_thinned(a, r.position, dt)) return ReportFate::kThinned;
  }
  if (a.st == kStBuffer && lf_onParkGround(r.position)) return ReportFate::kOnParkGround;
  if (!lf_logFailure("lf_identityChange", [&] { return lf_identityChange(a, r); })) {
    return ReportFate::kIdentityRefused;
  }
  a.lastReportTime = r.timeStamp;
  decodeExisting(a, r.position);
  return ReportFate::kMerged;
}

ReportFate lf_newAircraft(TrafficReport& r) {
  if (!r.callsign.empty()) {
    for (const std::uint32_t i : gf_liveWithCallsign(r.callsign)) {
      if (g_liveAc[i].type == r.type) return ReportFate::kSameCallsignType;
    }
  }
  if (r.type.empty()) r.type = gf_typeFromReg(r.registration);
  if (!gf_isKnownType(r.type)) {
    r.type = gf_typeFromReg(r.registration);
    if (r.type.empty()) return ReportFate::kUnknownType;
  }
  if (!lf_categoryAllowed(gf_typeCategory(r.type))) return ReportFate::kCategoryOff;
  if (lf_onParkGround(r.position)) return ReportFate::kOnParkGround;
  r.text6 = r.callsign;
  r.text7.clear();
  r.word &= ~std::uint64_t{0xFF};
  AircraftHead head = gf_initTrafficReport(r);
  head.key = r.key;
  gf_initLiveMotion(head);
  g_liveAc.emplace_back(r.position, std::move(head), r.timeStamp);
  return ReportFate::kNewAircraft;
}

bool lf_finite(const TrafficReport& r) {
  const PositionReport& p = r.position;
  return std::isfinite(p.lat) && std::isfinite(p.lon) && std::isfinite(r.timeStamp) &&
         !std::isinf(p.altitude) && !std::isinf(p.groundSpeed);
}

// Takes one report; a failure drops it (logged where it arose) and the run goes on.
void lf_takeOrDrop(TrafficReport& report) {
  try {
    lf_takeReport(report);
  } catch (const qvb::UserErrorException&) {
    throw;
  } catch (const std::exception&) {
  }
}

// An aircraft without a record among the taken reports: its distance from the user at its first
// report there, and its reports' places among the taken ones (in `places`, from begin to end).
struct Newcomer {
  double nm = 0.0;
  std::size_t first = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// The aircraft without a record, nearest to the user first (in the order they came while the
// user aircraft is not placed). `places` holds (key, place) of their reports; it is sorted so
// that each aircraft's reports lie together in the order they came.
std::vector<Newcomer> lf_newcomersNearestFirst(
    const std::deque<TrafficReport>& taken,
    std::vector<std::pair<std::uint32_t, std::size_t>>& places) {
  std::sort(places.begin(), places.end());
  const bool placed = !lf_userNotPlaced();
  const LatLon user{g_userAcSnapshot.latitude, g_userAcSnapshot.longitude};
  std::vector<Newcomer> newcomers;
  for (std::size_t begin = 0, end = 0; begin < places.size(); begin = end) {
    while (end < places.size() && places[end].first == places[begin].first) ++end;
    const std::size_t first = places[begin].second;
    const double nm = placed ? gf_distanceNm(user, lf_pos(taken[first].position)) : 0.0;
    newcomers.push_back({nm, first, begin, end});
  }
  std::sort(newcomers.begin(), newcomers.end(), [](const Newcomer& a, const Newcomer& b) {
    return std::tie(a.nm, a.first) < std::tie(b.nm, b.first);
  });
  return newcomers;
}

// Gives the taken reports marked to wait back to the buffer; returns those dropped at its cap.
std::size_t lf_returnWaiting(std::deque<TrafficReport>& taken, const std::vector<bool>& waits) {
  std::deque<TrafficReport> back;
  for (std::size_t i = 0; i < taken.size(); ++i) {
    if (waits[i]) back.push_back(std::move(taken[i]));
  }
  return gf_returnTrafficReports(back);
}

// New aircraft keep the engine's pace, nearest first: beyond it a group of unknown aircraft
// would fill the records and the creation backlog at once. The others' reports wait for a later
// step, those of the farthest beyond kNewReportsWaiting dropped.
void lf_startNewcomers(std::deque<TrafficReport>& taken,
                       std::vector<std::pair<std::uint32_t, std::size_t>>& places) {
  std::vector<bool> waits(taken.size(), false);
  std::size_t started = 0;
  std::size_t waiting = 0;
  std::size_t dropped = 0;
  for (const Newcomer& n : lf_newcomersNearestFirst(taken, places)) {
    if (started < kNewAircraftPerStep) {
      for (std::size_t k = n.begin; k < n.end; ++k) lf_takeOrDrop(taken[places[k].second]);
      if (gf_liveByKey(places[n.begin].first) != nullptr) ++started;
    } else if (waiting < kNewReportsWaiting) {
      for (std::size_t k = n.begin; k < n.end; ++k) waits[places[k].second] = true;
      waiting += n.end - n.begin;
    } else {
      dropped += n.end - n.begin;
    }
  }
  if (waiting > 0) dropped += lf_returnWaiting(taken, waits);
  // Counted with the drops at the buffer's cap, so that a flood's losses show in one figure.
  if (dropped > 0) g_trafficReader.countDropped(dropped);
}

}  // namespace

bool lf_categoryAllowed(std::uint32_t category) {
  switch (category) {
    case kCatLight:
      return g_paramLightAircraft.value();
    case kCatHighPerf:
      return g_paramHighPerfAircraft.value();
    case kCatRotorcraft:
      return g_paramHelicopters.value();
    default:
      return category <= kCatRotorcraft;
  }
}

ReportFate lf_takeReport(TrafficReport& r) {
  if (!lf_finite(r) || r.key < kFirstLiveKey) {
    gf_logError(fmt::format("{} report of {} dropped: key {}, lalo {},{}", "lf_takeNewAc",
                            r.callsign, r.key, r.position.lat, r.position.lon));
    return ReportFate::kBadNumbers;
  }
  if (AiAircraft* a = gf_liveByKey(r.key)) return lf_merge(*a, r);
  return lf_logFailure("lf_takeNewAc", [&] { return lf_newAircraft(r); });
}

std::size_t lf_takeNewAc() {
  // Every waiting report, not a few a step: a flood must not leave a backlog behind that
  // starves the traffic reported after it. The buffer is emptied under the lock at once; the
  // merges run without it (they queue client events under g_simMutex).
  std::deque<TrafficReport> taken;
  gf_takeTrafficReports(taken);
  std::vector<std::pair<std::uint32_t, std::size_t>> places;  // of aircraft without a record
  for (std::size_t i = 0; i < taken.size(); ++i) {
    TrafficReport& r = taken[i];
    if (gf_liveByKey(r.key) == nullptr && lf_finite(r) && r.key >= kFirstLiveKey) {
      places.emplace_back(r.key, i);
    } else {
      lf_takeOrDrop(r);
    }
  }
  if (!places.empty()) lf_startNewcomers(taken, places);
  return taken.size();
}
