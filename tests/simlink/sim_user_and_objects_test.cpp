// The user aircraft (samples, teleports, simulator time, title, model and span, stand) and the
// objects of range replies, on crafted messages.
#include <gtest/gtest.h>

#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "liveries/aircraft_database.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;

namespace {

class UserAircraft : public LinkTest {};
class ObjectsInRange : public LinkTest {};

constexpr double kNmPerDegree = 60.0;

TEST_F(UserAircraft, SamplesTeleportsAndSimulatorTime) {
  struct Step {
    double lat, lon;
    bool newFlight;
  };
  const Step steps[] = {
      {0.0005, 0.02, false},                    // not placed yet
      {50.0, 8.0, false},                       // far from a not-placed sample: no jump
      {50.0 + 10.0 / kNmPerDegree, 8.0, false},  // exactly 10 nm
      {50.0 + 10.0 / kNmPerDegree + 10.01 / kNmPerDegree, 8.0, true},
  };
  g_rtProfessional.store(true);
  for (const Step& s : steps) {
    SCOPED_TRACE(s.lat);
    UserAcData d = gf_sampleAt(s.lat, s.lon);
    d.altitude = -12.0;
    d.zuluYear = 2024;
    d.zuluDayOfYear = 61;
    d.zuluTime = 0;
    gf_dispatch(gf_userSample(d, 7));
    EXPECT_EQ(g_stopRequested.load(), s.newFlight);
    std::lock_guard lock(g_simMutex);
    EXPECT_EQ(g_userAc.latitude, s.lat);
    EXPECT_EQ(g_userAc.altitude, 0.0);  // below sea level is stored as 0
  }
  EXPECT_EQ(g_exitReason.load(), kExitNewFlight);
  EXPECT_EQ(g_restartDelaySec.load(), 30u);
  EXPECT_EQ(logLines("Teleport").size(), 1u);
  EXPECT_EQ(g_userObjectId.load(), 7u);
  EXPECT_EQ(g_simTimeSec.load(), 1709251200);  // 1 March 2024 00:00:00 UTC

  // Bad numbers change nothing.
  UserAcData bad = gf_sampleAt(std::nan(""), 8.0);
  gf_dispatch(gf_userSample(bad, 9));
  EXPECT_EQ(g_userObjectId.load(), 7u);
  UserAcData badDate = gf_sampleAt(51.0, 8.0);
  badDate.zuluYear = -5;
  gf_dispatch(gf_userSample(badDate));
  EXPECT_EQ(g_simTimeSec.load(), 1709251200);
  EXPECT_EQ(logLines("not finite").size(), 1u);
  EXPECT_EQ(logLines("simulator time not usable").size(), 1u);
}

TEST_F(UserAircraft, CalendarArithmetic) {
  EXPECT_EQ(lf_unixTime(1970, 1, 0), 0);
  EXPECT_EQ(lf_unixTime(2024, 61, 0), 1709251200);
  EXPECT_EQ(lf_unixTime(2000, 366, 86399), 978307199);  // 31 December of a leap year
  EXPECT_EQ(lf_unixTime(2100, 60, 3600), 4107546000);   // 2100 is no leap year: 1 March
}

TEST_F(UserAircraft, OnGroundReportsWaitForAPlacedAircraft) {
  const auto onGround = [](std::int64_t value) {
    std::vector<std::uint8_t> record(8);
    std::memcpy(record.data(), &value, 8);
    gf_dispatch(gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserOnGround, 1,
                               kDefUserOnGround, record));
  };
  onGround(1);
  EXPECT_TRUE(g_userReportArrived.exchange(false));
  EXPECT_FALSE(g_userOnGroundKnown.load());
  gf_dispatch(gf_userSample(gf_sampleAt(52.3, 4.76)));
  onGround(1);
  EXPECT_TRUE(g_userReportArrived.load());
  EXPECT_TRUE(g_userOnGroundKnown.load());
  EXPECT_TRUE(g_userOnGround.load());
  onGround(0);
  EXPECT_FALSE(g_userOnGround.load());
}

