// Timed scenario events and faults as a client sees them: FlightLoaded, PositionChanged, the
// Sim state, Quit, stalled frames and a dropped connection.
#include <gtest/gtest.h>

#include "simlink/simconnect_test_helpers.h"
#include "tools/p3d_standin_test_support.h"

using standintest::Packet;
using standintest::RawClient;
using standintest::u32At;

namespace {

constexpr std::uint32_t kEvent = 4, kFilename = 6, kFrame = 7, kQuit = 3;

std::unique_ptr<p3d::P3dStandin> lf_start(const nlohmann::json& scenario) {
  return simtest::gf_startStandin(scenario, "", 100);
}

// Opens and subscribes to the system events the program uses.
void lf_subscribe(RawClient& c) {
  c.send(standintest::openPacket());
  ASSERT_EQ(c.next(2).size(), 308u);
  const std::pair<std::uint32_t, const char*> events[] = {
      {201, "Sim"}, {205, "PositionChanged"}, {206, "FlightLoaded"}, {204, "Frame"}};
  std::uint32_t id = 2;
  for (const auto& [ev, name] : events) {
    c.send(Packet(0x17, id++).u32(ev).text(name, 256).bytes());
  }
}

TEST(StandinEvents, ScenarioEventsArriveInOrder) {
  auto standin = lf_start(nlohmann::json::parse(R"({"events": [
      {"at": 0.10, "type": "flight_loaded", "file": "Flights\\EHAM.fxml"},
      {"at": 0.20, "type": "position_changed"},
      {"at": 0.30, "type": "sim_stop"},
      {"at": 0.40, "type": "quit"}]})"));
  RawClient c(standin->port());
  lf_subscribe(c);
  const auto sim = c.next(kEvent);
  EXPECT_EQ(u32At(sim, 16), 201u);
  EXPECT_EQ(u32At(sim, 20), 1u);
  const auto file = c.next(kFilename);
  ASSERT_EQ(file.size(), 288u);
  EXPECT_EQ(u32At(file, 16), 206u);
  EXPECT_STREQ(reinterpret_cast<const char*>(file.data() + 24), "Flights\\EHAM.fxml");
  const auto moved = c.next(kEvent);
  EXPECT_EQ(u32At(moved, 16), 205u);
  const auto stopped = c.next(kEvent);
  EXPECT_EQ(u32At(stopped, 16), 201u);
  EXPECT_EQ(u32At(stopped, 20), 0u);
  EXPECT_EQ(c.next(kQuit).size(), 12u);
}

TEST(StandinEvents, StallHoldsFramesAndDropEndsTheConnection) {
  auto standin = lf_start(nlohmann::json::parse(
      R"({"faults": {"stall": [{"at": 0.2, "for": 0.5}], "drop_at": 1.0}})"));
  RawClient c(standin->port());
  const auto start = std::chrono::steady_clock::now();
  lf_subscribe(c);
  std::vector<double> frameTimes;
  for (;;) {
    const auto m = c.next(kFrame, 3);
    if (m.empty()) break;
    frameTimes.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  EXPECT_TRUE(c.closedByPeer());
  ASSERT_GT(frameTimes.size(), 10u);
  double longestGap = 0;
  for (std::size_t i = 1; i < frameTimes.size(); ++i) {
    longestGap = std::max(longestGap, frameTimes[i] - frameTimes[i - 1]);
  }
  EXPECT_GT(longestGap, 0.4) << "the stall";
  EXPECT_LT(frameTimes.back(), 1.5) << "the drop";
}

TEST(StandinEvents, InProcessTriggersReachSubscribers) {
  auto standin = lf_start(nlohmann::json::object());
  RawClient c(standin->port());
  lf_subscribe(c);
  ASSERT_FALSE(c.next(kEvent).empty());
  ASSERT_TRUE(p3d::P3dStandin::waitUntil(
      [&] { return standin->requestCount(p3d::RequestKind::SubscribeToSystemEvent) == 4; }, 5));
  standin->sendFlightLoaded("other.fxml");
  EXPECT_EQ(u32At(c.next(kFilename), 16), 206u);
  standin->setSimRunning(false);
  EXPECT_EQ(u32At(c.next(kEvent), 20), 0u);
  standin->sendQuit();
  EXPECT_EQ(c.next(kQuit).size(), 12u);
}

}  // namespace
