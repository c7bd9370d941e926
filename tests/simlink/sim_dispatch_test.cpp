// The dispatch on crafted messages: the simulator check, exceptions, events, new flights,
// messages cut short.
#include <gtest/gtest.h>

#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "simlink/simlink_test_helpers.h"

using namespace linktest;

namespace {

class Dispatch : public LinkTest {};

struct OpenCase {
  const char* label;
  std::string name;
  const char* installPath;
  std::uint32_t version;
  const char* error;    // "" accepted
  const char* simName;  // g_simName afterwards
};

TEST_F(Dispatch, OpenAcceptsOnlyTheExpectedSimulator) {
  const std::string v5 = "Lockheed Martin\xC2\xAE Prepar3D\xC2\xAE v5";  // (R) signs dropped
  const OpenCase cases[] = {
      {"v5 by version", v5, "", 5, "", "Lockheed Martin Prepar3D v5 (5.3.17.28160)"},
      {"V5 alone", "Lockheed Martin Prepar3D V5", "", 5,
       "78: wrong P3D version \"Lockheed Martin Prepar3D V5 (5.3.17.28160)\" connects ... ?",
       "Lockheed Martin Prepar3D V5 (5.3.17.28160)"},
      {"v6 by path", "Prepar3D v6", "D:\\Prepar3D V6", 5, "", "Prepar3D v6 (5.3.17.28160)"},
      {"v6 by version", "Prepar3D v6", "C:\\Sim", 6, "", "Prepar3D v6 (5.3.17.28160)"},
      {"v6 refused", "Prepar3D v6", "C:\\Prepar3D v5", 5,
       "78: wrong P3D version \"Prepar3D v6 (5.3.17.28160)\" connects ... ?",
       "Prepar3D v6 (5.3.17.28160)"},
      {"v5 refused", "Prepar3D v5", "C:\\Sim", 6,
       "78: wrong P3D version \"Prepar3D v5 (5.3.17.28160)\" connects ... ?",
       "Prepar3D v5 (5.3.17.28160)"},
      {"MSFS, punctuation", "Kitty-Hawk!", "", 5, "78: KittyHawk, (MSFS) not being P3D connects ... ?",
       ""},
      {"MSFS", "SunRise", "", 5, "78: SunRise, (MSFS) not being P3D connects ... ?", ""},
      {"empty", "", "", 5, "", ""},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.label);
    gf_resetForRun();
    g_paramSimInstallPath.setValue(c.installPath);
    g_p3dMajorVersion.store(c.version);
    gf_showMessage("Waiting for Prepar3Dv5 ...", false);
    std::string thrown;
    try {
      gf_dispatch(gf_openMessage(c.name));
    } catch (const qvb::UserErrorException& e) {
      thrown = e.what();
    }
    EXPECT_EQ(thrown, c.error);
    EXPECT_EQ(windowText(&MainWindowState::simName), c.simName);
    EXPECT_EQ(g_simConnected.load(), c.name.empty() ? 0 : 1);
    const bool accepted = thrown.empty() && !c.name.empty();
    EXPECT_EQ(windowText(&MainWindowState::statusText).empty(), accepted);
    EXPECT_FALSE(g_stopRequested.load());
  }
  EXPECT_EQ(logLines("! Simulator name empty?").size(), 1u);
  EXPECT_EQ(logLines("Lockheed Martin Prepar3D v5 (5.3.17.28160) connected").size(), 1u);
}

struct ExceptionCase {
  std::uint32_t code;
  const char* logged;  // fragment of the line logged
  const char* status;  // status line afterwards
  const char* thrown;
};

