#pragma once
// Flat geometry near an airport for the trace report: metres east and north of an origin on the
// sphere on which one arc minute is one nautical mile, and angles between headings.

#include <cmath>

#include "foundation/geometry.h"

namespace tracereport {

struct Metres {
  double x = 0.0;  // east
  double y = 0.0;  // north
};

inline Metres localMetres(const LatLon& origin, const LatLon& p) {
  constexpr double kMetresPerDegree = kMetresPerNm * 60.0;
  double dLon = p.lon - origin.lon;
  if (dLon > 180.0) dLon -= 360.0;
  if (dLon < -180.0) dLon += 360.0;
  return {dLon * kMetresPerDegree * std::cos(origin.lat * kDegToRad),
          (p.lat - origin.lat) * kMetresPerDegree};
}

inline double metresBetween(const LatLon& a, const LatLon& b) {
  return gf_distanceNm(a, b) * kMetresPerNm;
}

// b - a in (-180, 180].
inline double degreesBetween(double a, double b) {
  double d = std::fmod(b - a, 360.0);
  if (d <= -180.0) d += 360.0;
  if (d > 180.0) d -= 360.0;
  return d;
}

}  // namespace tracereport
