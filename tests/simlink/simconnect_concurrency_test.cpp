// Several threads build packets on one connection while another dispatches: packets never
// interleave, every send id is used once, and the stand-in's strict decoder accepts them all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "simlink/simconnect_test_helpers.h"

namespace {

TEST(SimConnectConcurrency, PacketsFromManyThreadsStayWhole) {
  simtest::SimConnectEnvironment env;
  auto standin = simtest::gf_startStandin(
      {{"user", {{"path", {{{"t", 0}, {"lat", 40.64}, {"lon", -73.78}}}}}}}, "", 200);
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  HANDLE h = simtest::gf_openClient();
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(simtest::gf_sendSetupPackets(h), 73);

  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::atomic<bool> stop{false};
  std::vector<simtest::Received> got;
  std::thread dispatcher([&] {
    simtest::gf_dispatchUntil(h, got, [&](const auto&) { return stop.load(); }, 60);
  });
  std::vector<std::thread> senders;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      simtest::PositionRecord r{40.64, -73.78, 0, 0, 1.0, 100.0 + t, 0, 0};
      for (int i = 0; i < kPerThread; ++i) {
        HRESULT hr = S_OK;
        switch (i % 3) {
          case 0: hr = SimConnect_SetDataOnSimObject(h, 402, 0, 0, 0, 64, &r); break;
          case 1: hr = SimConnect_TransmitClientEvent(h, 0, 208, i & 1, 301, 0); break;
          default:
            hr = SimConnect_RequestDataOnSimObject(h, 109, 403, 0, SIMCONNECT_PERIOD_ONCE, 0, 0,
                                                   0, 0);
            break;
        }
        if (hr != S_OK) failures.fetch_add(1);
      }
    });
  }
  for (auto& s : senders) s.join();
  const std::size_t expected = 1 + 73 + kThreads * kPerThread;
  EXPECT_TRUE(p3d::P3dStandin::waitUntil(
      [&] { return standin->requests().size() == expected; }, 20));
  stop.store(true);
  dispatcher.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_TRUE(standin->violations().empty())
      << (standin->violations().empty() ? "" : standin->violations()[0]);
  EXPECT_TRUE(standin->exceptions().empty());
  std::set<std::uint32_t> ids;
  for (const auto& r : standin->requests()) ids.insert(r.request.sendId);
  EXPECT_EQ(ids.size(), expected);
  EXPECT_EQ(*ids.rbegin(), expected);
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

// When the simulator goes away while other threads call the API, the first failure any of them
// sees is already the stored transport error, never a bare E_FAIL.
TEST(SimConnectConcurrency, FirstFailureSeenIsTheStoredTransportError) {
  simtest::SimConnectEnvironment env;
  constexpr int kRounds = 8;
  for (int round = 0; round < kRounds; ++round) {
    simtest::RawPeer peer;
    env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(peer.port()));
    HANDLE h = simtest::gf_openClient();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(peer.accept(5));
    std::atomic<bool> done{false};
    std::atomic<std::uint32_t> dispatchSaw{0};
    std::atomic<std::uint32_t> requestSaw{0};
    std::thread dispatcher([&] {
      while (!done.load()) {
        const HRESULT hr = SimConnect_CallDispatch(h, nullptr, nullptr);
        if (hr != S_OK) {
          dispatchSaw = static_cast<std::uint32_t>(hr);
          return;
        }
      }
    });
    std::thread requester([&] {
      while (!done.load()) {
        const HRESULT hr = SimConnect_TransmitClientEvent(h, 0, 208, 1, 301, 0);
        if (hr != S_OK) {
          requestSaw = static_cast<std::uint32_t>(hr);
          return;
        }
      }
    });
    peer.closeClient();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((dispatchSaw.load() == 0 || requestSaw.load() == 0) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    done = true;
    dispatcher.join();
    requester.join();
    EXPECT_EQ(dispatchSaw.load() & 0xFFFF0000u, 0x80070000u) << std::hex << dispatchSaw.load();
    EXPECT_EQ(requestSaw.load() & 0xFFFF0000u, 0x80070000u) << std::hex << requestSaw.load();
    EXPECT_EQ(SimConnect_Close(h), S_OK);
  }
}

}  // namespace
