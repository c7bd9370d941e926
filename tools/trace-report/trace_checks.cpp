// The checks of a demo run: every object's life, every number and step in the trace, and, with a
// manifest, what each recorded aircraft was meant to do against what the simulator saw. A cut
// of the recording asserts only the outcomes it reaches.

#include <fmt/format.h>

#include <algorithm>
#include <functional>

#include "trace_geometry.h"
#include "trace_report.h"

namespace tracereport {
namespace {

constexpr double kRadiusMarginNm = 0.5;  // aircraft this close to the radius are not judged
constexpr double kPathToleranceNm = 0.5;
constexpr double kExtendLastTrackNm = 20.0;
constexpr double kLevelToleranceFt = 300.0;
constexpr std::size_t kReportsToBeCreated = 3;  // the program needs a few reports inside
constexpr double kLeadBeforeCutS = 30.0;        // and their due time inside the cut

using Fail = std::function<void(const std::string& subject, const std::string& detail)>;
// A check either runs (reporting its failures) or says why it cannot.
using Check = std::function<std::optional<std::string>(const Fail&)>;

std::string lf_name(const TracedObject& o) {
  return o.tail.empty() ? fmt::format("object {}", o.id) : o.tail;
}

double lf_nmFromSegment(const LatLon& p, const LatLon& a, const LatLon& b) {
  const Metres ab = localMetres(a, b), ap = localMetres(a, p);
  const double length2 = ab.x * ab.x + ab.y * ab.y;
  const double f =
      length2 > 0.0 ? std::clamp((ap.x * ab.x + ap.y * ab.y) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(ap.x - f * ab.x, ap.y - f * ab.y) / kMetresPerNm;
}

// The recorded path as points, extended along its last track.
std::vector<LatLon> lf_path(const std::vector<RecordedPoint>& recorded) {
  std::vector<LatLon> path;
  for (const RecordedPoint& p : recorded) path.push_back(p.position);
  if (!recorded.empty()) {
    path.push_back(gf_destination(recorded.back().position, recorded.back().trackDeg * kDegToRad,
                                  kExtendLastTrackNm * kFeetPerNm));
  }
  return path;
}

double lf_nmFromPath(const LatLon& p, const std::vector<LatLon>& path) {
  double best = path.size() == 1 ? gf_distanceNm(p, path.front()) : 1e9;
  for (std::size_t k = 1; k < path.size(); ++k)
    best = std::min(best, lf_nmFromSegment(p, path[k - 1], path[k]));
  return best;
}

class Checks {
 public:
  Checks(const Trace& trace, const Inputs& inputs) : m_trace(trace), m_in(inputs) {
    for (const auto& [id, o] : trace.objects) {
      if (const ManifestAircraft* a = manifestEntry(o, inputs))
        m_objectsOf[a->callsign].push_back(&o);
      m_outcomes[id] = findOutcomes(o, inputs.airport);
    }
  }

  std::vector<std::pair<std::string, Check>> all() {
    return {
        {"aircraft created", [this](const Fail& f) { return anyCreated(f); }},
        {"created once", [this](const Fail& f) { return createdOnce(f); }},
        {"removed once", [this](const Fail& f) { return removedOnce(f); }},
        {"no refused creation",
         [this](const Fail& f) { return fromReading("no refused creation", f); }},
        {"no removal of an unknown id",
         [this](const Fail& f) { return fromReading("no removal of an unknown id", f); }},
        {"every number finite",
         [this](const Fail& f) { return fromReading("every number finite", f); }},
        {"no jump", [this](const Fail& f) { return fromReading("no jump", f); }},
        {"created within the radius only", [this](const Fail& f) { return radius(f); }},
        {"on the recorded path", [this](const Fail& f) { return onPath(f); }},
        {"landed on the runway", [this](const Fail& f) { return landed(f); }},
        {"parked on the stand", [this](const Fail& f) { return parked(f); }},
        {"pushed back tail first", [this](const Fail& f) { return pushedBack(f); }},
        {"lifted off from the runway", [this](const Fail& f) { return liftedOff(f); }},
        {"flew at its level", [this](const Fail& f) { return level(f); }},
        {"on the ground only at the airport", [this](const Fail& f) { return groundAtAirport(f); }},
    };
  }

 private:
  std::optional<std::string> fromReading(const std::string& name, const Fail& fail) {
    for (const Finding& f : m_trace.findings) {
      if (f.check == name) fail(f.subject, f.detail);
    }
    return std::nullopt;
  }

  // A run in which the simulator drew nothing proves nothing.
  std::optional<std::string> anyCreated(const Fail& fail) {
    if (m_trace.frames == 0) fail("the run", "the trace holds no frame");
    const bool any = std::any_of(m_trace.objects.begin(), m_trace.objects.end(),
                                 [](const auto& entry) { return entry.second.createdAt; });
    if (!any) fail("the run", "no aircraft was created");
    return std::nullopt;
  }

  std::optional<std::string> createdOnce(const Fail& fail) {
    std::map<std::string, std::vector<std::uint32_t>> byTail;
    for (const auto& [id, o] : m_trace.objects) {
      if (o.createdAt && !o.tail.empty()) byTail[o.tail].push_back(id);
    }
    for (const auto& [tail, ids] : byTail) {
      if (ids.size() > 1)
        fail(tail, fmt::format("created {} times (objects {})", ids.size(), fmt::join(ids, ", ")));
    }
    return std::nullopt;
  }

  std::optional<std::string> removedOnce(const Fail& fail) {
    for (const auto& [id, o] : m_trace.objects) {
      if (!o.createdAt)
        fail(lf_name(o), "in the frames without a creation");
      else if (o.removal.empty())
        fail(lf_name(o), "never removed");
    }
    return std::nullopt;
  }

  // The recorded reports of an aircraft within the radius (less the margin) before the cut
  // less the lead the program needs.
  std::size_t reportsInside(const ManifestAircraft& a) const {
    auto found = m_in.recorded.find(a.callsign);
    if (found == m_in.recorded.end()) return 0;
    return static_cast<std::size_t>(
        std::count_if(found->second.begin(), found->second.end(), [&](const RecordedPoint& p) {
          return p.t <= m_in.cutS - kLeadBeforeCutS &&
                 gf_distanceNm(m_in.airport.user, p.position) <= *m_in.radiusNm - kRadiusMarginNm;
        }));
  }

  std::optional<std::string> radius(const Fail& fail) {
    if (m_in.manifest.empty()) return "no manifest";
    if (m_in.recorded.empty()) return "no recording";
    if (!m_in.radiusNm) {
      fail("the run",
           "its traffic radius is unknown (the program never asked for the aircraft "
           "around the user)");
      return std::nullopt;
    }
    for (const ManifestAircraft& a : m_in.manifest) {
      const std::optional<double> closest = closestRecordedNm(a, m_in);
      const bool created = m_objectsOf.contains(a.callsign);
      if (closest && *closest > *m_in.radiusNm + kRadiusMarginNm && created) {
        fail(a.callsign, fmt::format("created though it stayed {:.1f} nm away", *closest));
      }
      if (!created && reportsInside(a) >= kReportsToBeCreated) {
        fail(a.callsign, fmt::format("never created though it came within {:.1f} nm", *closest));
      }
    }
    return std::nullopt;
  }

  std::optional<std::string> onPath(const Fail& fail) {
    if (m_in.recorded.empty()) return "no recording";
    for (const auto& [id, o] : m_trace.objects) {
      const auto recorded = m_in.recorded.find(o.tail);
      if (recorded == m_in.recorded.end()) continue;
      const std::vector<LatLon> path = lf_path(recorded->second);
      double worst = 0.0, at = 0.0;
      for (const Sample& s : o.samples) {
        const double nm = lf_nmFromPath(s.position, path);
        if (nm > worst) std::tie(worst, at) = std::pair{nm, s.t};
      }
      if (worst > kPathToleranceNm)
        fail(lf_name(o), fmt::format("{:.2f} nm off its recorded path at {:.1f} s", worst, at));
    }
    return std::nullopt;
  }

  // The object that stands for a manifest aircraft: the one drawn most (a double creation is
  // the first check's business, not every check's).
  const TracedObject* drawnMost(const std::string& callsign) {
    const TracedObject* best = nullptr;
    for (const TracedObject* o : m_objectsOf[callsign]) {
      if (best == nullptr || o->samples.size() > best->samples.size()) best = o;
    }
    return best;
  }

  // Calls judge for every manifest aircraft of the kind that reached the outcome within the cut;
  // one that was never created fails.
  std::optional<std::string> reached(
      const char* kind, const char* outcome, const Fail& fail,
      const std::function<void(const ManifestAircraft&, const TracedObject&, const Outcomes&)>&
          judge) {
    if (m_in.manifest.empty()) return "no manifest";
    for (const ManifestAircraft& a : m_in.manifest) {
      const auto t = a.outcomes.find(outcome);
      if (a.kind != kind || t == a.outcomes.end() || t->second >= m_in.cutS) continue;
      if (const TracedObject* o = drawnMost(a.callsign))
        judge(a, *o, m_outcomes.at(o->id));
      else
        fail(a.callsign, fmt::format("never created, though it was to have {} by {:.0f} s", outcome,
                                     t->second));
    }
    return std::nullopt;
  }

  std::optional<std::string> landed(const Fail& fail) {
    return reached(
        "arrival", "landed", fail,
        [&](const ManifestAircraft& a, const TracedObject&, const Outcomes& out) {
          if (!out.firstGroundAfterAir) return fail(a.callsign, "never touched down");
          if (out.landedOn != a.runway) {
            const Sample& s = *out.firstGroundAfterAir;
            fail(a.callsign,
                 fmt::format("first on the ground at {:.1f} s {} (heading {:.0f}), not on {}", s.t,
                             out.landedOn.empty() ? "beside the runways" : "on " + out.landedOn,
                             s.headingDeg, a.runway));
          }
        });
  }

  std::optional<std::string> parked(const Fail& fail) {
    return reached(
        "arrival", "parked", fail,
        [&](const ManifestAircraft& a, const TracedObject&, const Outcomes& out) {
          const auto stand = std::find_if(m_in.airport.stands.begin(), m_in.airport.stands.end(),
                                          [&](const Stand& s) { return s.name == a.stand; });
          if (stand == m_in.airport.stands.end())
            return fail(a.callsign, "its stand " + a.stand + " is not in the airport's facts");
          if (!out.lastRest) return fail(a.callsign, "never came to rest");
          if (out.parkedAt != a.stand) {
            fail(a.callsign,
                 fmt::format("at rest {:.1f} m from {} heading {:.0f} (the stand's {:.0f})",
                             metresBetween(stand->position, out.lastRest->position), a.stand,
                             out.lastRest->headingDeg, stand->headingDeg));
          }
        });
  }

  std::optional<std::string> pushedBack(const Fail& fail) {
    return reached("departure", "pushback", fail,
                   [&](const ManifestAircraft& a, const TracedObject&, const Outcomes& out) {
                     if (!out.tailFirst)
                       return fail(a.callsign, "never moved from where it was created");
                     if (!*out.tailFirst)
                       fail(a.callsign,
                            fmt::format("left {} nose first",
                                        out.leftFrom.empty() ? "its place" : out.leftFrom));
                     if (out.leftFrom != a.stand)
                       fail(a.callsign,
                            fmt::format("created at {}, not at {}",
                                        out.leftFrom.empty() ? "no stand" : out.leftFrom, a.stand));
                   });
  }

  std::optional<std::string> liftedOff(const Fail& fail) {
    return reached(
        "departure", "takeoff", fail,
        [&](const ManifestAircraft& a, const TracedObject&, const Outcomes& out) {
          if (!out.lastGroundBeforeAir) return fail(a.callsign, "never lifted off");
          if (out.liftedOffFrom != a.runway) {
            fail(a.callsign,
                 fmt::format(
                     "lifted off at {:.1f} s {}, not from {}", out.lastGroundBeforeAir->t,
                     out.liftedOffFrom.empty() ? "beside the runways" : "from " + out.liftedOffFrom,
                     a.runway));
          }
        });
  }

  // Every aircraft with a level that was drawn keeps it; one that was to have passed within
  // the cut was drawn.
  std::optional<std::string> level(const Fail& fail) {
    if (m_in.manifest.empty()) return "no manifest";
    for (const ManifestAircraft& a : m_in.manifest) {
      if (!a.levelFt) continue;
      const auto overflew = a.outcomes.find("overflew");
      const TracedObject* o = drawnMost(a.callsign);
      if (o == nullptr && overflew != a.outcomes.end() && overflew->second < m_in.cutS) {
        fail(a.callsign, fmt::format("never created, though it was to have passed by {:.0f} s",
                                     overflew->second));
      }
      if (o != nullptr) {
        double worst = 0.0;
        for (const Sample& s : o->samples)
          worst = std::max(worst, std::abs(s.altitudeFt - *a.levelFt));
        if (worst > kLevelToleranceFt)
          fail(a.callsign, fmt::format("{:.0f} ft off its level of {:.0f} ft", worst, *a.levelFt));
      }
    }
    return std::nullopt;
  }

  std::optional<std::string> groundAtAirport(const Fail& fail) {
    const Airport& airport = m_in.airport;
    for (const auto& [id, o] : m_trace.objects) {
      for (const Sample& s : o.samples) {
        const double nm = gf_distanceNm(airport.position, s.position);
        if (s.onGround && nm > airport.extentNm) {
          fail(lf_name(o),
               fmt::format("on the ground {:.1f} nm from {} at {:.1f} s", nm, airport.icao, s.t));
          break;
        }
      }
    }
    return std::nullopt;
  }

  const Trace& m_trace;
  const Inputs& m_in;
  std::map<std::string, std::vector<const TracedObject*>> m_objectsOf;  // by manifest callsign
  std::map<std::uint32_t, Outcomes> m_outcomes;
};

}  // namespace

CheckResult runChecks(const Trace& trace, const Inputs& inputs) {
  CheckResult result;
  Checks checks(trace, inputs);
  for (auto& [name, check] : checks.all()) {
    const std::size_t before = result.failures.size();
    const std::optional<std::string> skipped =
        check([&, n = name](const std::string& subject, const std::string& detail) {
          result.failures.push_back({n, subject, detail});
        });
    if (skipped)
      result.skipped.push_back(name + ": " + *skipped);
    else if (result.failures.size() == before)
      result.passed.push_back(name);
  }
  return result;
}

}  // namespace tracereport
