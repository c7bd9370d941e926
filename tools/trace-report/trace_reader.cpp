// The one reading of the stand-in's trace: objects with their lives and sampled paths, and what
// can only be seen frame by frame or request by request (jumps, non-finite numbers, refused
// creations, removals of unknown objects).

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "trace_report.h"

namespace tracereport {
namespace {

using Json = nlohmann::json;

constexpr std::uint32_t kCreateRefused = 22;        // SimConnect exception: creation failed
constexpr std::size_t kJumpsReportedPerObject = 3;  // enough to see what happened

// The pose fields of frame objects and creation requests.
const char* const kPoseNumbers[] = {"lat", "lon", "alt", "pitch", "bank", "heading"};

// What the checks need of a request an exception may answer.
struct Asked {
  std::string type;
  std::string tail;
  std::uint32_t objectId = 0;
};

bool lf_finite(const Json& value) {
  return value.is_number() && std::isfinite(value.get<double>());
}

std::string lf_objectName(const TracedObject& o) {
  return o.tail.empty() ? fmt::format("object {}", o.id)
                        : fmt::format("{} (object {})", o.tail, o.id);
}

class TraceReader {
 public:
  Trace take() { return std::move(m_trace); }

  void line(const std::string& text) {
    const Json j = Json::parse(text, nullptr, false);
    if (!j.is_object() || !j.contains("kind") || !lf_finite(j.value("t", Json()))) {
      ++m_trace.badLines;
      return;
    }
    const std::string kind = j["kind"].get<std::string>();
    const double t = j["t"].get<double>();
    if (kind == "created") {
      TracedObject& o = object(j);
      o.client = j.value("client", 0);
      o.title = j.value("title", "");
      o.tail = j.value("tail_number", "");
      o.createdAt = t;
    } else if (kind == "removed") {
      TracedObject& o = object(j);
      o.removedAt = t;
      o.removal = j.value("reason", "");
    } else if (kind == "request") {
      request(j);
    } else if (kind == "exception") {
      exception(j);
    } else if (kind == "frame") {
      frame(j, t);
    }
  }

 private:
  TracedObject& object(const Json& j) {
    const auto id = j.value("id", std::uint32_t{0});
    TracedObject& o = m_trace.objects[id];
    o.id = id;
    return o;
  }

  void find(const std::string& check, const std::string& subject, const std::string& detail) {
    m_trace.findings.push_back({check, subject, detail});
  }

  void request(const Json& j) {
    const std::string type = j.value("type", "");
    if (type == "RequestDataOnSimObjectType" && j.value("radius_m", Json()).is_number_unsigned())
      ++m_trace.rangeRequestsM[j["radius_m"].get<std::uint32_t>()];
    if (type != "AICreateNonATCAircraft" && type != "AIRemoveObject") return;
    m_requests[{j.value("client", 0), j.value("send_id", std::uint32_t{0})}] =
        Asked{type, j.value("tail_number", ""), j.value("object_id", std::uint32_t{0})};
    if (type != "AICreateNonATCAircraft") return;
    for (const char* field : kPoseNumbers) {
      if (!lf_finite(j.value(field, Json()))) {
        find("every number finite", j.value("tail_number", "?"),
             fmt::format("created with {} {}", field, j.value(field, Json()).dump()));
      }
    }
  }

  void exception(const Json& j) {
    const auto key = std::pair{j.value("client", 0), j.value("send_id", std::uint32_t{0})};
    const auto found = m_requests.find(key);
    const Asked asked = found == m_requests.end() ? Asked{"", "?", 0} : found->second;
    const std::string reason = j.value("reason", "");
    if (j.value("code", std::uint32_t{0}) == kCreateRefused) {
      find("no refused creation", asked.tail, reason);
    } else if (asked.type == "AIRemoveObject") {
      find("no removal of an unknown id", fmt::format("object {}", asked.objectId), reason);
    }
  }