TEST_F(Dispatch, ExceptionsByCode) {
  gf_dispatch(gf_userSample(gf_sampleAt(52.3, 4.76)));  // placed
  const ExceptionCase cases[] = {
      {3, "===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID", "", ""},
      {5, "", "", "95: Simconnect Version Mismatch, dwindex: 7 "},
      {11, "SimConnect: too many objects (max 1000)", "SimConnect: too many objects (max 1000)",
       ""},
      {19, "SIMCON EXCEP 19", "", ""},
      {23, "===> Simconnect exception: load flight plan failed", "", ""},
      {24, "SIMCON EXCEP 24", "", ""},
      {2, "===> SIMCON EXCEP 2", "", ""},
  };
  for (const ExceptionCase& c : cases) {
    SCOPED_TRACE(c.code);
    gf_clearMessage();
    std::string thrown;
    try {
      gf_dispatch(gf_exceptionMessage(c.code, 40, 7));
    } catch (const qvb::UserErrorException& e) {
      thrown = e.what();
    }
    EXPECT_EQ(thrown, c.thrown);
    if (*c.logged != '\0') {
      EXPECT_EQ(logLines(c.logged).size(), 1u);
    }
    EXPECT_EQ(windowText(&MainWindowState::statusText), c.status);
  }
  // Unknown ids are not worth a line before the user is placed or while the run stops.
  g_stopRequested.store(true);
  gf_dispatch(gf_exceptionMessage(3, 41, 0));
  g_stopRequested.store(false);
  g_prevUserPos = {0.0005, 0.02};
  gf_dispatch(gf_exceptionMessage(3, 42, 0));
  EXPECT_EQ(logLines("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID").size(), 1u);
  EXPECT_TRUE(takeNotices().empty());
}

TEST_F(Dispatch, RefusedCreationsByPendingSendId) {
  g_pendingCreates = {{5, 10001, "KLM1"}, {6, 0, "KLM2"}, {7, 20, "KLM3"}, {8, 30, "KLM4"}};
  gf_dispatch(gf_exceptionMessage(22, 6, 1));   // tag 0: dropped without a notice
  gf_dispatch(gf_exceptionMessage(22, 99, 1));  // not pending: nothing
  gf_dispatch(gf_exceptionMessage(22, 5, 1));
  std::vector<std::uint32_t> left;
  for (const PendingCreate& p : g_pendingCreates) left.push_back(p.sendId);
  EXPECT_EQ(left, (std::vector<std::uint32_t>{7, 8}));  // the last moved into each gap
  const auto notices = takeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].kind, kNoticeCreateFailed);
  EXPECT_EQ(notices[0].tag, 10001u);
  EXPECT_EQ(notices[0].objectId, 0u);
}

