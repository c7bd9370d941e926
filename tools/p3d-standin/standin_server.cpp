// The stand-in server: listeners, the accept and frame threads, the trace, and the calls tests
// make to inspect or disturb what a client sees.
#include <stdexcept>

#include <fmt/format.h>

#include "p3d_standin.h"
#include "platform/paths.h"
#include "standin_session.h"
#include "standin_simobjects.h"

namespace p3d {

P3dStandin::P3dStandin(StandinOptions options) : m_options(std::move(options)) {}

P3dStandin::~P3dStandin() { stop(); }

double P3dStandin::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void P3dStandin::start() {
  Scenario scenario;
  if (!m_options.scenarioFile.empty()) {
    scenario = gf_loadScenario(m_options.scenarioFile);
  } else if (m_options.scenario) {
    scenario = gf_scenarioFromJson(*m_options.scenario);
  }
  if (!(m_options.frameHz > 0 && m_options.frameHz <= 1000)) {
    throw std::runtime_error("frame rate must lie between 0 and 1000 Hz");
  }
  m_world = std::make_unique<World>(std::move(scenario));
  m_world->refusalsLeft = m_world->scenario().faults.refuseCreations;
  if (!m_options.simobjectsDir.empty()) {
    m_world->installedTitles = gf_readInstalledTitles(m_options.simobjectsDir);
    log(fmt::format("{} installed titles below {}", m_world->installedTitles.size(),
                    m_options.simobjectsDir));
  }
  if (!m_options.traceFile.empty()) {
    m_trace = gf_openFile(gf_pathFromUtf8(m_options.traceFile), "w");
    if (m_trace == nullptr) {
      throw std::runtime_error(fmt::format("cannot write trace {}", m_options.traceFile));
    }
  }
  try {
    m_winsock.emplace();
    if (m_options.port >= 0) m_listen4 = gf_listenTcp(AF_INET, m_options.port, m_port);
    if (m_options.port6 >= 0) m_listen6 = gf_listenTcp(AF_INET6, m_options.port6, m_port6);
    if (!m_options.pipePath.empty()) m_listenPipe = gf_listenPipe(m_options.pipePath);
    m_wake = gf_openWakeSocket();
  } catch (...) {
    closeSockets();
    if (m_trace != nullptr) std::fclose(m_trace);
    m_trace = nullptr;
    throw;
  }
  m_start = std::chrono::steady_clock::now();
  m_running.store(true);
  m_acceptThread = std::thread([this] { acceptLoop(); });
  m_frameThread = std::thread([this] { frameLoop(); });
  log(fmt::format("listening: ipv4 {} ipv6 {} pipe \"{}\"", m_port, m_port6, m_options.pipePath));
}

void P3dStandin::stop() {
  if (!m_running.exchange(false)) return;
  gf_wake(m_wake);
  if (m_acceptThread.joinable()) m_acceptThread.join();
  if (m_frameThread.joinable()) m_frameThread.join();
  std::vector<std::shared_ptr<Session>> sessions;
  {
    std::lock_guard lock(m_mutex);
    sessions = m_sessions;
  }
  for (const auto& s : sessions) {
    if (!s->closed()) {
      s->flush();
      s->write(MessageWriter(kRecvQuit).finish());
      s->flush();
      s->shutdown();
    }
  }
  for (const auto& s : sessions) s->join();
  {
    std::lock_guard lock(m_mutex);
    m_sessions.clear();
  }
  closeSockets();
  std::lock_guard lock(m_traceMutex);
  if (m_trace != nullptr) std::fclose(m_trace);
  m_trace = nullptr;
}

void P3dStandin::closeSockets() {
  for (SOCKET* s : {&m_listen4, &m_listen6, &m_listenPipe, &m_wake}) gf_closeSocket(*s);
  if (!m_options.pipePath.empty()) gf_removePipe(m_options.pipePath);
  m_winsock.reset();
}

void P3dStandin::acceptLoop() {
  std::vector<SOCKET> waitOn;
  for (SOCKET s : {m_listen4, m_listen6, m_listenPipe, m_wake}) {
    if (s != INVALID_SOCKET) waitOn.push_back(s);
  }
  while (m_running.load()) {
    const std::vector<SOCKET> readable = gf_waitReadable(waitOn);
    if (readable.empty()) return;
    for (SOCKET listener : readable) {
      if (listener == m_wake) continue;
      std::string name;
      const SOCKET s = gf_acceptClient(listener, listener == m_listenPipe, name);
      if (s == INVALID_SOCKET) continue;
      const int id = m_clientsSeen.fetch_add(1) + 1;
      auto session = std::make_shared<Session>(*this, id, s, name);
      {
        std::lock_guard lock(m_mutex);
        session->faults = m_world->scenario().faults;
        m_sessions.push_back(session);
      }
      log(fmt::format("client {} connected from {}", id, name));
      trace({{"kind", "connect"}, {"client", id}, {"peer", name}});
      session->startReader();
    }
  }
}

void P3dStandin::frameLoop() {
  const auto period = std::chrono::duration<double>(1.0 / m_options.frameHz);
  auto next = std::chrono::steady_clock::now();
  while (m_running.load()) {
    next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
    const auto now = std::chrono::steady_clock::now();
    if (next + std::chrono::duration_cast<std::chrono::steady_clock::duration>(period) < now) {
      next = now;  // fell behind (a busy machine): no burst of frames to catch up
    }
    std::this_thread::sleep_until(next);
    Outbox out;
    {
      std::lock_guard lock(m_mutex);
      frameTick(out);
    }
    deliver(out);
    for (const auto& s : liveSessions()) s->flush();
  }
}

void P3dStandin::frameTick(Outbox& out) {
  const double now = seconds();
  m_world->advance(now);
  ++m_frame;
  for (const auto& s : m_sessions) s->onFrame(now, m_frame, out);
  if (m_trace == nullptr) return;
  nlohmann::json objects = nlohmann::json::array();
  for (const auto& [id, o] : m_world->objects()) {
    if (o.isUser) continue;
    objects.push_back({{"id", id}, {"title", o.title}, {"tail_number", o.atcId},
                       {"lat", o.lat}, {"lon", o.lon}, {"alt", o.altFt},
                       {"pitch", o.pitchRad}, {"bank", o.bankRad}, {"heading", o.headingRad},
                       {"on_ground", o.onGround}, {"lights", o.lights},
                       {"frozen", {o.freezeLatLon, o.freezeAltitude, o.freezeAttitude}}});
  }
  trace({{"kind", "frame"}, {"frame", m_frame}, {"objects", std::move(objects)}});
}

void P3dStandin::deliver(Outbox& out) {
  for (Outgoing& o : out) {
    if (!o.to->closed()) o.to->write(o.bytes);
  }
  out.clear();
}

void P3dStandin::trace(const nlohmann::json& line) {
  std::lock_guard lock(m_traceMutex);
  if (m_trace == nullptr) return;
  nlohmann::json stamped = line;
  stamped["t"] = seconds();
  const std::string text = stamped.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::fprintf(m_trace, "%s\n", text.c_str());
  std::fflush(m_trace);
}

void P3dStandin::traceCreated(int client, const SimObject& o) {
  trace({{"kind", "created"}, {"client", client}, {"id", o.id}, {"title", o.title},
         {"tail_number", o.atcId}});
}

void P3dStandin::traceRemoved(int client, std::uint32_t id, const char* reason) {
  trace({{"kind", "removed"}, {"client", client}, {"id", id}, {"reason", reason}});
}

void P3dStandin::log(const std::string& text) {
  if (m_options.logToStderr) std::fprintf(stderr, "p3d-standin: %s\n", text.c_str());
}

std::vector<std::shared_ptr<Session>> P3dStandin::liveSessionsLocked() const {
  std::vector<std::shared_ptr<Session>> live;
  for (const auto& s : m_sessions) {
    if (!s->closed()) live.push_back(s);
  }
  return live;
}

std::vector<std::shared_ptr<Session>> P3dStandin::liveSessions() const {
  std::lock_guard lock(m_mutex);
  return liveSessionsLocked();
}

void P3dStandin::closeSession(Session& s) {
  s.shutdown();
  Outbox out;
  {
    std::lock_guard lock(m_mutex);
    // As the simulator does, a closed client's objects go with it.
    for (std::uint32_t id : m_world->removeOwnedBy(s.id())) {
      traceRemoved(s.id(), id, "client closed");
      for (const auto& other : m_sessions) {
        if (other->closed()) continue;
        if (const std::uint32_t ev = other->subscription("objectremoved")) {
          out.push_back({other, MessageWriter(kRecvObjectAddRemove).u32(kUnused).u32(ev).u32(id)
                                    .u32(2).finish()});
        }
      }
    }
  }
  deliver(out);
  log(fmt::format("client {} disconnected", s.id()));
  trace({{"kind", "disconnect"}, {"client", s.id()}});
}

int P3dStandin::connectedClients() const {
  std::lock_guard lock(m_mutex);
  int n = 0;
  for (const auto& s : m_sessions) n += s->closed() ? 0 : 1;
  return n;
}

std::vector<RecordedRequest> P3dStandin::requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::size_t P3dStandin::requestCount(RequestKind kind) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_requestCounts.find(kind);
  return it == m_requestCounts.end() ? 0 : it->second;
}

