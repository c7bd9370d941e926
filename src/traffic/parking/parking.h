// Parking: the park airport's stands and their learned options, live aircraft parking at the
// park airport, and the park airport with its static parked aircraft: the candidate airports
// (my_park_airports.txt and the my_thirdparty folder), choosing the current park airport from the
// user aircraft's position and giving it up, reading its stand file and calculating which stands
// get a static aircraft from their learned timetables, the 20-minute renewal, saving what was
// learned, and the window's parking controls.
//
// Threads: everything here runs on the worker thread unless a comment says otherwise (g_busy).
// The stand-file presence check of a new airport runs as one background task (a download), whose
// answer the worker picks up.
// The park-airport globals themselves are declared in airports/airports.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "airports/airports.h"
#include "foundation/day_slots.h"
#include "traffic/records/records.h"

// ---- Constants ----------------------------------------------------------------------------------

// Neighbours collide when their stands lie closer than this many times the two half spans.
inline constexpr double kNeighbourSpanFactor = 1.1;

// ---- Parking controls ---------------------------------------------------------------------------

// A long parking operation runs; its controls are disabled. Written by the worker (and the traffic
// reset); read by the GUI thread.
extern std::atomic<bool> g_busy;
// Sets g_busy and disables the nine parking controls; clears the status line.
void gf_disableControls();
// Clears g_busy, shows 19 minutes to the next static-parking renewal and enables the controls.
void gf_enableControls();

// ---- Stand lookups on g_parkStands --------------------------------------------------------------

using StandIter = std::vector<ParkPos>::iterator;

// Unsaved changes to the park airport's stands (the window shows it as "# updates").
extern std::int32_t g_parkStandUpdates;
// Counts one change: the counter, the window's copy and g_parkStandsChanged.
void gf_countStandUpdate();

// The name of the stand within 55 m of the position (the nearest, the first of equals), or ""
// when there is none, no stand list, or the user aircraft is airborne. Caches the last answer.
std::string gf_standNameAt(const LatLon& position);
// Empties gf_standNameAt's cache, so that a refilled stand list is searched afresh.
void gf_forgetStandNames();
// The nearest free stand within maxDistNm that fits the aircraft, or one too small but within
// 20 m (its radius is then corrected); with tryOptions, else a fitting stand within 85 m that has
// an option of this aircraft. Helipads only for Rotorcraft and only helipads for them. end = none.
StandIter gf_closestFreeStand(const LatLon& position, const AircraftHead& aircraft, double maxDistNm,
                              bool tryOptions);
StandIter gf_findStandByName(const std::string& name);
// Marks the stand static-occupied and its neighbours blocked-by-neighbour.
void gf_occupyStand(ParkPos& stand);
// The stand's name for log lines: "sid==0?" for 0, "unknown" for an id that no stand has.
std::string lf_standNameById(std::uint32_t standId);

// ---- Stand options (the operations on one stand's option list) ----------------------------------

// The slot n half-hours before the given one, stepping over midnight (Monday's day before is
// Sunday).
DayHh gf_slotsBefore(DayHh when, std::uint32_t n);

// Adds the use of the stand at `when`; the new id, or 0 when an equal option is there. The
// registration's database entry gives airline (its operator first) and type, else the head's.
// Throws std::out_of_range for a slot above 47.
int addOption(std::vector<ParkPosOption>& options, const AircraftIdent& head, std::uint32_t real,
              DayHh when, const std::string& callsign, const std::string& registration);
// Sets the slots (consumed from the back) in the option with the id; false when it has none.
bool updateOptions(std::vector<ParkPosOption>& options, std::vector<int>& slots, std::uint32_t id);
// The same for a run of slots (newest first) that crosses midnight: the slots before midnight go
// to option id1, the later ones except the newest to option id2.
bool updateOptionsWrapped(std::vector<ParkPosOption>& options, std::vector<int>& slots,
                          std::uint32_t id1, std::uint32_t id2);
// Records a callsign: the first in cs, a later different one in cs2.
void updateOptionIdent(std::vector<ParkPosOption>& options, std::uint32_t id,
                       const std::string& callsign);
// Sets the last `count` half-hours up to now over options id1 and id2 and records the callsign.
void updateOptionsForIds(std::vector<ParkPosOption>& options, DayHh now, const std::string& callsign,
                         int count, std::uint32_t id1, std::uint32_t id2);
// Whether the option uses a slot from start back by offset on its day; when the range reaches
// before midnight, wrap receives the slots still to test on the previous day (else all bits set).
bool testRange(const ParkPosOption& option, std::pair<int, int> startAndOffset,
               std::uint32_t& wrap);
// Whether a real option in use belongs to this aircraft (callsign, else airline and type).
bool gf_optionMatches(const std::string& callsign, const AircraftIdent& head,
                      const ParkPosOption& option);

// ---- Learned stand options ----------------------------------------------------------------------

