// The replay driver: the scenario's reports parsed at their time and put into the live-traffic
// buffer as the traffic reader does, the engine stepped with no real time (g_tickCount =
// recording seconds x 100), and after every step what the engine holds: the positions sent, the
// life of each aircraft, and the invariants of its records.
#include <algorithm>
#include <fstream>
#include <mutex>
#include <set>
#include <string_view>

#include <fmt/format.h>

#include "airports/airports.h"
#include "fixtures/livery_tables.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/random_pick.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "intake/traffic_parser.h"
#include "liveries/match_summary.h"
#include "replay_sim.h"
#include "traffic/live/live.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/parking/parking.h"
#include "traffic/records/engine_index.h"

namespace replay {

namespace {

constexpr std::int64_t kStepsPerSecond = 100;
constexpr double kCloseAfterS = 110.0;  // after the last report: the run closes
constexpr double kGiveUpAfterS = 300.0;  // ... and ends at the latest
constexpr std::uint32_t kRandomSeed = 1;  // every replay of a scenario sends the same track
constexpr double kRadiusBeforeShrinkNm = 40.0;
constexpr std::int64_t kShrinkAfterCreationSteps = 50;
// The records' time stamps count from here: the intake refuses stamps before 2000.
constexpr double kRecordingEpochS = 1724517600.0;

struct Record {
  double t;  // recording seconds
  std::string line;
};

// The identity an aircraft reports at recording second t.
fixtures::TrackAircraft lf_reported(const Scenario& s, const fixtures::TrackAircraft& a, double t) {
  fixtures::TrackAircraft now = a;
  for (const IdentityChange& c : s.changes) {
    if (c.id != a.id || t < c.fromS) continue;
    if (!c.callsign.empty()) now.callsign = c.callsign;
    if (!c.registration.empty()) now.registration = c.registration;
    if (!c.to.empty()) now.to = c.to;
  }
  return now;
}

std::vector<Record> lf_records(const Scenario& s, ReplayRun& run) {
  std::vector<Record> records;
  for (const fixtures::TrackAircraft& a : s.aircraft) {
    const fixtures::FlownTrack flown = fixtures::flyTrack(a);
    const bool noisy = std::find(s.noisy.begin(), s.noisy.end(), a.id) != s.noisy.end();
    std::size_t count = 0;
    double group = s.startS;
    for (fixtures::TrackState state : fixtures::sampleReports(a, flown, s.startS, s.durationS)) {
      if (s.groupEveryS > 0.0) {  // the aircraft's n-th report in the n-th group
        state.t = group;
        group += s.groupEveryS;
      }
      const fixtures::TrackAircraft reported = lf_reported(s, a, state.t);
      records.push_back({state.t, fixtures::rttfcRecord(reported, state, kRecordingEpochS)});
      run.topSpeedKt[a.id] = std::max(run.topSpeedKt[a.id], state.speedKt);
      if (noisy && ++count % 3 == 0) {
        records.push_back({state.t, records.back().line});  // the same record twice
        state.t += 1.5;
        state.speedKt = state.speedKt * 12.0 + 90.0;  // a speed nothing flies at
        records.push_back({state.t, fixtures::rttfcRecord(reported, state, kRecordingEpochS)});
      }
    }
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& x, const Record& y) { return x.t < y.t; });
  return records;
}

void lf_resetWorld(const Scenario& s) {
  gf_resetSimLinkRun();  // a replay is a run of its own: nothing of the last one's link is left
  gf_resetTraffic();
  g_qnh = s.qnhHpa;  // as a weather datagram sets it
  // What the program keeps for its whole life starts afresh too: titles the simulator refused.
  g_failedLiveries.clear();
  g_notCreated.clear();
  g_matchSteps = {};
  g_flightPlanFolder.clear();  // flight plans go to the current folder, as on a first run
  g_tickCount = 0;
  gf_rng().seed(kRandomSeed);  // the pitches each new aircraft varies by
  g_paramLightAircraft.setValue(true);
  g_paramLog.setValue(true);  // the replay's Log.txt tells why
  g_paramRandom.setValue(false);
  g_paramGuidChanges.setValue(s.guidChanges);
  g_paramMaxLive.setValue(s.maxLive);
  g_paramBlockCallsign.setValue(s.blockCallsign);
  g_paramStraightPbsOnly.setValue(!s.turningPushback);
  if (s.shrinkRadiusToNm > 0.0) gf_setTrafficRadius(kRadiusBeforeShrinkNm);
  g_userOnGround = true;
  g_userAcSnapshot = {};
  g_userAcSnapshot.latitude = s.user.lat;
  g_userAcSnapshot.longitude = s.user.lon;
  gf_setUpTestAirport(s.fieldElevationFt);
  g_reservedStand = s.reservedStand;
  if (const StandIter stand = gf_findStandByName(s.reservedStand); stand != g_parkStands.end()) {
    stand->reserved = true;
  }
  fixtures::gf_useLiveries(gf_replayLiveries());
}

// The program's closing removes what is still in the simulator.
void lf_closeRun() {
  for (AiAircraft& a : g_liveAc) removeAircraftFromSim(a);
}

std::string_view lf_stateName(std::uint32_t st) {
  switch (st) {
    case kStBuffer:
      return "buffer";
    case kStAdding2Sim:
      return "spawn";
    case kStActive:
      return "active";
    case kStLiveryRespawn:
      return "respawn";
    default:
      return "removal";
  }
}

class Driver {
 public:
  Driver(const Scenario& s, const ReplayOptions& o) : m_scenario(s), m_options(o) {}

