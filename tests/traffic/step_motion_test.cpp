// The per-step mover: curves and their parameter, the turn towards a target, the flare, the
// take-off sequence, the touchdown, and curves and midpoints across the antimeridian.
#include "motion_test_support.h"

using namespace motiontest;

namespace {

class StepTest : public MotionTest {};

// A straight curve from the aircraft along the tangent (degrees), 100 m long.
void straightCurve(AiAircraft& a, double tangentDeg) {
  const double t = tangentDeg * kDegToRad;
  a.curve = {a.lat, a.lon, 0.0, 1.0, 50 * std::sin(t), 50 * std::cos(t), 100 * std::sin(t),
             100 * std::cos(t), 0.0, 0.001, 0.0};
}

}  // namespace

TEST_F(StepTest, CurvePointAndParameter) {
  MotionCurve c{traffictest::kField.lat, traffictest::kField.lon, 0.0, 1.0, 0.0, 0.0, 0.0, 100.0};
  LatLon at;
  double heading = 1.0;
  ASSERT_TRUE(lf_curvePoint(c, 0.5, at, heading));
  EXPECT_NEAR((at.lat - c.originLat) * kMetresPerDegreeLat, 25.0, 1e-9);
  EXPECT_NEAR(at.lon, c.originLon, 1e-12);
  EXPECT_EQ(heading, 0.0);
  EXPECT_FALSE(lf_curvePoint(c, 1.5, at, heading));
  c.p1East = kNotReported;
  EXPECT_FALSE(lf_curvePoint(c, 0.5, at, heading));

  AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 10, 0), gf_rep(0, 100, 10, 1000)});
  straightCurve(a, 0.0);
  a.curve.paramStep = 0.6;
  lf_stepMotion(a);
  lf_stepMotion(a);
  EXPECT_EQ(a.curve.t, 0.999999);
}

TEST_F(StepTest, HeadingTurnsTowardsTheCurve) {
  struct Case {
    std::uint32_t fs;
    double headingDeg, tangentDeg;
    int turn;  // +1 right, -1 left, 0 held
  };
  // Pushing back the aircraft moves tail first: its heading is the tangent's opposite.
  for (const Case c : {Case{kFsTaxi, 350, 10, 1}, Case{kFsTaxi, 10, 350, -1},
                       Case{kFsTaxi, 180, 0, -1}, Case{kFsPushingBack, 180, 0, 0},
                       Case{kFsPushingBack, 170, 0, 1}, Case{kFsTaxi, 0.3, 0, 0}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 10, 0), gf_rep(0, 100, 10, 1000)}, c.headingDeg);
    a.fs = c.fs;
    straightCurve(a, c.tangentDeg);
    const double before = a.heading;
    lf_stepMotion(a);
    EXPECT_NEAR(gf_angleDiff(before, a.heading), c.turn * a.turnStep, 1e-12)
        << c.fs << " " << c.headingDeg << " " << c.tangentDeg;
  }
}

