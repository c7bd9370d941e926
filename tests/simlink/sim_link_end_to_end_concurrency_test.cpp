// The simulator link against the simulator stand-in: a test worker starts SimClient as a run
// does and plays the engine (queues creations, positions, events and removals, asks for the
// aircraft in range, reads the notices).
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "foundation/parameters.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;
using p3d::RequestKind;

namespace {

// The declarations a connection opens with, as the simulator must see them ('|' separates
// entries of one kind).
const char* const kSetup[] = {
    "Open Zendrik_P3D",
    "Subscribe 201 Sim|202 ObjectAdded|203 ObjectRemoved|205 PositionChanged|206 FlightLoaded|"
    "204 Frame",
    "Define 407 TITLE [] 11|408 ATC MODEL [] 6|409 SIM ON GROUND [Bool] 2|402 Plane Latitude "
    "[degree] 4|402 Plane Longitude [degree] 4|402 Plane Pitch degrees [radians] 4|402 Plane "
    "Bank degrees [radians] 4|402 Plane Heading degrees true [radians] 4|402 Plane Altitude "
    "[feet] 4|402 Vertical Speed [feet per second] 4|402 Airspeed True [knots] 4|403 Plane "
    "Latitude [degree] 4|403 Plane Longitude [degree] 4|403 Plane Pitch degrees [radians] 4|403 "
    "Plane Bank degrees [radians] 4|403 Plane Heading degrees true [radians] 4|403 Plane "
    "Altitude [feet] 4|403 Plane Alt Above Ground [feet] 4|403 Ground Velocity [knots] 4|403 ZULU "
    "TIME [Seconds] 2|403 ZULU DAY OF YEAR [Number] 2|403 ZULU YEAR [Number] 2|403 LIGHT STATES "
    "[Mask] 2|405 Static CG to Ground [feet] 4|405 Static Pitch [radians] 4|406 Light On States "
    "[Mask] 2|404 Plane Alt Above Ground [feet] 4|404 Ground Altitude [feet] 4|404 SIM ON GROUND "
    "[Bool] 2|404 ATC ID [] 6|401 SPOILERS HANDLE POSITION [percent] 4|401 GENERAL ENG THROTTLE "
    "LEVER POSITION:1 [percent] 4|401 GENERAL ENG THROTTLE LEVER POSITION:2 [percent] 4",
    "Map 220 GEAR_SET|221 ENGINE_AUTO_START|222 ENGINE_AUTO_SHUTDOWN|223 THROTTLE_SET|218 "
    "FLAPS_SET|219 SPOILERS_SET|208 NAV_LIGHTS_SET|207 BEACON_LIGHTS_SET|211 LANDING_LIGHTS_SET|"
    "209 TAXI_LIGHTS_SET|210 STROBES_SET|213 LOGO_LIGHTS_SET|212 CABIN_LIGHTS_SET|214 "
    "ALL_LIGHTS_TOGGLE|215 FREEZE_LATITUDE_LONGITUDE_SET|216 FREEZE_ALTITUDE_SET|217 "
    "FREEZE_ATTITUDE_SET",
    "Group 208|207|211|209|210|213|212|214|218|219|220|222|223|215|216|217",
    "Priority 301 1"};

std::vector<std::string> lf_expectedSetup() {
  std::vector<std::string> lines;
  for (const std::string group : kSetup) {
    const std::size_t blank = group.find(' ');
    for (std::size_t at = blank + 1, end = 0; at <= group.size(); at = end + 1) {
      end = std::min(group.find('|', at), group.size());
      lines.push_back(group.substr(0, blank + 1) + group.substr(at, end - at));
    }
  }
  return lines;
}

std::string lf_setupLine(const p3d::Request& r) {
  const auto& u = r.u;
  switch (r.kind) {
    case RequestKind::Open:
      return "Open " + r.text1;
    case RequestKind::SubscribeToSystemEvent:
      return fmt::format("Subscribe {} {}", u[0], r.text1);
    case RequestKind::AddToDataDefinition:
      return fmt::format("Define {} {} [{}] {}{}", u[0], r.text1, r.text2, u[1],
                         r.epsilon == 0.0f && u[2] == SIMCONNECT_UNUSED ? "" : " epsilon/datum");
    case RequestKind::MapClientEventToSimEvent:
      return fmt::format("Map {} {}", u[0], r.text1);
    case RequestKind::AddClientEventToNotificationGroup:
      return fmt::format("Group {}{}", u[1], u[0] == 301 && u[2] == 1 ? "" : " group/maskable");
    case RequestKind::SetNotificationGroupPriority:
      return fmt::format("Priority {} {}", u[0], u[1]);
    default:
      return "other";
  }
}

class LinkEndToEnd : public LinkTest {
 protected:
  void startStandin(const nlohmann::json& scenario) {
    standin = simtest::gf_startStandin(scenario, "", 60);
    env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  }
  void TearDown() override {
    worker.stop();
    EXPECT_TRUE(!standin || standin->violations().empty()) << standin->violations().front();
    LinkTest::TearDown();
  }
  std::vector<p3d::Request> requests(RequestKind kind) const {
    std::vector<p3d::Request> found;
    for (const p3d::RecordedRequest& r : standin->requests()) {
      if (r.request.kind == kind) found.push_back(r.request);
    }
    return found;
  }
  // The first 74 requests of a client as lines; their send ids must be 1 to 74.
  std::vector<std::string> setupOf(int client) const {
    std::vector<std::string> lines;
    for (const p3d::RecordedRequest& r : standin->requests()) {
      if (r.client != client || lines.size() == 74) continue;
      EXPECT_EQ(r.request.sendId, lines.size() + 1);
      lines.push_back(lf_setupLine(r.request));
    }
    return lines;
  }
  // Waits for a notice of a kind (with the tag, unless 0), asking for the aircraft within
  // rangeM metres meanwhile when askRange.
  std::optional<SimObjectNotice> notice(std::uint32_t kind, bool askRange = false,
                                        std::uint32_t tag = 0, DWORD rangeM = 20000) {
    std::optional<SimObjectNotice> found;
    gf_waitUntil([&] {
      if (askRange) {
        std::lock_guard lock(g_simMutex);
        SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange,
                                              kDefAcInRange, rangeM,
                                              SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(askRange ? 50 : 1));
      for (const SimObjectNotice& n : takeNotices()) {
        seen.push_back(n);
        if (!found && n.kind == kind && (tag == 0 || n.tag == tag)) found = n;
      }
      return found.has_value();
    });
    return found;
  }
  static bool stopped(std::uint32_t reason, std::uint32_t delay) {
    return g_stopRequested.load() && g_exitReason.load() == reason &&
           g_restartDelaySec.load() == delay;
  }

