// What one traced object did at the airport: where it met and left the ground, where it came to
// rest, how it left the stand it was created at, the level it flew at; and the places (runway
// surfaces, stands) those moments are judged against.

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "trace_geometry.h"
#include "trace_report.h"

namespace tracereport {
namespace {

constexpr double kMetresPerFoot = 0.3048;
constexpr double kRunwaySideM = 15.0;  // beyond the half width
constexpr double kRunwayHeadingDeg = 15.0;
constexpr double kStandDistanceM = 5.0;
constexpr double kStandHeadingDeg = 10.0;
constexpr double kRestMovementM = 1.0;  // still means moving less than this ...
constexpr double kRestSeconds = 10.0;   // ... for at least this long
constexpr double kFirstMoveM = 3.0;     // a move away from where an object was created
constexpr double kCreatedAtStandM = 50.0;

// Where an object stood still for a while, the last such place.
std::optional<Sample> lf_lastRest(const std::vector<Sample>& samples) {
  std::optional<Sample> rest;
  std::size_t start = 0;
  for (std::size_t k = 1; k <= samples.size(); ++k) {
    const bool still = k < samples.size() && samples[k].onGround && samples[start].onGround &&
                       metresBetween(samples[start].position, samples[k].position) < kRestMovementM;
    if (still) continue;
    if (samples[start].onGround && samples[k - 1].t - samples[start].t >= kRestSeconds) {
      rest = samples[start];
    }
    start = k;
  }
  return rest;
}

void lf_groundMoments(const std::vector<Sample>& samples, Outcomes& out) {
  bool seenAir = false, seenGround = false;
  for (std::size_t k = 0; k < samples.size(); ++k) {
    const Sample& s = samples[k];
    if (s.onGround && seenAir && !out.firstGroundAfterAir) out.firstGroundAfterAir = s;
    if (!s.onGround && seenGround && !out.lastGroundBeforeAir)
      out.lastGroundBeforeAir = samples[k - 1];
    (s.onGround ? seenGround : seenAir) = true;
  }
}

// The stand an object was created at and whether its first move was tail first.
void lf_firstMove(const std::vector<Sample>& samples, const Airport& airport, Outcomes& out) {
  if (samples.empty() || !samples.front().onGround) return;
  const Sample& origin = samples.front();
  double nearest = kCreatedAtStandM;
  for (const Stand& stand : airport.stands) {
    const double m = metresBetween(stand.position, origin.position);
    if (m < nearest) {
      nearest = m;
      out.leftFrom = stand.name;
    }
  }
  for (const Sample& s : samples) {
    if (metresBetween(origin.position, s.position) <= kFirstMoveM) continue;
    const double moved = gf_bearing(origin.position, s.position) * kRadToDeg;
    out.tailFirst = std::abs(degreesBetween(moved, origin.headingDeg)) > 90.0;
    return;
  }
}

}  // namespace

std::string runwayUnder(const Sample& s, const Airport& airport) {
  for (const Runway& r : airport.runways) {
    const Metres axis = localMetres(r.threshold, r.end);
    const Metres at = localMetres(r.threshold, s.position);
    const double length = std::hypot(axis.x, axis.y);
    const double along = (at.x * axis.x + at.y * axis.y) / length;
    const double side = (at.x * axis.y - at.y * axis.x) / length;
    if (along >= 0.0 && along <= length &&
        std::abs(side) <= r.widthFt * kMetresPerFoot / 2.0 + kRunwaySideM &&
        std::abs(degreesBetween(s.headingDeg, r.headingDeg)) <= kRunwayHeadingDeg) {
      return r.ident;
    }
  }
  return {};
}

std::string standUnder(const Sample& s, const Airport& airport) {
  for (const Stand& stand : airport.stands) {
    const bool heading =
        stand.kind == "helipad" ||
        std::abs(degreesBetween(s.headingDeg, stand.headingDeg)) <= kStandHeadingDeg;
    if (metresBetween(stand.position, s.position) <= kStandDistanceM && heading) return stand.name;
  }
  return {};
}

Outcomes findOutcomes(const TracedObject& object, const Airport& airport) {
  Outcomes out;
  const std::vector<Sample>& samples = object.samples;
  lf_groundMoments(samples, out);
  if (out.firstGroundAfterAir) out.landedOn = runwayUnder(*out.firstGroundAfterAir, airport);
  if (out.lastGroundBeforeAir) out.liftedOffFrom = runwayUnder(*out.lastGroundBeforeAir, airport);
  out.lastRest = lf_lastRest(samples);
  if (out.lastRest) out.parkedAt = standUnder(*out.lastRest, airport);
  lf_firstMove(samples, airport, out);
  const bool everOnGround =
      std::any_of(samples.begin(), samples.end(), [](const Sample& s) { return s.onGround; });
  if (!samples.empty() && !everOnGround) {
    std::vector<double> altitudes;
    for (const Sample& s : samples) altitudes.push_back(s.altitudeFt);
    std::nth_element(altitudes.begin(), altitudes.begin() + altitudes.size() / 2, altitudes.end());
    out.levelFt = altitudes[altitudes.size() / 2];
  }
  return out;
}

const ManifestAircraft* manifestEntry(const TracedObject& object, const Inputs& inputs) {
  for (const ManifestAircraft& a : inputs.manifest) {
    if (!object.tail.empty() && (object.tail == a.callsign || object.tail == a.registration))
      return &a;
  }
  return nullptr;
}

std::optional<double> closestRecordedNm(const ManifestAircraft& a, const Inputs& inputs) {
  auto found = inputs.recorded.find(a.callsign);
  if (found == inputs.recorded.end()) found = inputs.recorded.find(a.registration);
  if (found == inputs.recorded.end() || found->second.empty()) return std::nullopt;
  double closest = 1e9;
  for (const RecordedPoint& p : found->second) {
    closest = std::min(closest, gf_distanceNm(inputs.airport.user, p.position));
  }
  return closest;
}

}  // namespace tracereport