std::vector<RaisedException> P3dStandin::exceptions() const {
  std::lock_guard lock(m_mutex);
  return m_exceptions;
}

std::vector<std::string> P3dStandin::violations() const {
  std::lock_guard lock(m_mutex);
  return m_violations;
}

std::vector<SimObject> P3dStandin::aiObjects() const {
  std::lock_guard lock(m_mutex);
  std::vector<SimObject> out;
  for (const auto& [id, o] : m_world->objects()) {
    if (!o.isUser) out.push_back(o);
  }
  return out;
}

SimObject P3dStandin::userAircraft() const {
  std::lock_guard lock(m_mutex);
  return m_world->user();
}

bool P3dStandin::waitUntil(const std::function<bool()>& pred, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void P3dStandin::sendRaw(const std::vector<std::vector<std::uint8_t>>& writes) {
  for (const auto& s : liveSessions()) {
    for (const auto& w : writes) {
      s->writeRaw(w);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));  // separate segments
    }
  }
}

void P3dStandin::setFaults(const Faults& faults) {
  std::lock_guard lock(m_mutex);
  m_world->scenario().faults = faults;
  m_world->refusalsLeft = faults.refuseCreations;
  for (const auto& s : m_sessions) s->setFaults(faults);
}

void P3dStandin::broadcastSystemEvent(const std::string& name, std::uint32_t data, Outbox& out) {
  for (const auto& s : m_sessions) {
    if (s->closed()) continue;
    if (const std::uint32_t ev = s->subscription(name)) {
      out.push_back({s, MessageWriter(kRecvEvent).u32(kUnused).u32(ev).u32(data).finish()});
    }
  }
}