  void frame(const Json& j, double t) {
    if (m_trace.frames++ == 0) m_trace.firstFrameT = t;
    m_trace.lastFrameT = t;
    const Json& list = j.contains("objects") ? j["objects"] : Json::array();
    if (list.size() > m_trace.peakObjects) {
      m_trace.peakObjects = list.size();
      m_trace.peakAt = t;
    }
    for (const Json& entry : list) {
      if (entry.is_object()) sample(entry, t);
    }
  }

  void sample(const Json& entry, double t) {
    TracedObject& o = object(entry);
    if (o.tail.empty()) o.tail = entry.value("tail_number", "");
    if (o.title.empty()) o.title = entry.value("title", "");
    bool finite = true;
    for (const char* field : kPoseNumbers) {
      if (lf_finite(entry.value(field, Json()))) continue;
      finite = false;
      if (m_nonFinite.insert({o.id, field}).second) {
        find("every number finite", lf_objectName(o),
             fmt::format("{} is {} at {:.1f} s", field, entry.value(field, Json()).dump(), t));
      }
    }
    if (!finite) return;
    const Sample s{t,
                   {entry["lat"].get<double>(), entry["lon"].get<double>()},
                   entry["alt"].get<double>(),
                   entry["heading"].get<double>() * kRadToDeg,
                   entry.value("on_ground", false)};
    checkJump(o, s);
    if (o.samples.empty() || s.t - o.samples.back().t >= kSampleEveryS ||
        s.onGround != o.samples.back().onGround) {
      o.samples.push_back(s);
    }
  }

  // A single step over the limit, or a speed over the limit from the start of the object's
  // current window once that window spans kJumpWindowS.
  void checkJump(const TracedObject& o, const Sample& s) {
    const auto last = m_lastSeen.find(o.id);
    if (last != m_lastSeen.end()) {
      const double step = gf_distanceNm(last->second.position, s.position);
      const Sample& from = m_windowStart.at(o.id);
      const double nm = gf_distanceNm(from.position, s.position), dt = s.t - from.t;
      const bool windowDone = dt >= kJumpWindowS;
      if (step > kMaxStepNm) {
        jump(o, fmt::format("{:.2f} nm in one step of {:.2f} s at {:.1f} s", step,
                            s.t - last->second.t, s.t));
      } else if (windowDone && nm / dt * 3600.0 > kMaxImpliedSpeedKt) {
        jump(o, fmt::format("{:.2f} nm in {:.2f} s ({:.0f} kt) at {:.1f} s", nm, dt,
                            nm / dt * 3600.0, s.t));
      }
      if (windowDone || step > kMaxStepNm) m_windowStart[o.id] = s;
    } else {
      m_windowStart[o.id] = s;
    }
    m_lastSeen[o.id] = s;
  }

  void jump(const TracedObject& o, const std::string& detail) {
    if (m_jumps[o.id]++ < kJumpsReportedPerObject) find("no jump", lf_objectName(o), detail);
  }

  Trace m_trace;
  std::map<std::pair<int, std::uint32_t>, Asked> m_requests;  // by client and send id
  std::map<std::uint32_t, Sample> m_lastSeen;                 // every frame, for the jump check
  std::map<std::uint32_t, Sample> m_windowStart;              // where its speed is judged from
  std::map<std::uint32_t, std::size_t> m_jumps;
  std::set<std::pair<std::uint32_t, std::string>> m_nonFinite;
};

}  // namespace

std::optional<double> radiusFromTrace(const Trace& trace) {
  const auto most =
      std::max_element(trace.rangeRequestsM.begin(), trace.rangeRequestsM.end(),
                       [](const auto& a, const auto& b) { return a.second < b.second; });
  if (most == trace.rangeRequestsM.end()) return std::nullopt;
  return most->first / kMetresPerNm;
}

Trace readTrace(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(fmt::format("cannot read the trace {}", file.string()));
  TraceReader reader;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) reader.line(line);
  }
  return reader.take();
}

}  // namespace tracereport
