// Merging reports into live aircraft: jitter, creeping and leaving on the stand, the stand's
// limits while parking and parked, long streams, a go-around, short stops and identity changes
// (the pushback's side from the reports is in replay c).
#include "engine_test_support.h"

using namespace enginetest;
using traffictest::gf_addStand;
using traffictest::gf_standAt;

namespace {

class UpdateTest : public EngineTest {
 protected:
  // An active aircraft on the stand 2000 m north of the field, in the phase.
  AiAircraft& onStand(std::uint32_t fs) {
    stand = &gf_addStand(gf_standAt("A1", 0.0, 2000.0, 30.0));
    AiAircraft& a = gf_live("A320", "STD1", {stand->lat, stand->lon}, kStActive, fs);
    a.standId = stand->number;
    a.standPlace = {stand->lat, stand->lon, stand->heading};
    a.previousFs = kFsTaxi;
    return a;
  }
  // A report this many metres north of the stand, due after the stream's last.
  PositionReport fromStand(const AiAircraft& a, double northM, double gsKt = 0.0) {
    const LatLon at = gf_destination({stand->lat, stand->lon}, 0.0, northM / 0.3048);
    return lf_groundReport(at, gsKt, a.stream.back().dueTime + 500);
  }
  ParkPos* stand = nullptr;
};

PositionReport lf_next(const AiAircraft& a, const LatLon& at, double gsKt, std::int32_t afterSteps,
                       double altFt = 0.0) {
  PositionReport r = lf_groundReport(at, gsKt, a.stream.back().dueTime + afterSteps);
  r.altitude = altFt;
  r.airborne = altFt > 0.0;
  return r;
}

}  // namespace

// A report a few metres from the last one of a taxiing aircraft is the same spot, standing; of
// an airborne aircraft it is dropped.
TEST_F(UpdateTest, Jitter) {
  AiAircraft& taxi = gf_live("A320", "JIT1", gf_at(0, 0), kStActive, kFsTaxi);
  PositionReport r = lf_next(taxi, {taxi.lat + 0.0001, taxi.lon}, 12.0, 300);
  decodeExisting(taxi, r);
  ASSERT_EQ(taxi.stream.size(), 2u);
  EXPECT_TRUE(taxi.stream.back().samePosition && taxi.stream.back().groundSpeed == 0.0);
  EXPECT_EQ(taxi.stream.back().lat, taxi.lat);
  AiAircraft& air = gf_live("A320", "JIT2", gf_at(0, 5000), kStActive, kFsFlying, 3000);
  PositionReport a = lf_next(air, {air.lat + 0.0001, air.lon}, 200.0, 300, 3000);
  decodeExisting(air, a);
  EXPECT_EQ(air.stream.size(), 1u);
}

// On the stand: reports that wander stay; three creeping reports over half a span leave.
TEST_F(UpdateTest, CreepingOffTheStand) {
  AiAircraft& a = onStand(kFsParked);
  for (double m : {0.0, 2.0, 0.0, 2.0}) {
    PositionReport r = fromStand(a, m);
    decodeExisting(a, r);
  }
  EXPECT_TRUE(a.stream.size() == 1 && !a.pushbackPending && a.reportWhileParked);
  for (double m : {3.5, 7.0, 10.5}) {
    PositionReport r = fromStand(a, m);
    decodeExisting(a, r);
  }
  EXPECT_TRUE(a.pushbackPending && a.stream.size() == 2);
  EXPECT_EQ(a.pushbackMode, kPushbackTurning);
}

// The stand's limits: 85 m parked, twice that while still parking; 200 m is not there at all.
TEST_F(UpdateTest, StandLimits) {
  const struct {
    std::uint32_t fs;
    double metres;
    std::uint32_t fsAfter, st;
    bool appended, leaving;
  } cases[] = {
      {kFsParked, 150, kFsParked, kStActive, true, true},
      {kFsParked, 250, kFsParked, kStRemovingFromSim, false, false},
      {kFsParking, 150, kFsParking, kStActive, false, false},
      {kFsParking, 180, kFsTaxi, kStActive, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.metres);
    gf_resetTraffic();
    AiAircraft& a = onStand(c.fs);
    PositionReport r = fromStand(a, c.metres, 5.0);
    decodeExisting(a, r);
    EXPECT_EQ(a.fs, c.fsAfter);
    EXPECT_EQ(a.st, c.st);
    EXPECT_EQ(a.stream.size(), c.appended ? 2u : 1u);
    EXPECT_EQ(a.pushbackPending, c.leaving);
  }
}

