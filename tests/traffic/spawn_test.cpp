// The spawn decision and spawning: when an aircraft waiting in the buffer is decided, what
// keeps it out (the user's path, MAX_LIVE, a blocked callsign, ghosts, no livery) and how it
// is born (flying, taxiing, parked on its stand).
#include <functional>

#include "engine_test_support.h"
#include "liveries/aircraft_database.h"
#include "liveries/match_summary.h"

using namespace enginetest;
using traffictest::gf_addStand;
using traffictest::gf_standAt;

namespace {

enum class Outcome { kWait, kSkip, kDrop, kSpawn, kSpawnParked, kSpawnBirth };

// A report due in dueIn steps; airborne when altFt > 0.
PositionReport lf_rep(const LatLon& at, double gsKt, std::int64_t dueIn, double altFt = 0.0) {
  PositionReport r = lf_groundReport(at, gsKt, static_cast<std::int32_t>(kNow + dueIn));
  r.altitude = altFt;
  r.airborne = altFt > 0.0;
  r.track = 90.0;
  return r;
}

// An aircraft waiting in the buffer with its reports.
AiAircraft& lf_waiting(const std::string& callsign, std::vector<PositionReport> reports,
                       const std::string& type = "A320") {
  AiAircraft& a = gf_live(type, callsign, {0.0, 0.0}, kStBuffer, kFsBirth);
  a.lat = a.lon = 0.0;
  a.stream.assign(reports.begin(), reports.end());
  return a;
}

Outcome lf_decide(AiAircraft& a) {
  const std::size_t before = a.stream.size();
  lf_spawnDecision(a);
  if (a.removedFromBuffer) return Outcome::kDrop;
  if (a.st == kStAdding2Sim) {
    return a.fs == kFsParked ? Outcome::kSpawnParked
           : a.fs == kFsBirth ? Outcome::kSpawnBirth
                              : Outcome::kSpawn;
  }
  return a.stream.size() < before ? Outcome::kSkip : Outcome::kWait;
}

// Two ground reports 200 m apart at 15 kt, the first due in dueIn steps.
std::vector<PositionReport> lf_taxiing(double northM, std::int64_t dueIn) {
  return {lf_rep(gf_at(0, northM), 15, dueIn), lf_rep(gf_at(0, northM + 200), 15, dueIn + 2000)};
}

// Two airborne reports flying east along the line northM north of the field.
std::vector<PositionReport> lf_flying(double eastM, double northM, double altFt) {
  return {lf_rep(gf_at(eastM, northM), 250, 0, altFt), lf_rep(gf_at(eastM + 500, northM), 250, 400, altFt)};
}

}  // namespace

