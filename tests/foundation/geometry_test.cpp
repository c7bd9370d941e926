// Sphere geometry against an independent vector implementation of the same sphere (one arc
// minute of a great circle is one nautical mile).
#include "foundation/geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

namespace {

// ---- The reference: unit vectors on the sphere -------------------------------------------
constexpr double kRefRadiusNm = 10800.0 / 3.14159265358979323846;
constexpr double kRefPi = 3.14159265358979323846;

struct Vec3 {
  double x, y, z;
};
Vec3 operator*(double s, const Vec3& v) { return {s * v.x, s * v.y, s * v.z}; }
Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double norm(const Vec3& v) { return std::sqrt(dot(v, v)); }

Vec3 toVec(const LatLon& p) {
  const double lat = p.lat * kRefPi / 180.0;
  const double lon = p.lon * kRefPi / 180.0;
  return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}
Vec3 northAt(const LatLon& p) {
  const double lat = p.lat * kRefPi / 180.0;
  const double lon = p.lon * kRefPi / 180.0;
  return {-std::sin(lat) * std::cos(lon), -std::sin(lat) * std::sin(lon), std::cos(lat)};
}
Vec3 eastAt(const LatLon& p) {
  const double lon = p.lon * kRefPi / 180.0;
  return {-std::sin(lon), std::cos(lon), 0.0};
}

double refAngle(const LatLon& a, const LatLon& b) {
  const Vec3 va = toVec(a);
  const Vec3 vb = toVec(b);
  return std::atan2(norm(cross(va, vb)), dot(va, vb));
}
double refDistanceNm(const LatLon& a, const LatLon& b) { return refAngle(a, b) * kRefRadiusNm; }
double refBearing(const LatLon& a, const LatLon& b) {
  const Vec3 va = toVec(a);
  const Vec3 vb = toVec(b);
  const Vec3 tangent = vb - dot(va, vb) * va;
  double bearing = std::atan2(dot(tangent, eastAt(a)), dot(tangent, northAt(a)));
  return bearing < 0 ? bearing + 2 * kRefPi : bearing;
}
LatLon refDestination(const LatLon& start, double bearing, double angle) {
  const Vec3 dir = std::cos(bearing) * northAt(start) + std::sin(bearing) * eastAt(start);
  const Vec3 p = std::cos(angle) * toVec(start) + std::sin(angle) * dir;
  return {std::atan2(p.z, std::hypot(p.x, p.y)) * 180.0 / kRefPi,
          std::atan2(p.y, p.x) * 180.0 / kRefPi};
}

// The program counts 6076.11549 feet to the nautical mile of its sphere.
constexpr double kRefFeetPerNm = 6076.11549;
constexpr double kRefFeetPerRadian = kRefRadiusNm * kRefFeetPerNm;

// ---- Comparisons -----------------------------------------------------------------------
constexpr double kRelTol = 1e-9;

void expectRelNear(double actual, double expected, const char* what) {
  const double scale = std::max(std::fabs(expected), 1e-6);
  EXPECT_LE(std::fabs(actual - expected), kRelTol * scale)
      << what << ": " << actual << " vs " << expected;
}
void expectAngleNear(double actual, double expected, const char* what) {
  double d = std::fmod(std::fabs(actual - expected), 2 * kRefPi);
  d = std::min(d, 2 * kRefPi - d);
  EXPECT_LE(d, kRelTol * 2 * kRefPi) << what << ": " << actual << " vs " << expected;
}
// Positions are compared by the distance between them (meaningful at the poles too).
void expectSamePlace(const LatLon& actual, const LatLon& expected, double scaleNm) {
  EXPECT_LE(refDistanceNm(actual, expected), kRelTol * std::max(scaleNm, 1.0))
      << actual.lat << "," << actual.lon << " vs " << expected.lat << "," << expected.lon;
  EXPECT_GE(actual.lon, -180.0);
  EXPECT_LE(actual.lon, 180.0);
}

// ---- Tests ---------------------------------------------------------------------------
TEST(GeometryTest, TheSphereHasSixtyNauticalMilesPerDegree) {
  EXPECT_EQ(gf_distanceNm({10, 20}, {10, 20}), 0.0);
  expectRelNear(gf_distanceNm({0, 0}, {0, 1}), 60.0, "one degree of longitude");
  expectRelNear(gf_distanceNm({0, 0}, {1, 0}), 60.0, "one degree of latitude");
  expectRelNear(gf_distanceNm({90, 0}, {-90, 0}), 10800.0, "pole to pole");
  // The radians-per-foot constant belongs to the same sphere.
  expectRelNear(1.0 / (kRadiansPerFoot * kRefRadiusNm), kRefFeetPerNm, "feet per nm");
}

TEST(GeometryTest, BearingsToTheFourQuartersAreNeverNegative) {
  expectAngleNear(gf_bearing({0, 0}, {1, 0}), 0.0, "north");
  const std::pair<LatLon, double> cases[] = {{{0, 1}, kRefPi / 2},     {{-1, 0}, kRefPi},
                                             {{0, -1}, 1.5 * kRefPi},  {{1, 1}, kRefPi / 4},
                                             {{-1, 1}, 0.75 * kRefPi}, {{-1, -1}, 1.25 * kRefPi},
                                             {{1, -1}, 1.75 * kRefPi}};
  for (const auto& [target, expected] : cases) {
    // Plain comparison: a bearing of -pi/2 for west would pass an angle comparison.
    EXPECT_NEAR(gf_bearing({0, 0}, target), expected, 1e-3) << target.lat << "," << target.lon;
  }
}

TEST(GeometryTest, AgreesWithTheVectorReferenceOnRandomPairs) {
  std::mt19937_64 rng(20261206);
  std::uniform_real_distribution<double> lat(-89.0, 89.0);
  std::uniform_real_distribution<double> lon(-180.0, 180.0);
  std::uniform_real_distribution<double> brg(0.0, 2 * kRefPi);
  std::uniform_real_distribution<double> ang(1e-4, 3.0);
  for (int i = 0; i < 2000; ++i) {
    const LatLon a{lat(rng), lon(rng)};
    const LatLon b{lat(rng), lon(rng)};
    if (refAngle(a, b) < 1e-3 || refAngle(a, b) > kRefPi - 1e-3) {
      continue;  // bearings are ill-conditioned next to the point and its antipode
    }
    expectRelNear(gf_distanceNm(a, b), refDistanceNm(a, b), "distance");
    expectAngleNear(gf_bearing(a, b), refBearing(a, b), "bearing");
    const double bearing = brg(rng);
    const double angle = ang(rng);
    expectSamePlace(gf_destination(a, bearing, angle * kRefFeetPerRadian),
                    refDestination(a, bearing, angle), angle * kRefRadiusNm);
  }
}

TEST(GeometryTest, DestinationAcrossTheAntimeridianWrapsTheLongitude) {
  const double feet = 0.2 * kRefPi / 180.0 * kRefFeetPerRadian;  // 0.2 degrees of arc
  const LatLon east = gf_destination({0, 179.9}, kRefPi / 2, feet);
  EXPECT_NEAR(east.lon, -179.9, 1e-9);
  EXPECT_NEAR(east.lat, 0.0, 1e-12);
  const LatLon west = gf_destination({10, -179.95}, 3 * kRefPi / 2, feet);
  expectSamePlace(west, refDestination({10, -179.95}, 3 * kRefPi / 2, 0.2 * kRefPi / 180.0), 12);
  EXPECT_GT(west.lon, 179.0);
  // Distance and bearing across the line take the short way.
  expectRelNear(gf_distanceNm({0, 179.5}, {0, -179.5}), 60.0, "across the antimeridian");
  expectRelNear(gf_bearing({0, 179.5}, {0, -179.5}), kRefPi / 2, "eastwards across the line");
}

TEST(GeometryTest, AtThePolesPositionsAgree) {
  const double feet = 5.0 * kRefPi / 180.0 * kRefFeetPerRadian;  // 300 nm
  for (const double pole : {90.0, -90.0}) {
    for (const double bearing : {0.0, 1.0, 2.5, 4.0, 6.0}) {
      // From the pole itself every bearing points south (or north): only the distance counts.
      const LatLon got = gf_destination({pole, 0.0}, bearing, feet);
      expectRelNear(std::fabs(got.lat), 85.0, "latitude 300 nm from the pole");
      EXPECT_GE(got.lon, -180.0);
      EXPECT_LE(got.lon, 180.0);
      // Next to the pole the bearing is defined again: compare positions.
      for (const double nearPole : {89.99, 89.9999}) {
        const LatLon start{std::copysign(nearPole, pole), 45.0};
        expectSamePlace(gf_destination(start, bearing, feet),
                        refDestination(start, bearing, 5.0 * kRefPi / 180.0), 300);
      }
    }
  }
  // Over the pole: 10 degrees north from 85N lands at 85N on the opposite meridian.
  const LatLon over = gf_destination({85, 30}, 0.0, 10.0 * kRefPi / 180.0 * kRefFeetPerRadian);
  expectSamePlace(over, {85, -150}, 600);
  // Round trip: going from a to b along the bearing over the distance arrives at b.
  const LatLon a{89.5, 10}, b{89.7, -170};
  const LatLon there = gf_destination(a, gf_bearing(a, b), gf_distanceNm(a, b) * kRefFeetPerNm);
  expectSamePlace(there, b, gf_distanceNm(a, b));
  EXPECT_NEAR(gf_distanceNm({90, 0}, {90, 123}), 0.0, 1e-9);  // the pole is one point
}

TEST(GeometryTest, AntipodesAndWaysToThePoleGiveFiniteResults) {
  // Rounding carries the intermediate values a hair past their limits for a share of these
  // pairs; every one of them must still give a number.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> lat(-89.0, 89.0);
  std::uniform_real_distribution<double> lon(-180.0, 180.0);
  std::uniform_real_distribution<double> polar(80.0, 90.0);
  for (int i = 0; i < 20000; ++i) {
    const LatLon a{lat(rng), lon(rng)};
    const LatLon antipode{-a.lat, a.lon > 0 ? a.lon - 180.0 : a.lon + 180.0};
    const double d = gf_distanceNm(a, antipode);
    ASSERT_TRUE(std::isfinite(d)) << a.lat << "," << a.lon;
    // Half the circumference; haversine loses digits there, so a few metres are allowed.
    EXPECT_NEAR(d, 10800.0, 1e-3) << a.lat << "," << a.lon;

    const LatLon start{polar(rng), lon(rng)};
    const double toPoleFt = (90.0 - start.lat) * kRefPi / 180.0 * kRefFeetPerRadian;
    const LatLon pole = gf_destination(start, 0.0, toPoleFt);
    ASSERT_TRUE(std::isfinite(pole.lat) && std::isfinite(pole.lon)) << start.lat;
    EXPECT_NEAR(pole.lat, 90.0, 1e-5) << start.lat;
    const LatLon south = gf_destination({-start.lat, start.lon}, kRefPi, toPoleFt);
    ASSERT_TRUE(std::isfinite(south.lat) && std::isfinite(south.lon)) << start.lat;
    EXPECT_NEAR(south.lat, -90.0, 1e-5) << start.lat;
  }
}

TEST(GeometryTest, AngleDifferenceTakesTheShortWay) {
  EXPECT_NEAR(gf_angleDiff(0.1, 6.2), 6.1 - kTwoPi, 1e-12);
  EXPECT_NEAR(gf_angleDiff(6.2, 0.1), kTwoPi - 6.1, 1e-12);
  EXPECT_EQ(gf_angleDiff(1.0, 1.0), 0.0);
  EXPECT_NEAR(gf_angleDiff(1.0, 2.0), 1.0, 1e-15);
  EXPECT_DOUBLE_EQ(gf_angleDiff(0.0, kPi), kPi);
  EXPECT_DOUBLE_EQ(gf_angleDiff(kPi, 0.0), -kPi);
}

}  // namespace
