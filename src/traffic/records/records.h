// The engine's records: the aircraft records and their containers, the lookup indexes over them
// (engine_index.h), the one way an aircraft leaves the simulator and a live aircraft's flight
// plan. Every part of the engine (motion, the live step, parking) builds on this header.
//
// Threads: everything in the engine belongs to the worker thread (the engine step, the tick and
// the shell's handlers that run on it) unless a comment says otherwise. The GUI thread only reads
// g_busy (parking.h) and the counters the engine stores in g_mainWindowState. The simulator link
// sees a creation, removal or client event only once it is handed over under g_simMutex.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "foundation/aircraft_defs.h"
#include "foundation/day_slots.h"
#include "foundation/geometry.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/park_pos.h"
#include "simlink/simlink.h"
#include "traffic/records/aircraft_records.h"
#include "traffic/records/engine_index.h"

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

// Keys of spawned live aircraft whose create request is still to be built; the nearest to the
// user is built first (of equally near ones the last), one per engine step.
extern std::vector<std::uint32_t> g_liveToCreate;
// Identified objects waiting for their activation (copies of the link's notices); counter =
// engine steps since identification, -1 when done.
extern std::vector<SimObjectNotice> g_lightToggles;
// Live callsigns with a trailing '_' whose aircraft the ghost check removed; never spawned again
// in this run.
extern std::vector<std::string> g_ghostTexts;
// Callsigns whose creation the simulator link could not send (too long for a tail number);
// blocked for the rest of the run.
extern std::set<std::string> g_refusedCallsigns;
// The parked live aircraft, sorted by ascending minutes on the stand (lf_listParkedLive).
extern std::vector<ParkedLive> g_parkAdjustBuffer;
// Static aircraft kept by the parking adjustments.
extern std::vector<KeptStatic> g_parkOptionCandidates;
// Static aircraft the parking adjustments remove.
extern std::vector<StaticRemoval> g_staticRemovals;

// Keys of live aircraft for the shell's coupled-callsign and duplicate checks, oldest first.
// Appended by the spawn, the approach, the arrival at a stand and the touchdown; taken from the
// front by the shell's flight-running step. Worker only.
extern std::deque<std::uint32_t> g_newLiveIds;
// A touchdown waits for its ground contact: the range request goes out every 20th step instead
// of every 100th. Set by the flare, cleared by lf_touchdown and the traffic reset. Worker only.
extern bool g_fastRangeRequest;

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

// ---- Log lines ----------------------------------------------------------------------------------

// A line written only while the LOG setting is on.
inline void lf_logUnderLog(std::string_view text) {
  if (g_paramLog.value()) gf_log(text);
}
// Why a live aircraft is given up before its reports end, under LOG; the blanks stand where
// other lines name the stand.
inline void lf_logGivenUp(const StaticAircraft& aircraft, std::string_view why) {
  if (!g_paramLog.value()) return;
  gf_log(fmt::format("          {:8} given up: {}", aircraft.callsign, why));
}
