// The program: the entry's window class and message loop, the window procedure, the main
// window with its controls, painting and handlers, simulator detection, the traffic radius and
// the worker that runs the start-up and the runs.
//
// Threads: functions marked GUI run on the thread that created the main window; functions
// marked worker on the worker thread. Window state crosses threads only through
// g_mainWindowState, the settings' atomics and the requests of shell_state.h.
// Names beginning with lf_ are the program's own steps; they are declared here because more
// than one file of the program calls them.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "foundation/geometry.h"
#include "foundation/parameters.h"
#include "platform/win32.h"

// ---- Application (application.cpp, GUI) ------------------------------------------------------

inline constexpr UINT kStartWorkerMessage = WM_APP + 1;  // 0x8001: start a worker
inline constexpr UINT kQuitMessage = WM_APP + 2;         // 0x8002: save the position and quit

// Window class, main window, AppData folder, the first worker and the message loop; the quit
// code, or 0 when the window could not be made. Joins the worker before it returns.
int gf_runApplication(HINSTANCE instance);
// Registers the main window's class (the title is also the class name).
bool lf_registerMainClass(HINSTANCE instance, const WString& title);
// Fills the hooks through which the settings and the stand-file reader call the shell.
void lf_fillShellHooks();
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The format with "Zendrik_P3D" in its first two placeholders.
std::string gf_withProgramName(std::string_view format);

// ---- Main window (main_window.cpp, GUI) -------------------------------------------------------

// Creates and shows the main window at MAIN_WINDOW_X/Y; false when it cannot.
bool initInstance(HINSTANCE instance, const WString& title);
// Creates the 39 controls (WM_CREATE of the main window).
void lf_createControls(HWND parent, const CREATESTRUCTW& create);
// A saved position that sits at a limit takes the previous coordinate, clamped, and is saved.
void lf_correctWindowPosition(int x, int y);
// Saves the window's position into MAIN_WINDOW_X/Y at exit (WM_APP+2).
void lf_saveWindowPosition();

// ---- Painting (status_panel.cpp, GUI) ---------------------------------------------------------

// Paints the whole client area between BeginPaint and EndPaint.
void lf_HandleWMPAINT(HDC dc);

// ---- Handlers (command_handlers.cpp, edit_handlers.cpp) ---------------------------------------

