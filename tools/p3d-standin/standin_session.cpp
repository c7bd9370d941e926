// One client of the stand-in: reading and framing its requests, answering them against the
// world, and writing replies with the fault switches applied.
#include "standin_session.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "platform/paths.h"

namespace p3d {

namespace {

constexpr std::size_t kRequestHeader = 16;
constexpr std::uint32_t kLargestRequest = 1024 * 1024;
constexpr std::uint32_t kSystemEventGroup = 0xFFFFFFFFu;
constexpr std::uint32_t kObjectTypeAircraft = 2;
constexpr double kPeriodSecond = 1.0;

enum Period : std::uint32_t { kNever = 0, kOnce = 1, kVisualFrame = 2, kSimFrame = 3, kSecond = 4 };

// System events a client may subscribe to (lowercase).
const char* const kSystemEvents[] = {
    "sim", "objectadded", "objectremoved", "positionchanged", "flightloaded", "frame",
    "1sec", "4sec", "6hz", "pause", "paused", "unpaused", "simstart", "simstop", "crashed",
    "crashreset", "aircraftloaded", "flightsaved", "sound", "view"};

// Simulator events a client may map (the ones the world models).
const char* const kSimEvents[] = {
    "GEAR_SET", "ENGINE_AUTO_START", "ENGINE_AUTO_SHUTDOWN", "THROTTLE_SET", "FLAPS_SET",
    "SPOILERS_SET", "NAV_LIGHTS_SET", "BEACON_LIGHTS_SET", "LANDING_LIGHTS_SET",
    "TAXI_LIGHTS_SET", "STROBES_SET", "LOGO_LIGHTS_SET", "CABIN_LIGHTS_SET", "ALL_LIGHTS_TOGGLE",
    "FREEZE_LATITUDE_LONGITUDE_SET", "FREEZE_ALTITUDE_SET", "FREEZE_ATTITUDE_SET"};

bool lf_known(const std::string& name, const char* const* list, std::size_t n, bool lower) {
  const std::string key = lower ? gf_lower(name) : name;
  return std::any_of(list, list + n, [&](const char* k) { return key == k; });
}

std::uint32_t lf_u32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// A send id must grow; a gap is allowed (a request refused by the client itself still used up
// its id), and so is the wrap from the top of the range back to 1.
bool lf_sendIdFollows(std::uint32_t last, std::uint32_t id) {
  if (id > last) return true;
  return last > 0xFFFF0000u && id < 0x10000u;
}

}  // namespace

Session::Session(P3dStandin& server, int id, SOCKET socket, std::string peer)
    : m_server(server), m_id(id), m_socket(socket), m_peer(std::move(peer)) {}

Session::~Session() {
  join();
  gf_closeSocket(m_socket);
}

void Session::startReader() {
  m_reader = std::thread([self = shared_from_this()] { self->readerLoop(); });
}

void Session::join() {
  if (!m_reader.joinable()) return;
  if (m_reader.get_id() == std::this_thread::get_id()) {
    m_reader.detach();  // the reader itself dropped the last reference
  } else {
    m_reader.join();
  }
}

void Session::setFaults(const Faults& f) {
  std::lock_guard lock(m_writeMutex);
  faults = f;
}

void Session::shutdown() {
  if (!m_closed.exchange(true)) gf_shutdownSocket(m_socket);
}

void Session::writeAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0 && !m_closed.load()) {
    const int n = ::send(m_socket, reinterpret_cast<const char*>(data),
                         static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
    if (n == SOCKET_ERROR) {
      if (WSAGetLastError() == WSAEINTR) continue;
      shutdown();
      return;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void Session::writeRaw(const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(m_writeMutex);
  writeAll(bytes.data(), bytes.size());
}

void Session::write(const std::vector<std::uint8_t>& message) {
  std::lock_guard lock(m_writeMutex);
  if (faults.coalesce) {
    m_coalesced.insert(m_coalesced.end(), message.begin(), message.end());
    return;
  }
  writeWithFaults(message);
}

void Session::flush() {
  std::lock_guard lock(m_writeMutex);
  if (m_coalesced.empty()) return;
  std::vector<std::uint8_t> all;
  all.swap(m_coalesced);
  if (faults.fragment > 0) {
    writeWithFaults(all);
  } else {
    writeAll(all.data(), all.size());
  }
}

void Session::writeWithFaults(const std::vector<std::uint8_t>& message) {
  // Filler in front of a message whose size starts with a zero byte would swallow that byte.
  if (faults.zeroFiller > 0 && !message.empty() && message[0] != 0) {
    const std::vector<std::uint8_t> zeros(faults.zeroFiller, 0);
    writeAll(zeros.data(), zeros.size());
  }
  if (faults.fragment == 0) {
    writeAll(message.data(), message.size());
    return;
  }
  for (std::size_t pos = 0; pos < message.size(); pos += faults.fragment) {
    writeAll(message.data() + pos, std::min(faults.fragment, message.size() - pos));
    std::this_thread::sleep_for(std::chrono::microseconds(300));  // separate segments
  }
}

void Session::readerLoop() {
  std::vector<std::uint8_t> buffer;
  std::uint8_t chunk[65536];
  for (;;) {
    const int n = recv(m_socket, reinterpret_cast<char*>(chunk), sizeof chunk, 0);
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEINTR) continue;
    if (n <= 0) break;
    buffer.insert(buffer.end(), chunk, chunk + n);
    std::size_t pos = 0;
    P3dStandin::Outbox out;
    bool broken = false;
    {
      std::lock_guard lock(m_server.m_mutex);
      while (buffer.size() - pos >= 4) {
        const std::uint32_t size = lf_u32(buffer.data() + pos);
        if (size < kRequestHeader || size > kLargestRequest) {
          m_server.m_violations.push_back(
              fmt::format("client {}: packet size {} cannot be framed; connection dropped", m_id,
                          size));
          broken = true;
          break;
        }
        if (buffer.size() - pos < size) break;
        handlePacket({buffer.data() + pos, size}, out);
        pos += size;
      }
    }
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    m_server.deliver(out);
    if (broken) break;
  }
  m_server.closeSession(*this);
}

void Session::send(std::vector<std::uint8_t> bytes, P3dStandin::Outbox& out) {
  out.push_back({shared_from_this(), std::move(bytes)});
}

void Session::raise(std::uint32_t code, std::uint32_t sendId, std::uint32_t index,
                    const std::string& reason, P3dStandin::Outbox& out) {
  m_server.m_exceptions.push_back({m_id, code, sendId, index, reason});
  m_server.log(fmt::format("client {}: exception {} for send id {} (index {}): {}", m_id, code,
                           sendId, index, reason));
  m_server.trace({{"kind", "exception"}, {"client", m_id}, {"code", code}, {"send_id", sendId},
                  {"index", index}, {"reason", reason}});
  send(gf_exceptionMessage(code, sendId, index), out);
}

void Session::handlePacket(std::span<const std::uint8_t> packet, P3dStandin::Outbox& out) {
  ProtocolError error;
  const std::optional<Request> request = gf_decodeRequest(packet, error);
  const std::uint32_t sendId = packet.size() >= kRequestHeader ? lf_u32(packet.data() + 12) : 0;
  if (!request) {
    m_server.m_violations.push_back(fmt::format("client {}: {}", m_id, error.reason));
    raise(error.exception, sendId, error.index, error.reason, out);
    return;
  }
  if (!lf_sendIdFollows(m_lastSendId, request->sendId)) {
    const std::string reason =
        fmt::format("send id {} does not follow {}", request->sendId, m_lastSendId);
    m_server.m_violations.push_back(fmt::format("client {}: {}", m_id, reason));
    raise(kExError, request->sendId, 0, reason, out);
    return;
  }
  m_lastSendId = request->sendId;
  if (request->kind != RequestKind::Open && !opened()) {
    m_server.m_violations.push_back(fmt::format("client {}: {} before Open", m_id,
                                                gf_requestName(request->kind)));
    raise(4, request->sendId, 0, "not opened", out);  // UNOPENED
    return;
  }
  const double t = m_server.seconds();
  if (m_server.m_requests.size() < 200000) m_server.m_requests.push_back({m_id, t, *request});
  ++m_server.m_requestCounts[request->kind];
  if (m_server.m_trace != nullptr) {
    nlohmann::json line = gf_requestToJson(*request);
    line["kind"] = "request";
    line["client"] = m_id;
    m_server.trace(line);
  }
  handle(*request, out);
}

void Session::handle(const Request& r, P3dStandin::Outbox& out) {
  World& world = *m_server.m_world;
  const Scenario& sc = world.scenario();
  const auto& u = r.u;
  switch (r.kind) {
    case RequestKind::Open: {
      if (opened()) {
        raise(kExError, r.sendId, 1, "second Open on one connection", out);
        return;
      }
      m_openedAt = m_server.seconds();
      m_server.log(fmt::format("client {} ({}) opened as \"{}\"", m_id, m_peer, r.text1));
      MessageWriter w(kRecvOpen);
      w.text(sc.simName, 256);
      for (std::uint32_t v : sc.appVersion) w.u32(v);
      for (std::uint32_t v : sc.simConnectVersion) w.u32(v);
      w.u32(0).u32(0);
      send(w.finish(), out);
      return;
    }
    case RequestKind::SubscribeToSystemEvent: {
      if (!lf_known(r.text1, kSystemEvents, std::size(kSystemEvents), true)) {
        raise(kExNameUnrecognized, r.sendId, 2, "unknown system event " + r.text1, out);
        return;
      }
      const std::string key = gf_lower(r.text1);
      m_subscriptions[key] = u[0];
      if (key == "sim") {
        send(MessageWriter(kRecvEvent).u32(kSystemEventGroup).u32(u[0])
                 .u32(sc.simRunning ? 1 : 0).finish(),
             out);
      }
      return;
    }
    case RequestKind::MapClientEventToSimEvent:
      if (!lf_known(r.text1, kSimEvents, std::size(kSimEvents), false)) {
        raise(kExNameUnrecognized, r.sendId, 2, "unknown simulator event " + r.text1, out);
        return;
      }
      m_mappedEvents[u[0]] = r.text1;
      return;
    case RequestKind::AddClientEventToNotificationGroup:
      if (!m_mappedEvents.contains(u[1])) {
        raise(kExUnrecognizedId, r.sendId, 2, fmt::format("event {} is not mapped", u[1]), out);
        return;
      }
      m_groups[u[0]].push_back(u[1]);
      return;
    case RequestKind::SetNotificationGroupPriority:
      if (!m_groups.contains(u[0])) {
        raise(kExUnrecognizedId, r.sendId, 1, fmt::format("group {} is empty", u[0]), out);
        return;
      }
      m_groupPriority[u[0]] = u[1];
      return;
    case RequestKind::AddToDataDefinition: {
      const Datum d{r.text1, r.text2, u[1]};
      const DatumCheck check = gf_checkDatum(d);
      if (check.exception != 0) {
        raise(check.exception, r.sendId, check.index, check.reason, out);
        return;
      }
      m_definitions[u[0]].push_back(d);
      return;
    }
    case RequestKind::RequestDataOnSimObject:
      onDataRequest(r, false, out);
      return;
    case RequestKind::RequestDataOnSimObjectType:
      onDataRequest(r, true, out);
      return;
    case RequestKind::SetDataOnSimObject:
      onSetData(r, out);
      return;
    case RequestKind::TransmitClientEvent: {
      SimObject* o = world.find(u[0]);
      if (o == nullptr) {
        raise(kExUnrecognizedId, r.sendId, 1, fmt::format("unknown object {}", u[0]), out);
        return;
      }
      const auto mapped = m_mappedEvents.find(u[1]);
      if (mapped == m_mappedEvents.end()) {
        raise(kExUnrecognizedId, r.sendId, 2, fmt::format("event {} is not mapped", u[1]), out);
        return;
      }
      world.applyEvent(*o, mapped->second, u[2]);
      return;
    }
    case RequestKind::AICreateNonATCAircraft:
      onCreate(r, out);
      return;
    case RequestKind::AIReleaseControl:
    case RequestKind::AIRemoveObject: {
      SimObject* o = world.find(u[0]);
      if (o == nullptr || o->isUser) {
        raise(kExUnrecognizedId, r.sendId, 1, fmt::format("no AI object {}", u[0]), out);
        return;
      }
      if (r.kind == RequestKind::AIReleaseControl) {
        o->aiControlled = false;
        return;
      }
      world.remove(u[0]);
      m_server.log(fmt::format("client {} removed object {}", m_id, u[0]));
      m_server.traceRemoved(m_id, u[0], "request");
      for (const auto& s : m_server.liveSessionsLocked()) {
        if (const std::uint32_t ev = s->subscription("objectremoved")) {
          s->send(MessageWriter(kRecvObjectAddRemove).u32(kSystemEventGroup).u32(ev).u32(u[0])
                      .u32(kObjectTypeAircraft).finish(),
                  out);
        }
      }
      return;
    }
    case RequestKind::AISetAircraftFlightPlan:
      onFlightPlan(r, out);
      return;
  }
}

void Session::onCreate(const Request& r, P3dStandin::Outbox& out) {
  World& world = *m_server.m_world;
  const double* p = r.position;
  const bool finite = std::all_of(p, p + 6, [](double v) { return std::isfinite(v); });
  std::string refusal;
  if (world.refusalsLeft > 0) {
    --world.refusalsLeft;
    refusal = "creation refused by the scenario";
  } else if (!world.installedTitles.empty() &&
             !world.installedTitles.contains(gf_lower(r.text1))) {
    refusal = fmt::format("title \"{}\" is not installed", r.text1);
  } else if (!finite || std::abs(p[0]) > 90 || std::abs(p[1]) > 180) {
    refusal = "initial position is off the globe";
  } else if (r.text1.empty()) {
    refusal = "empty container title";
  }
  if (!refusal.empty()) {
    raise(kExCreateObjectFailed, r.sendId, 1, refusal, out);
    return;
  }
  const SimObject& o = world.create(r.text1, r.text2, p, r.u[0] != 0, r.u[1], m_id);
  m_server.log(fmt::format("client {} created object {} \"{}\" ({})", m_id, o.id, o.title,
                           o.atcId));
  m_server.traceCreated(m_id, o);
  std::vector<std::uint8_t> answer =
      MessageWriter(kRecvAssignedObjectId).u32(r.u[2]).u32(o.id).finish();
  if (faults.lateAnswers) {
    m_heldAnswers.push_back(std::move(answer));
  } else {
    send(std::move(answer), out);
  }
  for (const auto& s : m_server.liveSessionsLocked()) {
    if (const std::uint32_t ev = s->subscription("objectadded")) {
      s->send(MessageWriter(kRecvObjectAddRemove).u32(kSystemEventGroup).u32(ev).u32(o.id)
                  .u32(kObjectTypeAircraft).finish(),
              out);
    }
  }
}

void Session::onSetData(const Request& r, P3dStandin::Outbox& out) {
  World& world = *m_server.m_world;
  const auto def = m_definitions.find(r.u[0]);
  if (def == m_definitions.end()) {
    raise(kExUnrecognizedId, r.sendId, 1, fmt::format("unknown definition {}", r.u[0]), out);
    return;
  }
  SimObject* o = world.find(r.u[1]);
  if (o == nullptr) {
    raise(kExUnrecognizedId, r.sendId, 2, fmt::format("unknown object {}", r.u[1]), out);
    return;
  }
  if (r.u[3] != 1 || !world.apply(*o, def->second, r.data)) {
    raise(kExInvalidDataSize, r.sendId, 5,
          fmt::format("{} x {} bytes do not match definition {} ({} bytes)", r.u[3], r.u[4],
                      r.u[0], World::recordSize(def->second)),
          out);
  }
}

void Session::onDataRequest(const Request& r, bool byType, P3dStandin::Outbox& out) {
  World& world = *m_server.m_world;
  DataRequest q;
  q.requestId = r.u[0];
  q.defineId = r.u[1];
  q.byType = byType;
  if (byType) {
    q.radiusMetres = r.u[2];
    q.objectType = r.u[3];
    q.period = kOnce;
  } else {
    q.objectId = r.u[2];
    q.period = r.u[3];
  }
  std::erase_if(m_periodic, [&](const DataRequest& d) { return d.requestId == q.requestId; });
  if (!m_definitions.contains(q.defineId)) {
    raise(kExUnrecognizedId, r.sendId, 2, fmt::format("unknown definition {}", q.defineId), out);
    return;
  }
  if (!byType && world.find(q.objectId) == nullptr) {
    raise(kExUnrecognizedId, r.sendId, 3, fmt::format("unknown object {}", q.objectId), out);
    return;
  }
  if (q.period == kNever) return;
  answer(q, out);
  if (q.period != kOnce) {
    q.nextDue = m_server.seconds() + (q.period == kSecond ? kPeriodSecond : 0.0);
    m_periodic.push_back(q);
  }
}

void Session::answer(const DataRequest& q, P3dStandin::Outbox& out) {
  World& world = *m_server.m_world;
  if (!q.byType) {
    const SimObject* o = world.find(q.objectId);
    if (o != nullptr) answerObject(q, kRecvSimObjectData, o->id, 1, 1, out);
    return;
  }
  const std::vector<std::uint32_t> ids = world.objectsWithin(q.radiusMetres, q.objectType);
  if (ids.empty()) answerObject(q, kRecvSimObjectDataByType, 0, 0, 0, out);
  const auto n = static_cast<std::uint32_t>(ids.size());
  for (std::uint32_t i = 0; i < n; ++i) {
    answerObject(q, kRecvSimObjectDataByType, ids[i], i + 1, n, out);
  }
  // The answers to creations held back (late_answers) follow the reply, last first.
  for (auto held = m_heldAnswers.rbegin(); held != m_heldAnswers.rend(); ++held) {
    send(std::move(*held), out);
  }
  m_heldAnswers.clear();
}

void Session::answerObject(const DataRequest& q, std::uint32_t recvId, std::uint32_t objectId,
                           std::uint32_t entry, std::uint32_t outOf, P3dStandin::Outbox& out) {
  World& world = *m_server.m_world;
  const std::vector<Datum>& def = m_definitions.at(q.defineId);
  MessageWriter w(recvId);
  w.u32(q.requestId).u32(objectId).u32(q.defineId).u32(0).u32(entry).u32(outOf)
      .u32(static_cast<std::uint32_t>(def.size()));
  std::vector<std::uint8_t> record;
  if (const SimObject* o = objectId != 0 ? world.find(objectId) : nullptr) {
    world.encode(*o, def, record);
  } else {
    record.assign(World::recordSize(def), 0);
  }
  w.bytes(record);
  send(w.finish(), out);
}

void Session::onFlightPlan(const Request& r, P3dStandin::Outbox& out) {
  World& world = *m_server.m_world;
  SimObject* o = world.find(r.u[0]);
  if (o == nullptr || o->isUser) {
    raise(kExUnrecognizedId, r.sendId, 1, fmt::format("no AI object {}", r.u[0]), out);
    return;
  }
  std::filesystem::path path = gf_pathFromUtf8(r.text1);
  if (path.extension().empty()) path += ".pln";
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
  const pugi::xml_node plan = doc.child("SimBase.Document").child("FlightPlan.FlightPlan");
  const std::string from = plan.child_value("DepartureID");
  const std::string to = plan.child_value("DestinationID");
  if (!parsed || !plan || from.empty() || to.empty()) {
    raise(kExLoadFlightPlanFailed, r.sendId, 2,
          fmt::format("flight plan \"{}\" cannot be used: {}", r.text1,
                      parsed ? "no departure or destination" : parsed.description()),
          out);
    return;
  }
  o->flightPlan = from + "-" + to;
}

std::uint32_t Session::subscription(const std::string& lowerName) const {
  const auto it = m_subscriptions.find(lowerName);
  return it == m_subscriptions.end() ? 0 : it->second;
}

bool Session::stalled(double sinceOpen) const {
  return std::any_of(faults.stalls.begin(), faults.stalls.end(), [&](const StallWindow& w) {
    return sinceOpen >= w.at && sinceOpen < w.at + w.duration;
  });
}

void Session::onFrame(double now, std::uint64_t frame, P3dStandin::Outbox& out) {
  if (!opened() || closed()) return;
  const double sinceOpen = now - m_openedAt;
  const Scenario& sc = m_server.m_world->scenario();
  while (m_nextEvent < sc.events.size() && sc.events[m_nextEvent].at <= sinceOpen) {
    const ScenarioEvent& e = sc.events[m_nextEvent++];
    if (e.type == "flight_loaded") {
      if (const std::uint32_t ev = subscription("flightloaded")) {
        send(MessageWriter(kRecvFilename).u32(kSystemEventGroup).u32(ev).u32(0).text(e.file, 260)
                 .u32(0).finish(),
             out);
      }
    } else if (e.type == "position_changed") {
      if (const std::uint32_t ev = subscription("positionchanged")) {
        send(MessageWriter(kRecvEvent).u32(kSystemEventGroup).u32(ev).u32(0).finish(), out);
      }
    } else if (e.type == "sim_stop" || e.type == "sim_start") {
      if (const std::uint32_t ev = subscription("sim")) {
        send(MessageWriter(kRecvEvent).u32(kSystemEventGroup).u32(ev)
                 .u32(e.type == "sim_start" ? 1 : 0).finish(),
             out);
      }
    } else if (e.type == "quit") {
      send(MessageWriter(kRecvQuit).finish(), out);
    }
  }
  if (faults.oversizeAt >= 0 && !m_oversizeSent && sinceOpen >= faults.oversizeAt) {
    m_oversizeSent = true;
    std::vector<std::uint8_t> big(std::max<std::uint32_t>(faults.oversizeBytes, 12), 0x5A);
    const auto size = static_cast<std::uint32_t>(big.size());
    std::memcpy(big.data(), &size, 4);
    const std::uint32_t header[2] = {kServerProtocol, 0};
    std::memcpy(big.data() + 4, header, sizeof header);
    send(std::move(big), out);
  }
  if (faults.dropAt >= 0 && !m_dropped && sinceOpen >= faults.dropAt) {
    m_dropped = true;
    m_server.log(fmt::format("client {}: connection dropped by the scenario", m_id));
    shutdown();
    return;
  }
  if (stalled(sinceOpen)) return;
  if (const std::uint32_t ev = subscription("frame")) {
    const float rate = static_cast<float>(m_server.m_options.frameHz);
    send(MessageWriter(kRecvFrame).u32(kSystemEventGroup).u32(ev)
             .u32(static_cast<std::uint32_t>(frame)).f32(rate).f32(1.0f).finish(),
         out);
  }
  for (DataRequest& q : m_periodic) {
    if (now + 1e-9 < q.nextDue) continue;
    answer(q, out);
    q.nextDue = q.period == kSecond ? std::max(q.nextDue + kPeriodSecond, now) : now;
  }
}

}  // namespace p3d
