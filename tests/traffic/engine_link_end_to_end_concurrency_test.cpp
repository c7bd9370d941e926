// The engine's records through the simulator link and the stand-in: creation and identification,
// the parked state's events, removals asked twice, records that never reach the simulator, a
// title the create packet cannot carry and a creation outside the radius the range replies ask.
#include <algorithm>
#include <mutex>

#include "engine_test_support.h"
#include "foundation/parameters.h"
#include "foundation/worker_thread.h"
#include "liveries/match_summary.h"
#include "simlink/simlink_test_helpers.h"
#include "traffic_test_support.h"

using p3d::RequestKind;
using namespace traffictest;

namespace {

class EngineLinkTest : public linktest::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    gf_markWorkerThread();
    gf_resetEngine();
    gf_useTrafficDatabase();
    g_paramRandom.setValue(false);
    gf_setSimLinkHooks({&gf_standNameAt, nullptr});  // the engine's lookup serves the link
  }
  void TearDown() override {
    worker.stop();
    if (standin) standin->stop();
    gf_resetEngine();
    LinkTest::TearDown();
  }
  // Collects notices (asking for the aircraft in range) until one passes the test.
  std::uint32_t waitFor(const std::function<bool(const SimObjectNotice&)>& test) {
    std::uint32_t id = 0;
    linktest::gf_waitUntil([&] {
      {
        std::lock_guard lock(g_simMutex);
        SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange,
                                              kDefAcInRange, 20000,
                                              SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      for (const SimObjectNotice& n : takeNotices()) notices.push_back(n);
      const auto found = std::find_if(notices.begin(), notices.end(), test);
      id = found == notices.end() ? 0 : found->objectId;
      return id != 0;
    });
    return id;
  }
  static CreateAcRequest request(const char* callsign, std::uint32_t tag, double lon) {
    return {52.3090, lon, 0.0, 0.0, 0.0, 90.0, 1, 0, callsign, "Stand-in A320 KLM", tag};
  }

  std::unique_ptr<p3d::P3dStandin> standin;
  linktest::TestWorker worker;
  std::vector<SimObjectNotice> notices;
};

}  // namespace

