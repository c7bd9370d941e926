// The engine step's cost at a busy park airport: live aircraft flying, taxiing and parked, 30
// waiting in the buffer and 20 being activated, 500 active static aircraft on a 600-stand
// airport, two moving reports taken a step (merged into legs) and a range reply every 100 steps.
// Each step is timed on its own: median, 99th percentile and worst, at 75 to 600 live aircraft. Apart from the step, the
// checks the tick makes once per user report: the user's path over every live aircraft, the
// static aircraft in one taxiing aircraft's way, and one new live aircraft's duplicate checks.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

#include <benchmark/benchmark.h>

#include "bench_table.h"
#include "engine_world.h"

#include "airports/airports.h"
#include "fixtures/livery_tables.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "liveries/aircraft_database.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/parking/parking.h"

namespace {

constexpr LatLon kField{47.0, 8.0};
constexpr int kStands = 600;
constexpr int kStatics = 500;
constexpr int kWaiting = 30;
constexpr int kActivating = 20;
constexpr int kMeasuredSteps = 3000;
constexpr double kStandSpacingM = 80.0;
constexpr double kPerUserReport = 0.01;  // the tick's checks run once per user report (1 s)

LatLon lf_at(double eastM, double northM) {
  const LatLon across = gf_destination(kField, kPi / 2.0, eastM / 0.3048);
  return gf_destination(across, 0.0, northM / 0.3048);
}

void lf_airport() {
  g_parkAirportIcao = "ZZBM";
  g_parkAirportPos = kField;
  g_parkStands.clear();
  for (int k = 0; k < kStands; ++k) {
    const LatLon at = lf_at((k % 30) * kStandSpacingM, -(k / 30) * kStandSpacingM - 500.0);
    ParkPos& s = g_parkStands.emplace_back("S" + std::to_string(k), std::vector<ParkPosOption>{},
                                           StandPlace{at.lat, at.lon, 0.0}, 30.0, 1, 1, 1);
    s.number = static_cast<std::uint32_t>(k + 1);
    if (k % 30 != 0) s.overlaps = {s.number - 1};
  }
  g_parkStandsReady = true;
  for (int k = 0; k < kStatics; ++k) {
    AircraftIdent ident;
    ident.airline = "KLM";
    ident.type = "B738";
    ident.callsign = "ST" + std::to_string(k) + "*";
    ident.text6 = "KLM" + std::to_string(k);
    AircraftHead head = gf_initTrafficReport(ident);
    head.key = static_cast<std::uint32_t>(k + 1);
    const ParkPos& s = g_parkStands[static_cast<std::size_t>(k)];
    StaticAircraft& a = g_staticAc.emplace_back(std::move(head), s.number, StandPlace{s.lat, s.lon, 0.0}, false);
    a.st = kStActive;
    a.objectId = 5000 + static_cast<std::uint32_t>(k);
  }
}

// One live aircraft of the mix: k picks what it does.
void lf_live(int k, int live) {
  AircraftIdent ident;
  ident.airline = "KLM";
  ident.type = "A320";
  ident.callsign = "LV" + std::to_string(k);
  ident.registration = "PH-" + std::to_string(k);
  AircraftHead head = gf_initTrafficReport(ident);
  head.key = kFirstLiveKey + static_cast<std::uint32_t>(k);
  gf_initLiveMotion(head);
  const bool waiting = k >= live - kWaiting;
  const bool activating = !waiting && k >= live - kWaiting - kActivating;
  const int kind = k % 10;  // 0-4 flying, 5-7 taxiing, 8-9 parked
  const bool parked = kind >= 8 && !waiting && !activating && kStatics + k / 10 < kStands;
  const bool flying = kind < 5 && !parked;
  LatLon at = flying ? lf_at(0, 5000.0 + 300.0 * k) : lf_at(200.0 * (k % 20), 1000.0 + 40.0 * k);
  if (parked) {
    const ParkPos& s = g_parkStands[static_cast<std::size_t>(kStatics + k / 10)];
    at = {s.lat, s.lon};
  }
  const double alt = flying ? 4000.0 : 0.0;
  const auto now = static_cast<std::int32_t>(g_tickCount.load());
  PositionReport r = lf_groundReport(at, flying ? 250.0 : 15.0, now + (waiting ? 200000 : 0));
  r.altitude = alt;
  r.airborne = flying;
  r.track = 0.0;
  AiAircraft& a = g_liveAc.emplace_back(r, std::move(head), 0.0);
  PositionReport next = r;
  const LatLon ahead = gf_destination(at, 0.0, flying ? 12000.0 : 300.0);
  next.lat = ahead.lat;
  next.lon = ahead.lon;
  next.dueTime = now + 6000;  // the first leg is taken up at once and lasts a minute
  a.stream.push_back(next);
  a.lat = at.lat;
  a.lon = at.lon;
  a.altitude = alt;
  a.onGround = !flying;
  a.fs = parked ? kFsParked : flying ? kFsFlying : kFsTaxi;
  if (waiting) {
    a.fs = kFsBirth;
    return;
  }
  a.st = activating ? kStAdding2Sim : kStActive;
  a.objectId = 100 + static_cast<std::uint32_t>(k);
  if (parked) {
    a.standId = kStatics + k / 10 + 1;
    a.stream.resize(1);
  }
  if (activating) g_lightToggles.push_back({a.objectId, a.key, 0, kNoticeLiveIdentified, 0.0, 0.0});
}

void lf_world(int live) {
  bench::engineWorld(kField, {"A320", "B738"});
  lf_airport();
  for (int k = 0; k < live; ++k) lf_live(k, live);
  gf_recordsReordered();
}

// The traffic reader's two reports of a step, for aircraft in turn. A flying or taxiing aircraft
// reports where its last report's speed and track have taken it kReportGapS later, its track
// turning a little, so that the report is merged and becomes a leg; a parked one reports the
// same place again.
constexpr double kReportGapS = 5.0;  // beyond the thinning of reports on the same track
constexpr double kTurnPerReportDeg = 2.0;
constexpr double kFeetPerNm = 6076.12;

void lf_feed(int live, std::uint32_t step) {
  std::lock_guard lock(g_trafficMutex);
  for (int r = 0; r < 2; ++r) {
    const int k = static_cast<int>((step * 2 + static_cast<std::uint32_t>(r)) % static_cast<std::uint32_t>(live));
    const AiAircraft* a = gf_liveByKey(kFirstLiveKey + static_cast<std::uint32_t>(k));
    if (a == nullptr || a->stream.empty()) continue;
    TrafficReport t;
    static_cast<AircraftIdent&>(t) = *a;
    t.key = a->key;
    t.position = a->stream.back();
    t.position.dueTime = static_cast<std::int32_t>(g_tickCount.load() + kReportDelaySteps);
    t.timeStamp = a->lastReportTime + kReportGapS;
    if (a->fs != kFsParked) {
      PositionReport& p = t.position;
      const double feet = p.groundSpeed / 3600.0 * kReportGapS * kFeetPerNm;
      const LatLon ahead = gf_destination({p.lat, p.lon}, p.track * kDegToRad, feet);
      p.lat = ahead.lat;
      p.lon = ahead.lon;
      p.track = std::fmod(p.track + kTurnPerReportDeg, 360.0);
    }
    g_liveTrafficBuffer.push_back(std::move(t));
  }
}

// The range reply: every aircraft at or below 2500 ft, and 50 others.
void lf_rangeReply() {
  for (const AiAircraft& a : g_liveAc) {
    if (a.objectId != 0 && a.altitude <= 2500.0) {
      gf_postSimObjectNotice({a.objectId, 1, 0, kNoticeNearGround, 0.0, 0.0});
    }
  }
  for (std::uint32_t k = 0; k < 50; ++k) gf_postSimObjectNotice({90000 + k, 1, 0, kNoticeNearGround, 0.0, 0.0});
}

// The sum of the live aircraft's last report times: it changes when a step merged a report.
double lf_reportTimes() {
  double sum = 0.0;
  for (const AiAircraft& a : g_liveAc) sum += a.lastReportTime;
  return sum;
}

void lf_linkTakesQueues() {
  std::lock_guard lock(g_simMutex);
  g_posQueue->clear();
  g_eventQueue.clear();
  g_createQueue.clear();
  g_removeQueue.clear();
}

// The figure is the median step (manual time); the median, 99th percentile and worst step are
// counters, and the table shows the median and the 99th percentile.
void BM_EngineStep(benchmark::State& state) {
  const int live = static_cast<int>(state.range(0));
  std::vector<double> micros;
  std::int64_t merged = 0;
  for (auto _ : state) {
    lf_world(live);
    micros.clear();
    for (int n = 0; n < kMeasuredSteps; ++n) {
      const std::uint32_t step = g_tickCount.load();
      lf_feed(live, step);
      if (step % 100 == 0) lf_rangeReply();
      const double reportsBefore = lf_reportTimes();
      const auto t0 = std::chrono::steady_clock::now();
      gf_liveTrafficStep();
      micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
      if (lf_reportTimes() != reportsBefore) ++merged;
      lf_linkTakesQueues();
    }
    std::sort(micros.begin(), micros.end());
    state.SetIterationTime(micros[micros.size() / 2] * 1e-6);
  }
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["worst_us"] = micros.back();
  state.counters["live"] = static_cast<double>(g_liveAc.size());
  state.counters["steps_merging"] = static_cast<double>(merged);
  bench::shareOfTick(state);
}
BENCHMARK(BM_EngineStep)->Arg(75)->Arg(150)->Arg(300)->Arg(600)->Unit(benchmark::kMicrosecond)
    ->UseManualTime()->Iterations(1);

// The tick's user-path check while the user flies: every live aircraft, none in the way.
void BM_UserPathAllLive(benchmark::State& state) {
  lf_world(300);
  g_userOnGround = false;
  g_userAcSnapshot.altitudeAboveGround = 3000.0;
  g_userAcSnapshot.altitude = 3000.0;
  for (auto _ : state) {
    for (AiAircraft& a : g_liveAc) {
      if (gf_removeIfInUserPath(a)) break;
    }
  }
  g_userOnGround = true;
  bench::shareOfTick(state, kPerUserReport);
}
BENCHMARK(BM_UserPathAllLive)->Unit(benchmark::kMicrosecond);

// Static aircraft in one taxiing aircraft's way, among 500.
void BM_StaticInTheWay(benchmark::State& state) {
  lf_world(300);
  AiAircraft& taxi = g_liveAc[5];
  for (auto _ : state) benchmark::DoNotOptimize(gf_removeStaticForLiveAc(taxi));
  bench::shareOfTick(state, kPerUserReport);  // per moving aircraft
}
BENCHMARK(BM_StaticInTheWay)->Unit(benchmark::kMicrosecond);

// One new live aircraft's checks: its coupled callsigns and the static duplicates among 500.
void BM_NewLiveIdEntry(benchmark::State& state) {
  lf_world(300);
  AiAircraft& a = g_liveAc[0];
  const StaticDuplicateContext context{&a, a.callsign.substr(0, a.callsign.size() - 1), a.onGround};
  for (auto _ : state) {
    lf_searchForCoupledCsAroundThisTime(g_dayHhNow.load(), a);
    for (StaticAircraft& s : g_staticAc) {
      if (gf_removeStaticDuplicate(context, s)) break;
    }
  }
  bench::shareOfTick(state, kPerUserReport);
}
BENCHMARK(BM_NewLiveIdEntry)->Unit(benchmark::kMicrosecond);

}  // namespace
