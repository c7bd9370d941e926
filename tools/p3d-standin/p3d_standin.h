// The simulator stand-in: the simulator's side of the SimConnect protocol over TCP (IPv4, IPv6)
// and, on Linux, a Unix-domain socket in place of the named pipe. Tests run it in-process
// through this class (on Linux and Windows); the p3d-standin program wraps it for a person at
// the command line.
//
// Threads: one accept thread, one frame thread (world time, Frame events, periodic data,
// scenario events and faults, the per-frame trace) and one reader thread per client. The world
// and every session's protocol state are guarded by one mutex; each client's socket writes by
// its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/win32.h"
#include "standin_protocol.h"
#include "standin_scenario.h"
#include "standin_sockets.h"
#include "standin_world.h"

namespace p3d {

struct StandinOptions {
  int port = -1;          // TCP over IPv4 on 127.0.0.1; 0 picks a free port; -1 off
  int port6 = -1;         // TCP over IPv6 on ::1; 0 picks a free port; -1 off
  std::string pipePath;   // Unix-domain socket standing in for the named pipe; empty off
                          // (Linux only: on Windows a path makes start() fail)
  std::string scenarioFile;
  std::optional<nlohmann::json> scenario;  // used when no scenario file is given
  std::string traceFile;  // JSON lines; empty: no trace
  double frameHz = 30;
  std::string simobjectsDir;  // installed titles come from the aircraft.cfg files below it
  bool logToStderr = false;
};

struct RecordedRequest {
  int client = 0;
  double t = 0;  // seconds since start
  Request request;
};

struct RaisedException {
  int client = 0;
  std::uint32_t code = 0;
  std::uint32_t sendId = 0;
  std::uint32_t index = 0;
  std::string reason;
};

class Session;

class P3dStandin {
 public:
  explicit P3dStandin(StandinOptions options);
  ~P3dStandin();
  P3dStandin(const P3dStandin&) = delete;
  P3dStandin& operator=(const P3dStandin&) = delete;

  // Opens the listeners and starts the threads; throws std::runtime_error on failure.
  void start();
  // Sends Quit to every client, closes everything and joins the threads.
  void stop();

  int port() const { return m_port; }
  int port6() const { return m_port6; }
  int connectedClients() const;
  int clientsSeen() const { return m_clientsSeen.load(); }

  // What clients sent (the first 200000 requests are kept) and what was refused.
  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount(RequestKind kind) const;
  std::vector<RaisedException> exceptions() const;
  std::vector<std::string> violations() const;
  std::vector<SimObject> aiObjects() const;
  SimObject userAircraft() const;

  // Polls pred every millisecond until it holds or the time is up.
  static bool waitUntil(const std::function<bool()>& pred, double seconds);

  // Tests of the client's receiving side: bytes written as they are, one write per element.
  void sendRaw(const std::vector<std::vector<std::uint8_t>>& writes);
  void setFaults(const Faults& faults);
  void sendQuit();
  void dropClients();
  void sendFlightLoaded(const std::string& file);
  void sendPositionChanged();
  // FlightLoaded as a plain event, the form without the flight file's name.
  void sendFlightLoadedEvent();
  void setSimRunning(bool running);
  // The user aircraft stays at p from now on (its path becomes this one point).
  void placeUser(const PathPoint& p);
  // The user aircraft's title and ATC model from now on.
  void setUserAircraft(const std::string& title, const std::string& atcModel);

  // Shared with the sessions.
  struct Outgoing {
    std::shared_ptr<Session> to;
    std::vector<std::uint8_t> bytes;
  };
  using Outbox = std::vector<Outgoing>;

 private:
  friend class Session;
  double seconds() const;
  void acceptLoop();
  void frameLoop();
  void frameTick(Outbox& out);
  void deliver(Outbox& out);
  void trace(const nlohmann::json& line);
  // The life of an object in the trace: created for a client, removed by a request or when its
  // client closed.
  void traceCreated(int client, const SimObject& o);
  void traceRemoved(int client, std::uint32_t id, const char* reason);
  void log(const std::string& text);
  std::vector<std::shared_ptr<Session>> liveSessions() const;
  std::vector<std::shared_ptr<Session>> liveSessionsLocked() const;  // m_mutex held
  void broadcastSystemEvent(const std::string& name, std::uint32_t data, Outbox& out);
  void closeSession(Session& s);
  void closeSockets();

  StandinOptions m_options;
  std::chrono::steady_clock::time_point m_start;

  std::optional<WinsockUse> m_winsock;  // from start() to stop()
  SOCKET m_listen4 = INVALID_SOCKET, m_listen6 = INVALID_SOCKET, m_listenPipe = INVALID_SOCKET;
  SOCKET m_wake = INVALID_SOCKET;  // stop() writes to it to end the accept thread's wait
  int m_port = -1, m_port6 = -1;

  mutable std::mutex m_mutex;  // guards everything below except the atomics
  std::unique_ptr<World> m_world;
  std::vector<std::shared_ptr<Session>> m_sessions;
  std::vector<RecordedRequest> m_requests;
  std::map<RequestKind, std::size_t> m_requestCounts;
  std::vector<RaisedException> m_exceptions;
  std::vector<std::string> m_violations;
  std::uint64_t m_frame = 0;

  std::mutex m_traceMutex;  // guards the trace file
  std::FILE* m_trace = nullptr;

  std::atomic<bool> m_running{false};
  std::atomic<int> m_clientsSeen{0};
  std::thread m_acceptThread;
  std::thread m_frameThread;
};

}  // namespace p3d