void P3dStandin::sendQuit() {
  for (const auto& s : liveSessions()) s->write(MessageWriter(kRecvQuit).finish());
}

void P3dStandin::dropClients() {
  for (const auto& s : liveSessions()) s->shutdown();
}

void P3dStandin::sendFlightLoaded(const std::string& file) {
  Outbox out;
  {
    std::lock_guard lock(m_mutex);
    for (const auto& s : m_sessions) {
      if (s->closed()) continue;
      if (const std::uint32_t ev = s->subscription("flightloaded")) {
        out.push_back({s, MessageWriter(kRecvFilename).u32(kUnused).u32(ev).u32(0)
                              .text(file, 260).u32(0).finish()});
      }
    }
  }
  deliver(out);
}

void P3dStandin::sendPositionChanged() {
  Outbox out;
  {
    std::lock_guard lock(m_mutex);
    broadcastSystemEvent("positionchanged", 0, out);
  }
  deliver(out);
}

void P3dStandin::sendFlightLoadedEvent() {
  Outbox out;
  {
    std::lock_guard lock(m_mutex);
    broadcastSystemEvent("flightloaded", 0, out);
  }
  deliver(out);
}

void P3dStandin::placeUser(const PathPoint& p) {
  std::lock_guard lock(m_mutex);
  PathPoint point = p;
  point.t = 0;
  m_world->scenario().path = {point};
  m_world->advance(seconds());
}

void P3dStandin::setUserAircraft(const std::string& title, const std::string& atcModel) {
  std::lock_guard lock(m_mutex);
  SimObject& u = m_world->user();
  u.title = title;
  u.atcModel = atcModel;
}

void P3dStandin::setSimRunning(bool running) {
  Outbox out;
  {
    std::lock_guard lock(m_mutex);
    m_world->scenario().simRunning = running;
    broadcastSystemEvent("sim", running ? 1 : 0, out);
  }
  deliver(out);
}

}  // namespace p3d
