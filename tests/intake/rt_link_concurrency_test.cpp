// The RealTraffic link end to end on loopback with the RealTraffic stand-in: version and
// edition, the position and time lines, traffic and weather through the readers, the loss and
// return of RealTraffic, a stop during the wait, and the close step.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>  // getpid; MinGW has it too

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "foundation/geometry.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "intake/intake_socket_helpers.h"
#include "intake/traffic_record_helpers.h"
#include "rt-standin/rt_standin.h"

using intake_test::Record;
using intake_test::waitUntil;

namespace {

const RtUserState kUser{0.05, -0.0123, 1.234567, 12345.0, 250.125, 51.0, 6.0};

std::vector<double> lf_numbers(const std::string& line) {
  std::vector<double> values;
  std::string_view rest = std::string_view(line).substr(line.find('=') + 1);
  while (!rest.empty()) {
    double value = 0.0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    EXPECT_EQ(ec, std::errc()) << line;
    values.push_back(value);
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    if (!rest.empty()) rest.remove_prefix(1);  // ';'
  }
  return values;
}

class RtLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_stopRequested = false;
    g_exitRequested = false;
    g_exitReason = 0;
    g_rtOnThisPc = true;
    g_rtConnected = false;
    g_rtNotConnectedYet = true;
    g_rtLamp = 0;
    lostCount = 0;
    gf_setRtLinkHooks({[] { return kUser; }, [this] { ++lostCount; }});
    options.serverPort = intake_test::freeTcpPort();
    options.version = "9.1.2";
    options.level = 2;
    startServer(std::to_string(options.serverPort));
  }
  void TearDown() override {
    gf_closeRealTrafficLink();
    g_stopRequested = false;
    g_rtOnThisPc = false;
  }

  // Connects the stand-in and runs the worker's run-start wait.
  void connectAndWait(rtstandin::Session& session) {
    ASSERT_TRUE(session.connect(5000));
    lf_waitForRealTraffic();
    ASSERT_TRUE(g_rtConnected.load());
  }

  rtstandin::Options options;
  std::atomic<int> lostCount{0};
};

}  // namespace

TEST_F(RtLinkTest, VersionEditionPositionAndTime) {
  rtstandin::Session session(options, nullptr);
  connectAndWait(session);
  EXPECT_TRUE(g_rtProfessional.load());
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::rtVersionText), "RT prof edition: 9.1.2");
  EXPECT_EQ(g_rtLamp.load(), 1);
  EXPECT_FALSE(g_rtNotConnectedYet.load());
  EXPECT_EQ(session.received().versionQueries.size(), 1u);

  lf_sendSimTime(0);  // no time yet: nothing sent
  lf_sendSimTime(1700000000);
  gf_sendUserPosition();
  ASSERT_TRUE(session.waitFor([](const auto& r) { return !r.positions.empty(); }, 5000));
  const auto received = session.received();
  ASSERT_EQ(received.simTimes.size(), 1u);
  EXPECT_EQ(received.simTimes[0], "Qs123=1700000000000");
  const auto values = lf_numbers(received.positions[0]);
  ASSERT_EQ(values.size(), 7u) << received.positions[0];
  EXPECT_NEAR(values[0], kUser.pitch * 100000, 1.0);
  EXPECT_NEAR(values[1], kUser.bank * 100000, 1.0);
  EXPECT_NEAR(values[2], kUser.trueHeading, 1e-6);
  EXPECT_NEAR(values[3], kUser.altitudeFt * 1000, 1.0);
  EXPECT_DOUBLE_EQ(values[4], kUser.groundSpeedKt * 1000);
  EXPECT_NEAR(values[5], kUser.latitude * kDegToRad, 1e-6);
  EXPECT_NEAR(values[6], kUser.longitude * kDegToRad, 1e-6);
}

TEST_F(RtLinkTest, PositionLineUsesFixedNotation) {
  EXPECT_EQ(gf_userPositionLine({0.05, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0}),
            "Qs121=5000;0;0.000000;0;0;0.000000;0.000000\r\n");
  EXPECT_EQ(gf_userPositionLine({0.0, 0.0, 0.0, 12345.0, 0.0, 0.0, 0.0}).substr(0, 24),
            "Qs121=0;0;0.000000;12345");
}

