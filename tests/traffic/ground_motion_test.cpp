// Ground motion and leaving the stand: how a taxi leg is flown, the throttle of the take-off run,
// the take-off start, the landing roll, the arrival check, the pull-out, straight and turned
// pushbacks, and the drive onto a stand.
#include <functional>
#include <mutex>

#include <fmt/format.h>

#include "airports/airports.h"
#include "intake/intake.h"
#include "motion_test_support.h"

using namespace motiontest;

namespace {

class GroundTest : public MotionTest {};

PositionReport toward(double bearingDeg, const PositionReport& from, double metres, double gs,
                      std::int64_t dueIn) {
  const LatLon to = gf_destination({from.lat, from.lon}, bearingDeg * kDegToRad, metres / 0.3048);
  return lf_groundReport(to, gs, static_cast<std::int32_t>(kNow + dueIn));
}

// Steps the aircraft as the engine's update does until the phase is reached (or 20000 steps).
void runUntil(AiAircraft& a, std::uint32_t fs, const std::function<void()>& everyStep = {}) {
  for (int step = 0; step < 20000 && a.fs != fs; ++step) {
    if (a.stream.front().dueTime <= static_cast<std::int64_t>(g_tickCount.load())) {
      nextPosMain(a);
    }
    if (!a.stream.front().samePosition) lf_stepMotion(a);
    if (everyStep) everyStep();
    ++g_tickCount;
  }
}

// A parked aircraft whose last report is metres away on the bearing: its leaving leg is due.
AiAircraft& parkedLeaving(double bearingDeg, double metres, double standRadiusM = 20.0) {
  const ParkPos& stand = traffictest::gf_addStand(traffictest::gf_standAt("A1", 0, 0, standRadiusM));
  PositionReport f = gf_rep(0, 0, 0, 0);
  AiAircraft& a = gf_ac("A320", {f, toward(bearingDeg, f, metres, 3, 500)});
  a.fs = kFsParked;
  a.standId = stand.number;
  a.standPlace = {stand.lat, stand.lon, 0.0};
  a.pushbackPending = true;
  a.taxiTurn = true;  // left from driving onto the stand at an angle
  a.taxiTurnAngle = 40.0;
  return a;
}

}  // namespace

TEST_F(GroundTest, HowATaxiLegIsFlown) {
  struct Case {
    double turnDeg, legM, gsKt;
    std::int64_t legSteps;
    bool curve;
    std::size_t reportsLeft;  // after the leg is taken up, from three
  };
  for (const Case c : {Case{30, 100, 15, 700, true, 1}, Case{2, 100, 15, 700, false, 2},
                       Case{170, 100, 15, 500, false, 2}, Case{60, 60, 20, 1000, false, 3}}) {
    g_liveAc.clear();
    const PositionReport f = gf_rep(0, 0, c.gsKt, 0);
    const PositionReport s = toward(0, f, c.legM, c.gsKt, c.legSteps);
    AiAircraft& a = gf_ac("A320", {f, s, toward(c.turnDeg, s, 100, c.gsKt, c.legSteps + 700)});
    nextPos(a);
    EXPECT_EQ(lf_curveUnderWay(a), c.curve) << c.turnDeg;
    EXPECT_EQ(a.stream.size(), c.reportsLeft) << c.turnDeg;
  }
}

TEST_F(GroundTest, FirstGroundLegMakesATaxiingAircraft) {
  // Born on the reserved stand or the user's, an aircraft keeps phase birth until its first
  // leg, standing still or moving; a landed one leaves phase flying on its first moving leg.
  for (const auto& [born, metres] :
       {std::pair{kFsBirth, 0.0}, {kFsBirth, 40.0}, {kFsFlying, 40.0}}) {
    g_liveAc.clear();
    const PositionReport f = gf_rep(0, 0, 0, 0);
    PositionReport s = toward(90, f, metres, metres > 0 ? 8 : 0, 1000);
    s.samePosition = metres == 0.0;
    AiAircraft& a = gf_ac("A320", {f, s});
    a.fs = born;
    nextPos(a);
    EXPECT_EQ(a.fs, kFsTaxi) << born << " " << metres;
  }
}

