// The live traffic engine and parking: the aircraft records and their containers, the one way an
// aircraft leaves the simulator, the park airport's stand lookups and the learned stand options.
//
// Threads: everything here belongs to the worker thread (the engine step, the tick and the
// shell's handlers that run on it) unless a comment says otherwise. The GUI thread only reads
// g_busy and the counters the engine stores in g_mainWindowState. The simulator link sees a
// creation, removal or client event only once it is handed over under g_simMutex.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "foundation/aircraft_defs.h"
#include "foundation/day_slots.h"
#include "foundation/geometry.h"
#include "foundation/park_pos.h"
#include "simlink/simlink.h"
#include "traffic/records/aircraft_records.h"

// ---- Engine containers (worker) ------------------------------------------------------------------

// One static-parking candidate: a learned option chosen for a stand now.
struct StaticCandidate {
  std::uint32_t standId = 0;  // ParkPos::number
  std::int32_t fit = 0;       // half-hours between the option's slot and now
  std::string airline;
  std::string type;
  std::string cs;   // the option's first callsign
  std::string cs2;  // its second (coupled) callsign
  std::string reg;
  bool continues = false;  // no second callsign, or the use goes on into the next slot
};

extern std::vector<AiAircraft> g_liveAc;          // the live aircraft
extern std::vector<StaticAircraft> g_staticAc;    // the static parked aircraft
extern std::deque<std::uint32_t> g_removeWait;    // object ids waiting to be removed, oldest first
// Creations waiting to be handed to the simulator link (one per 50 engine steps, live first).
extern std::deque<CreateAcRequest> g_liveCreateWait;
extern std::deque<CreateAcRequest> g_staticCreateWait;
// Static-parking candidates, consumed from the back (best fit last).
extern std::vector<StaticCandidate> g_staticCandidates;
// {aircraft key, half-hour slot of its last learned soft option}, one pair per key.
extern std::vector<std::pair<std::uint32_t, std::uint32_t>> g_parkedKeySlots;
// Callsigns RealTraffic reported while the traffic reader collected them; taken over by the
// static parking calculation and the parking adjustments.
extern std::set<std::string> g_liveCallsignsSeen;
// Soft options may be learned at the park airport (its stand file is not good enough yet).
extern bool g_learnSoftAllowed;

// A live aircraft parked at the park airport, listed for the parking adjustments.
struct ParkedLive {
  std::string callsign;
  std::uint32_t standId = 0;
  std::uint32_t minutes = 0;  // on the stand; 0 while it still reports from there
};
// A static aircraft the parking adjustments keep (or create again).
struct KeptStatic {
  std::string callsign;
  std::string text6;  // the callsign it was created with
  std::string text7;  // its coupled callsign
  std::string registration;
  std::string airline;
  std::string type;
  DayHh parked;  // the slot of the option that placed it
  std::uint32_t standId = 0;
  bool recreate = false;
};
// A static aircraft the parking adjustments will remove.
struct StaticRemoval {
  std::string callsign;
  std::uint32_t standId = 0;
};

// Keys of spawned live aircraft whose create request is still to be built; the last is built
// first, one per engine step.
extern std::vector<std::uint32_t> g_liveToCreate;
// Identified objects waiting for their activation (copies of the link's notices); counter =
// engine steps since identification, -1 when done.
extern std::vector<SimObjectNotice> g_lightToggles;
// Live callsigns with a trailing '_' whose aircraft the ghost check removed; never spawned again
// in this run.
extern std::vector<std::string> g_ghostTexts;
// The parked live aircraft, sorted by ascending minutes on the stand (lf_listParkedLive).
extern std::vector<ParkedLive> g_parkAdjustBuffer;
// Static aircraft kept by the parking adjustments.
extern std::vector<KeptStatic> g_parkOptionCandidates;
// Static aircraft the parking adjustments remove.
extern std::vector<StaticRemoval> g_staticRemovals;

// ---- Leaving the simulator ------------------------------------------------------------------------

