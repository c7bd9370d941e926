// Stepping along the report stream and retiming: the per-step velocity, standstill reports, the
// stream's end (predicted reports, holding, the 7-day report of a parked aircraft, the arrival
// on a stand), a failing leg, and the retiming of the next report.
#include "foundation/parameters.h"
#include "intake/intake.h"
#include "motion_test_support.h"

using namespace motiontest;

namespace {

// The tests that list airports of their own give the list back, even when one stops early.
class StreamTest : public MotionTest {
 protected:
  void TearDown() override {
    g_airports = m_airports;
    MotionTest::TearDown();
  }

 private:
  std::vector<AirportEntry> m_airports = g_airports;
};

std::int64_t dueIn(const PositionReport& r) { return r.dueTime - kNow; }

}  // namespace

TEST_F(StreamTest, PerStepVelocityRunsFromWhereTheAircraftIs) {
  struct Case {
    std::int64_t dueIn;
    double gsKt;
    double altFt;
    double steps;
  };
  // 100 m at 1000 kt plans the shortest leg; at 32.4 kt just the 600 steps reported. On the
  // ground a report overdue beyond the delay limit is not met in 25 steps: the 90.6 m leg takes
  // what it needs at 60 kt taxiing, at 210 kt rolling.
  for (const Case c : {Case{10, 1000.0, 3000, 25.0}, Case{-50, 1000.0, 3000, 25.0},
                       Case{600, 32.4, 3000, 600.0}, Case{600, 32.4, 0, 600.0},
                       Case{-2000, 15.0, 0, 294.0}, Case{-2000, 50.0, 0, 84.0}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, c.gsKt, 0, c.altFt),
                                   gf_rep(0, 100, c.gsKt, c.dueIn, c.altFt)});
    const LatLon off = gf_at(10, 10);
    a.lat = off.lat;
    a.lon = off.lon;
    nextPos(a);
    ASSERT_EQ(a.stream.size(), 1u);
    EXPECT_NEAR(a.latStep * c.steps, a.stream.front().lat - off.lat, 1e-12) << c.dueIn;
    EXPECT_NEAR(a.lonStep * c.steps, a.stream.front().lon - off.lon, 1e-12) << c.dueIn;
  }
  // Across the antimeridian the short way: 0.0002 degrees east, not 360 west.
  g_liveAc.clear();
  PositionReport f = gf_rep(0, 0, 1000, 0, 3000), s = f;
  f.lon = 179.9999;
  s.lon = -179.9999;
  s.dueTime = static_cast<std::int32_t>(kNow + 25);
  AiAircraft& a = gf_ac("A320", {f, s});
  nextPos(a);
  EXPECT_NEAR(a.lonStep * 25.0, 0.0002, 1e-9);
  for (int step = 0; step < 25; ++step) lf_stepMotion(a);
  EXPECT_NEAR(a.lon, -179.9999, 1e-9);
}

TEST_F(StreamTest, StandstillReports) {
  struct Case {
    bool takeOffRun, landingRoll;
    std::int32_t advance, delay;  // after the leg, from 1500 and 1050
  };
  for (const Case c : {Case{false, false, 1400, 1000}, Case{true, false, 1500, 1050},
                       Case{false, true, 1500, 1050}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 0, 0), gf_rep(0, 0, 0, 500)});
    a.latStep = 1.0;
    a.takeOffRun = c.takeOffRun;
    a.landingRoll = c.landingRoll;
    a.advanceLimit = 1500;
    a.delayLimit = 1050;
    nextPos(a);
    EXPECT_TRUE(a.stream.front().samePosition);
    EXPECT_EQ(a.latStep, 0.0);
    EXPECT_EQ(a.advanceLimit, c.advance);
    EXPECT_EQ(a.delayLimit, c.delay);
  }
  // In the air a standstill report is skipped.
  g_liveAc.clear();
  AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 200, 0, 3000), gf_rep(0, 0, 200, 300, 3000),
                                 gf_rep(0, 2000, 200, 600, 3000)});
  a.stream[1].samePosition = true;
  nextPosMain(a);
  ASSERT_EQ(a.stream.size(), 1u);
  EXPECT_EQ(a.stream.front().lat, gf_at(0, 2000).lat);
}

