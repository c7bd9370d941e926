// The simulator link's notices: identification and the activation two seconds later, static
// CG, ground contact, removals (with the livery respawn and flight plans), blocks and refused
// creations.
#include <filesystem>

#include "engine_test_support.h"
#include "foundation/errors.h"
#include "liveries/match_summary.h"

using namespace enginetest;
using p3d::RequestKind;
using traffictest::gf_addStand;
using traffictest::gf_standAt;

namespace {

class NoticesTest : public EngineTest {
 protected:
  static void post(SimObjectNotice n) {
    gf_postSimObjectNotice(n);
    gf_processSimObjectNotices();
  }
  // Light toggles sent to the object so far.
  std::size_t toggles(std::uint32_t objectId) {
    requests(RequestKind::TransmitClientEvent);
    std::size_t n = 0;
    for (const p3d::RecordedRequest& r : standin->requests()) {
      if (r.request.kind == RequestKind::TransmitClientEvent && r.request.u.at(0) == objectId &&
          r.request.u.at(1) == kEventAllLightsToggle) {
        ++n;
      }
    }
    return n;
  }
};

std::vector<std::uint32_t> lf_ids(const std::vector<ClientEventRequest>& events) {
  std::vector<std::uint32_t> out;
  for (const ClientEventRequest& e : events) out.push_back(e.eventId * 100000 + e.data);
  return out;
}

constexpr std::uint32_t E(std::uint32_t id, std::uint32_t data) { return id * 100000 + data; }

}  // namespace

// Identified at the first step, lights toggled at the 50th and 100th, active on the 201st with the lights,
// engines, spoilers, throttle and flaps of its situation; ids up to 2 are refused.
TEST_F(NoticesTest, ActivationTwoSecondsAfterIdentification) {
  g_paramNavLightsWhileParked.setValue(false);
  struct Case {
    const char* what;
    std::uint32_t fs;
    double alt, agl;
    std::vector<std::uint32_t> events;
  };
  const Case cases[] = {
      {"cruise", kFsFlying, 12000, 11000,
       {E(221, 0), E(219, 0), E(208, 1), E(207, 1), E(211, 0), E(209, 0), E(210, 1), E(213, 0), E(212, 1)}},
      {"taxi", kFsTaxi, 0, 0,
       {E(219, 0), E(221, 0), E(208, 1), E(207, 1), E(211, 0), E(209, 1), E(210, 0), E(213, 1), E(212, 1),
        E(223, 0), E(218, 3072)}},
      {"parked", kFsParked, 0, 0,
       {E(219, 0), E(222, 0), E(208, 0), E(207, 0), E(211, 0), E(209, 0), E(210, 0), E(213, 1), E(212, 1),
        E(223, 0), E(218, 0)}},
  };
  std::uint32_t id = 120;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AiAircraft& a = gf_live("A320", c.what, gf_at(0, 0), kStAdding2Sim, c.fs, c.alt);
    const std::uint32_t key = a.key;
    post({2, key, 0, kNoticeLiveIdentified, 0, c.agl});
    EXPECT_TRUE(g_lightToggles.empty());
    post({++id, key, 0, kNoticeLiveIdentified, 0, c.agl});  // the first step
    for (int call = 2; call <= 200; ++call) {
      gf_processSimObjectNotices();
      if (call == 49 || call == 50 || call == 100) {
        EXPECT_EQ(toggles(id), call == 49 ? 0u : call / 50u);
      }
    }
    events();
    EXPECT_EQ(gf_liveByKey(key)->st, kStAdding2Sim);
    gf_processSimObjectNotices();
    EXPECT_EQ(gf_liveByKey(key)->st, kStActive);
    EXPECT_EQ(lf_ids(events()), c.events);
    EXPECT_TRUE(g_lightToggles.empty());
  }
  EXPECT_EQ(requests(RequestKind::RequestDataOnSimObject), 3u);  // one static CG request each
}

// Static CG heights outside 1..35 ft are refused with a line; implausible pitches become 0.7°.
TEST_F(NoticesTest, StaticCgLimits) {
  g_paramLog.setValue(true);
  AiAircraft& a = gf_live("A320", "CG1", gf_at(0, 0), kStActive, kFsTaxi);
  a.staticCgHeight = 7.0;
  const struct {
    double height, pitchDeg, storedHeight, groundPitchDeg;
  } cases[] = {{0.5, 0.5, 7.0, 0.5}, {40.0, 3.0, 7.0, 0.7}, {12.3, -1.0, 12.3, 0.7}, {12.0, 2.5, 12.0, 2.5}};
  for (const auto& c : cases) {
    post({a.objectId, 0, 0, kNoticeStaticCg, c.height, c.pitchDeg * kDegToRad});
    EXPECT_DOUBLE_EQ(a.staticCgHeight, c.storedHeight);
    EXPECT_NEAR(a.groundPitch, c.groundPitchDeg * kDegToRad, 1e-12);
  }
  EXPECT_TRUE(logged("static CG 0.5ft wrong?") && logged("static CG 40.0ft wrong?"));
}

