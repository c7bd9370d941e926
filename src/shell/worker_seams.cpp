// The real steps behind the worker's seams.
#include "shell/worker_seams.h"

#include <algorithm>
#include <thread>

#include "airports/airports.h"
#include "airports/scan.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/self_update.h"
#include "liveries/aircraft_database.h"
#include "liveries/liveries_scan.h"
#include "shell/shell.h"
#include "simlink/simlink.h"
#include "traffic/parking/parking.h"

namespace {

constexpr auto kCloseCheck = std::chrono::milliseconds(50);

// Sleeps for the duration in short slices, ending early once the user has closed the window.
void lf_waitUnlessClosed(WorkerSeams::Clock::duration duration) {
  const auto end = WorkerSeams::Clock::now() + duration;
  while (!g_closeRequested.load()) {
    const auto now = WorkerSeams::Clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<WorkerSeams::Clock::duration>(end - now, kCloseCheck));
  }
}

void lf_postToMainWindow(UINT message) {
  if (HWND window = g_hWnd.load(); window != nullptr) PostMessageW(window, message, 0, 0);
}

}  // namespace

WorkerSeams g_workerSeams;

void gf_resetWorkerSeams() {
  g_workerSeams = WorkerSeams{
      .checkNewVersion = gf_checkNewVersion,
      .readDbase = [] { gf_readDbase(); },
      .detectP3D = [] { lf_detectP3D(); },
      .readAirports = [] { gf_readAirports(); },
      .liveriesScan = gf_liveriesScan,
      .scanAirports = gf_scanAirports,
      .readMyParkAirports = [] { lf_readMyParkAirports(); },
      .run = lf_run,
      .simClient = SimClient,
      .now = [] { return WorkerSeams::Clock::now(); },
      .sleepUntil = [](WorkerSeams::Clock::time_point t) { std::this_thread::sleep_until(t); },
      .wait = lf_waitUnlessClosed,
      .post = lf_postToMainWindow,
  };
}

namespace {
// The real steps are in place before main() and before any test replaces one.
const bool s_seamsSet = (gf_resetWorkerSeams(), true);
}  // namespace