// A live aircraft seen parked on the stand: records or extends its real option. track keeps its
// sighting for filling gaps; leaving forgets it. True when an option changed.
bool lf_addRealParkPosOption(std::uint32_t standId, const AircraftHead& aircraft, bool track,
                             DayHh when, bool leaving);
// The same for a soft (substitute) option.
bool lf_addSoftParkPosOption(std::uint32_t standId, const AircraftHead& aircraft, bool track,
                             DayHh when);
// A live aircraft standing near the park airport without a stand: records a soft option for it.
void lf_learnSoftOption(const AiAircraft& aircraft, bool force);
// Whether a soft option may be learned for the key in this slot (at most once in three slots
// unless forced); stores the slot when it may.
bool lf_parkedKeySlotAllows(std::uint32_t key, std::uint32_t slot, bool force);
// The stand a soft option of this aircraft goes to at `when`; end = none.
StandIter lf_chooseSoftStand(DayHh when, const AircraftHead& aircraft, bool allowShift);
// Copies the coupled callsigns of an option used around now into text6 and text7.
void lf_searchForCoupledCsAroundThisTime(DayHh now, AiAircraft& aircraft);
// Appends a candidate for every free stand with an option of the kind (1 real, 0 soft) at the
// slot `offset` half-hours before `when`, and marks its stand. `earlier` holds the candidates of
// earlier searches.
void lf_searchStands(DayHh when, std::uint32_t kind, std::uint32_t offset,
                     std::vector<StaticCandidate>& candidates,
                     const std::vector<StaticCandidate>& earlier);
// The number of static aircraft active or being removed; with computeFit (and WEEK off) also the
// window's average fit.
std::uint32_t gf_staticParkedStats(bool computeFit);

// Fills the half-hours between the aircraft's last sighting on the stand and now (at most 5
// back, across midnight into a new option of the new day) and moves the sighting to now.
void lf_extendStandOption(ParkPos& stand, std::uint32_t optionId, StandSighting& last,
                          const AircraftHead& aircraft, std::uint32_t real, DayHh now);
// The first static aircraft whose callsign is the option's cs or cs2 or whose registration is
// the option's; null when none.
const StaticAircraft* lf_staticWithOptionIdentity(const ParkPosOption& option);
// The same among candidates; null when none.
const StaticCandidate* lf_candidateWithOptionIdentity(const ParkPosOption& option,
                                                      const std::vector<StaticCandidate>& list);
// The first stand with a real option in use today for the registration at now's slot or a slot
// next to it; end = none.
StandIter lf_standOptionNowInUse(std::vector<ParkPos>& stands, const std::string& registration,
                                 DayHh now);

// ---- Parking live aircraft ------------------------------------------------------------------

// Removes the aircraft on the reserved stand (a static one first), at most one per call.
void gf_removeAcAtReservedStand();
// The number of parked active live aircraft; with average also the window's average fit.
std::uint32_t gf_liveParkedStats(bool average);
// The park airport's maximum of parked aircraft (the window's parkTarget): removes the
// longest-parked live aircraft and the static one parked longest ago when there are too many.
// oneMore: an aircraft is about to park.
void lf_parkLimits(bool oneMore);
// Fills g_parkAdjustBuffer with the parked live aircraft; removes those parked longer than 90
// minutes without a report (180 for Heavy) unless INITIAL_LOAD_ONLY is on.
void lf_listParkedLive();

// ---- Stands shared by the spawn and try2Park (live_parking.cpp) ---------------------------------

// The stand contention rule over g_liveAc: false when the new aircraft may not take the stand.
bool lf_mayTakeStand(std::uint32_t standId, const std::string& callsign);
// The first neighbour stand at which a parked live aircraft with another callsign stands closer
// to the new aircraft than 1.1 x the two half spans; true when there is one.
bool lf_closeNeighbourOccupied(const ParkPos& stand, const AiAircraft& aircraft);
// Removes the static aircraft on the stand and those too close on its neighbours.
void lf_clearStandOfStatics(const ParkPos& stand, const AiAircraft& aircraft);
// Live aircraft never park on the reserved stand or the stand the user aircraft stands on.
bool lf_standRefused(const ParkPos& stand);
// try2Park's rules for a stand it found: false when the stand is refused; else the parked
// occupant, colliding neighbours and static aircraft in the way are removed.
bool lf_takeStandForParking(AiAircraft& aircraft, ParkPos& stand);
// A cargo aircraft on a stand without the cargo attribute gives the stand that attribute.
void lf_learnStandCargo(const AiAircraft& aircraft, ParkPos& stand);
// Stores the slot of an option learned for the key (one pair per key).
void lf_storeParkedKeySlot(std::uint32_t key, std::uint32_t slot);

// ---- Parking state of the calculation and the renewal (worker) -----------------------------------

// (The renewal's lists g_parkOptionCandidates, g_staticRemovals and g_parkAdjustBuffer are
// engine containers, declared in records.h.)

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
// The stand file of this airport could not be read (`why`, the message shown): it is not chosen
// again in this run, and a later check on the ground names it with `why`.
void gf_noteStandFileUnusable(const std::string& icao, const std::string& why);
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
