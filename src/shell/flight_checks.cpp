// The tick's per-report checks while the flight runs (new live aircraft, Flush static, the
// collision checks, a blocked callsign) and its work while the flight does not run. Worker.
#include <fmt/format.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "foundation/day_slots.h"
#include "foundation/geometry.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "simlink/simlink.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr std::uint32_t kMessageSeconds = 25;
constexpr std::int32_t kPausedTicks = 100;
constexpr double kLiveClearance = 1.15;    // x both half spans
constexpr double kStaticClearance = 1.1;   // x both half spans

bool s_flightPaused = false;
std::int32_t s_pausedTickCountdown = kPausedTicks;
std::unordered_set<std::uint32_t> s_coupledSearched;         // keys searched once in this run
std::unordered_map<std::uint32_t, LatLon> s_checkedPosition;  // live-versus-parked checks
LatLon s_userPosAtStaticCheck;

bool lf_active(const StaticAircraft& aircraft) { return aircraft.st == kStActive; }

bool lf_samePosition(const LatLon& a, const LatLon& b) { return a.lat == b.lat && a.lon == b.lon; }

LatLon lf_userPosition() { return {g_userAcSnapshot.latitude, g_userAcSnapshot.longitude}; }

double lf_userHalfSpan() {
  std::lock_guard lock(g_simMutex);
  return g_userAcType.halfSpanNm;
}

void lf_timeOutMessage() {
  const std::uint32_t seconds = g_mainWindowState.statusSeconds.fetch_add(1) + 1;
  const std::uint32_t shownAt = g_mainWindowState.statusTimer.load();
  if (shownAt >= 1 && seconds - shownAt >= kMessageSeconds) gf_clearMessage();
}

void lf_takeFlushStatic() {
  if (!g_flushStaticRequested.exchange(false)) return;
  gf_removeAllStaticAc();
  if (g_paramInitialLoadOnly.value()) return;
  g_paramInitialLoadOnly.setValue(true);  // not saved: this run only
  if (HWND window = g_hWnd.load(); window != nullptr) {
    CheckDlgButton(window, g_paramInitialLoadOnly.controlId, BST_CHECKED);
  }
}

void lf_userInTheAir() {
  if (!g_paramCollisionUserAir.value()) return;
  for (AiAircraft& aircraft : g_liveAc) {
    if (gf_removeIfInUserPath(aircraft)) return;
  }
}

void lf_userOnTheGround() {
  if (!g_paramCollisionUserGnd.value()) return;
  const LatLon user = lf_userPosition();
  const double userHalfSpan = lf_userHalfSpan();
  for (AiAircraft& aircraft : g_liveAc) {
    if (!lf_active(aircraft)) continue;
    const double limit = (userHalfSpan + aircraft.halfWingspan) * kLiveClearance;
    if (gf_distanceNm(user, {aircraft.lat, aircraft.lon}) <= limit) {
      removeAircraftFromSim(aircraft);
      return;
    }
  }
  if (lf_samePosition(user, s_userPosAtStaticCheck)) return;
  s_userPosAtStaticCheck = user;
  for (StaticAircraft& aircraft : g_staticAc) {
    if (!lf_active(aircraft)) continue;
    const double limit = (userHalfSpan + aircraft.halfWingspan) * kStaticClearance;
    if (gf_distanceNm(user, {aircraft.standPlace.lat, aircraft.standPlace.lon}) <= limit) {
      removeAircraftFromSim(aircraft);
      return;
    }
  }
}

void lf_liveAgainstParked() {
  if (!g_paramCollisionLiveParkedGnd.value() || g_staticAc.empty()) return;
  for (std::size_t i = 0; i < g_liveAc.size(); ++i) {
    const AiAircraft& aircraft = g_liveAc[i];
    if (!lf_active(aircraft) || (aircraft.fs != kFsTaxi && aircraft.fs != kFsParking)) continue;
    if (aircraft.removalPending || aircraft.eraseMe) continue;
    const LatLon now{aircraft.lat, aircraft.lon};
    auto [checked, added] = s_checkedPosition.try_emplace(aircraft.key, now);
    if (!added && lf_samePosition(checked->second, now)) continue;
    checked->second = now;
    const AiAircraft copy = aircraft;  // the removal may change the containers
    gf_removeStaticForLiveAc(copy);
  }
}

