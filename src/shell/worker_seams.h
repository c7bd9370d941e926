// The steps of the worker that tests replace with fakes: the long or outward-reaching calls of
// the start-up (update check, database, detection, scans), the run itself, the SimClient thread,
// the clock and the sleeps of the tick loop and the closing sequence, and the window messages
// the closing sequence posts. The program never changes them; gf_resetWorkerSeams puts the real
// functions back.
//
// Threads: written only while no worker runs (program start, tests); read by the worker.
#pragma once

#include <chrono>
#include <functional>
#include <stop_token>

#include "platform/win32.h"

struct WorkerSeams {
  using Clock = std::chrono::steady_clock;

  // Start-up.
  std::function<void()> checkNewVersion;
  std::function<void()> readDbase;
  std::function<void()> detectP3D;
  std::function<void()> readAirports;
  std::function<void()> liveriesScan;
  std::function<void()> scanAirports;
  std::function<void()> readMyParkAirports;
  // The run between start-up and closing (lf_run).
  std::function<void()> run;
  // The body of the run's SimClient thread.
  std::function<void(std::stop_token)> simClient;
  // The tick loop's clock and its sleep until a deadline.
  std::function<Clock::time_point()> now;
  std::function<void(Clock::time_point)> sleepUntil;
  // The waits of a run and of the closing sequence; they end early when the user closes the
  // window (g_closeRequested).
  std::function<void(Clock::duration)> wait;
  // Posts WM_APP+1 or WM_APP+2 to the main window.
  std::function<void(UINT)> post;
};

extern WorkerSeams g_workerSeams;
void gf_resetWorkerSeams();