TEST_F(GroundTest, TakeOffRunThrottleAndTakeOffStart) {
  struct Throttle {
    double front, second;
    long value;
  };
  for (const Throttle c : {Throttle{22, 27, 8191}, Throttle{10, 12, 0}, Throttle{26, 26, 16383},
                           Throttle{16, 22, 4914}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, c.front, 0), gf_rep(0, 50, c.second, 500)});
    a.takeOffRun = true;
    lf_groundLegSetup(a);
    EXPECT_EQ(gf_eventData(gf_events(), kEventThrottleSet), c.value) << c.front << " " << c.second;
  }
  struct Start {
    double front, slowest, lowestClimbFpm;
    bool starts;
  };
  // A Heavy rotates at 150 kt once its front report reaches 43 kt and a report climbs slowly.
  for (const Start c : {Start{43, 150, 200, true}, Start{42, 150, 200, false},
                        Start{43, 140, 200, false}, Start{43, 140, 300, true}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac("B744", {gf_rep(0, 0, c.front, 0), gf_rep(0, 500, c.slowest, 500, 30, 900),
                                   gf_rep(0, 1000, 160, 900, 60, c.lowestClimbFpm)});
    a.takeOffRun = true;
    lf_groundLegSetup(a);
    EXPECT_EQ(a.fs == kFsTakeOff, c.starts) << c.front << " " << c.slowest;
    EXPECT_EQ(a.takeOffStep, c.starts ? 250 : 1);
  }
}

TEST_F(GroundTest, LandingRoll) {
  struct Case {
    double headingDeg, frontKt;
    long spoilers, flaps, taxiLights;
  };
  // Spoilers and flaps stay until 90 kt on the runway heading; 15 degrees off it has turned off.
  for (const Case c : {Case{90, 95, -1, -1, -1}, Case{90, 90, 0, 3072, -1}, Case{104, 60, 0, 3072, -1},
                       Case{105, 60, 0, 0, 1}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, c.frontKt, 0), gf_rep(500, 0, 60, 500)}, c.headingDeg);
    a.landingRoll = true;
    a.touchdownHeading = 90.0 * kDegToRad;
    a.throttleStep = 0;
    a.flapsStep = 3;
    lf_groundLegSetup(a);
    const auto events = gf_events();
    EXPECT_EQ(gf_eventData(events, kEventSpoilersSet), c.spoilers) << c.headingDeg << " " << c.frontKt;
    EXPECT_EQ(gf_eventData(events, kEventFlapsSet), c.flaps);
    EXPECT_EQ(gf_eventData(events, kEventTaxiLightsSet), c.taxiLights);
    EXPECT_EQ(a.landingRoll, c.taxiLights != 1);
  }
}

TEST_F(GroundTest, ArrivalCheckAsksForAStand) {
  g_parkStandsReady = true;
  for (const double metres : {35.0, 36.0}) {
    g_liveAc.clear();
    g_parkStands.clear();
    traffictest::gf_addStand(traffictest::gf_standAt("C3", 0, metres, 25));
    const PositionReport f = gf_rep(0, 0, 3, 0);
    PositionReport last = toward(0, f, metres, 0, 1200);
    last.samePosition = true;
    AiAircraft& a = gf_ac("A320", {f, toward(0, f, metres, 3, 1000), last});
    nextPos(a);
    EXPECT_EQ(a.fs == kFsParking, metres <= 35.0) << metres;
  }
  g_parkStandsReady = false;
}

