// The simulator link against the simulator stand-in: a test worker starts SimClient as a run
// does and plays the engine (queues creations, positions, events and removals, asks for the
// aircraft in range, reads the notices).
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "foundation/run_state.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;
using p3d::RequestKind;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kRangeMetres = 20000;

class LinkEndToEnd : public LinkTest {
 protected:
  void startStandin(const nlohmann::json& scenario) {
    standin = simtest::gf_startStandin(scenario, "", 60);
    env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  }
  void TearDown() override {
    worker.stop();
    if (standin) {
      EXPECT_TRUE(standin->violations().empty()) << standin->violations().front();
      standin->stop();
    }
    LinkTest::TearDown();
  }

  std::vector<p3d::Request> requests(RequestKind kind, int client = 1) const {
    std::vector<p3d::Request> found;
    for (const p3d::RecordedRequest& r : standin->requests()) {
      if (r.client == client && r.request.kind == kind) found.push_back(r.request);
    }
    return found;
  }
  // Waits for a notice that passes the filter and returns it; the others stay collected.
  std::optional<SimObjectNotice> waitForNotice(const std::function<bool(const SimObjectNotice&)>& f,
                                               bool askRange = false) {
    std::optional<SimObjectNotice> found;
    gf_waitUntil([&] {
      if (askRange) {
        std::lock_guard lock(g_simMutex);
        SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange,
                                              kDefAcInRange, kRangeMetres,
                                              SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
      }
      for (const SimObjectNotice& n : takeNotices()) {
        collected.push_back(n);
        if (!found && f(n)) found = n;
      }
      if (askRange) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return found.has_value();
    });
    return found;
  }
  std::string lastRequestLine(RequestKind kind) const {
    const auto all = requests(kind);
    return all.empty() ? "" : all.back().text1;
  }

  std::unique_ptr<p3d::P3dStandin> standin;
  TestWorker worker;
  std::vector<SimObjectNotice> collected;
};