TEST_F(RtLinkTest, NothingSentFromTheParkedStart) {
  rtstandin::Session session(options, nullptr);
  connectAndWait(session);
  gf_setRtLinkHooks({[] { return RtUserState{0, 0, 0, 0, 0, 0.0005, 0.01}; }, [] {}});
  gf_sendUserPosition();
  gf_setRtLinkHooks({[] { return kUser; }, [] {}});
  gf_sendUserPosition();
  ASSERT_TRUE(session.waitFor([](const auto& r) { return !r.positions.empty(); }, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(session.received().positions.size(), 1u);
}

TEST_F(RtLinkTest, LostAndReturningRealTraffic) {
  rtstandin::Session session(options, nullptr);
  connectAndWait(session);
  session.disconnect();
  // The first sends may still land in the socket buffer; the loss shows within a few.
  for (int i = 0; i < 50 && g_rtConnected.load(); ++i) {
    gf_sendUserPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_FALSE(g_rtConnected.load());
  EXPECT_EQ(lostCount.load(), 1);
  EXPECT_EQ(g_rtLamp.load(), 0);

  rtstandin::Session again(options, nullptr);
  ASSERT_TRUE(again.connect(5000));
  gf_sendUserPosition();  // accepts the new connection
  ASSERT_TRUE(g_rtConnected.load());
  EXPECT_EQ(g_rtLamp.load(), 1);
  gf_sendUserPosition();
  ASSERT_TRUE(again.waitFor([](const auto& r) { return !r.positions.empty(); }, 5000));
  EXPECT_TRUE(again.received().versionQueries.empty());  // no second version query
}

// The position goes out from the tick: while RealTraffic is away the tick keeps going, and a
// connection that arrives meanwhile is taken by the next call.
TEST_F(RtLinkTest, TheTickKeepsGoingWhileRealTrafficIsAway) {
  rtstandin::Session session(options, nullptr);
  connectAndWait(session);
  session.disconnect();
  std::atomic<int> ticks{0};
  std::atomic<bool> quit{false};
  std::thread tick([&] {
    while (!quit.load()) {
      gf_sendUserPosition();
      ++ticks;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  ASSERT_TRUE(waitUntil([] { return !g_rtConnected.load(); }, std::chrono::seconds(5)));
  const int lostAt = ticks.load();
  // Nobody connects: the calls go on (a blocking accept would hold the tick at one call).
  const bool kept = waitUntil([&] { return ticks.load() >= lostAt + 50; }, std::chrono::seconds(30));
  if (!kept) g_stopRequested = true;  // a blocked wait ends on the stop
  EXPECT_TRUE(kept);
  EXPECT_EQ(lostCount.load(), 1);

  rtstandin::Session again(options, nullptr);
  ASSERT_TRUE(again.connect(5000));
  EXPECT_TRUE(waitUntil([] { return g_rtConnected.load(); }, std::chrono::seconds(5)));
  EXPECT_TRUE(again.waitFor([](const auto& r) { return !r.positions.empty(); }, 5000));
  quit = true;
  tick.join();
  EXPECT_EQ(g_rtLamp.load(), 1);
  EXPECT_TRUE(again.received().versionQueries.empty());
}

TEST_F(RtLinkTest, StopRequestEndsTheWaitForRealTraffic) {
  std::atomic<bool> done{false};
  std::chrono::steady_clock::time_point stoppedAt;
  std::chrono::steady_clock::time_point returnedAt;  // stamped by the worker, not by polling
  std::thread worker([&] {
    lf_waitForRealTraffic();
    returnedAt = std::chrono::steady_clock::now();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(done.load());
  stoppedAt = std::chrono::steady_clock::now();
  g_stopRequested = true;
  ASSERT_TRUE(waitUntil([&] { return done.load(); }, std::chrono::seconds(5)));
  worker.join();
  EXPECT_LT(returnedAt - stoppedAt, std::chrono::milliseconds(200));
  EXPECT_FALSE(g_rtConnected.load());
}

TEST_F(RtLinkTest, CloseStepSaysExitAndClosesBothSockets) {
  rtstandin::Session session(options, nullptr);
  connectAndWait(session);
  gf_closeRealTrafficLink();
  EXPECT_TRUE(session.waitFor([](const auto& r) { return r.exits == 1; }, 5000));
  EXPECT_EQ(g_rtListenSocket, INVALID_SOCKET);
  EXPECT_EQ(g_rtClientSocket, INVALID_SOCKET);
  EXPECT_FALSE(g_rtConnected.load());
  // The port can be served again by the next run.
  EXPECT_NO_THROW(startServer(std::to_string(options.serverPort)));
}

// The readers fed by the stand-in's replay of a small recording.
TEST_F(RtLinkTest, ReplayFillsTheBufferAndTheQnh) {
  const auto trafficPort = intake_test::freeUdpPort();
  const auto weatherPort = intake_test::freeUdpPort();
  setenv("ZENDRIK_TRAFFIC_PORT", std::to_string(trafficPort).c_str(), 1);
  setenv("ZENDRIK_WEATHER_PORT", std::to_string(weatherPort).c_str(), 1);
  ASSERT_EQ(gf_trafficPort(), trafficPort);
  ASSERT_EQ(gf_weatherPort(), weatherPort);

  const auto file =
      std::filesystem::temp_directory_path() / fmt::format("rt_replay_{}.txt", ::getpid());
  {
    std::ofstream out(file);
    for (int i = 0; i < 20; ++i)
      out << Record()
                 .set(1, std::to_string(20000 + i))
                 .set(14, fmt::format("{}", 1700000000 + i * 0.01))
                 .text()
          << "\n";
    out << R"({"ICAO":"EDDL","QNH":1021})"
        << "\n";
    out << "RTPARK,406f75,51.46,-0.47,G-ZBKI,B789,G-ZBKI,EGLL_568,1725117281.99\n";
  }
  g_trafficReader.setUserPosition(intake_test::kUserLat, intake_test::kUserLon);
  {
    std::lock_guard lock(g_trafficMutex);
    g_liveTrafficBuffer.clear();
  }
  gf_setAcceptTraffic(true);
  gf_resetIntake();
  g_mainWindowState.trafficLamp = 3;
  g_mainWindowState.weatherLamp = 3;
  // As a run does: the weather reader first, the traffic reader once the weather reader is
  // bound (its lamp). Both must be bound before the replay sends, or a datagram is lost.
  gf_startWeatherReader();
  ASSERT_TRUE(waitUntil([] { return g_mainWindowState.weatherLamp.load() == 1; }));
  gf_startTrafficReader();
  ASSERT_TRUE(waitUntil([] { return g_mainWindowState.trafficLamp.load() == 1; }));

  auto replayOptions = options;
  replayOptions.trafficPort = trafficPort;
  replayOptions.weatherPort = weatherPort;
  replayOptions.speed = 100.0;
  const auto recording = rtstandin::loadRecording(file.string());
  EXPECT_EQ(recording.skippedLines, 1u);
  std::atomic<bool> stop{false};
  const auto report = rtstandin::replay(recording, replayOptions, stop);
  EXPECT_EQ(report.trafficSent, 20u);
  EXPECT_EQ(report.weatherSent, 1u);
  EXPECT_TRUE(waitUntil([] {
    std::lock_guard lock(g_trafficMutex);
    return g_liveTrafficBuffer.size() == 20;
  }));
  EXPECT_TRUE(waitUntil([] { return g_qnh.load() == 1021; }));
  // The replay moved the time stamps to now.
  EXPECT_GT(g_trafficTimeSec.load(), 1.7e9 + 1e6);

  gf_stopReaders();
  EXPECT_FALSE(g_trafficReader.running());
  EXPECT_FALSE(g_weatherReader.running());
  gf_setAcceptTraffic(false);
  std::filesystem::remove(file);
}

// A peer that answers the version query with raw bytes of the test's choosing.
namespace {

void lf_rawPeer(std::uint16_t port, std::string reply, bool closeAfter) {
  const intake_test::Winsock winsock;
  const SOCKET s = intake_test::connectTcp(port);
  ASSERT_NE(s, INVALID_SOCKET);
  char query[64];
  EXPECT_GT(recv(s, query, sizeof(query), 0), 0);
  send(s, reply.data(), reply.size(), 0);
  if (closeAfter) shutdown(s, SD_SEND);
  char rest[64];
  while (recv(s, rest, sizeof(rest), 0) > 0) {
  }
  closesocket(s);
}

}  // namespace

// Anything but a whole JSON object with "level" 2 is the standard edition, and the run goes on.
TEST_F(RtLinkTest, RepliesOtherThanProfessionalMeanStandardEdition) {
  struct Case {
    std::string reply;
    bool closeAfter;
    const char* versionText;
  };
  const Case cases[] = {
      {std::string(kRtReceiveBufferSize, ' '), false, "old"},  // a full buffer: no reply
      {R"({"version":"9.1","level":2)", false, ""},            // never finished: 2 s, then standard
      {R"({"version":"9.1","level":2)", true, ""},             // cut off by the peer
      {"[2]", false, ""},                                      // JSON, but no object
      {R"({"version":"x"})", true, "RT stnd edition: x"},     // no level
      {R"({"version":"x","level":"2"})", true, "RT stnd edition: x"},  // level as text
      {"", true, "old"},                                       // no reply: nothing shown
  };
  for (const auto& c : cases) {
    g_mainWindowState.storeText(&MainWindowState::rtVersionText, "old", kLampsArea);
    std::thread peer(lf_rawPeer, options.serverPort, c.reply, c.closeAfter);
    lf_waitForRealTraffic();
    EXPECT_FALSE(g_rtProfessional.load()) << c.reply.substr(0, 40);
    EXPECT_TRUE(g_rtConnected.load());  // the run goes on with the standard edition
    EXPECT_EQ(g_mainWindowState.text(&MainWindowState::rtVersionText), c.versionText);
    gf_closeRealTrafficLink();
    peer.join();
    startServer(std::to_string(options.serverPort));
  }
}

// The link serves RealTraffic installed on this PC, and only while AEROWINX is off.
TEST(RtLinkWanted, OnlyWithRealTrafficHereAndAerowinxOff) {
  const bool savedAerowinx = g_paramAerowinx.value();
  for (const auto& [here, aerowinx] : {std::pair{false, false}, {true, true}, {true, false}}) {
    g_rtOnThisPc = here;
    g_paramAerowinx.setValue(aerowinx);
    EXPECT_EQ(gf_realTrafficLinkWanted(), here && !aerowinx) << here << aerowinx;
  }
  g_rtOnThisPc = false;
  g_paramAerowinx.setValue(savedAerowinx);
}