  ReplayRun run() {
    gf_markWorkerThread();
    lf_resetWorld(m_scenario);
    m_sim = m_options.standin ? gf_standinSim(m_scenario, m_options) : gf_fakeSim(m_scenario);
    m_run.fieldElevationFt = m_scenario.fieldElevationFt;
    const std::vector<Record> records = lf_records(m_scenario, m_run);
    const double lastS = records.empty() ? m_scenario.startS : records.back().t;
    std::size_t next = 0;
    bool closed = false;
    for (std::int64_t step = 0;; ++step) {
      const double now = m_scenario.startS + static_cast<double>(step) / kStepsPerSecond;
      for (; next < records.size() && records[next].t <= now; ++next) feed(records[next], step);
      if (!closed && now > lastS + kCloseAfterS) {
        lf_closeRun();
        closed = true;
      }
      if ((next == records.size() && g_liveAc.empty()) || now > lastS + kGiveUpAfterS) break;
      shrinkRadius(step);
      const bool fast = g_fastRangeRequest;
      gf_liveTrafficStep();
      m_sim->afterStep(step, fast, m_run);
      observe(step);
    }
    m_sim->finish(m_run);
    for (const AiAircraft& a : g_liveAc) {
      m_run.problems.push_back(fmt::format("{} stuck in {}", a.callsign, lf_stateName(a.st)));
    }
    lf_collectErrors(m_run);
    return std::move(m_run);
  }

 private:
  // What the traffic reader does with a datagram.
  void feed(const Record& record, std::int64_t step) {
    std::vector<std::string_view> fields;
    gf_splitTrafficFields(record.line, fields);
    TrafficFilterContext context;
    context.userLatitude = m_scenario.user.lat;
    context.userLongitude = m_scenario.user.lon;
    context.parkElevationFt = g_parkAirportElev;
    context.qnhHpa = g_qnh.load();
    context.parkIcao = g_parkAirportIcao;
    context.parkLatitude = g_parkAirportPos.lat;
    context.parkLongitude = g_parkAirportPos.lon;
    ParsedTraffic parsed;
    if (gf_parseTrafficRecord(fields, context, parsed) != TrafficVerdict::kReady) return;
    TrafficReport& r = parsed.report;
    r.position.dueTime = static_cast<std::int32_t>(g_tickCount.load() + kReportDelaySteps);
    m_run.lastReportS[r.key] = record.t;
    m_run.firstReports.try_emplace(r.key,
                                   ReplayRun::FirstReport{step, {r.position.lat, r.position.lon}});
    if (r.position.rollPresent) {
      m_run.maxRollRad[r.key] = std::max(m_run.maxRollRad[r.key], std::fabs(r.position.roll));
    }
    std::lock_guard lock(g_trafficMutex);
    g_liveTrafficBuffer.push_back(std::move(r));
  }

  // The user shrinks the traffic radius while the simulator creates an object.
  void shrinkRadius(std::int64_t step) {
    if (m_scenario.shrinkRadiusToNm <= 0.0 || m_run.firstCreationStep < 0 ||
        step != m_run.firstCreationStep + kShrinkAfterCreationSteps) {
      return;
    }
    gf_setTrafficRadius(m_scenario.shrinkRadiusToNm);
  }

  // After each step: positions sent, the life of each aircraft, the records' invariants.
  void observe(std::int64_t step) {
    std::map<std::uint32_t, std::uint32_t> states;
    for (const AiAircraft& a : g_liveAc) {
      states[a.key] = a.st;
      m_run.firstRecordStep.try_emplace(a.key, step);
      m_callsigns[a.key] = a.callsign;
      if (a.objectId != 0) m_run.objectIds[a.key] = a.objectId;
      if (a.st == kStActive && a.objectId != 0) {
        const AcPositionUpdate p{a.lat,     a.lon,      a.pitch,         a.bank,
                                 a.heading, a.altitude, a.verticalSpeed, a.trueAirspeed,
                                 a.objectId};
        const double gs = a.stream.empty() ? 0.0 : a.stream.front().groundSpeed;
        m_run.positions.push_back({step, a.key, p, a.fs, !std::isnan(a.curve.p1East), gs,
                                   a.onGround, a.takeOffRun || a.landingRoll, {}, {}, false,
                                   false});
        observeLeg(a, m_run.positions.back());
        if (a.fs == kFsParked) m_run.parkedOn[a.key] = a.standPlace;
      }
      const std::uint32_t before = m_states.contains(a.key) ? m_states[a.key] : std::uint32_t{kStBuffer};
      if (a.st != before) lifeEvent(step, a, a.st);
    }
    for (const auto& [key, st] : m_states) {
      if (states.contains(key)) continue;
      const char* what = st == kStBuffer ? "drop" : st == kStRemovingFromSim ? "gone" : "erased";
      lifeEvent(m_callsigns[key], what);
    }
    m_states = std::move(states);
    checkInvariants(step);
  }

