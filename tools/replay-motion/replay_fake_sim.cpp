// The fake simulator: after every engine step it takes what the engine handed to the link's
// queues and answers as the simulator link would, one step later: an object id and its static
// CG for each creation, as the simulator's answer to the creation gives them (or the refusal of a
// title), a removal notice for each removal, and the height above ground of its objects on the
// range request's pace. The engine's own SimConnect calls (range request, static CG, flight
// plans, light toggles) go to a stand-in that nobody reads, so that they succeed as they would
// against the simulator.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include <fmt/format.h>

#include "p3d-standin/p3d_standin.h"
#include "replay_sim.h"
#include "traffic/records/records.h"

namespace replay {

namespace {

constexpr std::uint32_t kFirstObjectId = 101;
constexpr double kStaticCgFt = 8.0;
constexpr double kGroundPitchRad = 0.5 * kDegToRad;
constexpr double kOnGroundMarginFt = 0.5;
constexpr double kNoticeCeilingFt = 2500.0;
constexpr std::int64_t kRangeEvery = 100;
constexpr std::int64_t kFastRangeEvery = 20;
constexpr double kQuietFrameHz = 1.0;

struct SimObject {
  std::uint32_t key = 0;
  double altitude = 0.0;  // feet, the last position sent
};

class FakeSim : public SimSide {
 public:
  explicit FakeSim(const Scenario& s) : m_scenario(s) {
    p3d::StandinOptions so;
    so.port = 0;
    so.scenario = gf_standinScenario(s);
    so.frameHz = kQuietFrameHz;
    m_sink = std::make_unique<p3d::P3dStandin>(so);
    m_sink->start();
    std::ofstream("SimConnect.cfg") << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort="
                                    << m_sink->port() << "\n";
    HANDLE h = nullptr;
    if (SimConnect_Open(&h, "Zendrik_P3D", nullptr, 0, nullptr, 0) != S_OK) {
      throw std::runtime_error("no connection to the quiet stand-in");
    }
    g_hSimConnect.store(h);
    std::lock_guard lock(g_simMutex);
    g_userAc = {};  // the user aircraft stands where the scenario puts it
    g_userAc.latitude = s.user.lat;
    g_userAc.longitude = s.user.lon;
    g_userAc.altitude = s.fieldElevationFt;
  }
  ~FakeSim() override {
    if (HANDLE h = g_hSimConnect.exchange(nullptr); h != nullptr) SimConnect_Close(h);
    m_sink->stop();
  }

  void afterStep(std::int64_t n, bool fastRange, ReplayRun& run) override {
    std::vector<CreateAcRequest> creates;
    std::vector<std::uint32_t> removes;
    std::vector<ClientEventRequest> events;
    std::vector<AcPositionUpdate> positions;
    {
      std::lock_guard lock(g_simMutex);
      creates.swap(g_createQueue);
      removes.swap(g_removeQueue);
      events.swap(g_eventQueue);
      positions.swap(*g_posQueue);
    }
    for (const AcPositionUpdate& p : positions) {
      if (const auto it = m_objects.find(p.objectId); it != m_objects.end()) {
        it->second.altitude = p.altitude;
      }
    }
    for (const ClientEventRequest& e : events) {
      const auto it = m_objects.find(e.objectId);
      if (it != m_objects.end()) run.events.push_back({it->second.key, e.eventId, e.data});
    }
    if (!creates.empty() && run.firstCreationStep < 0) run.firstCreationStep = n;
    for (const CreateAcRequest& c : creates) {
      run.creationsSent.push_back({n, c.tag, {c.latitude, c.longitude}});
      create(c, run);
    }
    for (const std::uint32_t id : removes) remove(id, run);
    countLiveObjects(run);
    if (n % (fastRange ? kFastRangeEvery : kRangeEvery) == 0) reportHeights();
  }

  void finish(ReplayRun&) override {}

 private:
  void create(const CreateAcRequest& c, ReplayRun& run) {
    for (const auto& [id, o] : m_objects) {
      if (o.key == c.tag) run.problems.push_back(fmt::format("key {} created twice", c.tag));
    }
    if (!m_scenario.refusedTitle.empty() && c.title == m_scenario.refusedTitle) {
      gf_postSimObjectNotice({0, c.tag, 0, kNoticeCreateFailed, 0.0, 0.0});
      return;
    }
    const std::uint32_t id = m_nextId++;
    m_objects[id] = {c.tag, c.altitude};
    // As the link names a creation by the simulator's answer with the object id: the height
    // above ground of a live object is not known yet, it follows with the range replies.
    if (c.tag > kLastStaticTag) {
      gf_postSimObjectNotice({id, c.tag, 0, kNoticeLiveIdentified, 0.0, kNotReported});
    } else {
      gf_postSimObjectNotice({id, c.tag, 0, kNoticeStaticIdentified, 0.0, 0.0});
    }
    gf_postSimObjectNotice({id, 0, 0, kNoticeStaticCg, kStaticCgFt, kGroundPitchRad});
  }

  void remove(std::uint32_t id, ReplayRun& run) {
    const auto it = m_objects.find(id);
    if (it == m_objects.end()) {
      run.problems.push_back(fmt::format("object {} removed twice or never created", id));
      return;
    }
    m_objects.erase(it);
    gf_postSimObjectNotice({id, 0, 0, kNoticeObjectRemoved, 0.0, 0.0});
  }

  void countLiveObjects(ReplayRun& run) const {
    const auto live = static_cast<std::size_t>(
        std::count_if(m_objects.begin(), m_objects.end(),
                      [](const auto& o) { return o.second.key > kLastStaticTag; }));
    run.mostLiveObjects = std::max(run.mostLiveObjects, live);
    if (m_scenario.maxLive >= 0 && live > static_cast<std::size_t>(m_scenario.maxLive)) {
      ++run.stepsAboveMaxLive;
    }
  }

  // The replies to the range request: objects at most 2500 ft above the field.
  void reportHeights() {
    for (const auto& [id, o] : m_objects) {
      if (o.key <= kLastStaticTag) continue;
      const double field = m_scenario.fieldElevationFt;
      const double height = o.altitude - field;
      if (height > kNoticeCeilingFt) continue;
      const std::uint32_t onGround = height <= kStaticCgFt + kOnGroundMarginFt ? 1 : 0;
      gf_postSimObjectNotice({id, onGround, 0, kNoticeNearGround, field, height});
    }
  }

  const Scenario& m_scenario;
  std::unique_ptr<p3d::P3dStandin> m_sink;
  std::map<std::uint32_t, SimObject> m_objects;
  std::uint32_t m_nextId = kFirstObjectId;
};

}  // namespace

std::unique_ptr<SimSide> gf_fakeSim(const Scenario& scenario) {
  return std::make_unique<FakeSim>(scenario);
}

}  // namespace replay
