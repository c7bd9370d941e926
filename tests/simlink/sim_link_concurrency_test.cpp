// The link under load against the stand-in at 120 frames a second: a fake engine swapping
// positions and queueing events at 100 Hz, navigation lights from a GUI thread, the user
// aircraft's samples copied out, and a thread that holds g_simMutex for a while. Also the
// pump's pass against the transport's writer thread: one write for the whole pass.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <condition_variable>

#include "simlink/simconnect/simconnect_connection.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;
using p3d::RequestKind;

namespace {

constexpr std::uint32_t kObjects = 5;

class LinkUnderLoad : public LinkTest {
 protected:
  void TearDown() override {
    worker.stop();
    LinkTest::TearDown();
  }
  std::size_t count(RequestKind kind, std::uint32_t eventId = 0) const {
    std::size_t n = 0;
    for (const p3d::RecordedRequest& r : standin->requests()) {
      n += r.request.kind == kind && (eventId == 0 || r.request.u[1] == eventId) ? 1 : 0;
    }
    return n;
  }
  std::unique_ptr<p3d::P3dStandin> standin;
  TestWorker worker;
};

TEST_F(LinkUnderLoad, StepsArriveWholeAndNothingIsLostOrDoubled) {
  static const std::string kTitle = "Stand-in A320";
  nlohmann::json scenario = gf_parkedScenario();
  scenario["user"]["path"] = {{{"t", 0}, {"lat", 50.0}, {"lon", 8.0}, {"alt_ft", 0}},
                              {{"t", 600}, {"lat", 51.0}, {"lon", 9.0}, {"alt_ft", 6000}}};
  standin = simtest::gf_startStandin(scenario, "", 120);
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  std::vector<std::uint32_t> ids(kObjects);
  for (std::uint32_t i = 0; i < kObjects; ++i) {
    gf_queueCreateAc(
        {50.01 + i * 0.001, 8.0, 3000, 0, 0, 90, 0, 200, fmt::format("T{}", i), kTitle, 10001 + i});
  }
  std::uint32_t identified = 0;
  ASSERT_TRUE(gf_waitUntil([&] {
    std::lock_guard lock(g_simMutex);
    SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange, kDefAcInRange,
                                          200000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
    for (const SimObjectNotice& n : takeNotices()) {
      if (n.kind != kNoticeLiveIdentified) continue;
      ids.at(n.tag - 10001) = n.objectId;
      ++identified;
    }
    return identified == kObjects;
  }));
  ASSERT_TRUE(
      gf_waitUntil([&] { return count(RequestKind::TransmitClientEvent) == 3 * kObjects; }));

  std::atomic<bool> done{false};
  std::atomic<std::uint32_t> throttles{0}, navs{0};
  std::atomic<int> samples{0}, torn{0};
  std::jthread engine([&] {
    for (double step = 1; !done.load(); ++step) {
      g_posFillQueue->clear();
      for (const std::uint32_t id : ids)
        g_posFillQueue->push_back({50, 8, 0, 0, 0, step, 0, 0, id});
      {
        std::lock_guard lock(g_simMutex);
        std::swap(g_posFillQueue, g_posQueue);
      }
      for (int i = 0; i < 2; ++i) {
        const std::uint32_t seq = throttles.fetch_add(1);
        gf_queueClientEvent({ids[seq % kObjects], kEventThrottleSet, seq});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  std::jthread gui([&] {
    for (std::uint32_t i = 0; !done.load(); ++i, ++navs) {
      gf_queueNavLights(ids[i % kObjects], i % 2);
      std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
  });
  std::jthread sampler([&] {
    while (!done.load()) {
      // Along the path longitude - latitude stays 8 - 50, and altitude is 6000 ft a degree.
      const UserAcData d = gf_getUserAcData();
      torn += d.latitude != 0 && (std::abs(d.longitude - d.latitude + 42.0) > 1e-9 ||
                                  std::abs(d.altitude - 6000.0 * (d.latitude - 50.0)) > 1e-6);
      ++samples;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  {
    // Held for many frames: the pump skips them and sends what waited afterwards.
    std::lock_guard lock(g_simMutex);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::size_t sent =
        count(RequestKind::SetDataOnSimObject) + count(RequestKind::TransmitClientEvent);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(count(RequestKind::SetDataOnSimObject) + count(RequestKind::TransmitClientEvent),
              sent);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  done.store(true);
  engine.join();
  gui.join();
  sampler.join();

  ASSERT_TRUE(gf_waitUntil([&] {
    return count(RequestKind::TransmitClientEvent) == 3 * kObjects + throttles + navs;
  })) << "events lost";
  EXPECT_EQ(count(RequestKind::TransmitClientEvent, kEventNavLightsSet), navs.load());
  std::uint32_t nextSeq = 0;
  std::vector<double> steps;  // the step of each position sent, carried as its altitude
  for (const p3d::RecordedRequest& r : standin->requests()) {
    if (r.request.kind == RequestKind::TransmitClientEvent && r.request.u[1] == kEventThrottleSet) {
      EXPECT_EQ(r.request.u[2], nextSeq++) << "in queueing order, each once";
    } else if (r.request.kind == RequestKind::SetDataOnSimObject) {
      steps.push_back(0);
      std::memcpy(&steps.back(), r.request.data.data() + offsetof(AcPositionUpdate, altitude), 8);
    }
  }
  // Positions go out a whole step at a time, steps in order.
  ASSERT_TRUE(steps.size() % kObjects == 0 && steps.size() > 10 * kObjects) << steps.size();
  for (std::size_t i = 1; i < steps.size(); ++i) {
    EXPECT_TRUE(i % kObjects == 0 ? steps[i] > steps[i - 1] : steps[i] == steps[i - 1]) << i;
  }
  EXPECT_GT(samples.load(), 50);
  EXPECT_EQ(torn.load(), 0);
  EXPECT_TRUE(standin->violations().empty());
  EXPECT_FALSE(g_stopRequested.load());
}

// The simulator's end of a transport: records the parts of each write.
class RecordingEndpoint : public simconnect::StreamEndpoint {
 public:
  long readSome(std::uint8_t*, std::size_t, DWORD&) override {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_shut; });
    return 0;
  }
  bool writeGathered(std::span<const simconnect::ByteSpan> parts, DWORD&) override {
    std::lock_guard lock(m_mutex);
    m_writes.push_back(parts.size());
    for (const simconnect::ByteSpan part : parts) m_bytes += part.size();
    m_changed.notify_all();
    return true;
  }
  void shutdownBoth() override {
    std::lock_guard lock(m_mutex);
    m_shut = true;
    m_changed.notify_all();
  }
  void closeHandle() override {}
  DWORD endOfStreamError() const override { return 0; }

  // The parts of each write, once n bytes in all have been written.
  std::vector<std::size_t> writesOf(std::size_t n) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_bytes >= n; });
    return m_writes;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::size_t> m_writes;  // parts per write
  std::size_t m_bytes = 0;
  bool m_shut = false;
};

using PumpWrites = LinkTest;

// A pass of the pump leaves in one write, though the writer thread waits for packets all along
// (a long pass: it would wake during it): with Nagle's algorithm on, a second write would wait
// for the simulator's acknowledgement of the first.
TEST_F(PumpWrites, APassLeavesInOneWrite) {
  simconnect::SimConnectConnection connection(nullptr, 0, nullptr);
  auto endpoint = std::make_unique<RecordingEndpoint>();
  RecordingEndpoint& simulator = *endpoint;
  connection.setup(std::move(endpoint), simconnect::TransportKind::Socket, 41088, false);
  ASSERT_TRUE(connection.open());
  {
    std::lock_guard lock(simconnect::g_simConnectPacketMutex);
    simconnect::g_simConnectConnections.push_back(&connection);
  }
  g_hSimConnect.store(&connection);
  SimConnect_AIReleaseControl(&connection, 101, kRequestReleaseControl);
  ASSERT_EQ(simulator.writesOf(24), std::vector<std::size_t>{1}) << "the writer is up";
  {
    std::lock_guard lock(g_simMutex);
    for (std::uint32_t id = 101; id <= 2100; ++id) {
      g_posQueue->push_back({52.3, 4.7, 0, 0, 0, 100, 0, 140, id});
    }
    for (std::uint32_t id = 101; id <= 150; ++id) {
      g_eventQueue.push_back({id, kEventNavLightsSet, 1});
    }
  }
  lf_processSimQueues();
  constexpr std::size_t kPassBytes = 2000 * 100 + 50 * 36;  // SetData and TransmitClientEvent
  EXPECT_EQ(simulator.writesOf(24 + kPassBytes), (std::vector<std::size_t>{1, 2050}));
  g_hSimConnect.store(nullptr);
  {
    std::lock_guard lock(simconnect::g_simConnectPacketMutex);
    std::erase(simconnect::g_simConnectConnections, &connection);
  }
  connection.close(false, S_OK);
}

}  // namespace
