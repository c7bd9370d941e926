// The simulator's side of a SimConnect connection as the program receives it: the byte stream
// cut into reads of varying length, read by the transport's own reader loop, reassembled into
// messages, queued on the connection and delivered by SimConnect_CallDispatch to the simulator
// link's dispatch (the SimClient thread's handlers of every message kind: the simulator check,
// exceptions, events, new flights, objects added and removed, the user aircraft's data and the
// objects in range).
// Input: the stream, then two control bytes (the read length, then the message size limit).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include "foundation/errors.h"
#include "foundation/run_state.h"
#include "fuzz_support.h"
#include "simlink/sim_internal.h"
#include "simlink/simconnect/simconnect_connection.h"

using namespace simconnect;

namespace {

constexpr std::uint32_t kSizeLimits[] = {kMaxReceiveBeforeSetup, kDefaultMaxReceiveSize, 64,
                                         kReadBufferMax};

// SimClient's dispatch. A user error ends the run there; here the next message goes on.
void lf_deliver(SIMCONNECT_RECV* message, DWORD size, void* context) {
  try {
    lf_dispatch(message, size, context);
  } catch (const qvb::UserErrorException&) {
  }
}

// What one input leaves behind is gone before the next, as between two runs.
void lf_resetRun() {
  gf_resetSimLinkRun();
  g_stopRequested.store(false);
  g_exitReason.store(0);
  std::lock_guard lock(g_simNoticesMutex);
  g_simNotices.clear();
}

// The stream end of the connection: serves the input in reads of a fixed length, then reports
// the end of the stream as a simulator that closes its side would. Writes are accepted unread.
class InputEndpoint : public StreamEndpoint {
 public:
  InputEndpoint(std::string_view stream, std::size_t readLength)
      : m_stream(stream), m_readLength(readLength) {}
  long readSome(std::uint8_t* buffer, std::size_t size, DWORD&) override {
    const std::string_view piece = m_stream.substr(0, std::min(size, m_readLength));
    std::memcpy(buffer, piece.data(), piece.size());
    m_stream.remove_prefix(piece.size());
    return static_cast<long>(piece.size());
  }
  bool writeGathered(std::span<const ByteSpan>, DWORD&) override { return true; }
  void shutdownBoth() override {}
  void closeHandle() override {}
  DWORD endOfStreamError() const override { return kEndOfStream; }

 private:
  static constexpr DWORD kEndOfStream = 109;  // the pipe has been ended
  std::string_view m_stream;
  std::size_t m_readLength;
};

// A connection over the input, listed like an open one so that SimConnect_CallDispatch serves it.
struct ListedConnection {
  SimConnectConnection connection{nullptr, 0, nullptr};
  ListedConnection() {
    std::lock_guard lock(g_simConnectPacketMutex);
    g_simConnectConnections.push_back(&connection);
  }
  ~ListedConnection() {
    std::lock_guard lock(g_simConnectPacketMutex);
    std::erase(g_simConnectConnections, &connection);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InputCursor input(data, size);
  const std::uint32_t sizeLimit = kSizeLimits[input.takeByte() % 4];
  const std::size_t readLength = 1 + input.takeByte() * 16u;
  ListedConnection listed;
  lf_resetRun();
  SimConnectConnection& connection = listed.connection;
  connection.setup(std::make_unique<InputEndpoint>(input.rest(), readLength),
                   TransportKind::Socket, sizeLimit, false);
  // The transport's own reader, on this thread: it fails at the end of the stream or at a framing
  // error. The link then dispatches every message queued, as its polling loop would.
  connection.readOnCallingThread();
  SimConnect_CallDispatch(&connection, &lf_deliver, nullptr);
  connection.close(false, S_OK);
  return 0;
}
