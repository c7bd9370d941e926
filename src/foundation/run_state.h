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
// Reason of the stop, 0 "NOT YET SET" .. 7 "SYSTEM ERROR". Written by the first stop setter.
extern std::atomic<std::uint32_t> g_exitReason;
// Seconds before a restart. Written with g_exitReason; read by the worker's closing sequence.
extern std::atomic<std::uint32_t> g_restartDelaySec;

// RealTraffic reported its professional edition. Written by the RealTraffic link (worker).
extern std::atomic<bool> g_rtProfessional;
// Time stamp of the latest traffic record, seconds since 1970 UTC, 0 = none yet. Written by the
// traffic reader thread; read by the time source (gf_dayHhNow, gf_trafficTimeNow) and the worker.
extern std::atomic<double> g_trafficTimeSec;

// Current day of the week and half-hour slot. Written by the worker's tick; read by the engine.
extern std::atomic<DayHh> g_dayHhNow;

// The traffic radius LATERAL_RANGE in nautical miles and in metres (nm x 1852). Kept in step by
// whoever changes the radius (settings load, auto range, the radius edit field); read by the
// traffic reader thread and the engine. Start at 40 nm / 74080 m.
extern std::atomic<double> g_trafficRadiusNm;
extern std::atomic<std::uint32_t> g_trafficRadiusM;

// Sets both radius copies from a radius in nautical miles.
void gf_setTrafficRadius(double nm);
