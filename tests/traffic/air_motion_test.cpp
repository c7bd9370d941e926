// Air motion: the pitch that follows the vertical speed, the QNH descent, the lights at 10000 ft,
// approach and go-around, the bank from the turn, the shortened stream and the climb floor.
#include <algorithm>

#include "airports/airports.h"
#include "motion_test_support.h"
#include "shell/intake/intake.h"

using namespace motiontest;

namespace {

class AirTest : public MotionTest {};

// An aircraft in the air at the field with reports north of it at the altitudes given.
AiAircraft& flying(const std::string& type, double heightFt, double frontVs, double secondAlt,
                   double secondVs, std::int64_t dueIn = 1000, double altitude = 3000.0) {
  AiAircraft& a = gf_ac(type, {gf_rep(0, 0, 200, 0, altitude, frontVs),
                               gf_rep(0, 3000, 200, dueIn, secondAlt, secondVs)});
  a.heightAboveGround = heightFt;
  return a;
}

std::vector<std::uint32_t> lights(const std::vector<ClientEventRequest>& events) {
  std::vector<std::uint32_t> on;
  for (const ClientEventRequest& e : events) {
    if (e.eventId >= kEventBeaconLightsSet && e.eventId <= kEventLogoLightsSet) on.push_back(e.data);
  }
  return on;
}

}  // namespace

TEST_F(AirTest, PitchFollowsTheVerticalSpeed) {
  struct Case {
    double vsFpm;
    std::int64_t dueIn;
    double pitchChange;  // radians per step
  };
  // A Heavy aims at 3 + 2400/600 x 2.2 = 11.8 degrees nose up climbing at 3000 ft/min, at
  // 3 - 500/600 x 2.2 degrees descending at 1000 ft/min, moving at most 0.005 degrees a step.
  for (const Case c : {Case{3000, 100000, -11.8 * kDegToRad / 100000},
                       Case{-1000, 100000, -(3.0 - 500.0 / 600.0 * 2.2) * kDegToRad / 100000},
                       Case{3000, 25, -8.726646259971648e-05}}) {
    g_liveAc.clear();
    AiAircraft& a = flying("B744", 3000, 0, 3000, c.vsFpm, c.dueIn);
    lf_airLegSetup(a);
    EXPECT_NEAR(a.pitchChange, c.pitchChange, 1e-15) << c.vsFpm;
  }
}

TEST_F(AirTest, QnhDescentOnTheApproach) {
  g_qnh = 1023;
  AiAircraft& a = flying("A320", 700, -700, 3000, -700);
  a.approach = true;
  lf_airLegSetup(a);
  EXPECT_EQ(a.climbRate, -760.0);
  EXPECT_EQ(a.stream[1].verticalSpeed, -760.0);
  EXPECT_NEAR(a.altitudeChange, -760.0 / 6000.0, 1e-15);
}

TEST_F(AirTest, LightsAtTenThousandFeet) {
  struct Case {
    double frontAlt;
    bool above, below;  // light bands already sent
    std::vector<std::uint32_t> lights;  // beacon, nav, taxi, strobes, landing, cabin, logo
  };
  for (const Case& c : {Case{9800, true, false, {1, 1, 1, 1, 1, 1, 1}}, Case{9800, false, true, {}},
                        Case{10200, false, true, {1, 1, 0, 0, 0, 1, 0}},
                        Case{10200, true, false, {}}}) {
    g_liveAc.clear();
    AiAircraft& a = flying("A320", 2500, 0, c.frontAlt, 0, 1000, c.frontAlt);
    a.above10000 = c.above;
    a.below10000 = c.below;
    lf_airLegSetup(a);
    std::vector<std::uint32_t> sent = lights(gf_events());
    std::sort(sent.begin(), sent.end());  // cabin lights follow in the high configuration
    std::vector<std::uint32_t> expected = c.lights;
    if (c.frontAlt < 10000) expected.push_back(1);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sent, expected) << c.frontAlt << " " << c.above;
  }
}

