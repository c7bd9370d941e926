// The traffic radius: set by hand, or chosen from the user aircraft's situation (auto range).
// Worker thread; the AUTO_RANGE box hands its request to the worker.
#include <algorithm>
#include <cmath>

#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "shell/shell.h"

namespace {

constexpr int kGroundRadiusNm = 10;
constexpr int kHighRadiusNm = 100;      // above AUTO_RANGE_ABOVE_HEIGHT
constexpr int kAirportRadiusNm = 40;    // above AIRPORT_HEIGHT, or far from the park airport
constexpr double kNearParkNm = 7.0;     // at most this close: the ground radius
constexpr double kFarParkNm = 37.0;     // at least this far: the airport radius
constexpr int kParkMarginNm = 3;        // added to the distance in between
constexpr double kNoParkAirportNm = 10000.0;

}  // namespace

int gf_autoRangeRadius(const UserSituation& user) {
  if (user.onGround) return kGroundRadiusNm;
  if (user.altitudeFt > g_paramAutoRangeAboveHeight.value()) return kHighRadiusNm;
  if (user.altitudeFt > g_paramAirportHeight.value()) return kAirportRadiusNm;
  const double d = user.parkAirportDistanceNm.value_or(kNoParkAirportNm);
  if (d <= kNearParkNm) return kGroundRadiusNm;
  // std::lround rounds half away from zero.
  if (d < kFarParkNm) return static_cast<int>(std::lround(d)) + kParkMarginNm;
  return kAirportRadiusNm;
}

void gf_autoRange() {
  const int before = g_paramLateralRange.value();
  gf_setRadius(gf_autoRangeRadius(lf_userSituation()));
  if (g_paramLateralRange.value() != before) gf_showIntParameter(g_paramLateralRange);
}

void gf_setRadius(int nm) {
  // Both copies take the clamped value: the filter must use the radius the window shows.
  const int clamped = std::clamp(nm, g_paramLateralRange.minValue, g_paramLateralRange.maxValue);
  g_paramLateralRange.setValue(clamped);
  gf_setTrafficRadius(static_cast<double>(clamped));
}
