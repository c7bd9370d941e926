// The replay driver: the scenario's reports parsed at their time, the engine stepped with no real
// time (g_tickCount = recording seconds x 100), the director's cues around the motion, and the
// fake simulator that drains the link's queues in process.
#include <algorithm>
#include <fstream>
#include <mutex>
#include <string_view>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "replay_cues.h"
#include "replay_sim.h"
#include "shell/intake/intake.h"
#include "shell/intake/traffic_parser.h"
#include "traffic/motion.h"

namespace replay {

namespace {

constexpr std::int64_t kStepsPerSecond = 100;
constexpr double kCloseAfterS = 110.0;  // after the last report: the run closes
constexpr double kGiveUpAfterS = 300.0;  // ... and ends at the latest
constexpr std::int64_t kRemovalEvery = 10;
constexpr std::uint32_t kFirstObjectId = 101;

struct Record {
  double t;  // recording seconds
  std::string line;
};

class FakeSim : public SimSide {
 public:
  void create(const CreateAcRequest& request) override { m_created.push_back(request.tag); }
  void remove(std::uint32_t objectId) override { m_removed.push_back(objectId); }
  void afterStep(std::int64_t, ReplayRun& run, const SimCallbacks& callbacks) override {
    std::vector<ClientEventRequest> events;
    {
      std::lock_guard lock(g_simMutex);
      std::swap(g_posFillQueue, g_posQueue);
      g_posQueue->clear();  // sent
      events.swap(g_eventQueue);
    }
    for (const ClientEventRequest& e : events) {
      run.events.push_back({m_keys[e.objectId], e.eventId, e.data});
    }
    for (const std::uint32_t tag : std::exchange(m_created, {})) {
      m_keys[m_nextId] = tag;
      callbacks.identified(tag, m_nextId++);
    }
    for (const std::uint32_t id : std::exchange(m_removed, {})) callbacks.removed(id);
  }
  void finish(ReplayRun&) override {}

 private:
  std::vector<std::uint32_t> m_created;
  std::vector<std::uint32_t> m_removed;
  std::map<std::uint32_t, std::uint32_t> m_keys;  // object id -> key
  std::uint32_t m_nextId = kFirstObjectId;
};

std::vector<Record> lf_records(const Scenario& s, ReplayRun& run) {
  std::vector<Record> records;
  for (const fixtures::TrackAircraft& a : s.aircraft) {
    const fixtures::FlownTrack flown = fixtures::flyTrack(a);
    for (const fixtures::TrackState& state : fixtures::sampleReports(a, flown, s.startS, s.durationS)) {
      records.push_back({state.t, fixtures::rttfcRecord(a, state, 0.0)});
      run.topSpeedKt[a.id] = std::max(run.topSpeedKt[a.id], state.speedKt);
    }
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& x, const Record& y) { return x.t < y.t; });
  return records;
}

void lf_resetWorld(const Scenario& s) {
  g_liveAc.clear();
  g_removeWait.clear();
  g_newLiveIds.clear();
  g_fastRangeRequest = false;
  g_tickCount = 0;
  g_qnh = 1013;
  g_paramLightAircraft.setValue(true);
  g_paramRandom.setValue(false);
  g_userAcSnapshot = {};
  g_userAcSnapshot.latitude = s.user.lat;
  g_userAcSnapshot.longitude = s.user.lon;
  gf_setUpTestAirport();
  std::lock_guard lock(g_simMutex);
  g_posFillQueue->clear();
  g_posQueue->clear();
  g_eventQueue.clear();
}

class Driver {
 public:
  Driver(const Scenario& s, const ReplayOptions& o) : m_scenario(s), m_options(o) {}

  ReplayRun run() {
    gf_markWorkerThread();
    lf_resetWorld(m_scenario);
    m_sim = m_options.standin ? gf_standinSim(m_scenario, m_options) : gf_fakeSim();
    const std::vector<Record> records = lf_records(m_scenario, m_run);
    const double lastS = records.empty() ? m_scenario.startS : records.back().t;
    const SimCallbacks callbacks{
        [this](std::uint32_t key, std::uint32_t id) { identified(key, id); },
        [this](std::uint32_t id) { removed(id); }};
    std::size_t next = 0;
    bool closed = false;
    for (std::int64_t step = 0;; ++step) {
      const double now = m_scenario.startS + static_cast<double>(step) / kStepsPerSecond;
      for (; next < records.size() && records[next].t <= now; ++next) feed(records[next]);
      if (!closed && now > lastS + kCloseAfterS) {
        cueCloseRun();
        closed = true;
      }
      if ((next == records.size() && g_liveAc.empty()) || now > lastS + kGiveUpAfterS) break;
      stepAircraft(step);
      if (step % kRemovalEvery == 0 && !g_removeWait.empty()) {
        m_sim->remove(g_removeWait.front());
        m_run.removalStep[m_keys[g_removeWait.front()]] = step;
        ++m_run.removals[m_keys[g_removeWait.front()]];
        g_removeWait.pop_front();
      }
      m_sim->afterStep(step, m_run, callbacks);
      ++g_tickCount;
    }
    m_sim->finish(m_run);
    lf_collectErrors(m_run);
    return std::move(m_run);
  }