TEST_F(AirTest, ApproachAndGoAround) {
  g_parkAirportIcao = "EHAM";
  g_parkAirportPos = gf_destination(gf_at(0, 0), 0.0, 8.0 * kFeetPerNm);
  struct Case {
    double heightFt, frontVs;
    bool approachBefore;
    long throttle, flaps, gear;
    bool approachAfter;
  };
  // A Large 8 nm from the park airport descending at 800 ft/min 1500 ft above ground takes the
  // approach; at 600 ft climbing at 700 ft/min it goes around.
  for (const Case c : {Case{1500, -800, false, 4914, 16383, 1, true},
                       Case{1500, -800, true, -1, -1, -1, true},
                       Case{600, 700, true, 16383, 0, 0, false}}) {
    g_liveAc.clear();
    g_newLiveIds.clear();
    AiAircraft& a = flying("A320", c.heightFt, c.frontVs, 3000, c.frontVs);
    a.below10000 = true;
    a.approach = c.approachBefore;
    a.standId = 4;
    a.flapsStep = 1;
    a.throttleStep = 3;
    lf_airLegSetup(a);
    const auto events = gf_events();
    EXPECT_EQ(gf_eventData(events, kEventThrottleSet), c.throttle) << c.heightFt;
    EXPECT_EQ(gf_eventData(events, kEventFlapsSet), c.flaps);
    EXPECT_EQ(gf_eventData(events, kEventGearSet), c.gear);
    EXPECT_EQ(a.approach, c.approachAfter);
    EXPECT_EQ(a.standId == 0, c.throttle == 4914);
    EXPECT_EQ(g_newLiveIds.size(), c.throttle == 4914 ? 1u : 0u);
  }
}

TEST_F(AirTest, BankFromTheTurn) {
  struct Case {
    const char* type;
    double bank, turn;
    std::int64_t dt;
    double change;
  };
  for (const Case c : {Case{"C172", 0, 0.2, 400, -0.0005},
                       Case{"B744", 0, 0.5, 1000, -0.00026179938779914946},
                       Case{"A320", -0.3, 0, 25, 0.00034906585039886593}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac(c.type, {gf_rep(0, 0, 100, 0, 3000)});
    a.bank = c.bank;
    lf_bankFromTurn(a, c.turn, c.dt);
    EXPECT_NEAR(a.bankChange, c.change, 1e-18) << c.type;
  }
}

TEST_F(AirTest, ShortenedStream) {
  struct Case {
    std::vector<double> altitudes;  // of the reports after the front, 0 on the ground
    std::size_t left;               // reports after the leg's set-up
    double secondVs;
  };
  // Airborne over reports still on the ground: the first airborne report among the third to the
  // last but one becomes the next one; without one the climb is at least 601 ft/min.
  for (const Case& c : {Case{{0, 0, 500, 600}, 3, 900}, Case{{0, 0, 500}, 4, 601},
                        Case{{0, 500}, 3, 601}}) {
    g_liveAc.clear();
    std::vector<PositionReport> reports{gf_rep(0, 0, 150, 0, 0, 900)};
    for (std::size_t i = 0; i < c.altitudes.size(); ++i) {
      reports.push_back(gf_rep(0, 300.0 * (i + 1), 150, 300 * (i + 1), c.altitudes[i], 100));
    }
    reports[1].verticalSpeed = 100;
    if (c.left == 3 && c.altitudes.size() == 4) reports[3].verticalSpeed = 900;
    AiAircraft& a = gf_ac("A320", reports);
    a.onGround = false;
    lf_airLegSetup(a);
    EXPECT_EQ(a.stream.size(), c.left) << c.altitudes.size();
    EXPECT_EQ(a.stream[1].verticalSpeed, c.secondVs);
    EXPECT_EQ(gf_eventData(gf_events(), kEventGearSet), 1);
  }
}

// The 0.2 ft a step climb floor below 1000 ft would carry a descending light aircraft up: it holds
// for level and climbing legs only.
TEST_F(AirTest, ClimbFloorOnlyWhenNotDescending) {
  for (const double second : {1100.0, 1200.0}) {
    g_liveAc.clear();
    AiAircraft& a = flying("C172", 800, -480, second, -480, 1000, 1200);
    lf_airLegSetup(a);
    EXPECT_NEAR(a.altitudeChange, second < 1200 ? -0.1 : 0.2, 1e-12) << second;
  }
}