  std::unique_ptr<p3d::P3dStandin> standin;
  TestWorker worker;
  std::vector<SimObjectNotice> seen;
};

TEST_F(LinkEndToEnd, AiObjectsFromCreationToRemoval) {
  static const std::string kTitle = "Stand-in A320 KLM";
  static const std::string kLongTitle(300, 'X');
  startStandin(gf_parkedScenario());
  stands = {{{52.3086, 4.7639}, "A12"}};
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  EXPECT_EQ(setupOf(1), lf_expectedSetup());
  EXPECT_EQ(g_userObjectId.load(), 2u);
  EXPECT_EQ(window(&MainWindowState::userStand), "A12");
  ASSERT_TRUE(gf_waitUntil([&] { return !logLines("User aircraft model: B738").empty(); }));
  EXPECT_EQ(window(&MainWindowState::simName), "Lockheed Martin Prepar3D v5 (5.3.17.28160)");
  EXPECT_EQ(window(&MainWindowState::userAcTitleText), "Stand-in Boeing 737-800");

  // A live creation goes out on the next Frame; the simulator's answer identifies it.
  gf_queueCreateAc({52.309, 4.7645, 1500, 0, 0, 180, 0, 140, "KLM123", kTitle, 10001});
  const auto live = notice(kNoticeLiveIdentified);
  ASSERT_TRUE(live);
  const std::uint32_t id = live->objectId;
  EXPECT_EQ(live->tag, 10001u);
  EXPECT_TRUE(std::isnan(live->value2)) << "no range reply has named it yet";
  ASSERT_TRUE(gf_waitUntil([&] { return requests(RequestKind::TransmitClientEvent).size() == 3; }));
  EXPECT_EQ(requests(RequestKind::AIReleaseControl).at(0).u, (std::vector<std::uint32_t>{id, 103}));
  std::uint32_t freeze = kEventFreezeLatLonSet;
  for (const p3d::Request& r : requests(RequestKind::TransmitClientEvent)) {
    EXPECT_EQ(r.u, (std::vector<std::uint32_t>{id, freeze++, 1, 301, 0}));
  }
  // A static one: identified as such and never reported as another aircraft near the ground.
  gf_queueCreateAc({52.3095, 4.765, 0, 0, 0, 90, 1, 0, "TRA5*", kTitle, 5});
  const auto parked = notice(kNoticeStaticIdentified, true);
  ASSERT_TRUE(parked && parked->tag == 5);
  const auto nearGround = notice(kNoticeNearGround, true);
  ASSERT_TRUE(nearGround);
  EXPECT_EQ(nearGround->value2, 1511.0) << "feet above the ground at -11 ft";
  for (const SimObjectNotice& n : seen)
    EXPECT_TRUE(n.kind != kNoticeNearGround || n.objectId == id);

  // Positions of one step, none to the user aircraft or below; FLAPS_SET between two releases.
  {
    std::lock_guard lock(g_simMutex);
    g_posFillQueue->assign({{52.31, 4.77, 0.01, 0.02, 1.5, 120, 0, 10, id},
                            {1, 1, 0, 0, 0, 0, 0, 0, 2},
                            {1, 1, 0, 0, 0, 0, 0, 0, 1}});
    std::swap(g_posFillQueue, g_posQueue);
    g_eventQueue.push_back({id, kEventFlapsSet, 3072});
  }
  ASSERT_TRUE(gf_waitUntil([&] { return requests(RequestKind::AIReleaseControl).size() == 4; }));
  const auto objects = standin->aiObjects();
  const auto o = std::find_if(objects.begin(), objects.end(), [&](auto& x) { return x.id == id; });
  EXPECT_TRUE(o->lat == 52.31 && o->lon == 4.77 && o->headingRad == 1.5 && o->altFt == 120);
  EXPECT_EQ(requests(RequestKind::SetDataOnSimObject).size(), 1u);
  const auto all = standin->requests();
  const auto flaps = std::find_if(all.begin() + 1, all.end() - 1, [](auto& r) {
    return r.request.kind == RequestKind::TransmitClientEvent && r.request.u[1] == kEventFlapsSet;
  });
  EXPECT_EQ((flaps - 1)->request.kind, RequestKind::AIReleaseControl);
  EXPECT_EQ((flaps + 1)->request.kind, RequestKind::AIReleaseControl);

  // Flight plans: one the simulator takes, one it cannot read.
  const auto plan = env.root() / gf_flightPlanPath(id);
  ASSERT_TRUE(gf_writeFlightPlan(plan, "EGLL", "KJFK", 2));
  for (const auto& path : {plan, env.root() / "none.pln"}) {
    std::lock_guard lock(g_simMutex);
    SimConnect_AISetAircraftFlightPlan(g_hSimConnect.load(), id, path.string().c_str(),
                                       kRequestFlightPlan);
  }
  ASSERT_TRUE(gf_waitUntil([&] { return !logLines("load flight plan failed").empty(); }));
  EXPECT_EQ(standin->aiObjects().front().flightPlan, "EGLL-KJFK");

  {
    std::lock_guard lock(g_simMutex);
    g_removeQueue.push_back(id);
  }
  const auto removed = notice(kNoticeObjectRemoved);
  ASSERT_TRUE(removed && removed->objectId == id);
  p3d::Faults refuse;
  refuse.refuseCreations = 1;
  standin->setFaults(refuse);
  gf_queueCreateAc({52.309, 4.7645, 0, 0, 0, 180, 1, 0, "KLM77", kTitle, 10002});
  const auto refused = notice(kNoticeCreateFailed);
  ASSERT_TRUE(refused && refused->tag == 10002 && !g_stopRequested.load());

  // A title (from a user's aircraft.cfg) or a tail number the packet cannot carry is refused as
  // the simulator refuses a creation; the run goes on and creates the next aircraft.
  gf_queueCreateAc({52.309, 4.7645, 0, 0, 0, 180, 1, 0, "KLM78", kLongTitle, 10003});
  gf_queueCreateAc({52.309, 4.7645, 0, 0, 0, 180, 1, 0, "KLM78-TAIL12", kTitle, 10004});
  gf_queueCreateAc({52.309, 4.7645, 0, 0, 0, 180, 1, 0, "KLM79", kTitle, 10005});
  const auto created = notice(kNoticeLiveIdentified, false, 10005);
  ASSERT_TRUE(created);
  ASSERT_TRUE(gf_waitUntil([&] {  // its freezes are out: nothing of it is on the way
    const auto events = requests(RequestKind::TransmitClientEvent);
    return std::any_of(events.begin(), events.end(), [&](const p3d::Request& r) {
      return r.u[0] == created->objectId && r.u[1] == kEventFreezeAttitudeSet;
    });
  }));
  std::vector<std::uint32_t> refusedTags;
  for (const SimObjectNotice& n : seen) {
    if (n.kind == kNoticeCreateFailed) refusedTags.push_back(n.tag);
    if (n.kind == kNoticeCallsignRefused) refusedTags.push_back(n.tag + 100);  // its own kind
  }
  EXPECT_EQ(refusedTags, (std::vector<std::uint32_t>{10002, 10003, 10104}));
  EXPECT_FALSE(g_stopRequested.load() || g_simRequestError.load());
  EXPECT_EQ(logLines("! Simcon call to create ac in sim failed, hexid:1000").size(), 2u);

  // A failed request ends the run; nothing more is sent.
  gf_simConnectRequestError();
  EXPECT_TRUE(stopped(kExitSimConnectError, 9));
  const std::size_t sent = standin->requests().size();
  gf_queueClientEvent({parked->objectId, kEventNavLightsSet, 1});
  ASSERT_TRUE(gf_waitUntil([] {
    std::lock_guard lock(g_simMutex);
    return g_eventQueue.empty();
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(standin->requests().size(), sent);
  worker.stop();
  EXPECT_TRUE(g_pendingCreates.empty()) << "matched, refused or never sent";
  EXPECT_EQ(logLines("SimConnect closed ok").size(), 1u);
}

// A creation sent just before the traffic radius shrank (auto range does so all through a
// descent): the range replies never name the object, the simulator's answer identifies it, and it
// is moved and removed as any other.
TEST_F(LinkEndToEnd, CreationOutsideTheRadiusAskedIsIdentified) {
  startStandin(gf_parkedScenario());
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  const double north = 52.3086 + 20.0 / 60.0;  // 20 nm from the user; replies within 10 nm
  gf_queueCreateAc({north, 4.7639, 3000, 0, 0, 180, 0, 250, "KLM321", "Stand-in A320", 10007});
  const auto live = notice(kNoticeLiveIdentified, true, 10007, 18520);
  ASSERT_TRUE(live);
  {
    std::lock_guard lock(g_simMutex);
    g_posFillQueue->assign({{north - 0.01, 4.7639, 0.0, 0.0, 3.1, 2900, -15, 250, live->objectId}});
    std::swap(g_posFillQueue, g_posQueue);
    g_removeQueue.push_back(live->objectId);
  }
  const auto removed = notice(kNoticeObjectRemoved);
  ASSERT_TRUE(removed && removed->objectId == live->objectId);
  EXPECT_EQ(requests(RequestKind::SetDataOnSimObject).size(), 1u);
  EXPECT_TRUE(standin->aiObjects().empty() && standin->exceptions().empty());
  for (const SimObjectNotice& n : seen) EXPECT_NE(n.kind, kNoticeNearGround);
  EXPECT_TRUE(logLines("just spawned").empty());
  worker.stop();
  EXPECT_TRUE(g_pendingCreates.empty() && g_ownObjectIds.empty() && g_addedObjectIds.empty());
}

TEST_F(LinkEndToEnd, NewFlightsAParkedUserAndALostSimulator) {
  startStandin(gf_parkedScenario());
  stands = {{{52.3086, 4.7639}, "A12"}};
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  p3d::PathPoint distant;
  distant.lat = 52.3086 + 15.0 / 60.0;
  distant.lon = 4.7639;
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { standin->sendFlightLoaded("flights\\other.fxml"); }, "SimConnect: New file event"},
      {[&] { standin->sendFlightLoadedEvent(); }, "Simconnect: flight loaded event"},
      {[&] { standin->sendPositionChanged(); }, "User ac position changed"},
      {[&] { standin->placeUser(distant); }, "Teleport"}};
  for (const auto& [act, logged] : cases) {
    act();
    EXPECT_TRUE(gf_waitUntil([] {
      gf_getUserAcData();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return stopped(kExitNewFlight, 30);
    })) << logged;
    EXPECT_EQ(logLines(logged).size(), 1u);
    g_stopRequested.store(false);  // the stop alone does not end the dispatch
    gf_parkStandCheck();           // the worker's tick
  }
  EXPECT_EQ(reservedStands, (std::vector<std::string>{"A12", "A12"}));

  // The simulator goes; the worker's failing requests meanwhile must not decide the reason.
  g_exitReason.store(0);
  standin->dropClients();
  ASSERT_TRUE(gf_waitUntil([] {
    gf_getUserAcData();
    return g_stopRequested.load() && g_simConnected.load() == 0;
  }));
  EXPECT_TRUE(stopped(kExitSimClosed, 0));
  EXPECT_FALSE(g_simRunning.load());
  EXPECT_EQ(logLines("Flight Simulator no longer connected, Zendrik_P3D will stop ...").size(), 1u);
}

TEST_F(LinkEndToEnd, NoSimulatorWaitsWithOneMessageUntilAStop) {
  const simtest::RefusingPort refusing(AF_INET);
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(refusing.port()));
  worker.start();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // two retries or more
  EXPECT_EQ(logLines("Waiting for Prepar3Dv5 ...").size(), 1u);
  g_stopRequested.store(true);  // the run's stop ends the waiting without the thread's token
  EXPECT_TRUE(gf_waitUntil([&] { return worker.finished(); }));
  worker.stop();
  EXPECT_TRUE(logLines("SimConnect closed").empty());
}

TEST_F(LinkEndToEnd, WrongSimulatorIsRefusedWithoutStoppingTheRun) {
  startStandin(gf_parkedScenario("v6"));
  g_paramSimInstallPath.setValue("C:\\Prepar3D v5");
  worker.start(5);
  ASSERT_TRUE(gf_waitUntil([&] { return !logLines("SimConnect closed ok").empty(); }));
  const std::string error =
      "78: wrong P3D version \"Lockheed Martin Prepar3D v6 (6.0.34.31011)\" connects ... ?";
  EXPECT_EQ(window(&MainWindowState::errorText), error);
  EXPECT_EQ(logLines("Error " + error).size(), 1u);
  EXPECT_FALSE(g_stopRequested.load());
}

TEST_F(LinkEndToEnd, EmptyAtcModelRestartsAndTheNextRunStartsClean) {
  nlohmann::json scenario = gf_parkedScenario();
  scenario["user"]["atc_model"] = "";
  startStandin(scenario);
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  ASSERT_TRUE(gf_waitUntil([&] { return !logLines("SimConnect closed ok").empty(); }));
  EXPECT_EQ(window(&MainWindowState::errorText),
            "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
  EXPECT_FALSE(g_stopRequested.load());
  gf_getUserAcData();  // the worker's next request: the link is closed
  EXPECT_TRUE(stopped(kExitSimConnectError, 9));

  worker.stop();  // the restart, with the aircraft corrected meanwhile
  gf_resetForRun();
  standin->setUserAircraft("Stand-in Boeing 737-800", "B738");
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  ASSERT_TRUE(gf_waitUntil([&] { return !logLines("User aircraft model: B738").empty(); }));
  EXPECT_EQ(setupOf(2), lf_expectedSetup());
  EXPECT_TRUE(window(&MainWindowState::errorText).empty());
  EXPECT_FALSE(g_stopRequested.load());

  // A reset that clears the shared handle before the join: the link still closes its own.
  g_hSimConnect.store(nullptr);
  worker.stop();
  EXPECT_EQ(logLines("SimConnect closed ok").size(), 2u);
  EXPECT_TRUE(gf_waitUntil([&] { return standin->connectedClients() == 0; }));
}

// The simulator goes and the worker's request fails before the link has noticed: the request
// leaves the stop to the link, which ends the run with SIM WAS CLOSED (above), not a restart.
TEST_F(LinkEndToEnd, RequestFailingWithTheLostConnectionLeavesTheStopToTheLink) {
  startStandin(gf_parkedScenario());
  HANDLE h = nullptr;  // opened here: no link thread notices the loss first
  ASSERT_GE(SimConnect_Open(&h, "Zendrik_P3D", nullptr, 0, nullptr, 0), 0);
  g_hSimConnect.store(h);
  ASSERT_TRUE(gf_waitUntil([&] { return standin->connectedClients() == 1; }));
  standin->dropClients();
  ASSERT_TRUE(gf_waitUntil([h] { return gf_simConnectFailedResult(h) < 0; }));
  gf_getUserAcData();
  EXPECT_EQ(logLines("SimConnect request user ac position fails").size(), 1u);
  EXPECT_TRUE(g_simRequestError.load());
  EXPECT_FALSE(g_stopRequested.load());
  SimConnect_Close(h);
}

// Four creations pending at once, the objects named by a range reply before the simulator answers
// the creations, last first; one lies beyond the radius the reply is asked within, and two share a
// callsign (two aircraft may fly as one), which the reply cannot tell apart. Each aircraft gets the
// object created for it, each object one aircraft.
TEST_F(LinkEndToEnd, CreationsPendingTogetherGetTheirOwnObjects) {
  nlohmann::json scenario = gf_parkedScenario();
  scenario["faults"] = {{"late_answers", true}};
  startStandin(scenario);
  worker.start();
  ASSERT_TRUE(worker.startFlight());
  const double north = 52.3086 + 20.0 / 60.0;  // 20 nm from the user; the reply asks within 10 nm
  const CreateAcRequest creations[] = {
      {north, 4.7639, 3000, 0, 0, 180, 0, 250, "KLM10", "Stand-in A320", 10010},
      {52.3090, 4.7650, 0, 0, 0, 90, 1, 0, "KLM11", "Stand-in A320", 10011},
      {52.3090, 4.7660, 0, 0, 0, 90, 1, 0, "KLM77", "Stand-in A320", 10012},
      {52.3090, 4.7670, 0, 0, 0, 90, 1, 0, "KLM77", "Stand-in A320", 10013}};
  for (const CreateAcRequest& c : creations) gf_queueCreateAc(c);
  ASSERT_TRUE(gf_waitUntil([&] { return standin->aiObjects().size() == 4; }));
  {
    std::lock_guard lock(g_simMutex);
    SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange, kDefAcInRange,
                                          18520, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
  }
  std::map<std::uint32_t, std::uint32_t> objectOf;  // tag -> object id
  ASSERT_TRUE(gf_waitUntil([&] {
    for (const SimObjectNotice& n : takeNotices()) {
      if (n.kind == kNoticeLiveIdentified) EXPECT_TRUE(objectOf.emplace(n.tag, n.objectId).second);
    }
    return objectOf.size() == 4;
  }));
  for (const p3d::SimObject& o : standin->aiObjects()) {
    const auto c = std::find_if(std::begin(creations), std::end(creations), [&](auto& r) {
      return objectOf.at(r.tag) == o.id;
    });
    ASSERT_NE(c, std::end(creations)) << "object " << o.id << " is no aircraft's";
    EXPECT_TRUE(o.lat == c->latitude && o.lon == c->longitude) << c->tag << " took " << o.id;
  }
  worker.stop();
  EXPECT_TRUE(g_pendingCreates.empty() && g_addedObjectIds.empty());
}

}  // namespace
