// The engine's records through the simulator link and the simulator stand-in: creation and
// identification, the parked state's events, removals asked twice, and records that never reach
// the simulator.
#include <algorithm>
#include <fstream>
#include <mutex>

#include <nlohmann/json.hpp>

#include "foundation/parameters.h"
#include "foundation/worker_thread.h"
#include "simlink/simlink_test_helpers.h"
#include "traffic_test_support.h"

using p3d::RequestKind;

namespace {

constexpr std::uint32_t kRangeMetres = 20000;
const std::string kTitle = "Stand-in A320 KLM";

class EngineLinkTest : public linktest::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    gf_markWorkerThread();
    traffictest::gf_resetEngine();
    traffictest::gf_useTrafficDatabase();
    g_paramRandom.setValue(false);
    gf_setSimLinkHooks({&gf_standNameAt, nullptr});  // the engine's lookup serves the link
  }
  void TearDown() override {
    worker.stop();
    if (standin) standin->stop();
    traffictest::gf_resetEngine();
    LinkTest::TearDown();
  }

  // Asks for the aircraft in range until an identification notice with the tag has arrived;
  // its object id. Every notice is kept.
  std::uint32_t identified(std::uint32_t tag) {
    const auto find = [&] {
      for (const SimObjectNotice& n : notices) {
        if (n.kind <= kNoticeStaticIdentified && n.tag == tag) return n.objectId;
      }
      return 0u;
    };
    linktest::gf_waitUntil([&] {
      {
        std::lock_guard lock(g_simMutex);
        SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange,
                                              kDefAcInRange, kRangeMetres,
                                              SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      for (const SimObjectNotice& n : takeNotices()) notices.push_back(n);
      return find() != 0;
    });
    return find();
  }
  std::size_t removals() const {
    return std::count_if(notices.begin(), notices.end(),
                         [](const SimObjectNotice& n) { return n.kind == kNoticeObjectRemoved; });
  }
  CreateAcRequest request(const char* callsign, std::uint32_t tag, double lon) const {
    return {52.3090, lon, 0.0, 0.0, 0.0, 90.0, 1, 0, callsign, kTitle, tag};
  }

  std::unique_ptr<p3d::P3dStandin> standin;
  linktest::TestWorker worker;
  std::vector<SimObjectNotice> notices;
};

}  // namespace

TEST_F(EngineLinkTest, CreateParkAndRemoveTwice) {
  const std::filesystem::path trace = env.root() / "trace.jsonl";
  standin = simtest::gf_startStandin(linktest::gf_parkedScenario(), "", 60, trace.string());
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  traffictest::gf_addStand(ParkPos("A12", {}, {52.3086, 4.7639, 0.0}, 20.0, 1, 1, 1));
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  EXPECT_EQ(g_userStandName, "A12");

  StaticAircraft parked(traffictest::gf_head("B738", "TRA5*", "PH-BXA", 5), 1, {}, false);
  AiAircraft live(PositionReport{}, traffictest::gf_head("A320", "KLM123", "PH-EZA", 10001), 0.0);
  StaticAircraft buffered(traffictest::gf_head("B738", "TRA6*", "", 6), 0, {}, false);
  AiAircraft withdrawn(PositionReport{}, traffictest::gf_head("A320", "KLM9", "", 10009), 0.0);
  g_staticCreateWait.push_back(request("TRA5*", 5, 4.7650));
  g_liveCreateWait.push_back(request("KLM123", 10001, 4.7660));
  g_liveCreateWait.push_back(request("KLM9", 10009, 4.7670));
  parked.st = live.st = withdrawn.st = kStAdding2Sim;
  removeAircraftFromSim(buffered);
  removeAircraftFromSim(withdrawn);
  EXPECT_TRUE(buffered.removedFromBuffer && withdrawn.eraseMe);
  for (auto* wait : {&g_liveCreateWait, &g_staticCreateWait}) {
    for (const CreateAcRequest& r : *wait) gf_queueCreateAc(r);
    wait->clear();
  }
  live.objectId = identified(10001);
  parked.objectId = identified(5);
  ASSERT_NE(live.objectId, 0u);
  ASSERT_NE(parked.objectId, 0u);
  parked.st = live.st = kStActive;

  setParkedState(parked);
  setParkedState(live);
  for (int k = 0; k < 2; ++k) {
    removeAircraftFromSim(parked);
    removeAircraftFromSim(live);
  }
  ASSERT_EQ(g_removeWait.size(), 2u);
  // One id handed to the link per 10 engine steps.
  for (int step = 1; !g_removeWait.empty(); ++step) {
    if (step % 10 == 0) {
      std::lock_guard lock(g_simMutex);
      g_removeQueue.push_back(g_removeWait.front());
      g_removeWait.pop_front();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(linktest::gf_waitUntil([&] {
    for (const SimObjectNotice& n : takeNotices()) notices.push_back(n);
    return removals() >= 2;
  }));
  EXPECT_EQ(standin->requestCount(RequestKind::AIRemoveObject), 2u);
  EXPECT_EQ(standin->requestCount(RequestKind::AICreateNonATCAircraft), 2u);
  EXPECT_TRUE(standin->exceptions().empty());
  EXPECT_TRUE(standin->aiObjects().empty());
  worker.stop();
  standin->stop();

  // The parked state's ten events, in order, for each object.
  const std::vector<std::uint32_t> expected{223, 218, 222, 208, 207, 211, 209, 210, 213, 212};
  for (const std::uint32_t id : {parked.objectId, live.objectId}) {
    std::vector<std::uint32_t> events;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
      const auto j = nlohmann::json::parse(line);
      if (j.value("type", "") == "TransmitClientEvent" && j["object_id"] == id &&
          (j["event_id"] < kEventFreezeLatLonSet || j["event_id"] > kEventFreezeAttitudeSet)) {
        events.push_back(j["event_id"]);
      }
    }
    EXPECT_EQ(events, expected) << id;
  }
}
