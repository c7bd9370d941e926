// The simulator's side of a SimConnect connection as the client receives it: the byte stream cut
// into reads of varying length, reassembled into messages, queued on a connection and delivered
// by SimConnect_CallDispatch to the dispatch below.
// Input: the stream, then two control bytes (the read length, then the message size limit).
#include <cstdint>
#include <cstring>
#include <mutex>

#include "fuzz_support.h"
#include "simlink/simconnect/simconnect_connection.h"

using namespace simconnect;

namespace {

constexpr std::uint32_t kSizeLimits[] = {kMaxReceiveBeforeSetup, kDefaultMaxReceiveSize, 64,
                                         kReadBufferMax};

// Reads a fixed layout out of a message only when the message holds all of it.
template <typename T>
bool lf_view(const SIMCONNECT_RECV* message, DWORD size, T& out) {
  if (size < sizeof(T)) return false;
  std::memcpy(&out, message, sizeof(T));
  return true;
}

// What a receiver makes of every message it is handed: the layout of its id, and for data
// messages the record after the fixed part.
void lf_dispatch(SIMCONNECT_RECV* message, DWORD size, void* context) {
  auto& sum = *static_cast<std::uint32_t*>(context);
  sum += message->dwID + message->dwSize;
  switch (message->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION: {
      SIMCONNECT_RECV_EXCEPTION e;
      if (lf_view(message, size, e)) sum += e.dwException + e.dwSendID + e.dwIndex;
      break;
    }
    case SIMCONNECT_RECV_ID_OPEN: {
      SIMCONNECT_RECV_OPEN open;
      if (lf_view(message, size, open)) {
        sum += static_cast<std::uint32_t>(strnlen(open.szApplicationName,
                                                  sizeof open.szApplicationName));
      }
      break;
    }
    case SIMCONNECT_RECV_ID_EVENT_FILENAME: {
      SIMCONNECT_RECV_EVENT_FILENAME file;
      if (lf_view(message, size, file)) {
        sum += static_cast<std::uint32_t>(strnlen(file.szFileName, sizeof file.szFileName));
      }
      break;
    }
    case SIMCONNECT_RECV_ID_EVENT_FRAME: {
      SIMCONNECT_RECV_EVENT_FRAME frame;
      if (lf_view(message, size, frame)) sum += frame.fFrameRate > frame.fSimSpeed ? 1u : 0u;
      break;
    }
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE: {
      SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE event;
      if (lf_view(message, size, event)) sum += event.eObjType + event.dwData;
      break;
    }
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE: {
      SIMCONNECT_RECV_SIMOBJECT_DATA head;
      if (!lf_view(message, size, head)) break;
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(message);
      for (std::size_t at = kSimObjectDataOffset; at < size; ++at) sum += bytes[at];
      break;
    }
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID: {
      SIMCONNECT_RECV_ASSIGNED_OBJECT_ID assigned;
      if (lf_view(message, size, assigned)) sum += assigned.dwObjectID;
      break;
    }
    default:
      break;
  }
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
  std::uint32_t sum = 0;
  while (!input.empty()) {
    const std::span<std::uint8_t> room = assembler.freeSpace();
    if (room.empty()) break;
    const std::string_view piece = input.take(std::min(room.size(), readLength));
    std::memcpy(room.data(), piece.data(), piece.size());
    const AssembleError framing =
        assembler.commit(piece.size(), [&](const std::uint8_t* message, std::uint32_t length) {
          listed.connection.onReceived(message, length);
        });
    SimConnect_CallDispatch(&listed.connection, &lf_dispatch, &sum);
    if (framing != AssembleError::None) break;  // the transport closes here
  }
  fuzz::g_sink += sum;
  return 0;
}