// Removal notices: a respawning aircraft goes back to the buffer; another leaves with its
// flight plan, also when the plan cannot be deleted; the simulator's own removal of a
// parked aircraft frees its stand. Ground contact lands a flaring aircraft.
TEST_F(NoticesTest, RemovalsAndGroundContact) {
  g_flightPlanFolder = folder.path() / "orig_dest";
  std::filesystem::create_directories(g_flightPlanFolder / "102.pln" / "inside");  // undeletable
  std::ofstream(g_flightPlanFolder / "103.pln") << "plan";
  ParkPos& stand = gf_addStand(gf_standAt("A1", 0, 50, 30));
  AiAircraft& respawn = gf_live("A320", "RSP", gf_at(0, 0), kStLiveryRespawn, kFsTaxi);
  gf_live("A320", "PLN", gf_at(0, 0), kStRemovingFromSim, kFsTaxi).flightPlanSent = true;
  gf_live("A320", "GONE", gf_at(0, 0), kStRemovingFromSim, kFsTaxi).flightPlanSent = true;
  AiAircraft& parked = gf_live("A320", "PRK", {stand.lat, stand.lon}, kStActive, kFsParked);
  parked.standId = stand.number;
  stand.liveOccupied = true;
  const std::uint32_t respawnKey = respawn.key;
  for (std::uint32_t id : {101u, 102u, 103u, 104u}) post({id, 0, 0, kNoticeObjectRemoved, 0, 0});
  ASSERT_EQ(g_liveAc.size(), 1u);
  EXPECT_EQ(g_liveAc[0].key, respawnKey);
  EXPECT_TRUE(g_liveAc[0].st == kStBuffer && g_liveAc[0].objectId == 0 && g_liveAc[0].throttleStep == 5);
  EXPECT_FALSE(std::filesystem::exists(g_flightPlanFolder / "103.pln"));
  EXPECT_TRUE(logged("remove 102.pln"));
  EXPECT_FALSE(stand.liveOccupied);

  AiAircraft& landing = gf_live("A320", "LND", gf_at(0, 0), kStActive, kFsFlying, 420.0);
  landing.approach = true;
  landing.staticCgHeight = 8.0;
  g_fastRangeRequest = true;
  post({landing.objectId, 0, 0, kNoticeNearGround, 400.0, 20.0});
  EXPECT_FALSE(landing.onGround);
  EXPECT_DOUBLE_EQ(landing.heightAboveGround, 20.0);
  post({landing.objectId, 1, 0, kNoticeNearGround, 400.0, 8.0});
  EXPECT_TRUE(landing.onGround && landing.landingRoll);
  EXPECT_FALSE(g_fastRangeRequest);
  EXPECT_DOUBLE_EQ(landing.altitude, 408.0);
}

// Blocks, refused creations (a born-parked aircraft gives its stand back; a refused callsign is
// blocked; the 20th refused title ends the run) and a removal asked during the creation, carried
// out at the activation.
TEST_F(NoticesTest, BlocksRefusalsAndPendingRemovals) {
  AiAircraft& waiting = gf_live("A320", "BLK1", gf_at(0, 0), kStBuffer, kFsBirth);
  AiAircraft& flying = gf_live("A320", "BLK2", gf_at(0, 0), kStActive, kFsFlying, 3000);
  post({0, waiting.key, 0, kNoticeBlocked, 0, 0});
  post({0, flying.key, 0, kNoticeBlocked, 0, 0});
  EXPECT_TRUE(waiting.removedFromBuffer);
  EXPECT_EQ(flying.st, kStRemovingFromSim);
  EXPECT_TRUE(logged("will be removed from buffer while blocked") &&
              logged("removed from simulator immediately while blocked"));

  ParkPos& stand = gf_addStand(gf_standAt("A1", 0, 50, 30));
  AiAircraft& born = gf_live("A320", "BRN", {stand.lat, stand.lon}, kStAdding2Sim, kFsParked);
  born.standId = stand.number;
  stand.liveOccupied = true;
  post({0, born.key, 0, kNoticeCreateFailed, 0, 0});
  EXPECT_FALSE(stand.liveOccupied);
  EXPECT_EQ(gf_liveByKey(10003), nullptr);
  // A callsign too long for a tail number: the aircraft leaves and its callsign stays blocked.
  const std::uint32_t tooLong =
      gf_live("A320", "KLM1234567890", gf_at(0, 0), kStAdding2Sim, kFsTaxi).key;
  post({0, tooLong, 0, kNoticeCallsignRefused, 0, 0});
  EXPECT_EQ(gf_liveByKey(tooLong), nullptr);
  EXPECT_EQ(g_refusedCallsigns, std::set<std::string>{"KLM1234567890"});

  AiAircraft& pending = gf_live("A320", "PND", gf_at(0, 0), kStAdding2Sim, kFsTaxi);
  pending.removalPending = true;
  const std::uint32_t key = pending.key;
  post({140, key, 0, kNoticeLiveIdentified, 0, 0});
  for (int call = 0; call < 201; ++call) gf_processSimObjectNotices();
  EXPECT_EQ(gf_liveByKey(key)->st, kStRemovingFromSim);
  EXPECT_EQ(std::count(g_removeWait.begin(), g_removeWait.end(), 140u), 1);

  g_failedLiveries.clear();
  int thrown = 0;
  for (std::uint32_t k = 1; k <= 20; ++k) {
    StaticAircraft& s = gf_static("B738", "ST" + std::to_string(k), stand, kStAdding2Sim);
    s.key = k;
    s.livery = "Test B738 KLM";
    gf_recordsReordered();
    try {
      post({0, k, 0, kNoticeCreateFailed, 0, 0});
    } catch (const qvb::UserErrorException& e) {
      thrown = k;
      EXPECT_EQ(std::string(e.what()).substr(0, 3), "81:");
    }
  }
  EXPECT_EQ(thrown, 20);
  EXPECT_TRUE(g_staticAc.empty());
  EXPECT_TRUE(g_simNotices.empty());  // a notice that threw is not handled again
}