TEST_F(UserAircraft, TitleIsCutTo48AndLoggedOnChange) {
  const auto title = [](const std::string& text) {
    std::vector<std::uint8_t> record(text.begin(), text.end());
    record.push_back(0);
    gf_dispatch(gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserTitle, 1,
                               kDefUserTitle, record));
  };
  const std::string sixty(60, 'T');
  title(sixty);
  title(sixty);
  title("");
  EXPECT_EQ(windowText(&MainWindowState::userAcTitleText), std::string(48, 'T'));
  EXPECT_EQ(g_userAcTitle, std::string(48, 'T'));
  EXPECT_EQ(logLines("SimConnect: User aircraft title: ").size(), 1u);
  EXPECT_EQ(logLines("! title of your ac is empty?").size(), 1u);
  // A title without its terminating zero is read up to the end of the message.
  gf_dispatch(gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserTitle, 1,
                             kDefUserTitle, {'A', 'B', 'C'}));
  EXPECT_EQ(g_userAcTitle, "ABC");
}

TEST_F(UserAircraft, ModelGivesTheSpan) {
  const double maxSpan = g_maxHalfWingspanNm;
  const double e190 = 28.72 * 0.5 * kWingspanNmPerMetre;
  const double b738 = 35.79 * 0.5 * kWingspanNmPerMetre;
  const double a320 = 35.8 * 0.5 * kWingspanNmPerMetre;
  struct Case {
    const char* model;
    const char* title;
    double span;
    bool known;
    const char* logged;  // fragment of the last line
  };
  const Case cases[] = {
      {"camerapod", "", e190, true, "camerapod, half wing span: 14.4 meter, category: Light"},
      {"xCrew Vessel", "", e190, true, "category: Light"},
      {"B738", "", b738, true, "B738, half wing span: 17.9 meter, category: Large"},
      {"Boeing737", "PMDG 737", maxSpan, false, "Boeing737, half wing span: 39.9 meter"},
      {"A320-214", "Aerosoft A320 Lufthansa", a320, true, "A320, half wing span: 17.9 meter, category: Large"},
      {"A321-211", "Aerosoft A321 BA", maxSpan, false, "A321, half wing span: 39.9 meter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    gf_resetForRun();
    gf_clearMessage();
    g_userAcTitle = c.title;
    gf_dispatch(gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserModel, 1,
                               kDefUserModel, gf_textRecord(c.model, 32)));
    EXPECT_DOUBLE_EQ(g_userAcType.halfSpanNm, c.span);
    EXPECT_TRUE(g_userAcType.set);
    EXPECT_EQ(g_mainWindowState.userAcModelKnown.load(), c.known ? 1 : 0);
    EXPECT_EQ(windowText(&MainWindowState::statusText).empty(), c.known);
    const auto lines = logLines("half wing span");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(c.logged), std::string::npos) << lines.back();
  }
  EXPECT_EQ(logLines("SimConnect: User aircraft model deduced from title: A32").size(), 2u);
  EXPECT_EQ(logLines("model raw: B738 ").size(), 1u);

  std::string thrown;
  try {
    gf_dispatch(gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserModel, 1,
                               kDefUserModel, gf_textRecord("", 32)));
  } catch (const qvb::UserErrorException& e) {
    thrown = e.what();
  }
  EXPECT_EQ(thrown,
            "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
}

TEST_F(UserAircraft, StandOncePerSampleAndTheParkStandCheck) {
  g_simRequestError.store(true);  // no connection: ask for nothing
  int lookups = 0;
  gf_setSimLinkHooks({[&](const LatLon& p) {
                        ++lookups;
                        return gf_distanceNm(p, {52.3086, 4.7639}) < 0.01 ? "A12" : "";
                      },
                      [this](const std::string& name) { reservedStands.push_back(name); }});
  gf_dispatch(gf_userSample(gf_sampleAt(52.3086, 4.7639)));
  gf_getUserAcData();
  gf_getUserAcData();
  EXPECT_EQ(lookups, 1);
  EXPECT_EQ(g_userStandName, "A12");
  EXPECT_EQ(windowText(&MainWindowState::userStand), "A12");
  gf_dispatch(gf_userSample(gf_sampleAt(52.32, 4.77)));
  gf_getUserAcData();
  EXPECT_EQ(windowText(&MainWindowState::userStand), "");

  // The check runs on request only, for a known on-ground state and a slow aircraft.
  gf_dispatch(gf_userSample(gf_sampleAt(52.3086, 4.7639)));
  gf_parkStandCheck();
  g_parkStandCheckRequested.store(true);
  gf_parkStandCheck();  // on-ground state unknown
  g_userOnGroundKnown.store(true);
  g_userAcSnapshot.groundVelocity = 2.5;
  g_parkStandCheckRequested.store(true);
  gf_parkStandCheck();
  g_userAcSnapshot.groundVelocity = 2.0;
  g_parkStandCheckRequested.store(true);
  gf_parkStandCheck();
  EXPECT_EQ(reservedStands, std::vector<std::string>{"A12"});
  EXPECT_FALSE(g_parkStandCheckRequested.load());
}