TEST_F(StepTest, Flare) {
  // With every report ahead in the air, an aeroplane flares (its reports on the runway may read
  // high); a helicopter does not: they are no landing. Once it flares, it flares on.
  for (const auto& [type, flares] : {std::pair{"A320", true}, std::pair{"EC35", false}}) {
    g_liveAc.clear();
    AiAircraft& b = gf_ac(type, {gf_rep(0, 0, 60, 1000, 500, -700)}, 90.0);
    b.approach = true;
    b.heightAboveGround = 30.0;
    lf_stepMotion(b);
    EXPECT_EQ(b.flareStage, flares ? 1 : 0) << type;
    b.stream.push_back(gf_rep(1000, 0, 50, 2000));
    lf_stepMotion(b);
    b.stream.pop_back();
    b.heightAboveGround = 25.0;
    lf_stepMotion(b);
    EXPECT_EQ(b.flareStage, 2) << type;
  }
  gf_events();
  g_liveAc.clear();
  AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 140, 1000, 500, -700)}, 90.0);
  a.approach = true;
  a.throttleStep = 1;
  a.pitch = -0.03;
  a.stream.push_back(gf_rep(1000, 0, 130, 2000));  // the touchdown report
  struct Case {
    double heightFt;  // static CG height 8 ft
    std::int32_t stage;
    double altitudeChange, verticalSpeed;
  };
  for (const Case c : {Case{39, 0, 0.0, -700}, Case{38, 1, -0.1, -601}, Case{28, 2, -0.075, -450},
                       Case{18, 3, -0.05, -300}, Case{11, 4, -0.025, -150}}) {
    a.heightAboveGround = c.heightFt;
    lf_stepMotion(a);
    EXPECT_EQ(a.flareStage, c.stage) << c.heightFt;
    EXPECT_NEAR(a.altitudeChange, c.altitudeChange, 1e-12);
    EXPECT_EQ(a.stream.front().verticalSpeed, c.verticalSpeed);
    EXPECT_EQ(gf_eventData(gf_events(), kEventThrottleSet), c.stage == 3 ? 0 : -1);
  }
  EXPECT_TRUE(g_fastRangeRequest);
  for (int step = 0; step < 2000; ++step) lf_stepMotion(a);
  EXPECT_NEAR(a.pitch, -0.06981317007977318, 1e-12);  // 4 degrees nose up, never more
}

TEST_F(StepTest, HeavyTakeOff) {
  AiAircraft& a = gf_ac("B744", {gf_rep(0, 0, 150, 0), gf_rep(0, 900, 160, 5000, 2000, 1500)}, 0.0);
  a.stream.pop_front();  // taken up: the leg goes to the report in the air
  a.takeOffRun = true;
  a.altitudeChange = 1.0;
  a.heightAboveGround = 900.0;
  const double ground = a.altitude;
  lf_takeOffStart(a);
  EXPECT_EQ(a.fs, kFsTakeOff);
  gf_events();
  struct Mark {
    int step;
    double climbedFt;
  };
  int step = 0;
  // 250 steps of rotation (the first leaves the ground), then a tenth, a fifth and half of the
  // climb for 100 steps each, the gear 300 steps after the rotation.
  for (const Mark m : {Mark{250, 0.0}, Mark{349, 9.9}, Mark{449, 29.9}, Mark{549, 79.9},
                       Mark{550, 80.9}}) {
    for (; step < m.step; ++step) lf_stepMotion(a);
    EXPECT_FALSE(a.onGround);
    EXPECT_NEAR(a.altitude - ground, m.climbedFt, 1e-9) << m.step;
    EXPECT_EQ(gf_eventData(gf_events(), kEventGearSet), m.step == 550 ? 0 : -1) << m.step;
  }
  for (; step < 800 && a.fs == kFsTakeOff; ++step) lf_stepMotion(a);
  EXPECT_EQ(a.fs, kFsFlying);
  // The take-off's climb ends with it: the rest of the leg meets the report.
  EXPECT_NEAR(a.altitudeChange, (2000.0 - a.altitude) / 5000.0, 1e-12);
  EXPECT_EQ(gf_eventData(gf_events(), kEventThrottleSet), 11468);
  EXPECT_NEAR(a.pitch, a.climbPitch, std::fabs(a.climbPitch - a.rotationPitch) / 400.0);
  EXPECT_EQ(a.takeOffStep, 1);
  // With a ground report ahead (reports that came down again), the climb ends there.
  g_liveAc.clear();
  AiAircraft& b = gf_ac("B744", {gf_rep(0, 0, 160, 0, 1300), gf_rep(0, 900, 160, 5000)}, 0.0);
  b.stream.pop_front();
  b.fs = kFsTakeOff;
  b.takeOffStep = -400;
  b.pitch = b.climbPitch;
  b.heightAboveGround = 900.0;
  b.altitudeChange = 1.0;
  lf_stepMotion(b);
  EXPECT_EQ(b.fs, kFsFlying);
  EXPECT_EQ(b.altitudeChange, 0.0);
}