TEST_F(EngineTest, SpawnDecisions) {
  g_parkAirportIcao = "EHAM";
  g_parkAirportPos = traffictest::kField;
  struct Case {
    const char* what;
    std::function<AiAircraft&()> setUp;
    Outcome outcome;
  };
  const Case cases[] = {
      {"moving on the ground, 301 steps early", []() -> AiAircraft& { return lf_waiting("W1", lf_taxiing(3000, 301)); }, Outcome::kWait},
      {"moving on the ground, 300 steps early", []() -> AiAircraft& { return lf_waiting("W2", lf_taxiing(3000, 300)); }, Outcome::kSpawn},
      {"airborne, 101 steps early", []() -> AiAircraft& { return lf_waiting("W3", {lf_rep(gf_at(0, 9000), 250, 101, 3000), lf_rep(gf_at(500, 9000), 250, 500, 3000)}); }, Outcome::kWait},
      {"a single report", []() -> AiAircraft& { return lf_waiting("W4", {lf_rep(gf_at(0, 3000), 15, 0)}); }, Outcome::kDrop},
      {"air and ground mixed", []() -> AiAircraft& { return lf_waiting("W5", {lf_rep(gf_at(0, 3000), 150, 0), lf_rep(gf_at(0, 3500), 150, 300, 200)}); }, Outcome::kSkip},
      {"within 150 m of the user on the ground", []() -> AiAircraft& { return lf_waiting("W6", lf_taxiing(120, 0)); }, Outcome::kSkip},
      {"blocked callsign", []() -> AiAircraft& {
         g_paramBlockCallsign.setValue("BLK123");
         return lf_waiting("BLK123", lf_taxiing(3000, 0));
       }, Outcome::kDrop},
      {"a longer callsign than the blocked one", []() -> AiAircraft& { return lf_waiting("BLK1234", lf_taxiing(3000, 0)); }, Outcome::kSpawn},
      {"a callsign the link could not send this run", []() -> AiAircraft& {
         g_refusedCallsigns = {"KLM1234567890"};
         return lf_waiting("KLM1234567890", lf_taxiing(3000, 0));
       }, Outcome::kDrop},
      {"removed ghost", []() -> AiAircraft& {
         g_ghostTexts.push_back("GHO1_");
         return lf_waiting("GHO1_", lf_taxiing(3000, 0));
       }, Outcome::kDrop},
      {"copy of a live callsign", []() -> AiAircraft& {
         gf_live("A320", "CPY1", gf_at(0, 3000), kStActive, kFsTaxi);
         return lf_waiting("CPY1_", lf_taxiing(3500, 0));
       }, Outcome::kDrop},
      {"copy of one being removed", []() -> AiAircraft& {
         gf_live("A320", "CPY2", gf_at(0, 3000), kStRemovingFromSim, kFsTaxi);
         return lf_waiting("CPY2_", lf_taxiing(3500, 0));
       }, Outcome::kSpawn},
      {"standing 30 m from a free stand", []() -> AiAircraft& {
         const LatLon at = gf_at(3000, 30);
         gf_addStand(gf_standAt("B7", 90.0, 3000, 30));
         return lf_waiting("PRK1", {lf_rep(at, 0, 0), lf_rep(at, 0, 500), lf_rep(at, 0, 900)});
       }, Outcome::kSpawnParked},
      {"standing on the reserved stand", []() -> AiAircraft& {
         const ParkPos& s = gf_addStand(gf_standAt("R1", 180.0, 3000, 30));
         g_reservedStand = "R1";
         return lf_waiting("RSV1", {lf_rep({s.lat, s.lon}, 0, 0), lf_rep({s.lat, s.lon}, 0, 500)});
       }, Outcome::kSpawnBirth},
      {"no livery", []() -> AiAircraft& { return lf_waiting("NOL1", lf_taxiing(3000, 0), "C56X"); }, Outcome::kDrop},
      {"no livery remembered", []() -> AiAircraft& { return lf_waiting("NOL1", lf_taxiing(3000, 0), "C56X"); }, Outcome::kDrop},
      {"eleven creations waiting, its next report not due", []() -> AiAircraft& {
         g_liveCreateWait.resize(1);
         g_liveToCreate.assign(10, 0);  // those still to be built count too
         return lf_waiting("BKL1", lf_taxiing(3000, 0));
       }, Outcome::kWait},
      {"eleven creations waiting, its next report nearly due", []() -> AiAircraft& {
         return lf_waiting("BKL2", {lf_rep(gf_at(0, 3000), 15, 0), lf_rep(gf_at(0, 3200), 15, 300)});
       }, Outcome::kSkip},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(lf_decide(c.setUp()), c.outcome);
  }
  EXPECT_EQ(g_noMatches.size(), 1u);

  // The born-parked aircraft: on its stand, one report, the stand held.
  ASSERT_EQ(gf_liveWithCallsign("PRK1").size(), 1u);
  const AiAircraft& parked = g_liveAc[gf_liveWithCallsign("PRK1")[0]];
  const ParkPos& b7 = *gf_findStandByName("B7");
  EXPECT_TRUE(parked.stream.size() == 1 && parked.lat == b7.lat && parked.lon == b7.lon);
  EXPECT_DOUBLE_EQ(parked.heading, b7.heading);
  EXPECT_TRUE(b7.liveOccupied);
}