// An approach whose predicted descent (80 ft a report) would take the aircraft into its flare
// away from every airport is given up before: at 300 ft above the ground, after 3 reports. One
// that descends towards an airport flies them all.
TEST_F(StreamTest, AirborneStreamEnd) {
  struct Case {
    bool approach;
    double userNm;  // from the aircraft
    std::vector<double> speeds;  // of the predicted reports; empty: removed at once
    double heightFt = 1500.0;
    double airportNm = 0.0;  // the one airport listed, this far ahead (behind when negative)
  };
  const Case cases[] = {
      {false, 5.0, {190, 180.5, 171.475, 162.90125, 154.7561875, 147.018378, 139.667459, 132.684086}},
      {true, 5.0, {180, 162, 145.8, 131.22, 118.098, 118.098, 118.098, 118.098}},
      {false, 39.6, {}},
      {true, 5.0, {180, 162, 145.8}, 300.0, -20.0},
      {true, 5.0, {180, 162, 145.8, 131.22, 118.098, 118.098, 118.098, 118.098}, 300.0, 2.0}};
  g_paramLog.setValue(true);
  for (const Case& c : cases) {
    g_liveAc.clear();
    g_airports.clear();
    if (c.airportNm != 0.0) {
      const LatLon at = gf_destination(gf_at(0, 0), kPi / 2.0, c.airportNm * kFeetPerNm);
      g_airports = {{"ZZZZ", "", at.lat, at.lon, 0.0}};
    }
    g_userAcSnapshot.latitude = gf_destination(gf_at(0, 0), kPi, c.userNm * kFeetPerNm).lat;
    // Descending low enough that the approach stays: the low configuration.
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 200, 0, 3000, -700)}, 90.0);
    a.approach = c.approach;
    a.heightAboveGround = c.heightFt;
    std::vector<double> speeds;
    for (int due = 0; due < 12 && a.st == kStActive; ++due) {
      g_tickCount = static_cast<std::uint32_t>(a.stream.front().dueTime);
      nextPosMain(a);
      if (a.st == kStActive) speeds.push_back(a.stream.front().groundSpeed);
    }
    ASSERT_EQ(speeds.size(), c.speeds.size()) << c.approach;
    for (std::size_t i = 0; i < speeds.size(); ++i) EXPECT_NEAR(speeds[i], c.speeds[i], 1e-5);
    EXPECT_EQ(a.st, static_cast<std::uint32_t>(kStRemovingFromSim));
    EXPECT_EQ(a.predictedReports, c.speeds.empty() ? 0 : -1);
  }
  EXPECT_TRUE(logged("TST1     given up: no more reports, descending to the ground away from any"));
}

TEST_F(StreamTest, ParkedStreamEndReleasesTheStand) {
  ParkPos& stand = traffictest::gf_addStand(traffictest::gf_standAt("A1", 0, 0, 25));
  stand.liveOccupied = true;
  AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 0, 0)});
  a.fs = kFsParked;
  a.standId = stand.number;
  a.reportWhileParked = true;
  nextPosMain(a);
  ASSERT_EQ(a.stream.size(), 1u);
  EXPECT_TRUE(a.stream.front().samePosition);
  EXPECT_EQ(dueIn(a.stream.front()), 60480000);
  EXPECT_FALSE(stand.liveOccupied || a.reportWhileParked);
  EXPECT_EQ(a.predictedReports, 1);
}

TEST_F(StreamTest, WaitingOnTheTaxiway) {
  g_paramMaxHoldingMinutes.setValue(1);
  struct Case {
    double neighbourM;       // another taxiing aircraft this far; 0: none
    std::int64_t heldSteps;  // since the hold began
    bool givenUp;
  };
  // A320 half spans of 17.05 m: 1.2 x 34.1 m = 40.9 m.
  for (const Case c : {Case{0, 0, false}, Case{0, 11999, false}, Case{0, 12000, true},
                       Case{40.0, 0, true}, Case{42.0, 0, false}}) {
    g_liveAc.clear();
    g_liveAc.reserve(2);
    if (c.neighbourM > 0) gf_ac("A320", {gf_rep(c.neighbourM, 0, 0, 0)}).objectId = 101;
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 0, 0)});
    if (c.heldSteps > 0) {
      a.holding = true;
      a.holdStart = static_cast<std::int32_t>(kNow - c.heldSteps);
    }
    nextPosMain(a);
    EXPECT_EQ(a.st == kStRemovingFromSim, c.givenUp) << c.neighbourM << " " << c.heldSteps;
    if (!c.givenUp) {
      EXPECT_TRUE(a.holding && a.stream.front().samePosition);
      EXPECT_EQ(dueIn(a.stream.front()), 300);
    }
  }
}

