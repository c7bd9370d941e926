// The dispatch on crafted messages: exceptions, events and new flights, the user aircraft, the
// objects in range, and messages cut short (the simulator check is in sim_dispatch_open_test).
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <unordered_set>

#include "foundation/parameters.h"
#include "liveries/aircraft_database.h"
#include "platform/win32.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;

namespace {

Bytes lf_event(std::uint32_t eventId, std::uint32_t data = 0) {
  return gf_message(SIMCONNECT_RECV_ID_EVENT, {SIMCONNECT_UNUSED, eventId, data});
}

TEST_F(Dispatch, ExceptionsByCode) {
  gf_dispatch(gf_sample(52.3, 4.76));  // placed: unknown ids are worth a line now
  const struct {
    std::uint32_t code;
    const char *logged, *status, *thrown;
  } cases[] = {{3, "===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID", "", ""},
               {5, "", "", "95: Simconnect Version Mismatch, dwindex: 7 "},
               {11, "SimConnect: too many", "SimConnect: too many objects (max 1000)", ""},
               {19, "SIMCON EXCEP 19", "", ""},
               {23, "===> Simconnect exception: load flight plan failed", "", ""},
               {24, "SIMCON EXCEP 24", "", ""},
               {2, "===> SIMCON EXCEP 2", "", ""}};
  for (const auto& c : cases) {
    gf_clearMessage();
    EXPECT_EQ(dispatchError(gf_message(1, {c.code, 40, 7})), c.thrown);
    EXPECT_LOGGED_ONCE(c.logged);
    EXPECT_EQ(window(&MainWindowState::statusText), c.status);
  }
  g_stopRequested.store(true);  // nor while the run stops, nor before the user is placed
  gf_dispatch(gf_message(1, {3, 41, 0}));
  g_stopRequested.store(false);
  g_prevUserPos = {0.0005, 0.02};
  gf_dispatch(gf_message(1, {3, 42, 0}));
  EXPECT_LOGGED_ONCE("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");

  // Refused creations, by the send id of the pending entry; the last moves into each gap.
  g_pendingCreates = {{5, 10001, "KLM1"}, {6, 0, "KLM2"}, {7, 20, "KLM3"}, {8, 30, "KLM4"}};
  for (const std::uint32_t sendId : {6, 99, 5}) gf_dispatch(gf_message(1, {22, sendId, 1}));
  ASSERT_EQ(g_pendingCreates.size(), 2u);
  EXPECT_TRUE(g_pendingCreates[0].sendId == 7 && g_pendingCreates[1].sendId == 8);
  const auto notices = takeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].kind == kNoticeCreateFailed && notices[0].tag == 10001);
}

TEST_F(Dispatch, EventsAndOtherKinds) {
  gf_dispatch(lf_event(kEventSim, 1));
  EXPECT_TRUE(g_simRunning.load() && g_mainWindowState.simRunningLamp.load() == 1);
  gf_dispatch(gf_message(SIMCONNECT_RECV_ID_QUIT, {}));
  EXPECT_FALSE(g_simRunning.load());
  gf_dispatch(lf_event(kEventFlightLoaded));  // more new flights in the end-to-end tests
  EXPECT_TRUE(g_parkStandCheckRequested.load());
  gf_requestStop(kExitNewSettings, 2);  // NEW FLIGHT with 30 s stays, the first reason
  gf_dispatch(lf_event(kEventPositionChanged));
  EXPECT_EQ(g_exitReason.load() * 100 + g_restartDelaySec.load(), 230u);
  for (Bytes m : {lf_event(kEventFrame), gf_message(12, {104, 101}), gf_message(16, {}),
                  gf_message(10, {})}) {
    gf_dispatch(m);
  }
  EXPECT_LOGGED_ONCE("! Unknown Dispatch dwID 10");
  g_userObjectId.store(1);  // an aircraft only, above the user
  for (const std::uint32_t id : {101u, 1u}) {
    gf_dispatch(gf_message(5, {SIMCONNECT_UNUSED, kEventObjectAdded, id, 2}));
  }
  gf_dispatch(gf_message(5, {SIMCONNECT_UNUSED, kEventObjectAdded, 102, 4}));
  EXPECT_EQ(g_addedObjectIds, std::unordered_set<std::uint32_t>{101});
  // Never named by a range reply (out of range): forgotten at its removal.
  gf_dispatch(gf_message(5, {SIMCONNECT_UNUSED, kEventObjectRemoved, 101, 2}));
  EXPECT_TRUE(g_addedObjectIds.empty());
  EXPECT_EQ(takeNotices().at(0).kind, kNoticeObjectRemoved);
  for (int frame = 1; frame <= 30; ++frame) {  // the rate is taken every 30th frame
    const float rate = frame == 30 ? 42.5f : 41.5f;
    gf_dispatch(
        gf_message(7, {SIMCONNECT_UNUSED, kEventFrame, 0, std::bit_cast<std::uint32_t>(rate), 0}));
    EXPECT_EQ(g_simFrameRate.load(), frame < 30 ? 0.0f : 42.5f);
  }
}