// Around an airborne user: a ground aircraft waiting to respawn 1 nm ahead and 400 ft off the
// line is held back, at 600 ft it comes; an aircraft 5 nm away and 2000 ft above whose line of
// flight passes 3000 ft from the user is held back.
TEST_F(EngineTest, HeldBackFromAnAirborneUsersPath) {
  g_userOnGround = false;
  g_userAcSnapshot.altitudeAboveGround = 800.0;
  g_userAcSnapshot.altitude = 1000.0;
  g_userAcSnapshot.heading = 0.0;  // north
  constexpr double kNmM = 1852.0;
  constexpr double kFtM = 0.3048;
  for (const auto& [sideFt, outcome] : {std::pair{400.0, Outcome::kSkip}, std::pair{600.0, Outcome::kSpawn}}) {
    AiAircraft& a = lf_waiting("RSP" + std::to_string(static_cast<int>(sideFt)), lf_taxiing(kNmM, 0));
    const LatLon was = gf_at(sideFt * kFtM, kNmM);
    a.lat = was.lat;
    a.lon = was.lon;
    EXPECT_EQ(lf_decide(a), outcome) << sideFt;
  }
  AiAircraft& crossing = lf_waiting("FLY1", lf_flying(-5 * kNmM, 3000 * kFtM, 3000));
  EXPECT_EQ(lf_decide(crossing), Outcome::kSkip);
  EXPECT_TRUE(crossing.heldBack);
}

// MAX_LIVE 10 with 9 active and one being created (its request already with the simulator link):
// a newcomer 20 nm away takes the place of the one 30 nm away, once that one has left the
// simulator; one 29.95 nm away is dropped, and so is one with no livery. A registration in the
// database gives the airline (its operator first) and the type.
TEST_F(EngineTest, MaxLiveAndDatabaseIdentity) {
  constexpr double kNmM = 1852.0;
  for (int k = 0; k < 9; ++k) {
    gf_live("A320", "ACT" + std::to_string(k), gf_at(0, (k == 8 ? 30.0 : 5.0 + k) * kNmM), kStActive,
            kFsFlying, 5000);
  }
  gf_live("A320", "ADD1", gf_at(0, 4 * kNmM), kStAdding2Sim, kFsFlying, 5000);
  g_paramMaxLive.setValue(10);
  AiAircraft& near = lf_waiting("NEW1", lf_flying(0, 20 * kNmM, 5000));
  near.registration = "PH-MCP";  // MPH's B744 operated by KLC, a freighter
  EXPECT_EQ(lf_decide(near), Outcome::kWait);
  EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{109}));
  EXPECT_EQ(lf_decide(near), Outcome::kWait);  // no second removal while the first is under way
  EXPECT_EQ(g_removeWait.size(), 1u);
  g_liveAc.erase(g_liveAc.begin() + 8);  // the simulator reports ACT8 removed
  gf_recordsReordered();
  AiAircraft& in = *gf_liveByKey(near.key);
  EXPECT_EQ(lf_decide(in), Outcome::kSpawn);
  EXPECT_TRUE(in.airline == "KLC" && in.type == "B744" && in.cargo);
  AiAircraft& far = lf_waiting("NEW2", lf_flying(0, 29.95 * kNmM, 5000));
  EXPECT_EQ(lf_decide(far), Outcome::kDrop);
  // One without a livery is dropped without taking the place of one 12 nm away.
  AiAircraft& bare = lf_waiting("NOL2", lf_flying(0, 10 * kNmM, 5000), "C56X");
  EXPECT_EQ(lf_decide(bare), Outcome::kDrop);
  EXPECT_EQ(g_removeWait.size(), 1u);
}