// A report far from the aircraft's last one on the ground. A taxiing aircraft that held at the
// end of its reports taxies on to where it went meanwhile; one that held after its pushback, or
// that could not have got there by taxiing or rolling, is given up; a jump into the air from a
// take-off run is flown, and a helicopter's from wherever it stood unless faster than it flies;
// reported on the ground, a helicopter is held to its taxi limit, whatever speed it reports.
TEST_F(UpdateTest, ReportedFarFromTheLastOne) {
  g_paramLog.setValue(true);
  const struct {
    const char* type;
    std::uint32_t fs;
    double lastKt;
    double northM, altFt, gsKt;
    std::int32_t afterSteps;
    bool givenUp;
  } cases[] = {
      {"A320", kFsTaxi, 20, 400, 0, 20, 4100, false},       // 19 kt after a 41 s gap
      {"A320", kFsPushedBack, 0, 400, 0, 20, 4100, true},   // beyond HOLDING_THRESHOLD_METERS
      {"C172", kFsTaxi, 12, 7223, 150, 68, 4100, true},     // 3.9 nm in 41 s: 342 kt
      {"A320", kFsTaxi, 120, 2778, 500, 160, 3000, false},  // lifting off at 180 kt
      {"EC35", kFsTaxi, 0, 1296, 500, 80, 4000, false},     // lifts off: 63 kt, flies at 80
      {"EC35", kFsTaxi, 8, 6852, 800, 70, 3500, true},      // 3.7 nm in 35 s, flies at 70
      {"EC35", kFsTaxi, 8, 1296, 0, 80, 4000, true},        // 63 kt and still on the ground
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.type << " " << c.northM << " m " << c.altFt << " ft");
    gf_resetTraffic();
    AiAircraft& a = gf_live(c.type, "FAR1", gf_at(0, 0), kStActive, c.fs);
    a.lastMerged.groundSpeed = a.stream.back().groundSpeed = c.lastKt;
    a.holding = true;
    a.predictedReports = 1;
    PositionReport r = lf_next(a, gf_at(0, c.northM), c.gsKt, c.afterSteps, c.altFt);
    a.lastReportTime += c.afterSteps / 100.0;  // the merge stamps the aircraft with r's time
    decodeExisting(a, r);
    EXPECT_EQ(a.st, c.givenUp ? kStRemovingFromSim : kStActive);
    EXPECT_EQ(a.stream.size(), c.givenUp ? 1u : 2u);
  }
  EXPECT_TRUE(
      logged("          FAR1     given up: reported 3.9 nm away 41 s later, 342 kt on the ground"));
}

// More than 200 reports remove the aircraft; a go-around sends take-off power once.
TEST_F(UpdateTest, LongStreamsAndGoAround) {
  AiAircraft& a = gf_live("A320", "LNG1", gf_at(0, 0), kStActive, kFsTaxi);
  for (int k = 1; k <= 201; ++k) a.stream.push_back(lf_next(a, gf_at(0, k * 50.0), 20, 300));
  PositionReport r = lf_next(a, gf_at(0, 20000), 20, 300);
  decodeExisting(a, r);
  EXPECT_EQ(a.st, kStRemovingFromSim);

  AiAircraft& g = gf_live("A320", "GOA1", gf_at(0, 0), kStActive, kFsTaxi);
  g.landingRoll = true;
  g.stream.back() = lf_next(g, gf_at(0, 0), 130, 0, 50);
  for (double alt : {80.0, 150.0}) {
    PositionReport up = lf_next(g, gf_at(0, alt * 10), 130, 300, alt);
    decodeExisting(g, up);
  }
  std::vector<std::uint32_t> power;
  for (const ClientEventRequest& e : events()) {
    if (e.eventId == kEventThrottleSet || e.eventId == kEventSpoilersSet || e.eventId == kEventFlapsSet) {
      power.push_back(e.data);
    }
  }
  EXPECT_EQ(power, (std::vector<std::uint32_t>{11468, 16383, 3072}));
  EXPECT_TRUE(g.takeOffRun && g.fs == kFsTaxi);
}

// A stop of 10 s between moving reports shrinks to one standstill report; one of 20 s stays
// unless the aircraft moves on within 22 m of where it stopped.
TEST_F(UpdateTest, ShortStops) {
  const struct {
    std::int32_t stopSteps;
    double restartM;
    std::size_t size;
  } cases[] = {{1000, 60, 4}, {2000, 60, 5}, {2000, 20, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stopSteps);
    gf_resetTraffic();
    AiAircraft& a = gf_live("A320", "STP1", gf_at(0, 0), kStActive, kFsTaxi);
    a.stream.front().groundSpeed = 15;
    a.stream.push_back(lf_next(a, gf_at(0, 100), 15, 500));
    for (int k = 0; k < 2; ++k) {
      PositionReport stop = lf_next(a, gf_at(0, 100), 0, c.stopSteps / 2);
      stop.samePosition = true;
      a.stream.push_back(stop);
    }
    PositionReport moving = lf_next(a, gf_at(0, 100 + c.restartM), 15, 500);
    decodeExisting(a, moving);
    EXPECT_EQ(a.stream.size(), c.size);
  }
}

// Identity changes: a new callsign respawns an active aircraft with GUID_CHANGES on; with it
// off a new registration leaves the aircraft in its phase (without the respawn a phase "birth"
// would never take off or park again).
TEST_F(UpdateTest, IdentityChanges) {
  AiAircraft& a = gf_live("A320", "IDC1", gf_at(0, 0), kStActive, kFsTaxi);
  a.onGround = true;
  TrafficReport r = gf_report(a.key, "IDC2", "A320", gf_at(0, 100), 0, 15, 0, 2000);
  EXPECT_FALSE(lf_identityChange(a, r));
  EXPECT_TRUE(a.st == kStLiveryRespawn && a.callsign == "IDC2" && a.text6 == "IDC2");
  EXPECT_EQ(g_removeWait.back(), a.objectId);

  g_paramGuidChanges.setValue(false);
  AiAircraft& b = gf_live("A320", "IDC3", gf_at(0, 0), kStActive, kFsTaxi);
  b.livery = "Test A320";
  TrafficReport reg = gf_report(b.key, "IDC3", "A320", gf_at(0, 100), 0, 15, 0, 2000);
  reg.registration = "PH-NEW";
  EXPECT_TRUE(lf_identityChange(b, reg));
  EXPECT_TRUE(b.fs == kFsTaxi && b.st == kStActive && b.registration == "PH-NEW" && b.livery.empty());

  // A callsign that copies a live one with '_' is refused.
  TrafficReport ghost = gf_report(b.key, "IDC3_", "A320", gf_at(0, 100), 0, 15, 0, 2001);
  EXPECT_FALSE(lf_identityChange(b, ghost));
}
