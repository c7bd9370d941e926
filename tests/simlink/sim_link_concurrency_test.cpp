// The link under load against the stand-in at 120 frames a second: a fake engine swapping
// positions and queueing events at 100 Hz, navigation lights from a GUI thread, the user
// aircraft's samples copied out, and a thread that holds g_simMutex for a while.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include <fmt/format.h>

#include "foundation/run_state.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;
using p3d::RequestKind;

namespace {

constexpr int kObjects = 5;
constexpr auto kEngineStep = std::chrono::milliseconds(10);
constexpr auto kLoadTime = std::chrono::milliseconds(1500);
constexpr std::size_t kAltitudeOffset = 40;  // in the position record

class LinkUnderLoad : public LinkTest {
 protected:
  void TearDown() override {
    worker.stop();
    if (standin) standin->stop();
    LinkTest::TearDown();
  }

  // Creates the AI objects and waits until the range replies have identified all of them.
  std::vector<std::uint32_t> createObjects() {
    static const std::string kTitle = "Stand-in A320";
    for (int i = 0; i < kObjects; ++i) {
      gf_queueCreateAc({50.01 + i * 0.001, 8.0, 3000.0, 0, 0, 90, 0, 200,
                        fmt::format("T{}", i), kTitle, 10001u + i});
    }
    std::vector<std::uint32_t> ids(kObjects, 0);
    int found = 0;
    gf_waitUntil([&] {
      {
        std::lock_guard lock(g_simMutex);
        SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange,
                                              kDefAcInRange, 200000,
                                              SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      for (const SimObjectNotice& n : takeNotices()) {
        if (n.kind == kNoticeLiveIdentified) {
          ids.at(n.tag - 10001) = n.objectId;
          ++found;
        }
      }
      return found == kObjects;
    });
    return ids;
  }

  std::size_t count(RequestKind kind, std::uint32_t eventId = 0) const {
    std::size_t n = 0;
    for (const p3d::RecordedRequest& r : standin->requests()) {
      if (r.request.kind == kind && (eventId == 0 || r.request.u[1] == eventId)) ++n;
    }
    return n;
  }

  std::unique_ptr<p3d::P3dStandin> standin;
  TestWorker worker;
};

TEST_F(LinkUnderLoad, StepsArriveWholeAndNothingIsLostOrDoubled) {
  nlohmann::json scenario = gf_parkedScenario();
  scenario["user"]["path"] = {
      {{"t", 0}, {"lat", 50.0}, {"lon", 8.0}, {"alt_ft", 0}, {"on_ground", false}},
      {{"t", 600}, {"lat", 51.0}, {"lon", 9.0}, {"alt_ft", 6000}, {"on_ground", false}}};
  standin = simtest::gf_startStandin(scenario, "", 120);
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  const std::vector<std::uint32_t> ids = createObjects();
  ASSERT_EQ(std::count(ids.begin(), ids.end(), 0u), 0);
  ASSERT_TRUE(gf_waitUntil([&] {
    return count(RequestKind::TransmitClientEvent) == 3u * kObjects;  // the freezes
  }));
  const std::size_t transmitsBefore = count(RequestKind::TransmitClientEvent);

  std::atomic<bool> done{false};
  std::atomic<std::uint32_t> throttleEvents{0};
  std::atomic<std::uint32_t> navEvents{0};
  std::atomic<int> tornSamples{0};
  std::atomic<int> samples{0};
  std::jthread engine([&] {
    for (double step = 1; !done.load(); ++step) {
      g_posFillQueue->clear();
      for (const std::uint32_t id : ids) {
        g_posFillQueue->push_back({50.0, 8.0, 0, 0, 0, step, 0, step, id});
      }
      {
        std::lock_guard lock(g_simMutex);
        std::swap(g_posFillQueue, g_posQueue);
      }
      for (int i = 0; i < 2; ++i) {
        const std::uint32_t seq = throttleEvents.fetch_add(1);
        gf_queueClientEvent({ids[seq % kObjects], kEventThrottleSet, seq});
      }
      std::this_thread::sleep_for(kEngineStep);
    }
  });
  std::jthread gui([&] {
    for (std::uint32_t i = 0; !done.load(); ++i) {
      gf_queueNavLights(ids[i % kObjects], i % 2);
      navEvents.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
  });
  std::jthread sampler([&] {
    while (!done.load()) {
      const UserAcData d = gf_getUserAcData();
      ++samples;
      // Along the path longitude - latitude stays 8 - 50 and altitude 6000 ft per degree.
      if (d.latitude != 0.0 && (std::abs(d.longitude - d.latitude + 42.0) > 1e-9 ||
                                std::abs(d.altitude - 6000.0 * (d.latitude - 50.0)) > 1e-6)) {
        ++tornSamples;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  std::this_thread::sleep_for(kLoadTime / 3);
  {
    // Held for many frames: the pump skips them and sends what waited afterwards.
    std::lock_guard lock(g_simMutex);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::size_t sentWhileHeld =
        count(RequestKind::SetDataOnSimObject) + count(RequestKind::TransmitClientEvent);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(count(RequestKind::SetDataOnSimObject) + count(RequestKind::TransmitClientEvent),
              sentWhileHeld);
  }
  std::this_thread::sleep_for(kLoadTime * 2 / 3);
  done.store(true);
  engine.join();
  gui.join();
  sampler.join();

  ASSERT_TRUE(gf_waitUntil([&] {
    return count(RequestKind::TransmitClientEvent) ==
           transmitsBefore + throttleEvents.load() + navEvents.load();
  })) << "events lost";
  EXPECT_EQ(count(RequestKind::TransmitClientEvent, kEventNavLightsSet), navEvents.load());

  // Throttle events in queueing order, each once.
  std::uint32_t expectedSeq = 0;
  std::vector<double> stepsSent;
  for (const p3d::RecordedRequest& r : standin->requests()) {
    if (r.request.kind == RequestKind::TransmitClientEvent &&
        r.request.u[1] == kEventThrottleSet) {
      EXPECT_EQ(r.request.u[2], expectedSeq++);
    }
    if (r.request.kind == RequestKind::SetDataOnSimObject) {
      double altitude = 0;
      std::memcpy(&altitude, r.request.data.data() + kAltitudeOffset, sizeof altitude);
      stepsSent.push_back(altitude);
    }
  }
  // Positions go out a whole step at a time, steps in order.
  ASSERT_EQ(stepsSent.size() % kObjects, 0u);
  ASSERT_GT(stepsSent.size(), 10u * kObjects);
  for (std::size_t i = 0; i < stepsSent.size(); i += kObjects) {
    for (int k = 1; k < kObjects; ++k) {
      EXPECT_EQ(stepsSent[i + k], stepsSent[i]);
    }
    if (i > 0) {
      EXPECT_GT(stepsSent[i], stepsSent[i - kObjects]);
    }
  }
  EXPECT_GT(samples.load(), 50);
  EXPECT_EQ(tornSamples.load(), 0);
  EXPECT_TRUE(standin->violations().empty());
  EXPECT_FALSE(g_stopRequested.load());
}

}  // namespace
