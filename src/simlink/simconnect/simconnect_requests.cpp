// Request packets of the SimConnect client: reservation in the connection's send buffer, the
// 16-byte header with the send id, the fields of each request, and the hand-over of the finished
// packet to the transport. Every step runs under g_simConnectPacketMutex, so calls from several
// threads never interleave in a send buffer.
#include <algorithm>
#include <cstring>

#include "simlink/simconnect/simconnect_connection.h"

namespace simconnect {

std::mutex g_simConnectPacketMutex;
std::vector<SimConnectConnection*> g_simConnectConnections;

SimConnectConnection* gf_findConnection(HANDLE h) {
  auto* c = static_cast<SimConnectConnection*>(h);
  if (c == nullptr) return nullptr;
  const auto it = std::find(g_simConnectConnections.begin(), g_simConnectConnections.end(), c);
  return it == g_simConnectConnections.end() ? nullptr : c;
}

void gf_setSendCounter(HANDLE h, std::uint32_t counter) {
  std::lock_guard lock(g_simConnectPacketMutex);
  if (SimConnectConnection* c = gf_findConnection(h)) c->sendCounter = counter;
}

}  // namespace simconnect

SimConnectWriteBatch::SimConnectWriteBatch(HANDLE hSimConnect) : m_handle(hSimConnect) {
  std::lock_guard lock(simconnect::g_simConnectPacketMutex);
  if (simconnect::SimConnectConnection* c = simconnect::gf_findConnection(m_handle)) {
    c->holdWrites();
    m_holding = true;
  }
}

SimConnectWriteBatch::~SimConnectWriteBatch() {
  if (!m_holding) return;
  std::lock_guard lock(simconnect::g_simConnectPacketMutex);
  // Gone when the connection was closed meanwhile: its packets went with it.
  if (simconnect::SimConnectConnection* c = simconnect::gf_findConnection(m_handle)) {
    c->releaseWrites();
  }
}

namespace simconnect {

namespace {

constexpr std::uint32_t kTypeBase = 0xF0000000u;

// Request numbers (added to kTypeBase) and packet sizes.
enum : std::uint32_t {
  kOpen = 0x01,
  kMapClientEvent = 0x04,
  kTransmitClientEvent = 0x05,
  kAddToNotificationGroup = 0x07,
  kSetGroupPriority = 0x09,
  kAddToDataDefinition = 0x0C,
  kRequestDataOnObject = 0x0E,
  kRequestDataOnType = 0x0F,
  kSetDataOnObject = 0x10,
  kSubscribeSystemEvent = 0x17,
  kAiCreateNonAtc = 0x29,
  kAiReleaseControl = 0x2B,
  kAiRemoveObject = 0x2C,
  kAiSetFlightPlan = 0x2D,
};

constexpr std::size_t kNameField = 256;        // application, event, datum and units names
constexpr std::size_t kFlightPlanPathField = 260;

// A packet under construction: a cursor over the reserved bytes of the send buffer.
class Packet {
 public:
  // start: the bytes reserved for the packet, as many as its fields take.
  explicit Packet(std::uint8_t* start) : m_start(start) {}
  void u32(std::uint32_t v) { put(&v, sizeof v); }
  void f32(float v) { put(&v, sizeof v); }
  void f64(double v) { put(&v, sizeof v); }
  void bytes(const void* p, std::size_t n) { put(p, n); }
  // Copies text with its terminating zero into a field of the given size; false when it does
  // not fit (nothing of the field is written then).
  bool text(const char* s, std::size_t field) {
    const std::size_t len = s == nullptr ? 0 : std::strlen(s);
    if (len >= field) return false;
    if (len > 0) std::memcpy(m_start + m_pos, s, len);
    m_pos += field;  // the rest of the field is already zero
    return true;
  }