// A click on a check box or push button; true when the id is one of them. GUI.
bool lf_HandleWMCOMMAND(HWND window, std::uint16_t id);
// The subclass procedures of the integer, decimal and text fields; they find the field's
// setting and call the procedure bound to it. GUI.
LRESULT CALLBACK lf_intFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK lf_floatFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK lf_textFieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Enter (WM_CHAR 13) clears the status line and applies the field; anything else goes to the
// control's own procedure. GUI.
LRESULT lf_TbIntProc(EditParameter& p, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT lf_TbFloatProc(FloatEditParameter& p, HWND window, UINT message, WPARAM wParam,
                       LPARAM lParam);
LRESULT lf_TbStringProc(StringEditParameter& p, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam);
// Apply a field's text to its setting; true when the value was set. GUI.
bool lf_processTbInt(EditParameter& p);
bool lf_processTbFloat(FloatEditParameter& p);  // MAX_FIT_FL and MAX_FIT
void lf_processTbInstallPath(const std::string& text);
void lf_processTbBlockCallsign();
void lf_processTbDestination();
void lf_unblockCallsign();
// Requests a parking adjustment and tells the user when it will happen. GUI.
void lf_announceAdjustment();
// The text of a main-window control, UTF-8; "" when it cannot be read. Any thread.
std::string lf_getTextFromId(std::uint16_t id);
// Takes a destination entered in the window: looks it up and makes it the destination, or says
// it is unknown. Worker.
void gf_applyDestinationRequest();
// DESTINATION = code, saved and shown; the airport becomes the first park airport. Worker.
void lf_setDestination(const std::string& code, const LatLon& position);

// ---- Simulator detection and start-up folders (sim_detection.cpp, worker) --------------------

// The simulator's own "Scenery" folder (SIM_INSTALL_PATH / "Scenery"). Worker.
extern std::filesystem::path g_simSceneryDir;
// Finds the Prepar3D install path from the registry when ALL_INSTALL_PATH is empty; throws
// UserErrorException 151 or 153. The second form takes the installed flags as given.
void lf_detectP3D();
void lf_detectP3D(bool v5Installed, bool v6Installed);
void lf_setSimSceneryDir();
// The first start of a newer version stores it and switches both scans on.
void lf_checkVersionUpdate();
// Creates the program's working folders (airports, learned, output, input and their children).
void lf_createFolders();

// ---- Settings in the window (settings_display.cpp, any thread) --------------------------------

void gf_showIntParameter(EditParameter& parameter);
void gf_showFloatParameter(FloatEditParameter& parameter);
void gf_showStringParameter(StringEditParameter& parameter);
void gf_clearControlText(std::uint16_t controlId);
void gf_setStringParameter(StringParameter& parameter, const std::string& value);

// ---- Traffic radius (traffic_radius.cpp, worker) ----------------------------------------------

// What auto range needs to know of the user aircraft.
struct UserSituation {
  bool onGround = false;
  double altitudeFt = 0.0;
  std::optional<double> parkAirportDistanceNm;  // to the first park airport; none: no list
};
// The auto-range radius in nm for a situation.
int gf_autoRangeRadius(const UserSituation& user);
// Sets the radius from the user's situation and shows it when it changed.
void gf_autoRange();
// LATERAL_RANGE and both radius copies from a radius in nm, clamped to LATERAL_RANGE's range.
void gf_setRadius(int nm);

// ---- The engine as the window sees it (engine_links.cpp) --------------------------------------

// A long parking operation runs (the label "Airport parking active"). GUI.
bool lf_engineBusy();
// The user aircraft's situation for auto range. Worker.
UserSituation lf_userSituation();
// The destination becomes the park airport at the head of the park-airport list. Worker.
void lf_makeParkAirport(const std::string& code, const LatLon& position);

// The engine's texts of the park statistics for the painter. Worker, once per user report.
void lf_publishEngineTexts();

// ---- Worker (worker.cpp, startup.cpp) ---------------------------------------------------------

// The worker of the current start or restart. Written by the GUI thread only (WM_APP+1 and the
// end of the message loop).
extern std::jthread g_workerThread;
// WM_APP+1: joins the previous worker (it has posted its last message) and starts a new one. GUI.
void lf_startWorker();
// After the message loop: sets the stop and exit requests and joins the worker. GUI.
void lf_stopWorker();
// The worker's thread entry: start-up, one run, closing; its exception handlers turn every
// failure into SYSTEM ERROR with the error shown.
void lf_worker();
// The ending run restarts: the next start-up skips the update check. Worker (one at a time).
extern std::atomic<bool> g_restarting;
// The aircraft database was read; it is read once per process, not again on a restart. Worker.
extern bool g_dbaseRead;
// Settings, folders, update check, database, detection, airport list. Worker.
void lf_startup();
// The controls the run may use are enabled, the others disabled. Worker.
void lf_enableControlsAfterStartup();
// The rest of the start-up after lf_startup: scenery folder, liveries, airports scan, flight-plan
// folder, park airports, destination, always-on-top and auto range; false when a stop or exit
// came during the scans (both requests are then set). Worker.
bool lf_prepareRun();

// ---- Runs (run.cpp, main_loop.cpp, tick_duties.cpp, worker) -----------------------------------

// One run: the simulator link, RealTraffic, the readers, then the main loop.
void lf_run();
// Waits for a running flight and a known user position; false on a stop or exit.
bool lf_requestUserAcOnGround();
// The 10 ms loop of the run.
void lf_mainLoop();
// Calls tick every 10 ms on a steady-clock deadline until it returns false; a user report
// re-bases the deadline on the present. Clock and sleep are the worker seams'.
void lf_tickLoop(const std::function<bool()>& tick);
// One tick; false ends the run.
bool lf_tick();
void lf_flightRunning();
void lf_flightNotRunning();
void lf_periodicDuties();
void lf_handleReread();

// What a user report with counter n (after its increment) runs besides the per-report checks.
struct ReportDuties {
  bool every15 = false;      // user position, sim time, reserved stand, Re-read, adjustment
  bool parkStep = false;     // 16: the park-airport step
  bool lamps = false;        // 59: reader lamps
  bool duplicates = false;   // 61: live versus static duplicates
  bool periodic = false;     // 30: lf_periodicDuties
  bool minutes = false;      // 60: minutes to the next renewal
  bool renewal = false;      // 1200: the 20-minute renewal
  bool dayOver = false;      // 86400: the counter starts again
};
ReportDuties gf_reportDuties(std::uint32_t n, bool adjustmentCollecting);
// Minutes to the next 20-minute renewal after n reports (n a multiple of 60).
std::uint32_t gf_minutesToRenewal(std::uint32_t n);

// The collect phase of the parking adjustment is under way. Worker (read by tests).
extern std::atomic<bool> g_parkAdjustCollecting;
// Once per 15 reports while an adjustment is asked for: the first call starts collecting live
// callsigns, the next one (15 reports later) runs the adjustment.
void lf_parkingAdjustmentPhase();
// Every 61 reports: a static aircraft that is the same as an active live one is removed.
void lf_removeLiveStaticDuplicates();
// The previous tick found the flight not running.
bool lf_flightPaused();
// The tick's own state of a run (paused flag, countdown, per-aircraft marks), for the run reset.
void lf_resetTickState();
// The first of the keys of g_newLiveIds: its coupled callsigns and static duplicates; a key
// whose aircraft has gone is dropped. Worker.
void lf_checkNewLiveAircraft();
// The window's requests that are not tied to a user report (nav lights, MAX_LIVE, auto range,
// destination). Worker: every tick, and once after the start-up.
void lf_takeWindowRequests();
// The window's aircraft counters. Worker.
void lf_refreshCounts();

// ---- Closing (closing.cpp, run_reset.cpp, worker) ---------------------------------------------

// The end of every run: readers, link and RealTraffic stopped, parked aircraft removed, then a
// restart (WM_APP+1) or the quit (WM_APP+2).
void lf_closingDown();
// The text of an exit reason; std::out_of_range for a code outside the table.
const std::string& gf_exitReasonText(std::uint32_t reason);
void lf_restartCountdown();
void lf_resetRun();
// The run's SimClient thread. Worker.
extern std::jthread g_simThread;
