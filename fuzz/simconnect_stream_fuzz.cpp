// The simulator's side of a SimConnect connection as the program receives it: the byte stream
// cut into reads of varying length, reassembled into messages, queued on a connection and
// delivered by SimConnect_CallDispatch to the simulator link's dispatch (the SimClient thread's
// handlers of every message kind: the simulator check, exceptions, events, new flights, objects
// added and removed, the user aircraft's data and the objects in range).
// Input: the stream, then two control bytes (the read length, then the message size limit).
#include <cstdint>
#include <cstring>
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

// A connection without a transport behind it, listed like an open one so that
// SimConnect_CallDispatch serves it.
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
  MessageAssembler assembler;
  assembler.setMaxMessageSize(kSizeLimits[input.takeByte() % 4]);
  const std::size_t readLength = 1 + input.takeByte() * 16u;
  ListedConnection listed;
  lf_resetRun();
  while (!input.empty()) {
    const std::span<std::uint8_t> room = assembler.freeSpace();
    if (room.empty()) break;
    const std::string_view piece = input.take(std::min(room.size(), readLength));
    std::memcpy(room.data(), piece.data(), piece.size());
    const AssembleError framing =
        assembler.commit(piece.size(), [&](const std::uint8_t* message, std::uint32_t length) {
          listed.connection.onReceived(message, length);
        });
    SimConnect_CallDispatch(&listed.connection, &lf_deliver, nullptr);
    if (framing != AssembleError::None) break;  // the transport closes here
  }
  return 0;
}