TEST_F(StepTest, Touchdown) {
  struct Case {
    bool approach;
    std::int32_t takeOffStep;
    std::uint32_t st, fs, nosePitchSteps;
    bool lands, onGround;
  };
  for (const Case c : {Case{true, 1, kStActive, kFsFlying, 350, true, true},
                       Case{false, 0, kStActive, kFsFlying, 350, false, true},
                       Case{true, 1, kStRemovingFromSim, kFsFlying, 350, false, false},
                       Case{true, 1, kStActive, kFsTakeOff, 350, false, false},
                       Case{true, 1, kStActive, kFsFlying, 0, true, true}}) {
    g_liveAc.clear();
    g_newLiveIds.clear();
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 130, 0, 420, -600)}, 90.0);
    a.approach = c.approach;
    a.takeOffStep = c.takeOffStep;
    a.st = c.st;
    a.fs = c.fs;
    a.staticCgValue = c.nosePitchSteps;
    a.groundPitch = 0.01;
    a.pitch = -0.05;
    a.bank = 0.035;
    g_fastRangeRequest = true;
    lf_touchdown(a);
    EXPECT_EQ(a.onGround, c.onGround);
    EXPECT_EQ(a.landingRoll && a.noseLowering && a.turnaroundPending, c.lands);
    EXPECT_EQ(g_newLiveIds.size(), c.lands ? 1u : 0u);
    EXPECT_EQ(g_fastRangeRequest, !c.lands);
    EXPECT_EQ(gf_eventData(gf_events(), kEventSpoilersSet), c.lands ? 16383 : -1);
    if (c.lands && c.nosePitchSteps > 0) {
      EXPECT_NEAR(a.pitchChange, 0.06 / 350, 1e-15);
      EXPECT_NEAR(a.bankChange, -0.0001, 1e-15);
      EXPECT_EQ(a.touchdownHeading, a.heading);
    }
  }
  EXPECT_TRUE(logged("===> TST1 ! onGround slots 0.0"));
  // Set down on the way to a report 2000 m ahead due in 24 s (162 kt), an aircraft rolls the rest
  // of the leg no faster than it can: a helicopter at its 60 kt, an airliner's roll goes on.
  for (const auto& [type, kt] : {std::pair{"EC35", 60.0}, std::pair{"A320", 162.0}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac(type, {gf_rep(0, 0, 150, 0, 300), gf_rep(0, 2000, 150, 2400, 300)});
    a.stream.pop_front();
    a.latStep = (a.stream.front().lat - a.lat) / 2400.0;
    lf_touchdown(a);
    EXPECT_NEAR(a.latStep * 60.0 * kStepsPerHour, kt, 0.1) << type;
    EXPECT_NEAR(static_cast<double>(a.stream.front().dueTime - kNow) * a.latStep,
                a.stream.front().lat - a.lat, 1e-12);
  }
}

// Curves and midpoints take the short way across the antimeridian.
TEST_F(StepTest, AcrossTheAntimeridian) {
  PositionReport f = gf_rep(0, 0, 10, 0), s = f, t3 = f;
  f.lon = 179.9999;
  s.lon = -179.9999;
  t3.lon = -179.9995;
  t3.lat += 0.0002;
  AiAircraft& a = gf_ac("A320", {f, s, t3});
  lf_setUpCurve(a);
  EXPECT_NEAR(a.curve.p1East, 0.0002 * kMetresPerDegreeLat * std::cos(f.lat * kDegToRad), 1e-6);
  a.stream.insert(a.stream.begin() + 1, s);
  lf_insertMidpoint(a);
  EXPECT_NEAR(std::fabs(a.stream[1].lon), 180.0, 1e-9);
}
