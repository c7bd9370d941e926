// What the window's handlers hand to the worker: request flags that the worker's tick (or its
// closing sequence) consumes, a pending destination, and the values both sides share.
//
// Threads: the GUI thread sets a request; the worker takes it with exchange(false), so each
// request is carried out once. Nothing here is guarded by a lock except the destination.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

// Requests of the window's commands, set by the GUI thread, consumed by the worker's tick.
extern std::atomic<bool> g_rereadRequested;          // Re-read: read the park airports again
extern std::atomic<bool> g_flushStaticRequested;     // Flush static: remove every static aircraft
extern std::atomic<bool> g_blockRequested;           // BLOCK_CALLSIGN changed
extern std::atomic<bool> g_clearNoMatchesRequested;  // MATCHING_DEPTH raised: retry failed matches
extern std::atomic<bool> g_parkAdjustRequested;      // a parking adjustment, in two phases
// NAV_LIGHTS_WHILE_PARKED toggled: the parked aircraft take the setting's value.
extern std::atomic<bool> g_navLightsRequested;
// MAX_LIVE applied: live aircraft above the new limit are removed (gf_enforceMaxLive).
extern std::atomic<bool> g_enforceMaxLiveRequested;
// AUTO_RANGE switched on: the tick sets the radius from the user aircraft (gf_autoRange).
extern std::atomic<bool> g_autoRangeRequested;
// SCAN_LIVERIES switched on before RealTraffic connected: the closing sequence empties the
// livery tables and clears g_liveriesScanDone, so that the restart scans and processes again.
extern std::atomic<bool> g_clearLiveryTablesRequested;

// A destination entered in the window: the code, upper case, to be looked up and made the park
// airport by the worker. A newer entry replaces one not yet taken. Any thread.
void gf_requestDestination(const std::string& code);
std::optional<std::string> gf_takeDestinationRequest();

// User-aircraft reports counted in this run; every duty modulus counts on it. Written by the
// worker's tick; read by the parking announcement (GUI).
extern std::atomic<std::uint32_t> g_reportSeconds;

// Ends the run for new settings (reason 3) with a restart after delaySec, unless a stop is
// already requested. Any thread.
void gf_requestRestart(std::uint32_t delaySec);
// The same, but it also takes over a run that stopped with SYSTEM ERROR and waits for the user
// (the install path typed after errors 151, 153 and 77). A close of the window still wins.
void gf_requestRestartAfterError(std::uint32_t delaySec);
