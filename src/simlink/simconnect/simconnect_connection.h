// Inside the SimConnect client: the transport (one pipe or socket with its reader and writer
// threads) and the connection object behind a SimConnect handle. Not for use outside this
// folder except by its tests.
//
// Threads: each open transport runs a reader thread (blocking reads, reassembly, queueing of
// received messages) and a writer thread (one write in flight: every packet queued meanwhile, in
// queue order). Both are joined when the transport closes. Lock order: g_simConnectPacketMutex,
// then a transport's write lock; a connection's receive-queue lock is never held together with
// another one.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "simlink/simconnect/message_assembler.h"
#include "simlink/simconnect/simconnect.h"

namespace simconnect {

constexpr std::size_t kSendBufferSize = 41088;  // bytes of a connection's send buffer

// One packet handed to a transport, or one message received from it.
struct IoBuffer {
  std::vector<std::uint8_t> data;
  std::uint32_t transportId = 0;
};
using IoBufferPtr = std::shared_ptr<const IoBuffer>;
using ByteSpan = std::span<const std::uint8_t>;

// The operating-system side of a transport: a socket or a pipe handle.
class StreamEndpoint {
 public:
  virtual ~StreamEndpoint() = default;
  // Blocking read: the number of bytes read, 0 at the end of the stream, -1 on error (error set).
  virtual long readSome(std::uint8_t* buffer, std::size_t size, DWORD& error) = 0;
  // Blocking write of every part, in order, as one write; false with error set on failure.
  virtual bool writeGathered(std::span<const ByteSpan> parts, DWORD& error) = 0;
  bool writeAll(const std::uint8_t* data, std::size_t size, DWORD& error) {
    const ByteSpan part(data, size);
    return writeGathered({&part, 1}, error);
  }
  virtual void setNoDelay() {}
  // Wakes a blocked read and write; the handle stays valid until closeHandle().
  virtual void shutdownBoth() = 0;
  virtual void closeHandle() = 0;
  // The error code recorded when the other side ends the stream.
  virtual DWORD endOfStreamError() const = 0;
};

enum class TransportKind { Socket = 0, Pipe = 1 };

class SimConnectTransport {
 public:
  SimConnectTransport();
  virtual ~SimConnectTransport();
  SimConnectTransport(const SimConnectTransport&) = delete;
  SimConnectTransport& operator=(const SimConnectTransport&) = delete;

  // Takes the connected endpoint and the limits; the transport is still closed.
  void setup(std::unique_ptr<StreamEndpoint> endpoint, TransportKind kind,
             std::uint32_t maxReceiveSize, bool disableNagle);
  // Empties the write queue, resets the read state, opens (state 2) and starts reading.
  virtual bool open();
  // Records the error (when asked), closes the endpoint and joins the I/O threads.
  virtual void close(bool recordError, HRESULT result);
  // One complete received message (reader thread).
  virtual void onReceived(const std::uint8_t* data, std::uint32_t size);

  // Test seam (the receive stream's fuzz target): marks the transport open without starting its
  // threads and runs the reader's loop on the calling thread until the stream ends or fails.
  // Packets queued meanwhile are not sent.
  void readOnCallingThread();

  // Queues one packet; the writer thread sends it after the ones before it, in one write with
  // every other packet queued by then.
  void queueWrite(IoBufferPtr packet);
  // While writes are held (the calls nest), queued packets wait; the last release hands them
  // all to the writer at once.
  void holdWrites();
  void releaseWrites();

  bool isOpen() const { return m_state.load() == kStateOpen; }
  bool hasFailed() const { return m_failed.load(); }
  HRESULT storedResult() const { return m_storedResult.load(); }
  DWORD lastError() const { return m_lastError.load(); }
  std::uint32_t transportId() const { return m_id; }
  std::uint32_t maxReceiveSize() const;
  TransportKind kind() const { return m_kind; }

  // Process-wide number of transports whose I/O threads have not ended yet.
  static int liveCount();

 protected:
  static constexpr int kStateClosed = 0;
  static constexpr int kStateOpen = 2;

 private:
  void readerLoop();
  void writerLoop();
  // First failure wins: stores the error and its result, closes the endpoint for both threads.
  void fail(DWORD error, HRESULT result);
  void joinThreads();

  const std::uint32_t m_id;
  TransportKind m_kind = TransportKind::Socket;
  std::atomic<int> m_state{kStateClosed};
  std::unique_ptr<StreamEndpoint> m_endpoint;
  bool m_disableNagle = false;

  // m_failClaimed picks the first failure; m_failed is raised only after the error and the
  // result are stored, so a caller that sees it always reads the stored result.
  std::atomic<bool> m_failClaimed{false};
  std::atomic<bool> m_failed{false};
  std::atomic<DWORD> m_lastError{0};
  std::atomic<HRESULT> m_storedResult{S_OK};

  std::mutex m_writeMutex;  // guards the write queue, m_writesHeld and m_writerStop
  std::condition_variable m_writeReady;
  std::deque<IoBufferPtr> m_writeQueue;
  int m_writesHeld = 0;
  bool m_writerStop = false;

  mutable std::mutex m_readMutex;  // guards the read state
  MessageAssembler m_assembler;

  std::thread m_reader;
  std::thread m_writer;
  std::atomic<bool> m_threadsRunning{false};
};

class SimConnectConnection : public SimConnectTransport {
 public:
  SimConnectConnection(HWND notifyWindow, DWORD notifyMessage, HANDLE notifyEvent);
  ~SimConnectConnection() override;

  void onReceived(const std::uint8_t* data, std::uint32_t size) override;

  // Takes the front of the receive queue, or null when it is empty.
  IoBufferPtr popMessage();
  // Releases every queued message without delivering it.
  std::size_t drainMessages();
  std::size_t queuedMessages() const;

  // Send side; used under g_simConnectPacketMutex only.
  std::array<std::uint8_t, kSendBufferSize> sendBuffer{};
  std::size_t sendWritePos = 0;
  std::uint32_t sendCounter = 0;
  std::uint32_t lastSendId = 0;

  DispatchProc callback = nullptr;
  void* callbackContext = nullptr;

 private:
  mutable std::mutex m_queueMutex;  // guards m_received
  std::deque<IoBufferPtr> m_received;
  HWND m_notifyWindow;
  DWORD m_notifyMessage;
  HANDLE m_notifyEvent;
};

// Serialises the reservation, release and sending of packets of every connection, and guards
// the list of live connections.
extern std::mutex g_simConnectPacketMutex;
// Live connections (owned by SimConnect_Open / SimConnect_Close), guarded by the packet mutex.
extern std::vector<SimConnectConnection*> g_simConnectConnections;

// True when h is a live connection; call with the packet mutex held.
SimConnectConnection* gf_findConnection(HANDLE h);

// Sends the Open packet of a new connection (used by SimConnect_Open).
HRESULT gf_sendOpenPacket(SimConnectConnection* c, const char* applicationName);

// Test seam: presets a connection's send-id counter.
void gf_setSendCounter(HANDLE h, std::uint32_t counter);

}  // namespace simconnect