  // The leg the aircraft flies: a new report in front means it left the one in front before.
  void observeLeg(const AiAircraft& a, SentPosition& p) {
    if (a.stream.empty()) return;
    const PositionReport& s = a.stream.front();
    Leg& l = m_legs.try_emplace(a.key, Leg{s, s, false}).first->second;
    const bool next = s.lat != l.to.lat || s.lon != l.to.lon || s.altitude != l.to.altitude ||
                      s.airborne != l.to.airborne;
    if (next) l = {l.to, s, true};
    const auto end = [this](const PositionReport& r) {
      return SentPosition::LegEnd{r.airborne ? r.altitude : m_scenario.fieldElevationFt,
                                  r.verticalSpeed, r.dueTime};
    };
    p.from = end(l.from);
    p.to = end(s);
    // A helicopter has no take-off sequence to skip: it climbs along its reports from the start.
    const bool helicopter = a.category == kCatRotorcraft;
    const bool flying = a.fs == kFsFlying || (helicopter && a.fs == kFsTakeOff);
    p.betweenAirborne = l.known && (l.from.airborne || helicopter) && s.airborne &&
                        !a.onGround && flying && a.flareStage == 0 && a.predictedReports == 0;
    p.landingAhead = lf_landingAhead(a);
    p.approach = a.approach;
  }

  void lifeEvent(std::int64_t step, const AiAircraft& a, std::uint32_t st) {
    std::string what(lf_stateName(st));
    if (st == kStAdding2Sim) {
      ++m_run.creations[a.key];
      m_run.climbPitch[a.key] = a.climbPitch;
      m_run.pitchRate[a.key] = a.pitchRate;
      m_run.category[a.key] = a.category;
      if (a.fs == kFsParked) what = "spawn parked";
    }
    if (st == kStRemovingFromSim) {
      ++m_run.removals[a.key];
      m_run.removalStep[a.key] = step;
    }
    if (st != kStActive) lifeEvent(a.callsign, what);
  }

  void lifeEvent(const std::string& callsign, const std::string& what) {
    std::vector<std::string>& life = m_run.lives[callsign];
    if (life.empty() || life.back() != what) life.push_back(what);
  }

  void checkInvariants(std::int64_t step) {
    std::string why;
    if (!gf_indexesMatchScan(why)) problem("indexes", fmt::format("step {}: {}", step, why));
    for (const ParkPos& stand : g_parkStands) {
      if (!stand.liveOccupied) continue;
      const bool held = std::any_of(g_liveAc.begin(), g_liveAc.end(), [&stand](const AiAircraft& a) {
        return a.standId == stand.number && a.fs == kFsParked;
      });
      if (!held) problem(stand.id, fmt::format("step {}: stand {} flagged without holder", step, stand.id));
    }
  }

  // Each kind of problem once, at its first step.
  void problem(const std::string& kind, std::string text) {
    if (m_problemKinds.insert(kind).second) m_run.problems.push_back(std::move(text));
  }

  static void lf_collectErrors(ReplayRun& run) {
    std::ifstream log("Log.txt");
    for (std::string line; std::getline(log, line);) {
      if (line.find("===> ") != std::string::npos) run.logLines.push_back(line);
    }
  }

  const Scenario& m_scenario;
  const ReplayOptions& m_options;
  std::unique_ptr<SimSide> m_sim;
  ReplayRun m_run;
  std::map<std::uint32_t, std::uint32_t> m_states;  // key -> st after the previous step
  std::map<std::uint32_t, std::string> m_callsigns;
  struct Leg {
    PositionReport from, to;
    bool known;  // from is the report the aircraft left, not its first report
  };
  std::map<std::uint32_t, Leg> m_legs;  // key -> the reports of the leg it flies
  std::set<std::string> m_problemKinds;
};

}  // namespace

ReplayRun gf_replay(const Scenario& scenario, const ReplayOptions& options) {
  // The test airport's list and a scenario's traffic radius hold for the replay only.
  const std::vector<AirportEntry> airports = g_airports;
  const double radiusNm = g_trafficRadiusNm.load();
  const auto restore = [&] {
    g_airports = airports;
    gf_setTrafficRadius(radiusNm);
  };
  try {
    ReplayRun run = Driver(scenario, options).run();
    restore();
    return run;
  } catch (...) {
    restore();
    throw;
  }
}

}  // namespace replay
