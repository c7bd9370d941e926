// Decoding and validation of client requests, and the reply message builder.
#include "standin_protocol.h"

#include <cmath>
#include <cstring>

#include <fmt/format.h>

namespace p3d {

namespace {

// Bounds-checked little-endian reader over one packet.
class Cursor {
 public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  std::uint32_t u32() {
    std::uint32_t v = 0;
    take(&v, sizeof v);
    return v;
  }
  float f32() {
    float v = 0;
    take(&v, sizeof v);
    return v;
  }
  double f64() {
    double v = 0;
    take(&v, sizeof v);
    return v;
  }
  // A fixed text field: a zero must end the text inside the field and every byte after it must
  // be zero too (the client clears its send buffer).
  bool text(std::size_t field, std::string& out) {
    const std::uint8_t* p = m_bytes.data() + m_pos;
    m_pos += field;
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(p, 0, field));
    if (end == nullptr) return false;
    out.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
    for (const std::uint8_t* q = end; q < p + field; ++q) {
      if (*q != 0) return false;
    }
    return true;
  }
  std::span<const std::uint8_t> rest() const { return m_bytes.subspan(m_pos); }
  std::span<const std::uint8_t> raw(std::size_t n) {
    auto s = m_bytes.subspan(m_pos, n);
    m_pos += n;
    return s;
  }

 private:
  void take(void* out, std::size_t n) {
    std::memcpy(out, m_bytes.data() + m_pos, n);
    m_pos += n;
  }
  std::span<const std::uint8_t> m_bytes;
  std::size_t m_pos = 0;
};

struct Layout {
  RequestKind kind;
  const char* name;
  std::uint32_t size;  // 0: variable (checked by the decoder)
};

constexpr Layout kLayouts[] = {
    {RequestKind::Open, "Open", 296},
    {RequestKind::MapClientEventToSimEvent, "MapClientEventToSimEvent", 276},
    {RequestKind::TransmitClientEvent, "TransmitClientEvent", 36},
    {RequestKind::AddClientEventToNotificationGroup, "AddClientEventToNotificationGroup", 28},
    {RequestKind::SetNotificationGroupPriority, "SetNotificationGroupPriority", 24},
    {RequestKind::AddToDataDefinition, "AddToDataDefinition", 544},
    {RequestKind::RequestDataOnSimObject, "RequestDataOnSimObject", 48},
    {RequestKind::RequestDataOnSimObjectType, "RequestDataOnSimObjectType", 32},
    {RequestKind::SetDataOnSimObject, "SetDataOnSimObject", 0},
    {RequestKind::SubscribeToSystemEvent, "SubscribeToSystemEvent", 276},
    {RequestKind::AICreateNonATCAircraft, "AICreateNonATCAircraft", 344},
    {RequestKind::AIReleaseControl, "AIReleaseControl", 24},
    {RequestKind::AIRemoveObject, "AIRemoveObject", 24},
    {RequestKind::AISetAircraftFlightPlan, "AISetAircraftFlightPlan", 284},
};

const Layout* lf_layout(std::uint32_t number) {
  for (const Layout& l : kLayouts) {
    if (static_cast<std::uint32_t>(l.kind) == number) return &l;
  }
  return nullptr;
}

constexpr std::uint8_t kOpenMarker[4] = {0x00, 0x44, 0x33, 0x50};
constexpr std::uint32_t kOpenTail[4] = {5, 3, 0, 0};
constexpr std::uint32_t kMaxDataType = 11;
constexpr std::uint32_t kMaxPeriod = 4;
constexpr std::uint32_t kMaxObjectType = 5;

ProtocolError lf_error(std::uint32_t code, std::uint32_t index, std::string reason) {
  return ProtocolError{code, index, std::move(reason)};
}

// Decodes the fields after the header; false with error set when a field is malformed.
bool lf_decodeFields(Cursor& c, Request& r, ProtocolError& error) {
  auto ints = [&](int n) {
    for (int i = 0; i < n; ++i) r.u.push_back(c.u32());
  };
  auto textField = [&](std::size_t field, std::string& out, std::uint32_t index,
                       const char* what) {
    if (c.text(field, out)) return true;
    error = lf_error(kExError, index, fmt::format("{} is not a zero-terminated, zero-padded text "
                                                  "of at most {} bytes",
                                                  what, field - 1));
    return false;
  };
  switch (r.kind) {
    case RequestKind::Open: {
      if (!textField(256, r.text1, 1, "application name")) return false;
      if (c.u32() != 0) {
        error = lf_error(kExError, 2, "Open: the word after the name is not 0");
        return false;
      }
      const auto marker = c.raw(4);
      if (std::memcmp(marker.data(), kOpenMarker, 4) != 0) {
        error = lf_error(kExError, 3, "Open: wrong marker bytes");
        return false;
      }
      for (std::uint32_t expected : kOpenTail) {
        if (c.u32() != expected) {
          error = lf_error(kExVersionMismatch, 4, "Open: unexpected version words");
          return false;
        }
      }
      return true;
    }
    case RequestKind::MapClientEventToSimEvent:
    case RequestKind::SubscribeToSystemEvent:
      ints(1);
      if (!textField(256, r.text1, 2, "event name")) return false;
      if (r.text1.empty()) {
        error = lf_error(kExNameUnrecognized, 2, "empty event name");
        return false;
      }
      return true;
    case RequestKind::TransmitClientEvent:
      ints(5);
      return true;
    case RequestKind::AddClientEventToNotificationGroup:
      ints(3);
      if (r.u[2] > 1) {
        error = lf_error(kExError, 3, fmt::format("maskable flag {} is not 0 or 1", r.u[2]));
        return false;
      }
      return true;
    case RequestKind::SetNotificationGroupPriority:
      ints(2);
      return true;
    case RequestKind::AddToDataDefinition:
      ints(1);
      if (!textField(256, r.text1, 2, "datum name")) return false;
      if (!textField(256, r.text2, 3, "units name")) return false;
      r.u.push_back(c.u32());
      r.epsilon = c.f32();
      r.u.push_back(c.u32());
      if (r.u[1] == 0 || r.u[1] > kMaxDataType) {
        error = lf_error(kExInvalidDataType, 4, fmt::format("data type {}", r.u[1]));
        return false;
      }
      if (!std::isfinite(r.epsilon) || r.epsilon < 0) {
        error = lf_error(kExDataError, 5, "epsilon is not a finite value >= 0");
        return false;
      }
      return true;
    case RequestKind::RequestDataOnSimObject:
      ints(8);
      if (r.u[3] > kMaxPeriod) {
        error = lf_error(kExError, 4, fmt::format("period {}", r.u[3]));
        return false;
      }
      return true;
    case RequestKind::RequestDataOnSimObjectType:
      ints(4);
      if (r.u[3] > kMaxObjectType) {
        error = lf_error(kExError, 4, fmt::format("object type {}", r.u[3]));
        return false;
      }
      return true;
    case RequestKind::SetDataOnSimObject: {
      ints(5);
      const std::uint64_t count = r.u[3];
      const std::uint64_t unit = r.u[4];
      if (count == 0 || unit == 0 || 36 + count * unit != r.size) {
        error = lf_error(kExSizeMismatch, 4,
                         fmt::format("SetData: count {} x unit {} does not fill a packet of {}",
                                     count, unit, r.size));
        return false;
      }
      const auto payload = c.rest();
      r.data.assign(payload.begin(), payload.end());
      return true;
    }
    case RequestKind::AICreateNonATCAircraft:
      if (!textField(256, r.text1, 1, "container title")) return false;
      if (!textField(12, r.text2, 2, "tail number")) return false;
      for (double& v : r.position) v = c.f64();
      ints(3);  // on ground, airspeed, request id
      return true;
    case RequestKind::AIReleaseControl:
    case RequestKind::AIRemoveObject:
      ints(2);
      return true;
    case RequestKind::AISetAircraftFlightPlan:
      ints(1);
      if (!textField(260, r.text1, 2, "flight plan path")) return false;
      ints(1);
      return true;
  }
  return false;
}

}  // namespace

