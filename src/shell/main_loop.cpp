// The main loop of a run: one tick every 10 ms on a steady-clock deadline, and the tick itself,
// which runs one engine step and, once per user-aircraft report, the report duties. Worker.
#include <chrono>

#include "foundation/day_slots.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell/worker_seams.h"
#include "simlink/simlink.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kTickPeriod = 10ms;
constexpr auto kLongestSleep = std::chrono::hours(24);

bool lf_runEnds() { return g_stopRequested.load() || g_exitRequested.load(); }

// The once-per-15-reports branch; its later steps see a counter that the earlier ones left.
void lf_every15Reports(std::uint32_t n) {
  g_trafficReader.setUserPosition(g_userAcSnapshot.latitude, g_userAcSnapshot.longitude);
  if (g_rtProfessional.load()) lf_sendSimTime(g_simTimeSec.load());
  if (!g_reservedStand.empty()) gf_removeAcAtReservedStand();
  lf_handleReread();
  lf_parkingAdjustmentPhase();
  if (g_mainWindowState.trafficLamp.load() == kLampStale ||
      g_mainWindowState.weatherLamp.load() == kLampStale) {
    gf_checkReaderLamps();
  }
  if (gf_reportDuties(n, g_parkAdjustCollecting).periodic) lf_periodicDuties();
}

void lf_otherReports(const ReportDuties& duties) {
  if (duties.parkStep) gf_handleParkAirport(false);
  if (duties.lamps) gf_checkReaderLamps();
  if (duties.duplicates) lf_removeLiveStaticDuplicates();
}

}  // namespace

void lf_tickLoop(const std::function<bool()>& tick) {
  auto deadline = g_workerSeams.now() + kTickPeriod;
  while (tick()) {
    const auto now = g_workerSeams.now();
    if (deadline - now >= 1ms) {
      const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
      g_workerSeams.sleepUntil(now + std::min<WorkerSeams::Clock::duration>(remaining, kLongestSleep));
    }
    if (g_userReportArrived.load()) deadline = g_workerSeams.now();
    deadline += kTickPeriod;
  }
}

void lf_mainLoop() {
  gf_handleParkAirport(true);
  gf_checkReaderLamps();
  g_reportSeconds.store(0);
  g_dayHhNow.store(gf_dayHhNow());
  gf_setAcceptTraffic(true);
  timeBeginPeriod(1);
  lf_tickLoop(lf_tick);
  timeEndPeriod(1);
}

bool lf_tick() {
  gf_parkStandCheck();
  lf_takeWindowRequests();
  if (!g_simRunning.load() || g_simRequestError.load()) {
    lf_flightNotRunning();
    return !lf_runEnds();
  }
  gf_liveTrafficStep();
  bool expected = true;
  // A simulator that stops reporting (frozen, its socket still open) must not hold off a close.
  if (!g_userReportArrived.compare_exchange_strong(expected, false)) return !lf_runEnds();
  lf_flightRunning();
  if (lf_runEnds()) return false;
  const std::uint32_t n = g_reportSeconds.load();
  const ReportDuties duties = gf_reportDuties(n, g_parkAdjustCollecting);
  if (duties.every15) {
    lf_every15Reports(n);
  } else {
    lf_otherReports(duties);
  }
  return true;
}