TEST_F(Dispatch, UserSamplesTeleportsAndSimulatorTime) {
  g_rtProfessional.store(true);
  // Not placed, then from a not-placed sample, then exactly 10.0 nm (the longitude's last digits
  // make the distance exact), then 10.01 nm north.
  const LatLon samples[] = {{0.0005, 0.02},
                            {50.0, 8.0},
                            {50.166666666666664, 8.0000000391537451},
                            {50.0 + 20.01 / 60, 8.0}};
  ASSERT_EQ(gf_distanceNm(samples[1], samples[2]), 10.0);
  for (const auto& [lat, lon] : samples) {
    UserAcData d;
    d.latitude = lat;
    d.longitude = lon;
    d.altitude = -12.0;
    d.zuluYear = 2024;
    d.zuluDayOfYear = 61;
    gf_dispatch(gf_data(kRequestUserAc, gf_bytes(d), 7));
    EXPECT_EQ(g_stopRequested.load(), lat > 50.2) << lat;
    std::lock_guard lock(g_simMutex);
    EXPECT_EQ(g_userAc.altitude, 0.0);  // below sea level counts as 0
  }
  EXPECT_TRUE(g_exitReason.load() == kExitNewFlight && g_restartDelaySec.load() == 30);
  EXPECT_LOGGED_ONCE("Teleport");
  EXPECT_EQ(g_userObjectId.load(), 7u);
  EXPECT_EQ(g_simTimeSec.load(), 1709251200);          // 1 March 2024 00:00:00 UTC
  EXPECT_EQ(lf_unixTime(2100, 60, 3600), 4107546000);  // no leap year: 1 March
  gf_dispatch(gf_sample(std::nan(""), 8.0, 9));        // refused with its line
  EXPECT_EQ(g_userObjectId.load(), 7u);
  EXPECT_LOGGED_ONCE("not finite");
  gf_resetForRun();  // a restart: the new run's first sample is no jump from the old run's last
  gf_dispatch(gf_sample(10.0, 10.0));
  EXPECT_FALSE(g_stopRequested.load());
}

