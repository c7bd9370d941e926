// One client of the stand-in: its socket, its reader thread and its protocol state
// (definitions, mapped events, subscriptions, data requests, timed events and faults).
// Protocol state is guarded by the server mutex; socket writes by the session's own.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "p3d_standin.h"

namespace p3d {

class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(P3dStandin& server, int id, SOCKET socket, std::string peer);
  ~Session();

  void startReader();
  void join();
  // Writes one message with the session's faults applied (coalesced messages wait for flush()).
  void write(const std::vector<std::uint8_t>& message);
  // Writes bytes exactly as given, as one write.
  void writeRaw(const std::vector<std::uint8_t>& bytes);
  void flush();
  void shutdown();  // closes the connection; the reader ends

  int id() const { return m_id; }
  bool closed() const { return m_closed.load(); }

  // Called on the frame thread with the server mutex held.
  void onFrame(double now, std::uint64_t frame, P3dStandin::Outbox& out);
  bool opened() const { return m_openedAt >= 0; }
  std::uint32_t subscription(const std::string& lowerName) const;  // 0: not subscribed

  // Faults are written under the server mutex and the write lock, so either lock reads them.
  void setFaults(const Faults& f);
  Faults faults;

 private:
  struct DataRequest {
    std::uint32_t requestId = 0;
    std::uint32_t defineId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t period = 0;
    std::uint32_t objectType = 0;
    double radiusMetres = 0;
    bool byType = false;
    double nextDue = 0;
  };

  void readerLoop();
  // Handles one complete packet; called with the server mutex held.
  void handlePacket(std::span<const std::uint8_t> packet, P3dStandin::Outbox& out);
  void handle(const Request& r, P3dStandin::Outbox& out);
  void raise(std::uint32_t code, std::uint32_t sendId, std::uint32_t index,
             const std::string& reason, P3dStandin::Outbox& out);
  void send(std::vector<std::uint8_t> bytes, P3dStandin::Outbox& out);
  void answer(const DataRequest& q, P3dStandin::Outbox& out);
  void answerObject(const DataRequest& q, std::uint32_t recvId, std::uint32_t objectId,
                    std::uint32_t entry, std::uint32_t outOf, P3dStandin::Outbox& out);
  void onCreate(const Request& r, P3dStandin::Outbox& out);
  void onSetData(const Request& r, P3dStandin::Outbox& out);
  void onDataRequest(const Request& r, bool byType, P3dStandin::Outbox& out);
  void onFlightPlan(const Request& r, P3dStandin::Outbox& out);
  void writeWithFaults(const std::vector<std::uint8_t>& message);
  void writeAll(const std::uint8_t* data, std::size_t size);
  bool stalled(double sinceOpen) const;

  P3dStandin& m_server;
  const int m_id;
  SOCKET m_socket;
  std::string m_peer;
  std::thread m_reader;
  std::atomic<bool> m_closed{false};

  std::mutex m_writeMutex;  // guards the socket writes and m_coalesced
  std::vector<std::uint8_t> m_coalesced;

  // Protocol state (server mutex).
  double m_openedAt = -1;
  std::uint32_t m_lastSendId = 0;
  std::map<std::uint32_t, std::vector<Datum>> m_definitions;
  std::map<std::uint32_t, std::string> m_mappedEvents;   // client event id -> simulator event
  std::map<std::string, std::uint32_t> m_subscriptions;  // lowercase system event -> client id
  std::map<std::uint32_t, std::uint32_t> m_groupPriority;
  std::map<std::uint32_t, std::vector<std::uint32_t>> m_groups;
  std::vector<DataRequest> m_periodic;
  std::vector<std::vector<std::uint8_t>> m_heldAnswers;  // to creations, with late_answers
  std::size_t m_nextEvent = 0;
  bool m_dropped = false;
  bool m_oversizeSent = false;
};

}  // namespace p3d