const char* gf_requestName(RequestKind kind) {
  const Layout* l = lf_layout(static_cast<std::uint32_t>(kind));
  return l != nullptr ? l->name : "Unknown";
}

std::optional<Request> gf_decodeRequest(std::span<const std::uint8_t> packet,
                                        ProtocolError& error) {
  constexpr std::size_t kHeader = 16;
  if (packet.size() < kHeader) {
    error = lf_error(kExSizeMismatch, 0, fmt::format("packet of {} bytes", packet.size()));
    return std::nullopt;
  }
  Cursor c(packet);
  Request r;
  r.size = c.u32();
  r.version = c.u32();
  r.type = c.u32();
  r.sendId = c.u32();
  if (r.size != packet.size()) {
    error = lf_error(kExSizeMismatch, 0, "size field differs from the packet");
    return std::nullopt;
  }
  if (r.version != kClientProtocol) {
    error = lf_error(kExVersionMismatch, 0, fmt::format("protocol version {}", r.version));
    return std::nullopt;
  }
  if ((r.type & 0xFFFF0000u) != kRequestTypeBase) {
    error = lf_error(kExError, 0, fmt::format("type 0x{:08X}", r.type));
    return std::nullopt;
  }
  const Layout* layout = lf_layout(r.type - kRequestTypeBase);
  if (layout == nullptr) {
    error = lf_error(kExError, 0, fmt::format("unknown request type 0x{:08X}", r.type));
    return std::nullopt;
  }
  r.kind = layout->kind;
  const bool variable = layout->size == 0;
  if ((!variable && r.size != layout->size) || (variable && r.size < 36)) {
    error = lf_error(kExSizeMismatch, 0,
                     fmt::format("{}: size {} (expected {})", layout->name, r.size,
                                 variable ? 36 : layout->size));
    return std::nullopt;
  }
  if (r.sendId == 0) {
    error = lf_error(kExError, 0, "send id 0");
    return std::nullopt;
  }
  if (!lf_decodeFields(c, r, error)) {
    error.reason = fmt::format("{}: {}", layout->name, error.reason);
    return std::nullopt;
  }
  return r;
}

