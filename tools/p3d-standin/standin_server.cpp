// The stand-in server: listeners, the accept and frame threads, the trace, and the calls tests
// make to inspect or disturb what a client sees.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "p3d_standin.h"
#include "standin_session.h"
#include "standin_simobjects.h"

namespace p3d {

namespace {

int lf_listenTcp(int family, int port, int& boundPort) {
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error(fmt::format("socket: {}", std::strerror(errno)));
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_storage addr{};
  socklen_t len = 0;
  if (family == AF_INET) {
    auto* a = reinterpret_cast<sockaddr_in*>(&addr);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<std::uint16_t>(port));
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof(sockaddr_in);
  } else {
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<std::uint16_t>(port));
    a->sin6_addr = in6addr_loopback;
    len = sizeof(sockaddr_in6);
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0) {
    const std::string why = std::strerror(errno);
    ::close(fd);
    throw std::runtime_error(fmt::format("cannot listen on {} port {}: {}",
                                         family == AF_INET ? "127.0.0.1" : "::1", port, why));
  }
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  boundPort = family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port)
                                : ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
  return fd;
}

int lf_listenUnix(const std::string& path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) {
    throw std::runtime_error(fmt::format("pipe path too long: {}", path));
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  ::unlink(path.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, 16) != 0) {
    const std::string why = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    throw std::runtime_error(fmt::format("cannot listen on pipe {}: {}", path, why));
  }
  return fd;
}

}  // namespace

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
    m_trace = std::fopen(m_options.traceFile.c_str(), "w");
    if (m_trace == nullptr) {
      throw std::runtime_error(fmt::format("cannot write trace {}", m_options.traceFile));
    }
  }
  if (m_options.port >= 0) m_listen4 = lf_listenTcp(AF_INET, m_options.port, m_port);
  if (m_options.port6 >= 0) m_listen6 = lf_listenTcp(AF_INET6, m_options.port6, m_port6);
  if (!m_options.pipePath.empty()) m_listenPipe = lf_listenUnix(m_options.pipePath);
  if (::pipe2(m_wakePipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  m_start = std::chrono::steady_clock::now();
  m_running.store(true);
  m_acceptThread = std::thread([this] { acceptLoop(); });
  m_frameThread = std::thread([this] { frameLoop(); });
  log(fmt::format("listening: ipv4 {} ipv6 {} pipe \"{}\"", m_port, m_port6, m_options.pipePath));
}

void P3dStandin::stop() {
  if (!m_running.exchange(false)) return;
  (void)!::write(m_wakePipe[1], "x", 1);
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
  for (int* fd : {&m_listen4, &m_listen6, &m_listenPipe, &m_wakePipe[0], &m_wakePipe[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  if (!m_options.pipePath.empty()) ::unlink(m_options.pipePath.c_str());
  std::lock_guard lock(m_traceMutex);
  if (m_trace != nullptr) std::fclose(m_trace);
  m_trace = nullptr;
}

void P3dStandin::acceptLoop() {
  std::vector<pollfd> fds;
  for (int fd : {m_listen4, m_listen6, m_listenPipe, m_wakePipe[0]}) {
    if (fd >= 0) fds.push_back({fd, POLLIN, 0});
  }
  while (m_running.load()) {
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (const pollfd& p : fds) {
      if ((p.revents & POLLIN) == 0 || p.fd == m_wakePipe[0]) continue;
      sockaddr_storage peer{};
      socklen_t len = sizeof peer;
      const int fd = ::accept4(p.fd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string name = "pipe";
      if (p.fd != m_listenPipe) {
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char host[INET6_ADDRSTRLEN] = {};
        if (peer.ss_family == AF_INET) {
          ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&peer)->sin_addr, host, sizeof host);
        } else {
          ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&peer)->sin6_addr, host,
                      sizeof host);
        }
        name = host;
      }
      const int id = m_clientsSeen.fetch_add(1) + 1;
      auto session = std::make_shared<Session>(*this, id, fd, name);
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