TEST_F(Dispatch, TitleAndModelGiveTheSpan) {
  for (const std::string& title : {std::string(60, 'T'), std::string(60, 'T'), std::string()}) {
    gf_dispatch(gf_data(kRequestUserTitle, gf_textField(title, 64)));
  }
  EXPECT_EQ(window(&MainWindowState::userAcTitleText), std::string(48, 'T'));
  EXPECT_LOGGED_ONCE("SimConnect: User aircraft title: ");
  EXPECT_LOGGED_ONCE("! title of your ac is empty?");
  gf_dispatch(gf_data(kRequestUserTitle, {'A', 'B', 'C'}));  // no terminating zero
  EXPECT_EQ(g_userAcTitle, "ABC");

  const struct {
    const char *model, *title;
    double metres;  // 0: unknown, the largest span is taken
    const char* logged;
  } cases[] = {{"camerapod", "", 28.72, "camerapod, half wing span: 14.4 meter, category: Light"},
               {"xCrew Vessel", "", 28.72, "xCrew Vessel, half wing span: 14.4 meter"},
               {"B738", "", 35.79, "B738, half wing span: 17.9 meter, category: Large"},
               {"Boeing737", "PMDG 737", 0, "Boeing737, half wing span: 39.9 meter"},
               {"A320-214", "Aerosoft A320 DLH", 35.8, "A320, half wing span: 17.9 meter"},
               {"A321-211", "Aerosoft A321 BA", 0, "A321, half wing span: 39.9 meter"}};
  for (const auto& c : cases) {
    gf_resetForRun();
    g_userAcTitle = c.title;
    gf_dispatch(gf_data(kRequestUserModel, gf_textField(c.model, 32)));
    const bool known = c.metres > 0;
    EXPECT_DOUBLE_EQ(g_userAcType.halfSpanNm,
                     known ? c.metres * 0.5 * kWingspanNmPerMetre : g_maxHalfWingspanNm);
    EXPECT_EQ(g_mainWindowState.userAcModelKnown.load(), known ? 1 : 0) << c.model;
    EXPECT_EQ(window(&MainWindowState::statusText).empty(), known) << c.model;
    EXPECT_LOGGED_ONCE(c.logged);
  }
  EXPECT_EQ(logLines("SimConnect: User aircraft model deduced from title: A32").size(), 2u);
  EXPECT_EQ(dispatchError(gf_data(kRequestUserModel, gf_textField("", 32))),
            "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
}

// Replies 102 and 108: the static CG goes to the engine; the user's on-ground state counts only
// once the user aircraft is placed, though every reply says a report arrived.
TEST_F(Dispatch, StaticCgAndOnGroundReplies) {
  gf_dispatch(gf_data(kRequestStaticCg, gf_bytes(std::array<double, 2>{6.25, -0.03}), 101));
  const auto notices = takeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].objectId == 101 && notices[0].kind == kNoticeStaticCg);
  EXPECT_TRUE(notices[0].value1 == 6.25 && notices[0].value2 == -0.03);

  const auto onGround = [](std::int64_t value) {
    gf_dispatch(gf_data(kRequestUserOnGround, gf_bytes(value)));
  };
  onGround(1);
  EXPECT_TRUE(g_userReportArrived.load());
  EXPECT_FALSE(g_userOnGroundKnown.load() || g_userOnGround.load()) << "not placed yet";
  gf_dispatch(gf_sample(52.3, 4.76));
  onGround(1);
  EXPECT_TRUE(g_userOnGroundKnown.load() && g_userOnGround.load());
  onGround(0);
  EXPECT_TRUE(g_userOnGroundKnown.load() && !g_userOnGround.load());
}

TEST_F(Dispatch, ObjectsInRange) {
  const struct {
    bool justAdded;
    std::uint32_t pendingTag;  // of the pending creation "KLM12" of a just-added object
    const char* atcId;
    double agl;
    int kind;  // -1: no notice
  } cases[] = {{true, 10001, "KLM12", 1500.0, kNoticeLiveIdentified},
               {true, 10000, "KLM12", 0.0, kNoticeStaticIdentified},
               {true, 0, "KLM12", 0.0, -1},  // these three are logged as someone else's
               {true, 10001, "", 0.0, -1},
               {true, 10001, "DLH4", 0.0, -1},
               {false, 0, "DLH4", 2500.0, kNoticeNearGround},
               {false, 0, "DLH4", 2500.01, -1},
               {false, 0, "KLM12*", 10.0, -1},  // a static parked aircraft
               {false, 0, "", 10.0, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.atcId << " " << c.pendingTag << " " << c.agl);
    gf_resetForRun();
    g_userObjectId.store(1);
    if (c.justAdded) {
      g_pendingCreates = {{3, c.pendingTag, "KLM12"}};
      gf_dispatch(gf_message(5, {SIMCONNECT_UNUSED, kEventObjectAdded, 101, 2}));
    }
    gf_dispatch(gf_inRange(101, c.agl, c.atcId));
    EXPECT_TRUE(g_addedObjectIds.empty());
    const auto notices = takeNotices();
    ASSERT_EQ(notices.size(), c.kind < 0 ? 0u : 1u);
    const bool identified = c.kind == kNoticeLiveIdentified || c.kind == kNoticeStaticIdentified;
    ASSERT_EQ(g_eventQueue.size(), identified ? 3u : 0u);  // the three freezes
    for (std::size_t i = 0; i < g_eventQueue.size(); ++i) {
      EXPECT_EQ(g_eventQueue[i].eventId, kEventFreezeLatLonSet + i);
    }
    if (c.kind < 0) continue;
    EXPECT_EQ(notices[0].kind, static_cast<std::uint32_t>(c.kind));
    EXPECT_EQ(notices[0].tag, c.justAdded ? c.pendingTag : 1u);  // kind 3: on the ground
    EXPECT_EQ(notices[0].value2, c.kind == kNoticeStaticIdentified ? 0.0 : c.agl);
  }
  EXPECT_EQ(logLines("just spawned, but not by Zendrik_P3D, oid: 101").size(), 3u);
  gf_dispatch(gf_inRange(1, 0.0, "DLH4"));  // the user aircraft
  EXPECT_TRUE(takeNotices().empty());
}

