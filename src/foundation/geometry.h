// Great-circle geometry on a sphere on which one arc minute is one nautical mile.
// Positions in degrees (north and east positive); bearings and headings in radians, clockwise
// from true north.
#pragma once

struct LatLon {
  double lat = 0.0;  // degrees
  double lon = 0.0;  // degrees
};

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kDegToRad = 0.017453292519943295;
inline constexpr double kRadToDeg = 57.29577951308232;
// 2 x 10800 / pi: twice the Earth radius in nautical miles.
inline constexpr double kTwoEarthRadiiNm = 6875.493541569878;
// 1 / Earth radius in feet (radius 20888146.40466385 ft).
inline constexpr double kRadiansPerFoot = 4.787404208238998e-8;
inline constexpr double kFeetPerNm = 6076.11549;
inline constexpr double kMetresPerNm = 1852.0;

// Haversine distance in nautical miles (>= 0).
double gf_distanceNm(const LatLon& a, const LatLon& b);
// Initial bearing from a to b in [0, 2 pi).
double gf_bearing(const LatLon& a, const LatLon& b);
// The point reached from start along the bearing over distanceFt feet; longitude in [-180, 180].
LatLon gf_destination(const LatLon& start, double bearing, double distanceFt);
// Signed difference b - a in [-pi, pi] for angles in [0, 2 pi).
double gf_angleDiff(double a, double b);