 private:
  void put(const void* p, std::size_t n) {
    if (n == 0) return;  // SetData with a unit size of 0 may pass no data at all
    std::memcpy(m_start + m_pos, p, n);  // little-endian host, as the wire
    m_pos += n;
  }
  std::uint8_t* m_start;
  std::size_t m_pos = 0;
};

// The packet mutex must be held. Reserves size bytes, writes the header and returns the
// connection; result is set when nothing could be reserved.
SimConnectConnection* lf_beginPacket(HANDLE h, std::uint32_t size, std::uint32_t request,
                                     HRESULT& result, Packet& packet) {
  SimConnectConnection* c = gf_findConnection(h);
  if (c == nullptr) {
    result = E_FAIL;
    return nullptr;
  }
  if (c->hasFailed() || !c->isOpen()) {
    const HRESULT stored = c->storedResult();
    result = stored < 0 ? stored : E_FAIL;
    return nullptr;
  }
  if (size > kSendBufferSize - c->sendWritePos) {
    result = E_FAIL;
    return nullptr;
  }
  std::uint32_t id = c->sendCounter + 1;
  if (id == 0) id = 1;  // 0 is never sent
  c->sendCounter = id;
  c->lastSendId = id;
  packet = Packet(c->sendBuffer.data() + c->sendWritePos);
  c->sendWritePos += size;
  packet.u32(size);
  packet.u32(kSimConnectProtocolVersion);
  packet.u32(kTypeBase + request);
  packet.u32(id);
  result = S_OK;
  return c;
}

// Gives back a reservation whose contents could not be built.
void lf_releasePacket(SimConnectConnection* c, std::uint32_t size) {
  c->sendWritePos -= size;
  std::memset(c->sendBuffer.data() + c->sendWritePos, 0, size);
}

// Hands the used part of the send buffer to the transport and empties the buffer.
HRESULT lf_flushPacket(SimConnectConnection* c) {
  auto buffer = std::make_shared<IoBuffer>();
  buffer->data.assign(c->sendBuffer.begin(), c->sendBuffer.begin() + c->sendWritePos);
  buffer->transportId = c->transportId();
  std::memset(c->sendBuffer.data(), 0, c->sendWritePos);
  c->sendWritePos = 0;
  c->queueWrite(std::move(buffer));
  return S_OK;
}

// Builds and sends one packet: fill(packet) writes the fields after the header and returns
// false when a text does not fit.
template <typename Fill>
HRESULT lf_request(HANDLE h, std::uint32_t size, std::uint32_t request, Fill&& fill) {
  std::lock_guard lock(g_simConnectPacketMutex);
  HRESULT result = S_OK;
  Packet packet(nullptr);
  SimConnectConnection* c = lf_beginPacket(h, size, request, result, packet);
  if (c == nullptr) return result;
  if (!fill(packet)) {
    lf_releasePacket(c, size);
    return kSimConnectStringTooLong;
  }
  return lf_flushPacket(c);
}

// Fixed values of the Open packet after the application name.
constexpr std::uint8_t kOpenMarker[4] = {0x00, 0x44, 0x33, 0x50};

}  // namespace

HRESULT gf_sendOpenPacket(SimConnectConnection* c, const char* applicationName) {
  return lf_request(c, 296, kOpen, [&](Packet& p) {
    if (!p.text(applicationName, kNameField)) return false;
    p.u32(0);
    p.bytes(kOpenMarker, sizeof kOpenMarker);
    p.u32(5);
    p.u32(3);
    p.u32(0);
    p.u32(0);
    return true;
  });
}

}  // namespace simconnect

using namespace simconnect;

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwSendID) {
  if (pdwSendID == nullptr) return E_FAIL;
  std::lock_guard lock(g_simConnectPacketMutex);
  SimConnectConnection* c = gf_findConnection(hSimConnect);
  if (c == nullptr) return E_FAIL;
  *pdwSendID = c->lastSendId;
  return S_OK;
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE h, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                            LPCSTR EventName) {
  return lf_request(h, 276, kMapClientEvent, [&](Packet& p) {
    p.u32(EventID);
    return p.text(EventName, kNameField);
  });
}

HRESULT SimConnect_TransmitClientEvent(HANDLE h, SIMCONNECT_OBJECT_ID ObjectID,
                                       SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                       SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, DWORD Flags) {
  return lf_request(h, 36, kTransmitClientEvent, [&](Packet& p) {
    p.u32(ObjectID);
    p.u32(EventID);
    p.u32(dwData);
    p.u32(GroupID);
    p.u32(Flags);
    return true;
  });
}

HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE h,
                                                     SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                     SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                     BOOL bMaskable) {
  return lf_request(h, 28, kAddToNotificationGroup, [&](Packet& p) {
    p.u32(GroupID);
    p.u32(EventID);
    p.u32(static_cast<std::uint32_t>(bMaskable));
    return true;
  });
}