// Removes every queued creation with the callsign, keeping the order of the rest; true when one
// was removed. An empty callsign removes nothing.
bool gf_removeFromCreateWait(std::deque<CreateAcRequest>& queue, const std::string& callsign);
// The one way an aircraft leaves the simulator: a record still in "buffer" is only marked, a
// creation still waiting is withdrawn, otherwise its stand is freed and its object id queued in
// g_removeWait. A live aircraft is passed as its StaticAircraft part.
void removeAircraftFromSim(StaticAircraft& aircraft);
// Removes the object so that it is created again where it stands now, with another livery.
void liveryRespawn(AiAircraft& aircraft);
// Throttle and flaps to 0, engines off and the parked lights, as client events for the object.
void setParkedState(StaticAircraft& aircraft);
// Writes the live aircraft's flight plan (origin, destination, IFR or VFR by size category).
bool gf_writeFlightPlan(const std::filesystem::path& path, const AiAircraft& aircraft);

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

// ---- The live traffic engine ----------------------------------------------------------------
// Pacing: one step per 10 ms tick while the flight runs. Every 10th step one removal goes to the
// simulator link, every 50th one creation (live first; a static one, and the next static
// candidate, when no live one waits); at most two traffic reports are taken per step; the
// aircraft-in-range request every 100th step (every 20th while a touchdown waits); the user
// position to RealTraffic and a fresh copy of the user aircraft every 100th step.

// One engine step (the tick, while the simulator runs and no request error is pending).
void gf_liveTrafficStep();
// Reserves the engine's containers, once per process (at the start of every run).
void gf_reserveTrafficBuffers();
// Empties the engine and the park airport's state for a restart; g_tickCount runs on.
void gf_resetTraffic();
// Handles the simulator link's notices and the pending activations (engine step, and the tick
// while the flight does not run). Holds g_simNoticesMutex, takes g_simMutex inside.
void gf_processSimObjectNotices();
// MAX_LIVE applied: removes the farthest active live aircraft above the limit.
void gf_enforceMaxLive();
// Removes the farthest active live aircraft that lies more than 0.1 nm farther than distanceNm
// from the user; true when there is none (nothing removed).
bool lf_removeFarthestLiveAc(double distanceNm);
// Removes the first active static aircraft whose stand lies within 1.1 x the two half spans of
// the live aircraft; returns its position in g_staticAc, or the end.
std::vector<StaticAircraft>::iterator gf_removeStaticForLiveAc(const AiAircraft& aircraft);
// Removes the active live aircraft with the key: the park airport's limit of parked aircraft.
void lf_removeMaxParked(std::uint32_t key);
// Appends a static aircraft to g_parkOptionCandidates.
void lf_recordKeptStatic(const StaticAircraft& aircraft, bool recreate);

// ---- Ghosts, duplicates and blocked callsigns ----------------------------------------------

// Removes the live ghost copy (callsign + '_') of the callsign and remembers its callsign.
void lf_ghostCheck(const std::string& callsign);
// True when the callsign without its last character belongs to a live aircraft not being removed.
bool lf_isUnderscoreCopy(const std::string& callsign);
// A newly spawned live aircraft and what the duplicate test compares of it.
struct StaticDuplicateContext {
  const AiAircraft* live = nullptr;
  std::string callsignCut;  // its callsign without the last character
  bool onGround = false;
};
// True when the static aircraft is the same real aircraft as the new live one (it is then to be
// removed); logs why.
bool gf_removeStaticDuplicate(const StaticDuplicateContext& context, StaticAircraft& aircraft);
// Removes every static aircraft (withdraws waiting creations).
void gf_removeAllStaticAc();
// Removes every live aircraft (withdraws waiting creations): RealTraffic is gone.
void gf_removeAllLiveAc();
// The callsign of a static aircraft made from the candidate: no '_' at the end, a '*' added; ""
// when the candidate has no callsign.
std::string lf_detcs(const StaticCandidate& candidate);

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

// ---- Collision avoidance, static creation and removals ----------------------------------------

// Removes the active live aircraft when it stands on the user's line on the ground or flies
// towards the user; true when it did (the shell's check while the user aircraft is airborne).
bool gf_removeIfInUserPath(AiAircraft& aircraft);
// Creates the static aircraft of the last candidate unless a live or static aircraft blocks its
// stand; one candidate per call.
void lf_resolveStandConflicts();
// Removes the count longest-parked live aircraft.
void lf_removeLongestParked(int count);
// True when g_parkAirports holds the airport.
bool lf_isParkAirport(const std::string& icao);
