// The reset of the run state before a restart: every thread of the run has ended (SimClient and
// the readers are joined by the closing sequence), so nothing here races with them. Worker.
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "simlink/simlink.h"
#include "traffic/live/live.h"

namespace {

void lf_resetWindowState() {
  MainWindowState& w = g_mainWindowState;
  for (std::string MainWindowState::*text :
       {&MainWindowState::statusText, &MainWindowState::errorText, &MainWindowState::simName,
        &MainWindowState::rtVersionText, &MainWindowState::userAcTitleText,
        &MainWindowState::parkAirportNameText, &MainWindowState::parkPublisherText,
        &MainWindowState::parkQualityText, &MainWindowState::userStand}) {
    w.storeText(text, std::string(), kStatusArea);
  }
  w.statusSeconds.store(0);
  w.statusTimer.store(0);
  for (auto* counter : {&w.liveCount, &w.parkedLiveCount, &w.parkedStaticCount}) counter->store(0);
  w.staticAverageFit.store(-1.0f);
  w.liveAverageFit.store(-1.0f);
  w.rtLamp.store(0);
  w.rtLampWaiting.store(1);
  w.simConnected.store(0);
  w.simRunningLamp.store(0);  // else the Sim lamp stays green until the next run's first event
  w.userAcModelKnown.store(1);
  w.staticMarker.store(0);
  w.trafficLamp.store(3);
  w.weatherLamp.store(3);
  RECT whole{0, 0, 880, 476};
  w.invalidate(whole);
}

}  // namespace

void lf_resetRun() {
  gf_resetIntake();
  gf_resetSimLinkRun();
  gf_resetTraffic();
  lf_resetWindowState();
  gf_clearStop();
  g_userReportArrived.store(false);
  g_readerError.store(false);
  g_userAcSnapshot = UserAcData{};
  lf_resetTickState();
  g_rtProfessional.store(false);
  g_parkAdjustRequested.store(false);
  g_reportSeconds.store(0);
  g_parkAdjustCollecting.store(false);
  g_blockRequested.store(false);
  g_rtNotConnectedYet.store(true);
  g_simSceneryDir.clear();
  gf_setRadius(g_paramLateralRange.value());
}
