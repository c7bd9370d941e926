// The engine end to end: rt-standin replays a recording at real pace to the traffic reader, the
// engine steps every 10 ms, SimClient carries its requests to p3d-standin, whose simulator
// knows the titles of an AI package. Every aircraft is created once with its livery, moves on
// without jumps and is removed once when it leaves the radius; the one whose title the
// simulator refuses is not created again. Also the link's thread posting notices while the
// worker processes them.
#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "engine_test_support.h"
#include "fixtures/ai_package_writer.h"
#include "fixtures/livery_tables.h"
#include "fixtures/track_writer.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "intake/intake_socket_helpers.h"
#include "liveries/aircraft_database.h"
#include "liveries/match_summary.h"
#include "rt-standin/rt_standin.h"
#include "simlink/simlink_test_helpers.h"

using namespace std::chrono_literals;
using p3d::RequestKind;

namespace {

constexpr double kRadiusNm = 5.0;
constexpr double kRecordingS = 14.0;
const LatLon kUser = traffictest::kField;

fixtures::TrackAircraft lf_westbound(std::uint32_t id, const char* callsign, const char* type,
                                     double startNm) {
  fixtures::TrackAircraft a;
  a.id = id;
  a.callsign = callsign;
  a.type = type;
  a.registration = std::string("PH-") + callsign;
  a.from = "AMS";
  a.to = "LHR";
  a.position = gf_destination(kUser, 1.5 * kPi, startNm * kFeetPerNm);
  a.altitudeFt = 3000.0;
  a.headingDeg = 270.0;
  a.speedKt = 300.0;
  a.onGround = false;
  a.legs = {fixtures::turnLeg(270.0, 0.0)};
  a.legs.front().maxSeconds = kRecordingS;
  a.seed = id;
  return a;
}


class TrafficEndToEnd : public linktest::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    gf_markWorkerThread();
    gf_resetTraffic();
    traffictest::gf_useTrafficDatabase();
    g_dbaseTypes = {"A320", "B738"};
    g_paramRandom.setValue(false);
    g_paramLog.setValue(true);
    gf_setTrafficRadius(kRadiusNm);
    g_failedLiveries.clear();
    fixtures::gf_useLiveries({{"KLM", "A320", "E2E A320 KLM", "", 0, false},
                              {"RYR", "B738", "E2E B738 Ryanair", "", 0, false}});
  }
  void TearDown() override {
    reader.stop();
    worker.stop();
    if (standin) standin->stop();
    gf_setAcceptTraffic(false);
    gf_resetTraffic();
    LinkTest::TearDown();
  }

  std::unique_ptr<p3d::P3dStandin> standin;
  linktest::TestWorker worker;
  TrafficReader reader;
};

}  // namespace

