// What the RealTraffic intake offers the rest of the program: the live-traffic buffer shared
// with the engine, the UDP readers of traffic and weather, and the TCP link with RealTraffic.
//
// Threads: the traffic and weather readers run on threads of their own (started and joined by
// the worker); everything else here runs on the worker thread unless its comment says so.
// Lock order: g_trafficMutex is a leaf lock; nothing else is locked while it is held.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "foundation/aircraft_defs.h"
#include "intake/rt_link.h"
#include "intake/udp_readers.h"

// Accepted traffic reports, oldest first, at most kLiveTrafficBufferCap. Appended by the traffic
// reader thread (gf_appendTrafficReport); taken whole by the engine step on the worker
// (gf_takeTrafficReports). Guarded by g_trafficMutex.
extern std::deque<TrafficReport> g_liveTrafficBuffer;
// Guards g_liveTrafficBuffer, g_acceptTraffic and the traffic reader's live-callsign set.
extern std::mutex g_trafficMutex;
// The intake switch: reports are appended only while it is set. Written by the worker; read by
// the traffic reader. Guarded by g_trafficMutex.
extern bool g_acceptTraffic;
// Engine time in steps (one per 10 ms tick while the flight runs). Written by the worker's
// engine step; read by the traffic reader for the reports' due times.
extern std::atomic<std::uint32_t> g_tickCount;
// Engine steps between receiving a report and standing at its position (30 s).
inline constexpr std::uint32_t kReportDelaySteps = 3000;

// RealTraffic was found installed on this PC. Written by the worker's start-up; read by the
// readers (bind address, duplicate filter) and the link.
extern std::atomic<bool> g_rtOnThisPc;
// QNH received from RealTraffic, hPa; 1013 at start. Written by the weather reader thread and
// the engine's traffic reset; read by the engine.
extern std::atomic<std::int32_t> g_qnh;
// A reader thread ended with an error. Written by the reader threads; consumed by the worker.
extern std::atomic<bool> g_readerError;

// Switches the intake on or off under g_trafficMutex.
void gf_setAcceptTraffic(bool accept);

// Reports that may wait in g_liveTrafficBuffer: five bursts of a busy full radius (2,000 records
// each), under 4 MB. The engine takes every waiting report each step, so only a flood while the
// worker stalls reaches it.
inline constexpr std::size_t kLiveTrafficBufferCap = 10000;
// Reader thread: while the intake is on, appends the report due kReportDelaySteps from now.
// At the cap the oldest waiting report is dropped. Returns the number dropped (0 or 1).
std::size_t gf_appendTrafficReport(const TrafficReport& report);
// Worker: moves every waiting report into `taken` (emptied first), oldest first. The buffer
// starts afresh, so the memory of a flood goes with the taken reports.
void gf_takeTrafficReports(std::deque<TrafficReport>& taken);
// Worker: puts taken reports that are to wait another step back in front of those that came
// meanwhile, oldest first; beyond kLiveTrafficBufferCap the oldest are dropped. `waiting` is
// left empty. Returns the number dropped.
std::size_t gf_returnTrafficReports(std::deque<TrafficReport>& waiting);
