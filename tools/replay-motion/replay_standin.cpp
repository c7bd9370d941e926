// The replay through the real simulator link: SimClient connects to an in-process stand-in
// (SimConnect.cfg in the working folder points at it), the engine's queues go out on its Frame
// events, identifications, heights and removals come back as the link's notices, which the
// engine takes. The replay's steps and the stand-in's frames are sped up together. After every
// few steps the driver waits for events, never for time: until the link has sent what the engine
// handed it, and until every answer to it is among the engine's notices. So the answers reach the
// engine at the same steps however slow the machine; it only makes the run take longer.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "p3d-standin/p3d_standin.h"
#include "replay_sim.h"

namespace replay {

namespace {

constexpr double kWaitSeconds = 60.0;  // for the link to connect, send or answer: a stuck link
constexpr std::uint32_t kUserObjectId = 1;  // the stand-in's user aircraft

bool lf_waitFor(const std::function<bool()>& done) {
  return p3d::P3dStandin::waitUntil(done, kWaitSeconds);
}

// The link's four queues are empty: a Frame event has sent what the engine handed over.
bool lf_queuesSent() {
  std::lock_guard lock(g_simMutex);
  return g_posQueue->empty() && g_eventQueue.empty() && g_createQueue.empty() &&
         g_removeQueue.empty();
}

// Takes the answer to the marker request out of the notices, so the engine never sees it.
bool lf_takeMarker() {
  std::lock_guard lock(g_simNoticesMutex);
  const auto marker =
      std::find_if(g_simNotices.begin(), g_simNotices.end(), [](const SimObjectNotice& n) {
        return n.kind == kNoticeStaticCg && n.objectId == kUserObjectId;
      });
  if (marker == g_simNotices.end()) return false;
  g_simNotices.erase(marker);
  return true;
}

// Everything sent so far has been answered and the answers dispatched: the stand-in answers in
// the order it is asked and the link dispatches in the order it receives, so once the answer to
// one more request (the user aircraft's static CG) has arrived, so has every answer before it.
void lf_settle() {
  if (!lf_waitFor(lf_queuesSent)) {
    throw std::runtime_error("the simulator link's pump stopped sending");
  }
  HRESULT result = S_OK;
  {
    std::lock_guard lock(g_simMutex);
    result = SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), kRequestStaticCg, kDefStaticCg,
                                               SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE, 0,
                                               0, 0, 0);
  }
  if (result < 0 || !lf_waitFor(lf_takeMarker)) {
    throw std::runtime_error("the simulator did not answer through the link");
  }
}

class StandinSim : public SimSide {
 public:
  StandinSim(const Scenario& s, const ReplayOptions& o)
      : m_options(o),
        m_period(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(1.0 / o.frameHz))) {
    p3d::StandinOptions so;
    so.port = 0;
    so.scenario = gf_standinScenario(s);
    so.frameHz = o.frameHz;
    so.traceFile = o.standinTrace.string();
    m_standin = std::make_unique<p3d::P3dStandin>(so);
    m_standin->start();
    std::ofstream("SimConnect.cfg") << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort="
                                    << m_standin->port() << "\n";
    gf_initSimConnect(5);
    m_client = std::jthread(SimClient);
    if (!lf_waitFor([] { return g_simRunning.load() && g_hSimConnect.load() != nullptr; })) {
      throw std::runtime_error("the simulator link did not connect to the stand-in");
    }
  }
  ~StandinSim() override { stop(); }

  void afterStep(std::int64_t n, bool, ReplayRun& run) override {
    if (run.firstCreationStep < 0) {
      std::lock_guard lock(g_simMutex);
      if (!g_createQueue.empty()) run.firstCreationStep = n;
    }
    if ((n + 1) % m_options.stepsPerFrame == 0) {
      pace();
      lf_settle();
    }
  }

  void finish(ReplayRun& run) override {
    lf_settle();  // the last removals are in the stand-in's trace
    stop();
    std::map<std::uint32_t, std::uint32_t> keys;
    for (const auto& [key, id] : run.objectIds) keys[id] = key;
    for (const p3d::RecordedRequest& r : m_standin->requests()) {
      const p3d::Request& q = r.request;
      if (q.kind == p3d::RequestKind::TransmitClientEvent && keys.contains(q.u.at(0)) &&
          (q.u.at(1) < kEventFreezeLatLonSet || q.u.at(1) > kEventFreezeAttitudeSet)) {
        run.events.push_back({keys[q.u.at(0)], q.u.at(1), q.u.at(2)});
      }
      if (q.kind == p3d::RequestKind::SetDataOnSimObject && q.u.at(0) == kDefSpoilersThrottles &&
          keys.contains(q.u.at(1)) && q.data.size() == sizeof(std::array<double, 3>)) {
        std::array<double, 3> levers{};
        std::memcpy(levers.data(), q.data.data(), sizeof levers);
        run.leverWrites[keys[q.u.at(1)]].push_back(levers);
      }
    }
  }

 private:
  // One batch of steps per frame of the stand-in; a machine too slow for it just runs slower.
  void pace() {
    const auto now = std::chrono::steady_clock::now();
    m_next = std::max(m_next + m_period, now - m_period);
    std::this_thread::sleep_until(m_next);
  }
  void stop() {
    if (m_client.joinable()) {
      m_client.request_stop();
      m_client.join();
    }
    if (m_standin) m_standin->stop();
  }

  const ReplayOptions& m_options;
  std::unique_ptr<p3d::P3dStandin> m_standin;
  std::jthread m_client;
  std::chrono::steady_clock::duration m_period;
  std::chrono::steady_clock::time_point m_next = std::chrono::steady_clock::now();
};

}  // namespace

nlohmann::json gf_standinScenario(const Scenario& s) {
  return {{"simulator", "v5"},
          {"user",
           {{"object_id", kUserObjectId},
            {"path",
             {{{"t", 0}, {"lat", s.user.lat}, {"lon", s.user.lon}, {"alt_ft", s.fieldElevationFt},
               {"heading_deg", 0}, {"gs_kt", 0}, {"on_ground", true}}}}}},
          {"ground_elevation_ft", s.fieldElevationFt},
          {"static_cg", {{"default", {{"height_ft", 8.0}, {"pitch_deg", 0.5}}}}}};
}

std::unique_ptr<SimSide> gf_standinSim(const Scenario& scenario, const ReplayOptions& options) {
  return std::make_unique<StandinSim>(scenario, options);
}

}  // namespace replay
