// Run-state flags and values that several threads share. They are defined here so that the log,
// the time functions and the settings need no shell code; their writers live in the shell, the
// simulator link and the RealTraffic intake.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/day_slots.h"

// End the current run (restart or exit). Set by the shell, the simulator link and the engine;
// read everywhere (gf_logIfActive drops lines while it is set).
extern std::atomic<bool> g_stopRequested;
// The user closed the window. Set by the GUI thread; read everywhere.
extern std::atomic<bool> g_exitRequested;
// Reason of the stop (ExitReason). Written by the stop setters below before the stop flag, so a
// thread that sees g_stopRequested set reads the reason that stopped the run.
extern std::atomic<std::uint32_t> g_exitReason;
// Seconds before a restart. Written with g_exitReason; read by the worker's closing sequence.
extern std::atomic<std::uint32_t> g_restartDelaySec;

// The exit reasons; their texts belong to the closing sequence.
enum ExitReason : std::uint32_t {
  kExitNotYetSet = 0,        // "NOT YET SET"
  kExitSimClosed = 1,        // "SIM WAS CLOSED"
  kExitNewFlight = 2,        // "NEW FLIGHT"
  kExitNewSettings = 3,      // "NEW SETTINGS"
  kExitUserClosedSim = 4,    // "USER CLOSED SIM"
  kExitSimConnectError = 5,  // "SIMCONNECT ERROR"
  kExitReaderError = 6,      // "READER ERROR"
  kExitSystemError = 7,      // "SYSTEM ERROR"
};

// Stops the run: unless a stop is already requested, stores reason and delay, then sets
// g_stopRequested. The first reason of a run wins. Returns the previous stop request. Any thread;
// the setters serialise on a small lock of their own, readers of the flag take none.
bool gf_requestStop(std::uint32_t reason, std::uint32_t restartDelaySec);
// Stops the run with this reason and delay whatever stopped it before (the worker's exception
// handlers, the install-path restart).
void gf_forceStop(std::uint32_t reason, std::uint32_t restartDelaySec);
// Replaces the reason of a stop that holds `stoppedWith` (or sets it when no stop is under way),
// unless the user closed the window; true when it did. The install path typed after a SYSTEM
// ERROR turns the waiting run into a restart this way.
bool gf_replaceStop(std::uint32_t stoppedWith, std::uint32_t reason, std::uint32_t restartDelaySec);
// Sets g_exitRequested and g_stopRequested; the reason stays as it is (NOT YET SET for a run
// that had none).
void gf_requestExit();
// The user closed the window (close box, SIGTERM): g_closeRequested, then as gf_requestExit.
void gf_requestClose();
// The run reset: both requests cleared, reason 0, delay 0. g_closeRequested stays.
void gf_clearStop();

// The user closed the window. Unlike g_exitRequested, which the start-up also sets before its
// restarts, it survives the run reset: once set, the program quits at the end of the run, and
// the long waits of a run (countdowns, first traffic) end early on it.
extern std::atomic<bool> g_closeRequested;

// RealTraffic reported its professional edition. Written by the RealTraffic link (worker).
extern std::atomic<bool> g_rtProfessional;
// Time stamp of the latest traffic record, seconds since 1970 UTC, 0 = none yet. Written by the
// traffic reader thread; read by the time source (gf_dayHhNow, gf_trafficTimeNow) and the worker.
extern std::atomic<double> g_trafficTimeSec;

// The user's own MAX_LIVE: the value set outside a park airport, put back when the park airport
// is left. Written by the MAX_LIVE field (GUI) and the engine (worker); -1 = no limit.
extern std::atomic<int> g_userMaxLive;

// Current day of the week and half-hour slot. Written by the worker's tick; read by the engine.
extern std::atomic<DayHh> g_dayHhNow;

// The traffic radius LATERAL_RANGE in nautical miles and in metres (nm x 1852). Kept in step by
// whoever changes the radius (settings load, auto range, the radius edit field); read by the
// traffic reader thread and the engine. Start at 40 nm / 74080 m.
extern std::atomic<double> g_trafficRadiusNm;
extern std::atomic<std::uint32_t> g_trafficRadiusM;

// Sets both radius copies from a radius in nautical miles.
void gf_setTrafficRadius(double nm);