 private:
  void feed(const Record& record) {
    std::vector<std::string_view> fields;
    gf_splitTrafficFields(record.line, fields);
    TrafficFilterContext context;
    context.userLatitude = m_scenario.user.lat;
    context.userLongitude = m_scenario.user.lon;
    context.parkElevationFt = g_parkAirportElev;
    context.parkIcao = g_parkAirportIcao;
    context.parkLatitude = g_parkAirportPos.lat;
    context.parkLongitude = g_parkAirportPos.lon;
    ParsedTraffic parsed;
    if (gf_parseTrafficRecord(fields, context, parsed) != TrafficVerdict::kReady) return;
    TrafficReport& r = parsed.report;
    r.position.dueTime = static_cast<std::int32_t>(g_tickCount.load() + kReportDelaySteps);
    m_run.lastReportS[r.key] = record.t;
    if (r.position.rollPresent) {
      m_run.maxRollRad[r.key] = std::max(m_run.maxRollRad[r.key], std::fabs(r.position.roll));
    }
    const auto it = std::find_if(g_liveAc.begin(), g_liveAc.end(),
                                 [&r](const AiAircraft& a) { return a.key == r.key; });
    if (it != g_liveAc.end()) {
      cueMergeReport(*it, r.position, m_scenario, m_memory[r.key]);
      return;
    }
    if (m_run.creations.contains(r.key)) return;  // gone already
    AircraftHead head = gf_initTrafficReport(r);
    head.key = r.key;
    gf_initLiveMotion(head);
    g_liveAc.emplace_back(r.position, std::move(head), r.timeStamp);
  }

  void stepAircraft(std::int64_t step) {
    const bool ground = step % cueGroundContactEvery() == 0;
    for (AiAircraft& a : g_liveAc) {
      if (a.st == kStBuffer && cueBirthPose(a)) {
        m_sim->create(cueCreateRequest(a));
        ++m_run.creations[a.key];
        m_run.climbPitch[a.key] = a.climbPitch;
        m_run.pitchRate[a.key] = a.pitchRate;
        m_run.category[a.key] = a.category;
      }
      if (a.st != kStActive) continue;
      if (ground) cueGroundContact(a);
      activeStep(a, step);
    }
  }

  // updateLiveAc's active branch.
  void activeStep(AiAircraft& a, std::int64_t step) {
    if (a.stream.empty()) {
      removeAircraftFromSim(a);
      return;
    }
    if (a.stream.front().dueTime <= static_cast<std::int64_t>(g_tickCount.load())) {
      nextPosMain(a);
      if (a.stream.empty()) return;
      a.verticalSpeed = a.climbRate / 60.0;
      a.trueAirspeed = a.stream.front().samePosition ? 0.0 : a.motionAirspeed;
    }
    if (a.st != kStActive) return;
    if (!a.stream.front().samePosition) lf_stepMotion(a);
    const AcPositionUpdate p{a.lat,      a.lon,           a.pitch,         a.bank,
                             a.heading,  a.altitude,      a.verticalSpeed, a.trueAirspeed,
                             a.objectId};
    g_posFillQueue->push_back(p);
    const bool curve = !std::isnan(a.curve.p1East);
    m_run.positions.push_back({step, a.key, p, a.fs, curve, a.stream.front().groundSpeed});
    if (a.fs == kFsParked) {
      m_run.parkedOn[a.key] = a.standPlace;
    }
  }

  void identified(std::uint32_t key, std::uint32_t objectId) {
    m_keys[objectId] = key;
    m_run.objectIds[key] = objectId;
    for (AiAircraft& a : g_liveAc) {
      if (a.key == key && a.st == kStAdding2Sim) cueIdentified(a, objectId);
    }
  }

  void removed(std::uint32_t objectId) { cueObjectRemoved(objectId); }

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
  std::map<std::uint32_t, CueMemory> m_memory;
  std::map<std::uint32_t, std::uint32_t> m_keys;  // object id -> key
};

}  // namespace

std::unique_ptr<SimSide> gf_fakeSim() { return std::make_unique<FakeSim>(); }

ReplayRun gf_replay(const Scenario& scenario, const ReplayOptions& options) {
  return Driver(scenario, options).run();
}

}  // namespace replay
