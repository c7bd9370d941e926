// How the link ends a run (a failed request, a lost simulator) and its part of the reset
// between runs.
#include <fmt/format.h>

#include "foundation/day_slots.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "simlink/sim_internal.h"

namespace {
constexpr std::uint32_t kRequestErrorRestartSec = 9;
}  // namespace

void gf_simConnectRequestError(HRESULT result) {
  gf_showMessage("SimConnect request error", true);
  g_simRequestError.exchange(true);
  // A request refused because the connection itself broke says the simulator is gone. SimClient
  // sees the same failure on its next dispatch and ends the run with SIM WAS CLOSED; a restart
  // chosen here instead would depend on which thread noticed first.
  if (result < 0 && result == gf_simConnectFailedResult(g_hSimConnect.load())) return;
  gf_requestStop(kExitSimConnectError, kRequestErrorRestartSec);
}

bool gf_simDisconnected() {
  if (g_stopRequested.load()) return true;
  gf_log(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_timeNow(),
                     "Zendrik_P3D"));
  return gf_requestStop(kExitSimClosed, 0);
}

void gf_resetSimLinkRun() {
  g_p3dMajorVersion.store(static_cast<std::uint32_t>(g_paramP3dVersion.value()));
  g_userOnGroundKnown.store(false);
  g_pendingCreates.clear();
  g_addedObjectIds.clear();
  g_ownObjectIds.clear();
  g_simRunning.store(false);
  g_hSimConnect.store(nullptr);
  g_userObjectId.store(kInitialUserObjectId);
  g_simRequestError.store(false);
  lf_resetQueues();
  lf_resetUserAircraft();
}
