// The live traffic step: the engine step with its pacing, the reset between runs, the simulator
// link's notices, the limit of live aircraft, ghosts and duplicates, static creation and keeping
// the user's path clear. Worker thread unless a comment says otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "traffic/records/records.h"

// ---- The live traffic engine ----------------------------------------------------------------
// Pacing: one step per 10 ms tick while the flight runs. Every 10th step one removal goes to the
// simulator link, every 50th one creation (live first; a static one, and the next static
// candidate, when no live one waits); every waiting traffic report is taken each step, starting
// at most two new aircraft; the aircraft-in-range request every 100th step (every 20th while a touchdown waits); the user
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
// Light, HighPerf and Rotorcraft aircraft only with their settings on; no category above 5.
bool lf_categoryAllowed(std::uint32_t category);

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
