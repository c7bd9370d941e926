// Air motion: the pitch that follows the vertical speed, the QNH descent, the lights at 10000 ft,
// approach and go-around, the bank from the turn, the shortened stream and the climb floor.
#include <algorithm>
#include <tuple>

#include <fmt/format.h>

#include "airports/airports.h"
#include "intake/intake.h"
#include "motion_test_support.h"

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

// A level pair of reports on the approach descends by QNH: an aeroplane's reports on the runway
// may read high and stay in the air. A helicopter only with a landing ahead (a ground report, or
// predicted reports), at most 100 ft below the pair; without one it flies low as reported.
TEST_F(AirTest, QnhDescentOnTheApproach) {
  g_qnh = 1023;
  enum Ahead { kNothing, kRunway, kPredicted };
  struct Case {
    const char* type;
    Ahead ahead;
    std::int64_t dueIn;
    double altitude;        // the aircraft's; the pair lies at 3000 ft
    double altitudeChange;  // feet per step
  };
  for (const Case c : {Case{"A320", kNothing, 500, 3000, -760.0 / 6000.0},
                       Case{"A320", kRunway, 1000, 3000, -760.0 / 6000.0},
                       Case{"EC35", kRunway, 500, 3000, -760.0 / 6000.0},
                       Case{"EC35", kPredicted, 500, 3000, -760.0 / 6000.0},
                       Case{"EC35", kRunway, 1000, 3000, -100.0 / 1000.0},
                       Case{"EC35", kRunway, 1000, 2950, -50.0 / 1000.0},
                       Case{"EC35", kNothing, 500, 3000, 0.0}}) {
    g_liveAc.clear();
    AiAircraft& a = flying(c.type, 700, -700, 3000, -700, c.dueIn);
    a.altitude = c.altitude;
    if (c.ahead == kRunway) a.stream.push_back(gf_rep(0, 6000, 130, c.dueIn + 3000));
    if (c.ahead == kPredicted) a.predictedReports = 3;
    a.approach = true;
    lf_airLegSetup(a);
    const bool descends = c.altitudeChange != 0.0;
    EXPECT_NEAR(a.altitudeChange, c.altitudeChange, 1e-15) << c.type << " " << c.ahead << " "
                                                           << c.dueIn << " " << c.altitude;
    EXPECT_EQ(a.climbRate, descends ? -760.0 : -700.0);
    EXPECT_EQ(a.stream[1].verticalSpeed, a.climbRate);
  }
}

TEST_F(AirTest, LightsAtTenThousandFeet) {
  struct Case {
    double frontAlt;
    bool above, below;  // light bands already sent
    const char* lights;  // "event=value" in the order queued
  };
  // Nav 208, beacon 207, landing 211, taxi 209, strobes 210, logo 213, cabin 212. Crossing
  // 10000 ft down everything is lit, up only nav, beacon and cabin; below it the high
  // configuration sends the cabin on every leg.
  for (const Case& c :
       {Case{9800, true, false, "208=1 207=1 211=1 209=1 210=1 213=1 212=1 212=1"},
        Case{9800, false, true, "212=1"},
        Case{10200, false, true, "208=1 207=1 211=0 209=0 210=0 213=0 212=1"},
        Case{10200, true, false, ""}}) {
    g_liveAc.clear();
    AiAircraft& a = flying("A320", 2500, 0, c.frontAlt, 0, 1000, c.frontAlt);
    a.above10000 = c.above;
    a.below10000 = c.below;
    lf_airLegSetup(a);
    std::string sent;
    for (const ClientEventRequest& e : gf_events()) {
      if (e.eventId < kEventBeaconLightsSet || e.eventId > kEventLogoLightsSet) continue;
      sent += fmt::format("{}{}={}", sent.empty() ? "" : " ", e.eventId, e.data);
    }
    EXPECT_EQ(sent, c.lights) << c.frontAlt << " " << c.above;
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

TEST_F(AirTest, HeadingTurnsTowardsTheReportAhead) {
  // The aircraft, heading north, stands 3 km north of its front report; the second report lies
  // 3 km east of it. With a third report the heading aims at the leg after; with only two, at
  // the second report itself (sparse reports seldom leave three in the stream).
  struct Case {
    std::vector<PositionReport> after;  // reports after the second
    double turnDeg;                     // over the leg's 1000 steps
  };
  for (const Case& c : {Case{{}, 90.0}, Case{{gf_rep(3000, 6000, 200, 2000, 3000)}, 0.0},
                        Case{{gf_rep(6000, 3000, 200, 2000, 3000)}, 90.0}}) {
    g_liveAc.clear();
    std::vector<PositionReport> reports{gf_rep(0, 0, 200, 0, 3000),
                                        gf_rep(3000, 3000, 200, 1000, 3000)};
    reports.insert(reports.end(), c.after.begin(), c.after.end());
    AiAircraft& a = gf_ac("A320", reports);
    std::tie(a.lat, a.lon) = std::pair(gf_at(0, 3000).lat, gf_at(0, 3000).lon);
    lf_airLegSetup(a);
    EXPECT_NEAR(a.headingChange * 1000.0 * kRadToDeg, c.turnDeg, 0.1) << reports.size();
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
  struct Case {
    double heightFt, secondAlt, secondVs;
    double altitudeChange;  // feet per step, over 1000 steps from 1200 ft
  };
  // Below 1000 ft a climb goes on at up to 0.2 ft a step, no more than 400 ft/min above the
  // rate reported or needed; a level or descending pair of reports (25-ft steps make level pairs
  // on every final) never climbs.
  for (const Case c : {Case{800, 1100, -480, -0.1}, Case{800, 1200, -480, 0.0},
                       Case{800, 1210, 2000, 0.2}, Case{800, 1210, 300, 0.7 / 6.0},
                       Case{800, 1210, -480, 0.46 / 6.0}, Case{800, 1600, -480, 0.4},
                       Case{1500, 1210, -480, 0.01}}) {
    g_liveAc.clear();
    AiAircraft& a = flying("C172", c.heightFt, -480, c.secondAlt, c.secondVs, 1000, 1200);
    lf_airLegSetup(a);
    EXPECT_NEAR(a.altitudeChange, c.altitudeChange, 1e-12) << c.heightFt << " " << c.secondAlt;
  }
  // Hurried on, the climb levels off at the report instead of going on past it.
  g_liveAc.clear();
  AiAircraft& hurried = flying("C172", 800, -480, 1210, 2000, 1000, 1200);
  lf_airLegSetup(hurried);
  hurried.stream.pop_front();
  for (int step = 0; step < 1000; ++step) lf_stepMotion(hurried);
  EXPECT_NEAR(hurried.altitude, 1210.0, 1e-9);
  // The altitude summed over the last leg ends a hair below the level pair it reached.
  g_liveAc.clear();
  AiAircraft& a = flying("C172", 800, -480, 1200, -480, 1000, 1200);
  a.altitude = 1200.0 - 1e-9;
  lf_airLegSetup(a);
  EXPECT_NEAR(a.altitudeChange, 0.0, 1e-11);
}