TEST_F(GroundTest, PullOut) {
  AiAircraft& a = parkedLeaving(0, 20);
  a.halfWingspan = 18.0 / kMetresPerNm;  // a 36 m span
  a.taxiSpeed = 10.0;
  nextPos(a);
  ASSERT_EQ(a.stream.size(), 1u);
  EXPECT_NEAR(gf_distanceNm(gf_at(0, 0), lf_pos(a.stream.front())) * kMetresPerNm, 36.0, 1e-6);
  EXPECT_EQ(a.stream.front().dueTime - kNow, 700);  // round(0.0194 nm / 10 kt x 360000)
  EXPECT_EQ(a.fs, kFsTaxi);
  EXPECT_FALSE(a.taxiTurn || a.pushbackPending);
  // Leaving-stand lights (nav, beacon, taxi and logo on; landing, strobes and cabin off), the
  // engines started, throttle idle, flaps 1.
  std::string sent;
  for (const ClientEventRequest& e : gf_events()) {
    sent += fmt::format("{}{}={}", sent.empty() ? "" : " ", e.eventId, e.data);
  }
  EXPECT_EQ(sent, "208=1 207=1 211=0 209=1 210=0 213=1 212=0 221=0 223=0 218=3072");
}

TEST_F(GroundTest, Pushbacks) {
  struct Case {
    bool turnKnown, turnRight;
    double endEastM, endHeadingDeg;  // where the pushback ends, seen from the stand
  };
  // From a stand of radius 20 m: 50 m straight back, then the curve ends a half span (17.05 m)
  // to the side the update code chose.
  for (const Case c : {Case{false, false, 0, 0}, Case{true, true, -17.05, 90},
                       Case{true, false, 17.05, 270}}) {
    g_liveAc.clear();
    g_parkStands.clear();
    g_tickCount = static_cast<std::uint32_t>(kNow);
    AiAircraft& a = parkedLeaving(180, 10);
    a.pushbackTurnKnown = c.turnKnown;
    a.pushbackTurnRight = c.turnRight;
    nextPos(a);
    ASSERT_EQ(a.stream.size(), 3u);
    EXPECT_EQ(a.fs, kFsPushingBack);
    EXPECT_EQ(a.pushbackCounter, 2);
    EXPECT_FALSE(a.taxiTurn);
    EXPECT_NEAR(gf_distanceNm(gf_at(0, -50), lf_pos(a.stream[1])), 0.0, 1e-9);
    EXPECT_NEAR(gf_distanceNm(gf_at(17.05, -50), lf_pos(a.stream[2])), 0.0, 2e-6);
    EXPECT_NEAR(gf_distanceNm(gf_at(-17.05, -50), lf_pos(a.embeddedReport)), 0.0, 2e-6);
    bool tailFirstStraight = true;
    runUntil(a, kFsPushedBack, [&a, &tailFirstStraight] {
      if (!lf_curveUnderWay(a) && a.fs == kFsPushingBack) {
        tailFirstStraight = tailFirstStraight && a.motionAirspeed < 0 && a.heading == 0.0;
      }
    });
    EXPECT_TRUE(tailFirstStraight);
    EXPECT_EQ(a.fs, kFsPushedBack);
    EXPECT_NEAR(gf_distanceNm(gf_at(c.endEastM, -50), lf_pos(a)) * kMetresPerNm, 0.0, 0.5);
    EXPECT_NEAR(gf_angleDiff(c.endHeadingDeg * kDegToRad, a.heading), 0.0, 10 * kDegToRad);
    EXPECT_EQ(gf_eventData(gf_events(), kEventEngineAutoStart), 0);
  }
}

TEST_F(GroundTest, DriveOntoTheStand) {
  const ParkPos& stand = traffictest::gf_addStand(traffictest::gf_standAt("A1", 0, 1, 25));
  AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 2, 0)});
  drive2Stand(a, {stand.lat, stand.lon, kPi});
  ASSERT_EQ(a.stream.size(), 3u);
  EXPECT_EQ(a.stream[1].dueTime - kNow, 100);  // never less than a second
  EXPECT_FALSE(a.stream[1].samePosition);
  EXPECT_EQ(a.stream[2].dueTime - kNow, 150);
  EXPECT_TRUE(a.stream[2].samePosition);
  EXPECT_EQ(a.stream[2].groundSpeed, 0.0);
  EXPECT_EQ(a.stream[1].track, 180.0);
  EXPECT_EQ(a.bearing, kPi);
  a.stream.clear();
  drive2Stand(a, {stand.lat, stand.lon, kPi});
  EXPECT_TRUE(a.stream.empty());
  EXPECT_TRUE(logged("===> drive2Stand empty sz?"));
}
