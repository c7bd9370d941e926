// Great-circle geometry on the nautical-mile sphere.
#include "foundation/geometry.h"

#include <algorithm>
#include <cmath>

double gf_distanceNm(const LatLon& a, const LatLon& b) {
  const double latA = a.lat * kDegToRad;
  const double latB = b.lat * kDegToRad;
  const double sinDLat = std::sin((latB - latA) / 2.0);
  const double sinDLon = std::sin((b.lon - a.lon) * kDegToRad / 2.0);
  // Rounding can carry h a hair past 1 next to the antipode; sqrt(1 - h) would then be NaN.
  const double h = std::clamp(
      sinDLat * sinDLat + std::cos(latB) * std::cos(latA) * sinDLon * sinDLon, 0.0, 1.0);
  return std::atan2(std::sqrt(h), std::sqrt(1.0 - h)) * kTwoEarthRadiiNm;
}

double gf_bearing(const LatLon& a, const LatLon& b) {
  const double dLon = (b.lon - a.lon) * kDegToRad;
  const double latA = a.lat * kDegToRad;
  const double latB = b.lat * kDegToRad;
  double bearing = std::atan2(std::sin(dLon) * std::cos(latB),
                              std::sin(latB) * std::cos(latA) -
                                  std::sin(latA) * std::cos(latB) * std::cos(dLon));
  if (bearing < 0.0) {
    bearing += kTwoPi;
  }
  // A tiny negative angle plus 2 pi can round to 2 pi itself; keep the result in [0, 2 pi).
  return bearing < kTwoPi ? bearing : 0.0;
}

LatLon gf_destination(const LatLon& start, double bearing, double distanceFt) {
  const double lat1 = start.lat * kDegToRad;
  const double d = distanceFt * kRadiansPerFoot;
  // The sine of the new latitude can come out a hair beyond +-1 when the way ends at or passes
  // next to a pole; asin would then give NaN.
  const double lat2 = std::asin(std::clamp(
      std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(bearing), -1.0, 1.0));
  const double dLon = std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat1),
                                 std::cos(d) - std::sin(lat1) * std::sin(lat2));
  const double lon2 = std::remainder(start.lon * kDegToRad + dLon, kTwoPi);
  return {lat2 * kRadToDeg, lon2 * kRadToDeg};
}

double gf_angleDiff(double a, double b) {
  if (b > a) {
    double d = b - a;
    if (d > kPi) {
      d -= kTwoPi;
    }
    return d;
  }
  if (a > b) {
    return -gf_angleDiff(b, a);
  }
  return 0.0;
}