HRESULT SimConnect_SetNotificationGroupPriority(HANDLE h,
                                                SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                DWORD uPriority) {
  return lf_request(h, 24, kSetGroupPriority, [&](Packet& p) {
    p.u32(GroupID);
    p.u32(uPriority);
    return true;
  });
}

HRESULT SimConnect_AddToDataDefinition(HANDLE h, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       LPCSTR DatumName, LPCSTR UnitsName,
                                       SIMCONNECT_DATATYPE DatumType, float fEpsilon,
                                       DWORD DatumID) {
  return lf_request(h, 544, kAddToDataDefinition, [&](Packet& p) {
    p.u32(DefineID);
    if (!p.text(DatumName, kNameField) || !p.text(UnitsName, kNameField)) return false;
    p.u32(DatumType);
    p.f32(fEpsilon);
    p.u32(DatumID);
    return true;
  });
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE h, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                          SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                          DWORD Flags, DWORD origin, DWORD interval,
                                          DWORD limit) {
  return lf_request(h, 48, kRequestDataOnObject, [&](Packet& p) {
    p.u32(RequestID);
    p.u32(DefineID);
    p.u32(ObjectID);
    p.u32(Period);
    p.u32(Flags);
    p.u32(origin);
    p.u32(interval);
    p.u32(limit);
    return true;
  });
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE h, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                              DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type) {
  return lf_request(h, 32, kRequestDataOnType, [&](Packet& p) {
    p.u32(RequestID);
    p.u32(DefineID);
    p.u32(dwRadiusMeters);
    p.u32(type);
    return true;
  });
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE h, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, DWORD Flags,
                                      DWORD ArrayCount, DWORD cbUnitSize, void* pDataSet) {
  const std::uint64_t count = ArrayCount == 0 ? 1 : ArrayCount;
  const std::uint64_t dataSize = count * cbUnitSize;
  if (dataSize > kSendBufferSize || (dataSize > 0 && pDataSet == nullptr)) return E_FAIL;
  const auto size = static_cast<std::uint32_t>(36 + dataSize);
  return lf_request(h, size, kSetDataOnObject, [&](Packet& p) {
    p.u32(DefineID);
    p.u32(ObjectID);
    p.u32(Flags);
    p.u32(static_cast<std::uint32_t>(count));
    p.u32(cbUnitSize);
    p.bytes(pDataSet, static_cast<std::size_t>(dataSize));
    return true;
  });
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE h, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          LPCSTR SystemEventName) {
  return lf_request(h, 276, kSubscribeSystemEvent, [&](Packet& p) {
    p.u32(EventID);
    return p.text(SystemEventName, kNameField);
  });
}

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE h, LPCSTR szContainerTitle,
                                          LPCSTR szTailNumber,
                                          SIMCONNECT_DATA_INITPOSITION InitPos,
                                          SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return lf_request(h, 344, kAiCreateNonAtc, [&](Packet& p) {
    if (!p.text(szContainerTitle, kNameField) ||
        !p.text(szTailNumber, kSimConnectTailNumberField)) {
      return false;
    }
    p.f64(InitPos.Latitude);
    p.f64(InitPos.Longitude);
    p.f64(InitPos.Altitude);
    p.f64(InitPos.Pitch);
    p.f64(InitPos.Bank);
    p.f64(InitPos.Heading);
    p.u32(InitPos.OnGround);
    p.u32(InitPos.Airspeed);
    p.u32(RequestID);
    return true;
  });
}

HRESULT SimConnect_AIReleaseControl(HANDLE h, SIMCONNECT_OBJECT_ID ObjectID,
                                    SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return lf_request(h, 24, kAiReleaseControl, [&](Packet& p) {
    p.u32(ObjectID);
    p.u32(RequestID);
    return true;
  });
}

HRESULT SimConnect_AIRemoveObject(HANDLE h, SIMCONNECT_OBJECT_ID ObjectID,
                                  SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return lf_request(h, 24, kAiRemoveObject, [&](Packet& p) {
    p.u32(ObjectID);
    p.u32(RequestID);
    return true;
  });
}

HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE h, SIMCONNECT_OBJECT_ID ObjectID,
                                           LPCSTR szFlightPlanPath,
                                           SIMCONNECT_DATA_REQUEST_ID RequestID) {
  return lf_request(h, 284, kAiSetFlightPlan, [&](Packet& p) {
    p.u32(ObjectID);
    if (!p.text(szFlightPlanPath, kFlightPlanPathField)) return false;
    p.u32(RequestID);
    return true;
  });
}
