// The park airport and its static parked aircraft: the candidate airports (my_park_airports.txt
// and the my_thirdparty folder), choosing the current park airport from the user aircraft's
// position and giving it up, reading its stand file and calculating which stands get a static
// aircraft from their learned timetables, the 20-minute renewal, and saving what was learned.
//
// Threads: everything here runs on the worker thread. The stand-file presence check of a new
// airport runs as one background task (a download), whose answer the worker picks up.
// The park-airport globals themselves are declared in airports/airports.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "airports/airports.h"
#include "foundation/day_slots.h"
#include "traffic/records/records.h"

// ---- Parking state of the calculation and the renewal (worker) -----------------------------------

// (The renewal's lists g_parkOptionCandidates, g_staticRemovals and g_parkAdjustBuffer are
// engine containers, declared in traffic.h.)

// The fits the last search reached, half-hours: real 0 and soft -1 until a search ran.
extern std::int32_t g_parkMaxRealFit;
extern std::int32_t g_parkSoftFit;

// ---- Park airports (park_airports.cpp, my_park_airports_file.cpp) -------------------------------

// Reads my_park_airports.txt into g_parkAirports (emptied first), then adds the my_thirdparty
// airports; false when a line named an airport that the airport list lacks.
bool lf_readMyParkAirports();
// Appends the airports of the my_thirdparty folder's subfolders (in name order) not yet listed.
void lf_scanMyThirdparty();
// Writes the first park airport's line into my_park_airports.txt (sorted, replaced whole).
void gf_writeMyParkAirports();
// The same for one park airport's line. A file that cannot be read whole is left as it is.
void lf_writeParkAirportLine(const ParkAirport& airport);
// The park airport with the code, or null.
ParkAirport* lf_findParkAirport(const std::string& icao);
// Moves a park airport of the list to the index, keeping the order of the others.
void lf_moveParkAirport(ParkAirport& airport, std::size_t index);
// The destination entered in the window becomes the first park airport.
void gf_setParkAirport(const std::string& icao, const LatLon& position);
// Re-read: the list again, and with applyStand a changed reserved stand of the current park
// airport applied. message receives what to show; false when the file could not be read well.
bool gf_checkParkAirports(bool applyStand, std::string& message);
// The simulator link's park-stand check: the user aircraft stands on this stand of the first
// park airport, which is the current one; reserves it and rewrites the file.
void gf_reserveUserStand(const std::string& name);
// Fills the simulator link's hooks with the engine's stand lookup and gf_reserveUserStand.
void gf_setEngineSimLinkHooks();

// Makes the airport of the list current (code, IATA code, position, elevation, the traffic
// reader's park airport); false when the list lacks it.
bool lf_setCurrentParkAirport(const std::string& icao);
// No park airport any more: the current airport, the traffic reader's copy and the window text.
void gf_clearCurrentParkAirport();
// The distances of the park-airport step: the first airport's always, every airport's (then
// sorted) at a new position while no destination is set.
void lf_refreshParkDistances(const LatLon& user);
// The two halves of the park-airport step with the user aircraft's position.
void lf_chooseParkAirport(const LatLon& user, bool showMessage);
void lf_checkParkAirportSight(const LatLon& user);
// Where the airport's stand file is, found once per run; nullptr while a fetch from the server
// is under way (a background task; the next call takes its answer).
const ApfSource* lf_standFileSource(const std::string& icao);
// The same, waiting for a fetch under way (never on the tick: the park step fetches first).
const ApfSource& lf_standFileSourceWaiting(const std::string& icao);
// The stand file of this airport could not be read: it is not chosen again in this run.
void gf_noteStandFileUnusable(const std::string& icao);
// After a stand-file read: the stand under the user aircraft becomes the current airport's
// reserved stand, and the current airport goes to the front of the list (behind a destination).
void lf_noteUserStand(const std::string& userStand);
// The window's reserved-stand text, green when the name is a stand of the park airport.
void lf_showReservedStand(const std::string& name);
// Empties the park airports and everything of the current one (the run's reset).
void gf_resetParkAirports();

// ---- Static parking calculation (static_parking_calc.cpp) ----------------------------------------

// Reads the current park airport's stand file into g_parkStands; message is empty on success.
// A stand file not fetched yet is fetched here, waiting for it; the park step fetches first.
void lf_readParkedFile(std::string& message);
// Chooses the static-parking candidates for now and hands them to the engine.
void lf_calcStaticParking();
// How many static aircraft are wanted now; also shown in the window.
int lf_wantedStaticCount();
// Logs and returns g_dayHhNow.
DayHh lf_logDayHh();
// Marks the reserved stand and the stand under the user aircraft.
void lf_markReservedStands();
// Clears the four engine marks of every stand.
void gf_clearStandMarks();
// The callsigns the traffic reader collected become g_liveCallsignsSeen; collecting stops.
void gf_takeLiveCallsigns();
void lf_addCandidates(DayHh d, int wanted, int before);
// Adds the candidates of one kind (real or soft) to g_staticCandidates, at most up to wanted.
void lf_collectCandidates(DayHh d, int wanted, int before, bool real);
// Searches fit 0, 1, ... MAX_FIT until wanted stands are taken; true when enough were found.
bool lf_searchOptionsByFit(DayHh d, bool real, int wanted, std::vector<StaticCandidate>& list);
// Drops the last n candidates (after a shuffle with RANDOM on).
void lf_trimCandidates(int n, std::vector<StaticCandidate>& list);

// ---- Upkeep (static_parking_upkeep.cpp, static_parking_renewal.cpp) ------------------------------

// The park-airport step, every 16 user-aircraft reports (with show set once at the run's start).
void gf_handleParkAirport(bool showMessage);
// The renewal of the static parking (every 20 minutes, and after a parking setting changed).
void gf_parkingAdjustments();
// Removes every parked aircraft and closes the park airport, saving what it learned.
void gf_removeParkedAc();
void lf_closeParkAirport();
// Asks for a calculation: controls disabled, the traffic reader collects live callsigns.
void lf_requestStaticParking(bool showMessage);

// ---- Saving (park_stand_file_save.cpp) ------------------------------------------------------------

// Writes the park airport's stands as its learned stand file and reports it.
void lf_saveParkStands();
