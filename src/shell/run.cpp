// One run: the simulator link and its SimClient thread, the user aircraft, RealTraffic, the two
// readers, the first traffic record, then the main loop. Worker thread.
#include <fmt/format.h>

#include <chrono>
#include <thread>

#include "foundation/day_slots.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "liveries/matching_tables.h"
#include "shell/shell.h"
#include "shell/worker_seams.h"
#include "simlink/simlink.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"

using namespace std::chrono_literals;

std::jthread g_simThread;

namespace {

constexpr auto kSimPoll = 100ms;
constexpr auto kSnapshotPoll = 500ms;
constexpr auto kBoxPoll = 200ms;
constexpr auto kReaderGap = 2s;
constexpr auto kTrafficPoll = 100ms;
constexpr int kTrafficPolls = 150;  // 15 s for a first traffic record

bool lf_stopOrExit() { return g_stopRequested.load() || g_exitRequested.load(); }

// The user aircraft still at the simulator's parked start: its position is not known yet.
bool lf_atParkedStart(const UserAcData& user) {
  return user.latitude >= 0.0 && user.latitude <= 0.0009 && user.longitude >= 0.0 &&
         user.longitude <= 0.05;
}

void lf_setLamps(std::uint8_t rtLamp, std::uint8_t simConnected) {
  g_rtLamp.store(rtLamp);
  g_simConnected.store(simConnected);
  g_mainWindowState.invalidate(kLampsArea);
}

RtUserState lf_rtUserState() {
  const UserAcData& user = g_userAcSnapshot;
  return RtUserState{user.pitch,    user.bank,           user.heading, user.altitude,
                     user.groundVelocity, user.latitude, user.longitude};
}

void lf_fillRunHooks() {
  gf_setRtLinkHooks({.userState = lf_rtUserState, .removeLiveAircraft = gf_removeAllLiveAc});
  gf_setEngineSimLinkHooks();
}

void lf_askOnGroundEverySecond() {
  HRESULT result = S_OK;
  {
    std::lock_guard lock(g_simMutex);
    result = SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), kRequestUserOnGround,
                                               kDefUserOnGround, SIMCONNECT_OBJECT_ID_USER,
                                               SIMCONNECT_PERIOD_SECOND, 0, 0, 0, 0);
  }
  if (result < 0) {
    gf_logError("SimConnect request ac gnd/air fails");
    gf_simConnectRequestError(result);
  }
}

void lf_openRealTraffic() {
  if (gf_realTrafficLinkWanted()) {
    startServer(g_paramPortNumber.value());
  } else {
    lf_setLamps(1, g_simConnected.load());  // the TCP link is not used
  }
}

void lf_connectRealTraffic() {
  if (g_paramAerowinx.value()) {
    g_rtProfessional.store(false);
    return;
  }
  if (!gf_realTrafficLinkWanted()) return;
  lf_waitForRealTraffic();
  if (g_rtProfessional.load()) lf_sendSimTime(g_simTimeSec.load());
}

void lf_startReaders() {
  gf_setAcceptTraffic(false);
  gf_startWeatherReader();
  g_workerSeams.wait(kReaderGap);
  gf_startTrafficReader();
  gf_sendUserPosition();
  g_trafficReader.setUserPosition(g_userAcSnapshot.latitude, g_userAcSnapshot.longitude);
  if (g_readerError.load()) {
    gf_showError("Reader error");
    gf_requestStop(kExitSystemError, 0);
  }
}

void lf_waitForFirstTraffic() {
  for (int i = 0; i < kTrafficPolls && g_trafficTimeSec.load() < 1.0; ++i) {
    if (lf_stopOrExit()) return;
    g_workerSeams.wait(kTrafficPoll);
  }
  if (g_trafficTimeSec.load() < 1.0) gf_log("No traffic in this region?");
}

}  // namespace

bool lf_requestUserAcOnGround() {
  while (!g_simRunning.load() || g_simRequestError.load()) {
    if (lf_stopOrExit()) return false;
    std::this_thread::sleep_for(kSimPoll);
  }
  lf_askOnGroundEverySecond();
  while (!g_userOnGroundKnown.load() || lf_atParkedStart(g_userAcSnapshot)) {
    if (lf_stopOrExit()) return false;
    std::this_thread::sleep_for(kSnapshotPoll);
    g_userAcSnapshot = gf_getUserAcData();
  }
  gf_requestUserAcTitleAndModel();
  while (lf_atParkedStart(g_userAcSnapshot)) {
    if (lf_stopOrExit()) return false;
    std::this_thread::sleep_for(kBoxPoll);
    g_userAcSnapshot = gf_getUserAcData();
  }
  return !lf_stopOrExit();
}

void lf_run() {
  lf_setLamps(0, 0);
  gf_reserveTrafficBuffers();
  gf_reserveMatchTables();
  gf_initSimConnect(static_cast<std::uint32_t>(g_paramP3dVersion.value()));
  lf_fillRunHooks();
  g_simThread = std::jthread(g_workerSeams.simClient);
  if (!lf_requestUserAcOnGround()) return;
  // The start-up chose its radius before the user aircraft was known; now that it is, the
  // first traffic is filtered with the radius of the user's real situation.
  if (g_paramAutoRange.value()) gf_autoRange();
  lf_openRealTraffic();
  if (lf_stopOrExit()) return;
  g_rtLampWaiting.store(0);
  g_mainWindowState.invalidate(kLampsArea);
  lf_connectRealTraffic();
  if (lf_stopOrExit()) return;
  lf_startReaders();
  lf_waitForFirstTraffic();
  g_dayHhNow.store(gf_dayHhNow());
  lf_mainLoop();
}
