// The stand-in's view of the SimConnect wire: decoding and strict validation of every request a
// client sends, and building of the messages the simulator sends back. Written independently of
// the client library, so that a wrong byte on either side shows up.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace p3d {

constexpr std::uint32_t kClientProtocol = 35;   // the only protocol version accepted
constexpr std::uint32_t kServerProtocol = 4;    // written into the header of every reply
constexpr std::uint32_t kRequestTypeBase = 0xF0000000u;
constexpr std::uint32_t kUnused = 0xFFFFFFFFu;

// Request numbers (type - 0xF0000000) the stand-in understands.
enum class RequestKind : std::uint32_t {
  Open = 0x01,
  MapClientEventToSimEvent = 0x04,
  TransmitClientEvent = 0x05,
  AddClientEventToNotificationGroup = 0x07,
  SetNotificationGroupPriority = 0x09,
  AddToDataDefinition = 0x0C,
  RequestDataOnSimObject = 0x0E,
  RequestDataOnSimObjectType = 0x0F,
  SetDataOnSimObject = 0x10,
  SubscribeToSystemEvent = 0x17,
  AICreateNonATCAircraft = 0x29,
  AIReleaseControl = 0x2B,
  AIRemoveObject = 0x2C,
  AISetAircraftFlightPlan = 0x2D,
};

// Receive ids and exception codes of the replies.
enum RecvId : std::uint32_t {
  kRecvException = 1,
  kRecvOpen = 2,
  kRecvQuit = 3,
  kRecvEvent = 4,
  kRecvObjectAddRemove = 5,
  kRecvFilename = 6,
  kRecvFrame = 7,
  kRecvSimObjectData = 8,
  kRecvSimObjectDataByType = 9,
  kRecvAssignedObjectId = 12,
};
enum ExceptionCode : std::uint32_t {
  kExError = 1,
  kExSizeMismatch = 2,
  kExUnrecognizedId = 3,
  kExVersionMismatch = 5,
  kExNameUnrecognized = 7,
  kExInvalidDataType = 18,
  kExInvalidDataSize = 19,
  kExDataError = 20,
  kExCreateObjectFailed = 22,
  kExLoadFlightPlanFailed = 23,
};

// One decoded request. Integer fields are kept in packet order in `u`.
struct Request {
  std::uint32_t size = 0;
  std::uint32_t version = 0;
  std::uint32_t type = 0;
  std::uint32_t sendId = 0;
  RequestKind kind = RequestKind::Open;
  std::vector<std::uint32_t> u;   // integer fields in packet order
  std::string text1;              // first string field (name, title, path)
  std::string text2;              // second string field (units, tail number)
  float epsilon = 0.0f;           // AddToDataDefinition
  double position[6] = {};        // AICreateNonATCAircraft: lat, lon, alt, pitch, bank, heading
  std::vector<std::uint8_t> data; // SetDataOnSimObject payload
};

const char* gf_requestName(RequestKind kind);

// A request the stand-in refuses: the exception it answers with and why.
struct ProtocolError {
  std::uint32_t exception = kExError;
  std::uint32_t index = 0;  // 1-based parameter of the offending field, 0 for the packet
  std::string reason;
};

// Decodes and validates one complete packet (its first u32 is its size).
std::optional<Request> gf_decodeRequest(std::span<const std::uint8_t> packet, ProtocolError& error);

// The request as one JSON object for the trace.
nlohmann::json gf_requestToJson(const Request& request);

// Builds one reply message: header first, fields appended, size patched by finish().
class MessageWriter {
 public:
  explicit MessageWriter(std::uint32_t recvId);
  MessageWriter& u32(std::uint32_t v);
  MessageWriter& i64(std::int64_t v);
  MessageWriter& f32(float v);
  MessageWriter& f64(double v);
  // Fixed field: text cut to field - 1 bytes, zero padded.
  MessageWriter& text(const std::string& s, std::size_t field);
  MessageWriter& bytes(std::span<const std::uint8_t> b);
  std::vector<std::uint8_t> finish();

 private:
  std::vector<std::uint8_t> m_bytes;
};

std::vector<std::uint8_t> gf_exceptionMessage(std::uint32_t code, std::uint32_t sendId,
                                              std::uint32_t index);

}  // namespace p3d