nlohmann::json gf_requestToJson(const Request& r) {
  nlohmann::json j;
  j["type"] = gf_requestName(r.kind);
  j["send_id"] = r.sendId;
  j["size"] = r.size;
  const auto& u = r.u;
  switch (r.kind) {
    case RequestKind::Open:
      j["name"] = r.text1;
      break;
    case RequestKind::MapClientEventToSimEvent:
    case RequestKind::SubscribeToSystemEvent:
      j["event_id"] = u[0];
      j["name"] = r.text1;
      break;
    case RequestKind::TransmitClientEvent:
      j.update({{"object_id", u[0]}, {"event_id", u[1]}, {"data", u[2]}, {"group_id", u[3]},
                {"flags", u[4]}});
      break;
    case RequestKind::AddClientEventToNotificationGroup:
      j.update({{"group_id", u[0]}, {"event_id", u[1]}, {"maskable", u[2]}});
      break;
    case RequestKind::SetNotificationGroupPriority:
      j.update({{"group_id", u[0]}, {"priority", u[1]}});
      break;
    case RequestKind::AddToDataDefinition:
      j.update({{"define_id", u[0]}, {"datum", r.text1}, {"units", r.text2},
                {"datatype", u[1]}, {"epsilon", r.epsilon}, {"datum_id", u[2]}});
      break;
    case RequestKind::RequestDataOnSimObject:
      j.update({{"request_id", u[0]}, {"define_id", u[1]}, {"object_id", u[2]},
                {"period", u[3]}, {"flags", u[4]}, {"origin", u[5]}, {"interval", u[6]},
                {"limit", u[7]}});
      break;
    case RequestKind::RequestDataOnSimObjectType:
      j.update({{"request_id", u[0]}, {"define_id", u[1]}, {"radius_m", u[2]},
                {"object_type", u[3]}});
      break;
    case RequestKind::SetDataOnSimObject: {
      j.update({{"define_id", u[0]}, {"object_id", u[1]}, {"flags", u[2]}, {"count", u[3]},
                {"unit_size", u[4]}});
      std::string hex;
      for (std::uint8_t b : r.data) hex += fmt::format("{:02x}", b);
      j["data"] = hex;
      break;
    }
    case RequestKind::AICreateNonATCAircraft:
      j.update({{"title", r.text1}, {"tail_number", r.text2}, {"lat", r.position[0]},
                {"lon", r.position[1]}, {"alt", r.position[2]}, {"pitch", r.position[3]},
                {"bank", r.position[4]}, {"heading", r.position[5]}, {"on_ground", u[0]},
                {"airspeed", u[1]}, {"request_id", u[2]}});
      break;
    case RequestKind::AIReleaseControl:
    case RequestKind::AIRemoveObject:
      j.update({{"object_id", u[0]}, {"request_id", u[1]}});
      break;
    case RequestKind::AISetAircraftFlightPlan:
      j.update({{"object_id", u[0]}, {"path", r.text1}, {"request_id", u[1]}});
      break;
  }
  return j;
}

MessageWriter::MessageWriter(std::uint32_t recvId) {
  u32(0);
  u32(kServerProtocol);
  u32(recvId);
}

MessageWriter& MessageWriter::u32(std::uint32_t v) { return bytes({reinterpret_cast<const std::uint8_t*>(&v), sizeof v}); }
MessageWriter& MessageWriter::i64(std::int64_t v) { return bytes({reinterpret_cast<const std::uint8_t*>(&v), sizeof v}); }
MessageWriter& MessageWriter::f32(float v) { return bytes({reinterpret_cast<const std::uint8_t*>(&v), sizeof v}); }
MessageWriter& MessageWriter::f64(double v) { return bytes({reinterpret_cast<const std::uint8_t*>(&v), sizeof v}); }

MessageWriter& MessageWriter::text(const std::string& s, std::size_t field) {
  const std::size_t n = std::min(s.size(), field - 1);
  m_bytes.insert(m_bytes.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  m_bytes.insert(m_bytes.end(), field - n, 0);
  return *this;
}

MessageWriter& MessageWriter::bytes(std::span<const std::uint8_t> b) {
  if (b.empty()) return *this;
  const std::size_t at = m_bytes.size();
  m_bytes.resize(at + b.size());
  std::memcpy(m_bytes.data() + at, b.data(), b.size());
  return *this;
}

std::vector<std::uint8_t> MessageWriter::finish() {
  const auto size = static_cast<std::uint32_t>(m_bytes.size());
  std::memcpy(m_bytes.data(), &size, sizeof size);
  return std::move(m_bytes);
}

std::vector<std::uint8_t> gf_exceptionMessage(std::uint32_t code, std::uint32_t sendId,
                                              std::uint32_t index) {
  return MessageWriter(kRecvException).u32(code).u32(sendId).u32(index).finish();
}

}  // namespace p3d