// Farther from every airport of the list than the intake keeps ground traffic (5 nm) a taxiing
// aircraft whose reports stop does not wait: it stands through the 8 predicted reports one in the
// air flies through and is given up. At 3.8 nm (a hub's runway end) it waits.
TEST_F(StreamTest, StandingOutInTheOpen) {
  g_paramLog.setValue(true);
  for (const double airportNm : {2.9, 3.8, 5.1}) {
    g_liveAc.clear();
    const LatLon airport = gf_destination(gf_at(0, 0), 0.0, airportNm * kFeetPerNm);
    g_airports = {{"ZZZZ", "", airport.lat, airport.lon, 0.0}};
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 0, 0)});
    int legs = 0;
    for (; legs < 20 && a.st == kStActive && !a.holding; ++legs) {
      g_tickCount = static_cast<std::uint32_t>(a.stream.front().dueTime);
      nextPosMain(a);
    }
    const bool open = airportNm > kParkGroundRadiusNm;
    EXPECT_EQ(a.holding, !open) << airportNm;
    EXPECT_EQ(legs, open ? 9 : 1) << airportNm;
  }
  EXPECT_TRUE(logged("TST1     given up: no more reports, on the ground away from any airport"));
}

TEST_F(StreamTest, ArrivalOnTheStand) {
  g_paramLog.setValue(true);
  for (const double metres : {1.9, 2.1}) {
    g_liveAc.clear();
    g_parkStands.clear();
    g_newLiveIds.clear();
    const ParkPos& stand = traffictest::gf_addStand(traffictest::gf_standAt("B7", 0, metres, 25));
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 0, 0)});
    a.fs = kFsParking;
    a.standId = stand.number;
    a.standPlace = {stand.lat, stand.lon, stand.heading};
    nextPosMain(a);
    const bool parked = metres < 2.0;
    EXPECT_EQ(a.fs, parked ? kFsParked : kFsTaxi);
    EXPECT_EQ(gf_eventData(gf_events(), kEventEngineAutoShutdown) == 0, parked);
    EXPECT_EQ(g_newLiveIds.size(), parked ? 1u : 0u);
    EXPECT_EQ(a.parkedTime != 0, parked);
  }
  EXPECT_TRUE(logged("B7      : TST1     arrived at stand"));
}

// A leg that fails is logged once and dropped, instead of failing again on every step while the
// aircraft drifts on.
TEST_F(StreamTest, FailingLegIsDropped) {
  AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 200, 0, 3000), gf_rep(0, 900, 200, 500, 3000),
                                 gf_rep(0, 1800, 200, 1000, 3000)});
  a.category = 9;  // no such size category: every air leg fails
  for (std::int64_t step = kNow; step < kNow + 3; ++step) {
    g_tickCount = static_cast<std::uint32_t>(step);
    if (a.stream.front().dueTime <= step) nextPosMain(a);
  }
  EXPECT_EQ(a.stream.size(), 2u);
  EXPECT_EQ(a.latStep, 0.0);
  const std::string text = gf_testReadAll(folder.path() / "Log.txt");
  EXPECT_NE(text.find("===> nextPosMain: "), std::string::npos);
  EXPECT_EQ(text.find("nextPosMain"), text.rfind("nextPosMain"));
}

TEST_F(StreamTest, RetimingTheNextReport) {
  EXPECT_EQ(lf_plannedSteps(1.0, 120.0), 3000);
  EXPECT_EQ(lf_plannedSteps(0.01, 360.0), 25);
  struct Case {
    std::int64_t dueIn, planned;
    std::int32_t predicted;
    std::int64_t expected;
  };
  for (const Case c : {Case{1500, 3000, 0, 2500}, Case{1500, 25, 0, 500}, Case{-5000, 25, 0, 0},
                       Case{1500, 3000, 3, 3000}}) {
    g_liveAc.clear();
    AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 10, 0), gf_rep(0, 100, 10, c.dueIn)});
    a.predictedReports = c.predicted;
    lf_retimeSecond(a, c.planned);
    EXPECT_EQ(dueIn(a.stream[1]), c.expected) << c.dueIn << " " << c.planned;
  }
  g_liveAc.clear();
  AiAircraft& a = gf_ac("A320", {gf_rep(0, 0, 0, 0), gf_rep(0, 185.2, 0, 3000)});
  EXPECT_NEAR(lf_speedEstimate(a), 12.0, 1e-6);
  // A 90-degree taxi turn widens both limits.
  a.stream[0].groundSpeed = a.stream[1].groundSpeed = 15.0;
  a.taxiTurn = true;
  a.taxiTurnAngle = 90.0;
  lf_turnAndRetime(a);
  EXPECT_EQ(a.advanceLimit, 2000);
  EXPECT_EQ(a.delayLimit, 2000);
}