void lf_takeBlockRequest() {
  if (!g_blockRequested.exchange(false)) return;
  const std::string blocked = g_paramBlockCallsign.value();
  if (blocked.empty()) return;
  for (AiAircraft& aircraft : g_liveAc) {
    if (lf_active(aircraft) && aircraft.callsign == blocked) {
      removeAircraftFromSim(aircraft);
      return;
    }
  }
}

void lf_removeStaticDuplicateOf(const AiAircraft& aircraft) {
  if (aircraft.callsign.empty()) return;
  const StaticDuplicateContext context{&aircraft, aircraft.callsign.substr(0, aircraft.callsign.size() - 1),
                                       aircraft.onGround};
  for (StaticAircraft& candidate : g_staticAc) {
    if (gf_removeStaticDuplicate(context, candidate)) {
      removeAircraftFromSim(candidate);
      return;
    }
  }
}

}  // namespace

void lf_checkNewLiveAircraft() {
  if (g_newLiveIds.empty()) return;
  const std::uint32_t key = g_newLiveIds.front();
  g_newLiveIds.pop_front();  // a key whose aircraft has gone is dropped, not kept at the front
  auto it = std::find_if(g_liveAc.begin(), g_liveAc.end(),
                         [key](const AiAircraft& aircraft) { return aircraft.key == key; });
  if (it == g_liveAc.end()) return;
  if (s_coupledSearched.insert(key).second) lf_searchForCoupledCsAroundThisTime(g_dayHhNow.load(), *it);
  lf_removeStaticDuplicateOf(*it);
}

void lf_removeLiveStaticDuplicates() {
  if (g_staticAc.empty() || g_liveAc.empty()) return;
  for (const AiAircraft& live : g_liveAc) {
    if (!lf_active(live)) continue;
    const std::string marked = live.callsign + "*";
    for (StaticAircraft& parked : g_staticAc) {
      const bool same = parked.callsign == marked ||
                        (!live.registration.empty() && parked.registration == live.registration);
      if (!same) continue;
      if (lf_active(parked)) removeAircraftFromSim(parked);
      break;
    }
  }
}

void lf_flightRunning() {
  if (s_flightPaused) {
    s_flightPaused = false;
    gf_log(fmt::format("{} Flight resumed", gf_timeNow()));
    gf_setAcceptTraffic(true);
  }
  lf_timeOutMessage();
  lf_refreshCounts();
  g_dayHhNow.store(gf_dayHhNow());
  g_reportSeconds.fetch_add(1);
  lf_publishEngineTexts();
  lf_checkNewLiveAircraft();
  lf_takeFlushStatic();
  if (g_userOnGround.load()) {
    lf_userOnTheGround();
  } else {
    lf_userInTheAir();
  }
  lf_liveAgainstParked();
  lf_takeBlockRequest();
}

void lf_flightNotRunning() {
  if (!s_flightPaused) {
    gf_setAcceptTraffic(false);
    s_flightPaused = true;
    s_pausedTickCountdown = kPausedTicks;
    {
      std::lock_guard lock(g_simMutex);
      g_posFillQueue->clear();
      g_posQueue->clear();
    }
    gf_log(fmt::format("{} Flight not running", gf_timeNow()));
  }
  gf_processSimObjectNotices();
  if (--s_pausedTickCountdown % kPausedTicks == 0) {
    lf_handleReread();
    gf_sendUserPosition();
  }
  if (s_pausedTickCountdown <= 0) {
    s_pausedTickCountdown = kPausedTicks;
    lf_refreshCounts();
    g_dayHhNow.store(gf_dayHhNow());
  }
}

bool lf_flightPaused() { return s_flightPaused; }

void lf_resetTickState() {
  s_flightPaused = false;
  s_pausedTickCountdown = kPausedTicks;
  s_coupledSearched.clear();
  s_checkedPosition.clear();
  s_userPosAtStaticCheck = LatLon{};
}
