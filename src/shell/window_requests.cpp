// What the window asks of the engine and what the engine shows in the window. The GUI thread
// never touches the aircraft records: its handlers leave requests that the worker takes here,
// and the worker stores the counters the painter reads. Worker thread.
#include "foundation/main_window_state.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "simlink/simlink.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

void lf_applyNavLights() {
  const std::uint32_t on = g_paramNavLightsWhileParked.value() ? 1 : 0;
  for (const StaticAircraft& aircraft : g_staticAc) {
    if (aircraft.st == kStActive) gf_queueNavLights(aircraft.objectId, on);
  }
  for (const AiAircraft& aircraft : g_liveAc) {
    if (aircraft.st == kStActive && aircraft.fs == kFsParked) {
      gf_queueNavLights(aircraft.objectId, on);
    }
  }
}

}  // namespace

void lf_takeWindowRequests() {
  if (g_navLightsRequested.exchange(false)) lf_applyNavLights();
  if (g_enforceMaxLiveRequested.exchange(false)) gf_enforceMaxLive();
  if (g_autoRangeRequested.exchange(false)) gf_autoRange();
  gf_applyDestinationRequest();
}

void lf_refreshCounts() {
  std::uint64_t flying = 0;
  for (const AiAircraft& aircraft : g_liveAc) {
    if (aircraft.st == kStActive && aircraft.fs != kFsParked) ++flying;
  }
  if (g_mainWindowState.liveCount.exchange(flying) != flying) {
    g_mainWindowState.invalidate(kLampsArea);
  }
  const std::uint64_t parkedStatic = gf_staticParkedStats(true);
  const std::uint64_t parkedLive = gf_liveParkedStats(true);
  const bool changed = g_mainWindowState.parkedStaticCount.exchange(parkedStatic) != parkedStatic;
  if ((g_mainWindowState.parkedLiveCount.exchange(parkedLive) != parkedLive) || changed) {
    g_mainWindowState.invalidate(kParkArea);
  }
}