struct RangeCase {
  const char* label;
  bool justAdded;
  std::uint32_t pendingTag;  // of the pending creation "KLM12" of a just-added object
  const char* atcId;
  double agl;
  int kind;  // -1: no notice
  std::uint32_t tag;
};

TEST_F(ObjectsInRange, IdentifiesOwnObjectsAndReportsOthersNearTheGround) {
  const RangeCase cases[] = {
      {"live", true, 10001, "KLM12", 1500.0, kNoticeLiveIdentified, 10001},
      {"static", true, 10000, "KLM12", 0.0, kNoticeStaticIdentified, 10000},
      {"pending tag 0", true, 0, "KLM12", 0.0, -1, 0},
      {"no ATC id", true, 10001, "", 0.0, -1, 0},
      {"someone else's", true, 10001, "DLH4", 0.0, -1, 0},
      {"other at 2500 ft", false, 0, "DLH4", 2500.0, kNoticeNearGround, 1},
      {"other above", false, 0, "DLH4", 2500.01, -1, 0},
      {"static mark", false, 0, "KLM12*", 10.0, -1, 0},
      {"other without id", false, 0, "", 10.0, -1, 0},
  };
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.label);
    gf_resetForRun();
    g_userObjectId.store(1);
    if (c.justAdded) {
      g_pendingCreates = {{3, c.pendingTag, "KLM12"}};
      gf_dispatch(gf_addRemoveMessage(kEventObjectAdded, 101));
    }
    gf_dispatch(gf_acInRange(101, c.agl, -11.0, 1, c.atcId));
    const auto notices = takeNotices();
    ASSERT_EQ(notices.size(), c.kind < 0 ? 0u : 1u);
    EXPECT_TRUE(g_addedObjectIds.empty());
    const bool identified = c.kind == kNoticeLiveIdentified || c.kind == kNoticeStaticIdentified;
    std::lock_guard lock(g_simMutex);
    EXPECT_EQ(g_eventQueue.size(), identified ? 3u : 0u);
    if (c.kind < 0) continue;
    EXPECT_EQ(notices[0].kind, static_cast<std::uint32_t>(c.kind));
    EXPECT_EQ(notices[0].objectId, 101u);
    EXPECT_EQ(notices[0].tag, c.tag);
    if (identified) {
      EXPECT_TRUE(g_pendingCreates.empty());
      EXPECT_EQ(g_eventQueue[0].eventId, kEventFreezeLatLonSet);
      EXPECT_EQ(g_eventQueue[1].eventId, kEventFreezeAltitudeSet);
      EXPECT_EQ(g_eventQueue[2].eventId, kEventFreezeAttitudeSet);
    }
    EXPECT_EQ(notices[0].value2, c.kind == kNoticeStaticIdentified ? 0.0 : c.agl);
    if (c.kind == kNoticeNearGround) {
      EXPECT_EQ(notices[0].value1, -11.0);
    }
  }
  EXPECT_EQ(logLines("just spawned, but not by Zendrik_P3D, oid: 101").size(), 3u);
  // The user aircraft and ids at or below it are never looked at.
  gf_dispatch(gf_acInRange(1, 0.0, 0.0, 1, "DLH4"));
  EXPECT_TRUE(takeNotices().empty());
}

}  // namespace