TEST_F(EngineLinkTest, CreateParkAndRemoveTwice) {
  standin = simtest::gf_startStandin(linktest::gf_parkedScenario());
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  gf_addStand(ParkPos("A12", {}, {52.3086, 4.7639, 0.0}, 20.0, 1, 1, 1));
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  EXPECT_EQ(g_userStandName, "A12");

  StaticAircraft parked(gf_head("B738", "TRA5*", "PH-BXA", 5), 1, {}, false);
  AiAircraft live(PositionReport{}, gf_head("A320", "KLM123", "PH-EZA", 10001), 0.0);
  StaticAircraft buffered(gf_head("B738", "TRA6*", "", 6), 0, {}, false);
  AiAircraft withdrawn(PositionReport{}, gf_head("A320", "KLM9", "", 10009), 0.0);
  g_staticCreateWait = {request("TRA5*", 5, 4.7650)};
  g_liveCreateWait = {request("KLM123", 10001, 4.7660), request("KLM9", 10009, 4.7670)};
  parked.st = live.st = withdrawn.st = kStAdding2Sim;
  removeAircraftFromSim(buffered);
  removeAircraftFromSim(withdrawn);
  for (auto* wait : {&g_liveCreateWait, &g_staticCreateWait}) {
    for (const CreateAcRequest& r : *wait) gf_queueCreateAc(r);
  }
  live.objectId = waitFor([](const auto& n) { return n.kind == kNoticeLiveIdentified; });
  parked.objectId = waitFor([](const auto& n) { return n.kind == kNoticeStaticIdentified; });
  ASSERT_TRUE(live.objectId != 0 && parked.objectId != 0);
  parked.st = live.st = kStActive;
  setParkedState(parked);
  setParkedState(live);
  for (int k = 0; k < 2; ++k) {
    removeAircraftFromSim(parked);
    removeAircraftFromSim(live);
  }
  ASSERT_EQ(g_removeWait.size(), 2u);
  for (int step = 1; !g_removeWait.empty(); ++step) {  // one id per 10 engine steps
    if (step % 10 == 0) {
      std::lock_guard lock(g_simMutex);
      g_removeQueue.push_back(g_removeWait.front());
      g_removeWait.pop_front();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (const std::uint32_t id : {parked.objectId, live.objectId}) {
    EXPECT_EQ(waitFor([id](const auto& n) { return n.kind == kNoticeObjectRemoved && n.objectId == id; }),
              id);
  }
  EXPECT_EQ(standin->requestCount(RequestKind::AIRemoveObject), 2u);
  EXPECT_EQ(standin->requestCount(RequestKind::AICreateNonATCAircraft), 2u);
  EXPECT_TRUE(standin->exceptions().empty() && standin->aiObjects().empty());

  // The parked state's ten events in the order the simulator got them (freeze events left out).
  for (const std::uint32_t id : {parked.objectId, live.objectId}) {
    std::vector<std::uint32_t> events;
    for (const p3d::RecordedRequest& r : standin->requests()) {
      const auto& u = r.request.u;
      if (r.request.kind == RequestKind::TransmitClientEvent && u[0] == id &&
          (u[1] < kEventFreezeLatLonSet || u[1] > kEventFreezeAttitudeSet)) {
        events.push_back(u[1]);
      }
    }
    EXPECT_EQ(events, (std::vector<std::uint32_t>{223, 218, 222, 208, 207, 211, 209, 210, 213, 212}));
  }
}

// A livery title too long for the create packet (a user's aircraft.cfg) drops its aircraft and
// bars the title; a callsign too long for a tail number drops its aircraft and bars the callsign,
// not the title; the run goes on. An aircraft whose creation went out just before the radius
// shrank below its distance leaves adding2sim all the same and becomes active.
TEST_F(EngineLinkTest, LongTitleAndCreationBeyondTheRadius) {
  standin = simtest::gf_startStandin(linktest::gf_parkedScenario());
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  g_failedLiveries.clear();
  static const std::string kLongTitle(300, 'L');
  const LatLon far{52.3086 + 20.0 / 60.0, 4.7639};  // 20 nm north of the user
  AiAircraft& refused =
      enginetest::gf_live("A320", "KLM300", {52.309, 4.7645}, kStAdding2Sim, kFsTaxi);
  refused.livery = kLongTitle;
  const std::uint32_t refusedKey = refused.key;
  const std::uint32_t key =
      enginetest::gf_live("A320", "KLM301", far, kStAdding2Sim, kFsFlying, 3000.0).key;
  // 12 characters: one more than a tail number takes.
  AiAircraft& tooLong =
      enginetest::gf_live("A320", "KLM302-TAIL1", {52.3095, 4.7645}, kStAdding2Sim, kFsTaxi);
  tooLong.livery = "Stand-in A320 KLM";
  const std::uint32_t tooLongKey = tooLong.key;
  gf_queueCreateAc({52.309, 4.7645, 0, 0, 0, 90, 1, 0, "KLM300", kLongTitle, refusedKey});
  gf_queueCreateAc(
      {52.3095, 4.7645, 0, 0, 0, 90, 1, 0, "KLM302-TAIL1", "Stand-in A320 KLM", tooLongKey});
  gf_queueCreateAc({far.lat, far.lon, 3000, 0, 0, 180, 0, 250, "KLM301", "Stand-in A320", key});
  ASSERT_TRUE(linktest::gf_waitUntil([&] {
    {  // the range asked within 10 nm, as the engine asks it
      std::lock_guard lock(g_simMutex);
      SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange, kDefAcInRange,
                                            18520, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
    }
    for (int step = 0; step < 20; ++step) gf_processSimObjectNotices();
    const AiAircraft* a = gf_liveByKey(key);
    return a != nullptr && a->st == kStActive;
  }));
  EXPECT_EQ(gf_liveByKey(refusedKey), nullptr);
  EXPECT_TRUE(gf_isFailedLivery(kLongTitle));
  EXPECT_EQ(gf_liveByKey(tooLongKey), nullptr);
  EXPECT_FALSE(gf_isFailedLivery("Stand-in A320 KLM")) << "the callsign is to blame, not the title";
  EXPECT_EQ(g_failedLiveries.size(), 1u);
  EXPECT_FALSE(g_stopRequested.load() || g_simRequestError.load());
  g_failedLiveries.clear();
}