// The declarations a connection opens with, as the simulator must see them.
std::vector<std::string> lf_expectedSetup() {
  std::vector<std::string> lines = {"Open Zendrik_P3D"};
  for (const auto& [id, name] : std::vector<std::pair<int, const char*>>{
           {201, "Sim"}, {202, "ObjectAdded"}, {203, "ObjectRemoved"},
           {205, "PositionChanged"}, {206, "FlightLoaded"}, {204, "Frame"}}) {
    lines.push_back(fmt::format("Subscribe {} {}", id, name));
  }
  const std::vector<std::tuple<int, const char*, const char*, int>> definitions = {
      {407, "TITLE", "", 11},
      {408, "ATC MODEL", "", 6},
      {409, "SIM ON GROUND", "Bool", 2},
      {402, "Plane Latitude", "degree", 4},
      {402, "Plane Longitude", "degree", 4},
      {402, "Plane Pitch degrees", "radians", 4},
      {402, "Plane Bank degrees", "radians", 4},
      {402, "Plane Heading degrees true", "radians", 4},
      {402, "Plane Altitude", "feet", 4},
      {402, "Vertical Speed", "feet per second", 4},
      {402, "Airspeed True", "knots", 4},
      {403, "Plane Latitude", "degree", 4},
      {403, "Plane Longitude", "degree", 4},
      {403, "Plane Pitch degrees", "radians", 4},
      {403, "Plane Bank degrees", "radians", 4},
      {403, "Plane Heading degrees true", "radians", 4},
      {403, "Plane Altitude", "feet", 4},
      {403, "Plane Alt Above Ground", "feet", 4},
      {403, "Ground Velocity", "knots", 4},
      {403, "ZULU TIME", "Seconds", 2},
      {403, "ZULU DAY OF YEAR", "Number", 2},
      {403, "ZULU YEAR", "Number", 2},
      {403, "LIGHT STATES", "Mask", 2},
      {405, "Static CG to Ground", "feet", 4},
      {405, "Static Pitch", "radians", 4},
      {406, "Light On States", "Mask", 2},
      {404, "Plane Alt Above Ground", "feet", 4},
      {404, "Ground Altitude", "feet", 4},
      {404, "SIM ON GROUND", "Bool", 2},
      {404, "ATC ID", "", 6},
      {401, "SPOILERS HANDLE POSITION", "percent", 4},
      {401, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", 4},
      {401, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", 4}};
  for (const auto& [def, variable, units, type] : definitions) {
    lines.push_back(fmt::format("Define {} {} [{}] {} 0 {}", def, variable, units, type,
                                SIMCONNECT_UNUSED));
  }
  for (const auto& [id, name] : std::vector<std::pair<int, const char*>>{
           {220, "GEAR_SET"}, {221, "ENGINE_AUTO_START"}, {222, "ENGINE_AUTO_SHUTDOWN"},
           {223, "THROTTLE_SET"}, {218, "FLAPS_SET"}, {219, "SPOILERS_SET"},
           {208, "NAV_LIGHTS_SET"}, {207, "BEACON_LIGHTS_SET"}, {211, "LANDING_LIGHTS_SET"},
           {209, "TAXI_LIGHTS_SET"}, {210, "STROBES_SET"}, {213, "LOGO_LIGHTS_SET"},
           {212, "CABIN_LIGHTS_SET"}, {214, "ALL_LIGHTS_TOGGLE"},
           {215, "FREEZE_LATITUDE_LONGITUDE_SET"}, {216, "FREEZE_ALTITUDE_SET"},
           {217, "FREEZE_ATTITUDE_SET"}}) {
    lines.push_back(fmt::format("Map {} {}", id, name));
  }
  for (const int id : {208, 207, 211, 209, 210, 213, 212, 214, 218, 219, 220, 222, 223, 215, 216,
                       217}) {
    lines.push_back(fmt::format("Group 301 {} 1", id));
  }
  lines.push_back("Priority 301 1");
  return lines;
}

std::string lf_setupLine(const p3d::Request& r) {
  switch (r.kind) {
    case RequestKind::Open: return "Open " + r.text1;
    case RequestKind::SubscribeToSystemEvent: return fmt::format("Subscribe {} {}", r.u[0], r.text1);
    case RequestKind::AddToDataDefinition:
      return fmt::format("Define {} {} [{}] {} {} {}", r.u[0], r.text1, r.text2, r.u[1],
                         r.epsilon, r.u[2]);
    case RequestKind::MapClientEventToSimEvent: return fmt::format("Map {} {}", r.u[0], r.text1);
    case RequestKind::AddClientEventToNotificationGroup:
      return fmt::format("Group {} {} {}", r.u[0], r.u[1], r.u[2]);
    case RequestKind::SetNotificationGroupPriority:
      return fmt::format("Priority {} {}", r.u[0], r.u[1]);
    default: return fmt::format("other {}", static_cast<std::uint32_t>(r.kind));
  }
}

// The first 74 requests of a client, as lines, each with its send id checked.
std::vector<std::string> lf_setupOf(const p3d::P3dStandin& standin, int client) {
  std::vector<std::string> lines;
  for (const p3d::RecordedRequest& r : standin.requests()) {
    if (r.client != client || lines.size() == 74) continue;
    EXPECT_EQ(r.request.sendId, lines.size() + 1);
    lines.push_back(lf_setupLine(r.request));
  }
  return lines;
}

bool lf_userSpanSet() {
  std::lock_guard lock(g_simMutex);
  return g_userAcType.set;
}

bool lf_hasStop(std::uint32_t reason, std::uint32_t delay) {
  return g_stopRequested.load() && g_exitReason.load() == reason &&
         g_restartDelaySec.load() == delay;
}

void lf_clearStop() {
  g_stopRequested.store(false);
  g_exitReason.store(0);
  g_restartDelaySec.store(0);
}

TEST_F(LinkEndToEnd, AiObjectsFromCreationToRemoval) {
  static const std::string kLiveTitle = "Stand-in A320 KLM";
  static const std::string kStaticTitle = "Stand-in B738 TRA";
  static const std::string kLongTitle(256, 'X');
  startStandin(gf_parkedScenario());
  stands = {{{52.3086, 4.7639}, "A12"}};
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  EXPECT_EQ(lf_setupOf(*standin, 1), lf_expectedSetup());

  // The user aircraft: sample, stand, title and model.
  EXPECT_NEAR(g_userAcSnapshot.latitude, 52.3086, 1e-9);
  EXPECT_EQ(g_userObjectId.load(), 1u);
  EXPECT_EQ(windowText(&MainWindowState::userStand), "A12");
  ASSERT_TRUE(gf_waitUntil(lf_userSpanSet));
  EXPECT_EQ(windowText(&MainWindowState::userAcTitleText), "Stand-in Boeing 737-800");
  EXPECT_EQ(logLines("SimConnect: User aircraft model: B738").size(), 1u);

  // A live creation goes out on the next Frame; the range reply identifies it.
  gf_queueCreateAc({52.3090, 4.7645, 1500.0, 0, 0, 180, 0, 140, "KLM123", kLiveTitle, 10001});
  const auto live = waitForNotice([](const SimObjectNotice& n) { return n.kind == 0; }, true);
  ASSERT_TRUE(live);
  EXPECT_EQ(live->tag, 10001u);
  const std::uint32_t liveId = live->objectId;
  const auto objects = standin->aiObjects();
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].atcId, "KLM123");
  EXPECT_NEAR(live->value2, 1511.0, 1e-6) << "height above the ground at -11 ft";
  ASSERT_TRUE(gf_waitUntil([&] { return requests(RequestKind::TransmitClientEvent).size() == 3; }));
  const auto release = requests(RequestKind::AIReleaseControl);
  ASSERT_EQ(release.size(), 1u);
  EXPECT_EQ(release[0].u, (std::vector<std::uint32_t>{liveId, 103}));
  std::uint32_t freeze = kEventFreezeLatLonSet;
  for (const p3d::Request& r : requests(RequestKind::TransmitClientEvent)) {
    EXPECT_EQ(r.u, (std::vector<std::uint32_t>{liveId, freeze++, 1, 301, 0}));
  }

  // A static creation is identified as such and never reported as another aircraft.
  gf_queueCreateAc({52.3095, 4.7650, 0, 0, 0, 90, 1, 0, "TRA5*", kStaticTitle, 5});
  const auto parked = waitForNotice([](const SimObjectNotice& n) { return n.kind == 1; }, true);
  ASSERT_TRUE(parked);
  EXPECT_EQ(parked->tag, 5u);
  ASSERT_TRUE(waitForNotice([&](const SimObjectNotice& n) { return n.kind == 3; }, true));
  for (const SimObjectNotice& n : collected) {
    if (n.kind == 3) {
      EXPECT_EQ(n.objectId, liveId) << "only the live one is another aircraft";
    }
  }

  // Positions of one step; none to the user aircraft or ids at or below it.
  {
    std::lock_guard lock(g_simMutex);
    g_posFillQueue->assign({{52.31, 4.77, 0.01, 0.02, 1.5, 120.0, 0.0, 10.0, liveId},
                            {1.0, 1.0, 0, 0, 0, 0, 0, 0, 2},
                            {1.0, 1.0, 0, 0, 0, 0, 0, 0, 1}});
    std::swap(g_posFillQueue, g_posQueue);
  }
  ASSERT_TRUE(gf_waitUntil([&] {
    for (const p3d::SimObject& o : standin->aiObjects()) {
      if (o.id == liveId) return o.lat == 52.31 && o.lon == 4.77 && o.headingRad == 1.5;
    }
    return false;
  }));
  const auto positions = requests(RequestKind::SetDataOnSimObject);
  ASSERT_EQ(positions.size(), 1u);
  EXPECT_EQ(positions[0].u, (std::vector<std::uint32_t>{402, liveId, 0, 1, 64}));

  // FLAPS_SET between two releases of AI control.
  gf_queueClientEvent({liveId, kEventFlapsSet, 3072});
  ASSERT_TRUE(gf_waitUntil([&] { return requests(RequestKind::AIReleaseControl).size() == 4; }));
  const auto all = standin->requests();
  const auto flaps = std::find_if(all.begin(), all.end(), [](const p3d::RecordedRequest& r) {
    return r.request.kind == RequestKind::TransmitClientEvent && r.request.u[1] == kEventFlapsSet;
  });
  ASSERT_TRUE(flaps != all.end() && flaps != all.begin() && flaps + 1 != all.end());
  EXPECT_EQ((flaps - 1)->request.kind, RequestKind::AIReleaseControl);
  EXPECT_EQ((flaps + 1)->request.kind, RequestKind::AIReleaseControl);

  // Flight plans: one the simulator takes, one it cannot read.
  fs::create_directories(env.root() / "plans");
  const fs::path plan = env.root() / "plans" / gf_flightPlanPath(liveId);
  ASSERT_TRUE(gf_writeFlightPlan(plan, "EGLL", "KJFK", 2));
  {
    std::lock_guard lock(g_simMutex);
    EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(g_hSimConnect.load(), liveId,
                                                 plan.string().c_str(), kRequestFlightPlan),
              S_OK);
    SimConnect_AISetAircraftFlightPlan(g_hSimConnect.load(), liveId,
                                       (env.root() / "none.pln").string().c_str(),
                                       kRequestFlightPlan);
  }
  ASSERT_TRUE(gf_waitUntil(
      [&] { return !logLines("Simconnect exception: load flight plan failed").empty(); }));
  for (const p3d::SimObject& o : standin->aiObjects()) {
    if (o.id == liveId) {
      EXPECT_EQ(o.flightPlan, "EGLL-KJFK");
    }
  }

  // Removal, then the simulator's ObjectRemoved.
  {
    std::lock_guard lock(g_simMutex);
    g_removeQueue.push_back(liveId);
  }
  ASSERT_TRUE(waitForNotice(
      [&](const SimObjectNotice& n) { return n.kind == 2 && n.objectId == liveId; }));

  // A refused creation.
  p3d::Faults refuse;
  refuse.refuseCreations = 1;
  standin->setFaults(refuse);
  gf_queueCreateAc({52.3091, 4.7646, 0, 0, 0, 180, 1, 0, "KLM77", kLiveTitle, 10002});
  const auto refused = waitForNotice([](const SimObjectNotice& n) { return n.kind == 6; });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->tag, 10002u);
  EXPECT_FALSE(g_stopRequested.load());

  // A title the packet cannot carry: the run ends with SIMCONNECT ERROR, nothing more is sent.
  gf_queueCreateAc({52.3091, 4.7646, 0, 0, 0, 180, 1, 0, "KLM78", kLongTitle, 10003});
  ASSERT_TRUE(gf_waitUntil([] { return lf_hasStop(kExitSimConnectError, 9); }));
  EXPECT_TRUE(g_simRequestError.load());
  EXPECT_EQ(logLines("! Simcon call to create ac in sim failed, hexid:10003").size(), 1u);
  const std::size_t sentBefore = standin->requests().size();
  gf_queueClientEvent({parked->objectId, kEventNavLightsSet, 1});
  ASSERT_TRUE(gf_waitUntil([] {
    std::lock_guard lock(g_simMutex);
    return g_eventQueue.empty();
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(standin->requests().size(), sentBefore);

  worker.stop();
  EXPECT_TRUE(g_pendingCreates.empty()) << "matched, refused or never sent";
  EXPECT_EQ(logLines("SimConnect closed ok").size(), 1u);
}

TEST_F(LinkEndToEnd, NewFlightsEndTheRunAndAParkedUserReservesItsStand) {
  startStandin(gf_parkedScenario());
  stands = {{{52.3086, 4.7639}, "A12"}};
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  struct Case {
    const char* label;
    std::function<void()> act;
    const char* logged;
  };
  const Case cases[] = {
      {"flight file", [&] { standin->sendFlightLoaded("flights\\other.fxml"); },
       "SimConnect: New file event"},
      {"flight loaded", [&] { standin->sendFlightLoadedEvent(); },
       "Simconnect: flight loaded event"},
      {"position changed", [&] { standin->sendPositionChanged(); }, "User ac position changed"},
      {"15 nm jump",
       [&] {
         p3d::PathPoint far;
         far.lat = 52.3086 + 15.0 / 60.0;
         far.lon = 4.7639;
         standin->placeUser(far);
         gf_waitUntil([] {
           gf_getUserAcData();
           std::this_thread::sleep_for(std::chrono::milliseconds(20));
           return g_stopRequested.load();
         });
       },
       "Teleport"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    c.act();
    EXPECT_TRUE(gf_waitUntil([] { return lf_hasStop(kExitNewFlight, 30); }));
    EXPECT_EQ(logLines(c.logged).size(), 1u);
    lf_clearStop();
    gf_parkStandCheck();  // the worker's tick
  }
  EXPECT_EQ(reservedStands, (std::vector<std::string>{"A12", "A12"}));
  EXPECT_TRUE(worker.running());  // a stop alone does not end the dispatch
  EXPECT_EQ(g_simConnected.load(), 1);
}

TEST_F(LinkEndToEnd, LostSimulatorEndsTheRunWithSimWasClosed) {
  startStandin(gf_parkedScenario());
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  standin->dropClients();
  // The worker keeps asking meanwhile: its failing requests must not decide the reason.
  ASSERT_TRUE(gf_waitUntil([] {
    gf_getUserAcData();
    return g_stopRequested.load() && g_simConnected.load() == 0;
  }));
  EXPECT_TRUE(lf_hasStop(kExitSimClosed, 0));
  EXPECT_FALSE(g_simRunning.load());
  EXPECT_EQ(logLines("Flight Simulator no longer connected, Zendrik_P3D will stop ...").size(),
            1u);
  EXPECT_TRUE(gf_waitUntil([&] { return !logLines("SimConnect closed ok").empty(); }));
}

TEST_F(LinkEndToEnd, NoSimulatorWaitsWithOneMessageUntilAStop) {
  {  // a port nobody listens on
    auto probe = simtest::gf_startStandin(gf_parkedScenario());
    env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(probe->port()));
    probe->stop();
  }
  worker.start();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // two retries or more
  EXPECT_EQ(logLines("Waiting for Prepar3Dv5 ...").size(), 1u);
  g_stopRequested.store(true);  // ends the waiting without the thread's token
  const auto asked = std::chrono::steady_clock::now();
  worker.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
  EXPECT_TRUE(logLines("SimConnect closed").empty());
  EXPECT_EQ(g_simConnected.load(), 0);
}

TEST_F(LinkEndToEnd, WrongSimulatorIsRefusedWithoutStoppingTheRun) {
  startStandin(gf_parkedScenario("v6"));
  g_paramSimInstallPath.setValue("C:\\Prepar3D v5");
  worker.start(5);
  const std::string error =
      "78: wrong P3D version \"Lockheed Martin Prepar3D v6 (6.0.34.31011)\" connects ... ?";
  ASSERT_TRUE(gf_waitUntil([&] { return !logLines("SimConnect closed ok").empty(); }));
  EXPECT_EQ(windowText(&MainWindowState::errorText), error);
  EXPECT_EQ(logLines("Error " + error).size(), 1u);
  EXPECT_FALSE(g_stopRequested.load());
}

TEST_F(LinkEndToEnd, EmptyAtcModelRestartsAndTheNextRunGoesOn) {
  nlohmann::json scenario = gf_parkedScenario();
  scenario["user"]["atc_model"] = "";
  startStandin(scenario);
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  ASSERT_TRUE(gf_waitUntil([&] { return !logLines("SimConnect closed ok").empty(); }));
  EXPECT_EQ(windowText(&MainWindowState::errorText),
            "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
  EXPECT_FALSE(g_stopRequested.load());
  gf_getUserAcData();  // the worker's next request: the link is closed
  EXPECT_TRUE(lf_hasStop(kExitSimConnectError, 9));

  // The restart, with the aircraft corrected meanwhile.
  worker.stop();
  gf_resetForRun();
  standin->setUserAircraft("Stand-in Boeing 737-800", "B738");
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  ASSERT_TRUE(gf_waitUntil(lf_userSpanSet));
  EXPECT_EQ(lf_setupOf(*standin, 2), lf_expectedSetup());
  EXPECT_EQ(logLines("SimConnect: User aircraft model: B738").size(), 1u);
  EXPECT_TRUE(windowText(&MainWindowState::errorText).empty());
  EXPECT_FALSE(g_stopRequested.load());
}

}  // namespace