// The simulator answers each creation with the new object's id for the creation's request id:
// the object is the engine's at once, whatever radius later range replies ask within, and in
// whatever order ObjectAdded, the answer and a range reply come. A reply that names it first
// identifies it by its callsign, and the answer then changes nothing.
TEST_F(Dispatch, CreationsIdentifiedByTheSimulatorsAnswer) {
  const Bytes answer =
      gf_message(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID, {kFirstCreateRequestId + 7, 101});
  const Bytes added = gf_message(5, {SIMCONNECT_UNUSED, kEventObjectAdded, 101, 2});
  const Bytes inRange = gf_inRange(101, 1500.0, "KLM12");
  const struct {
    std::vector<const Bytes*> order;
    std::vector<std::uint32_t> kinds;  // of the notices
    bool heightKnown;                  // the identification carries the height above ground
  } cases[] = {{{&answer, &added, &inRange}, {kNoticeLiveIdentified, kNoticeNearGround}, false},
               {{&added, &answer, &inRange}, {kNoticeLiveIdentified, kNoticeNearGround}, false},
               {{&added, &inRange, &answer}, {kNoticeLiveIdentified}, true}};
  for (const auto& c : cases) {
    gf_resetForRun();
    g_userObjectId.store(1);
    g_pendingCreates = {{3, 10001, "KLM12", kFirstCreateRequestId + 7},
                        {4, 10002, "KLM13", kFirstCreateRequestId + 8}};
    for (const Bytes* m : c.order) gf_dispatch(*m);
    std::vector<std::uint32_t> kinds;
    const auto notices = takeNotices();
    for (const SimObjectNotice& n : notices) kinds.push_back(n.kind);
    ASSERT_EQ(kinds, c.kinds);
    EXPECT_TRUE(notices[0].objectId == 101 && notices[0].tag == 10001);
    EXPECT_EQ(std::isnan(notices[0].value2), !c.heightKnown);
    EXPECT_EQ(g_eventQueue.size(), 3u);  // frozen once
    EXPECT_TRUE(g_addedObjectIds.empty());
    ASSERT_EQ(g_pendingCreates.size(), 1u);
    EXPECT_EQ(g_pendingCreates[0].tag, 10002u);
  }
  EXPECT_TRUE(logLines("just spawned").empty());
  // Answers that name no pending creation, or an object at or below the user's, change nothing.
  for (const Bytes& m :
       {gf_message(12, {104, 102}), gf_message(12, {kFirstCreateRequestId + 8, 1})}) {
    gf_dispatch(m);
  }
  EXPECT_TRUE(takeNotices().empty());
  EXPECT_EQ(g_pendingCreates.size(), 1u);
}

TEST_F(Dispatch, EveryMessageCutShortIsSkipped) {
  g_pendingCreates = {{5, 10001, "KLM1", kFirstCreateRequestId}};
  g_addedObjectIds = {101};
  std::vector<Bytes> messages = {
      gf_message(1, {22, 5, 1}),
      gf_message(12, {kFirstCreateRequestId, 101}),
      gf_openMessage("Prepar3D v5"),
      lf_event(kEventPositionChanged),
      gf_message(5, {SIMCONNECT_UNUSED, kEventObjectRemoved, 103, 2}),
      gf_message(6, {SIMCONNECT_UNUSED, kEventFlightLoaded, 0}, Bytes(264)),
      gf_message(7, {SIMCONNECT_UNUSED, kEventFrame, 0, 0, 0}),
      gf_sample(52.3, 4.76),
      gf_data(kRequestUserOnGround, Bytes(8, 1)),
      gf_data(kRequestUserModel, gf_textField("", 32)),
      gf_data(kRequestStaticCg, Bytes(16)),
      gf_inRange(101, 10.0, "KLM1"),
      gf_data(kRequestUserAc, {})};
  for (auto& m : messages) {
    m.pop_back();
    EXPECT_NO_THROW(gf_dispatch(m));
  }
  lf_dispatch(nullptr, 0, nullptr);
  EXPECT_EQ(logLines("too short").size(), messages.size());
  EXPECT_FALSE(g_stopRequested.load() || g_userReportArrived.load() || g_simConnected.load());
  EXPECT_EQ(g_pendingCreates.size() + g_addedObjectIds.size(), 2u);
  EXPECT_TRUE(takeNotices().empty());
}

}  // namespace