TEST_F(Dispatch, EventsRunStateAndNewFlights) {
  struct Case {
    const char* label;
    std::vector<std::uint8_t> message;
    bool newFlight;
    bool standCheck;
    const char* logged;
  };
  const Case cases[] = {
      {"position changed", gf_eventMessage(kEventPositionChanged, 0), true, false,
       "===> User ac position changed"},
      {"flight loaded event", gf_eventMessage(kEventFlightLoaded, 0), true, true,
       "Simconnect: flight loaded event"},
      {"flight file", gf_filenameMessage(), true, true, "===> SimConnect: New file event"},
      {"other event", gf_eventMessage(kEventFrame, 0), false, false, ""},
      {"unknown kind", simtest::Bytes().u32(12).u32(35).u32(10).take(), false, false,
       "! Unknown Dispatch dwID 10"},
      {"assigned id", simtest::Bytes().u32(20).u32(35).u32(12).u32(104).u32(101).take(), false,
       false, ""},
      {"client data", simtest::Bytes().u32(12).u32(35).u32(16).take(), false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    gf_resetForRun();
    gf_dispatch(c.message);
    EXPECT_EQ(g_stopRequested.load(), c.newFlight);
    EXPECT_EQ(g_exitReason.load(), c.newFlight ? kExitNewFlight : kExitNotYetSet);
    EXPECT_EQ(g_restartDelaySec.load(), c.newFlight ? 30u : 0u);
    EXPECT_EQ(g_parkStandCheckRequested.load(), c.standCheck);
    if (*c.logged != '\0') {
      EXPECT_EQ(logLines(c.logged).size(), 1u);
    }
  }
  // A later new flight keeps the first reason.
  gf_requestStop(kExitNewSettings, 2);
  gf_dispatch(gf_eventMessage(kEventPositionChanged, 0));
  EXPECT_EQ(g_exitReason.load(), kExitNewSettings);

  gf_dispatch(gf_eventMessage(kEventSim, 1));
  EXPECT_TRUE(g_simRunning.load());
  EXPECT_EQ(g_mainWindowState.simRunningLamp.load(), 1);
  gf_dispatch(simtest::Bytes().u32(12).u32(35).u32(SIMCONNECT_RECV_ID_QUIT).take());
  EXPECT_FALSE(g_simRunning.load());
  gf_dispatch(gf_eventMessage(kEventSim, 1));
  gf_dispatch(gf_eventMessage(kEventSim, 0));
  EXPECT_FALSE(g_simRunning.load());
  EXPECT_EQ(g_mainWindowState.simRunningLamp.load(), 0);
}

TEST_F(Dispatch, ObjectsAddedAndRemovedAndFrameRate) {
  g_userObjectId.store(1);
  gf_dispatch(gf_addRemoveMessage(kEventObjectAdded, 101));
  gf_dispatch(gf_addRemoveMessage(kEventObjectAdded, 1));       // the user aircraft
  gf_dispatch(gf_addRemoveMessage(kEventObjectAdded, 102, 4));  // a boat
  gf_dispatch(gf_addRemoveMessage(kEventObjectRemoved, 103));
  gf_dispatch(gf_addRemoveMessage(kEventObjectRemoved, 104, 5));
  EXPECT_EQ(g_addedObjectIds, (std::vector<std::uint32_t>{101}));
  const auto notices = takeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].kind, kNoticeObjectRemoved);
  EXPECT_EQ(notices[0].objectId, 103u);

  for (int frame = 1; frame <= 29; ++frame) gf_dispatch(gf_frameMessage(41.5f));
  EXPECT_EQ(g_simFrameRate.load(), 0.0f);
  gf_dispatch(gf_frameMessage(42.5f));
  EXPECT_EQ(g_simFrameRate.load(), 42.5f);
}

TEST_F(Dispatch, EveryMessageCutShortIsSkipped) {
  g_pendingCreates = {{5, 10001, "KLM1"}};
  g_addedObjectIds = {101};
  const std::vector<std::vector<std::uint8_t>> messages = {
      gf_exceptionMessage(22, 5, 1),
      gf_openMessage("Lockheed Martin Prepar3D v5"),
      gf_eventMessage(kEventPositionChanged, 0),
      gf_addRemoveMessage(kEventObjectRemoved, 103),
      gf_filenameMessage(),
      gf_frameMessage(30.0f),
      gf_userSample(gf_sampleAt(52.3, 4.76)),
      gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserOnGround, 1,
                     kDefUserOnGround, std::vector<std::uint8_t>(8, 1)),
      gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserModel, 1, kDefUserModel,
                     gf_textRecord("", 32)),
      gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestStaticCg, 101, kDefStaticCg,
                     std::vector<std::uint8_t>(16, 0)),
      gf_acInRange(101, 10.0, 0.0, 1, "KLM1"),
  };
  for (std::vector<std::uint8_t> m : messages) {
    SCOPED_TRACE(m[8]);
    m.pop_back();
    EXPECT_NO_THROW(gf_dispatch(m));
  }
  gf_dispatch(simtest::Bytes().u32(8).u32(35).take());  // shorter than any header
  lf_dispatch(nullptr, 0, nullptr);
  EXPECT_EQ(logLines("too short").size(), messages.size() + 1);
  EXPECT_FALSE(g_stopRequested.load());
  EXPECT_EQ(g_simConnected.load(), 0);
  EXPECT_EQ(g_userObjectId.load(), kInitialUserObjectId);
  EXPECT_FALSE(g_userReportArrived.load());
  EXPECT_EQ(g_pendingCreates.size(), 1u);
  EXPECT_EQ(g_addedObjectIds.size(), 1u);
  EXPECT_TRUE(takeNotices().empty());
}

}  // namespace
