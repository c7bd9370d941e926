// Shared set-up of the motion tests: engine time at a fixed step, the user aircraft at the
// field, reports placed in metres around the field, an active aircraft of a type, and the
// client events the motion queued.
#pragma once

#include <string>
#include <vector>

#include "traffic/motion/motion_internal.h"
#include "traffic_test_support.h"

namespace motiontest {

inline constexpr std::int64_t kNow = 100000;  // g_tickCount in the tests

class MotionTest : public traffictest::TrafficTest {
 protected:
  void SetUp() override;
};

// A point east and north of the field, in metres.
LatLon gf_at(double eastM, double northM);
// A report there with its ground speed, due dueIn steps from now; airborne when altFt > 0.
PositionReport gf_rep(double eastM, double northM, double gsKt, std::int64_t dueIn,
                      double altFt = 0.0, double vsFpm = 0.0);
// An active aircraft of the type (C172, C56X, A320, B744, F16, EC35) at its first report with
// the heading in degrees, object id 100, in phase taxi on the ground or flying in the air; added
// to g_liveAc.
AiAircraft& gf_ac(const std::string& type, std::vector<PositionReport> reports,
                  double headingDeg = 0.0);
// Takes the client events queued so far.
std::vector<ClientEventRequest> gf_events();
// The data of the first queued event with the id, or -1.
long gf_eventData(const std::vector<ClientEventRequest>& events, std::uint32_t eventId);

}  // namespace motiontest
