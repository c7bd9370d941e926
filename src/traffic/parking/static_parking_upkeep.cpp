// The park airport over time: the park-airport step (finishing a static parking the engine has
// created, reading and calculating a new park airport, following the user aircraft), asking for
// a calculation, and giving the park airport up with all its parked aircraft. Worker thread.
#include <algorithm>

#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "intake/intake.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

// A position in this corner is the simulator's start value: the user aircraft is not placed yet.
constexpr double kUnplacedLat = 0.0009;
constexpr double kUnplacedLon = 0.05;

bool lf_userPlaced(const LatLon& user) {
  return !(user.lat >= 0.0 && user.lat <= kUnplacedLat && user.lon >= 0.0 && user.lon <= kUnplacedLon);
}

void lf_enable(GuiControl& control, bool enable) {
  if (HWND window = control.hwnd.load()) {
    EnableWindow(window, enable ? TRUE : FALSE);
  }
}

// The stand a live aircraft holds goes with the park airport's stands. Aircraft driving to their
// stand and aircraft born parked hold one too: left alone, their stand id would point into the
// next airport's stands.
bool lf_holdsParkStand(const AiAircraft& aircraft) {
  if (aircraft.fs == kFsBirth) return aircraft.standId != 0;
  return aircraft.fs != kFsFlying;
}

void lf_removeParkedLive(AiAircraft& aircraft) {
  if (!lf_holdsParkStand(aircraft)) {
    return;
  }
  aircraft.standPlace = {};
  aircraft.standId = 0;
  aircraft.standFlag = false;
  if (aircraft.st == kStActive) {
    removeAircraftFromSim(aircraft);
  } else if (aircraft.st == kStAdding2Sim) {
    // A creation still waiting is withdrawn: created, it would belong to no record.
    if (gf_removeFromCreateWait(g_liveCreateWait, aircraft.callsign)) {
      aircraft.eraseMe = true;
    } else {
      aircraft.removalPending = true;
    }
  }
}

void lf_clearParkWindow() {
  MainWindowState& s = g_mainWindowState;
  s.parkedStaticCount.store(0);
  s.parkedLiveCount.store(0);
  s.standCount.store(0);
  s.parkAirportValid.store(0);
  s.staticMarker.store(0);
  s.parkHandmade.store(0);
  s.reservedStandKnown.store(0);
  s.storeText(&MainWindowState::parkAirportNameText, "", kParkArea);
  s.storeText(&MainWindowState::parkPublisherText, "", kParkArea);
  s.invalidate(kParkArea);
}

}  // namespace

void gf_handleParkAirport(bool showMessage) {
  if (g_busy.load() && g_staticCandidates.empty()) {
    gf_enableControls();
    gf_clearMessage();
    gf_staticParkedStats(true);
    gf_liveParkedStats(true);
  }
  // A stand file on the server is fetched in the background first: the tick never waits for it.
  if (g_parkCalcPending && lf_standFileSource(g_parkAirportIcao) == nullptr) {
    return;
  }
  if (g_parkCalcPending) {
    gf_clearMessage();
    g_parkCalcPending = false;
    std::string message;
    lf_readParkedFile(message);
    if (!message.empty()) {
      gf_showMessage(message, true);
      gf_noteStandFileUnusable(g_parkAirportIcao, message);
      lf_closeParkAirport();
    } else {
      lf_calcStaticParking();
    }
    lf_enable(g_paramDestination, true);
    return;
  }
  const LatLon user{g_userAcSnapshot.latitude, g_userAcSnapshot.longitude};
  if (!lf_userPlaced(user)) {
    return;
  }
  lf_refreshParkDistances(user);
  if (!g_parkAirportIcao.empty()) {
    lf_checkParkAirportSight(user);
  } else {
    lf_chooseParkAirport(user, showMessage);
  }
}

void lf_requestStaticParking(bool showMessage) {
  gf_disableControls();
  g_trafficReader.clearLiveCallsigns();
  g_trafficReader.setCollecting(true);
  if (showMessage) {
    gf_showMessage("Calculating static parked aircraft ...", false);
  }
}

void gf_removeParkedAc() {
  g_staticCandidates.clear();
  gf_removeAllStaticAc();
  for (AiAircraft& aircraft : g_liveAc) {
    lf_removeParkedLive(aircraft);
  }
  if (std::erase_if(g_liveAc, [](const AiAircraft& a) { return a.eraseMe; }) != 0) {
    gf_recordsReordered();
  }
  lf_closeParkAirport();
  if (g_paramMaxLive.value() != g_userMaxLive.load()) {
    g_paramMaxLive.setValue(g_userMaxLive.load());
    if (g_settingsShellHooks.showIntParameter != nullptr) {
      g_settingsShellHooks.showIntParameter(g_paramMaxLive);
    }
    gf_enforceMaxLive();
  }
}

void lf_closeParkAirport() {
  if (g_parkStandsReady.load() && (g_standFileParamsChanged.load() || g_parkStandUpdates >= 1)) {
    lf_saveParkStands();
    g_parkStandUpdates = 0;
    g_mainWindowState.standUpdates.store(0);
  }
  g_parkStandFileHandmade = false;
  g_parkCoveredOptions.clear();
  g_parkStandsReady.store(false);
  g_parkRtTrafficWeek = 0;
  g_mainWindowState.parkTrafficWeek.store(0);
  lf_enable(g_paramFlushStatic, false);
  lf_enable(g_paramParkingPercentage, false);
  gf_clearCurrentParkAirport();
  g_parkCalcPending = false;
  g_staticRemovals.clear();
  g_staticCandidates.clear();
  g_parkStands.clear();
  gf_forgetStandNames();
  lf_clearParkWindow();
}
