// The transport under a SimConnect connection: a reader thread that cuts received bytes into
// messages, a writer thread that sends what is queued in one write at a time, the stored error
// of the first failure, and the receive queue of the connection.
#include <cstring>

#include <fmt/format.h>

#include "foundation/log.h"
#include "simlink/simconnect/simconnect_connection.h"

namespace simconnect {

namespace {
std::atomic<std::uint32_t> g_nextTransportId{1};
std::atomic<int> g_liveTransports{0};

HRESULT lf_hresultFromError(DWORD error) {
  if (error == 0) return E_FAIL;
  return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

constexpr DWORD kErrorInvalidData = 13;  // a message the framing refuses
}  // namespace

int SimConnectTransport::liveCount() { return g_liveTransports.load(); }

SimConnectTransport::SimConnectTransport() : m_id(g_nextTransportId.fetch_add(1)) {}

SimConnectTransport::~SimConnectTransport() {
  joinThreads();
  if (m_endpoint) m_endpoint->closeHandle();
}

void SimConnectTransport::setup(std::unique_ptr<StreamEndpoint> endpoint, TransportKind kind,
                                std::uint32_t maxReceiveSize, bool disableNagle) {
  m_endpoint = std::move(endpoint);
  m_kind = kind;
  m_disableNagle = disableNagle;
  std::lock_guard lock(m_readMutex);
  m_assembler.reset();
  m_assembler.setMaxMessageSize(maxReceiveSize);
}

std::uint32_t SimConnectTransport::maxReceiveSize() const {
  std::lock_guard lock(m_readMutex);
  return m_assembler.maxMessageSize();
}

bool SimConnectTransport::open() {
  if (!m_endpoint) return false;
  {
    std::lock_guard lock(m_writeMutex);
    m_writeQueue.clear();
    m_writesHeld = 0;
    m_writerStop = false;
  }
  if (m_kind == TransportKind::Socket && m_disableNagle) m_endpoint->setNoDelay();
  m_state.store(kStateOpen);
  g_liveTransports.fetch_add(1);
  m_threadsRunning.store(true);
  m_reader = std::thread([this] { readerLoop(); });
  m_writer = std::thread([this] { writerLoop(); });
  return true;
}

void SimConnectTransport::readOnCallingThread() {
  if (!m_endpoint) return;
  m_state.store(kStateOpen);
  readerLoop();
}

void SimConnectTransport::close(bool recordError, HRESULT result) {
  if (recordError && !m_failClaimed.exchange(true)) {
    m_storedResult.store(result);
    m_failed.store(true);
  }
  m_state.store(kStateClosed);
  if (m_endpoint) m_endpoint->shutdownBoth();
  {
    std::lock_guard lock(m_writeMutex);
    m_writerStop = true;
  }
  m_writeReady.notify_all();
  joinThreads();
  if (m_endpoint) m_endpoint->closeHandle();
}

void SimConnectTransport::joinThreads() {
  if (m_reader.joinable()) m_reader.join();
  if (m_writer.joinable()) m_writer.join();
  if (m_threadsRunning.exchange(false)) g_liveTransports.fetch_sub(1);
}

void SimConnectTransport::onReceived(const std::uint8_t*, std::uint32_t) {}

void SimConnectTransport::queueWrite(IoBufferPtr packet) {
  {
    std::lock_guard lock(m_writeMutex);
    if (m_writerStop) return;
    m_writeQueue.push_back(std::move(packet));
    if (m_writesHeld > 0) return;
  }
  m_writeReady.notify_one();
}

void SimConnectTransport::holdWrites() {
  std::lock_guard lock(m_writeMutex);
  ++m_writesHeld;
}

void SimConnectTransport::releaseWrites() {
  {
    std::lock_guard lock(m_writeMutex);
    if (m_writesHeld == 0 || --m_writesHeld > 0 || m_writeQueue.empty()) return;
  }
  m_writeReady.notify_one();
}

void SimConnectTransport::fail(DWORD error, HRESULT result) {
  if (m_failClaimed.exchange(true)) return;
  m_lastError.store(error);
  m_storedResult.store(result);
  m_failed.store(true);
  m_state.store(kStateClosed);
  m_endpoint->shutdownBoth();
  {
    std::lock_guard lock(m_writeMutex);
    m_writerStop = true;
  }
  m_writeReady.notify_all();
}

void SimConnectTransport::readerLoop() {
  for (;;) {
    std::span<std::uint8_t> room;
    {
      std::lock_guard lock(m_readMutex);
      room = m_assembler.freeSpace();
    }
    if (room.empty()) return;
    DWORD error = 0;
    const long n = m_endpoint->readSome(room.data(), room.size(), error);
    if (m_state.load() != kStateOpen) return;  // closed on purpose
    if (n <= 0) {
      if (n == 0) error = m_endpoint->endOfStreamError();
      gf_logError(fmt::format("SimConnect: connection to the simulator lost (error {})", error));
      fail(error, lf_hresultFromError(error));
      return;
    }
    AssembleError framing = AssembleError::None;
    std::uint32_t badSize = 0;
    std::uint32_t limit = 0;
    {
      std::lock_guard lock(m_readMutex);
      framing = m_assembler.commit(static_cast<std::size_t>(n),
                                   [this](const std::uint8_t* p, std::uint32_t size) {
                                     onReceived(p, size);
                                   });
      badSize = m_assembler.errorSize();
      limit = m_assembler.maxMessageSize();
    }
    if (framing != AssembleError::None) {
      gf_logError(framing == AssembleError::Oversize
                      ? fmt::format("SimConnect: message of {} bytes exceeds MaxReceiveSize {}, "
                                    "connection closed",
                                    badSize, limit)
                      : fmt::format("SimConnect: message size {} is invalid, connection closed",
                                    badSize));
      fail(kErrorInvalidData, kSimConnectBadMessage);
      return;
    }
  }
}

// Every packet queued goes out in one write: written one by one, with Nagle's algorithm on, all
// but the first of a burst of small packets would wait for the simulator's acknowledgement of the
// first, which comes with its next message (a frame later).
void SimConnectTransport::writerLoop() {
  std::vector<IoBufferPtr> packets;
  std::vector<ByteSpan> parts;
  for (;;) {
    {
      std::unique_lock lock(m_writeMutex);
      m_writeReady.wait(
          lock, [this] { return m_writerStop || (!m_writeQueue.empty() && m_writesHeld == 0); });
      if (m_writerStop) return;
      packets.assign(m_writeQueue.begin(), m_writeQueue.end());
      m_writeQueue.clear();
    }
    parts.clear();
    for (const IoBufferPtr& p : packets) parts.emplace_back(p->data);
    DWORD error = 0;
    if (!m_endpoint->writeGathered(parts, error)) {
      if (m_state.load() == kStateOpen) {
        gf_logError(fmt::format("SimConnect: sending to the simulator failed (error {})", error));
        fail(error, lf_hresultFromError(error));
      }
      return;
    }
    packets.clear();
  }
}

// ---- connection: receive queue ----

SimConnectConnection::SimConnectConnection(HWND notifyWindow, DWORD notifyMessage,
                                           HANDLE notifyEvent)
    : m_notifyWindow(notifyWindow), m_notifyMessage(notifyMessage), m_notifyEvent(notifyEvent) {}

SimConnectConnection::~SimConnectConnection() = default;

void SimConnectConnection::onReceived(const std::uint8_t* data, std::uint32_t size) {
  auto message = std::make_shared<IoBuffer>();
  message->data.assign(data, data + size);
  message->transportId = transportId();
  {
    std::lock_guard lock(m_queueMutex);
    m_received.push_back(std::move(message));
  }
  // The program polls with SimConnect_CallDispatch and passes no window or event; a client
  // that gives them is not notified here (there is no message window in this process).
  (void)m_notifyWindow;
  (void)m_notifyMessage;
  (void)m_notifyEvent;
}

IoBufferPtr SimConnectConnection::popMessage() {
  std::lock_guard lock(m_queueMutex);
  if (m_received.empty()) return nullptr;
  IoBufferPtr front = std::move(m_received.front());
  m_received.pop_front();
  return front;
}

std::size_t SimConnectConnection::drainMessages() {
  std::lock_guard lock(m_queueMutex);
  const std::size_t n = m_received.size();
  m_received.clear();
  return n;
}

std::size_t SimConnectConnection::queuedMessages() const {
  std::lock_guard lock(m_queueMutex);
  return m_received.size();
}

}  // namespace simconnect
