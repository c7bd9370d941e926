// The summary of a demo run: the objects the simulator saw, what each aircraft did, the
// aircraft that never came, and the checks.

#include <fmt/format.h>

#include <algorithm>
#include <set>

#include "trace_report.h"

namespace tracereport {
namespace {

std::string lf_time(const std::optional<double>& t) {
  return t ? fmt::format("{:.1f}", *t) : "-";
}

// What the object did, in the order it happened.
std::string lf_story(const TracedObject& o, const ManifestAircraft* a, const Outcomes& out) {
  std::vector<std::string> parts;
  if (!out.leftFrom.empty() && out.tailFirst) {
    parts.push_back(*out.tailFirst ? "pushed back from " + out.leftFrom
                                   : "left " + out.leftFrom + " nose first");
  }
  if (out.lastGroundBeforeAir) {
    parts.push_back(out.liftedOffFrom.empty() ? "lifted off beside the runways"
                                              : "took off from " + out.liftedOffFrom);
  }
  if (out.firstGroundAfterAir) {
    parts.push_back(out.landedOn.empty() ? "touched down beside the runways"
                                         : "landed on " + out.landedOn);
  }
  const bool arrived = out.firstGroundAfterAir || (a != nullptr && a->kind == "arrival");
  if (arrived && out.lastRest) {
    parts.push_back(out.parkedAt.empty() ? "came to rest off the stands"
                                         : "parked at " + out.parkedAt);
  }
  const bool flightToOrFrom = a != nullptr && (a->kind == "arrival" || a->kind == "departure");
  if (out.levelFt && flightToOrFrom) parts.push_back("in the air throughout");
  if (out.levelFt && !flightToOrFrom)
    parts.push_back(fmt::format("overflew at {:.0f} ft", *out.levelFt));
  if (parts.empty()) parts.push_back(o.samples.empty() ? "was never drawn" : "moved on the ground");
  return fmt::format("{}", fmt::join(parts, ", "));
}

// Why a manifest aircraft was never created: the program's last word on it, else what the
// recording shows of it.
std::string lf_whyNotCreated(const ManifestAircraft& a, const Inputs& inputs) {
  for (auto line = inputs.logLines.rbegin(); line != inputs.logLines.rend(); ++line) {
    if (line->find(a.callsign) != std::string::npos ||
        (!a.registration.empty() && line->find(a.registration) != std::string::npos)) {
      return "Log.txt: " + *line;
    }
  }
  const std::optional<double> closest = closestRecordedNm(a, inputs);
  if (!closest) return "no report in the played part of the recording";
  if (!inputs.radiusNm)
    return fmt::format("closest {:.1f} nm; the run's radius is unknown", *closest);
  const double radius = *inputs.radiusNm;
  if (*closest > radius) {
    return fmt::format("stayed beyond the {:.0f} nm radius (closest {:.1f} nm)", radius, *closest);
  }
  const auto& path =
      inputs.recorded.at(inputs.recorded.contains(a.callsign) ? a.callsign : a.registration);
  const auto inside = std::find_if(path.begin(), path.end(), [&](const RecordedPoint& p) {
    return gf_distanceNm(inputs.airport.user, p.position) <= radius;
  });
  return fmt::format(
      "no reason in Log.txt; within the radius from {:.0f} s of the recording (it was to: {})",
      inside->t, a.note);
}

std::string lf_objects(const Trace& trace) {
  std::size_t byRequest = 0, atClose = 0, never = 0;
  for (const auto& [id, o] : trace.objects) {
    if (o.removal == "request")
      ++byRequest;
    else if (o.removal == "client closed")
      ++atClose;
    else
      ++never;
  }
  const double span = trace.lastFrameT - trace.firstFrameT;
  return fmt::format(
      "Objects created: {}; removed by the program: {}, at the close: {}, not removed: {}; at most "
      "{} at "
      "once (at {:.1f} s)\nFrames: {} over {:.1f} s ({:.1f} per second){}\n",
      trace.objects.size(), byRequest, atClose, never, trace.peakObjects, trace.peakAt,
      trace.frames, span, span > 0.0 ? (trace.frames - 1) / span : 0.0,
      trace.badLines > 0 ? fmt::format("; {} unreadable trace lines", trace.badLines) : "");
}

}  // namespace

std::string summaryText(const Trace& trace, const Inputs& inputs, const CheckResult& checks) {
  std::string text = fmt::format("What the simulator saw at {}\n\n", inputs.airport.icao);
  text += lf_objects(trace);
  text += inputs.radiusNm
              ? fmt::format("Traffic radius: {:.0f} nm\n", *inputs.radiusNm)
              : std::string("Traffic radius: unknown (no range request in the trace)\n");
  text += fmt::format("User aircraft: stand {}\n\n",
                      inputs.airport.userStand.empty() ? "?" : inputs.airport.userStand);

  std::vector<const TracedObject*> objects;
  for (const auto& [id, o] : trace.objects) objects.push_back(&o);
  std::stable_sort(objects.begin(), objects.end(),
                   [](const TracedObject* x, const TracedObject* y) {
                     return x->createdAt.value_or(1e9) < y->createdAt.value_or(1e9);
                   });
  text += fmt::format("{:<9} {:<5} {:<34} {:>8} {:>8}  {}\n", "callsign", "type", "livery",
                      "created", "removed", "what it did (times in seconds of the trace)");
  std::set<std::string> seen;
  for (const TracedObject* o : objects) {
    const ManifestAircraft* a = manifestEntry(*o, inputs);
    if (a != nullptr) seen.insert(a->callsign);
    text += fmt::format("{:<9} {:<5} {:<34} {:>8} {:>8}  {}\n", o->tail,
                        a != nullptr ? a->type : "?", o->title.substr(0, 34), lf_time(o->createdAt),
                        lf_time(o->removedAt), lf_story(*o, a, findOutcomes(*o, inputs.airport)));
  }
  std::string missing;
  for (const ManifestAircraft& a : inputs.manifest) {
    if (!seen.contains(a.callsign))
      missing += fmt::format("{:<9} {:<5} {}\n", a.callsign, a.type, lf_whyNotCreated(a, inputs));
  }
  if (!missing.empty()) text += "\nNever created:\n" + missing;

  text += fmt::format("\nChecks: {} passed, {} failed, {} skipped\n", checks.passed.size(),
                      checks.failures.size(), checks.skipped.size());
  for (const Finding& f : checks.failures)
    text += fmt::format("  FAILED {}: {}: {}\n", f.check, f.subject, f.detail);
  for (const std::string& s : checks.skipped) text += fmt::format("  skipped {}\n", s);
  return text;
}

}  // namespace tracereport