TEST_F(TrafficEndToEnd, ReplayedTrafficThroughTheSimulator) {
  // The AI package holds the A320's title, not the B738's.
  const std::filesystem::path simObjects = env.root() / "SimObjects";
  fixtures::AircraftFolder package;
  package.folder = simObjects / "Airplanes" / "E2E A320";
  package.text = fixtures::fltsimSection(0, {"title=E2E A320 KLM", "atc_airline=KLM"}) +
                 fixtures::generalSection("A320");
  fixtures::writeAircraftFolder(package);
  const std::filesystem::path trace = env.root() / "trace.jsonl";
  p3d::StandinOptions so;
  so.port = 0;
  so.scenario = nlohmann::json{{"simulator", "v5"},
                               {"user",
                                {{"object_id", 2},
                                 {"path", {{{"t", 0}, {"lat", kUser.lat}, {"lon", kUser.lon}, {"alt_ft", 0}}}}}},
                               {"ground_elevation_ft", 0}};
  so.frameHz = 60;
  so.simobjectsDir = simObjects.string();
  so.traceFile = trace.string();
  standin = std::make_unique<p3d::P3dStandin>(so);
  standin->start();
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  g_userAcSnapshot = gf_getUserAcData();

  const std::uint16_t port = intake_test::freeUdpPort();
  reader.setUserPosition(kUser.lat, kUser.lon);
  reader.start(port);
  gf_setAcceptTraffic(true);
  const std::filesystem::path recording = env.root() / "traffic.rttfc";
  std::ofstream(recording) << fixtures::recordingText(
      {lf_westbound(4500001, "KLM11", "A320", 4.2), lf_westbound(4500002, "KLM12", "A320", 3.8),
       lf_westbound(4500003, "RYR13", "B738", 3.5)},
      {"EHAM", "AMS", "Schiphol"}, 1.7e9, kRecordingS);
  rtstandin::Options ro;
  ro.trafficPort = port;
  ro.weatherPort = intake_test::freeUdpPort();
  std::atomic<bool> stopReplay{false};
  std::thread replay([&] { rtstandin::replay(rtstandin::loadRecording(recording.string()), ro, stopReplay); });

  // The 10 ms step loop, until every aircraft has come and gone. Like the shell's tick, a loop
  // held up starts again from the present: steps run back to back to catch up would move the
  // aircraft faster than the simulator's frames can follow.
  auto deadline = std::chrono::steady_clock::now();
  const auto giveUp = deadline + 90s;
  bool seen = false;
  while (std::chrono::steady_clock::now() < giveUp) {
    gf_liveTrafficStep();
    seen = seen || !g_liveAc.empty();
    if (seen && g_liveAc.empty() && g_removeWait.empty()) break;
    deadline = std::max(deadline + 10ms, std::chrono::steady_clock::now());
    std::this_thread::sleep_until(deadline);
  }
  replay.join();
  ASSERT_TRUE(seen && g_liveAc.empty());
  ASSERT_TRUE(linktest::gf_waitUntil([&] { return standin->aiObjects().empty(); }));
  worker.stop();
  standin->stop();

  std::map<std::string, int> created;  // by title
  for (const p3d::RecordedRequest& r : standin->requests()) {
    if (r.request.kind == RequestKind::AICreateNonATCAircraft) ++created[r.request.text1];
  }
  EXPECT_EQ(created, (std::map<std::string, int>{{"E2E A320 KLM", 2}, {"E2E B738 Ryanair", 1}}));
  EXPECT_EQ(standin->requestCount(RequestKind::AIRemoveObject), 2u);
  EXPECT_TRUE(gf_isFailedLivery("E2E B738 Ryanair"));  // its aircraft would find no livery now

  // No object moves faster than 1.3 x 300 kt + 30 kt, judged over half a second of frames (the
  // frames' own times, with a frame's slack): a moment in which the engine or the link is held
  // up shows as a standstill and then the position of now, which is no jump.
  std::map<std::uint32_t, std::deque<std::pair<double, LatLon>>> seenAt;  // seconds, position
  std::set<std::uint32_t> objects;
  constexpr double kMaxNmPerS = (1.3 * 300.0 + 30.0) / 3600.0;
  constexpr double kSlackS = 0.05;
  constexpr double kWindowS = 0.5;
  std::ifstream in(trace);
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json j = nlohmann::json::parse(line);
    if (j.value("kind", "") != "frame") continue;
    const double t = j["t"];
    for (const nlohmann::json& o : j["objects"]) {
      const std::uint32_t id = o["id"];
      if (id <= 2) continue;
      const LatLon at{o["lat"], o["lon"]};
      auto& frames = seenAt[id];
      while (frames.size() > 1 && frames[1].first <= t - kWindowS) frames.pop_front();
      if (!frames.empty() && frames.front().first <= t - kWindowS) {
        const auto& [t0, from] = frames.front();
        EXPECT_LE(gf_distanceNm(from, at), kMaxNmPerS * (t - t0 + kSlackS)) << "object " << id << " at " << t;
      }
      frames.emplace_back(t, at);
      objects.insert(id);
    }
  }
  EXPECT_EQ(objects.size(), 2u);
}

// The link's thread posts notices while the worker steps: every identification is activated,
// nothing is lost or handled twice.
TEST_F(TrafficEndToEnd, NoticesPostedWhileTheWorkerSteps) {
  constexpr int kAircraft = 20;
  std::vector<std::uint32_t> keys;
  for (int k = 0; k < kAircraft; ++k) {
    AiAircraft& a = enginetest::gf_live("A320", "CNC" + std::to_string(k), enginetest::gf_at(0, 100.0 * k),
                                        kStAdding2Sim, kFsTaxi);
    keys.push_back(a.key);
  }
  std::atomic<bool> posted{false};
  std::thread link([&] {
    for (int round = 0; round < 400; ++round) {
      gf_postSimObjectNotice({9000u + round, 0, 0, kNoticeNearGround, 0.0, 10.0});  // foreign
      if (round % 20 == 0) {
        const std::uint32_t key = keys[static_cast<std::size_t>(round / 20)];
        gf_postSimObjectNotice({200u + static_cast<std::uint32_t>(round / 20), key, 0,
                                kNoticeLiveIdentified, 0.0, 0.0});
      }
      std::this_thread::sleep_for(100us);
    }
    posted = true;
  });
  for (int step = 0; step < 5000; ++step) {
    gf_processSimObjectNotices();
    if (posted && g_lightToggles.empty()) break;
  }
  link.join();
  gf_processSimObjectNotices();
  for (int step = 0; step < 201; ++step) gf_processSimObjectNotices();
  EXPECT_EQ(gf_activeLiveCount(), static_cast<std::uint32_t>(kAircraft));
  EXPECT_TRUE(g_simNotices.empty() && g_lightToggles.empty());
}
